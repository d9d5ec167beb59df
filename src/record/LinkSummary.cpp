#include "record/LinkSummary.h"

#include <QByteArrayList>

namespace {

QByteArray number(std::int64_t value) {
    return QByteArray::number(static_cast<qlonglong>(value));
}

QByteArray joined(const QList<QByteArray>& parts) {
    return parts.join(", ");
}

} // namespace

QByteArray LinkSummaryJson(const LinkStatistics& statistics) {
    QList<QByteArray> verdicts;
    for (const LinkStatistics::VerdictCount& entry : statistics.Verdicts()) {
        // Verdict names are plain ASCII words: nothing to escape.
        verdicts.append('"' + entry.verdict.toLatin1() + "\": " + number(entry.count));
    }
    const ResponseTimes& times = statistics.Responses();
    QList<QByteArray> response = {
        "\"min\": " + number(times.Min().count()),
        "\"mean\": " + number(times.Mean().count()),
        "\"p50\": " + number(times.Percentile(50).count()),
        "\"p95\": " + number(times.Percentile(95).count()),
        "\"p99\": " + number(times.Percentile(99).count()),
        "\"max\": " + number(times.Max().count()),
    };
    // Times taken through an adapter that holds bytes for milliseconds are
    // marked, so that nobody reads microseconds into them.
    if (statistics.CoarseResponses() > 0) {
        response.append("\"coarse\": " + number(statistics.CoarseResponses()));
    }
    QList<QByteArray> histogram;
    for (const ResponseTimes::Bin& bin : times.Histogram()) {
        histogram.append("{\"upto_us\": " + number(bin.upTo.count()) +
                         ", \"count\": " + number(bin.count) + '}');
    }
    return "{\"tx\": " + number(statistics.Requests()) +
           ", \"er\": " + number(statistics.Missed()) +
           ", \"replies\": " + number(statistics.Replies()) + ", \"verdicts\": {" +
           joined(verdicts) + "}, \"response_us\": {" + joined(response) + "}, \"histogram\": [" +
           joined(histogram) + "]}\n";
}
