#include "listen/FramePairer.h"

#include "modbus/RtuFrame.h"

#include <algorithm>

namespace {

constexpr std::uint8_t ReadCoils = 0x01;
constexpr std::uint8_t ReadDiscreteInputs = 0x02;
constexpr std::uint8_t ReadInput = 0x04;
// The start register and quantity of a read request, big-endian after the function.
constexpr std::size_t StartOffset = 2;
constexpr std::size_t QuantityOffset = 4;
constexpr std::size_t ReadRequestLength = 8;
constexpr std::size_t ByteCountOffset = 2;
constexpr std::size_t FirstValueOffset = 3;
constexpr int BitsPerByte = 8;

int wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return (bytes[offset] << BitsPerByte) | bytes[offset + 1];
}

// The byte count a sound reply to a read request carries; nothing for other requests.
std::optional<int> expectedByteCount(const std::vector<std::uint8_t>& request) {
    if (request.size() != ReadRequestLength) {
        return std::nullopt;
    }
    const int quantity = wordAt(request, QuantityOffset);
    switch (request[1]) {
    case ReadCoils:
    case ReadDiscreteInputs:
        return (quantity + BitsPerByte - 1) / BitsPerByte;
    case FunctionReadHolding:
    case ReadInput:
        return 2 * quantity;
    default:
        return std::nullopt;
    }
}

} // namespace

void FramePairer::Take(const BusFrame& frame, std::vector<BusEntry>& entries) {
    switch (frame.kind) {
    case BusFrame::Kind::Request:
        takeRequest(frame, entries);
        return;
    case BusFrame::Kind::Reply:
        takeReply(frame, entries);
        return;
    case BusFrame::Kind::Unexpected:
        break;
    }
    BusEntry entry;
    entry.direction = TrafficDirection::Rx;
    entry.verdict = TrafficVerdict::Unexpected;
    entry.bytes = frame.bytes;
    entry.time = frame.end;
    entries.push_back(std::move(entry));
}

void FramePairer::Settle(Clock::time_point now, std::vector<BusEntry>& entries) {
    if (m_waiting && now - m_waiting->end >= ReplyTimeout) {
        noReply(now, entries);
    }
    m_waiting.reset();
}

void FramePairer::noReply(Clock::time_point when, std::vector<BusEntry>& entries) {
    BusEntry entry;
    entry.direction = TrafficDirection::NoReply;
    entry.verdict = TrafficVerdict::NoReply;
    entry.time = std::max(when, m_waiting->end);
    entry.miss = true;
    entries.push_back(std::move(entry));
    m_waiting.reset();
}

void FramePairer::takeRequest(const BusFrame& frame, std::vector<BusEntry>& entries) {
    if (m_waiting) {
        // The next request settles the one before.
        noReply(frame.start, entries);
    }
    BusEntry entry;
    entry.direction = TrafficDirection::Tx;
    entry.verdict = frame.sound ? TrafficVerdict::Sent : TrafficVerdict::BadCrc;
    entry.bytes = frame.bytes;
    entry.time = frame.end;
    entry.request = true;
    entries.push_back(std::move(entry));
    // A broadcast is answered by no one.
    if (frame.bytes.front() != 0) {
        m_waiting = Waiting{frame.bytes, frame.end};
    }
}

bool FramePairer::answers(const BusFrame& reply) const {
    if (!m_waiting || reply.bytes.size() < 2) {
        return false;
    }
    const std::uint8_t function = reply.bytes[1] & static_cast<std::uint8_t>(~ExceptionFlag);
    return reply.bytes[0] == m_waiting->bytes[0] && function == m_waiting->bytes[1];
}

void FramePairer::takeReply(const BusFrame& frame, std::vector<BusEntry>& entries) {
    BusEntry entry;
    entry.direction = TrafficDirection::Rx;
    entry.bytes = frame.bytes;
    entry.time = frame.end;
    if (!answers(frame)) {
        // A reply to a request not heard, or from a slave not asked.
        entry.verdict = TrafficVerdict::Unexpected;
        entries.push_back(std::move(entry));
        return;
    }
    entry.responseTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::max(frame.end - m_waiting->end, Clock::duration::zero()));
    judgeReply(frame, entry);
    entry.miss = entry.verdict != TrafficVerdict::Ok;
    m_waiting.reset();
    entries.push_back(std::move(entry));
}

void FramePairer::judgeReply(const BusFrame& reply, BusEntry& entry) const {
    const std::vector<std::uint8_t>& bytes = reply.bytes;
    const std::vector<std::uint8_t>& request = m_waiting->bytes;
    if (!reply.sound) {
        entry.verdict = TrafficVerdict::BadCrc;
        return;
    }
    if ((bytes[1] & ExceptionFlag) != 0) {
        entry.verdict = TrafficVerdict::Exception;
        entry.exceptionCode = ExceptionCode(bytes.data());
        return;
    }
    const std::optional<int> count = expectedByteCount(request);
    if (count && bytes[ByteCountOffset] != *count) {
        entry.verdict = TrafficVerdict::WrongCount;
        return;
    }
    entry.verdict = TrafficVerdict::Ok;
    if (bytes[1] != FunctionReadHolding || !count) {
        return;
    }
    RegisterRead read;
    read.address = bytes[0];
    read.firstRegister = wordAt(request, StartOffset);
    for (int i = 0; i < *count / 2; ++i) {
        read.values.push_back(static_cast<std::uint16_t>(
            wordAt(bytes, FirstValueOffset + 2 * static_cast<std::size_t>(i))));
    }
    entry.read = std::move(read);
}
