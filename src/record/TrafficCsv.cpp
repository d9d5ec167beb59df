#include "record/TrafficCsv.h"

#include "platform/system/Clock.h"

QByteArray TrafficCsvHeader() {
    return QByteArrayLiteral("time,elapsed_us,direction,bytes,verdict,response_us\n");
}

QByteArray TrafficCsvRow(const TrafficEvent& event) {
    QByteArray row;
    row.reserve(64 + 3 * static_cast<qsizetype>(event.bytes.size()));
    row += LocalIsoDateTime(event.time);
    row += ',';
    row += QByteArray::number(static_cast<qlonglong>(event.elapsed.count()));
    row += ',';
    row += TrafficDirectionText(event.direction).toLatin1();
    row += ',';
    row += TrafficBytesText(event.bytes).toLatin1();
    row += ',';
    row += TrafficVerdictText(event).toLatin1();
    row += ',';
    if (event.responseTime) {
        row += QByteArray::number(static_cast<qlonglong>(event.responseTime->count()));
    }
    row += '\n';
    return row;
}
