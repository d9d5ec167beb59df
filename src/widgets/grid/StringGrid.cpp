#include "widgets/grid/StringGrid.h"

#include "platform/drawing/FramePacer.h"
#include "widgets/grid/InplaceEdit.h"

#include <QEvent>
#include <algorithm>

namespace {

// Moves one element of a sequence to another index, the ones between closing up.
template <typename Iterator> void moveElement(Iterator begin, int from, int to) {
    if (from < to) {
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    } else if (to < from) {
        std::rotate(begin + to, begin + from, begin + from + 1);
    }
}

} // namespace

TStringGrid::TStringGrid(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // The whole face is composed off-screen on every paint, so the background
    // must never be erased first (it would flicker).
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_font.OnChange = [this] {
        if (m_editor != nullptr) {
            m_editor->setFont(m_font.toQFont());
        }
        InvalidateGrid();
    };
}

TStringGrid::~TStringGrid() {
    // The editor reports to the grid when it loses the focus; it must go while
    // the grid is still whole.
    delete m_editor;
    m_editor = nullptr;
}

void TStringGrid::BeginLoading() {
    ++m_loadingDepth;
}

void TStringGrid::EndLoading() {
    if (m_loadingDepth == 0) {
        return;
    }
    if (--m_loadingDepth == 0) {
        CheckCounts();
        Loaded();
    }
}

void TStringGrid::Loaded() {
    if ((m_options & goEditing) && (m_options & goAlwaysShowEditor)) {
        ShowEditor();
    }
    RecreateWindow();
}

// ---- counts and sizes -------------------------------------------------------

void TStringGrid::SetColCount(int count) {
    count = std::max(1, count);
    if (count == m_colCount) {
        return;
    }
    if (!Loading() && m_fixedCols >= count) {
        m_fixedCols = count - 1;
    }
    ResizeTable(count, m_rowCount);
}

void TStringGrid::SetRowCount(int count) {
    count = std::max(1, count);
    if (count == m_rowCount) {
        return;
    }
    if (!Loading() && m_fixedRows >= count) {
        m_fixedRows = count - 1;
    }
    ResizeTable(m_colCount, count);
}

void TStringGrid::SetFixedCols(int count) {
    // Outside loading a fixed count must leave a scrollable column; while
    // loading ColCount may still follow, so the check waits for EndLoading.
    if (count < 0 || count == m_fixedCols || (!Loading() && count >= m_colCount)) {
        return;
    }
    CommitEditor();
    m_fixedCols = count;
    m_col = m_anchorCol = m_leftCol = count;
    if (!Loading()) {
        ClampCurrent();
        InvalidateGrid();
    }
}

void TStringGrid::SetFixedRows(int count) {
    if (count < 0 || count == m_fixedRows || (!Loading() && count >= m_rowCount)) {
        return;
    }
    CommitEditor();
    m_fixedRows = count;
    m_row = m_anchorRow = m_topRow = count;
    if (!Loading()) {
        ClampCurrent();
        InvalidateGrid();
    }
}

void TStringGrid::ResizeTable(int colCount, int rowCount) {
    CommitEditor();
    std::vector<QString> cells(static_cast<std::size_t>(colCount) *
                               static_cast<std::size_t>(rowCount));
    const int keptCols = std::min(colCount, m_colCount);
    const int keptRows = std::min(rowCount, m_rowCount);
    for (int row = 0; row < keptRows; ++row) {
        for (int col = 0; col < keptCols; ++col) {
            cells[static_cast<std::size_t>(row * colCount + col)] =
                std::move(m_cells[static_cast<std::size_t>(row * m_colCount + col)]);
        }
    }
    m_cells = std::move(cells);
    m_colWidths.resize(static_cast<std::size_t>(colCount), m_defaultColWidth);
    m_rowHeights.resize(static_cast<std::size_t>(rowCount), m_defaultRowHeight);
    m_colCount = colCount;
    m_rowCount = rowCount;
    if (!Loading()) {
        ClampCurrent();
    }
    InvalidateGrid();
}

void TStringGrid::CheckCounts() {
    m_fixedCols = std::min(m_fixedCols, m_colCount - 1);
    m_fixedRows = std::min(m_fixedRows, m_rowCount - 1);
    ClampCurrent();
}

void TStringGrid::ClampCurrent() {
    const int lastCol = m_colCount - 1;
    const int lastRow = m_rowCount - 1;
    m_col = std::clamp(m_col, m_fixedCols, lastCol);
    m_row = std::clamp(m_row, m_fixedRows, lastRow);
    m_anchorCol = std::clamp(m_anchorCol, m_fixedCols, lastCol);
    m_anchorRow = std::clamp(m_anchorRow, m_fixedRows, lastRow);
    m_leftCol = std::clamp(m_leftCol, m_fixedCols, lastCol);
    m_topRow = std::clamp(m_topRow, m_fixedRows, lastRow);
}

