#pragma once
// A wake-up flag another thread can wait on: one side signals, the waiting
// side sees it raised until it is cleared. On Linux an eventfd, which poll()
// sees readable while the flag is up; on Windows a manual-reset event, which
// WaitForMultipleObjects() sees signalled, its handle kept as the number.

class EventFd {
public:
    EventFd() = default;
    ~EventFd();
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    /// Creates the descriptor (non-blocking and close-on-exec) or the event.
    /// Returns 0 or the system's code.
    int Open();
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    /// Raises the flag; safe from any thread and from a signal handler.
    void Signal();
    /// Lowers the flag again.
    void Clear();

private:
    int m_fd = -1;
};
