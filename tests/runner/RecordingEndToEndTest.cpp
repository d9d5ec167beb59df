// The traffic recording and the link summary of the built kestro-modbus-m,
// run as a subprocess against the virtual module with each of its faults.

#include "tests/runner/ToolProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tooltest;

namespace {

const QString Header = QStringLiteral("time,elapsed_us,direction,bytes,verdict,response_us");

struct Row {
    qint64 elapsed = 0;
    QString direction;
    QString bytes;
    QString verdict;
    std::optional<qint64> response;
};

struct Recording {
    bool header = false;
    std::vector<Row> rows;
    QStringList badRows;
    QString tail; // an unfinished last row, if any
};

// Reads a recording, checking every complete row against the format.
Recording readRecording(const QString& path) {
    static const QRegularExpression rowPattern(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}[+-]\\d\\d:\\d\\d,(\\d+),(Tx|Rx|--),"
        "((?:[0-9A-F]{2}(?: [0-9A-F]{2})*)?),([a-z0-9-]+),(\\d*)$");
    static const QRegularExpression verdicts[] = {
        QRegularExpression("^(sent|write-failed)$"),
        QRegularExpression("^(ok|bad-crc|wrong-address|wrong-count|exception-[0-9A-F]{2}|"
                           "overflow|unexpected|echo)$"),
        QRegularExpression("^(no-reply|incomplete|line-lost|line-back)$"),
    };
    Recording recording;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return recording;
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    recording.tail = lines.takeLast(); // empty when the file ends with a line end
    recording.header = !lines.isEmpty() && lines.takeFirst() == Header;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = rowPattern.match(line);
        Row row;
        if (match.hasMatch()) {
            row = Row{match.captured(1).toLongLong(), match.captured(2), match.captured(3),
                      match.captured(4), std::nullopt};
            if (!match.captured(5).isEmpty()) {
                row.response = match.captured(5).toLongLong();
            }
        }
        const int kind = row.direction == "Tx" ? 0 : row.direction == "Rx" ? 1 : 2;
        const bool consistent = match.hasMatch() && verdicts[kind].match(row.verdict).hasMatch() &&
                                row.bytes.isEmpty() == (kind == 2) &&
                                row.response.has_value() == (kind == 1);
        if (!consistent) {
            recording.badRows.append(line);
            continue;
        }
        recording.rows.push_back(row);
    }
    return recording;
}

std::map<QString, int> verdictCounts(const Recording& recording) {
    std::map<QString, int> counts;
    for (const Row& row : recording.rows) {
        ++counts[row.verdict];
    }
    return counts;
}

