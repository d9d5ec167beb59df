#include "platform/serial/SerialDevice.h"

#include "platform/serial/win32/CommState.h"
#include "platform/system/SystemError.h"

#include <QString>
#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <windows.h>

// The line is opened for overlapped I/O, so that the event thread can wait in
// WaitCommEvent() while reads and writes go on; reads and writes still end
// before they return. Its handle is kept as a number (HandleToLong), which
// Windows guarantees to round-trip for kernel handles.

namespace {

// What the event thread waits for: input, line errors and breaks, as poll()
// does on Linux; the modem lines it looks at on an interval. It never relies
// on which of them the driver reports (Wine reports none), only on its wait
// ending.
constexpr DWORD watchedEvents = EV_RXCHAR | EV_RXFLAG | EV_ERR | EV_BREAK;

HANDLE lineOf(int descriptor) {
    return ::LongToHandle(descriptor);
}

// One overlapped read or write, waited for to its end: the driver's timeouts
// end it, or the limit when one is given, after which it is called off and
// counts what went through. Returns 0 or the Windows error code.
DWORD transfer(HANDLE line, HANDLE event, bool writing, void* buffer, DWORD count, DWORD& done,
               std::optional<std::chrono::milliseconds> limit = std::nullopt) {
    done = 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    ::ResetEvent(event);
    const BOOL started = writing ? ::WriteFile(line, buffer, count, nullptr, &overlapped)
                                 : ::ReadFile(line, buffer, count, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        return ::GetLastError();
    }
    bool calledOff = false;
    if (limit && ::WaitForSingleObject(event, DWORD(limit->count())) == WAIT_TIMEOUT) {
        ::CancelIoEx(line, &overlapped);
        calledOff = true;
    }
    if (!::GetOverlappedResult(line, &overlapped, &done, TRUE)) {
        const DWORD error = ::GetLastError();
        // A transfer that its timeout ended counts what went through. Windows
        // reports that as success, Wine as a timeout error.
        const bool timedOut = error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
        return timedOut || (calledOff && error == ERROR_OPERATION_ABORTED) ? 0 : error;
    }
    return 0;
}

bool sameTimeouts(const COMMTIMEOUTS& left, const COMMTIMEOUTS& right) {
    return left.ReadIntervalTimeout == right.ReadIntervalTimeout &&
           left.ReadTotalTimeoutMultiplier == right.ReadTotalTimeoutMultiplier &&
           left.ReadTotalTimeoutConstant == right.ReadTotalTimeoutConstant &&
           left.WriteTotalTimeoutMultiplier == right.WriteTotalTimeoutMultiplier &&
           left.WriteTotalTimeoutConstant == right.WriteTotalTimeoutConstant;
}

} // namespace

struct SerialDevice::Native {
    DCB previous{};
    COMMTIMEOUTS previousTimeouts{};
    // The timeouts the driver has; the component's are pushed when a read
    // or write finds them changed.
    COMMTIMEOUTS applied{};
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    // Windows counts no modem line changes; they are counted here from one
    // look at the lines to the next.
    std::mutex linesMutex;
    DWORD lastModemStatus = 0;
    SerialCounters lineChanges;

    ~Native() {
        for (const HANDLE event : {readEvent, writeEvent}) {
            if (event != nullptr) {
                ::CloseHandle(event);
            }
        }
    }
};

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() {
    close();
}

std::string SerialDevice::DevicePath(const std::string& portName) {
    if (portName.rfind("\\\\", 0) == 0) {
        return portName;
    }
    return "\\\\.\\" + portName;
}

