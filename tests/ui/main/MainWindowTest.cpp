// The main window driven with real input events against the virtual module.

#include "tests/ui/main/WindowTestSupport.h"

#include "platform/serial/SerialPortList.h"
#include "poll/PollCycle.h"
#include "serial/setup/ComComboBox.h"
#include "serial/setup/ComSetupFrm.h"
#include "ui/main/StatusBar.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/instrument/iLabel.h"
#include "widgets/instrument/iLedRectangle.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <array>
#include <chrono>
#include <tuple>

namespace {

QString settingsText(const QTemporaryDir& folder) {
    QFile file(folder.filePath(QStringLiteral("HKEY_LOCAL_MACHINE.registry")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

/// The serial ports of the test's machine: only those named.
struct PortListOfTheTest {
    QTemporaryDir sysfs;
    QString previousRoot = serialSysfsRoot();
    QStringList ports;
    explicit PortListOfTheTest(const QStringList& names) : ports(names) {
        QDir().mkpath(sysfs.filePath("class/tty"));
        setSerialSysfsRoot(sysfs.path());
        for (const QString& name : ports) {
            registerSerialPort(name);
        }
    }
    ~PortListOfTheTest() {
        for (const QString& name : ports) {
            unregisterSerialPort(name);
        }
        setSerialSysfsRoot(previousRoot);
    }
};

namespace {

/// Presses the port-settings button, picks the port and the speed in the
/// setup dialog and confirms them with OK. False when no dialog showed.
bool pickInSetupDialog(TForm1& form, const QString& port, const QString& speed) {
    return inSetupDialog(form, [&](TComSetupFrm& setup) {
        chooseInList(setup.Combo1, port);
        chooseInList(setup.Combo2, speed);
        QTest::mouseClick(setup.Button1, Qt::LeftButton);
    });
}

} // namespace

TEST_F(WindowTest, StartFillsTheTableReadoutsAndLampFromTheModuleAndCountsRequests) {
    // The module's feedback follows its output.
    m_module->SetRegister(3, 1234);
    m_module->SetRegister(5, 1);
    m_module->SetRegister(10, 3);
    m_module->SetRegister(13, 65535);
    startPolling();

    ASSERT_TRUE(waitFor([this] { return cell(4, 4) == "65535"; }));
    EXPECT_EQ(cell(4, 1), "3");
    EXPECT_EQ(cell(2, 6), "1");
    EXPECT_TRUE(form->iLedRectangle1->Active());
    EXPECT_EQ(cell(2, 3), "1234");
    EXPECT_EQ(form->iSevenSegmentAnalog1->Precision(), 1);
    EXPECT_NEAR(form->iSevenSegmentAnalog1->Value(), 123.4, 1e-9);
    EXPECT_EQ(form->iSevenSegmentAnalog2->Precision(), 1);
    EXPECT_NEAR(form->iSevenSegmentAnalog2->Value(), 123.4, 1e-9);
    EXPECT_EQ(form->stat1->panelText(4), QString::fromStdString(m_module->PortPath()) + " | ");

    ASSERT_TRUE(waitFor([this] { return txCount() >= 3; }));
    const QStringList lines = form->mm1->toPlainText().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Tx-")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("> 01 03 00 00 00 14 45 C5")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Rx-")) << lines[1].toStdString();
    EXPECT_EQ(form->stat1->panelText(3), "0");
    EXPECT_TRUE(messages.empty());
}

namespace {

/// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

TEST_F(WindowTest, WhilePollingTheValuesAndCountersAreShownAtMostOnceAGap) {
    // The counters change with every poll, so each frame paints the status
    // bar: its paints are the window's frames.
    startPolling();
    runFor(200);
    const PaintCounter frames(*form->stat1);
    const int firstTx = txCount();
    const auto started = std::chrono::steady_clock::now();
    runFor(1500);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    const int polls = txCount() - firstTx;
    const double gaps = seconds / TForm1::PolledFrameGap;

    ASSERT_GT(polls, gaps * 2) << "the module answers faster than the gap";
    EXPECT_LE(frames.paints, gaps + 1) << polls << " polls";
    EXPECT_GE(frames.paints, 3) << "the window still shows the polls";
}

TEST_F(WindowTest, StopClosesThePortAtTheNextTickAndStartOrStopTwiceChangesNothing) {
    startPolling();
    clickStart();
    EXPECT_TRUE(form->Cycle().Polling());
    EXPECT_TRUE(messages.empty());

    clickStop();
    clickStop();
    EXPECT_FALSE(form->Cycle().Polling());
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
    EXPECT_FALSE(form->Cycle().PollTimer().Enabled());
    const int sent = txCount();
    runFor(100);
    EXPECT_EQ(txCount(), sent);

    // A fresh Start polls again from zero.
    clickStart();
    ASSERT_TRUE(form->ComPort.Connected());
    ASSERT_TRUE(waitFor([this, sent] { return txCount() >= 1 && txCount() < sent + 1; }));
}

TEST_F(WindowTest, AFailedStartExplainsWhyAndLeavesTheLoopStopped) {
    form->ComPort.SetPort(m_config.filePath("ttyUSB-missing").toStdString());
    clickStart();
    ASSERT_EQ(messages.size(), 1U);
    const QStringList lines = messages[0].split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], OpenFailureMessage);
    EXPECT_TRUE(lines[1].contains("ttyUSB-missing")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("does not exist")) << lines[1].toStdString();
    EXPECT_FALSE(form->ComPort.Connected());
    EXPECT_FALSE(form->Cycle().Polling());
    EXPECT_EQ(form->stat1->panelText(1), "0");
}

TEST_F(WindowTest, ALineThatGoesAwayIsNamedInThePortPanelWithoutAMessageBox) {
    startPolling();
    const QString port = QString::fromStdString(m_module->PortPath());
    EXPECT_EQ(form->stat1->panelText(4), port + " | ");
    // The module's end of the line closes, as when a USB adapter is pulled out.
    m_module->Stop();
    ASSERT_TRUE(waitFor([this] { return form->stat1->panelText(4).contains("unplugged"); }));
    EXPECT_TRUE(form->stat1->panelText(4).startsWith(port + " | "));
    EXPECT_TRUE(messages.empty());
    // The loop goes on at the calm reply time-out and still stops at once.
    const int sent = txCount();
    runFor(300);
    EXPECT_LE(txCount(), sent + 1);
    EXPECT_TRUE(form->Cycle().Polling());
    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
}

TEST_F(WindowTest, AnAddressOutsideItsRangeIsHeldToItAndPolledFromTheNextRequest) {
    QTest::mouseClick(form->intgrtpt1, Qt::LeftButton);
    typeInto(form->intgrtpt1, "200");
    QTest::keyClick(form->intgrtpt1, Qt::Key_Return);
    EXPECT_EQ(form->intgrtpt1->Value(), 127);
    // Enter stays in the field: it does not press Start.
    EXPECT_FALSE(form->ComPort.Connected());

    clickStart();
    ASSERT_TRUE(waitFor([this] { return txCount() >= 2; }));
    EXPECT_TRUE(form->mm1->toPlainText().split('\n')[0].contains("> 7F 03 00 00 00 14"));
    // The module answers only its own address.
    EXPECT_EQ(m_module->Statistics().replies, 0U);
    ASSERT_TRUE(waitFor([this] { return form->stat1->panelText(3).toInt() >= 1; }));

    // Changed while polling, the address goes out with the next request.
    QTest::mouseClick(form->intgrtpt1, Qt::LeftButton);
    typeInto(form->intgrtpt1, "1");
    QTest::keyClick(form->intgrtpt1, Qt::Key_Return);
    ASSERT_EQ(form->intgrtpt1->Value(), 1);
    ASSERT_TRUE(waitFor([this] { return m_module->Statistics().replies >= 1; }));
    EXPECT_TRUE(form->mm1->toPlainText().contains("> 01 03 00 00 00 14 45 C5"));
    EXPECT_TRUE(form->Cycle().Polling());
}

TEST_F(WindowTest, ClosingWhilePollingSavesTheSettingsAndClosesThePort) {
    startPolling();
    form->ComPort.SetBaudRate(br19200);
    form->close();
    EXPECT_FALSE(form->ComPort.Connected());
    const QString stored = settingsText(m_config);
    EXPECT_TRUE(stored.contains(QString::fromStdString(m_module->PortPath())))
        << stored.toStdString();
    EXPECT_TRUE(stored.contains("BaudRate")) << stored.toStdString();
    const int sent = txCount();
    runFor(100);
    EXPECT_EQ(txCount(), sent);
    EXPECT_TRUE(messages.empty());

    // The next start restores the port and the rate, and forces the framing.
    dialog.reset();
    form.reset();
    createWindows();
    EXPECT_EQ(form->ComPort.Port(), m_module->PortPath());
    EXPECT_EQ(form->ComPort.BaudRate(), br19200);
    EXPECT_FALSE(form->RestoreFailure().has_value());
}

TEST_F(WindowTest, ATemporaryPortIsNeverStoredOverTheOperatorsPort) {
    form->ComPort.SetPort("ttyUSB0");
    form->close();
    dialog.reset();
    form.reset();
    createWindows();
    ASSERT_EQ(form->ComPort.Port(), "ttyUSB0");

    form->UseTemporaryPort(m_module->PortPath());
    startPolling();
    form->close();
    EXPECT_FALSE(settingsText(m_config).contains(QString::fromStdString(m_module->PortPath())));
    EXPECT_TRUE(settingsText(m_config).contains("ttyUSB0"));
}

TEST(WindowStartUp, DamagedSettingsAreReportedOnceAndTheWindowStillComesUpWhole) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("KESTRO_CONFIG_DIR", config.path().toUtf8());
    QFile damaged(config.filePath("HKEY_LOCAL_MACHINE.registry"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a settings file\n\x01\x02");
    damaged.close();

    std::vector<QString> messages;
    TForm1 form;
    form.SetMessageSink([&](const QString&, const QString& text) { messages.push_back(text); });
    ASSERT_TRUE(form.RestoreFailure().has_value());
    EXPECT_EQ(form.ComPort.DataBits(), dbEight);
    EXPECT_EQ(form.ComPort.StopBits(), sbTwoStopBits);
    EXPECT_EQ(form.ComPort.Parity().Bits(), prNone);
    EXPECT_EQ(form.sg1->ColWidths(0), 30);
    EXPECT_EQ(form.sg1->Cells(1, 0), "寄存器说明");
    EXPECT_EQ(form.sg1->Cells(4, 0), "值0-65535");
    EXPECT_EQ(form.sg1->Cells(0, 10), "9");
    EXPECT_EQ(form.sg1->Cells(3, 1), "输出继电器值");
    EXPECT_EQ(form.sg1->Cells(4, 10), "0");

    form.show();
    ASSERT_TRUE(waitFor([&] { return !messages.empty(); }));
    form.hide();
    form.show();
    runFor(50);
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0], *form.RestoreFailure());
    // The message names the file, so that the operator can look at it.
    EXPECT_TRUE(messages[0].contains(damaged.fileName())) << messages[0].toStdString();
    qunsetenv("KESTRO_CONFIG_DIR");
}

