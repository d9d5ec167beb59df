#include "platform/serial/SerialDevice.h"

#include "platform/serial/DeviceHolders.h"
#include "platform/serial/SerialTermios.h"
#include "platform/system/SystemError.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <linux/major.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto modemLinePollInterval = std::chrono::milliseconds(10);
// Looks at a draining transmit queue come about when its bytes should have
// left, but never further apart than this nor closer than the shortest.
constexpr auto longestDrainLook = std::chrono::milliseconds(10);
constexpr auto shortestDrainLook = std::chrono::microseconds(100);
// A drain without any write timeout may still take as long as the bytes
// need on the line, plus this for the driver and the adapter.
constexpr auto drainSlack = std::chrono::milliseconds(200);

int lastError() {
    return errno;
}

int ioctlError(int result) {
    return result == 0 ? 0 : lastError();
}

// Waits until the descriptor has room (POLLOUT) or data (POLLIN), or until
// the deadline; also until wakeFd becomes readable, when there is one.
// Returns 0 when ready, ETIMEDOUT or the poll error otherwise.
int waitFor(int fd, short events, Clock::time_point deadline, int wakeFd = -1) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return ETIMEDOUT;
        }
        pollfd entries[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const nfds_t count = wakeFd >= 0 ? 2 : 1;
        const int result = ::poll(entries, count, int(std::min<long long>(left.count(), 60000)));
        if (result > 0) {
            return 0;
        }
        if (result < 0 && errno != EINTR) {
            return lastError();
        }
    }
}

// Whether another opener has already put the terminal in exclusive mode.
// Drivers too old to tell are taken as not held.
bool heldExclusively(int fd) {
    int exclusive = 0;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// Whether a program that took no claim has the line open. Pseudo-terminals
// are left out: a simulated module keeps its end's line open on purpose.
bool heldByAnotherProgram(int fd) {
    // What is not a terminal is refused further on with its own error.
    termios2 attributes{};
    struct stat device {};
    if (::ioctl(fd, TCGETS2, &attributes) != 0 || ::fstat(fd, &device) != 0) {
        return false;
    }
    const unsigned deviceMajor = major(device.st_rdev);
    if (deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
        deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT) {
        return false;
    }
    return OtherProcessHoldsPath(OpenDescriptorPath(fd));
}

} // namespace

struct SerialDevice::Native {
    termios2 previous{};
    bool rs485Enabled = false;
    bool softwareRtsToggle = false;
};

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() {
    close();
}

std::string SerialDevice::DevicePath(const std::string& portName) {
    if (portName.find('/') != std::string::npos) {
        return portName;
    }
    return "/dev/" + portName;
}

int SerialDevice::open(const std::string& path) {
    close();
    const int access = m_listenOnly ? O_RDONLY : O_RDWR;
    const int fd = ::open(path.c_str(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return lastError();
    }
    auto native = std::make_unique<Native>();
    termios2* previous = &native->previous;
    int error = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = lastError();
    } else if (heldExclusively(fd) || heldByAnotherProgram(fd)) {
        // Root gets past another program's exclusive mode, and a program
        // that takes no claim at all is let in by the driver; either way the
        // line must not be shared (each would get part of the bytes).
        error = EBUSY;
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        // Also refuses anything that is not a terminal (ENOTTY).
        error = lastError();
    } else if (::ioctl(fd, TCGETS2, previous) != 0) {
        error = lastError();
    } else if (const termios2 raw = m_listenOnly ? WithoutOutputFlowControl(RawTermios(*previous))
                                                 : RawTermios(*previous);
               ::ioctl(fd, TCSETS2, &raw) != 0) {
        // Another program may have left the line echoing and translating;
        // until the settings are pushed (a hold may delay that) it must not.
        // Nor may a listener's line keep the flow control it was left with.
        error = lastError();
    }
    if (error != 0) {
        ::close(fd);
        return error;
    }
    // USB adapters hold received bytes for up to 16 ms unless asked for low
    // latency; a Modbus master waits for every reply, so ask. Drivers without
    // the setting refuse, which is fine.
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
    m_fd = fd;
    m_keepsNoCounters = false;
    m_consumed = 0;
    m_native = std::move(native);
    return 0;
}

