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

// The function test of one unit, and where its records go.
struct FunctionTestOptions {
    bool run = false;       ///< --test
    bool printPlan = false; ///< --print-plan: write the default plan and stop
    QString serial;         ///< --serial: the unit's serial number
    QString planPath;       ///< --plan; empty: the built-in plan
    QString reportDir;      ///< --report-dir; empty: the current folder
    QString stationLog;     ///< --station-log; empty: station-log.csv in the report folder
};

// The command line of the headless runner:
//   --headless (--port PATH | --simulate) [--baud RATE] [--address N]
//   [--cycles K] [--write REG=VALUE]... [--record FILE] [--record-max-mb N]
//   [--summary FILE] [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]
//   --headless --port PATH --scan [--baud RATE]...
//   --headless (--port PATH | --simulate) --test --serial SN [--plan FILE]
//   [--report-dir DIR] [--station-log FILE] [--baud RATE] [--address N]
//   --headless --print-plan
//   --headless --listen --port PATH [--baud RATE] [--address N] [--record FILE]
// A network line (--tcp HOST[:PORT] or --rtu-over-tcp HOST[:PORT]) may stand
// wherever --port does.
struct RunnerOptions {
    bool headless = false;
    bool simulate = false;
    bool scan = false;
    bool listen = false; // listen to a bus another master polls; never send
    QString port;
    std::optional<NetworkLineSettings> network; // in place of the port
    TBaudRate baudRate = br9600;
    bool baudRateGiven = false;       ///< --baud was given (a test plan's rate gives way to it)
    std::vector<TBaudRate> scanRates; // in order; every --baud given with --scan
    int address = 1;
    bool addressGiven = false; ///< --address was given (a test plan's address gives way to it)
    std::optional<int> cycles; // none: until interrupted
    std::vector<std::pair<int, int>> writes; // register, value; in order
    RecordOptions record;
    QString summaryPath;                    // empty: no summary
    std::optional<LinearityPlan> linearity; // the linearity test, run to its end
    FunctionTestOptions test;
};
