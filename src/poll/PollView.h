#pragma once

#include <QString>

enum class Readout { Feedback, Output };

// What the poll cycle and the register map need of the main window: the address
// field, the register table, the traffic monitor, the status bar and the read-outs.
class PollView {
public:
    virtual ~PollView() = default;

    // The slave address field's value.
    virtual int AddressValue() const = 0;

    // The register table's current cell.
    virtual int CurrentColumn() const = 0;
    virtual int CurrentRow() const = 0;
    virtual void SetCellText(int column, int row, const QString& text) = 0;

    // The traffic monitor.
    virtual void AppendMonitorLine(const QString& line) = 0;
    virtual void ClearMonitor() = 0;

    // The status bar: panel 1 is the Tx count, panel 3 the Er count, panel 4 the port.
    virtual QString PanelText(int panel) const = 0;
    virtual void SetPanelText(int panel, const QString& text) = 0;

    // The relay lamp and the two seven-segment read-outs.
    virtual void SetRelayActive(bool active) = 0;
    virtual void SetReadoutPrecision(Readout readout, int precision) = 0;
    virtual void SetReadoutValue(Readout readout, double value) = 0;

    // The port could not be opened: message is the operator's text, detail the
    // port's own reason.
    virtual void ShowOpenFailure(const QString& message, const QString& detail) = 0;

    // Writes to the open port have started failing, for the reason given, or
    // work again (an empty reason). Told once at each change, not every tick.
    virtual void ShowWriteFailure(const QString& reason) = 0;

    // Something about the line the operator should know that is no failure:
    // it is back after going away, its adapter has a new name, it echoes.
    // Told once when it happens.
    virtual void ShowLineNote(const QString& note) = 0;
};
