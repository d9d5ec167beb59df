// The network lines end to end: the built kestro-modbus-m polling
// independent Modbus TCP servers (pymodbus, and small servers of our own that
// answer late, die and come back, or send what no frame can be), a serial
// device server (socat) in front of the virtual module on a pseudo-terminal,
// and the virtual module's own TCP server read by libmodbus's mbpoll.

#include "tests/net/NetTestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

using namespace nettest;

namespace {

// What a run printed at its end: "Tx=N Er=M" and the registers.
struct Summary {
    int requests = -1;
    int misses = -1;
    QStringList registers;
};

Summary summaryOf(const QStringList& lines) {
    Summary summary;
    static const QRegularExpression counters("^Tx=(\\d+) Er=(\\d+)$");
    for (const QString& line : lines) {
        if (const auto match = counters.match(line); match.hasMatch()) {
            summary.requests = match.captured(1).toInt();
            summary.misses = match.captured(2).toInt();
        } else if (line.startsWith("registers=")) {
            summary.registers = line.mid(10).split(',');
        }
    }
    return summary;
}

QStringList linesStartingWith(const QStringList& lines, const QString& prefix) {
    QStringList found;
    for (const QString& line : lines) {
        if (line.startsWith(prefix)) {
            found.append(line);
        }
    }
    return found;
}

// The bytes of a traffic line after the ">".
QString trafficBytes(const QString& line) {
    return line.mid(line.indexOf('>') + 2);
}

// Runs the tool to its end.
struct Finished {
    int status = -1;
    QStringList lines;
    QStringList errors;
};

Finished runTool(const QStringList& arguments) {
    auto tool = startTool(arguments);
    tool->waitUntil([] { return false; }, ProcessTimeoutMs);
    return {tool->finish(), tool->lines(), tool->errorLines()};
}

// The resident memory of a process, in kilobytes.
long residentKilobytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QString& line : QString::fromLatin1(status.readAll()).split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

QString mbpollRead(int address, int port, int first, int count) {
    QProcess mbpoll;
    mbpoll.start("mbpoll",
                 {"-m", "tcp", "-a", QString::number(address), "-r", QString::number(first), "-c",
                  QString::number(count), "-1", "-p", QString::number(port), "127.0.0.1"});
    mbpoll.waitForFinished(ProcessTimeoutMs);
    return QString::fromUtf8(mbpoll.readAllStandardOutput());
}

// The values mbpoll printed, by its register reference ("[4]: 1234").
std::map<int, int> mbpollValues(const QString& output) {
    std::map<int, int> values;
    static const QRegularExpression value("^\\[(\\d+)\\]:\\s+(-?\\d+)$",
                                          QRegularExpression::MultilineOption);
    for (auto match = value.globalMatch(output); match.hasNext();) {
        const auto found = match.next();
        values[found.captured(1).toInt()] = found.captured(2).toInt();
    }
    return values;
}

} // namespace

TEST(NetworkLine, PollsAPymodbusServerWithTransactionIdsAndReadsItsRegisters) {
    TestServer server("pymodbus");
    ASSERT_GT(server.port(), 0);
    const Finished run = runTool({"--headless", "--tcp", server.endpoint(), "--cycles", "4"});
    ASSERT_EQ(run.status, 0) << run.errors.join('\n').toStdString();
    const Summary summary = summaryOf(run.lines);
    EXPECT_EQ(summary.requests, 4);
    EXPECT_EQ(summary.misses, 0);
    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        expected.append(QString::number(1000 + i));
    }
    EXPECT_EQ(summary.registers, expected);
    // The traffic shows each frame as it went: the MBAP header, a new
    // transaction id for each request, the reply with the request's id.
    const QStringList requests = linesStartingWith(run.lines, "Tx-");
    const QStringList replies = linesStartingWith(run.lines, "Rx-");
    ASSERT_EQ(requests.size(), 4);
    ASSERT_EQ(replies.size(), 4);
    for (int index = 0; index < 4; ++index) {
        const QString id = QStringLiteral("%1").arg(index + 1, 4, 16, QLatin1Char('0')).toUpper();
        const QString header = id.left(2) + ' ' + id.right(2) + " 00 00";
        EXPECT_EQ(trafficBytes(requests[index]), header + " 00 06 01 03 00 00 00 14");
        EXPECT_TRUE(trafficBytes(replies[index]).startsWith(header + " 00 2B 01 03 28 03 E8"))
            << replies[index].toStdString();
    }
}

TEST(NetworkLine, AWriteIsSeenByLibmodbusOwnClient) {
    TestServer server("pymodbus");
    const Finished run =
        runTool({"--headless", "--tcp", server.endpoint(), "--cycles", "3", "--write", "3=1234"});
    ASSERT_EQ(run.status, 0) << run.errors.join('\n').toStdString();
    // mbpoll counts registers from 1: register 3 is its reference 4.
    const auto values = mbpollValues(mbpollRead(1, server.port(), 4, 1));
    ASSERT_EQ(values.count(4), 1u);
    EXPECT_EQ(values.at(4), 1234);
}

