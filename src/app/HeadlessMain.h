#pragma once

#include "app/RunnerOptions.h"

// Opens the port the options name (or starts the virtual module and opens
// its port), runs the headless runner on it until done or interrupted and
// returns the exit status: 0 done, 1 the port or the module could not start.
int RunHeadless(const RunnerOptions& options);
