// Runs the built kestro-modbus-m --scan against the virtual module in its own
// process, set to hear only its own rate, as a real module's UART does.

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

constexpr int ProcessTimeoutMs = 240000;

struct ScanResult {
    int exitCode = -1;
    QStringList found;
    QStringList progress;
    qint64 milliseconds = 0;
};

class ModuleAt {
public:
    ModuleAt(int address, int baudRate) {
        m_process.start(QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH),
                        {"--address", QString::number(address), "--baud", QString::number(baudRate),
                         "--strict-baud", "--pace", "line"});
        m_process.waitForStarted(ProcessTimeoutMs);
        while (!m_process.canReadLine() && m_process.waitForReadyRead(ProcessTimeoutMs)) {
        }
        m_path = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~ModuleAt() {
        m_process.terminate();
        m_process.waitForFinished(ProcessTimeoutMs);
    }
    const QString& path() const { return m_path; }

private:
    QProcess m_process;
    QString m_path;
};

ScanResult scan(const QString& port, const QStringList& rates) {
    QStringList arguments{"--headless", "--port", port, "--scan"};
    for (const QString& rate : rates) {
        arguments << "--baud" << rate;
    }
    QProcess tool;
    QElapsedTimer clock;
    clock.start();
    tool.start(QStringLiteral(KESTRO_MODBUS_M_PATH), arguments);
    ScanResult result;
    if (!tool.waitForFinished(ProcessTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        ADD_FAILURE() << "the scan did not finish";
        return result;
    }
    result.milliseconds = clock.elapsed();
    result.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    result.found = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.progress =
        QString::fromUtf8(tool.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    return result;
}

} // namespace

TEST(ScanEndToEnd, FindsAModuleAtAddress77And38400AmongTheDefaultRates) {
    ModuleAt module(77, 38400);
    ASSERT_TRUE(module.path().startsWith("/dev/"));
    const ScanResult result = scan(module.path(), {});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.found, QStringList{"found address=77 baud=38400"});
    // One line a rate, in the default order, then the outcome.
    ASSERT_EQ(result.progress.size(), 8) << result.progress.join('\n').toStdString();
    const QStringList rates{"9600", "19200", "38400", "57600", "115200", "4800", "2400"};
    for (int index = 0; index < rates.size(); ++index) {
        EXPECT_TRUE(result.progress[index].startsWith("scan: " + rates[index] +
                                                      " baud, addresses 1 to 127, up to "))
            << result.progress[index].toStdString();
    }
    EXPECT_EQ(result.progress.last(), "scan: 1 found");
}

TEST(ScanEndToEnd, AFullScanAt9600FindingNothingEndsWithStatusThree) {
    ModuleAt module(77, 38400);
    const ScanResult result = scan(module.path(), {"9600"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.found.isEmpty());
    EXPECT_EQ(result.progress.value(1), "scan: no module answered");
    // The waits fit the rate: 127 addresses at 9600 take about 11 s, where
    // the poll's 500 ms time-out would take more than a minute.
    EXPECT_GT(result.milliseconds, 10000);
    EXPECT_LT(result.milliseconds, 30000);
    std::printf("a full scan at 9600 took %.1f s\n", double(result.milliseconds) / 1000.0);
}
