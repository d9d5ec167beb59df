// The main window's traffic monitor over a day of polling, and the window's
// own time per poll cycle against the virtual module.
//
//   main_window_bench [hours] [plain-lines]
//
// The first half feeds the monitor the lines of `hours` (default 24) of polling at
// 115200 baud, a request and a reply line every 7.5 ms, and prints the
// resident memory of the whole window process as it goes and the time per
// appended line, for the monitor as it is (lines gathered and shown five times
// a second, a repaint after each batch); then what a full monitor costs when
// the operator scrolls through it, copies it all and saves it. In the same
// run, for comparison, the plain append of one line at a time with a repaint
// after every cycle, as the event loop did, over `plain-lines` lines (default
// 200,000); and both again with the monitor doing all but drawing. Each feed
// runs in a process of its own so that its memory is its own. The second half polls the
// in-process virtual module at 115200 baud for a few seconds and prints the
// cycle period.

#include "poll/PollCycle.h"
#include "sim/VirtualModule.h"
#include "ui/main/StatusBar.h"
#include "ui/main/Unit1.h"
#include "ui/main/popwin.h"
#include "ui/monitor/TrafficMonitor.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A cycle at 115200 baud: the request, the 45-byte reply and the pause.
constexpr double CycleMilliseconds = 7.5;
// The monitor shows its lines this often; so many cycles fit in between.
constexpr long CyclesPerBatch =
    static_cast<long>(TrafficMonitor::FlushInterval.count() / CycleMilliseconds);

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

// The lines of a thousand cycles as the engine writes them.
std::vector<QString> cycleLines() {
    std::vector<QString> lines;
    std::vector<std::uint8_t> request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};
    for (int cycle = 0; cycle < 1000; ++cycle) {
        std::vector<std::uint8_t> reply = {0x01, 0x03, 0x28};
        for (int byte = 0; byte < 42; ++byte) {
            reply.push_back(static_cast<std::uint8_t>(cycle * 7 + byte));
        }
        const TimeOfDay time{10, 0, cycle / 100 % 60, cycle * 7 % 1000};
        lines.push_back(TrafficLine(QStringLiteral("Tx-"), time, request.data(), 8));
        lines.push_back(TrafficLine(QStringLiteral("Rx-"), time, reply.data(), 45));
    }
    return lines;
}

// Feeds the monitor `cycles` cycles, running the event loop as the window
// would, and prints the time per line. Without repaints the monitor does all
// but draw (its updates are switched off).
void feed(TForm1& form, long cycles, bool today, bool paint) {
    form.mm1->setUpdatesEnabled(paint);
    const std::vector<QString> lines = cycleLines();
    const long reports = 24;
    const long step = std::max(1L, cycles / reports);
    QElapsedTimer clock;
    qint64 spent = 0;
    long maximum = 0;
    for (long cycle = 1; cycle <= cycles; ++cycle) {
        const QString& request = lines[static_cast<std::size_t>(2 * (cycle % 1000))];
        const QString& reply = lines[static_cast<std::size_t>(2 * (cycle % 1000) + 1)];
        clock.start();
        if (today) {
            // As the monitor did: one line at a time, a repaint every cycle.
            form.mm1->appendPlainText(request);
            form.mm1->appendPlainText(reply);
            QCoreApplication::processEvents();
        } else {
            form.mm1->AppendLine(request);
            form.mm1->AppendLine(reply);
            if (cycle % CyclesPerBatch == 0) {
                form.mm1->Flush(); // what its timer does five times a second
                QCoreApplication::processEvents();
            }
        }
        spent += clock.nsecsElapsed();
        if (cycle % step == 0) {
            const long rss = residentKilobytes();
            maximum = std::max(maximum, rss);
            std::printf("  %7.2f h polled, %9ld lines, %6d kept, RSS %6ld kB, %.1f us/line\n",
                        static_cast<double>(cycle) * CycleMilliseconds / 3.6e6, 2 * cycle,
                        form.mm1->blockCount(), rss,
                        static_cast<double>(spent) / 1000.0 / static_cast<double>(2 * cycle));
            std::fflush(stdout);
        }
    }
    std::printf("RESULT %s%s %.2f us/line, most RSS %ld kB\n", today ? "today" : "monitor",
                paint ? "" : " without repaints",
                static_cast<double>(spent) / 1000.0 / static_cast<double>(2 * cycles), maximum);
}

