#pragma once
// The trend window: the output and the feedback against time, live while
// polling, and the feedback against the output (X-Y) for the time in view;
// the visible samples can be exported as CSV. It runs the linearity test
// ("线性测试…") and shows its result as a table and on the X-Y view, to be
// saved as CSV. The main window opens it by a double-click on a read-out or
// with F5; it is a window of its own and polling goes on behind it.

#include "trend/LinearityTest.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class LinearityDialog;
class PollCycle;
class QLabel;
class QPushButton;
class QTableWidget;
class TrendHistory;
class TrendPlot;
class XyPlot;

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    /// The window follows the plots this often.
    static constexpr std::chrono::milliseconds RefreshInterval{200};

    TrendWindow(const TrendHistory& history, PollCycle& cycle, QWidget* parent);
    ~TrendWindow() override;

    TrendPlot* Plot() const { return m_plot; }
    QTableWidget* ResultTable() const { return m_table; }
    QLabel* Status() const { return m_status; }
    QPushButton* LinearityButton() const { return m_linearityButton; }
    LinearityDialog* Dialog() const { return m_dialog; }
    const LinearityTest* Test() const { return m_test.get(); }

    /// Starts a linearity test with a sound plan; refused, with a word in the
    /// status line, while the engine is not polling or a test runs.
    bool StartLinearity(const LinearityPlan& plan);
    /// Ends a running test as failed; the output is written back.
    void StopLinearity();
    /// Writes the visible samples, or the test's result, as CSV to path.
    /// Returns an empty text or the reason it cannot be written.
    QString ExportVisible(const QString& path) const;
    QString SaveResult(const QString& path) const;

    /// The verdict of a linearity result in the window's words, with the
    /// reason of an early end.
    static QString VerdictText(const LinearityResult& result);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void refresh();
    void askLinearity();
    /// Asks for a file name and saves into it, telling the operator if it
    /// cannot be written.
    void askCsvFile(const QString& caption, QString (TrendWindow::*save)(const QString&) const);
    void linearityFinished(const LinearityResult& result);
    void showPoints(const LinearityResult& result);
    void tell(const QString& text);
    static QString stopText(const LinearityResult& result);

    const TrendHistory& m_history;
    PollCycle& m_cycle;
    TrendPlot* m_plot = nullptr;
    XyPlot* m_xy = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_linearityButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    LinearityDialog* m_dialog = nullptr;
    std::unique_ptr<LinearityTest> m_test;
    QTimer m_refresh;
};
