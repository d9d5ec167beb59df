#pragma once

#include "runner/RunnerOptions.h"
#include "runner/RunnerView.h"
#include "session/PollSession.h"
#include "trend/LinearityTest.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <deque>
#include <memory>

class PollPort;

// Drives the poll engine without a window: the traffic lines go to standard
// output as they are added, the counters and registers are printed at the end.
// A run sends the requested number of requests (or runs until interrupted),
// lets the last one settle and closes the port through the engine's own Stop.
// With a recording file every request, reply and miss goes there as well, and
// with a summary file the link statistics are written to it at the end.
// With a linearity plan the run is the linearity test: it begins once the
// queued writes are out and ends the run when it is over; its points and
// verdict follow the summary.
class HeadlessRunner {
    Q_DECLARE_TR_FUNCTIONS(HeadlessRunner)

public:
    HeadlessRunner(std::unique_ptr<PollPort> line, const RunnerOptions& options, std::FILE* out,
                   std::FILE* err);

    // Exit status of a failed linearity test.
    static constexpr int LinearityFailed = 3;

    // Why the recording and the summary cannot go where the options say,
    // for the command line to refuse; empty when they can. The summary
    // replaces its file at the end of the run, so it must be neither the
    // recording nor one of the older recordings kept beside it, by whatever
    // name or link.
    static QString FilesConflict(const RunnerOptions& options);

    // Runs the loop on the calling (main) thread. Returns 0 when done, 1 when
    // the port could not be opened or the recording or summary file cannot be
    // written (those are tried before the port is opened; a summary that
    // cannot be written at the end is told after the linearity verdict), 3
    // when the linearity test failed.
    int Run();

    // Ends the run cleanly: the request on the line is settled, then the port is
    // closed and the summary printed. Safe to call at any time. A linearity
    // test is failed first and writes the output back; a second call does not
    // wait for that.
    void Interrupt();

    const PollCycle& Cycle() const { return m_session.Engine(); }
    const LinkStatistics& Statistics() const { return m_session.Statistics(); }

private:
    bool prepareFiles();
    void onTick();
    void queueNextWrite();
    void startLinearityOnceWritesAreOut();
    void printSummary();
    void printLinearity(const LinearityResult& result);
    bool writeStatistics();
    void printError(const QString& text);

    RunnerOptions m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    RunnerView m_view;
    PollSession m_session;
    PollCycle& m_cycle = m_session.Engine();
    std::unique_ptr<LinearityTest> m_linearity;
    QEventLoop m_loop;
    std::deque<std::pair<int, int>> m_writes;
    int m_ticks = 0;
    bool m_interrupted = false;
};
