#pragma once
// How long a Modbus RTU frame is, by the rules of its function code: a
// request's length follows from its function (and, for the writes of several
// values, from its byte count), a reply's from its function and byte count,
// or it is the five bytes of an exception. A listener on the bus reads these
// rules to find where one frame ends and the next begins without relying on
// the silence between them, which a USB adapter does not keep.

#include <cstddef>
#include <cstdint>

// Who sent a frame on a bus with one master.
enum class FrameRole {
    Request, ///< the master
    Reply,   ///< a slave
};

// What the bytes so far tell about a frame's length in one role.
struct FrameLength {
    enum class Outcome {
        Known,    ///< `length` bytes in all
        NeedMore, ///< the length follows from bytes not yet in: `length` bytes are needed to know
        None,     ///< no rule applies: an unknown function, or a frame impossible in this role
    };
    Outcome outcome = Outcome::None;
    std::size_t length = 0;
};

/// The longest frame Modbus RTU allows.
inline constexpr std::size_t LongestRtuFrame = 256;
/// The shortest: address, function and CRC.
inline constexpr std::size_t ShortestRtuFrame = 4;
/// Addresses above this are reserved and never seen on a sound bus.
inline constexpr std::uint8_t HighestSlaveAddress = 247;

/// The length of a frame that begins with the `available` bytes given, sent
/// in the given role. Address 0 (broadcast) is a request's only.
FrameLength RtuFrameLength(FrameRole role, const std::uint8_t* bytes, std::size_t available);

/// Whether a function code (without the exception flag) has a length rule in
/// the given role.
bool HasLengthRule(FrameRole role, std::uint8_t function);
