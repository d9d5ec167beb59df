#pragma once

#include "runner/RunnerOptions.h"
#include "runner/RunnerView.h"
#include "session/PollSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <memory>

class PollPort;

// Listens to a bus that another master polls, without a window, until
// interrupted: every frame heard goes to standard output as a traffic line
// ("Tx-" the master's, "Rx-" the slaves' and bytes that make no frame) and,
// with a recording file, into it; the link statistics go to the summary file
// at the end. Nothing is ever sent. At the end it prints the master's
// requests and those without a sound reply ("Tx=<n> Er=<m>") and the
// registers the master last read from the slave at the address.
class ListenRunner {
    Q_DECLARE_TR_FUNCTIONS(ListenRunner)

public:
    ListenRunner(std::unique_ptr<PollPort> line, const RunnerOptions& options, std::FILE* out,
                 std::FILE* err);

    // Runs the loop on the calling (main) thread. Returns 0 when interrupted
    // after listening, 1 when the port could not be opened for listening or
    // the recording or summary file cannot be written.
    int Run();
    // Ends the run: what is held is settled, the port closed, the summary
    // printed. Safe to call at any time, also before Run.
    void Interrupt();

    const ListenEngine& Engine() const { return m_session.Listen(); }

private:
    bool prepareFiles();
    bool writeStatistics();
    void printError(const QString& text);

    RunnerOptions m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    RunnerView m_view;
    PollSession m_session;
    ListenEngine& m_listen = m_session.Listen();
    QEventLoop m_loop;
    bool m_interrupted = false;
};
