#pragma once

#include "poll/PollPort.h"

#include <QString>

class EComPort;
class TCustomComPort;

/// The port's reason for a failure in plain words: what the operator can do
/// about it when that is known, otherwise the component's message followed by
/// the system's own text for its code.
QString PortErrorText(const EComPort& error);

// Hands the poll cycle the real serial port component. A failed write raises
// with PortErrorText as its text, so the cycle can show the operator why.
class ComPortAdapter : public PollPort {
public:
    explicit ComPortAdapter(TCustomComPort& port);
    ~ComPortAdapter() override;

    bool Connected() const override;
    void SetConnected(bool connected) override;
    QString Port() const override;
    TBaudRate BaudRate() const override;
    void WriteData(const void* buffer, int count) override;
    int ReadData(void* buffer, int count) override;
    void SetOnRxChar(std::function<void(int count)> handler) override;
    std::chrono::steady_clock::time_point LastRxTime() const override;

private:
    TCustomComPort& m_port;
};