TEST(WindowStartUp, AFailureToStoreTheSettingsIsShownAndThePortStillCloses) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    // The settings folder cannot be made: a plain file stands in its way.
    QFile blocker(config.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("KESTRO_CONFIG_DIR", config.filePath("blocker/settings").toUtf8());
    VirtualModule module;
    ASSERT_EQ(module.Start(), 0);

    std::vector<QString> messages;
    {
        TForm1 form;
        form.SetMessageSink([&](const QString&, const QString& text) { messages.push_back(text); });
        form.ComPort.SetPort(module.PortPath());
        form.show();
        QTest::mouseClick(form.skButton2, Qt::LeftButton);
        ASSERT_TRUE(form.ComPort.Connected());
        messages.clear();
        form.close();
        EXPECT_FALSE(form.ComPort.Connected());
        ASSERT_EQ(messages.size(), 1U);
        EXPECT_TRUE(messages[0].startsWith("Failed to store settings"))
            << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(config.filePath("blocker/settings/HKEY_LOCAL_MACHINE")))
            << messages[0].toStdString();
    }
    module.Stop();
    qunsetenv("KESTRO_CONFIG_DIR");
}

TEST_F(WindowTest, EnterPressesStartAsTheWindowsDefaultButton) {
    form->activateWindow();
    ASSERT_TRUE(waitFor([this] { return QApplication::activeWindow() == form.get(); }));
    // Start is the first stop of the tab order and has the focus at first.
    EXPECT_TRUE(waitFor([this] { return QApplication::focusWidget() == form->skButton2; }));
    form->skButton3->setFocus();
    QTest::keyClick(form->skButton3, Qt::Key_Return);
    // Enter on a focused button presses that button: Stop, which does nothing yet.
    EXPECT_FALSE(form->ComPort.Connected());
    form->mm1->setFocus();
    QTest::keyClick(form->mm1, Qt::Key_Return);
    EXPECT_FALSE(form->ComPort.Connected()) << "the monitor takes Enter as a line break";
    form->sg1->setFocus();
    QTest::keyClick(form->sg1, Qt::Key_Return);
    EXPECT_TRUE(waitFor([this] { return form->ComPort.Connected(); }));
}

