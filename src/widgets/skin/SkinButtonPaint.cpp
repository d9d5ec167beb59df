#include "widgets/skin/SkinButton.h"

#include "platform/drawing/Canvas.h"
#include "platform/drawing/DrawText.h"
#include "platform/drawing/Edges.h"
#include "widgets/skin/SkinDrawing.h"

// The paint pipeline of the skinned button: face frame by state, background,
// face, focus cue and caption, composed off-screen and copied in one go.

namespace {

// A disabled caption: white one pixel right and down, grey on top.
constexpr TColor embossLight = 0xFFFFFF;
constexpr TColor embossShadow = 0x808080;

} // namespace

// ---------------------------------------------------------------- painting

void TskCustomButton::FetchFrame(QImage& bitmap, int frameIndex) const {
    const SkinSource source = ResolveSkinSource(m_fileTheme, m_uiStyle);
    if (source.useFileTheme) {
        // A theme without a button image is no failure: the bitmap stays as
        // it is and only the background and the caption are drawn.
        const ThemeImageLookup found =
            m_fileTheme->FindImageFrame(ThemeElement::ButtonImage, &bitmap, 3, frameIndex);
        if (found == ThemeImageLookup::Absent) {
            return;
        }
        if (found == ThemeImageLookup::Undecodable) {
            throw ESkinError("The theme's button image cannot be read");
        }
    } else {
        StyleBitmap(source.style, ThemeElement::ButtonImage, &bitmap, 3, frameIndex);
    }
    if (bitmap.isNull()) {
        throw ESkinError("The button image has no frame " + std::to_string(frameIndex));
    }
}

QImage TskCustomButton::faceForState() {
    QImage face;
    try {
        if (!isEnabled()) {
            GetDisabledFrame(face);
        } else if (m_pressed) {
            GetPressedFrame(face);
        } else if (m_mouseInside) {
            GetHotFrame(face);
        } else {
            GetNormalFrame(face);
        }
    } catch (const std::exception&) {
        // A face that cannot be had never stops the paint: a blank one is
        // stretched instead.
        face = QImage(BlankFaceSize, QImage::Format_RGB32);
        face.fill(Qt::white);
    }
    return face;
}

void TskCustomButton::PaintParentBackground(QPainter& canvas, const QWidget* control) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) {
        return;
    }
    canvas.save();
    // The parent point under our top-left corner lands at (0, 0).
    canvas.translate(-control->x(), -control->y());
    canvas.setClipRect(parent->rect());
    parent->render(&canvas, control->pos(), QRegion(control->geometry()),
                   QWidget::DrawWindowBackground);
    canvas.restore();
}

void TskCustomButton::paintEvent(QPaintEvent*) {
    const QImage face = faceForState();
    // The window's painter is opened only once the parent has painted its
    // background into the face.
    CanvasFormat format;
    {
        const QPainter probe(this);
        format = targetFormat(probe);
    }
    Canvas buffer;
    QPainter& canvas = buffer.begin(size(), format);
    if (m_transparent) {
        PaintParentBackground(canvas, this);
    } else {
        canvas.fillRect(rect(), toQColor(Color()));
    }
    PaintFace(canvas, face);
    if (hasFocus() && m_tabStop) {
        PaintFocusCue(canvas);
    }
    canvas.setFont(CaptionFont());
    if (!m_caption.trimmed().isEmpty()) {
        PaintCaption(canvas, m_caption);
    }
    // Bold lasts for one paint only, whether or not a caption used it.
    m_boldCaption = false;
    QPainter screen(this);
    buffer.copyTo(screen);
}

void TskCustomButton::PaintFace(QPainter& canvas, const QImage& face) {
    if (face.isNull()) {
        return;
    }
    const QRgb topLeft = face.pixel(0, 0);
    DrawMaskedImage(canvas, QPoint(0, 0), face, m_faceTransparent, topLeft, !isEnabled());
}

void TskCustomButton::PaintCaption(QPainter& canvas, const QString& text) {
    canvas.setBrush(Qt::NoBrush);
    QFont captionFont = CaptionFont();
    if (m_boldCaption) {
        captionFont.setBold(true);
    }
    canvas.setFont(captionFont);
    auto drawCentred = [&](const QRect& area) {
        QRect measured = area;
        DrawTextInRect(canvas, text, measured, TextFormat::WordBreak | TextFormat::CalcRect);
        measured.translate((area.width() - measured.width()) / 2,
                           (area.height() - measured.height()) / 2);
        DrawTextInRect(canvas, text, measured, TextFormat::Center);
    };
    PaintCaptionStates(canvas, [&](QPoint shift) { drawCentred(rect().translated(shift)); });
    m_boldCaption = false;
}

