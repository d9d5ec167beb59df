// The self-drawn controls of the main window painted for a screen scaled to
// 125, 150 and 200 %: rendered through their own paint path into an image of
// that device pixel ratio, as the window's backing store is on such a screen.

#include "tests/support/ScreenPixels.h"
#include "tests/ui/main/WindowTestSupport.h"

#include "widgets/instrument/iLabel.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <QImage>
#include <cmath>

namespace {

// Never a colour of any face: shows what a paint left untouched.
const QColor untouched(1, 254, 3);

// The widget painted as a screen of `ratio` would show it: the pixels whose
// centres lie inside it.
QImage renderAt(QWidget& widget, qreal ratio) {
    QImage image(int(std::floor(widget.width() * ratio + 0.5)),
                 int(std::floor(widget.height() * ratio + 0.5)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(untouched);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    image.setDevicePixelRatio(1.0);
    return image.convertToFormat(QImage::Format_RGB32);
}

int countOf(const QImage& image, const QColor& color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class ScreenScaleTest : public WindowTest {
protected:
    struct Control {
        const char* name;
        QWidget* widget;
    };
    std::vector<Control> textControls() const {
        return {{"button", form->skButton1},
                {"grid", form->sg1},
                {"label", form->ilbl2},
                {"integer field", form->intgrtpt1},
                {"read-out", form->iSevenSegmentAnalog1},
                {"status bar", form->stat1}};
    }
};

TEST_F(ScreenScaleTest, TextAndLinesArePaintedAtTheScreensResolution) {
    form->iSevenSegmentAnalog1->SetValue(12.3);
    for (const Control& control : textControls()) {
        const QRect geometry = control.widget->geometry();
        const QImage one = renderAt(*control.widget, 1.0);
        const QImage two = renderAt(*control.widget, 2.0);
        EXPECT_EQ(control.widget->geometry(), geometry) << control.name;
        ASSERT_EQ(two.size(), 2 * geometry.size()) << control.name;
        EXPECT_EQ(countOf(two, untouched), 0) << control.name << ": every pixel is painted";

        // The scale-1 picture enlarged is made of single-coloured blocks only;
        // drawn at the screen's resolution, the edges of glyphs and shapes
        // cut through blocks.
        const QImage enlarged =
            one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        EXPECT_NE(two, enlarged) << control.name;
        const QRgb background = one.pixel(one.width() / 2, 2);
        const BlockCount sharp = blocksOf(two, background);
        const BlockCount blown = blocksOf(enlarged, background);
        EXPECT_EQ(blown.mixed, 0) << control.name;
        EXPECT_GE(sharp.mixed, 20) << control.name << ": " << sharp.mixed << " of " << sharp.inked
                                   << " inked blocks are mixed";
    }
}

TEST_F(ScreenScaleTest, AtFractionalScalesTheFacesFillTheirControlsToTheEdges) {
    const QImage window = renderAt(*form, 1.0);
    for (const qreal ratio : {1.25, 1.5}) {
        const QImage scaled = renderAt(*form, ratio);
        EXPECT_EQ(countOf(scaled, untouched), 0) << ratio;
        for (const Control& control : textControls()) {
            // The screen pixels whose centres lie inside the control; its
            // outermost ones show the face's own corners, not what lies
            // beside it: no edge moved in or out by a pixel of rounding.
            const QRect logical(control.widget->mapTo(form.get(), QPoint(0, 0)),
                                control.widget->size());
            const int left = int(std::ceil(logical.left() * ratio - 0.5));
            const int top = int(std::ceil(logical.top() * ratio - 0.5));
            const int right = int(std::ceil((logical.right() + 1) * ratio - 0.5)) - 1;
            const int bottom = int(std::ceil((logical.bottom() + 1) * ratio - 0.5)) - 1;
            const std::pair<QPoint, QPoint> corners[] = {
                {QPoint(left, top), logical.topLeft()},
                {QPoint(right, top), logical.topRight()},
                {QPoint(left, bottom), logical.bottomLeft()},
                {QPoint(right, bottom), logical.bottomRight()}};
            for (const auto& [device, original] : corners) {
                EXPECT_EQ(scaled.pixelColor(device), window.pixelColor(original))
                    << control.name << " at " << ratio << ", corner " << original.x() << ","
                    << original.y();
            }
        }
    }
}