int SerialDevice::open(const std::string& path) {
    close();
    const std::wstring wide = QString::fromStdString(path).toStdWString();
    // No sharing: a port open in another program is refused with "access
    // denied", as the original tool saw it. A listener's handle cannot write.
    const DWORD access = m_listenOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const HANDLE line = ::CreateFileW(wide.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (line == INVALID_HANDLE_VALUE) {
        return int(::GetLastError());
    }
    auto native = std::make_unique<Native>();
    native->previous.DCBlength = sizeof(DCB);
    native->applied = CommTimeoutsOf(m_timeouts);
    native->readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    native->writeEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Anything that is no communications device (a file, NUL) fails the
    // first of these.
    DWORD error = 0;
    if (native->readEvent == nullptr || native->writeEvent == nullptr ||
        !::GetCommState(line, &native->previous) ||
        !::GetCommTimeouts(line, &native->previousTimeouts) ||
        !::SetCommTimeouts(line, &native->applied) || !::SetCommMask(line, watchedEvents)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::CloseHandle(line);
        return int(error);
    }
    ::GetCommModemStatus(line, &native->lastModemStatus);
    StartCommErrorCounts(line);
    m_fd = int(::HandleToLong(line));
    m_keepsNoCounters = false;
    m_consumed = 0;
    m_native = std::move(native);
    return 0;
}

void SerialDevice::close() {
    if (m_fd < 0) {
        return;
    }
    const HANDLE line = lineOf(m_fd);
    // Failures are ignored: a device that was unplugged cannot be restored,
    // and closing must still release it. Output not sent yet is dropped, so
    // that a line stalled by flow control does not hold up the closing; the
    // mask change ends the event thread's wait.
    ::PurgeComm(line, PURGE_TXABORT | PURGE_TXCLEAR);
    ::SetCommMask(line, 0);
    ::SetCommState(line, &m_native->previous);
    ::SetCommTimeouts(line, &m_native->previousTimeouts);
    EndCommErrorCounts(line);
    ::CloseHandle(line);
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
        return ERROR_INVALID_HANDLE;
    }
    if (settings.baudRate <= 0) {
        return ERROR_INVALID_PARAMETER;
    }
    DCB current{};
    current.DCBlength = sizeof(DCB);
    if (!::GetCommState(lineOf(m_fd), &current)) {
        return int(::GetLastError());
    }
    // A listener asks for nothing that would drive a line or send a byte:
    // unlike Linux, Windows holds DTR and RTS down from here on.
    DCB wanted = BuildDcb(current, m_listenOnly ? ListenOnly(settings) : settings);
    if (!::SetCommState(lineOf(m_fd), &wanted)) {
        return int(::GetLastError());
    }
    const auto guard = m_readAhead.lock();
    m_settings = settings;
    // The driver drops zero bytes and replaces bad ones itself.
    m_filter.setOptions({});
    m_readAhead.setEventChar(settings.eventChar);
    return 0;
}

