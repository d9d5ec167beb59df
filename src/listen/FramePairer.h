#pragma once
// Pairs the frames found on a bus: each reply with the request before it
// (same slave address and function), and judges both. A request that has
// no reply before the next request is a request without reply; so is one
// still waiting when listening stops, once it has waited a reply's time-out.
// Bytes that make no frame, and replies to nothing seen, are unexpected.

#include "listen/RtuSplitter.h"
#include "poll/TrafficEvent.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

// A sound read of holding registers (function 03): which slave, from which
// register, and the values.
struct RegisterRead {
    std::uint8_t address = 0;
    int firstRegister = 0;
    std::vector<std::uint16_t> values;
};

// One entry of the listener's record.
struct BusEntry {
    using Clock = std::chrono::steady_clock;

    TrafficDirection direction = TrafficDirection::Tx;
    TrafficVerdict verdict = TrafficVerdict::Sent;
    std::uint8_t exceptionCode = 0;
    std::vector<std::uint8_t> bytes;
    /// When it happened: a frame's last byte; for a request without reply,
    /// when that became clear.
    Clock::time_point time;
    /// A reply: from the last byte of its request to its own last byte.
    std::optional<std::chrono::microseconds> responseTime;
    /// A request of the master (the Tx count).
    bool request = false;
    /// A request that got no sound reply (the Er count).
    bool miss = false;
    /// The registers a sound read reply carried.
    std::optional<RegisterRead> read;
};

class FramePairer {
public:
    using Clock = BusEntry::Clock;

    /// How long a request may wait for its reply before listening stops
    /// counts it as unanswered; one younger than this is left undecided.
    static constexpr std::chrono::milliseconds ReplyTimeout{500};

    /// Judges one frame; appends its entries (a request without reply may
    /// come before a request's own).
    void Take(const BusFrame& frame, std::vector<BusEntry>& entries);
    /// Listening stops at `now`: the request still waiting is settled.
    void Settle(Clock::time_point now, std::vector<BusEntry>& entries);
    /// Forgets the request waiting.
    void Reset() { m_waiting.reset(); }

private:
    struct Waiting {
        std::vector<std::uint8_t> bytes;
        Clock::time_point end;
    };

    void takeRequest(const BusFrame& frame, std::vector<BusEntry>& entries);
    void takeReply(const BusFrame& frame, std::vector<BusEntry>& entries);
    bool answers(const BusFrame& reply) const;
    void judgeReply(const BusFrame& reply, BusEntry& entry) const;
    void noReply(Clock::time_point when, std::vector<BusEntry>& entries);

    std::optional<Waiting> m_waiting;
};
