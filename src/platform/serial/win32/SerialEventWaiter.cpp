#include "platform/serial/SerialEventWaiter.h"

#include "platform/serial/win32/CommState.h"

#include <algorithm>
#include <windows.h>

// The stop signal is a manual-reset event (it stays set), the wake-up an
// auto-reset one, the delayed wake-up a waitable timer. The line's
// WaitCommEvent() is overlapped and stays pending across waits: issuing a new
// one each time would lose events that come in between. Which events ended
// it is never read (Wine leaves the mask empty); the line's status is looked
// at instead.
//
// A line whose driver cannot wait for events (Wine on a pseudo-terminal ends
// every such wait at once with an error, while the line itself answers) is
// looked at on a short interval instead, as long as it stays open.

namespace {

constexpr std::chrono::milliseconds stopLookInterval{20};
// How often a line that cannot wait for events is looked at.
constexpr std::chrono::milliseconds lineLookInterval{2};
// How long the end of a wait on a line that is being let go is waited for.
constexpr DWORD abandonLimit = 1000;

HANDLE handleOf(int number) {
    return ::LongToHandle(number);
}

bool isSet(int number) {
    return number >= 0 && ::WaitForSingleObject(handleOf(number), 0) == WAIT_OBJECT_0;
}

} // namespace

struct SerialEventWaiter::DeviceWait {
    HANDLE line = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    DWORD mask = 0;
    bool pending = false;
    // The line's driver cannot wait for events; it is looked at instead.
    bool looksOnly = false;

