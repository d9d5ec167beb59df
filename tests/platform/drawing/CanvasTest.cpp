#include "platform/drawing/Canvas.h"
#include "platform/drawing/Color.h"
#include "platform/drawing/DrawText.h"
#include "platform/drawing/Edges.h"
#include "platform/drawing/Fonts.h"

#include <QFontInfo>
#include <QImage>
#include <gtest/gtest.h>

namespace {

TColor pixelAt(const QImage& image, int x, int y) {
    return fromQColor(image.pixelColor(x, y));
}

// Bounding box of every pixel that differs from `background`.
QRect inkBox(const QImage& image, QColor background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

QImage whiteImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QFont testFont() {
    return makeFont(QStringLiteral("MS Sans Serif"), -16, true);
}

// Draws text into a 120 × 60 white image at rectangle `rect`, in black.
QImage drawnText(const QString& text, const QRect& rect, unsigned format, int* height = nullptr) {
    QImage image = whiteImage(120, 60);
    QPainter painter(&image);
    setPixelExact(painter);
    painter.setFont(testFont());
    painter.setPen(Qt::black);
    const int result = DrawTextInRect(painter, text, rect, format);
    if (height) {
        *height = result;
    }
    return image;
}

} // namespace

TEST(Edges, RaisedAndSunkenRingsTakeTheirColoursFromTheSystemRoles) {
    QImage image = whiteImage(10, 8);
    {
        QPainter painter(&image);
        DrawEdge(painter, QRect(0, 0, 10, 8), Edge::Raised, Edge::Rect);
    }
    // Outer ring: 3-D light top-left, dark shadow bottom-right (owning the
    // far corners); inner ring: highlight top-left, shadow bottom-right.
    EXPECT_EQ(pixelAt(image, 0, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(pixelAt(image, 8, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(pixelAt(image, 9, 0), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixelAt(image, 0, 7), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixelAt(image, 9, 7), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixelAt(image, 1, 1), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixelAt(image, 1, 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixelAt(image, 8, 1), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixelAt(image, 1, 6), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixelAt(image, 2, 2), clWhite) << "the inside stays untouched";

    // A distinct palette makes every role tell apart from the others.
    SystemColors::setRole(SystemColorIndex::Light3D, 0x0000A0);
    QImage sunken = whiteImage(10, 8);
    {
        QPainter painter(&sunken);
        DrawEdge(painter, QRect(0, 0, 10, 8), Edge::Sunken, Edge::Rect);
    }
    SystemColors::resetToClassic();
    EXPECT_EQ(pixelAt(sunken, 0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixelAt(sunken, 9, 0), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixelAt(sunken, 4, 7), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixelAt(sunken, 1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixelAt(sunken, 8, 3), 0x0000A0u);
    EXPECT_EQ(pixelAt(sunken, 3, 6), 0x0000A0u);
}

TEST(Edges, SidesMiddleAndAdjust) {
    QImage image = whiteImage(10, 8);
    QRect rect(0, 0, 10, 8);
    {
        QPainter painter(&image);
        DrawEdge(painter, rect, Edge::Sunken, Edge::Top | Edge::Middle | Edge::Adjust);
    }
    EXPECT_EQ(pixelAt(image, 4, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixelAt(image, 4, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixelAt(image, 9, 5), ColorToRGB(clBtnFace)) << "no right edge, face fill instead";
    EXPECT_EQ(pixelAt(image, 0, 7), ColorToRGB(clBtnFace)) << "no bottom edge";
    EXPECT_EQ(rect, QRect(0, 2, 10, 6)) << "only the top side shrinks";

    QImage tiny = whiteImage(3, 3);
    QPainter painter(&tiny);
    DrawEdge(painter, QRect(0, 0, 0, -4), Edge::Raised, Edge::Rect | Edge::Middle);
    DrawEdge(painter, QRect(0, 0, 1, 1), Edge::Raised, Edge::Rect | Edge::Middle);
    painter.end();
    EXPECT_EQ(pixelAt(tiny, 0, 0), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(pixelAt(tiny, 1, 1), clWhite);
}

TEST(Edges, FocusRectInvertsAlternatePixelsOnceAndTwiceRestores) {
    QImage image = whiteImage(8, 6);
    image.setPixelColor(2, 0, QColor(0x12, 0x34, 0x56));
    const QImage before = image;
    {
        QPainter painter(&image);
        DrawFocusRect(painter, QRect(0, 0, 7, 5));
    }
    EXPECT_EQ(pixelAt(image, 0, 0), clBlack);
    EXPECT_EQ(pixelAt(image, 1, 0), clWhite);
    EXPECT_EQ(pixelAt(image, 2, 0), rgbColor(0xFF - 0x12, 0xFF - 0x34, 0xFF - 0x56));
    EXPECT_EQ(pixelAt(image, 6, 0), clBlack) << "corner inverted once, not twice";
    EXPECT_EQ(pixelAt(image, 6, 4), clBlack);
    EXPECT_EQ(pixelAt(image, 0, 1), clWhite);
    EXPECT_EQ(pixelAt(image, 0, 2), clBlack);
    EXPECT_EQ(pixelAt(image, 3, 2), clWhite) << "the inside is untouched";
    EXPECT_EQ(pixelAt(image, 7, 0), clWhite) << "outside the rectangle";
    {
        QPainter painter(&image);
        DrawFocusRect(painter, QRect(0, 0, 7, 5));
    }
    EXPECT_EQ(image, before);
}

TEST(DrawText, HorizontalAndSingleLineVerticalPlacement) {
    const QRect rect(10, 10, 100, 40);
    const int width = textWidth(testFont(), QStringLiteral("Hi"));
    const int lineHeight = textHeight(testFont(), QStringLiteral("Hi"));

    const QRect left = inkBox(drawnText("Hi", rect, TextFormat::Left), Qt::white);
    const QRect center = inkBox(drawnText("Hi", rect, TextFormat::Center), Qt::white);
    const QRect right = inkBox(drawnText("Hi", rect, TextFormat::Right), Qt::white);
    ASSERT_FALSE(left.isEmpty());
    const QImage glyphs = drawnText("Hi", rect, TextFormat::Left);
    for (int y = 0; y < glyphs.height(); ++y) {
        for (int x = 0; x < glyphs.width(); ++x) {
            const QColor color = glyphs.pixelColor(x, y);
            ASSERT_TRUE(color == Qt::white || color == Qt::black) << "text is not antialiased";
        }
    }
    EXPECT_EQ(center.left() - left.left(), (100 - width) / 2);
    EXPECT_EQ(right.left() - left.left(), 100 - width);
    EXPECT_EQ(left.top(), center.top());

    const QRect middle =
        inkBox(drawnText("Hi", rect, TextFormat::SingleLine | TextFormat::VCenter), Qt::white);
    const QRect bottom =
        inkBox(drawnText("Hi", rect, TextFormat::SingleLine | TextFormat::Bottom), Qt::white);
    EXPECT_EQ(middle.top() - left.top(), (40 - lineHeight) / 2);
    EXPECT_EQ(bottom.top() - left.top(), 40 - lineHeight);

    // Without the single-line flag, vertical centring has no effect.
    const QRect ignored = inkBox(drawnText("Hi", rect, TextFormat::VCenter), Qt::white);
    EXPECT_EQ(ignored.top(), left.top());

    // Text larger than its rectangle by an odd amount is centred from the
    // rectangle's own corner: left + (width - text width) / 2, rounded toward
    // zero, and the same downwards.
    const QRect tight(10, 10, width - 3, lineHeight - 3);
    const QImage centred = drawnText("Hi", tight,
                                     TextFormat::Center | TextFormat::VCenter |
                                         TextFormat::SingleLine | TextFormat::NoClip);
    const QImage placed =
        drawnText("Hi", QRect(10 - 1, 10 - 1, width, lineHeight), TextFormat::NoClip);
    EXPECT_EQ(inkBox(centred, Qt::white), inkBox(placed, Qt::white));
}

TEST(DrawText, WordBreakLineFeedsMeasureAndClip) {
    int height = 0;
    const QImage wrapped = drawnText("Hi Hi", QRect(0, 0, textWidth(testFont(), "Hi H"), 60),
                                     TextFormat::WordBreak, &height);
    const int lineHeight = textHeight(testFont(), "Hi");
    EXPECT_EQ(height, 2 * lineHeight);
    const QRect ink = inkBox(wrapped, Qt::white);
    EXPECT_GT(ink.bottom(), lineHeight) << "the second word went to the second line";
    EXPECT_LT(ink.right(), textWidth(testFont(), "Hi H"));

    int singleHeight = 0;
    drawnText("Hi\nHi", QRect(0, 0, 100, 60), TextFormat::SingleLine, &singleHeight);
    EXPECT_EQ(singleHeight, lineHeight);
    int feedHeight = 0;
    drawnText("Hi\r\nHi\nHi", QRect(0, 0, 100, 60), TextFormat::Left, &feedHeight);
    EXPECT_EQ(feedHeight, 3 * lineHeight);

    // Measure only: nothing drawn, the rectangle fitted round the text.
    QImage image = whiteImage(40, 40);
    QPainter painter(&image);
    painter.setFont(testFont());
    QRect measured(5, 6, 1000, 2);
    const int measuredHeight =
        DrawTextInRect(painter, QStringLiteral("Hi"), measured, TextFormat::CalcRect);
    painter.end();
    EXPECT_EQ(measuredHeight, lineHeight);
    EXPECT_EQ(measured, QRect(5, 6, textWidth(testFont(), "Hi"), lineHeight));
    EXPECT_TRUE(inkBox(image, Qt::white).isEmpty());

    // A rectangle narrower than the text clips unless told not to.
    const QRect clipped = inkBox(drawnText("WWWW", QRect(0, 0, 10, 40), 0), Qt::white);
    EXPECT_LE(clipped.right(), 9);
    const QRect spilled =
        inkBox(drawnText("WWWW", QRect(0, 0, 10, 40), TextFormat::NoClip), Qt::white);
    EXPECT_GT(spilled.right(), 9);
    EXPECT_TRUE(inkBox(drawnText("WWWW", QRect(0, 0, -5, 0), 0), Qt::white).isEmpty());
}

TEST(DrawText, PrefixHidesTheAmpersandAndUnderlinesTheNextCharacter) {
    const QRect rect(0, 0, 100, 40);
    const QImage plain = drawnText("Ab", rect, TextFormat::NoPrefix);
    const QImage prefixed = drawnText("&Ab", rect, 0);
    const QImage literal = drawnText("&Ab", rect, TextFormat::NoPrefix);
    const QRect plainInk = inkBox(plain, Qt::white);
    const QRect prefixedInk = inkBox(prefixed, Qt::white);
    EXPECT_EQ(prefixedInk.left(), plainInk.left());
    EXPECT_GT(prefixedInk.bottom(), plainInk.bottom()) << "underline below the baseline";
    EXPECT_GT(inkBox(literal, Qt::white).width(), plainInk.width()) << "ampersand printed";
    const int widthOfA = textWidth(testFont(), "A");
    const int underlineRow = prefixedInk.bottom();
    EXPECT_EQ(prefixed.pixelColor(widthOfA / 2, underlineRow), QColor(Qt::black));
    EXPECT_EQ(prefixed.pixelColor(widthOfA + 2, underlineRow), QColor(Qt::white))
        << "only the accelerator is underlined";

    EXPECT_EQ(drawnText("A&&b", rect, 0), drawnText("A&b", rect, TextFormat::NoPrefix));
    EXPECT_EQ(acceleratorOf(QStringLiteral("&File")), QLatin1Char('F'));
    EXPECT_EQ(acceleratorOf(QStringLiteral("Save && &quit")), QLatin1Char('q'));
    EXPECT_TRUE(acceleratorOf(QStringLiteral("A && B")).isNull());
    EXPECT_TRUE(acceleratorOf(QStringLiteral("trailing&")).isNull());
}

TEST(Fonts, FamiliesHeightsAndChangeNotification) {
    EXPECT_EQ(mapFontFamily(QStringLiteral("MS Sans Serif")), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(mapFontFamily(QStringLiteral("宋体")), QStringLiteral("WenQuanYi Zen Hei"));
    EXPECT_EQ(mapFontFamily(QStringLiteral("Liberation Mono")), QStringLiteral("Liberation Mono"));
    EXPECT_EQ(makeFont(QStringLiteral("MS Sans Serif"), -11).pixelSize(), 11);
    EXPECT_EQ(makeFont(QStringLiteral("宋体"), -24, true).pixelSize(), 24);
    EXPECT_TRUE(makeFont(QStringLiteral("宋体"), -24, true).bold());
    EXPECT_EQ(makeFont(QStringLiteral("MS Sans Serif"), 0).pixelSize(), 11);
    EXPECT_EQ(QFontInfo(makeFont(QStringLiteral("MS Sans Serif"), -16)).family(),
              QStringLiteral("DejaVu Sans"));

    TFont font;
    EXPECT_EQ(font.Size(), 8) << "the framework default -11 is 8 point";
    int changes = 0;
    font.OnChange = [&] { ++changes; };
    font.SetHeight(-11);
    font.SetColor(clWindowText);
    EXPECT_EQ(changes, 0);
    font.SetBold(true);
    font.SetSize(12);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(font.Height(), -16);
    font.Assign(TFont(QStringLiteral("宋体"), -13, fsItalic, clRed));
    EXPECT_EQ(changes, 3);
    const QFont qfont = font.toQFont();
    EXPECT_TRUE(qfont.italic());
    EXPECT_FALSE(qfont.bold());
    EXPECT_EQ(qfont.pixelSize(), 13);
    font = TFont(QStringLiteral("宋体"), -13, fsItalic, clRed);
    EXPECT_EQ(changes, 3) << "assigning equal attributes is no change";
    font = TFont();
    EXPECT_EQ(changes, 4) << "assignment keeps the owner's notification";
    const TFont copy = font;
    EXPECT_FALSE(copy.OnChange) << "a copy does not notify the original's owner";
}

TEST(Canvas, CopiesInOneOperationWithoutBlendingAndSurvivesEmptySizes) {
    QImage window(6, 4, QImage::Format_ARGB32);
    window.fill(Qt::blue);
    Canvas canvas(QSize(3, 2));
    canvas.painter().fillRect(canvas.rect(), QColor(10, 20, 30));
    canvas.painter().fillRect(QRect(2, 1, 1, 1), QColor(200, 0, 0));
    {
        QPainter target(&window);
        canvas.copyTo(target, QPoint(1, 1));
    }
    EXPECT_EQ(window.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(window.pixelColor(1, 1), QColor(10, 20, 30));
    EXPECT_EQ(window.pixelColor(3, 2), QColor(200, 0, 0));
    EXPECT_EQ(window.pixelColor(4, 1), QColor(Qt::blue));

    for (const QSize size : {QSize(0, 0), QSize(-3, 5), QSize(4, 0)}) {
        Canvas empty(size);
        empty.painter().drawRect(QRect(0, 0, 10, 10));
        DrawTextInRect(empty.painter(), QStringLiteral("x"), empty.rect(), 0);
        QPainter target(&window);
        empty.copyTo(target);
        EXPECT_TRUE(empty.size().isEmpty());
    }
    EXPECT_EQ(window.pixelColor(0, 0), QColor(Qt::blue)) << "an empty canvas copies nothing";

    QImage source = whiteImage(2, 1);
    source.setPixelColor(1, 0, Qt::black);
    QImage stretched = whiteImage(8, 2);
    {
        QPainter target(&stretched);
        stretchImage(target, QRect(0, 0, 8, 2), source);
    }
    EXPECT_EQ(stretched.pixelColor(3, 1), QColor(Qt::white)) << "nearest pixel, no smoothing";
    EXPECT_EQ(stretched.pixelColor(4, 0), QColor(Qt::black));
}

TEST(Canvas, KeepsItsPictureBetweenPaintsAndRedrawsAndCopiesOnlyTheDirtyPart) {
    Canvas canvas;
    canvas.begin(QSize(20, 10)).fillRect(QRect(0, 0, 20, 10), Qt::black);
    QImage first = whiteImage(20, 10);
    {
        QPainter target(&first);
        canvas.copyTo(target);
    }
    EXPECT_EQ(pixelAt(first, 19, 9), clBlack);

    // A second picture of the same size starts from the first: only its
    // dirty part is reset to white, drawn on and copied.
    const QRegion dirty(QRect(5, 0, 5, 10));
    QPainter& painter = canvas.begin(QSize(20, 10), CanvasFormat{}, dirty);
    painter.fillRect(QRect(0, 0, 20, 10), Qt::red); // clipped to the dirty part
    painter.fillRect(QRect(0, 0, 7, 10), Qt::blue);
    QImage target = whiteImage(20, 10);
    {
        QPainter onto(&target);
        canvas.copyTo(onto);
    }
    EXPECT_EQ(canvas.dirty(), dirty);
    EXPECT_EQ(pixelAt(target, 4, 5), clWhite) << "outside the dirty part nothing is copied";
    EXPECT_EQ(pixelAt(target, 5, 5), clBlue);
    EXPECT_EQ(pixelAt(target, 8, 5), clRed);
    EXPECT_EQ(pixelAt(target, 10, 5), clWhite);
    EXPECT_EQ(pixelAt(canvas.image(), 0, 0), clBlack) << "the kept picture outside it";
    EXPECT_EQ(pixelAt(canvas.image(), 12, 0), clBlack);

    // Another size or format makes the image anew and the whole of it dirty.
    canvas.begin(QSize(20, 10), {QImage::Format_ARGB32_Premultiplied, 1.0}, dirty);
    EXPECT_EQ(canvas.dirty(), QRegion(0, 0, 20, 10));
    EXPECT_EQ(pixelAt(canvas.image(), 0, 0), clWhite);
    canvas.begin(QSize(8, 4), {QImage::Format_ARGB32_Premultiplied, 1.0}, dirty);
    EXPECT_EQ(canvas.image().size(), QSize(8, 4));
    EXPECT_EQ(canvas.dirty(), QRegion(0, 0, 8, 4));

    // The window's format is the format of what a painter paints on.
    QImage premultiplied(4, 4, QImage::Format_ARGB32_Premultiplied);
    premultiplied.setDevicePixelRatio(1.5);
    QPainter onPremultiplied(&premultiplied);
    EXPECT_EQ(targetFormat(onPremultiplied).pixels, QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(targetFormat(onPremultiplied).ratio, 1.5);
    QImage sixteenBit(4, 4, QImage::Format_RGB16);
    QPainter onSixteenBit(&sixteenBit);
    EXPECT_EQ(targetFormat(onSixteenBit).pixels, QImage::Format_RGB32)
        << "a format that loses colours";
}

TEST(Canvas, AtARatioOfTwoDrawsInTheControlsCoordinatesOnFourPixelsEach) {
    Canvas canvas;
    canvas.begin(QSize(10, 6), {QImage::Format_RGB32, 2.0}).fillRect(QRect(1, 1, 3, 2), Qt::black);
    QImage screen(20, 12, QImage::Format_RGB32);
    screen.fill(Qt::white);
    screen.setDevicePixelRatio(2.0);
    {
        QPainter onto(&screen);
        canvas.copyTo(onto, QPoint(0, 0));
    }
    // The rectangle covers exactly its 6 × 4 pixels of the screen.
    EXPECT_EQ(canvas.image().size(), QSize(20, 12));
    EXPECT_EQ(inkBox(screen, Qt::white), QRect(2, 2, 6, 4));
}
