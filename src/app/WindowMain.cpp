#include "app/WindowMain.h"

#include "app/Unit1.h"
#include "app/popwin.h"
#include "platform/system/ApplicationErrors.h"
#include "sim/VirtualModule.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstring>
#include <memory>

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunWindows(const WindowOptions& options) {
    // Errors that no handler can receive end up in front of the operator.
    SetApplicationErrorHandler([](const std::string& message) {
        QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("KESTRO_MODBUS_M"),
                             QString::fromStdString(message));
    });

    std::unique_ptr<VirtualModule> module;
    if (options.simulate) {
        VirtualModuleOptions moduleOptions;
        moduleOptions.pacing = Pacing::Line;
        module = std::make_unique<VirtualModule>(moduleOptions);
        if (const int error = module->Start(); error != 0) {
            QMessageBox::critical(nullptr, QStringLiteral("KESTRO_MODBUS_M"),
                                  QStringLiteral("The virtual module could not start: %1")
                                      .arg(QString::fromLocal8Bit(std::strerror(error))));
            return 1;
        }
    }

    TForm1 mainWindow;
    if (module) {
        mainWindow.UseTemporaryPort(module->PortPath());
    }
    TForm2 writeDialog(mainWindow);
    mainWindow.SetWriteDialog(&writeDialog);
    mainWindow.show();
    if (options.pressStart) {
        QTimer::singleShot(0, &mainWindow, [&mainWindow] { mainWindow.skButton2Click(); });
    }
    const int status = QApplication::exec();
    if (module) {
        module->Stop();
    }
    return status;
}
