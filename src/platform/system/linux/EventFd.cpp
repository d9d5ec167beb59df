#include "platform/system/EventFd.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

EventFd::~EventFd() {
    Close();
}

int EventFd::Open() {
    Close();
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_fd < 0 ? errno : 0;
}

void EventFd::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void EventFd::Signal() {
    if (m_fd < 0) {
        return;
    }
    const std::uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 signals, so a failed write can
    // only mean the flag is already up; there is nothing to recover.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void EventFd::Clear() {
    if (m_fd < 0) {
        return;
    }
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(m_fd, &count, sizeof count);
}
