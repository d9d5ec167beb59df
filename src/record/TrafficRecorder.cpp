#include "record/TrafficRecorder.h"

#include "record/TrafficCsv.h"

#include <cerrno>
#include <cstring>

namespace {

// Rows are gathered in memory up to this much before they go out at once.
constexpr qsizetype PendingLimit = 64 * 1024;

} // namespace

QString RecordingFailureText(const QString& path, int error) {
    if (error == NotARegularFile) {
        return QStringLiteral("%1: not a regular file (a pipe, device or socket); choose a file")
            .arg(path);
    }
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

TrafficRecorder::TrafficRecorder() {
    m_flushTimer.SetEnabled(false);
    m_flushTimer.SetInterval(static_cast<int>(FlushInterval.count()));
    m_flushTimer.SetOnTimer([this] { Flush(); });
}

TrafficRecorder::~TrafficRecorder() {
    Stop();
}

void TrafficRecorder::SetOnFailure(std::function<void(const QString&)> handler) {
    m_onFailure = std::move(handler);
}

QString TrafficRecorder::Start(const QString& path) {
    Stop();
    m_path = path;
    // An earlier recording under the same name is kept, never overwritten.
    if (regularFileSize(path) > 0) {
        if (const int error = shiftOldFiles(); error != 0) {
            return RecordingFailureText(path, error);
        }
    }
    if (const int error = openFresh(); error != 0) {
        m_file.close();
        return RecordingFailureText(path, error);
    }
    return {};
}

void TrafficRecorder::Stop() {
    Flush();
    m_file.close();
    m_flushTimer.SetEnabled(false);
}

void TrafficRecorder::OnTraffic(const TrafficEvent& event) {
    if (!m_file.isOpen()) {
        return;
    }
    const QByteArray row = TrafficCsvRow(event);
    const std::int64_t held = m_file.size() + m_pending.size();
    // A file that holds nothing but its header takes the row whatever its
    // size, so that a row larger than the limit cannot turn the files over
    // for ever.
    if (held + row.size() > m_limit && held > TrafficCsvHeader().size()) {
        Flush();
        if (!m_file.isOpen()) {
            return;
        }
        m_file.close();
        if (const int error = shiftOldFiles(); error != 0) {
            fail(error);
            return;
        }
        if (const int error = openFresh(); error != 0) {
            fail(error);
            return;
        }
    }
    m_pending += row;
    if (m_pending.size() >= PendingLimit) {
        Flush();
    } else {
        m_flushTimer.SetEnabled(true);
    }
}

void TrafficRecorder::Flush() {
    m_flushTimer.SetEnabled(false);
    if (m_pending.isEmpty() || !m_file.isOpen()) {
        m_pending.clear();
        return;
    }
    // On a full disk the file keeps every whole row the disk took.
    const int error = m_file.write(m_pending);
    m_pending.clear();
    if (error != 0) {
        fail(error);
    }
}

QString TrafficRecorder::numbered(int index) const {
    return m_path + QLatin1Char('.') + QString::number(index);
}

int TrafficRecorder::shiftOldFiles() {
    if (const int error = removeFile(numbered(KeptOldFiles)); error != 0) {
        return error;
    }
    for (int index = KeptOldFiles - 1; index >= 1; --index) {
        if (regularFileSize(numbered(index)) < 0) {
            continue;
        }
        if (const int error = renameFile(numbered(index), numbered(index + 1)); error != 0) {
            return error;
        }
    }
    return renameFile(m_path, numbered(1));
}

int TrafficRecorder::openFresh() {
    if (const int error = m_file.open(m_path); error != 0) {
        return error;
    }
    // The header goes out at once, so that a file that cannot take a single
    // row is known when the recording starts.
    return m_file.write(TrafficCsvHeader());
}

void TrafficRecorder::fail(int error) {
    // Rows already written stay; the rest of the recording is given up, and
    // the operator hears of it once.
    m_pending.clear();
    m_file.close();
    m_flushTimer.SetEnabled(false);
    if (m_onFailure) {
        m_onFailure(RecordingFailureText(m_path, error));
    }
}