int SerialDevice::setQueueSizes(int inputSize, int outputSize) {
    if (inputSize < 0 || outputSize < 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (m_fd < 0) {
        return 0;
    }
    return ::SetupComm(lineOf(m_fd), DWORD(inputSize), DWORD(outputSize)) ? 0
                                                                          : int(::GetLastError());
}

void SerialDevice::countDiscardedInput() const {
    COMSTAT status{};
    if (QueryCommStatus(lineOf(m_fd), status) == 0) {
        m_consumed += status.cbInQue;
    }
}

SerialIoResult SerialDevice::readOnce(std::uint8_t* buffer, int count) {
    // Only what is waiting already, which a read takes at once whatever the
    // line's timeouts.
    COMSTAT status{};
    if (const DWORD error = QueryCommStatus(lineOf(m_fd), status); error != 0) {
        return {0, int(error)};
    }
    const DWORD wanted = std::min<DWORD>(DWORD(count), status.cbInQue);
    if (wanted == 0) {
        return {0, 0};
    }
    DWORD got = 0;
    const DWORD error = transfer(lineOf(m_fd), m_native->readEvent, false, buffer, wanted, got);
    m_consumed += got;
    return {int(got), int(error)};
}

int SerialDevice::fillReadAhead(bool byEventThread) {
    std::array<std::uint8_t, 4096> piece{};
    while (m_readAhead.room() > 0) {
        const int wanted = int(std::min(piece.size(), m_readAhead.room()));
        const SerialIoResult part = readOnce(piece.data(), wanted);
        if (part.error != 0) {
            return part.error;
        }
        // What is kept is still waiting input.
        m_consumed -= std::uint64_t(part.count);
        m_readAhead.keep(piece.data(), std::size_t(part.count), byEventThread);
        if (part.count < wanted) {
            break;
        }
    }
    return 0;
}

SerialIoResult SerialDevice::read(void* buffer, int count) {
    if (m_fd < 0) {
        return {0, ERROR_INVALID_HANDLE};
    }
    if (count <= 0) {
        return {0, 0};
    }
    const COMMTIMEOUTS wanted = CommTimeoutsOf(m_timeouts);
    if (!sameTimeouts(wanted, m_native->applied)) {
        COMMTIMEOUTS pushed = wanted;
        if (!::SetCommTimeouts(lineOf(m_fd), &pushed)) {
            return {0, int(::GetLastError())};
        }
        m_native->applied = wanted;
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    SerialIoResult result;
    const auto guard = m_readAhead.lock();
    // Bytes read ahead came before those in the driver.
    auto takeAhead = [&] {
        const std::size_t ahead =
            m_readAhead.take(bytes + result.count, std::size_t(count - result.count));
        m_consumed += ahead;
        result.count += int(ahead);
    };
    takeAhead();
    if (result.count >= count) {
        return result;
    }
    if (m_readAhead.enabled()) {
        if (const int error = fillReadAhead(false); error != 0) {
            return result.count > 0 ? result : SerialIoResult{0, error};
        }
        takeAhead();
        if (result.count >= count) {
            return result;
        }
    }
    // A read that returns at once takes only what the driver holds (read
    // ahead has taken it already): asked for more, Wine would wait for it,
    // whatever the timeouts say.
    if (ReadsReturnAtOnce(m_timeouts)) {
        if (m_readAhead.enabled()) {
            return result;
        }
        const SerialIoResult part = readOnce(bytes + result.count, count - result.count);
        result.count += part.count;
        if (part.error != 0 && result.count == 0) {
            return part;
        }
        return result;
    }
    // The rest comes from the driver within the line's timeouts. While bytes
    // are read ahead, the event thread waits for the buffer until this read
    // has ended, so that the bytes keep their order.
    DWORD got = 0;
    const DWORD error = transfer(lineOf(m_fd), m_native->readEvent, false, bytes + result.count,
                                 DWORD(count - result.count), got);
    m_consumed += got;
    if (m_readAhead.enabled() && got > 0) {
        // Through the buffer, so that the event character is seen in them.
        m_consumed -= got;
        m_readAhead.keep(bytes + result.count, got, false);
        takeAhead();
    } else {
        result.count += int(got);
    }
    if (error != 0 && result.count == 0) {
        return {0, int(error)};
    }
    return result;
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
        result.error = ERROR_INVALID_HANDLE;
        return result;
    }
    result.error = fillReadAhead(true);
    result.sawEventChar = m_readAhead.takeEventCharSeen();
    return result;
}

SerialIoResult SerialDevice::write(const void* buffer, int count) {
    if (m_fd < 0 || m_listenOnly) {
        return {0, ERROR_INVALID_HANDLE};
    }
    if (count <= 0) {
        return {0, 0};
    }
    const COMMTIMEOUTS wanted = CommTimeoutsOf(m_timeouts);
    if (!sameTimeouts(wanted, m_native->applied)) {
        COMMTIMEOUTS pushed = wanted;
        if (!::SetCommTimeouts(lineOf(m_fd), &pushed)) {
            return {0, int(::GetLastError())};
        }
        m_native->applied = wanted;
    }
    // Without write timeouts the driver would wait for ever on a stalled
    // line (flow control, a dead adapter); the write then waits as long as
    // its bytes need on the line and counts what went out by then.
    std::optional<std::chrono::milliseconds> limit;
    if (m_timeouts.writeTotalMultiplier == 0 && m_timeouts.writeTotalConstant == 0) {
        limit = UnboundedWriteLimit(m_settings, std::size_t(count));
    }
    DWORD done = 0;
    const DWORD error = transfer(lineOf(m_fd), m_native->writeEvent, true,
                                 const_cast<void*>(buffer), DWORD(count), done, limit);
    return {int(done), int(error)};
}

int SerialDevice::inputCount(int& count) const {
    count = 0;
    COMSTAT status{};
    const DWORD error =
        m_fd < 0 ? DWORD(ERROR_INVALID_HANDLE) : QueryCommStatus(lineOf(m_fd), status);
    const auto guard = m_readAhead.lock();
    // Bytes read ahead are still there to be read when the line has gone
    // away since, and read() hands them out first.
    if (error != 0 && m_readAhead.size() > 0) {
        count = int(m_readAhead.size());
        return 0;
    }
    if (error == 0) {
        count = int(status.cbInQue + m_readAhead.size());
    }
    return int(error);
}

int SerialDevice::outputCount(int& count) const {
    count = 0;
    if (m_fd < 0) {
        return ERROR_INVALID_HANDLE;
    }
    COMSTAT status{};
    const DWORD error = QueryCommStatus(lineOf(m_fd), status);
    count = int(status.cbOutQue);
    return int(error);
}

int SerialDevice::modemLines(unsigned& lines) const {
    lines = 0;
    DWORD status = 0;
    if (m_fd < 0 || !::GetCommModemStatus(lineOf(m_fd), &status)) {
        const int error = m_fd < 0 ? ERROR_INVALID_HANDLE : int(::GetLastError());
        return (IsUnsupportedRequest(error) && m_fd >= 0) ? 0 : error;
    }
    lines = ModemLinesOf(status);
    return 0;
}

int SerialDevice::counters(SerialCounters& result) const {
    result = {};
    if (m_fd < 0) {
        return ERROR_INVALID_HANDLE;
    }
    // Flags still held by the driver are collected first.
    COMSTAT status{};
    if (const DWORD error = QueryCommStatus(lineOf(m_fd), status); error != 0) {
        return int(error);
    }
    result = CommErrorCounts(lineOf(m_fd));
    DWORD now = 0;
    const std::lock_guard lock(m_native->linesMutex);
    if (::GetCommModemStatus(lineOf(m_fd), &now)) {
        const DWORD changed = now ^ m_native->lastModemStatus;
        m_native->lastModemStatus = now;
        SerialCounters& seen = m_native->lineChanges;
        seen.cts += (changed & MS_CTS_ON) ? 1 : 0;
        seen.dsr += (changed & MS_DSR_ON) ? 1 : 0;
        seen.ring += (changed & MS_RING_ON) ? 1 : 0;
        seen.carrier += (changed & MS_RLSD_ON) ? 1 : 0;
    }
    result.cts = m_native->lineChanges.cts;
    result.dsr = m_native->lineChanges.dsr;
    result.ring = m_native->lineChanges.ring;
    result.carrier = m_native->lineChanges.carrier;
    return 0;
}

int SerialDevice::discard(bool transmit, bool receive) const {
    if (!transmit && !receive) {
        return 0;
    }
    if (m_fd < 0) {
        return ERROR_INVALID_HANDLE;
    }
    std::unique_lock<std::mutex> guard;
    if (receive) {
        guard = m_readAhead.lock();
        m_consumed += m_readAhead.clear();
        countDiscardedInput();
    }
    const DWORD which = (transmit ? PURGE_TXABORT | PURGE_TXCLEAR : 0) |
                        (receive ? PURGE_RXABORT | PURGE_RXCLEAR : 0);
    return ::PurgeComm(lineOf(m_fd), which) ? 0 : int(::GetLastError());
}

bool SerialDevice::hasModemLines() const {
    DWORD status = 0;
    return m_fd >= 0 && ::GetCommModemStatus(lineOf(m_fd), &status) != 0;
}

bool SerialDevice::keepsCounters() const {
    COMSTAT status{};
    return m_fd >= 0 && QueryCommStatus(lineOf(m_fd), status) == 0;
}

int SerialDevice::abortPending() const {
    // Reads and writes end before they return, so nothing is ever pending;
    // like the Linux twin this makes no call on a device that may be gone.
    return m_fd >= 0 ? 0 : ERROR_INVALID_HANDLE;
}
