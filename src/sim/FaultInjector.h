#pragma once
// Faults the virtual module can put into its replies, each armed for the next
// N requests or for good. Thread-safe: tests and the command line arm faults
// while the module's server thread takes them request by request.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

enum class Fault {
    NoReply,        ///< the request is carried out but nothing is sent back
    SplitReply,     ///< the reply goes out in small chunks with gaps between them
    WrongCrc,       ///< the reply's CRC bytes are inverted
    WrongAddress,   ///< the reply carries another slave's address (with a valid CRC)
    ExceptionReply, ///< the request is refused with an exception reply
    TrailingBytes,  ///< filler bytes follow the reply
    Burst,          ///< the reply is padded with filler to a burst longer than 100 bytes
    LateReply,      ///< the reply is held back for a while before it is sent
};

inline constexpr std::size_t FaultCount = 8;

/// The fault's name on the command line ("no-reply", "split", ...).
std::string_view FaultName(Fault fault);
std::optional<Fault> FaultFromName(std::string_view name);

/// What one request gets: the faults that apply to it and their parameters.
struct FaultPlan {
    std::array<bool, FaultCount> active{};
    std::size_t splitChunkSize = 3;
    std::chrono::milliseconds splitGap{20};
    std::uint8_t exceptionCode = 0x04;
    std::size_t trailingByteCount = 3;
    std::size_t burstSize = 120;
    std::chrono::milliseconds lateDelay{1000};

    bool Has(Fault fault) const { return active[static_cast<std::size_t>(fault)]; }
    bool Any() const;
};

class FaultInjector {
public:
    /// Arms the fault for the next count requests; a count of 0 disarms it.
    void Arm(Fault fault, int count);
    /// Arms the fault for every request until it is disarmed.
    void ArmAlways(Fault fault);
    void Disarm(Fault fault);
    void DisarmAll();

    /// Requests still to be hit by the fault; -1 means always.
    int Remaining(Fault fault) const;

    void SetSplit(std::size_t chunkSize, std::chrono::milliseconds gap);
    void SetExceptionCode(std::uint8_t code);
    void SetTrailingByteCount(std::size_t count);
    void SetBurstSize(std::size_t size);
    void SetLateDelay(std::chrono::milliseconds delay);

    /// Called once per request addressed to the module: every armed fault
    /// applies to it and uses up one of its counts.
    FaultPlan TakeForRequest();

private:
    static constexpr int Always = -1;

    mutable std::mutex m_mutex;
    std::array<int, FaultCount> m_remaining{};
    FaultPlan m_parameters;
};
