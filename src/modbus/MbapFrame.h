#pragma once
// Modbus TCP framing: the MBAP header (transaction id, protocol id, length,
// unit id) in front of the PDU, and the translation between that form and the
// RTU frame (address, PDU, CRC) that the rest of the tool speaks. A Modbus TCP
// frame carries no CRC: TCP keeps its bytes whole.

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t MbapHeaderSize = 7;
/// The longest PDU Modbus allows (function code and data).
inline constexpr std::size_t MaxPduSize = 253;
/// The length field counts the unit id and the PDU.
inline constexpr std::size_t MbapShortestLength = 2;
inline constexpr std::size_t MbapLongestLength = 1 + MaxPduSize;
inline constexpr std::size_t MaxMbapFrameSize = MbapHeaderSize - 1 + MbapLongestLength;
/// Modbus's own protocol id; anything else is not Modbus.
inline constexpr std::uint16_t ModbusProtocolId = 0;
/// An RTU frame's address byte and CRC around the PDU.
inline constexpr std::size_t RtuOverhead = 3;
/// The longest RTU frame: address, the longest PDU, CRC.
inline constexpr std::size_t MaxRtuFrameSize = RtuOverhead + MaxPduSize;

struct MbapHeader {
    std::uint16_t transaction = 0;
    std::uint16_t protocol = 0;
    std::uint16_t length = 0;
    std::uint8_t unit = 0;
};

/// The header of the first MbapHeaderSize bytes.
MbapHeader ReadMbapHeader(const std::uint8_t* bytes);

/// What the bytes at the start of a stream make of a Modbus TCP frame.
enum class MbapCheck {
    Incomplete,  ///< not all of the frame is in yet
    Whole,       ///< a whole frame of MbapFrameSize bytes
    BadProtocol, ///< a protocol id other than Modbus's: not a Modbus stream
    BadLength,   ///< a length field no Modbus frame can have
};

/// Judges the header as soon as it is in, so that a length no frame can have
/// is refused before its bytes are waited for.
MbapCheck CheckMbapFrame(const std::uint8_t* bytes, std::size_t count);
/// The size of the frame whose header starts the bytes.
std::size_t MbapFrameSize(const MbapHeader& header);

/// An RTU frame (address, PDU, CRC) as a Modbus TCP frame: the address
/// becomes the unit id, the CRC is left out. The RTU frame must hold at least
/// RtuOverhead + 1 bytes.
std::vector<std::uint8_t> MbapFromRtu(std::uint16_t transaction, const std::uint8_t* rtu,
                                      std::size_t count);
/// A whole Modbus TCP frame as an RTU frame: the unit id as the address, the
/// PDU, and the CRC over both.
std::vector<std::uint8_t> RtuFromMbap(const std::uint8_t* frame, std::size_t size);
