// The window on a network line: chosen from the port-settings button's
// context menu, polled over Modbus TCP with the line named in the status
// bar, written to from the table, and kept with the port settings.

#include "tests/ui/main/WindowTestSupport.h"

#include "sim/ModuleServer.h"
#include "ui/main/NetworkLineDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

namespace {

// The action of a menu with the given text (at its start).
QAction* actionOf(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text().startsWith(text)) {
            return action;
        }
    }
    return nullptr;
}

class NetworkWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        VirtualModuleOptions options;
        options.noise = 0;
        networked = std::make_unique<VirtualModule>(options);
        server = std::make_unique<ModuleServer>(*networked, ModuleServer::Framing::ModbusTcp);
        ASSERT_EQ(server->Start({"127.0.0.1", 0}), std::nullopt);
        port = server->Bound().port;
    }
    void TearDown() override {
        WindowTest::TearDown();
        server.reset();
    }

    /// Right-clicks the port-settings button; the context menu that comes up.
    QMenu* openLineMenu() {
        const QPoint inside(10, 10);
        QContextMenuEvent click(QContextMenuEvent::Mouse, inside,
                                form->skButton1->mapToGlobal(inside));
        QApplication::sendEvent(form->skButton1, &click);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }

    /// Enters the network line in its dialog, reached from the menu, and confirms it.
    void enterNetworkLine(const QString& host, int tcpPort, int framing) {
        QMenu* menu = openLineMenu();
        ASSERT_NE(menu, nullptr);
        QAction* settings = actionOf(*menu, QStringLiteral("网络连接设置"));
        ASSERT_NE(settings, nullptr);
        bool shown = false;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<NetworkLineDialog*>(widget);
                if (shown || dialog == nullptr || !dialog->isVisible()) {
                    continue;
                }
                shown = true;
                dialog->hostField->setText(host);
                dialog->portField->setValue(tcpPort);
                dialog->framingField->setCurrentIndex(framing);
                dialog->nativeField->setChecked(true);
                QTest::mouseClick(dialog->buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
            }
        });
        watch.start();
        menu->hide();
        settings->trigger();
        watch.stop();
        ASSERT_TRUE(shown);
    }

    std::unique_ptr<VirtualModule> networked;
    std::unique_ptr<ModuleServer> server;
    int port = 0;
};

} // namespace

TEST_F(NetworkWindowTest, TheChosenNetworkLineIsPolledNamedWrittenAndKept) {
    enterNetworkLine(QStringLiteral("127.0.0.1"), port, 0);
    ASSERT_TRUE(form->ChosenLine().network);

    clickStart();
    ASSERT_TRUE(waitFor([this] { return networked->Statistics().replies >= 3; }));
    EXPECT_EQ(m_module->Statistics().requests, 0u) << "the serial port stays closed";
    EXPECT_EQ(form->stat1->panelText(PanelPort),
              QStringLiteral("127.0.0.1:%1 (Modbus TCP) | ").arg(port));
    ASSERT_TRUE(waitFor([this] { return form->mm1->toPlainText().contains("Rx-"); }));
    const QString monitor = form->mm1->toPlainText();
    EXPECT_TRUE(monitor.contains("> 00 01 00 00 00 06 01 03 00 00 00 14")) << monitor.toStdString();
    // The line in use is not changed under the engine.
    QMenu* menu = openLineMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(actionOf(*menu, QStringLiteral("串口"))->isEnabled());
    menu->hide();

    // The table writes over the network line as over a serial port.
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        typeInto(dialog->intgrtpt1, "1234");
        QTest::mouseClick(dialog->btnOKBtn, Qt::LeftButton);
    }));
    EXPECT_TRUE(waitFor([this] { return networked->Register(3) == 1234; }));
    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->Cycle().PollTimer().Enabled(); }));

    // Closing keeps the choice with the port settings; the next window polls
    // the same line.
    const LineChoice chosen = form->ChosenLine();
    form->close();
    dialog.reset();
    form.reset();
    createWindows();
    EXPECT_EQ(form->ChosenLine(), chosen);
    EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
    const auto repliesBefore = networked->Statistics().replies;
    clickStart();
    EXPECT_TRUE(waitFor([&] { return networked->Statistics().replies > repliesBefore; }));
}

TEST_F(WindowTest, PortSettingsStoredBeforeTheNetworkLineStillLoadOnTheSerialPort) {
    form->ComPort.SetBaudRate(br19200);
    form->close();
    // The file as an earlier version wrote it: the port's values only.
    TComPort old;
    old.SetName("ComPort");
    old.SetPort(m_module->PortPath());
    old.SetBaudRate(br19200);
    old.SaveSettings(ssRegistry, SettingsKey);
    messages.clear();
    dialog.reset();
    form.reset();
    createWindows();
    EXPECT_FALSE(form->RestoreFailure().has_value());
    EXPECT_FALSE(form->ChosenLine().network);
    EXPECT_EQ(form->ComPort.BaudRate(), br19200);
    startPolling();
    EXPECT_TRUE(messages.empty());
}
