#include "session/SharedLine.h"

SharedLine::SharedLine(PollPort& line) : m_line(line) {
    m_line.SetOnRxChar([this](int count) {
        if (m_holder != nullptr && m_holder->m_onRxChar) {
            m_holder->m_onRxChar(count);
        }
    });
    m_line.SetOnLineChange([this](const LineChange& change) {
        if (m_holder != nullptr && m_holder->m_onLineChange) {
            m_holder->m_onLineChange(change);
        }
    });
}

SharedLine::~SharedLine() {
    m_line.SetOnRxChar(nullptr);
    m_line.SetOnLineChange(nullptr);
}

bool SharedLine::Turn::Connected() const {
    return m_shared.m_holder == this && m_shared.m_line.Connected();
}

PortResult SharedLine::Turn::Open() {
    if (m_shared.m_holder == &m_other && m_shared.m_line.Connected()) {
        return PortError{PortError::Kind::Refused,
                         SharedLine::tr("The line is in use: polling and listening take turns.")};
    }
    // Events of the opening itself (an adapter found under a new name) are
    // this turn's already.
    Turn* const before = m_shared.m_holder;
    m_shared.m_holder = this;
    PortResult failure = m_shared.m_line.Open();
    if (failure && !m_shared.m_line.Connected()) {
        m_shared.m_holder = before;
    }
    return failure;
}

PortResult SharedLine::Turn::Write(const std::uint8_t* bytes, int count) {
    // Only the turn holding the line may send on it.
    if (m_shared.m_holder != this) {
        return PortError{PortError::Kind::Refused,
                         SharedLine::tr("The line is in use: polling and listening take turns.")};
    }
    return m_shared.m_line.Write(bytes, count);
}

PortResult SharedLine::Turn::Close() {
    // The other turn's line is not this one's to close (a poll engine's
    // stopping tick while the line is listened to).
    if (m_shared.m_holder != this) {
        return std::nullopt;
    }
    return m_shared.m_line.Close();
}
