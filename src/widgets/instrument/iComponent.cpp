#include "widgets/instrument/iComponent.h"

#include "platform/drawing/Canvas.h"
#include "platform/drawing/DrawText.h"
#include "platform/drawing/Edges.h"
#include "platform/drawing/FramePacer.h"
#include "platform/system/Clock.h"
#include "platform/system/Timer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <mutex>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kSweepInterval{1000};
constexpr std::int64_t kMillisecondsPerSecond = 1000;

// Holds the paint lock for the length of a scope.
class LockGuard {
public:
    explicit LockGuard(TiComponent& component) : m_component(component) { m_component.Lock(); }
    ~LockGuard() { m_component.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    TiComponent& m_component;
};

// Runs an input handler and drops whatever it throws: an exception must not
// leave an event handler, and the control stays usable for the next event.
template <typename Action> void swallowing(Action&& action) {
    try {
        action();
    } catch (...) {
    }
}

// The keys a control keeps from the form's shortcuts and from a dialog's
// default and cancel buttons: Enter and Escape always, and the plain typing
// and editing keys. Tab moves the focus; Alt and Ctrl combinations and the
// function keys stay with the form's accelerators.
bool claimsKey(const QKeyEvent& key) {
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return !(key.modifiers() & Qt::AltModifier);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return !(key.modifiers() & Qt::AltModifier);
    default:
        break;
    }
    if (key.modifiers() & (Qt::AltModifier | Qt::ControlModifier)) {
        return false;
    }
    return !key.text().isEmpty() && key.text().at(0).isPrint();
}

} // namespace

// The process-wide list of instrument controls and the 1-second timer that
// flushes repaints held back by their frame-rate limit. The timer runs only
// while the list is not empty.
class RepaintSweep {
public:
    static RepaintSweep& instance() {
        static RepaintSweep sweep;
        return sweep;
    }

    void add(TiComponent* component) {
        m_components.push_back(component);
        if (!m_timer) {
            m_timer = new Timer(qApp);
            m_timer->SetInterval(static_cast<int>(kSweepInterval.count()));
            m_timer->SetOnTimer([this] { tick(); });
        }
        m_timer->SetEnabled(true);
    }

    void remove(TiComponent* component) {
        std::erase(m_components, component);
        if (m_components.empty() && m_timer) {
            m_timer->SetEnabled(false);
        }
    }

    bool running() const { return m_timer && m_timer->IsArmed(); }

private:
    void tick() {
        // A repaint may create or destroy controls; walk a copy.
        const std::vector<TiComponent*> components = m_components;
        for (TiComponent* component : components) {
            if (std::find(m_components.begin(), m_components.end(), component) !=
                m_components.end()) {
                component->sweepTick();
            }
        }
    }

    std::vector<TiComponent*> m_components;
    QPointer<Timer> m_timer;
};

TColor DimColor(TColor color, int divisor) {
    auto dim = [divisor](int channel) {
        const long long value =
            divisor >= 1 ? channel / divisor : static_cast<long long>(channel) * -divisor;
        return static_cast<int>(std::clamp<long long>(value, 0, 255));
    };
    return rgbColor(dim(redOf(color)), dim(greenOf(color)), dim(blueOf(color)));
}

TiComponent::TiComponent(QWidget* parent) : QWidget(parent) {
    // The face is composed off-screen and covers every pixel, so the window
    // background is never erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAcceptDrops(true);
    m_errorFont.OnChange = [this] { RequestRepaint(); };
    if (parent) {
        parent->installEventFilter(this);
    }
    RepaintSweep::instance().add(this);
}

TiComponent::~TiComponent() {
    m_destroying = true;
    RepaintSweep::instance().remove(this);
}

void TiComponent::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (m_constraints.MinWidth > 0) {
        width = std::max(width, m_constraints.MinWidth);
    }
    if (m_constraints.MaxWidth > 0) {
        width = std::min(width, m_constraints.MaxWidth);
    }
    if (m_constraints.MinHeight > 0) {
        height = std::max(height, m_constraints.MinHeight);
    }
    if (m_constraints.MaxHeight > 0) {
        height = std::min(height, m_constraints.MaxHeight);
    }
    if (QRect(left, top, width, height) == geometry()) {
        return;
    }
    setGeometry(left, top, width, height);
}

