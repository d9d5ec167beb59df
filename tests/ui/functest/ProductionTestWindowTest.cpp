// The production test window: its banner drawn pixel by pixel, and a unit
// tested end to end the way a barcode scanner starts it (the serial number's
// characters, then Enter), on the main window's engine and the virtual module.

#include "tests/ui/main/WindowTestSupport.h"

#include "ui/functest/ProductionTestWindow.h"
#include "ui/functest/VerdictBanner.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cmath>

namespace {

struct Painted {
    QColor background;
    QRect text; ///< where white was drawn
};

Painted paint(VerdictBanner::State state, const QString& text) {
    VerdictBanner banner;
    banner.resize(320, 120);
    banner.SetState(state, text);
    const QImage image = banner.grab().toImage();
    Painted painted{image.pixelColor(2, 2), {}};
    const QColor& ground = painted.background;
    // Every pixel is the background, white, or (at the glyphs' smoothed
    // edges) a blend of the two: nothing else is drawn.
    const auto share = [](int channel, int from) {
        return from == 255 ? 1.0 : (channel - from) / (255.0 - from);
    };
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const double red = share(pixel.red(), ground.red());
            const double green = share(pixel.green(), ground.green());
            const double blue = share(pixel.blue(), ground.blue());
            const bool blend = red >= -0.02 && red <= 1.02 && std::abs(red - green) < 0.1 &&
                               std::abs(red - blue) < 0.1;
            EXPECT_TRUE(blend) << x << "," << y;
            if (!blend) {
                return painted;
            }
            if (red > 0.5) {
                painted.text |= QRect(x, y, 1, 1);
            }
        }
    }
    return painted;
}

TEST(VerdictBanner, TheVerdictStandsLargeAndCentredOnItsColour) {
    struct Case {
        VerdictBanner::State state;
        QString text;
        QColor colour;
    };
    const Case cases[] = {
        {VerdictBanner::State::Pass, "PASS", VerdictBanner::PassColour},
        {VerdictBanner::State::Fail, "FAIL", VerdictBanner::FailColour},
        {VerdictBanner::State::Running, "测试中…", VerdictBanner::BusyColour},
        {VerdictBanner::State::Idle, "请扫描序列号", VerdictBanner::IdleColour},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text.toStdString());
        const Painted painted = paint(test.state, test.text);
        EXPECT_EQ(painted.background, test.colour);
        // Large: the glyphs fill most of the height, centred both ways.
        ASSERT_FALSE(painted.text.isEmpty());
        EXPECT_GE(painted.text.height(), 120 / 3);
        EXPECT_NEAR(painted.text.center().x(), 160, 6);
        EXPECT_NEAR(painted.text.center().y(), 60, 12);
        EXPECT_LE(painted.text.width(), 320);
    }
}

class ProductionTestWindowTest : public WindowTest {};

TEST_F(ProductionTestWindowTest, AScannedSerialNumberTestsTheUnitAndCountsIt) {
    QTemporaryDir folder;
    const QString plan = folder.filePath("plan.json");
    QFile file(plan);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"steps": [{"name": "communication", "reads": 3, "response_p95_ms_max": 2000},
                             {"name": "identity"},
                             {"name": "relay", "timeout_ms": 1000}]})");
    file.close();
    form->SetTestFiles(TestFiles{plan, folder.path(), QString()});
    QTest::keyClick(form.get(), Qt::Key_F6);
    ProductionTestWindow* window = form->ProductionTest();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_TRUE(waitFor([&] { return window->SerialField()->hasFocus(); }));

    // A scanner types the code and Enter; nobody pressed Start.
    QTest::keyClicks(window->SerialField(), "KM-7");
    QTest::keyClick(window->SerialField(), Qt::Key_Return);
    EXPECT_TRUE(window->SerialField()->text().isEmpty()) << "ready for the next scan";
    EXPECT_TRUE(form->Cycle().Polling());
    ASSERT_TRUE(waitFor(
        [&] { return window->Banner()->Current() != VerdictBanner::State::Running; }, 30000));
    EXPECT_EQ(window->Banner()->Current(), VerdictBanner::State::Pass)
        << window->Status()->text().toStdString();
    EXPECT_EQ(window->Banner()->Text(), "PASS");
    ASSERT_EQ(window->StepTable()->rowCount(), 4); // the three steps and the teardown
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(window->StepTable()->item(row, 1)->text(), "PASS")
            << row << ": " << window->StepTable()->item(row, 2)->text().toStdString();
    }
    EXPECT_EQ(window->Counts()->text(), "已测 1    合格 1    良率 100.0%");
    EXPECT_EQ(QDir(folder.path()).entryList({"KM-7-*-1.json"}).size(), 1);
    EXPECT_EQ(m_module->Register(ModuleRegister::Relay), 0);

    // A serial number that cannot name a file is refused and not counted.
    QTest::keyClicks(window->SerialField(), "KM 8");
    QTest::keyClick(window->SerialField(), Qt::Key_Return);
    EXPECT_TRUE(window->Status()->text().startsWith("序列号无效"))
        << window->Status()->text().toStdString();
    EXPECT_EQ(window->Tested(), 1);
}

TEST_F(ProductionTestWindowTest, StopDuringATestLeavesTheUnitSafeBeforePollingStops) {
    QTemporaryDir folder;
    const QString plan = folder.filePath("plan.json");
    QFile file(plan);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"steps": [{"name": "relay"}, {"name": "output-linearity", "from": 1000,
                             "to": 2000, "step": 500, "settle_ms": 3000}]})");
    file.close();
    form->SetTestFiles(TestFiles{plan, folder.path(), QString()});
    form->OpenProductionTest();
    ProductionTestWindow* window = form->ProductionTest();
    ASSERT_TRUE(window->StartTest(QStringLiteral("KM-9")));
    // The output is up and settling when the operator presses Stop.
    ASSERT_TRUE(
        waitFor([&] { return m_module->Register(ModuleRegister::OutputDisplay) == 1000; }, 20000));
    clickStop();
    ASSERT_TRUE(waitFor([&] { return !form->ComPort.Connected(); }, 20000));
    EXPECT_EQ(window->Banner()->Current(), VerdictBanner::State::Aborted);
    EXPECT_EQ(m_module->Register(ModuleRegister::OutputDisplay), 0);
    EXPECT_EQ(m_module->Register(ModuleRegister::Relay), 0);
    const QStringList names = QDir(folder.path()).entryList({"KM-9-*.json"});
    ASSERT_EQ(names.size(), 1);
    QFile report(folder.filePath(names[0]));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray json = report.readAll();
    EXPECT_TRUE(json.contains("\"verdict\": \"ABORTED\"")) << json.toStdString();
    EXPECT_TRUE(json.contains("\"name\": \"teardown\",\n            \"verdict\": \"PASS\""))
        << json.toStdString();
}

} // namespace
