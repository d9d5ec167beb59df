#pragma once
// The function test of one unit on the poll engine: the plan's steps in
// order, then the teardown that leaves the module safe (relay off, output 0),
// whatever happened before: a pass, a failed step, a lost line, Stop, or a
// signal. The record is handed out at the start and after every step, so
// that a report on disk always says how far the test got.
//
//     FunctionTest test(engine, plan, record);   // engine: polling
//     test.SetOnProgress([](const TestRecord& r) { /* write the report */ });
//     test.SetOnFinished([](const TestRecord& r) { /* verdict */ });
//     test.Start();
//
// Everything runs on the engine's thread.

#include "functest/TestPlan.h"
#include "functest/TestRecord.h"
#include "platform/system/Timer.h"
#include "poll/PollListener.h"

#include <QObject>
#include <functional>
#include <memory>

class PollCycle;
class TestStep;

class FunctionTest : public PollListener {
public:
    using Handler = std::function<void(const TestRecord& record)>;

    /// How often the steps' time limits and the engine's polling are looked at.
    static constexpr std::chrono::milliseconds TickInterval{100};

    /// record: the unit and the line filled in; the steps are added as they end.
    FunctionTest(PollCycle& engine, TestPlan plan, TestRecord record);
    ~FunctionTest() override;
    FunctionTest(const FunctionTest&) = delete;
    FunctionTest& operator=(const FunctionTest&) = delete;

    void SetOnProgress(Handler handler) { m_onProgress = std::move(handler); }
    void SetOnFinished(Handler handler) { m_onFinished = std::move(handler); }

    /// Begins with the first step; the engine must be polling.
    void Start();
    /// Stops the test as ABORTED: the step under way ends (a step that changed
    /// the module puts it back first), the rest are skipped and the teardown
    /// runs. A second call ends the test at once, teardown or not.
    void Abort(const QString& why);

    bool Running() const { return m_started && !m_done; }
    bool Done() const { return m_done; }
    const TestRecord& Record() const { return m_record; }
    /// The name of the step under way; empty when none is.
    QString CurrentStep() const;

    void OnTraffic(const TrafficEvent& event) override;
    void OnRequestSent(const PollRequest& request) override;
    void OnMissCounted() override;
    void OnReadout(const ReadoutSample& sample) override;

private:
    void tick();
    /// Moves on once the step under way has ended, outside the engine's call.
    void settleLater();
    void settle();
    void beginNext();
    std::unique_ptr<TestStep> makeStep(const StepPlan& step);
    void recordSkipped(const StepPlan& step, const QString& why);
    /// Ends the test as aborted without waiting for anything.
    void endNow(const QString& why);
    void finish();
    void handOut();

    PollCycle& m_engine;
    TestPlan m_plan;
    TestRecord m_record;
    Handler m_onProgress;
    Handler m_onFinished;
    Timer m_ticker;
    QObject m_context; // for calls made after the engine's call returned
    std::unique_ptr<TestStep> m_step;
    std::size_t m_next = 0; // the plan's next step
    bool m_teardownBegun = false;
    bool m_failed = false;
    QString m_aborted; // why, once aborted
    bool m_started = false;
    bool m_done = false;
    bool m_settlePending = false;
};
