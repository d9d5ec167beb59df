// Painting of TStringGrid: the border, then the client area composed in four
// regions (fixed corner, fixed rows, fixed columns, scrollable cells), lines
// first and cells after them, all in one off-screen image.

#include "widgets/grid/InplaceEdit.h"
#include "widgets/grid/StringGrid.h"

#include "platform/drawing/Canvas.h"
#include "platform/drawing/DrawText.h"
#include "platform/drawing/Edges.h"
#include "platform/system/ApplicationErrors.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {

// Columns and rows of one region with the pixel span they cover.
struct Span {
    int first = 0;
    int last = -1; // inclusive; last < first means the span is empty
    int begin = 0; // first pixel
    int end = 0;   // first pixel after the span, lines included
    bool isEmpty() const { return last < first; }
};

Span fixedSpan(const GridAxis& axis) {
    return Span{0, axis.fixedCount() - 1, 0, axis.fixedBoundary()};
}

Span scrollableSpan(const GridAxis& axis) {
    return Span{axis.firstScrollable(), axis.lastVisible(), axis.fixedBoundary(),
                std::max(axis.fixedBoundary(), axis.gridBoundary())};
}

void fillRect(QPainter& painter, const QRect& rect, TColor color) {
    if (!rect.isEmpty()) {
        painter.fillRect(rect, toQColor(color));
    }
}

} // namespace

void TStringGrid::paintEvent(QPaintEvent* event) {
    // Only the part asked for is drawn, on the face kept from the last paint:
    // a changed cell costs that cell, not the whole table.
    QPainter target(this);
    QPainter& painter = m_face.begin(size(), targetFormat(target), event->region());
    const QRect dirtyArea = m_face.dirty().boundingRect();
    if (!ClientRect().contains(dirtyArea)) {
        PaintBorder(painter);
    }
    const QRect client = ClientRect();
    if (!client.isEmpty()) {
        painter.save();
        painter.setClipRect(client, Qt::IntersectClip);
        painter.translate(client.topLeft());
        const QRect dirty = dirtyArea.translated(-client.topLeft());
        PaintClient(painter, dirty.intersected(QRect(QPoint(0, 0), client.size())));
        painter.restore();
    }
    m_face.copyTo(target);
}

void TStringGrid::PaintBorder(QPainter& painter) {
    if (m_borderStyle == TBorderStyle::bsNone) {
        return;
    }
    if (m_ctl3D) {
        DrawEdge(painter, rect(), Edge::Sunken, Edge::Rect);
        return;
    }
    const QRect whole = rect();
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(clWindowFrame));
    painter.drawRects(QList<QRect>{
        QRect(whole.left(), whole.top(), whole.width(), 1),
        QRect(whole.left(), whole.bottom(), whole.width(), 1),
        QRect(whole.left(), whole.top(), 1, whole.height()),
        QRect(whole.right(), whole.top(), 1, whole.height()),
    });
    painter.restore();
}

TColor TStringGrid::FixedGridLineColor() const {
    return clBlack;
}

TColor TStringGrid::ScrollableGridLineColor() const {
    return ColorToRGB(m_color) == ColorToRGB(clSilver) ? clGray : clSilver;
}

void TStringGrid::PaintClient(QPainter& painter, const QRect& dirty) {
    const Layout layout = ComputeLayout();
    constexpr Region kOrder[] = {Region::FixedCorner, Region::FixedRows, Region::FixedCols,
                                 Region::Scrollable};
    if (layout.columns.lineWidth() > 0 || layout.rows.lineWidth() > 0) {
        for (Region region : kOrder) {
            PaintLines(painter, layout, region);
        }
    }
    m_canvas = &painter;
    m_drawCellFailed = false;
    for (Region region : kOrder) {
        PaintCells(painter, layout, region, dirty);
    }
    m_canvas = nullptr;
    m_drawCellFailing = m_drawCellFailed;
    PaintRowSelectFocus(painter, layout);

    // Whatever lies right of the last column and below the last row.
    const int extentX = layout.columns.extent();
    const int extentY = layout.rows.extent();
    const int boundaryX = std::max(layout.columns.gridBoundary(), layout.columns.fixedBoundary());
    const int boundaryY = std::max(layout.rows.gridBoundary(), layout.rows.fixedBoundary());
    if (boundaryX < extentX) {
        fillRect(painter, Mirrored(QRect(boundaryX, 0, extentX - boundaryX, boundaryY)), m_color);
    }
    if (boundaryY < extentY) {
        fillRect(painter, QRect(0, boundaryY, extentX, extentY - boundaryY), m_color);
    }
}

