// The trend's history over a day of polling, fed as fast as it takes it
// (simulated time, nothing is waited for):
//
//   trend_history_bench [hours] [period-us]
//
// feeds `hours` (default 24) of samples, one every `period-us` microseconds
// (default 7500: a poll cycle at 115200 baud), and prints the heap the
// history holds as it goes (glibc's count of bytes in use, so only what the
// history allocated), the time per sample and the time to cut the whole day
// into the columns of a plot 900 pixels wide. Then the same at the fastest
// rate the history is built for, a sample every millisecond, which fills its
// whole-sample limit. For comparison it prints what keeping every sample
// would take.

#include "trend/TrendHistory.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

using Clock = std::chrono::steady_clock;

double heapMegabytes() {
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

void feed(double hours, std::int64_t periodUs) {
    const double before = heapMegabytes();
    const auto origin = Clock::now();
    TrendHistory history;
    const auto total = static_cast<std::int64_t>(hours * 3600e6 / periodUs);
    const std::int64_t perHour = static_cast<std::int64_t>(3600e6 / periodUs);
    double largest = 0.0;
    const auto started = Clock::now();
    for (std::int64_t index = 0; index < total; ++index) {
        const auto output = static_cast<std::uint16_t>((index / 200) % 2201);
        history.Add(origin + std::chrono::microseconds{index * periodUs}, output,
                    static_cast<std::uint16_t>(output + index % 5));
        if ((index + 1) % (perHour / 4) == 0) {
            largest = std::max(largest, heapMegabytes() - before);
        }
        if ((index + 1) % perHour == 0 && (index + 1) / perHour % 6 == 0) {
            std::printf("  after %3lld h: %6.2f MB (%zu samples whole, %zu seconds)\n",
                        static_cast<long long>((index + 1) / perHour), heapMegabytes() - before,
                        history.SampleCount(), history.SecondCount());
        }
    }
    const double feedSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    const auto queryStart = Clock::now();
    const auto columns = history.Columns(history.Oldest(), history.Newest(), 900);
    const double queryMs =
        std::chrono::duration<double, std::milli>(Clock::now() - queryStart).count();
    std::printf(
        "  %lld samples, %.1f ns a sample; largest %.2f MB, at the end %.2f MB (limit 20 MB)\n",
        static_cast<long long>(total), feedSeconds * 1e9 / static_cast<double>(total), largest,
        heapMegabytes() - before);
    std::printf("  the whole history in %zu columns: %.2f ms\n", columns.size(), queryMs);
    std::printf("  every sample kept instead: %.0f MB\n",
                static_cast<double>(total) * sizeof(TrendHistory::Sample) / (1024.0 * 1024.0));
}

} // namespace

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::atof(argv[1]) : 24.0;
    const std::int64_t period = argc > 2 ? std::atoll(argv[2]) : 7500;
    std::printf("%.1f h at a sample every %lld us:\n", hours, static_cast<long long>(period));
    feed(hours, period);
    std::printf("%.1f h at a sample every 1000 us (the whole-sample limit):\n", hours);
    feed(hours, 1000);
    return 0;
}