void TskCustomButton::PaintCaptionStates(QPainter& canvas,
                                         const std::function<void(QPoint shift)>& draw) const {
    if (!isEnabled()) {
        // Embossed: white one pixel right and down, grey on top.
        canvas.setPen(toQColor(embossLight));
        draw(QPoint(1, 1));
        canvas.setPen(toQColor(embossShadow));
        draw(QPoint(0, 0));
        return;
    }
    canvas.setPen(CaptionColor());
    draw(m_pressed ? QPoint(1, 1) : QPoint(0, 0));
}

void TskCustomButton::PaintFocusCue(QPainter& canvas) {
    const int margin = m_focusedRectMargin;
    DrawFocusRect(canvas, rectFromEdges(margin, margin, width() - margin, height() - margin));
}

void TskButton::PaintFace(QPainter& canvas, const QImage& face) {
    canvas.setFont(CaptionFont());
    DrawNineSlice(face, canvas, rect(), FaceTransparent());
    if (m_glyph.isNull()) {
        return;
    }
    paintGlyph(canvas);
}

void TskButton::paintGlyph(QPainter& canvas) {
    const QFont captionFont = CaptionFont();
    const int tw = textWidth(captionFont, Caption());
    const int th = textHeight(captionFont, Caption());
    const int gh = m_glyph.height();
    const bool twoFrames = m_glyph.width() == 2 * gh;
    const int gw = twoFrames ? gh : m_glyph.width();
    const int W = width();
    const int H = height();
    const int s = m_spacing;
    QPoint glyphAt;
    switch (m_layout) {
    case TButtonLayout::blGlyphLeft:
        glyphAt = QPoint((W - (tw + gw + s)) / 2, (H - gh) / 2);
        m_captionOrigin = QPoint(glyphAt.x() + gw + s, (H - th) / 2);
        break;
    case TButtonLayout::blGlyphRight:
        glyphAt = QPoint((W + tw + s - gw) / 2, (H - gh) / 2);
        m_captionOrigin = QPoint(glyphAt.x() - tw - s, (H - th) / 2);
        break;
    case TButtonLayout::blGlyphTop:
        glyphAt = QPoint((W - gw) / 2, (H - (th + gh + s)) / 2);
        m_captionOrigin = QPoint((W - tw) / 2, glyphAt.y() + gh + s);
        break;
    case TButtonLayout::blGlyphBottom:
        glyphAt = QPoint((W - gw) / 2, (H + th + s - gh) / 2);
        m_captionOrigin = QPoint((W - tw) / 2, glyphAt.y() - th - s);
        break;
    }
    if (Pressed()) {
        glyphAt += QPoint(1, 1);
    }
    const QRgb transparent = m_glyph.pixel(0, 0);
    if (twoFrames) {
        // Frame 1 when enabled, frame 2 when disabled, both drawn normally.
        const QImage frame = m_glyph.copy(isEnabled() ? 0 : gw, 0, gw, gh);
        DrawMaskedImage(canvas, glyphAt, frame, true, transparent);
    } else {
        DrawMaskedImage(canvas, glyphAt, m_glyph, true, transparent, !isEnabled());
    }
}

void TskButton::PaintCaption(QPainter& canvas, const QString& text) {
    if (m_glyph.isNull()) {
        TskCustomButton::PaintCaption(canvas, text);
        return;
    }
    canvas.setBrush(Qt::NoBrush);
    canvas.setFont(CaptionFont());
    PaintCaptionStates(canvas, [&](QPoint shift) {
        const QPoint at = m_captionOrigin + shift;
        DrawTextInRect(canvas, text, rectFromEdges(at.x(), at.y(), width(), height()),
                       TextFormat::SingleLine);
    });
}

void TskButton::PaintFocusCue(QPainter& canvas) {
    if (UIStyle() == TskUIStyle::MacOS || UIStyle() == TskUIStyle::BlueGlass) {
        SetBoldCaption(true);
        return;
    }
    TskCustomButton::PaintFocusCue(canvas);
}
