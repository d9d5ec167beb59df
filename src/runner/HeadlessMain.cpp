#include "runner/HeadlessMain.h"

#include "net/NetworkLine.h"
#include "platform/net/HostResolver.h"
#include "platform/system/SignalWatcher.h"
#include "platform/system/TimerSlack.h"
#include "poll/ComPortAdapter.h"
#include "poll/PollCycle.h"
#include "runner/HeadlessRunner.h"
#include "runner/ListenRunner.h"
#include "runner/ScanRunner.h"
#include "runner/TestRunner.h"
#include "serial/ComPort.h"
#include "sim/SimulatedModule.h"

#include <QCoreApplication>
#include <QEventLoop>
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

namespace {

void printUsageError(const QString& error) {
    std::fprintf(stderr, "kestro-modbus-m: %s\n", error.toUtf8().constData());
}

// The line a run talks over: the network line, the in-process virtual
// module's port (--simulate), or the device. It outlives the runner it is
// handed to, and stops the virtual module last.
class RunLine {
public:
    RunLine() = default;
    RunLine(const RunLine&) = delete;
    RunLine& operator=(const RunLine&) = delete;
    ~RunLine() {
        if (m_module) {
            m_module->Stop();
        }
    }

    /// Sets the line up for a unit at address and rate; false, with the
    /// reason on standard error, when it cannot be.
    bool Prepare(const RunnerOptions& options, int address, TBaudRate baudRate) {
        if (options.network) {
            m_network = *options.network;
            // The module sits behind the network at the rate the run expects.
            if (options.test.run && !m_network->gatewayRate) {
                m_network->gatewayRate = baudRate;
            }
            return hostFound(*m_network);
        }
        std::string path = options.port.toStdString();
        if (options.simulate) {
            if (!startVirtualModule(address, baudRate)) {
                return false;
            }
            // Where the system has no pseudo-terminals, the module is served
            // over TCP and the run talks to it as to a device server.
            if (const std::optional<NetEndpoint> endpoint = m_module->Endpoint()) {
                m_network = NetworkLineSettings{NetworkFraming::RtuOverTcp, *endpoint, baudRate};
                return true;
            }
            path = m_module->PortPath();
        }
        configurePort(m_port, path, baudRate);
        return true;
    }

    std::unique_ptr<PollPort> Take() {
        if (m_network) {
            return std::make_unique<NetworkLine>(*m_network);
        }
        return std::make_unique<ComPortAdapter>(m_port);
    }

private:
    // The in-process virtual module, at the address and rate the run polls it with.
    bool startVirtualModule(int address, TBaudRate baudRate) {
        VirtualModuleOptions moduleOptions;
        moduleOptions.address = static_cast<std::uint8_t>(address);
        moduleOptions.baudRate = static_cast<unsigned>(BaudRateValue(baudRate));
        moduleOptions.pacing = Pacing::Line;
        m_module = std::make_unique<SimulatedModule>(moduleOptions);
        if (const QString error = m_module->Start(); !error.isEmpty()) {
            const QString text = OpenFailureText() + QLatin1Char('\n') +
                                 QCoreApplication::translate(
                                     "HeadlessMain", "the virtual module could not start: %1")
                                     .arg(error);
            std::fprintf(stderr, "%s\n", text.toUtf8().constData());
            m_module.reset();
            return false;
        }
        return true;
    }

    std::unique_ptr<SimulatedModule> m_module;
    std::optional<NetworkLineSettings> m_network;
    TComPort m_port;
};

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
    UseFineTimerSlack();
    RunLine line;
    if (!line.Prepare(options, TestAddress(options, *loaded.plan), *baudRate)) {
        return 1;
    }
    TestRunner runner(line.Take(), options, loaded, stdout, stderr);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&runner](int signalNumber) {
        runner.Interrupt(signalNumber == SIGINT ? QStringLiteral("interrupted (SIGINT)")
                                                : QStringLiteral("interrupted (SIGTERM)"));
    });
    return runner.Run();
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
    RunLine line;
    if (!line.Prepare(options, options.address, options.baudRate)) {
        return 1;
    }
    HeadlessRunner runner(line.Take(), options, stdout, stderr);
    return runWithSignals(runner);
}
