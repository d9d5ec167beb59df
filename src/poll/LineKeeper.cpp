#include "poll/LineKeeper.h"

#include <QCoreApplication>

LineKeeper::LineKeeper(PollPort& line) : ForwardingLine(line), m_line(line) {
    m_retry.SetEnabled(false);
    m_retry.SetInterval(static_cast<int>(RetryInterval.count()));
    m_retry.SetOnTimer([this] { retry(); });
    m_line.SetOnLineChange([this](const LineChange& change) { lineChanged(change); });
}

LineKeeper::~LineKeeper() {
    m_line.SetOnLineChange(nullptr);
}

bool LineKeeper::Connected() const {
    return m_lost || m_line.Connected();
}

PortResult LineKeeper::Open() {
    return m_line.Open();
}

PortResult LineKeeper::Close() {
    if (m_lost) {
        // The dead device was let go when the line went away; what is left
        // is to stop looking for it.
        m_lost = false;
        m_retry.SetEnabled(false);
        return std::nullopt;
    }
    return m_line.Close();
}

PortResult LineKeeper::Write(const std::uint8_t* bytes, int count) {
    if (m_lost) {
        return lostError();
    }
    PortResult failure = m_line.Write(bytes, count);
    if (failure && failure->kind == PortError::Kind::LineLost) {
        lose(failure->text);
        return lostError();
    }
    return failure;
}

PortRead LineKeeper::Read(std::uint8_t* buffer, int count) {
    if (m_lost) {
        return {};
    }
    PortRead read = m_line.Read(buffer, count);
    if (read.error && read.error->kind == PortError::Kind::LineLost) {
        lose(read.error->text);
        return {};
    }
    return read;
}

int LineKeeper::PendingInput() const {
    return m_lost ? 0 : m_line.PendingInput();
}

PortResult LineKeeper::SetLineRate(TBaudRate rate) {
    return m_lost ? lostError() : m_line.SetLineRate(rate);
}

PortError LineKeeper::lostError() const {
    return PortError{PortError::Kind::LineLost, m_reason};
}

void LineKeeper::ExpectReply(int count) {
    if (!m_lost) {
        m_line.ExpectReply(count);
    }
}

void LineKeeper::SetOnLineChange(std::function<void(const LineChange& change)> handler) {
    m_onLineChange = std::move(handler);
}

QString LineKeeper::LostText(const QString& reason) {
    return reason + QLatin1Char(' ') + tr("Trying to open it again every second.");
}

QString LineKeeper::BackText(std::chrono::steady_clock::duration away) {
    const auto seconds = std::chrono::duration<double>(away);
    return tr("The line is back after %1 s.").arg(seconds.count(), 0, 'f', 1);
}

void LineKeeper::lose(const QString& reason) {
    m_lost = true;
    m_lostAt = std::chrono::steady_clock::now();
    const bool reopen = m_line.CanReopen();
    m_lostReason = reopen ? LostText(reason) : reason;
    m_reason = m_lostReason;
    // The dead device is let go at once: its event thread has stopped
    // listening, and a USB adapter plugged back in gets its old name again
    // only once nothing holds that name any more.
    // A device that is gone cannot be restored; it is released anyway.
    static_cast<void>(m_line.Close());
    // A line that cannot come back under its name is not looked for; the
    // engine polls on as before, every request failing with the reason.
    m_retry.SetEnabled(reopen);
    tell(LineChange::Kind::Lost, m_reason);
}

void LineKeeper::retry() {
    m_renamed.clear();
    QString refusal;
    bool opened = false;
    m_retrying = true;
    if (const PortResult failure = m_line.Open()) {
        // Not there yet, unless the name now leads to another adapter; the
        // next attempt comes in a second.
        if (failure->kind == PortError::Kind::AdapterChanged) {
            refusal = failure->text;
        }
    } else {
        opened = true;
    }
    m_retrying = false;
    if (!opened) {
        // While the name leads to another adapter, requests are refused
        // with that reason; otherwise with why the line was lost.
        m_reason = refusal.isEmpty() ? m_lostReason : refusal;
        return;
    }
    m_lost = false;
    m_retry.SetEnabled(false);
    QString text = BackText(std::chrono::steady_clock::now() - m_lostAt);
    if (!m_renamed.isEmpty()) {
        text += QLatin1Char(' ') + m_renamed;
    }
    tell(LineChange::Kind::Back, text);
}

void LineKeeper::lineChanged(const LineChange& change) {
    // The adapter found under a new name while the line comes back is told
    // together with its coming back, in one note.
    if (m_retrying && change.kind == LineChange::Kind::Moved) {
        m_renamed = change.text;
        return;
    }
    tell(change.kind, change.text);
}

void LineKeeper::tell(LineChange::Kind kind, const QString& text) {
    if (m_onLineChange) {
        m_onLineChange({kind, text});
    }
}
