#include "widgets/skin/SkinButton.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QVariant>

// Properties, the loading state and clicking of the skinned button; input
// handling lives in SkinButtonInput.cpp and painting in SkinButtonPaint.cpp.

namespace {

QWidget* ownerWindow(QWidget* parent) {
    return parent != nullptr ? parent->window() : nullptr;
}

} // namespace

// ---------------------------------------------------------------- TskCustomButton

TskCustomButton::TskCustomButton(QWidget* parent) : QWidget(parent) {
    // The paint covers the whole client area, so the background is never
    // erased first; that keeps hovering and pressing free of flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    SetUIStyle(InitialStyleFor(ownerWindow(parent)));
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusMovedTo(now); });
    watchWindow();
}

TskCustomButton::~TskCustomButton() = default;

void TskCustomButton::BeginLoading() {
    m_loading = true;
}

void TskCustomButton::EndLoading() {
    if (!m_loading) {
        return;
    }
    m_loading = false;
    m_faceTransparent = m_transparent;
    if (m_autoSize) {
        AutoSizeChanged();
    }
    // The window now exists: the button answers Enter if it is the default.
    m_activeDefault = m_default;
    update();
}

void TskCustomButton::Changed() {
    if (!m_loading) {
        update();
    }
}

void TskCustomButton::SetCaption(const QString& caption) {
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    setWindowTitle(caption);
    updateAcceleratorShortcut();
    CaptionChanged();
    Changed();
}

void TskCustomButton::SetAutoSize(bool autoSize) {
    if (autoSize == m_autoSize) {
        return;
    }
    m_autoSize = autoSize;
    if (!m_loading) {
        AutoSizeChanged();
    }
    Changed();
}

void TskCustomButton::SetUIStyle(TskUIStyle style) {
    if (style == m_uiStyle) {
        return;
    }
    m_uiStyle = style;
    UIStyleChanged();
    Changed();
}

void TskCustomButton::SetFileTheme(TskFileTheme* theme) {
    if (theme != m_fileTheme) {
        disconnect(m_fileThemeGone);
        m_fileTheme = theme;
        if (theme != nullptr) {
            // A theme that goes away leaves the button on the fallback style.
            m_fileThemeGone = connect(theme, &QObject::destroyed, this, [this] {
                m_fileTheme = nullptr;
                SetUIStyle(FallbackUIStyle);
            });
        }
    }
    UIStyleChanged();
    Changed();
}

void TskCustomButton::SetTransparent(bool transparent) {
    if (transparent == m_transparent) {
        return;
    }
    m_transparent = transparent;
    TransparentChanged();
}

void TskCustomButton::TransparentChanged() {
    m_faceTransparent = m_transparent;
    Changed();
}

void TskCustomButton::SetDefault(bool isDefault) {
    if (isDefault == m_default) {
        return;
    }
    m_default = isDefault;
    if (!m_loading) {
        rebroadcastFocus();
    }
}

void TskCustomButton::SetFocusedRectMargin(int margin) {
    if (margin == m_focusedRectMargin) {
        return;
    }
    m_focusedRectMargin = margin;
    Changed();
}

void TskCustomButton::SetTabStop(bool tabStop) {
    if (tabStop == m_tabStop) {
        return;
    }
    m_tabStop = tabStop;
    setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
    Changed();
}

TColor TskCustomButton::Color() const {
    if (m_parentColor && parentWidget() != nullptr) {
        const QWidget* parent = parentWidget();
        return fromQColor(parent->palette().color(parent->backgroundRole()));
    }
    return m_color;
}

void TskCustomButton::SetColor(TColor color) {
    if (color == m_color && !m_parentColor) {
        return;
    }
    m_color = color;
    m_parentColor = false;
    Changed();
}

void TskCustomButton::SetParentColor(bool parentColor) {
    if (parentColor == m_parentColor) {
        return;
    }
    m_parentColor = parentColor;
    Changed();
}

void TskCustomButton::SetFont(const TFont& font) {
    const bool wasParent = m_parentFont;
    m_parentFont = false;
    if (font == m_font && !wasParent) {
        return;
    }
    m_font.Assign(font);
    FontChanged();
}

void TskCustomButton::SetParentFont(bool parentFont) {
    if (parentFont == m_parentFont) {
        return;
    }
    m_parentFont = parentFont;
    FontChanged();
}

void TskCustomButton::FontChanged() {
    Changed();
}

QFont TskCustomButton::CaptionFont() const {
    return m_parentFont ? font() : m_font.toQFont();
}

QColor TskCustomButton::CaptionColor() const {
    return toQColor(m_font.Color());
}

void TskCustomButton::SetHint(const QString& hint) {
    m_hint = hint;
    setToolTip(m_showHint ? hint : QString());
}

void TskCustomButton::SetShowHint(bool showHint) {
    m_showHint = showHint;
    setToolTip(showHint ? m_hint : QString());
}

