#pragma once
// The command line of every fuzz driver: "<driver> [COUNT] [SEED]". The run
// feeds at least COUNT inputs from the random sequence SEED, prints what it
// fed and saw, and ends with status 1 at the first broken rule (the same
// COUNT and SEED repeat the run exactly), 2 for a bad command line.

#include "fuzz/support/FuzzReport.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

using FuzzRun = std::function<FuzzReport(std::uint64_t count, std::uint32_t seed)>;

inline int RunFuzzDriver(int argc, char** argv, const char* inputName, std::uint64_t defaultCount,
                         const FuzzRun& run) {
    std::uint64_t count = defaultCount;
    std::uint32_t seed = 1;
    try {
        if (argc > 1) {
            count = std::stoull(argv[1]);
        }
        if (argc > 2) {
            seed = static_cast<std::uint32_t>(std::stoul(argv[2]));
        }
    } catch (const std::exception&) {
        std::fprintf(stderr, "usage: %s [COUNT] [SEED]\n", argv[0]);
        return 2;
    }
    QCoreApplication application(argc, argv);
    // Damaged input makes Qt's decoders warn on nearly every input; the rules
    // of the run are what counts.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.warning=false\n"
                                                    "default.warning=false"));
    const auto started = std::chrono::steady_clock::now();
    const FuzzReport report = run(count, seed);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("%s: %llu %s from seed %u in %.1f s\n", argv[0],
                static_cast<unsigned long long>(report.inputs), inputName, seed, took.count());
    for (const auto& [what, times] : report.seen) {
        std::printf("  %-28s %llu\n", what.c_str(), static_cast<unsigned long long>(times));
    }
    if (report.failed()) {
        std::printf("FAILED: %s\n", report.failure.c_str());
        return 1;
    }
    std::printf("no findings\n");
    return 0;
}
