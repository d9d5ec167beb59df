#pragma once
// A self-drawn table of text cells: column widths, row heights, fixed header
// columns and rows, grid lines, a current cell with its selection, mouse and
// keyboard movement, and cells edited in place when the options allow it.
//
// The widget's whole rectangle includes its border; the cells live in the
// client rectangle inside it. Coordinates given to and returned by the cell
// functions (CellRect, MouseToCell) are widget coordinates.

#include "platform/drawing/Canvas.h"
#include "platform/drawing/Color.h"
#include "platform/drawing/Fonts.h"
#include "widgets/grid/GridAxis.h"

#include <QFlags>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;
class TInplaceEdit;

enum TGridOption : unsigned {
    goFixedVertLine = 0x0001,
    goFixedHorzLine = 0x0002,
    goVertLine = 0x0004,
    goHorzLine = 0x0008,
    goRangeSelect = 0x0010,
    goDrawFocusSelected = 0x0020,
    goRowSizing = 0x0040,
    goColSizing = 0x0080,
    goRowMoving = 0x0100,
    goColMoving = 0x0200,
    goEditing = 0x0400,
    goTabs = 0x0800,
    goRowSelect = 0x1000,
    goAlwaysShowEditor = 0x2000,
    goThumbTracking = 0x4000,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

enum TGridDrawStateItem : unsigned { gdSelected = 0x1, gdFocused = 0x2, gdFixed = 0x4 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateItem)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

/// A block of cells by column (Left..Right) and row (Top..Bottom), both ends inclusive.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool contains(int col, int row) const {
        return col >= Left && col <= Right && row >= Top && row <= Bottom;
    }
    bool operator==(const TGridRect&) const = default;
};

enum class TBorderStyle { bsNone, bsSingle };

class TStringGrid : public QWidget {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;
    using TDrawCellEvent = std::function<void(QObject* Sender, int ACol, int ARow,
                                              const QRect& Rect, TGridDrawState State)>;

    static constexpr TGridOptions kDefaultOptions =
        TGridOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect);

    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    // While loading, setters store their values and nothing else: no repaint,
    // no colour refresh, and the fixed counts are checked against the counts
    // only when loading ends.
    void BeginLoading();
    void EndLoading();
    bool Loading() const { return m_loadingDepth > 0; }

    // Counts. ColCount and RowCount are at least 1; fixed counts must leave at
    // least one scrollable column and row, other values are refused.
    int ColCount() const { return m_colCount; }
    void SetColCount(int count);
    int RowCount() const { return m_rowCount; }
    void SetRowCount(int count);
    int FixedCols() const { return m_fixedCols; }
    void SetFixedCols(int count);
    int FixedRows() const { return m_fixedRows; }
    void SetFixedRows(int count);

    // Sizes in pixels; negative sizes count as 0 (a hidden cell). Setting a
    // default size gives every column (row) that size.
    int DefaultColWidth() const { return m_defaultColWidth; }
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void SetDefaultRowHeight(int height);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int GridLineWidth() const { return m_gridLineWidth; }
    void SetGridLineWidth(int width);

    TGridOptions Options() const { return m_options; }
    void SetOptions(TGridOptions options);

    /// The text of a cell; a cell outside the table reads as empty and ignores writes.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);

    // The current cell lies in the scrollable part; a position outside it is refused.
    int Col() const { return m_col; }
    void SetCol(int col);
    int Row() const { return m_row; }
    void SetRow(int row);
    /// Moves the current cell (and the selection with it); false if refused.
    bool SetCurrentCell(int col, int row);
    TGridRect Selection() const;
    /// Selects a block of scrollable cells; the current cell moves to its top-left corner.
    void SetSelection(const TGridRect& selection);

    // The first scrollable column and row shown (the top-left visible scrollable cell).
    int LeftCol() const { return m_leftCol; }
    void SetLeftCol(int col);
    int TopRow() const { return m_topRow; }
    void SetTopRow(int row);

    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TColor FixedColor() const { return m_fixedColor; }
    void SetFixedColor(TColor color);
    /// When set, the grid takes the colour its parent reports through ParentColorChanged.
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool parentColor);
    /// The parent's colour changed (or is first reported).
    virtual void ParentColorChanged(TColor parentColor);

    TFont& Font() { return m_font; }
    const TFont& Font() const { return m_font; }

    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);
    bool Ctl3D() const { return m_ctl3D; }
    void SetCtl3D(bool ctl3D);
    bool DefaultDrawing() const { return m_defaultDrawing; }
    void SetDefaultDrawing(bool defaultDrawing);

    /// Width of the border around the client area: 0 without a border, 2 for
    /// the sunken edge, 1 for the flat line.
    int BorderWidth() const;
    /// The area the cells are drawn in, in widget coordinates.
    QRect ClientRect() const;
    /// The rectangle of a laid-out cell in widget coordinates (the line after it
    /// excluded); an empty rectangle for a cell that is not shown.
    QRect CellRect(int col, int row) const;
    /// The cell under a widget position; false when there is none.
    bool MouseToCell(int x, int y, int& col, int& row) const;

    /// Moves a column (row) with its width (height) and texts to another place;
    /// indexes outside the table are refused.
    void MoveColumn(int from, int to);
    void MoveRow(int from, int to);

    /// The grid, or the control that owns the keyboard focus inside its window, is it.
    bool HasActiveFocus() const;

    /// The painter of the paint in progress, set up for the cell being drawn:
    /// brush in the cell's background colour, pen in its text colour, the
    /// grid's font. Null outside painting. OnDrawCell handlers draw with it.
    QPainter* Canvas() const { return m_canvas; }

    /// The in-place editor, or null while none has been created.
    TInplaceEdit* InplaceEditor() const { return m_editor; }
    bool EditorShowing() const;
    /// Shows the editor on the current cell (only with goEditing).
    void ShowEditor();
    /// Hides the editor, keeping what was typed.
    void HideEditor();

    TDrawCellEvent OnDrawCell;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

    QSize sizeHint() const override;