void TskCustomButton::SetAction(QAction* action) {
    if (action == m_action) {
        return;
    }
    disconnect(m_actionChanged);
    m_action = action;
    if (action != nullptr) {
        m_actionChanged =
            connect(action, &QAction::changed, this, [this] { ActionChange(m_action); });
        ActionChange(action);
    }
}

void TskCustomButton::ActionChange(QAction* action) {
    if (action == nullptr) {
        return;
    }
    SetCaption(action->text());
    setEnabled(action->isEnabled());
    setVisible(action->isVisible());
    SetHint(action->toolTip());
}

void TskCustomButton::AutoSizeChanged() {
    if (!m_autoSize) {
        return;
    }
    // The built-in strip decides, also for FromThemeFile, whose lookup leaves
    // the image empty and so gives the blank face's size.
    QImage strip;
    try {
        StyleBitmap(m_uiStyle, ThemeElement::ButtonImage, &strip);
    } catch (const ESkinError&) {
        strip = QImage();
    }
    const int width = strip.width() > 0 ? strip.width() : BlankFaceSize.width();
    const int height = strip.height() > 0 ? strip.height() : BlankFaceSize.height();
    resize(width / 3, height);
}

// ---------------------------------------------------------------- clicking

void TskCustomButton::Click() {
    if (m_pressed) {
        stopRepeating();
        m_pressed = false;
        Changed();
    }
    // The window takes the modal result on every click, 0 included.
    QPointer<QWidget> form = parentWidget() != nullptr ? window() : nullptr;
    if (form != nullptr) {
        form->setProperty("ModalResult", m_modalResult);
    }
    if (OnClick) {
        OnClick(this);
    } else if (m_action != nullptr) {
        m_action->trigger();
    }
    closeModalDialog(form);
}

// A modal dialog ends once the click has been handled, with the result its
// window holds then: the handler runs while the dialog is still shown and may
// keep it open by clearing the result.
void TskCustomButton::closeModalDialog(QWidget* form) {
    auto* dialog = qobject_cast<QDialog*>(form);
    if (dialog == nullptr || !dialog->isModal() || !dialog->isVisible()) {
        return;
    }
    const int result = dialog->property("ModalResult").toInt();
    if (result != 0) {
        dialog->done(result);
    }
}

void TskCustomButton::setPressed(bool pressed) {
    if (pressed == m_pressed) {
        return;
    }
    m_pressed = pressed;
    Changed();
}

void TskCustomButton::setMouseInside(bool inside) {
    if (inside == m_mouseInside) {
        return;
    }
    m_mouseInside = inside;
    Changed();
}

void TskCustomButton::stopRepeating() {
    if (m_repeatTimer == nullptr) {
        return;
    }
    // The repeat handler itself may end the hold (a dialog it opens takes the
    // pointer away), so the timer is silenced now and freed once its tick
    // has returned.
    m_repeatTimer->SetEnabled(false);
    m_repeatTimer.release()->deleteLater();
}

void TskCustomButton::pressWithLeftButton() {
    setPressed(true);
    if (m_repeatTimer == nullptr) {
        m_repeatTimer = std::make_unique<Timer>();
        // An interval of 0 leaves the timer armed but silent.
        m_repeatTimer->SetInterval(std::max(m_repeatInterval, 0));
        m_repeatTimer->SetOnTimer([this] {
            if (OnMouseContinuouslyDown) {
                OnMouseContinuouslyDown(this);
            }
        });
        m_repeatTimer->SetEnabled(true);
    }
    if (m_tabStop && focusPolicy() != Qt::NoFocus && isEnabled() && isVisible()) {
        setFocus(Qt::MouseFocusReason);
    }
}

// ---------------------------------------------------------------- TskButton

TskButton::TskButton(QWidget* parent) : TskCustomButton(parent) {
    // The base constructor chose the start style before this class existed;
    // its transparency follows now.
    UIStyleChanged();
    resize(DefaultWidth, DefaultHeight);
}

void TskButton::UIStyleChanged() {
    const SkinSource source = ResolveSkinSource(FileTheme(), UIStyle());
    SetTransparent(source.useFileTheme
                       ? FileTheme()->GetBool(ThemeElement::ButtonTransparentBool)
                       : StyleBool(source.style, ThemeElement::ButtonTransparentBool));
}

void TskButton::SetGlyph(const QImage& glyph) {
    m_glyph = glyph.copy();
    Changed();
}

void TskButton::SetLayout(TButtonLayout layout) {
    if (layout == m_layout) {
        return;
    }
    m_layout = layout;
    Changed();
}

void TskButton::SetSpacing(int spacing) {
    if (spacing == m_spacing) {
        return;
    }
    m_spacing = spacing;
    Changed();
}

void TskButton::ActionChange(QAction* action) {
    TskCustomButton::ActionChange(action);
    if (action != nullptr && m_glyph.isNull() && !action->icon().isNull()) {
        const QList<QSize> sizes = action->icon().availableSizes();
        const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
        SetGlyph(action->icon().pixmap(size).toImage());
    }
}
