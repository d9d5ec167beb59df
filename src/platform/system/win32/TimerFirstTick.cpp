#include "platform/system/TimerFirstTick.h"

#include <QWinEventNotifier>
#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// A waitable timer, watched by the GUI thread's loop. A high-resolution one
// (Windows 10 1803 and later) keeps to a fraction of a millisecond; where the
// system has none, a plain one keeps to the timer tick the program asked for
// (TimerSlack). It resets itself when the notifier's wait takes its signal.
struct Timer::FirstTick::Native {
    HANDLE timer = nullptr;
    std::unique_ptr<QWinEventNotifier> notifier;
};

Timer::FirstTick::FirstTick(Timer& owner) : m_native(std::make_unique<Native>()) {
    m_native->timer = ::CreateWaitableTimerExW(
        nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (m_native->timer == nullptr) {
        m_native->timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    if (m_native->timer != nullptr) {
        m_native->notifier = std::make_unique<QWinEventNotifier>(m_native->timer);
        m_native->notifier->setEnabled(false);
        QObject::connect(m_native->notifier.get(), &QWinEventNotifier::activated, &owner,
                         [&owner] { owner.firstTickDue(); });
    }
}

Timer::FirstTick::~FirstTick() {
    m_native->notifier.reset();
    if (m_native->timer != nullptr) {
        ::CancelWaitableTimer(m_native->timer);
        ::CloseHandle(m_native->timer);
    }
}

bool Timer::FirstTick::Usable() const {
    return m_native->timer != nullptr;
}

bool Timer::FirstTick::Arm(std::chrono::steady_clock::time_point due) {
    using namespace std::chrono;
    // A negative due time counts in 100 ns steps from now; at least one step,
    // since a zero would not wait at all.
    const auto left =
        duration_cast<duration<long long, std::ratio<1, 10'000'000>>>(due - steady_clock::now());
    LARGE_INTEGER when{};
    when.QuadPart = -std::max<long long>(left.count(), 1);
    m_armed = ::SetWaitableTimer(m_native->timer, &when, 0, nullptr, nullptr, FALSE) != 0;
    // Enabling again also throws away an expiry the loop was still to
    // deliver from an earlier arming.
    m_native->notifier->setEnabled(false);
    m_native->notifier->setEnabled(m_armed);
    return m_armed;
}

void Timer::FirstTick::Disarm() {
    if (!m_armed) {
        return;
    }
    ::CancelWaitableTimer(m_native->timer);
    // An expiry that came before the stop must not tick later: a disabled
    // notifier drops what it had posted.
    m_native->notifier->setEnabled(false);
    m_armed = false;
}

bool Timer::FirstTick::Drain() {
    // Only the notifier's delivery of the current arming gets here; the
    // timer reset itself when its signal was taken.
    if (!m_armed) {
        return false;
    }
    m_armed = false;
    m_native->notifier->setEnabled(false);
    return true;
}
