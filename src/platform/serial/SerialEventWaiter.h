#pragma once
// The blocking wait of a serial event thread: on the device together with a
// signal that stops the wait for good and one that only wakes it, at once or
// after a delay (after a write, so that the thread looks at the transmit
// queue). The stop signal stays set, so a stop that comes before the wait is
// not lost. Linux waits in poll() on the device and two eventfds; Windows in
// WaitForMultipleObjects() on two events, a waitable timer and the line's
// WaitCommEvent(), which stays pending from one wait to the next.

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class SerialEventWaiter {
public:
    struct Result {
        bool stopped = false;
        bool woken = false;
        bool readable = false;
        /// The device hung up or failed (adapter unplugged, far end closed).
        bool hangUp = false;
        bool timedOut = false;
        /// The errno of a failed wait, else 0.
        int error = 0;
    };

    SerialEventWaiter();
    ~SerialEventWaiter();
    SerialEventWaiter(const SerialEventWaiter&) = delete;
    SerialEventWaiter& operator=(const SerialEventWaiter&) = delete;

    /// 0 when the descriptors or events exist, else the system's code of
    /// creating them.
    int error() const { return m_error; }

    /// All three safe from any thread.
    void stop();
    void wake();
    bool stopped() const;
    /// Wakes the wait once the delay has passed (any thread); a later call
    /// replaces the earlier one.
    void wakeAfter(std::chrono::microseconds delay);
    /// Calls off a wake-up armed by wakeAfter that is no longer needed.
    void cancelWakeAfter();

    /// Waits for the stop signal, a wake-up and, when deviceFd (the device's
    /// descriptor()) is not negative, the device: for input when watchInput
    /// is set, and always for a hang-up. Input that is waiting already ends
    /// the wait at once. Without a timeout the wait has no limit; a timeout is
    /// kept to the microsecond on Linux (a character at 115200 baud takes
    /// about 95), to the millisecond, rounded up, on Windows.
    Result wait(int deviceFd, bool watchInput,
                std::optional<std::chrono::microseconds> timeout) const;

private:
    // Descriptors on Linux, handles kept as numbers on Windows.
    int m_stopFd = -1;
    int m_wakeFd = -1;
    int m_timerFd = -1;
    int m_error = 0;
    std::atomic<bool> m_stopped = false;
    // A wait on the device that outlasts one call of wait() (Windows keeps
    // its WaitCommEvent pending); Linux needs none.
    struct DeviceWait;
    std::unique_ptr<DeviceWait> m_deviceWait;
};