QJsonObject readSummary(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The summary counts what the recording holds and what the runner printed.
void expectSummaryMatches(const QJsonObject& summary, const Recording& recording,
                          const QString& countersLine) {
    const std::map<QString, int> counts = verdictCounts(recording);
    const auto count = [&](const QString& verdict) {
        const auto found = counts.find(verdict);
        return found == counts.end() ? 0 : found->second;
    };
    EXPECT_EQ(
        QStringLiteral("Tx=%1 Er=%2").arg(summary["tx"].toInteger()).arg(summary["er"].toInteger()),
        countersLine);
    EXPECT_EQ(summary["tx"].toInteger(), count("sent") + count("write-failed"));
    EXPECT_EQ(summary["replies"].toInteger(), count("ok"));
    const QJsonObject verdicts = summary["verdicts"].toObject();
    for (const auto& [verdict, rows] : counts) {
        if (verdict != "sent") {
            EXPECT_EQ(verdicts[verdict].toInteger(), rows) << verdict.toStdString();
        }
    }
    EXPECT_EQ(verdicts.size(), static_cast<qsizetype>(counts.size() - (count("sent") > 0)));
}

struct FaultCase {
    QStringList moduleArguments;
    QString verdict;
};

TEST(RecordingAgainstVirtualModule, EachInjectedFaultIsNamedInTheVerdictColumn) {
    const std::vector<FaultCase> cases = {
        {{"--fault", "no-reply:1"}, "no-reply"},
        {{"--fault", "wrong-crc:1"}, "bad-crc"},
        {{"--fault", "wrong-address:1"}, "wrong-address"},
        {{"--fault", "exception:1"}, "exception-04"},
        {{"--fault", "trailing:1"}, "unexpected"},
        {{"--fault", "burst:1"}, "overflow"},
        // Held back past the time-out, the reply misses its request.
        {{"--fault", "late:1"}, "no-reply"},
        // Pieces 200 ms apart: the time-out comes before the reply is whole.
        {{"--fault", "split:1", "--split", "5:200"}, "incomplete"},
    };
    QTemporaryDir folder;
    for (const FaultCase& current : cases) {
        SCOPED_TRACE(current.moduleArguments.join(' ').toStdString());
        ModuleProcess module(current.moduleArguments);
        ASSERT_TRUE(module.path().startsWith("/dev/"));
        const QString record = folder.filePath("record.csv");
        const QString summary = folder.filePath("summary.json");
        QFile::remove(record);
        const RunResult result = runTool({"--headless", "--port", module.path(), "--cycles", "3",
                                          "--record", record, "--summary", summary});
        ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
        const Recording recording = readRecording(record);
        EXPECT_TRUE(recording.header);
        EXPECT_TRUE(recording.badRows.isEmpty()) << recording.badRows.join('\n').toStdString();
        EXPECT_TRUE(recording.tail.isEmpty());
        // The fault hit the first request: its verdict is among that request's rows.
        QStringList first;
        for (std::size_t i = 1; i < recording.rows.size() && recording.rows[i].direction != "Tx";
             ++i) {
            first.append(recording.rows[i].verdict);
        }
        EXPECT_TRUE(first.contains(current.verdict)) << first.join(' ').toStdString();
        expectSummaryMatches(readSummary(summary), recording,
                             result.lines.value(result.lines.size() - 2));
        for (std::size_t i = 1; i < recording.rows.size(); ++i) {
            EXPECT_GE(recording.rows[i].elapsed, recording.rows[i - 1].elapsed);
        }
    }
}

// Polls the module started with moduleArguments for cycles requests,
// recording into record, and reads the recording.
Recording recordAgainstModule(const QStringList& moduleArguments, int cycles,
                              const QString& record) {
    ModuleProcess module(moduleArguments);
    const RunResult result = runTool({"--headless", "--port", module.path(), "--cycles",
                                      QString::number(cycles), "--record", record});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    return readRecording(record);
}

TEST(RecordingAgainstVirtualModule, ResponseTimesRunToTheLastByteOfTheReply) {
    QTemporaryDir folder;
    const QString record = folder.filePath("record.csv");
    // Held back 200 ms, inside the 500 ms time-out: a sound reply, but a slow one.
    Recording recording =
        recordAgainstModule({"--fault", "late:1", "--late-ms", "200", "--pace", "line"}, 2, record);
    ASSERT_GE(recording.rows.size(), 4U);
    EXPECT_EQ(recording.rows[1].verdict, "ok");
    EXPECT_GE(recording.rows[1].response.value_or(0), 200000);
    // Both count whole microseconds, each rounded down.
    EXPECT_NEAR(recording.rows[1].elapsed - recording.rows[0].elapsed,
                recording.rows[1].response.value_or(0), 1);
    // The next reply is prompt again: 45 bytes at 9600 baud take 52 ms.
    EXPECT_EQ(recording.rows[3].verdict, "ok");
    EXPECT_LT(recording.rows[3].response.value_or(0), 200000);
    EXPECT_GE(recording.rows[3].response.value_or(0), 45000);

    // A reply in nine pieces 30 ms apart is timed to its last piece.
    recording = recordAgainstModule({"--fault", "split:1", "--split", "5:30"}, 1, record);
    ASSERT_GE(recording.rows.size(), 2U);
    EXPECT_EQ(recording.rows[1].verdict, "ok");
    EXPECT_GE(recording.rows[1].response.value_or(0), 8 * 30000);

    // The earlier recording under the same name was kept, not overwritten.
    EXPECT_TRUE(readRecording(record + ".1").header);
    EXPECT_EQ(readRecording(record + ".1").rows.size(), 4U);
}

int lineCount(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : 0;
}

TEST(RecordingOfTheRunner, AKilledRunLeavesEveryCompleteRowReadable) {
    QTemporaryDir folder;
    const QString record = folder.filePath("record.csv");
    QProcess tool;
    tool.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
               {"--headless", "--simulate", "--baud", "115200", "--record", record});
    ASSERT_TRUE(tool.waitForStarted(ProcessTimeoutMs));
    QElapsedTimer waited;
    waited.start();
    int seen = 0;
    while ((seen = lineCount(record)) < 400 && waited.elapsed() < ProcessTimeoutMs) {
        tool.waitForFinished(20); // lets the output drain meanwhile
        tool.readAllStandardOutput();
    }
    ASSERT_GE(seen, 400);
    tool.kill();
    ASSERT_TRUE(tool.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(tool.exitStatus(), QProcess::CrashExit);

    const Recording recording = readRecording(record);
    EXPECT_TRUE(recording.header);
    EXPECT_TRUE(recording.badRows.isEmpty()) << recording.badRows.join('\n').toStdString();
    // Every row that was on disk before the kill is still there and whole.
    EXPECT_GE(static_cast<int>(recording.rows.size()), seen - 1);
}

TEST(RecordingOfTheRunner, AFileThatCannotGrowStopsOnlyTheRecording) {
    QTemporaryDir folder;
    const QString record = folder.filePath("record.csv");
    // The shell holds the files the runner writes to 20 kB, as a full disk
    // would, and ignores the signal that passing the limit raises.
    const QStringList limited = {"/bin/sh", "-c",
                                 "ulimit -f 40 && trap '' XFSZ && exec \"$0\" \"$@\""};
    const RunResult result = runTool(
        {"--headless", "--simulate", "--baud", "115200", "--cycles", "300", "--record", record},
        limited);
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    // Polling went on to the end.
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=300 Er=0");
    EXPECT_EQ(result.errors.count("the recording stopped"), 1) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.contains(record)) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.contains("File too large")) << result.errors.toStdString();
    // What reached the file before it filled up stays readable, and the file
    // ends after a whole row.
    const Recording recording = readRecording(record);
    EXPECT_TRUE(recording.header);
    EXPECT_TRUE(recording.badRows.isEmpty());
    EXPECT_TRUE(recording.tail.isEmpty()) << recording.tail.toStdString();
    EXPECT_GT(recording.rows.size(), 20U);
    EXPECT_LE(QFileInfo(record).size(), 20480);
}

