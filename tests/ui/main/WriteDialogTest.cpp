// The write dialog opened from the table with real events; every write is
// checked on the line, as the virtual module received it.

#include "tests/ui/main/WindowTestSupport.h"

#include "poll/OpenFailure.h"
#include "poll/PollCycle.h"
#include "serial/EComPort.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/instrument/iLedRectangle.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <cerrno>
#include <cstring>
#include <tuple>

namespace {

// Presses a dialog button with the keyboard, the way an operator reaches the
// buttons beyond the visible width.
void pressWithSpace(QPushButton* button) {
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
}

} // namespace

TEST_F(WindowTest, DoubleClickOpensTheDialogOnlyOnValueCellsWithThePortOpen) {
    EXPECT_FALSE(doubleClickCell(2, 4));

    startPolling();
    int width = 0;
    QWidget* focused = nullptr;
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        width = dialog->width();
        focused = QApplication::focusWidget();
    }));
    EXPECT_EQ(width, 522);
    EXPECT_EQ(focused, dialog->intgrtpt1);
    EXPECT_TRUE(doubleClickCell(4, 4, [&] { width = dialog->width(); }));
    EXPECT_EQ(width, 234);
    EXPECT_EQ(dialog->height(), 144);

    EXPECT_FALSE(doubleClickCell(2, 0));
    EXPECT_FALSE(doubleClickCell(1, 3));
    EXPECT_FALSE(doubleClickCell(0, 5));
    EXPECT_FALSE(doubleClickCell(3, 0));
    runFor(100);
    EXPECT_TRUE(writes().empty());

    // After Stop and before the next tick the port is still open. The tick is
    // held back here, so that the double-click surely falls in between.
    clickStop();
    form->Cycle().PollTimer().SetEnabled(false);
    ASSERT_TRUE(form->ComPort.Connected());
    EXPECT_TRUE(doubleClickCell(2, 2));
    form->Cycle().PollTimer().SetEnabled(true);
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
    EXPECT_FALSE(doubleClickCell(2, 2));
}

TEST_F(WindowTest, OkWritesTheTypedValueToTheClickedRegisterAndTheTableShowsIt) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        EXPECT_EQ(dialog->intgrtpt1->Value(), 0);
        typeInto(dialog->intgrtpt1, "1000");
        QTest::mouseClick(dialog->btnOKBtn, Qt::LeftButton);
    }));
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(waitFor([this] { return countWrites({3, 1000}) == 1; }));
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "1000"; }));
    runFor(100);
    EXPECT_EQ(writes().size(), 1U);
}

TEST_F(WindowTest, OkCommitsATooLargeValueHeldToTheFieldsRange) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(4, 4, [&] {
        typeInto(dialog->intgrtpt1, "70000");
        QTest::mouseClick(dialog->btnOKBtn, Qt::LeftButton);
    }));
    ASSERT_TRUE(waitFor([this] { return !writes().empty(); }));
    EXPECT_EQ(writes()[0], (RegisterWrite{13, 65535}));
}

TEST_F(WindowTest, CancelEscapeAndEnterInTheFieldWriteNothing) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(4, 2, [&] {
        typeInto(dialog->intgrtpt1, "77");
        // Enter commits inside the field and does not press OK.
        QTest::keyClick(dialog->intgrtpt1, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->intgrtpt1->Value(), 77);
        QTest::mouseClick(dialog->btnCancelBtn, Qt::LeftButton);
    }));
    EXPECT_TRUE(doubleClickCell(4, 2, [&] {
        dialog->btnOKBtn->setFocus();
        QTest::keyClick(dialog->btnOKBtn, Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
    }));
    runFor(200);
    EXPECT_TRUE(writes().empty());
}

