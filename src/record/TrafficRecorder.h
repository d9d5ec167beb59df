#pragma once
// Records the traffic into a CSV file the operator names: one row per entry,
// written as the entries come and on disk within a quarter of a second. The
// file never grows past a limit: a full FILE becomes FILE.1 (FILE.1 becomes
// FILE.2 and so on up to FILE.9; older ones are removed) and a new FILE starts
// with the header row. A recording that cannot be written is reported once
// and stops; polling is not its business.
//
//     TrafficRecorder recorder;
//     recorder.SetOnFailure([](const QString& reason) { ... });
//     if (const QString error = recorder.Start(path); !error.isEmpty()) ...
//     cycle.AddListener(recorder);

#include "platform/storage/AppendFile.h"
#include "platform/system/Timer.h"
#include "poll/PollListener.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

class TrafficRecorder : public PollListener {
public:
    static constexpr std::int64_t BytesPerMegabyte = 1024 * 1024;
    static constexpr int DefaultLimitMegabytes = 1024;
    static constexpr int KeptOldFiles = 9;
    /// Rows reach the file at least this often.
    static constexpr std::chrono::milliseconds FlushInterval{250};

    TrafficRecorder();
    ~TrafficRecorder() override;
    TrafficRecorder(const TrafficRecorder&) = delete;
    TrafficRecorder& operator=(const TrafficRecorder&) = delete;

    /// The most bytes one file may hold (a megabyte is 1024 × 1024 bytes);
    /// takes effect with the next row.
    void SetLimitBytes(std::int64_t bytes) { m_limit = bytes; }
    std::int64_t LimitBytes() const { return m_limit; }

    /// Starts recording into path, ending a recording in progress. A file
    /// already there is kept as FILE.1, as when a file is full. Returns an
    /// empty text, or the path and the reason it cannot be written.
    QString Start(const QString& path);
    /// Writes what is pending and closes the file.
    void Stop();
    bool Recording() const { return m_file.isOpen(); }
    /// The file being written (or written last).
    QString Path() const { return m_path; }

    /// Told once, with the path and the reason, when the recording fails.
    void SetOnFailure(std::function<void(const QString& reason)> handler);

    void OnTraffic(const TrafficEvent& event) override;
    /// Writes the rows still held in memory.
    void Flush();

private:
    QString numbered(int index) const;
    int shiftOldFiles();
    int openFresh();
    void fail(int error);

    AppendFile m_file;
    Timer m_flushTimer;
    QString m_path;
    QByteArray m_pending;
    std::int64_t m_limit = DefaultLimitMegabytes * BytesPerMegabyte;
    std::function<void(const QString&)> m_onFailure;
};

/// The path and the system's reason for errno, as the recorder reports them.
QString RecordingFailureText(const QString& path, int error);
