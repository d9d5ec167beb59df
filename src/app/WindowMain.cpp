#include "app/WindowMain.h"

#include "app/CommandLine.h"

#include "platform/system/ApplicationErrors.h"
#include "platform/system/SignalWatcher.h"
#include "platform/system/TimerSlack.h"
#include "sim/SimulatedModule.h"
#include "ui/main/Unit1.h"
#include "ui/main/popwin.h"
#include "ui/monitor/MonitorCommands.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstring>
#include <memory>

WindowArguments ParseWindowArguments(const QStringList& arguments) {
    WindowOptions options;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        QString name = arguments[index];
        std::optional<QString> value;
        if (const qsizetype equals = name.indexOf('='); name.startsWith("--") && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (IsRecordOption(name)) {
            if (!value) {
                if (index + 1 >= arguments.size()) {
                    return {std::nullopt, CommandLine::tr("%1 needs a value").arg(name)};
                }
                value = arguments[++index];
            }
            if (const QString error = ApplyRecordOption(name, *value, options.record);
                !error.isEmpty()) {
                return {std::nullopt, error};
            }
        } else if (name == "--plan" || name == "--report-dir" || name == "--station-log") {
            if (!value) {
                if (index + 1 >= arguments.size()) {
                    return {std::nullopt, CommandLine::tr("%1 needs a value").arg(name)};
                }
                value = arguments[++index];
            }
            QString& target = name == "--plan"         ? options.test.planPath
                              : name == "--report-dir" ? options.test.reportDir
                                                       : options.test.stationLog;
            target = *value;
        } else if (name == "--test" && !value) {
            options.openTest = true;
        } else if (name == "--simulate" && !value) {
            options.simulate = true;
        } else if (name == "--start" && !value) {
            options.pressStart = true;
        } else if (name.startsWith("--")) {
            return {std::nullopt, CommandLine::tr("unknown option \"%1\"").arg(arguments[index])};
        }
    }
    return {options, {}};
}

QString WindowUsage() {
    return CommandLine::tr(
        "       kestro-modbus-m [--simulate] [--start] [--record FILE] [--record-max-mb N]\n"
        "                       [--test] [--plan FILE] [--report-dir DIR] [--station-log FILE]\n"
        "  (no option)        the operator window on the stored port\n"
        "  --simulate         the window on the built-in virtual module; the stored\n"
        "                     port settings are read but not overwritten\n"
        "  --start            press Start once the window is up\n"
        "  --record FILE      record the traffic in FILE from the start (CSV), as the\n"
        "                     monitor's context menu does\n"
        "  --record-max-mb N  as for the runner\n"
        "  --test             open the production test window (F6) once the window is up\n"
        "  --plan FILE, --report-dir DIR, --station-log FILE\n"
        "                     the production test's plan and records, as for the runner\n");
}

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunWindows(const WindowOptions& options) {
    // Before the port's event thread starts, so that it inherits it: the
    // pause between polls and the wait for a reply's last bytes are timed.
    UseFineTimerSlack();
    // Errors that no handler can receive end up in front of the operator.
    SetApplicationErrorHandler([](const std::string& message) {
        QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("KESTRO_MODBUS_M"),
                             QString::fromStdString(message));
    });

    std::unique_ptr<SimulatedModule> module;
    if (options.simulate) {
        VirtualModuleOptions moduleOptions;
        moduleOptions.pacing = Pacing::Line;
        module = std::make_unique<SimulatedModule>(moduleOptions);
        if (const QString error = module->Start(); !error.isEmpty()) {
            QMessageBox::critical(
                nullptr, QStringLiteral("KESTRO_MODBUS_M"),
                QCoreApplication::translate("WindowMain", "The virtual module could not start: %1")
                    .arg(error));
            return 1;
        }
    }

    TForm1 mainWindow;
    if (module && module->Endpoint()) {
        // No pseudo-terminals here: the module is served over TCP.
        mainWindow.UseTemporaryNetworkLine(*module->Endpoint());
    } else if (module) {
        mainWindow.UseTemporaryPort(module->PortPath());
    }
    mainWindow.Commands().SetRecordLimitMegabytes(options.record.limitMegabytes);
    if (!options.record.path.isEmpty()) {
        if (const QString error = mainWindow.StartRecording(options.record.path);
            !error.isEmpty()) {
            // The window comes up all the same; the operator can pick another file.
            QTimer::singleShot(0, &mainWindow, [&mainWindow, error] {
                mainWindow.Commands().TellRecordingRefused(error);
            });
        }
    }
    mainWindow.SetTestFiles(options.test);
    TForm2 writeDialog(mainWindow);
    mainWindow.SetWriteDialog(&writeDialog);
    // SIGINT (Ctrl+C where it was started) or SIGTERM (a shutdown, a script
    // ending a night's run) closes the windows as the operator would: the
    // settings are saved, the recording is closed and the port is let go.
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted,
                     [] { QApplication::closeAllWindows(); });
    mainWindow.show();
    if (options.pressStart) {
        QTimer::singleShot(0, &mainWindow, [&mainWindow] { mainWindow.skButton2Click(); });
    }
    if (options.openTest) {
        QTimer::singleShot(0, &mainWindow, [&mainWindow] { mainWindow.OpenProductionTest(); });
    }
    const int status = QApplication::exec();
    if (module) {
        module->Stop();
    }
    return status;
}