TEST_F(WindowTest, TheRampUpFromNearTheTopWritesTheLimitAgainAndStopsWithTheDialog) {
    m_module->SetRegister(3, 2198);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "2198"; }));
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        QRadioButton* up = dialog->rg1Items[TForm2::RampUp];
        QTest::mouseClick(up, Qt::LeftButton, {}, QPoint(8, up->height() / 2));
        EXPECT_EQ(dialog->RampItemIndex(), TForm2::RampUp);
        EXPECT_TRUE(waitFor([this] { return countWrites({3, 2200}) >= 3; }));
    }));
    EXPECT_EQ(dialog->RampItemIndex(), TForm2::RampOff);
    for (const RegisterWrite& write : writes()) {
        EXPECT_EQ(write, (RegisterWrite{3, 2200}));
    }
    // Closed, the ramp sends nothing more, though its timer keeps running.
    runFor(50);
    const std::size_t sent = writes().size();
    runFor(300);
    EXPECT_EQ(writes().size(), sent);
    EXPECT_TRUE(dialog->tmr1.Enabled());
}

TEST_F(WindowTest, TheRampGoesOnWhileTheDialogIsMinimisedWithTheMainWindow) {
    m_module->SetRegister(3, 1000);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "1000"; }));
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        QRadioButton* up = dialog->rg1Items[TForm2::RampUp];
        QTest::mouseClick(up, Qt::LeftButton, {}, QPoint(8, up->height() / 2));
        EXPECT_TRUE(waitFor([this] { return countWrites({3, 1005}) == 1; }));
        // Minimising is no closing: the window system only hides the dialog.
        dialog->setWindowState(Qt::WindowMinimized);
        EXPECT_EQ(dialog->RampItemIndex(), TForm2::RampUp);
        EXPECT_TRUE(waitFor([this] { return countWrites({3, 1015}) == 1; }));
        dialog->setWindowState(Qt::WindowNoState);
        EXPECT_TRUE(dialog->isVisible());
    }));
    EXPECT_EQ(dialog->RampItemIndex(), TForm2::RampOff);
}

TEST_F(WindowTest, TheRampDownStopsAtZero) {
    m_module->SetRegister(3, 3);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "3"; }));
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        QRadioButton* down = dialog->rg1Items[TForm2::RampDown];
        QTest::mouseClick(down, Qt::LeftButton, {}, QPoint(8, down->height() / 2));
        EXPECT_TRUE(waitFor([this] { return countWrites({3, 0}) >= 2; }));
    }));
    EXPECT_EQ(countWrites({3, 0}), static_cast<int>(writes().size()));
}

TEST_F(WindowTest, ARampStartedAboveTheLimitWritesTheLimitFirstInEitherDirection) {
    m_module->SetRegister(3, 3000);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "3000"; }));
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        QRadioButton* down = dialog->rg1Items[TForm2::RampDown];
        QTest::mouseClick(down, Qt::LeftButton, {}, QPoint(8, down->height() / 2));
        EXPECT_TRUE(waitFor([this] { return writes().size() >= 3; }));
        // Escape, with the focus outside the value field, closes the dialog
        // and stops the ramp as well.
        dialog->btnOKBtn->setFocus();
        QTest::keyClick(dialog->btnOKBtn, Qt::Key_Escape);
    }));
    EXPECT_EQ(dialog->RampItemIndex(), TForm2::RampOff);
    auto sent = writes();
    ASSERT_GE(sent.size(), 3U);
    EXPECT_EQ(sent[0], (RegisterWrite{3, 2200}));
    EXPECT_EQ(sent[1], (RegisterWrite{3, 2195}));
    EXPECT_EQ(sent[2], (RegisterWrite{3, 2190}));

    m_module->SetRegister(3, 3000);
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "3000"; }));
    const std::size_t before = writes().size();
    EXPECT_TRUE(doubleClickCell(2, 4, [&] {
        QRadioButton* up = dialog->rg1Items[TForm2::RampUp];
        QTest::mouseClick(up, Qt::LeftButton, {}, QPoint(8, up->height() / 2));
        EXPECT_TRUE(waitFor([this, before] { return writes().size() >= before + 2; }));
    }));
    sent = writes();
    ASSERT_GE(sent.size(), before + 2);
    EXPECT_EQ(sent[before], (RegisterWrite{3, 2200}));
    EXPECT_EQ(sent[before + 1], (RegisterWrite{3, 2200}));
}

