#pragma once
// The serial port component: every setting of one serial line, opening and
// closing it, moving bytes, and the line events reported by its event thread.
// TCustomComPort carries the behaviour; TComPort is the component that
// windows own. All operations belong to the thread that owns the component
// (the main thread); only the event handlers may run elsewhere (smNone).

#include "serial/ComBuffer.h"
#include "serial/ComFlowControl.h"
#include "serial/ComParity.h"
#include "serial/ComTimeouts.h"
#include "serial/ComTypes.h"
#include "serial/EComPort.h"
#include "serial/FreeNotifier.h"

#include "platform/serial/SerialAdapter.h"
#include "platform/serial/SerialSettings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IniFile;
class RegistryStore;
class SerialDevice;
class QObject;
class TComThread;
class TCustomComPort;

using TRxCharEvent = std::function<void(TCustomComPort* Sender, int Count)>;
using TRxBufEvent =
    std::function<void(TCustomComPort* Sender, const std::uint8_t* Buffer, int Count)>;
using TComErrorEvent = std::function<void(TCustomComPort* Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;

enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

class TCustomComPort {
public:
    // Kept inside the class: the widget libraries have a notify event of their
    // own, and a window includes both.
    using TNotifyEvent = std::function<void(TCustomComPort* Sender)>;

    TCustomComPort();
    /// Closes the line first.
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // Component model. The name keys the stored settings ("ComPort" in the
    // operator program). While designing or loading, setters only store.
    const std::string& Name() const { return m_name; }
    void SetName(const std::string& Value) { m_name = Value; }
    bool Designing() const { return m_designing; }
    void SetDesigning(bool Value) { m_designing = Value; }
    bool Loading() const { return m_loading; }
    /// Starts loading stored values; Loaded() ends it.
    void BeginLoading() { m_loading = true; }
    /// Ends loading; a stored Connected = true now opens the port, and an
    /// error there goes to the application's error reporting.
    virtual void Loaded();

    // Settings.
    bool Connected() const { return m_connected; }
    void SetConnected(bool Value);
    TBaudRate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudRate Value);
    std::int32_t CustomBaudRate() const { return m_customBaudRate; }
    void SetCustomBaudRate(std::int32_t Value);
    const std::string& Port() const { return m_port; }
    /// A different name on an open port closes and reopens it, and forgets
    /// the adapter identity.
    void SetPort(const std::string& Value);
    /// The USB adapter the port was last opened on by a plain name such as
    /// ttyUSB0; empty for other ports. It is stored with the settings, so
    /// that the adapter is found again when the kernel names it otherwise.
    const SerialAdapterIdentity& AdapterIdentity() const { return m_adapterIdentity; }
    void SetAdapterIdentity(const SerialAdapterIdentity& Value) { m_adapterIdentity = Value; }
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return m_dataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return m_discardNull; }
    void SetDiscardNull(bool Value);
    std::uint8_t EventChar() const { return m_eventChar; }
    void SetEventChar(std::uint8_t Value);
    /// Takes effect at the next opening.
    TComEvents Events() const { return m_events; }
    void SetEvents(TComEvents Value) { m_events = Value; }
    TComParity& Parity() { return *m_parity; }
    const TComParity& Parity() const { return *m_parity; }
    void SetParity(const TComParity& Value);
    TComFlowControl& FlowControl() { return *m_flowControl; }
    const TComFlowControl& FlowControl() const { return *m_flowControl; }
    void SetFlowControl(const TComFlowControl& Value);
    TComTimeouts& Timeouts() { return *m_timeouts; }
    const TComTimeouts& Timeouts() const { return *m_timeouts; }
    void SetTimeouts(const TComTimeouts& Value);
    TComBuffer& Buffer() { return *m_buffer; }
    const TComBuffer& Buffer() const { return *m_buffer; }
    void SetBuffer(const TComBuffer& Value);
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    /// Refused with code 14 while the port is open.
    void SetSyncMethod(TSyncMethod Value);
    TSettingsGroups SavedGroups() const { return m_savedGroups; }
    void SetSavedGroups(TSettingsGroups Value) { m_savedGroups = Value; }
    bool RxByCount() const { return m_rxByCount; }
    void SetRxByCount(bool Value) { m_rxByCount = Value; }
    TThreadPriority EventPriority() const { return m_eventPriority; }
    void SetEventPriority(TThreadPriority Value) { m_eventPriority = Value; }

    /// The line speed in bits per second that the settings select.
    int LineSpeed() const;
    /// How long one character takes on the line at the present settings:
    /// start bit, data bits, parity bit and stop bits.
    std::chrono::nanoseconds CharacterTime() const;

    // Holding back device updates: changes inside a hold reach an open
    // device once, when the outermost hold ends.
    void SuspendApply();
    void ResumeApply();
    std::int32_t ApplyHold() const { return m_applyHold; }

    // Apply steps; each does nothing unless the port is open, no hold is in
    // force and the component is neither designed nor loading.
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSizes();
    virtual void ApplyAllSettings();

    // Settings storage (ComPortSettings.cpp). Location is the INI file's path
    // or a registry key path whose first element names the root; the values
    // go to the subkey (or section) named after the component. Failures raise
    // EComPort 16 (saving) or 17 (restoring). Restoring holds back device
    // updates until everything is read, then pushes once.
    void SaveSettings(TSettingsStore Store, const std::string& Location);
    void RestoreSettings(TSettingsStore Store, const std::string& Location);
    virtual void SaveToRegistry(RegistryStore& Registry);
    virtual void SaveToIniFile(IniFile& Ini);
    virtual void RestoreFromRegistry(RegistryStore& Registry);
    virtual void RestoreFromIniFile(IniFile& Ini);

    /// Shows the setup dialog modally; OK writes the six choices in one batch
    /// (ComSetupFrm.cpp).
    void RunSetupDialog();

    /// Tells listeners (such as the setup dialog's lists) when the component
    /// goes away.
    FreeNotifier& FreeNotification() { return m_freeNotifier; }

    // Port I/O.
    void OpenPort();
    void ClosePort();
    int WriteData(const void* Buffer, int Count);
    int ReadData(void* Buffer, int Count);
    int PendingInputCount();
    TLineStates ModemLines();
    /// The error flags raised since the last query (which clears them).
    TComErrors ReceiveErrors();
    void AbortPendingIO();
    /// Tells the event thread that the owner waits for Count more bytes (a
    /// reply of known length): the received-characters event then comes as
    /// soon as they are in, rather than at the first pause in the line.
    /// Bytes are never held back longer than a short while either way.
    void ExpectInput(int Count);
    /// Whether an event thread serves the open port.
    bool HasEventThread() const { return m_thread != nullptr; }
    /// When the last of the bytes announced by the latest OnRxChar (or
    /// OnRxBuf) had arrived, on the monotonic clock: the moment the event
    /// thread saw them, or, for bytes that came after its last look, the
    /// moment the delivery counted them.
    std::chrono::steady_clock::time_point LastRxTime() const { return m_lastRxTime; }
    /// Where the bytes of the latest OnRxChar came in, piece by piece as the
    /// event thread saw them: each piece ends End bytes into the delivery
    /// and its last byte had arrived at Time. Bytes after the last piece came
    /// after the thread's last look.
    struct TRxArrival {
        int End = 0;
        std::chrono::steady_clock::time_point Time;
    };
    const std::vector<TRxArrival>& LastRxArrivals() const { return m_lastRxArrivals; }

    /// Listening only: the port sends nothing and leaves the lines it drives
    /// alone. It is opened for reading only; DTR, RTS and the RS-485 mode
    /// are not set, neither hardware flow control (which drives RTS) nor
    /// XON/XOFF (which sends) is asked of the driver, and writes are refused.
    /// Takes effect at the next opening; refused with code 14 while open.
    bool ListenOnly() const { return m_listenOnly; }
    void SetListenOnly(bool Value);

    // Event steps, run by the event thread's deliveries.
    void HandleError();
    void HandleRxChar();
    void HandleTxEmpty();
    void HandleBreak();
    void HandleRing();
    void HandleCTSChange();
    void HandleDSRChange();
    void HandleRxFlag();
    void HandleRLSDChange();
    void HandleRx80Full();

    // Handlers, called only when assigned.
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    TNotifyEvent OnRx80Full;

