#include "widgets/skin/SkinButton.h"

#include "platform/Canvas.h"
#include "platform/DrawText.h"
#include "platform/Edges.h"
#include "widgets/skin/SkinDrawing.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcutEvent>
#include <QVariant>

namespace {

constexpr TColor embossLight = 0xFFFFFF;
constexpr TColor embossShadow = 0x808080;

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Shift, Ctrl and Alt; the keypad flag of the keypad's Enter does not count.
bool hasShiftCtrlAlt(Qt::KeyboardModifiers modifiers) {
    return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
}

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
    if (parentWidget() != nullptr) {
        // The window takes the modal result on every click, 0 included; a
        // dialog closes with any other value.
        QWidget* form = window();
        form->setProperty("ModalResult", m_modalResult);
        auto* dialog = qobject_cast<QDialog*>(form);
        if (dialog != nullptr && m_modalResult != 0) {
            dialog->done(m_modalResult);
        }
    }
    if (OnClick) {
        OnClick(this);
    } else if (m_action != nullptr) {
        m_action->trigger();
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
    m_repeatTimer.reset();
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

// ---------------------------------------------------------------- mouse

void TskCustomButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setMouseInside(true);
    if (OnMouseEnter) {
        OnMouseEnter(this);
    }
}

void TskCustomButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setMouseInside(false);
    setPressed(false);
    stopRepeating();
    if (OnMouseExit) {
        OnMouseExit(this);
    }
}

void TskCustomButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    // Dragging off the button shows it released; the repeat goes on until the
    // pointer-leave notice or the release.
    if (at.x() < 0 || at.y() < 0 || at.x() > width() || at.y() > height()) {
        setMouseInside(false);
        setPressed(false);
    }
    if (OnMouseMove) {
        OnMouseMove(this, event->modifiers(), at.x(), at.y());
    }
}

void TskCustomButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressWithLeftButton();
    }
    if (OnMouseDown) {
        const QPoint at = event->position().toPoint();
        OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
    }
}

void TskCustomButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // No double clicks: the second press of a double click is a plain press.
    mousePressEvent(event);
}

void TskCustomButton::mouseReleaseEvent(QMouseEvent* event) {
    QPointer<TskCustomButton> alive(this);
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (rect().contains(at)) {
            Click();
        } else {
            // Released away from the button: no click, and no more repeats
            // once the button is no longer held.
            stopRepeating();
            setPressed(false);
        }
    }
    if (alive && OnMouseUp) {
        OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
    }
}

void TskCustomButton::contextMenuEvent(QContextMenuEvent* event) {
    if (m_popupMenu != nullptr) {
        m_popupMenu->popup(event->globalPos());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

// ---------------------------------------------------------------- keyboard

void TskCustomButton::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    if (OnKeyDown) {
        OnKeyDown(this, key, event->modifiers());
        if (key == 0) {
            return;
        }
    }
    if (key == Qt::Key_Space && !event->isAutoRepeat()) {
        if (isEnabled()) {
            setPressed(true);
        }
        return;
    }
    if (!event->text().isEmpty() && OnKeyPress) {
        QChar character = event->text().at(0);
        OnKeyPress(this, character);
        if (character.isNull()) {
            return;
        }
    }
    // Enter, Escape and characters travel on to the window, where the
    // default, cancel and accelerator roles of every skinned button apply.
    event->ignore();
}

void TskCustomButton::keyReleaseEvent(QKeyEvent* event) {
    int key = event->key();
    if (OnKeyUp) {
        OnKeyUp(this, key, event->modifiers());
        if (key == 0) {
            return;
        }
    }
    if ((key == Qt::Key_Space || isEnterKey(key)) && !event->isAutoRepeat() && m_pressed &&
        isEnabled()) {
        setPressed(false);
        Click();
        return;
    }
    event->ignore();
}

bool TskCustomButton::canTakeFocus() const {
    return isVisible() && isEnabled();
}

// Keys no control wanted reach the window; every skinned button of that
// window watches them there, and the first that answers consumes the key.
bool TskCustomButton::handleDialogKey(QKeyEvent* event) {
    const int key = event->key();
    if (isEnterKey(key)) {
        if (m_activeDefault && !hasShiftCtrlAlt(event->modifiers()) && canTakeFocus()) {
            Click();
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Escape) {
        if (m_cancel && !hasShiftCtrlAlt(event->modifiers()) && canTakeFocus()) {
            Click();
            return true;
        }
        return false;
    }
    // A plain character no control wanted; Alt with the character arrives as
    // the button's shortcut instead (see event()).
    const QChar accelerator = acceleratorOf(m_caption).toUpper();
    if (accelerator.isNull() || !isEnabled() || hasShiftCtrlAlt(event->modifiers())) {
        return false;
    }
    const QString text = event->text().toUpper();
    if (key == accelerator.unicode() || (!text.isEmpty() && text.at(0) == accelerator)) {
        Click();
        return true;
    }
    return false;
}

bool TskCustomButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedWindow && event->type() == QEvent::KeyPress) {
        return handleDialogKey(static_cast<QKeyEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
}

void TskCustomButton::watchWindow() {
    QWidget* form = window();
    if (form == m_watchedWindow) {
        return;
    }
    if (m_watchedWindow != nullptr) {
        m_watchedWindow->removeEventFilter(this);
    }
    m_watchedWindow = form;
    if (form != this) {
        form->installEventFilter(this);
    } else {
        m_watchedWindow = nullptr;
    }
}

bool TskCustomButton::event(QEvent* event) {
    // The window that owns the keys may change when this button or one of its
    // ancestors is re-parented; it is checked again whenever the button shows.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show) {
        watchWindow();
    }
    if (event->type() == QEvent::Shortcut &&
        static_cast<QShortcutEvent*>(event)->shortcutId() == m_acceleratorShortcut) {
        // Alt and the caption's accelerator, whichever control has the focus.
        if (isEnabled()) {
            Click();
        }
        return true;
    }
    return QWidget::event(event);
}

void TskCustomButton::updateAcceleratorShortcut() {
    if (m_acceleratorShortcut != 0) {
        releaseShortcut(m_acceleratorShortcut);
        m_acceleratorShortcut = 0;
    }
    const QChar accelerator = acceleratorOf(m_caption);
    if (!accelerator.isNull()) {
        m_acceleratorShortcut =
            grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier,
                                                      Qt::Key(accelerator.toUpper().unicode()))),
                         Qt::WindowShortcut);
    }
}

