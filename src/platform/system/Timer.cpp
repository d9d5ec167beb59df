#include "platform/system/Timer.h"

#include "platform/system/TimerFirstTick.h"

#include <algorithm>
#include <utility>

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
