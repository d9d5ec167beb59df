#include "platform/serial/PseudoTerminal.h"
#include "platform/serial/SerialPortList.h"
#include "serial/ComPort.h"
#include "serial/setup/ComComboBox.h"
#include "serial/setup/ComSetupFrm.h"
#include "tests/serial/CountingPort.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <termios.h>

namespace {

constexpr int kDialogWaitMilliseconds = 10000;

// A machine whose only serial ports are the ones a test registers.
class SetupDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(m_sysfs.filePath("class/tty")));
        m_previousRoot = serialSysfsRoot();
        setSerialSysfsRoot(m_sysfs.path());
        for (const char* name : {"COM2", "COM10", "COM1"})
            addPort(name);
    }
    void TearDown() override {
        for (const QString& name : m_registered)
            unregisterSerialPort(name);
        setSerialSysfsRoot(m_previousRoot);
    }
    void addPort(const QString& name) {
        registerSerialPort(name);
        m_registered.append(name);
    }

private:
    QTemporaryDir m_sysfs;
    QString m_previousRoot;
    QStringList m_registered;
};

TComSetupFrm* openDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TComSetupFrm*>(widget); form && form->isVisible())
            return form;
    return nullptr;
}

// Runs the action on the dialog once it is up, from inside its modal loop.
void whenDialogShows(std::function<void(TComSetupFrm&)> action) {
    auto* poll = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, started, action] {
        if (TComSetupFrm* form = openDialog()) {
            poll->stop();
            poll->deleteLater();
            action(*form);
        } else if (started->elapsed() > kDialogWaitMilliseconds) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "the setup dialog never showed";
        }
    });
    poll->start(5);
}

void choose(TComComboBox& combo, const QString& text) {
    // Walk the list with the arrow keys, as a user would.
    combo.setFocus();
    const int target = combo.findText(text);
    ASSERT_GE(target, 0) << text.toStdString();
    int guard = combo.count() * 2 + 2;
    while (combo.currentIndex() != target && guard-- > 0)
        QTest::keyClick(&combo, combo.currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(combo.currentIndex(), target);
}

QStringList items(const TComComboBox& combo) {
    QStringList texts;
    for (int index = 0; index < combo.count(); ++index)
        texts.append(combo.itemText(index));
    return texts;
}

} // namespace

