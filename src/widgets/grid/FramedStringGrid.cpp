#include "widgets/grid/FramedStringGrid.h"

#include "widgets/grid/FrameController.h"
#include "widgets/grid/HlsColor.h"
#include "widgets/grid/InplaceEdit.h"

#include "platform/drawing/VisualThemes.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace {

// A line equal to the background would vanish; it is drawn this much darker.
constexpr int kLineDarkening = 50;

// Construction sizes of the framed grid.
constexpr int kDefaultRowHeight = 18;
constexpr int kDefaultColWidth = 60;
constexpr QSize kDefaultSize(325, 125);

} // namespace

TFramedStringGrid::TFramedStringGrid(QWidget* parent) : TStringGrid(parent) {
    SetDefaultRowHeight(kDefaultRowHeight);
    SetDefaultColWidth(kDefaultColWidth);
    resize(kDefaultSize);
    // The in-place editor is a child window: when the focus moves between it
    // and other controls the grid itself sees no focus event, yet its colours
    // and hot frame depend on the focus being inside it.
    m_focusChangedConnection =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) {
            QWidget* editor = InplaceEditor();
            if (editor != nullptr && (from == editor || to == editor) && from != this &&
                to != this) {
                RefreshFrameState(false, m_mouseInside);
            }
        });
}

TFramedStringGrid::~TFramedStringGrid() {
    // Destroying the children moves the focus; this part of the grid is gone by then.
    disconnect(m_focusChangedConnection);
    if (m_frameController != nullptr) {
        m_frameController->UnregisterControl(this);
    }
}

// ---- properties ----------------------------------------------------------------

void TFramedStringGrid::SetLineColor(TColor color) {
    if (color == m_lineColor) {
        return;
    }
    m_lineColor = color;
    InvalidateGrid();
}

void TFramedStringGrid::SetFixedLineColor(TColor color) {
    if (color == m_fixedLineColor) {
        return;
    }
    m_fixedLineColor = color;
    InvalidateGrid();
}

void TFramedStringGrid::SetFocusColor(TColor color) {
    if (color == m_focusColor) {
        return;
    }
    m_focusColor = color;
    if (HasActiveFocus()) {
        RefreshColors();
    }
}

void TFramedStringGrid::SetDisabledColor(TColor color) {
    if (color == m_disabledColor) {
        return;
    }
    m_disabledColor = color;
    if (!isEnabled()) {
        RefreshColors();
    }
}

void TFramedStringGrid::SetFrameVisible(bool visible) {
    if (visible == m_frameVisible) {
        return;
    }
    m_frameVisible = visible;
    // The frame needs the two-pixel border area of the sunken edge.
    if (visible) {
        SetCtl3D(true);
    }
    RecreateWindow();
}

void TFramedStringGrid::SetFrameStyle(TFrameStyle style) {
    if (style == m_frameStyle) {
        return;
    }
    m_frameStyle = style;
    RepaintBorder();
}

void TFramedStringGrid::SetFrameColor(TColor color) {
    if (color == m_frameColor) {
        return;
    }
    m_frameColor = color;
    RepaintBorder();
}

void TFramedStringGrid::SetFrameSides(TSides sides) {
    if (sides == m_frameSides) {
        return;
    }
    m_frameSides = sides;
    RepaintBorder();
}

void TFramedStringGrid::SetFrameHotTrack(bool hotTrack) {
    if (hotTrack == m_frameHotTrack) {
        return;
    }
    m_frameHotTrack = hotTrack;
    if (hotTrack) {
        SetFrameVisible(true);
        // A stored window keeps the sides it was saved with.
        if (!Loading()) {
            SetFrameSides(kAllSides);
        }
    }
    RepaintBorder();
    if (!Loading()) {
        update();
    }
}

void TFramedStringGrid::SetFrameHotStyle(TFrameStyle style) {
    if (style == m_frameHotStyle) {
        return;
    }
    m_frameHotStyle = style;
    RepaintBorder();
}

void TFramedStringGrid::SetFrameHotColor(TColor color) {
    if (color == m_frameHotColor) {
        return;
    }
    m_frameHotColor = color;
    RepaintBorder();
}

void TFramedStringGrid::SetFramingPreference(TFramingPreference preference) {
    if (preference == m_framingPreference) {
        return;
    }
    m_framingPreference = preference;
    // Either way the border may now be painted by someone else.
    RepaintBorder();
}

void TFramedStringGrid::SetFrameController(TFrameController* controller) {
    if (controller == m_frameController) {
        return;
    }
    if (m_frameController != nullptr) {
        m_frameController->UnregisterControl(this);
    }
    m_frameController = controller;
    if (controller != nullptr) {
        controller->RegisterControl(this);
    }
}

void TFramedStringGrid::SetFrameControllerNotifications(
    TFrameControllerNotifications notifications) {
    m_frameControllerNotifications = notifications;
}

void TFramedStringGrid::FrameControllerDestroyed(TFrameController* controller) {
    if (controller == m_frameController) {
        m_frameController = nullptr;
    }
}

