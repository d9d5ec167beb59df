#include "tests/widgets/skin/ThemeFileBuilder.h"

#include "platform/drawing/DrawText.h"
#include "widgets/skin/SkinButton.h"
#include "widgets/skin/SkinDrawing.h"

#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr QRgb magenta = 0xFF00FF;

QRgb rgbAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

QImage shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage blueGlassFrame(int frame) {
    QImage face;
    StyleBitmap(TskUIStyle::BlueGlass, 1, &face, 3, frame);
    return face.convertToFormat(QImage::Format_RGB32);
}

// A parent whose every pixel tells where it is, so that a background drawn
// one pixel off is caught.
class PatternParent : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                painter.setPen(QColor(patternAt(x, y)));
                painter.drawPoint(x, y);
            }
        }
    }

public:
    static QRgb patternAt(int x, int y) { return qRgb(x % 251, y % 241, 77); }
};

// The main window's buttons: 97 x 41 at (104, 32), BlueGlass, transparent.
struct MainWindowButton {
    PatternParent parent;
    TskButton* button = new TskButton(&parent);
    MainWindowButton() {
        parent.resize(440, 120);
        button->BeginLoading();
        button->setGeometry(104, 32, 97, 41);
        button->SetUIStyle(TskUIStyle::BlueGlass);
        button->SetTransparent(true);
        button->EndLoading();
    }
};

int countPixels(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += rgbAt(image, x, y) == (colour & 0xFFFFFF) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

TEST(SkinButton, NineSliceLayoutOfTheMainWindowButton) {
    const auto pieces = NineSliceLayout(QSize(77, 27), QRect(0, 0, 97, 41));
    const QRect expected[9][2] = {
        {rectFromEdges(0, 0, 38, 13), rectFromEdges(0, 0, 38, 13)},
        {rectFromEdges(0, 29, 38, 41), rectFromEdges(0, 15, 38, 27)},
        {rectFromEdges(0, 13, 38, 29), rectFromEdges(0, 13, 38, 14)},
        {rectFromEdges(60, 0, 97, 13), rectFromEdges(40, 0, 77, 13)},
        {rectFromEdges(60, 29, 97, 41), rectFromEdges(40, 15, 77, 27)},
        {rectFromEdges(60, 13, 97, 29), rectFromEdges(40, 14, 77, 15)},
        {rectFromEdges(38, 0, 60, 13), rectFromEdges(38, 0, 40, 13)},
        {rectFromEdges(38, 13, 60, 28), rectFromEdges(38, 13, 40, 14)},
        {rectFromEdges(37, 28, 60, 41), rectFromEdges(38, 14, 40, 27)},
    };
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(pieces[i].destination, expected[i][0]) << "piece " << i + 1;
        EXPECT_EQ(pieces[i].source, expected[i][1]) << "piece " << i + 1;
    }
    // A 20 x 20 button: corners keep the part at the face's own corner, edges
    // the part on their outer side.
    const QRect smallSources[9] = {
        rectFromEdges(0, 0, 10, 10),  rectFromEdges(0, 18, 10, 27),  rectFromEdges(0, 13, 10, 14),
        rectFromEdges(68, 0, 77, 10), rectFromEdges(68, 18, 77, 27), rectFromEdges(68, 14, 77, 15),
        rectFromEdges(38, 0, 40, 10), rectFromEdges(38, 13, 40, 14), rectFromEdges(38, 17, 40, 27),
    };
    const auto small = NineSliceLayout(QSize(77, 27), QRect(0, 0, 20, 20));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(small[i].source, smallSources[i]) << "small piece " << i + 1;
    }
    // Buttons smaller than the face cut the corners and never fail.
    for (int size = 0; size < 12; ++size) {
        for (const NineSlicePiece& piece :
             NineSliceLayout(QSize(77, 27), QRect(0, 0, size, size))) {
            if (piece.corner && !piece.destination.isEmpty()) {
                EXPECT_EQ(piece.source.size(), piece.destination.size());
            }
        }
    }
}