void TiComponent::SetBackGroundColor(TColor value) {
    if (value == m_backGroundColor) {
        return;
    }
    m_backGroundColor = value;
    RequestRepaint();
}

void TiComponent::SetBorderStyle(TiBevelStyle value) {
    if (value == m_borderStyle) {
        return;
    }
    m_borderStyle = value;
    RequestRepaint();
}

void TiComponent::SetTransparent(bool value) {
    if (value == m_transparent) {
        return;
    }
    m_transparent = value;
    RequestRepaint();
}

void TiComponent::SetAutoFrameRate(bool value) {
    if (value == m_autoFrameRate) {
        return;
    }
    m_autoFrameRate = value;
    RequestRepaint();
}

void TiComponent::SetUpdateFrameRate(int value) {
    if (value == m_updateFrameRate) {
        return;
    }
    m_updateFrameRate = value;
    RequestRepaint();
}

void TiComponent::SetErrorActive(bool value) {
    if (value == m_errorActive) {
        return;
    }
    m_errorActive = value;
    RequestRepaint();
}

void TiComponent::SetErrorText(const QString& value) {
    if (value == m_errorText) {
        return;
    }
    m_errorText = value;
    RequestRepaint();
}

void TiComponent::SetErrorBackGroundColor(TColor value) {
    if (value == m_errorBackGroundColor) {
        return;
    }
    m_errorBackGroundColor = value;
    RequestRepaint();
}

void TiComponent::SetShowHint(bool value) {
    m_showHint = value;
    setToolTip(m_showHint ? m_hint : QString());
}

void TiComponent::SetHint(const QString& value) {
    m_hint = value;
    setToolTip(m_showHint ? m_hint : QString());
}

void TiComponent::SetTabStop(bool value) {
    m_tabStop = value;
    // Only the Tab key gives the focus; a click focuses a control only when the
    // control itself asks for it in its mouse hook.
    setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
}

void TiComponent::SetAnchors(TAnchors value) {
    m_anchors = value;
    recordAnchorMargins();
}

void TiComponent::SetConstraints(const TSizeConstraints& value) {
    if (value == m_constraints) {
        return;
    }
    m_constraints = value;
    SetBounds(Left(), Top(), Width(), Height());
}

void TiComponent::BeginLoading() {
    m_loading = true;
}

void TiComponent::EndLoading() {
    if (!m_loading) {
        return;
    }
    m_loading = false;
    Loaded();
}

void TiComponent::Loaded() {
    RequestRepaint();
}

void TiComponent::RequestRepaint() {
    if (Updating()) {
        m_repaintPending = true;
        return;
    }
    if (m_autoFrameRate) {
        m_repaintPending = true;
        if (frameIntervalPassed()) {
            repaintNow();
        }
        return;
    }
    repaintNow();
}

void TiComponent::BeginUpdate() {
    ++m_updateDepth;
}

void TiComponent::EndUpdate() {
    if (m_updateDepth == 0) {
        return;
    }
    if (--m_updateDepth > 0 || !m_repaintPending) {
        return;
    }
    if (!m_autoFrameRate || frameIntervalPassed()) {
        repaintNow();
    }
}

bool TiComponent::frameIntervalPassed() const {
    if (m_updateFrameRate <= 0) {
        return true; // a rate of 0 means no limit
    }
    const std::int64_t elapsed = MonotonicMilliseconds() - m_lastRepaint;
    return elapsed * m_updateFrameRate > kMillisecondsPerSecond;
}

void TiComponent::repaintNow() {
    m_repaintPending = false;
    m_lastRepaint = MonotonicMilliseconds();
    ++m_repaintCount;
    // The paint pass runs with the window's next frame.
    FramePacer::of(*this).update(*this);
}

void TiComponent::sweepTick() {
    if (!Updating() && m_repaintPending && frameIntervalPassed()) {
        repaintNow();
    }
}

void TiComponent::Changed() {
    RequestRepaint();
}

void TiComponent::BoundsChanged(bool /*resized*/) {
    RequestRepaint();
}

void TiComponent::DrawBackground(QPainter& canvas, TColor color) {
    canvas.fillRect(QRect(0, 0, Width(), Height()), toQColor(color));
    DrawBorder(canvas);
}

void TiComponent::DrawBorder(QPainter& canvas) {
    DrawBevel(canvas, QRect(0, 0, Width(), Height()), m_borderStyle);
}

