#pragma once

#include "serial/ComTypes.h"
#include "trend/LinearityPlan.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

// The texts of the command line (errors and usage), for the translation system.
struct CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

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
    RecordOptions record;
    QString summaryPath;                    // empty: no summary
    std::optional<LinearityPlan> linearity; // the linearity test, run to its end
};

struct RunnerArguments {
    std::optional<RunnerOptions> options;
    QString error; // set when options is empty
};

// Whether name is --record or --record-max-mb, which the window takes too.
bool IsRecordOption(const QString& name);
// Applies --record or --record-max-mb with its value; returns an error text,
// or nothing.
QString ApplyRecordOption(const QString& name, const QString& value, RecordOptions& record);

// Parses the arguments after the program name. Anything unknown, missing or
// out of range is refused with a message naming it.
RunnerArguments ParseRunnerArguments(const QStringList& arguments);

// The rates a scan may try, in the order it tries them by default.
std::vector<TBaudRate> DefaultScanRates();

// The usage text printed with a refused command line.
QString RunnerUsage();
