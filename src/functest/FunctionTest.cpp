#include "functest/FunctionTest.h"

#include "functest/TestSteps.h"
#include "poll/PollCycle.h"

#include <QTimer>

FunctionTest::FunctionTest(PollCycle& engine, TestPlan plan, TestRecord record)
    : m_engine(engine), m_plan(std::move(plan)), m_record(std::move(record)) {
    m_ticker.SetEnabled(false);
    m_ticker.SetInterval(static_cast<int>(TickInterval.count()));
    m_ticker.SetOnTimer([this] { tick(); });
    m_engine.AddListener(*this);
}

FunctionTest::~FunctionTest() {
    m_engine.RemoveListener(*this);
}

void FunctionTest::Start() {
    if (m_started) {
        return;
    }
    m_started = true;
    m_record.started = QDateTime::currentDateTime();
    m_record.verdict = TestVerdict::Incomplete;
    m_ticker.SetEnabled(true);
    handOut();
    beginNext();
}

QString FunctionTest::CurrentStep() const {
    return m_step && Running() ? m_step->Record().name : QString();
}

void FunctionTest::Abort(const QString& why) {
    if (!Running()) {
        return;
    }
    if (!m_aborted.isEmpty()) {
        // Asked twice: no more waiting, not even for the teardown.
        endNow(why);
        return;
    }
    m_aborted = why;
    if (m_step) {
        m_step->Abort(why);
    }
    settleLater();
}

void FunctionTest::endNow(const QString& why) {
    if (m_step) {
        m_step->TestStep::Abort(why);
        StepRecord record = m_step->Record();
        if (m_teardownBegun) {
            record.verdict = Verdict::Fail;
            record.message = QStringLiteral("not done: %1").arg(why);
        }
        m_record.steps.push_back(record);
        m_step.reset();
    }
    for (; m_next < m_plan.steps.size(); ++m_next) {
        recordSkipped(m_plan.steps[m_next], QStringLiteral("not run: %1").arg(why));
    }
    if (!m_teardownBegun) {
        StepRecord teardown;
        teardown.name = TeardownName;
        teardown.started = QDateTime::currentDateTime();
        teardown.verdict = Verdict::Fail;
        teardown.message =
            QStringLiteral("not done: %1; the relay and the output are as the test left them")
                .arg(why);
        m_record.steps.push_back(teardown);
        m_teardownBegun = true;
    }
    m_record.verdict = TestVerdict::Aborted;
    finish();
}

void FunctionTest::OnTraffic(const TrafficEvent& event) {
    if (m_step) {
        m_step->OnTraffic(event);
        settleLater();
    }
}

void FunctionTest::OnRequestSent(const PollRequest& request) {
    if (m_step) {
        m_step->OnRequestSent(request);
        settleLater();
    }
}

void FunctionTest::OnMissCounted() {
    if (m_step) {
        m_step->OnMissCounted();
        settleLater();
    }
}

void FunctionTest::OnReadout(const ReadoutSample& sample) {
    if (m_step) {
        m_step->OnReadout(sample);
        settleLater();
    }
}

void FunctionTest::tick() {
    if (!Running()) {
        return;
    }
    if (!m_engine.Polling()) {
        // Stop was pressed or the port closed: nothing more can be measured
        // or written, the teardown included.
        endNow(QStringLiteral("polling stopped"));
        return;
    }
    if (m_step) {
        m_step->OnTick(std::chrono::steady_clock::now());
        settle();
    }
}

void FunctionTest::settleLater() {
    // A step that ended inside the engine's call to a listener must not be
    // replaced there: the next one may add listeners to the engine.
    if (m_settlePending || !m_step || !m_step->Finished()) {
        return;
    }
    m_settlePending = true;
    QTimer::singleShot(0, &m_context, [this] {
        m_settlePending = false;
        settle();
    });
}

void FunctionTest::settle() {
    if (!Running() || !m_step || !m_step->Finished()) {
        return;
    }
    const StepRecord& record = m_step->Record();
    if (record.verdict == Verdict::Fail) {
        m_failed = true;
    }
    m_record.steps.push_back(record);
    const bool teardownEnded = m_teardownBegun;
    m_step.reset();
    if (teardownEnded) {
        m_record.verdict = !m_aborted.isEmpty() ? TestVerdict::Aborted
                           : m_failed           ? TestVerdict::Fail
                                                : TestVerdict::Pass;
        finish();
        return;
    }
    handOut();
    beginNext();
}

void FunctionTest::beginNext() {
    while (m_next < m_plan.steps.size()) {
        const StepPlan& plan = m_plan.steps[m_next++];
        if (!plan.enabled) {
            recordSkipped(plan, QStringLiteral("switched off in the plan"));
        } else if (!m_aborted.isEmpty()) {
            recordSkipped(plan, QStringLiteral("not run: %1").arg(m_aborted));
        } else if (m_failed && m_plan.stopAtFirstFailure) {
            recordSkipped(plan, QStringLiteral("not run after a failed step"));
        } else {
            m_step = makeStep(plan);
            m_step->Begin();
            settleLater();
            return;
        }
        handOut();
    }
    m_teardownBegun = true;
    m_step = MakeTeardownStep(m_engine);
    m_step->Begin();
    settleLater();
}

std::unique_ptr<TestStep> FunctionTest::makeStep(const StepPlan& step) {
    switch (step.kind) {
    case StepKind::Communication:
        return MakeCommunicationStep(m_engine, step);
    case StepKind::Identity:
        return MakeIdentityStep(m_engine, m_record.line.address, m_record.line.baud);
    case StepKind::Relay:
        return MakeRelayStep(m_engine, step, m_plan.loopback);
    case StepKind::OutputLinearity:
        return MakeLinearityStep(m_engine, step);
    case StepKind::Calibration:
        return MakeCalibrationStep(m_engine, step);
    }
    return nullptr;
}

void FunctionTest::recordSkipped(const StepPlan& step, const QString& why) {
    StepRecord record;
    record.name = StepKindName(step.kind);
    record.started = QDateTime::currentDateTime();
    record.verdict = Verdict::Skip;
    record.message = why;
    m_record.steps.push_back(record);
}

void FunctionTest::finish() {
    m_done = true;
    m_ticker.SetEnabled(false);
    m_record.finished = QDateTime::currentDateTime();
    if (m_onFinished) {
        m_onFinished(m_record);
    }
}

void FunctionTest::handOut() {
    if (m_onProgress) {
        m_onProgress(m_record);
    }
}
