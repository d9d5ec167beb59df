// The traffic monitor's context menu, find, save as, the recording of the
// traffic and the statistics dialog, driven with real input events against
// the virtual module.

#include "tests/ui/main/WindowTestSupport.h"

#include "app/WindowMain.h"
#include "poll/PollCycle.h"
#include "ui/monitor/FindDialog.h"
#include "ui/monitor/HistogramBars.h"
#include "ui/monitor/MonitorCommands.h"
#include "ui/monitor/StatisticsDialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QStringList actionTexts(const QMenu& menu) {
    QStringList texts;
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator()) {
            texts.append(action->text());
        }
    }
    return texts;
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class MonitorWindowTest : public WindowTest {
protected:
    /// Right-clicks the monitor and returns the menu that comes up.
    QMenu* openMenu() {
        const QPoint inside = form->mm1->viewport()->rect().center();
        QTest::mouseClick(form->mm1->viewport(), Qt::RightButton, {}, inside);
        // Some platforms open context menus on the release, some on the press.
        QContextMenuEvent event(QContextMenuEvent::Mouse, inside,
                                form->mm1->viewport()->mapToGlobal(inside));
        if (QApplication::activePopupWidget() == nullptr) {
            QApplication::sendEvent(form->mm1->viewport(), &event);
        }
        EXPECT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }));
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }

    /// Clicks the menu entry with the given text.
    void choose(QMenu* menu, const QString& text) {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
    }

    /// Chooses a menu entry that asks for a file name and answers with path.
    /// The name goes into the dialog's name field in one piece (typed key by
    /// key it would open the completion list); the dialog clears that field
    /// when its directory listing comes in, so the answer is given again
    /// every half second until the dialog takes it. A dialog that never does
    /// is a failure, and is closed so that the test ends instead of hanging.
    void chooseFile(const QString& entry, const QString& path) {
        int clicks = 0;
        QElapsedTimer sinceClick;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (files == nullptr || (clicks > 0 && sinceClick.elapsed() < 500)) {
                return;
            }
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = files->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QPushButton* accept =
                buttons == nullptr ? nullptr : buttons->button(QDialogButtonBox::Save);
            if (clicks == 5 || name == nullptr || accept == nullptr) {
                ADD_FAILURE() << "the file dialog did not take " << path.toStdString();
                files->reject();
                return;
            }
            ++clicks;
            sinceClick.start();
            name->setText(path);
            QTest::mouseClick(accept, Qt::LeftButton);
        });
        watch.start();
        choose(openMenu(), entry);
        EXPECT_TRUE(
            waitFor([&] { return clicks > 0 && QApplication::activeModalWidget() == nullptr; }));
        runFor(20);
    }

    QString portPanel() const { return form->stat1->panelText(PanelPort); }
};

TEST_F(MonitorWindowTest, TheMenuStartsAndStopsARecordingNamedInTheStatusBar) {
    QMenu* menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(*menu),
              (QStringList{"复制", "全选", "查找…", "另存为…", "清除", "开始记录…", "统计…"}));
    menu->close();

    const QString path = m_config.filePath("bench night.csv");
    chooseFile("开始记录…", path);
    EXPECT_EQ(portPanel(), "记录：" + path);
    startPolling();
    const QString port = QString::fromStdString(m_module->PortPath());
    EXPECT_EQ(portPanel(), port + " | 记录：" + path);
    ASSERT_TRUE(waitFor([this] { return txCount() >= 4; }));

    menu = openMenu();
    ASSERT_TRUE(actionTexts(*menu).contains("停止记录"));
    choose(menu, "停止记录");
    EXPECT_EQ(portPanel(), port + " | ");
    EXPECT_FALSE(form->Commands().Recorder().Recording());
    const QStringList rows = fileLines(path);
    ASSERT_GE(rows.size(), 5);
    EXPECT_EQ(rows[0], "time,elapsed_us,direction,bytes,verdict,response_us");
    EXPECT_TRUE(rows[1].contains(",Tx,01 03 00 00 00 14 45 C5,sent,")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains(",Rx,01 03 28 ")) << rows[2].toStdString();
    EXPECT_TRUE(rows[2].contains(",ok,")) << rows[2].toStdString();
    // Rows stop with the recording.
    runFor(300);
    EXPECT_EQ(fileLines(path).size(), rows.size());
    EXPECT_TRUE(messages.empty());
}

