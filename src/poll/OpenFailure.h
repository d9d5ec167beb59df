#pragma once
// Why a port could not be opened, told so that the operator knows what to do,
// and the port adapter of the main window that tells it.

#include "poll/ComPortAdapter.h"

#include <QString>

class EComPort;
class TCustomComPort;

/// One line naming the port and the reason; a permission error names the
/// dialout group that grants access to serial devices.
QString OpenFailureReason(const QString& port, const EComPort& error);

/// The serial port as the main window hands it to the engine: a failure to
/// open carries the operator's reason as its text.
class OperatorPortAdapter : public ComPortAdapter {
public:
    explicit OperatorPortAdapter(TCustomComPort& port);

protected:
    PortError OpenFailure(const EComPort& error) const override;

private:
    TCustomComPort& m_port;
};
