#pragma once
// Linux lets a sleeping thread wake up to 50 us late by default so that wake-ups
// can be merged. The poll cycle pauses only 2 ms between requests at 115200
// baud, so the tool asks for its timers to be kept to the microsecond.

/// Sets the calling thread's timer slack to its minimum; threads started from
/// it afterwards inherit the setting. Returns false when the system refuses.
bool UseFineTimerSlack();
