// The function test of the built kestro-modbus-m against the virtual module
// as its own program, made to be a good unit or a faulty one: the verdict of
// every step, the exit status, the module left safe after every run, the
// record of each unit (the report against its schema, the PDF's text, the
// attempts, the station log shared by two stations), and a test killed or
// stopped half way.

#include "tests/runner/ToolProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace tooltest;

namespace {

// Short, so that a run takes seconds: every step of the plan, at 115200.
QByteArray planText(bool loopback, bool stopAtFirstFailure) {
    return QStringLiteral(R"({
    "plan": "short bench plan",
    "address": 1,
    "baud": 115200,
    "loopback": %1,
    "stop_at_first_failure": %2,
    "steps": [
        {"name": "communication", "reads": 5, "response_p95_ms_max": 2000},
        {"name": "identity"},
        {"name": "relay", "timeout_ms": 1000},
        {"name": "output-linearity", "from": 0, "to": 2200, "step": 1100, "settle_ms": 300,
         "tolerance_pct": 1.0},
        {"name": "calibration", "commands": ["input-zero", "output-span"], "timeout_ms": 1000}
    ]
}
)")
        .arg(loopback ? "true" : "false", stopAtFirstFailure ? "true" : "false")
        .toUtf8();
}

QString writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& content) {
    const QString path = folder.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

// The registers as a poll of the module shows them now.
QStringList registersOf(const QString& port) {
    const RunResult poll =
        runTool({"--headless", "--port", port, "--baud", "115200", "--cycles", "2"});
    return linesStartingWith(poll.lines, "registers=").value(0).mid(10).split(',');
}

QStringList stepVerdicts(const QStringList& lines) {
    QStringList verdicts;
    static const QRegularExpression step(R"(^step ([a-z-]+): (PASS|FAIL|SKIP)\b)");
    for (const QString& line : lines) {
        if (const auto match = step.match(line); match.hasMatch()) {
            verdicts.append(match.captured(1) + '=' + match.captured(2));
        }
    }
    return verdicts;
}

// Validates a JSON file against one of the schemas in docs/ with Debian's
// python3-jsonschema; empty when it validates, else the validator's words.
QString schemaProblems(const QString& file, const QString& schema) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {"-c",
                  "import json, sys, jsonschema\n"
                  "jsonschema.Draft202012Validator(json.load(open(sys.argv[2])))"
                  ".validate(json.load(open(sys.argv[1])))\n",
                  file, QStringLiteral(KESTRO_SOURCE_DIR "/docs/") + schema});
    if (!python.waitForFinished(ProcessTimeoutMs) || python.exitCode() != 0) {
        return QString::fromUtf8(python.readAllStandardError()) + "(exit " +
               QString::number(python.exitCode()) + ")";
    }
    return {};
}

QStringList reportsIn(const QTemporaryDir& folder, const QString& suffix) {
    return QDir(folder.path()).entryList({"*" + suffix}, QDir::Files, QDir::Name);
}

