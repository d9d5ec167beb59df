#pragma once
// The string grid of the register table: grid lines in chosen colours, a
// background that follows the control's state (focused, disabled), an
// optional frame painted in the border area with selectable styles, sides and
// colours and a hot-tracked variant, and mouse enter and leave events.

#include "widgets/grid/StringGrid.h"

class TFrameController;

enum class TFrameStyle {
    fsNone,
    fsFlat,
    fsGroove,
    fsBump,
    fsLowered,
    fsButtonDown,
    fsRaised,
    fsButtonUp,
    fsStatus,
    fsPopup,
    fsFlatBold,
};

enum TSide : unsigned { sdLeft = 0x1, sdTop = 0x2, sdRight = 0x4, sdBottom = 0x8 };
Q_DECLARE_FLAGS(TSides, TSide)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSides)
inline constexpr TSides kAllSides = TSides(sdLeft | sdTop | sdRight | sdBottom);

enum class TFramingPreference { fpXPThemes, fpCustomFraming };

/// The properties a frame controller may govern.
enum TFrameControllerNotification : unsigned {
    fcnFrameVisible = 0x001,
    fcnFrameStyle = 0x002,
    fcnFrameColor = 0x004,
    fcnFrameSides = 0x008,
    fcnFrameHotTrack = 0x010,
    fcnFrameHotStyle = 0x020,
    fcnFrameHotColor = 0x040,
    fcnFramingPreference = 0x080,
    fcnFocusColor = 0x100,
    fcnDisabledColor = 0x200,
    fcnColor = 0x400,
};
Q_DECLARE_FLAGS(TFrameControllerNotifications, TFrameControllerNotification)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFrameControllerNotifications)
inline constexpr TFrameControllerNotifications kAllFrameControllerNotifications =
    TFrameControllerNotifications(0x7FF);

class TFramedStringGrid : public TStringGrid {
    Q_OBJECT

public:
    explicit TFramedStringGrid(QWidget* parent = nullptr);
    ~TFramedStringGrid() override;

    TColor LineColor() const { return m_lineColor; }
    void SetLineColor(TColor color);
    TColor FixedLineColor() const { return m_fixedLineColor; }
    void SetFixedLineColor(TColor color);
    TColor FocusColor() const { return m_focusColor; }
    void SetFocusColor(TColor color);
    TColor DisabledColor() const { return m_disabledColor; }
    void SetDisabledColor(TColor color);

    bool FrameVisible() const { return m_frameVisible; }
    void SetFrameVisible(bool visible);
    TFrameStyle FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(TFrameStyle style);
    TColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(TColor color);
    TSides FrameSides() const { return m_frameSides; }
    void SetFrameSides(TSides sides);
    bool FrameHotTrack() const { return m_frameHotTrack; }
    void SetFrameHotTrack(bool hotTrack);
    TFrameStyle FrameHotStyle() const { return m_frameHotStyle; }
    void SetFrameHotStyle(TFrameStyle style);
    TColor FrameHotColor() const { return m_frameHotColor; }
    void SetFrameHotColor(TColor color);
    TFramingPreference FramingPreference() const { return m_framingPreference; }
    void SetFramingPreference(TFramingPreference preference);

    TFrameController* FrameController() const { return m_frameController; }
    void SetFrameController(TFrameController* controller);
    TFrameControllerNotifications FrameControllerNotifications() const {
        return m_frameControllerNotifications;
    }
    void SetFrameControllerNotifications(TFrameControllerNotifications notifications);

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    /// The background while enabled and not focused; follows every outside change of Color.
    TColor RestColor() const { return m_restColor; }
    bool MouseInside() const { return m_mouseInside; }
    /// The desktop's themed frame stands in for the custom one.
    bool ThemedFraming() const;
    /// The hot frame is shown: hot tracking on and focused or under the mouse.
    bool FrameIsHot() const;

    /// Whether a property goes into a saved description of the window: not
    /// when the attached controller governs it; Color not while disabled (it
    /// is then the disabled colour); FocusColor not while it equals Color.
    bool IsStored(TFrameControllerNotification property) const;

    void ParentColorChanged(TColor parentColor) override;

protected:
    void Loaded() override;
    void ColorChanged() override;
    void EditorCreated(TInplaceEdit* editor) override;
    void PaintBorder(QPainter& painter) override;
    TColor FixedGridLineColor() const override;
    TColor ScrollableGridLineColor() const override;

    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TFrameController;

    void RefreshColors();
    void RefreshFrameState(bool fromMouse, bool mouseInside);
    void RepaintBorder();
    void RepaintBorderIfFramed();
    void TakeOutsideColor();
    bool EditorHasFocus() const;
    void PaintFrame(QPainter& painter, TFrameStyle style, TColor color, TSides sides);
    void FrameControllerDestroyed(TFrameController* controller);

    TColor m_lineColor = clBtnFace;
    TColor m_fixedLineColor = clBtnShadow;
    TColor m_focusColor = clWindow;
    TColor m_disabledColor = clBtnFace;
    TColor m_restColor = clWindow;
    bool m_frameVisible = false;
    TFrameStyle m_frameStyle = TFrameStyle::fsFlat;
    TColor m_frameColor = clBtnShadow;
    TSides m_frameSides = kAllSides;
    bool m_frameHotTrack = false;
    TFrameStyle m_frameHotStyle = TFrameStyle::fsFlatBold;
    TColor m_frameHotColor = clBtnShadow;
    TFramingPreference m_framingPreference = TFramingPreference::fpXPThemes;
    TFrameController* m_frameController = nullptr;
    TFrameControllerNotifications m_frameControllerNotifications = kAllFrameControllerNotifications;
    bool m_mouseInside = false;
    // Set while RefreshColors changes Color, so the change is not taken for
    // a new resting colour.
    bool m_refreshingColors = false;
    QMetaObject::Connection m_focusChangedConnection;
};
