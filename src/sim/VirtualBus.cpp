#include "sim/VirtualBus.h"

#include "platform/serial/FdIo.h"
#include "sim/ReplyTransmitter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

namespace {

using namespace std::chrono_literals;

// A transmission is over once its sender has been quiet this long: the
// master and the slave hand their frames over in one write each.
constexpr auto TransmissionEnd = 1ms;
// A port whose far end hung up is looked at again this often.
constexpr auto HangUpBackOff = 10ms;
// A client that reads nothing loses what does not fit, as a UART overruns.
constexpr auto StallLimit = 5ms;
constexpr std::size_t TrailingCount = 3;
constexpr std::uint8_t Filler = 0xFF;
constexpr std::size_t NoiseShortest = 5;
constexpr std::size_t NoiseLongest = 9;
// Noise comes after this many character times of silence behind the reply,
// so that it stands between two frames.
constexpr int NoiseSilenceCharacters = 7;
constexpr std::size_t ReadChunk = 512;

} // namespace

VirtualBus::VirtualBus(const VirtualBusOptions& options)
    : m_options(options),
      m_characterTime(CharacterTime(options.baudRate, options.bitsPerCharacter)),
      m_noiseState(options.seed == 0 ? 1 : options.seed) {}

VirtualBus::~VirtualBus() {
    Stop();
}

int VirtualBus::Start(const std::string& slavePort) {
    if (m_thread.joinable()) {
        return 0;
    }
    if (const int error = m_master.Open(true); error != 0) {
        return error;
    }
    int error = m_tap.Open(true);
    if (error == 0) {
        error = m_slave.open(slavePort);
    }
    if (error == 0) {
        // The slave hears the line at the bus's rate and framing.
        SerialLineSettings line;
        line.baudRate = static_cast<int>(m_options.baudRate);
        line.stopBits = SerialLineSettings::StopBits::Two;
        error = m_slave.applyLineSettings(line);
    }
    if (error == 0) {
        error = m_stop.Open();
    }
    if (error != 0) {
        m_slave.close();
        m_tap.Close();
        m_master.Close();
        return error;
    }
    {
        std::lock_guard lock(m_mutex);
        m_masterPath = m_master.SlavePath();
        m_tapPath = m_tap.SlavePath();
    }
    m_lineFree = Clock::now();
    m_nextBunch = m_lineFree + m_options.tapLatency;
    m_thread = std::thread([this] { run(); });
    return 0;
}

void VirtualBus::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop.Signal();
    m_thread.join();
    m_stop.Close();
    m_slave.close();
    m_tap.Close();
    m_master.Close();
    std::lock_guard lock(m_mutex);
    m_masterPath.clear();
    m_tapPath.clear();
}

std::string VirtualBus::MasterPath() const {
    std::lock_guard lock(m_mutex);
    return m_masterPath;
}

std::string VirtualBus::TapPath() const {
    std::lock_guard lock(m_mutex);
    return m_tapPath;
}

void VirtualBus::InjectFault(BusFault fault) {
    std::lock_guard lock(m_mutex);
    m_faults.push_back(fault);
}

std::size_t VirtualBus::PendingFaults() const {
    std::lock_guard lock(m_mutex);
    return m_faults.size();
}

void VirtualBus::run() {
    const std::array<int, DropCount> fds = {m_master.MasterFd(), m_slave.descriptor(),
                                            m_tap.MasterFd()};
    std::vector<bool> readable;
    for (;;) {
        const Clock::time_point now = Clock::now();
        deliverDue(now);
        endTransmissions(now);
        switch (FdIo::WaitAnyReadable(fds, m_stop.Fd(), nextWake(), readable)) {
        case FdIo::WaitResult::Stopped:
        case FdIo::WaitResult::Failed:
            return;
        case FdIo::WaitResult::HungUp:
            if (FdIo::SleepUnlessStopped(m_stop.Fd(), HangUpBackOff)) {
                return;
            }
            break;
        case FdIo::WaitResult::Readable:
            for (int drop = 0; drop < DropCount; ++drop) {
                if (readable[static_cast<std::size_t>(drop)]) {
                    receive(drop, Clock::now());
                }
            }
            break;
        case FdIo::WaitResult::TimedOut:
            break;
        }
    }
}

void VirtualBus::receive(int drop, Clock::time_point now) {
    const int fd = drop == MasterDrop  ? m_master.MasterFd()
                   : drop == SlaveDrop ? m_slave.descriptor()
                                       : m_tap.MasterFd();
    std::array<std::uint8_t, ReadChunk> buffer{};
    const std::ptrdiff_t count = FdIo::ReadAvailable(fd, buffer);
    if (count <= 0) {
        return;
    }
    if (drop == TapDrop) {
        m_fromTap += static_cast<std::uint64_t>(count);
    }
    Incoming& incoming = m_incoming[static_cast<std::size_t>(drop)];
    incoming.bytes.insert(incoming.bytes.end(), buffer.begin(), buffer.begin() + count);
    incoming.last = now;
}