QJsonObject readReport(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

struct Unit {
    const char* label;
    QStringList moduleOptions;
    bool loopback = false;
    bool stopAtFirstFailure = false;
    int exitCode = 0;
    QStringList verdicts;
    const char* failed = nullptr; ///< the final line's list, none for a PASS
    bool answers = true;          ///< whether a poll can read it afterwards
};

TEST(FunctionTestEndToEnd, EachUnitGetsItsVerdictAndIsLeftSafe) {
    const QStringList good = {"communication=PASS",    "identity=PASS",    "relay=PASS",
                              "output-linearity=PASS", "calibration=PASS", "teardown=PASS"};
    const std::vector<Unit> units = {
        {"good unit", {}, false, false, 0, good, nullptr},
        {"3 % gain error",
         {"--feedback-gain", "1.03"},
         false,
         false,
         3,
         {"communication=PASS", "identity=PASS", "relay=PASS", "output-linearity=FAIL",
          "calibration=PASS", "teardown=PASS"},
         "output-linearity"},
        {"stuck relay",
         {"--relay-stuck"},
         false,
         false,
         3,
         {"communication=PASS", "identity=PASS", "relay=FAIL", "output-linearity=PASS",
          "calibration=PASS", "teardown=PASS"},
         "relay"},
        {"calibration not carried out",
         {"--ignore-calibration"},
         false,
         false,
         3,
         {"communication=PASS", "identity=PASS", "relay=PASS", "output-linearity=PASS",
          "calibration=FAIL", "teardown=PASS"},
         "calibration"},
        {"relay looped back to the input", {"--loopback"}, true, false, 0, good, nullptr},
        {"fixture expects a loopback that is not wired",
         {},
         true,
         true,
         3,
         {"communication=PASS", "identity=PASS", "relay=FAIL", "output-linearity=SKIP",
          "calibration=SKIP", "teardown=PASS"},
         "relay"},
        {"absent unit",
         {"--fault", "no-reply"},
         false,
         true,
         3,
         {"communication=FAIL", "identity=SKIP", "relay=SKIP", "output-linearity=SKIP",
          "calibration=SKIP", "teardown=FAIL"},
         "communication,teardown",
         false},
        {"unit answering with exceptions",
         {"--fault", "exception"},
         false,
         true,
         3,
         {"communication=FAIL", "identity=SKIP", "relay=SKIP", "output-linearity=SKIP",
          "calibration=SKIP", "teardown=FAIL"},
         "communication,teardown",
         false},
    };
    for (const Unit& unit : units) {
        SCOPED_TRACE(unit.label);
        QTemporaryDir folder;
        ModuleProcess module(QStringList{"--baud", "115200"} + unit.moduleOptions);
        if (unit.answers) {
            // Relay on and output up before the test: the teardown must put both back.
            runTool({"--headless", "--port", module.path(), "--baud", "115200", "--write", "3=1200",
                     "--write", "10=1", "--cycles", "4"});
        }
        const QString plan =
            writeFile(folder, "plan.json", planText(unit.loopback, unit.stopAtFirstFailure));
        const RunResult result =
            runTool({"--headless", "--port", module.path(), "--test", "--serial", "KM-0001",
                     "--plan", plan, "--report-dir", folder.path()});
        EXPECT_EQ(result.exitCode, unit.exitCode) << result.errors.toStdString();
        EXPECT_EQ(stepVerdicts(result.lines), unit.verdicts)
            << result.lines.join('\n').toStdString() << result.errors.toStdString();
        const QString last = result.lines.value(result.lines.size() - 1);
        EXPECT_EQ(last, unit.failed == nullptr
                            ? QStringLiteral("test KM-0001: PASS")
                            : QStringLiteral("test KM-0001: FAIL (failed: %1)").arg(unit.failed));
        if (unit.answers) {
            const QStringList registers = registersOf(module.path());
            EXPECT_EQ(registers.value(3), "0") << registers.join(',').toStdString();
            EXPECT_EQ(registers.value(10), "0") << registers.join(',').toStdString();
        }
        // Whatever the verdict, the reason of a failure is said.
        if (unit.failed != nullptr) {
            EXPECT_FALSE(result.errors.isEmpty());
        }
        if (QString(unit.label) == QLatin1String("unit answering with exceptions")) {
            EXPECT_TRUE(result.errors.contains("exception-04")) << result.errors.toStdString();
        }
    }
}

TEST(FunctionTestEndToEnd, EachTestLeavesAReportAPdfAndAStationLogRow) {
    QTemporaryDir folder;
    ModuleProcess module({"--baud", "115200"});
    const QString plan = writeFile(folder, "plan.json", planText(false, true));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const RunResult result =
            runTool({"--headless", "--port", module.path(), "--test", "--serial", "KM-0002",
                     "--plan", plan, "--report-dir", folder.path()});
        ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    }
    const QStringList reports = reportsIn(folder, ".json");
    ASSERT_EQ(reports.size(), 3) << reports.join(' ').toStdString(); // the plan and two reports
    static const QRegularExpression name(R"(^KM-0002-\d{8}T\d{6}Z-(\d)\.json$)");
    QStringList attempts;
    for (const QString& report : reports) {
        if (const auto match = name.match(report); match.hasMatch()) {
            attempts.append(match.captured(1));
            const QString path = folder.filePath(report);
            EXPECT_EQ(schemaProblems(path, "test-report.schema.json"), QString());
            const QJsonObject json = readReport(path);
            EXPECT_EQ(json["verdict"].toString(), "PASS");
            EXPECT_EQ(json["attempt"].toInt(), match.captured(1).toInt());
            EXPECT_EQ(json["line"].toObject()["baud"].toInt(), 115200);
            EXPECT_EQ(json["steps"].toArray().size(), 6);
        }
    }
    EXPECT_EQ(attempts, (QStringList{"1", "2"}));

    const QStringList pdfs = reportsIn(folder, ".pdf");
    ASSERT_EQ(pdfs.size(), 2);
    QProcess text;
    text.start("pdftotext", {folder.filePath(pdfs[0]), "-"});
    ASSERT_TRUE(text.waitForFinished(ProcessTimeoutMs));
    const QString shown = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(shown.contains("KM-0002")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("PASS")) << shown.toStdString();

    QFile log(folder.filePath("station-log.csv"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], "time,serial,attempt,verdict,failed_steps,duration_s,report");
    EXPECT_TRUE(rows[2].contains(",KM-0002,2,PASS,,")) << rows[2].toStdString();
}

