#include "platform/serial/SerialEventWaiter.h"

#include "platform/system/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds stopLookInterval{20};

void signal(int fd) {
    const std::uint64_t one = 1;
    // A counter that is already set stays set; nothing is lost if this fails.
    [[maybe_unused]] const auto written = ::write(fd, &one, sizeof one);
}

} // namespace

// poll() keeps nothing from one wait to the next.
struct SerialEventWaiter::DeviceWait {};

SerialEventWaiter::SerialEventWaiter() {
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (m_stopFd < 0 || m_wakeFd < 0 || m_timerFd < 0) {
        m_error = errno;
    }
}

SerialEventWaiter::~SerialEventWaiter() {
    for (const int fd : {m_stopFd, m_wakeFd, m_timerFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void SerialEventWaiter::stop() {
    m_stopped = true;
    signal(m_stopFd);
}
void SerialEventWaiter::wake() {
    signal(m_wakeFd);
}

void SerialEventWaiter::wakeAfter(std::chrono::microseconds delay) {
    // Arming the timer wakes nobody now, unlike wake(): the thread keeps
    // sleeping until the delay is over or the line has news anyway.
    // At least a microsecond: a zero time would disarm the timer instead.
    itimerspec when{};
    when.it_value = TimespecOf(std::max(delay, std::chrono::microseconds(1)));
    ::timerfd_settime(m_timerFd, 0, &when, nullptr);
}

void SerialEventWaiter::cancelWakeAfter() {
    const itimerspec never{};
    ::timerfd_settime(m_timerFd, 0, &never, nullptr);
}

bool SerialEventWaiter::stopped() const {
    // Asked after every delivery, so the flag spares a call on the descriptor.
    return m_stopped;
}

SerialEventWaiter::Result
SerialEventWaiter::wait(int deviceFd, bool watchInput,
                        std::optional<std::chrono::microseconds> timeout) const {
    // A negative descriptor is skipped by poll(), so a hung-up device can be
    // left out without reshaping the list.
    pollfd entries[4] = {{m_stopFd, POLLIN, 0},
                         {m_wakeFd, POLLIN, 0},
                         {m_timerFd, POLLIN, 0},
                         {deviceFd, short(watchInput ? POLLIN : 0), 0}};
    // Without its own descriptors (the process ran out of them) a stop cannot
    // wake the wait, so the wait looks at the stop flag on a short interval
    // instead; closing the port must never hang.
    if (m_error != 0 && (!timeout || *timeout > stopLookInterval)) {
        timeout = stopLookInterval;
    }
    const timespec limit = TimespecOf(timeout.value_or(std::chrono::microseconds(0)));
    int ready = 0;
    do {
        ready = ::ppoll(entries, 4, timeout ? &limit : nullptr, nullptr);
    } while (ready < 0 && errno == EINTR);

    Result result;
    if (ready < 0) {
        result.error = errno;
        return result;
    }
    result.stopped = entries[0].revents != 0 || m_stopped;
    if (entries[1].revents != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto got = ::read(m_wakeFd, &count, sizeof count);
        result.woken = true;
    }
    if (entries[2].revents != 0) {
        std::uint64_t expirations = 0;
        [[maybe_unused]] const auto got = ::read(m_timerFd, &expirations, sizeof expirations);
        result.woken = true;
    }
    result.timedOut = ready == 0;
    result.readable = (entries[3].revents & POLLIN) != 0;
    result.hangUp = (entries[3].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return result;
}