protected:
    /// A port on a given device (one that stands in for a line, for instance).
    explicit TCustomComPort(std::unique_ptr<SerialDevice> Device);

    virtual void OpenDevice();
    virtual void CloseDevice();

    // Notification steps; each calls its handler when assigned.
    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(int Count);
    virtual void DoRxBuf(const std::uint8_t* Buffer, int Count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool OnOff);
    virtual void DoDSRChange(bool OnOff);
    virtual void DoError(TComErrors Errors);
    virtual void DoRLSDChange(bool OnOff);
    virtual void DoRx80Full();

    SerialDevice& Device() { return *m_device; }

private:
    friend class TComThread;

    bool applyAllowed() const;
    bool acting() const { return !m_designing && !m_loading; }
    void startEventThread();
    void stopEventThread();
    void reapFinishedThreads();
    void stampReceived(int count);

    FreeNotifier m_freeNotifier;
    std::string m_name;
    bool m_designing = false;
    bool m_loading = false;

    bool m_connected = false;
    TBaudRate m_baudRate = br9600;
    std::int32_t m_customBaudRate = 9600;
    std::string m_port = "COM1";
    SerialAdapterIdentity m_adapterIdentity;
    TStopBits m_stopBits = sbOneStopBit;
    TDataBits m_dataBits = dbEight;
    bool m_discardNull = false;
    std::uint8_t m_eventChar = 0;
    TComEvents m_events = AllComEvents;
    std::unique_ptr<TComParity> m_parity;
    std::unique_ptr<TComFlowControl> m_flowControl;
    std::unique_ptr<TComTimeouts> m_timeouts;
    std::unique_ptr<TComBuffer> m_buffer;
    TSyncMethod m_syncMethod = smThreadSync;
    TSettingsGroups m_savedGroups = {sgBasic};
    bool m_rxByCount = true;
    TThreadPriority m_eventPriority = tpNormal;
    std::int32_t m_applyHold = 0;

    std::unique_ptr<SerialDevice> m_device;
    // Counter readings at the last error query; the difference is what the
    // next query reports.
    SerialCounters m_errorBaseline;
    std::unique_ptr<TComThread> m_thread;
    // The thread being stopped, while it hands over what it still held.
    TComThread* m_stoppingThread = nullptr;
    std::chrono::steady_clock::time_point m_lastRxTime;
    std::vector<TRxArrival> m_lastRxArrivals;
    bool m_listenOnly = false;
    // Threads told to stop from inside their own delivery; they end as soon
    // as that delivery returns and are joined later.
    std::vector<std::unique_ptr<TComThread>> m_finishingThreads;
    std::unique_ptr<QObject> m_eventWindow;
};

/// The component as windows own it.
class TComPort : public TCustomComPort {
public:
    TComPort() = default;
};