TEST_F(SetupDialogTest, LayoutTextsAndLists) {
    TComSetupFrm form;
    EXPECT_EQ(form.windowTitle(), "Setup");
    EXPECT_EQ(form.size(), QSize(231, 216));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed border";
    EXPECT_EQ(form.GroupBox1->geometry(), QRect(8, 8, 217, 169));
    EXPECT_EQ(form.GroupBox1->title(), " Settings ");
    const std::tuple<QLabel*, const char*, int> labels[] = {
        {form.Label1, "Port", 24},      {form.Label2, "Baud rate", 48},
        {form.Label3, "Data bits", 72}, {form.Label4, "Stop bits", 96},
        {form.Label5, "Parity", 120},   {form.Label6, "Flow control", 144}};
    for (const auto& [label, text, top] : labels) {
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->parentWidget(), form.GroupBox1);
        EXPECT_EQ(label->pos(), QPoint(8, top)) << text;
    }
    const std::tuple<TComComboBox*, TComProperty, QString> combos[] = {
        {form.Combo1, cpPort, "COM1"},   {form.Combo2, cpBaudRate, "Custom"},
        {form.Combo3, cpDataBits, "5"},  {form.Combo4, cpStopBits, "1"},
        {form.Combo5, cpParity, "None"}, {form.Combo6, cpFlowControl, "Hardware"}};
    int top = 16;
    for (const auto& [combo, property, first] : combos) {
        EXPECT_EQ(combo->parentWidget(), form.GroupBox1);
        EXPECT_EQ(combo->geometry(), QRect(80, top, 129, 21));
        EXPECT_EQ(combo->ComProperty(), property);
        EXPECT_FALSE(combo->isEditable());
        EXPECT_EQ(combo->Text(), first) << "the stored first selection";
        top += 24;
    }
    EXPECT_EQ(items(*form.Combo1), QStringList({"COM1", "COM10", "COM2"}));
    EXPECT_EQ(items(*form.Combo2),
              QStringList({"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                           "19200", "38400", "56000", "57600", "115200", "128000", "256000"}));
    EXPECT_EQ(items(*form.Combo3), QStringList({"5", "6", "7", "8"}));
    EXPECT_EQ(items(*form.Combo4), QStringList({"1", "1.5", "2"}));
    EXPECT_EQ(items(*form.Combo5), QStringList({"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(items(*form.Combo6), QStringList({"Hardware", "Software", "None", "Custom"}));

    EXPECT_EQ(form.Button1->geometry(), QRect(70, 184, 75, 25));
    EXPECT_EQ(form.Button1->text(), "OK");
    EXPECT_TRUE(form.Button1->isDefault());
    EXPECT_EQ(form.Button2->geometry(), QRect(150, 184, 75, 25));
    EXPECT_EQ(form.Button2->text(), "Cancel");

    // Tab walks the six lists in order, then OK, then Cancel.
    const QWidget* expected[] = {form.Combo2, form.Combo3,  form.Combo4, form.Combo5,
                                 form.Combo6, form.Button1, form.Button2};
    const QWidget* current = form.Combo1;
    for (const QWidget* next : expected) {
        current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus)
            current = current->nextInFocusChain();
        EXPECT_EQ(current, next);
    }
}

TEST_F(SetupDialogTest, CurrentNameInOtherCaseIsFoundAndOkWritesTheListedSpelling) {
    TComPort port;
    port.SetPort("com10");
    port.SetBaudRate(br19200);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prEven);
    port.FlowControl().SetControlRTS(rtsHandshake); // matches no preset: shows Custom
    whenDialogShows([](TComSetupFrm& form) {
        EXPECT_EQ(form.Combo1->Text(), "COM10");
        EXPECT_EQ(form.Combo2->Text(), "19200");
        EXPECT_EQ(form.Combo3->Text(), "7");
        EXPECT_EQ(form.Combo4->Text(), "2");
        EXPECT_EQ(form.Combo5->Text(), "Even");
        EXPECT_EQ(form.Combo6->Text(), "Custom");
        choose(*form.Combo2, "57600");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    port.RunSetupDialog();
    EXPECT_EQ(openDialog(), nullptr);
    EXPECT_EQ(port.Port(), "COM10");
    EXPECT_EQ(port.BaudRate(), br57600);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsHandshake) << "Custom leaves the switches";
    EXPECT_EQ(port.ApplyHold(), 0);
}

TEST_F(SetupDialogTest, CancelEscapeAndTheBorderWriteNothing) {
    const std::function<void(TComSetupFrm&)> closers[] = {
        [](TComSetupFrm& form) { QTest::mouseClick(form.Button2, Qt::LeftButton); },
        [](TComSetupFrm& form) { QTest::keyClick(&form, Qt::Key_Escape); },
        [](TComSetupFrm& form) { form.close(); },
    };
    for (const auto& closer : closers) {
        TComPort port;
        port.SetPort("COM2");
        whenDialogShows([&closer](TComSetupFrm& form) {
            choose(*form.Combo1, "COM1");
            choose(*form.Combo2, "110");
            choose(*form.Combo3, "5");
            choose(*form.Combo6, "Software");
            closer(form);
        });
        port.RunSetupDialog();
        EXPECT_EQ(openDialog(), nullptr);
        EXPECT_EQ(port.Port(), "COM2");
        EXPECT_EQ(port.BaudRate(), br9600);
        EXPECT_EQ(port.DataBits(), dbEight);
        EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    }
}

TEST_F(SetupDialogTest, UnlistedPortShowsNoSelectionAndOkKeepsItUnlessAnotherIsPicked) {
    // An adapter unplugged while the speed is changed: its name is not listed,
    // and OK without a choice in the port list must not wipe it.
    TComPort port;
    port.SetPort("ttyUSB5");
    whenDialogShows([](TComSetupFrm& form) {
        EXPECT_EQ(form.Combo1->currentIndex(), -1);
        EXPECT_EQ(form.Combo1->Text(), "");
        choose(*form.Combo2, "38400");
        QTest::keyClick(&form, Qt::Key_Return); // the default button
    });
    port.RunSetupDialog();
    EXPECT_EQ(port.Port(), "ttyUSB5");
    EXPECT_EQ(port.BaudRate(), br38400);

    // A first run's empty name stays empty the same way.
    port.SetPort("");
    whenDialogShows([](TComSetupFrm& form) {
        EXPECT_EQ(form.Combo1->currentIndex(), -1);
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    port.RunSetupDialog();
    EXPECT_EQ(port.Port(), "");

    port.SetPort("ttyUSB5");
    whenDialogShows([](TComSetupFrm& form) {
        choose(*form.Combo1, "COM2");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    port.RunSetupDialog();
    EXPECT_EQ(port.Port(), "COM2");
}

TEST_F(SetupDialogTest, FailingPortListKeepsTheDialogAway) {
    setSerialSysfsRoot("/nonexistent-sysfs-root");
    TComPort port;
    try {
        port.RunSetupDialog();
        FAIL() << "the dialog came up without a port list";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 23);
        EXPECT_EQ(error.SystemCode(), 2U);
        EXPECT_STREQ(error.what(), "Registry error (win error code: 2)");
    }
    EXPECT_EQ(openDialog(), nullptr);
}

TEST_F(SetupDialogTest, ComboBoxFollowsItsPort) {
    TComComboBox combo;
    combo.SetComProperty(cpParity);
    EXPECT_EQ(combo.Text(), "None") << "without a port the first item";
    int changes = 0;
    combo.OnChange = [&changes](TComComboBox*) { ++changes; };
    combo.SetAutoApply(true);
    {
        TComPort port;
        port.Parity().SetBits(prSpace);
        combo.SetComPort(&port);
        EXPECT_EQ(combo.Text(), "Space");
        combo.SetText("odd");
        EXPECT_EQ(port.Parity().Bits(), prSpace) << "selection by code is not a choice";
        EXPECT_EQ(changes, 0);
        choose(combo, "Mark");
        EXPECT_EQ(port.Parity().Bits(), prMark) << "AutoApply writes each choice at once";
        EXPECT_GE(changes, 1);
        combo.SetText("no such parity");
        EXPECT_EQ(combo.Text(), "Mark");
    }
    // The port is gone: the list forgets it and shows its first item.
    EXPECT_EQ(combo.ComPort(), nullptr);
    EXPECT_EQ(combo.Text(), "None");
    choose(combo, "Even");
    combo.ApplyChoice(); // nothing to write to, and nothing breaks
}

TEST_F(SetupDialogTest, OkOnAnOpenPortPushesOnce) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    addPort(QString::fromStdString(pty.SlavePath()));
    CountingPort port;
    port.SetPort(pty.SlavePath());
    port.SetEvents(TComEvents());
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    port.resetCounts();
    whenDialogShows([](TComSetupFrm& form) {
        choose(*form.Combo2, "19200");
        choose(*form.Combo3, "7");
        choose(*form.Combo4, "2");
        choose(*form.Combo5, "Odd");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    port.RunSetupDialog();
    EXPECT_EQ(port.allPushes, 1);
    EXPECT_EQ(port.linePushes, 1) << "four changes, one push of the line settings";
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.Parity().Bits(), prOdd);
    // A pseudo-terminal keeps its speed and stop bits but always reports
    // 8 bits without parity, so those two are checked on the port above.
    termios line{};
    ASSERT_EQ(tcgetattr(pty.MasterFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B19200);
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    port.SetConnected(false);
}

TEST_F(SetupDialogTest, OkOnAClosedPortOnlyStoresAndTheNextOpeningPushes) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    addPort(QString::fromStdString(pty.SlavePath()));
    CountingPort port;
    port.SetEvents(TComEvents());
    whenDialogShows([&pty](TComSetupFrm& form) {
        choose(*form.Combo1, QString::fromStdString(pty.SlavePath()));
        choose(*form.Combo2, "19200");
        choose(*form.Combo4, "2");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    port.RunSetupDialog();
    EXPECT_FALSE(port.Connected()) << "OK does not open the port";
    EXPECT_EQ(port.Port(), pty.SlavePath());
    EXPECT_EQ(port.BaudRate(), br19200);

    EXPECT_EQ(port.ApplyHold(), 0);

    // The opening pushes the whole set once, with what OK stored.
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    EXPECT_EQ(port.allPushes, 1);
    termios line{};
    ASSERT_EQ(tcgetattr(pty.MasterFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B19200);
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    port.SetConnected(false);
}

TEST_F(SetupDialogTest, AFailingChoiceReleasesTheHoldAndTheDialog) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    addPort(QString::fromStdString(pty.SlavePath()));
    addPort("/dev/kestro-no-such-port"); // listed as kestro-no-such-port
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.SetEvents(TComEvents());
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    whenDialogShows([](TComSetupFrm& form) {
        choose(*form.Combo1, "kestro-no-such-port");
        choose(*form.Combo2, "38400");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    try {
        port.RunSetupDialog();
        FAIL() << "reopening under a missing name succeeded";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 1);
    }
    EXPECT_EQ(openDialog(), nullptr);
    EXPECT_EQ(port.ApplyHold(), 0);
    EXPECT_FALSE(port.Connected());

    // With the hold released, the next opening pushes again as usual.
    port.SetPort(pty.SlavePath());
    port.SetBaudRate(br4800);
    port.SetConnected(true);
    termios line{};
    ASSERT_EQ(tcgetattr(pty.MasterFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B4800);
    port.SetConnected(false);
}
