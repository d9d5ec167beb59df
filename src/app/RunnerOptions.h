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
struct RunnerOptions {
    bool headless = false;
    bool simulate = false;
    QString port;
    TBaudRate baudRate = br9600;
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

// The usage text printed with a refused command line.
QString RunnerUsage();
