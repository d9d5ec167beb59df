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
// with PortErrorText as its text, so the cycle can show the operator why; a
// line that has gone away raises LineLostError from writes and reads.
//
// A port opened by a plain name such as ttyUSB0 remembers its USB adapter.
// Opening it again looks for that adapter first: found under another name,
// that name is opened (and told as a Moved change); if the name now leads to
// another adapter, the opening is refused with AdapterRefusedError.
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
    void ExpectReply(int count) override;
    void SetOnRxChar(std::function<void(int count)> handler) override;
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override;
    bool CanReopen() const override { return m_reopenable; }
    std::chrono::steady_clock::time_point LastRxTime() const override;

private:
    void open();

    TCustomComPort& m_port;
    std::function<void(const LineChange& change)> m_onLineChange;
    bool m_reopenable = true; // told by the port at its last opening
};
