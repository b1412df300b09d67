// Horizontal minimum/maximum routines with replicated border. A dedicated
// routine unrolls its window for the interior, where every column of the
// window lies inside the row, and clamps only at the two edges; the general
// routine combines block suffixes and prefixes (constant cost per pixel).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "filter/ops.h"

namespace zal::filter::minmax {
namespace {

template <class T, int C, class Op>
void rowCopy(const T* __restrict s, T* __restrict d, int width, int, int, const void*) {
    std::memcpy(d, s, static_cast<std::size_t>(width) * C * sizeof(T));
}

// Window fixed at compile time: the fold of the row seen from the M column
// shifts. Interior pixels x in [anchor, width - M + anchor] read columns
// x - anchor .. x - anchor + M - 1 straight from the row. The few pixels
// before and after fold the same columns clamped to the row, one value at a
// time (a vector fold of a short copy of the ends would wait for the copy's
// stores to drain). A repeated edge column leaves the running extremum as
// it is (it was folded already), so the left pixels extend one running
// extremum by a column each, and each right pixel folds its columns up to
// the last one.
template <class T, int C, class Op, int M>
void rowFixed(const T* __restrict s, T* __restrict d, int width, int, int anchor, const void* fetchForWrite) {
    const T* shifts[M];
    for (int j = 0; j < M; ++j) shifts[j] = s + static_cast<std::ptrdiff_t>(j) * C;
    // width >= 2M (the dedicated routines' condition), so the interior is
    // not empty and every column named below lies inside the row.
    const int lo = anchor, hi = width - M + anchor + 1;
    const auto at = [&](int x, int c) { return s[static_cast<std::ptrdiff_t>(x) * C + c]; };
    for (int c = 0; c < C && lo > 0; ++c) {
        T acc = at(0, c);
        for (int k = 1; k < M - anchor; ++k) acc = Op::pick(acc, at(k, c));
        d[c] = acc;
        for (int x = 1; x < lo; ++x) {
            acc = Op::pick(acc, at(x - anchor + M - 1, c));
            d[static_cast<std::ptrdiff_t>(x) * C + c] = acc;
        }
    }
    const std::ptrdiff_t first = static_cast<std::ptrdiff_t>(lo) * C;
    const std::size_t n = static_cast<std::size_t>(hi - lo) * C;
    if constexpr (std::is_same_v<T, float>) {
        if (fetchForWrite != nullptr) {
            foldRowsFetching<Op>(shifts, M, d + first, n, static_cast<const char*>(fetchForWrite) + first * sizeof(T));
        } else {
            foldRows<T, Op>(shifts, M, FoldFrom::FirstRow, T{}, d + first, n);
        }
    } else {
        foldRows<T, Op>(shifts, M, FoldFrom::FirstRow, T{}, d + first, n);
    }
    for (int x = hi; x < width; ++x)
        for (int c = 0; c < C; ++c) {
            T acc = at(x - anchor, c);
            for (int k = x - anchor + 1; k < width; ++k) acc = Op::pick(acc, at(k, c));
            d[static_cast<std::ptrdiff_t>(x) * C + c] = acc;
        }
}

// d[i] = pick(d[i], d[i + shift]) for i < end, reading every d[i + shift]
// before it is updated.
template <class T, class Op>
void foldShifted(T* d, std::ptrdiff_t shift, std::ptrdiff_t end) {
    if (end <= 0) return;
    const T* pair[2] = {d, d + shift};
    foldRows<T, Op>(pair, 2, FoldFrom::FirstRow, T{}, d, static_cast<std::size_t>(end));
}

// Any window, when it is wider than the row. The extended row
// e -> s[clamp(e - anchor)] is cut into blocks of `window`; the window
// starting at p = k0 + r is the block suffix from p combined with the prefix
// of the next block up to p + window - 1. The suffix is kept in the
// destination itself, so no scratch row is needed.
template <class T, int C, class Op>
void rowBlocks(const T* __restrict s, T* __restrict d, int width, int window, int anchor, const void*) {
    const auto ext = [&](std::ptrdiff_t e, int c) {
        const std::ptrdiff_t u = std::clamp<std::ptrdiff_t>(e - anchor, 0, width - 1);
        return s[u * C + c];
    };
    for (std::ptrdiff_t k0 = 0; k0 < width; k0 += window) {
        for (int c = 0; c < C; ++c) {
            T acc = ext(k0 + window - 1, c);
            for (std::ptrdiff_t p = k0 + window - 1; p >= k0; --p) {
                acc = Op::pick(acc, ext(p, c));
                if (p < width) d[p * C + c] = acc;
            }
            const std::ptrdiff_t next = k0 + window;
            T prefix = ext(next, c);
            for (std::ptrdiff_t r = 1; r < window && k0 + r < width; ++r) {
                if (r > 1) prefix = Op::pick(prefix, ext(next + r - 1, c));
                T& out = d[(k0 + r) * C + c];
                out = Op::pick(out, prefix);
            }
        }
    }
}

// Any window that fits the row, in O(log window) passes over the row.
// Doubling in place: after the pass for j, d[q] is the extremum of the 2j
// source pixels from q (a forward pass reads d[q + j] before it is
// updated). Two overlapping power-of-two spans then cover the window, the
// results are moved to their anchored place, and the edge pixels, whose
// windows are cut by the border, take running prefix/suffix extrema.
template <class T, int C, class Op>
void rowGeneral(const T* __restrict s, T* __restrict d, int width, int window, int anchor, const void*) {
    if (window > width) {
        rowBlocks<T, C, Op>(s, d, width, window, anchor, nullptr);
        return;
    }
    std::memcpy(d, s, static_cast<std::size_t>(width) * C * sizeof(T));
    std::ptrdiff_t span = 1;
    for (; 2 * span <= window; span *= 2) foldShifted<T, Op>(d, span * C, (width - 2 * span + 1) * C);
    const std::ptrdiff_t full = (static_cast<std::ptrdiff_t>(width) - window + 1) * C;
    if (span < window) foldShifted<T, Op>(d, (window - span) * C, full);
    std::memmove(d + static_cast<std::ptrdiff_t>(anchor) * C, d, static_cast<std::size_t>(full) * sizeof(T));
    // Left edge: x < anchor sees s[0 .. x - anchor + window - 1].
    for (int c = 0; c < C; ++c) {
        T acc = s[c];
        for (int k = 1; k < window - anchor; ++k) acc = Op::pick(acc, s[k * C + c]);
        for (int x = 0; x < anchor; ++x) {
            if (x > 0) acc = Op::pick(acc, s[static_cast<std::ptrdiff_t>(x - anchor + window - 1) * C + c]);
            d[static_cast<std::ptrdiff_t>(x) * C + c] = acc;
        }
    }
    // Right edge: x > width - window + anchor sees s[x - anchor .. width - 1].
    const int firstRight = width - window + anchor + 1;
    for (int c = 0; c < C; ++c) {
        T acc = s[static_cast<std::ptrdiff_t>(width - 1) * C + c];
        for (int k = width - 1 - anchor; k < width - 1; ++k) acc = Op::pick(acc, s[static_cast<std::ptrdiff_t>(k) * C + c]);
        for (int x = width - 1; x >= firstRight; --x) {
            if (x < width - 1) acc = Op::pick(acc, s[static_cast<std::ptrdiff_t>(x - anchor) * C + c]);
            d[static_cast<std::ptrdiff_t>(x) * C + c] = acc;
        }
    }
}

template <class T, int C, class Op>
struct RowTable {
    // Index: window 0..15; 8, 10, 12 and 14 (and 0, never used) go to the
    // general routine.
    static constexpr RowFilter<T> dedicated[16] = {
        rowGeneral<T, C, Op>,     rowCopy<T, C, Op>,        rowFixed<T, C, Op, 2>,    rowFixed<T, C, Op, 3>,
        rowFixed<T, C, Op, 4>,    rowFixed<T, C, Op, 5>,    rowFixed<T, C, Op, 6>,    rowFixed<T, C, Op, 7>,
        rowGeneral<T, C, Op>,     rowFixed<T, C, Op, 9>,    rowGeneral<T, C, Op>,     rowFixed<T, C, Op, 11>,
        rowGeneral<T, C, Op>,     rowFixed<T, C, Op, 13>,   rowGeneral<T, C, Op>,     rowFixed<T, C, Op, 15>,
    };
};

}  // namespace

template <class T, int C, class Op>
RowFilter<T> rowFilterFor(int window, int width) {
    if (window == 1) return rowCopy<T, C, Op>;
    if (window < 16 && width >= 2 * window) return RowTable<T, C, Op>::dedicated[window];
    return rowGeneral<T, C, Op>;
}

#define ZAL_MINMAX_ROW(T, C)                                 \
    template RowFilter<T> rowFilterFor<T, C, Min>(int, int); \
    template RowFilter<T> rowFilterFor<T, C, Max>(int, int);
ZAL_MINMAX_ROW(uint8_t, 1)
ZAL_MINMAX_ROW(uint8_t, 3)
ZAL_MINMAX_ROW(uint8_t, 4)
ZAL_MINMAX_ROW(float, 1)
ZAL_MINMAX_ROW(float, 3)
ZAL_MINMAX_ROW(float, 4)
#undef ZAL_MINMAX_ROW

}  // namespace zal::filter::minmax
