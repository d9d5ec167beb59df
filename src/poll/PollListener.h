#pragma once
// What the poll engine tells those who follow it: the recording, the link
// statistics, the trend, the linearity and function tests. Each event is
// told once, as it happens, with the engine's own judgement of it.

#include "poll/ReadoutSample.h"
#include "poll/TrafficEvent.h"

#include <cstdint>

// A request the engine sent (or tried to): what it asked for.
struct PollRequest {
    enum class Kind { Read, Write };
    Kind kind = Kind::Read;
    /// The register written and its value (a write only).
    int registerIndex = 0;
    std::uint16_t value = 0;
    /// Whether the port took it; a refused request is followed by a miss.
    bool written = true;
};

// Everything is called on the thread that runs the engine (the main thread),
// in the order the listeners were added. A listener must not add or remove
// listeners from inside its call.
class PollListener {
public:
    virtual ~PollListener() = default;

    /// Start: a new run begins and elapsed times count from here.
    virtual void OnStarted() {}
    /// One entry of the traffic record, in the order the events happened.
    virtual void OnTraffic(const TrafficEvent& event) { static_cast<void>(event); }
    /// A request went out (its Tx entry came just before).
    virtual void OnRequestSent(const PollRequest& request) { static_cast<void>(request); }
    /// The engine counted a missed reply (the Er count rose). A request that
    /// got no whole reply has its "--" entry just before; one whose whole
    /// reply was unsound has had its Rx entry.
    virtual void OnMissCounted() {}
    /// A sound read reply, right after it was shown.
    virtual void OnReadout(const ReadoutSample& sample) { static_cast<void>(sample); }
};
