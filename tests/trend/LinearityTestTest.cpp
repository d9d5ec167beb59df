// The linearity test on the poll engine, against a scripted module whose
// replies arrive at chosen moments: which reads make a point, the writes
// through the mailbox, the verdict, the output written back, and the early
// ends that fail the test.

#include "tests/poll/EngineFakes.h"

#include "modbus/Module.h"
#include "poll/PollCycle.h"
#include "trend/LinearityTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// One request every 50 ms, answered at once: reads show the output as last
// written and a feedback the test chooses from the time since that write.
class ScriptedModule {
public:
    static constexpr milliseconds Period{50};

    ScriptedModule() { EXPECT_TRUE(cycle.Start()); }

    void tick() {
        const std::size_t sent = port.written.size();
        cycle.Tick();
        if (port.written.size() > sent && answering) {
            answer(port.written.back());
        }
        now += Period;
    }

    // Ticks until the test is over (or a minute of its time has passed).
    void runUntilFinished(const LinearityTest& test) {
        for (int tick = 0; tick < 1200 && !test.Finished(); ++tick) {
            this->tick();
        }
        EXPECT_TRUE(test.Finished());
    }

    FakePort port;
    FakeView view;
    PollCycle cycle{port, view};
    std::uint16_t output = 700;
    std::function<int(int output, milliseconds sinceWrite)> feedback = [](int out, milliseconds) {
        return out;
    };
    bool answering = true;
    std::optional<std::uint16_t> heldOutput; // the output register refuses writes
    std::vector<int> writes;                 // values written to the output, in order
    std::vector<char> requests;              // 'r' a read, 'w' a write, in order

private:
    void answer(const Bytes& request) {
        const auto arrived = start + now;
        if (request[1] == FunctionWriteSingle) {
            requests.push_back('w');
            writes.push_back(request[4] << 8 | request[5]);
            output = heldOutput.value_or(static_cast<std::uint16_t>(writes.back()));
            written = now;
            port.deliver(request, arrived);
            return;
        }
        requests.push_back('r');
        std::array<std::uint16_t, 20> registers{};
        registers[ModuleRegister::OutputDisplay] = output;
        registers[ModuleRegister::FeedbackDisplay] =
            static_cast<std::uint16_t>(feedback(output, now - written));
        port.deliver(makeReadReply(1, registers), arrived);
    }

    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    milliseconds now{0};
    milliseconds written{0};
};

LinearityPlan twoPoints() {
    LinearityPlan plan;
    plan.from = 1000;
    plan.to = 1200;
    plan.step = 200;
    plan.settle = 300ms;
    plan.tolerancePercent = 0.5;
    return plan;
}

TEST(LinearityOnTheEngine, MeansTheReadsOfTheLastQuarterSecondAndWritesTheOutputBack) {
    ScriptedModule module;
    // The write is answered at once and confirmed by the read 50 ms after
    // it; the settle time runs from the write's reply to 350 ms, so the
    // window holds the reads from 100 to 350 ms: 6 of them. The first point
    // reads 2, 4 ... 12 above its output there (mean +7) after a wild start;
    // the second stays 15 above.
    module.feedback = [](int out, milliseconds since) {
        if (since < 100ms) {
            return out + 300;
        }
        if (out == 1000) {
            return out + 2 * static_cast<int>((since.count() - 50) / 50);
        }
        return out + 15;
    };
    LinearityPlan plan = twoPoints();
    plan.settle = 350ms;
    LinearityTest test(module.cycle, plan);
    std::optional<LinearityResult> told;
    test.SetOnFinished([&](const LinearityResult& result) { told = result; });
    test.Start();
    module.runUntilFinished(test);

    ASSERT_TRUE(told.has_value());
    const LinearityResult& result = *told;
    ASSERT_EQ(result.points.size(), 2U);
    EXPECT_EQ(result.points[0].output, 1000);
    EXPECT_EQ(result.points[0].readings, 6);
    EXPECT_DOUBLE_EQ(result.points[0].feedback, 1007.0);
    EXPECT_EQ(result.points[1].output, 1200);
    EXPECT_DOUBLE_EQ(result.points[1].feedback, 1215.0);
    EXPECT_TRUE(result.Complete());
    EXPECT_FALSE(result.Passed());
    EXPECT_EQ(LinearitySummaryLine(result),
              "linearity: max deviation 0.682% at output 1200, tolerance 0.5%: FAIL");

    // Each value written once, the old output last, and a read after every write.
    EXPECT_EQ(module.writes, (std::vector<int>{1000, 1200, 700}));
    for (std::size_t i = 0; i + 1 < module.requests.size(); ++i) {
        EXPECT_FALSE(module.requests[i] == 'w' && module.requests[i + 1] == 'w') << i;
    }
    EXPECT_EQ(result.originalOutput, 700);
    EXPECT_TRUE(result.restored);
    EXPECT_EQ(module.output, 700);

    // Within a 1 % tolerance the same readings pass.
    ScriptedModule again;
    again.feedback = module.feedback;
    LinearityPlan wide = plan;
    wide.tolerancePercent = 1.0;
    LinearityTest passing(again.cycle, wide);
    passing.Start();
    again.runUntilFinished(passing);
    EXPECT_TRUE(passing.Result().Passed());
    EXPECT_EQ(LinearitySummaryLine(passing.Result()),
              "linearity: max deviation 0.682% at output 1200, tolerance 1%: PASS");
}