// ---------------------------------------------------------------- focus

void TskCustomButton::focusMovedTo(QWidget* focused) {
    if (focused == nullptr || focused->window() != window()) {
        return;
    }
    const bool wasActive = m_activeDefault;
    if (qobject_cast<TskCustomButton*>(focused) != nullptr) {
        m_activeDefault = focused == this;
    } else {
        m_activeDefault = m_default;
    }
    if (wasActive != m_activeDefault) {
        Changed();
    }
}

// A changed Default role is re-evaluated by every skinned button of the window
// against the control that has the focus now.
void TskCustomButton::rebroadcastFocus() {
    QWidget* form = window();
    QWidget* focused = form->focusWidget();
    for (TskCustomButton* button : form->findChildren<TskCustomButton*>()) {
        if (focused != nullptr) {
            button->focusMovedTo(focused);
        } else {
            button->m_activeDefault = button->m_default;
        }
    }
    if (form == this) {
        m_activeDefault = m_default;
    }
}

void TskCustomButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Changed();
    if (OnEnter) {
        OnEnter(this);
    }
}

void TskCustomButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Changed();
    if (OnExit) {
        OnExit(this);
    }
}

void TskCustomButton::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::EnabledChange:
        EnabledChanged();
        Changed();
        break;
    case QEvent::FontChange:
        FontChanged();
        break;
    case QEvent::PaletteChange:
        Changed();
        break;
    case QEvent::WindowTitleChange:
        // A text set by other means becomes the caption as well.
        if (windowTitle() != m_caption) {
            m_caption = windowTitle();
            updateAcceleratorShortcut();
            CaptionChanged();
            Changed();
        }
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------- painting

void TskCustomButton::FetchFrame(QImage& bitmap, int frameIndex) const {
    const SkinSource source = ResolveSkinSource(m_fileTheme, m_uiStyle);
    if (source.useFileTheme) {
        m_fileTheme->GetImageFrame(ThemeElement::ButtonImage, &bitmap, 3, frameIndex);
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
        face = QImage();
    }
    if (face.isNull()) {
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
    Canvas buffer(size());
    QPainter& canvas = buffer.painter();
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
    QRect area = rect();
    if (!isEnabled()) {
        // Embossed: white one pixel right and down, grey on top.
        canvas.setPen(toQColor(embossLight));
        drawCentred(area.translated(1, 1));
        canvas.setPen(toQColor(embossShadow));
    } else {
        canvas.setPen(CaptionColor());
        if (m_pressed) {
            area.translate(1, 1);
        }
    }
    drawCentred(area);
    m_boldCaption = false;
}

void TskCustomButton::PaintFocusCue(QPainter& canvas) {
    const int margin = m_focusedRectMargin;
    DrawFocusRect(canvas, rectFromEdges(margin, margin, width() - margin, height() - margin));
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
    QPoint origin = m_captionOrigin;
    auto drawAt = [&](QPoint at) {
        DrawTextInRect(canvas, text, rectFromEdges(at.x(), at.y(), width(), height()),
                       TextFormat::SingleLine);
    };
    if (!isEnabled()) {
        canvas.setPen(toQColor(0xFFFFFF));
        drawAt(origin + QPoint(1, 1));
        canvas.setPen(toQColor(0x808080));
    } else {
        canvas.setPen(CaptionColor());
        if (Pressed()) {
            origin += QPoint(1, 1);
        }
    }
    drawAt(origin);
}

void TskButton::PaintFocusCue(QPainter& canvas) {
    if (UIStyle() == TskUIStyle::MacOS || UIStyle() == TskUIStyle::BlueGlass) {
        SetBoldCaption(true);
        return;
    }
    TskCustomButton::PaintFocusCue(canvas);
}
