#pragma once
// What the headless runners are asked to do: the line, the polling, the
// writes, the recording, the summary and the tests to run.

#include "net/NetworkLineSettings.h"
#include "serial/ComTypes.h"
#include "trend/LinearityPlan.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

// Where the traffic is recorded, for the window and the runner alike.
struct RecordOptions {
    QString path; ///< empty: no recording from the start
    int limitMegabytes = 1024;
};

// The command line of the headless runner:
//   --headless (--port PATH | --simulate) [--baud RATE] [--address N]
//   [--cycles K] [--write REG=VALUE]... [--record FILE] [--record-max-mb N]
//   [--summary FILE] [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]
//   --headless --port PATH --scan [--baud RATE]...
// A network line (--tcp HOST[:PORT] or --rtu-over-tcp HOST[:PORT]) may stand
// wherever --port does.
struct RunnerOptions {
    bool headless = false;
    bool simulate = false;
    bool scan = false;
    QString port;
    std::optional<NetworkLineSettings> network; // in place of the port
    TBaudRate baudRate = br9600;
    std::vector<TBaudRate> scanRates; // in order; every --baud given with --scan
    int address = 1;
    std::optional<int> cycles;               // none: until interrupted
    std::vector<std::pair<int, int>> writes; // register, value; in order
    RecordOptions record;
    QString summaryPath;                    // empty: no summary
    std::optional<LinearityPlan> linearity; // the linearity test, run to its end
};
