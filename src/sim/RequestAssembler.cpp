#include "sim/RequestAssembler.h"

#include "modbus/CRC16.h"

#include <algorithm>

namespace {

// Address, function and the two CRC bytes: nothing shorter is a frame.
constexpr std::size_t MinimumFrameSize = 4;

struct RequestLength {
    enum class Kind { Known, NeedMore, Unknown } kind = Kind::Unknown;
    std::size_t bytes = 0;
};

RequestLength known(std::size_t bytes) {
    return {RequestLength::Kind::Known, bytes};
}
RequestLength needMore() {
    return {RequestLength::Kind::NeedMore, 0};
}
RequestLength unknown() {
    return {RequestLength::Kind::Unknown, 0};
}

// A byte-count field at position countAt decides the length: fixed + count.
RequestLength countedLength(const std::uint8_t* frame, std::size_t available, std::size_t countAt,
                            std::size_t fixed) {
    if (available <= countAt) {
        return needMore();
    }
    return known(fixed + frame[countAt]);
}

// The length of a request by the public Modbus function codes. Functions not
// listed here (user-defined ones and anything with bit 7 set) have no rule.
RequestLength requestLength(const std::uint8_t* frame, std::size_t available) {
    if (available < 2) {
        return needMore();
    }
    switch (frame[1]) {
    case 0x01: // read coils
    case 0x02: // read discrete inputs
    case 0x03: // read holding registers
    case 0x04: // read input registers
    case 0x05: // write single coil
    case 0x06: // write single register
    case 0x08: // diagnostics
        return known(8);
    case 0x07: // read exception status
    case 0x0B: // get comm event counter
    case 0x0C: // get comm event log
    case 0x11: // report server ID
        return known(4);
    case 0x0F: // write multiple coils
    case 0x10: // write multiple registers
        return countedLength(frame, available, 6, 9);
    case 0x14: // read file record
    case 0x15: // write file record
        return countedLength(frame, available, 2, 5);
    case 0x16: // mask write register
        return known(10);
    case 0x17: // read/write multiple registers
        return countedLength(frame, available, 10, 13);
    case 0x18: // read FIFO queue
        return known(6);
    default:
        return unknown();
    }
}

bool crcHolds(const std::uint8_t* frame, std::size_t length) {
    if (length < MinimumFrameSize) {
        return false;
    }
    const std::uint16_t crc = Crc16Of(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

} // namespace

void RequestAssembler::Append(std::span<const std::uint8_t> bytes) {
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

std::optional<std::vector<std::uint8_t>> RequestAssembler::TakeRequest() {
    for (std::size_t start = 0; start + MinimumFrameSize <= m_buffer.size(); ++start) {
        const std::size_t available = m_buffer.size() - start;
        const RequestLength length = requestLength(m_buffer.data() + start, available);
        if (length.kind == RequestLength::Kind::Known && length.bytes <= available &&
            crcHolds(m_buffer.data() + start, length.bytes)) {
            return takeAt(start, length.bytes);
        }
    }
    // Nothing whole yet. A backlog longer than any frame cannot all belong to
    // one request, so its oldest bytes go.
    if (m_buffer.size() > MaxFrameSize) {
        discardFront(m_buffer.size() - MaxFrameSize);
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> RequestAssembler::LineIdle() {
    if (auto request = TakeRequest()) {
        return request;
    }
    // A frame of unknown length ends with the silence: take the longest run of
    // bytes up to here whose CRC holds.
    for (std::size_t start = 0; start + MinimumFrameSize <= m_buffer.size(); ++start) {
        const std::size_t available = m_buffer.size() - start;
        const RequestLength length = requestLength(m_buffer.data() + start, available);
        if (length.kind == RequestLength::Kind::Unknown &&
            crcHolds(m_buffer.data() + start, available)) {
            return takeAt(start, available);
        }
    }
    dropHopelessPrefix();
    return std::nullopt;
}

void RequestAssembler::Clear() {
    m_discarded += m_buffer.size();
    m_buffer.clear();
}

std::optional<std::vector<std::uint8_t>> RequestAssembler::takeAt(std::size_t start,
                                                                  std::size_t length) {
    discardFront(start);
    std::vector<std::uint8_t> request(m_buffer.begin(),
                                      m_buffer.begin() + static_cast<std::ptrdiff_t>(length));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(length));
    return request;
}

void RequestAssembler::discardFront(std::size_t count) {
    count = std::min(count, m_buffer.size());
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(count));
    m_discarded += count;
}

// Keeps only what may still be the start of a request that is partly in: a
// known function whose length has not been reached yet. The rest of a quiet
// line's backlog is garbage.
void RequestAssembler::dropHopelessPrefix() {
    while (!m_buffer.empty()) {
        const RequestLength length = requestLength(m_buffer.data(), m_buffer.size());
        const bool mayGrow = length.kind == RequestLength::Kind::NeedMore ||
                             (length.kind == RequestLength::Kind::Known &&
                              length.bytes > m_buffer.size() && length.bytes <= MaxFrameSize);
        if (mayGrow) {
            return;
        }
        discardFront(1);
    }
}
