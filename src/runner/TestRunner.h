#pragma once
// The function test of one unit from the command line: reads the plan,
// claims the unit's report in the report folder, opens the line, runs the
// test on the poll engine and prints a line per step as it ends, then the
// verdict; writes the report after every step, the PDF and the station log
// row at the end. SIGINT or SIGTERM abort the test, the teardown done; a
// second signal ends it at once.

#include "functest/FunctionTest.h"
#include "functest/TestReport.h"
#include "runner/RunnerOptions.h"
#include "runner/RunnerView.h"
#include "session/PollSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <memory>
#include <optional>

class PollPort;

/// The address and rate a test polls at: those given on the command line,
/// else the plan's.
int TestAddress(const RunnerOptions& options, const TestPlan& plan);
std::optional<TBaudRate> TestBaudRate(const RunnerOptions& options, const TestPlan& plan);

class TestRunner {
    Q_DECLARE_TR_FUNCTIONS(TestRunner)

public:
    static constexpr int ExitPass = 0;
    static constexpr int ExitCannotRun = 1;
    static constexpr int ExitFail = 3;

    /// line: the unit's line, set up at the test's rate; plan: as loaded.
    TestRunner(std::unique_ptr<PollPort> line, const RunnerOptions& options, LoadedPlan plan,
               std::FILE* out, std::FILE* err);
    ~TestRunner();

    /// Runs the test on the calling (main) thread; returns the exit status.
    int Run();
    /// Aborts the test (SIGINT, SIGTERM); a second call ends it at once.
    void Interrupt(const QString& why);

private:
    void progress(const TestRecord& record);
    void finished(const TestRecord& record);
    void printStep(const StepRecord& step);
    void printLine(std::FILE* stream, const QString& line);
    QString stationLogPath() const;

    RunnerOptions m_options;
    TestPlan m_plan;
    QString m_planSha;
    std::FILE* m_out;
    std::FILE* m_err;
    // Traffic lines are not printed: standard output carries the steps.
    RunnerView m_view;
    PollSession m_session;
    ReportFolder m_reports;
    std::unique_ptr<FunctionTest> m_test;
    QEventLoop m_loop;
    std::size_t m_printed = 0; // steps printed so far
    QString m_reportFailure;   // the first failure to write the records
    int m_status = ExitCannotRun;
};
