#include "runner/TestRunner.h"

#include "poll/PollPort.h"

#include <QSysInfo>
#include <cstring>

int TestAddress(const RunnerOptions& options, const TestPlan& plan) {
    return options.addressGiven ? options.address : plan.address;
}

std::optional<TBaudRate> TestBaudRate(const RunnerOptions& options, const TestPlan& plan) {
    if (options.baudRateGiven) {
        return options.baudRate;
    }
    for (int rate = br110; rate <= br256000; ++rate) {
        if (BaudRateValue(static_cast<TBaudRate>(rate)) == plan.baud) {
            return static_cast<TBaudRate>(rate);
        }
    }
    return std::nullopt;
}

TestRunner::TestRunner(std::unique_ptr<PollPort> line, const RunnerOptions& options,
                       LoadedPlan plan, std::FILE* out, std::FILE* err)
    : m_options(options), m_plan(std::move(*plan.plan)), m_planSha(std::move(plan.sha256)),
      m_out(out), m_err(err), m_view(nullptr, err), m_session(std::move(line), m_view),
      m_reports(ReportFolderPath(options.test.reportDir)) {
    m_session.Engine().SetAddress(TestAddress(options, m_plan));
    m_session.Engine().PollTimer().SetOnTimer([this] {
        m_session.Engine().Tick();
        if (!m_session.Engine().Polling()) {
            // The stopping tick: the port is closed.
            m_loop.quit();
        }
    });
}

TestRunner::~TestRunner() = default;

int TestRunner::Run() {
    // Nothing is sent to the unit before its report can be written.
    if (const QString problem = m_reports.Check(); !problem.isEmpty()) {
        printLine(m_err, tr("kestro-modbus-m: cannot write reports: %1").arg(problem));
        return ExitCannotRun;
    }
    PollCycle& engine = m_session.Engine();
    TestRecord record;
    record.serial = m_options.test.serial;
    record.station = QSysInfo::machineHostName();
    record.toolVersion = QCoreApplication::applicationVersion();
    record.planName = m_plan.name;
    record.planSha256 = m_planSha;
    record.line = LineRecord{m_session.Line().Port(), BaudRateValue(m_session.Line().BaudRate()),
                             engine.Address()};
    record.started = QDateTime::currentDateTime();
    if (!engine.Start()) {
        return ExitCannotRun;
    }
    if (const QString problem = m_reports.Begin(record); !problem.isEmpty()) {
        printLine(m_err, tr("kestro-modbus-m: cannot write the report: %1").arg(problem));
        engine.Stop();
        engine.Tick();
        return ExitCannotRun;
    }
    m_test = std::make_unique<FunctionTest>(engine, m_plan, record);
    m_test->SetOnProgress([this](const TestRecord& r) { progress(r); });
    m_test->SetOnFinished([this](const TestRecord& r) { finished(r); });
    m_test->Start();
    m_loop.exec();
    return m_reportFailure.isEmpty() ? m_status : ExitCannotRun;
}

void TestRunner::Interrupt(const QString& why) {
    if (m_test && m_test->Running()) {
        m_test->Abort(why);
        return;
    }
    m_session.Engine().Stop();
}

void TestRunner::progress(const TestRecord& record) {
    for (; m_printed < record.steps.size(); ++m_printed) {
        printStep(record.steps[m_printed]);
    }
    if (const QString problem = m_reports.Update(record);
        !problem.isEmpty() && m_reportFailure.isEmpty()) {
        m_reportFailure = problem;
        printLine(m_err, tr("kestro-modbus-m: cannot write the report: %1").arg(problem));
    }
}

void TestRunner::finished(const TestRecord& record) {
    progress(record);
    // The verdict first: whatever becomes of the files, the unit's result is said.
    QString verdict =
        QStringLiteral("test %1: %2").arg(record.serial, TestVerdictText(record.verdict));
    if (record.verdict == TestVerdict::Fail) {
        verdict += QStringLiteral(" (failed: %1)").arg(record.FailedSteps().join(','));
    }
    printLine(m_out, verdict);
    for (const QString& problem :
         {m_reports.WritePdf(record),
          AppendStationLog(stationLogPath(), record, m_reports.ReportPath())}) {
        if (!problem.isEmpty()) {
            printLine(m_err,
                      tr("kestro-modbus-m: cannot write the test's records: %1").arg(problem));
            if (m_reportFailure.isEmpty()) {
                m_reportFailure = problem;
            }
        }
    }
    m_status = record.verdict == TestVerdict::Pass   ? ExitPass
               : record.verdict == TestVerdict::Fail ? ExitFail
                                                     : ExitCannotRun;
    // The stopping tick closes the port and ends the loop.
    m_session.Engine().Stop();
}

void TestRunner::printStep(const StepRecord& step) {
    QString line = QStringLiteral("step %1: %2").arg(step.name, VerdictText(step.verdict));
    for (const Measurement& m : step.measurements) {
        line += QStringLiteral(" %1=%2 [%3..%4]")
                    .arg(m.name, ValueText(m.value), ValueText(m.low), ValueText(m.high));
    }
    printLine(m_out, line);
    if (!step.message.isEmpty() && step.verdict == Verdict::Fail) {
        printLine(m_err, QStringLiteral("kestro-modbus-m: %1: %2").arg(step.name, step.message));
    }
}

void TestRunner::printLine(std::FILE* stream, const QString& line) {
    const QByteArray text = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    std::fflush(stream);
}

QString TestRunner::stationLogPath() const {
    return StationLogPath(m_options.test.reportDir, m_options.test.stationLog);
}
