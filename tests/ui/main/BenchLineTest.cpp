// The main window on a real bench's line, driven with real input events: an
// adapter pulled out and plugged back in while polling, and a port that
// remembers which USB adapter it was used with.

#include "tests/support/FakeUsbSysfs.h"
#include "tests/ui/main/WindowTestSupport.h"

#include "platform/system/ApplicationErrors.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace {

// The virtual module behind a link, as /dev/serial/by-id keeps one to an adapter.
class LinkedModuleTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(m_linkFolder.isValid());
        VirtualModuleOptions options;
        options.noise = 0;
        options.link =
            m_linkFolder.filePath(QStringLiteral("usb-KESTRO_module-if00")).toStdString();
        linked = std::make_unique<VirtualModule>(options);
        ASSERT_EQ(linked->Start(), 0);
        link = QString::fromStdString(options.link);
        form->ComPort.SetPort(options.link);
        // Whatever the port meets while its adapter is away, it is no error
        // for the operator to click away.
        m_previousErrors = SetApplicationErrorHandler(
            [this](const std::string& message) { applicationErrors.push_back(message); });
    }
    void TearDown() override {
        WindowTest::TearDown();
        linked->Stop();
        SetApplicationErrorHandler(m_previousErrors);
        EXPECT_TRUE(applicationErrors.empty()) << applicationErrors.front();
    }

    std::uint64_t replies() const { return linked->Statistics().replies; }
    std::uint64_t requests() const { return linked->Statistics().requests; }
    int erCount() const { return form->stat1->panelText(3).toInt(); }
    QString portPanel() const { return form->stat1->panelText(4); }

    /// Pulls the adapter out and waits until the window has noticed.
    void unplugAndWaitForTheLoss() {
        linked->Unplug();
        ASSERT_TRUE(waitFor([this] { return portPanel().contains("unplugged"); }));
    }

    QTemporaryDir m_linkFolder;
    std::unique_ptr<VirtualModule> linked;
    QString link;
    std::vector<std::string> applicationErrors;

private:
    ApplicationErrorHandler m_previousErrors;
};

// The traffic monitor's lines.
QStringList monitorLines(const TForm1& form) {
    return form.mm1->toPlainText().split('\n', Qt::SkipEmptyParts);
}

} // namespace

TEST_F(LinkedModuleTest, AnAdapterPluggedBackInIsPolledAgainWithoutARestart) {
    clickStart();
    ASSERT_TRUE(waitFor([this] { return replies() >= 3; }));
    EXPECT_EQ(portPanel(), link + " | ");

    unplugAndWaitForTheLoss();
    EXPECT_TRUE(portPanel().startsWith(link + " | The port stopped working"));
    EXPECT_TRUE(portPanel().contains("Trying to open it again every second."));
    const int sentAtLoss = txCount();
    const int missedAtLoss = erCount();
    // While it is away the loop goes on at the reply time-out, every request
    // counted as missed; nobody has to press anything.
    runFor(1300);
    EXPECT_TRUE(form->Cycle().Polling());
    EXPECT_GE(txCount(), sentAtLoss + 2);
    EXPECT_GE(erCount(), missedAtLoss + 2);
    EXPECT_TRUE(messages.empty());

    const std::uint64_t answered = replies();
    ASSERT_EQ(linked->PlugIn(), 0);
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(waitFor([&] { return replies() > answered + 2; }, 5000));
    EXPECT_LT(back.elapsed(), 2000) << "the poll must resume within 2 s of the line's return";
    ASSERT_TRUE(waitFor([this] { return portPanel().contains("The line is back after"); }));
    EXPECT_TRUE(portPanel().startsWith(link + " | "));
    // The counters went on counting through the gap, and the monitor shows
    // it as requests without replies between answered ones.
    EXPECT_GT(txCount(), sentAtLoss);
    const int missedAfter = erCount();
    runFor(300);
    EXPECT_EQ(erCount(), missedAfter);
    const QStringList lines = monitorLines(*form);
    int longestRunOfRequests = 0;
    int run = 0;
    for (const QString& line : lines) {
        run = line.startsWith("Tx-") ? run + 1 : 0;
        longestRunOfRequests = std::max(longestRunOfRequests, run);
    }
    EXPECT_GE(longestRunOfRequests, 3);
    EXPECT_TRUE(lines.last().startsWith("Rx-") || lines[lines.size() - 2].startsWith("Rx-"));
    EXPECT_TRUE(messages.empty());
    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
}

