#include "functest/TestReport.h"

#include "functest/Json.h"
#include "platform/storage/AppendFile.h"
#include "platform/storage/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>

namespace {

constexpr int SerialMaximumLength = 64;
const QString LockName = QStringLiteral(".kestro-reports.lock");

QString errorText(const QString& path, int error) {
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

JsonValue timeJson(const QDateTime& time) {
    return time.isValid() ? JsonValue::Text(IsoTime(time)) : JsonValue::Null();
}

JsonValue measurementJson(const Measurement& measurement) {
    JsonValue object = JsonValue::Object();
    object.add("name", JsonValue::Text(measurement.name));
    object.add("value", JsonValue::Number(measurement.value));
    object.add("low", JsonValue::Number(measurement.low));
    object.add("high", JsonValue::Number(measurement.high));
    object.add("unit", JsonValue::Text(measurement.unit));
    object.add("verdict",
               JsonValue::Text(VerdictText(measurement.Passed() ? Verdict::Pass : Verdict::Fail)));
    return object;
}

JsonValue stepJson(const StepRecord& step) {
    JsonValue measurements = JsonValue::Array();
    for (const Measurement& measurement : step.measurements) {
        measurements.append(measurementJson(measurement));
    }
    JsonValue object = JsonValue::Object();
    object.add("name", JsonValue::Text(step.name));
    object.add("verdict", JsonValue::Text(VerdictText(step.verdict)));
    object.add("started", timeJson(step.started));
    object.add("duration_ms", JsonValue::Number(static_cast<double>(step.duration.count())));
    object.add("message", JsonValue::Text(step.message));
    object.add("measurements", std::move(measurements));
    return object;
}

// SN-yyyymmddThhmmssZ-N.json: the attempt N of a report of this serial.
std::optional<int> attemptOf(const QString& fileName, const QString& serial) {
    static const QRegularExpression tail(QStringLiteral("^-\\d{8}T\\d{6}Z-(\\d{1,9})\\.json$"));
    if (!fileName.startsWith(serial)) {
        return std::nullopt;
    }
    const QRegularExpressionMatch match = tail.match(fileName.mid(serial.size()));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1).toInt();
}

QByteArray csvField(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n')) {
        bytes.replace("\"", "\"\"");
        return '"' + bytes + '"';
    }
    return bytes;
}

} // namespace

QByteArray TestReportJson(const TestRecord& record) {
    JsonValue plan = JsonValue::Object();
    plan.add("name", JsonValue::Text(record.planName));
    plan.add("sha256", JsonValue::Text(record.planSha256));
    JsonValue line = JsonValue::Object();
    line.add("port", JsonValue::Text(record.line.port));
    line.add("baud", JsonValue::Number(record.line.baud));
    line.add("address", JsonValue::Number(record.line.address));
    JsonValue steps = JsonValue::Array();
    for (const StepRecord& step : record.steps) {
        steps.append(stepJson(step));
    }
    JsonValue root = JsonValue::Object();
    root.add("serial", JsonValue::Text(record.serial));
    root.add("attempt", JsonValue::Number(record.attempt));
    root.add("verdict", JsonValue::Text(TestVerdictText(record.verdict)));
    root.add("started", timeJson(record.started));
    root.add("finished", timeJson(record.finished));
    root.add("station", JsonValue::Text(record.station));
    root.add("tool_version", JsonValue::Text(record.toolVersion));
    root.add("plan", std::move(plan));
    root.add("line", std::move(line));
    root.add("steps", std::move(steps));
    return WriteJson(root);
}

bool IsValidSerial(const QString& text) {
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9._-]+$"));
    return !text.isEmpty() && text.size() <= SerialMaximumLength && allowed.match(text).hasMatch();
}

ReportFolder::ReportFolder(QString folder) : m_folder(std::move(folder)) {}

QString ReportFolder::Check() const {
    const QFileInfo info(m_folder);
    if (!info.exists()) {
        return errorText(m_folder, ENOENT);
    }
    if (!info.isDir()) {
        return errorText(m_folder, ENOTDIR);
    }
    // Only a file made there shows that the folder takes one.
    const FileLock lock(QDir(m_folder).filePath(LockName));
    if (lock.error() != 0) {
        return errorText(m_folder, lock.error());
    }
    return {};
}

QString ReportFolder::Begin(TestRecord& record) {
    const QDir folder(m_folder);
    const FileLock lock(folder.filePath(LockName));
    if (lock.error() != 0) {
        return errorText(m_folder, lock.error());
    }
    int highest = 0;
    const QStringList names =
        folder.entryList({record.serial + QStringLiteral("-*.json")}, QDir::Files);
    for (const QString& name : names) {
        if (const std::optional<int> attempt = attemptOf(name, record.serial)) {
            highest = std::max(highest, *attempt);
        }
    }
    record.attempt = highest + 1;
    const QString stamp = record.started.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    m_reportPath = folder.filePath(
        QStringLiteral("%1-%2-%3.json").arg(record.serial, stamp).arg(record.attempt));
    return Update(record);
}

QString ReportFolder::Update(const TestRecord& record) const {
    if (const int error = writeFileAtomically(m_reportPath, TestReportJson(record)); error != 0) {
        return errorText(m_reportPath, error);
    }
    return {};
}

QString ReportFolder::WritePdf(const TestRecord& record) const {
    QString path = m_reportPath;
    path.replace(path.size() - 5, 5, QStringLiteral(".pdf"));
    if (const int error = writeFileAtomically(path, TestReportPdf(record)); error != 0) {
        return errorText(path, error);
    }
    return {};
}

QString ReportFolderPath(const QString& reportDir) {
    return reportDir.isEmpty() ? QStringLiteral(".") : reportDir;
}

QString StationLogPath(const QString& reportDir, const QString& stationLog) {
    return stationLog.isEmpty()
               ? QDir(ReportFolderPath(reportDir)).filePath(QStringLiteral("station-log.csv"))
               : stationLog;
}

QString AppendStationLog(const QString& path, const TestRecord& record, const QString& reportPath) {
    // Only a regular file is a log: a FIFO or a device under the name is
    // refused before anything could wait on it.
    if (QFileInfo info(path); info.exists() && !info.isFile()) {
        return errorText(path, EINVAL) + QStringLiteral(" (not a regular file)");
    }
    const FileLock lock(path);
    if (lock.error() != 0) {
        return errorText(path, lock.error());
    }
    AppendFile log;
    if (const int error = log.open(path); error != 0) {
        return errorText(path, error);
    }
    QByteArray rows;
    if (log.size() == 0) {
        rows += StationLogHeader + '\n';
    }
    const double seconds = static_cast<double>(record.started.msecsTo(record.finished)) / 1000.0;
    const QString report = QDir(QFileInfo(path).absolutePath()).relativeFilePath(reportPath);
    rows += IsoTime(record.finished).toUtf8() + ',' + csvField(record.serial) + ',' +
            QByteArray::number(record.attempt) + ',' + TestVerdictText(record.verdict).toUtf8() +
            ',' + csvField(record.FailedSteps().join(';')) + ',' +
            QByteArray::number(seconds, 'f', 1) + ',' + csvField(report) + '\n';
    if (const int error = log.write(rows); error != 0) {
        return errorText(path, error);
    }
    log.close();
    return {};
}