void TiComponent::DrawBevel(QPainter& canvas, const QRect& bounds, TiBevelStyle style) {
    if (style == ibsRaised) {
        DrawEdge(canvas, bounds, Edge::Raised, Edge::Rect);
    } else if (style == ibsLowered) {
        DrawEdge(canvas, bounds, Edge::Sunken, Edge::Rect);
    }
}

void TiComponent::FocusGained() {
    m_focused = true;
    update();
}

void TiComponent::FocusLost() {
    m_focused = false;
    MouseUpHook(mbLeft, 0, 0, 0);
    update();
}

void TiComponent::KeyUpHook(std::uint16_t& /*key*/, TShiftState /*shift*/) {}
void TiComponent::KeyDownHook(std::uint16_t& /*key*/, TShiftState /*shift*/) {}
void TiComponent::KeyPressHook(char16_t& /*key*/) {}
void TiComponent::MouseDownHook(TMouseButton, TShiftState, int, int) {}
void TiComponent::MouseUpHook(TMouseButton, TShiftState, int, int) {}
void TiComponent::MouseMoveHook(TShiftState, int, int) {}
void TiComponent::DblClickHook() {}
bool TiComponent::MouseWheelHook(TShiftState, int, int, int) {
    return false;
}

int TiComponent::DrawTextInRect(QPainter& canvas, const QString& text, QRect& rect,
                                unsigned options) {
    unsigned format = 0;
    format |= (options & TextOption::Center) ? TextFormat::Center : 0;
    format |= (options & TextOption::Right) ? TextFormat::Right : 0;
    format |= (options & TextOption::VCenter) ? TextFormat::VCenter : 0;
    format |= (options & TextOption::Bottom) ? TextFormat::Bottom : 0;
    format |= (options & TextOption::WordBreak) ? TextFormat::WordBreak : 0;
    format |= (options & TextOption::SingleLine) ? TextFormat::SingleLine : 0;
    format |= (options & TextOption::NoClip) ? TextFormat::NoClip : 0;
    format |= (options & TextOption::CalcRect) ? TextFormat::CalcRect : 0;
    format |= (options & TextOption::ShowPrefix) ? 0 : TextFormat::NoPrefix;
    return ::DrawTextInRect(canvas, text, rect, format);
}

int TiComponent::DrawTextInRect(QPainter& canvas, const QString& text, const QRect& rect,
                                unsigned options) {
    QRect copy = rect;
    return DrawTextInRect(canvas, text, copy, options);
}

void TiComponent::paintEvent(QPaintEvent* /*event*/) {
    try {
        LockGuard lock(*this);
        // The window's painter is opened only once the face is drawn: a
        // transparent control renders what lies beneath it while drawing.
        CanvasFormat format;
        {
            const QPainter probe(this);
            format = targetFormat(probe);
        }
        // The whole face is drawn every time (a widget's face is small), into
        // the image kept from the last paint; only the part asked for is copied.
        QPainter& canvas = m_face.begin(size(), format);
        canvas.setFont(m_defaultFont);
        QString failure;
        bool failed = false;
        try {
            PaintContent(canvas);
        } catch (const std::exception& error) {
            failed = true;
            failure = QString::fromUtf8(error.what());
        } catch (...) {
            failed = true;
            failure = QStringLiteral("Unknown error");
        }
        if (failed) {
            // Start from a clean canvas: the routine may have left its painter
            // in any state when it threw.
            QPainter& errorCanvas = m_face.begin(size(), format);
            errorCanvas.setFont(m_defaultFont);
            errorCanvas.fillRect(m_face.rect(), Qt::black);
            errorCanvas.setPen(Qt::white);
            DrawTextInRect(errorCanvas, failure, m_face.rect(), TextOption::WordBreak);
        }
        QPainter window(this);
        m_face.copyTo(window);
    } catch (...) {
        // Nothing of a failed pass reaches the screen; the next one tries again.
    }
}

bool TiComponent::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && claimsKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::ParentAboutToChange && parentWidget()) {
        parentWidget()->removeEventFilter(this);
    }
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        recordAnchorMargins();
    }
    return QWidget::event(event);
}