// What the operator may do with a full monitor: scroll through all of it
// (every line then has its layout), select all and copy, save it.
void handleFullMonitor(TForm1& form, const QString& folder) {
    QScrollBar* bar = form.mm1->verticalScrollBar();
    for (int value = 0; value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
        bar->setValue(value);
        QCoreApplication::processEvents();
    }
    std::printf("  after scrolling through every line: RSS %ld kB\n", residentKilobytes());
    form.mm1->selectAll();
    form.mm1->copy();
    QCoreApplication::processEvents();
    std::printf("  after select all and copy: RSS %ld kB (%lld characters on the clipboard)\n",
                residentKilobytes(),
                static_cast<long long>(QGuiApplication::clipboard()->text().size()));
    form.mm1->SaveText(folder + QStringLiteral("/monitor.txt"));
    std::printf("  after saving it: RSS %ld kB\n", residentKilobytes());
}

// Runs one feed in a process of its own; returns its time per line.
double feedInChild(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForStarted();
    double perLine = 0;
    while (child.state() != QProcess::NotRunning) {
        child.waitForReadyRead(1000);
        const QByteArray output = child.readAllStandardOutput();
        std::fwrite(output.constData(), 1, static_cast<std::size_t>(output.size()), stdout);
        std::fflush(stdout);
        for (const QByteArray& line : output.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            const qsizetype unit = words.indexOf("us/line,");
            if (line.startsWith("RESULT") && unit > 0) {
                perLine = words[unit - 1].toDouble();
            }
        }
    }
    return perLine;
}

void pollModule(TForm1& form) {
    VirtualModule module;
    if (module.Start() != 0) {
        std::printf("the virtual module did not start\n");
        return;
    }
    form.UseTemporaryPort(module.PortPath());
    form.ComPort.SetBaudRate(br115200);
    form.skButton2Click();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double cycles = form.stat1->panelText(1).toDouble();
    std::printf("polling at 115200: %.0f cycles in 5 s, %.2f ms per cycle\n", cycles,
                cycles > 0 ? 5000.0 / cycles : 0.0);
    // Stop, and let the next tick close the port before the module goes away.
    form.skButton3Click();
    while (form.ComPort.Connected()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    module.Stop();
}

} // namespace

int main(int argc, char** argv) {
    // Offscreen unless a platform is chosen (xcb under Xvfb shows the memory of
    // a window on a real display).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("KESTRO_CONFIG_DIR", config.path().toUtf8());
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.value(0) == "--feed") {
        const bool today = arguments.value(1) == "today";
        const bool paint = arguments.value(3) == "paint";
        TForm1 form;
        if (today) {
            form.mm1->setMaximumBlockCount(1000000); // the bound the monitor had
        }
        form.show();
        QCoreApplication::processEvents();
        std::printf("RSS with the window up: %ld kB\n", residentKilobytes());
        feed(form, arguments.value(2).toLong(), today, paint);
        if (paint) {
            handleFullMonitor(form, config.path());
        }
        return 0;
    }
    const double hours = argc > 1 ? std::atof(argv[1]) : 24.0;
    const long todayLines = argc > 2 ? std::atol(argv[2]) : 200000L;
    const auto cycles = static_cast<long>(hours * 3.6e6 / CycleMilliseconds);
    std::printf("monitor: bound %d lines, %.1f h at 115200 baud (%ld lines)\n",
                TrafficMonitor::LineLimit, hours, 2 * cycles);
    const double monitor = feedInChild({"--feed", "monitor", QString::number(cycles), "paint"});
    std::printf("plain append of one line at a time, bound 1000000 lines:\n");
    const QString todayCycles = QString::number(todayLines / 2);
    const double today = feedInChild({"--feed", "today", todayCycles, "paint"});
    std::printf("the same two without repainting, %ld lines each:\n", todayLines);
    const double monitorAlone = feedInChild({"--feed", "monitor", todayCycles, "nopaint"});
    const double todayAlone = feedInChild({"--feed", "today", todayCycles, "nopaint"});
    std::printf("time per line, monitor / plain append: %.1f / %.1f us = %.2f with repaints, "
                "%.1f / %.1f us = %.2f without\n",
                monitor, today, today > 0 ? monitor / today : 0.0, monitorAlone, todayAlone,
                todayAlone > 0 ? monitorAlone / todayAlone : 0.0);

    TForm1 form;
    TForm2 dialog(form);
    form.SetWriteDialog(&dialog);
    form.show();
    pollModule(form);
    return 0;
}
