// The two raster passes of the chamfer distance transform. The forward pass
// runs top to bottom, left to right, over the half mask above and to the
// left; the backward pass runs bottom to top, right to left, over the mirror
// half. Pixels of the first and last columns and rows, whose masks leave the
// ROI, are handled by separate code so that the interior loops carry no
// bounds tests.
//
// Each row is done in two steps with the same result as the pixel-by-pixel
// minimum: first the candidates from the other rows, which do not depend on
// each other and vectorise; then the scan along the row with the single
// candidate from the neighbour just finished (left + a forward, right + a
// backward). In the backward pass a pixel at or below the threshold keeps
// its value under the minimum, so it needs no test.
//
// For float distances both steps run on vectors, the scan included (see
// distance_transform_rows.cpp for why that keeps the serial result).
//
// Distances are held in the output type T and computed in W (int32 for the
// integer outputs, float for 32f). Every neighbour + weight sum is limited to
// the output maximum, which stands for "no zero pixel reached yet".
#pragma once

#include <cfloat>
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "region/distance_transform_rows.h"

namespace zal::chamfer {

template <class T>
struct Limits;
template <>
struct Limits<uint8_t> {
    using W = int32_t;
    static constexpr W kMax = 255;
};
template <>
struct Limits<uint16_t> {
    using W = int32_t;
    static constexpr W kMax = 65535;
};
template <>
struct Limits<float> {
    using W = float;
    static constexpr W kMax = FLT_MAX;
};

// Integer weights are clamped to the maximum before use, so d + w (d and w
// both at most the maximum) never overflows 32 bits; a float sum that
// overflows to infinity is limited like any other.
template <class T>
inline typename Limits<T>::W plus(typename Limits<T>::W d, typename Limits<T>::W w) {
    const auto s = d + w;
    return s < Limits<T>::kMax ? s : Limits<T>::kMax;
}

template <class W>
inline W smaller(W x, W y) {
    return y < x ? y : x;
}

// ---- shared row steps ----------------------------------------------------

// Float rows go through the vector steps of distance_transform_rows.cpp
// (same bits). A float destination at the source's address takes the zero
// tests from the destination itself and stays on the loops below.
template <class T, bool InPlace>
inline constexpr bool kVectorRows = std::is_same_v<T, float> && !InPlace;

// d[x] = min(d[x], d[x - 1] + a) from left to right. d[x] never exceeds the
// maximum, so the sum needs no limit (a float sum may overflow to infinity
// and simply loses the minimum).
template <class T>
void leftScan(T* d, int w, typename Limits<T>::W a) {
    using W = typename Limits<T>::W;
    if constexpr (kVectorRows<T, false>) return scanLeft32f(d, w, a);
    W left = d[0];
    for (int x = 1; x < w; ++x) {
        left = smaller<W>(d[x], left + a);
        d[x] = static_cast<T>(left);
    }
}

// d[x] = min(d[x], d[x + 1] + a) from right to left.
template <class T>
void rightScan(T* d, int w, typename Limits<T>::W a) {
    using W = typename Limits<T>::W;
    if constexpr (kVectorRows<T, false>) return scanRight32f(d, w, a);
    W right = d[w - 1];
    for (int x = w - 2; x >= 0; --x) {
        right = smaller<W>(d[x], right + a);
        d[x] = static_cast<T>(right);
    }
}

// Source zero test; the in-place form reads the destination row itself,
// before it is written, so the loop sees no second pointer to the row.
template <class T, bool InPlace>
inline bool isZero(const uint8_t* s, const T* d, int x) {
    if constexpr (InPlace) return d[x] == 0;
    else return s[x] == 0;
}

// ---- 3x3 mask ---------------------------------------------------------------

// Weights of one 3x3 run: a straight, b diagonal, twoB = 2b for the extra
// candidates of the last row; t is the backward threshold of the serial
// paths (no candidate can be below it).
template <class T>
struct Mask3 {
    using W = typename Limits<T>::W;
    W a, b, twoB, t;
};

// Forward candidates from the row above, for a row of width >= 2: 0 at zero
// pixels, else the smallest of up + a and (Diag) the upper diagonals + b.
template <class T, bool Diag, bool InPlace>
void fromAbove3(const uint8_t* s, T* d, const T* up, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    W v = plus<T>(up[0], m.a);
    if constexpr (Diag) v = smaller(v, plus<T>(up[1], m.b));
    d[0] = isZero<T, InPlace>(s, d, 0) ? T(0) : static_cast<T>(v);
    if constexpr (kVectorRows<T, InPlace>) {
        fromAbove3_32f(s, d, up, 1, w - 1, m.a, m.b, Diag);
    } else {
        for (int x = 1; x < w - 1; ++x) {
            v = plus<T>(up[x], m.a);
            if constexpr (Diag) v = smaller(v, smaller(plus<T>(up[x - 1], m.b), plus<T>(up[x + 1], m.b)));
            d[x] = isZero<T, InPlace>(s, d, x) ? T(0) : static_cast<T>(v);
        }
    }
    const int x = w - 1;
    v = plus<T>(up[x], m.a);
    if constexpr (Diag) v = smaller(v, plus<T>(up[x - 1], m.b));
    d[x] = isZero<T, InPlace>(s, d, x) ? T(0) : static_cast<T>(v);
}

// Backward candidates from the row below, for a row of width >= 2.
template <class T, bool Diag>
void fromBelow3(T* d, const T* lo, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    W v = smaller<W>(d[0], plus<T>(lo[0], m.a));
    if constexpr (Diag) v = smaller(v, plus<T>(lo[1], m.b));
    d[0] = static_cast<T>(v);
    if constexpr (kVectorRows<T, false>) {
        fromBelow3_32f(d, lo, 1, w - 1, m.a, m.b, Diag);
    } else {
        for (int x = 1; x < w - 1; ++x) {
            v = smaller<W>(d[x], plus<T>(lo[x], m.a));
            if constexpr (Diag) v = smaller(v, smaller(plus<T>(lo[x - 1], m.b), plus<T>(lo[x + 1], m.b)));
            d[x] = static_cast<T>(v);
        }
    }
    const int x = w - 1;
    v = smaller<W>(d[x], plus<T>(lo[x], m.a));
    if constexpr (Diag) v = smaller(v, plus<T>(lo[x - 1], m.b));
    d[x] = static_cast<T>(v);
}

// Last row when the diagonal is cheaper (a > b): the zig-zag along the row
// is seen through the pixel two to the left + 2b (forward) and two to the
// right + 2b (backward), so these rows run pixel by pixel.
template <class T>
void forwardLastRowSkip2(const uint8_t* s, T* d, const T* up, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    for (int x = 0; x < w; ++x) {
        W v = smaller(plus<T>(up[x], m.a), x + 1 < w ? plus<T>(up[x + 1], m.b) : Limits<T>::kMax);
        if (x >= 1) v = smaller(v, smaller(plus<T>(d[x - 1], m.a), plus<T>(up[x - 1], m.b)));
        if (x >= 2) v = smaller(v, plus<T>(d[x - 2], m.twoB));
        d[x] = s[x] ? static_cast<T>(v) : T(0);  // source read before the write
    }
}

template <class T>
void backwardLastRowSkip2(T* d, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    for (int x = w - 2; x >= 0; --x) {
        if (W(d[x]) <= m.t) continue;
        W v = smaller<W>(d[x], plus<T>(d[x + 1], m.a));
        if (x + 2 < w) v = smaller(v, plus<T>(d[x + 2], m.twoB));
        d[x] = static_cast<T>(v);
    }
}

// First row of the forward pass: only left neighbours; the first pixel has
// none and starts at the maximum.
template <class T>
void forwardFirstRow(const uint8_t* s, T* d, int w, typename Limits<T>::W a) {
    using W = typename Limits<T>::W;
    W left = s[0] ? Limits<T>::kMax : W(0);
    d[0] = static_cast<T>(left);
    for (int x = 1; x < w; ++x) {
        left = s[x] ? plus<T>(left, a) : W(0);
        d[x] = static_cast<T>(left);
    }
}

// A one-pixel-wide ROI: down the column with +a, then up the column.
template <class T>
void column3(Image<const uint8_t> src, Image<T> dst, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    W above = *src.row(0) ? Limits<T>::kMax : W(0);
    *dst.row(0) = static_cast<T>(above);
    for (int y = 1; y < dst.height; ++y) {
        above = *src.row(y) ? plus<T>(above, m.a) : W(0);
        *dst.row(y) = static_cast<T>(above);
    }
    for (int y = dst.height - 2; y >= 0; --y) {
        T* d = dst.row(y);
        if (W(*d) > m.t) *d = static_cast<T>(smaller<W>(*d, plus<T>(*dst.row(y + 1), m.a)));
    }
}

template <class T, bool Diag, bool Skip2>
void passes3(Image<const uint8_t> src, Image<T> dst, const Mask3<T>& m) {
    const int w = dst.width, h = dst.height;
    const bool inPlace = static_cast<const void*>(src.base) == static_cast<const void*>(dst.base);
    forwardFirstRow(src.row(0), dst.row(0), w, m.a);
    const int plainRows = Skip2 ? h - 1 : h;
    for (int y = 1; y < plainRows; ++y) {
        T* d = dst.row(y);
        if (inPlace) fromAbove3<T, Diag, true>(nullptr, d, dst.row(y - 1), w, m);
        else fromAbove3<T, Diag, false>(src.row(y), d, dst.row(y - 1), w, m);
        leftScan(d, w, m.a);
    }
    if constexpr (Skip2) {
        forwardLastRowSkip2(src.row(h - 1), dst.row(h - 1), dst.row(h - 2), w, m);
        backwardLastRowSkip2(dst.row(h - 1), w, m);
    } else {
        rightScan(dst.row(h - 1), w, m.a);
    }
    for (int y = h - 2; y >= 0; --y) {
        T* d = dst.row(y);
        fromBelow3<T, Diag>(d, dst.row(y + 1), w, m);
        rightScan(d, w, m.a);
    }
}

// The 3x3 transform. noDiagonal: b >= 2a, so a diagonal step never beats two
// straight ones; diagonalCheaper: a > b (needs both dimensions above 1).
template <class T>
void transform3x3(Image<const uint8_t> src, Image<T> dst, const Mask3<T>& m, bool noDiagonal, bool diagonalCheaper) {
    if (dst.width == 1) return column3(src, dst, m);
    if (noDiagonal) return passes3<T, false, false>(src, dst, m);
    if (diagonalCheaper && dst.height > 1) return passes3<T, true, true>(src, dst, m);
    passes3<T, true, false>(src, dst, m);
}

// ---- 5x5 mask ---------------------------------------------------------------

// a straight, b diagonal (already min(2a, b)), c knight step.
template <class T>
struct Mask5 {
    using W = typename Limits<T>::W;
    W a, b, c;
};

// The candidates of (x, y) from row y + dy (dy = -1 or +1: x-2..x+2) and row
// y + 2 dy (x-1, x+1), with bounds tests; the maximum when there are none.
template <class T>
typename Limits<T>::W otherRows5At(const Image<T>& dst, int x, int y, int dy, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    const int w = dst.width, h = dst.height;
    W v = Limits<T>::kMax;
    const int y1 = y + dy, y2 = y + 2 * dy;
    if (y1 >= 0 && y1 < h) {
        const T* r = dst.row(y1);
        const W weights[5] = {m.c, m.b, m.a, m.b, m.c};
        for (int k = -2; k <= 2; ++k)
            if (x + k >= 0 && x + k < w) v = smaller(v, plus<T>(r[x + k], weights[k + 2]));
    }
    if (y2 >= 0 && y2 < h) {
        const T* r2 = dst.row(y2);
        if (x >= 1) v = smaller(v, plus<T>(r2[x - 1], m.c));
        if (x + 1 < w) v = smaller(v, plus<T>(r2[x + 1], m.c));
    }
    return v;
}

// The same for x in [begin, end), with the whole mask inside the ROI.
template <class T>
typename Limits<T>::W otherRows5(const T* r, const T* r2, int x, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    W v = smaller(plus<T>(r[x], m.a), smaller(plus<T>(r[x - 1], m.b), plus<T>(r[x + 1], m.b)));
    v = smaller(v, smaller(plus<T>(r[x - 2], m.c), plus<T>(r[x + 2], m.c)));
    return smaller(v, smaller(plus<T>(r2[x - 1], m.c), plus<T>(r2[x + 1], m.c)));
}

template <class T, bool InPlace>
void fromAbove5(const uint8_t* s, T* d, const T* up, const T* up2, int begin, int end, const Mask5<T>& m) {
    if constexpr (kVectorRows<T, InPlace>) return fromAbove5_32f(s, d, up, up2, begin, end, m.a, m.b, m.c);
    for (int x = begin; x < end; ++x)
        d[x] = isZero<T, InPlace>(s, d, x) ? T(0) : static_cast<T>(otherRows5(up, up2, x, m));
}

template <class T>
void fromBelow5(T* d, const T* lo, const T* lo2, int begin, int end, const Mask5<T>& m) {
    if constexpr (kVectorRows<T, false>) return fromBelow5_32f(d, lo, lo2, begin, end, m.a, m.b, m.c);
    for (int x = begin; x < end; ++x) d[x] = static_cast<T>(smaller<typename Limits<T>::W>(d[x], otherRows5(lo, lo2, x, m)));
}

// The 5x5 transform. Columns [0, 2) and [w - 2, w) and rows whose mask
// leaves the ROI go through the checked candidates; narrow or low ROIs are
// thus handled entirely by them.
template <class T>
void transform5x5(Image<const uint8_t> src, Image<T> dst, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    const int w = dst.width, h = dst.height;
    const bool inPlace = static_cast<const void*>(src.base) == static_cast<const void*>(dst.base);
    const int lo = w < 2 ? w : 2;
    const int hi = w - 2 > lo ? w - 2 : lo;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src.row(y);
        T* d = dst.row(y);
        auto checked = [&](int x) {
            const bool zero = s[x] == 0;  // read before the write (in place)
            d[x] = zero ? T(0) : static_cast<T>(otherRows5At(dst, x, y, -1, m));
        };
        for (int x = 0; x < lo; ++x) checked(x);
        if (y >= 2) {
            if (inPlace) fromAbove5<T, true>(nullptr, d, dst.row(y - 1), dst.row(y - 2), lo, hi, m);
            else fromAbove5<T, false>(s, d, dst.row(y - 1), dst.row(y - 2), lo, hi, m);
        } else {
            for (int x = lo; x < hi; ++x) checked(x);
        }
        for (int x = hi; x < w; ++x) checked(x);
        leftScan(d, w, m.a);
    }
    for (int y = h - 1; y >= 0; --y) {
        T* d = dst.row(y);
        auto checked = [&](int x) { d[x] = static_cast<T>(smaller<W>(d[x], otherRows5At(dst, x, y, 1, m))); };
        for (int x = 0; x < lo; ++x) checked(x);
        if (y + 2 < h) fromBelow5(d, dst.row(y + 1), dst.row(y + 2), lo, hi, m);
        else
            for (int x = lo; x < hi; ++x) checked(x);
        for (int x = hi; x < w; ++x) checked(x);
        rightScan(d, w, m.a);
    }
}

}  // namespace zal::chamfer
