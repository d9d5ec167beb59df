// The main window listening to an emulated bus on which an independent
// master (libmodbus) polls the virtual module: chosen from the Start
// button's popup menu, it shows what the master reads and sends nothing.

#include "sim/VirtualBus.h"
#include "tests/support/BusMaster.h"
#include "tests/ui/main/WindowTestSupport.h"
#include "trend/TrendHistory.h"
#include "ui/main/ListenChoice.h"
#include "ui/monitor/TrafficMonitor.h"
#include "widgets/instrument/iLedRectangle.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>

namespace {

using namespace std::chrono_literals;

class ListenWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_EQ(m_bus.Start(m_module->PortPath()), 0);
        form->ComPort.SetPort(m_bus.TapPath());
        std::string reason;
        ASSERT_TRUE(m_master.Start({m_bus.MasterPath(), 9600, 1, 0, 20ms}, reason)) << reason;
    }
    void TearDown() override {
        m_master.Stop();
        form->Listen().StopListening();
        m_bus.Stop();
        WindowTest::TearDown();
    }

    // A right click on Start, and the menu's listen-only choice.
    void chooseListening() {
        const QPoint at(10, 10);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, form->skButton2->mapToGlobal(at));
        QApplication::sendEvent(form->skButton2, &click);
        ASSERT_TRUE(
            waitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        auto* listen = menu->findChild<QAction*>(QStringLiteral("listenAction"));
        ASSERT_NE(listen, nullptr);
        ASSERT_TRUE(listen->isEnabled());
        menu->close();
        listen->trigger();
    }

    VirtualBus m_bus;
    BusMaster m_master;
};

TEST_F(ListenWindowTest, FollowsWhatTheMasterReadsAndNeverSends) {
    m_module->SetRegister(3, 1234);
    m_module->SetRegister(10, 1);
    m_module->SetRegister(13, 4321);
    chooseListening();
    ASSERT_TRUE(form->Listening()) << (messages.empty() ? "" : messages.back().toStdString());

    // The table, read-outs, lamp, counters and monitor follow the bus.
    ASSERT_TRUE(waitFor([this] { return cell(4, 4) == "4321"; }));
    EXPECT_EQ(cell(2, 4), "1234");
    EXPECT_TRUE(form->iLedRectangle1->Active());
    ASSERT_TRUE(waitFor([this] { return txCount() >= 3; }));
    // Listening may begin in the middle of a frame, which then shows as
    // unexpected bytes; the first whole request is the master's read.
    const QStringList lines = form->mm1->toPlainText().split('\n');
    const QStringList requests = lines.filter(QRegularExpression("^Tx-"));
    ASSERT_FALSE(requests.isEmpty()) << lines.join('\n').toStdString();
    EXPECT_TRUE(requests.front().endsWith("> 01 03 00 00 00 14 45 C5"))
        << requests.front().toStdString();
    EXPECT_TRUE(form->stat1->panelText(4).startsWith(QString::fromStdString(m_bus.TapPath())));
    // So do the statistics and the trend.
    EXPECT_GE(form->Session().Statistics().Replies(), 2);
    EXPECT_FALSE(form->Trend().Empty());

    // Start would make a second master on the bus: it says so and polls not.
    clickStart();
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(messages.back().contains(QStringLiteral("停止"))) << messages.back().toStdString();
    EXPECT_TRUE(form->Listening());
    EXPECT_FALSE(form->Cycle().Polling());

    // The write dialog says it cannot write, and nothing it asks goes out.
    const bool shown = doubleClickCell(2, 4, [this] {
        QLabel* notice = form->Listen().Notice();
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(notice->isVisible());
        EXPECT_EQ(notice->text(), ListenChoice::WriteNotice());
        EXPECT_FALSE(dialog->btnOKBtn->isEnabled());
        form->RequestWrite(5);
    });
    EXPECT_TRUE(shown);
    runFor(200);
    EXPECT_TRUE(writes().empty());

    clickStop();
    EXPECT_FALSE(form->Listening());
    EXPECT_FALSE(form->ComPort.Connected());
    EXPECT_FALSE(form->ComPort.ListenOnly());
    EXPECT_EQ(m_bus.BytesFromTap(), 0u);
}

} // namespace
