// Mouse and keyboard handling of TStringGrid, and the in-place editor's life.

#include "widgets/grid/InplaceEdit.h"
#include "widgets/grid/StringGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace {

// How far from a line the pointer may be and still grab it for sizing.
constexpr int kSizingTolerance = 2;

} // namespace

QPoint TStringGrid::ToClient(QPoint position) const {
    const QRect client = ClientRect();
    QPoint result = position - client.topLeft();
    if (isRightToLeft()) {
        result.setX(client.width() - 1 - result.x());
    }
    return result;
}

bool TStringGrid::StartHeaderDrag(QPoint client) {
    const Layout layout = ComputeLayout();
    const bool inFixedRows = client.y() >= 0 && client.y() < layout.rows.fixedBoundary();
    const bool inFixedCols = client.x() >= 0 && client.x() < layout.columns.fixedBoundary();
    if (inFixedRows && (m_options & goColSizing)) {
        const int col = layout.columns.lineAt(client.x(), kSizingTolerance);
        if (col >= 0) {
            m_drag = Drag::SizingCol;
            m_dragIndex = col;
            return true;
        }
    }
    if (inFixedCols && (m_options & goRowSizing)) {
        const int row = layout.rows.lineAt(client.y(), kSizingTolerance);
        if (row >= 0) {
            m_drag = Drag::SizingRow;
            m_dragIndex = row;
            return true;
        }
    }
    // A header cell of a scrollable column (row) picks the column (row) up.
    const int col = layout.columns.cellAt(client.x());
    const int row = layout.rows.cellAt(client.y());
    if (inFixedRows && !inFixedCols && (m_options & goColMoving) && col >= m_fixedCols) {
        m_drag = Drag::MovingCol;
        m_dragIndex = col;
        return true;
    }
    if (inFixedCols && !inFixedRows && (m_options & goRowMoving) && row >= m_fixedRows) {
        m_drag = Drag::MovingRow;
        m_dragIndex = row;
        return true;
    }
    return false;
}

void TStringGrid::UpdateSizingCursor(QPoint client) {
    const Layout layout = ComputeLayout();
    Qt::CursorShape shape = Qt::ArrowCursor;
    if ((m_options & goColSizing) && client.y() < layout.rows.fixedBoundary() &&
        layout.columns.lineAt(client.x(), kSizingTolerance) >= 0) {
        shape = Qt::SplitHCursor;
    } else if ((m_options & goRowSizing) && client.x() < layout.columns.fixedBoundary() &&
               layout.rows.lineAt(client.y(), kSizingTolerance) >= 0) {
        shape = Qt::SplitVCursor;
    }
    if (shape == Qt::ArrowCursor) {
        unsetCursor();
    } else {
        setCursor(shape);
    }
}

void TStringGrid::FinishHeaderDrag(QPoint client) {
    const Layout layout = ComputeLayout();
    if (m_drag == Drag::MovingCol) {
        const int target = layout.columns.cellAt(client.x());
        if (target >= m_fixedCols) {
            MoveColumn(m_dragIndex, target);
        }
    } else if (m_drag == Drag::MovingRow) {
        const int target = layout.rows.cellAt(client.y());
        if (target >= m_fixedRows) {
            MoveRow(m_dragIndex, target);
        }
    }
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (focusPolicy() & Qt::ClickFocus) {
        setFocus(Qt::MouseFocusReason);
    }
    const QPoint position = event->position().toPoint();
    if (StartHeaderDrag(ToClient(position))) {
        return;
    }
    int col = 0;
    int row = 0;
    if (!MouseToCell(position.x(), position.y(), col, row) || !IsScrollable(col, row)) {
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    if (extend) {
        // Shift extends a range selection; without range selection it does nothing.
        if (m_options & goRangeSelect) {
            FocusCell(col, row, false);
        }
        return;
    }
    const bool wasCurrent = col == m_col && row == m_row;
    FocusCell(col, row, true);
    m_drag = (m_options & goRangeSelect) ? Drag::Selecting : Drag::None;
    // A second click on the current cell opens it for editing.
    if (wasCurrent && (m_options & goEditing)) {
        ShowEditor();
    }
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    const QPoint client = ToClient(position);
    if (!(event->buttons() & Qt::LeftButton) || m_drag == Drag::None) {
        UpdateSizingCursor(client);
        QWidget::mouseMoveEvent(event);
        return;
    }
    const Layout layout = ComputeLayout();
    switch (m_drag) {
    case Drag::SizingCol:
        SetColWidths(m_dragIndex, client.x() - layout.columns.start(m_dragIndex));
        return;
    case Drag::SizingRow:
        SetRowHeights(m_dragIndex, client.y() - layout.rows.start(m_dragIndex));
        return;
    case Drag::Selecting: {
        int col = 0;
        int row = 0;
        if (MouseToCell(position.x(), position.y(), col, row) && IsScrollable(col, row) &&
            (col != m_col || row != m_row)) {
            MoveCurrent(col, row, false);
        }
        return;
    }
    default:
        return;
    }
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        FinishHeaderDrag(ToClient(event->position().toPoint()));
        m_drag = Drag::None;
    }
    QWidget::mouseReleaseEvent(event);
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click does not move the current cell: the
    // first press already did, and the handler works on that cell.
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    if (OnDblClick) {
        RunHandler([this] { OnDblClick(this); });
    }
    if ((m_options & goEditing) && !EditorShowing()) {
        ShowEditor();
    }
}

