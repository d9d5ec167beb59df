#include "serial/ComPort.h"

#include "serial/ComThread.h"

#include "platform/serial/SerialDevice.h"
#include "platform/system/ApplicationErrors.h"
#include "platform/system/MainThreadQueue.h"
#include "platform/system/SystemError.h"

#include <QObject>
#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <vector>

namespace {

EComPort systemError(int errnoValue, int libraryCode) {
    return EComPort(SystemErrorCode(errnoValue), libraryCode);
}

SerialLineSettings::LineControl dtrControl(TDTRFlowControl value) {
    using LineControl = SerialLineSettings::LineControl;
    switch (value) {
    case dtrEnable:
        return LineControl::On;
    case dtrHandshake:
        return LineControl::Handshake;
    case dtrDisable:
        break;
    }
    return LineControl::Off;
}

SerialLineSettings::LineControl rtsControl(TRTSFlowControl value) {
    using LineControl = SerialLineSettings::LineControl;
    switch (value) {
    case rtsEnable:
        return LineControl::On;
    case rtsHandshake:
        return LineControl::Handshake;
    case rtsToggle:
        return LineControl::Toggle;
    case rtsDisable:
        break;
    }
    return LineControl::Off;
}

SerialLineSettings::Parity parity(TParityBits value) {
    using Parity = SerialLineSettings::Parity;
    switch (value) {
    case prOdd:
        return Parity::Odd;
    case prEven:
        return Parity::Even;
    case prMark:
        return Parity::Mark;
    case prSpace:
        return Parity::Space;
    case prNone:
        break;
    }
    return Parity::None;
}

SerialLineSettings::StopBits stopBits(TStopBits value) {
    using StopBits = SerialLineSettings::StopBits;
    switch (value) {
    case sbOne5StopBits:
        return StopBits::OneAndHalf;
    case sbTwoStopBits:
        return StopBits::Two;
    case sbOneStopBit:
        break;
    }
    return StopBits::One;
}

} // namespace

TCustomComPort::TCustomComPort() : TCustomComPort(std::make_unique<SerialDevice>()) {}

TCustomComPort::TCustomComPort(std::unique_ptr<SerialDevice> Device)
    : m_parity(std::make_unique<TComParity>()), m_flowControl(std::make_unique<TComFlowControl>()),
      m_timeouts(std::make_unique<TComTimeouts>()), m_buffer(std::make_unique<TComBuffer>()),
      m_device(std::move(Device)) {
    m_parity->SetComPort(this);
    m_flowControl->SetComPort(this);
    m_timeouts->SetComPort(this);
    m_buffer->SetComPort(this);
}

TCustomComPort::~TCustomComPort() {
    // A destructor cannot report; closing an unplugged line may fail, and
    // the device is released below regardless.
    try {
        if (m_device->isOpen()) {
            ClosePort();
        }
    } catch (const std::exception& error) {
        ReportApplicationError(error.what());
    }
    m_thread.reset();
    m_finishingThreads.clear();
    m_eventWindow.reset();
    m_device->close();
    m_buffer.reset();
    m_flowControl.reset();
    m_timeouts.reset();
    m_parity.reset();
}

void TCustomComPort::Loaded() {
    m_loading = false;
    if (m_connected && !m_designing) {
        m_connected = false;
        try {
            OpenPort();
        } catch (const std::exception& error) {
            ReportApplicationError(error.what());
        }
    }
}

void TCustomComPort::SetConnected(bool Value) {
    if (!acting()) {
        m_connected = Value;
        return;
    }
    if (Value != m_connected) {
        if (Value) {
            OpenPort();
        } else {
            ClosePort();
        }
    }
}

