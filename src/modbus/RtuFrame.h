#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The two request shapes the master sends (read 20 holding registers, write one
// register) and the rules by which it recognises a whole reply.

inline constexpr std::size_t TxFrameSize = 8;
inline constexpr std::size_t RxFrameSize = 100;
inline constexpr int RegisterCount = 20;

using TTxFrame = std::array<std::uint8_t, TxFrameSize>;
using TRxFrame = std::array<std::uint8_t, RxFrameSize>;

inline constexpr std::uint8_t FunctionReadHolding = 0x03;
inline constexpr std::uint8_t FunctionWriteSingle = 0x06;
inline constexpr std::uint8_t ExceptionFlag = 0x80;

// The read of 20 registers from register 0 for slave 1, one space and two hex
// digits per byte. Only bytes 1 to 5 are taken from it; address and CRC are
// always filled in afresh.
inline constexpr std::string_view ReadRequestTemplate = " 01 03 00 00 00 14 45 C5";

// Register count a sound reply to the read carries in its byte-count field.
inline constexpr std::uint8_t ReadReplyByteCount = 2 * RegisterCount;
inline constexpr std::size_t ReadReplySize = ReadReplyByteCount + 5;
inline constexpr std::size_t WriteReplySize = 8;
inline constexpr std::size_t ExceptionReplySize = 5;

// Sums bytes 0 to 5 and stores the CRC in bytes 6 (low) and 7 (high).
void AppendCrc(TTxFrame& txFrame);

// Fills the whole frame with the read request; the low 8 bits of address are sent.
void BuildReadRequest(TTxFrame& txFrame, int address);

// Fills the whole frame with a write of value (big-endian) to registerIndex.
void BuildWriteRequest(TTxFrame& txFrame, int address, std::uint8_t registerIndex,
                       std::uint16_t value);

// True once the first rxCount bytes of rxFrame hold a whole function 03 or 06
// reply by its length alone: 03 needs its byte count plus five bytes, 06 eight.
// Nothing shorter than seven bytes is ever complete.
bool ReplyIsComplete(const std::uint8_t* rxFrame, std::size_t rxCount);

// Register i (0..19) of a function 03 reply, from bytes 3 + 2i and 4 + 2i.
std::uint16_t RegisterValue(const TRxFrame& rxFrame, int i);

// What the reply checks make of the bytes received for one request. The bytes
// must first form a whole reply: a function 03 or 06 reply by the length rule,
// or the five bytes of an exception reply. The checks then run in a fixed
// order, address, exception, function, byte count, CRC, and the first that
// fails names the outcome. Only function 03 and 06 replies are ever whole, so
// the function check is part of the length rule.
enum class ReplyCheck {
    Incomplete,   ///< not a whole reply (yet)
    WrongAddress, ///< from another slave than the one polled
    Exception,    ///< a Modbus exception reply from the polled slave
    WrongCount,   ///< a read reply whose byte count is not the 40 asked for
    BadCrc,       ///< the CRC does not match the frame
    Ok,           ///< a sound reply
};

ReplyCheck CheckReply(const std::uint8_t* rxFrame, std::size_t rxCount, int address);

// The length of the frame proper that the checks judge: five bytes for an
// exception reply, the length rule's length for a whole reply, 0 while the
// bytes are not a whole reply. Bytes beyond it are not part of the reply.
std::size_t ReplyFrameLength(const std::uint8_t* rxFrame, std::size_t rxCount);

// The exception code of an exception reply (its third byte).
inline std::uint8_t ExceptionCode(const std::uint8_t* rxFrame) {
    return rxFrame[2];
}

// A complete reply is trusted only when its CRC is right, it comes from the polled
// slave and, for a read, it carries exactly the 40 bytes asked for. Bytes after
// the frame proper are not examined.
bool ReplyIsSound(const std::uint8_t* rxFrame, std::size_t rxCount, int address);

// A Modbus exception reply (function byte with bit 7 set) once its five bytes are in.
bool IsExceptionReply(const std::uint8_t* rxFrame, std::size_t rxCount);
