#include "session/PollSession.h"

#include "poll/PollPort.h"

PollSession::PollSession(std::unique_ptr<PollPort> line, PollView& view,
                         PollCycle::ClockFunction clock)
    : m_line(std::move(line)), m_keeper(*m_line), m_engine(m_shared.PollTurn(), view, clock),
      m_listen(m_shared.ListenTurn(), view, clock) {
    m_engine.AddListener(m_statistics);
    m_engine.AddListener(m_recorder);
    m_engine.AddListener(m_trend);
    m_listen.AddListener(m_statistics);
    m_listen.AddListener(m_recorder);
    m_listen.AddListener(m_trend);
}

PollSession::~PollSession() {
    m_engine.RemoveListener(m_trend);
    m_engine.RemoveListener(m_recorder);
    m_engine.RemoveListener(m_statistics);
    m_listen.RemoveListener(m_trend);
    m_listen.RemoveListener(m_recorder);
    m_listen.RemoveListener(m_statistics);
}
