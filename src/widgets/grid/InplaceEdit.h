#pragma once
// The line editor a string grid lays over its current cell while a cell is
// edited in place. It keeps the cell it edits and the text it started with,
// takes the grid's background colour, and hands the keys that leave the cell
// (up, down, page keys, Tab, Enter, Escape) back to the grid.

#include "platform/drawing/Color.h"

#include <QLineEdit>

class TStringGrid;

class TInplaceEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TInplaceEdit(TStringGrid* grid);

    /// Begins editing a cell with its current text.
    void Start(int col, int row, const QString& text);
    /// Puts back the text the edit started with.
    void Revert();
    int EditCol() const { return m_col; }
    int EditRow() const { return m_row; }

    TColor Color() const { return m_color; }
    void SetColor(TColor color);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    TStringGrid* m_grid = nullptr;
    int m_col = 0;
    int m_row = 0;
    QString m_original;
    TColor m_color = clWindow;
};
