#include "serial/ComThread.h"

#include "serial/ComPort.h"

#include "platform/serial/SerialDevice.h"
#include "platform/system/ApplicationErrors.h"
#include "platform/system/MainThreadQueue.h"
#include "platform/system/ThreadPriority.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <utility>

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// Bytes left unread keep the device readable, so while there are any the
// thread stops waiting for input and instead looks every few milliseconds
// whether more have come; that keeps "bytes were received" an edge, as the
// handlers expect, without spinning.
constexpr milliseconds inputRecheckInterval{10};
// The transmit queue and the modem lines cannot be waited for together with
// the device, so while they matter they are looked at on these intervals.
constexpr milliseconds transmitRecheckInterval{2};
constexpr milliseconds lineCheckInterval{50};
// A transmit queue that has not shrunk between two looks belongs to a stalled
// line (flow control, a dead adapter), which may stay so for hours: the pause
// before the next look doubles each time, up to this.
constexpr milliseconds longestTransmitRecheck{256};

// The platform's event bits, one per TComEvent, in TComEvent order.
constexpr std::array<std::uint32_t, 10> eventBits = {
    0x0001, // evRxChar
    0x0004, // evTxEmpty
    0x0002, // evRxFlag
    0x0100, // evRing
    0x0040, // evBreak
    0x0008, // evCTS
    0x0010, // evDSR
    0x0080, // evError
    0x0020, // evRLSD
    0x0400, // evRx80Full
};

// The order in which one batch is delivered.
constexpr std::array<TComEvent, 10> deliveryOrder = {
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};

void runStep(TCustomComPort& port, TComEvent event) {
    switch (event) {
    case evError:
        port.HandleError();
        break;
    case evRxChar:
        port.HandleRxChar();
        break;
    case evTxEmpty:
        port.HandleTxEmpty();
        break;
    case evBreak:
        port.HandleBreak();
        break;
    case evRing:
        port.HandleRing();
        break;
    case evCTS:
        port.HandleCTSChange();
        break;
    case evDSR:
        port.HandleDSRChange();
        break;
    case evRxFlag:
        port.HandleRxFlag();
        break;
    case evRLSD:
        port.HandleRLSDChange();
        break;
    case evRx80Full:
        port.HandleRx80Full();
        break;
    }
}

std::optional<microseconds> earliest(std::optional<microseconds> current, microseconds candidate) {
    return current ? std::min(*current, candidate) : candidate;
}

// Line events seen through the driver's counters, which also catch changes
// that came and went between two looks.
TComEvents counterEvents(const SerialCounters& before, const SerialCounters& now) {
    TComEvents events;
    if (now.cts != before.cts) {
        events.Include(evCTS);
    }
    if (now.dsr != before.dsr) {
        events.Include(evDSR);
    }
    if (now.carrier != before.carrier) {
        events.Include(evRLSD);
    }
    if (now.ring != before.ring) {
        events.Include(evRing);
    }
    if (now.breaks != before.breaks) {
        events.Include(evBreak);
    }
    if (now.frame != before.frame || now.overrun != before.overrun || now.parity != before.parity ||
        now.bufferOverrun != before.bufferOverrun) {
        events.Include(evError);
    }
    return events;
}

// Line events seen by comparing two readings of the modem lines, for drivers
// that keep no counters.
TComEvents lineEvents(unsigned before, unsigned now) {
    TComEvents events;
    const unsigned changed = before ^ now;
    if (changed & ModemLine::Cts) {
        events.Include(evCTS);
    }
    if (changed & ModemLine::Dsr) {
        events.Include(evDSR);
    }
    if (changed & ModemLine::Rlsd) {
        events.Include(evRLSD);
    }
    if ((changed & ModemLine::Ring) && (now & ModemLine::Ring)) {
        events.Include(evRing);
    }
    return events;
}

TComEvents intersect(TComEvents left, TComEvents right) {
    return TComEvents::FromBits(std::uint16_t(left.ToBits() & right.ToBits()));
}

} // namespace

std::uint32_t TComThread::EventsToMask(TComEvents Events) {
    std::uint32_t mask = 0;
    for (std::size_t event = 0; event < eventBits.size(); ++event) {
        if (Events.Contains(TComEvent(event))) {
            mask |= eventBits[event];
        }
    }
    return mask;
}

