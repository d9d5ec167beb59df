#pragma once
// The receive buffer of a line whose received bytes are read ahead. A
// terminal cannot be looked into without taking its bytes, so to see the
// event character arrive the event thread takes every byte as it comes and
// keeps it here until a read asks for it; without an event character to see,
// it keeps only the bytes it holds back for the rest of their frame, which a
// hang-up would otherwise drop from the driver. Reads serve this buffer
// first, the queue count adds its bytes, and a read that waits for bytes is
// woken when some are kept: callers cannot tell the difference.
//
// All of it may be used from any thread. Whoever reads the device itself
// holds lock() meanwhile, so that the bytes keep their order.

#include "platform/system/EventFd.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

class SerialReadAhead {
public:
    /// Bytes kept at most; beyond this they stay in the driver's queue, as
    /// they would when nobody reads.
    static constexpr std::size_t Capacity = 64 * 1024;

    /// Reading ahead starts and ends with the event thread of a port that
    /// watches for the event character. Ending it keeps what is buffered.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool enabled() const { return m_enabled; }
    void setEventChar(std::uint8_t character) { m_eventChar = character; }
    /// Called when a read on another thread than the event thread took the
    /// event character off the line, so that the event thread reports it.
    /// Set and cleared with lock() held.
    void setEventCharObserver(std::function<void()> observer) { m_observer = std::move(observer); }

    /// Held while the device is read, by whichever thread reads it.
    std::unique_lock<std::mutex> lock() { return std::unique_lock(m_mutex); }

    // The following need lock() held.
    /// Keeps bytes just read and notes the event character among them; a
    /// reader other than the event thread also tells the observer.
    void keep(const std::uint8_t* bytes, std::size_t count, bool byEventThread);
    /// Whether the event character was kept since the last call.
    bool takeEventCharSeen() { return std::exchange(m_eventCharSeen, false); }
    /// Moves up to `count` kept bytes into `buffer`; returns how many.
    std::size_t take(std::uint8_t* buffer, std::size_t count);
    std::size_t size() const { return m_bytes.size(); }
    std::size_t room() const { return Capacity - m_bytes.size(); }
    /// Drops everything kept and returns how much that was.
    std::size_t clear();

    /// A read about to wait for bytes says so while it still holds lock(),
    /// and then waits for the returned descriptor too, which keep() raises
    /// for it (-1 when there is none). endWaiting() takes lock() itself.
    int beginWaiting();
    void endWaiting();

private:
    std::mutex m_mutex;
    std::deque<std::uint8_t> m_bytes;
    std::atomic<bool> m_enabled = false;
    std::atomic<std::uint8_t> m_eventChar = 0;
    int m_waiting = 0;
    bool m_eventCharSeen = false;
    std::function<void()> m_observer;
    EventFd m_kept;
};