TEST(FunctionTestEndToEnd, AUnitBehindAModbusTcpGatewayIsTestedAsOnASerialLine) {
    QTemporaryDir folder;
    // The module serves Modbus TCP on a free port and prints where.
    ModuleProcess module({"--tcp-listen", "127.0.0.1:0", "--baud", "115200"});
    const QString plan = writeFile(folder, "plan.json", planText(false, true));
    const RunResult result = runTool({"--headless", "--tcp", module.path(), "--test", "--serial",
                                      "KM-NET", "--plan", plan, "--report-dir", folder.path()});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(stepVerdicts(result.lines),
              (QStringList{"communication=PASS", "identity=PASS", "relay=PASS",
                           "output-linearity=PASS", "calibration=PASS", "teardown=PASS"}))
        << result.lines.join('\n').toStdString();
    const QStringList reports = QDir(folder.path()).entryList({"KM-NET-*.json"});
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(readReport(folder.filePath(reports[0]))["line"].toObject()["port"].toString(),
              module.path() + " (Modbus TCP)");
}

TEST(FunctionTestEndToEnd, TheDefaultPlanIsPrintedAndValidates) {
    QTemporaryDir folder;
    const RunResult printed = runTool({"--headless", "--print-plan"});
    ASSERT_EQ(printed.exitCode, 0);
    const QString path = writeFile(folder, "default.json", printed.lines.join('\n').toUtf8());
    EXPECT_EQ(schemaProblems(path, "test-plan.schema.json"), QString());
    // The short plan the tests use is a valid plan too.
    EXPECT_EQ(schemaProblems(writeFile(folder, "short.json", planText(true, false)),
                             "test-plan.schema.json"),
              QString());
}

// Starts a test whose output linearity takes a while, and waits for it to
// get there.
class LongTest {
public:
    LongTest(const QString& port, const QString& folder) {
        m_process.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
                        {"--headless", "--port", port, "--baud", "9600", "--address", "1", "--test",
                         "--serial", "KM-0003", "--report-dir", folder});
    }
    // True once the relay step has ended, so that output-linearity runs.
    bool waitForLinearity() {
        while (!m_output.contains("step relay:") && m_process.waitForReadyRead(ProcessTimeoutMs)) {
            m_output += m_process.readAllStandardOutput();
        }
        return m_output.contains("step relay:");
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_output;
};

TEST(FunctionTestEndToEnd, AKilledTestLeavesAnIncompleteReportAStoppedOneAnAbortedOne) {
    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal == SIGKILL ? "SIGKILL" : "SIGTERM");
        // A module of its own each time: a killed master leaves the
        // pseudo-terminal claimed while the module holds its other end.
        ModuleProcess module({"--pace", "line"});
        QTemporaryDir folder;
        LongTest test(module.path(), folder.path());
        ASSERT_TRUE(test.waitForLinearity());
        ::kill(static_cast<pid_t>(test.process().processId()), signal);
        ASSERT_TRUE(test.process().waitForFinished(ProcessTimeoutMs));
        const QStringList reports = reportsIn(folder, ".json");
        ASSERT_EQ(reports.size(), 1);
        const QString path = folder.filePath(reports[0]);
        EXPECT_EQ(schemaProblems(path, "test-report.schema.json"), QString());
        const QJsonObject report = readReport(path);
        if (signal == SIGKILL) {
            EXPECT_EQ(report["verdict"].toString(), "INCOMPLETE");
            continue;
        }
        EXPECT_EQ(test.process().exitCode(), 1);
        EXPECT_EQ(report["verdict"].toString(), "ABORTED");
        const QJsonArray steps = report["steps"].toArray();
        ASSERT_FALSE(steps.isEmpty());
        EXPECT_EQ(steps.last().toObject()["name"].toString(), "teardown");
        EXPECT_EQ(steps.last().toObject()["verdict"].toString(), "PASS");
        const QStringList lines = QString::fromUtf8(test.process().readAllStandardOutput())
                                      .split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.value(lines.size() - 1), "test KM-0003: ABORTED");
    }
}

