// The linearity test of the built kestro-modbus-m against the virtual module,
// in-process (--simulate) and as its own program with its feedback made to
// misbehave: a gain error, a settling lag, a line that goes away.

#include "tests/runner/ToolProcess.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tooltest;

namespace {

// The rows after the "output,feedback,..." header, up to the verdict.
QStringList pointRows(const QStringList& lines) {
    const qsizetype header = lines.indexOf("output,feedback,deviation,deviation_pct");
    if (header < 0) {
        return {};
    }
    return lines.mid(header + 1, lines.size() - header - 2);
}

// The value of register `index` in the closing "registers=" line.
QString registerValue(const QStringList& lines, int index) {
    const QStringList registers =
        linesStartingWith(lines, "registers=").value(0).mid(10).split(',');
    return registers.value(index);
}

// The deviation in per cent in the verdict, and the output it was found at.
std::pair<double, int> worst(const QString& verdict) {
    static const QRegularExpression pattern(R"(max deviation (-?[\d.]+)% at output (\d+),)");
    const auto match = pattern.match(verdict);
    return {match.captured(1).toDouble(), match.captured(2).toInt()};
}

TEST(LinearityEndToEnd, PassesWithTheDefaultsAndPutsTheOutputBack) {
    const RunResult result =
        runTool({"--headless", "--simulate", "--write", "3=700", "--linearity", "0:2200:550"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.isEmpty()) << result.errors.toStdString();
    const QStringList rows = pointRows(result.lines);
    ASSERT_EQ(rows.size(), 5) << result.lines.join('\n').toStdString();
    const QRegularExpression row(R"(^(\d+),(\d+\.\d\d),(-?\d+\.\d\d),(-?\d+\.\d\d\d)$)");
    for (int index = 0; index < rows.size(); ++index) {
        const auto match = row.match(rows[index]);
        ASSERT_TRUE(match.hasMatch()) << rows[index].toStdString();
        EXPECT_EQ(match.captured(1).toInt(), 550 * index);
        // The module's noise is two counts either way.
        EXPECT_LE(std::abs(match.captured(3).toDouble()), 2.0) << rows[index].toStdString();
    }
    EXPECT_TRUE(result.lines.last().startsWith("linearity: max deviation "));
    EXPECT_TRUE(result.lines.last().endsWith(", tolerance 0.5%: PASS"));
    // The traffic comes first, the summary and the points after it.
    const qsizetype lastTraffic = result.lines.lastIndexOf(QRegularExpression("[TR]x-.*"));
    EXPECT_GT(lastTraffic, 0);
    EXPECT_LT(lastTraffic, result.lines.indexOf(QRegularExpression("Tx=.*")));
    // The 700 written before the test is back.
    EXPECT_EQ(registerValue(result.lines, 3), "700");
}

TEST(LinearityEndToEnd, AGainErrorOfOnePercentFailsAtHalfAPercent) {
    ModuleProcess module({"--feedback-gain", "1.01", "--baud", "115200"});
    const RunResult result = runTool({"--headless", "--port", module.path(), "--baud", "115200",
                                      "--linearity", "0:2200:1100", "--tolerance", "0.5"});
    ASSERT_EQ(result.exitCode, 3) << result.errors.toStdString();
    EXPECT_EQ(pointRows(result.lines).size(), 3);
    EXPECT_TRUE(result.lines.last().endsWith(", tolerance 0.5%: FAIL"))
        << result.lines.last().toStdString();
    const auto [deviation, output] = worst(result.lines.last());
    EXPECT_EQ(output, 2200);
    EXPECT_NEAR(deviation, 1.0, 0.1);
    EXPECT_EQ(registerValue(result.lines, 3), "0");
}

TEST(LinearityEndToEnd, TheSettleTimeMustOutlastTheFeedbackLag) {
    ModuleProcess module({"--feedback-lag", "800", "--baud", "115200"});
    const QStringList test = {"--headless", "--port",      module.path(), "--baud",
                              "115200",     "--linearity", "0:2200:1100"};
    RunResult result = runTool(test + QStringList{"--settle", "1100"});
    EXPECT_EQ(result.exitCode, 0) << result.lines.join('\n').toStdString();
    EXPECT_TRUE(result.lines.last().endsWith(": PASS")) << result.lines.last().toStdString();

    // Averaged over the last 250 of 300 ms, the feedback is still well on its
    // way, even if the read that confirms the write comes late.
    result = runTool(test + QStringList{"--settle", "300"});
    EXPECT_EQ(result.exitCode, 3) << result.lines.join('\n').toStdString();
    EXPECT_TRUE(result.lines.last().endsWith(": FAIL")) << result.lines.last().toStdString();
    EXPECT_GT(std::abs(worst(result.lines.last()).first), 2.0);
}

TEST(LinearityEndToEnd, TheSettleTimeCountsFromTheWritesReply) {
    // At 4800 baud the read that confirms a write comes about a sixth of a
    // second after the write's reply. Counted from that read, 750 ms of
    // settling would outlast most of the module's 800 ms lag, the feedback
    // within a tenth of the step in the window; counted from the write's reply
    // it falls short, about a third of the step off. The rate is slow enough
    // that a slow build (sanitizers) cannot blur the two.
    ModuleProcess module({"--feedback-lag", "800", "--baud", "4800"});
    const RunResult result =
        runTool({"--headless", "--port", module.path(), "--baud", "4800", "--linearity",
                 "0:2200:2200", "--settle", "750", "--tolerance", "22"});
    EXPECT_EQ(result.exitCode, 3) << result.lines.join('\n').toStdString();
    EXPECT_TRUE(result.lines.last().endsWith(", tolerance 22%: FAIL"))
        << result.lines.last().toStdString();
    const auto [deviation, output] = worst(result.lines.last());
    EXPECT_EQ(output, 2200);
    EXPECT_LT(deviation, -22.0);
}

TEST(LinearityEndToEnd, TheVerdictIsPrintedWhenTheSummaryCannotBeWritten) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("gone"));
    const QString summary = folder.filePath("gone/summary.json");
    QProcess tool;
    tool.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
               {"--headless", "--simulate", "--linearity", "1000:1100:100", "--settle", "300",
                "--summary", summary});
    ASSERT_TRUE(tool.waitForStarted(ProcessTimeoutMs));
    // The summary's folder goes away once the run is under way.
    QByteArray output;
    while (!output.contains("Tx-") && tool.waitForReadyRead(ProcessTimeoutMs)) {
        output += tool.readAllStandardOutput();
    }
    ASSERT_TRUE(QDir(folder.filePath("gone")).removeRecursively());
    ASSERT_TRUE(tool.waitForFinished(ProcessTimeoutMs));
    output += tool.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(tool.exitCode(), 1);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().startsWith("linearity: max deviation ")) << lines.last().toStdString();
    EXPECT_TRUE(lines.last().endsWith(": PASS")) << lines.last().toStdString();
    EXPECT_EQ(pointRows(lines).size(), 2);
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    EXPECT_TRUE(errors.contains("cannot write the summary: " + summary)) << errors.toStdString();
}

