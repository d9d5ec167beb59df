#include "runner/RunnerView.h"

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

RunnerView::RunnerView(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {
    FillCaptions(*this);
}

void RunnerView::SetCellText(int column, int row, const QString& text) {
    if (column >= 0 && column < TableColumnCount && row >= 0 && row < TableRowCount) {
        m_cells[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)] = text;
    }
}

void RunnerView::AppendMonitorLine(const QString& line) {
    printLine(m_out, line);
}

QString RunnerView::PanelText(int panel) const {
    return panel >= 0 && panel < PanelCount ? m_panels[static_cast<std::size_t>(panel)] : QString();
}

void RunnerView::SetPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < PanelCount) {
        m_panels[static_cast<std::size_t>(panel)] = text;
    }
}

void RunnerView::ShowOpenFailure(const QString& message, const QString& detail) {
    printLine(m_err, message);
    if (!detail.isEmpty()) {
        printLine(m_err, detail);
    }
}

void RunnerView::ShowWriteFailure(const QString& reason) {
    // Only the failure goes to standard error; the traffic shows the recovery.
    if (!reason.isEmpty()) {
        printLine(m_err, reason);
    }
}

void RunnerView::ShowLineNote(const QString& note) {
    printLine(m_err, note);
}

// Scripts read the counters and the registers: they are the same in every language.
QString RunnerView::CountersLine() const {
    return QStringLiteral("Tx=%1 Er=%2").arg(m_panels[1], m_panels[3]);
}

QString RunnerView::RegistersLine() const {
    QStringList values;
    for (int i = 0; i < RegisterCount; ++i) {
        const TableCell cell = CellOfRegister(i);
        values.append(
            m_cells[static_cast<std::size_t>(cell.column)][static_cast<std::size_t>(cell.row)]);
    }
    return QStringLiteral("registers=") + values.join(',');
}
