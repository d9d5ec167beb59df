#include "runner/HeadlessMain.h"

#include "net/NetworkLine.h"
#include "platform/net/HostResolver.h"
#include "platform/system/SignalWatcher.h"
#include "platform/system/TimerSlack.h"
#include "poll/ComPortAdapter.h"
#include "poll/PollCycle.h"
#include "runner/HeadlessRunner.h"
#include "runner/ScanRunner.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The framing the slave module expects, whatever else is set: eight data
// bits, two stop bits, no parity, no flow control.
void configurePort(TComPort& port, const std::string& path, TBaudRate baudRate) {
    port.SetPort(path);
    port.SetBaudRate(baudRate);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
}

// Looks the network line's host up before the run, so that a host that
// cannot be found ends it at once with the resolver's reason, rather than
// being asked for every second for ever. The lookup gives up after 15 s.
bool hostFound(const NetworkLineSettings& network) {
    HostResolver resolver;
    QEventLoop loop;
    Resolution result;
    resolver.Resolve(network.endpoint, [&](const Resolution& answer) {
        result = answer;
        loop.quit();
    });
    loop.exec();
    if (!result.error) {
        return true;
    }
    const QString text =
        QCoreApplication::translate("HeadlessMain", "kestro-modbus-m: cannot find the host %1: %2")
            .arg(network.endpoint.host, result.error->text);
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return false;
}

template <typename Run> int runWithSignals(Run& run) {
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&run] { run.Interrupt(); });
    return run.Run();
}

} // namespace

int RunScan(const RunnerOptions& options) {
    UseFineTimerSlack();
    if (options.network) {
        if (!hostFound(*options.network)) {
            return ScanRunner::ExitPortFailed;
        }
        NetworkLine line(*options.network);
        ScanRunner scan(line, options.scanRates, stdout, stderr);
        return runWithSignals(scan);
    }
    TComPort port;
    configurePort(port, options.port.toStdString(), options.scanRates.front());
    ComPortAdapter line(port);
    ScanRunner scan(line, options.scanRates, stdout, stderr);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&scan] { scan.Interrupt(); });
    return scan.Run();
}

int RunHeadless(const RunnerOptions& options) {
    if (options.scan) {
        return RunScan(options);
    }
    // Before any thread starts, so that the port's event thread inherits it.
    UseFineTimerSlack();
    if (options.network) {
        if (!hostFound(*options.network)) {
            return 1;
        }
        HeadlessRunner runner(std::make_unique<NetworkLine>(*options.network), options, stdout,
                              stderr);
        return runWithSignals(runner);
    }
    std::unique_ptr<VirtualModule> module;
    std::string path = options.port.toStdString();
    if (options.simulate) {
        VirtualModuleOptions moduleOptions;
        moduleOptions.address = static_cast<std::uint8_t>(options.address);
        moduleOptions.pacing = Pacing::Line;
        module = std::make_unique<VirtualModule>(moduleOptions);
        if (const int error = module->Start(); error != 0) {
            const QString text = OpenFailureText() + QLatin1Char('\n') +
                                 QCoreApplication::translate(
                                     "HeadlessMain", "the virtual module could not start: %1")
                                     .arg(QString::fromLocal8Bit(std::strerror(error)));
            std::fprintf(stderr, "%s\n", text.toUtf8().constData());
            return 1;
        }
        path = module->PortPath();
    }

    TComPort port;
    configurePort(port, path, options.baudRate);
    HeadlessRunner runner(std::make_unique<ComPortAdapter>(port), options, stdout, stderr);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&runner] { runner.Interrupt(); });
    const int status = runner.Run();
    if (module) {
        module->Stop();
    }
    return status;
}