void TStringGrid::PaintLines(QPainter& painter, const Layout& layout, Region region) {
    const bool fixedCols = region == Region::FixedCorner || region == Region::FixedCols;
    const bool fixedRows = region == Region::FixedCorner || region == Region::FixedRows;
    const Span cols = fixedCols ? fixedSpan(layout.columns) : scrollableSpan(layout.columns);
    const Span rows = fixedRows ? fixedSpan(layout.rows) : scrollableSpan(layout.rows);
    if (cols.isEmpty() || rows.isEmpty()) {
        return;
    }
    const bool scrollable = region == Region::Scrollable;
    const bool horizontalOn = (m_options & (scrollable ? goHorzLine : goFixedHorzLine)) != 0;
    const bool verticalOn = (m_options & (scrollable ? goVertLine : goFixedVertLine)) != 0;
    const TColor onColor = scrollable ? ScrollableGridLineColor() : FixedGridLineColor();
    const TColor offColor = scrollable ? m_color : m_fixedColor;

    // One batch per axis: a line after every cell of the region, across the
    // whole region (lines of the other axis included).
    const auto batchSize =
        static_cast<qsizetype>(std::max(cols.last - cols.first, rows.last - rows.first) + 1 + 3);
    QList<QRect> vertical;
    QList<QRect> horizontal;
    vertical.reserve(batchSize);
    horizontal.reserve(batchSize);
    const int lineX = layout.columns.lineWidth();
    const int lineY = layout.rows.lineWidth();
    for (int col = cols.first; lineX > 0 && col <= cols.last; ++col) {
        const int x = layout.columns.start(col) + layout.columns.size(col);
        vertical.append(Mirrored(QRect(x, rows.begin, lineX, rows.end - rows.begin)));
    }
    for (int row = rows.first; lineY > 0 && row <= rows.last; ++row) {
        const int y = layout.rows.start(row) + layout.rows.size(row);
        horizontal.append(Mirrored(QRect(cols.begin, y, cols.end - cols.begin, lineY)));
    }
    auto draw = [&painter](const QList<QRect>& lines, TColor color) {
        if (lines.isEmpty()) {
            return;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(color));
        painter.drawRects(lines);
    };
    // The lines of the switched-on direction go on top.
    if (horizontalOn) {
        draw(vertical, verticalOn ? onColor : offColor);
        draw(horizontal, onColor);
    } else {
        draw(horizontal, offColor);
        draw(vertical, verticalOn ? onColor : offColor);
    }
}

