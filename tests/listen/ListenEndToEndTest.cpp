// kestro-modbus-m --headless --listen as a process on the tap of an emulated
// RS-485 bus, while an independent master (libmodbus) polls the virtual
// module across it: the listener hears every request and reply, decodes the
// same registers, names the faults put on the line and finds the frame after
// each, and sends nothing, not a byte and not a line signal.

#include "sim/VirtualBus.h"
#include "sim/VirtualModule.h"
#include "tests/support/BusMaster.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/ioctl.h>

namespace {

using namespace std::chrono_literals;

constexpr int ProcessTimeoutMs = 60000;
constexpr int ReadReplyBytes = 45;
constexpr int BitsPerCharacter = 11;

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// The virtual module on an emulated bus, with the master's and the tap's ports.
class Bench {
public:
    Bench(unsigned baudRate, std::chrono::milliseconds tapLatency) {
        VirtualModuleOptions module;
        module.noise = 0;
        m_module = std::make_unique<VirtualModule>(module);
        EXPECT_EQ(m_module->Start(), 0);
        for (int index = 0; index < 20; ++index) {
            m_module->SetRegister(index, static_cast<std::uint16_t>(1000 + 7 * index));
        }
        m_module->SetRegister(3, 1234);
        VirtualBusOptions options;
        options.baudRate = baudRate;
        options.tapLatency = tapLatency;
        m_bus = std::make_unique<VirtualBus>(options);
        EXPECT_EQ(m_bus->Start(m_module->PortPath()), 0);
    }
    ~Bench() {
        m_bus->Stop();
        m_module->Stop();
    }
    VirtualBus& bus() { return *m_bus; }

private:
    std::unique_ptr<VirtualModule> m_module;
    std::unique_ptr<VirtualBus> m_bus;
};

// The listener as a process: started, told to stop, its output read.
class Listener {
public:
    Listener(const QStringList& arguments,
             const QProcessEnvironment& environment = withoutDisplay()) {
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(KESTRO_MODBUS_M_PATH), arguments);
    }
    ~Listener() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    /// Waits until it says it listens.
    bool ready() {
        return waitUntil([this] {
                   m_errors += QString::fromUtf8(m_process.readAllStandardError());
                   return m_errors.contains("listening on") ||
                          m_process.state() == QProcess::NotRunning;
               }) &&
               m_errors.contains("listening on");
    }
    /// SIGTERM, then its exit status.
    int stop() {
        m_process.terminate();
        if (!m_process.waitForFinished(ProcessTimeoutMs)) {
            return -1;
        }
        m_lines =
            QString::fromUtf8(m_process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QStringList linesStartingWith(const QString& prefix) const {
        QStringList found;
        for (const QString& line : m_lines) {
            if (line.startsWith(prefix)) {
                found.append(line);
            }
        }
        return found;
    }
    const QString& errors() const { return m_errors; }

private:
    QProcess m_process;
    QStringList m_lines;
    QString m_errors;
};

QString registersText(const BusMaster::Registers& values) {
    QStringList texts;
    for (const std::uint16_t value : values) {
        texts.append(QString::number(value));
    }
    return "registers=" + texts.join(',');
}

// The record's rows after the header, split into their fields.
std::vector<QStringList> recordRows(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<QStringList> rows;
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        rows.push_back(lines[i].split(','));
    }
    return rows;
}

// direction, verdict
QString kindOf(const QStringList& row) {
    return row.value(2) + ' ' + row.value(4);
}

struct Line {
    unsigned baudRate;
    int tapLatencyMs;
};

class OnTheBus : public ::testing::TestWithParam<Line> {
protected:
    QStringList listenArguments(const QString& tap) const {
        return {"--headless", "--listen",
                "--port",     tap,
                "--baud",     QString::number(GetParam().baudRate),
                "--address",  "1",
                "--record",   m_files.filePath("traffic.csv"),
                "--summary",  m_files.filePath("summary.json")};
    }
    QString record() const { return m_files.filePath("traffic.csv"); }

