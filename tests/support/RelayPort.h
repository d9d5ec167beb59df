#pragma once
// A PollPort that hands every call on to another one (the real port, as a
// rule), for tests and benchmarks that look at some of the calls on their way.

#include "poll/PollPort.h"

#include <utility>

class RelayPort : public PollPort {
public:
    explicit RelayPort(PollPort& port) : m_port(port) {}

    bool Connected() const override { return m_port.Connected(); }
    PortResult Open() override { return m_port.Open(); }
    PortResult Close() override { return m_port.Close(); }
    QString Port() const override { return m_port.Port(); }
    TBaudRate BaudRate() const override { return m_port.BaudRate(); }
    PortResult Write(const std::uint8_t* bytes, int count) override {
        return m_port.Write(bytes, count);
    }
    PortRead Read(std::uint8_t* buffer, int count) override { return m_port.Read(buffer, count); }
    int PendingInput() const override { return m_port.PendingInput(); }
    void ExpectReply(int count) override { m_port.ExpectReply(count); }
    PortResult SetLineRate(TBaudRate rate) override { return m_port.SetLineRate(rate); }
    void SetOnRxChar(std::function<void(int count)> handler) override {
        m_port.SetOnRxChar(std::move(handler));
    }
    std::chrono::steady_clock::time_point LastRxTime() const override {
        return m_port.LastRxTime();
    }
    std::vector<RxPiece> LastRxPieces() const override { return m_port.LastRxPieces(); }
    PortResult SetListenOnly(bool listenOnly) override { return m_port.SetListenOnly(listenOnly); }
    std::optional<std::chrono::milliseconds> ReceiveLatency() const override {
        return m_port.ReceiveLatency();
    }
    bool CanReopen() const override { return m_port.CanReopen(); }
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override {
        m_port.SetOnLineChange(std::move(handler));
    }

protected:
    PollPort& m_port;
};