protected:
    /// Called once loading ends, after the counts are checked.
    virtual void Loaded();
    /// Called after Color changed (also when taken from the parent).
    virtual void ColorChanged();
    /// Called after the editor has been created.
    virtual void EditorCreated(TInplaceEdit* editor);
    /// Paints the border area into the whole-widget painter.
    virtual void PaintBorder(QPainter& painter);
    /// Colours of the lines between fixed cells and between scrollable cells.
    virtual TColor FixedGridLineColor() const;
    virtual TColor ScrollableGridLineColor() const;
    /// Runs an event handler from the event loop; a failure it raises cannot
    /// travel through the loop and is reported as an application error instead.
    void RunHandler(const std::function<void()>& handler);
    /// Asks for the client area to be painted again (nothing while loading).
    void InvalidateGrid();
    /// Asks for the border area to be painted again (nothing while loading or hidden).
    void InvalidateBorder();
    /// The border is laid out again (its width may have changed).
    void RecreateWindow();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class TInplaceEdit;
    struct Layout {
        GridAxis columns;
        GridAxis rows;
    };
    enum class Region { FixedCorner, FixedRows, FixedCols, Scrollable };

    Layout ComputeLayout() const;
    void PaintClient(QPainter& painter, const QRect& dirty);
    void PaintLines(QPainter& painter, const Layout& layout, Region region);
    void PaintCells(QPainter& painter, const Layout& layout, Region region, const QRect& dirty);
    void PaintCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state);
    void PaintRowSelectFocus(QPainter& painter, const Layout& layout);
    void ReportDrawCellFailure(const char* message);
    QRect Mirrored(const QRect& rect) const;

    void ResizeTable(int colCount, int rowCount);
    void CheckCounts();
    void ClampCurrent();
    void MoveCurrent(int col, int row, bool moveAnchor);
    void FocusCell(int col, int row, bool moveAnchor);
    void MakeVisible(int col, int row);
    bool IsScrollable(int col, int row) const;
    void MoveByKey(int key, Qt::KeyboardModifiers modifiers);
    /// The cell a movement key leads to, kept inside the scrollable cells.
    QPoint KeyTarget(int key, bool control) const;
    QPoint ToClient(QPoint position) const;
    bool StartHeaderDrag(QPoint client);
    void UpdateSizingCursor(QPoint client);
    void FinishHeaderDrag(QPoint client);
    bool StartEditing(QKeyEvent* event);
    void CommitEditor();
    void UpdateEditorGeometry();
    void EditorKey(QKeyEvent* event);

    int m_loadingDepth = 0;
    int m_colCount = 5;
    int m_rowCount = 5;
    int m_fixedCols = 1;
    int m_fixedRows = 1;
    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 24;
    std::vector<int> m_colWidths = std::vector<int>(5, 64);
    std::vector<int> m_rowHeights = std::vector<int>(5, 24);
    std::vector<QString> m_cells = std::vector<QString>(25);
    int m_gridLineWidth = 1;
    TGridOptions m_options = kDefaultOptions;
    int m_col = 1;
    int m_row = 1;
    int m_anchorCol = 1;
    int m_anchorRow = 1;
    int m_leftCol = 1;
    int m_topRow = 1;
    TColor m_color = clWindow;
    TColor m_fixedColor = clBtnFace;
    bool m_parentColor = false;
    TFont m_font;
    TBorderStyle m_borderStyle = TBorderStyle::bsSingle;
    bool m_ctl3D = true;
    bool m_defaultDrawing = true;
    // What a held left button is doing.
    enum class Drag { None, Selecting, SizingCol, SizingRow, MovingCol, MovingRow };
    Drag m_drag = Drag::None;
    int m_dragIndex = 0;
    QPainter* m_canvas = nullptr;
    // The face, kept between paints.
    ::Canvas m_face;
    // A failing cell handler is reported once, not on every paint that follows.
    bool m_drawCellFailing = false;
    bool m_drawCellFailed = false;
    TInplaceEdit* m_editor = nullptr;
};
