#pragma once
// The link statistics while polling: requests, misses, sound replies, a count
// for every verdict, the response times of the sound replies and their
// histogram. It follows the statistics twice a second while it is shown.

#include <QDialog>
#include <QTimer>

class HistogramBars;
class LinkStatistics;
class QTableWidget;

class StatisticsDialog : public QDialog {
    Q_OBJECT
public:
    StatisticsDialog(const LinkStatistics& statistics, QWidget* parent);

    /// Shows the figures as they are now.
    void Refresh();

    QTableWidget* Table() const { return m_table; }
    HistogramBars* Histogram() const { return m_histogram; }
    /// The value shown for the row whose item reads item; empty when none.
    QString ValueOf(const QString& item) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void addRow(const QString& item, const QString& value);

    const LinkStatistics& m_statistics;
    QTableWidget* m_table = nullptr;
    HistogramBars* m_histogram = nullptr;
    QTimer m_refresh;
};
