#pragma once
// The automated linearity test of the module: for each output value of the
// plan it writes the output register through the engine's write mailbox, as
// the write dialog's ramp does (one write, then at least one read before the
// next), keeps polling for the settle time and takes the mean of the
// feedback over the reads of its last 250 ms. At the end it writes the
// output back to the value it had before.
//
//     LinearityTest test(cycle, plan);       // the engine must be polling
//     test.SetOnFinished([](const LinearityResult& result) { ... });
//     test.Start();
//
// A write counts as arrived once a read after it shows the new output; the
// settle time runs from the write's reply, when the module had taken the
// value (from the confirming read where the write's reply was missed). A
// write that a read does not confirm is sent again, twice at most. The test ends early, and fails,
// when the line is lost (a request the port refuses, or three replies missed in a row), when the
// output register does not take a value or changes under the test, or when it is aborted.
// Everything runs on the engine's thread; the test must outlive its run and must not be destroyed
// from inside its finish handler.

#include "poll/PollListener.h"
#include "trend/LinearityResult.h"

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class PollCycle;

class LinearityTest : public PollListener {
public:
    using FinishedHandler = std::function<void(const LinearityResult&)>;

    /// Replies missed in a row that mean the line is lost.
    static constexpr int MissedRepliesLimit = 3;
    /// Writes of one value before the output register counts as refusing it.
    static constexpr int WriteAttempts = 3;

    /// The plan must be sound (LinearityPlanError empty).
    LinearityTest(PollCycle& cycle, const LinearityPlan& plan);
    ~LinearityTest() override;
    LinearityTest(const LinearityTest&) = delete;
    LinearityTest& operator=(const LinearityTest&) = delete;

    /// Called once, when the test ends.
    void SetOnFinished(FinishedHandler handler) { m_onFinished = std::move(handler); }
    /// Begins with the next read, which tells the output's value before the test.
    void Start();
    /// Ends the test as failed (Interrupted or PollingStopped), also one not
    /// started yet. While the engine polls, an output the test changed is
    /// still written back before it finishes.
    void Abort(LinearityStop reason);

    bool Running() const { return m_phase != Phase::Idle && m_phase != Phase::Done; }
    bool Finished() const { return m_phase == Phase::Done; }
    /// The point being measured (0-based) and how many there are.
    int CurrentPoint() const { return m_point; }
    int PointCount() const { return static_cast<int>(m_outputs.size()); }
    const LinearityResult& Result() const { return m_result; }

    void OnReadout(const ReadoutSample& sample) override;
    void OnTraffic(const TrafficEvent& event) override;
    void OnRequestSent(const PollRequest& request) override;
    void OnMissCounted() override;

private:
    enum class Phase { Idle, Learning, Writing, Settling, Restoring, Done };
    using Clock = std::chrono::steady_clock;

    enum class WriteState { Waiting, Arrived, Refused };

    void settling(const ReadoutSample& sample);
    void beginPoint(int index);
    void requestWrite(int value);
    void askMailbox();
    /// Follows the pending write with a read: waiting until a read came after
    /// it, then whether that read shows the value. A value a read does not
    /// show is written again until the attempts are used up.
    WriteState followWrite(const ReadoutSample& sample);
    void stop(LinearityStop reason, int detail = 0);
    void restore();
    void finish();
    std::optional<int> currentOutput() const;
    Clock::time_point settleStart(const ReadoutSample& confirmingRead) const;

    PollCycle& m_cycle;
    std::vector<int> m_outputs;
    LinearityResult m_result;
    FinishedHandler m_onFinished;
    Phase m_phase = Phase::Idle;
    int m_point = 0;

    // The write waiting for confirmation: its value, whether the engine sent
    // it, whether a read followed, and how often it was sent.
    int m_pendingValue = 0;
    bool m_writeSent = false;
    bool m_readAfterWrite = false;
    int m_attempts = 0;

    // When the sound reply to the pending write came, and when the latest
    // sound reply came, both as the traffic record counts them from Start:
    // a read's readout follows its own traffic entry, so the two tell how
    // long before that read the write was answered.
    std::optional<std::chrono::microseconds> m_writeAnswered;
    std::chrono::microseconds m_lastSoundReply{0};

    // The point settling: when its settle time ends and what its window holds.
    Clock::time_point m_windowStart;
    Clock::time_point m_settleEnd;
    double m_feedbackSum = 0.0;
    int m_readings = 0;

    int m_missedInRow = 0;
};