void TStringGrid::SetDefaultColWidth(int width) {
    width = std::max(0, width);
    if (width == m_defaultColWidth) {
        return;
    }
    m_defaultColWidth = width;
    std::fill(m_colWidths.begin(), m_colWidths.end(), width);
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::SetDefaultRowHeight(int height) {
    height = std::max(0, height);
    if (height == m_defaultRowHeight) {
        return;
    }
    m_defaultRowHeight = height;
    std::fill(m_rowHeights.begin(), m_rowHeights.end(), height);
    UpdateEditorGeometry();
    InvalidateGrid();
}

int TStringGrid::ColWidths(int col) const {
    if (col < 0 || col >= m_colCount) {
        return 0;
    }
    return m_colWidths[static_cast<std::size_t>(col)];
}

void TStringGrid::SetColWidths(int col, int width) {
    if (col < 0 || col >= m_colCount) {
        return;
    }
    width = std::max(0, width);
    int& stored = m_colWidths[static_cast<std::size_t>(col)];
    if (stored == width) {
        return;
    }
    stored = width;
    UpdateEditorGeometry();
    InvalidateGrid();
}

int TStringGrid::RowHeights(int row) const {
    if (row < 0 || row >= m_rowCount) {
        return 0;
    }
    return m_rowHeights[static_cast<std::size_t>(row)];
}

void TStringGrid::SetRowHeights(int row, int height) {
    if (row < 0 || row >= m_rowCount) {
        return;
    }
    height = std::max(0, height);
    int& stored = m_rowHeights[static_cast<std::size_t>(row)];
    if (stored == height) {
        return;
    }
    stored = height;
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::SetGridLineWidth(int width) {
    width = std::max(0, width);
    if (width == m_gridLineWidth) {
        return;
    }
    m_gridLineWidth = width;
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::SetOptions(TGridOptions options) {
    if (options == m_options) {
        return;
    }
    // A whole row is selected as one, so there is no single cell to edit.
    if (options & goRowSelect) {
        options &= ~TGridOptions(goAlwaysShowEditor);
    }
    m_options = options;
    // The pointer shape over a sizable line needs moves without a button held.
    setMouseTracking((m_options & (goColSizing | goRowSizing)) != 0);
    if (!(m_options & goRangeSelect)) {
        m_anchorCol = m_col;
        m_anchorRow = m_row;
    }
    if (!Loading()) {
        if (!(m_options & goEditing) || (m_options & goRowSelect)) {
            HideEditor();
        } else if (m_options & goAlwaysShowEditor) {
            ShowEditor();
        }
    }
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::MoveColumn(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= m_colCount || to >= m_colCount) {
        return;
    }
    CommitEditor();
    moveElement(m_colWidths.begin(), from, to);
    for (int row = 0; row < m_rowCount; ++row) {
        moveElement(m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_colCount, from, to);
    }
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::MoveRow(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= m_rowCount || to >= m_rowCount) {
        return;
    }
    CommitEditor();
    moveElement(m_rowHeights.begin(), from, to);
    // A row is a contiguous run of cells, so whole runs rotate.
    std::vector<QString> row(m_cells.begin() + static_cast<std::ptrdiff_t>(from) * m_colCount,
                             m_cells.begin() + static_cast<std::ptrdiff_t>(from + 1) * m_colCount);
    const auto begin = m_cells.begin();
    if (from < to) {
        std::move(begin + static_cast<std::ptrdiff_t>(from + 1) * m_colCount,
                  begin + static_cast<std::ptrdiff_t>(to + 1) * m_colCount,
                  begin + static_cast<std::ptrdiff_t>(from) * m_colCount);
    } else {
        std::move_backward(begin + static_cast<std::ptrdiff_t>(to) * m_colCount,
                           begin + static_cast<std::ptrdiff_t>(from) * m_colCount,
                           begin + static_cast<std::ptrdiff_t>(from + 1) * m_colCount);
    }
    std::move(row.begin(), row.end(), begin + static_cast<std::ptrdiff_t>(to) * m_colCount);
    UpdateEditorGeometry();
    InvalidateGrid();
}

// ---- cells, current cell and selection ---------------------------------------

QString TStringGrid::Cells(int col, int row) const {
    if (col < 0 || col >= m_colCount || row < 0 || row >= m_rowCount) {
        return {};
    }
    return m_cells[static_cast<std::size_t>(row * m_colCount + col)];
}

void TStringGrid::SetCells(int col, int row, const QString& text) {
    if (col < 0 || col >= m_colCount || row < 0 || row >= m_rowCount) {
        return;
    }
    QString& stored = m_cells[static_cast<std::size_t>(row * m_colCount + col)];
    if (stored == text) {
        return;
    }
    stored = text;
    const QRect rect = CellRect(col, row);
    if (!Loading() && !rect.isEmpty()) {
        // Cells change with every poll; they are painted with the next frame.
        FramePacer::of(*this).update(*this, rect);
    }
}

bool TStringGrid::IsScrollable(int col, int row) const {
    return col >= m_fixedCols && col < m_colCount && row >= m_fixedRows && row < m_rowCount;
}

void TStringGrid::SetCol(int col) {
    SetCurrentCell(col, m_row);
}

void TStringGrid::SetRow(int row) {
    SetCurrentCell(m_col, row);
}

bool TStringGrid::SetCurrentCell(int col, int row) {
    if (!IsScrollable(col, row)) {
        return false;
    }
    MoveCurrent(col, row, true);
    return true;
}

void TStringGrid::MoveCurrent(int col, int row, bool moveAnchor) {
    const bool moved = col != m_col || row != m_row;
    if (moved) {
        CommitEditor();
    }
    m_col = col;
    m_row = row;
    if (moveAnchor || !(m_options & goRangeSelect)) {
        m_anchorCol = col;
        m_anchorRow = row;
    }
    if (Loading()) {
        return;
    }
    MakeVisible(col, row);
    if (moved && EditorShowing()) {
        if (m_options & goAlwaysShowEditor) {
            ShowEditor();
        } else {
            HideEditor();
        }
    }
    InvalidateGrid();
}

void TStringGrid::FocusCell(int col, int row, bool moveAnchor) {
    MoveCurrent(col, row, moveAnchor);
    if (OnClick) {
        RunHandler([this] { OnClick(this); });
    }
}

TGridRect TStringGrid::Selection() const {
    TGridRect selection{m_col, m_row, m_col, m_row};
    if (m_options & goRangeSelect) {
        selection = TGridRect{std::min(m_col, m_anchorCol), std::min(m_row, m_anchorRow),
                              std::max(m_col, m_anchorCol), std::max(m_row, m_anchorRow)};
    }
    if (m_options & goRowSelect) {
        selection.Left = m_fixedCols;
        selection.Right = m_colCount - 1;
    }
    return selection;
}

void TStringGrid::SetSelection(const TGridRect& selection) {
    const int left = std::min(selection.Left, selection.Right);
    const int right = std::max(selection.Left, selection.Right);
    const int top = std::min(selection.Top, selection.Bottom);
    const int bottom = std::max(selection.Top, selection.Bottom);
    if (!IsScrollable(left, top) || !IsScrollable(right, bottom)) {
        return;
    }
    MoveCurrent(left, top, true);
    if (m_options & goRangeSelect) {
        m_anchorCol = right;
        m_anchorRow = bottom;
    }
    InvalidateGrid();
}

void TStringGrid::SetLeftCol(int col) {
    col = std::clamp(col, m_fixedCols, m_colCount - 1);
    if (col == m_leftCol) {
        return;
    }
    m_leftCol = col;
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::SetTopRow(int row) {
    row = std::clamp(row, m_fixedRows, m_rowCount - 1);
    if (row == m_topRow) {
        return;
    }
    m_topRow = row;
    UpdateEditorGeometry();
    InvalidateGrid();
}

void TStringGrid::MakeVisible(int col, int row) {
    // Without scroll bars the grid still brings a cell reached by the keyboard
    // into view, one column or row at a time, so that no cell is unreachable.
    if (col < m_leftCol) {
        m_leftCol = col;
    }
    if (row < m_topRow) {
        m_topRow = row;
    }
    Layout layout = ComputeLayout();
    while (m_leftCol < col && layout.columns.lastFullyVisible() < col) {
        ++m_leftCol;
        layout = ComputeLayout();
    }
    while (m_topRow < row && layout.rows.lastFullyVisible() < row) {
        ++m_topRow;
        layout = ComputeLayout();
    }
    UpdateEditorGeometry();
}

// ---- colours, font, border ----------------------------------------------------

void TStringGrid::SetColor(TColor color) {
    if (color == m_color) {
        return;
    }
    m_color = color;
    m_parentColor = false;
    ColorChanged();
}

void TStringGrid::ColorChanged() {
    if (m_editor != nullptr) {
        m_editor->SetColor(m_color);
    }
    InvalidateGrid();
}

void TStringGrid::SetFixedColor(TColor color) {
    if (color == m_fixedColor) {
        return;
    }
    m_fixedColor = color;
    InvalidateGrid();
}

void TStringGrid::SetParentColor(bool parentColor) {
    m_parentColor = parentColor;
}

void TStringGrid::ParentColorChanged(TColor parentColor) {
    if (!m_parentColor || parentColor == m_color) {
        return;
    }
    m_color = parentColor;
    ColorChanged();
}

void TStringGrid::SetBorderStyle(TBorderStyle style) {
    if (style == m_borderStyle) {
        return;
    }
    m_borderStyle = style;
    RecreateWindow();
}

void TStringGrid::SetCtl3D(bool ctl3D) {
    if (ctl3D == m_ctl3D) {
        return;
    }
    m_ctl3D = ctl3D;
    RecreateWindow();
}

void TStringGrid::SetDefaultDrawing(bool defaultDrawing) {
    if (defaultDrawing == m_defaultDrawing) {
        return;
    }
    m_defaultDrawing = defaultDrawing;
    InvalidateGrid();
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateEditorGeometry();
}

void TStringGrid::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::LayoutDirectionChange) {
        update();
    }
}

QSize TStringGrid::sizeHint() const {
    return QSize(320, 120);
}
