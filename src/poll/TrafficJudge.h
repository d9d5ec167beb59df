#pragma once
// Turns what the poll engine does into the traffic record: one entry for every
// request, every reply (sound or not) and every miss, each with its verdict,
// and hands the entries to the listeners. The engine calls it at the points
// where a request is sent, bytes arrive and the tick settles a request; the
// engine's own behaviour does not depend on it.

#include "modbus/RtuFrame.h"
#include "poll/PollListener.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TrafficJudge {
public:
    using Clock = std::chrono::steady_clock;

    /// Tells the engine's listeners, in their order.
    explicit TrafficJudge(const std::vector<PollListener*>& listeners) : m_listeners(listeners) {}

    /// Start: elapsed times count from now, no request is waiting.
    void Started();
    /// A request left (written true) or the port refused it. Its entry is
    /// stamped now, and the replies' response times count from now.
    void RequestSent(const std::uint8_t* frame, std::size_t count, bool written);
    /// The reply buffer holds rxCount bytes after a delivery whose last byte
    /// arrived at rxTime; check is the engine's judgement of them. Bytes not
    /// yet on record go on record: the whole reply once it is in, with that
    /// verdict, and anything after it as unexpected. Unexpected bytes are
    /// gathered into one entry until the request is over (a stray frame may
    /// come a byte at a time).
    void Received(const std::uint8_t* rxFrame, std::size_t rxCount, ReplyCheck check,
                  Clock::time_point rxTime);
    /// A delivery was dropped because it would have run past the reply buffer.
    void Overflowed(const std::uint8_t* bytes, std::size_t count, Clock::time_point rxTime);
    /// A tick begins: the request on the line is over, so unexpected bytes
    /// gathered for it go on record.
    void TickStarted();
    /// The tick counted a miss; rxCount bytes came for the request since it was sent.
    void MissCounted(std::size_t rxCount);
    /// The line handed the request back (arrived at rxTime); the echo was
    /// taken out of the reply buffer and is not judged as a reply.
    void Echoed(const std::uint8_t* bytes, std::size_t count, Clock::time_point rxTime);
    /// The line went away, or was opened again after that.
    void LineChanged(bool back);
    /// The line dropped a frame itself (a late reply): recorded as it came,
    /// with the line's verdict and no response time, since it answers no
    /// request on the line.
    void Dropped(const std::uint8_t* bytes, std::size_t count, TrafficVerdict verdict,
                 Clock::time_point time);

    /// Received bytes as they went over the line, for a line that carries the
    /// engine's frames in another form; none for one that does not.
    using WireForm =
        std::function<std::vector<std::uint8_t>(const std::uint8_t* bytes, std::size_t count)>;
    void SetWireForm(WireForm wireForm) { m_wireForm = std::move(wireForm); }

private:
    void recordStrayBytes();
    void emitEntry(TrafficDirection direction, TrafficVerdict verdict, const std::uint8_t* bytes,
                   std::size_t count, Clock::time_point when, bool received,
                   std::uint8_t exceptionCode = 0, bool answersRequest = true);

    const std::vector<PollListener*>& m_listeners;
    WireForm m_wireForm;
    Clock::time_point m_start = Clock::now();
    std::optional<Clock::time_point> m_lastWrite;
    // Whether a request waits for its whole reply, and how many bytes of the
    // reply buffer are on record already.
    bool m_waiting = false;
    std::size_t m_recorded = 0;
    // Unexpected bytes not yet on record, and when the last of them came.
    std::vector<std::uint8_t> m_stray;
    Clock::time_point m_strayTime;
};
