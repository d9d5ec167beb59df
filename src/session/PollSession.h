#pragma once
// One poll session: the line, the keeper that brings it back after a
// re-plug, the engine that polls over it, and what follows the engine: the
// traffic recording, the link statistics and the history behind the trend.
// The main window and each headless runner build one; further listeners (a
// linearity or function test) join the engine through AddListener.
//
//     TComPort port;                                // set up by the caller
//     PollSession session(std::make_unique<ComPortAdapter>(port), view);
//     session.Engine().SetAddress(1);
//     session.Engine().Start();
//
// Any line behind the engine's port interface will do: the session neither
// knows nor cares whether it is a serial port.

#include "listen/ListenEngine.h"
#include "poll/LineKeeper.h"
#include "poll/PollCycle.h"
#include "record/LinkStatistics.h"
#include "record/TrafficRecorder.h"
#include "session/SharedLine.h"
#include "trend/TrendHistory.h"

#include <memory>

class PollPort;
class PollView;

class PollSession {
public:
    PollSession(std::unique_ptr<PollPort> line, PollView& view,
                PollCycle::ClockFunction clock = LocalTimeOfDay);
    ~PollSession();
    PollSession(const PollSession&) = delete;
    PollSession& operator=(const PollSession&) = delete;

    PollCycle& Engine() { return m_engine; }
    const PollCycle& Engine() const { return m_engine; }
    /// The engine that listens to a bus another master polls, on the same
    /// line (taking turns with the poll engine), view and listeners.
    ListenEngine& Listen() { return m_listen; }
    const ListenEngine& Listen() const { return m_listen; }
    /// The line itself, as it was handed in.
    PollPort& Line() { return *m_line; }
    /// The line as the engine uses it: kept through a re-plug.
    LineKeeper& Keeper() { return m_keeper; }

    TrafficRecorder& Recorder() { return m_recorder; }
    const LinkStatistics& Statistics() const { return m_statistics; }
    const TrendHistory& Trend() const { return m_trend; }

    /// Follows the poll engine from now on, after the session's own listeners.
    void AddListener(PollListener& listener) { m_engine.AddListener(listener); }
    void RemoveListener(PollListener& listener) { m_engine.RemoveListener(listener); }

private:
    std::unique_ptr<PollPort> m_line;
    LineKeeper m_keeper;
    SharedLine m_shared{m_keeper};
    // The listeners outlive the engines, which are destroyed first.
    LinkStatistics m_statistics;
    TrafficRecorder m_recorder;
    TrendHistory m_trend;
    PollCycle m_engine;
    ListenEngine m_listen;
};
