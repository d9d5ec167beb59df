#pragma once
// The event thread of an open port: it sleeps in one poll() on the device
// and a stop descriptor, turns what it finds into a batch of line events, and
// hands the batch to the application by the port's SyncMethod.

#include "serial/ComRxGathering.h"
#include "serial/ComTypes.h"

#include "platform/serial/SerialEventWaiter.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class TCustomComPort;

class TComThread {
public:
    /// Creates the thread for an open port and starts it.
    explicit TComThread(TCustomComPort* ComPort);
    /// Stops the thread and waits until it has ended; on the main thread the
    /// wait keeps running queued hand-overs, so a delivery in progress ends.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    /// Signals the stop descriptor and yields the processor once.
    void StopWaiting();
    /// Tells the thread that `count` bytes were written, so that it watches
    /// for the transmit queue running empty.
    void NotifyWrite(int count);
    /// The received total (read plus waiting, since opening) at which the
    /// reply the owner waits for is complete; the thread hands bytes over as
    /// soon as it is reached instead of waiting for a pause in the line.
    void ExpectInput(std::uint64_t total) { m_expectedInput = total; }
    /// The time one character takes at the line's present settings.
    void SetCharacterTime(std::chrono::nanoseconds time) { m_characterTime = time.count(); }
    /// The port is about to close its device: the thread must not touch it
    /// any more (used when the thread cannot be waited for).
    void ReleaseDevice() { m_deviceReleased = true; }

    bool Finished() const { return m_finished; }
    bool IsCurrentThread() const { return std::this_thread::get_id() == m_thread.get_id(); }
    /// Whether DeliverEvents is running (on the thread that delivers).
    bool Delivering() const { return m_delivering; }

    /// The bytes received since opening (read plus waiting) as the thread
    /// last saw their total grow, and when it saw that on the monotonic clock.
    struct InputMark {
        std::uint64_t received = 0;
        std::chrono::steady_clock::time_point seen;
    };
    /// May be called from any thread.
    InputMark LastInputMark() const;
    /// The marks, oldest first, of every look since the total passed
    /// `total`, as far as the thread keeps them (the latest MarkHistory): when
    /// each part of the bytes after it arrived. May be called from any thread.
    std::vector<InputMark> InputMarksAfter(std::uint64_t total) const;
    static constexpr std::size_t MarkHistory = 64;

    /// The batch received last.
    TComEvents Events() const { return m_events; }
    /// Runs the port's step for each event of the batch in the fixed order.
    void DeliverEvents();

    static std::uint32_t EventsToMask(TComEvents Events);
    static TComEvents MaskToEvents(std::uint32_t Mask);

private:
    struct WatchState;

    void Execute();
    std::optional<std::chrono::microseconds> nextTimeout(const WatchState& state) const;
    /// How long until the transmit queue is due to be looked at again.
    std::chrono::microseconds transmitTimeout(const WatchState& state) const;
    /// False when the device can no longer be asked (it hung up).
    bool lookAtInput(WatchState& state, bool readable, TComEvents& batch);
    /// Whether the batch held so far is to be handed over now; otherwise
    /// notes when to look at the input again.
    bool handOverDue(WatchState& state, bool newBytes);
    /// Hands over what is held (at a stop or a hang-up, so that no byte
    /// announced to nobody is left behind); false when the thread must end.
    bool handOverHeld(WatchState& state);
    void takeHeldBytesIn(WatchState& state);
    void lookAtTransmitQueue(WatchState& state, TComEvents& batch);
    void lookAtLines(WatchState& state, TComEvents& batch);
    bool DispatchEvents();
    void SendEventMessages();
    /// The port's Events, less those that no handler would hear of.
    static TComEvents WatchedEvents(const TCustomComPort& port);

    TCustomComPort* m_comPort = nullptr;
    SerialEventWaiter m_stopEvent;
    TComEvents m_events;
    TComEvents m_watched;
    TSyncMethod m_syncMethod = smThreadSync;
    int m_priority = 0;
    // Receive-queue count that raises evRx80Full: 80 % of the input size.
    int m_fullMark = 0;
    std::atomic<bool> m_txPending = false;
    std::atomic<std::uint64_t> m_expectedInput = 0;
    // When the latest write is first looked at, in microseconds after it.
    std::atomic<std::int64_t> m_firstTransmitLook = 0;
    std::atomic<std::int64_t> m_characterTime = 0;
    // Writes so far, and whether the thread looks at a stalled transmit queue
    // only rarely; both let a new write be followed closely again.
    std::atomic<std::uint64_t> m_writes = 0;
    std::atomic<bool> m_txBackedOff = false;
    std::atomic<bool> m_deviceReleased = false;
    std::atomic<bool> m_delivering = false;
    std::atomic<bool> m_finished = false;
    mutable std::mutex m_markMutex;
    // The latest marks, in a ring; m_markCount counts every mark ever made.
    std::array<InputMark, MarkHistory> m_marks{};
    std::size_t m_markCount = 0;
    std::thread m_thread;
};