// Every pixel of the opaque 97 x 41 button comes from the listed source
// rectangle of frame 1; magenta shows the button colour under edge pieces and
// stays magenta in the opaquely drawn corners.
TEST(SkinButton, OpaqueBlueGlassPiecesLandWhereListed) {
    MainWindowButton fixture;
    fixture.button->SetTransparent(false);
    fixture.button->SetColor(0x123456);
    const QRgb fill = toQColor(0x123456).rgb() & 0xFFFFFF;
    const QImage image = shot(*fixture.button);
    const QImage face = blueGlassFrame(1);
    ASSERT_EQ(image.size(), QSize(97, 41));

    auto expectOneToOne = [&](QRect destination, QPoint source, bool masked, QRect skip) {
        for (int y = destination.top(); y <= destination.bottom(); ++y) {
            for (int x = destination.left(); x <= destination.right(); ++x) {
                if (skip.contains(x, y)) {
                    continue;
                }
                QRgb want =
                    rgbAt(face, source.x() + x - destination.x(), source.y() + y - destination.y());
                if (masked && want == magenta) {
                    want = fill;
                }
                ASSERT_EQ(rgbAt(image, x, y), want) << x << "," << y;
            }
        }
    };
    const QRect bottomEdge = rectFromEdges(37, 28, 60, 41);
    expectOneToOne(rectFromEdges(0, 0, 38, 13), {0, 0}, false, {});
    expectOneToOne(rectFromEdges(0, 29, 38, 41), {0, 15}, false, bottomEdge);
    expectOneToOne(rectFromEdges(60, 0, 97, 13), {40, 0}, false, {});
    expectOneToOne(rectFromEdges(60, 29, 97, 41), {40, 15}, false, {});
    // Stretched one-row sources repeat that row.
    for (int y = 13; y < 29; ++y) {
        expectOneToOne(rectFromEdges(0, y, 37, y + 1), {0, 13}, true, {});
        expectOneToOne(rectFromEdges(60, y, 97, y + 1), {40, 14}, true, {});
    }
    // Two-column sources: every pixel is one of the two source pixels of its row.
    auto expectFromColumns = [&](QRect destination, int sourceTop, int rowStep, QRect skip) {
        for (int y = destination.top(); y <= destination.bottom(); ++y) {
            for (int x = destination.left(); x <= destination.right(); ++x) {
                if (skip.contains(x, y)) {
                    continue;
                }
                const int sourceY = sourceTop + (y - destination.top()) * rowStep;
                QRgb a = rgbAt(face, 38, sourceY);
                QRgb b = rgbAt(face, 39, sourceY);
                a = a == magenta ? fill : a;
                b = b == magenta ? fill : b;
                const QRgb got = rgbAt(image, x, y);
                ASSERT_TRUE(got == a || got == b) << x << "," << y;
            }
        }
    };
    expectFromColumns(rectFromEdges(38, 0, 60, 13), 0, 1, {});
    expectFromColumns(rectFromEdges(38, 13, 60, 28), 13, 0, {});
    expectFromColumns(rectFromEdges(38, 28, 60, 41), 14, 1, {});
}

TEST(SkinButton, TransparentButtonShowsTheParentWhereverTheFaceIsMagenta) {
    MainWindowButton fixture;
    const QImage transparent = shot(*fixture.button);
    fixture.button->SetTransparent(false);
    fixture.button->SetColor(0x123456);
    const QRgb fill = toQColor(0x123456).rgb() & 0xFFFFFF;
    const QImage opaque = shot(*fixture.button);
    int background = 0;
    for (int y = 0; y < 41; ++y) {
        for (int x = 0; x < 97; ++x) {
            const QRgb under = opaque.pixel(x, y) & 0xFFFFFF;
            const QRgb got = rgbAt(transparent, x, y);
            ASSERT_NE(got, magenta) << x << "," << y;
            if (under == magenta || under == fill) {
                ASSERT_EQ(got, PatternParent::patternAt(104 + x, 32 + y) & 0xFFFFFF)
                    << x << "," << y;
                ++background;
            } else {
                ASSERT_EQ(got, under) << x << "," << y;
            }
        }
    }
    // Above the bar, below the shadow and around the rounded ends.
    EXPECT_GT(background, 3 * 97 + 97);
    EXPECT_EQ(rgbAt(transparent, 48, 0), PatternParent::patternAt(152, 32) & 0xFFFFFF);
    EXPECT_EQ(rgbAt(transparent, 48, 40), PatternParent::patternAt(152, 72) & 0xFFFFFF);
    EXPECT_EQ(rgbAt(transparent, 0, 3), PatternParent::patternAt(104, 35) & 0xFFFFFF);
}

