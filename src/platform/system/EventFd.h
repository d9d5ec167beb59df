#pragma once
// A wake-up flag another thread can wait on with poll(): one side signals, the
// waiting side sees its descriptor become readable until the flag is cleared.

class EventFd {
public:
    EventFd() = default;
    ~EventFd();
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    /// Creates the descriptor, non-blocking and close-on-exec. Returns 0 or errno.
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
