#pragma once

#include "modbus/Module.h"
#include "poll/PollPort.h"

#include <QString>
#include <cstdint>
#include <optional>

// What the poll engine shows, and nothing it reads back: the engine keeps its
// counts, registers and line itself and tells the view each change. The main
// window shows them in its table, read-outs, monitor and status bar; the
// headless runner prints the traffic lines and the failures.
class PollView {
public:
    virtual ~PollView() = default;

    /// Requests sent and replies missed since Start, after every change.
    virtual void ShowCounters(std::uint64_t requests, std::uint64_t misses) = 0;
    /// The registers of a sound read reply (again when bytes came behind it).
    virtual void ShowRegisters(const RegisterValues& registers) = 0;
    /// Start named the line it polls, with a clean line so far.
    virtual void ShowPolledPort(const QString& port) = 0;

    /// The traffic monitor: a line for every request and reply; Start clears it.
    virtual void AppendMonitorLine(const QString& line) = 0;
    virtual void ClearMonitor() = 0;

    /// The port could not be opened; the view puts its own words before the reason.
    virtual void ShowOpenFailure(const PortError& error) = 0;
    /// Writes to the open port have started failing, for the reason given, or
    /// work again (nothing). Told once at each change, not every tick.
    virtual void ShowWriteFailure(const std::optional<PortError>& error) = 0;
    /// Something about the line the operator should know that is no failure:
    /// it is back after going away, its adapter has a new name, it echoes.
    /// Told once when it happens.
    virtual void ShowLineNote(const QString& note) = 0;

    /// What a request (Request) or a reply (Reply) changes is shown together,
    /// between these two calls; a reply that changed nothing still shows the
    /// counters. A view that paints nothing need not care.
    enum class Frame { Request, Reply };
    virtual void BeginFrame(Frame frame) { static_cast<void>(frame); }
    virtual void EndFrame() {}
};
