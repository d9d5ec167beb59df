#include "runner/HeadlessMain.h"

#include "platform/system/SignalWatcher.h"
#include "platform/system/TimerSlack.h"
#include "poll/ComPortAdapter.h"
#include "poll/PollCycle.h"
#include "runner/HeadlessRunner.h"
#include "runner/ListenRunner.h"
#include "runner/ScanRunner.h"
#include "runner/TestRunner.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"

#include <QCoreApplication>
#include <QObject>
#include <csignal>
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

} // namespace

int RunScan(const RunnerOptions& options) {
    UseFineTimerSlack();
    TComPort port;
    configurePort(port, options.port.toStdString(), options.scanRates.front());
    ComPortAdapter line(port);
    ScanRunner scan(line, options.scanRates, stdout, stderr);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&scan] { scan.Interrupt(); });
    return scan.Run();
}

namespace {

// The in-process virtual module for --simulate, at the address and rate the
// run polls it with; none, with the reason on standard error, when it cannot start.
std::unique_ptr<VirtualModule> startVirtualModule(int address, TBaudRate baudRate) {
    VirtualModuleOptions moduleOptions;
    moduleOptions.address = static_cast<std::uint8_t>(address);
    moduleOptions.baudRate = static_cast<unsigned>(BaudRateValue(baudRate));
    moduleOptions.pacing = Pacing::Line;
    auto module = std::make_unique<VirtualModule>(moduleOptions);
    if (const int error = module->Start(); error != 0) {
        const QString text =
            OpenFailureText() + QLatin1Char('\n') +
            QCoreApplication::translate("HeadlessMain", "the virtual module could not start: %1")
                .arg(QString::fromLocal8Bit(std::strerror(error)));
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        return nullptr;
    }
    return module;
}

void printUsageError(const QString& error) {
    std::fprintf(stderr, "kestro-modbus-m: %s\n", error.toUtf8().constData());
}

} // namespace

int RunFunctionTest(const RunnerOptions& options) {
    const LoadedPlan loaded = LoadTestPlan(options.test.planPath);
    if (!loaded.plan) {
        printUsageError(loaded.error);
        return 2;
    }
    const std::optional<TBaudRate> baudRate = TestBaudRate(options, *loaded.plan);
    if (!baudRate) {
        printUsageError(QStringLiteral("plan %1: baud: %2 is not a rate the tool can set")
                            .arg(options.test.planPath)
                            .arg(loaded.plan->baud));
        return 2;
    }
    const int address = TestAddress(options, *loaded.plan);
    UseFineTimerSlack();
    std::unique_ptr<VirtualModule> module;
    std::string path = options.port.toStdString();
    if (options.simulate) {
        module = startVirtualModule(address, *baudRate);
        if (!module) {
            return 1;
        }
        path = module->PortPath();
    }
    TComPort port;
    configurePort(port, path, *baudRate);
    TestRunner runner(std::make_unique<ComPortAdapter>(port), options, loaded, stdout, stderr);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&runner](int signalNumber) {
        runner.Interrupt(signalNumber == SIGINT ? QStringLiteral("interrupted (SIGINT)")
                                                : QStringLiteral("interrupted (SIGTERM)"));
    });
    const int status = runner.Run();
    if (module) {
        module->Stop();
    }
    return status;
}

int RunListen(const RunnerOptions& options) {
    UseFineTimerSlack();
    TComPort port;
    configurePort(port, options.port.toStdString(), options.baudRate);
    ListenRunner runner(std::make_unique<ComPortAdapter>(port), options, stdout, stderr);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&runner] { runner.Interrupt(); });
    return runner.Run();
}

int RunHeadless(const RunnerOptions& options) {
    if (options.scan) {
        return RunScan(options);
    }
    if (options.test.printPlan) {
        const QByteArray plan = TestPlanJson(DefaultTestPlan());
        std::fwrite(plan.constData(), 1, static_cast<std::size_t>(plan.size()), stdout);
        return 0;
    }
    if (options.test.run) {
        return RunFunctionTest(options);
    }
    if (options.listen) {
        return RunListen(options);
    }
    // Before any thread starts, so that the port's event thread inherits it.
    UseFineTimerSlack();
    std::unique_ptr<VirtualModule> module;
    std::string path = options.port.toStdString();
    if (options.simulate) {
        module = startVirtualModule(options.address, options.baudRate);
        if (!module) {
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
