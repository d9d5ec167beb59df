#pragma once

#include "poll/PollPort.h"

#include <QString>

class EComPort;
class TCustomComPort;

/// The port's reason for a failure in plain words: what the operator can do
/// about it when that is known, otherwise the component's message followed by
/// the system's own text for its code.
QString PortErrorText(const EComPort& error);

/// The port's failure as the engine passes it on: a line that has gone away
/// is told apart from any other refusal.
PortError PortErrorOf(const EComPort& error);

// Hands the poll cycle the real serial port component. The component's
// failures (EComPort) end here: each becomes one PortError, whose text says
// why, so the engine can show the operator; a line that has gone away is a
// LineLost error from writes and reads.
//
// A port opened by a plain name such as ttyUSB0 remembers its USB adapter.
// Opening it again looks for that adapter first: found under another name,
// that name is opened (and told as a Moved change); if the name now leads to
// another adapter, the opening is refused with an AdapterChanged error.
class ComPortAdapter : public PollPort {
public:
    explicit ComPortAdapter(TCustomComPort& port);
    ~ComPortAdapter() override;

    bool Connected() const override;
    PortResult Open() override;
    PortResult Close() override;
    QString Port() const override;
    TBaudRate BaudRate() const override;
    PortResult Write(const std::uint8_t* bytes, int count) override;
    PortRead Read(std::uint8_t* buffer, int count) override;
    int PendingInput() const override;
    void ExpectReply(int count) override;
    PortResult SetLineRate(TBaudRate rate) override;
    void SetOnRxChar(std::function<void(int count)> handler) override;
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override;
    bool CanReopen() const override { return m_reopenable; }
    std::chrono::steady_clock::time_point LastRxTime() const override;
    std::vector<RxPiece> LastRxPieces() const override;
    PortResult SetListenOnly(bool listenOnly) override;
    std::optional<std::chrono::milliseconds> ReceiveLatency() const override;

protected:
    /// The failure to open, as this adapter tells it.
    virtual PortError OpenFailure(const EComPort& error) const;

private:
    TCustomComPort& m_port;
    std::function<void(const LineChange& change)> m_onLineChange;
    bool m_reopenable = true; // told by the port at its last opening
};