TEST_F(LinkedModuleTest, StopAndClosingWhileTheLineIsAwayWaitForNothing) {
    clickStart();
    ASSERT_TRUE(waitFor([this] { return replies() >= 2; }));
    unplugAndWaitForTheLoss();
    clickStop();
    // The stopping tick comes at the reply time-out at the latest.
    ASSERT_TRUE(waitFor([this] { return !form->Cycle().PollTimer().Enabled(); }, 700));
    EXPECT_FALSE(form->ComPort.Connected());
    // Stopped means stopped: the line coming back is not opened again.
    ASSERT_EQ(linked->PlugIn(), 0);
    const std::uint64_t asked = requests();
    runFor(1500);
    EXPECT_EQ(requests(), asked);
    EXPECT_FALSE(form->ComPort.Connected());

    // Start again, lose the line again, and close the window meanwhile.
    clickStart();
    ASSERT_TRUE(waitFor([this, asked] { return requests() > asked + 1; }));
    unplugAndWaitForTheLoss();
    QElapsedTimer closing;
    closing.start();
    form->close();
    EXPECT_LT(closing.elapsed(), 300);
    ASSERT_EQ(linked->PlugIn(), 0);
    const std::uint64_t afterClose = requests();
    runFor(1500);
    EXPECT_EQ(requests(), afterClose);
    EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, AnEchoingLineIsPolledAndWrittenAndSaysSoOnce) {
    m_module->SetEcho(true);
    m_module->SetRegister(13, 4321);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return cell(4, 4) == "4321"; }));
    EXPECT_EQ(form->stat1->panelText(4),
              QString::fromStdString(m_module->PortPath()) +
                  " | The line echoes every request (an RS-485 adapter with local echo); the "
                  "echo is dropped.");
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        typeInto(dialog->intgrtpt1, "1500");
        QTest::mouseClick(dialog->btnOKBtn, Qt::LeftButton);
    }));
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "1500"; }));
    EXPECT_EQ(countWrites({3, 1500}), 1);
    runFor(200);
    // No request was missed, and the monitor holds only what the module sent.
    EXPECT_EQ(form->stat1->panelText(3), "0");
    const QStringList lines = form->mm1->toPlainText().split('\n', Qt::SkipEmptyParts);
    const QStringList received = lines.filter(QRegularExpression("^Rx-"));
    EXPECT_GE(received.size(), 3);
    for (const QString& line : received) {
        EXPECT_FALSE(line.endsWith("> 01 03 00 00 00 14 45 C5")) << line.toStdString();
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, APortPickedWithItsAdapterRefusesAnotherAdapterAfterARestart) {
    FakeUsbMachine machine;
    FakeUsbSysfs::Adapter module;
    module.serialNumber = QStringLiteral("A10K3ZQ7");
    FakeUsbSysfs::Adapter other;
    other.vendorId = QStringLiteral("1a86");
    other.productId = QStringLiteral("7523");
    other.manufacturer.clear();
    other.product = QStringLiteral("USB Serial");
    other.usbPath = QStringLiteral("1-1.3");
    machine.plug(QStringLiteral("ttyUSB0"), module);
    machine.plug(QStringLiteral("ttyUSB1"), other);

    // The setup dialog tells the two adapters apart and remembers the one picked.
    const bool picked = inSetupDialog(*form, [](TComSetupFrm& setup) {
        TComComboBox* ports = setup.Combo1;
        EXPECT_EQ(ports->itemData(ports->findText("ttyUSB0"), Qt::ToolTipRole).toString(),
                  "FTDI FT232R USB UART, serial A10K3ZQ7 (USB 0403:6001 at 1-1.2)");
        EXPECT_EQ(ports->itemData(ports->findText("ttyUSB1"), Qt::ToolTipRole).toString(),
                  "USB Serial (USB 1a86:7523 at 1-1.3)");
        ports->setFocus();
        chooseInList(ports, "ttyUSB0");
        QTest::mouseClick(setup.Button1, Qt::LeftButton);
    });
    ASSERT_TRUE(picked);
    ASSERT_EQ(form->ComPort.Port(), "ttyUSB0");
    form->close();

    // After a reboot the other adapter came up first and took the name.
    machine.plug(QStringLiteral("ttyUSB0"), other);
    machine.unplug(QStringLiteral("ttyUSB1"));
    dialog.reset();
    form.reset();
    createWindows();
    ASSERT_EQ(form->ComPort.Port(), "ttyUSB0");
    clickStart();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_TRUE(messages[0].startsWith(OpenFailureMessage + "\nttyUSB0 is now USB Serial"))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("serial A10K3ZQ7")) << messages[0].toStdString();
    EXPECT_FALSE(form->ComPort.Connected());
    EXPECT_FALSE(form->Cycle().Polling());
    EXPECT_EQ(txCount(), 0);

    // Plugged in again it is followed to its new name (which this machine
    // has no device node for, so the opening names it as missing).
    machine.plug(QStringLiteral("ttyUSB1"), module);
    clickStart();
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(form->ComPort.Port(), "ttyUSB1");
    EXPECT_TRUE(messages[1].contains("ttyUSB1")) << messages[1].toStdString();
    EXPECT_TRUE(form->ComPort.AdapterIdentity().sameAdapter(FakeUsbSysfs::identityOf(module)));
}