TEST(SkinButton, FaceFollowsPointerAndPress) {
    MainWindowButton fixture;
    TskButton& button = *fixture.button;
    EXPECT_EQ(rgbAt(shot(button), 20, 3), 0x4A4A4Au);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.MouseInside());
    EXPECT_EQ(rgbAt(shot(button), 20, 3), 0x424295u);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button.Pressed());
    const QImage pressed = shot(button);
    EXPECT_EQ(rgbAt(pressed, 20, 4), 0x424295u);
    EXPECT_NE(rgbAt(pressed, 20, 3), 0x424295u);
    button.setEnabled(false);
    EXPECT_EQ(rgbAt(shot(button), 20, 3), 0x4A4A4Au);
}

TEST(SkinButton, HoldingTheButtonRepeatsUntilReleaseOrLeave) {
    MainWindowButton fixture;
    TskButton& button = *fixture.button;
    int repeats = 0;
    int clicks = 0;
    button.OnMouseContinuouslyDown = [&](QObject* sender) {
        EXPECT_EQ(sender, &button);
        ++repeats;
    };
    button.OnClick = [&](QObject*) { ++clicks; };

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(repeats >= 3, 5000);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.Pressed());
    EXPECT_FALSE(button.Repeating());
    int settled = repeats;
    QTest::qWait(350);
    EXPECT_EQ(repeats, settled);

    // Dragged off: released look, repeats go on until the pointer leaves.
    repeats = 0;
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(&button, QPoint(150, 10));
    QMouseEvent dragOut(QEvent::MouseMove, QPointF(150, 10), QPointF(150, 10), Qt::NoButton,
                        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &dragOut);
    EXPECT_FALSE(button.Pressed());
    EXPECT_FALSE(button.MouseInside());
    EXPECT_EQ(rgbAt(shot(button), 20, 3), 0x4A4A4Au);
    QTRY_VERIFY_WITH_TIMEOUT(repeats >= 2, 5000);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.Repeating());
    settled = repeats;
    QTest::qWait(300);
    EXPECT_EQ(repeats, settled);
    EXPECT_EQ(clicks, 1);

    // Dragged off and back, then released over the button: a click, and the
    // repeat ends with the release.
    repeats = 0;
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QApplication::sendEvent(&button, &dragOut);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button.Repeating());

    // The repeat handler may itself end the hold.
    repeats = 0;
    button.OnMouseContinuouslyDown = [&](QObject*) {
        ++repeats;
        QEvent leaveNow(QEvent::Leave);
        QApplication::sendEvent(&button, &leaveNow);
    };
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(repeats == 1, 5000);
    EXPECT_FALSE(button.Repeating());
    QTest::qWait(250);
    EXPECT_EQ(repeats, 1);

    // A period of 0 or less never fires.
    button.SetMouseContinuouslyDownInterval(-5);
    repeats = 0;
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button.Repeating());
    QTest::qWait(300);
    EXPECT_EQ(repeats, 0);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
}

