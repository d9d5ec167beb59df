#include "runner/RunnerView.h"

#include "poll/PollCycle.h"

#include <QStringList>

namespace {

void printLine(std::FILE* stream, const QString& line) {
    const QByteArray text = line.toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    std::fputc('\n', stream);
    // Lines go out as they happen, so a pipe sees them while the run goes on.
    std::fflush(stream);
}

} // namespace

RunnerView::RunnerView(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

void RunnerView::AppendMonitorLine(const QString& line) {
    if (m_out != nullptr) {
        printLine(m_out, line);
    }
}

void RunnerView::ShowOpenFailure(const PortError& error) {
    printLine(m_err, OpenFailureText());
    if (!error.text.isEmpty()) {
        printLine(m_err, error.text);
    }
}

void RunnerView::ShowWriteFailure(const std::optional<PortError>& error) {
    // Only the failure goes to standard error; the traffic shows the recovery.
    if (error && !error->text.isEmpty()) {
        printLine(m_err, error->text);
    }
}

void RunnerView::ShowLineNote(const QString& note) {
    printLine(m_err, note);
}

void RunnerView::PrintError(const QString& line) {
    printLine(m_err, line);
}

QString CountersLine(std::uint64_t requests, std::uint64_t misses) {
    return QStringLiteral("Tx=%1 Er=%2").arg(requests).arg(misses);
}

QString RegistersLine(const RegisterValues& registers) {
    QStringList values;
    for (const std::uint16_t value : registers) {
        values.append(QString::number(value));
    }
    return QStringLiteral("registers=") + values.join(',');
}