TEST(LinearityOnTheEngine, EndsEarlyAsFailedWithTheReasonAndNeverPassesOnMissingPoints) {
    LinearityPlan plan = twoPoints();
    plan.tolerancePercent = 50.0; // whatever was measured would pass

    // The module falls silent while the first point settles.
    ScriptedModule silent;
    LinearityTest lost(silent.cycle, plan);
    lost.Start();
    for (int tick = 0; tick < 5; ++tick) {
        silent.tick();
    }
    silent.answering = false;
    silent.runUntilFinished(lost);
    EXPECT_EQ(lost.Result().stop, LinearityStop::RepliesMissed);
    EXPECT_TRUE(lost.Result().points.empty());
    EXPECT_FALSE(lost.Result().restored);
    EXPECT_EQ(LinearitySummaryLine(lost.Result()),
              "linearity: no point measured, tolerance 50%: FAIL (line lost at output 1000: no "
              "reply to 3 requests in a row)");

    // The port refuses to send after the first point.
    ScriptedModule unplugged;
    LinearityTest refused(unplugged.cycle, plan);
    refused.Start();
    while (refused.Result().points.empty() && !refused.Finished()) {
        unplugged.tick();
    }
    unplugged.port.failWrite = true;
    unplugged.runUntilFinished(refused);
    EXPECT_EQ(refused.Result().stop, LinearityStop::WriteFailed);
    EXPECT_EQ(refused.Result().points.size(), 1U);
    EXPECT_FALSE(refused.Result().Passed());
    EXPECT_EQ(LinearityStopText(refused.Result()),
              "line lost at output 1200: the port refuses to send");

    // The output register keeps its own value: three writes, then the verdict.
    ScriptedModule stuck;
    stuck.heldOutput = 333;
    LinearityTest notTaken(stuck.cycle, plan);
    notTaken.Start();
    stuck.runUntilFinished(notTaken);
    EXPECT_EQ(notTaken.Result().stop, LinearityStop::OutputRefused);
    EXPECT_EQ(std::count(stuck.writes.begin(), stuck.writes.end(), 1000), 3);
    EXPECT_EQ(LinearityStopText(notTaken.Result()),
              "the output register does not take 1000, it reads 333");

    // Stopped by the operator while settling: the output is still written back.
    ScriptedModule watched;
    LinearityTest stopped(watched.cycle, plan);
    stopped.Start();
    for (int tick = 0; tick < 4; ++tick) {
        watched.tick();
    }
    stopped.Abort(LinearityStop::Interrupted);
    watched.runUntilFinished(stopped);
    EXPECT_EQ(stopped.Result().stop, LinearityStop::Interrupted);
    EXPECT_TRUE(stopped.Result().restored);
    EXPECT_EQ(watched.writes, (std::vector<int>{1000, 700}));
    EXPECT_FALSE(stopped.Result().Passed());
}

} // namespace
