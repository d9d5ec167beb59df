#pragma once

#include "modbus/RtuFrame.h"
#include "platform/system/Clock.h"
#include "platform/system/Timer.h"
#include "poll/EchoFilter.h"
#include "poll/PollPort.h"
#include "poll/ReadoutSample.h"
#include "poll/TrafficJudge.h"
#include "serial/ComTypes.h"

#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class PollView;

// Outcome of the current request, read and cleared by every tick.
inline constexpr int ReplyNone = 0;
inline constexpr int ReplyRead = 3;
inline constexpr int ReplyWrite = 6;
inline constexpr int ReplyOverflow = 99;
inline constexpr int ReplyStarted = 100;

// The write mailbox.
inline constexpr int WriteModeRead = 0;
inline constexpr int WriteModeSent = 1;
inline constexpr int WriteModeRequested = 2;

// Status bar panels the cycle writes.
inline constexpr int PanelTxCount = 1;
inline constexpr int PanelErCount = 3;
inline constexpr int PanelPort = 4;

inline constexpr std::chrono::milliseconds StartInterval{1};
inline constexpr std::chrono::milliseconds ReplyTimeout{500};
inline constexpr std::chrono::milliseconds OverflowInterval{1};

// The message when the port cannot be opened, as written in the code; the
// operator reads it in the chosen language (OpenFailureText).
inline constexpr char OpenFailureSource[] =
    QT_TRANSLATE_NOOP("PollCycle", "串口打开失败，串口号可能不存在，请检查设置");
inline const QString OpenFailureMessage = QString::fromUtf8(OpenFailureSource);
QString OpenFailureText();

// The pause before the next request after a sound reply, by line rate. Rates
// without an entry keep the 500 ms countdown that started at the send.
std::optional<std::chrono::milliseconds> PauseAfterReply(TBaudRate baudRate);

// "Tx-" or "Rx-", the time as ss:zzz, ">", then " XX" for every byte.
QString TrafficLine(const QString& prefix, const TimeOfDay& time, const std::uint8_t* bytes,
                    int count);

// The Modbus master loop of the main window: one timer drives it, every tick
// settles the previous request and sends the next one (a read of the 20
// registers or the write waiting in the mailbox); the port's received-characters
// event assembles the reply. Everything runs on the main thread.
//
//     ComPortAdapter port(comPort);            // the window's TComPort
//     PollCycle cycle(port, view);             // view: the window as a PollView
//     cycle.skButton2Click();                  // Start; tmr1 ticks from here on
//     if (cycle.WriteMode() == WriteModeRead)  // e.g. the ramp
//         cycle.RequestWrite(value);           // to the table's current cell
//
// The write dialog fills the mailbox only through RequestWrite, which takes
// the register from the current cell at that moment.
class PollCycle {
public:
    using ClockFunction = std::function<TimeOfDay()>;

    // Connects itself to the port's received-characters event and line changes.
    PollCycle(PollPort& port, PollView& view, ClockFunction clock = LocalTimeOfDay);
    ~PollCycle();
    PollCycle(const PollCycle&) = delete;
    PollCycle& operator=(const PollCycle&) = delete;

    // Start (skButton2Click): opens the port and arms the loop, unless the port is
    // already open. Returns false when the port could not be opened.
    bool skButton2Click();
    // Stop (skButton3Click): the next tick closes the port and stops the timer.
    void skButton3Click();
    // The tick (tmr1Timer).
    void tmr1Timer();
    // The received-characters event (ComPortRxChar).
    void ComPortRxChar(int count);

    // Queues a write of the low 16 bits of value to the register of the table's
    // current cell as it is now. The last request before a tick wins. Returns
    // false, and queues nothing, when the current cell holds no register value.
    bool RequestWrite(int value);
    // The same for a register given by number (0..19).
    bool RequestWriteToRegister(int registerIndex, int value);

    bool Polling() const { return m_polling; }
    int ReplyCode() const { return m_replyCode; }
    int WriteMode() const { return m_writeMode; }
    int WriteValue() const { return m_writeValue; }
    int WriteRegister() const { return m_writeRegister; }
    const TTxFrame& TxFrame() const { return m_txFrame; }
    const TRxFrame& RxFrame() const { return m_rxFrame; }
    int RxCount() const { return m_rxCount; }

    // The traffic record: every request, every reply and every miss, with its
    // verdict, goes to the listeners as it happens.
    void AddTrafficListener(TrafficListener& listener) { m_judge.AddListener(listener); }
    void RemoveTrafficListener(TrafficListener& listener) { m_judge.RemoveListener(listener); }

    // The output and feedback of every sound read reply go to these listeners,
    // in the order they were added. A listener must not add or remove
    // listeners from inside its call.
    void AddReadoutListener(ReadoutListener& listener);
    void RemoveReadoutListener(ReadoutListener& listener);

    // The poll timer (tmr1): disabled, 1 ms until Start arms it.
    Timer& PollTimer() { return m_timer; }
    const Timer& PollTimer() const { return m_timer; }

private:
    void sendRequest();
    void stopLoop();
    int drainPort(int count);
    void settleReply(std::chrono::steady_clock::time_point rxTime);
    void incrementPanel(int panel);
    void appendTraffic(const QString& prefix, const std::uint8_t* bytes, int count);
    void setInterval(std::chrono::milliseconds interval);
    void setWriteFailure(const QString& reason);
    void lineChanged(const LineChange& change);
    // Takes an echo of the request out of the reply buffer; false while the
    // bytes so far may still be one.
    bool dropEcho(TrafficJudge::Clock::time_point rxTime);

    static constexpr int RxScratchSize = 4096;

    PollPort& m_port;
    PollView& m_view;
    ClockFunction m_clock;
    Timer m_timer;
    TrafficJudge m_judge;
    std::vector<ReadoutListener*> m_readoutListeners;
    EchoFilter m_echo;

    bool m_polling = false;
    int m_replyCode = ReplyNone;
    int m_writeMode = WriteModeRead;
    int m_writeValue = 0;
    int m_writeRegister = 0;
    bool m_exceptionLogged = false;
    bool m_readoutTaken = false; // the current request's reply went to the readout listeners
    QString m_writeFailure;      // why the last write failed; empty when it went out
    TTxFrame m_txFrame{};
    TRxFrame m_rxFrame{};
    int m_rxCount = 0;
    std::array<std::uint8_t, RxScratchSize> m_rxScratch{};
};
