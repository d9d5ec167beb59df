#include "poll/EchoFilter.h"

#include <algorithm>

namespace {

constexpr int RequestSize = static_cast<int>(TxFrameSize);

} // namespace

void EchoFilter::Reset() {
    m_decided = true;
    m_echoed = false;
    m_watchRepeat = false;
    m_lineEchoes = false;
}

void EchoFilter::RequestSent(const TTxFrame& request) {
    m_request = request;
    m_decided = false;
    m_echoed = false;
    m_watchRepeat = false;
}

EchoFilter::Outcome EchoFilter::Filter(TRxFrame& rxFrame, int& rxCount) {
    if (m_watchRepeat) {
        // The reply in front was handed on before.
        const Outcome outcome = filterRepeat(rxFrame, rxCount);
        return outcome == Outcome::Found && rxCount == RequestSize ? Outcome::FoundAfterReply
                                                                   : outcome;
    }
    if (m_decided) {
        return Outcome::Passed;
    }
    const int compared = std::min(rxCount, RequestSize);
    if (!std::equal(rxFrame.begin(), rxFrame.begin() + compared, m_request.begin())) {
        m_decided = true;
        return Outcome::Passed;
    }
    if (compared < RequestSize) {
        return Outcome::Pending;
    }
    m_decided = true;
    if (m_request[1] != FunctionReadHolding && !m_lineEchoes) {
        // A write's reply, on a line not known to echo. It is handed on at
        // once, unless its whole copy came with it: a line that does not
        // echo must never wait for bytes that merely begin like the request.
        m_watchRepeat = true;
        const Outcome outcome =
            rxCount > RequestSize ? filterRepeat(rxFrame, rxCount) : Outcome::Passed;
        return outcome == Outcome::Pending ? Outcome::Passed : outcome;
    }
    return echoTakenOut(rxFrame, rxCount, 0);
}

EchoFilter::Outcome EchoFilter::filterRepeat(TRxFrame& rxFrame, int& rxCount) {
    const auto repeat = rxFrame.begin() + RequestSize;
    const int compared = std::min(rxCount - RequestSize, RequestSize);
    if (!std::equal(repeat, repeat + compared, m_request.begin())) {
        m_watchRepeat = false;
        return Outcome::Passed;
    }
    if (compared < RequestSize) {
        return Outcome::Pending;
    }
    m_watchRepeat = false;
    return echoTakenOut(rxFrame, rxCount, RequestSize);
}

EchoFilter::Outcome EchoFilter::echoTakenOut(TRxFrame& rxFrame, int& rxCount, int at) {
    std::copy(rxFrame.begin() + at + RequestSize, rxFrame.begin() + rxCount, rxFrame.begin() + at);
    rxCount -= RequestSize;
    m_echoed = true;
    const bool found = !m_lineEchoes;
    m_lineEchoes = true;
    return found ? Outcome::Found : Outcome::Dropped;
}

void EchoFilter::ReplyAccepted() {
    if (m_request[1] == FunctionReadHolding && !m_echoed) {
        m_lineEchoes = false;
    }
}