void TCustomComPort::SetBaudRate(TBaudRate Value) {
    if (Value != m_baudRate) {
        m_baudRate = Value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetCustomBaudRate(std::int32_t Value) {
    if (Value != m_customBaudRate) {
        m_customBaudRate = Value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetPort(const std::string& Value) {
    if (Value == m_port) {
        return;
    }
    m_port = Value;
    m_adapterIdentity = {};
    if (m_connected && acting()) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::SetStopBits(TStopBits Value) {
    if (Value != m_stopBits) {
        m_stopBits = Value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetDataBits(TDataBits Value) {
    if (Value != m_dataBits) {
        m_dataBits = Value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetDiscardNull(bool Value) {
    if (Value != m_discardNull) {
        m_discardNull = Value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetEventChar(std::uint8_t Value) {
    if (Value != m_eventChar) {
        m_eventChar = Value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetParity(const TComParity& Value) {
    m_parity->Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& Value) {
    m_flowControl->Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& Value) {
    m_timeouts->Assign(Value);
    ApplyTimeoutSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& Value) {
    m_buffer->Assign(Value);
    ApplyBufferSizes();
}

void TCustomComPort::SetListenOnly(bool Value) {
    if (Value == m_listenOnly) {
        return;
    }
    if (m_connected && acting()) {
        throw EComPort(CError_ConnChangeProp);
    }
    m_listenOnly = Value;
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value) {
    if (Value == m_syncMethod) {
        return;
    }
    if (m_connected && acting()) {
        throw EComPort(CError_ConnChangeProp);
    }
    m_syncMethod = Value;
}

int TCustomComPort::LineSpeed() const {
    return m_baudRate == brCustom ? m_customBaudRate : BaudRateValue(m_baudRate);
}

std::chrono::nanoseconds TCustomComPort::CharacterTime() const {
    const int speed = LineSpeed();
    if (speed <= 0) {
        return std::chrono::nanoseconds(0);
    }
    // In half bits, for one and a half stop bits.
    const int parityBits = m_parity->Bits() == prNone ? 0 : 2;
    const int stopBits = m_stopBits == sbOneStopBit ? 2 : m_stopBits == sbOne5StopBits ? 3 : 4;
    const std::int64_t halfBits =
        2 * (1 + 5 + std::int64_t(std::min<unsigned>(m_dataBits, dbEight))) + parityBits + stopBits;
    return std::chrono::nanoseconds(halfBits * 1'000'000'000 / (2 * std::int64_t(speed)));
}

void TCustomComPort::SuspendApply() {
    ++m_applyHold;
}

void TCustomComPort::ResumeApply() {
    if (m_applyHold <= 0) {
        return;
    }
    if (--m_applyHold == 0) {
        ApplyAllSettings();
    }
}

bool TCustomComPort::applyAllowed() const {
    return m_connected && m_applyHold == 0 && acting() && m_device->isOpen();
}

void TCustomComPort::ApplyLineSettings() {
    if (!applyAllowed()) {
        return;
    }
    if (m_thread) {
        m_thread->SetCharacterTime(CharacterTime());
    }
    SerialLineSettings settings;
    settings.baudRate = LineSpeed();
    settings.dataBits = 5 + int(std::min<unsigned>(m_dataBits, dbEight));
    settings.parity = parity(m_parity->Bits());
    settings.stopBits = stopBits(m_stopBits);
    settings.discardNull = m_discardNull;
    settings.parityCheck = m_parity->Check();
    settings.parityReplace = m_parity->Check() && m_parity->Replace();
    settings.replaceChar = m_parity->ReplaceChar();
    settings.outCtsFlow = m_flowControl->OutCTSFlow();
    settings.outDsrFlow = m_flowControl->OutDSRFlow();
    settings.dtr = dtrControl(m_flowControl->ControlDTR());
    settings.rts = rtsControl(m_flowControl->ControlRTS());
    settings.xonXoffOut = m_flowControl->XonXoffOut();
    settings.xonXoffIn = m_flowControl->XonXoffIn();
    settings.dsrSensitivity = m_flowControl->DSRSensitivity();
    settings.txContinueOnXoff = m_flowControl->TxContinueOnXoff();
    settings.xonChar = m_flowControl->XonChar();
    settings.xoffChar = m_flowControl->XoffChar();
    settings.eventChar = m_eventChar;
    settings.xonLimit = m_buffer->InputSize() / 4;
    settings.xoffLimit = m_buffer->InputSize() / 4;
    if (const int error = m_device->applyLineSettings(settings); error != 0) {
        throw systemError(error, CError_SetStateFailed);
    }
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (!applyAllowed()) {
        return;
    }
    // Negative values reach the device as their unsigned bit patterns, so
    // -1 is "all bits set".
    SerialTimeouts timeouts;
    timeouts.readInterval = std::uint32_t(m_timeouts->ReadInterval());
    timeouts.readTotalMultiplier = std::uint32_t(m_timeouts->ReadTotalMultiplier());
    timeouts.readTotalConstant = std::uint32_t(m_timeouts->ReadTotalConstant());
    timeouts.writeTotalMultiplier = std::uint32_t(m_timeouts->WriteTotalMultiplier());
    timeouts.writeTotalConstant = std::uint32_t(m_timeouts->WriteTotalConstant());
    m_device->setTimeouts(timeouts);
}

void TCustomComPort::ApplyBufferSizes() {
    if (!applyAllowed()) {
        return;
    }
    if (const int error = m_device->setQueueSizes(m_buffer->InputSize(), m_buffer->OutputSize());
        error != 0) {
        throw systemError(error, CError_SetupComFailed);
    }
}

void TCustomComPort::ApplyAllSettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::OpenDevice() {
    m_device->setListenOnly(m_listenOnly);
    if (const int error = m_device->open(SerialDevice::DevicePath(m_port)); error != 0) {
        throw systemError(error, CError_OpenFailed);
    }
    m_device->counters(m_errorBaseline);
}

void TCustomComPort::CloseDevice() {
    m_device->close();
}

void TCustomComPort::OpenPort() {
    if (m_connected || m_designing) {
        return;
    }
    reapFinishedThreads();
    DoBeforeOpen();
    OpenDevice();
    m_connected = true;
    try {
        ApplyAllSettings();
    } catch (...) {
        CloseDevice();
        m_connected = false;
        throw;
    }
    if (!m_events.Empty()) {
        startEventThread();
    }
    DoAfterOpen();
    HandleCTSChange();
    HandleDSRChange();
    HandleRLSDChange();
}

void TCustomComPort::ClosePort() {
    if (!m_connected || m_designing) {
        return;
    }
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    AbortPendingIO();
    if (m_thread) {
        stopEventThread();
    }
    CloseDevice();
    m_connected = false;
    DoAfterClose();
}

void TCustomComPort::startEventThread() {
    if (m_syncMethod == smWindowSync) {
        m_eventWindow = std::make_unique<QObject>();
    }
    // A port without its thread would never report anything: one that cannot
    // be started (the process is out of threads or memory) fails the opening
    // with the system's reason, and the line is let go again.
    int error = 0;
    try {
        m_thread = std::make_unique<TComThread>(this);
    } catch (const std::system_error& failure) {
        // EAGAIN here means no resources for another thread; as a port's
        // code it would read as "busy", which would send the operator
        // looking for another program.
        error =
            failure.code().value() == EAGAIN ? int(OutOfResourcesCode()) : failure.code().value();
    } catch (const std::bad_alloc&) {
        error = int(OutOfResourcesCode());
    }
    if (error != 0) {
        m_eventWindow.reset();
        CloseDevice();
        m_connected = false;
        throw systemError(error, CError_OpenFailed);
    }
}

void TCustomComPort::stopEventThread() {
    std::unique_ptr<TComThread> thread = std::move(m_thread);
    // Closing from inside a delivery (a handler that closes the port): the
    // thread waits for this very call to return, so waiting for it here would
    // never end. It is told to stop and to leave the device alone, and it
    // ends as soon as the delivery returns.
    const bool threadWaitsForUs =
        thread->Delivering() &&
        ((m_syncMethod == smThreadSync && MainThreadQueue::onMainThread()) ||
         thread->IsCurrentThread());
    if (threadWaitsForUs) {
        thread->StopWaiting();
        thread->ReleaseDevice();
        m_finishingThreads.push_back(std::move(thread));
    } else {
        // Its last delivery still stamps its bytes with when it saw them.
        m_stoppingThread = thread.get();
        thread.reset();
        m_stoppingThread = nullptr;
    }
    m_eventWindow.reset();
}

void TCustomComPort::reapFinishedThreads() {
    std::erase_if(m_finishingThreads, [](const auto& thread) { return thread->Finished(); });
}

int TCustomComPort::WriteData(const void* Buffer, int Count) {
    const SerialIoResult result = m_device->write(Buffer, Count);
    if (result.error != 0) {
        throw systemError(result.error, CError_WriteFailed);
    }
    if (m_thread && result.count > 0) {
        m_thread->NotifyWrite(result.count);
    }
    return result.count;
}

int TCustomComPort::ReadData(void* Buffer, int Count) {
    const SerialIoResult result = m_device->read(Buffer, Count);
    if (result.error != 0) {
        throw systemError(result.error, CError_ReadFailed);
    }
    return result.count;
}

int TCustomComPort::PendingInputCount() {
    int count = 0;
    if (const int error = m_device->inputCount(count); error != 0) {
        throw systemError(error, CError_ClearComFailed);
    }
    // The status query clears the error flags, as the error query does.
    m_device->counters(m_errorBaseline);
    return count;
}

TComErrors TCustomComPort::ReceiveErrors() {
    SerialCounters now;
    if (const int error = m_device->counters(now); error != 0) {
        throw systemError(error, CError_ClearComFailed);
    }
    const SerialCounters& before = m_errorBaseline;
    TComErrors errors;
    if (now.frame != before.frame) {
        errors.Include(ceFrame);
    }
    if (now.parity != before.parity && m_parity->Check()) {
        errors.Include(ceRxParity);
    }
    if (now.overrun != before.overrun) {
        errors.Include(ceOverrun);
    }
    if (now.bufferOverrun != before.bufferOverrun) {
        errors.Include(ceRxOver);
    }
    if (now.breaks != before.breaks) {
        errors.Include(ceBreak);
    }
    m_errorBaseline = now;
    return errors;
}

TLineStates TCustomComPort::ModemLines() {
    unsigned lines = 0;
    if (const int error = m_device->modemLines(lines); error != 0) {
        throw systemError(error, CError_ModemStatFailed);
    }
    TLineStates states;
    if (lines & ModemLine::Cts) {
        states.Include(lsCTS);
    }
    if (lines & ModemLine::Dsr) {
        states.Include(lsDSR);
    }
    if (lines & ModemLine::Ring) {
        states.Include(lsRing);
    }
    if (lines & ModemLine::Rlsd) {
        states.Include(lsRLSD);
    }
    return states;
}

void TCustomComPort::AbortPendingIO() {
    // Reads and writes block their caller until done, so nothing is ever
    // pending; what remains is to refuse a device that is not there.
    if (const int error = m_device->abortPending(); error != 0) {
        throw systemError(error, CError_PurgeFailed);
    }
}

void TCustomComPort::HandleError() {
    const TComErrors errors = ReceiveErrors();
    if (!errors.Empty()) {
        DoError(errors);
    }
}

void TCustomComPort::stampReceived(int count) {
    // The delivery covers the bytes up to this total. When the event thread
    // saw the total reach it, its stamp is when the last of them arrived;
    // bytes that came after its look are first seen here.
    const std::uint64_t begin = m_device->consumedBytes();
    const std::uint64_t end = begin + std::uint64_t(std::max(count, 0));
    const auto now = std::chrono::steady_clock::now();
    m_lastRxArrivals.clear();
    m_lastRxTime = now;
    const TComThread* thread = m_thread ? m_thread.get() : m_stoppingThread;
    if (thread == nullptr) {
        m_lastRxArrivals.push_back({count, now});
        return;
    }
    if (const TComThread::InputMark mark = thread->LastInputMark(); mark.received >= end) {
        m_lastRxTime = mark.seen;
    }
    // The thread's looks during the delivery's gathering tell when each part
    // of it had come, which a listener needs to find the frames in it.
    for (const TComThread::InputMark& mark : thread->InputMarksAfter(begin)) {
        const int upTo = int(std::min(mark.received, end) - begin);
        m_lastRxArrivals.push_back({upTo, mark.seen});
        if (mark.received >= end) {
            return;
        }
    }
    m_lastRxArrivals.push_back({count, now});
}

void TCustomComPort::ExpectInput(int Count) {
    if (!m_thread || Count <= 0) {
        return;
    }
    int waiting = 0;
    if (m_device->inputCount(waiting) != 0) {
        waiting = 0;
    }
    m_thread->ExpectInput(m_device->consumedBytes() + std::uint64_t(waiting) +
                          std::uint64_t(Count));
}

void TCustomComPort::HandleRxChar() {
    int count = PendingInputCount();
    stampReceived(count);
    if (!m_rxByCount && count > 0) {
        std::vector<std::uint8_t> block(std::size_t(count), 0);
        // Filtering on the way in (dropped zero bytes, parity marks) can
        // leave fewer bytes than were counted; only those that arrived are
        // handed on.
        const int received = ReadData(block.data(), count);
        if (received > 0) {
            DoRxBuf(block.data(), received);
        }
        count = 0;
    }
    if (count > 0) {
        DoRxChar(count);
    }
}

void TCustomComPort::HandleTxEmpty() {
    DoTxEmpty();
}
void TCustomComPort::HandleBreak() {
    DoBreak();
}
void TCustomComPort::HandleRing() {
    DoRing();
}
void TCustomComPort::HandleRxFlag() {
    DoRxFlag();
}
void TCustomComPort::HandleRx80Full() {
    DoRx80Full();
}
void TCustomComPort::HandleCTSChange() {
    DoCTSChange(ModemLines().Contains(lsCTS));
}
void TCustomComPort::HandleDSRChange() {
    DoDSRChange(ModemLines().Contains(lsDSR));
}
void TCustomComPort::HandleRLSDChange() {
    DoRLSDChange(ModemLines().Contains(lsRLSD));
}

void TCustomComPort::DoAfterClose() {
    if (OnAfterClose) {
        OnAfterClose(this);
    }
}

void TCustomComPort::DoAfterOpen() {
    if (OnAfterOpen) {
        OnAfterOpen(this);
    }
}

void TCustomComPort::DoBeforeClose() {
    if (OnBeforeClose) {
        OnBeforeClose(this);
    }
}

void TCustomComPort::DoBeforeOpen() {
    if (OnBeforeOpen) {
        OnBeforeOpen(this);
    }
}

void TCustomComPort::DoRxChar(int Count) {
    if (OnRxChar) {
        OnRxChar(this, Count);
    }
}

void TCustomComPort::DoRxBuf(const std::uint8_t* Buffer, int Count) {
    if (OnRxBuf) {
        OnRxBuf(this, Buffer, Count);
    }
}

void TCustomComPort::DoTxEmpty() {
    if (OnTxEmpty) {
        OnTxEmpty(this);
    }
}

void TCustomComPort::DoBreak() {
    if (OnBreak) {
        OnBreak(this);
    }
}

void TCustomComPort::DoRing() {
    if (OnRing) {
        OnRing(this);
    }
}

void TCustomComPort::DoRxFlag() {
    if (OnRxFlag) {
        OnRxFlag(this);
    }
}

void TCustomComPort::DoCTSChange(bool OnOff) {
    if (OnCTSChange) {
        OnCTSChange(this, OnOff);
    }
}

void TCustomComPort::DoDSRChange(bool OnOff) {
    if (OnDSRChange) {
        OnDSRChange(this, OnOff);
    }
}

void TCustomComPort::DoError(TComErrors Errors) {
    if (OnError) {
        OnError(this, Errors);
    }
}

void TCustomComPort::DoRLSDChange(bool OnOff) {
    if (OnRLSDChange) {
        OnRLSDChange(this, OnOff);
    }
}

void TCustomComPort::DoRx80Full() {
    if (OnRx80Full) {
        OnRx80Full(this);
    }
}
