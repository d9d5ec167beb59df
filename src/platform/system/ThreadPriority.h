#pragma once
// Scheduling priority of the calling thread, in seven steps from idle (-3)
// through normal (0) to time-critical (3). Linux expresses them as per-thread
// nice values; raising above normal needs privileges and is skipped without.
// Windows has the seven steps as thread priorities of their own.

/// Returns 0 or the system's code of the refused change.
int SetCurrentThreadPriority(int level);
