#include "modbus/MbapFrame.h"

#include "modbus/CRC16.h"

namespace {

std::uint16_t bigEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void appendBigEndian(std::vector<std::uint8_t>& bytes, std::size_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8 & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

MbapHeader ReadMbapHeader(const std::uint8_t* bytes) {
    return MbapHeader{bigEndian(bytes), bigEndian(bytes + 2), bigEndian(bytes + 4), bytes[6]};
}

std::size_t MbapFrameSize(const MbapHeader& header) {
    return MbapHeaderSize - 1 + header.length;
}

MbapCheck CheckMbapFrame(const std::uint8_t* bytes, std::size_t count) {
    // The protocol id and the length are judged as soon as their bytes are
    // in: a stream of garbage is found out after six bytes, never after the
    // 65 kB its length field may promise.
    if (count >= 4 && bigEndian(bytes + 2) != ModbusProtocolId) {
        return MbapCheck::BadProtocol;
    }
    if (count < 6) {
        return MbapCheck::Incomplete;
    }
    const std::uint16_t length = bigEndian(bytes + 4);
    if (length < MbapShortestLength || length > MbapLongestLength) {
        return MbapCheck::BadLength;
    }
    return count >= MbapHeaderSize - 1 + length ? MbapCheck::Whole : MbapCheck::Incomplete;
}

std::vector<std::uint8_t> MbapFromRtu(std::uint16_t transaction, const std::uint8_t* rtu,
                                      std::size_t count) {
    const std::size_t pdu = count - RtuOverhead;
    std::vector<std::uint8_t> frame;
    frame.reserve(MbapHeaderSize + pdu);
    appendBigEndian(frame, transaction);
    appendBigEndian(frame, ModbusProtocolId);
    appendBigEndian(frame, 1 + pdu);
    frame.insert(frame.end(), rtu, rtu + 1 + pdu);
    return frame;
}

std::vector<std::uint8_t> RtuFromMbap(const std::uint8_t* frame, std::size_t size) {
    std::vector<std::uint8_t> rtu(frame + MbapHeaderSize - 1, frame + size);
    const std::uint16_t crc = Crc16Of(rtu.data(), rtu.size());
    rtu.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    rtu.push_back(static_cast<std::uint8_t>(crc >> 8));
    return rtu;
}
