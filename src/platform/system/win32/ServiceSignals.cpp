#include "platform/system/ServiceSignals.h"

#include <condition_variable>
#include <mutex>
#include <windows.h>

// Windows steers a console program through console control events: Ctrl+C,
// Ctrl+Break, the console window closing, the user logging off and the
// machine shutting down. Each asks it to end. The system calls the handler
// on a thread of its own, which hands the request to Wait().
//
// Windows has nothing like SIGHUP, SIGUSR1 and SIGUSR2, so a service there is
// never asked to restart or to plug its device in or out this way.

namespace ServiceSignals {
namespace {

struct Pending {
    std::mutex mutex;
    std::condition_variable changed;
    bool terminate = false;
};

Pending& pending() {
    static Pending instance;
    return instance;
}

BOOL WINAPI onControlEvent(DWORD event) {
    Pending& state = pending();
    {
        const std::lock_guard lock(state.mutex);
        state.terminate = true;
    }
    state.changed.notify_all();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // For these the system ends the process as soon as the handler
        // returns; staying here lets main() finish first, and the system
        // still ends the process after its own grace period.
        ::Sleep(INFINITE);
    }
    return TRUE;
}

} // namespace

void Block() {
    ::SetConsoleCtrlHandler(onControlEvent, TRUE);
}

Request Wait() {
    Pending& state = pending();
    std::unique_lock lock(state.mutex);
    state.changed.wait(lock, [&state] { return state.terminate; });
    state.terminate = false;
    return Request::Terminate;
}

} // namespace ServiceSignals
