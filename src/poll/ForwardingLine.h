#pragma once
// A line that hands every call to another one. The lines that stand between
// the engine and the line itself (the keeper, the turns of a shared line,
// the switch between the serial port and a network line, and tests that look
// at calls on their way) derive from it and override only what they change,
// so that a call added to the line's interface reaches the line through all
// of them.

#include "poll/PollPort.h"

#include <utility>

class ForwardingLine : public PollPort {
public:
    explicit ForwardingLine(PollPort& target) : m_target(&target) {}

    bool Connected() const override { return target().Connected(); }
    PortResult Open() override { return target().Open(); }
    PortResult Close() override { return target().Close(); }
    QString Port() const override { return target().Port(); }
    TBaudRate BaudRate() const override { return target().BaudRate(); }
    PortResult Write(const std::uint8_t* bytes, int count) override {
        return target().Write(bytes, count);
    }
    PortRead Read(std::uint8_t* buffer, int count) override { return target().Read(buffer, count); }
    int PendingInput() const override { return target().PendingInput(); }
    void ExpectReply(int count) override { target().ExpectReply(count); }
    PortResult SetLineRate(TBaudRate rate) override { return target().SetLineRate(rate); }
    void SetOnRxChar(std::function<void(int count)> handler) override {
        target().SetOnRxChar(std::move(handler));
    }
    std::chrono::steady_clock::time_point LastRxTime() const override {
        return target().LastRxTime();
    }
    std::vector<RxPiece> LastRxPieces() const override { return target().LastRxPieces(); }
    PortResult SetListenOnly(bool listenOnly) override {
        return target().SetListenOnly(listenOnly);
    }
    std::optional<std::chrono::milliseconds> ReceiveLatency() const override {
        return target().ReceiveLatency();
    }
    bool CanReopen() const override { return target().CanReopen(); }
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override {
        target().SetOnLineChange(std::move(handler));
    }
    std::vector<std::uint8_t> WireForm(const std::uint8_t* frame, std::size_t count,
                                       bool sent) const override {
        return target().WireForm(frame, count, sent);
    }
    void SetOnDroppedFrame(DroppedFrameHandler handler) override {
        target().SetOnDroppedFrame(std::move(handler));
    }

protected:
    PollPort& target() const { return *m_target; }
    void setTarget(PollPort& target) { m_target = &target; }

private:
    PollPort* m_target;
};