void TStringGrid::PaintCells(QPainter& painter, const Layout& layout, Region region,
                             const QRect& dirty) {
    const bool fixedCols = region == Region::FixedCorner || region == Region::FixedCols;
    const bool fixedRows = region == Region::FixedCorner || region == Region::FixedRows;
    const Span cols = fixedCols ? fixedSpan(layout.columns) : scrollableSpan(layout.columns);
    const Span rows = fixedRows ? fixedSpan(layout.rows) : scrollableSpan(layout.rows);
    const bool fixed = region != Region::Scrollable;
    const bool focused = HasActiveFocus();
    const TGridRect selection = Selection();
    const bool editing = (m_options & goEditing) && EditorShowing();
    for (int row = rows.first; row <= rows.last; ++row) {
        for (int col = cols.first; col <= cols.last; ++col) {
            const int width = layout.columns.size(col);
            if (width == 0) {
                continue;
            }
            const QRect rect = Mirrored(QRect(layout.columns.start(col), layout.rows.start(row),
                                              width, layout.rows.size(row)));
            if (!rect.intersects(dirty)) {
                continue;
            }
            TGridDrawState state;
            if (fixed) {
                state |= gdFixed;
            } else {
                if (focused && col == m_col && row == m_row) {
                    state |= gdFocused;
                }
                if (selection.contains(col, row)) {
                    state |= gdSelected;
                }
            }
            // The editor covers the focused cell; painting under it would flicker.
            if ((state & gdFocused) && editing) {
                continue;
            }
            PaintCell(painter, col, row, rect, state);
        }
    }
}

void TStringGrid::PaintCell(QPainter& painter, int col, int row, const QRect& rect,
                            TGridDrawState state) {
    TColor background = (state & gdFixed) ? m_fixedColor : m_color;
    TColor textColor = m_font.Color();
    if (m_defaultDrawing) {
        const bool highlight =
            (state & gdSelected) &&
            (!(state & gdFocused) || (m_options & (goDrawFocusSelected | goRowSelect)));
        if (highlight) {
            background = clHighlight;
            textColor = clHighlightText;
        }
        fillRect(painter, rect, background);
    }
    painter.save();
    painter.setBrush(toQColor(background));
    painter.setPen(toQColor(textColor));
    painter.setFont(m_font.toQFont());
    if (m_defaultDrawing && rect.width() > 2 && rect.height() > 2) {
        DrawTextInRect(painter, Cells(col, row),
                       rectFromEdges(rect.left() + 2, rect.top() + 2, rect.left() + rect.width(),
                                     rect.top() + rect.height()),
                       TextFormat::SingleLine | TextFormat::NoPrefix);
    }
    if (OnDrawCell) {
        // The handler runs inside a paint: a failure would otherwise come
        // back with every repaint, so it is reported once per failing streak
        // and the cell keeps its default face.
        try {
            OnDrawCell(this, col, row, rect, state);
        } catch (const std::exception& error) {
            ReportDrawCellFailure(error.what());
        } catch (...) {
            ReportDrawCellFailure("The cell drawing handler failed.");
        }
    }
    painter.restore();
    const bool editorAlwaysShown = (m_options & goEditing) && (m_options & goAlwaysShowEditor);
    if (m_defaultDrawing && (state & gdFocused) && !editorAlwaysShown &&
        !(m_options & goRowSelect)) {
        DrawFocusRect(painter, rect);
    }
}

void TStringGrid::ReportDrawCellFailure(const char* message) {
    if (!m_drawCellFailing && !m_drawCellFailed) {
        ReportApplicationError(message);
    }
    m_drawCellFailed = true;
}

void TStringGrid::PaintRowSelectFocus(QPainter& painter, const Layout& layout) {
    if (!(m_options & goRowSelect) || !m_defaultDrawing || !HasActiveFocus()) {
        return;
    }
    const TGridRect selection = Selection();
    const GridAxis& columns = layout.columns;
    const GridAxis& rows = layout.rows;
    const int firstCol = std::max(selection.Left, columns.firstScrollable());
    const int lastCol = std::min(selection.Right, columns.lastVisible());
    const int firstRow = std::max(selection.Top, rows.firstScrollable());
    const int lastRow = std::min(selection.Bottom, rows.lastVisible());
    if (firstCol > lastCol || firstRow > lastRow) {
        return;
    }
    const int left = columns.start(firstCol);
    const int right = columns.start(lastCol) + columns.size(lastCol);
    const int top = rows.start(firstRow);
    const int bottom = rows.start(lastRow) + rows.size(lastRow);
    DrawFocusRect(painter, Mirrored(rectFromEdges(left, top, right, bottom)));
}
