#include "sim/FaultInjector.h"

#include <algorithm>

namespace {

constexpr std::array<std::string_view, FaultCount> FaultNames = {
    "no-reply", "split", "wrong-crc", "wrong-address", "exception", "trailing", "burst", "late",
};

// Anything shorter would not overflow a 100-byte reply buffer.
constexpr std::size_t MinimumBurstSize = 101;

std::size_t indexOf(Fault fault) {
    return static_cast<std::size_t>(fault);
}

} // namespace

std::string_view FaultName(Fault fault) {
    return FaultNames[indexOf(fault)];
}

std::optional<Fault> FaultFromName(std::string_view name) {
    const auto found = std::find(FaultNames.begin(), FaultNames.end(), name);
    if (found == FaultNames.end()) {
        return std::nullopt;
    }
    return static_cast<Fault>(found - FaultNames.begin());
}

bool FaultPlan::Any() const {
    return std::find(active.begin(), active.end(), true) != active.end();
}

void FaultInjector::Arm(Fault fault, int count) {
    std::lock_guard lock(m_mutex);
    m_remaining[indexOf(fault)] = std::max(count, 0);
}

void FaultInjector::ArmAlways(Fault fault) {
    std::lock_guard lock(m_mutex);
    m_remaining[indexOf(fault)] = Always;
}

void FaultInjector::Disarm(Fault fault) {
    Arm(fault, 0);
}

void FaultInjector::DisarmAll() {
    std::lock_guard lock(m_mutex);
    m_remaining.fill(0);
}

int FaultInjector::Remaining(Fault fault) const {
    std::lock_guard lock(m_mutex);
    return m_remaining[indexOf(fault)];
}

void FaultInjector::SetSplit(std::size_t chunkSize, std::chrono::milliseconds gap) {
    std::lock_guard lock(m_mutex);
    m_parameters.splitChunkSize = std::max<std::size_t>(chunkSize, 1);
    m_parameters.splitGap = std::max(gap, std::chrono::milliseconds::zero());
}

void FaultInjector::SetExceptionCode(std::uint8_t code) {
    std::lock_guard lock(m_mutex);
    m_parameters.exceptionCode = code;
}

void FaultInjector::SetTrailingByteCount(std::size_t count) {
    std::lock_guard lock(m_mutex);
    m_parameters.trailingByteCount = count;
}

void FaultInjector::SetBurstSize(std::size_t size) {
    std::lock_guard lock(m_mutex);
    m_parameters.burstSize = std::max(size, MinimumBurstSize);
}

void FaultInjector::SetLateDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_parameters.lateDelay = std::max(delay, std::chrono::milliseconds::zero());
}

FaultPlan FaultInjector::TakeForRequest() {
    std::lock_guard lock(m_mutex);
    FaultPlan plan = m_parameters;
    for (std::size_t index = 0; index < FaultCount; ++index) {
        int& remaining = m_remaining[index];
        plan.active[index] = remaining != 0;
        if (remaining > 0) {
            --remaining;
        }
    }
    return plan;
}
