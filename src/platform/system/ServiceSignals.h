#pragma once
// How a command-line service waits for the signals that steer it: SIGINT and
// SIGTERM end it, SIGHUP asks it to restart, SIGUSR1 and SIGUSR2 ask it to
// plug its device in afresh and to pull it out. The signals are blocked in every
// thread and taken synchronously, so no handler runs at an awkward moment.
// On Windows the console's control events (Ctrl+C, Ctrl+Break, the console
// closing, a log-off, a shutdown) all ask it to end; Windows has nothing that
// asks for a restart or a re-plug.

namespace ServiceSignals {

enum class Request { Terminate, Restart, PlugIn, Unplug };

/// Blocks the signals in the calling thread and in every thread it starts
/// afterwards. Call it first thing in main().
void Block();

/// Waits for the next of the signals.
Request Wait();

} // namespace ServiceSignals