TEST(FunctionTestEndToEnd, TwoStationsShareOneLogWithoutLosingOrTearingARow) {
    constexpr int TestsEach = 50;
    QTemporaryDir folder;
    const QString plan =
        writeFile(folder, "plan.json", R"({"baud": 115200, "steps": [{"name": "identity"}]})");
    const QString log = folder.filePath("shared-log.csv");
    auto station = [&](const QString& port, const QString& serial) {
        return QStringList{"--headless",    "--port", port, "--test",       "--serial",
                           serial,          "--plan", plan, "--report-dir", folder.path(),
                           "--station-log", log};
    };
    ModuleProcess first({"--baud", "115200"});
    ModuleProcess second({"--baud", "115200"});
    // One shell a station, each testing its units one after the other.
    auto runStation = [&](const ModuleProcess& module, const QString& serial) {
        auto* shell = new QProcess;
        QString loop = QStringLiteral("for i in $(seq %1); do '%2' %3 > /dev/null 2>&1; done")
                           .arg(TestsEach)
                           .arg(QStringLiteral(KESTRO_MODBUS_M_PATH))
                           .arg(station(module.path(), serial).join(' '));
        shell->start("sh", {"-c", loop});
        return shell;
    };
    std::unique_ptr<QProcess> a(runStation(first, "STATION-A"));
    std::unique_ptr<QProcess> b(runStation(second, "STATION-B"));
    ASSERT_TRUE(a->waitForFinished(10 * ProcessTimeoutMs));
    ASSERT_TRUE(b->waitForFinished(10 * ProcessTimeoutMs));

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + 2 * TestsEach);
    EXPECT_EQ(rows[0], "time,serial,attempt,verdict,failed_steps,duration_s,report");
    static const QRegularExpression row(
        R"(^\d{4}-\d\d-\d\dT[\d:.]+[+-]\d\d:\d\d,STATION-[AB],(\d+),PASS,,\d+\.\d,STATION-[AB]-\d{8}T\d{6}Z-\d+\.json$)");
    QSet<QString> attempts;
    for (const QString& line : rows.mid(1)) {
        const auto match = row.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        attempts.insert(line.section(',', 1, 2));
    }
    // Every attempt of each station once: no row lost, none written twice.
    EXPECT_EQ(attempts.size(), 2 * TestsEach);
}

TEST(FunctionTestEndToEnd, BadPlansAndSerialsAreUsageErrorsAMissingFolderStopsTheTest) {
    QTemporaryDir folder;
    const QString plan =
        writeFile(folder, "plan.json", "{\n  \"steps\": [\n    {\"name\": \"relais\"}\n  ]\n}\n");
    const QStringList base = {"--headless", "--simulate", "--test"};
    struct Case {
        QStringList options;
        int exitCode;
        QString message;
    };
    const std::vector<Case> cases = {
        {{"--serial", "KM-1", "--plan", plan}, 2, "line 3: steps[0].name: unknown step \"relais\""},
        {{"--serial", ""}, 2, "--serial needs a value"},
        {{"--serial", QString(65, 'A')}, 2, "--serial must be 1 to 64"},
        {{"--serial", "KM/1"}, 2, "--serial must be 1 to 64"},
        {{}, 2, "--test needs --serial SN"},
        {{"--serial", "KM-1", "--cycles", "3"}, 2, "--test and --cycles exclude each other"},
        {{"--serial", "KM-1", "--report-dir", folder.filePath("missing")},
         1,
         "cannot write reports"},
    };
    for (const Case& test : cases) {
        const RunResult result = runTool(base + test.options);
        EXPECT_EQ(result.exitCode, test.exitCode) << test.options.join(' ').toStdString();
        EXPECT_TRUE(result.errors.contains(test.message)) << result.errors.toStdString();
        EXPECT_TRUE(result.lines.isEmpty()) << result.lines.join('\n').toStdString();
    }
}

} // namespace