TEST(SkinButton, EnterEscapeAndAcceleratorsReachTheRightButton) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* start = new TskButton(&window);
    auto* stop = new TskButton(&window);
    auto* settings = new TskButton(&window);
    start->SetCaption("Start");
    start->SetDefault(true);
    stop->SetCaption("&Stop");
    settings->SetCaption("Settings");
    settings->SetCancel(true);
    start->move(0, 40);
    stop->move(90, 40);
    settings->move(180, 40);
    QStringList clicked;
    for (TskButton* button : {start, stop, settings}) {
        button->OnClick = [&clicked, button](QObject*) { clicked << button->Caption(); };
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicked, QStringList({"Start"}));
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(clicked.size(), 1);

    stop->setFocus();
    QTRY_VERIFY(stop->hasFocus());
    EXPECT_TRUE(stop->ActiveDefault());
    EXPECT_FALSE(start->ActiveDefault());
    QTest::keyClick(stop, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicked.last(), "&Stop");
    QTest::keyClick(stop, Qt::Key_Escape);
    EXPECT_EQ(clicked.last(), "Settings");
    // Space: key down, the typed blank, key up, then the click.
    QStringList keys;
    stop->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        keys << QStringLiteral("down %1").arg(key);
    };
    stop->OnKeyPress = [&](QObject*, QChar& key) { keys << QStringLiteral("press '%1'").arg(key); };
    stop->OnKeyUp = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        keys << QStringLiteral("up %1").arg(key);
    };
    QTest::keyClick(stop, Qt::Key_Space);
    EXPECT_EQ(clicked.last(), "&Stop");
    EXPECT_EQ(clicked.size(), 4);
    EXPECT_EQ(keys, QStringList({QStringLiteral("down %1").arg(Qt::Key_Space), "press ' '",
                                 QStringLiteral("up %1").arg(Qt::Key_Space)}));
    // A key-down handler that swallows the key leaves the button unpressed.
    stop->OnKeyDown = [](QObject*, int& key, Qt::KeyboardModifiers) { key = 0; };
    QTest::keyClick(stop, Qt::Key_Space);
    EXPECT_EQ(clicked.size(), 4);
    EXPECT_FALSE(stop->Pressed());
    stop->OnKeyDown = nullptr;
    stop->OnKeyPress = nullptr;
    stop->OnKeyUp = nullptr;

    edit->setFocus();
    QTRY_VERIFY(start->ActiveDefault());
    QTest::keyClick(edit, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicked.last(), "&Stop");
    stop->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicked.size(), 5);

    // A plain character is an accelerator when the focused control does not
    // take it; the text entry does, and a hidden button never answers.
    stop->setEnabled(true);
    start->setFocus();
    QTRY_VERIFY(start->hasFocus());
    QTest::keyClick(start, Qt::Key_S);
    EXPECT_EQ(clicked.size(), 6);
    EXPECT_EQ(clicked.last(), "&Stop");
    // The capital letter is the same accelerator; Ctrl makes it no character.
    QTest::keyClick(start, Qt::Key_S, Qt::ShiftModifier);
    EXPECT_EQ(clicked.size(), 7);
    QTest::keyClick(start, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(clicked.size(), 7);
    clicked.removeLast();
    QTest::keyClick(edit, Qt::Key_S);
    EXPECT_EQ(clicked.size(), 6);
    stop->hide();
    QTest::keyClick(start, Qt::Key_S);
    EXPECT_EQ(clicked.size(), 6);
    stop->show();
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    // Taking Default away hands Enter to nobody.
    start->SetDefault(false);
    EXPECT_FALSE(start->ActiveDefault());
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicked.size(), 6);
}

TEST(SkinButton, ModalResultClosesTheDialog) {
    QDialog dialog;
    auto* ok = new TskButton(&dialog);
    auto* apply = new TskButton(&dialog);
    apply->move(90, 0);
    ok->SetModalResult(QDialog::Accepted + 1);
    dialog.open();
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.property("ModalResult").toInt(), 0);
    // The click handler runs while the dialog is still shown, and may keep it
    // open by clearing the modal result.
    bool shownDuringClick = false;
    bool refuse = true;
    ok->OnClick = [&](QObject*) {
        shownDuringClick = dialog.isVisible();
        if (refuse) {
            dialog.setProperty("ModalResult", 0);
        }
    };
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(shownDuringClick);
    EXPECT_TRUE(dialog.isVisible());
    refuse = false;
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(shownDuringClick);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted + 1);

    // A dialog that is not shown modally only takes the value.
    dialog.setWindowModality(Qt::NonModal);
    dialog.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.property("ModalResult").toInt(), QDialog::Accepted + 1);
}

