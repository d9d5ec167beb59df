#pragma once
// The line the window polls: its serial port or its network line, as the
// operator chose. Both lines get the engine's handlers; every other call goes
// to the chosen one. The choice changes only while the line is closed, so
// the engine never sees a line change under it.

#include "poll/ForwardingLine.h"

#include <memory>

class NetworkLine;

class LineSwitch : public ForwardingLine {
public:
    LineSwitch(std::unique_ptr<PollPort> serial, std::unique_ptr<NetworkLine> network);
    ~LineSwitch() override;

    /// Chooses the network line (or the serial port); false, and no change,
    /// while the chosen line is open.
    bool UseNetwork(bool network);
    bool UsesNetwork() const { return m_usesNetwork; }
    NetworkLine& Network() { return *m_network; }
    PollPort& Serial() { return *m_serial; }

    // Every other call goes to the chosen line.
    void SetOnRxChar(std::function<void(int count)> handler) override;
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override;
    void SetOnDroppedFrame(DroppedFrameHandler handler) override;

private:
    std::unique_ptr<PollPort> m_serial;
    std::unique_ptr<NetworkLine> m_network;
    bool m_usesNetwork = false;
};
