#include "ui/monitor/TrafficMonitor.h"

#include "platform/drawing/FramePacer.h"
#include "platform/storage/AtomicFile.h"
#include "ui/monitor/MonitorScrollBar.h"

#include <QMimeData>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

TrafficMonitor::TrafficMonitor(QWidget* parent) : QPlainTextEdit(parent) {
    // An undo history would keep every line ever shown.
    document()->setUndoRedoEnabled(false);
    // Batches mostly leave the bars' look as it was; they repaint only when not.
    setVerticalScrollBar(new MonitorScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new MonitorScrollBar(Qt::Horizontal, this));
    m_textControl = findTextControl();
}

void TrafficMonitor::AppendLine(const QString& line) {
    m_pending.append(line);
    if (m_pending.size() == 1) {
        // While polling, the window paints frames for the replies anyway: the
        // batch is added with the first of them once it has gathered.
        FramePacer::of(*this).joinNextFrame(
            *this, [this] { Flush(); }, FlushInterval, FlushInterval + FrameWait);
    }
}

void TrafficMonitor::ShowScrollBarsAlways() {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // After a change of a bar's range the scroll area lays its bars out
    // again, to show or hide them. With both always shown that changes
    // nothing but raising both above the view once more, which repaints
    // both, on every batch.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        disconnect(bar, SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
    }
}

void TrafficMonitor::ClearLines() {
    m_pending.clear();
    clear();
}

void TrafficMonitor::Flush() {
    if (m_pending.isEmpty()) {
        return;
    }
    // One insertion for the whole batch; the view scrolls along when it was
    // at the end.
    const QString batch = m_pending.join(QLatin1Char('\n'));
    m_pending.clear();
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    appendRepaintingNewLines(batch);
    dropOldestLines(following);
}

QObject* TrafficMonitor::findTextControl() const {
    // The editor's text handling is a child object of its own; it is known by
    // the repaint requests it sends.
    for (QObject* child : children()) {
        if (child->metaObject()->indexOfSignal("updateRequest(QRectF)") >= 0) {
            return child;
        }
    }
    return nullptr;
}

void TrafficMonitor::appendRepaintingNewLines(const QString& batch) {
    // The editor repaints its whole view for any change of its text. Lines
    // added at the end change only the view from the former last line down:
    // when the view follows, the lines above move up by scrolling, which
    // copies their pixels. The former last line is repainted too when the
    // text cursor, shown while the operator is in the monitor, may have
    // stood at its end, or when the first new line went into it (an empty
    // monitor).
    const QTextBlock formerLast = document()->lastBlock();
    const bool formerLastChanges = hasFocus() || formerLast.text().isEmpty();
    const int lines = blockCount();
    {
        const QSignalBlocker quiet(m_textControl);
        appendPlainText(batch);
    }
    const QTextBlock firstChanged = formerLastChanges ? formerLast : formerLast.next();
    const int top = static_cast<int>(
        std::floor(blockBoundingGeometry(firstChanged).translated(contentOffset()).top()));
    QWidget* view = viewport();
    view->update(QRect(0, std::max(0, top), view->width(), view->height()));
    // What the quiet text handling did not tell.
    emit textChanged();
    if (blockCount() != lines) {
        emit blockCountChanged(blockCount());
    }
}

void TrafficMonitor::dropOldestLines(bool following) {
    const int excess = document()->blockCount() - LineLimit;
    if (excess <= 0) {
        return;
    }
    // The oldest lines go in one cut from the start to the first line kept.
    // (The editor's own line limit walks there line by line, laying out every
    // line it removes, which costs more than adding them did.)
    QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    QTextCursor cut(document());
    cut.setPosition(document()->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    // An operator reading further up keeps the same lines in view.
    if (!following) {
        bar->setValue(std::max(0, top - excess));
    }
}

QString TrafficMonitor::toPlainText() const {
    QString text = QPlainTextEdit::toPlainText();
    if (!m_pending.isEmpty()) {
        if (!document()->isEmpty()) {
            text += QLatin1Char('\n');
        }
        text += m_pending.join(QLatin1Char('\n'));
    }
    return text;
}

bool TrafficMonitor::FindText(const QString& text, bool backward) {
    Flush();
    if (text.isEmpty()) {
        return false;
    }
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (find(text, flags)) {
        return true;
    }
    // Round from the other end; the cursor stays put when there is nothing.
    const QTextCursor before = textCursor();
    QTextCursor restart(document());
    restart.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    setTextCursor(restart);
    if (find(text, flags)) {
        return true;
    }
    setTextCursor(before);
    return false;
}

int TrafficMonitor::SaveText(const QString& path) {
    QString text = toPlainText();
    if (!text.isEmpty()) {
        text += QLatin1Char('\n');
    }
    return writeFileAtomically(path, text.toUtf8());
}

QMimeData* TrafficMonitor::createMimeDataFromSelection() const {
    QString text = textCursor().selectedText();
    // Lines come out of a selection separated by paragraph separators.
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void TrafficMonitor::keyPressEvent(QKeyEvent* event) {
    Flush();
    QPlainTextEdit::keyPressEvent(event);
}

void TrafficMonitor::mousePressEvent(QMouseEvent* event) {
    Flush();
    QPlainTextEdit::mousePressEvent(event);
}

void TrafficMonitor::inputMethodEvent(QInputMethodEvent* event) {
    Flush();
    QPlainTextEdit::inputMethodEvent(event);
}
