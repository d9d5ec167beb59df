#pragma once
// The virtual module: a simulated analog signal module that answers as a
// Modbus RTU slave on a pseudo-terminal, so the tool (or any master) can be
// tried and tested without hardware.
//
//     VirtualModule module;
//     module.Start();                 // 0 or errno
//     open(module.PortPath(), ...);   // the port a master opens
//     module.SetRegister(9, 1);       // e.g. close the dry contact
//     module.Faults().Arm(Fault::NoReply, 2);
//     module.Stop();
//
// The module serves from its own thread, which sleeps in poll() until bytes
// arrive or Stop() is called. Start(), Stop(), Unplug() and PlugIn() belong
// to the thread that owns the module; every other accessor is safe from any
// thread.

#include "platform/serial/FdIo.h"
#include "platform/serial/PseudoTerminal.h"
#include "platform/system/EventFd.h"
#include "sim/FaultInjector.h"
#include "sim/ModuleRegisters.h"
#include "sim/ReplyTransmitter.h"
#include "sim/RequestAssembler.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

enum class Pacing {
    Off,   ///< replies are written in one piece at once
    Line,  ///< at the character time of the rate the client set on the port
    Fixed, ///< at the character time of the module's own baud rate
};

struct VirtualModuleOptions {
    std::uint8_t address = 1;
    unsigned baudRate = 9600; ///< the module's own rate: register 8 and fixed pacing
    Pacing pacing = Pacing::Off;
    /// Hear only a client whose line runs at the module's own rate, as a real
    /// UART would; off by default, since a pseudo-terminal carries any rate.
    bool strictBaudRate = false;
    int noise = 2;          ///< feedback noise in counts either way
    std::uint32_t seed = 1; ///< seed of the noise, for repeatable runs
    /// Hand every byte the client sends straight back, as a two-wire RS-485
    /// adapter with local echo does, before any answer.
    bool echo = false;
    /// A symbolic link to keep pointing at the port, as /dev/serial/by-id
    /// keeps one to an adapter; empty for none.
    std::string link;
    FeedbackErrors feedback; ///< gain, offset and lag of the feedback input
    UnitFaults unitFaults;   ///< a stuck relay, calibration ignored, the relay looped back
};

struct ModuleStatistics {
    std::uint64_t requests = 0; ///< well-formed requests for this module (broadcasts included)
    std::uint64_t replies = 0;  ///< replies put on the line
    std::uint64_t ignored = 0;  ///< well-formed requests for other slaves
    std::uint64_t discardedBytes = 0;
};

class VirtualModule {
public:
    /// Called on the server thread with every request taken (received true)
    /// and every reply sent.
    using TrafficObserver = std::function<void(bool received, std::span<const std::uint8_t>)>;

    VirtualModule();
    explicit VirtualModule(const VirtualModuleOptions& options);
    ~VirtualModule();
    VirtualModule(const VirtualModule&) = delete;
    VirtualModule& operator=(const VirtualModule&) = delete;

    /// Creates the port and starts serving. Returns 0 or the errno of the
    /// failing call. Starting a running module does nothing.
    int Start();
    /// Ends the server thread and closes the port; pending replies are dropped.
    void Stop();
    bool IsRunning() const;

    /// Pulls the adapter out while running: the port is closed (a client
    /// sees its line hang up) and the link removed. The module keeps its
    /// registers and waits for PlugIn().
    void Unplug();
    /// Plugs it in afresh: a new pseudo-terminal takes the old one's place
    /// (closing it, if still there) and the link leads to the new one.
    /// Returns 0 or the errno of the failing call.
    int PlugIn();
    bool IsPluggedIn() const;

    /// The device path a master opens; empty while stopped or unplugged.
    std::string PortPath() const;

    std::uint16_t Register(int index) const;
    std::array<std::uint16_t, RegisterCount> Registers() const;
    /// Sets a register directly (an input wired on the bench, a preset value).
    void SetRegister(int index, std::uint16_t value);

    FaultInjector& Faults() { return m_faults; }

    std::uint8_t Address() const;
    void SetAddress(std::uint8_t address);
    void SetPacing(Pacing pacing);
    void SetStrictBaudRate(bool strict);
    void SetNoise(int amplitude, std::uint32_t seed = 1);
    /// Makes the feedback input misbehave: a gain error, an offset, a lag.
    void SetFeedbackErrors(const FeedbackErrors& errors);
    /// Whether the output is wired back to the feedback input (on by default).
    void SetLoopback(bool wired);
    void SetEcho(bool echo);
    /// Restarts the module: a device ID and baud rate written since take effect.
    void Restart();

    CalibrationRecord Calibration() const;
    ModuleStatistics Statistics() const;

    /// Set it before Start().
    void SetTrafficObserver(TrafficObserver observer);

    /// A reply to a request, before the faults that bend its bytes.
    struct Answer {
        std::vector<std::uint8_t> reply;
        FaultPlan plan; ///< the faults that apply to it
    };
    /// Carries out one whole RTU request that came over another transport
    /// than the module's own port (its TCP server): taken, counted and
    /// observed as on the port. Nothing when the module stays silent
    /// (another slave's request, a broadcast, the no-reply fault). Safe from
    /// any thread; the module need not be started.
    std::optional<Answer> Serve(const std::vector<std::uint8_t>& request);
    /// A reply went out over that transport.
    void ReplySent(std::span<const std::uint8_t> reply);

private:
    void startServing();
    void stopServing();
    void publishPortPath();
    void serve();
    /// Reads what is waiting and serves whole requests; false on a read error.
    bool receive();
    void lineIdle();
    bool hearsLine() const;
    bool echoes() const;
    void publishDiscarded();
    void handleRequest(const std::vector<std::uint8_t>& request);
    /// Carries out a request for this module and returns its reply (none for
    /// broadcasts and other slaves), with the faults that apply to it.
    std::optional<std::vector<std::uint8_t>> answer(const std::vector<std::uint8_t>& request,
                                                    FaultPlan& plan);
    void observe(bool received, std::span<const std::uint8_t> bytes);
    FdIo::LineFormat lineFormat() const;
    std::chrono::nanoseconds characterTime() const;
    std::chrono::microseconds silentInterval() const;

    mutable std::mutex m_mutex;
    ModuleRegisters m_registers;
    Pacing m_pacing = Pacing::Off;
    bool m_strictBaudRate = false;
    bool m_echo = false;
    std::string m_link;
    ModuleStatistics m_statistics;
    FaultInjector m_faults;
    TrafficObserver m_observer;

    // Replaced as a whole at a re-plug, only while the server thread is stopped.
    std::unique_ptr<PseudoTerminal> m_terminal = std::make_unique<PseudoTerminal>();
    EventFd m_stop;
    std::thread m_thread;
    std::atomic<bool> m_running = false;
    std::string m_portPath;

    // Owned by the server thread while it runs.
    RequestAssembler m_assembler;
    std::size_t m_misheardBytes = 0;
    bool m_awaitingSilence = false;
};
