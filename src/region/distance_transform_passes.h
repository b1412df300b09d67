// The two raster passes of the chamfer distance transform. The forward pass
// runs top to bottom, left to right, over the half mask above and to the
// left; the backward pass runs bottom to top, right to left, over the mirror
// half. Pixels of the first and last columns and rows, whose masks leave the
// ROI, are handled by separate code so that the interior loops carry no
// bounds tests.
//
// Distances are held in the output type T and computed in W (int32 for the
// integer outputs, float for 32f). Every neighbour + weight sum is limited to
// the output maximum, which stands for "no zero pixel reached yet".
#pragma once

#include <cfloat>
#include <cstdint>

#include "core/image.h"

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

// ---- 3x3 mask ---------------------------------------------------------------

// Weights of one 3x3 run: a straight, b diagonal, twoB = 2b for the extra
// candidates of the last row; t is the backward threshold (no candidate can
// be below it, so pixels at or below it are final after the forward pass).
template <class T>
struct Mask3 {
    using W = typename Limits<T>::W;
    W a, b, twoB, t;
};

// Forward pass over one row y >= 1 of width >= 2. Diag: diagonal candidates;
// Skip2: the pixel two to the left + 2b (last row, diagonal cheaper).
template <class T, bool Diag, bool Skip2>
void forwardRow3(const uint8_t* s, T* d, const T* up, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    W v = plus<T>(up[0], m.a);
    if constexpr (Diag) v = smaller(v, plus<T>(up[1], m.b));
    // Each source pixel is read before its position is written (in place).
    W left = s[0] ? v : W(0);
    d[0] = static_cast<T>(left);
    for (int x = 1; x < w - 1; ++x) {
        v = smaller(plus<T>(left, m.a), plus<T>(up[x], m.a));
        if constexpr (Diag) v = smaller(v, smaller(plus<T>(up[x - 1], m.b), plus<T>(up[x + 1], m.b)));
        if constexpr (Skip2) {
            if (x >= 2) v = smaller(v, plus<T>(d[x - 2], m.twoB));
        }
        left = s[x] ? v : W(0);
        d[x] = static_cast<T>(left);
    }
    const int x = w - 1;
    v = smaller(plus<T>(left, m.a), plus<T>(up[x], m.a));
    if constexpr (Diag) v = smaller(v, plus<T>(up[x - 1], m.b));
    if constexpr (Skip2) {
        if (x >= 2) v = smaller(v, plus<T>(d[x - 2], m.twoB));
    }
    d[x] = s[x] ? static_cast<T>(v) : T(0);
}

// Backward pass over one row y < h - 1 of width >= 2.
template <class T, bool Diag>
void backwardRow3(T* d, const T* lo, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    int x = w - 1;
    if (W(d[x]) > m.t) {
        W v = smaller<W>(d[x], plus<T>(lo[x], m.a));
        if constexpr (Diag) v = smaller(v, plus<T>(lo[x - 1], m.b));
        d[x] = static_cast<T>(v);
    }
    for (x = w - 2; x >= 1; --x) {
        if (W(d[x]) <= m.t) continue;
        W v = smaller<W>(d[x], smaller(plus<T>(d[x + 1], m.a), plus<T>(lo[x], m.a)));
        if constexpr (Diag) v = smaller(v, smaller(plus<T>(lo[x + 1], m.b), plus<T>(lo[x - 1], m.b)));
        d[x] = static_cast<T>(v);
    }
    if (W(d[0]) > m.t) {
        W v = smaller<W>(d[0], smaller(plus<T>(d[1], m.a), plus<T>(lo[0], m.a)));
        if constexpr (Diag) v = smaller(v, plus<T>(lo[1], m.b));
        d[0] = static_cast<T>(v);
    }
}

