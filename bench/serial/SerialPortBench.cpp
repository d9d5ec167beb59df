// The serial component's own costs, on a pseudo-terminal (no line delay):
// how long after the far end writes a reply OnRxChar runs on the main thread,
// how much CPU an open, idle port takes, and what a stalled line costs: the
// event thread's looks at a transmit queue that does not empty, closing with
// unsent output, and an RTS toggle write that cannot finish. Run by hand;
// prints a summary.

#include "serial/ComPort.h"

#include "platform/serial/PseudoTerminal.h"
#include "platform/serial/SerialDevice.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int rounds = 1000;
constexpr std::size_t replySize = 45; // a function 03 reply with 20 registers

double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::size_t(fraction * double(values.size() - 1))];
}

void measureDelivery(QCoreApplication& application, PseudoTerminal& pty, TComPort& port) {
    std::mutex mutex;
    std::condition_variable handled;
    bool waiting = false;
    Clock::time_point written;
    std::vector<double> latencies;
    std::size_t received = 0;

    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        const auto now = Clock::now();
        std::uint8_t buffer[256];
        received += std::size_t(sender->ReadData(buffer, std::min(count, int(sizeof buffer))));
        std::lock_guard lock(mutex);
        if (waiting) {
            latencies.push_back(std::chrono::duration<double, std::micro>(now - written).count());
            waiting = false;
            handled.notify_all();
        }
    };
    std::thread farEnd([&] {
        const std::vector<std::uint8_t> reply(replySize, 0x5A);
        for (int round = 0; round < rounds; ++round) {
            // Let the event thread settle into its wait before each reply.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::unique_lock lock(mutex);
            waiting = true;
            written = Clock::now();
            [[maybe_unused]] auto count = ::write(pty.MasterFd(), reply.data(), reply.size());
            handled.wait(lock, [&] { return !waiting; });
        }
        QMetaObject::invokeMethod(
            &application, [&] { application.quit(); }, Qt::QueuedConnection);
    });
    application.exec();
    farEnd.join();
    std::printf("reply written -> OnRxChar on the main thread (%d rounds, %zu bytes each):\n",
                rounds, replySize);
    std::printf("  median %.1f us, 90th percentile %.1f us, worst %.1f us\n",
                percentile(latencies, 0.5), percentile(latencies, 0.9), percentile(latencies, 1.0));
    port.OnRxChar = nullptr;
}

void measureIdleCpu(QCoreApplication& application) {
    constexpr int seconds = 3;
    const double before = processCpuSeconds();
    // The main thread sits in its event loop, as in the program.
    QTimer::singleShot(seconds * 1000, &application, [&] { application.quit(); });
    application.exec();
    const double spent = processCpuSeconds() - before;
    std::printf("open idle port, %d s in the event loop: %.3f ms CPU (%.4f %% of one core)\n",
                seconds, spent * 1000.0, spent * 100.0 / seconds);
}

// A line whose transmit queue never empties (flow control holds it, or the
// adapter died); it counts the event thread's looks.
class StalledOutputDevice : public SerialDevice {
public:
    int outputCount(int& count) const override {
        ++looks;
        count = 8;
        return 0;
    }
    mutable std::atomic<int> looks = 0;
};

class StalledLinePort : public TCustomComPort {
public:
    StalledLinePort() : StalledLinePort(new StalledOutputDevice) {}
    StalledOutputDevice& line;

private:
    explicit StalledLinePort(StalledOutputDevice* device)
        : TCustomComPort(std::unique_ptr<SerialDevice>(device)), line(*device) {}
};

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void measureStalledLine(QCoreApplication& application, const std::string& path) {
    constexpr int seconds = 5;
    const std::uint8_t frame[8] = {1, 3, 0, 0, 0, 20, 0x45, 0xC5};
    StalledLinePort port;
    port.SetPort(path);
    port.OnTxEmpty = [](TCustomComPort*) {};
    port.SetConnected(true);
    port.WriteData(frame, 8);
    // The first second holds the back-off; the rest is the steady state.
    QTimer::singleShot(1000, &application, [&] { application.quit(); });
    application.exec();
    const int settled = port.line.looks;
    const double before = processCpuSeconds();
    QTimer::singleShot(seconds * 1000, &application, [&] { application.quit(); });
    application.exec();
    const double spent = processCpuSeconds() - before;
    std::printf("stalled transmit queue: %d looks in the first second, then %.1f looks/s, "
                "%.3f ms CPU in %d s\n",
                settled, double(port.line.looks - settled) / seconds, spent * 1000.0, seconds);

    TComFlowControl toggle;
    toggle.SetControlRTS(rtsToggle);
    port.SetFlowControl(toggle);
    auto start = Clock::now();
    const int sent = port.WriteData(frame, 8);
    std::printf("RTS toggle write on the stalled line (default timeouts): %d of 8 bytes "
                "counted, gave up after %.0f ms\n",
                sent, millisecondsSince(start));
    port.SetConnected(false);
}

void measureCloseWithUnsentOutput(const std::string& path, int farEnd) {
    std::uint8_t chunk[4096];
    while (::read(farEnd, chunk, sizeof chunk) > 0) {
        // Whatever earlier measurements sent is not counted.
    }
    TComPort port;
    port.SetPort(path);
    port.SetEvents({});
    port.SetConnected(true);
    const std::vector<std::uint8_t> unsent(6 * 1024, 0x33);
    const int written = port.WriteData(unsent.data(), int(unsent.size()));
    const auto start = Clock::now();
    port.SetConnected(false);
    const double closing = millisecondsSince(start);
    int delivered = 0;
    for (ssize_t got = 0; (got = ::read(farEnd, chunk, sizeof chunk)) > 0;) {
        delivered += int(got);
    }
    std::printf("closing with %d bytes the far end has not read: %.3f ms, %d of them still "
                "reach it\n",
                written, closing, delivered);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    PseudoTerminal pty;
    if (pty.Open() != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    TComPort port;
    port.SetPort(pty.SlavePath());
    // The operator program's events: all but CTS and DSR.
    TComEvents events = AllComEvents;
    events.Exclude(evCTS);
    events.Exclude(evDSR);
    port.SetEvents(events);
    port.SetConnected(true);
    measureDelivery(application, pty, port);
    measureIdleCpu(application);
    port.SetConnected(false);
    measureStalledLine(application, pty.SlavePath());
    measureCloseWithUnsentOutput(pty.SlavePath(), pty.MasterFd());
    return 0;
}
