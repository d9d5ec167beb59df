#pragma once
// The pixel layout of one axis of a grid (the columns across or the rows down):
// where the fixed cells end, which scrollable cells are visible and where every
// visible cell starts. Cells are laid out one after another, each followed by
// the axis' line width; the first scrollable cell shown is the top-left one.

#include <vector>

class GridAxis {
public:
    GridAxis() = default;
    /// sizes: every cell's size (negative sizes count as 0); fixedCount: the leading
    /// fixed cells; firstScrollable: the first scrollable cell shown; lineWidth: the
    /// pixels after each cell; extent: the pixels available.
    GridAxis(const std::vector<int>& sizes, int fixedCount, int firstScrollable, int lineWidth,
             int extent);

    int lineWidth() const { return m_lineWidth; }
    int extent() const { return m_extent; }
    int cellCount() const { return static_cast<int>(m_sizes.size()); }
    int fixedCount() const { return m_fixedCount; }
    int firstScrollable() const { return m_firstScrollable; }
    /// First pixel after the fixed cells and their lines (may lie beyond the extent).
    int fixedBoundary() const { return m_fixedBoundary; }
    /// First pixel after the last visible cell and its line, never beyond the extent.
    int gridBoundary() const { return m_gridBoundary; }
    /// Last scrollable cell at least partly visible; firstScrollable() - 1 when none is.
    int lastVisible() const { return m_lastVisible; }
    /// Last scrollable cell visible whole, line included; firstScrollable() - 1 when none is.
    int lastFullyVisible() const { return m_lastFullyVisible; }

    /// Size of a cell, 0 for an index outside the axis.
    int size(int index) const;
    /// First pixel of a cell that is laid out (fixed or visible), otherwise -1.
    int start(int index) const;
    bool isLaidOut(int index) const { return start(index) >= 0; }
    /// The laid-out cell whose pixels (its line excluded) contain the position, or -1.
    int cellAt(int position) const;
    /// The laid-out cell whose trailing line lies at the position, give or take
    /// `tolerance` pixels (the handle for sizing it), or -1.
    int lineAt(int position, int tolerance) const;
    /// How many scrollable cells fit whole from the first scrollable one; at least 1.
    int pageSize() const;

private:
    std::vector<int> m_sizes;
    std::vector<int> m_starts;
    int m_lineWidth = 0;
    int m_extent = 0;
    int m_fixedCount = 0;
    int m_firstScrollable = 0;
    int m_fixedBoundary = 0;
    int m_gridBoundary = 0;
    int m_lastVisible = -1;
    int m_lastFullyVisible = -1;
};