void SerialDevice::close() {
    if (m_fd < 0) {
        return;
    }
    // Failures are ignored: a device that was unplugged cannot be restored,
    // and closing must still release it.
    //
    // Output the line has not sent is dropped: a port being closed cannot
    // send it, and on a line stalled by flow control (CTS low, XOFF) or a
    // dead adapter the driver would hold the close until it is gone, for up
    // to 30 s. A driver that cannot drop its queue is let go without flow
    // control, so that the little it holds leaves at line speed instead.
    ::ioctl(m_fd, TCFLSH, TCOFLUSH);
    int stillQueued = 0;
    const bool stalled = outputCount(stillQueued) == 0 && stillQueued > 0;
    if (m_native->rs485Enabled) {
        serial_rs485 mode{};
        ::ioctl(m_fd, TIOCSRS485, &mode);
    }
    const termios2& previous = m_native->previous;
    const termios2 restored = stalled ? WithoutOutputFlowControl(previous) : previous;
    ::ioctl(m_fd, TCSETS2, &restored);
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_native.reset();
    const auto guard = m_readAhead.lock();
    m_readAhead.setEnabled(false);
    m_readAhead.setEventCharObserver({});
    m_readAhead.clear();
    m_readAhead.takeEventCharSeen();
    m_filter.setOptions({});
}

int SerialDevice::applyLineSettings(const SerialLineSettings& settings) {
    if (m_fd < 0) {
        return EBADF;
    }
    if (settings.baudRate <= 0) {
        return EINVAL;
    }
    termios2 current{};
    if (::ioctl(m_fd, TCGETS2, &current) != 0) {
        return lastError();
    }
    // A listener asks for nothing that would drive a line or send a byte.
    const termios2 wanted = BuildTermios(current, m_listenOnly ? ListenOnly(settings) : settings);
    if (::ioctl(m_fd, TCSETS2, &wanted) != 0) {
        return lastError();
    }
    if (!m_listenOnly) {
        if (const int error = applyLineControls(settings); error != 0) {
            return error;
        }
    }
    const auto guard = m_readAhead.lock();
    m_settings = settings;
    m_filter.setOptions({settings.parityCheck && settings.parityReplace, settings.replaceChar,
                         settings.discardNull});
    m_readAhead.setEventChar(settings.eventChar);
    return 0;
}

int SerialDevice::setModemLine(unsigned line, bool on) const {
    int bits = int(line);
    const int result = ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits);
    const int error = ioctlError(result);
    // A line that the device does not have (a pseudo-terminal) is no failure.
    return IsUnsupportedRequest(error) ? 0 : error;
}

int SerialDevice::applyLineControls(const SerialLineSettings& settings) {
    using LineControl = SerialLineSettings::LineControl;
    // Linux has no DTR/DSR handshake; with it selected DTR is simply held on,
    // which is what the far end sees while the handshake allows data.
    if (const int error = setModemLine(TIOCM_DTR, settings.dtr != LineControl::Off); error != 0) {
        return error;
    }
    m_native->softwareRtsToggle = false;
    if (settings.rts == LineControl::Toggle) {
        // RS-485 mode lets the driver raise RTS exactly while it sends. Where
        // the driver lacks it, the write path raises and drops RTS itself.
        serial_rs485 mode{};
        mode.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        if (::ioctl(m_fd, TIOCSRS485, &mode) == 0) {
            m_native->rs485Enabled = true;
            return 0;
        }
        m_native->softwareRtsToggle = true;
        return setModemLine(TIOCM_RTS, false);
    }
    if (m_native->rs485Enabled) {
        serial_rs485 mode{};
        ::ioctl(m_fd, TIOCSRS485, &mode);
        m_native->rs485Enabled = false;
    }
    if (settings.rts == LineControl::Handshake) {
        return 0; // CRTSCTS drives RTS.
    }
    return setModemLine(TIOCM_RTS, settings.rts == LineControl::On);
}

