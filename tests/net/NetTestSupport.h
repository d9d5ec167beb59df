#pragma once
// What the network line's end-to-end tests run: the built programs and the
// test servers as processes of their own, their output collected as it
// comes, and the traffic record read back.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {

constexpr int ProcessTimeoutMs = 60000;

// A program in the background, standard output and error collected.
class Background {
public:
    Background(const QString& program, const QStringList& arguments) {
        m_process.start(program, arguments);
        m_process.waitForStarted(ProcessTimeoutMs);
    }
    ~Background() { kill(); }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    /// Collects output until the condition holds; false when time ran out or
    /// the program ended first.
    bool waitUntil(const std::function<bool()>& condition, int milliseconds = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > milliseconds || m_process.state() == QProcess::NotRunning) {
                collect();
                return condition();
            }
            m_process.waitForReadyRead(20);
            collect();
        }
        return true;
    }
    /// Lets it run for a while, collecting.
    void runFor(int milliseconds) {
        waitUntil([] { return false; }, milliseconds);
    }
    /// The first line of standard output, waiting for it.
    QString firstLine() {
        waitUntil([this] { return m_out.contains('\n'); });
        return lines().value(0);
    }
    /// Sends the signal and waits for the end; the exit code, or -1 for a
    /// program that did not end normally.
    int finish(int signal = SIGTERM) {
        // A program that has ended has no id any more; 0 would signal our own group.
        if (const qint64 id = m_process.processId(); id > 0) {
            ::kill(static_cast<pid_t>(id), signal);
        }
        m_process.waitForFinished(ProcessTimeoutMs);
        collect();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void kill() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    /// Takes what the program has written so far, without waiting.
    void refresh() {
        m_process.waitForReadyRead(0);
        collect();
    }
    qint64 pid() const { return m_process.processId(); }
    QStringList lines() const { return QString::fromUtf8(m_out).split('\n', Qt::SkipEmptyParts); }
    QStringList errorLines() const {
        return QString::fromUtf8(m_err).split('\n', Qt::SkipEmptyParts);
    }
    qsizetype count(const char* text) const { return m_out.count(text); }
    qsizetype errorCount(const char* text) const { return m_err.count(text); }

private:
    void collect() {
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
    }

    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

// kestro-modbus-m in the background, without a display.
inline std::unique_ptr<Background> startTool(const QStringList& arguments) {
    return std::make_unique<Background>(QStringLiteral(KESTRO_MODBUS_M_PATH), arguments);
}

// One of tests/net/servers.py's servers; its port is its first line.
class TestServer : public Background {
public:
    explicit TestServer(const QString& mode, int port = 0)
        : Background(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(KESTRO_TEST_SERVERS), mode, QString::number(port)}) {
        m_port = firstLine().toInt();
    }
    int port() const { return m_port; }
    QString endpoint() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    int m_port = 0;
};

// One row of a traffic recording.
struct Row {
    qint64 elapsed = 0;
    QString direction;
    QString bytes;
    QString verdict;
};

inline std::vector<Row> readRecording(const QString& path) {
    std::vector<Row> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return rows;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1)) {
        const QStringList fields = line.split(',');
        if (fields.size() == 6) {
            rows.push_back({fields[1].toLongLong(), fields[2], fields[3], fields[4]});
        }
    }
    return rows;
}

inline qsizetype countVerdict(const std::vector<Row>& rows, const QString& verdict) {
    return std::count_if(rows.begin(), rows.end(),
                         [&](const Row& row) { return row.verdict == verdict; });
}

// The transaction id of a Modbus TCP frame as recorded ("00 2A 00 00 ...").
inline int transactionOf(const QString& bytes) {
    return bytes.left(5).remove(' ').toInt(nullptr, 16);
}

// A TCP port of the loopback interface that nobody uses at the moment.
inline int freePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(probe);
    return port;
}

} // namespace nettest
