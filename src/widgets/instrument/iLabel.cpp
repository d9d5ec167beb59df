#include "widgets/instrument/iLabel.h"

#include "platform/drawing/DrawText.h"

#include <QKeySequence>
#include <cstdlib>

namespace {
constexpr QSize kInitialSize{28, 13};
} // namespace

TiLabel::TiLabel(QWidget* parent) : TiCustomComponent(parent) {
    SetBounds(Left(), Top(), kInitialSize.width(), kInitialSize.height());
    m_font.OnChange = [this] { changedWithSize(); };
    m_accelerator = new QShortcut(this);
    m_accelerator->setContext(Qt::WindowShortcut);
    m_accelerator->setEnabled(false);
    connect(m_accelerator, &QShortcut::activated, this, [this] { acceleratorActivated(); });
    connect(m_accelerator, &QShortcut::activatedAmbiguously, this,
            [this] { acceleratorActivated(); });
    watchWindow();
}

void TiLabel::SetCaption(const QString& value) {
    if (value == m_caption) {
        return;
    }
    m_caption = value;
    updateAccelerator();
    changedWithSize();
}

void TiLabel::SetAutoSize(bool value) {
    if (value == m_autoSize) {
        return;
    }
    m_autoSize = value;
    changedWithSize();
}

void TiLabel::SetAlignment(TiAlignmentHorizontal value) {
    if (value == m_alignment) {
        return;
    }
    m_alignment = value;
    RequestRepaint();
}

void TiLabel::SetWordWrap(bool value) {
    if (value == m_wordWrap) {
        return;
    }
    m_wordWrap = value;
    changedWithSize();
}

void TiLabel::SetBorderStyle(TiLabelBorderStyle value) {
    if (value == m_labelBorderStyle) {
        return;
    }
    m_labelBorderStyle = value;
    changedWithSize();
}

void TiLabel::SetOuterMarginLeft(int value) {
    if (value == m_outerMargins.left()) {
        return;
    }
    m_outerMargins.setLeft(value);
    changedWithSize();
}

void TiLabel::SetOuterMarginTop(int value) {
    if (value == m_outerMargins.top()) {
        return;
    }
    m_outerMargins.setTop(value);
    changedWithSize();
}

void TiLabel::SetOuterMarginRight(int value) {
    if (value == m_outerMargins.right()) {
        return;
    }
    m_outerMargins.setRight(value);
    changedWithSize();
}

void TiLabel::SetOuterMarginBottom(int value) {
    if (value == m_outerMargins.bottom()) {
        return;
    }
    m_outerMargins.setBottom(value);
    changedWithSize();
}

void TiLabel::SetShadowShow(bool value) {
    if (value == m_shadowShow) {
        return;
    }
    m_shadowShow = value;
    changedWithSize();
}

void TiLabel::SetShadowXOffset(int value) {
    if (value == m_shadowXOffset) {
        return;
    }
    m_shadowXOffset = value;
    changedWithSize();
}

void TiLabel::SetShadowYOffset(int value) {
    if (value == m_shadowYOffset) {
        return;
    }
    m_shadowYOffset = value;
    changedWithSize();
}

void TiLabel::SetShadowColor(TColor value) {
    if (value == m_shadowColor) {
        return;
    }
    m_shadowColor = value;
    RequestRepaint();
}

void TiLabel::SetFocusControl(QWidget* control) {
    m_focusControl = control; // a QPointer: cleared when the control is destroyed
    updateAccelerator();
    RequestRepaint();
}

int TiLabel::FrameWidth() const {
    switch (m_labelBorderStyle) {
    case ilbsSingle:
        return 1;
    case ilbsLowered:
    case ilbsRaised:
        return 2;
    default:
        return 0;
    }
}

void TiLabel::changedWithSize() {
    applyAutoSize();
    RequestRepaint();
}

void TiLabel::Loaded() {
    // A label from a stored form keeps its stored size until something that
    // changes the text's extent changes.
    TiCustomComponent::Loaded();
}

unsigned TiLabel::textOptions() const {
    unsigned options = TextOption::VCenter;
    options |= m_wordWrap ? TextOption::WordBreak : TextOption::SingleLine;
    if (m_alignment == iahCenter) {
        options |= TextOption::Center;
    } else if (m_alignment == iahRight) {
        options |= TextOption::Right;
    }
    if (m_focusControl) {
        options |= TextOption::ShowPrefix;
    }
    return options;
}