TEST(SkinButton, StyleDecidesTransparencyAutoSizeAndStartValues) {
    QWidget window;
    TskButton fresh(&window);
    EXPECT_EQ(fresh.size(), QSize(80, 27));
    EXPECT_EQ(fresh.UIStyle(), TskUIStyle::DeepBlue);
    EXPECT_FALSE(fresh.Transparent());
    EXPECT_EQ(fresh.Spacing(), 4);
    EXPECT_EQ(fresh.FocusedRectMargin(), 2);
    EXPECT_EQ(fresh.MouseContinuouslyDownInterval(), 100);
    EXPECT_EQ(fresh.Layout(), TButtonLayout::blGlyphLeft);
    EXPECT_TRUE(fresh.TabStop());
    fresh.SetResHandle(7);
    EXPECT_EQ(fresh.ResHandle(), 0u);
    // Visible and Enabled are the button's own settings, also while its
    // window is not shown or is disabled.
    EXPECT_TRUE(fresh.Visible());
    EXPECT_TRUE(fresh.Enabled());
    fresh.SetVisible(false);
    EXPECT_FALSE(fresh.Visible());
    fresh.SetVisible(true);
    EXPECT_TRUE(fresh.Visible());
    window.setEnabled(false);
    EXPECT_TRUE(fresh.Enabled());
    EXPECT_FALSE(fresh.isEnabled());
    fresh.SetEnabled(false);
    window.setEnabled(true);
    EXPECT_FALSE(fresh.Enabled());
    fresh.SetEnabled(true);

    fresh.SetUIStyle(TskUIStyle::BlueGlass);
    EXPECT_TRUE(fresh.Transparent());
    fresh.SetUIStyle(TskUIStyle::DeepBlue);
    EXPECT_FALSE(fresh.Transparent());
    fresh.SetUIStyle(TskUIStyle::MacOS);
    EXPECT_TRUE(fresh.Transparent());

    fresh.SetUIStyle(TskUIStyle::BlueGlass);
    fresh.SetAutoSize(true);
    EXPECT_EQ(fresh.size(), QSize(77, 27));
    TskButton themed(&window);
    themed.SetUIStyle(TskUIStyle::FromThemeFile);
    themed.SetAutoSize(true);
    EXPECT_EQ(themed.size(), QSize(24, 21));

    // While loading, values are only stored.
    TskButton loading(&window);
    loading.BeginLoading();
    loading.SetUIStyle(TskUIStyle::BlueGlass);
    loading.SetAutoSize(true);
    loading.SetDefault(true);
    EXPECT_EQ(loading.size(), QSize(80, 27));
    EXPECT_FALSE(loading.ActiveDefault());
    loading.EndLoading();
    EXPECT_EQ(loading.size(), QSize(77, 27));
    EXPECT_TRUE(loading.ActiveDefault());
    EXPECT_TRUE(loading.Transparent());
}

TEST(SkinButton, CaptionIsEmbossedWhenDisabledAndShiftedWhenPressed) {
    QWidget window;
    window.resize(200, 100);
    TskButton button(&window);
    button.resize(97, 41);
    button.SetCaption("Stop");
    const QImage enabled = shot(button);
    EXPECT_GT(countPixels(enabled, 0x000000), 10);

    button.setEnabled(false);
    // The face's black outline aside, no pixel is left in the caption colour.
    const QRect inside(2, 2, 93, 37);
    const QImage disabled = shot(button);
    EXPECT_EQ(countPixels(disabled.copy(inside), 0x000000), 0);
    bool embossed = false;
    for (int y = 0; y + 1 < 41 && !embossed; ++y) {
        for (int x = 0; x + 1 < 97 && !embossed; ++x) {
            embossed =
                rgbAt(disabled, x, y) == 0x808080 && rgbAt(disabled, x + 1, y + 1) == 0xFFFFFF;
        }
    }
    EXPECT_TRUE(embossed);
    button.setEnabled(true);

    // Pressed: every caption pixel moves one right and one down.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(2, 2));
    const QImage pressed = shot(button);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(2, 2));
    for (int y = inside.top(); y < inside.bottom(); ++y) {
        for (int x = inside.left(); x < inside.right(); ++x) {
            if (rgbAt(enabled, x, y) == 0) {
                ASSERT_EQ(rgbAt(pressed, x + 1, y + 1), 0u) << x << "," << y;
            }
        }
    }

    button.SetCaption("   ");
    const QImage blanks = shot(button);
    button.SetCaption("");
    EXPECT_EQ(blanks, shot(button));
}