TEST(RecordingOfTheRunner, RefusesFilesItCannotWriteBeforeOpeningThePort) {
    QTemporaryDir folder;
    const auto readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                          QFileDevice::ExeOther;
    QFile::setPermissions(folder.path(), readable | QFileDevice::WriteOwner);
    QDir(folder.path()).mkdir("read-only");
    QFile::setPermissions(folder.filePath("read-only"), readable);
    // Permissions do not hold back the superuser: the run is then made as nobody.
    const QStringList asUser = ::geteuid() == 0 ? QStringList{"setpriv", "--reuid=65534",
                                                              "--regid=65534", "--clear-groups"}
                                                : QStringList{};
    const QString port = "/dev/kestro-no-such-port";
    const std::vector<std::pair<QStringList, QString>> unwritable = {
        {{"--record", folder.filePath("missing/record.csv")}, "No such file or directory"},
        {{"--record", folder.path()}, "Is a directory"},
        {{"--record", folder.filePath("read-only/record.csv")}, "Permission denied"},
        {{"--summary", folder.filePath("missing/summary.json")}, "No such file or directory"},
    };
    for (const auto& [arguments, reason] : unwritable) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const RunResult result =
            runTool(QStringList{"--headless", "--port", port} + arguments, asUser);
        EXPECT_EQ(result.exitCode, 1);
        // The file is named with the reason, and the port was never tried.
        EXPECT_TRUE(result.errors.contains(arguments[1] + ": " + reason))
            << result.errors.toStdString();
        EXPECT_FALSE(result.errors.contains("串口打开失败")) << result.errors.toStdString();
        EXPECT_TRUE(result.lines.isEmpty());
    }

    for (const QString limit : {"0", "-5", "ten", "1.5", ""}) {
        const RunResult result = runTool({"--headless", "--port", port, "--record",
                                          folder.filePath("r.csv"), "--record-max-mb", limit});
        EXPECT_EQ(result.exitCode, 2) << limit.toStdString();
        EXPECT_TRUE(result.errors.contains("--record-max-mb must be a whole number of megabytes"))
            << result.errors.toStdString();
    }
    EXPECT_FALSE(QFile::exists(folder.filePath("r.csv")));
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST(RecordingOfTheRunner, ASummaryThatWouldReplaceARecordingIsRefusedBeforeAnythingIsOpened) {
    QTemporaryDir folder;
    const QString record = folder.filePath("record.csv");
    const QString summary = folder.filePath("summary.json");
    const QByteArray earlierRecording = "an earlier recording\n";
    const QByteArray earlierSummary = "{\"an earlier\": \"summary\"}\n";
    for (const auto& [path, content] :
         {std::pair{record, earlierRecording}, std::pair{record + ".1", earlierRecording},
          std::pair{summary, earlierSummary}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ASSERT_TRUE(QFile::link(record, folder.filePath("link.json")));
    const QString port = "/dev/kestro-no-such-port";

    // The same file by any name, and the older recordings kept beside it.
    for (const QString& clash :
         {record, folder.path() + "/./record.csv", folder.filePath("link.json"), record + ".1"}) {
        SCOPED_TRACE(clash.toStdString());
        const RunResult result =
            runTool({"--headless", "--port", port, "--record", record, "--summary", clash});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errors.contains("the summary would replace it"))
            << result.errors.toStdString();
        EXPECT_TRUE(result.lines.isEmpty());
        EXPECT_EQ(contentOf(record), earlierRecording);
        EXPECT_EQ(contentOf(record + ".1"), earlierRecording);
        EXPECT_FALSE(QFile::exists(record + ".2"));
    }

    // A summary of its own is checked at the start, but only replaced at the
    // end: a run that ends early leaves the earlier one as it was.
    const RunResult result =
        runTool({"--headless", "--port", port, "--record", record, "--summary", summary});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains("串口打开失败")) << result.errors.toStdString();
    EXPECT_EQ(contentOf(summary), earlierSummary);
}

