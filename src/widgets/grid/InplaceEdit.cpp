#include "widgets/grid/InplaceEdit.h"

#include "widgets/grid/StringGrid.h"

#include <QKeyEvent>

TInplaceEdit::TInplaceEdit(TStringGrid* grid) : QLineEdit(grid), m_grid(grid) {
    setFrame(false);
    hide();
    SetColor(grid->Color());
}

void TInplaceEdit::Start(int col, int row, const QString& text) {
    m_col = col;
    m_row = row;
    m_original = text;
    setText(text);
    selectAll();
}

void TInplaceEdit::Revert() {
    setText(m_original);
}

void TInplaceEdit::SetColor(TColor color) {
    m_color = color;
    QPalette colors = palette();
    colors.setColor(QPalette::Base, toQColor(color));
    colors.setColor(QPalette::Text, toQColor(m_grid->Font().Color()));
    setPalette(colors);
}

void TInplaceEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_grid->EditorKey(event);
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (m_grid->Options() & goTabs) {
            m_grid->EditorKey(event);
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

bool TInplaceEdit::focusNextPrevChild(bool next) {
    if (m_grid->Options() & goTabs) {
        return false;
    }
    return QLineEdit::focusNextPrevChild(next);
}

void TInplaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Leaving the editor keeps what was typed.
    if (isVisible()) {
        m_grid->SetCells(m_col, m_row, text());
    }
}
