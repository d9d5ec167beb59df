// Every window, dialog and menu in English: each text a person can see is
// measured with its control's font against the room the control gives it, and
// no Chinese character is left.

#include "tests/ui/main/WindowTestSupport.h"

#include "app/Language.h"
#include "ui/functest/ProductionTestWindow.h"
#include "ui/monitor/FindDialog.h"
#include "ui/monitor/MonitorCommands.h"
#include "ui/monitor/StatisticsDialog.h"
#include "ui/trend/LinearityDialog.h"
#include "ui/trend/TrendPlot.h"
#include "ui/trend/TrendWindow.h"
#include "widgets/instrument/iLabel.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTranslator>

namespace {

// A text on screen: where it is, how wide it is drawn and how wide its place is.
struct ShownText {
    QString where;
    QString text;
    int width = 0;
    int room = 0;
};

constexpr int Unbounded = 1 << 20;

bool hasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) ||
               (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

// How far the text's ink reaches from where it starts.
int advance(const QFont& font, const QString& text) {
    return text.isEmpty() ? 0 : QFontMetrics(font).boundingRect(text).right() + 1;
}

QString nameOf(const QWidget* widget) {
    return QString::fromLatin1(widget->metaObject()->className()) + ' ' + widget->objectName();
}

// The texts of Qt's own controls, each against the room its style gives it.
void addStandardTexts(QWidget* widget, std::vector<ShownText>& texts) {
    const QString where = nameOf(widget);
    QStyle* style = widget->style();
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        texts.push_back({where, label->text(), advance(label->font(), label->text()),
                         label->contentsRect().width()});
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
        const QRect room = style->subElementRect(radio ? QStyle::SE_RadioButtonContents
                                                       : QStyle::SE_PushButtonContents,
                                                 &option, button);
        texts.push_back(
            {where, button->text(), advance(button->font(), button->text()), room.width()});
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        // The title needs the same margin on the right as on the left.
        texts.push_back({where, box->title(), label.width(), box->width() - 2 * label.left()});
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        texts.push_back({where, combo->currentText(), 0, Unbounded});
    } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        texts.push_back({where, field->text(), 0, Unbounded});
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
        const int padding = style->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
        for (int tab = 0; tab < tabs->count(); ++tab) {
            texts.push_back({where, tabs->tabText(tab), advance(tabs->font(), tabs->tabText(tab)),
                             tabs->tabRect(tab).width() - padding});
        }
    } else if (auto* table = qobject_cast<QTableWidget*>(widget)) {
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column) {
                const QTableWidgetItem* item = table->item(row, column);
                texts.push_back({where, item->text(), advance(table->font(), item->text()),
                                 table->visualItemRect(item).width() - 2 * margin});
            }
        }
        for (int column = 0; column < table->columnCount(); ++column) {
            const QString header = table->horizontalHeaderItem(column)->text();
            texts.push_back({where, header, advance(table->horizontalHeader()->font(), header),
                             table->horizontalHeader()->sectionSize(column) - 2 * margin});
        }
    }
}

// The self-drawn controls of the main window, each against the rectangle it
// draws its text in.
void addOwnTexts(QWidget* widget, std::vector<ShownText>& texts) {
    const QString where = nameOf(widget);
    if (auto* label = qobject_cast<TiLabel*>(widget)) {
        const QFont font = label->Font().toQFont();
        texts.push_back({where, label->Caption(), advance(font, label->Caption()),
                         label->width() - 2 * label->FrameWidth()});
    } else if (auto* button = qobject_cast<TskButton*>(widget)) {
        // The caption keeps inside the focus rectangle, two pixels in.
        texts.push_back({where, button->Caption(), advance(button->font(), button->Caption()),
                         button->width() - 4});
    } else if (auto* grid = qobject_cast<TFramedStringGrid*>(widget)) {
        const QFont font = grid->Font().toQFont();
        for (int row = 0; row < grid->RowCount(); ++row) {
            for (int column = 0; column < grid->ColCount(); ++column) {
                const QString text = grid->Cells(column, row);
                texts.push_back({where + QStringLiteral(" cell %1,%2").arg(column).arg(row), text,
                                 advance(font, text), grid->CellRect(column, row).width()});
            }
        }
    } else if (auto* bar = qobject_cast<StatusBar*>(widget)) {
        const QFont font = bar->Font().toQFont();
        for (int panel = 0; panel < bar->panelCount(); ++panel) {
            // The text starts two pixels in and stops a pixel short of the edge.
            texts.push_back({where + QStringLiteral(" panel %1").arg(panel), bar->panelText(panel),
                             advance(font, bar->panelText(panel)),
                             bar->panelRect(panel).width() - 3});
        }
    }
}

