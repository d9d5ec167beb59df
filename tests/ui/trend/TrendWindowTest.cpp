// The trend window: opened from the main window by a double-click on either
// read-out or by F5, following the polling, running the linearity test from
// its dialog; and the X-Y view rendered offscreen and checked pixel by pixel.

#include "tests/ui/main/WindowTestSupport.h"

#include "trend/TrendHistory.h"
#include "ui/trend/LinearityDialog.h"
#include "ui/trend/PlotAxis.h"
#include "ui/trend/TrendPlot.h"
#include "ui/trend/TrendWindow.h"
#include "ui/trend/XyPlot.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

namespace {

void typeNumber(QSpinBox* field, int value) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, QString::number(value));
}

} // namespace

class TrendWindowTest : public WindowTest {
protected:
    TrendWindow* trend() const { return form->TrendView(); }
    bool trendShown() const { return trend() != nullptr && trend()->isVisible(); }
    void closeTrend() {
        trend()->close();
        ASSERT_TRUE(waitFor([this] { return !trendShown(); }));
    }
};

TEST_F(TrendWindowTest, ADoubleClickOnEitherReadoutOrF5OpensTheTrendOfThePolling) {
    m_module->SetRegister(3, 1234);
    startPolling();
    EXPECT_EQ(trend(), nullptr);
    QTest::mouseDClick(form->iSevenSegmentAnalog1, Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return trendShown(); }));
    EXPECT_EQ(trend()->windowTitle(), "趋势");
    closeTrend();
    QTest::mouseDClick(form->iSevenSegmentAnalog2, Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return trendShown(); }));
    closeTrend();
    // F5 wherever the focus is in the main window.
    form->activateWindow();
    ASSERT_TRUE(waitFor([this] { return QApplication::activeWindow() == form.get(); }));
    QTest::keyClick(form->sg1, Qt::Key_F5);
    ASSERT_TRUE(waitFor([this] { return trendShown(); }));
    // The main window goes on as before behind it.
    EXPECT_EQ(cell(2, 4), "1234");

    // The plot follows the polling; the pointer reads the values in the
    // read-outs' scale (the module's feedback follows its output exactly).
    TrendPlot* plot = trend()->Plot();
    const std::int64_t before = plot->End().count();
    ASSERT_TRUE(waitFor([&] { return plot->End().count() > before + 300'000; }));
    EXPECT_TRUE(plot->Following());
    const QPoint newest(plot->PlotRect().right() - 1, plot->PlotRect().center().y());
    QTest::mouseMove(plot, newest);
    ASSERT_TRUE(waitFor([&] { return !plot->PointerText().isEmpty(); }));
    EXPECT_TRUE(plot->PointerText().endsWith("输出 12.34  反馈 12.34"))
        << plot->PointerText().toStdString();
    // Dragging to the right goes back in time and stops following.
    QTest::mousePress(plot, Qt::LeftButton, {}, plot->PlotRect().center());
    QTest::mouseMove(plot, plot->PlotRect().center() + QPoint(100, 0));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, plot->PlotRect().center() + QPoint(100, 0));
    EXPECT_FALSE(plot->Following());
    QTest::keyClick(plot, Qt::Key_End);
    EXPECT_TRUE(plot->Following());
}

TEST_F(TrendWindowTest, TheLinearityTestRunsFromItsDialogAndShowsItsResult) {
    startPolling();
    form->OpenTrend();
    ASSERT_TRUE(waitFor([this] { return trendShown(); }));
    LinearityDialog* dialog = trend()->Dialog();
    bool filled = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (filled || !dialog->isVisible()) {
            return;
        }
        filled = true;
        EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == dialog; }));
        // A start above the end is refused in the dialog itself.
        typeNumber(dialog->fromField, 2000);
        typeNumber(dialog->toField, 1000);
        EXPECT_FALSE(dialog->buttons->button(QDialogButtonBox::Ok)->isEnabled());
        typeNumber(dialog->fromField, 0);
        typeNumber(dialog->toField, 2200);
        typeNumber(dialog->stepField, 1100);
        typeNumber(dialog->settleField, 300);
        QTest::mouseClick(dialog->buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    watch.start();
    QTest::mouseClick(trend()->LinearityButton(), Qt::LeftButton);
    watch.stop();
    ASSERT_TRUE(filled);
    ASSERT_NE(trend()->Test(), nullptr);
    ASSERT_TRUE(waitFor([this] { return trend()->Test()->Finished(); }, 30000));

    EXPECT_TRUE(trend()->Test()->Result().Passed());
    EXPECT_TRUE(trend()->Status()->text().startsWith("最大偏差 0.000%（输出 0），允许 0.5%：合格"))
        << trend()->Status()->text().toStdString();
    QTableWidget* table = trend()->ResultTable();
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(1, 0)->text(), "1100");
    EXPECT_EQ(table->item(1, 1)->text(), "1100.00");
    EXPECT_EQ(table->item(1, 3)->text(), "0.000");
    // The output is back where it was before the test.
    ASSERT_TRUE(waitFor([this] { return cell(2, 4) == "0"; }));
    EXPECT_EQ(m_module->Register(3), 0);
}

