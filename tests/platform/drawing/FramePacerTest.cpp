// The frame pacer holding a handler's repaints for one frame, and work that
// joins the next frame.

#include "platform/drawing/FramePacer.h"

#include <QCoreApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class Counted : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

void waitOutFrames(FramePacer& pacer) {
    QTRY_VERIFY_WITH_TIMEOUT(!pacer.waiting(), 2000);
    QTest::qWait(2 * static_cast<int>(pacer.interval().count() / 1000) + 1);
}

// A window of two controls side by side, shown, its pacer at rest.
struct FramePacerWindow : ::testing::Test {
    QWidget window;
    Counted first{&window};
    Counted second{&window};

    FramePacer& shown() {
        window.resize(100, 50);
        first.setGeometry(0, 0, 50, 50);
        second.setGeometry(50, 0, 50, 50);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        FramePacer& pacer = FramePacer::of(window);
        waitOutFrames(pacer);
        return pacer;
    }
};

TEST_F(FramePacerWindow, RepaintsAskedForUnderAHoldGoOutTogetherWhenItEndsOrAFrameLater) {
    FramePacer& pacer = shown();

    // Without a hold the first goes at once and the second a frame later.
    first.paints = second.paints = 0;
    pacer.update(first);
    pacer.update(second);
    EXPECT_TRUE(pacer.waiting());
    QCoreApplication::processEvents();
    EXPECT_EQ(first.paints, 1);
    EXPECT_EQ(second.paints, 0);
    waitOutFrames(pacer);
    EXPECT_EQ(second.paints, 1);

    // Under a hold both go out as it ends, in the same pass, with nothing
    // left waiting for a frame.
    first.paints = second.paints = 0;
    {
        const FramePacer::Hold hold(window);
        {
            const FramePacer::Hold nested(first);
            pacer.update(first);
        }
        pacer.update(second, QRect(0, 0, 10, 10));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(first.paints + second.paints, 0) << "nothing goes out while held";
    }
    EXPECT_FALSE(pacer.waiting());
    QCoreApplication::processEvents();
    EXPECT_EQ(first.paints, 1);
    EXPECT_EQ(second.paints, 1);

    // A holder that waits for something else (a message box) lets the
    // repaints out a frame later all the same.
    waitOutFrames(pacer);
    first.paints = 0;
    {
        const FramePacer::Hold hold(window);
        pacer.update(first);
        EXPECT_TRUE(pacer.waiting());
        QTRY_COMPARE_WITH_TIMEOUT(first.paints, 1, 2000);
    }
    EXPECT_FALSE(pacer.waiting());
}

TEST_F(FramePacerWindow, JoinedWorkGoesOutWithTheNextFrameOrOnItsOwnAtTheLatest) {
    FramePacer& pacer = shown();
    Counted& counter = first;
    Counted& cells = second;
    int runs = 0;
    const auto joinCounter = [&] {
        pacer.joinNextFrame(
            counter,
            [&] {
                ++runs;
                counter.update();
            },
            std::chrono::milliseconds(60000));
    };

    // A request goes out: its hold makes no frame, the counter waits; the
    // reply's frame shows the counter and the cells in one pass.
    counter.paints = cells.paints = 0;
    {
        const FramePacer::Hold request(window);
        joinCounter();
    }
    QTest::qWait(50);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(counter.paints, 0);
    {
        const FramePacer::Hold reply(window);
        pacer.update(cells);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(cells.paints, 1);

    // A reply that changed nothing shows the counter all the same.
    waitOutFrames(pacer);
    joinCounter();
    { const FramePacer::Hold reply(window, FramePacer::Joined::Show); }
    QTRY_COMPARE_WITH_TIMEOUT(counter.paints, 2, 2000);
    EXPECT_EQ(runs, 2);

    // Without any frame the work runs at its latest; joined again it runs
    // once; the work of an owner gone is dropped.
    pacer.joinNextFrame(
        counter, [&] { ++runs; }, std::chrono::milliseconds(30));
    pacer.joinNextFrame(
        counter, [&] { runs += 10; }, std::chrono::milliseconds(30));
    {
        QObject gone;
        pacer.joinNextFrame(
            gone, [&] { runs += 100; }, std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(pacer.waiting());
    QTRY_COMPARE_WITH_TIMEOUT(runs, 12, 2000);
    QTest::qWait(50);
    EXPECT_EQ(runs, 12);
    EXPECT_FALSE(pacer.waiting());

    // Work with an earliest time lets the frames before it go by.
    using std::chrono::milliseconds;
    pacer.joinNextFrame(
        counter, [&] { ++runs; }, milliseconds(1000), milliseconds(1200));
    { const FramePacer::Hold reply(window, FramePacer::Joined::Show); }
    pacer.update(cells);
    QTest::qWait(100);
    EXPECT_EQ(runs, 12);
    QTRY_COMPARE_WITH_TIMEOUT(runs, 13, 5000);
}

TEST_F(FramePacerWindow, HeldChangesWaitOutTheGapForTheNextHoldOrGoAloneAtTwiceIt) {
    using std::chrono::milliseconds;
    FramePacer& pacer = shown();
    // A second, so that a stalled machine cannot reach the late frame
    // before the test looks.
    const milliseconds gap(1000);
    pacer.setHeldFrameGap(gap);
    Counted& cells = first;
    Counted& counter = second;
    const auto reply = [&](Counted& changed) {
        const FramePacer::Hold hold(window, FramePacer::Joined::Show);
        pacer.update(changed);
    };

    // The first reply goes out at once; the next, within the gap, waits.
    cells.paints = counter.paints = 0;
    reply(cells);
    QCoreApplication::processEvents();
    EXPECT_EQ(cells.paints, 1);
    reply(cells);
    QTest::qWait(50);
    EXPECT_EQ(cells.paints, 1);
    EXPECT_TRUE(pacer.waiting());

    // A repaint the operator causes is not held back, and takes the waiting
    // change along.
    pacer.update(counter);
    QTRY_COMPARE_WITH_TIMEOUT(counter.paints, 1, 2000);
    EXPECT_EQ(cells.paints, 2);

    // Past the gap the waiting change goes out with the next hold that ends,
    // even one that changed nothing (a request going out).
    reply(cells);
    QTest::qWait(int(gap.count()) + 100);
    EXPECT_EQ(cells.paints, 2);
    { const FramePacer::Hold request(window); }
    QCoreApplication::processEvents();
    EXPECT_EQ(cells.paints, 3);

    // Without a further hold it goes out on its own at twice the gap, and
    // joined work due sooner waits for that frame.
    int runs = 0;
    const auto start = std::chrono::steady_clock::now();
    reply(cells);
    pacer.joinNextFrame(
        counter, [&] { ++runs; }, milliseconds(10));
    QTest::qWait(int(gap.count()) + 100);
    EXPECT_EQ(cells.paints, 3);
    EXPECT_EQ(runs, 0);
    QTRY_COMPARE_WITH_TIMEOUT(cells.paints, 4, 5000);
    EXPECT_EQ(runs, 1);
    // The late timer is a coarse one, which may fire a twentieth early.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2 * gap * 19 / 20 - milliseconds(20));
}

} // namespace