TComEvents TComThread::MaskToEvents(std::uint32_t Mask) {
    TComEvents events;
    for (std::size_t event = 0; event < eventBits.size(); ++event) {
        if (Mask & eventBits[event]) {
            events.Include(TComEvent(event));
        }
    }
    return events;
}

TComEvents TComThread::WatchedEvents(const TCustomComPort& port) {
    TComEvents events = port.Events();
    // Seeing the event character means reading every byte ahead through a
    // buffer and its lock; with nobody to tell, the driver keeps the bytes
    // until they are read. The handler is looked at when the port opens, as
    // Events themselves are.
    if (!port.OnRxFlag) {
        events.Exclude(evRxFlag);
    }
    return events;
}

TComThread::TComThread(TCustomComPort* ComPort)
    : m_comPort(ComPort), m_watched(WatchedEvents(*ComPort)), m_syncMethod(ComPort->SyncMethod()),
      m_priority(int(ComPort->EventPriority()) - int(tpNormal)),
      m_fullMark(int(std::int64_t(ComPort->Buffer().InputSize()) * 8 / 10)),
      m_characterTime(ComPort->CharacterTime().count()) {
    m_thread = std::thread([this] { Execute(); });
    if (m_watched.Contains(evRxFlag)) {
        // A read on the main thread may take the event character off the
        // line itself; the thread is then woken to report it.
        ComPort->Device().setReadAhead(true, [this] { m_stopEvent.wake(); });
    }
}