    QTemporaryDir m_files;
};

TEST_P(OnTheBus, HearsEveryPollOfAnotherMasterAndDecodesTheSameRegisters) {
    Bench bench(GetParam().baudRate, std::chrono::milliseconds{GetParam().tapLatencyMs});
    Listener listener(listenArguments(QString::fromStdString(bench.bus().TapPath())));
    ASSERT_TRUE(listener.ready()) << listener.errors().toStdString();

    constexpr int Polls = 20;
    BusMaster master;
    std::string reason;
    ASSERT_TRUE(master.Start(
        {bench.bus().MasterPath(), static_cast<int>(GetParam().baudRate), 1, Polls, 20ms}, reason))
        << reason;
    master.Wait();
    ASSERT_EQ(master.Answered(), Polls);
    // The last reply reaches the tap after the master has it (the adapter's timer).
    QTest::qWait(300);
    ASSERT_EQ(listener.stop(), 0) << listener.errors().toStdString();

    EXPECT_EQ(listener.linesStartingWith("Tx-").size(), Polls);
    EXPECT_EQ(listener.linesStartingWith("Rx-").size(), Polls);
    EXPECT_EQ(listener.linesStartingWith("Tx=").value(0), QString("Tx=%1 Er=0").arg(Polls));
    EXPECT_EQ(listener.linesStartingWith("registers=").value(0), registersText(master.LastRead()));
    EXPECT_EQ(master.LastRead()[3], 1234);

    // Every reply is on record with the time from the end of its request to
    // its own end, which is never less than the reply takes on the line, but
    // for the adapter's timer, which may have held the request longer.
    const auto lineTime = std::chrono::nanoseconds{1'000'000'000LL * BitsPerCharacter *
                                                   ReadReplyBytes / GetParam().baudRate} -
                          std::chrono::milliseconds{GetParam().tapLatencyMs};
    int replies = 0;
    for (const QStringList& row : recordRows(record())) {
        if (kindOf(row) == "Rx ok") {
            ++replies;
            EXPECT_GE(row.value(5).toLongLong() * 1000,
                      std::max<std::int64_t>(lineTime.count() * 8 / 10, 0))
                << row.join(',').toStdString();
            EXPECT_LT(row.value(5).toLongLong(), 1'000'000);
        }
    }
    EXPECT_EQ(replies, Polls);
    EXPECT_EQ(bench.bus().BytesFromTap(), 0u);
}

TEST_P(OnTheBus, NamesEveryFaultOnTheLineAndFindsTheFrameAfterIt) {
    Bench bench(GetParam().baudRate, std::chrono::milliseconds{GetParam().tapLatencyMs});
    Listener listener(listenArguments(QString::fromStdString(bench.bus().TapPath())));
    ASSERT_TRUE(listener.ready()) << listener.errors().toStdString();
    BusMaster master;
    std::string reason;
    ASSERT_TRUE(master.Start(
        {bench.bus().MasterPath(), static_cast<int>(GetParam().baudRate), 1, 0, 30ms}, reason))
        << reason;
    for (const BusFault fault :
         {BusFault::BrokenCrc, BusFault::MissingReply, BusFault::TrailingBytes, BusFault::Noise}) {
        ASSERT_TRUE(waitUntil([&] { return master.Answered() >= 2; }));
        bench.bus().InjectFault(fault);
        ASSERT_TRUE(waitUntil([&] { return bench.bus().PendingFaults() == 0; }));
        const int after = master.Polls() + 2;
        ASSERT_TRUE(waitUntil([&] { return master.Polls() >= after; }));
    }
    master.Stop();
    QTest::qWait(300);
    ASSERT_EQ(listener.stop(), 0) << listener.errors().toStdString();

    const std::vector<QStringList> rows = recordRows(record());
    QStringList kinds;
    for (const QStringList& row : rows) {
        kinds.append(kindOf(row) + (row.value(4) == "unexpected" ? ' ' + row.value(3) : QString()));
    }
    // Each fault is named once, and a sound request and its reply follow it.
    const auto named = [&kinds](const QString& kind) {
        const qsizetype at = kinds.indexOf(kind);
        return at >= 0 && kinds.lastIndexOf(kind) == at && kinds.value(at + 1) == "Tx sent" &&
               kinds.value(at + 2) == "Rx ok";
    };
    EXPECT_TRUE(named("Rx bad-crc")) << kinds.join(" | ").toStdString();
    EXPECT_TRUE(named("-- no-reply")) << kinds.join(" | ").toStdString();
    EXPECT_TRUE(named("Rx unexpected FF FF FF")) << kinds.join(" | ").toStdString();
    const qsizetype trailing = kinds.indexOf("Rx unexpected FF FF FF");
    EXPECT_EQ(kinds.value(trailing - 1), "Rx ok");
    // The noise: an entry of its own between a reply and the next request.
    qsizetype noise = -1;
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        if (kinds[i].startsWith("Rx unexpected") && i != trailing) {
            EXPECT_EQ(noise, -1) << kinds.join(" | ").toStdString();
            noise = i;
        }
    }
    ASSERT_GE(noise, 1) << kinds.join(" | ").toStdString();
    EXPECT_EQ(kinds.value(noise - 1), "Rx ok");
    EXPECT_EQ(kinds.value(noise + 1), "Tx sent");
    EXPECT_EQ(listener.linesStartingWith("Tx=").value(0),
              QString("Tx=%1 Er=2").arg(master.Polls()));
    EXPECT_EQ(bench.bus().BytesFromTap(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Listen, OnTheBus,
                         ::testing::Values(Line{9600, 0}, Line{9600, 16}, Line{115200, 0},
                                           Line{115200, 16}),
                         [](const auto& info) {
                             return std::to_string(info.param.baudRate) + "Baud" +
                                    (info.param.tapLatencyMs > 0 ? "ThroughUsbTimer" : "");
                         });

// What the program does to its terminal, noted by a library put in front of
// it: polling sets the modem lines and writes; listening does neither, and
// asks the driver for no flow control that would.
TEST(ListenOnly, NeitherWritesNorDrivesALineSignal) {
    Bench bench(9600, 0ms);
    QTemporaryDir files;
    const auto spied = [&files](const QString& name) {
        QProcessEnvironment environment = withoutDisplay();
        environment.insert("LD_PRELOAD", QStringLiteral(KESTRO_LINE_SPY_PATH));
        environment.insert("KESTRO_LINE_SPY", files.filePath(name));
        // In a build with AddressSanitizer its runtime would refuse to start
        // behind the spy; the spy only notes calls and passes them on.
        const QString asan = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS",
                           (asan.isEmpty() ? QString() : asan + ':') + "verify_asan_link_order=0");
        return environment;
    };
    const auto noted = [&files](const QString& name) {
        QFile file(files.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };

    // Polling the master's port: the spy sees what a sender does.
    QProcess poller;
    poller.setProcessEnvironment(spied("poll.txt"));
    poller.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
                 {"--headless", "--port", QString::fromStdString(bench.bus().MasterPath()),
                  "--cycles", "3"});
    ASSERT_TRUE(poller.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(poller.exitCode(), 0);
    EXPECT_TRUE(noted("poll.txt").contains("write ")) << noted("poll.txt").toStdString();
    EXPECT_TRUE(noted("poll.txt").contains(QString("ioctl %1").arg(TIOCMBIC, 0, 16)))
        << noted("poll.txt").toStdString();

    // Listening on the tap while the master polls: nothing.
    Listener listener(
        {"--headless", "--listen", "--port", QString::fromStdString(bench.bus().TapPath())},
        spied("listen.txt"));
    ASSERT_TRUE(listener.ready()) << listener.errors().toStdString();
    BusMaster master;
    std::string reason;
    ASSERT_TRUE(master.Start({bench.bus().MasterPath(), 9600, 1, 5, 20ms}, reason)) << reason;
    master.Wait();
    QTest::qWait(200);
    ASSERT_EQ(listener.stop(), 0);
    EXPECT_EQ(listener.linesStartingWith("Tx-").size(), 5);
    EXPECT_EQ(noted("listen.txt"), QString());
    EXPECT_EQ(bench.bus().BytesFromTap(), 0u);
}

TEST(ListenOnly, RefusesEveryOptionThatWouldSendOrCountItsOwnRequests) {
    const std::vector<QStringList> excluded = {
        {"--write", "3=1000"},   {"--scan"},        {"--linearity", "0:2200:1100"},
        {"--test", "plan.json"}, {"--cycles", "3"},
    };
    for (const QStringList& option : excluded) {
        QProcess listener;
        listener.setProcessEnvironment(withoutDisplay());
        listener.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
                       QStringList{"--headless", "--listen", "--port", "/dev/null"} + option);
        ASSERT_TRUE(listener.waitForFinished(ProcessTimeoutMs));
        EXPECT_EQ(listener.exitCode(), 2) << option.join(' ').toStdString();
        EXPECT_FALSE(QString::fromUtf8(listener.readAllStandardError()).contains("listening on"));
    }
}

TEST(ListenOnly, APortThatCannotBeOpenedEndsWithStatusOne) {
    QProcess listener;
    listener.setProcessEnvironment(withoutDisplay());
    listener.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
                   {"--headless", "--listen", "--port", "/dev/kestro-no-such-port"});
    ASSERT_TRUE(listener.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(listener.exitCode(), 1);
    EXPECT_FALSE(QString::fromUtf8(listener.readAllStandardError()).contains("listening on"));
}

} // namespace
