#include "platform/system/Timer.h"

Timer::Timer(QObject* parent) : QObject(parent) {
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
}

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

void Timer::rearm() {
    m_timer.stop();
    if (m_enabled && m_interval > 0 && m_onTimer) {
        m_timer.start(m_interval);
    }
}

void Timer::tick() {
    if (m_onTimer) {
        // Copy first: the handler may replace itself or destroy the owner's state.
        auto handler = m_onTimer;
        handler();
    }
}
