#include "platform/system/ServiceSignals.h"

#include <csignal>
#include <initializer_list>
#include <pthread.h>

namespace ServiceSignals {
namespace {

sigset_t serviceSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, SIGUSR2);
    return set;
}

} // namespace

void Block() {
    const sigset_t set = serviceSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A shell starts background jobs with SIGINT ignored, and an ignored
    // signal is thrown away instead of waiting for sigwait(). Blocked, the
    // default action never runs, so it is safe to restore it.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        std::signal(signal, SIG_DFL);
    }
}

Request Wait() {
    const sigset_t set = serviceSignals();
    int signal = 0;
    // sigwait() only fails for an invalid set; ending is the safe answer then.
    if (sigwait(&set, &signal) != 0) {
        return Request::Terminate;
    }
    switch (signal) {
    case SIGHUP:
        return Request::Restart;
    case SIGUSR1:
        return Request::PlugIn;
    case SIGUSR2:
        return Request::Unplug;
    default:
        return Request::Terminate;
    }
}

} // namespace ServiceSignals
