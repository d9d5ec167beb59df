#pragma once
// Linux lets a sleeping thread wake up to 50 us late by default so that wake-ups
// can be merged; Windows wakes sleepers on its timer tick, 15.6 ms apart by
// default. The poll cycle pauses only 2 ms between requests at 115200 baud,
// so the tool asks for its timers to be kept as fine as the system allows.

/// Linux: sets the calling thread's timer slack to its minimum; threads
/// started from it afterwards inherit the setting. Windows: asks for a 1 ms
/// timer tick for the whole process. Returns false when the system refuses.
bool UseFineTimerSlack();