// Backward pass over the last row: only right neighbours (and, Skip2, the
// pixel two to the right + 2b).
template <class T, bool Skip2>
void backwardLastRow3(T* d, int w, const Mask3<T>& m) {
    using W = typename Limits<T>::W;
    for (int x = w - 2; x >= 0; --x) {
        if (W(d[x]) <= m.t) continue;
        W v = smaller<W>(d[x], plus<T>(d[x + 1], m.a));
        if constexpr (Skip2) {
            if (x + 2 < w) v = smaller(v, plus<T>(d[x + 2], m.twoB));
        }
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
    forwardFirstRow(src.row(0), dst.row(0), w, m.a);
    if (w == 1) return;
    for (int y = 1; y < h - 1; ++y) forwardRow3<T, Diag, false>(src.row(y), dst.row(y), dst.row(y - 1), w, m);
    if (h > 1) forwardRow3<T, Diag, Skip2>(src.row(h - 1), dst.row(h - 1), dst.row(h - 2), w, m);
    backwardLastRow3<T, Skip2>(dst.row(h - 1), w, m);
    for (int y = h - 2; y >= 0; --y) backwardRow3<T, Diag>(dst.row(y), dst.row(y + 1), w, m);
}

// The 3x3 transform. noDiagonal: b >= 2a, so a diagonal step never beats two
// straight ones; diagonalCheaper: a > b, where the zig-zag along the last
// row needs the two-pixel candidates.
template <class T>
void transform3x3(Image<const uint8_t> src, Image<T> dst, const Mask3<T>& m, bool noDiagonal, bool diagonalCheaper) {
    if (dst.width == 1) return column3(src, dst, m);
    if (noDiagonal) return passes3<T, false, false>(src, dst, m);
    if (diagonalCheaper && dst.height > 1) return passes3<T, true, true>(src, dst, m);
    passes3<T, true, false>(src, dst, m);
}

// ---- 5x5 mask ---------------------------------------------------------------

// a straight, b diagonal (already min(2a, b)), c knight step; t the backward
// threshold (the smallest weight).
template <class T>
struct Mask5 {
    using W = typename Limits<T>::W;
    W a, b, c, t;
};

// Forward candidates of (x, y) with bounds tests: left; x-2..x+2 of the row
// above; x-1 and x+1 of the row two above.
template <class T>
typename Limits<T>::W forward5At(const Image<T>& dst, int x, int y, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    const int w = dst.width;
    W v = Limits<T>::kMax;
    if (x >= 1) v = plus<T>(dst.row(y)[x - 1], m.a);
    if (y >= 1) {
        const T* u = dst.row(y - 1);
        const W weights[5] = {m.c, m.b, m.a, m.b, m.c};
        for (int k = -2; k <= 2; ++k)
            if (x + k >= 0 && x + k < w) v = smaller(v, plus<T>(u[x + k], weights[k + 2]));
    }
    if (y >= 2) {
        const T* u2 = dst.row(y - 2);
        if (x >= 1) v = smaller(v, plus<T>(u2[x - 1], m.c));
        if (x + 1 < w) v = smaller(v, plus<T>(u2[x + 1], m.c));
    }
    return v;
}

// Backward candidates of (x, y), the mirror image of forward5At.
template <class T>
typename Limits<T>::W backward5At(const Image<T>& dst, int x, int y, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    const int w = dst.width, h = dst.height;
    W v = dst.row(y)[x];
    if (x + 1 < w) v = smaller(v, plus<T>(dst.row(y)[x + 1], m.a));
    if (y + 1 < h) {
        const T* l = dst.row(y + 1);
        const W weights[5] = {m.c, m.b, m.a, m.b, m.c};
        for (int k = -2; k <= 2; ++k)
            if (x + k >= 0 && x + k < w) v = smaller(v, plus<T>(l[x + k], weights[k + 2]));
    }
    if (y + 2 < h) {
        const T* l2 = dst.row(y + 2);
        if (x >= 1) v = smaller(v, plus<T>(l2[x - 1], m.c));
        if (x + 1 < w) v = smaller(v, plus<T>(l2[x + 1], m.c));
    }
    return v;
}

template <class T>
void forwardInterior5(const uint8_t* s, T* d, const T* u, const T* u2, int begin, int end, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    W left = d[begin - 1];
    for (int x = begin; x < end; ++x) {
        W v = smaller(plus<T>(left, m.a), plus<T>(u[x], m.a));
        v = smaller(v, smaller(plus<T>(u[x - 1], m.b), plus<T>(u[x + 1], m.b)));
        v = smaller(v, smaller(plus<T>(u[x - 2], m.c), plus<T>(u[x + 2], m.c)));
        v = smaller(v, smaller(plus<T>(u2[x - 1], m.c), plus<T>(u2[x + 1], m.c)));
        left = s[x] ? v : W(0);
        d[x] = static_cast<T>(left);
    }
}

template <class T>
void backwardInterior5(T* d, const T* l, const T* l2, int begin, int end, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    for (int x = end - 1; x >= begin; --x) {
        if (W(d[x]) <= m.t) continue;
        W v = smaller<W>(d[x], smaller(plus<T>(d[x + 1], m.a), plus<T>(l[x], m.a)));
        v = smaller(v, smaller(plus<T>(l[x + 1], m.b), plus<T>(l[x - 1], m.b)));
        v = smaller(v, smaller(plus<T>(l[x + 2], m.c), plus<T>(l[x - 2], m.c)));
        v = smaller(v, smaller(plus<T>(l2[x + 1], m.c), plus<T>(l2[x - 1], m.c)));
        d[x] = static_cast<T>(v);
    }
}

// The 5x5 transform. Columns [0, 2) and [w - 2, w) and rows whose mask
// leaves the ROI go through the checked candidates; narrow or low ROIs are
// thus handled entirely by them.
template <class T>
void transform5x5(Image<const uint8_t> src, Image<T> dst, const Mask5<T>& m) {
    using W = typename Limits<T>::W;
    const int w = dst.width, h = dst.height;
    const int lo = w < 2 ? w : 2;
    const int hi = w - 2 > lo ? w - 2 : lo;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src.row(y);
        T* d = dst.row(y);
        auto checked = [&](int x) { d[x] = s[x] ? static_cast<T>(forward5At(dst, x, y, m)) : T(0); };
        for (int x = 0; x < lo; ++x) checked(x);
        if (y >= 2) {
            if (lo < hi) forwardInterior5(s, d, dst.row(y - 1), dst.row(y - 2), lo, hi, m);
        } else {
            for (int x = lo; x < hi; ++x) checked(x);
        }
        for (int x = hi; x < w; ++x) checked(x);
    }
    for (int y = h - 1; y >= 0; --y) {
        T* d = dst.row(y);
        auto checked = [&](int x) {
            if (W(d[x]) > m.t) d[x] = static_cast<T>(backward5At(dst, x, y, m));
        };
        for (int x = w - 1; x >= hi; --x) checked(x);
        if (y + 2 < h) {
            if (lo < hi) backwardInterior5(d, dst.row(y + 1), dst.row(y + 2), lo, hi, m);
        } else {
            for (int x = hi - 1; x >= lo; --x) checked(x);
        }
        for (int x = lo - 1; x >= 0; --x) checked(x);
    }
}

}  // namespace zal::chamfer
