#include "functest/RegisterWrite.h"

#include "poll/PollCycle.h"

void RegisterWrite::Start(int registerIndex, std::uint16_t value, Clock::duration timeout,
                          Confirmation confirmed) {
    m_state = State::Waiting;
    m_register = registerIndex;
    m_value = value;
    m_confirmed =
        confirmed ? std::move(confirmed) : [registerIndex, value](const RegisterValues& r) {
            return r[static_cast<std::size_t>(registerIndex)] == value;
        };
    m_started = Clock::now();
    m_deadline = m_started + timeout;
    m_firstSent.reset();
    m_endedAt.reset();
    m_sent = false;
    m_readAfterWrite = false;
    m_acknowledged = false;
    m_hasRead = false;
    m_attempts = 0;
    m_refusal.clear();
    m_failure.clear();
    askMailbox();
}

void RegisterWrite::askMailbox() {
    if (m_engine.Mailbox() == WriteMode::Read) {
        m_engine.RequestWrite(m_register, m_value);
    }
}

void RegisterWrite::OnRequestSent(const PollRequest& request) {
    if (m_state != State::Waiting) {
        return;
    }
    if (request.kind == PollRequest::Kind::Write && request.registerIndex == m_register &&
        request.value == m_value) {
        if (!request.written) {
            // The line refused it; the mailbox is empty again, so it is asked
            // for again at the next read or tick, until the time is up.
            m_refusal = QStringLiteral("the port refused the write");
            return;
        }
        m_sent = true;
        m_readAfterWrite = false;
        ++m_attempts;
        if (!m_firstSent) {
            m_firstSent = Clock::now();
        }
    } else if (request.kind == PollRequest::Kind::Read && m_sent) {
        m_readAfterWrite = true;
    }
}

void RegisterWrite::OnTraffic(const TrafficEvent& event) {
    // The module's answer to the write itself: sound, or an exception that
    // says why it will not take it.
    if (m_state != State::Waiting || !m_sent || m_readAfterWrite ||
        event.direction != TrafficDirection::Rx) {
        return;
    }
    if (event.verdict == TrafficVerdict::Ok) {
        m_acknowledged = true;
    } else if (event.verdict == TrafficVerdict::Exception) {
        m_refusal =
            QStringLiteral("the module refused the write (%1)").arg(TrafficVerdictText(event));
    }
}

void RegisterWrite::OnReadout(const ReadoutSample& sample) {
    if (m_state != State::Waiting) {
        return;
    }
    if (!m_readAfterWrite) {
        // Not sent yet: the mailbox was busy, or another write took its place.
        if (!m_sent) {
            askMailbox();
        }
        return;
    }
    m_lastRead = sample.registers;
    m_hasRead = true;
    const bool holdsValue = sample.registers[static_cast<std::size_t>(m_register)] == m_value;
    if (m_confirmed(sample.registers) && (m_acknowledged || holdsValue)) {
        m_state = State::Confirmed;
        m_endedAt = Clock::now();
        return;
    }
    // The register does not hold the value: the write did not arrive, or the
    // module would not take it. Sent again, a few times.
    if (!holdsValue && m_attempts < Attempts) {
        m_sent = false;
        m_readAfterWrite = false;
        askMailbox();
    }
}

void RegisterWrite::OnTick(Clock::time_point now) {
    if (m_state != State::Waiting) {
        return;
    }
    if (now >= m_deadline) {
        QString why =
            QStringLiteral("not confirmed within %1 ms")
                .arg(std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - m_started)
                         .count());
        if (!m_firstSent) {
            why = QStringLiteral("could not be sent within %1 ms")
                      .arg(std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline -
                                                                                 m_started)
                               .count());
        }
        if (!m_refusal.isEmpty()) {
            why += QStringLiteral(" (%1)").arg(m_refusal);
        }
        fail(why);
        return;
    }
    if (!m_sent) {
        askMailbox();
    }
}

void RegisterWrite::fail(const QString& why) {
    m_state = State::Failed;
    m_failure = why;
    m_endedAt = Clock::now();
}

std::chrono::milliseconds RegisterWrite::Elapsed() const {
    const Clock::time_point from = m_firstSent.value_or(m_started);
    const Clock::time_point to = m_endedAt.value_or(Clock::now());
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from);
}
