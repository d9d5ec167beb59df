#include "functest/TestSteps.h"

#include "poll/PollCycle.h"
#include "trend/LinearityTest.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>

using namespace std::chrono_literals;

TestStep::TestStep(PollCycle& engine, QString name) : m_engine(engine) {
    m_record.name = std::move(name);
}

TestStep::~TestStep() = default;

void TestStep::Begin() {
    m_record.started = QDateTime::currentDateTime();
    m_began = Clock::now();
    begin();
}

void TestStep::Abort(const QString& why) {
    skip(why);
}

void TestStep::finish(const QString& failure) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_record.duration =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_began);
    const bool measured = std::all_of(m_record.measurements.begin(), m_record.measurements.end(),
                                      [](const Measurement& m) { return m.Passed(); });
    m_record.verdict = measured && failure.isEmpty() ? Verdict::Pass : Verdict::Fail;
    if (!failure.isEmpty()) {
        m_record.message = failure;
    } else if (!measured) {
        // Say which measurements strayed, so the record needs no reading twice.
        QStringList outside;
        for (const Measurement& m : m_record.measurements) {
            if (!m.Passed()) {
                outside.append(QStringLiteral("%1 = %2 %3 is outside %4..%5")
                                   .arg(m.name, ValueText(m.value), m.unit, ValueText(m.low),
                                        ValueText(m.high))
                                   .simplified());
            }
        }
        m_record.message = outside.join(QStringLiteral("; "));
    }
}

void TestStep::skip(const QString& why) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_record.duration =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_began);
    m_record.verdict = Verdict::Skip;
    m_record.message = why;
}

void TestStep::measure(const QString& name, double value, double low, double high,
                       const QString& unit) {
    m_record.measurements.push_back(Measurement{name, value, low, high, unit});
}

namespace {

// Reads, each to be answered soundly, and how fast.
class CommunicationStep : public TestStep {
public:
    CommunicationStep(PollCycle& engine, const StepPlan& plan)
        : TestStep(engine, StepKindName(StepKind::Communication)), m_reads(plan.reads),
          m_limit(plan.responseP95LimitMs) {}

    void OnRequestSent(const PollRequest& request) override {
        // Only reads sent from now on count; a request already on the line
        // when the step began settles without being counted.
        if (request.kind == PollRequest::Kind::Read && m_sent < m_reads) {
            ++m_sent;
            m_pending = true;
        }
    }

    void OnTraffic(const TrafficEvent& event) override {
        if (!m_pending || event.direction == TrafficDirection::Tx) {
            return;
        }
        if (event.direction == TrafficDirection::Rx && event.verdict == TrafficVerdict::Ok) {
            m_pending = false;
            ++m_sound;
            if (event.responseTime) {
                m_responses.push_back(static_cast<double>(event.responseTime->count()) / 1000.0);
            }
            settle();
            return;
        }
        // What made a reply unsound, or why there was none; the miss follows.
        if (event.verdict != TrafficVerdict::Echo && event.verdict != TrafficVerdict::Unexpected) {
            ++m_failures[TrafficVerdictText(event)];
        }
    }

    void OnMissCounted() override {
        if (m_pending) {
            m_pending = false;
            ++m_missed;
            settle();
        }
    }

private:
    void begin() override {}

    void settle() {
        if (m_sound + m_missed < m_reads) {
            return;
        }
        measure(QStringLiteral("sound_replies"), m_sound, m_reads, m_reads);
        if (!m_responses.empty()) {
            // The nearest-rank 95th percentile: no more than one in twenty
            // replies took longer.
            std::sort(m_responses.begin(), m_responses.end());
            const auto rank =
                static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(m_responses.size())));
            measure(QStringLiteral("response_p95_ms"),
                    m_responses[std::max<std::size_t>(rank, 1) - 1], 0.0, m_limit,
                    QStringLiteral("ms"));
        }
        if (m_missed == 0) {
            finish();
            return;
        }
        QStringList causes;
        for (const auto& [verdict, count] : m_failures) {
            causes.append(QStringLiteral("%1 %2").arg(verdict).arg(count));
        }
        const QString message =
            m_sound == 0
                ? QStringLiteral("the unit does not answer: %1 of %2 reads without a sound reply")
                : QStringLiteral("%1 of %2 reads without a sound reply");
        QString text = message.arg(m_missed).arg(m_reads);
        if (!causes.isEmpty()) {
            text += QStringLiteral(" (%1)").arg(causes.join(QStringLiteral(", ")));
        }
        finish(text);
    }

    int m_reads;
    double m_limit;
    int m_sent = 0;
    bool m_pending = false;
    int m_sound = 0;
    int m_missed = 0;
    std::vector<double> m_responses;
    std::map<QString, int> m_failures;
};

// The module tells its address and rate.
class IdentityStep : public TestStep {
public:
    static constexpr auto Limit = 5s;

    IdentityStep(PollCycle& engine, int address, int baud)
        : TestStep(engine, StepKindName(StepKind::Identity)), m_address(address), m_baud(baud) {}

