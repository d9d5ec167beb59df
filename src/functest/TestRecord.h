#pragma once
// What a function test found: each step's verdict and measurements against
// their limits, and the whole test's verdict. The JSON report, the PDF, the
// station log and the runner's output are all written from it.

#include <QDateTime>
#include <QString>
#include <chrono>
#include <optional>
#include <vector>

enum class Verdict { Pass, Fail, Skip };
/// "PASS", "FAIL", "SKIP".
QString VerdictText(Verdict verdict);

enum class TestVerdict {
    Incomplete, ///< still running, or the test was killed before it ended
    Pass,
    Fail,
    Aborted, ///< stopped by the operator or a signal; the teardown ran
};
/// "INCOMPLETE", "PASS", "FAIL", "ABORTED".
QString TestVerdictText(TestVerdict verdict);

struct Measurement {
    QString name;
    double value = 0.0;
    double low = 0.0;
    double high = 0.0;
    QString unit;

    /// Within its limits, both included.
    bool Passed() const { return value >= low && value <= high; }
};

struct StepRecord {
    QString name;
    Verdict verdict = Verdict::Skip;
    QDateTime started;
    std::chrono::milliseconds duration{0};
    /// Why it failed or was skipped; empty when it passed with nothing to add.
    QString message;
    std::vector<Measurement> measurements;
};

struct LineRecord {
    QString port;
    int baud = 0;
    int address = 0;
};

struct TestRecord {
    QString serial;
    int attempt = 1;
    TestVerdict verdict = TestVerdict::Incomplete;
    QDateTime started;
    QDateTime finished; ///< invalid while running
    QString station;
    QString toolVersion;
    QString planName;
    QString planSha256;
    LineRecord line;
    std::vector<StepRecord> steps; ///< the teardown last, named "teardown"

    /// The names of the steps that failed, in order.
    QStringList FailedSteps() const;
};

/// A measured value or limit as printed: whole numbers as they are, others
/// to three decimals without trailing zeros ("0.016", "52.1", "-0.5").
QString ValueText(double value);

/// Time as ISO 8601 with the local offset and milliseconds: 2026-12-08T14:03:07.123+08:00.
/// (Local times as QDateTime::currentDateTime gives them.)
QString IsoTime(const QDateTime& time);
