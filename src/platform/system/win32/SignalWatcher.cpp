#include "platform/system/SignalWatcher.h"

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <csignal>
#include <mutex>
#include <windows.h>

// A console program on Windows gets console control events, on a thread the
// system starts for each: Ctrl+C and Ctrl+Break count as SIGINT, the console
// closing, a log-off and a shutdown as SIGTERM. SIGINT and SIGTERM raised in
// the program itself (raise()) come through the C library's handlers. Either
// way the watcher is told on its own thread. (The socket notifier of the
// header serves the Linux twin's self-pipe; here it stays empty.)

namespace {

std::mutex watcherMutex;
QPointer<SignalWatcher> activeWatcher;

// Hands the signal to the watcher's thread; false when there is no watcher.
bool tellWatcher(int signalNumber) {
    const std::lock_guard lock(watcherMutex);
    if (activeWatcher.isNull()) {
        return false;
    }
    QMetaObject::invokeMethod(
        activeWatcher.data(),
        [watcher = activeWatcher, signalNumber] {
            if (watcher) {
                emit watcher->interrupted(signalNumber);
            }
        },
        Qt::QueuedConnection);
    return true;
}

extern "C" void onRaisedSignal(int signalNumber) {
    // The C library puts the default back before calling a handler.
    std::signal(signalNumber, onRaisedSignal);
    tellWatcher(signalNumber);
}

BOOL WINAPI onControlEvent(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    if (!tellWatcher(interrupt ? SIGINT : SIGTERM)) {
        return FALSE;
    }
    if (!interrupt) {
        // The system ends the process as soon as the handler returns from
        // these; staying here gives the windows their time to close as the
        // operator would close them (the settings saved, the recording
        // closed), until the program ends or the system's grace period does.
        ::Sleep(INFINITE);
    }
    return TRUE;
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    {
        const std::lock_guard lock(watcherMutex);
        activeWatcher = this;
    }
    // The C library's handlers first: setting them installs its own console
    // handler, which the one set after it comes before.
    std::signal(SIGINT, onRaisedSignal);
    std::signal(SIGTERM, onRaisedSignal);
    ::SetConsoleCtrlHandler(onControlEvent, TRUE);
}

SignalWatcher::~SignalWatcher() {
    ::SetConsoleCtrlHandler(onControlEvent, FALSE);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    const std::lock_guard lock(watcherMutex);
    activeWatcher = nullptr;
}
