#pragma once
// Rounding as the drawing code of the widgets expects it.

#include <cmath>

/// Round to nearest with halves to even, whatever the floating-point mode.
inline int roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    auto result = static_cast<long long>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) {
        ++result;
    }
    return static_cast<int>(result);
}
