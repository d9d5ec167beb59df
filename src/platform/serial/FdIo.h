#pragma once
// Thin wrappers around poll(), read() and write() on non-blocking descriptors,
// each with a stop descriptor (an EventFd) that ends any wait at once. The
// descriptors they serve are a pseudo-terminal's master end, which Windows
// does not have: there only SleepUnlessStopped() waits, and the others answer
// as for a descriptor that is not there.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace FdIo {

enum class WaitResult {
    Readable, ///< data is waiting on the descriptor
    Stopped,  ///< the stop descriptor was signalled
    TimedOut, ///< the time-out ran out first
    HungUp,   ///< the other end is gone (no data left to read)
    Failed,   ///< poll() itself failed or the descriptor is invalid
};

/// Waits until fd has data, stopFd is signalled or the time-out passes; no
/// time-out waits for ever. Interrupted calls are resumed with the time left.
WaitResult WaitReadable(int fd, int stopFd, std::optional<std::chrono::microseconds> timeout);

/// Waits until one of fds has data, stopFd is signalled or the deadline
/// passes (none: for ever). readable[i] tells whether fds[i] has data; when
/// none has, one that hung up (or failed) gives HungUp.
WaitResult WaitAnyReadable(std::span<const int> fds, int stopFd,
                           std::optional<std::chrono::steady_clock::time_point> deadline,
                           std::vector<bool>& readable);

/// Sleeps for the given time unless stopFd is signalled first. Returns true
/// when it was stopped.
bool SleepUnlessStopped(int stopFd, std::chrono::microseconds duration);

/// Reads what is waiting, up to buffer.size() bytes. Returns the count (0 when
/// nothing is waiting) or -errno.
std::ptrdiff_t ReadAvailable(int fd, std::span<std::uint8_t> buffer);

/// Writes all bytes, waiting for room when the descriptor is full. Gives up
/// when stopFd is signalled or when no room appears within stallLimit; returns
/// the number of bytes written.
std::size_t WriteAll(int fd, std::span<const std::uint8_t> bytes, int stopFd,
                     std::chrono::milliseconds stallLimit);

/// The character format a terminal line is set to.
struct LineFormat {
    unsigned baudRate = 0;          ///< bits per second, 0 when unknown
    unsigned bitsPerCharacter = 10; ///< start + data + parity + stop bits
};

/// Reads the line's rate and framing (any rate, including custom ones). On a
/// pseudo-terminal master this is what the client set on the slave side.
std::optional<LineFormat> ReadLineFormat(int fd);

} // namespace FdIo