int SerialDevice::setQueueSizes(int inputSize, int outputSize) {
    return (inputSize < 0 || outputSize < 0) ? EINVAL : 0;
}

bool SerialDevice::dsrOff() const {
    unsigned lines = 0;
    int raw = 0;
    // Without modem lines there is no DSR to obey.
    if (::ioctl(m_fd, TIOCMGET, &raw) != 0) {
        return false;
    }
    lines = unsigned(raw);
    return (lines & TIOCM_DSR) == 0;
}

void SerialDevice::countDiscardedInput() const {
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0) {
        m_consumed += std::uint64_t(waiting);
    }
}

void SerialDevice::dropWaitingInput() {
    countDiscardedInput();
    ::ioctl(m_fd, TCFLSH, TCIFLUSH);
}

SerialIoResult SerialDevice::readOnce(std::uint8_t* buffer, int count) {
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, std::size_t(count));
        // With VMIN and VTIME at 0 an empty read returns 0, and so does a
        // line that hung up (adapter unplugged, far end closed); only the
        // latter also fails the queue count.
        if (got == 0) {
            int waiting = 0;
            return {0, ioctlError(::ioctl(m_fd, FIONREAD, &waiting))};
        }
        if (got > 0) {
            m_consumed += std::uint64_t(got);
            return {int(m_filter.filter(buffer, std::size_t(got))), 0};
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            return {0, 0};
        }
        return {0, lastError()};
    }
}