void VirtualBus::endTransmissions(Clock::time_point now) {
    for (int drop = 0; drop < DropCount; ++drop) {
        Incoming& incoming = m_incoming[static_cast<std::size_t>(drop)];
        if (!incoming.bytes.empty() && now - incoming.last >= TransmissionEnd) {
            transmit(drop, std::move(incoming.bytes), now);
            incoming.bytes.clear();
        }
    }
}

void VirtualBus::transmit(int source, std::vector<std::uint8_t> bytes, Clock::time_point now) {
    std::optional<BusFault> fault;
    if (source == SlaveDrop) {
        std::lock_guard lock(m_mutex);
        if (!m_faults.empty()) {
            fault = m_faults.front();
            m_faults.pop_front();
        }
    }
    if (fault == BusFault::MissingReply) {
        return;
    }
    if (fault == BusFault::BrokenCrc) {
        bytes.back() ^= Filler;
    }
    if (fault == BusFault::TrailingBytes) {
        bytes.insert(bytes.end(), TrailingCount, Filler);
    }
    putOnLine(source, bytes, std::max(now, m_lineFree));
    if (source == MasterDrop) {
        ++m_masterTransmissions;
    } else if (source == SlaveDrop) {
        ++m_slaveTransmissions;
    }
    if (fault == BusFault::Noise) {
        putOnLine(Nobody, noiseBurst(), m_lineFree + m_characterTime * NoiseSilenceCharacters);
    }
}

void VirtualBus::putOnLine(int source, const std::vector<std::uint8_t>& bytes,
                           Clock::time_point start) {
    // Each byte is there once its last bit is.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        m_line.push_back(
            {bytes[i], start + m_characterTime * static_cast<std::int64_t>(i + 1), source});
    }
    m_lineFree = start + m_characterTime * static_cast<std::int64_t>(bytes.size());
}

void VirtualBus::deliverDue(Clock::time_point now) {
    std::array<std::vector<std::uint8_t>, DropCount> out;
    while (!m_line.empty() && m_line.front().due <= now) {
        const Scheduled& next = m_line.front();
        for (int drop = 0; drop < DropCount; ++drop) {
            if (drop == next.source) {
                continue;
            }
            if (drop == TapDrop && m_options.tapLatency.count() > 0) {
                m_tapHeld.push_back(next.byte);
                if (m_tapHeld.size() >= AdapterPacket) {
                    flushTap();
                }
            } else {
                out[static_cast<std::size_t>(drop)].push_back(next.byte);
            }
        }
        m_line.pop_front();
    }
    if (m_options.tapLatency.count() > 0 && now >= m_nextBunch) {
        // The adapter's timer runs on whether or not bytes came.
        while (m_nextBunch <= now) {
            m_nextBunch += m_options.tapLatency;
        }
        flushTap();
    }
    const std::array<int, DropCount> fds = {m_master.MasterFd(), m_slave.descriptor(),
                                            m_tap.MasterFd()};
    for (int drop = 0; drop < DropCount; ++drop) {
        const auto& bytes = out[static_cast<std::size_t>(drop)];
        if (!bytes.empty()) {
            FdIo::WriteAll(fds[static_cast<std::size_t>(drop)], bytes, m_stop.Fd(), StallLimit);
        }
    }
}

void VirtualBus::flushTap() {
    if (!m_tapHeld.empty()) {
        FdIo::WriteAll(m_tap.MasterFd(), m_tapHeld, m_stop.Fd(), StallLimit);
        m_tapHeld.clear();
    }
}

std::optional<VirtualBus::Clock::time_point> VirtualBus::nextWake() const {
    std::optional<Clock::time_point> wake;
    const auto earliest = [&wake](Clock::time_point candidate) {
        wake = wake ? std::min(*wake, candidate) : candidate;
    };
    if (!m_line.empty()) {
        earliest(m_line.front().due);
    }
    for (const Incoming& incoming : m_incoming) {
        if (!incoming.bytes.empty()) {
            earliest(incoming.last + TransmissionEnd);
        }
    }
    if (!m_tapHeld.empty()) {
        earliest(m_nextBunch);
    }
    return wake;
}

std::vector<std::uint8_t> VirtualBus::noiseBurst() {
    // A small xorshift generator: the same seed gives the same bursts.
    const auto next = [this] {
        m_noiseState ^= m_noiseState << 13;
        m_noiseState ^= m_noiseState >> 17;
        m_noiseState ^= m_noiseState << 5;
        return m_noiseState;
    };
    const std::size_t length = NoiseShortest + next() % (NoiseLongest - NoiseShortest + 1);
    std::vector<std::uint8_t> burst(length);
    for (std::uint8_t& byte : burst) {
        byte = static_cast<std::uint8_t>(next());
    }
    return burst;
}
