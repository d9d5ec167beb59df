#pragma once
// An emulated two-wire RS-485 bus of three ports: the master's, a slave's
// and a listener's (the tap). Whatever one of them sends reaches the other
// two at the line's pace, one character time a byte, as on the wires; a
// transmission that begins while the line is busy waits for it. The tap can
// receive in bunches instead, as through a USB adapter whose latency timer
// holds the bytes (16 ms by default on FTDI chips) unless 62 have gathered.
// Faults can be put into the slave's next replies, and every byte the
// listener's side sends is counted: on a bus it only listens to, none may.
//
//     VirtualModule module;              // the slave, serving its own port
//     module.Start();
//     VirtualBus bus(options);
//     bus.Start(module.PortPath());      // 0 or errno
//     // the master opens bus.MasterPath(), the listener bus.TapPath()
//     bus.InjectFault(BusFault::BrokenCrc);
//     bus.BytesFromTap();                // 0, if the listener sent nothing
//
// The bus runs on its own thread; every accessor is safe from any thread.

#include "platform/serial/PseudoTerminal.h"
#include "platform/serial/SerialDevice.h"
#include "platform/system/EventFd.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

enum class BusFault {
    BrokenCrc,     ///< the last byte of the reply is inverted
    MissingReply,  ///< the reply never reaches the line
    TrailingBytes, ///< three bytes FF follow the reply at once
    Noise,         ///< a burst of random bytes follows the reply after a silence
};

struct VirtualBusOptions {
    unsigned baudRate = 9600;
    /// Start, data, parity and stop bits: 11 for 8 data bits and 2 stop bits.
    unsigned bitsPerCharacter = 11;
    /// The tap's latency timer; zero hands it every byte as it arrives.
    std::chrono::milliseconds tapLatency{0};
    /// Seed of the noise bursts, for repeatable runs.
    std::uint32_t seed = 1;
};

class VirtualBus {
public:
    /// The bytes a USB adapter sends on at once without waiting for its timer.
    static constexpr std::size_t AdapterPacket = 62;

    explicit VirtualBus(const VirtualBusOptions& options = {});
    ~VirtualBus();
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    /// Creates the master's and the tap's ports, joins the slave's port (a
    /// device path, such as the virtual module's) and starts the bus.
    /// Returns 0 or the errno of the failing call.
    int Start(const std::string& slavePort);
    void Stop();

    std::string MasterPath() const;
    std::string TapPath() const;

    /// Puts the fault into the slave's next reply not yet hit by one; faults
    /// injected one after the other hit one reply each, in order.
    void InjectFault(BusFault fault);
    /// Faults injected and not yet applied.
    std::size_t PendingFaults() const;

    /// Bytes the listener's side sent onto the bus.
    std::uint64_t BytesFromTap() const { return m_fromTap; }
    /// Transmissions the master and the slave put on the line (a slave's
    /// reply dropped by a fault is not one).
    std::uint64_t MasterTransmissions() const { return m_masterTransmissions; }
    std::uint64_t SlaveTransmissions() const { return m_slaveTransmissions; }

private:
    using Clock = std::chrono::steady_clock;
    enum Drop : int { MasterDrop = 0, SlaveDrop = 1, TapDrop = 2, DropCount = 3, Nobody = -1 };
    struct Scheduled {
        std::uint8_t byte = 0;
        Clock::time_point due;
        int source = Nobody;
    };
    struct Incoming {
        std::vector<std::uint8_t> bytes;
        Clock::time_point last;
    };

    void run();
    void receive(int drop, Clock::time_point now);
    void endTransmissions(Clock::time_point now);
    void transmit(int source, std::vector<std::uint8_t> bytes, Clock::time_point now);
    void putOnLine(int source, const std::vector<std::uint8_t>& bytes, Clock::time_point start);
    void deliverDue(Clock::time_point now);
    void flushTap();
    std::optional<Clock::time_point> nextWake() const;
    std::vector<std::uint8_t> noiseBurst();

    VirtualBusOptions m_options;
    std::chrono::nanoseconds m_characterTime;
    PseudoTerminal m_master;
    PseudoTerminal m_tap;
    SerialDevice m_slave;
    EventFd m_stop;
    std::thread m_thread;
    std::string m_masterPath;
    std::string m_tapPath;

    mutable std::mutex m_mutex; // guards the faults
    std::deque<BusFault> m_faults;
    std::atomic<std::uint64_t> m_fromTap = 0;
    std::atomic<std::uint64_t> m_masterTransmissions = 0;
    std::atomic<std::uint64_t> m_slaveTransmissions = 0;

    // The bus thread's own.
    std::array<Incoming, DropCount> m_incoming;
    std::deque<Scheduled> m_line;
    Clock::time_point m_lineFree;
    std::vector<std::uint8_t> m_tapHeld;
    Clock::time_point m_nextBunch;
    std::uint32_t m_noiseState = 1;
};