TEST_F(WindowTest, AFollowUpBeforeTheNextTickReplacesTheSpanWriteButNeverARelayWrite) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(4, 4, [&] {
        // The poll tick comes late: the follow-up fires while the span write
        // still waits in the mailbox, and only its confirmation goes out.
        form->Cycle().PollTimer().SetEnabled(false);
        pressWithSpace(dialog->btn2);
        EXPECT_EQ(form->Mailbox(), WriteMode::Requested);
        EXPECT_EQ(form->Cycle().WriteRegister(), 17);
        ASSERT_TRUE(waitFor([this] { return !dialog->tmr2.Enabled(); }));
        EXPECT_EQ(form->Cycle().WriteRegister(), 18);
        EXPECT_EQ(form->WriteValue(), 23123);
        form->Cycle().PollTimer().SetEnabled(true);
        EXPECT_TRUE(waitFor([this] { return countWrites({18, 23123}) == 1; }));

        // A relay command that is still waiting keeps its register when the
        // follow-up moves the current cell on to the calibration register.
        form->Cycle().PollTimer().SetEnabled(false);
        pressWithSpace(dialog->btn4);
        ASSERT_TRUE(waitFor([this] { return !dialog->tmr2.Enabled(); }));
        EXPECT_EQ(form->sg1->Row(), 9);
        EXPECT_EQ(form->Cycle().WriteRegister(), 10);
        EXPECT_EQ(form->WriteValue(), 1);
        form->Cycle().PollTimer().SetEnabled(true);
        EXPECT_TRUE(waitFor([this] { return countWrites({10, 1}) == 1; }));
        runFor(100);
    }));
    const auto sent = writes();
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0], (RegisterWrite{18, 23123}));
    EXPECT_EQ(sent[1], (RegisterWrite{10, 1}));
}

TEST_F(WindowTest, TheSpanCalibrationWritesTheSpanThenConfirmsItOnRegister18) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(4, 4, [&] {
        typeInto(dialog->intgrtpt2, "20500");
        pressWithSpace(dialog->btn2);
        EXPECT_TRUE(waitFor([this] { return countWrites({18, 23123}) == 1; }));
    }));
    const auto sent = writes();
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0], (RegisterWrite{17, 20500}));
    EXPECT_EQ(sent[1], (RegisterWrite{18, 23123}));
    EXPECT_EQ(form->sg1->Col(), 4);
    EXPECT_EQ(form->sg1->Row(), 9);
    EXPECT_FALSE(dialog->tmr2.Enabled());
}

TEST_F(WindowTest, RelayOffWritesZeroAndOnlyMovesTheCurrentCellAfterwards) {
    m_module->SetRegister(10, 1);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return form->iLedRectangle1->Active(); }));
    EXPECT_TRUE(doubleClickCell(2, 2, [&] {
        pressWithSpace(dialog->btn5);
        EXPECT_TRUE(waitFor([this] { return countWrites({10, 0}) == 1; }));
        EXPECT_TRUE(waitFor([this] { return !dialog->tmr2.Enabled(); }));
        runFor(100);
    }));
    EXPECT_EQ(form->sg1->Col(), 4);
    EXPECT_EQ(form->sg1->Row(), 9);
    EXPECT_EQ(writes().size(), 1U);
    EXPECT_TRUE(waitFor([this] { return !form->iLedRectangle1->Active(); }));
}

TEST_F(WindowTest, CalibrationButtonsAndRelayOnSendTheirCommands) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(2, 2, [&] {
        pressWithSpace(dialog->btn1);
        EXPECT_TRUE(waitFor([this] { return countWrites({18, 26977}) == 1; }));
        pressWithSpace(dialog->btn3);
        EXPECT_TRUE(waitFor([this] { return countWrites({18, 26979}) == 1; }));
        pressWithSpace(dialog->btn4);
        EXPECT_TRUE(waitFor([this] { return countWrites({10, 1}) == 1; }));
    }));
    ASSERT_TRUE(waitFor([this] { return form->iLedRectangle1->Active(); }));
}