TEST_F(MonitorWindowTest, FindGoesRoundAndCopySaveAndClearTakeThePlainLines) {
    for (const QString line :
         {"Tx-01:000> alpha 1", "Rx-01:010> 数据 beta", "Tx-01:020> alpha 2"}) {
        form->mm1->AppendLine(line);
    }
    // Ctrl+F anywhere in the window opens the find dialog.
    form->sg1->setFocus();
    QTest::keyClick(form->sg1, Qt::Key_F, Qt::ControlModifier);
    FindDialog* find = form->Commands().Finder();
    ASSERT_TRUE(waitFor([find] { return find->isVisible(); }));
    QTest::keyClicks(find->TextField(), "alpha");
    const auto selectedLine = [this] {
        return form->mm1->textCursor().hasSelection() ? form->mm1->textCursor().blockNumber() : -1;
    };
    QTest::mouseClick(find->NextButton(), Qt::LeftButton);
    EXPECT_EQ(selectedLine(), 0);
    QTest::mouseClick(find->NextButton(), Qt::LeftButton);
    EXPECT_EQ(selectedLine(), 2);
    QTest::mouseClick(find->NextButton(), Qt::LeftButton);
    EXPECT_EQ(selectedLine(), 0); // round from the top
    QTest::mouseClick(find->PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(selectedLine(), 2); // and from the bottom
    EXPECT_EQ(form->mm1->textCursor().selectedText(), "alpha");
    find->TextField()->clear();
    QTest::keyClicks(find->TextField(), "gamma");
    QTest::keyClick(find->TextField(), Qt::Key_Return);
    EXPECT_EQ(find->Note(), "找不到“gamma”");
    EXPECT_EQ(selectedLine(), 2);
    find->close();

    choose(openMenu(), "全选");
    choose(openMenu(), "复制");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "Tx-01:000> alpha 1\nRx-01:010> 数据 beta\nTx-01:020> alpha 2");

    const QString saved = m_config.filePath("monitor.txt");
    chooseFile("另存为…", saved);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "Tx-01:000> alpha 1\nRx-01:010> 数据 beta\nTx-01:020> alpha 2\n");

    choose(openMenu(), "清除");
    EXPECT_TRUE(form->mm1->toPlainText().isEmpty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(MonitorWindowTest, TheStatisticsFollowThePollingAndStartResetsThem) {
    m_module->Faults().Arm(Fault::NoReply, 2);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return txCount() >= 8; }));
    // A double click on the Er counter opens the statistics.
    QTest::mouseDClick(form->stat1, Qt::LeftButton, {},
                       form->stat1->panelRect(PanelErCount).center());
    StatisticsDialog* statistics = form->Commands().StatisticsWindow();
    ASSERT_TRUE(waitFor([statistics] { return statistics->isVisible(); }));
    // It follows the polling by itself.
    const int shownBefore = statistics->ValueOf("请求 (Tx)").toInt();
    ASSERT_TRUE(waitFor([&] { return statistics->ValueOf("请求 (Tx)").toInt() > shownBefore; }));

    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
    statistics->Refresh();
    EXPECT_EQ(statistics->ValueOf("请求 (Tx)"), form->stat1->panelText(PanelTxCount));
    EXPECT_EQ(statistics->ValueOf("丢失 (Er)"), form->stat1->panelText(PanelErCount));
    EXPECT_EQ(statistics->ValueOf("no-reply"), "2");
    const int replies = statistics->ValueOf("正确应答").toInt();
    EXPECT_EQ(statistics->ValueOf("ok").toInt(), replies);
    EXPECT_EQ(replies + 2, form->stat1->panelText(PanelTxCount).toInt());
    EXPECT_FALSE(statistics->ValueOf("应答时间 50%").isEmpty());

    // The histogram holds every sound reply and draws the fullest bin to the top.
    HistogramBars* bars = statistics->Histogram();
    std::int64_t total = 0;
    int fullest = 0;
    for (int index = 0; index < static_cast<int>(bars->Bins().size()); ++index) {
        total += bars->Bins()[static_cast<std::size_t>(index)].count;
        if (bars->Bins()[static_cast<std::size_t>(index)].count >
            bars->Bins()[static_cast<std::size_t>(fullest)].count) {
            fullest = index;
        }
    }
    EXPECT_EQ(total, replies);
    const QImage picture = bars->grab().toImage();
    const QColor bar = bars->palette().color(QPalette::Highlight);
    const QRect slot = bars->BarSlot(fullest);
    EXPECT_EQ(picture.pixelColor(slot.center().x(), bars->PlotRect().top() + 1), bar);
    EXPECT_EQ(picture.pixelColor(slot.center().x(), bars->PlotRect().bottom() - 1), bar);
    const int empty = fullest == 0 ? 1 : 0;
    if (bars->Bins()[static_cast<std::size_t>(empty)].count == 0) {
        EXPECT_NE(
            picture.pixelColor(bars->BarSlot(empty).center().x(), bars->PlotRect().bottom() - 1),
            bar);
    }

    // Start clears them, as it clears the counters.
    clickStart();
    statistics->Refresh();
    EXPECT_LE(statistics->ValueOf("请求 (Tx)").toInt(), 1);
    EXPECT_EQ(statistics->ValueOf("no-reply"), "");
    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
}

