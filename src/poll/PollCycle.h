#pragma once

#include "modbus/Module.h"
#include "modbus/RtuFrame.h"
#include "platform/system/Clock.h"
#include "platform/system/Timer.h"
#include "poll/EchoFilter.h"
#include "poll/PollListener.h"
#include "poll/PollPort.h"
#include "poll/TrafficJudge.h"
#include "serial/ComTypes.h"

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class PollView;

// Outcome of the current request, read and cleared by every tick.
enum class ReplyState {
    None,     ///< nothing sound yet: the next tick counts a miss
    Read,     ///< a sound read reply
    Write,    ///< a sound write reply
    Overflow, ///< a delivery ran past the reply buffer: poll again at once, no miss
    Started,  ///< Start: the first tick counts no miss
};

// The write mailbox.
enum class WriteMode {
    Read,      ///< the next tick reads
    Sent,      ///< the write went out; the next tick reads
    Requested, ///< the next tick writes
};

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

// The Modbus master loop: one timer drives it, every tick settles the
// previous request and sends the next one (a read of the 20 registers or the
// write waiting in the mailbox); the line's received-characters event
// assembles the reply. The engine keeps its own state (the counts, the last
// registers, the polled line) and tells its view what to show and its
// listeners what happened. Everything runs on the main thread.
//
//     PollCycle cycle(line, view);     // line: a PollPort; view: a PollView
//     cycle.SetAddress(1);
//     cycle.Start();                   // the poll timer ticks from here on
//     cycle.RequestWrite(3, 1000);     // register 3 := 1000 at the next tick
class PollCycle {
public:
    using ClockFunction = std::function<TimeOfDay()>;

    // Connects itself to the port's received-characters event and line changes.
    PollCycle(PollPort& port, PollView& view, ClockFunction clock = LocalTimeOfDay);
    ~PollCycle();
    PollCycle(const PollCycle&) = delete;
    PollCycle& operator=(const PollCycle&) = delete;

    // Opens the port and arms the loop, unless the port is already open.
    // Returns false when the port could not be opened.
    bool Start();
    // The next tick closes the port and stops the timer.
    void Stop();
    // The poll timer's tick.
    void Tick();
    // The port's received-characters event: count bytes are waiting.
    void BytesArrived(int count);

    // The slave polled from the next request on (the low 8 bits are sent).
    void SetAddress(int address) { m_address = address; }
    int Address() const { return m_address; }

    // Queues a write of the low 16 bits of value to a register (0..19) for
    // the next tick. The last request before a tick wins. Returns false, and
    // queues nothing, for a register the module does not have.
    bool RequestWrite(int registerIndex, int value);

    bool Polling() const { return m_polling; }
    ReplyState Reply() const { return m_replyState; }
    WriteMode Mailbox() const { return m_writeMode; }
    int WriteValue() const { return m_writeValue; }
    int WriteRegister() const { return m_writeRegister; }
    const TTxFrame& TxFrame() const { return m_txFrame; }
    const TRxFrame& RxFrame() const { return m_rxFrame; }
    int RxCount() const { return m_rxCount; }

    // Requests sent and replies missed since Start.
    std::uint64_t TxCount() const { return m_txCount; }
    std::uint64_t ErCount() const { return m_erCount; }
    // The registers of the last sound read reply (all 0 before the first).
    const RegisterValues& Registers() const { return m_registers; }
    // The line polled: its name as it is now (an adapter found under a new
    // name shows that name).
    QString PolledPort() const { return m_port.Port(); }

    // Every request, reply and miss, with its verdict, every write sent and
    // every sound read go to the listeners as they happen, in the order the
    // listeners were added.
    void AddListener(PollListener& listener);
    void RemoveListener(PollListener& listener);

    // The poll timer: disabled, 1 ms until Start arms it.
    Timer& PollTimer() { return m_timer; }
    const Timer& PollTimer() const { return m_timer; }

private:
    // Whatever a tick or a delivery changes, the view shows in one frame.
    class FrameScope;

    void sendRequest();
    void stopLoop();
    int drainPort(int count);
    void settleReply(ReplyCheck check, std::chrono::steady_clock::time_point rxTime);
    void acceptRead(std::chrono::steady_clock::time_point rxTime);
    void countMiss();
    void showCounters();
    void appendTraffic(const QString& prefix, const std::uint8_t* bytes, int count);
    // An "Rx-" line for received bytes, as they went over the line.
    void appendReceived(const std::uint8_t* bytes, int count);
    void setInterval(std::chrono::milliseconds interval);
    void setWriteFailure(const PortResult& failure);
    void lineChanged(const LineChange& change);
    // Takes an echo of the request out of the reply buffer; false while the
    // bytes so far may still be one.
    bool dropEcho(TrafficJudge::Clock::time_point rxTime);

    static constexpr int RxScratchSize = 4096;

    PollPort& m_port;
    PollView& m_view;
    ClockFunction m_clock;
    Timer m_timer;
    std::vector<PollListener*> m_listeners;
    TrafficJudge m_judge{m_listeners};
    EchoFilter m_echo;

    bool m_polling = false;
    int m_address = 1;
    ReplyState m_replyState = ReplyState::None;
    WriteMode m_writeMode = WriteMode::Read;
    int m_writeValue = 0;
    int m_writeRegister = 0;
    std::uint64_t m_txCount = 0;
    std::uint64_t m_erCount = 0;
    RegisterValues m_registers{};
    bool m_exceptionLogged = false;
    bool m_readoutTaken = false; // the current request's reply went to the listeners
    PortResult m_writeFailure;   // why the last write failed; nothing when it went out
    TTxFrame m_txFrame{};
    TRxFrame m_rxFrame{};
    int m_rxCount = 0;
    std::array<std::uint8_t, RxScratchSize> m_rxScratch{};
};
