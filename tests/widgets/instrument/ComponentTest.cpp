#include "platform/drawing/FramePacer.h"
#include "tests/widgets/instrument/InstrumentTestSupport.h"
#include "widgets/instrument/iCustomComponent.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

using namespace instrument_test;

namespace {

// A minimal widget: one property under the setter rule, a face of background
// and border, and a record of every hook call.
class Probe : public TiCustomComponent {
public:
    explicit Probe(QWidget* parent = nullptr) : TiCustomComponent(parent) {
        SetBounds(0, 0, 40, 30);
    }

    int Level() const { return m_level; }
    void SetLevel(int value) {
        if (value == m_level) {
            return;
        }
        m_level = value;
        Changed();
    }

    int paints = 0;
    bool throwOnPaint = false;
    bool throwInHooks = false;
    int loadedCalls = 0;
    std::vector<std::string> calls;
    std::vector<bool> userInputSeen;

protected:
    void PaintContent(QPainter& canvas) override {
        ++paints;
        if (throwOnPaint) {
            throw std::runtime_error("Sensor range exceeded");
        }
        DrawBackground(canvas, BackGroundColor());
    }
    void KeyDownHook(std::uint16_t& key, TShiftState) override {
        record("keydown " + std::to_string(key));
    }
    void KeyPressHook(char16_t& key) override {
        record("keypress " + std::to_string(static_cast<int>(key)));
    }
    void KeyUpHook(std::uint16_t& key, TShiftState) override {
        record("keyup " + std::to_string(key));
    }
    void MouseDownHook(TMouseButton button, TShiftState shift, int x, int y) override {
        record("down " + std::to_string(button) + (shift & ssDouble ? " double" : "") + " " +
               std::to_string(x) + "," + std::to_string(y));
    }
    void MouseUpHook(TMouseButton button, TShiftState, int, int) override {
        record("up " + std::to_string(button));
    }
    void DblClickHook() override { record("dblclick"); }
    void Loaded() override {
        ++loadedCalls;
        TiCustomComponent::Loaded();
    }

private:
    void record(const std::string& call) {
        calls.push_back(call);
        userInputSeen.push_back(UserInput());
        if (throwInHooks) {
            throw std::runtime_error("hook failed");
        }
    }
    int m_level = 0;
};

} // namespace

TEST(InstrumentBase, DimColorDividesOrMultipliesEachByteAndClamps) {
    EXPECT_EQ(DimColor(0x0000FF, 3), 0x000055u);
    EXPECT_EQ(DimColor(0x00FF00, 3), 0x005500u);
    EXPECT_EQ(DimColor(0x808080, 2), 0x404040u);
    EXPECT_EQ(DimColor(0x102030, -2), 0x204060u);
    EXPECT_EQ(DimColor(0x80FF10, -3), 0xFFFF30u) << "products clamp at 255";
    EXPECT_EQ(DimColor(0x123456, 0), 0u) << "divisor 0 multiplies by 0";
    // System colours are split as stored, never resolved.
    EXPECT_EQ(DimColor(clBtnFace, 1), rgbColor(SystemColorIndex::BtnFace, 0, 0));
}

