#include "platform/system/SignalWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The self-pipe: a signal handler may only write to a descriptor, the main
// thread reads the signal number back from the other end.
int pipeEnds[2] = {-1, -1};

extern "C" void forwardSignal(int signalNumber) {
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    const int savedErrno = errno;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = savedErrno;
}

void installHandler(int signalNumber, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignal);
    installHandler(SIGINT, forwardSignal);
    installHandler(SIGTERM, forwardSignal);
}

SignalWatcher::~SignalWatcher() {
    installHandler(SIGINT, SIG_DFL);
    installHandler(SIGTERM, SIG_DFL);
    m_notifier.reset();
    for (int& end : pipeEnds) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

void SignalWatcher::readSignal() {
    unsigned char number = 0;
    while (::read(pipeEnds[0], &number, 1) == 1) {
        emit interrupted(number);
    }
}