TEST(LinearityEndToEnd, ALineLostDuringTheTestFailsItAndSaysWhy) {
    ModuleProcess module({"--baud", "115200"});
    QProcess tool;
    tool.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
               {"--headless", "--port", module.path(), "--baud", "115200", "--linearity",
                "0:2200:1100", "--settle", "1000"});
    ASSERT_TRUE(tool.waitForStarted(ProcessTimeoutMs));
    // The far end goes away once it has taken the first write of the test.
    QByteArray output;
    while (!QString::fromLatin1(output).contains(QRegularExpression("Rx-[0-9:]+> 01 06 00 03")) &&
           tool.waitForReadyRead(ProcessTimeoutMs)) {
        output += tool.readAllStandardOutput();
    }
    module.stop();
    ASSERT_TRUE(tool.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(tool.exitCode(), 3);
    output += tool.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().contains(
        QRegularExpression(R"(: FAIL \(line lost at output \d+: (the port refuses to send|no )"
                           R"(reply to 3 requests in a row)\)$)")))
        << lines.last().toStdString();
    EXPECT_LT(pointRows(lines).size(), 3);
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    EXPECT_TRUE(errors.contains("the output could not be written back to 0"))
        << errors.toStdString();
}

TEST(LinearityEndToEnd, UnsoundTestOptionsAreUsageErrors) {
    const QStringList base = {"--headless", "--simulate"};
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--linearity", "2200:0:100"}, "FROM must not be above TO"},
        {{"--linearity", "0:2200:0"}, "STEP must be 1..2200"},
        {{"--linearity", "0:2300:100"}, "values must be 0..2200"},
        {{"--linearity", "-5:100:5"}, "values must be 0..2200"},
        {{"--linearity", "0:2200"}, "needs FROM:TO:STEP"},
        {{"--linearity", "0:2200:100", "--settle", "299"}, "--settle must be 300 ms or more"},
        {{"--linearity", "0:2200:100", "--tolerance", "0"}, "--tolerance must be a percentage"},
        {{"--linearity", "0:2200:100", "--tolerance", "-1"}, "--tolerance must be a percentage"},
        {{"--linearity", "0:2200:100", "--tolerance", "half"}, "--tolerance needs a percentage"},
        {{"--settle", "500"}, "belong to --linearity"},
        {{"--linearity", "0:2200:100", "--cycles", "5"}, "leave out --cycles"},
    };
    for (const auto& [options, message] : cases) {
        const RunResult result = runTool(base + options);
        EXPECT_EQ(result.exitCode, 2) << options.join(' ').toStdString();
        EXPECT_TRUE(result.errors.contains(message)) << result.errors.toStdString();
        EXPECT_TRUE(result.lines.isEmpty()) << options.join(' ').toStdString();
    }
}

} // namespace