    void OnRequestSent(const PollRequest& request) override {
        if (request.kind == PollRequest::Kind::Read) {
            m_fresh = true;
        }
    }

    void OnReadout(const ReadoutSample& sample) override {
        if (!m_fresh) {
            return;
        }
        const int hundreds = m_baud / static_cast<int>(ModuleCommand::BaudRateUnit);
        measure(QStringLiteral("device_id"), sample.registers[ModuleRegister::DeviceId], m_address,
                m_address);
        measure(QStringLiteral("baud_rate"), sample.registers[ModuleRegister::BaudRate], hundreds,
                hundreds, QStringLiteral("x100 bit/s"));
        finish();
    }

    void OnTick(Clock::time_point now) override {
        if (now - m_began >= Limit) {
            finish(QStringLiteral("no sound read within %1 s").arg(Limit.count()));
        }
    }

private:
    void begin() override { m_began = Clock::now(); }

    int m_address;
    int m_baud;
    bool m_fresh = false; // a read went out since the step began
    Clock::time_point m_began;
};

// Steps made of writes, one after the other, each followed by reads.
class WritingStep : public TestStep {
public:
    using TestStep::TestStep;

    void OnRequestSent(const PollRequest& request) override { m_write.OnRequestSent(request); }
    void OnTraffic(const TrafficEvent& event) override { m_write.OnTraffic(event); }
    void OnReadout(const ReadoutSample& sample) override {
        m_write.OnReadout(sample);
        advance();
    }
    void OnTick(Clock::time_point now) override {
        m_write.OnTick(now);
        advance();
    }

protected:
    struct Write {
        QString label; ///< for messages: "relay on"
        int registerIndex = 0;
        std::uint16_t value = 0;
        RegisterWrite::Confirmation confirmed; ///< empty: the register holds the value
        /// Records what the write found.
        std::function<void(const RegisterWrite& write)> done;
    };

    void begin() override { startNext(); }

    std::vector<Write> m_writes;
    Clock::duration m_timeout = 3s;

private:
    void startNext() {
        if (m_next >= m_writes.size()) {
            finish(m_failures.join(QStringLiteral("; ")));
            return;
        }
        const Write& write = m_writes[m_next];
        m_write.Start(write.registerIndex, write.value, m_timeout, write.confirmed);
    }

    void advance() {
        if (Finished() || !m_write.Finished() || m_next >= m_writes.size()) {
            return;
        }
        const Write& write = m_writes[m_next];
        if (m_write.Current() == RegisterWrite::State::Failed) {
            m_failures.append(write.label + QStringLiteral(": ") + m_write.Failure());
        }
        write.done(m_write);
        ++m_next;
        startNext();
    }

    RegisterWrite m_write{m_engine};
    std::size_t m_next = 0;
    QStringList m_failures;
};

bool relayIs(const RegisterValues& registers, std::uint16_t state) {
    return (registers[ModuleRegister::Relay] & 1U) == state;
}

class RelayStep : public WritingStep {
public:
    RelayStep(PollCycle& engine, const StepPlan& plan, bool loopback)
        : WritingStep(engine, StepKindName(StepKind::Relay)) {
        m_timeout = plan.timeout;
        for (const std::uint16_t state : {ModuleCommand::RelayOn, ModuleCommand::RelayOff}) {
            const QString suffix =
                state == ModuleCommand::RelayOn ? QStringLiteral("on") : QStringLiteral("off");
            Write write;
            write.label = QStringLiteral("relay ") + suffix;
            write.registerIndex = ModuleRegister::Relay;
            write.value = state;
            write.confirmed = [state, loopback](const RegisterValues& registers) {
                return relayIs(registers, state) &&
                       (!loopback || registers[ModuleRegister::DryContact] == state);
            };
            write.done = [this, state, suffix, loopback](const RegisterWrite& done) {
                if (!done.HasRead()) {
                    return;
                }
                const RegisterValues& read = done.LastRead();
                measure(QStringLiteral("relay_") + suffix, read[ModuleRegister::Relay] & 1U, state,
                        state);
                if (loopback) {
                    measure(QStringLiteral("dry_contact_") + suffix,
                            read[ModuleRegister::DryContact], state, state);
                }
            };
            m_writes.push_back(std::move(write));
        }
    }
};