TEST(SkinButton, FocusCueIsBoldForBlueGlassAndADottedRectangleForDeepBlue) {
    QWidget window;
    window.setPalette(QPalette(toQColor(clBtnFace)));
    auto* glass = new TskButton(&window);
    glass->SetUIStyle(TskUIStyle::BlueGlass);
    glass->setGeometry(10, 10, 97, 41);
    glass->SetCaption("Start");
    auto* deep = new TskButton(&window);
    deep->SetUIStyle(TskUIStyle::DeepBlue);
    deep->setGeometry(120, 10, 97, 41);
    deep->SetCaption("Stop");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    deep->setFocus();
    QTRY_VERIFY(deep->hasFocus());
    const QImage glassPlain = shot(*glass);
    glass->setFocus();
    QTRY_VERIFY(glass->hasFocus());
    const QImage glassFocused = shot(*glass);
    EXPECT_GT(countPixels(glassFocused, 0), countPixels(glassPlain, 0));
    // Bold only: no rectangle along the margin.
    for (int x = 2; x < 95; ++x) {
        EXPECT_EQ(glassFocused.pixel(x, 2), glassPlain.pixel(x, 2));
    }

    const QImage deepPlain = shot(*deep);
    deep->setFocus();
    QTRY_VERIFY(deep->hasFocus());
    const QImage deepFocused = shot(*deep);
    int changedOnRing = 0;
    for (int x = 2; x <= 94; ++x) {
        changedOnRing += deepFocused.pixel(x, 2) != deepPlain.pixel(x, 2) ? 1 : 0;
        changedOnRing += deepFocused.pixel(x, 38) != deepPlain.pixel(x, 38) ? 1 : 0;
        EXPECT_EQ(deepFocused.pixel(x, 1), deepPlain.pixel(x, 1));
        EXPECT_EQ(deepFocused.pixel(x, 3), deepPlain.pixel(x, 3));
    }
    for (int y = 2; y <= 38; ++y) {
        changedOnRing += deepFocused.pixel(2, y) != deepPlain.pixel(2, y) ? 1 : 0;
        changedOnRing += deepFocused.pixel(94, y) != deepPlain.pixel(94, y) ? 1 : 0;
    }
    // Every other pixel of the ring is inverted.
    EXPECT_NEAR(changedOnRing, (93 * 2 + 37 * 2) / 2, 4);
    EXPECT_NE(deepFocused.pixel(2, 2), deepPlain.pixel(2, 2));
    EXPECT_EQ(deepFocused.pixel(3, 2), deepPlain.pixel(3, 2));
}

TEST(SkinButton, GlyphSitsBesideTheCaptionAndSwitchesFrames) {
    QWidget window;
    TskButton button(&window);
    button.SetUIStyle(TskUIStyle::DeepBlue);
    button.resize(97, 41);
    QImage glyph(32, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            glyph.setPixel(x, y, x < 16 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
        }
    }
    glyph.setPixel(0, 0, qRgb(1, 2, 3));
    button.SetGlyph(glyph);
    // No caption: the 16 x 16 frame is centred with the spacing on its right.
    const int left = (97 - (0 + 16 + 4)) / 2;
    const int top = (41 - 16) / 2;
    auto glyphBox = [](const QImage& image, QRgb colour) {
        QRect box;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (rgbAt(image, x, y) == colour) {
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
        return box;
    };
    QImage image = shot(button);
    EXPECT_EQ(glyphBox(image, 0xFF0000), QRect(left, top, 16, 16));
    EXPECT_NE(rgbAt(image, left, top), 0x010203u);
    EXPECT_EQ(glyphBox(image, 0x00FF00), QRect());
    button.setEnabled(false);
    image = shot(button);
    EXPECT_EQ(glyphBox(image, 0x00FF00), QRect(left, top, 16, 16));
    button.setEnabled(true);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(glyphBox(shot(button), 0xFF0000), QRect(left + 1, top + 1, 16, 16));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(2, 2));

    button.SetLayout(TButtonLayout::blGlyphBottom);
    button.SetCaption("Go");
    const int th = textHeight(button.font(), "Go");
    const int tw = textWidth(button.font(), "Go");
    const int bottomTop = (41 + th + 4 - 16) / 2;
    EXPECT_EQ(glyphBox(shot(button), 0xFF0000), QRect((97 - 16) / 2, bottomTop, 16, 16));
    EXPECT_EQ(button.CaptionOrigin(), QPoint((97 - tw) / 2, bottomTop - th - 4));

    // Right of the caption and above it, with a wider spacing.
    button.SetSpacing(7);
    button.SetLayout(TButtonLayout::blGlyphRight);
    const int rightLeft = (97 + tw + 7 - 16) / 2;
    image = shot(button);
    EXPECT_EQ(glyphBox(image, 0xFF0000), QRect(rightLeft, top, 16, 16));
    EXPECT_EQ(button.CaptionOrigin(), QPoint(rightLeft - tw - 7, (41 - th) / 2));
    // The caption is drawn from its origin, left of the glyph.
    const QRect caption = glyphBox(image.copy(2, 2, rightLeft - 2, 37), 0x000000).translated(2, 2);
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_GE(caption.left(), rightLeft - tw - 7);
    EXPECT_LT(caption.right(), rightLeft - 7);
    button.SetLayout(TButtonLayout::blGlyphTop);
    const int topTop = (41 - (th + 16 + 7)) / 2;
    EXPECT_EQ(glyphBox(shot(button), 0xFF0000), QRect((97 - 16) / 2, topTop, 16, 16));
    EXPECT_EQ(button.CaptionOrigin(), QPoint((97 - tw) / 2, topTop + 16 + 7));
}

