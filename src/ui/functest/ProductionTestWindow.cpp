#include "ui/functest/ProductionTestWindow.h"

#include "functest/TestSteps.h"
#include "platform/drawing/Beep.h"
#include "poll/PollCycle.h"
#include "ui/functest/VerdictBanner.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

enum Column { StepColumn, VerdictColumn, MeasurementColumn };

QString measurementsText(const StepRecord& step) {
    QStringList parts;
    for (const Measurement& m : step.measurements) {
        parts.append(QStringLiteral("%1=%2 [%3..%4]%5")
                         .arg(m.name, ValueText(m.value), ValueText(m.low), ValueText(m.high),
                              m.Passed() ? QString() : QStringLiteral(" ✗")));
    }
    // The marks say which measurements strayed; the message is for what
    // they do not show (no reply, a write not confirmed, a step skipped).
    const bool strayed = std::any_of(step.measurements.begin(), step.measurements.end(),
                                     [](const Measurement& m) { return !m.Passed(); });
    if (!step.message.isEmpty() && !strayed) {
        parts.append(step.message);
    }
    return parts.join(QStringLiteral("  "));
}

} // namespace

ProductionTestWindow::ProductionTestWindow(PollCycle& engine, TestFiles files, Hooks hooks,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window), m_engine(engine), m_files(std::move(files)),
      m_hooks(std::move(hooks)) {
    buildControls();
    m_banner->SetState(VerdictBanner::State::Idle, tr("请扫描序列号"));
    showCounts();
}

ProductionTestWindow::~ProductionTestWindow() = default;

void ProductionTestWindow::buildControls() {
    setWindowTitle(tr("出厂测试"));
    resize(760, 560);
    auto* layout = new QVBoxLayout(this);

    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(new QLabel(tr("序列号"), this));
    m_serial = new QLineEdit(this);
    m_serial->setMaxLength(64);
    m_serial->setPlaceholderText(tr("扫描或输入序列号后按回车"));
    QFont big = m_serial->font();
    big.setPointSize(big.pointSize() * 3 / 2);
    m_serial->setFont(big);
    serialRow->addWidget(m_serial, 1);
    m_stop = new QPushButton(tr("停止测试"), this);
    m_stop->setEnabled(false);
    serialRow->addWidget(m_stop);
    layout->addLayout(serialRow);

    m_banner = new VerdictBanner(this);
    layout->addWidget(m_banner);

    m_steps = new QTableWidget(0, 3, this);
    m_steps->setHorizontalHeaderLabels({tr("步骤"), tr("结果"), tr("测量值")});
    m_steps->horizontalHeader()->setSectionResizeMode(MeasurementColumn, QHeaderView::Stretch);
    m_steps->verticalHeader()->hide();
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->setFocusPolicy(Qt::NoFocus);
    m_steps->setWordWrap(true);
    m_steps->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_steps, 1);

    m_counts = new QLabel(this);
    layout->addWidget(m_counts);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    connect(m_serial, &QLineEdit::returnPressed, this, &ProductionTestWindow::serialEntered);
    connect(m_stop, &QPushButton::clicked, this, &ProductionTestWindow::StopTest);
    m_serial->setFocus(Qt::OtherFocusReason);
}

void ProductionTestWindow::serialEntered() {
    const QString serial = m_serial->text().trimmed();
    // The field is ready for the next scan whatever becomes of this one.
    m_serial->clear();
    StartTest(serial);
}

bool ProductionTestWindow::StartTest(const QString& serial) {
    if (m_test && m_test->Running()) {
        tell(tr("测试进行中，请等待结果。"), true);
        return false;
    }
    if (!IsValidSerial(serial)) {
        tell(tr("序列号无效：“%1”。只能用字母、数字、-、_ 和 .，最长 64 个字符。").arg(serial),
             true);
        Beep::play();
        return false;
    }
    const LoadedPlan loaded = LoadTestPlan(m_files.planPath);
    if (!loaded.plan) {
        tell(tr("测试计划无法读取：%1").arg(loaded.error), true);
        return false;
    }
    m_reports = std::make_unique<ReportFolder>(ReportFolderPath(m_files.reportDir));
    if (const QString problem = m_reports->Check(); !problem.isEmpty()) {
        tell(tr("无法写入报告：%1").arg(problem), true);
        return false;
    }
    if (!m_hooks.startPolling(*loaded.plan)) {
        tell(tr("串口无法打开，测试没有开始。"), true);
        return false;
    }
    TestRecord record;
    record.serial = serial;
    record.station = QSysInfo::machineHostName();
    record.toolVersion = QCoreApplication::applicationVersion();
    record.planName = loaded.plan->name;
    record.planSha256 = loaded.sha256;
    record.line = m_hooks.line();
    record.started = QDateTime::currentDateTime();
    if (const QString problem = m_reports->Begin(record); !problem.isEmpty()) {
        tell(tr("无法写入报告：%1").arg(problem), true);
        return false;
    }
    showSteps(*loaded.plan);
    m_test = std::make_unique<FunctionTest>(m_engine, *loaded.plan, record);
    m_test->SetOnProgress([this](const TestRecord& r) { progress(r); });
    m_test->SetOnFinished([this](const TestRecord& r) { finished(r); });
    m_banner->SetState(VerdictBanner::State::Running, tr("测试中…"));
    m_stop->setEnabled(true);
    tell(tr("正在测试 %1").arg(serial));
    m_test->Start();
    return true;
}

