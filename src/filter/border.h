// The horizontal (and, for the fixed filters, vertical) border rule: which
// in-range index stands for an index outside 0..n-1.
#pragma once

#include <cstddef>

#include "zalcv.h"

namespace zal {

constexpr bool isBorderKind(int kind) { return kind >= BorderConstant && kind <= BorderReflectEdge; }

// Non-negative remainder of i modulo p (p > 0).
constexpr std::ptrdiff_t floorMod(std::ptrdiff_t i, std::ptrdiff_t p) {
    const std::ptrdiff_t r = i % p;
    return r < 0 ? r + p : r;
}

// The index in 0..n-1 whose value index i takes under `kind`, or -1 when i
// lies outside and the border is constant. Wrap and both reflections are
// periodic, so a border wider than the row keeps bouncing between its ends.
constexpr std::ptrdiff_t borderIndex(std::ptrdiff_t i, std::ptrdiff_t n, int kind) {
    if (i >= 0 && i < n) return i;
    switch (kind) {
        case BorderReplicate:
            return i < 0 ? 0 : n - 1;
        case BorderWrap:
            return floorMod(i, n);
        case BorderReflect: {
            if (n == 1) return 0;
            const std::ptrdiff_t period = 2 * (n - 1);
            const std::ptrdiff_t p = floorMod(i, period);
            return p < n ? p : period - p;
        }
        case BorderReflectEdge: {
            const std::ptrdiff_t period = 2 * n;
            const std::ptrdiff_t p = floorMod(i, period);
            return p < n ? p : period - 1 - p;
        }
        default:
            return -1;  // BorderConstant
    }
}

}  // namespace zal