TEST(NetworkLine, RtuOverTcpReachesTheModuleThroughASerialDeviceServer) {
    Background module(QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH), {"--noise", "0"});
    const QString pty = module.firstLine();
    ASSERT_FALSE(pty.isEmpty());
    const int port = freePort();
    // socat plays the device server: the TCP connection to the serial line.
    Background socat("socat", {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
                               QStringLiteral("FILE:%1,raw,echo=0").arg(pty)});
    QThread::msleep(300);
    const Finished run =
        runTool({"--headless", "--rtu-over-tcp", QStringLiteral("127.0.0.1:%1").arg(port), "--baud",
                 "115200", "--cycles", "5", "--write", "3=777"});
    ASSERT_EQ(run.status, 0) << run.errors.join('\n').toStdString();
    const Summary summary = summaryOf(run.lines);
    EXPECT_EQ(summary.requests, 5);
    EXPECT_EQ(summary.misses, 0);
    ASSERT_EQ(summary.registers.size(), 20);
    EXPECT_EQ(summary.registers[3], "777");
    // The frames went as they are, CRC and all.
    EXPECT_EQ(trafficBytes(linesStartingWith(run.lines, "Tx-").value(0)),
              "01 03 00 00 00 14 45 C5");
    EXPECT_TRUE(trafficBytes(linesStartingWith(run.lines, "Rx-").value(0)).startsWith("01 03 28"));
}

TEST(NetworkLine, MbpollReadsTheVirtualModuleServingModbusTcp) {
    Background module(QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH),
                      {"--tcp-listen", "127.0.0.1:0", "--address", "5", "--noise", "0"});
    const int port = module.firstLine().section(':', -1).toInt();
    ASSERT_GT(port, 0);
    const auto values = mbpollValues(mbpollRead(5, port, 1, 20));
    ASSERT_EQ(values.size(), 20u);
    EXPECT_EQ(values.at(8), 5);  // register 7: the device ID, the address
    EXPECT_EQ(values.at(9), 96); // register 8: the rate in hundreds
    // Another slave's request gets no answer, as on a serial line.
    EXPECT_TRUE(mbpollValues(mbpollRead(6, port, 1, 20)).empty());
}

TEST(NetworkLine, ALateReplyIsRecordedLateAndNeverTakenForAnotherRequest) {
    TestServer server("late");
    QTemporaryDir folder;
    const QString recording = folder.filePath("traffic.csv");
    const QString summaryFile = folder.filePath("summary.json");
    const Finished run = runTool({"--headless", "--tcp", server.endpoint(), "--cycles", "12",
                                  "--record", recording, "--summary", summaryFile});
    ASSERT_EQ(run.status, 0) << run.errors.join('\n').toStdString();
    const std::vector<Row> rows = readRecording(recording);
    ASSERT_FALSE(rows.empty());
    int lastRequest = 0;
    qsizetype late = 0;
    for (const Row& row : rows) {
        if (row.direction == "Tx") {
            lastRequest = transactionOf(row.bytes);
        } else if (row.verdict == "ok") {
            EXPECT_EQ(transactionOf(row.bytes), lastRequest) << row.bytes.toStdString();
        } else if (row.verdict == "late") {
            ++late;
            EXPECT_LT(transactionOf(row.bytes), lastRequest) << row.bytes.toStdString();
        }
    }
    // Every third reply comes 200 ms after the time-out.
    EXPECT_GE(late, 3);
    const Summary summary = summaryOf(run.lines);
    EXPECT_EQ(summary.misses, countVerdict(rows, "no-reply"));
    EXPECT_GE(summary.misses, late);
    // Only the replies taken are on the monitor.
    EXPECT_EQ(linesStartingWith(run.lines, "Rx-").size(), countVerdict(rows, "ok"));
    // The link statistics count them among the verdicts.
    QFile summaryJson(summaryFile);
    ASSERT_TRUE(summaryJson.open(QIODevice::ReadOnly));
    EXPECT_TRUE(summaryJson.readAll().contains(QStringLiteral("\"late\": %1").arg(late).toUtf8()));
}

TEST(NetworkLine, PollingResumesWithinTwoSecondsOfTheServerComingBack) {
    auto server = std::make_unique<TestServer>("serve");
    const int port = server->port();
    QTemporaryDir folder;
    const QString recording = folder.filePath("traffic.csv");
    auto tool = startTool({"--headless", "--tcp", server->endpoint(), "--record", recording});
    ASSERT_TRUE(tool->waitUntil([&] { return tool->count("Rx-") >= 3; }));

    server->kill();
    ASSERT_TRUE(tool->waitUntil([&] { return tool->errorLines().size() >= 1; }));
    EXPECT_TRUE(tool->errorLines()[0].endsWith("Trying to open it again every second."))
        << tool->errorLines()[0].toStdString();
    // Away for a while: the run goes on, no reply comes.
    const qsizetype repliesBefore = tool->count("Rx-");
    tool->runFor(2500);
    EXPECT_EQ(tool->count("Rx-"), repliesBefore);

    server = std::make_unique<TestServer>("serve", port);
    ASSERT_EQ(server->port(), port);
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(tool->waitUntil([&] { return tool->count("Rx-") > repliesBefore; }));
    EXPECT_LT(back.elapsed(), 2000) << "polling must resume within 2 s of the server's return";
    ASSERT_EQ(tool->finish(SIGINT), 0);

    EXPECT_TRUE(tool->errorLines().last().startsWith("The line is back after "))
        << tool->errorLines().join('\n').toStdString();
    const std::vector<Row> rows = readRecording(recording);
    EXPECT_EQ(countVerdict(rows, "line-lost"), 1);
    EXPECT_EQ(countVerdict(rows, "line-back"), 1);
    EXPECT_GE(countVerdict(rows, "write-failed"), 2);
}