// Every text in the window: its title, its tooltips and its controls' texts.
std::vector<ShownText> textsOf(QWidget* window) {
    std::vector<ShownText> texts{{nameOf(window), window->windowTitle(), 0, Unbounded}};
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(window) && widget != window) {
            continue;
        }
        if (!widget->toolTip().isEmpty()) {
            texts.push_back({nameOf(widget) + " tooltip", widget->toolTip(), 0, Unbounded});
        }
        addStandardTexts(widget, texts);
        addOwnTexts(widget, texts);
    }
    return texts;
}

std::vector<ShownText> textsOf(const QMenu& menu) {
    std::vector<ShownText> texts;
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator()) {
            texts.push_back({"menu", action->text(), advance(menu.font(), action->text()),
                             menu.actionGeometry(action).width()});
        }
    }
    return texts;
}

void expectReadable(const std::vector<ShownText>& texts) {
    for (const ShownText& shown : texts) {
        EXPECT_FALSE(hasChinese(shown.text))
            << shown.where.toStdString() << ": " << shown.text.toStdString();
        EXPECT_LE(shown.width, shown.room)
            << shown.where.toStdString() << ": \"" << shown.text.toStdString() << "\" is "
            << shown.width << " pixels wide in " << shown.room;
    }
}

} // namespace

class EnglishWindowsTest : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(InstallCatalogue(*qApp, QStringLiteral("en"), stderr));
        WindowTest::SetUp();
    }

    void TearDown() override {
        WindowTest::TearDown();
        qDeleteAll(qApp->findChildren<QTranslator*>());
    }

    // Runs `inside` on the modal dialog the action brings up, then closes it.
    template <typename Dialog>
    void inModal(const std::function<void()>& action, const std::function<void(Dialog&)>& inside) {
        bool shown = false;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (shown || dialog == nullptr) {
                return;
            }
            shown = true;
            inside(*dialog);
            dialog->reject();
        });
        watch.start();
        action();
        EXPECT_TRUE(waitFor([&] { return shown; }));
    }
};

