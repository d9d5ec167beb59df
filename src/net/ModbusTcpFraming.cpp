#include "net/ModbusTcpFraming.h"

#include <algorithm>

void ModbusTcpFraming::Reset() {
    // Transaction ids run on across connections, so that a reply the last
    // connection owed can never pass for one to this connection's requests.
    m_waiting = false;
    m_issued = 0;
    m_held = 0;
}

std::vector<std::uint8_t> ModbusTcpFraming::WireRequest(const std::uint8_t* frame,
                                                        std::size_t count) const {
    return MbapFromRtu(m_next, frame, count);
}

std::vector<std::uint8_t> ModbusTcpFraming::Encode(const std::uint8_t* frame, std::size_t count) {
    std::vector<std::uint8_t> wire = MbapFromRtu(m_next, frame, count);
    m_current = m_next++;
    m_waiting = true;
    ++m_issued;
    return wire;
}

std::optional<QString> ModbusTcpFraming::Take(const std::uint8_t* bytes, std::size_t count,
                                              FramingSink& sink) {
    while (count > 0) {
        // Never more than the header, then never more than the frame the
        // header announced: the buffer holds one frame at most.
        const std::size_t wanted = m_held < MbapHeaderSize
                                       ? MbapHeaderSize - m_held
                                       : MbapFrameSize(ReadMbapHeader(m_frame.data())) - m_held;
        const std::size_t taken = std::min(wanted, count);
        std::copy_n(bytes, taken, m_frame.begin() + static_cast<std::ptrdiff_t>(m_held));
        m_held += taken;
        bytes += taken;
        count -= taken;
        switch (CheckMbapFrame(m_frame.data(), m_held)) {
        case MbapCheck::Incomplete:
            break;
        case MbapCheck::Whole:
            frameComplete(sink);
            m_held = 0;
            break;
        case MbapCheck::BadProtocol:
            sink.FrameDropped(m_frame.data(), m_held, TrafficVerdict::Unexpected);
            return tr("The peer sent a frame with protocol id %1, which is not Modbus TCP.")
                .arg(ReadMbapHeader(m_frame.data()).protocol);
        case MbapCheck::BadLength:
            sink.FrameDropped(m_frame.data(), m_held, TrafficVerdict::Unexpected);
            return tr("The peer sent a frame length of %1 bytes, which no Modbus frame has.")
                .arg(ReadMbapHeader(m_frame.data()).length);
        }
    }
    return std::nullopt;
}

void ModbusTcpFraming::frameComplete(FramingSink& sink) {
    const MbapHeader header = ReadMbapHeader(m_frame.data());
    if (m_waiting && header.transaction == m_current) {
        m_waiting = false;
        m_lastWire.assign(m_frame.begin(), m_frame.begin() + static_cast<std::ptrdiff_t>(m_held));
        m_lastReply = RtuFromMbap(m_frame.data(), m_held);
        sink.ReplyBytes(m_lastReply.data(), m_lastReply.size());
        return;
    }
    sink.FrameDropped(m_frame.data(), m_held,
                      sentEarlier(header.transaction) ? TrafficVerdict::Late
                                                      : TrafficVerdict::Unexpected);
}

bool ModbusTcpFraming::sentEarlier(std::uint16_t transaction) const {
    // How many requests before the current one it was sent, counting round
    // the 16-bit ids; only a request of this connection can be answered on it.
    const auto before = static_cast<std::uint16_t>(m_current - transaction);
    return before > 0 && before < m_issued;
}

std::vector<std::uint8_t> ModbusTcpFraming::WireReply(const std::uint8_t* frame,
                                                      std::size_t count) const {
    if (count != m_lastReply.size() || !std::equal(frame, frame + count, m_lastReply.begin())) {
        return {};
    }
    return m_lastWire;
}