void TiComponent::keyPressEvent(QKeyEvent* event) {
    event->accept(); // every key stays with the control (see event())
    asUserInput([&] {
        swallowing([&] {
            const TShiftState shift = shiftStateOf(event->modifiers());
            std::uint16_t key = virtualKeyOf(*event);
            if (key != 0) {
                if (OnKeyDown) {
                    OnKeyDown(this, key, shift);
                }
                if (key != 0) {
                    KeyDownHook(key, shift);
                }
            }
            char16_t character = keyCharOf(*event);
            if (character != 0) {
                if (OnKeyPress) {
                    OnKeyPress(this, character);
                }
                if (character != 0) {
                    KeyPressHook(character);
                }
            }
        });
    });
}

void TiComponent::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    asUserInput([&] {
        swallowing([&] {
            const TShiftState shift = shiftStateOf(event->modifiers());
            std::uint16_t key = virtualKeyOf(*event);
            if (key == 0) {
                return;
            }
            if (OnKeyUp) {
                OnKeyUp(this, key, shift);
            }
            if (key != 0) {
                KeyUpHook(key, shift);
            }
        });
    });
}

void TiComponent::handleMouseDown(QMouseEvent* event, TShiftState extra) {
    TMouseButton button = mbLeft;
    if (!mouseButtonOf(event->button(), button)) {
        return;
    }
    const QPoint at = event->position().toPoint();
    const TShiftState shift = shiftStateOf(event->modifiers(), event->buttons()) | extra;
    if (button == mbLeft) {
        m_leftButtonDown = true;
    }
    QPointer<TiComponent> guard(this);
    asUserInput([&] {
        swallowing([&] {
            MouseDownHook(button, shift, at.x(), at.y());
            if (guard && OnMouseDown) {
                OnMouseDown(this, button, shift, at.x(), at.y());
            }
        });
    });
}

void TiComponent::mousePressEvent(QMouseEvent* event) {
    event->accept();
    handleMouseDown(event, 0);
}

void TiComponent::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    // The second press of a double click arrives as the double click itself:
    // first the double-click handling, then a button-down marked ssDouble.
    if (event->button() == Qt::LeftButton) {
        asUserInput([&] {
            swallowing([&] {
                DblClickHook();
                if (OnDblClick) {
                    OnDblClick(this);
                }
            });
        });
    }
    handleMouseDown(event, ssDouble);
    m_leftButtonDown = false; // the second release of a double click is no click
}

void TiComponent::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    TMouseButton button = mbLeft;
    if (!mouseButtonOf(event->button(), button)) {
        return;
    }
    const QPoint at = event->position().toPoint();
    const TShiftState shift = shiftStateOf(event->modifiers(), event->buttons());
    const bool click = button == mbLeft && m_leftButtonDown && rect().contains(at);
    if (button == mbLeft) {
        m_leftButtonDown = false;
    }
    QPointer<TiComponent> guard(this);
    asUserInput([&] {
        swallowing([&] {
            MouseUpHook(button, shift, at.x(), at.y());
            if (guard && OnMouseUp) {
                OnMouseUp(this, button, shift, at.x(), at.y());
            }
            if (guard && click && OnClick) {
                OnClick(this);
            }
        });
    });
}

void TiComponent::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    const TShiftState shift = shiftStateOf(event->modifiers(), event->buttons());
    asUserInput([&] {
        swallowing([&] {
            MouseMoveHook(shift, at.x(), at.y());
            if (OnMouseMove) {
                OnMouseMove(this, shift, at.x(), at.y());
            }
        });
    });
}

void TiComponent::wheelEvent(QWheelEvent* event) {
    bool handled = false;
    const QPoint at = event->position().toPoint();
    asUserInput([&] {
        swallowing([&] {
            handled = MouseWheelHook(shiftStateOf(event->modifiers(), event->buttons()),
                                     event->angleDelta().y(), at.x(), at.y());
        });
    });
    event->setAccepted(handled);
}

void TiComponent::focusInEvent(QFocusEvent* event) {
    asUserInput([&] {
        swallowing([&] {
            FocusGained();
            // Coming back to the application is no focus change within the form.
            if (event->reason() != Qt::ActiveWindowFocusReason &&
                event->reason() != Qt::PopupFocusReason && OnEnter) {
                OnEnter(this);
            }
        });
    });
}