// A server whose every answer is a length field of 60000, or endless bytes
// of no frame, on either framing: the connection is closed and made again,
// every request counts as missed, and the tool's memory stays as it was.
TEST(NetworkLine, AServerSendingWhatNoFrameCanBeIsDroppedAndTriedAgainInBoundedMemory) {
    const struct {
        const char* mode;
        const char* option;
    } cases[] = {{"length", "--tcp"}, {"endless", "--tcp"}, {"endless", "--rtu-over-tcp"}};
    for (const auto& [mode, option] : cases) {
        SCOPED_TRACE(std::string(mode) + " " + option);
        TestServer server(mode);
        QTemporaryDir folder;
        const QString recording = folder.filePath("traffic.csv");
        auto tool = startTool({"--headless", option, server.endpoint(), "--record", recording});
        const auto accepted = [&server](int count) {
            return [&server, count] {
                server.refresh();
                return server.errorCount("accepted") >= count;
            };
        };
        ASSERT_TRUE(tool->waitUntil(accepted(2)));
        const long early = residentKilobytes(tool->pid());
        ASSERT_TRUE(tool->waitUntil(accepted(4)));
        const long late = residentKilobytes(tool->pid());
        ASSERT_EQ(tool->finish(SIGINT), 0);
        EXPECT_LT(late - early, 2048) << "kB: " << early << " then " << late;

        const Summary summary = summaryOf(tool->lines());
        EXPECT_GE(summary.requests, 3);
        EXPECT_EQ(summary.misses, summary.requests);
        const std::vector<Row> rows = readRecording(recording);
        EXPECT_GE(countVerdict(rows, "line-lost"), 2);
        EXPECT_GE(countVerdict(rows, "line-back"), 2);
        EXPECT_EQ(countVerdict(rows, "ok"), 0);
    }
}

TEST(NetworkLine, AnUnknownHostEndsTheRunWithTheResolversReason) {
    QElapsedTimer clock;
    clock.start();
    const Finished run = runTool({"--headless", "--tcp", "no-such-host.invalid", "--cycles", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(clock.elapsed(), 20000);
    ASSERT_EQ(run.errors.size(), 1) << run.errors.join('\n').toStdString();
    static const QRegularExpression reason(
        "^kestro-modbus-m: cannot find the host no-such-host\\.invalid: \\S.+$");
    EXPECT_TRUE(reason.match(run.errors[0]).hasMatch()) << run.errors[0].toStdString();
    EXPECT_TRUE(linesStartingWith(run.lines, "Tx-").isEmpty());
}

TEST(NetworkLine, TheScanFindsTheModuleBehindAModbusTcpServer) {
    Background module(QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH),
                      {"--tcp-listen", "127.0.0.1:0", "--address", "77"});
    const QString endpoint = module.firstLine();
    const Finished run = runTool({"--headless", "--tcp", endpoint, "--scan"});
    EXPECT_EQ(run.status, 0) << run.errors.join('\n').toStdString();
    EXPECT_EQ(linesStartingWith(run.lines, "found "), QStringList{"found address=77 baud=115200"});
}

// A peer that vanishes without closing (a cable pulled): nothing more comes
// from it, not even a reset. The loopback interface of a network namespace
// of the test's own is taken down under the open connection.
TEST(NetworkLine, AHalfOpenConnectionIsNoticedWithinTenSeconds) {
    QTemporaryDir folder;
    QProcess namespaced;
    namespaced.start("unshare",
                     {"--net", "sh", QStringLiteral(KESTRO_HALF_OPEN_SCRIPT),
                      QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH),
                      QStringLiteral(KESTRO_MODBUS_M_PATH), folder.filePath("errors.txt")});
    ASSERT_TRUE(namespaced.waitForFinished(ProcessTimeoutMs));
    if (namespaced.exitCode() != 0) {
        GTEST_SKIP() << "no network namespace of our own here: "
                     << namespaced.readAllStandardError().toStdString();
    }
    const QStringList times =
        QString::fromLatin1(namespaced.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(times.size(), 2);
    QFile errors(folder.filePath("errors.txt"));
    ASSERT_TRUE(errors.open(QIODevice::ReadOnly));
    EXPECT_TRUE(errors.readAll().contains("Connection timed out. Trying to open it again"));
    EXPECT_LT(times[1].toDouble() - times[0].toDouble(), 10.0);
}
