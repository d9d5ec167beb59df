#include "platform/system/TimerFirstTick.h"

#include "platform/system/Clock.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

// A timerfd on the monotonic clock (the steady clock's), watched by a socket
// notifier of the GUI thread's loop.
struct Timer::FirstTick::Native {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
};

Timer::FirstTick::FirstTick(Timer& owner) : m_native(std::make_unique<Native>()) {
    m_native->fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_native->fd >= 0) {
        m_native->notifier = std::make_unique<QSocketNotifier>(m_native->fd, QSocketNotifier::Read);
        QObject::connect(m_native->notifier.get(), &QSocketNotifier::activated, &owner,
                         [&owner] { owner.firstTickDue(); });
    }
}

Timer::FirstTick::~FirstTick() {
    m_native->notifier.reset();
    if (m_native->fd >= 0) {
        ::close(m_native->fd);
    }
}

bool Timer::FirstTick::Usable() const {
    return m_native->fd >= 0;
}

bool Timer::FirstTick::Arm(std::chrono::steady_clock::time_point due) {
    // A zero time would disarm the timer instead.
    itimerspec value{};
    value.it_value =
        TimespecOf(std::max(due.time_since_epoch(), std::chrono::steady_clock::duration(1)));
    m_armed = ::timerfd_settime(m_native->fd, TFD_TIMER_ABSTIME, &value, nullptr) == 0;
    return m_armed;
}

void Timer::FirstTick::Disarm() {
    if (!m_armed) {
        return;
    }
    const itimerspec stop{};
    ::timerfd_settime(m_native->fd, 0, &stop, nullptr);
    // An expiry that came before the stop must not tick later.
    Drain();
    m_armed = false;
}

bool Timer::FirstTick::Drain() {
    std::uint64_t expiries = 0;
    const bool expired = ::read(m_native->fd, &expiries, sizeof expiries) == sizeof expiries;
    if (expired) {
        m_armed = false;
    }
    return expired;
}