class CalibrationStep : public WritingStep {
public:
    CalibrationStep(PollCycle& engine, const StepPlan& plan)
        : WritingStep(engine, StepKindName(StepKind::Calibration)) {
        m_timeout = plan.timeout;
        const double limit = static_cast<double>(plan.timeout.count());
        for (const CalibrationCommand command : plan.commands) {
            const QString name = CalibrationCommandName(command);
            if (command == CalibrationCommand::OutputSpan) {
                // The span goes into its register first, then the command
                // that takes it over.
                Write span;
                span.label = name + QStringLiteral(" value");
                span.registerIndex = ModuleRegister::OutputSpan;
                span.value = plan.span;
                span.done = [](const RegisterWrite&) {};
                m_writes.push_back(std::move(span));
            }
            Write write;
            write.label = name;
            write.registerIndex = ModuleRegister::CalibrationCommand;
            write.value = commandValue(command);
            // Carried out: the module clears the command register.
            write.confirmed = [](const RegisterValues& registers) {
                return registers[ModuleRegister::CalibrationCommand] == 0;
            };
            write.done = [this, name, limit](const RegisterWrite& done) {
                // A command not carried out has no time to show; the message says so.
                if (done.Current() == RegisterWrite::State::Confirmed) {
                    measure(name + QStringLiteral("_ms"),
                            static_cast<double>(done.Elapsed().count()), 0.0, limit,
                            QStringLiteral("ms"));
                }
            };
            m_writes.push_back(std::move(write));
        }
    }

private:
    static std::uint16_t commandValue(CalibrationCommand command) {
        switch (command) {
        case CalibrationCommand::InputZero:
            return ModuleCommand::CalibrateInputZero;
        case CalibrationCommand::Input20mA:
            return ModuleCommand::CalibrateInput20mA;
        case CalibrationCommand::OutputSpan:
            return ModuleCommand::CalibrateOutputSpan;
        }
        return 0;
    }
};

class TeardownStep : public WritingStep {
public:
    explicit TeardownStep(PollCycle& engine) : WritingStep(engine, TeardownName) {
        Write relay;
        relay.label = QStringLiteral("relay off");
        relay.registerIndex = ModuleRegister::Relay;
        relay.value = ModuleCommand::RelayOff;
        relay.done = [this](const RegisterWrite& done) {
            if (done.HasRead()) {
                measure(QStringLiteral("relay"), done.LastRead()[ModuleRegister::Relay] & 1U, 0, 0);
            }
        };
        m_writes.push_back(std::move(relay));
        Write output;
        output.label = QStringLiteral("output 0");
        output.registerIndex = ModuleRegister::OutputDisplay;
        output.value = 0;
        output.done = [this](const RegisterWrite& done) {
            if (done.HasRead()) {
                measure(QStringLiteral("output"), done.LastRead()[ModuleRegister::OutputDisplay], 0,
                        0, QStringLiteral("counts"));
            }
        };
        m_writes.push_back(std::move(output));
    }

    /// The teardown is what leaves the module safe: it is never cut short.
    void Abort(const QString&) override {}
};

class LinearityStep : public TestStep {
public:
    LinearityStep(PollCycle& engine, const StepPlan& plan)
        : TestStep(engine, StepKindName(StepKind::OutputLinearity)), m_plan(plan.linearity) {}
    ~LinearityStep() override = default;

    void OnTick(Clock::time_point) override {
        // The test's own finish handler must not destroy it, so the result is
        // taken here, outside the engine's call.
        if (!Finished() && m_test && m_test->Finished()) {
            record(m_test->Result());
        }
    }

    void Abort(const QString& why) override {
        if (!m_test || !m_test->Running()) {
            TestStep::Abort(why);
            return;
        }
        // The output the test changed is written back before it ends.
        m_aborted = why;
        m_test->Abort(LinearityStop::Interrupted);
    }

private:
    void begin() override {
        m_test = std::make_unique<LinearityTest>(m_engine, m_plan);
        m_test->Start();
    }

    void record(const LinearityResult& result) {
        if (!m_aborted.isEmpty()) {
            skip(m_aborted);
            return;
        }
        const double tolerance = result.plan.tolerancePercent;
        for (const LinearityPoint& point : result.points) {
            measure(QStringLiteral("deviation@%1").arg(point.output), point.DeviationPercent(),
                    -tolerance, tolerance, QStringLiteral("%"));
        }
        finish(result.Complete() ? QString() : LinearityStopText(result));
    }

    LinearityPlan m_plan;
    std::unique_ptr<LinearityTest> m_test;
    QString m_aborted;
};

} // namespace

std::unique_ptr<TestStep> MakeCommunicationStep(PollCycle& engine, const StepPlan& step) {
    return std::make_unique<CommunicationStep>(engine, step);
}

std::unique_ptr<TestStep> MakeIdentityStep(PollCycle& engine, int address, int baud) {
    return std::make_unique<IdentityStep>(engine, address, baud);
}

std::unique_ptr<TestStep> MakeRelayStep(PollCycle& engine, const StepPlan& step, bool loopback) {
    return std::make_unique<RelayStep>(engine, step, loopback);
}

std::unique_ptr<TestStep> MakeLinearityStep(PollCycle& engine, const StepPlan& step) {
    return std::make_unique<LinearityStep>(engine, step);
}

std::unique_ptr<TestStep> MakeCalibrationStep(PollCycle& engine, const StepPlan& step) {
    return std::make_unique<CalibrationStep>(engine, step);
}

std::unique_ptr<TestStep> MakeTeardownStep(PollCycle& engine) {
    return std::make_unique<TeardownStep>(engine);
}
