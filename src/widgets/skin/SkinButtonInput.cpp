#include "widgets/skin/SkinButton.h"

#include "platform/drawing/DrawText.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcutEvent>

// Pointer, keyboard and focus handling of the skinned button.

namespace {

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Shift, Ctrl and Alt; the keypad flag of the keypad's Enter does not count.
bool hasShiftCtrlAlt(Qt::KeyboardModifiers modifiers) {
    return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
}

} // namespace

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
        // The repeat belongs to the held button: it ends with the release,
        // also after a drag off the button and back, or off it for good.
        stopRepeating();
        if (rect().contains(at)) {
            Click();
        } else {
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
    const bool space = key == Qt::Key_Space;
    if (space && !event->isAutoRepeat() && isEnabled()) {
        setPressed(true);
    }
    // The typed character follows the key-down, the blank of Space included.
    if (!event->text().isEmpty() && OnKeyPress) {
        QChar character = event->text().at(0);
        OnKeyPress(this, character);
        if (character.isNull()) {
            return;
        }
    }
    if (space) {
        return;
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
    // A typed character no control wanted, in either case (Shift only makes
    // the capital); Alt with the character arrives as the button's shortcut
    // instead (see event()), and Ctrl types no character. A button the user
    // cannot see never answers, as with the shortcut.
    const QChar accelerator = acceleratorOf(m_caption).toUpper();
    const bool typed = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
    if (accelerator.isNull() || !isEnabled() || !isVisible() || !typed) {
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
