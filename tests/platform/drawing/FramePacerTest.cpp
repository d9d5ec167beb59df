// The frame pacer holding a handler's repaints for one frame.

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

TEST(FramePacer, RepaintsAskedForUnderAHoldGoOutTogetherWhenItEndsOrAFrameLater) {
    QWidget window;
    window.resize(100, 50);
    Counted first(&window);
    Counted second(&window);
    first.setGeometry(0, 0, 50, 50);
    second.setGeometry(50, 0, 50, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    FramePacer& pacer = FramePacer::of(window);
    waitOutFrames(pacer);

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

} // namespace