SerialIoResult SerialDevice::read(void* buffer, int count) {
    if (m_fd < 0) {
        return {0, EBADF};
    }
    if (count <= 0) {
        return {0, 0};
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const auto total = ReadTimeout(m_timeouts, std::size_t(count));
    const auto deadline = Clock::now() + total;
    const bool intervalTimed =
        m_timeouts.readInterval != SerialTimeouts::ReturnAtOnce && m_timeouts.readInterval > 0;
    SerialIoResult result;
    for (bool first = true;; first = false) {
        auto guard = m_readAhead.lock();
        // Bytes read ahead came before those in the driver, and so do any the
        // event thread took while this read waited.
        const std::size_t ahead =
            m_readAhead.take(bytes + result.count, std::size_t(count - result.count));
        m_consumed += ahead;
        result.count += int(ahead);
        if (result.count >= count) {
            return result;
        }
        // Linux has no DSR sensitivity: bytes that arrive while DSR is off are
        // dropped here, as the driver would have ignored them.
        if (first && m_settings.dsrSensitivity && dsrOff()) {
            dropWaitingInput();
            return result;
        }
        SerialIoResult part;
        if (m_readAhead.enabled()) {
            // The event character must be seen in whatever is read, so the
            // driver's bytes pass through the buffer here as well.
            part.error = fillReadAhead(false);
            part.count =
                int(m_readAhead.take(bytes + result.count, std::size_t(count - result.count)));
            m_consumed += std::uint64_t(part.count);
        } else {
            part = readOnce(bytes + result.count, count - result.count);
        }
        result.count += part.count;
        if (part.error != 0) {
            return result.count > 0 ? result : part;
        }
        // A full buffer needs no look at the queue: that saves a call on
        // every reply, which is read in one piece as a rule.
        if (result.count >= count) {
            return result;
        }
        int waiting = 0;
        const bool moreWaiting = ioctlError(::ioctl(m_fd, FIONREAD, &waiting)) == 0 && waiting > 0;
        // Filtered-out bytes may leave room while more are already waiting.
        if (moreWaiting && (part.count > 0 || m_filter.active())) {
            continue;
        }
        if (total.count() == 0) {
            return result;
        }
        auto until = deadline;
        if (intervalTimed && result.count > 0) {
            until =
                std::min(until, Clock::now() + std::chrono::milliseconds(m_timeouts.readInterval));
        }
        // The event thread may take the bytes this read waits for into the
        // buffer (reading ahead, or keeping bytes it holds safe); it then
        // wakes the read.
        const int keptFd = m_readAhead.beginWaiting();
        guard.unlock();
        const int waited = waitFor(m_fd, POLLIN, until, keptFd);
        if (keptFd >= 0) {
            m_readAhead.endWaiting();
        }
        if (waited != 0) {
            return result;
        }
    }
}

void SerialDevice::setReadAhead(bool on, std::function<void()> onEventChar) {
    const auto guard = m_readAhead.lock();
    m_readAhead.setEnabled(on);
    m_readAhead.setEventCharObserver(std::move(onEventChar));
}

SerialReadAheadResult SerialDevice::readAhead() {
    SerialReadAheadResult result;
    const auto guard = m_readAhead.lock();
    if (m_fd < 0) {
        result.error = EBADF;
        return result;
    }
    if (m_settings.dsrSensitivity && dsrOff()) {
        dropWaitingInput();
    } else {
        result.error = fillReadAhead(true);
    }
    result.sawEventChar = m_readAhead.takeEventCharSeen();
    return result;
}

int SerialDevice::fillReadAhead(bool byEventThread) {
    std::array<std::uint8_t, 4096> piece{};
    while (m_readAhead.room() > 0) {
        const int wanted = int(std::min(piece.size(), m_readAhead.room()));
        const std::uint64_t consumedBefore = m_consumed;
        const SerialIoResult part = readOnce(piece.data(), wanted);
        if (part.error != 0) {
            return part.error;
        }
        const std::uint64_t taken = m_consumed - consumedBefore;
        // What is kept is still waiting input; only what the receive options
        // dropped is gone.
        m_consumed -= std::uint64_t(part.count);
        m_readAhead.keep(piece.data(), std::size_t(part.count), byEventThread);
        if (taken < std::uint64_t(wanted)) {
            break;
        }
    }
    return 0;
}

bool SerialDevice::waitForDsr(Clock::time_point deadline) const {
    while (dsrOff()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(modemLinePollInterval);
    }
    return true;
}

std::chrono::microseconds SerialDevice::characterTime() const {
    const bool parity = m_settings.parity != SerialLineSettings::Parity::None;
    const bool longStop = m_settings.stopBits != SerialLineSettings::StopBits::One;
    const int bits = 1 + m_settings.dataBits + (parity ? 1 : 0) + (longStop ? 2 : 1);
    const int rate = std::max(m_settings.baudRate, 1);
    return std::chrono::microseconds(std::int64_t(bits) * 1'000'000 / rate + 1);
}

int SerialDevice::drainOutput(Clock::time_point deadline) const {
    const auto character = characterTime();
    for (;;) {
        int queued = 0;
        if (outputCount(queued) != 0) {
            return 0; // A device that cannot tell is not waited for.
        }
        if (queued == 0) {
            // The kernel's queue is empty; the driver knows how long its
            // hardware needs for the last few characters and waits that long
            // at most (a UART's transmitter FIFO and shift register).
            ::ioctl(m_fd, TCSBRK, 1);
            return 0;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return queued;
        }
        const auto due = std::clamp<std::chrono::microseconds>(character * queued,
                                                               shortestDrainLook, longestDrainLook);
        std::this_thread::sleep_for(std::min<Clock::duration>(due, deadline - now));
    }
}

SerialIoResult SerialDevice::write(const void* buffer, int count) {
    if (m_fd < 0 || m_listenOnly) {
        return {0, EBADF};
    }
    if (count <= 0) {
        return {0, 0};
    }
    const auto deadline = Clock::now() + WriteTimeout(m_timeouts, std::size_t(count));
    // Linux has no DSR output handshake; the write waits for DSR itself.
    if (m_settings.outDsrFlow && !waitForDsr(deadline)) {
        return {0, 0};
    }
    if (m_native->softwareRtsToggle) {
        setModemLine(TIOCM_RTS, true);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    SerialIoResult result;
    while (result.count < count) {
        const ssize_t written =
            ::write(m_fd, bytes + result.count, std::size_t(count - result.count));
        if (written > 0) {
            result.count += int(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            result.error = lastError();
            break;
        }
        // The driver's queue is full: wait for room until the write timeout.
        if (waitFor(m_fd, POLLOUT, deadline) != 0) {
            break;
        }
    }
    if (m_native->softwareRtsToggle) {
        // RTS must stay up until the last stop bit has left, but a stalled
        // line (flow control, a dead adapter) must not hold the write for
        // ever: the wait ends with the write timeout, though never before the
        // bytes could have left at line speed (with a margin), so that even
        // zero timeouts let a frame out. What is then still queued is
        // dropped where the driver can drop it rather than sent later with
        // RTS down, and is not counted, as with a write that timed out.
        const auto lineTime = characterTime() * result.count + drainSlack;
        const int unsent = drainOutput(std::max(deadline, Clock::now() + lineTime));
        if (unsent > 0) {
            ::ioctl(m_fd, TCFLSH, TCOFLUSH);
            result.count = std::max(result.count - unsent, 0);
        }
        setModemLine(TIOCM_RTS, false);
    }
    return result;
}

int SerialDevice::inputCount(int& count) const {
    count = 0;
    const int error = ioctlError(::ioctl(m_fd, FIONREAD, &count));
    const auto guard = m_readAhead.lock();
    // Bytes read ahead are still there to be read when the line has gone
    // away since, and read() hands them out first.
    if (error != 0 && m_readAhead.size() > 0) {
        count = int(m_readAhead.size());
        return 0;
    }
    if (error == 0) {
        count += int(m_readAhead.size());
    }
    return error;
}

int SerialDevice::outputCount(int& count) const {
    count = 0;
    return ioctlError(::ioctl(m_fd, TIOCOUTQ, &count));
}

int SerialDevice::modemLines(unsigned& lines) const {
    lines = 0;
    int raw = 0;
    const int error = ioctlError(::ioctl(m_fd, TIOCMGET, &raw));
    if (error != 0) {
        return (IsUnsupportedRequest(error) && m_fd >= 0) ? 0 : error;
    }
    const auto bits = unsigned(raw);
    lines = ((bits & TIOCM_CTS) ? ModemLine::Cts : 0) | ((bits & TIOCM_DSR) ? ModemLine::Dsr : 0) |
            ((bits & TIOCM_RNG) ? ModemLine::Ring : 0) | ((bits & TIOCM_CD) ? ModemLine::Rlsd : 0);
    return 0;
}

int SerialDevice::counters(SerialCounters& result) const {
    result = {};
    // The counters are read with every delivery of received bytes; a driver
    // that has refused them once is not asked again until the next opening.
    if (m_fd >= 0 && m_keepsNoCounters) {
        return 0;
    }
    serial_icounter_struct raw{};
    const int error = ioctlError(::ioctl(m_fd, TIOCGICOUNT, &raw));
    if (error != 0) {
        const bool unsupported = IsUnsupportedRequest(error) && m_fd >= 0;
        m_keepsNoCounters = unsupported;
        return unsupported ? 0 : error;
    }
    result = {raw.cts,     raw.dsr,    raw.rng, raw.dcd,        raw.frame,
              raw.overrun, raw.parity, raw.brk, raw.buf_overrun};
    return 0;
}

int SerialDevice::discard(bool transmit, bool receive) const {
    if (!transmit && !receive) {
        return 0;
    }
    std::unique_lock<std::mutex> guard;
    if (receive) {
        guard = m_readAhead.lock();
        m_consumed += m_readAhead.clear();
        countDiscardedInput();
    }
    const int which = transmit && receive ? TCIOFLUSH : (transmit ? TCOFLUSH : TCIFLUSH);
    return ioctlError(::ioctl(m_fd, TCFLSH, which));
}

bool SerialDevice::hasModemLines() const {
    int raw = 0;
    return ::ioctl(m_fd, TIOCMGET, &raw) == 0;
}

bool SerialDevice::keepsCounters() const {
    serial_icounter_struct raw{};
    return ::ioctl(m_fd, TIOCGICOUNT, &raw) == 0;
}

int SerialDevice::abortPending() const {
    // Deliberately no call on the device: a line whose adapter was unplugged
    // answers every call with EIO, and it must still be possible to close it.
    return m_fd >= 0 ? 0 : EBADF;
}