TEST_F(MonitorWindowTest, ARecordingIntoAPipeIsRefusedWithoutHoldingTheWindowUp) {
    const QString pipe = m_config.filePath("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Should the opening wait for a reader, one comes after five seconds, so
    // that the test ends (and fails) instead of hanging.
    std::atomic<bool> returned = false;
    int reader = -1;
    std::thread rescue([&] {
        for (int waited = 0; waited < 50 && !returned; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!returned) {
            reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
        }
    });
    const QString error = form->StartRecording(pipe);
    returned = true;
    rescue.join();
    const bool recording = form->Commands().Recorder().Recording();
    form->Commands().StopRecording();
    if (reader >= 0) {
        ::close(reader);
    }
    EXPECT_EQ(error, pipe + ": not a regular file (a pipe, device or socket); choose a file");
    EXPECT_FALSE(recording);
    EXPECT_FALSE(portPanel().contains("记录")) << portPanel().toStdString();
}

TEST_F(MonitorWindowTest, ARecordingThatCannotGrowIsToldOnceAndPollingGoesOn) {
    const QString path = m_config.filePath("record.csv");
    ASSERT_EQ(form->StartRecording(path), QString());
    // Files may not grow past 8 kB from here on, as if the disk were full.
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 8192;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    startPolling();
    const bool failed = waitFor([this] { return portPanel().contains("记录已停止"); });
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_TRUE(failed) << portPanel().toStdString();
    EXPECT_TRUE(portPanel().contains(path + ": File too large")) << portPanel().toStdString();
    const int sent = txCount();
    ASSERT_TRUE(waitFor([&] { return txCount() >= sent + 5; }));
    EXPECT_TRUE(form->Cycle().Polling());
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_TRUE(messages[0].startsWith("无法写入记录文件，记录已停止。\n" + path))
        << messages[0].toStdString();
    // What was written before stays whole: the file ends after a whole row.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_TRUE(written.endsWith('\n'));
    const QList<QByteArray> rows = written.trimmed().split('\n');
    EXPECT_GT(rows.size(), 10);
    for (const QByteArray& row : rows) {
        EXPECT_EQ(row.count(','), 5) << row.toStdString();
    }
}

TEST(WindowCommandLine, TakesTheRecordingOptionsAndRefusesBadOnes) {
    const WindowArguments good = ParseWindowArguments(
        {"--simulate", "--record", "/tmp/a.csv", "--record-max-mb=5", "-platform", "offscreen"});
    ASSERT_TRUE(good.options.has_value()) << good.error.toStdString();
    EXPECT_TRUE(good.options->simulate);
    EXPECT_EQ(good.options->record.path, "/tmp/a.csv");
    EXPECT_EQ(good.options->record.limitMegabytes, 5);
    EXPECT_EQ(ParseWindowArguments({}).options->record.limitMegabytes, 1024);

    for (const QStringList& bad :
         {QStringList{"--record-max-mb", "0"}, QStringList{"--record-max-mb=-3"},
          QStringList{"--record-max-mb", "lots"}, QStringList{"--record"},
          QStringList{"--summary", "s.json"}}) {
        const WindowArguments parsed = ParseWindowArguments(bad);
        EXPECT_FALSE(parsed.options.has_value()) << bad.join(' ').toStdString();
        EXPECT_FALSE(parsed.error.isEmpty());
    }
}
