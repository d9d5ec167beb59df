#include "platform/system/EventFd.h"

#include <windows.h>

// A manual-reset event: set until cleared, as the eventfd is readable until
// it is read. Its handle is kept as a number (HandleToLong), which Windows
// guarantees to round-trip for kernel handles.

EventFd::~EventFd() {
    Close();
}

int EventFd::Open() {
    Close();
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return int(::GetLastError());
    }
    m_fd = int(::HandleToLong(event));
    return 0;
}

void EventFd::Close() {
    if (m_fd >= 0) {
        ::CloseHandle(::LongToHandle(m_fd));
        m_fd = -1;
    }
}

void EventFd::Signal() {
    if (m_fd >= 0) {
        ::SetEvent(::LongToHandle(m_fd));
    }
}

void EventFd::Clear() {
    if (m_fd >= 0) {
        ::ResetEvent(::LongToHandle(m_fd));
    }
}