TEST_F(WindowTest, APortAndSpeedPickedInTheSetupDialogComeBackAtTheNextStart) {
    // A machine whose only ports are the module's and an adapter's.
    const QString modulePort = QString::fromStdString(m_module->PortPath());
    const PortListOfTheTest portList({modulePort, QStringLiteral("ttyUSB7")});
    form->ComPort.SetPort("");

    ASSERT_TRUE(pickInSetupDialog(*form, modulePort, QStringLiteral("19200")))
        << "the setup dialog never showed";
    EXPECT_EQ(form->ComPort.Port(), m_module->PortPath());
    EXPECT_EQ(form->ComPort.BaudRate(), br19200);

    form->close();
    dialog.reset();
    form.reset();
    createWindows();
    EXPECT_EQ(form->ComPort.Port(), m_module->PortPath());
    EXPECT_EQ(form->ComPort.BaudRate(), br19200);
    EXPECT_EQ(form->ComPort.StopBits(), sbTwoStopBits);
    startPolling();
    EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, APortChangedInTheSetupDialogWhilePollingIsNamedInThePortPanel) {
    VirtualModule other;
    ASSERT_EQ(other.Start(), 0);
    const QString firstPort = QString::fromStdString(m_module->PortPath());
    const QString otherPort = QString::fromStdString(other.PortPath());
    const PortListOfTheTest portList({firstPort, otherPort});
    startPolling();
    EXPECT_EQ(form->stat1->panelText(4), firstPort + " | ");

    ASSERT_TRUE(pickInSetupDialog(*form, otherPort, QStringLiteral("9600")));
    EXPECT_EQ(form->ComPort.Port(), other.PortPath());
    ASSERT_TRUE(waitFor([&other] { return other.Statistics().replies >= 2; }));
    EXPECT_TRUE(form->ComPort.Connected());
    EXPECT_EQ(form->stat1->panelText(4), otherPort + " | ");
    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
    other.Stop();
}

