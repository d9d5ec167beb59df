// The scan of every default rate, in their order, by the built kestro-modbus-m
// against the virtual module: minutes of waiting, so a long test, run by CI
// on its own (see LongTest.h).

#include "tests/runner/ScanProcess.h"
#include "tests/support/LongTest.h"

using namespace scantest;

TEST(ScanAllRates, FindsAModuleAtAddress77And38400AmongTheDefaultRates) {
    KESTRO_LONG_TEST();
    ModuleAt module(77, 38400, {"--strict-baud"});
    ASSERT_TRUE(module.path().startsWith("/dev/"));
    const ScanResult result = scan(module.path(), {});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.found, QStringList{"found address=77 baud=38400"});
    // One line a rate, in the default order, then the outcome.
    ASSERT_EQ(result.progress.size(), 8) << result.progress.join('\n').toStdString();
    EXPECT_EQ(ratesScanned(result.progress),
              (QStringList{"9600", "19200", "38400", "57600", "115200", "4800", "2400"}));
    EXPECT_EQ(result.progress.last(), "scan: 1 found");
    std::printf("the scan of every default rate took %.1f s\n",
                double(result.milliseconds) / 1000.0);
}