void TiLabel::applyAutoSize() {
    if (!m_autoSize || Loading() || m_sizing) {
        return;
    }
    m_sizing = true;
    const QFont font = m_font.toQFont();
    const int shadowX = m_shadowShow ? std::abs(m_shadowXOffset) : 0;
    const int shadowY = m_shadowShow ? std::abs(m_shadowYOffset) : 0;
    const int frames = 2 * FrameWidth();
    const int marginsX = m_outerMargins.left() + m_outerMargins.right();
    const int marginsY = m_outerMargins.top() + m_outerMargins.bottom();
    if (!m_wordWrap) {
        SetWidth(shadowX + frames + marginsX + textWidth(font, m_caption));
        SetHeight(shadowY + frames + marginsY + textHeight(font, m_caption));
    } else {
        const unsigned format = (m_focusControl ? 0 : TextFormat::NoPrefix) | TextFormat::WordBreak;
        const int wrappedHeight = measureText(font, m_caption, Width(), format).height();
        SetHeight(shadowY + wrappedHeight + frames + marginsY);
    }
    m_sizing = false;
}

void TiLabel::PaintContent(QPainter& canvas) {
    DrawBackground(canvas, BackGroundColor());
    canvas.setFont(m_font.toQFont());
    canvas.setBrush(Qt::NoBrush);
    const int frame = FrameWidth();
    QRect text = rectFromEdges(frame + m_outerMargins.left(), frame + m_outerMargins.top(),
                               Width() - frame - m_outerMargins.right(),
                               Height() - frame - m_outerMargins.bottom());
    const unsigned options = textOptions();
    if (m_shadowShow) {
        // With a non-negative x offset the caption stays in place and the
        // shadow moves; with a negative one the shadow stays and the caption
        // moves the opposite way.
        canvas.setPen(toQColor(m_shadowColor));
        if (m_shadowXOffset >= 0) {
            text.translate(m_shadowXOffset, m_shadowYOffset);
        }
        DrawTextInRect(canvas, m_caption, text, options);
        canvas.setPen(toQColor(m_font.Color()));
        text.translate(-m_shadowXOffset, -m_shadowYOffset);
        DrawTextInRect(canvas, m_caption, text, options);
    } else {
        canvas.setPen(toQColor(m_font.Color()));
        DrawTextInRect(canvas, m_caption, text, options);
    }
    drawFrame(canvas);
}

void TiLabel::drawFrame(QPainter& canvas) {
    const QRect bounds(0, 0, Width(), Height());
    switch (m_labelBorderStyle) {
    case ilbsSingle:
        if (!bounds.isEmpty()) {
            canvas.setBrush(Qt::NoBrush);
            canvas.setPen(QPen(toQColor(clWindowFrame), 0));
            canvas.drawRect(bounds.adjusted(0, 0, -1, -1));
        }
        break;
    case ilbsLowered:
        DrawBevel(canvas, bounds, ibsLowered);
        break;
    case ilbsRaised:
        DrawBevel(canvas, bounds, ibsRaised);
        break;
    default:
        break;
    }
}

void TiLabel::updateAccelerator() {
    const QChar key = acceleratorOf(m_caption);
    if (!m_focusControl || key.isNull()) {
        m_accelerator->setEnabled(false);
        m_accelerator->setKey(QKeySequence());
        return;
    }
    m_accelerator->setKey(
        QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key.toUpper().unicode()))));
    m_accelerator->setEnabled(true);
}

bool TiLabel::acceleratorActivated() {
    QWidget* control = m_focusControl;
    if (!isEnabled() || !control || !control->isEnabled() || !control->isVisible()) {
        return false;
    }
    control->setFocus(Qt::ShortcutFocusReason);
    return true;
}

void TiLabel::watchWindow() {
    QWidget* top = window();
    if (top == m_watchedWindow) {
        return;
    }
    if (m_watchedWindow) {
        m_watchedWindow->removeEventFilter(this);
    }
    m_watchedWindow = top != this ? top : nullptr;
    if (m_watchedWindow) {
        m_watchedWindow->installEventFilter(this);
    }
}

bool TiLabel::event(QEvent* event) {
    // A label placed on a panel before the panel joins its window learns of
    // its window only when it is shown; only its own moves are announced.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show) {
        watchWindow();
    }
    return TiCustomComponent::event(event);
}

bool TiLabel::eventFilter(QObject* watched, QEvent* event) {
    // A plain character key that the focused control did not take travels up
    // to the window; there it is a dialog character and may be the caption's
    // accelerator, as Alt plus the character is (the shortcut above).
    if (watched == m_watchedWindow && event->type() == QEvent::KeyPress && m_focusControl) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QChar accelerator = acceleratorOf(m_caption);
        const QString text = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && !accelerator.isNull() && text.size() == 1 &&
            text.at(0).toUpper() == accelerator.toUpper() && acceleratorActivated()) {
            return true;
        }
    }
    return TiCustomComponent::eventFilter(watched, event);
}
