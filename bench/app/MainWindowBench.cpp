// The main window's traffic monitor over a long run, and the window's own time
// per poll cycle against the virtual module.
//
//   main_window_bench [lines]
//
// Part 1 fills the monitor with reply lines of the length a read reply gives
// and prints the resident memory at every tenth of the run; once the line
// bound is reached the figure must stop growing. Part 2 polls the in-process
// virtual module at 115200 baud for a few seconds and prints the cycle period.

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "app/popwin.h"
#include "sim/VirtualModule.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace {

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

QString replyLine(int index) {
    QString line = QStringLiteral("Rx-%1:%2>")
                       .arg(index / 1000 % 60, 2, 10, QLatin1Char('0'))
                       .arg(index % 1000, 3, 10, QLatin1Char('0'));
    for (int byte = 0; byte < 45; ++byte) {
        line += QStringLiteral(" %1").arg((index + byte) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    }
    return line;
}

void fillMonitor(TForm1& form, long lines) {
    std::printf("monitor: bound %d lines\n", TForm1::MonitorLineLimit);
    QElapsedTimer clock;
    clock.start();
    const long step = std::max(1L, lines / 10);
    for (long index = 1; index <= lines; ++index) {
        form.mm1->appendPlainText(replyLine(static_cast<int>(index)));
        if (index % step == 0) {
            QCoreApplication::processEvents();
            std::printf("  %9ld lines appended, %7d kept, RSS %ld kB, %.1f us/line\n", index,
                        form.mm1->blockCount(), residentKilobytes(),
                        clock.nsecsElapsed() / 1000.0 / static_cast<double>(index));
            std::fflush(stdout);
        }
    }
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("KESTRO_CONFIG_DIR", config.path().toUtf8());
    const long lines = argc > 1 ? std::atol(argv[1]) : 1200000L;
    {
        TForm1 form;
        form.show();
        fillMonitor(form, lines);
    }
    TForm1 form;
    TForm2 dialog(form);
    form.SetWriteDialog(&dialog);
    form.show();
    pollModule(form);
    return 0;
}
