#include "widgets/grid/GridAxis.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Sizes and positions stay far below the int range, so that a start plus a
// size plus a line never overflows, however large the sizes a caller sets.
constexpr int kPositionLimit = std::numeric_limits<int>::max() / 4;

int limited(std::int64_t position) {
    return static_cast<int>(std::min<std::int64_t>(position, kPositionLimit));
}

} // namespace

GridAxis::GridAxis(const std::vector<int>& sizes, int fixedCount, int firstScrollable,
                   int lineWidth, int extent)
    : m_sizes(sizes), m_starts(sizes.size(), -1),
      m_lineWidth(std::clamp(lineWidth, 0, kPositionLimit)),
      m_extent(std::clamp(extent, 0, kPositionLimit)) {
    const int count = cellCount();
    for (int& value : m_sizes) {
        value = std::clamp(value, 0, kPositionLimit);
    }
    m_fixedCount = std::clamp(fixedCount, 0, count);
    m_firstScrollable = std::clamp(firstScrollable, m_fixedCount, count);

    std::int64_t position = 0;
    for (int index = 0; index < m_fixedCount; ++index) {
        m_starts[static_cast<std::size_t>(index)] = limited(position);
        position += m_sizes[static_cast<std::size_t>(index)] + m_lineWidth;
    }
    m_fixedBoundary = limited(position);
    m_lastVisible = m_firstScrollable - 1;
    m_lastFullyVisible = m_firstScrollable - 1;
    for (int index = m_firstScrollable; index < count && position < m_extent; ++index) {
        m_starts[static_cast<std::size_t>(index)] = limited(position);
        position += m_sizes[static_cast<std::size_t>(index)] + m_lineWidth;
        m_lastVisible = index;
        if (position <= m_extent) {
            m_lastFullyVisible = index;
        }
    }
    m_gridBoundary = limited(std::min<std::int64_t>(position, m_extent));
}

int GridAxis::size(int index) const {
    if (index < 0 || index >= cellCount()) {
        return 0;
    }
    return m_sizes[static_cast<std::size_t>(index)];
}

int GridAxis::start(int index) const {
    if (index < 0 || index >= cellCount()) {
        return -1;
    }
    return m_starts[static_cast<std::size_t>(index)];
}

int GridAxis::cellAt(int position) const {
    if (position < 0 || position >= m_extent) {
        return -1;
    }
    for (int index = 0; index < cellCount(); ++index) {
        const int first = start(index);
        if (first >= 0 && position >= first && position < first + size(index)) {
            return index;
        }
    }
    return -1;
}

int GridAxis::lineAt(int position, int tolerance) const {
    for (int index = 0; index < cellCount(); ++index) {
        const int first = start(index);
        if (first < 0) {
            continue;
        }
        const int end = first + size(index);
        if (position >= end - tolerance && position < end + m_lineWidth + tolerance) {
            return index;
        }
    }
    return -1;
}

int GridAxis::pageSize() const {
    return std::max(1, m_lastFullyVisible - m_firstScrollable + 1);
}
