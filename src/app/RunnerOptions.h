#pragma once

#include "serial/ComTypes.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

// The command line of the headless runner:
//   --headless (--port PATH | --simulate) [--baud RATE] [--address N]
//   [--cycles K] [--write REG=VALUE]...
//   --headless --port PATH --scan [--baud RATE]...
struct RunnerOptions {
    bool headless = false;
    bool simulate = false;
    bool scan = false;
    QString port;
    TBaudRate baudRate = br9600;
    std::vector<TBaudRate> scanRates; // in order; every --baud given with --scan
    int address = 1;
    std::optional<int> cycles;               // none: until interrupted
    std::vector<std::pair<int, int>> writes; // register, value; in order
};

struct RunnerArguments {
    std::optional<RunnerOptions> options;
    QString error; // set when options is empty
};

// Parses the arguments after the program name. Anything unknown, missing or
// out of range is refused with a message naming it.
RunnerArguments ParseRunnerArguments(const QStringList& arguments);

// The rates a scan may try, in the order it tries them by default.
std::vector<TBaudRate> DefaultScanRates();

// The usage text printed with a refused command line.
QString RunnerUsage();
