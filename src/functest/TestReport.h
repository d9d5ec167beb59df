#pragma once
// The record of each tested unit, kept in a report folder: a JSON report
// named SN-<UTC start yyyymmddThhmmssZ>-<attempt>.json, written atomically at
// the start (verdict INCOMPLETE) and after every step, so that a test that is
// killed leaves a report that says so; a printable PDF beside it at the end;
// and one row per test in the station log, which several test stations on
// one machine share.

#include "functest/TestRecord.h"

#include <QByteArray>
#include <QString>

/// The report as JSON (its schema: docs/test-report.schema.json).
QByteArray TestReportJson(const TestRecord& record);

/// The report as a printable PDF: the serial and the verdict in large type,
/// the failed steps first, every measurement against its limits, the
/// station, the time and the plan's hash.
QByteArray TestReportPdf(const TestRecord& record);

/// Whether text may be a serial number: 1 to 64 letters, digits, '-', '_'
/// and '.', since it becomes part of a file name.
bool IsValidSerial(const QString& text);

class ReportFolder {
public:
    explicit ReportFolder(QString folder);

    /// Empty when reports can be written into the folder, else why not.
    QString Check() const;

    /// Claims the next attempt of the serial (one more than the highest in
    /// the folder, under a lock so that stations sharing the folder never
    /// take the same one) and writes the record as its first report. Returns
    /// an empty text or why it could not.
    QString Begin(TestRecord& record);
    /// Writes the record again over its report; an empty text or why not.
    QString Update(const TestRecord& record) const;
    /// The PDF beside the report; an empty text or why not.
    QString WritePdf(const TestRecord& record) const;

    /// The report's path, once Begin claimed it.
    const QString& ReportPath() const { return m_reportPath; }

private:
    QString m_folder;
    QString m_reportPath;
};

/// The report folder as given, the current folder when none is.
QString ReportFolderPath(const QString& reportDir);
/// The station log as given, else station-log.csv in the report folder.
QString StationLogPath(const QString& reportDir, const QString& stationLog);

inline const QByteArray StationLogHeader =
    "time,serial,attempt,verdict,failed_steps,duration_s,report";

/// Appends the test's row to the station log at path (its header first when
/// the file is new or empty), holding a lock on the file meanwhile, so rows
/// of several stations never interleave. Returns an empty text or why not.
QString AppendStationLog(const QString& path, const TestRecord& record, const QString& reportPath);