TEST_F(EnglishWindowsTest, EveryTextFitsItsControlAndNoneIsChinese) {
    startPolling();
    ASSERT_TRUE(waitFor([this] { return form->Commands().Statistics().Replies() >= 3; }));
    expectReadable(textsOf(form.get()));
    EXPECT_EQ(form->windowTitle(), "KESTRO_MODBUS_M_V1.0   Function test (KESTRO)");
    EXPECT_EQ(cell(1, 2), "Feedback current");

    // The write dialog with the ramp test, and the port setup dialog.
    EXPECT_TRUE(doubleClickCell(2, 4, [this] { expectReadable(textsOf(dialog.get())); }));
    EXPECT_TRUE(inSetupDialog(*form, [](TComSetupFrm& setup) {
        expectReadable(textsOf(&setup));
        setup.reject();
    }));

    // The monitor's menu while recording and while not, and the file dialogs.
    MonitorCommands& commands = form->Commands();
    for (const bool recording : {false, true}) {
        if (recording) {
            ASSERT_TRUE(commands.StartRecording(m_config.filePath("run.csv")).isEmpty());
            expectReadable(textsOf(form.get()));
        }
        std::unique_ptr<QMenu> menu(commands.CreateMenu(form.get()));
        menu->popup(form->mapToGlobal(QPoint(100, 600)));
        expectReadable(textsOf(*menu));
    }
    for (const auto command :
         {&MonitorCommands::ChooseRecordingFile, &MonitorCommands::SaveMonitorAs}) {
        inModal<QFileDialog>(
            [&] { (commands.*command)(); },
            [](QFileDialog& files) {
                std::vector<ShownText> texts{{"file dialog", files.windowTitle(), 0, Unbounded}};
                for (const QString& filter : files.nameFilters()) {
                    texts.push_back({"file dialog", filter, 0, Unbounded});
                }
                expectReadable(texts);
            });
    }

    // Find with a text that is not there, and the statistics with reply times.
    commands.OpenFind();
    FindDialog* find = commands.Finder();
    QTest::keyClicks(find->TextField(), QStringLiteral("no such text"));
    QTest::mouseClick(find->NextButton(), Qt::LeftButton);
    EXPECT_FALSE(find->Note().isEmpty());
    expectReadable(textsOf(find));
    commands.OpenStatistics();
    StatisticsDialog* statistics = commands.StatisticsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(statistics));
    EXPECT_GT(statistics->Table()->rowCount(), 8);
    expectReadable(textsOf(statistics));

    // The trend window with a reading under the pointer, its linearity dialog
    // refusing a range, and a test's verdict.
    form->OpenTrend();
    TrendWindow* trend = form->TrendView();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trend));
    TrendPlot* plot = trend->Plot();
    QTest::mouseMove(plot, QPoint(plot->PlotRect().right() - 1, plot->PlotRect().center().y()));
    ASSERT_TRUE(waitFor([&] { return !plot->PointerText().isEmpty(); }));
    EXPECT_FALSE(hasChinese(plot->PointerText())) << plot->PointerText().toStdString();
    expectReadable(textsOf(trend));
    auto* views = trend->findChild<QTabWidget*>();
    ASSERT_NE(views, nullptr);
    views->setCurrentIndex(1); // the X-Y view with the test's table
    inModal<LinearityDialog>([&] { QTest::mouseClick(trend->LinearityButton(), Qt::LeftButton); },
                             [](LinearityDialog& linearity) {
                                 linearity.fromField->setValue(2000);
                                 linearity.toField->setValue(1000);
                                 expectReadable(textsOf(&linearity));
                             });
    ASSERT_TRUE(trend->StartLinearity(LinearityPlan{0, 0, 1, ShortestSettle, 0.5}));
    expectReadable(textsOf(trend));
    trend->StopLinearity();
    EXPECT_TRUE(trend->Status()->text().contains("(interrupted"))
        << trend->Status()->text().toStdString();
    expectReadable(textsOf(trend));
    trend->close();

    // The production test window after a short test.
    QFile plan(m_config.filePath("plan.json"));
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(R"({"steps": [{"name": "identity"}]})");
    plan.close();
    form->SetTestFiles(TestFiles{plan.fileName(), m_config.path(), QString()});
    form->OpenProductionTest();
    ProductionTestWindow* production = form->ProductionTest();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(production));
    expectReadable(textsOf(production));
    ASSERT_TRUE(production->StartTest(QStringLiteral("EN-1")));
    ASSERT_TRUE(waitFor([&] { return production->Test()->Done(); }));
    EXPECT_EQ(production->Counts()->text(), "Tested 1    Passed 1    Yield 100.0%");
    for (int row = 0; row < production->StepTable()->rowCount(); ++row) {
        EXPECT_FALSE(hasChinese(production->StepTable()->item(row, 0)->text())) << row;
    }
    expectReadable(textsOf(production));
    production->close();

    // The messages the window shows: a port that cannot be opened, a
    // recording that cannot be made.
    clickStop();
    ASSERT_TRUE(waitFor([this] { return !form->ComPort.Connected(); }));
    form->ComPort.SetPort("/nonexistent/ttyUSB9");
    clickStart();
    commands.TellRecordingRefused(QStringLiteral("/nonexistent/run.csv"));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].startsWith("The port could not be opened"))
        << messages[0].toStdString();
    for (const QString& message : messages) {
        EXPECT_FALSE(hasChinese(message)) << message.toStdString();
    }
}
