#pragma once
// The common base of the instrument widgets: a child widget that draws every
// pixel of itself. Each paint pass composes the whole face off-screen and
// copies it to the window in one operation; property setters ask for repaints
// through RequestRepaint, which batches (BeginUpdate/EndUpdate) and rate-limits
// (AutoFrameRate) them. Input reaches overridable hooks with UserInput set.

#include "platform/drawing/Canvas.h"
#include "platform/drawing/Color.h"
#include "platform/drawing/Fonts.h"
#include "widgets/instrument/iTypes.h"

#include <QPainter>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>

#include <QMenu>

/// The colour with each of its red, green and blue bytes (as stored, system
/// colours not resolved) divided by `divisor` (integer division) when it is at
/// least 1, or multiplied by -`divisor` when below 1, each clamped to 0..255.
/// The unlit shade of segments and lamps is DimColor(colour, 3).
TColor DimColor(TColor color, int divisor);

class TiComponent : public QWidget {
    Q_OBJECT
public:
    explicit TiComponent(QWidget* parent = nullptr);
    ~TiComponent() override;

    // Bounds in parent pixels.
    int Left() const { return x(); }
    int Top() const { return y(); }
    int Width() const { return width(); }
    int Height() const { return height(); }
    void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
    void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
    void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
    void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
    /// Moves and resizes; sizes are clamped to 0 and to the constraints.
    /// Equal bounds change nothing.
    void SetBounds(int left, int top, int width, int height);

    TColor BackGroundColor() const { return m_backGroundColor; }
    virtual void SetBackGroundColor(TColor value);
    TiBevelStyle BorderStyle() const { return m_borderStyle; }
    virtual void SetBorderStyle(TiBevelStyle value);
    bool Transparent() const { return m_transparent; }
    virtual void SetTransparent(bool value);

    bool AutoFrameRate() const { return m_autoFrameRate; }
    void SetAutoFrameRate(bool value);
    int UpdateFrameRate() const { return m_updateFrameRate; }
    void SetUpdateFrameRate(int value);

    bool ErrorActive() const { return m_errorActive; }
    void SetErrorActive(bool value);
    QString ErrorText() const { return m_errorText; }
    void SetErrorText(const QString& value);
    /// A change to the font's attributes repaints the control.
    TFont& ErrorFont() { return m_errorFont; }
    const TFont& ErrorFont() const { return m_errorFont; }
    TColor ErrorBackGroundColor() const { return m_errorBackGroundColor; }
    void SetErrorBackGroundColor(TColor value);

    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);
    QString Hint() const { return m_hint; }
    void SetHint(const QString& value);
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool value);
    TAnchors Anchors() const { return m_anchors; }
    void SetAnchors(TAnchors value);
    TSizeConstraints Constraints() const { return m_constraints; }
    void SetConstraints(const TSizeConstraints& value);

    bool Focused() const { return m_focused; }
    /// True only while a key, mouse or focus event (or another user command)
    /// is being handled: a change made now was made by the operator.
    bool UserInput() const { return m_userInput; }

    /// The loading state: while a window applies its stored property values,
    /// setters store only and auto-sizing and range clamping wait for
    /// EndLoading, which calls Loaded().
    void BeginLoading();
    void EndLoading();
    bool Loading() const { return m_loading; }

    /// Asks for a repaint under the batching and frame-rate rules.
    void RequestRepaint();
    /// Brackets a batch of changes; their repaint requests collapse into one at
    /// the outermost EndUpdate.
    virtual void BeginUpdate();
    virtual void EndUpdate();
    bool Updating() const { return m_updateDepth > 0; }
    bool RepaintPending() const { return m_repaintPending; }
    /// How many times a repaint reached the window (was invalidated).
    int RepaintCount() const { return m_repaintCount; }

    /// The per-control recursive paint lock, for code on another thread that
    /// changes a widget's state. Both do nothing while the control is destroyed.
    virtual void Lock() {}
    virtual void Unlock() {}

    /// Starts a drag of this control (OnStartDrag, then OnEndDrag with the target).
    void BeginDrag();

    /// Text in a rectangle with the canvas font, in the canvas pen colour,
    /// glyphs only. Returns the text height; with TextOption::CalcRect nothing
    /// is drawn and the rectangle's bottom (and right) are fitted to the text.
    static int DrawTextInRect(QPainter& canvas, const QString& text, QRect& rect, unsigned options);
    static int DrawTextInRect(QPainter& canvas, const QString& text, const QRect& rect,
                              unsigned options);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TDragDropEvent OnDragDrop;
    TDragOverEvent OnDragOver;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;

    virtual QPoint GetCenterPoint() const { return QPoint(Width() / 2, Height() / 2); }

