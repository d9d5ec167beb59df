#pragma once
// Helpers for serial tests on pseudo-terminals: the line's attributes as the
// far end sees them, bytes from the far end, and waiting with generous limits.

#include "platform/serial/PseudoTerminal.h"
#include "platform/serial/SerialTermios.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace serialtest {

constexpr int generousWaitMs = 5000;

// Attribute calls on a pty master act on the slave's attributes, which are
// the ones the component sets.
inline termios2 lineAttributes(const PseudoTerminal& pty) {
    termios2 attributes{};
    ::ioctl(pty.MasterFd(), TCGETS2, &attributes);
    return attributes;
}

inline void writeFarEnd(const PseudoTerminal& pty, const std::vector<std::uint8_t>& bytes) {
    [[maybe_unused]] const auto written = ::write(pty.MasterFd(), bytes.data(), bytes.size());
}

// Reads up to count bytes that the component sent, waiting for them.
inline std::vector<std::uint8_t> readFarEnd(const PseudoTerminal& pty, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    QElapsedTimer timer;
    timer.start();
    while (bytes.size() < count && timer.elapsed() < generousWaitMs) {
        pollfd entry{pty.MasterFd(), POLLIN, 0};
        if (::poll(&entry, 1, 50) > 0) {
            std::uint8_t chunk[256];
            const auto got =
                ::read(pty.MasterFd(), chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got > 0) {
                bytes.insert(bytes.end(), chunk, chunk + got);
            }
        }
    }
    return bytes;
}

// Runs the event loop until condition holds or the wait gives up.
inline bool waitUntil(const std::function<bool()>& condition, int limitMs = generousWaitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ::usleep(1000);
    }
    return true;
}

inline std::chrono::nanoseconds processCpuTime() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace serialtest
