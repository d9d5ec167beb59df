#pragma once
// A serial line: exclusive opening, line settings, timed reads and writes,
// queue counts, modem lines, error counters and queue discards. Every call
// returns 0 or the system's code of the failing call (an errno on Linux, a
// Windows error code on Windows); nothing here throws. Not thread-safe
// except where a function says so.
//
// Linux opens it through the terminal interface (linux/), Windows through the
// communications services (win32/), which have every option below natively.
//
// Line options that Linux drivers lack, and what stands in for them:
// - 1.5 stop bits: CSTOPB, which UARTs send as 1.5 for 5-bit characters and
//   as 2 for longer ones (the nearest safe choice).
// - Dropping received zero bytes, and replacing bytes with a parity error:
//   done on the way in (SerialReceiveFilter), the latter from PARMRK marks.
// - Parity checking without replacement: bytes pass unchanged and the error
//   shows in the driver's counters only, as with the original driver.
// - DSR sensitivity: bytes that arrive while DSR is off are dropped on read.
// - DSR output handshake: a write waits for DSR within its timeout.
// - DTR handshake: DTR is held on. RTS toggle: the driver's RS-485 mode, or
//   RTS raised around each write where the driver has none.
// - Continuing after XOFF, XON/XOFF limits and driver queue sizes: Linux
//   fixes them; the values are accepted (sizes are checked) and not used.
// - Timeouts: a read returns at once with what is waiting unless read totals
//   are set; a write waits for room up to multiplier x n + constant ms, and
//   with both zero takes only what fits at once rather than waiting forever.

#include "platform/serial/SerialReadAhead.h"
#include "platform/serial/SerialReceiveFilter.h"
#include "platform/serial/SerialSettings.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SerialIoResult {
    int count = 0;
    int error = 0;
};

struct SerialReadAheadResult {
    int error = 0;
    /// The event character was among the bytes taken.
    bool sawEventChar = false;
};

class SerialDevice {
public:
    SerialDevice();
    virtual ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    /// Linux: "/dev/" + name, or the name itself when it contains a '/'.
    /// Windows: "\\.\" + name (which COM10 and above need), or the name
    /// itself when it already starts with "\\".
    static std::string DevicePath(const std::string& portName);

    /// Opens the line exclusively and makes it raw at once. Linux opens
    /// read-write, non-blocking, without becoming the controlling terminal:
    /// TIOCEXCL keeps other openers out and a non-blocking flock() also keeps
    /// out root, whom TIOCEXCL lets through; a line already claimed (flock,
    /// exclusive mode) or simply open in another program is refused with
    /// EBUSY. Windows opens for overlapped I/O without sharing; a line open
    /// elsewhere is refused with ERROR_ACCESS_DENIED (5), a missing one with
    /// ERROR_FILE_NOT_FOUND (2).
    int open(const std::string& path);
    /// Listening only, from the next open() on: the line is opened for
    /// reading only, applyLineSettings() sets neither DTR, RTS nor the RS-485
    /// mode and asks for no flow control (CRTSCTS drives RTS, IXOFF sends
    /// XOFF), and write() refuses with EBADF (ERROR_INVALID_HANDLE on
    /// Windows). Linux itself raises DTR and RTS when a terminal with a speed
    /// is opened; nothing here can keep it from that. Windows lowers both with
    /// the line's settings and keeps them down.
    void setListenOnly(bool listenOnly) { m_listenOnly = listenOnly; }
    bool listenOnly() const { return m_listenOnly; }
    /// Drops output not yet sent, restores the line's attributes as found at
    /// opening (without output flow control if the driver still holds
    /// output), then closes: a stalled line does not hold up closing.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    /// The descriptor, for waiting on it (SerialEventWaiter); -1 when closed.
    /// On Windows the line's handle as a number, which Windows keeps within
    /// 32 bits for exactly such uses.
    int descriptor() const { return m_fd; }

    int applyLineSettings(const SerialLineSettings& settings);
    void setTimeouts(const SerialTimeouts& timeouts) { m_timeouts = timeouts; }
    /// Linux driver queues have fixed sizes; the sizes are only checked.
    int setQueueSizes(int inputSize, int outputSize);

    /// Reads at most count bytes within the read timeouts (at once with what
    /// is waiting under the default ones).
    SerialIoResult read(void* buffer, int count);
    /// While on, readAhead() takes received bytes into the device's own
    /// buffer (see SerialReadAhead); read() and inputCount() include them,
    /// and read() passes what it takes from the driver through the buffer
    /// too, calling onEventChar when the event character was among it.
    /// Closing ends it.
    void setReadAhead(bool on, std::function<void()> onEventChar = {});
    /// Takes what the driver holds into the buffer, through the receive
    /// options, and says whether the event character was among it. For the
    /// event thread, also while reading ahead is off (bytes it holds back
    /// are kept safe from a hang-up that way); safe beside read() on another
    /// thread, which serves the buffer first.
    SerialReadAheadResult readAhead();
    /// Writes count bytes, waiting for room up to the write timeout; the
    /// count is what the driver took.
    SerialIoResult write(const void* buffer, int count);

    /// The following may also be called from the event thread.
    /// Bytes waiting, in the driver and read ahead.
    int inputCount(int& count) const;
    /// Bytes the driver still holds for sending. Virtual so that a line whose
    /// queue never empties can be stood in for.
    virtual int outputCount(int& count) const;
    /// ModemLine bits. A device without modem lines reports all of them off.
    int modemLines(unsigned& lines) const;
    /// The driver's counters; all zero on a device that keeps none.
    int counters(SerialCounters& counters) const;
    int discard(bool transmit, bool receive) const;
    /// Reads and writes block until done, so nothing is ever pending; this
    /// only checks that there is a device.
    int abortPending() const;
    /// Whether the driver reports modem lines and keeps line counters at all
    /// (a pseudo-terminal does neither).
    bool hasModemLines() const;
    bool keepsCounters() const;
    /// Bytes taken out of the input since opening, by reads, discards and
    /// the receive options. With the queue count it gives the bytes received
    /// so far, which tells the event thread whether new ones have come.
    std::uint64_t consumedBytes() const { return m_consumed; }

private:
    int applyLineControls(const SerialLineSettings& settings);
    int setModemLine(unsigned line, bool on) const;
    bool waitForDsr(std::chrono::steady_clock::time_point deadline) const;
    /// How long one character takes on the line with the current settings.
    std::chrono::microseconds characterTime() const;
    /// Waits until the line has sent everything or the deadline has passed;
    /// returns the bytes still queued then (0 when all have left).
    int drainOutput(std::chrono::steady_clock::time_point deadline) const;
    bool dsrOff() const;
    SerialIoResult readOnce(std::uint8_t* buffer, int count);
    /// Moves what the driver holds into the read-ahead buffer (lock held).
    int fillReadAhead(bool byEventThread);
    void dropWaitingInput();
    void countDiscardedInput() const;

    int m_fd = -1;
    // What the system's twin keeps of an open line besides its handle: the
    // line's attributes as found at opening, restored at closing, and state
    // of its own.
    struct Native;
    std::unique_ptr<Native> m_native;
    SerialTimeouts m_timeouts;
    SerialLineSettings m_settings;
    SerialReceiveFilter m_filter;
    // Also guards m_settings and m_filter, which reads on both threads use.
    mutable SerialReadAhead m_readAhead;
    bool m_listenOnly = false;
    mutable std::atomic<std::uint64_t> m_consumed = 0;
    mutable std::atomic<bool> m_keepsNoCounters = false;
};
