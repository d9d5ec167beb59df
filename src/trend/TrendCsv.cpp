#include "trend/TrendCsv.h"

#include "platform/system/Clock.h"

QByteArray TrendCsv(const TrendHistory& history, TrendHistory::Microseconds from,
                    TrendHistory::Microseconds to) {
    QByteArray text = QByteArrayLiteral("time,elapsed_us,output,feedback\n");
    history.VisitSamples(from, to, [&](const TrendHistory::Sample& sample) {
        text += LocalIsoDateTime(history.WallTimeOf(sample.elapsedUs));
        text += ',';
        text += QByteArray::number(static_cast<qlonglong>(sample.elapsedUs));
        text += ',';
        text += QByteArray::number(sample.output);
        text += ',';
        text += QByteArray::number(sample.feedback);
        text += '\n';
    });
    return text;
}

QByteArray LinearityCsvRow(const LinearityPoint& point) {
    return QByteArray::number(point.output) + ',' + QByteArray::number(point.feedback, 'f', 2) +
           ',' + QByteArray::number(point.Deviation(), 'f', 2) + ',' +
           QByteArray::number(point.DeviationPercent(), 'f', 3);
}

QByteArray LinearityCsv(const LinearityResult& result) {
    QByteArray text = QByteArrayLiteral("output,feedback,deviation,deviation_pct\n");
    for (const LinearityPoint& point : result.points) {
        text += LinearityCsvRow(point) + '\n';
    }
    return text;
}
