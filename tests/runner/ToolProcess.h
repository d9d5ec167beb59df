#pragma once
// The built programs as subprocesses: kestro-modbus-m run to its end, and the
// standalone virtual module serving a pseudo-terminal with faults armed from
// its command line.

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include <csignal>

namespace tooltest {

constexpr int ProcessTimeoutMs = 60000;

struct RunResult {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

// Runs kestro-modbus-m with the arguments to its end. With a wrapper, that
// program runs it (say, a shell that limits the file size first).
inline RunResult runTool(const QStringList& arguments, const QStringList& wrapper = {}) {
    QProcess process;
    // No display: the runner needs none, and a plain --simulate then runs the
    // demonstration on the terminal instead of opening the window.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    if (wrapper.isEmpty()) {
        process.start(QStringLiteral(KESTRO_MODBUS_M_PATH), arguments);
    } else {
        process.start(wrapper.first(), wrapper.mid(1) +
                                           QStringList{QStringLiteral(KESTRO_MODBUS_M_PATH)} +
                                           arguments);
    }
    RunResult result;
    if (!process.waitForFinished(ProcessTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "kestro-modbus-m did not finish: " << arguments.join(' ').toStdString();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.lines =
        QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline QStringList linesStartingWith(const QStringList& lines, const QString& prefix) {
    QStringList found;
    for (const QString& line : lines) {
        if (line.startsWith(prefix)) {
            found.append(line);
        }
    }
    return found;
}

// The bytes of a traffic line after the ">".
inline QString trafficBytes(const QString& line) {
    return line.mid(line.indexOf('>') + 2);
}

// The standalone virtual module in its own process, with faults armed from its
// command line.
class ModuleProcess {
public:
    explicit ModuleProcess(const QStringList& arguments) {
        m_process.start(QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH), arguments);
        if (m_process.waitForStarted(ProcessTimeoutMs)) {
            while (!m_process.canReadLine() && m_process.waitForReadyRead(ProcessTimeoutMs)) {
            }
            m_path = QString::fromUtf8(m_process.readLine()).trimmed();
        }
    }
    ~ModuleProcess() { stop(); }
    // Ends the module, and with it the far end of its line.
    void stop() {
        if (m_process.state() == QProcess::NotRunning) {
            return;
        }
        m_process.terminate();
        if (!m_process.waitForFinished(ProcessTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    const QString& path() const { return m_path; }
    // SIGUSR2 pulls the module's adapter out, SIGUSR1 plugs it in afresh.
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }

private:
    QProcess m_process;
    QString m_path;
};

} // namespace tooltest
