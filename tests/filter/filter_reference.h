// Plain reference computations for the filter tests: border indices by
// walking back and forth across the row, and separable sums in the obvious
// order.
#pragma once

#include <cstdint>
#include <vector>

#include "zalcv.h"

namespace filtertest {

// Index in 0..n-1 that index i takes under `kind`, or -1 for a constant border.
inline int refBorderIndex(int i, int n, int kind) {
    if (i >= 0 && i < n) return i;
    switch (kind) {
        case BorderReplicate:
            return i < 0 ? 0 : n - 1;
        case BorderWrap:
            while (i < 0) i += n;
            while (i >= n) i -= n;
            return i;
        case BorderReflect:
            if (n == 1) return 0;
            while (i < 0 || i >= n) {
                if (i < 0) i = -i;
                if (i >= n) i = 2 * (n - 1) - i;
            }
            return i;
        case BorderReflectEdge:
            while (i < 0 || i >= n) {
                if (i < 0) i = -i - 1;
                if (i >= n) i = 2 * n - 1 - i;
            }
            return i;
        default:
            return -1;
    }
}

// Clamp to [lo, hi], then truncate toward zero.
inline int refClampTrunc(float v, float lo, float hi) {
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    return static_cast<int>(v);
}

constexpr int kAllBorders[] = {BorderConstant, BorderReplicate, BorderWrap, BorderReflect, BorderReflectEdge};

}  // namespace filtertest
