#include "ui/monitor/StatisticsDialog.h"

#include "record/LinkStatistics.h"
#include "ui/monitor/HistogramBars.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>

namespace {

constexpr std::chrono::milliseconds RefreshInterval{500};

} // namespace

StatisticsDialog::StatisticsDialog(const LinkStatistics& statistics, QWidget* parent)
    : QDialog(parent), m_statistics(statistics) {
    setWindowTitle(tr("统计"));
    setModal(false);
    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeaderLabels({tr("项目"), tr("数值")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setMinimumWidth(240);
    m_histogram = new HistogramBars(this);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(tr("应答时间分布"), this));
    right->addWidget(m_histogram, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(right, 1);
    resize(680, 360);
    m_refresh.setInterval(RefreshInterval);
    connect(&m_refresh, &QTimer::timeout, this, &StatisticsDialog::Refresh);
    Refresh();
}

void StatisticsDialog::Refresh() {
    m_table->setRowCount(0);
    addRow(tr("请求 (Tx)"), QString::number(m_statistics.Requests()));
    addRow(tr("丢失 (Er)"), QString::number(m_statistics.Missed()));
    addRow(tr("正确应答"), QString::number(m_statistics.Replies()));
    for (const LinkStatistics::VerdictCount& entry : m_statistics.Verdicts()) {
        addRow(entry.verdict, QString::number(entry.count));
    }
    const ResponseTimes& times = m_statistics.Responses();
    if (times.Count() > 0) {
        addRow(tr("应答时间 最小"), ReadableDuration(times.Min()));
        addRow(tr("应答时间 平均"), ReadableDuration(times.Mean()));
        addRow(tr("应答时间 50%"), ReadableDuration(times.Percentile(50)));
        addRow(tr("应答时间 95%"), ReadableDuration(times.Percentile(95)));
        addRow(tr("应答时间 99%"), ReadableDuration(times.Percentile(99)));
        addRow(tr("应答时间 最大"), ReadableDuration(times.Max()));
        if (m_statistics.CoarseResponses() > 0) {
            // Taken through a USB adapter that holds bytes for milliseconds.
            addRow(tr("应答时间 粗略"),
                   tr("%1 个（USB 适配器延迟）").arg(m_statistics.CoarseResponses()));
        }
    }
    m_histogram->SetBins(times.Histogram());
}

QString StatisticsDialog::ValueOf(const QString& item) const {
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0)->text() == item) {
            return m_table->item(row, 1)->text();
        }
    }
    return {};
}

void StatisticsDialog::showEvent(QShowEvent* event) {
    Refresh();
    m_refresh.start();
    QDialog::showEvent(event);
}

void StatisticsDialog::hideEvent(QHideEvent* event) {
    m_refresh.stop();
    QDialog::hideEvent(event);
}

void StatisticsDialog::addRow(const QString& item, const QString& value) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, 0, new QTableWidgetItem(item));
    m_table->setItem(row, 1, new QTableWidgetItem(value));
}
