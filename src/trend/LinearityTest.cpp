#include "trend/LinearityTest.h"

#include "modbus/Module.h"
#include "poll/PollCycle.h"

LinearityTest::LinearityTest(PollCycle& cycle, const LinearityPlan& plan)
    : m_cycle(cycle), m_outputs(LinearityOutputs(plan)) {
    m_result.plan = plan;
    m_result.plannedPoints = static_cast<int>(m_outputs.size());
    m_cycle.AddListener(*this);
}

LinearityTest::~LinearityTest() {
    m_cycle.RemoveListener(*this);
}

void LinearityTest::Start() {
    if (m_phase == Phase::Idle) {
        m_phase = Phase::Learning;
    }
}

void LinearityTest::Abort(LinearityStop reason) {
    stop(reason);
}

void LinearityTest::OnReadout(const ReadoutSample& sample) {
    if (!Running()) {
        return;
    }
    m_missedInRow = 0;
    switch (m_phase) {
    case Phase::Learning:
        m_result.originalOutput = sample.output;
        beginPoint(0);
        break;
    case Phase::Writing:
        switch (followWrite(sample)) {
        case WriteState::Waiting:
            break;
        case WriteState::Arrived:
            // The module has had the value since it answered the write.
            m_phase = Phase::Settling;
            m_settleEnd = settleStart(sample) + m_result.plan.settle;
            m_windowStart = m_settleEnd - LinearityWindow;
            m_feedbackSum = 0.0;
            m_readings = 0;
            // A short settle time may begin its window with this very read.
            settling(sample);
            break;
        case WriteState::Refused:
            stop(LinearityStop::OutputRefused, sample.output);
            break;
        }
        break;
    case Phase::Settling:
        settling(sample);
        break;
    case Phase::Restoring:
        if (const WriteState state = followWrite(sample); state != WriteState::Waiting) {
            m_result.restored = state == WriteState::Arrived;
            finish();
        }
        break;
    case Phase::Idle:
    case Phase::Done:
        break;
    }
}

void LinearityTest::settling(const ReadoutSample& sample) {
    if (sample.output != m_pendingValue) {
        stop(LinearityStop::OutputDisturbed, sample.output);
        return;
    }
    if (sample.time < m_windowStart) {
        return;
    }
    if (sample.time <= m_settleEnd) {
        m_feedbackSum += sample.feedback;
        ++m_readings;
        return;
    }
    if (m_readings == 0) {
        // A line slower than four reads a second may put no read into the
        // window: the first read after the settle time, settled even longer,
        // stands for it.
        m_feedbackSum = sample.feedback;
        m_readings = 1;
    }
    m_result.points.push_back(
        LinearityPoint{m_pendingValue, m_feedbackSum / m_readings, m_readings});
    if (m_point + 1 < PointCount()) {
        beginPoint(m_point + 1);
    } else {
        restore();
    }
}

void LinearityTest::OnTraffic(const TrafficEvent& event) {
    if (!Running() || event.direction != TrafficDirection::Rx ||
        event.verdict != TrafficVerdict::Ok) {
        return;
    }
    m_missedInRow = 0;
    m_lastSoundReply = event.elapsed;
    // The first sound reply after the write went out, before any read, is
    // the write's own.
    const bool awaitingWrite = m_phase == Phase::Writing || m_phase == Phase::Restoring;
    if (awaitingWrite && m_writeSent && !m_readAfterWrite) {
        m_writeAnswered = event.elapsed;
    }
}

LinearityTest::Clock::time_point
LinearityTest::settleStart(const ReadoutSample& confirmingRead) const {
    if (!m_writeAnswered || *m_writeAnswered > m_lastSoundReply) {
        return confirmingRead.time;
    }
    return confirmingRead.time - (m_lastSoundReply - *m_writeAnswered);
}

void LinearityTest::OnRequestSent(const PollRequest& request) {
    if (!Running()) {
        return;
    }
    if (!request.written) {
        stop(LinearityStop::WriteFailed);
        return;
    }
    const bool awaitingWrite = m_phase == Phase::Writing || m_phase == Phase::Restoring;
    if (request.kind == PollRequest::Kind::Write && awaitingWrite &&
        request.registerIndex == ModuleRegister::OutputDisplay && request.value == m_pendingValue) {
        m_writeSent = true;
        m_readAfterWrite = false;
        m_writeAnswered.reset();
        ++m_attempts;
        m_result.outputWritten = true;
    } else if (request.kind == PollRequest::Kind::Read && m_writeSent) {
        m_readAfterWrite = true;
    }
}

void LinearityTest::OnMissCounted() {
    if (Running() && ++m_missedInRow >= MissedRepliesLimit) {
        stop(LinearityStop::RepliesMissed, m_missedInRow);
    }
}

void LinearityTest::beginPoint(int index) {
    m_point = index;
    m_phase = Phase::Writing;
    requestWrite(m_outputs[static_cast<std::size_t>(index)]);
}

void LinearityTest::requestWrite(int value) {
    m_pendingValue = value;
    m_writeSent = false;
    m_readAfterWrite = false;
    m_writeAnswered.reset();
    m_attempts = 0;
    askMailbox();
}

void LinearityTest::askMailbox() {
    // As the ramp does: only into an empty mailbox, so a write the operator
    // asked for is not overwritten and every write is followed by a read.
    if (m_cycle.Mailbox() == WriteMode::Read) {
        m_cycle.RequestWrite(ModuleRegister::OutputDisplay, m_pendingValue);
    }
}

LinearityTest::WriteState LinearityTest::followWrite(const ReadoutSample& sample) {
    if (!m_readAfterWrite) {
        // Not sent yet: the mailbox was busy, or another write took its place.
        if (!m_writeSent) {
            askMailbox();
        }
        return WriteState::Waiting;
    }
    if (sample.output == m_pendingValue) {
        return WriteState::Arrived;
    }
    if (m_attempts >= WriteAttempts) {
        return WriteState::Refused;
    }
    m_writeSent = false;
    m_readAfterWrite = false;
    askMailbox();
    return WriteState::Waiting;
}

void LinearityTest::stop(LinearityStop reason, int detail) {
    if (m_phase == Phase::Done) {
        return;
    }
    if (m_result.stop == LinearityStop::None) {
        m_result.stop = reason;
        m_result.stopOutput = currentOutput();
        m_result.stopDetail = detail;
    }
    const bool lineLost = reason == LinearityStop::WriteFailed ||
                          reason == LinearityStop::RepliesMissed ||
                          reason == LinearityStop::PollingStopped;
    if (m_phase == Phase::Restoring || lineLost || !m_cycle.Polling()) {
        finish();
        return;
    }
    restore();
}

void LinearityTest::restore() {
    if (!m_result.originalOutput) {
        // Nothing was written yet.
        finish();
        return;
    }
    m_phase = Phase::Restoring;
    requestWrite(*m_result.originalOutput);
}

void LinearityTest::finish() {
    m_phase = Phase::Done;
    if (m_onFinished) {
        m_onFinished(m_result);
    }
}

std::optional<int> LinearityTest::currentOutput() const {
    switch (m_phase) {
    case Phase::Writing:
    case Phase::Settling:
        return m_outputs[static_cast<std::size_t>(m_point)];
    case Phase::Restoring:
        return m_result.originalOutput;
    default:
        return std::nullopt;
    }
}
