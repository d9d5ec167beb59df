#pragma once

#include "runner/RunnerOptions.h"

// Opens the port the options name (or starts the virtual module and opens
// its port, or makes the network line), runs the headless runner on it until
// done or interrupted and returns the exit status: 0 done, 1 the port or the
// module could not start or the network line's host cannot be found.
// With --scan, scans the port instead (RunScan).
int RunHeadless(const RunnerOptions& options);

// The function test of one unit (--test): 0 PASS, 3 FAIL, 1 it could not
// run or was interrupted, 2 a plan that does not read.
int RunFunctionTest(const RunnerOptions& options);

// Scans the port for modules at the options' rates: 0 found one, 3 found
// none, 1 the port could not be opened or went away.
int RunScan(const RunnerOptions& options);

// Listens to the bus on the options' port, sending nothing, until
// interrupted: 0 done, 1 the port could not be opened for listening.
int RunListen(const RunnerOptions& options);
