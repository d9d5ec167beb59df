#include "functest/TestRecord.h"

#include <QStringList>
#include <cmath>
#include <cstdlib>

QString VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("PASS");
    case Verdict::Fail:
        return QStringLiteral("FAIL");
    case Verdict::Skip:
        return QStringLiteral("SKIP");
    }
    return {};
}

QString TestVerdictText(TestVerdict verdict) {
    switch (verdict) {
    case TestVerdict::Incomplete:
        return QStringLiteral("INCOMPLETE");
    case TestVerdict::Pass:
        return QStringLiteral("PASS");
    case TestVerdict::Fail:
        return QStringLiteral("FAIL");
    case TestVerdict::Aborted:
        return QStringLiteral("ABORTED");
    }
    return {};
}

QStringList TestRecord::FailedSteps() const {
    QStringList failed;
    for (const StepRecord& step : steps) {
        if (step.verdict == Verdict::Fail) {
            failed.append(step.name);
        }
    }
    return failed;
}

QString IsoTime(const QDateTime& time) {
    // The offset is written out even for UTC ("+00:00", not "Z"), so that
    // every report reads alike.
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString ValueText(double value) {
    if (value == std::floor(value) && std::abs(value) < 1e15) {
        return QString::number(static_cast<qint64>(value));
    }
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}
