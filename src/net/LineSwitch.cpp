#include "net/LineSwitch.h"

#include "net/NetworkLine.h"

LineSwitch::LineSwitch(std::unique_ptr<PollPort> serial, std::unique_ptr<NetworkLine> network)
    : ForwardingLine(*serial), m_serial(std::move(serial)), m_network(std::move(network)) {}

LineSwitch::~LineSwitch() {
    SetOnRxChar(nullptr);
    SetOnLineChange(nullptr);
    SetOnDroppedFrame(nullptr);
}

bool LineSwitch::UseNetwork(bool network) {
    if (network == m_usesNetwork) {
        return true;
    }
    if (target().Connected()) {
        return false;
    }
    m_usesNetwork = network;
    setTarget(network ? static_cast<PollPort&>(*m_network) : *m_serial);
    return true;
}

void LineSwitch::SetOnRxChar(std::function<void(int count)> handler) {
    m_serial->SetOnRxChar(handler);
    m_network->SetOnRxChar(std::move(handler));
}

void LineSwitch::SetOnLineChange(std::function<void(const LineChange& change)> handler) {
    m_serial->SetOnLineChange(handler);
    m_network->SetOnLineChange(std::move(handler));
}

void LineSwitch::SetOnDroppedFrame(DroppedFrameHandler handler) {
    m_serial->SetOnDroppedFrame(handler);
    m_network->SetOnDroppedFrame(std::move(handler));
}
