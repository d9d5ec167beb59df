#pragma once
// The line the window polls: its serial port or its network line, as the
// operator chose. Both lines get the engine's handlers; every other call goes
// to the chosen one. The choice changes only while the line is closed, so
// the engine never sees a line change under it.

#include "poll/PollPort.h"

#include <memory>

class NetworkLine;

class LineSwitch : public PollPort {
public:
    LineSwitch(std::unique_ptr<PollPort> serial, std::unique_ptr<NetworkLine> network);
    ~LineSwitch() override;

    /// Chooses the network line (or the serial port); false, and no change,
    /// while the chosen line is open.
    bool UseNetwork(bool network);
    bool UsesNetwork() const { return m_usesNetwork; }
    NetworkLine& Network() { return *m_network; }
    PollPort& Serial() { return *m_serial; }

    bool Connected() const override { return chosen().Connected(); }
    PortResult Open() override { return chosen().Open(); }
    PortResult Close() override { return chosen().Close(); }
    QString Port() const override { return chosen().Port(); }
    TBaudRate BaudRate() const override { return chosen().BaudRate(); }
    PortResult Write(const std::uint8_t* bytes, int count) override {
        return chosen().Write(bytes, count);
    }
    PortRead Read(std::uint8_t* buffer, int count) override { return chosen().Read(buffer, count); }
    int PendingInput() const override { return chosen().PendingInput(); }
    void ExpectReply(int count) override { chosen().ExpectReply(count); }
    PortResult SetLineRate(TBaudRate rate) override { return chosen().SetLineRate(rate); }
    std::chrono::steady_clock::time_point LastRxTime() const override {
        return chosen().LastRxTime();
    }
    bool CanReopen() const override { return chosen().CanReopen(); }
    std::vector<std::uint8_t> WireForm(const std::uint8_t* frame, std::size_t count,
                                       bool sent) const override {
        return chosen().WireForm(frame, count, sent);
    }
    void SetOnRxChar(std::function<void(int count)> handler) override;
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override;
    void SetOnDroppedFrame(DroppedFrameHandler handler) override;

private:
    PollPort& chosen() const;

    std::unique_ptr<PollPort> m_serial;
    std::unique_ptr<NetworkLine> m_network;
    bool m_usesNetwork = false;
};
