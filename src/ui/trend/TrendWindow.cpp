#include "ui/trend/TrendWindow.h"

#include "platform/storage/AtomicFile.h"
#include "poll/PollCycle.h"
#include "record/TrafficRecorder.h"
#include "trend/TrendCsv.h"
#include "ui/common/FileChoice.h"
#include "ui/trend/LinearityDialog.h"
#include "ui/trend/PlotAxis.h"
#include "ui/trend/TrendPlot.h"
#include "ui/trend/XyPlot.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr QSize InitialSize{960, 540};

QTableWidgetItem* numberItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QString writeCsv(const QString& path, const QByteArray& text) {
    const int error = writeFileAtomically(path, text);
    return error == 0 ? QString() : RecordingFailureText(path, error);
}

} // namespace

TrendWindow::TrendWindow(const TrendHistory& history, PollCycle& cycle, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history), m_cycle(cycle) {
    setWindowTitle(tr("趋势"));
    buildControls();
    resize(InitialSize);
    m_refresh.setInterval(RefreshInterval);
    connect(&m_refresh, &QTimer::timeout, this, &TrendWindow::refresh);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::buildControls() {
    m_linearityButton = new QPushButton(tr("线性测试…"), this);
    m_stopButton = new QPushButton(tr("停止测试"), this);
    m_stopButton->setEnabled(false);
    m_exportButton = new QPushButton(tr("导出 CSV…"), this);
    m_saveButton = new QPushButton(tr("保存测试结果…"), this);
    m_saveButton->setEnabled(false);
    m_status = new QLabel(this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_linearityButton, m_stopButton, m_exportButton, m_saveButton}) {
        buttons->addWidget(button);
    }
    buttons->addWidget(m_status, 1);

    m_plot = new TrendPlot(m_history, this);
    m_xy = new XyPlot(m_history, this);
    m_table = new QTableWidget(0, 4, this);
    m_table->setHorizontalHeaderLabels({tr("输出"), tr("反馈"), tr("偏差"), tr("偏差 %")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setMinimumWidth(280);
    auto* xyPage = new QWidget(this);
    auto* xyLayout = new QHBoxLayout(xyPage);
    xyLayout->addWidget(m_xy, 1);
    xyLayout->addWidget(m_table);
    auto* views = new QTabWidget(this);
    views->addTab(m_plot, tr("时间曲线"));
    views->addTab(xyPage, tr("反馈-输出 (X-Y)"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(views, 1);

    m_dialog = new LinearityDialog(this);
    connect(m_linearityButton, &QPushButton::clicked, this, &TrendWindow::askLinearity);
    connect(m_stopButton, &QPushButton::clicked, this, &TrendWindow::StopLinearity);
    connect(m_exportButton, &QPushButton::clicked, this,
            [this] { askCsvFile(tr("导出 CSV"), &TrendWindow::ExportVisible); });
    connect(m_saveButton, &QPushButton::clicked, this,
            [this] { askCsvFile(tr("保存测试结果"), &TrendWindow::SaveResult); });
    connect(m_plot, &TrendPlot::viewChanged, this,
            [this] { m_xy->SetRange(m_plot->Start(), m_plot->End()); });
}

void TrendWindow::showEvent(QShowEvent* event) {
    refresh();
    m_refresh.start();
    QWidget::showEvent(event);
}

void TrendWindow::hideEvent(QHideEvent* event) {
    // A running test goes on and is followed again when the window comes back.
    m_refresh.stop();
    QWidget::hideEvent(event);
}

void TrendWindow::refresh() {
    m_plot->Refresh();
    m_xy->SetRange(m_plot->Start(), m_plot->End());
    if (!m_test || !m_test->Running()) {
        return;
    }
    if (!m_cycle.Polling()) {
        // Stop was pressed: nothing can be measured or written back any more.
        m_test->Abort(LinearityStop::PollingStopped);
        return;
    }
    const LinearityResult& result = m_test->Result();
    if (static_cast<int>(result.points.size()) != m_table->rowCount()) {
        showPoints(result);
    }
    tell(tr("线性测试：第 %1/%2 点").arg(m_test->CurrentPoint() + 1).arg(m_test->PointCount()));
}

bool TrendWindow::StartLinearity(const LinearityPlan& plan) {
    if (m_test && m_test->Running()) {
        return false;
    }
    if (!m_cycle.Polling()) {
        tell(tr("请先按“开始”轮询，再做线性测试。"));
        return false;
    }
    m_test = std::make_unique<LinearityTest>(m_cycle, plan);
    m_test->SetOnFinished([this](const LinearityResult& result) { linearityFinished(result); });
    m_xy->SetTolerance(plan.tolerancePercent);
    showPoints(m_test->Result());
    m_linearityButton->setEnabled(false);
    m_stopButton->setEnabled(true);
    m_saveButton->setEnabled(false);
    m_test->Start();
    tell(tr("线性测试：等待读数…"));
    return true;
}

void TrendWindow::StopLinearity() {
    if (m_test) {
        m_test->Abort(LinearityStop::Interrupted);
    }
}

void TrendWindow::linearityFinished(const LinearityResult& result) {
    // Called from inside the engine: only the window changes here; the test
    // itself stays until the next one replaces it.
    showPoints(result);
    m_linearityButton->setEnabled(true);
    m_stopButton->setEnabled(false);
    m_saveButton->setEnabled(!result.points.empty());
    tell(VerdictText(result));
}

void TrendWindow::showPoints(const LinearityResult& result) {
    m_table->setRowCount(static_cast<int>(result.points.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const LinearityPoint& point = result.points[static_cast<std::size_t>(row)];
        const QStringList fields = QString::fromLatin1(LinearityCsvRow(point)).split(',');
        for (int column = 0; column < fields.size(); ++column) {
            m_table->setItem(row, column, numberItem(fields[column]));
        }
        if (!m_xy->WithinTolerance(point.output, point.feedback)) {
            m_table->item(row, 3)->setBackground(PlotColors::Stray);
        }
    }
    m_xy->SetPoints(result.points);
}

QString TrendWindow::ExportVisible(const QString& path) const {
    return writeCsv(path, TrendCsv(m_history, m_plot->Start(), m_plot->End()));
}

QString TrendWindow::SaveResult(const QString& path) const {
    return writeCsv(path, m_test ? LinearityCsv(m_test->Result()) : QByteArray());
}

void TrendWindow::askLinearity() {
    if (m_dialog->exec() == QDialog::Accepted) {
        StartLinearity(m_dialog->Plan());
    }
}

void TrendWindow::askCsvFile(const QString& caption,
                             QString (TrendWindow::*save)(const QString&) const) {
    const QString path =
        AskSaveFileName(this, caption, tr("CSV 文件 (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty()) {
        return;
    }
    if (const QString error = (this->*save)(path); !error.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("无法保存文件。") + '\n' + error);
    }
}

void TrendWindow::tell(const QString& text) {
    m_status->setText(text);
}

QString TrendWindow::VerdictText(const LinearityResult& result) {
    const QString tolerance = PercentText(result.plan.tolerancePercent);
    const QString verdict = result.Passed() ? tr("合格") : tr("不合格");
    QString text;
    if (const auto worst = result.WorstPoint()) {
        text =
            tr("最大偏差 %1%（输出 %2），允许 %3%：%4")
                .arg(DeviationPercentText(worst->DeviationPercent(), result.plan.tolerancePercent))
                .arg(worst->output)
                .arg(tolerance, verdict);
    } else {
        text = tr("未测得任何点，允许 %1%：%2").arg(tolerance, verdict);
    }
    if (const QString reason = stopText(result); !reason.isEmpty()) {
        text += tr("（%1）").arg(reason);
    }
    if (result.outputWritten && !result.restored && result.originalOutput) {
        text += tr(" 输出未能恢复为 %1。").arg(*result.originalOutput);
    }
    return text;
}

QString TrendWindow::stopText(const LinearityResult& result) {
    const QString where =
        result.stopOutput ? tr("输出 %1 时").arg(*result.stopOutput) : tr("第一个测点之前");
    switch (result.stop) {
    case LinearityStop::None:
        return {};
    case LinearityStop::WriteFailed:
        return tr("%1线路中断：串口无法发送").arg(where);
    case LinearityStop::RepliesMissed:
        return tr("%1线路中断：连续 %2 次无应答").arg(where).arg(result.stopDetail);
    case LinearityStop::OutputRefused:
        return tr("输出寄存器不接受 %1，读回 %2")
            .arg(result.stopOutput.value_or(0))
            .arg(result.stopDetail);
    case LinearityStop::OutputDisturbed:
        return tr("%1输出被改为 %2").arg(where).arg(result.stopDetail);
    case LinearityStop::Interrupted:
        return tr("%1测试被停止").arg(where);
    case LinearityStop::PollingStopped:
        return tr("%1轮询已停止").arg(where);
    }
    return {};
}