TEST(XyViewPixels, IdealLineToleranceBandSamplesAndPointsLandWhereTheyShould) {
    TrendHistory history;
    const auto origin = std::chrono::steady_clock::now();
    history.Add(origin, 600, 600);                                 // on the line
    history.Add(origin + std::chrono::milliseconds{10}, 600, 700); // 4.5 % off
    XyPlot plot(history);
    // A plot square of 463 pixels: five counts a pixel up to 2310.
    plot.resize(56 + 463 + 8, 20 + 463 + 36);
    ASSERT_EQ(plot.PlotRect(), QRect(56, 20, 463, 463));
    plot.SetRange(std::chrono::microseconds{0}, std::chrono::seconds{1});
    plot.SetTolerance(0.5);
    plot.SetPoints({LinearityPoint{1100, 1100.0, 4}, LinearityPoint{2200, 2222.0, 4}});
    const QImage image = plot.grab().toImage();
    const auto pixel = [&](int output, int feedback) {
        return image.pixelColor(56 + output / 5, 482 - feedback / 5);
    };

    EXPECT_EQ(pixel(1500, 1500), PlotColors::Ideal);
    // The band reaches 11 counts (0.5 % of 2200), 2.2 pixels, either side.
    EXPECT_EQ(image.pixelColor(56 + 300, 482 - 300 - 2), PlotColors::Band);
    EXPECT_EQ(image.pixelColor(56 + 300, 482 - 300 + 1), PlotColors::Band);
    EXPECT_EQ(image.pixelColor(56 + 300, 482 - 300 - 6), PlotColors::Background);
    EXPECT_EQ(pixel(600, 600), PlotColors::Feedback);
    EXPECT_EQ(pixel(600, 700), PlotColors::Stray);
    // The points of a test: a white square inside the band, a yellow one outside.
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            EXPECT_EQ(image.pixelColor(56 + 220 + dx, 482 - 220 + dy), PlotColors::Point);
            EXPECT_EQ(image.pixelColor(56 + 440 + dx, 38 + dy), PlotColors::Stray);
        }
    }
    EXPECT_NE(image.pixelColor(56 + 220 + 3, 482 - 220), PlotColors::Point);
}

TEST(XyViewAndVerdict, AgreeAtTheToleranceEdgeAndShowTheToleranceAsGiven) {
    struct Case {
        double tolerance;
        double deviation; // counts above the output
        bool passes;
        const char* toleranceText;
        const char* summary;
    };
    // 0.5 % of 2200 is 11 counts, 0.0001 % is 0.0022 counts.
    const Case cases[] = {
        {0.5, 11.0, true, "0.5", "max deviation 0.500% at output 1100, tolerance 0.5%: PASS"},
        {0.5, 11.0088, false, "0.5", "max deviation 0.5004% at output 1100, tolerance 0.5%: FAIL"},
        {0.1, 2.2, true, "0.1", "max deviation 0.100% at output 1100, tolerance 0.1%: PASS"},
        {0.0001, 0.0044, false, "0.0001",
         "max deviation 0.0002% at output 1100, tolerance 0.0001%: FAIL"},
        {0.0001, 0.0022, true, "0.0001",
         "max deviation 0.0001% at output 1100, tolerance 0.0001%: PASS"},
    };
    TrendHistory history;
    XyPlot plot(history);
    plot.resize(56 + 463 + 8, 20 + 463 + 36);
    for (const Case& edge : cases) {
        SCOPED_TRACE(edge.summary);
        LinearityResult result;
        result.plan.from = result.plan.to = 1100;
        result.plan.tolerancePercent = edge.tolerance;
        result.plannedPoints = 1;
        result.points = {LinearityPoint{1100, 1100.0 + edge.deviation, 4}};
        EXPECT_EQ(result.Passed(), edge.passes);
        EXPECT_EQ(LinearitySummaryLine(result).toStdString(),
                  std::string("linearity: ") + edge.summary);
        const QString verdict = TrendWindow::VerdictText(result);
        EXPECT_TRUE(verdict.contains(QStringLiteral("允许 %1%：").arg(edge.toleranceText)))
            << verdict.toStdString();

        // The point's square in the X-Y view: white inside the band, yellow outside.
        plot.SetTolerance(edge.tolerance);
        plot.SetPoints(result.points);
        const QImage image = plot.grab().toImage();
        EXPECT_EQ(image.pixelColor(56 + 220, 482 - 220),
                  edge.passes ? PlotColors::Point : PlotColors::Stray);
    }
}
