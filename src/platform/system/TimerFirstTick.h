#pragma once
// The first tick of a Timer whose countdown counts from a moment already
// past: a one-shot timer on the steady clock, watched by the GUI thread's
// event loop, that calls the owner's firstTickDue() when it expires. The
// loop's own timers wait in whole milliseconds; this one is kept as fine as
// the system allows (Linux: to the microsecond; Windows: a high-resolution
// waitable timer where there is one, else the system's timer resolution).

#include "platform/system/Timer.h"

#include <chrono>
#include <memory>

class Timer::FirstTick {
public:
    explicit FirstTick(Timer& owner);
    ~FirstTick();
    FirstTick(const FirstTick&) = delete;
    FirstTick& operator=(const FirstTick&) = delete;

    /// False when the system refused the timer; the countdown then runs on
    /// the loop's own timer.
    bool Usable() const;
    bool Armed() const { return m_armed; }

    bool Arm(std::chrono::steady_clock::time_point due);
    /// Stops the timer; an expiry that came before the stop never ticks.
    void Disarm();
    /// Takes the expiry off the timer; true when there was one.
    bool Drain();

private:
    // The system's timer and the notifier that watches it.
    struct Native;
    std::unique_ptr<Native> m_native;
    bool m_armed = false;
};