void ProductionTestWindow::StopTest() {
    if (m_test && m_test->Running()) {
        m_test->Abort(QStringLiteral("stopped by the operator"));
    }
}

bool ProductionTestWindow::StopTestThen(std::function<void()> then) {
    if (!m_test || !m_test->Running()) {
        return false;
    }
    m_afterTest = std::move(then);
    StopTest();
    return true;
}

void ProductionTestWindow::closeEvent(QCloseEvent* event) {
    // A unit is never left mid-test with nobody watching: closing aborts, and
    // the teardown still leaves it safe.
    StopTest();
    QWidget::closeEvent(event);
}

void ProductionTestWindow::showSteps(const TestPlan& plan) {
    m_steps->setRowCount(0);
    QStringList names;
    for (const StepPlan& step : plan.steps) {
        names.append(StepKindName(step.kind));
    }
    names.append(TeardownName);
    for (const QString& name : names) {
        const int row = m_steps->rowCount();
        m_steps->insertRow(row);
        auto* caption = new QTableWidgetItem(stepCaption(name));
        caption->setData(Qt::UserRole, name);
        m_steps->setItem(row, StepColumn, caption);
        m_steps->setItem(row, VerdictColumn, new QTableWidgetItem(tr("等待")));
        m_steps->setItem(row, MeasurementColumn, new QTableWidgetItem());
    }
    m_steps->resizeColumnToContents(StepColumn);
}

void ProductionTestWindow::progress(const TestRecord& record) {
    // The steps ended so far, in their rows; the next one is under way.
    for (std::size_t i = 0; i < record.steps.size() && static_cast<int>(i) < m_steps->rowCount();
         ++i) {
        const StepRecord& step = record.steps[i];
        const int row = static_cast<int>(i);
        QTableWidgetItem* verdict = m_steps->item(row, VerdictColumn);
        verdict->setText(VerdictText(step.verdict));
        verdict->setForeground(step.verdict == Verdict::Pass   ? VerdictBanner::PassColour
                               : step.verdict == Verdict::Fail ? VerdictBanner::FailColour
                                                               : VerdictBanner::IdleColour);
        m_steps->item(row, MeasurementColumn)->setText(measurementsText(step));
    }
    if (const int running = static_cast<int>(record.steps.size());
        running < m_steps->rowCount() && !m_test->Done()) {
        m_steps->item(running, VerdictColumn)->setText(tr("测试中"));
    }
    if (const QString problem = m_reports->Update(record); !problem.isEmpty()) {
        tell(tr("无法写入报告：%1").arg(problem), true);
    }
}

void ProductionTestWindow::finished(const TestRecord& record) {
    progress(record);
    m_stop->setEnabled(false);
    const QString verdict = TestVerdictText(record.verdict);
    switch (record.verdict) {
    case TestVerdict::Pass:
        m_banner->SetState(VerdictBanner::State::Pass, verdict);
        break;
    case TestVerdict::Fail:
        m_banner->SetState(VerdictBanner::State::Fail, verdict);
        break;
    case TestVerdict::Aborted:
    case TestVerdict::Incomplete:
        m_banner->SetState(VerdictBanner::State::Aborted, verdict);
        break;
    }
    // Only a unit verdict counts; an aborted test says nothing of the unit.
    if (record.verdict == TestVerdict::Pass || record.verdict == TestVerdict::Fail) {
        ++m_tested;
        m_passed += record.verdict == TestVerdict::Pass ? 1 : 0;
    }
    showCounts();
    Beep::play();
    QStringList problems;
    for (const QString& problem :
         {m_reports->WritePdf(record),
          AppendStationLog(StationLogPath(m_files.reportDir, m_files.stationLog), record,
                           m_reports->ReportPath())}) {
        if (!problem.isEmpty()) {
            problems.append(problem);
        }
    }
    if (problems.isEmpty()) {
        tell(tr("%1：%2。报告：%3").arg(record.serial, verdict, m_reports->ReportPath()));
    } else {
        tell(tr("%1：%2。无法写入报告：%3").arg(record.serial, verdict, problems.join("; ")), true);
    }
    m_serial->setFocus(Qt::OtherFocusReason);
    if (m_afterTest) {
        std::exchange(m_afterTest, nullptr)();
    }
}

void ProductionTestWindow::showCounts() {
    const QString yield =
        m_tested == 0 ? QStringLiteral("-")
                      : QString::number(100.0 * m_passed / m_tested, 'f', 1) + QLatin1Char('%');
    m_counts->setText(tr("已测 %1    合格 %2    良率 %3").arg(m_tested).arg(m_passed).arg(yield));
}

void ProductionTestWindow::tell(const QString& text, bool problem) {
    m_status->setStyleSheet(problem ? QStringLiteral("color: #c81e1e") : QString());
    m_status->setText(text);
}

QString ProductionTestWindow::stepCaption(const QString& name) {
    if (name == StepKindName(StepKind::Communication)) {
        return tr("通信");
    }
    if (name == StepKindName(StepKind::Identity)) {
        return tr("地址和波特率");
    }
    if (name == StepKindName(StepKind::Relay)) {
        return tr("继电器");
    }
    if (name == StepKindName(StepKind::OutputLinearity)) {
        return tr("输出线性");
    }
    if (name == StepKindName(StepKind::Calibration)) {
        return tr("校准");
    }
    return tr("恢复安全状态");
}
