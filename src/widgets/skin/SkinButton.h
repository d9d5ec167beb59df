#pragma once
// A push button drawn entirely from a three-frame skin strip (normal, pointer
// over, pressed), stretched to any size with its corners kept. It takes the
// focus, answers Space, Enter (as the focused or the default button), Escape
// (as the cancel button) and its caption's accelerator, sets the modal result
// of its window and can fire a repeating event while it is held down.
//
// TskCustomButton holds the state machine, the paint pipeline and the input
// handling; TskButton adds the nine-slice face, the glyph and the style's
// transparency.

#include "platform/drawing/Color.h"
#include "platform/drawing/Fonts.h"
#include "platform/system/Timer.h"
#include "widgets/skin/SkinMgr.h"
#include "widgets/skin/SkinThemes.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TskCustomButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TskFileTheme* FileTheme READ FileTheme WRITE SetFileTheme)
public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button,
                                           Qt::KeyboardModifiers shift, int x, int y)>;
    using TMouseMoveEvent =
        std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;
    using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;
    using TKeyPressEvent = std::function<void(QObject* sender, QChar& key)>;

    /// Size of the blank face used when no frame can be fetched.
    static constexpr QSize BlankFaceSize{74, 21};
    static constexpr int DefaultRepeatInterval = 100;
    static constexpr int DefaultFocusedRectMargin = 2;

    explicit TskCustomButton(QWidget* parent = nullptr);
    ~TskCustomButton() override;

    /// While loading, setters only store their values; EndLoading applies them
    /// (auto-size, default-button role, transparency) and repaints once.
    void BeginLoading();
    void EndLoading();
    bool Loading() const { return m_loading; }

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);
    TskUIStyle UIStyle() const { return m_uiStyle; }
    void SetUIStyle(TskUIStyle style);
    TskFileTheme* FileTheme() const { return m_fileTheme; }
    /// Stores the theme and re-applies the style, also for the same theme.
    void SetFileTheme(TskFileTheme* theme);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool transparent);
    bool Default() const { return m_default; }
    void SetDefault(bool isDefault);
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool cancel) { m_cancel = cancel; }
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }
    int FocusedRectMargin() const { return m_focusedRectMargin; }
    void SetFocusedRectMargin(int margin);
    int MouseContinuouslyDownInterval() const { return m_repeatInterval; }
    void SetMouseContinuouslyDownInterval(int milliseconds) { m_repeatInterval = milliseconds; }
    /// A placeholder kept for stored designs: always 0, writes are ignored.
    std::uint32_t ResHandle() const { return 0; }
    void SetResHandle(std::uint32_t) {}
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool tabStop);
    /// The button's own setting, whatever its window's state.
    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    void SetEnabled(bool enabled) { setEnabled(enabled); }
    /// The button's own setting: true unless it was hidden, also while its
    /// window is not shown yet.
    bool Visible() const {
        return !(testAttribute(Qt::WA_WState_ExplicitShowHide) &&
                 testAttribute(Qt::WA_WState_Hidden));
    }
    void SetVisible(bool visible) { setVisible(visible); }

    /// The face colour under an opaque button; the parent's while ParentColor.
    TColor Color() const;
    void SetColor(TColor color);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool parentColor);
    /// The caption font; while ParentFont the parent's font is used for drawing.
    const TFont& Font() const { return m_font; }
    void SetFont(const TFont& font);
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool parentFont);
    QAction* Action() const { return m_action; }
    void SetAction(QAction* action);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    QString Hint() const { return m_hint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool showHint);

    /// Presses the button: ends a hold, hands ModalResult to the window and
    /// runs OnClick (or the action).
    virtual void Click();

    // State, readable for the window's code and for tests.
    bool MouseInside() const { return m_mouseInside; }
    bool Pressed() const { return m_pressed; }
    bool ActiveDefault() const { return m_activeDefault; }
    bool Repeating() const { return m_repeatTimer != nullptr; }

    TNotifyEvent OnClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;
    TNotifyEvent OnMouseContinuouslyDown;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    virtual void AutoSizeChanged();
    virtual void CaptionChanged() {}
    virtual void FontChanged();
    virtual void TransparentChanged();
    virtual void EnabledChanged() {}
    virtual void UIStyleChanged() {}
    virtual void PaintFace(QPainter& canvas, const QImage& face);
    virtual void PaintCaption(QPainter& canvas, const QString& text);
    virtual void PaintFocusCue(QPainter& canvas);
    /// The attached action changed: caption, enabled state, visibility and hint follow it.
    virtual void ActionChange(QAction* action);
    virtual void GetNormalFrame(QImage& bitmap) { FetchFrame(bitmap, 1); }
    virtual void GetHotFrame(QImage& bitmap) { FetchFrame(bitmap, 2); }
    virtual void GetPressedFrame(QImage& bitmap) { FetchFrame(bitmap, 3); }
    virtual void GetDisabledFrame(QImage& bitmap) { FetchFrame(bitmap, 1); }

    /// Frame k of 3 of the button image, from the theme file or the built-in
    /// style that ResolveSkinSource picks. Throws when the frame is missing.
    void FetchFrame(QImage& bitmap, int frameIndex) const;

    /// Draws the parent's own background and face under this control.
    static void PaintParentBackground(QPainter& canvas, const QWidget* control);

    /// The font and text colour captions are drawn with.
    QFont CaptionFont() const;
    QColor CaptionColor() const;
    bool FaceTransparent() const { return m_faceTransparent; }
    bool BoldCaption() const { return m_boldCaption; }
    void SetBoldCaption(bool bold) { m_boldCaption = bold; }
    /// Draws a caption in the colours of the button's state: embossed when
    /// disabled (white shifted by (1, 1), then grey), otherwise once in the
    /// font colour, shifted by (1, 1) while pressed. `draw` gets the shift.
    void PaintCaptionStates(QPainter& canvas, const std::function<void(QPoint shift)>& draw) const;
    /// Repaints unless the window is still being loaded.
    void Changed();

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QImage faceForState();
    void pressWithLeftButton();
    void stopRepeating();
    static void closeModalDialog(QWidget* form);
    void setPressed(bool pressed);
    void setMouseInside(bool inside);
    void focusMovedTo(QWidget* focused);
    void rebroadcastFocus();
    void watchWindow();
    void updateAcceleratorShortcut();
    bool handleDialogKey(QKeyEvent* event);
    bool canTakeFocus() const;

    QString m_caption;
    bool m_autoSize = false;
    TskUIStyle m_uiStyle = FallbackUIStyle;
    QPointer<TskFileTheme> m_fileTheme;
    QMetaObject::Connection m_fileThemeGone;
    bool m_transparent = false;
    bool m_default = false;
    bool m_cancel = false;
    int m_modalResult = 0;
    int m_focusedRectMargin = DefaultFocusedRectMargin;
    int m_repeatInterval = DefaultRepeatInterval;
    bool m_tabStop = true;
    TColor m_color = clBtnFace;
    bool m_parentColor = true;
    TFont m_font;
    bool m_parentFont = true;
    QPointer<QAction> m_action;
    QMetaObject::Connection m_actionChanged;
    QPointer<QMenu> m_popupMenu;
    QString m_hint;
    bool m_showHint = false;

    bool m_loading = false;
    bool m_mouseInside = false;
    bool m_pressed = false;
    bool m_activeDefault = false;
    bool m_boldCaption = false;
    bool m_faceTransparent = false;
    std::unique_ptr<Timer> m_repeatTimer;
    QPointer<QWidget> m_watchedWindow;
    int m_acceleratorShortcut = 0;
};