void TiComponent::focusOutEvent(QFocusEvent* event) {
    // A pop-up menu of the control does not take the focus from it, as on the
    // desktop the control was written for.
    if (event->reason() == Qt::PopupFocusReason) {
        return;
    }
    asUserInput([&] {
        swallowing([&] { FocusLost(); });
        swallowing([&] {
            if (event->reason() != Qt::ActiveWindowFocusReason && OnExit) {
                OnExit(this);
            }
        });
    });
}

void TiComponent::contextMenuEvent(QContextMenuEvent* event) {
    if (m_popupMenu) {
        m_popupMenu->popup(event->globalPos());
        event->accept();
        return;
    }
    event->ignore();
}

void TiComponent::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
        RequestRepaint();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void TiComponent::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    recordAnchorMargins();
    BoundsChanged(false);
}

void TiComponent::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    recordAnchorMargins();
    BoundsChanged(true);
}

void TiComponent::recordAnchorMargins() {
    if (const QWidget* parent = parentWidget()) {
        m_anchorMargins =
            QMargins(x(), y(), parent->width() - x() - width(), parent->height() - y() - height());
    }
}

void TiComponent::followParentResize() {
    const QWidget* parent = parentWidget();
    if (!parent) {
        return;
    }
    const QMargins margins = m_anchorMargins;
    int left = x();
    int top = y();
    int width = this->width();
    int height = this->height();
    // Anchored on neither side of an axis, the control keeps its centre at the
    // same fraction of the parent's extent.
    auto keepCentre = [](int before, int extent, int after, int newParentExtent) {
        const double oldParentExtent = before + extent + after;
        if (oldParentExtent <= 0) {
            return before;
        }
        const double centre = (before + extent / 2.0) / oldParentExtent;
        return static_cast<int>(std::lround(centre * newParentExtent - extent / 2.0));
    };
    if (m_anchors & akRight) {
        if (m_anchors & akLeft) {
            width = parent->width() - margins.right() - left;
        } else {
            left = parent->width() - margins.right() - width;
        }
    } else if (!(m_anchors & akLeft)) {
        left = keepCentre(margins.left(), width, margins.right(), parent->width());
    }
    if (m_anchors & akBottom) {
        if (m_anchors & akTop) {
            height = parent->height() - margins.bottom() - top;
        } else {
            top = parent->height() - margins.bottom() - height;
        }
    } else if (!(m_anchors & akTop)) {
        top = keepCentre(margins.top(), height, margins.bottom(), parent->height());
    }
    SetBounds(left, top, width, height);
    m_anchorMargins = margins; // the distances stay those the owner set
}

bool TiComponent::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize &&
        m_anchors != (akLeft | akTop)) {
        followParentResize();
    }
    return QWidget::eventFilter(watched, event);
}

void TiComponent::BeginDrag() {
    if (OnStartDrag) {
        OnStartDrag(this);
    }
    QPointer<TiComponent> guard(this);
    auto* drag = new QDrag(this);
    drag->setMimeData(new QMimeData);
    drag->exec(Qt::MoveAction);
    if (!guard) {
        return;
    }
    QObject* target = drag->target();
    QPoint at;
    if (auto* widget = qobject_cast<QWidget*>(target)) {
        at = widget->mapFromGlobal(QCursor::pos());
    }
    if (OnEndDrag) {
        OnEndDrag(this, target, at.x(), at.y());
    }
}

void TiComponent::dragEnterEvent(QDragEnterEvent* event) {
    bool accept = false;
    if (OnDragOver) {
        const QPoint at = event->position().toPoint();
        OnDragOver(this, event->source(), at.x(), at.y(), dsDragEnter, accept);
    }
    event->setAccepted(accept);
}

void TiComponent::dragMoveEvent(QDragMoveEvent* event) {
    bool accept = false;
    if (OnDragOver) {
        const QPoint at = event->position().toPoint();
        OnDragOver(this, event->source(), at.x(), at.y(), dsDragMove, accept);
    }
    event->setAccepted(accept);
}

void TiComponent::dragLeaveEvent(QDragLeaveEvent* /*event*/) {
    bool accept = false;
    if (OnDragOver) {
        OnDragOver(this, nullptr, 0, 0, dsDragLeave, accept);
    }
}

void TiComponent::dropEvent(QDropEvent* event) {
    if (OnDragDrop) {
        const QPoint at = event->position().toPoint();
        OnDragDrop(this, event->source(), at.x(), at.y());
        event->acceptProposedAction();
    }
}
