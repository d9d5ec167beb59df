// Geometry of TStringGrid (border, client area, cell rectangles, hit tests),
// focus and repaint requests.

#include "widgets/grid/StringGrid.h"

#include "platform/system/ApplicationErrors.h"

#include <QApplication>
#include <algorithm>

int TStringGrid::BorderWidth() const {
    if (m_borderStyle == TBorderStyle::bsNone) {
        return 0;
    }
    return m_ctl3D ? 2 : 1;
}

QRect TStringGrid::ClientRect() const {
    const int border = BorderWidth();
    const int width = std::max(0, this->width() - 2 * border);
    const int height = std::max(0, this->height() - 2 * border);
    return QRect(border, border, width, height);
}

TStringGrid::Layout TStringGrid::ComputeLayout() const {
    const QRect client = ClientRect();
    const int vertical = (m_options & (goFixedVertLine | goVertLine)) ? m_gridLineWidth : 0;
    const int horizontal = (m_options & (goFixedHorzLine | goHorzLine)) ? m_gridLineWidth : 0;
    return Layout{GridAxis(m_colWidths, m_fixedCols, m_leftCol, vertical, client.width()),
                  GridAxis(m_rowHeights, m_fixedRows, m_topRow, horizontal, client.height())};
}

QRect TStringGrid::Mirrored(const QRect& rect) const {
    if (!isRightToLeft()) {
        return rect;
    }
    const int clientWidth = ClientRect().width();
    return QRect(clientWidth - rect.x() - rect.width(), rect.y(), rect.width(), rect.height());
}

QRect TStringGrid::CellRect(int col, int row) const {
    const Layout layout = ComputeLayout();
    if (!layout.columns.isLaidOut(col) || !layout.rows.isLaidOut(row)) {
        return {};
    }
    const QRect rect(layout.columns.start(col), layout.rows.start(row), layout.columns.size(col),
                     layout.rows.size(row));
    return Mirrored(rect).translated(ClientRect().topLeft());
}

bool TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
    const QRect client = ClientRect();
    if (!client.contains(x, y)) {
        return false;
    }
    int clientX = x - client.x();
    if (isRightToLeft()) {
        clientX = client.width() - 1 - clientX;
    }
    const Layout layout = ComputeLayout();
    const int foundCol = layout.columns.cellAt(clientX);
    const int foundRow = layout.rows.cellAt(y - client.y());
    if (foundCol < 0 || foundRow < 0) {
        return false;
    }
    col = foundCol;
    row = foundRow;
    return true;
}

bool TStringGrid::HasActiveFocus() const {
    // On a form only the grid itself counts: while its in-place editor is the
    // form's focused control, the current cell is not the focused one.
    const QWidget* top = window();
    if (top != this) {
        return top->focusWidget() == this;
    }
    // A grid that is a window of its own has the focus when the focused
    // widget is the grid or lies inside it.
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

void TStringGrid::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportApplicationError(error.what());
    } catch (...) {
        ReportApplicationError("An event handler of the grid failed.");
    }
}

void TStringGrid::InvalidateGrid() {
    if (!Loading()) {
        update(ClientRect());
    }
}

void TStringGrid::InvalidateBorder() {
    if (Loading() || !isVisible() || visibleRegion().isEmpty()) {
        return;
    }
    update(QRegion(rect()) - QRegion(ClientRect()));
}

void TStringGrid::RecreateWindow() {
    if (Loading()) {
        return;
    }
    UpdateEditorGeometry();
    update();
}
