#include "platform/system/Timer.h"

#include "platform/system/Clock.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#include <utility>

// A one-shot timer on the monotonic clock (the steady clock's), watched by the
// GUI thread's event loop. The loop's own timers wait in whole milliseconds.
class Timer::FirstTick {
public:
    explicit FirstTick(Timer& owner)
        : m_fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
        if (m_fd >= 0) {
            m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &owner,
                             [&owner] { owner.firstTickDue(); });
        }
    }
    ~FirstTick() {
        m_notifier.reset();
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FirstTick(const FirstTick&) = delete;
    FirstTick& operator=(const FirstTick&) = delete;

    bool Usable() const { return m_fd >= 0; }
    bool Armed() const { return m_armed; }

    bool Arm(std::chrono::steady_clock::time_point due) {
        // A zero time would disarm the timer instead.
        itimerspec value{};
        value.it_value =
            TimespecOf(std::max(due.time_since_epoch(), std::chrono::steady_clock::duration(1)));
        m_armed = ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &value, nullptr) == 0;
        return m_armed;
    }
    void Disarm() {
        if (!m_armed) {
            return;
        }
        const itimerspec stop{};
        ::timerfd_settime(m_fd, 0, &stop, nullptr);
        // An expiry that came before the stop must not tick later.
        Drain();
        m_armed = false;
    }
    /// Takes the expiry off the descriptor; true when there was one.
    bool Drain() {
        std::uint64_t expiries = 0;
        const bool expired = ::read(m_fd, &expiries, sizeof expiries) == sizeof expiries;
        if (expired) {
            m_armed = false;
        }
        return expired;
    }

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_armed = false;
};

Timer::Timer(QObject* parent) : QObject(parent) {
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
}

Timer::~Timer() = default;

void Timer::SetInterval(int milliseconds) {
    if (milliseconds < 0) {
        milliseconds = 0;
    }
    if (milliseconds == m_interval) {
        return;
    }
    m_interval = milliseconds;
    rearm();
}

void Timer::SetInterval(int milliseconds, std::chrono::steady_clock::time_point start) {
    if (std::max(milliseconds, 0) == m_interval) {
        return;
    }
    m_countFrom = std::min(start, std::chrono::steady_clock::now());
    SetInterval(milliseconds);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    rearm();
}

void Timer::SetOnTimer(std::function<void()> handler) {
    m_onTimer = std::move(handler);
    rearm();
}

bool Timer::IsArmed() const {
    return m_timer.isActive() || (m_firstTick && m_firstTick->Armed());
}

void Timer::rearm() {
    m_timer.stop();
    if (m_firstTick) {
        m_firstTick->Disarm();
    }
    // Only the restart asked for with a start counts from it.
    const auto countFrom = std::exchange(m_countFrom, std::nullopt);
    if (!m_enabled || m_interval <= 0 || !m_onTimer) {
        return;
    }
    // Its first tick is timed to the microsecond; should that fail, the
    // countdown runs whole on the loop's own timer.
    if (countFrom) {
        if (!m_firstTick) {
            m_firstTick = std::make_unique<FirstTick>(*this);
        }
        if (m_firstTick->Usable() &&
            m_firstTick->Arm(*countFrom + std::chrono::milliseconds(m_interval))) {
            return;
        }
    }
    m_timer.start(m_interval);
}

void Timer::firstTickDue() {
    if (!m_firstTick || !m_firstTick->Drain()) {
        return;
    }
    // The ticks after the first follow it an interval apart.
    m_timer.start(m_interval);
    tick();
}

void Timer::tick() {
    if (m_onTimer) {
        // Copy first: the handler may replace itself or destroy the owner's state.
        auto handler = m_onTimer;
        handler();
    }
}