bool TFramedStringGrid::IsStored(TFrameControllerNotification property) const {
    if (m_frameController != nullptr && (m_frameControllerNotifications & property)) {
        return false;
    }
    switch (property) {
    case fcnColor:
        return isEnabled();
    case fcnFocusColor:
        return m_focusColor != Color();
    default:
        return true;
    }
}

// ---- state -----------------------------------------------------------------------

bool TFramedStringGrid::ThemedFraming() const {
    return m_framingPreference == TFramingPreference::fpXPThemes && VisualThemes::active();
}

bool TFramedStringGrid::FrameIsHot() const {
    return m_frameHotTrack && (HasActiveFocus() || m_mouseInside);
}

bool TFramedStringGrid::EditorHasFocus() const {
    return InplaceEditor() != nullptr && InplaceEditor()->hasFocus();
}

void TFramedStringGrid::RefreshColors() {
    if (Loading()) {
        return;
    }
    TColor target = m_restColor;
    if (!isEnabled()) {
        target = m_disabledColor;
    } else if (HasActiveFocus()) {
        target = m_focusColor;
    }
    const bool parentColor = ParentColor();
    m_refreshingColors = true;
    SetColor(target);
    m_refreshingColors = false;
    SetParentColor(parentColor);
}

void TFramedStringGrid::RefreshFrameState(bool fromMouse, bool mouseInside) {
    if (fromMouse) {
        m_mouseInside = mouseInside;
    }
    if (m_frameHotTrack) {
        RepaintBorder();
    }
    RefreshColors();
}

void TFramedStringGrid::RepaintBorder() {
    InvalidateBorder();
}

void TFramedStringGrid::RepaintBorderIfFramed() {
    if (m_frameVisible && !ThemedFraming()) {
        RepaintBorder();
    }
}

void TFramedStringGrid::TakeOutsideColor() {
    if (m_refreshingColors) {
        return;
    }
    // A focus colour that was never set apart from the resting one moves with it.
    if (m_focusColor == m_restColor) {
        m_focusColor = Color();
    }
    m_restColor = Color();
}

// ---- hooks ---------------------------------------------------------------------

void TFramedStringGrid::Loaded() {
    TStringGrid::Loaded();
    RefreshColors();
    RefreshFrameState(false, false);
}

void TFramedStringGrid::ColorChanged() {
    TStringGrid::ColorChanged();
    TakeOutsideColor();
    RepaintBorderIfFramed();
}

void TFramedStringGrid::ParentColorChanged(TColor parentColor) {
    TStringGrid::ParentColorChanged(parentColor);
    if (ParentColor()) {
        TakeOutsideColor();
    }
    RepaintBorderIfFramed();
}

void TFramedStringGrid::EditorCreated(TInplaceEdit* editor) {
    TStringGrid::EditorCreated(editor);
    editor->SetColor(Color());
}

void TFramedStringGrid::focusInEvent(QFocusEvent* event) {
    RefreshFrameState(false, m_mouseInside);
    TStringGrid::focusInEvent(event);
}

void TFramedStringGrid::focusOutEvent(QFocusEvent* event) {
    TStringGrid::focusOutEvent(event);
    RefreshFrameState(false, m_mouseInside);
}

void TFramedStringGrid::enterEvent(QEnterEvent* event) {
    TStringGrid::enterEvent(event);
    if (OnMouseEnter) {
        RunHandler([this] { OnMouseEnter(this); });
    }
    if (!EditorHasFocus()) {
        RefreshFrameState(true, true);
    }
}

void TFramedStringGrid::leaveEvent(QEvent* event) {
    TStringGrid::leaveEvent(event);
    if (OnMouseLeave) {
        RunHandler([this] { OnMouseLeave(this); });
    }
    if (!EditorHasFocus()) {
        RefreshFrameState(true, false);
    }
}

void TFramedStringGrid::changeEvent(QEvent* event) {
    TStringGrid::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        RefreshColors();
    }
}

void TFramedStringGrid::resizeEvent(QResizeEvent* event) {
    TStringGrid::resizeEvent(event);
    RepaintBorderIfFramed();
}

// ---- painting ------------------------------------------------------------------

TColor TFramedStringGrid::FixedGridLineColor() const {
    return m_fixedLineColor;
}

TColor TFramedStringGrid::ScrollableGridLineColor() const {
    if (ColorToRGB(m_lineColor) == ColorToRGB(Color())) {
        return darkenByLightness(m_lineColor, kLineDarkening);
    }
    return m_lineColor;
}

void TFramedStringGrid::PaintBorder(QPainter& painter) {
    if (BorderStyle() == TBorderStyle::bsNone) {
        return;
    }
    TStringGrid::PaintBorder(painter);
    painter.save();
    // The frame lives in the border area; the cells are never painted over.
    painter.setClipRegion(QRegion(rect()) - QRegion(ClientRect()), Qt::IntersectClip);
    if (m_frameVisible && !ThemedFraming()) {
        const bool hot = FrameIsHot();
        PaintFrame(painter, hot ? m_frameHotStyle : m_frameStyle,
                   hot ? m_frameHotColor : m_frameColor, m_frameSides);
    } else if (VisualThemes::active()) {
        PaintFrame(painter, TFrameStyle::fsFlat, VisualThemes::editBorderColor(), kAllSides);
    }
    painter.restore();
}