TEST(InstrumentBase, EqualValuesRepaintNothingAndBatchesRepaintOnce) {
    QWidget form;
    form.resize(100, 100);
    Probe probe(&form);
    form.show();
    settle();

    const int requestsBefore = probe.RepaintCount();
    probe.SetLevel(0);
    probe.SetBackGroundColor(clBtnFace);
    probe.SetBorderStyle(ibsNone);
    probe.SetBounds(0, 0, 40, 30);
    EXPECT_EQ(probe.RepaintCount(), requestsBefore) << "equal values ask for nothing";

    // Each change painted on its own when a frame passes in between...
    probe.paints = 0;
    for (int level = 1; level <= 10; ++level) {
        probe.SetLevel(level);
        QTRY_COMPARE_WITH_TIMEOUT(probe.paints, level, 2000);
    }
    // ...and changes quicker than the screen refreshes are painted together
    // with the next frame: the first at once, the other nine in one paint.
    QTRY_VERIFY_WITH_TIMEOUT(!FramePacer::of(probe).waiting(), 2000);
    QTest::qWait(static_cast<int>(FramePacer::of(probe).interval().count() / 1000) + 1);
    probe.paints = 0;
    for (int level = 101; level <= 110; ++level) {
        probe.SetLevel(level);
    }
    EXPECT_EQ(probe.RepaintCount(), requestsBefore + 20) << "every change asked for a repaint";
    EXPECT_TRUE(FramePacer::of(probe).waiting());
    QTRY_VERIFY_WITH_TIMEOUT(!FramePacer::of(probe).waiting(), 2000);
    settle();
    EXPECT_EQ(probe.paints, 2);

    // ...but ten changes inside a batch give a single paint, after EndUpdate.
    probe.paints = 0;
    const int requests = probe.RepaintCount();
    probe.BeginUpdate();
    for (int level = 11; level <= 20; ++level) {
        probe.SetLevel(level);
        settle();
    }
    EXPECT_EQ(probe.paints, 0);
    EXPECT_TRUE(probe.RepaintPending());
    probe.EndUpdate();
    settle();
    EXPECT_EQ(probe.paints, 1);
    EXPECT_EQ(probe.RepaintCount(), requests + 1);
    EXPECT_FALSE(probe.RepaintPending());

    // Nested brackets flush at the outermost end only; a stray EndUpdate is harmless.
    probe.BeginUpdate();
    probe.BeginUpdate();
    probe.SetLevel(21);
    probe.EndUpdate();
    EXPECT_TRUE(probe.Updating());
    probe.EndUpdate();
    probe.EndUpdate();
    EXPECT_FALSE(probe.Updating());
    EXPECT_EQ(probe.RepaintCount(), requests + 2);
}

TEST(InstrumentBase, FrameRateLimitHoldsRepaintsUntilTheSweep) {
    Probe probe;
    probe.SetUpdateFrameRate(1);
    probe.SetAutoFrameRate(true);
    probe.SetLevel(1); // long after the last repaint: at once
    const int afterFirst = probe.RepaintCount();
    probe.SetLevel(2);
    probe.SetLevel(3);
    EXPECT_EQ(probe.RepaintCount(), afterFirst) << "held back by the one-per-second limit";
    EXPECT_TRUE(probe.RepaintPending());
    QTRY_VERIFY_WITH_TIMEOUT(!probe.RepaintPending(), 5000);
    EXPECT_EQ(probe.RepaintCount(), afterFirst + 1) << "the sweep flushes them as one";

    probe.SetUpdateFrameRate(0); // 0: no limit
    const int unlimited = probe.RepaintCount();
    probe.SetLevel(4);
    probe.SetLevel(5);
    EXPECT_EQ(probe.RepaintCount(), unlimited + 2);
}

TEST(InstrumentBase, PaintFailureShowsTheMessageWhiteOnBlack) {
    Probe probe;
    probe.SetBounds(0, 0, 120, 40);
    probe.throwOnPaint = true;
    const QImage failed = render(probe);
    EXPECT_EQ(countColor(failed, clBlack) + countColor(failed, clWhite), 120 * 40)
        << "only the black box and the white text";
    const QRect text = inkBox(failed, clBlack);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LE(text.left(), 2);
    EXPECT_LE(text.top(), 4);
    EXPECT_GT(text.bottom(), 14) << "the long message wraps onto a second line";
    EXPECT_EQ(pixel(failed, 119, 39), clBlack);

    probe.throwOnPaint = false;
    const QImage recovered = render(probe);
    EXPECT_EQ(pixel(recovered, 60, 20), ColorToRGB(clBtnFace)) << "the next paint tries again";
}

