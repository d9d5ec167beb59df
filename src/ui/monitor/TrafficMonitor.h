#pragma once
// The traffic monitor (mm1): an editable plain-text view of the newest
// traffic lines. Lines are gathered and added twice a second in one go,
// with the window's next frame, so that a busy line costs the window one
// insertion and the repaint of the new lines per batch instead of one per
// frame. It keeps a bounded number of newest lines, chosen so that the whole
// window stays well under 150 MB however long it polls; the recording is the
// complete record.

#include <QPlainTextEdit>
#include <QStringList>
#include <chrono>

class TrafficMonitor : public QPlainTextEdit {
    Q_OBJECT
public:
    /// The most lines kept; older lines give way. What each costs once
    /// shown is measured by main_window_bench (docs/performance.md).
    static constexpr int LineLimit = 80000;
    /// Lines are gathered for this long after the first of them was added
    /// and then shown with the window's next frame,
    static constexpr std::chrono::milliseconds FlushInterval{500};
    /// which they wait for at most this long (while the window polls, at most
    /// until its next frame of polled values).
    static constexpr std::chrono::milliseconds FrameWait{80};

    explicit TrafficMonitor(QWidget* parent = nullptr);

    /// Adds a line at the end; it shows with the next batch.
    void AppendLine(const QString& line);
    /// Shows both scroll bars at all times.
    void ShowScrollBarsAlways();
    /// Removes every line, shown or waiting.
    void ClearLines();
    /// Shows the lines waiting now.
    void Flush();
    int PendingLines() const { return static_cast<int>(m_pending.size()); }

    /// The whole text, the lines still waiting included.
    QString toPlainText() const;

    /// Selects the next (or previous) occurrence of text after (before) the
    /// cursor, going round from the other end when need be. False when the
    /// text occurs nowhere.
    bool FindText(const QString& text, bool backward);
    /// Writes the whole text to path in UTF-8, each line ended; returns 0 or
    /// the errno.
    int SaveText(const QString& path);

protected:
    /// Copying (and dragging) carries the selection as plain text only: the
    /// editor's own way keeps a copy of the selected part of the document for
    /// as long as the clipboard holds it, several times the size of the text.
    QMimeData* createMimeDataFromSelection() const override;
    // The operator edits and selects the text with every line in it.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    QObject* findTextControl() const;
    void appendRepaintingNewLines(const QString& batch);
    void dropOldestLines(bool following);

    // The editor's text handling, whose signals are held while a batch is
    // added (nullptr when it cannot be found: the whole view is repainted).
    QObject* m_textControl = nullptr;
    QStringList m_pending;
};