TEST(WindowDesign, TheMainWindowCarriesItsTextsPlacesAndSettings) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("KESTRO_CONFIG_DIR", config.path().toUtf8());
    TForm1 form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("KESTRO_MODBUS_M_V1.0   功能测试(KESTRO)"));
    EXPECT_EQ(form.size(), QSize(840, 796));
    EXPECT_EQ(form.minimumSize(), QSize(270, 50));

    const std::vector<std::tuple<TiLabel*, QString, QPoint>> labels{
        {form.ilbl1, QStringLiteral("地址"), {40, 16}},
        {form.ilbl6, QStringLiteral("继电器"), {504, 16}},
        {form.ilbl2, QStringLiteral("反馈"), {584, 16}},
        {form.ilbl3, QStringLiteral("输出"), {696, 16}},
        {form.ilbl5, QStringLiteral("寄存器读写"), {32, 88}},
        {form.ilbl4, QStringLiteral("串口数据监视"), {32, 520}},
    };
    for (const auto& [label, caption, place] : labels) {
        EXPECT_EQ(label->Caption(), caption);
        EXPECT_EQ(label->pos(), place) << caption.toStdString();
        EXPECT_EQ(label->Font().Name(), QStringLiteral("MS Sans Serif"));
        EXPECT_EQ(label->Font().Height(), -16);
        EXPECT_TRUE(label->Font().Bold());
        EXPECT_FALSE(label->WordWrap());
    }

    TiIntegerOutput& address = *form.intgrtpt1;
    EXPECT_EQ(address.geometry(), QRect(32, 40, 57, 32));
    EXPECT_EQ(address.Value(), 1);
    EXPECT_EQ(address.ValueMin(), 1);
    EXPECT_EQ(address.ValueMax(), 127);
    EXPECT_EQ(address.MaxLength(), 3);
    EXPECT_EQ(address.FormatStyle(), iifsInteger);
    EXPECT_FALSE(address.LeadingZeros());
    EXPECT_EQ(address.Font().Name(), QStringLiteral("宋体"));
    EXPECT_EQ(address.Font().Height(), -24);
    EXPECT_TRUE(address.Font().Bold());

    const std::vector<std::tuple<TskButton*, QString, QRect>> buttons{
        {form.skButton1, QStringLiteral("串口设置"), {104, 32, 97, 41}},
        {form.skButton2, QStringLiteral("开始"), {216, 32, 97, 41}},
        {form.skButton3, QStringLiteral("停止"), {328, 32, 97, 41}},
    };
    for (const auto& [button, caption, place] : buttons) {
        EXPECT_EQ(button->Caption(), caption);
        EXPECT_EQ(button->geometry(), place) << caption.toStdString();
        EXPECT_EQ(button->UIStyle(), TskUIStyle::BlueGlass);
        EXPECT_TRUE(button->Transparent());
        EXPECT_EQ(button->Layout(), TButtonLayout::blGlyphLeft);
        EXPECT_EQ(button->Spacing(), 4);
        EXPECT_EQ(button->FocusedRectMargin(), 2);
        EXPECT_EQ(button->MouseContinuouslyDownInterval(), 100);
        EXPECT_EQ(button->ModalResult(), 0);
        EXPECT_EQ(button->Default(), button == form.skButton2);
    }

    EXPECT_EQ(form.iLedRectangle1->geometry(), QRect(512, 48, 36, 36));
    for (const auto& [readout, color, left] :
         {std::tuple{form.iSevenSegmentAnalog1, clRed, 584},
          std::tuple{form.iSevenSegmentAnalog2, clLime, 696}}) {
        EXPECT_EQ(readout->geometry(), QRect(left, 40, 108, 46));
        EXPECT_EQ(readout->SegmentColor(), color);
        EXPECT_EQ(readout->SegmentSize(), 2);
        EXPECT_FALSE(readout->ShowSign());
        EXPECT_EQ(readout->LeadingStyle(), ilsZeros);
    }

    TFramedStringGrid& table = *form.sg1;
    EXPECT_EQ(table.ColCount(), 5);
    EXPECT_EQ(table.RowCount(), 11);
    EXPECT_EQ(table.FixedCols(), 0);
    EXPECT_EQ(table.FixedRows(), 0);
    EXPECT_EQ(table.DefaultColWidth(), 180);
    EXPECT_EQ(table.DefaultRowHeight(), 33);
    EXPECT_EQ(table.Options(), TStringGrid::kDefaultOptions | goDrawFocusSelected);
    EXPECT_FALSE(table.Ctl3D());
    EXPECT_EQ(table.BorderStyle(), TBorderStyle::bsSingle);
    EXPECT_EQ(table.Font().Name(), QStringLiteral("宋体"));
    EXPECT_EQ(table.Font().Height(), -13);

    EXPECT_EQ(form.mm1->geometry(), QRect(32, 544, 793, 217));
    EXPECT_EQ(form.mm1->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(form.mm1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.mm1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(form.mm1->isReadOnly());

    ASSERT_EQ(form.stat1->panelCount(), 5);
    const std::array<std::pair<int, QString>, 5> panels{
        {{25, "Tx="}, {50, "0"}, {25, "Er="}, {50, "0"}, {50, ""}}};
    for (int panel = 0; panel < 5; ++panel) {
        EXPECT_EQ(form.stat1->panelWidth(panel), panels[static_cast<std::size_t>(panel)].first);
        EXPECT_EQ(form.stat1->panelText(panel), panels[static_cast<std::size_t>(panel)].second);
    }

    // Nothing stored: the port keeps its design values (an empty store reads
    // as an empty port name), with the framing forced.
    EXPECT_EQ(form.ComPort.Name(), "ComPort");
    EXPECT_TRUE(QString::fromStdString(form.ComPort.Port()).trimmed().isEmpty());
    EXPECT_FALSE(form.RestoreFailure().has_value());
    EXPECT_EQ(form.ComPort.BaudRate(), br9600);
    EXPECT_EQ(form.ComPort.DataBits(), dbEight);
    EXPECT_EQ(form.ComPort.StopBits(), sbTwoStopBits);
    EXPECT_EQ(form.ComPort.Parity().Bits(), prNone);
    const TComEvents events{evRxChar, evTxEmpty, evRxFlag, evRing,
                            evBreak,  evError,   evRLSD,   evRx80Full};
    EXPECT_TRUE(form.ComPort.Events() == events);
    const TComFlowControl& flow = form.ComPort.FlowControl();
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_FALSE(flow.OutDSRFlow());
    EXPECT_EQ(flow.ControlDTR(), dtrDisable);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.XonXoffOut());
    EXPECT_FALSE(flow.XonXoffIn());
    EXPECT_FALSE(form.Cycle().PollTimer().Enabled());
    EXPECT_EQ(form.Cycle().PollTimer().Interval(), 1);
    qunsetenv("KESTRO_CONFIG_DIR");
}