    DeviceWait() { overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~DeviceWait() {
        if (overlapped.hEvent != nullptr) {
            ::CloseHandle(overlapped.hEvent);
        }
    }

    // Calls off the pending wait (its line is closing or closed) and waits
    // for the driver to let go of it. False when the driver did not: the
    // wait's memory must then outlive this object.
    bool Abandon() {
        if (!pending) {
            return true;
        }
        ::CancelIoEx(line, &overlapped);
        pending = ::WaitForSingleObject(overlapped.hEvent, abandonLimit) != WAIT_OBJECT_0;
        return !pending;
    }

    // Takes the end of the pending wait, if it has ended. False when the
    // driver ended it with an error.
    bool Collect() {
        if (!pending || ::WaitForSingleObject(overlapped.hEvent, 0) != WAIT_OBJECT_0) {
            return true;
        }
        pending = false;
        DWORD unused = 0;
        return ::GetOverlappedResult(line, &overlapped, &unused, FALSE) != 0;
    }

    // Issues the wait unless one is pending. Returns 0, or the Windows error
    // code of a line that refuses it.
    DWORD Issue(HANDLE on) {
        if (pending) {
            return 0;
        }
        line = on;
        mask = 0;
        ::ResetEvent(overlapped.hEvent);
        if (::WaitCommEvent(on, &mask, &overlapped)) {
            return 0; // Ended at once: something happened on the line.
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            pending = true;
            return 0;
        }
        return error;
    }
};

SerialEventWaiter::SerialEventWaiter() : m_deviceWait(std::make_unique<DeviceWait>()) {
    const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    m_stopFd = stop != nullptr ? int(::HandleToLong(stop)) : -1;
    m_wakeFd = wake != nullptr ? int(::HandleToLong(wake)) : -1;
    m_timerFd = timer != nullptr ? int(::HandleToLong(timer)) : -1;
    if (stop == nullptr || wake == nullptr || timer == nullptr ||
        m_deviceWait->overlapped.hEvent == nullptr) {
        m_error = int(::GetLastError());
    }
}

SerialEventWaiter::~SerialEventWaiter() {
    if (!m_deviceWait->Abandon()) {
        // The driver still holds the wait's memory; it is left to it.
        (void)m_deviceWait.release();
    }
    for (const int number : {m_stopFd, m_wakeFd, m_timerFd}) {
        if (number >= 0) {
            ::CloseHandle(handleOf(number));
        }
    }
}

void SerialEventWaiter::stop() {
    m_stopped = true;
    if (m_stopFd >= 0) {
        ::SetEvent(handleOf(m_stopFd));
    }
}

void SerialEventWaiter::wake() {
    if (m_wakeFd >= 0) {
        ::SetEvent(handleOf(m_wakeFd));
    }
}

void SerialEventWaiter::wakeAfter(std::chrono::microseconds delay) {
    if (m_timerFd < 0) {
        return;
    }
    // In 100 ns steps from now; at least one, since zero would not wait.
    LARGE_INTEGER when{};
    when.QuadPart = -std::max<long long>(delay.count() * 10, 1);
    ::SetWaitableTimer(handleOf(m_timerFd), &when, 0, nullptr, nullptr, FALSE);
}

void SerialEventWaiter::cancelWakeAfter() {
    if (m_timerFd < 0) {
        return;
    }
    ::CancelWaitableTimer(handleOf(m_timerFd));
    // A timer that went off already stays signalled; that wake-up is taken
    // back too, as disarming a timerfd does.
    ::WaitForSingleObject(handleOf(m_timerFd), 0);
}

bool SerialEventWaiter::stopped() const {
    return m_stopped;
}

SerialEventWaiter::Result
SerialEventWaiter::wait(int deviceFd, bool watchInput,
                        std::optional<std::chrono::microseconds> timeout) const {
    Result result;
    DeviceWait& device = *m_deviceWait;
    const HANDLE line = deviceFd >= 0 ? handleOf(deviceFd) : INVALID_HANDLE_VALUE;
    // A wait pending on a line this call does not watch belongs to one that
    // has closed or hung up.
    if (device.line != line) {
        device.Abandon();
        device.line = line;
        device.looksOnly = false;
    }
    // Without its own events (the process ran out of them) a stop cannot wake
    // the wait, so the wait looks at the stop flag on a short interval
    // instead; closing the port must never hang.
    if (m_error != 0 && (!timeout || *timeout > stopLookInterval)) {
        timeout = stopLookInterval;
    }
    using Clock = std::chrono::steady_clock;
    const std::optional<Clock::time_point> deadline =
        timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
    enum class Kind { None, Stop, Wake, Timer, Line };
    for (;;) {
        // The line first: news from it ends the wait at once, as poll() ends
        // at once for a descriptor that is ready already.
        bool lineNews = false;
        if (line != INVALID_HANDLE_VALUE) {
            COMSTAT status{};
            const bool ended = device.Collect();
            if (QueryCommStatus(line, status) != 0) {
                result.hangUp = true;
                lineNews = true;
            } else if (watchInput && status.cbInQue > 0) {
                result.readable = true;
                lineNews = true;
            } else if (!ended || (!device.looksOnly && device.Issue(line) != 0)) {
                // The wait failed on a line that still answers.
                device.looksOnly = true;
            } else if (!device.looksOnly && !device.pending) {
                lineNews = true; // The wait ended as it was issued.
            }
        }
        HANDLE waited[4] = {};
        Kind kinds[4] = {};
        DWORD count = 0;
        const auto add = [&](HANDLE handle, Kind kind) {
            waited[count] = handle;
            kinds[count] = kind;
            ++count;
        };
        if (m_stopFd >= 0)
            add(handleOf(m_stopFd), Kind::Stop);
        if (m_wakeFd >= 0)
            add(handleOf(m_wakeFd), Kind::Wake);
        if (m_timerFd >= 0)
            add(handleOf(m_timerFd), Kind::Timer);
        const bool watchLine = !lineNews && !device.looksOnly && device.pending;
        if (watchLine)
            add(device.overlapped.hEvent, Kind::Line);
        std::optional<Clock::duration> left;
        if (deadline)
            left = std::max<Clock::duration>(*deadline - Clock::now(), Clock::duration::zero());
        const bool looking = line != INVALID_HANDLE_VALUE && device.looksOnly && !lineNews &&
                             (!left || *left > lineLookInterval);
        if (looking)
            left = lineLookInterval;
        DWORD milliseconds = INFINITE;
        if (lineNews) {
            milliseconds = 0;
        } else if (left) {
            const auto rounded = std::chrono::ceil<std::chrono::milliseconds>(*left);
            milliseconds = DWORD(std::min<long long>(rounded.count(), INFINITE - 1));
        }
        const DWORD woke = count == 0
                               ? WAIT_TIMEOUT
                               : ::WaitForMultipleObjects(count, waited, FALSE, milliseconds);
        if (woke == WAIT_FAILED) {
            result.error = int(::GetLastError());
            return result;
        }
        const bool signalled = woke >= WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + count;
        const Kind first = signalled ? kinds[woke - WAIT_OBJECT_0] : Kind::None;
        // The wait took the signal of the first object only; the others are
        // looked at here, which takes the signals of the auto-reset ones.
        result.stopped = m_stopped || isSet(m_stopFd);
        const bool wokenNow = first == Kind::Wake || first == Kind::Timer;
        result.woken = wokenNow || isSet(m_wakeFd) || isSet(m_timerFd);
        // A wait on the line that ended with nothing for this call (a modem
        // line changed, or a driver that cannot wait) goes on.
        if (watchLine && (first == Kind::Line ||
                          ::WaitForSingleObject(device.overlapped.hEvent, 0) == WAIT_OBJECT_0)) {
            COMSTAT status{};
            const bool ended = device.Collect();
            if (QueryCommStatus(line, status) != 0) {
                result.hangUp = true;
            } else {
                result.readable = watchInput && status.cbInQue > 0;
                device.looksOnly = !ended;
            }
        }
        if (lineNews || result.readable || result.hangUp || result.stopped || result.woken) {
            return result;
        }
        if (woke == WAIT_TIMEOUT && !looking) {
            result.timedOut = true;
            return result;
        }
    }
}
