#pragma once

#include "poll/PollView.h"

#include <QString>
#include <cstdio>

// What the headless runner shows of the engine: every traffic line on
// standard output as it comes, failures and notes on standard error. The
// counters and registers are the engine's own, printed at the end.
class RunnerView : public PollView {
public:
    /// out: where the traffic lines go; none, for a run whose standard
    /// output carries something else.
    RunnerView(std::FILE* out, std::FILE* err);

    void ShowCounters(std::uint64_t, std::uint64_t) override {}
    void ShowRegisters(const RegisterValues&) override {}
    void ShowPolledPort(const QString&) override {}
    void AppendMonitorLine(const QString& line) override;
    void ClearMonitor() override {}
    void ShowOpenFailure(const PortError& error) override;
    void ShowWriteFailure(const std::optional<PortError>& error) override;
    void ShowLineNote(const QString& note) override;

    /// A line of its own on standard error.
    void PrintError(const QString& line);

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

// Scripts read the counters and the registers: they are the same in every language.
/// "Tx=<n> Er=<m>"
QString CountersLine(std::uint64_t requests, std::uint64_t misses);
/// "registers=<v0>,...,<v19>"
QString RegistersLine(const RegisterValues& registers);
