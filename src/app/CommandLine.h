#pragma once
// The program's command line: the runner's options parsed and checked, and
// the usage text.

#include "runner/RunnerOptions.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The texts of the command line (errors and usage), for the translation system.
struct CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
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
// Its part about the function test.
QString FunctionTestUsage();