bool TStringGrid::focusNextPrevChild(bool next) {
    // With goTabs the Tab key moves between cells instead of between controls.
    if ((m_options & goTabs) && hasFocus()) {
        return false;
    }
    return QWidget::focusNextPrevChild(next);
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
    if ((m_options & goEditing) && StartEditing(event)) {
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        MoveByKey(event->key(), event->modifiers());
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (m_options & goTabs) {
            MoveByKey(event->key(), event->modifiers());
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

QPoint TStringGrid::KeyTarget(int key, bool control) const {
    const int firstCol = m_fixedCols;
    const int firstRow = m_fixedRows;
    const int lastCol = m_colCount - 1;
    const int lastRow = m_rowCount - 1;
    const bool rowSelect = (m_options & goRowSelect) != 0;
    int col = m_col;
    int row = m_row;
    switch (key) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_Left:
        col = rowSelect ? col : col - 1;
        break;
    case Qt::Key_Right:
        col = rowSelect ? col : col + 1;
        break;
    case Qt::Key_PageUp:
        row -= ComputeLayout().rows.pageSize();
        break;
    case Qt::Key_PageDown:
        row += ComputeLayout().rows.pageSize();
        break;
    case Qt::Key_Home:
        if (control || rowSelect) {
            row = firstRow;
        }
        col = firstCol;
        break;
    case Qt::Key_End:
        if (control || rowSelect) {
            row = lastRow;
        }
        col = lastCol;
        break;
    case Qt::Key_Tab:
        if (++col > lastCol) {
            col = firstCol;
            row = row < lastRow ? row + 1 : firstRow;
        }
        break;
    case Qt::Key_Backtab:
        if (--col < firstCol) {
            col = lastCol;
            row = row > firstRow ? row - 1 : lastRow;
        }
        break;
    default:
        break;
    }
    return QPoint(std::clamp(col, firstCol, lastCol), std::clamp(row, firstRow, lastRow));
}

void TStringGrid::MoveByKey(int key, Qt::KeyboardModifiers modifiers) {
    const QPoint target = KeyTarget(key, (modifiers & Qt::ControlModifier) != 0);
    if (target.x() == m_col && target.y() == m_row) {
        return;
    }
    const bool extend = (modifiers & Qt::ShiftModifier) && key != Qt::Key_Backtab;
    FocusCell(target.x(), target.y(), !extend);
}

void TStringGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    InvalidateGrid();
}

void TStringGrid::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    m_drag = Drag::None;
    InvalidateGrid();
}

// ---- in-place editing -------------------------------------------------------

bool TStringGrid::StartEditing(QKeyEvent* event) {
    if (EditorShowing() || (m_options & goRowSelect)) {
        return false;
    }
    const int key = event->key();
    if (key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter) {
        ShowEditor();
        return true;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!printable) {
        return false;
    }
    // Typing over a cell replaces its text, as in a spreadsheet.
    ShowEditor();
    m_editor->setText(text);
    return true;
}

bool TStringGrid::EditorShowing() const {
    return m_editor != nullptr && m_editor->isVisible();
}

void TStringGrid::ShowEditor() {
    if (!(m_options & goEditing) || (m_options & goRowSelect) || Loading()) {
        return;
    }
    if (m_editor == nullptr) {
        m_editor = new TInplaceEdit(this);
        m_editor->setFont(m_font.toQFont());
        m_editor->SetColor(m_color);
        EditorCreated(m_editor);
    }
    m_editor->Start(m_col, m_row, Cells(m_col, m_row));
    UpdateEditorGeometry();
    m_editor->show();
    if (hasFocus() || m_editor->hasFocus()) {
        m_editor->setFocus(Qt::OtherFocusReason);
    }
    InvalidateGrid();
}

void TStringGrid::HideEditor() {
    if (!EditorShowing()) {
        return;
    }
    CommitEditor();
    const bool hadFocus = m_editor->hasFocus();
    m_editor->hide();
    if (hadFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    InvalidateGrid();
}

void TStringGrid::EditorCreated(TInplaceEdit* /*editor*/) {}

void TStringGrid::CommitEditor() {
    if (!EditorShowing()) {
        return;
    }
    SetCells(m_editor->EditCol(), m_editor->EditRow(), m_editor->text());
}

void TStringGrid::UpdateEditorGeometry() {
    if (m_editor == nullptr) {
        return;
    }
    const QRect cell = CellRect(m_editor->EditCol(), m_editor->EditRow());
    if (cell.isEmpty()) {
        // The cell went out of view; the editor goes with it, keeping its text.
        CommitEditor();
        m_editor->hide();
        return;
    }
    m_editor->setGeometry(cell);
}

void TStringGrid::EditorKey(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        m_editor->Revert();
        if (!(m_options & goAlwaysShowEditor)) {
            HideEditor();
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        CommitEditor();
        if (!(m_options & goAlwaysShowEditor)) {
            HideEditor();
        }
        return;
    default:
        MoveByKey(event->key(), event->modifiers());
        if (EditorShowing()) {
            m_editor->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
}