TEST_F(WindowTest, ControlsBeyondTheVisibleWidthStayInTheTabOrder) {
    startPolling();
    QStringList visited;
    EXPECT_TRUE(doubleClickCell(4, 4, [&] {
        dialog->btnOKBtn->setFocus();
        for (int step = 0; step < 12; ++step) {
            QWidget* focused = QApplication::focusWidget();
            // The ramp group is one stop, at its selected item.
            const bool rampItem = focused == dialog->rg1Items[TForm2::RampOff];
            visited << (rampItem             ? QStringLiteral("rg1")
                        : focused != nullptr ? focused->objectName()
                                             : QStringLiteral("-"));
            QTest::keyClick(focused, Qt::Key_Tab);
        }
    }));
    const QString order = visited.join(' ');
    EXPECT_TRUE(order.contains("btnOKBtn btnCancelBtn intgrtpt1 rg1 btn1 intgrtpt2 btn2 btn3 "
                               "btn4 btn5 btnOKBtn"))
        << order.toStdString();
    for (QWidget* control :
         {static_cast<QWidget*>(dialog->btn1), static_cast<QWidget*>(dialog->btn5)}) {
        EXPECT_TRUE(control->isEnabled());
        EXPECT_GE(control->x(), 534);
    }
    runFor(100);
    EXPECT_TRUE(writes().empty());
}

TEST_F(WindowTest, ClosingTheMainWindowWhileTheDialogIsOpenEndsBothAndSaves) {
    startPolling();
    EXPECT_TRUE(doubleClickCell(2, 4, [&] { form->close(); }));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(form->ComPort.Connected());
    EXPECT_TRUE(writes().empty());
    QFile stored(m_config.filePath("HKEY_LOCAL_MACHINE.registry"));
    EXPECT_TRUE(stored.exists());
}

TEST(OpenFailureReason, NamesTheDialoutGroupForAPermissionError) {
    const QString denied = OpenFailureReason("ttyUSB0", EComPort(EACCES, CError_OpenFailed));
    EXPECT_TRUE(denied.contains("ttyUSB0"));
    EXPECT_TRUE(denied.contains("dialout"));
    EXPECT_TRUE(OpenFailureReason("ttyS9", EComPort(EPERM, CError_OpenFailed)).contains("dialout"));
    EXPECT_TRUE(OpenFailureReason("ttyUSB0", EComPort(EBUSY, CError_OpenFailed))
                    .contains("Another program"));
    // Without advice the component's message and the system's reason stand.
    const QString other = OpenFailureReason("ttyUSB0", EComPort(EIO, CError_OpenFailed));
    EXPECT_TRUE(other.startsWith("ttyUSB0: ")) << other.toStdString();
    EXPECT_TRUE(other.contains(QString::fromLocal8Bit(std::strerror(EIO)))) << other.toStdString();
    EXPECT_FALSE(
        OpenFailureReason("ttyUSB0", EComPort(ENOENT, CError_OpenFailed)).contains("dialout"));
}

