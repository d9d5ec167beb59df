#include "platform/drawing/DrawText.h"
#include "tests/widgets/instrument/InstrumentTestSupport.h"
#include "widgets/instrument/iLabel.h"
#include "widgets/instrument/iLedRectangle.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace instrument_test;

namespace {

void expectSunkenEdge(const QImage& image) {
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    EXPECT_EQ(pixel(image, 0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(image, 1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixel(image, right, bottom), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixel(image, right - 1, bottom - 1), ColorToRGB(cl3DLight));
}

// The label of the main window: bold 16-pixel "MS Sans Serif", left, no wrap.
void configureAsMainWindowLabel(TiLabel& label, const QString& caption) {
    label.Font().Assign(TFont(QStringLiteral("MS Sans Serif"), -16, fsBold));
    label.SetCaption(caption);
}

} // namespace

TEST(LedRectangle, RelayLampLitAndDark) {
    TiLedRectangle lamp;
    lamp.SetBounds(0, 0, 36, 36);
    lamp.SetActive(true);
    QImage image = render(lamp);
    EXPECT_EQ(pixel(image, 18, 18), 0x00FF00u);
    EXPECT_EQ(pixel(image, 2, 3), 0x00FF00u);
    EXPECT_EQ(pixel(image, 3, 3), clWhite);
    EXPECT_EQ(pixel(image, 4, 3), clWhite);
    EXPECT_EQ(pixel(image, 5, 3), 0x00FF00u);
    EXPECT_EQ(pixel(image, 3, 4), 0x00FF00u);
    EXPECT_EQ(countColor(image, clWhite), 2 + 36 + 36 - 1)
        << "the reflection plus the edge's highlight along the bottom and right";
    expectSunkenEdge(image);

    lamp.SetActive(false);
    image = render(lamp);
    EXPECT_EQ(pixel(image, 18, 18), 0x005500u);
    EXPECT_EQ(pixel(image, 3, 3), clWhite);
    EXPECT_EQ(pixel(image, 4, 3), clWhite);
    expectSunkenEdge(image);

    lamp.SetAutoInactiveColor(false);
    lamp.SetInactiveColor(0x000080);
    lamp.SetActiveColor(clYellow);
    EXPECT_EQ(pixel(render(lamp), 18, 18), 0x000080u);

    lamp.SetShowReflection(false);
    lamp.SetBevelStyle(ibsRaised);
    image = render(lamp);
    EXPECT_EQ(pixel(image, 3, 3), 0x000080u);
    EXPECT_EQ(pixel(image, 0, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(pixel(image, 35, 35), ColorToRGB(cl3DDkShadow));
    lamp.SetBevelStyle(ibsNone);
    EXPECT_EQ(pixel(render(lamp), 0, 0), 0x000080u);
}

TEST(LedRectangle, ActiveFiresOnChangeOncePerChange) {
    TiLedRectangle lamp;
    EXPECT_EQ(lamp.size(), QSize(20, 20));
    int changes = 0;
    bool activeSeen = false;
    lamp.OnChange = [&](QObject* sender) {
        ++changes;
        activeSeen = static_cast<TiLed*>(sender)->Active();
    };
    lamp.SetActive(true);
    lamp.SetActive(true);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(activeSeen) << "fired after the state is stored";
    lamp.SetActive(false);
    EXPECT_EQ(changes, 2);
}

TEST(LedRectangle, CaptionColourPlacementAndBlanks) {
    TiLedRectangle lamp;
    lamp.SetBounds(0, 0, 36, 36);
    lamp.SetShowReflection(false);
    lamp.SetCenterLabelText(QStringLiteral("   "));
    lamp.SetActive(true);
    const QRect inside(2, 2, 32, 32);
    EXPECT_EQ(countColor(render(lamp), 0x00FF00, inside), 32 * 32) << "blanks draw nothing";

    lamp.SetCenterLabelText(QStringLiteral("ON"));
    QImage image = render(lamp);
    const QRect lit = inkBox(image, 0x00FF00, inside);
    ASSERT_FALSE(lit.isEmpty());
    EXPECT_EQ(countColor(image, clBlack, inside) + countColor(image, 0x00FF00, inside), 32 * 32)
        << "black on the lit lamp";
    const int lineHeight = textHeight(lamp.CenterLabelFont().toQFont(), QStringLiteral("ON"));
    const int top = 18 - lineHeight / 2;
    EXPECT_GE(lit.top(), top);
    EXPECT_LT(lit.bottom(), top + lineHeight);
    EXPECT_LE(std::abs((lit.left() + lit.right() + 1) - 36), 2) << "centred";

    lamp.SetActive(false);
    image = render(lamp);
    const QRect dark = inkBox(image, 0x005500, inside);
    EXPECT_EQ(dark, lit);
    EXPECT_EQ(countColor(image, clWhite, inside) + countColor(image, 0x005500, inside), 32 * 32)
        << "white on the dark lamp";

    // The glyphs' own left bearing, from the centred drawing.
    const int width = textWidth(lamp.CenterLabelFont().toQFont(), QStringLiteral("ON"));
    const int bearing = lit.left() - (7 + 29 - width) / 2;
    lamp.SetCenterLabelAlignment(iahLeft);
    EXPECT_EQ(inkBox(render(lamp), 0x005500, inside).left(), 7 + bearing)
        << "left alignment starts at the ends margin plus 2";
    lamp.SetCenterLabelAlignment(iahRight);
    EXPECT_EQ(inkBox(render(lamp), 0x005500, inside).left(), 29 - width + bearing);
}

TEST(Label, MainWindowCaptionOnTheButtonFace) {
    QWidget form;
    TiLabel label(&form);
    label.BeginLoading();
    label.SetBounds(40, 16, 34, 20);
    configureAsMainWindowLabel(label, QStringLiteral("地址"));
    label.EndLoading();
    EXPECT_EQ(label.geometry(), QRect(40, 16, 34, 20)) << "the stored size stays";
    EXPECT_FALSE(label.focusPolicy() & Qt::TabFocus);

    const QImage image = render(label);
    const QRect ink = inkBox(image, ColorToRGB(clBtnFace));
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_EQ(countColor(image, ColorToRGB(clBtnFace)) + countColor(image, clBlack), 34 * 20);
    const int lineHeight = textHeight(label.Font().toQFont(), label.Caption());
    const int top = (20 - lineHeight) / 2;
    EXPECT_LE(ink.left(), 2) << "left-aligned";
    EXPECT_GE(ink.top(), top) << "vertically centred";
    EXPECT_LT(ink.bottom(), top + lineHeight);

    // A change of the caption sizes the label to the text.
    label.SetCaption(QStringLiteral("继电器"));
    EXPECT_EQ(label.Width(), textWidth(label.Font().toQFont(), QStringLiteral("继电器")));
    EXPECT_EQ(label.Height(), lineHeight);
    const int repaints = label.RepaintCount();
    const QSize size = label.size();
    label.SetCaption(QStringLiteral("继电器"));
    EXPECT_EQ(label.RepaintCount(), repaints);
    EXPECT_EQ(label.size(), size);
}

TEST(Label, FrameAndShadowGrowTheLabelAndMoveTheText) {
    TiLabel label;
    configureAsMainWindowLabel(label, QStringLiteral("Hi"));
    const QSize plain = label.size();
    const QRect plainInk = inkBox(render(label), ColorToRGB(clBtnFace));

    label.SetBorderStyle(ilbsSingle);
    EXPECT_EQ(label.size(), plain + QSize(2, 2));
    QImage image = render(label);
    EXPECT_EQ(pixel(image, 0, 0), ColorToRGB(clWindowFrame));
    EXPECT_EQ(pixel(image, label.Width() - 1, label.Height() - 1), ColorToRGB(clWindowFrame));
    EXPECT_EQ(pixel(image, 1, 1), ColorToRGB(clBtnFace));
    const QRect framedInk =
        inkBox(image, ColorToRGB(clBtnFace), QRect(1, 1, plain.width(), plain.height()));
    EXPECT_EQ(framedInk, plainInk.translated(1, 1)) << "caption inset by one pixel";

    label.SetBorderStyle(ilbsLowered);
    EXPECT_EQ(label.size(), plain + QSize(4, 4));
    expectSunkenEdge(render(label));
    label.SetBorderStyle(ilbsNone);

    label.SetShadowShow(true);
    label.SetShadowXOffset(2);
    label.SetShadowYOffset(2);
    EXPECT_EQ(label.size(), plain + QSize(2, 2));
    image = render(label);
    const QRect black = colorBox(image, clBlack);
    const QRect grey = colorBox(image, clGray);
    EXPECT_EQ(black.left(), plainInk.left()) << "the caption keeps its x";
    EXPECT_EQ(grey.right(), black.right() + 2) << "the shadow 2 right of the caption";
    EXPECT_EQ(grey.bottom(), black.bottom() + 2) << "and 2 below it";

    label.SetShadowXOffset(-2);
    EXPECT_EQ(label.size(), plain + QSize(2, 2));
    image = render(label);
    const QRect blackMoved = colorBox(image, clBlack);
    const QRect greyStill = colorBox(image, clGray);
    EXPECT_EQ(blackMoved.right(), greyStill.right() + 2) << "caption 2 right of the shadow";
    EXPECT_EQ(blackMoved.top(), greyStill.top() - 2) << "and 2 above it";
}

TEST(Label, AlignmentWordWrapAndMargins) {
    TiLabel label;
    configureAsMainWindowLabel(label, QStringLiteral("Hi"));
    label.SetAutoSize(false);
    label.SetBounds(0, 0, 100, 30);
    const QRect left = inkBox(render(label), ColorToRGB(clBtnFace));
    label.SetAlignment(iahRight);
    const QRect right = inkBox(render(label), ColorToRGB(clBtnFace));
    label.SetAlignment(iahCenter);
    const QRect center = inkBox(render(label), ColorToRGB(clBtnFace));
    const int width = textWidth(label.Font().toQFont(), QStringLiteral("Hi"));
    EXPECT_EQ(right.left() - left.left(), 100 - width);
    EXPECT_EQ(center.left() - left.left(), (100 - width) / 2);

    label.SetAlignment(iahLeft);
    label.SetAutoSize(true);
    label.SetOuterMarginLeft(3);
    label.SetOuterMarginTop(4);
    label.SetOuterMarginRight(5);
    label.SetOuterMarginBottom(6);
    EXPECT_EQ(label.size(), QSize(width + 8, textHeight(label.Font().toQFont(), "Hi") + 10));

    label.SetOuterMarginLeft(0);
    label.SetOuterMarginTop(0);
    label.SetOuterMarginRight(0);
    label.SetOuterMarginBottom(0);
    label.SetAutoSize(false);
    label.SetWidth(textWidth(label.Font().toQFont(), QStringLiteral("Hello")) + 4);
    label.SetCaption(QStringLiteral("Hello world"));
    label.SetWordWrap(true);
    label.SetAutoSize(true);
    const int lineHeight = textHeight(label.Font().toQFont(), QStringLiteral("Hello"));
    EXPECT_EQ(label.Height(), 2 * lineHeight) << "wrapped onto two lines, width kept";
    const QRect wrapped = inkBox(render(label), ColorToRGB(clBtnFace));
    EXPECT_LT(wrapped.top(), lineHeight / 2) << "wrapped text starts at the top";
    EXPECT_GT(wrapped.bottom(), lineHeight);
}

TEST(Label, AcceleratorFocusesTheFocusControl) {
    QWidget form;
    form.resize(300, 100);
    TiLabel label(&form);
    configureAsMainWindowLabel(label, QStringLiteral("&Go"));
    const int literalWidth = label.Width();
    auto edit = std::make_unique<QLineEdit>(&form);
    edit->move(100, 0);
    QLineEdit other(&form);
    other.move(100, 40);
    form.show();
    QApplication::setActiveWindow(&form);
    other.setFocus();

    const QRect withAmpersand = inkBox(render(label), ColorToRGB(clBtnFace));
    QTest::keyClick(&other, Qt::Key_G, Qt::AltModifier);
    EXPECT_TRUE(other.hasFocus()) << "no focus control, no accelerator";

    label.SetFocusControl(edit.get());
    const QRect prefixed = inkBox(render(label), ColorToRGB(clBtnFace));
    EXPECT_LT(prefixed.width(), withAmpersand.width()) << "the ampersand is hidden";
    EXPECT_GT(prefixed.bottom(), withAmpersand.bottom()) << "G is underlined";
    EXPECT_EQ(label.Width(), literalWidth);

    QTest::keyClick(&other, Qt::Key_G, Qt::AltModifier);
    EXPECT_TRUE(edit->hasFocus());

    // A plain G that the focused control leaves alone is a dialog character:
    // a push button does not take letters, an edit does.
    QPushButton button(QStringLiteral("Button"), &form);
    button.move(200, 40);
    button.show();
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    QTest::keyClick(&button, Qt::Key_G);
    EXPECT_TRUE(edit->hasFocus());
    other.setFocus();
    other.clear();
    QTest::keyClick(&other, Qt::Key_G);
    EXPECT_TRUE(other.hasFocus());
    EXPECT_EQ(other.text(), QStringLiteral("g"));

    label.setEnabled(false);
    QTest::keyClick(&other, Qt::Key_G, Qt::AltModifier);
    EXPECT_TRUE(other.hasFocus()) << "a disabled label passes nothing on";

    edit.reset();
    EXPECT_EQ(label.FocusControl(), nullptr);
    render(label);
}

TEST(Label, AcceleratorWorksOnAPanelThatJoinedTheWindowLater) {
    // Windows are often built inside out: the label and its control sit on a
    // panel that is placed on the form afterwards.
    QWidget form;
    form.resize(300, 100);
    auto* panel = new QWidget;
    auto* label = new TiLabel(panel);
    configureAsMainWindowLabel(*label, QStringLiteral("&Value"));
    auto* edit = new QLineEdit(panel);
    edit->move(100, 0);
    label->SetFocusControl(edit);
    panel->setParent(&form);
    panel->resize(300, 100);
    panel->setVisible(true); // shown with the form
    QPushButton button(QStringLiteral("Button"), &form);
    button.move(200, 60);
    form.show();
    QApplication::setActiveWindow(&form);
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());

    QTest::keyClick(&button, Qt::Key_V);
    EXPECT_TRUE(edit->hasFocus()) << "the plain accelerator key reached the label";
}
