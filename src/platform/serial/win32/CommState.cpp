#include "platform/serial/win32/CommState.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>

namespace {

constexpr auto writeSlack = std::chrono::milliseconds(200);

BYTE parityOf(SerialLineSettings::Parity parity) {
    using Parity = SerialLineSettings::Parity;
    switch (parity) {
    case Parity::Odd:
        return ODDPARITY;
    case Parity::Even:
        return EVENPARITY;
    case Parity::Mark:
        return MARKPARITY;
    case Parity::Space:
        return SPACEPARITY;
    case Parity::None:
        break;
    }
    return NOPARITY;
}

BYTE stopBitsOf(SerialLineSettings::StopBits stopBits) {
    using StopBits = SerialLineSettings::StopBits;
    switch (stopBits) {
    case StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case StopBits::Two:
        return TWOSTOPBITS;
    case StopBits::One:
        break;
    }
    return ONESTOPBIT;
}

DWORD dtrControlOf(SerialLineSettings::LineControl control) {
    using LineControl = SerialLineSettings::LineControl;
    switch (control) {
    case LineControl::Handshake:
        return DTR_CONTROL_HANDSHAKE;
    // DTR has no toggling; like the Linux twin it is simply held on.
    case LineControl::On:
    case LineControl::Toggle:
        return DTR_CONTROL_ENABLE;
    case LineControl::Off:
        break;
    }
    return DTR_CONTROL_DISABLE;
}

DWORD rtsControlOf(SerialLineSettings::LineControl control) {
    using LineControl = SerialLineSettings::LineControl;
    switch (control) {
    case LineControl::On:
        return RTS_CONTROL_ENABLE;
    case LineControl::Handshake:
        return RTS_CONTROL_HANDSHAKE;
    case LineControl::Toggle:
        return RTS_CONTROL_TOGGLE;
    case LineControl::Off:
        break;
    }
    return RTS_CONTROL_DISABLE;
}

struct ErrorCounts {
    std::mutex mutex;
    std::map<HANDLE, SerialCounters> lines;
};

ErrorCounts& errorCounts() {
    static ErrorCounts instance;
    return instance;
}

} // namespace

bool ReadsReturnAtOnce(const SerialTimeouts& timeouts) {
    const bool noTotals = timeouts.readTotalMultiplier == 0 && timeouts.readTotalConstant == 0;
    return noTotals || timeouts.readTotalMultiplier == SerialTimeouts::ReturnAtOnce ||
           timeouts.readTotalConstant == SerialTimeouts::ReturnAtOnce;
}

DCB BuildDcb(const DCB& current, const SerialLineSettings& settings) {
    DCB dcb = current;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = DWORD(settings.baudRate);
    // Windows drivers support only binary transfers.
    dcb.fBinary = TRUE;
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityOf(settings.parity);
    dcb.StopBits = stopBitsOf(settings.stopBits);
    dcb.fParity = settings.parityCheck ? TRUE : FALSE;
    dcb.fErrorChar = settings.parityCheck && settings.parityReplace ? TRUE : FALSE;
    dcb.ErrorChar = char(settings.replaceChar);
    dcb.fNull = settings.discardNull ? TRUE : FALSE;
    dcb.fOutxCtsFlow = settings.outCtsFlow ? TRUE : FALSE;
    dcb.fOutxDsrFlow = settings.outDsrFlow ? TRUE : FALSE;
    dcb.fDtrControl = dtrControlOf(settings.dtr);
    dcb.fRtsControl = rtsControlOf(settings.rts);
    dcb.fDsrSensitivity = settings.dsrSensitivity ? TRUE : FALSE;
    dcb.fTXContinueOnXoff = settings.txContinueOnXoff ? TRUE : FALSE;
    dcb.fOutX = settings.xonXoffOut ? TRUE : FALSE;
    dcb.fInX = settings.xonXoffIn ? TRUE : FALSE;
    dcb.XonChar = char(settings.xonChar);
    dcb.XoffChar = char(settings.xoffChar);
    dcb.XonLim = WORD(settings.xonLimit);
    dcb.XoffLim = WORD(settings.xoffLimit);
    dcb.EvtChar = char(settings.eventChar);
    // An error must not stop every later read and write until it is cleared:
    // the component reads the error flags itself.
    dcb.fAbortOnError = FALSE;
    return dcb;
}

COMMTIMEOUTS CommTimeoutsOf(const SerialTimeouts& timeouts) {
    COMMTIMEOUTS result{};
    if (ReadsReturnAtOnce(timeouts)) {
        result.ReadIntervalTimeout = MAXDWORD;
    } else {
        // An interval of all ones with totals set would mean "return at once
        // when something is waiting", which no read asked for here.
        result.ReadIntervalTimeout =
            timeouts.readInterval == SerialTimeouts::ReturnAtOnce ? 0 : timeouts.readInterval;
        result.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
        result.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    }
    result.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    result.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    return result;
}

unsigned ModemLinesOf(DWORD modemStatus) {
    return ((modemStatus & MS_CTS_ON) ? ModemLine::Cts : 0) |
           ((modemStatus & MS_DSR_ON) ? ModemLine::Dsr : 0) |
           ((modemStatus & MS_RING_ON) ? ModemLine::Ring : 0) |
           ((modemStatus & MS_RLSD_ON) ? ModemLine::Rlsd : 0);
}

std::chrono::milliseconds UnboundedWriteLimit(const SerialLineSettings& settings,
                                              std::size_t byteCount) {
    const bool parity = settings.parity != SerialLineSettings::Parity::None;
    const bool longStop = settings.stopBits != SerialLineSettings::StopBits::One;
    const std::int64_t bits = 1 + settings.dataBits + (parity ? 1 : 0) + (longStop ? 2 : 1);
    const std::int64_t rate = std::max(settings.baudRate, 1);
    const auto lineTime =
        std::chrono::milliseconds((bits * std::int64_t(byteCount) * 1000 + rate - 1) / rate);
    return lineTime + writeSlack;
}

DWORD QueryCommStatus(HANDLE line, COMSTAT& status) {
    DWORD errors = 0;
    status = {};
    if (!::ClearCommError(line, &errors, &status)) {
        return ::GetLastError();
    }
    if (errors == 0) {
        return 0;
    }
    ErrorCounts& counts = errorCounts();
    const std::lock_guard lock(counts.mutex);
    const auto found = counts.lines.find(line);
    if (found != counts.lines.end()) {
        SerialCounters& counted = found->second;
        counted.frame += (errors & CE_FRAME) ? 1 : 0;
        counted.overrun += (errors & CE_OVERRUN) ? 1 : 0;
        counted.parity += (errors & CE_RXPARITY) ? 1 : 0;
        counted.breaks += (errors & CE_BREAK) ? 1 : 0;
        counted.bufferOverrun += (errors & CE_RXOVER) ? 1 : 0;
    }
    return 0;
}

void StartCommErrorCounts(HANDLE line) {
    ErrorCounts& counts = errorCounts();
    const std::lock_guard lock(counts.mutex);
    counts.lines[line] = SerialCounters{};
}

void EndCommErrorCounts(HANDLE line) {
    ErrorCounts& counts = errorCounts();
    const std::lock_guard lock(counts.mutex);
    counts.lines.erase(line);
}

SerialCounters CommErrorCounts(HANDLE line) {
    ErrorCounts& counts = errorCounts();
    const std::lock_guard lock(counts.mutex);
    const auto found = counts.lines.find(line);
    return found == counts.lines.end() ? SerialCounters{} : found->second;
}