TEST(InstrumentBase, BackgroundAndBorders) {
    Probe probe;
    probe.SetBackGroundColor(0x336699);
    probe.SetBorderStyle(ibsLowered);
    QImage face = render(probe);
    EXPECT_EQ(pixel(face, 0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(face, 1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixel(face, 39, 29), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixel(face, 38, 28), ColorToRGB(cl3DLight));
    EXPECT_EQ(pixel(face, 2, 2), 0x336699u);
    probe.SetBorderStyle(ibsRaised);
    face = render(probe);
    EXPECT_EQ(pixel(face, 0, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(pixel(face, 39, 29), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixel(face, 1, 1), ColorToRGB(clBtnHighlight));
    probe.SetBorderStyle(ibsNone);
    EXPECT_EQ(pixel(render(probe), 0, 0), 0x336699u);
}

TEST(InstrumentBase, TransparentControlShowsWhatLiesBeneath) {
    // A parent with a red left half and a blue right half.
    class Striped : public QWidget {
    protected:
        void paintEvent(QPaintEvent*) override {
            QPainter painter(this);
            painter.fillRect(rect(), Qt::blue);
            painter.fillRect(QRect(0, 0, width() / 2, height()), Qt::red);
        }
    } form;
    form.resize(200, 100);
    Probe probe(&form);
    probe.SetBounds(80, 10, 40, 30); // straddles the colour boundary at x = 100
    probe.SetBackGroundColor(clLime);
    probe.SetTransparent(true);
    form.show();
    settle();
    QImage face = render(probe);
    EXPECT_EQ(pixel(face, 5, 5), clRed);
    EXPECT_EQ(pixel(face, 19, 15), clRed);
    EXPECT_EQ(pixel(face, 20, 15), clBlue);
    EXPECT_FALSE(probe.SnapshotStale());

    // A sibling over one corner point: the background colour stands in.
    QWidget cover(&form);
    cover.setGeometry(110, 30, 20, 20);
    cover.setAutoFillBackground(true); // an opaque panel
    cover.show();
    probe.SetLevel(1); // a change marks the snapshot stale
    face = render(probe);
    EXPECT_EQ(pixel(face, 5, 5), clLime);
    EXPECT_TRUE(probe.SnapshotStale()) << "tried again at the next paint";

    probe.SetTransparent(false);
    EXPECT_EQ(pixel(render(probe), 5, 5), clLime);
}

TEST(InstrumentBase, EnterAndEscapeStayWithTheFocusedControl) {
    QDialog dialog;
    dialog.resize(200, 100);
    QPushButton ok(QStringLiteral("OK"), &dialog);
    ok.setDefault(true);
    int okClicks = 0;
    QObject::connect(&ok, &QPushButton::clicked, [&] { ++okClicks; });
    QLineEdit plainEdit(&dialog);
    plainEdit.move(0, 40);
    Probe probe(&dialog);
    probe.SetBounds(100, 40, 40, 30);
    probe.SetTabStop(true);
    dialog.show();
    QApplication::setActiveWindow(&dialog);

    // The check itself can fail: Enter in an ordinary edit presses OK.
    plainEdit.setFocus();
    QTest::keyClick(&plainEdit, Qt::Key_Return);
    ASSERT_EQ(okClicks, 1);

    probe.setFocus();
    ASSERT_TRUE(probe.hasFocus());
    QTest::keyClick(&probe, Qt::Key_Return);
    QTest::keyClick(&probe, Qt::Key_Enter);
    QTest::keyClick(&probe, Qt::Key_Escape);
    EXPECT_EQ(okClicks, 1);
    EXPECT_TRUE(dialog.isVisible()) << "Escape did not cancel the dialog";
    const std::vector<std::string> expected = {"keydown 13", "keypress 13", "keyup 13",
                                               "keydown 13", "keypress 13", "keyup 13",
                                               "keydown 27", "keypress 27", "keyup 27"};
    EXPECT_EQ(probe.calls, expected);
    EXPECT_TRUE(probe.Focused());

    // The form's function-key and Ctrl shortcuts still work; plain keys do not
    // leak to a form shortcut.
    int shortcuts = 0;
    QShortcut refresh(QKeySequence(Qt::Key_F5), &dialog);
    QShortcut save(QKeySequence(Qt::CTRL | Qt::Key_S), &dialog);
    QShortcut plainKey(QKeySequence(Qt::Key_Q), &dialog);
    for (QShortcut* shortcut : {&refresh, &save, &plainKey}) {
        QObject::connect(shortcut, &QShortcut::activated, [&] { ++shortcuts; });
    }
    QTest::keyClick(&probe, Qt::Key_F5);
    QTest::keyClick(&probe, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(shortcuts, 2);
    QTest::keyClick(&probe, Qt::Key_Q);
    EXPECT_EQ(shortcuts, 2) << "a plain letter stays with the control";

    // Tab still moves the focus; losing it releases the mouse hook.
    probe.calls.clear();
    QTest::keyClick(&probe, Qt::Key_Tab);
    EXPECT_FALSE(probe.hasFocus());
    EXPECT_FALSE(probe.Focused());
    ASSERT_FALSE(probe.calls.empty());
    EXPECT_EQ(probe.calls.front(), "up 0");
}

TEST(InstrumentBase, KeyHandlersRunFirstAndMaySwallowTheKey) {
    Probe probe;
    probe.show();
    int keyPresses = 0;
    probe.OnKeyPress = [&](QObject* sender, char16_t& key) {
        EXPECT_EQ(sender, &probe);
        ++keyPresses;
        if (key == u'x') {
            key = 0;
        }
    };
    probe.OnKeyDown = [&](QObject*, std::uint16_t& key, TShiftState shift) {
        if (key == VirtualKey::Left && (shift & ssCtrl)) {
            key = 0;
        }
    };
    QTest::keyClick(&probe, Qt::Key_X);
    QTest::keyClick(&probe, Qt::Key_Y);
    QTest::keyClick(&probe, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(&probe, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(keyPresses, 3);
    // The key-down of X reaches the hook, its character does not; Ctrl+Left
    // never reaches the key-down hook; Ctrl+A is character 1.
    const std::vector<std::string> expected = {
        "keydown 88", "keyup 88", "keydown 89", "keypress 121", "keyup 89",
        "keydown 17", "keyup 37", "keyup 17",   "keydown 17",   "keydown 65",
        "keypress 1", "keyup 65", "keyup 17"};
    EXPECT_EQ(probe.calls, expected);
    for (const bool seen : probe.userInputSeen) {
        EXPECT_TRUE(seen);
    }
    EXPECT_FALSE(probe.UserInput()) << "cleared once the event is handled";

    // A hook that throws is silenced and leaves the control working.
    probe.throwInHooks = true;
    QTest::keyClick(&probe, Qt::Key_Z);
    EXPECT_FALSE(probe.UserInput());
    probe.throwInHooks = false;
    probe.calls.clear();
    QTest::keyClick(&probe, Qt::Key_Z);
    EXPECT_EQ(probe.calls.size(), 3u);
}

TEST(InstrumentBase, MouseHooksRunBeforeTheEventsAndDoubleClickBeforeTheSecondPress) {
    Probe probe;
    probe.show();
    std::vector<std::string> events;
    probe.OnMouseDown = [&](QObject*, TMouseButton, TShiftState, int, int) {
        events.push_back("OnMouseDown after " + probe.calls.back());
    };
    probe.OnClick = [&](QObject*) { events.push_back("OnClick"); };
    probe.OnDblClick = [&](QObject*) { events.push_back("OnDblClick"); };

    QTest::mouseClick(&probe, Qt::LeftButton, {}, QPoint(7, 9));
    EXPECT_EQ(probe.calls, (std::vector<std::string>{"down 0 7,9", "up 0"}));
    EXPECT_EQ(events, (std::vector<std::string>{"OnMouseDown after down 0 7,9", "OnClick"}));

    probe.calls.clear();
    events.clear();
    QTest::mouseDClick(&probe, Qt::LeftButton, {}, QPoint(3, 4));
    ASSERT_GE(probe.calls.size(), 2u);
    const auto doubleAt = std::find(probe.calls.begin(), probe.calls.end(), "dblclick");
    ASSERT_NE(doubleAt, probe.calls.end());
    ASSERT_NE(doubleAt + 1, probe.calls.end());
    EXPECT_EQ(*(doubleAt + 1), "down 0 double 3,4");

    // A press that is released outside is no click.
    events.clear();
    QTest::mousePress(&probe, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&probe, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(std::count(events.begin(), events.end(), "OnClick"), 0);
}

TEST(InstrumentBase, LoadingDefersToLoadedAndBoundsNeverGoNegative) {
    Probe probe;
    probe.BeginLoading();
    EXPECT_TRUE(probe.Loading());
    probe.SetLevel(3);
    EXPECT_EQ(probe.loadedCalls, 0);
    probe.EndLoading();
    probe.EndLoading();
    EXPECT_FALSE(probe.Loading());
    EXPECT_EQ(probe.loadedCalls, 1);

    probe.SetBounds(3, 4, -10, -1);
    EXPECT_EQ(probe.Width(), 0);
    EXPECT_EQ(probe.Height(), 0);
    EXPECT_EQ(probe.GetCenterPoint(), QPoint(0, 0));
    render(probe); // must not crash

    probe.SetConstraints({10, 12, 50, 0});
    EXPECT_EQ(probe.Width(), 10);
    EXPECT_EQ(probe.Height(), 12);
    probe.SetWidth(90);
    EXPECT_EQ(probe.Width(), 50);
}

TEST(InstrumentBase, AnchorsFollowTheParent) {
    QWidget form;
    form.resize(200, 100);
    Probe stretched(&form);
    stretched.SetBounds(10, 10, 50, 20);
    stretched.SetAnchors(akLeft | akTop | akRight);
    Probe pinned(&form);
    pinned.SetBounds(150, 60, 30, 20);
    pinned.SetAnchors(akRight | akBottom);
    Probe floating(&form);
    floating.SetBounds(90, 0, 20, 10); // centred horizontally
    floating.SetAnchors(akTop);
    form.show();
    form.resize(300, 150);
    settle();
    EXPECT_EQ(stretched.geometry(), QRect(10, 10, 150, 20));
    EXPECT_EQ(pinned.geometry(), QRect(250, 110, 30, 20));
    EXPECT_EQ(floating.geometry(), QRect(140, 0, 20, 10)) << "stays centred";
}

TEST(InstrumentBase, TransparentSnapshotIncludesSiblingsBeneathOnly) {
    QWidget form;
    form.resize(200, 100);
    form.setAutoFillBackground(true);
    QPalette palette = form.palette();
    palette.setColor(QPalette::Window, Qt::white);
    form.setPalette(palette);
    Probe below(&form); // created first: beneath the transparent probe
    below.SetBounds(0, 0, 60, 60);
    below.SetBackGroundColor(clBlue);
    Probe probe(&form);
    probe.SetBounds(40, 10, 40, 30);
    probe.SetBackGroundColor(clLime);
    probe.SetTransparent(true);
    Probe above(&form); // created last: on top, but outside the corner points
    above.SetBounds(55, 20, 10, 10);
    above.SetBackGroundColor(clRed);
    form.show();
    settle();
    const QImage face = render(probe);
    EXPECT_EQ(pixel(face, 5, 5), clBlue) << "the sibling beneath shows through";
    EXPECT_EQ(pixel(face, 30, 5), clWhite) << "then the parent's own face";
    EXPECT_NE(pixel(face, 20, 15), clRed) << "a sibling on top is no part of the background";
}

TEST(InstrumentBase, PopupMenuDragAndDropReachTheirHandlers) {
    QWidget form;
    form.resize(200, 100);
    Probe probe(&form);
    probe.SetTabStop(true);
    QMenu menu;
    menu.addAction(QStringLiteral("Reset"));
    probe.SetPopupMenu(&menu);
    form.show();
    QApplication::setActiveWindow(&form);
    probe.setFocus();
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5),
                              probe.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&probe, &request);
    EXPECT_TRUE(request.isAccepted());
    EXPECT_TRUE(menu.isVisible());
    settle();
    EXPECT_TRUE(probe.Focused()) << "the control's own menu does not take its focus";
    menu.hide();

    QWidget source;
    QObject* sourceSeen = nullptr;
    TDragState stateSeen = dsDragLeave;
    int drops = 0;
    probe.OnDragOver = [&](QObject*, QObject* dragSource, int, int, TDragState state,
                           bool& accept) {
        sourceSeen = dragSource;
        stateSeen = state;
        accept = true;
    };
    probe.OnDragDrop = [&](QObject*, QObject*, int x, int y) {
        ++drops;
        EXPECT_EQ(QPoint(x, y), QPoint(7, 8));
    };
    QMimeData data;
    QDragEnterEvent enter(QPoint(7, 8), Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&probe, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(stateSeen, dsDragEnter);
    QDropEvent drop(QPointF(7, 8), Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&probe, &drop);
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(sourceSeen, nullptr) << "no drag in progress: no source";
}
