#include "poll/TrafficJudge.h"

#include "modbus/RtuFrame.h"

#include <algorithm>

namespace {

TrafficVerdict verdictOf(ReplyCheck check) {
    switch (check) {
    case ReplyCheck::Ok:
        return TrafficVerdict::Ok;
    case ReplyCheck::WrongAddress:
        return TrafficVerdict::WrongAddress;
    case ReplyCheck::Exception:
        return TrafficVerdict::Exception;
    case ReplyCheck::WrongCount:
        return TrafficVerdict::WrongCount;
    case ReplyCheck::BadCrc:
        return TrafficVerdict::BadCrc;
    case ReplyCheck::Incomplete:
        break;
    }
    return TrafficVerdict::Incomplete;
}

// The wall-clock time of a moment on the monotonic clock: now on the wall
// clock, less how long ago the moment was. The wall clock may be set while
// polling; the record then follows it.
std::chrono::system_clock::time_point wallTimeOf(TrafficJudge::Clock::time_point when) {
    const auto ago = TrafficJudge::Clock::now() - when;
    return std::chrono::system_clock::now() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(ago);
}

} // namespace

void TrafficJudge::Started() {
    recordStrayBytes();
    m_start = Clock::now();
    m_lastWrite.reset();
    m_waiting = false;
    m_recorded = 0;
    for (PollListener* listener : m_listeners) {
        listener->OnStarted();
    }
}

void TrafficJudge::RequestSent(const std::uint8_t* frame, std::size_t count, bool written) {
    const Clock::time_point now = Clock::now();
    m_lastWrite = now;
    m_waiting = true;
    m_recorded = 0;
    emitEntry(TrafficDirection::Tx, written ? TrafficVerdict::Sent : TrafficVerdict::WriteFailed,
              frame, count, now, false);
}

void TrafficJudge::Received(const std::uint8_t* rxFrame, std::size_t rxCount, ReplyCheck check,
                            Clock::time_point rxTime) {
    if (m_waiting) {
        if (check == ReplyCheck::Incomplete) {
            return;
        }
        const std::size_t length = ReplyFrameLength(rxFrame, rxCount);
        const bool exception = check == ReplyCheck::Exception;
        emitEntry(TrafficDirection::Rx, verdictOf(check), rxFrame, length, rxTime, true,
                  exception ? ExceptionCode(rxFrame) : std::uint8_t{0});
        m_waiting = false;
        m_recorded = length;
    }
    // Whatever follows the whole reply belongs to no request: the tail of a
    // garbled frame, a reply that came too late, noise on the line.
    if (rxCount > m_recorded) {
        m_stray.insert(m_stray.end(), rxFrame + m_recorded, rxFrame + rxCount);
        m_strayTime = rxTime;
        m_recorded = rxCount;
    }
}

void TrafficJudge::Overflowed(const std::uint8_t* bytes, std::size_t count,
                              Clock::time_point rxTime) {
    recordStrayBytes();
    emitEntry(TrafficDirection::Rx, TrafficVerdict::Overflow, bytes, count, rxTime, true);
}

void TrafficJudge::TickStarted() {
    recordStrayBytes();
}

void TrafficJudge::recordStrayBytes() {
    if (m_stray.empty()) {
        return;
    }
    emitEntry(TrafficDirection::Rx, TrafficVerdict::Unexpected, m_stray.data(), m_stray.size(),
              m_strayTime, true);
    m_stray.clear();
}

void TrafficJudge::MissCounted(std::size_t rxCount) {
    // A request whose whole reply was unsound is explained by that reply's
    // entry; one that never got a whole reply gets its own.
    if (m_waiting) {
        m_waiting = false;
        emitEntry(TrafficDirection::NoReply,
                  rxCount > 0 ? TrafficVerdict::Incomplete : TrafficVerdict::NoReply, nullptr, 0,
                  Clock::now(), false);
    }
    for (PollListener* listener : m_listeners) {
        listener->OnMissCounted();
    }
}

void TrafficJudge::Echoed(const std::uint8_t* bytes, std::size_t count, Clock::time_point rxTime) {
    emitEntry(TrafficDirection::Rx, TrafficVerdict::Echo, bytes, count, rxTime, true);
}

void TrafficJudge::LineChanged(bool back) {
    recordStrayBytes();
    emitEntry(TrafficDirection::NoReply, back ? TrafficVerdict::LineBack : TrafficVerdict::LineLost,
              nullptr, 0, Clock::now(), false);
}

void TrafficJudge::Dropped(const std::uint8_t* bytes, std::size_t count, TrafficVerdict verdict,
                           Clock::time_point time) {
    recordStrayBytes();
    emitEntry(TrafficDirection::Rx, verdict, bytes, count, time, true, 0, false);
}

void TrafficJudge::emitEntry(TrafficDirection direction, TrafficVerdict verdict,
                             const std::uint8_t* bytes, std::size_t count, Clock::time_point when,
                             bool received, std::uint8_t exceptionCode, bool answersRequest) {
    if (m_listeners.empty()) {
        return;
    }
    // The write's return is noted when the engine gets on after it; a busy
    // machine can hold the engine up in between for longer than a prompt
    // slave takes to answer, and the receiving thread then sees the reply
    // "before" the write returned. Such a reply counts as immediate, so that
    // the record stays in order.
    if (received && m_lastWrite && when < *m_lastWrite) {
        when = *m_lastWrite;
    }
    TrafficEvent event;
    event.time = wallTimeOf(when);
    event.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(when - m_start);
    event.direction = direction;
    event.verdict = verdict;
    event.exceptionCode = exceptionCode;
    if (count > 0) {
        // A frame the line dropped is on record as it came already.
        if (received && answersRequest && m_wireForm) {
            event.bytes = m_wireForm(bytes, count);
        }
        if (event.bytes.empty()) {
            event.bytes.assign(bytes, bytes + count);
        }
    }
    if (received && answersRequest && m_lastWrite) {
        event.responseTime =
            std::chrono::duration_cast<std::chrono::microseconds>(when - *m_lastWrite);
    }
    for (PollListener* listener : m_listeners) {
        listener->OnTraffic(event);
    }
}