TEST(WindowDesign, TheWriteDialogCarriesItsTextsPlacesAndSettings) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("KESTRO_CONFIG_DIR", config.path().toUtf8());
    TForm1 form;
    TForm2 dialog(form);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("写寄存器值"));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(dialog.size(), QSize(719, 144));
    EXPECT_FALSE(dialog.isVisible());

    const std::vector<std::tuple<QWidget*, QWidget*, QRect>> places{
        {dialog.pnl1, &dialog, {8, 8, 217, 113}},
        {dialog.lbl1, dialog.pnl1, {40, 24, 15, 13}},
        {dialog.intgrtpt1, dialog.pnl1, {63, 16, 82, 32}},
        {dialog.btnOKBtn, dialog.pnl1, {15, 60, 90, 37}},
        {dialog.btnCancelBtn, dialog.pnl1, {119, 60, 90, 37}},
        {dialog.pnl2, &dialog, {256, 8, 257, 113}},
        {dialog.rg1, dialog.pnl2, {16, 8, 225, 89}},
        {dialog.btn1, &dialog, {536, 16, 177, 25}},
        {dialog.intgrtpt2, &dialog, {535, 48, 58, 24}},
        {dialog.btn2, &dialog, {600, 48, 113, 25}},
        {dialog.btn3, &dialog, {536, 80, 177, 25}},
        {dialog.btn4, &dialog, {534, 112, 83, 25}},
        {dialog.btn5, &dialog, {630, 111, 83, 25}},
    };
    for (const auto& [control, parent, place] : places) {
        EXPECT_EQ(control->parentWidget(), parent) << control->objectName().toStdString();
        EXPECT_EQ(control->geometry(), place) << control->objectName().toStdString();
    }

    EXPECT_EQ(dialog.lbl1->text(), QStringLiteral("值:"));
    EXPECT_EQ(dialog.btnOKBtn->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.btnOKBtn->isDefault());
    EXPECT_EQ(dialog.btnCancelBtn->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.rg1->title(), QStringLiteral("自动加减寄存器3 输出显示值 测试"));
    const QStringList items{QStringLiteral("连续减5"), QStringLiteral("不用"),
                            QStringLiteral("连续加5")};
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(dialog.rg1Items[static_cast<std::size_t>(index)]->text(), items[index]);
    }
    EXPECT_EQ(dialog.RampItemIndex(), TForm2::RampOff);
    EXPECT_EQ(dialog.btn1->text(), QStringLiteral("校准输入零点"));
    EXPECT_EQ(dialog.btn2->text(), QStringLiteral("校准输出量程"));
    EXPECT_EQ(dialog.btn3->text(), QStringLiteral("校准输入20mA"));
    EXPECT_EQ(dialog.btn4->text(), QStringLiteral("继电器开"));
    EXPECT_EQ(dialog.btn5->text(), QStringLiteral("继电器关"));

    const TiIntegerOutput& value = *dialog.intgrtpt1;
    EXPECT_EQ(value.Value(), 0);
    EXPECT_EQ(value.ValueMin(), 0);
    EXPECT_EQ(value.ValueMax(), 65535);
    EXPECT_EQ(value.MaxLength(), 5);
    EXPECT_EQ(value.FormatStyle(), iifsInteger);
    EXPECT_FALSE(value.LeadingZeros());
    EXPECT_EQ(value.Font().Name(), QStringLiteral("宋体"));
    EXPECT_EQ(value.Font().Height(), -24);
    EXPECT_TRUE(value.Font().Bold());
    const TiIntegerOutput& span = *dialog.intgrtpt2;
    EXPECT_EQ(span.Value(), 19000);
    EXPECT_EQ(span.ValueMin(), 19000);
    EXPECT_EQ(span.ValueMax(), 21000);
    EXPECT_EQ(span.MaxLength(), 5);
    EXPECT_EQ(span.Font().Name(), QStringLiteral("宋体"));
    EXPECT_EQ(span.Font().Height(), -16);
    EXPECT_TRUE(span.Font().Bold());

    EXPECT_TRUE(dialog.tmr1.Enabled());
    EXPECT_EQ(dialog.tmr1.Interval(), 1);
    EXPECT_FALSE(dialog.tmr2.Enabled());
    EXPECT_EQ(dialog.tmr2.Interval(), 500);

    // The ramp timer stays enabled for the whole run, but it wakes the
    // program only while a ramp direction is chosen.
    EXPECT_FALSE(dialog.tmr1.IsArmed());
    dialog.SetRampItemIndex(TForm2::RampDown);
    EXPECT_TRUE(dialog.tmr1.IsArmed());
    dialog.SetRampItemIndex(TForm2::RampUp);
    EXPECT_TRUE(dialog.tmr1.IsArmed());
    dialog.SetRampItemIndex(TForm2::RampOff);
    EXPECT_FALSE(dialog.tmr1.IsArmed());
    EXPECT_TRUE(dialog.tmr1.Enabled());
    qunsetenv("KESTRO_CONFIG_DIR");
}
