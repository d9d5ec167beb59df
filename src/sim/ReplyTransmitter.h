#pragma once
// Puts a reply on the line the way a UART would: byte after byte at the line's
// character time when pacing is on, and in chunks with gaps when a fault asks.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

struct TransmitPlan {
    /// Time one character takes on the line; zero sends without pacing.
    std::chrono::nanoseconds characterTime{0};
    /// Bytes per chunk; 0 sends the reply as one piece.
    std::size_t chunkSize = 0;
    /// Pause between chunks.
    std::chrono::milliseconds chunkGap{0};
};

/// Time a character of bitsPerCharacter bits takes at baudRate (zero for rate 0).
std::chrono::nanoseconds CharacterTime(unsigned baudRate, unsigned bitsPerCharacter);

/// Writes the reply to fd. Returns false when stopFd ended it early.
bool TransmitReply(int fd, int stopFd, std::span<const std::uint8_t> reply,
                   const TransmitPlan& plan);

/// Puts bytes on a line other than a descriptor (a TCP connection); false
/// when they could not all go.
using ReplyWriter = std::function<bool(std::span<const std::uint8_t> bytes)>;
/// The same, through a writer.
bool TransmitReply(const ReplyWriter& write, int stopFd, std::span<const std::uint8_t> reply,
                   const TransmitPlan& plan);