protected:
    virtual void DrawBackground(QPainter& canvas, TColor color);
    virtual void DrawBorder(QPainter& canvas);
    /// The raised or sunken 3-D edge of `style` on all four sides of `bounds`;
    /// nothing for ibsNone.
    static void DrawBevel(QPainter& canvas, const QRect& bounds, TiBevelStyle style);
    virtual void FocusGained();
    virtual void FocusLost();
    virtual void KeyUpHook(std::uint16_t& key, TShiftState shift);
    virtual void KeyDownHook(std::uint16_t& key, TShiftState shift);
    virtual void KeyPressHook(char16_t& key);
    virtual void MouseDownHook(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUpHook(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMoveHook(TShiftState shift, int x, int y);
    virtual void DblClickHook();
    /// Returns true when the wheel was used; the base leaves it to the parent.
    virtual bool MouseWheelHook(TShiftState shift, int delta, int x, int y);
    /// Draws the whole face on a canvas of exactly Width × Height pixels.
    virtual void PaintContent(QPainter& canvas) = 0;
    /// RequestRepaint; the transparent base also marks its snapshot stale.
    virtual void Changed();
    /// Called by EndLoading once every stored value has arrived.
    virtual void Loaded();
    /// Bounds changed (moved or resized) by any means.
    virtual void BoundsChanged(bool resized);
    /// Runs `action` with UserInput set, restoring the previous state after.
    template <typename Action> void asUserInput(Action&& action);

    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    /// True while the control is being destroyed.
    bool Destroying() const { return m_destroying; }
    void setDestroying() { m_destroying = true; }

private:
    friend class RepaintSweep;
    void repaintNow();
    bool frameIntervalPassed() const;
    void sweepTick();
    void recordAnchorMargins();
    void followParentResize();
    void handleMouseDown(QMouseEvent* event, TShiftState extra);

    TColor m_backGroundColor = clBtnFace;
    TiBevelStyle m_borderStyle = ibsNone;
    bool m_transparent = false;
    bool m_autoFrameRate = false;
    int m_updateFrameRate = 60;
    bool m_errorActive = false;
    QString m_errorText = QStringLiteral("Error");
    TFont m_errorFont{QStringLiteral("MS Sans Serif"), -11, fsBold, clRed};
    TColor m_errorBackGroundColor = clBlack;
    QPointer<QMenu> m_popupMenu;
    bool m_showHint = false;
    QString m_hint;
    bool m_tabStop = false;
    TAnchors m_anchors = akLeft | akTop;
    TSizeConstraints m_constraints;
    QMargins m_anchorMargins; // distances to the parent's edges, for the anchors
    bool m_focused = false;
    bool m_userInput = false;
    bool m_loading = false;
    int m_updateDepth = 0;
    bool m_repaintPending = false;
    std::int64_t m_lastRepaint = 0;
    int m_repaintCount = 0;
    bool m_leftButtonDown = false;
    bool m_destroying = false;
    // The face, kept between paints, and the font a paint starts with.
    Canvas m_face;
    QFont m_defaultFont = TFont().toQFont();
};

template <typename Action> void TiComponent::asUserInput(Action&& action) {
    const bool previous = m_userInput;
    m_userInput = true;
    try {
        action();
    } catch (...) {
        m_userInput = previous;
        throw;
    }
    m_userInput = previous;
}
