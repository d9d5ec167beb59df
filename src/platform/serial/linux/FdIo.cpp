#include "platform/serial/FdIo.h"

// termios2 carries rates that have no B constant; it cannot be mixed with the C
// library's <termios.h>, which is why this file does not include it.
#include <asm/termbits.h>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

namespace FdIo {
namespace {

using Clock = std::chrono::steady_clock;

timespec toTimespec(std::chrono::microseconds duration) {
    if (duration.count() < 0) {
        duration = std::chrono::microseconds::zero();
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

// Runs ppoll() until it returns something other than EINTR, keeping the
// deadline fixed across retries.
int pollUntil(pollfd* descriptors, nfds_t count, std::optional<Clock::time_point> deadline) {
    for (;;) {
        timespec remaining{};
        timespec* limit = nullptr;
        if (deadline) {
            remaining = toTimespec(
                std::chrono::duration_cast<std::chrono::microseconds>(*deadline - Clock::now()));
            limit = &remaining;
        }
        const int ready = ::ppoll(descriptors, count, limit, nullptr);
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
    }
}

std::optional<Clock::time_point> deadlineAfter(std::optional<std::chrono::microseconds> timeout) {
    if (!timeout) {
        return std::nullopt;
    }
    return Clock::now() + *timeout;
}

} // namespace

WaitResult WaitReadable(int fd, int stopFd, std::optional<std::chrono::microseconds> timeout) {
    pollfd descriptors[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int ready = pollUntil(descriptors, 2, deadlineAfter(timeout));
    if (ready < 0) {
        return WaitResult::Failed;
    }
    if (descriptors[1].revents & POLLIN) {
        return WaitResult::Stopped;
    }
    if (ready == 0) {
        return WaitResult::TimedOut;
    }
    // Data still waiting wins over a hang-up so that the last bytes are read.
    if (descriptors[0].revents & POLLIN) {
        return WaitResult::Readable;
    }
    if (descriptors[0].revents & POLLHUP) {
        return WaitResult::HungUp;
    }
    return WaitResult::Failed;
}

WaitResult WaitAnyReadable(std::span<const int> fds, int stopFd,
                           std::optional<std::chrono::steady_clock::time_point> deadline,
                           std::vector<bool>& readable) {
    std::vector<pollfd> descriptors;
    descriptors.reserve(fds.size() + 1);
    for (const int fd : fds) {
        descriptors.push_back({fd, POLLIN, 0});
    }
    descriptors.push_back({stopFd, POLLIN, 0});
    readable.assign(fds.size(), false);
    const int ready = pollUntil(descriptors.data(), descriptors.size(), deadline);
    if (ready < 0) {
        return WaitResult::Failed;
    }
    if (descriptors.back().revents & POLLIN) {
        return WaitResult::Stopped;
    }
    bool any = false;
    bool hungUp = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        readable[i] = (descriptors[i].revents & POLLIN) != 0;
        any = any || readable[i];
        hungUp = hungUp || (descriptors[i].revents & (POLLHUP | POLLERR)) != 0;
    }
    if (any) {
        return WaitResult::Readable;
    }
    return hungUp ? WaitResult::HungUp : WaitResult::TimedOut;
}

bool SleepUnlessStopped(int stopFd, std::chrono::microseconds duration) {
    pollfd descriptor{stopFd, POLLIN, 0};
    return pollUntil(&descriptor, 1, deadlineAfter(duration)) > 0;
}

std::ptrdiff_t ReadAvailable(int fd, std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count >= 0) {
            return count;
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN ? 0 : -errno;
    }
}

std::size_t WriteAll(int fd, std::span<const std::uint8_t> bytes, int stopFd,
                     std::chrono::milliseconds stallLimit) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN) {
            break;
        }
        // The queue is full: wait for room, but not for ever, because nobody
        // may be reading the other end.
        pollfd descriptors[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
        const int ready = pollUntil(descriptors, 2, Clock::now() + stallLimit);
        if (ready <= 0 || (descriptors[1].revents & POLLIN) ||
            !(descriptors[0].revents & POLLOUT)) {
            break;
        }
    }
    return written;
}

std::optional<LineFormat> ReadLineFormat(int fd) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return std::nullopt;
    }
    LineFormat format;
    format.baudRate = settings.c_ospeed;
    unsigned dataBits = 8;
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        dataBits = 5;
        break;
    case CS6:
        dataBits = 6;
        break;
    case CS7:
        dataBits = 7;
        break;
    default:
        dataBits = 8;
        break;
    }
    const unsigned parityBits = (settings.c_cflag & PARENB) ? 1 : 0;
    const unsigned stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    format.bitsPerCharacter = 1 + dataBits + parityBits + stopBits;
    return format;
}

} // namespace FdIo
