#pragma once
// One entry of the traffic record: a request sent, bytes received, or a
// request that got no whole reply, with its verdict and times. The poll
// engine judges every frame once and hands the entries to its listeners.

#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class TrafficDirection {
    Tx,      ///< a request ("Tx")
    Rx,      ///< bytes received ("Rx")
    NoReply, ///< a request that got no whole reply ("--")
};

// Every verdict an entry can carry. Tx entries: Sent, WriteFailed. Rx entries:
// Ok to Unexpected, Echo and Late. "--" entries: NoReply, Incomplete,
// LineLost, LineBack.
enum class TrafficVerdict {
    Sent,         ///< the request went to the port
    WriteFailed,  ///< the port refused the request
    Ok,           ///< a sound reply
    BadCrc,       ///< a whole reply whose CRC is wrong
    WrongAddress, ///< a whole reply from another slave
    WrongCount,   ///< a read reply that does not carry the 40 bytes asked for
    Exception,    ///< the slave refused the request (the code is in exceptionCode)
    Overflow,     ///< bytes that would have run past the reply buffer, dropped
    Unexpected,   ///< bytes with no request waiting for them: late or stray
    NoReply,      ///< nothing came back before the next request
    Incomplete,   ///< bytes came, never a whole reply
    Echo,         ///< the request handed back by the line itself, dropped
    LineLost,     ///< the line went away (an adapter pulled out)
    LineBack,     ///< the line was opened again
    Late,         ///< a reply to an earlier request (its transaction id says so), dropped
};

inline constexpr int TrafficVerdictCount = static_cast<int>(TrafficVerdict::Late) + 1;

struct TrafficEvent {
    using Clock = std::chrono::steady_clock;

    /// Local date and time on the wall clock.
    std::chrono::system_clock::time_point time;
    /// Since Start, on the monotonic clock.
    std::chrono::microseconds elapsed{0};
    TrafficDirection direction = TrafficDirection::Tx;
    TrafficVerdict verdict = TrafficVerdict::Sent;
    /// The code of an exception reply; 0 for every other verdict.
    std::uint8_t exceptionCode = 0;
    /// The bytes sent or received; empty for "--".
    std::vector<std::uint8_t> bytes;
    /// Rx entries: from the return of the request's write to the arrival of
    /// the last byte.
    std::optional<std::chrono::microseconds> responseTime;
    /// The response time is only as fine as the latency timer of the USB
    /// adapter the bytes came through (a listener's, holding them for
    /// milliseconds).
    bool coarseTime = false;
};

/// "Tx", "Rx" or "--".
QString TrafficDirectionText(TrafficDirection direction);

/// "sent", "ok", "bad-crc", ..., "exception-XX" with the code in upper-case hex.
QString TrafficVerdictText(TrafficVerdict verdict, std::uint8_t exceptionCode = 0);
inline QString TrafficVerdictText(const TrafficEvent& event) {
    return TrafficVerdictText(event.verdict, event.exceptionCode);
}

/// Two upper-case hex digits per byte, separated by single spaces.
QString TrafficBytesText(const std::uint8_t* bytes, std::size_t count);
inline QString TrafficBytesText(const std::vector<std::uint8_t>& bytes) {
    return TrafficBytesText(bytes.data(), bytes.size());
}