class TskButton : public TskCustomButton {
    Q_OBJECT
public:
    static constexpr int DefaultWidth = 80;
    static constexpr int DefaultHeight = 27;
    static constexpr int DefaultSpacing = 4;

    explicit TskButton(QWidget* parent = nullptr);

    const QImage& Glyph() const { return m_glyph; }
    /// Copies the picture; a picture twice as wide as high is a two-frame
    /// strip (enabled, disabled).
    void SetGlyph(const QImage& glyph);
    TButtonLayout Layout() const { return m_layout; }
    void SetLayout(TButtonLayout layout);
    int Spacing() const { return m_spacing; }
    void SetSpacing(int spacing);

    /// Top-left of the caption beside a glyph, as of the last paint.
    QPoint CaptionOrigin() const { return m_captionOrigin; }

protected:
    void UIStyleChanged() override;
    void PaintFace(QPainter& canvas, const QImage& face) override;
    void PaintCaption(QPainter& canvas, const QString& text) override;
    void PaintFocusCue(QPainter& canvas) override;
    void ActionChange(QAction* action) override;

private:
    void paintGlyph(QPainter& canvas);

    QImage m_glyph;
    TButtonLayout m_layout = TButtonLayout::blGlyphLeft;
    int m_spacing = DefaultSpacing;
    QPoint m_captionOrigin;
};