TComThread::~TComThread() {
    StopWaiting();
    // Without an application object there is no event loop either, and the
    // thread that ends the port is the one that must run a pending delivery.
    if (MainThreadQueue::onMainThread() || QCoreApplication::instance() == nullptr) {
        MainThreadQueue::instance().serveUntil([this] { return Finished(); });
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    // Reads must not wake a thread that is gone; a device this thread had to
    // let go of is closed by the port, which ends reading ahead as well.
    if (!m_deviceReleased) {
        m_comPort->Device().setReadAhead(false);
    }
}

void TComThread::StopWaiting() {
    m_stopEvent.stop();
    std::this_thread::yield();
}

void TComThread::NotifyWrite(int count) {
    if (!m_watched.Contains(evTxEmpty)) {
        return;
    }
    // The queue is first looked at when the bytes should have left the line
    // rather than at once: waking the thread now would have it compete with
    // the far end's answer for the processor, and a reply that comes first
    // carries the transmit-empty event along in its own delivery.
    const std::chrono::nanoseconds characterTime(m_characterTime.load());
    m_firstTransmitLook = characterTime > characterTime.zero()
                              ? std::chrono::ceil<microseconds>(characterTime * count).count()
                              : microseconds(transmitRecheckInterval).count();
    ++m_writes;
    // A thread that has backed off from a stalled queue is woken as well, so
    // that it follows the new bytes closely again.
    if (!m_txPending.exchange(true) || m_txBackedOff) {
        m_stopEvent.wakeAfter(microseconds(m_firstTransmitLook.load()));
    }
}

TComThread::InputMark TComThread::LastInputMark() const {
    const std::lock_guard lock(m_markMutex);
    return m_markCount == 0 ? InputMark{} : m_marks[(m_markCount - 1) % MarkHistory];
}

std::vector<TComThread::InputMark> TComThread::InputMarksAfter(std::uint64_t total) const {
    const std::lock_guard lock(m_markMutex);
    std::vector<InputMark> marks;
    const std::size_t kept = std::min(m_markCount, MarkHistory);
    for (std::size_t index = m_markCount - kept; index < m_markCount; ++index) {
        const InputMark& mark = m_marks[index % MarkHistory];
        if (mark.received > total) {
            marks.push_back(mark);
        }
    }
    return marks;
}

void TComThread::DeliverEvents() {
    m_delivering = true;
    struct DeliveryEnd {
        std::atomic<bool>& flag;
        ~DeliveryEnd() { flag = false; }
    } deliveryEnd{m_delivering};
    for (const TComEvent event : deliveryOrder) {
        // A handler may close the port; the rest of the batch then has no
        // line to ask about.
        if (!m_comPort->Connected()) {
            return;
        }
        if (m_events.Contains(event)) {
            runStep(*m_comPort, event);
        }
    }
}

void TComThread::SendEventMessages() {
    QObject* window = m_comPort->m_eventWindow.get();
    if (window == nullptr) {
        return;
    }
    for (const TComEvent event : deliveryOrder) {
        if (!m_events.Contains(event)) {
            continue;
        }
        // Requests still queued when the port closes are dropped together
        // with the window; the Connected test covers the rest.
        TCustomComPort* port = m_comPort;
        QMetaObject::invokeMethod(
            window,
            [port, event] {
                if (!port->Connected()) {
                    return;
                }
                try {
                    runStep(*port, event);
                } catch (const std::exception& error) {
                    ReportApplicationError(error.what());
                }
            },
            Qt::QueuedConnection);
    }
}

bool TComThread::DispatchEvents() {
    switch (m_syncMethod) {
    case smThreadSync: {
        const std::exception_ptr error =
            MainThreadQueue::instance().runOnMainThread([this] { DeliverEvents(); });
        if (error) {
            // Raised again here, the error ends the thread.
            try {
                std::rethrow_exception(error);
            } catch (const EComPort& raised) {
                // A step that fails because its device is gone (an adapter
                // pulled out while the delivery waited for the main thread)
                // ends the thread like any failing step, but it is not
                // reported: the owner hears of the lost line from its next
                // read or write, and a message at every re-plug is noise.
                if (!ComDeviceGone(raised)) {
                    ReportApplicationError(raised.what());
                }
            } catch (const std::exception& raised) {
                ReportApplicationError(raised.what());
            } catch (...) {
                ReportApplicationError("Unknown error in a serial event handler");
            }
            return false;
        }
        return true;
    }
    case smNone:
        try {
            DeliverEvents();
        } catch (const std::exception& raised) {
            ReportApplicationError(raised.what());
            return false;
        }
        return true;
    case smWindowSync:
        SendEventMessages();
        return true;
    }
    return false;
}

// What the loop of Execute keeps between two turns.
struct TComThread::WatchState {
    explicit WatchState(SerialDevice& watched) : device(watched) {}

    SerialDevice& device;
    int fd = -1;
    bool watchesInput = false;
    // A terminal cannot be looked into without taking its bytes, so to see
    // the event character arrive the thread reads them ahead (the device
    // keeps them for the reads of the port).
    bool readsAhead = false;
    bool useCounters = false;
    bool watchesLines = false;
    SerialCounters lastCounters;
    unsigned lastLines = 0;
    // Received bytes are counted as a running total (read plus waiting), so
    // bytes that come while others are still unread are told apart from them.
    std::uint64_t announced = 0;
    bool unreadWaiting = false;
    bool checkAtOnce = false;
    bool hungUp = false;
    bool aboveFullMark = false;
    // The transmit queue while it drains: the writes seen at the last look,
    // its count then, and when and after what pause it is looked at next.
    std::uint64_t writesSeen = 0;
    int lastQueued = 0;
    std::chrono::steady_clock::time_point nextTransmitLook;
    milliseconds transmitPause = transmitRecheckInterval;
    // Events found but not handed over yet: received bytes wait for the rest
    // of their frame, and the transmit queue running empty or the event
    // character joins them.
    TComEvents held;
    TComRxGathering gathering;
    std::optional<std::chrono::steady_clock::time_point> nextInputLook;
    bool inputWakesLook = false;
};

microseconds TComThread::transmitTimeout(const WatchState& state) const {
    if (m_writes != state.writesSeen) {
        return microseconds(m_firstTransmitLook.load());
    }
    const auto left =
        std::chrono::ceil<microseconds>(state.nextTransmitLook - std::chrono::steady_clock::now());
    return std::max(left, microseconds(0));
}

std::optional<microseconds> TComThread::nextTimeout(const WatchState& state) const {
    if (state.checkAtOnce) {
        return microseconds(0);
    }
    std::optional<microseconds> timeout;
    if (state.hungUp) {
        return timeout;
    }
    if (state.nextInputLook) {
        const auto left = std::chrono::ceil<microseconds>(*state.nextInputLook -
                                                          std::chrono::steady_clock::now());
        timeout = std::max(left, microseconds(0));
    } else if (state.watchesInput && state.unreadWaiting) {
        timeout = inputRecheckInterval;
    }
    if (m_txPending) {
        timeout = earliest(timeout, transmitTimeout(state));
    }
    if (state.watchesLines) {
        timeout = earliest(timeout, lineCheckInterval);
    }
    return timeout;
}

bool TComThread::lookAtInput(WatchState& state, bool readable, TComEvents& batch) {
    if (state.readsAhead) {
        const SerialReadAheadResult taken = state.device.readAhead();
        if (taken.error != 0) {
            return false;
        }
        if (taken.sawEventChar) {
            batch.Include(evRxFlag);
        }
    }
    const std::uint64_t consumed = state.device.consumedBytes();
    int waiting = 0;
    if (state.device.inputCount(waiting) != 0) {
        return false;
    }
    const std::uint64_t received = consumed + std::uint64_t(waiting);
    const bool newBytes = received > state.announced;
    if (newBytes) {
        batch.Include(evRxChar);
        state.announced = received;
        // The moment the bytes were seen, for the reply times of whoever
        // reads them; taken here, not when the delivery reaches its thread.
        const std::lock_guard lock(m_markMutex);
        m_marks[m_markCount++ % MarkHistory] =
            InputMark{received, std::chrono::steady_clock::now()};
    }
    // A device that reads as ready with nothing new is also only looked at
    // again after the interval, never in a tight loop. Bytes read ahead no
    // longer keep the device ready, so they need no such looks.
    state.unreadWaiting = (waiting > 0 && !state.readsAhead) || (readable && !newBytes);
    const bool aboveFullMark = m_fullMark > 0 && waiting >= m_fullMark;
    if (aboveFullMark && !state.aboveFullMark) {
        batch.Include(evRx80Full);
    }
    state.aboveFullMark = aboveFullMark;
    return true;
}

void TComThread::lookAtTransmitQueue(WatchState& state, TComEvents& batch) {
    // Cleared before the look, so that a write coming in meanwhile arms its
    // own look instead of being taken for this one.
    if (!m_txPending.exchange(false)) {
        return;
    }
    int queued = 0;
    if (state.device.outputCount(queued) != 0 || queued == 0) {
        // Seen before the look the write asked for (the reply came first),
        // that look would wake the thread for nothing. A write since the
        // exchange above has set m_txPending again, so the next wait is
        // timed for its look anyway.
        m_stopEvent.cancelWakeAfter();
        batch.Include(evTxEmpty);
        state.transmitPause = transmitRecheckInterval;
        m_txBackedOff = false;
        return;
    }
    m_txPending = true;
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t writes = m_writes;
    const bool sending = writes != state.writesSeen || queued < state.lastQueued;
    if (!sending && now < state.nextTransmitLook) {
        return; // Woken for something else; the pause is not over yet.
    }
    // A line that is sending is followed on the usual interval, so that the
    // emptying is reported promptly; a stalled one ever more rarely.
    state.transmitPause = sending ? transmitRecheckInterval
                                  : std::min(state.transmitPause * 2, longestTransmitRecheck);
    state.writesSeen = writes;
    state.lastQueued = queued;
    state.nextTransmitLook = now + state.transmitPause;
    m_txBackedOff = state.transmitPause > transmitRecheckInterval;
}

void TComThread::lookAtLines(WatchState& state, TComEvents& batch) {
    TComEvents changes;
    if (state.useCounters) {
        SerialCounters now;
        state.device.counters(now);
        changes = counterEvents(state.lastCounters, now);
        state.lastCounters = now;
    } else {
        unsigned now = 0;
        state.device.modemLines(now);
        changes = lineEvents(state.lastLines, now);
        state.lastLines = now;
    }
    batch = TComEvents::FromBits(std::uint16_t(batch.ToBits() | changes.ToBits()));
}

bool TComThread::handOverDue(WatchState& state, bool newBytes) {
    state.nextInputLook.reset();
    // Anything but received bytes, the event character and an empty transmit
    // queue is news of the line itself and goes out at once, with the bytes.
    const TComEvents joining = {evRxChar, evRxFlag, evTxEmpty};
    if (!state.held.Contains(evRxChar) || (state.held.ToBits() & ~joining.ToBits()) != 0) {
        return true;
    }
    state.gathering.SetCharacterTime(std::chrono::nanoseconds(m_characterTime.load()));
    const auto next = state.gathering.Look(newBytes, state.announced, m_expectedInput,
                                           std::chrono::steady_clock::now());
    if (!next) {
        return true;
    }
    state.nextInputLook = next->at;
    state.inputWakesLook = next->onInput;
    return false;
}

void TComThread::takeHeldBytesIn(WatchState& state) {
    // Bytes held for the rest of their frame wait in the driver, which drops
    // them when the line hangs up (an adapter pulled out). Taken into the
    // device's own buffer they are still handed over then, and reads and the
    // queue count see them as before. A port that reads every byte ahead
    // has them there already.
    if (state.readsAhead || !state.held.Contains(evRxChar)) {
        return;
    }
    if (state.device.readAhead().error == 0) {
        // They no longer keep the device ready; new bytes wake the thread.
        state.unreadWaiting = false;
    }
}

bool TComThread::handOverHeld(WatchState& state) {
    state.nextInputLook.reset();
    state.gathering.HandedOver(state.announced);
    if (state.held.Empty()) {
        return true;
    }
    m_events = std::exchange(state.held, TComEvents());
    return DispatchEvents();
}

void TComThread::Execute() {
    SetCurrentThreadPriority(m_priority);
    SerialDevice& device = m_comPort->Device();
    const TComEvents inputEvents = {evRxChar, evRxFlag, evRx80Full};
    const TComEvents lineWatch = {evCTS, evDSR, evRLSD, evRing, evBreak, evError};
    WatchState state(device);
    state.fd = device.descriptor();
    state.watchesInput = !intersect(m_watched, inputEvents).Empty();
    state.readsAhead = m_watched.Contains(evRxFlag);
    state.useCounters = device.keepsCounters();
    state.watchesLines =
        !intersect(m_watched, lineWatch).Empty() && (state.useCounters || device.hasModemLines());
    device.counters(state.lastCounters);
    device.modemLines(state.lastLines);

    for (;;) {
        const std::optional<microseconds> timeout = nextTimeout(state);
        state.checkAtOnce = false;
        // While bytes are held the thread sleeps until it is time to look at
        // them again rather than waking for each one that comes.
        const bool watchInput = state.watchesInput && !state.unreadWaiting &&
                                (!state.nextInputLook || state.inputWakesLook);
        const SerialEventWaiter::Result woke =
            m_stopEvent.wait(state.hungUp ? -1 : state.fd, watchInput, timeout);
        if (woke.stopped || woke.error != 0) {
            if (!m_deviceReleased) {
                handOverHeld(state);
            }
            break;
        }
        // A device that hung up (adapter unplugged, far end gone) reports so
        // on every wait; from then on only the stop signal is waited for.
        if (state.hungUp || woke.hangUp) {
            state.hungUp = true;
            if (!handOverHeld(state)) {
                break;
            }
            continue;
        }
        TComEvents batch;
        if (state.watchesInput && !lookAtInput(state, woke.readable, batch)) {
            state.hungUp = true;
            if (!handOverHeld(state)) {
                break;
            }
            continue;
        }
        lookAtTransmitQueue(state, batch);
        if (state.watchesLines) {
            lookAtLines(state, batch);
        }
        batch = intersect(batch, m_watched);
        state.held = TComEvents::FromBits(std::uint16_t(state.held.ToBits() | batch.ToBits()));
        if (state.held.Empty() || !handOverDue(state, batch.Contains(evRxChar))) {
            takeHeldBytesIn(state);
            continue;
        }
        if (!handOverHeld(state) || m_stopEvent.stopped()) {
            break;
        }
        // Whatever came in during the delivery is looked at straight away.
        state.checkAtOnce = state.watchesInput;
    }
    // The port discards what is left in the driver's queues when its thread
    // ends, unless it has already let go of the device.
    if (!m_deviceReleased) {
        device.discard(true, true);
    }
    m_finished = true;
    MainThreadQueue::instance().notify();
}
