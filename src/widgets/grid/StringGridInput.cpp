// Mouse and keyboard handling of TStringGrid, and the in-place editor's life.

#include "InplaceEdit.h"
#include "StringGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (focusPolicy() & Qt::ClickFocus) {
        setFocus(Qt::MouseFocusReason);
    }
    const QPoint position = event->position().toPoint();
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
    m_selecting = (m_options & goRangeSelect) != 0;
    // A second click on the current cell opens it for editing.
    if (wasCurrent && (m_options & goEditing)) {
        ShowEditor();
    }
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint position = event->position().toPoint();
    int col = 0;
    int row = 0;
    if (MouseToCell(position.x(), position.y(), col, row) && IsScrollable(col, row) &&
        (col != m_col || row != m_row)) {
        MoveCurrent(col, row, false);
    }
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_selecting = false;
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

void TStringGrid::MoveByKey(int key, Qt::KeyboardModifiers modifiers) {
    const int firstCol = m_fixedCols;
    const int firstRow = m_fixedRows;
    const int lastCol = m_colCount - 1;
    const int lastRow = m_rowCount - 1;
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    const bool rowSelect = (m_options & goRowSelect) != 0;
    const int page = ComputeLayout().rows.pageSize();
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
        row -= page;
        break;
    case Qt::Key_PageDown:
        row += page;
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
        return;
    }
    col = std::clamp(col, firstCol, lastCol);
    row = std::clamp(row, firstRow, lastRow);
    if (col == m_col && row == m_row) {
        return;
    }
    const bool extend = (modifiers & Qt::ShiftModifier) && key != Qt::Key_Backtab;
    FocusCell(col, row, !extend);
}

void TStringGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    InvalidateGrid();
}

void TStringGrid::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    m_selecting = false;
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
    if (!(m_options & goEditing) || (m_options & goRowSelect) || IsLoading()) {
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
    if (hasFocus() || HasActiveFocus()) {
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
