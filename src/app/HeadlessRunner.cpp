#include "app/HeadlessRunner.h"

HeadlessRunner::HeadlessRunner(PollPort& port, const RunnerOptions& options, std::FILE* out,
                               std::FILE* err)
    : m_options(options), m_out(out), m_view(out, err), m_cycle(port, m_view),
      m_writes(options.writes.begin(), options.writes.end()) {
    m_view.SetAddress(options.address);
    // The runner counts ticks around the engine's own tick handler.
    m_cycle.PollTimer().SetOnTimer([this] { onTick(); });
}

int HeadlessRunner::Run() {
    if (!m_cycle.skButton2Click()) {
        return 1;
    }
    queueNextWrite();
    if (m_interrupted) {
        m_cycle.skButton3Click();
    }
    m_loop.exec();
    printSummary();
    return 0;
}

void HeadlessRunner::Interrupt() {
    m_interrupted = true;
    m_cycle.skButton3Click();
}

void HeadlessRunner::onTick() {
    m_cycle.tmr1Timer();
    if (!m_cycle.Polling()) {
        // That was the stopping tick: the last request is settled, the port closed.
        m_loop.quit();
        return;
    }
    ++m_ticks;
    queueNextWrite();
    if (m_options.cycles && m_ticks >= *m_options.cycles) {
        m_cycle.skButton3Click();
    }
}

void HeadlessRunner::queueNextWrite() {
    // Like the write dialog's ramp: a new write only once a read has emptied the
    // mailbox, so every write is followed by at least one read.
    if (m_writes.empty() || m_cycle.WriteMode() != WriteModeRead) {
        return;
    }
    const auto [registerIndex, value] = m_writes.front();
    m_writes.pop_front();
    m_cycle.RequestWriteToRegister(registerIndex, value);
}

void HeadlessRunner::printSummary() {
    const QByteArray summary =
        (m_view.CountersLine() + '\n' + m_view.RegistersLine() + '\n').toUtf8();
    std::fwrite(summary.constData(), 1, static_cast<std::size_t>(summary.size()), m_out);
    std::fflush(m_out);
}
