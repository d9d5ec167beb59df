#pragma once
// The steps of the function test. Each follows the engine's events while it
// runs, measures, and ends with a verdict; the function test starts them in
// the plan's order and the teardown last.

#include "functest/RegisterWrite.h"
#include "functest/TestPlan.h"
#include "functest/TestRecord.h"
#include "poll/PollListener.h"

#include <QString>
#include <chrono>
#include <memory>

class LinearityTest;
class PollCycle;

class TestStep {
public:
    using Clock = std::chrono::steady_clock;

    TestStep(PollCycle& engine, QString name);
    virtual ~TestStep();
    TestStep(const TestStep&) = delete;
    TestStep& operator=(const TestStep&) = delete;

    /// Starts the step; the engine is polling.
    void Begin();
    virtual void OnTraffic(const TrafficEvent& event) { static_cast<void>(event); }
    virtual void OnRequestSent(const PollRequest& request) { static_cast<void>(request); }
    virtual void OnMissCounted() {}
    virtual void OnReadout(const ReadoutSample& sample) { static_cast<void>(sample); }
    /// About ten times a second, for time limits.
    virtual void OnTick(Clock::time_point now) { static_cast<void>(now); }
    /// Ends the step at once, without a verdict of the unit (SKIP, with why).
    /// A step that changed the module may first put it back.
    virtual void Abort(const QString& why);

    bool Finished() const { return m_finished; }
    const StepRecord& Record() const { return m_record; }

protected:
    virtual void begin() = 0;
    /// Ends the step: the verdict is PASS when every measurement is within
    /// its limits and nothing else went wrong (failure empty).
    void finish(const QString& failure = {});
    void skip(const QString& why);
    void measure(const QString& name, double value, double low, double high,
                 const QString& unit = {});

    PollCycle& m_engine;

private:
    StepRecord m_record;
    Clock::time_point m_began;
    bool m_finished = false;
};

/// The unit answers: a number of reads, each a sound reply, with the 95th
/// percentile of their response times within its limit.
std::unique_ptr<TestStep> MakeCommunicationStep(PollCycle& engine, const StepPlan& step);
/// The device ID is the address polled; the baud-rate register the line rate
/// in hundreds.
std::unique_ptr<TestStep> MakeIdentityStep(PollCycle& engine, int address, int baud);
/// The relay follows on and off (and with a loopback fixture, the dry-contact
/// input follows the relay).
std::unique_ptr<TestStep> MakeRelayStep(PollCycle& engine, const StepPlan& step, bool loopback);
/// The linearity test, each point a measurement.
std::unique_ptr<TestStep> MakeLinearityStep(PollCycle& engine, const StepPlan& step);
/// The calibration commands, each carried out in time.
std::unique_ptr<TestStep> MakeCalibrationStep(PollCycle& engine, const StepPlan& step);
/// Leaves the module safe: relay off and output 0, each confirmed by a read.
std::unique_ptr<TestStep> MakeTeardownStep(PollCycle& engine);

/// The name of the teardown in the record.
inline const QString TeardownName = QStringLiteral("teardown");
