#pragma once
// The built kestro-modbus-m --scan as a subprocess, and the virtual module it
// scans in a process of its own, set to hear only its own rate where asked,
// as a real module's UART does.

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace scantest {

constexpr int ProcessTimeoutMs = 240000;

struct ScanResult {
    int exitCode = -1;
    QStringList found;
    QStringList progress;
    qint64 milliseconds = 0;
};

class ModuleAt {
public:
    ModuleAt(int address, int baudRate, const QStringList& extra = {}) {
        m_process.start(QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH),
                        QStringList{"--address", QString::number(address), "--baud",
                                    QString::number(baudRate), "--pace", "line"} +
                            extra);
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

inline ScanResult scan(const QString& port, const QStringList& rates) {
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

// The progress lines that open each rate, in order.
inline QStringList ratesScanned(const QStringList& progress) {
    static const QRegularExpression opening(R"(^scan: (\d+) baud, addresses 1 to 127, up to )");
    QStringList rates;
    for (const QString& line : progress) {
        if (const auto match = opening.match(line); match.hasMatch()) {
            rates << match.captured(1);
        }
    }
    return rates;
}

} // namespace scantest
