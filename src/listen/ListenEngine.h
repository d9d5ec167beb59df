#pragma once
// Listens to a bus that another master polls, and never sends a byte. The
// line is opened for listening only; the bytes heard are split into frames
// (RtuSplitter), each reply is paired with its request (FramePairer), and
// the result goes to the same view and listeners as the poll engine's: the
// traffic lines ("Tx-" for the master's frames, "Rx-" for the slaves' and
// for bytes that make no frame), the counters (the master's requests, and
// those without a sound reply), and the registers that the master reads
// from the slave at the chosen address, with their read-outs and samples.
// The record carries every entry with its verdict and, for a reply, the
// time from the end of its request to its own end, as the port's event
// thread saw the bytes arrive.
//
//     ListenEngine listen(line, view);    // line: a PollPort; view: a PollView
//     listen.SetAddress(1);
//     listen.Start();                     // the port's received bytes drive it
//     listen.Stop();
//
// Everything runs on the main thread.

#include "listen/FramePairer.h"
#include "listen/RtuSplitter.h"
#include "modbus/Module.h"
#include "platform/system/Clock.h"
#include "poll/PollListener.h"
#include "poll/PollPort.h"

#include <QCoreApplication>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class PollView;

/// The time of day `age` before `time` (across midnight as well).
TimeOfDay TimeOfDayBefore(const TimeOfDay& time, std::chrono::milliseconds age);

class ListenEngine {
    Q_DECLARE_TR_FUNCTIONS(ListenEngine)

public:
    using ClockFunction = std::function<TimeOfDay()>;
    using Clock = std::chrono::steady_clock;

    /// A line quiet for this long is looked at, so that an adapter pulled
    /// out shows even when nobody talks.
    static constexpr std::chrono::milliseconds ProbeInterval{1000};
    /// Held bytes go out after the line has been quiet for at least this
    /// long: long enough that a busy machine, which may hand the bytes of one
    /// frame over in two late pieces, does not cut the frame.
    static constexpr std::chrono::milliseconds ShortestIdle{250};
    /// A latency timer above this makes the response times coarse.
    static constexpr std::chrono::milliseconds FineLatency{1};
    /// The rule that sets an FTDI adapter's latency timer to 1 ms when it is
    /// plugged in, and where it goes.
    static constexpr char UdevRule[] = "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                                       "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"";
    static constexpr char UdevRuleFile[] = "/etc/udev/rules.d/99-ftdi-latency.rules";

    // Connects itself to the port's received-characters event and line changes.
    ListenEngine(PollPort& port, PollView& view, ClockFunction clock = LocalTimeOfDay);
    ~ListenEngine();
    ListenEngine(const ListenEngine&) = delete;
    ListenEngine& operator=(const ListenEngine&) = delete;

    // Opens the port for listening only and starts a new run (counters,
    // registers and the monitor cleared, elapsed times from now). Returns
    // false when the port could not be opened so.
    bool Start();
    // Settles what is held, closes the port and ends the run.
    void Stop();
    // The port's received-characters event: count bytes are waiting.
    void BytesArrived(int count);

    // The slave whose registers are followed from the next frame on.
    void SetAddress(int address) { m_address = address; }
    int Address() const { return m_address; }

    bool Listening() const { return m_listening; }
    // The master's requests heard, and those without a sound reply.
    std::uint64_t TxCount() const { return m_txCount; }
    std::uint64_t ErCount() const { return m_erCount; }
    // The registers the master last read from the slave at the address (all
    // 0 before the first read since Start).
    const RegisterValues& Registers() const { return m_registers; }
    // Whether the line's adapter holds bytes for longer than a millisecond,
    // so that response times are only as fine as its latency timer.
    bool CoarseTiming() const { return m_coarse; }
    // The adapter's latency timer as read at Start; zero when it has none.
    std::chrono::milliseconds AdapterLatency() const { return m_latency; }

    void AddListener(PollListener& listener);
    void RemoveListener(PollListener& listener);

private:
    class FrameScope;

    void lineChanged(const LineChange& change);
    void lineIdle();
    void probeLine();
    void feed(int count, const Clock::time_point* times);
    void arrivalTimes(const std::vector<RxPiece>& pieces, int offset, int count,
                      Clock::time_point now);
    void deliver(std::vector<BusFrame>& frames);
    void show(const BusEntry& entry);
    void showRead(const RegisterRead& read, Clock::time_point time);
    void record(TrafficEvent& event);
    void lineEntry(TrafficVerdict verdict);
    void showCounters();
    void setTiming();

    static constexpr int ScratchSize = 4096;

    PollPort& m_port;
    PollView& m_view;
    ClockFunction m_clock;
    std::vector<PollListener*> m_listeners;
    RtuSplitter m_splitter;
    FramePairer m_pairer;
    QTimer m_idle;
    QTimer m_probe;

    bool m_listening = false;
    int m_address = 1;
    std::uint64_t m_txCount = 0;
    std::uint64_t m_erCount = 0;
    RegisterValues m_registers{};
    bool m_coarse = false;
    std::chrono::milliseconds m_latency{0};
    std::chrono::nanoseconds m_characterTime{0};
    std::chrono::milliseconds m_idleLimit = ShortestIdle;
    Clock::time_point m_start;
    Clock::time_point m_lastDelivery;
    // When the last byte handed to the splitter arrived: no later byte can
    // have come before it.
    Clock::time_point m_lastArrival;
    std::array<std::uint8_t, ScratchSize> m_scratch{};
    std::array<Clock::time_point, ScratchSize> m_times{};
};
