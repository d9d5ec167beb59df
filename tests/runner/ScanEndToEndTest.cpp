// Runs the built kestro-modbus-m --scan against the virtual module in its own
// process, at one or two fast rates; the scan of every default rate takes
// minutes and is a long test of its own (ScanAllRatesTest.cpp).

#include "tests/runner/ScanProcess.h"

using namespace scantest;

TEST(ScanEndToEnd, FindsAModuleBehindAnAdapterThatEchoesOnlyAtItsOwnRate) {
    // Every request comes back as its echo, at any rate; the module answers
    // behind it only at 38400.
    ModuleAt module(77, 38400, {"--strict-baud", "--echo"});
    ASSERT_TRUE(module.path().startsWith("/dev/"));
    const ScanResult result = scan(module.path(), {"115200", "38400"});
    EXPECT_EQ(result.exitCode, 0) << result.progress.join('\n').toStdString();
    EXPECT_EQ(result.found, QStringList{"found address=77 baud=38400"});
    EXPECT_EQ(ratesScanned(result.progress), (QStringList{"115200", "38400"}));
    EXPECT_EQ(result.progress.count("scan: the line echoes every request (an RS-485 adapter "
                                    "with local echo); the echo is dropped"),
              1)
        << result.progress.join('\n').toStdString();
    EXPECT_EQ(result.progress.last(), "scan: 1 found");
}

TEST(ScanEndToEnd, AReplyThatComesWhileTheNextAddressIsAskedStillCounts) {
    // The answer comes 60 ms after the request, after the scan's 46 ms wait
    // at 115200 and within the next address's.
    ModuleAt module(77, 115200, {"--fault", "late", "--late-ms", "60"});
    const ScanResult result = scan(module.path(), {"115200"});
    EXPECT_EQ(result.exitCode, 0) << result.progress.join('\n').toStdString();
    EXPECT_EQ(result.found, QStringList{"found address=77 baud=115200"});
}

TEST(ScanEndToEnd, AScanFindingNothingEndsWithStatusThreeInTheTimeItsRateTakes) {
    ModuleAt module(77, 38400, {"--strict-baud"});
    const ScanResult result = scan(module.path(), {"115200"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.found.isEmpty());
    EXPECT_EQ(result.progress.value(1), "scan: no module answered");
    // The waits fit the rate: the scan takes about as long as it announced
    // (127 waits of 46 ms at 115200), where the poll's 500 ms time-out would
    // take more than a minute.
    static const QRegularExpression announced(R"(up to ([\d.]+) s$)");
    const double longest = announced.match(result.progress.value(0)).captured(1).toDouble();
    EXPECT_GT(longest, 5.0);
    EXPECT_LT(longest, 127 * 0.5 / 5);
    EXPECT_GT(result.milliseconds, 900 * longest);
    EXPECT_LT(result.milliseconds, 1000 * longest + 20000);
    std::printf("a full scan at 115200 took %.1f s\n", double(result.milliseconds) / 1000.0);
}
