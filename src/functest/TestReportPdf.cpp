#include "functest/TestReport.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace {

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString number(double value) {
    return ValueText(value);
}

QString verdictColour(TestVerdict verdict) {
    switch (verdict) {
    case TestVerdict::Pass:
        return QStringLiteral("#1b7f2a");
    case TestVerdict::Fail:
        return QStringLiteral("#c0161d");
    case TestVerdict::Aborted:
    case TestVerdict::Incomplete:
        break;
    }
    return QStringLiteral("#b8860b");
}

QString stepRows(const StepRecord& step) {
    QString html = QStringLiteral("<tr><td colspan='4'><b>%1</b>: %2 (%3 ms)%4</td></tr>")
                       .arg(escaped(step.name), VerdictText(step.verdict))
                       .arg(step.duration.count())
                       .arg(step.message.isEmpty() ? QString()
                                                   : QStringLiteral(" — ") + escaped(step.message));
    for (const Measurement& m : step.measurements) {
        html += QStringLiteral("<tr><td>&nbsp;&nbsp;%1</td><td align='right'>%2 %3</td>"
                               "<td>[%4 .. %5]</td><td>%6</td></tr>")
                    .arg(escaped(m.name), number(m.value), escaped(m.unit), number(m.low),
                         number(m.high), VerdictText(m.Passed() ? Verdict::Pass : Verdict::Fail));
    }
    return html;
}

QString reportHtml(const TestRecord& record) {
    QString html = QStringLiteral("<html><body style='font-family: sans-serif'>");
    html += QStringLiteral("<p style='font-size: 11pt'>KESTRO Modbus M — function test</p>");
    html += QStringLiteral("<p style='font-size: 22pt'><b>%1</b> (attempt %2)</p>")
                .arg(escaped(record.serial))
                .arg(record.attempt);
    html += QStringLiteral("<p style='font-size: 48pt; color: %1'><b>%2</b></p>")
                .arg(verdictColour(record.verdict), TestVerdictText(record.verdict));
    const QStringList failed = record.FailedSteps();
    if (!failed.isEmpty()) {
        html += QStringLiteral("<p style='font-size: 14pt; color: #c0161d'>Failed: %1</p>")
                    .arg(escaped(failed.join(QStringLiteral(", "))));
    }
    html += QStringLiteral("<table cellpadding='2'>"
                           "<tr><td>Station</td><td>%1</td></tr>"
                           "<tr><td>Started</td><td>%2</td></tr>"
                           "<tr><td>Finished</td><td>%3</td></tr>"
                           "<tr><td>Line</td><td>%4, %5 bit/s, address %6</td></tr>"
                           "<tr><td>Plan</td><td>%7</td></tr>"
                           "<tr><td>Plan SHA-256</td><td><tt>%8</tt></td></tr>"
                           "<tr><td>Tool</td><td>kestro-modbus-m %9</td></tr></table>")
                .arg(escaped(record.station), IsoTime(record.started),
                     record.finished.isValid() ? IsoTime(record.finished) : QStringLiteral("-"),
                     escaped(record.line.port))
                .arg(record.line.baud)
                .arg(record.line.address)
                .arg(escaped(record.planName), record.planSha256, escaped(record.toolVersion));
    // The failed steps first: they are what the person holding the unit needs.
    html += QStringLiteral("<h3>Steps</h3><table cellpadding='2' width='100%'>");
    for (const bool failedFirst : {true, false}) {
        for (const StepRecord& step : record.steps) {
            if ((step.verdict == Verdict::Fail) == failedFirst) {
                html += stepRows(step);
            }
        }
    }
    html += QStringLiteral("</table></body></html>");
    return html;
}

} // namespace

QByteArray TestReportPdf(const TestRecord& record) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(
            QStringLiteral("%1 %2").arg(record.serial, TestVerdictText(record.verdict)));
        writer.setCreator(QStringLiteral("kestro-modbus-m"));
        QTextDocument document;
        document.setHtml(reportHtml(record));
        document.print(&writer);
    }
    return bytes;
}