TEST(RecordingOfTheRunner, ARecordingIntoAPipeIsRefusedAtOnce) {
    QTemporaryDir folder;
    const QString pipe = folder.filePath("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    const RunResult result =
        runTool({"--headless", "--port", "/dev/kestro-no-such-port", "--record", pipe});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains(pipe + ": not a regular file"))
        << result.errors.toStdString();
    EXPECT_FALSE(result.errors.contains("串口打开失败")) << result.errors.toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
}

// A file system of 16 kB, so that the disk fills up, not a file size limit.
class SmallDisk : public ::testing::Test {
protected:
    static constexpr qint64 Capacity = 16 * 1024;

    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "mounting a small tmpfs needs root";
        }
        const QByteArray where = QFile::encodeName(m_folder.path());
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=16k") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        }
        m_mounted = true;
    }
    void TearDown() override {
        if (m_mounted) {
            ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
        }
    }
    QString filePath(const QString& name) const { return m_folder.filePath(name); }

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
};

TEST_F(SmallDisk, AFullDiskKeepsEveryWholeRowItTook) {
    const QString record = filePath("record.csv");
    const RunResult result = runTool(
        {"--headless", "--simulate", "--baud", "115200", "--cycles", "400", "--record", record});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(result.errors.count("the recording stopped"), 1) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.contains("No space left on device")) << result.errors.toStdString();
    const QByteArray written = contentOf(record);
    EXPECT_TRUE(written.endsWith('\n'));
    const Recording recording = readRecording(record);
    EXPECT_TRUE(recording.badRows.isEmpty()) << recording.badRows.join('\n').toStdString();
    // The disk took rows up to its last byte: only the row that did not fit
    // whole is missing, never the rows gathered with it.
    qsizetype longestRow = 0;
    for (const QByteArray& row : written.split('\n')) {
        longestRow = std::max(longestRow, row.size() + 1);
    }
    EXPECT_GT(written.size(), Capacity - longestRow)
        << written.size() << " bytes of " << Capacity << ", rows up to " << longestRow;
}

TEST(RecordingOfTheWindow, RecordFromTheCommandLineRecordsWhatTheWindowPollsUntilItIsTerminated) {
    QTemporaryDir folder;
    const QString record = folder.filePath("window.csv");
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("KESTRO_CONFIG_DIR", folder.path());
    window.setProcessEnvironment(environment);
    window.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
                 {"--simulate", "--start", "--record", record, "--record-max-mb", "1"});
    ASSERT_TRUE(window.waitForStarted(ProcessTimeoutMs));
    QElapsedTimer waited;
    waited.start();
    while (lineCount(record) < 20 && waited.elapsed() < ProcessTimeoutMs) {
        window.waitForFinished(50);
    }
    // SIGTERM closes the window as the operator would, recording and all.
    window.terminate();
    ASSERT_TRUE(window.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(window.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(window.exitCode(), 0);
    const Recording recording = readRecording(record);
    EXPECT_TRUE(recording.header);
    EXPECT_TRUE(recording.badRows.isEmpty()) << recording.badRows.join('\n').toStdString();
    ASSERT_GE(recording.rows.size(), 19U);
    EXPECT_EQ(recording.rows[0].direction, "Tx");
    EXPECT_EQ(recording.rows[1].verdict, "ok");

    // A bad limit is refused before any window comes up.
    const RunResult refused = runTool({"--record-max-mb", "0"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.errors.contains("--record-max-mb must be a whole number"))
        << refused.errors.toStdString();
}

} // namespace