TEST(SkinButton, ThemeFileLooksAreUsedReappliedAndDropped) {
    QTemporaryDir dir;
    QImage strip(30, 7, QImage::Format_RGB32);
    strip.fill(qRgb(200, 10, 10));
    const QString opaqueTheme =
        writeFile(dir, "opaque.skn",
                  themeFileBytes({{"ButtonImage", 0, bmpBytes(strip)},
                                  {"ButtonTransparentBool", 2, QByteArray(1, '\0')}}));
    const QString glassTheme =
        writeFile(dir, "glass.skn",
                  themeFileBytes({{"ButtonImage", 0, bmpBytes(strip)},
                                  {"ButtonTransparentBool", 2, QByteArray(1, '\x01')}}));
    const QString badTheme =
        writeFile(dir, "bad.skn", themeFileBytes({{"ButtonImage", 0, QByteArray("BMxx")}}));

    QWidget window;
    auto* theme = new TskFileTheme(&window);
    auto* button = new TskButton(&window);
    button->resize(40, 20);
    button->SetUIStyle(TskUIStyle::FromThemeFile);
    button->SetFileTheme(theme);
    // No file yet: the fallback style's opaque face.
    EXPECT_FALSE(button->Transparent());
    theme->SetThemeFile(glassTheme);
    EXPECT_TRUE(button->Transparent());
    EXPECT_EQ(rgbAt(shot(*button), 20, 10), 0xC80A0Au);
    theme->SetThemeFile(opaqueTheme);
    EXPECT_FALSE(button->Transparent());

    // An image that does not decode: the blank face is stretched instead.
    theme->SetThemeFile(badTheme);
    ASSERT_TRUE(theme->CanUse());
    const QImage blank = shot(*button);
    EXPECT_EQ(rgbAt(blank, 20, 10), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(blank, 0, 0), 0xFFFFFFu);

    delete theme;
    EXPECT_EQ(button->FileTheme(), nullptr);
    EXPECT_EQ(button->UIStyle(), TskUIStyle::DeepBlue);
}

// A theme without a button image is no failure: the face stays empty, so only
// the background and the caption are drawn, in every state.
TEST(SkinButton, AThemeWithoutAButtonImageDrawsBackgroundAndCaptionOnly) {
    QTemporaryDir dir;
    const QString faceless = writeFile(
        dir, "faceless.skn", themeFileBytes({{"ButtonTransparentBool", 2, QByteArray(1, '\0')}}));
    QWidget window;
    auto* theme = new TskFileTheme(&window);
    theme->SetThemeFile(faceless);
    ASSERT_TRUE(theme->CanUse());
    auto* button = new TskButton(&window);
    button->resize(60, 24);
    button->SetUIStyle(TskUIStyle::FromThemeFile);
    button->SetFileTheme(theme);
    button->SetColor(0x00336699);
    const QRgb background = toQColor(0x00336699).rgb() & 0xFFFFFF;

    EXPECT_EQ(countPixels(shot(*button), background), 60 * 24);
    button->SetCaption(QStringLiteral("Go"));
    const QImage captioned = shot(*button);
    const int backgroundPixels = countPixels(captioned, background);
    EXPECT_LT(backgroundPixels, 60 * 24) << "the caption is drawn";
    EXPECT_GT(backgroundPixels, 60 * 24 * 3 / 4);
    EXPECT_EQ(countPixels(captioned, 0xFFFFFF), 0);
    button->setEnabled(false);
    EXPECT_EQ(rgbAt(shot(*button), 1, 1), background);
}

TEST(SkinButton, AnAttachedActionGivesCaptionStateGlyphAndClick) {
    QWidget window;
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    QAction action(QIcon(picture), "&Run", nullptr);
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
    TskButton button(&window);
    button.SetAction(&action);
    EXPECT_EQ(button.Caption(), "&Run");
    EXPECT_EQ(button.Glyph().size(), QSize(16, 16));
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(triggered, 1);
    action.setText("Halt");
    action.setEnabled(false);
    EXPECT_EQ(button.Caption(), "Halt");
    EXPECT_FALSE(button.isEnabled());
    // OnClick, once assigned, is what a click runs.
    action.setEnabled(true);
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(triggered, 1);
}
