// Tilted (45-degree) integral images, (W + 2) x (H + 2) entries. Rows 0 and 1
// hold the offset value; row t = j + 2 is built from rows t - 1 and t - 2:
//
//   T(t, 0)     = T(t - 1, 1)
//   T(t, x)     = pair(j, x) + T(t - 1, x - 1) + T(t - 1, x + 1) - T(t - 2, x)
//   T(t, W + 1) = T(t - 1, W)
//
// where pair(j, x) = s(j, x - 1) + s(j, x) (squares for the square tables).
// At x = W the second pixel lies right of the region; it is taken as 0, so
// the tables depend on the region's pixels only and nothing outside the
// caller's rows is read. Sum and square tables treat it alike.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "objdetect/tilted_integral.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "core/rows-inl.h"
#include "objdetect/table_dispatch.h"
#include "objdetect/table_rows-inl.h"

#ifndef ZAL_OBJDETECT_TILTED_INTEGRAL_REFERENCE_
#define ZAL_OBJDETECT_TILTED_INTEGRAL_REFERENCE_
#include "objdetect/internal.h"

namespace zal::objdetect::tilted {

// The definition, one entry at a time.
// pair() forms the pixel term as a 32-bit integer, combine() adds
// the three table entries in the order that fixes the rounding.
struct TiltSum32s {
    using Elem = int32_t;
    static int32_t pair(int32_t a, int32_t b) { return a + b; }
    static Elem combine(int32_t p, Elem upLeft, Elem upRight, Elem up2) {
        return wrapSub(wrapAdd(wrapAdd(p, upLeft), upRight), up2);
    }
};
struct TiltSum32f {
    using Elem = float;
    static int32_t pair(int32_t a, int32_t b) { return a + b; }
    static Elem combine(int32_t p, Elem upLeft, Elem upRight, Elem up2) {
        return ((static_cast<float>(p) + upLeft) - up2) + upRight;
    }
};
struct TiltSqr64f {
    using Elem = double;
    static int32_t pair(int32_t a, int32_t b) { return a * a + b * b; }
    static Elem combine(int32_t p, Elem upLeft, Elem upRight, Elem up2) {
        return ((static_cast<double>(p) + upLeft) - up2) + upRight;
    }
};
struct TiltSqr32s {
    using Elem = int32_t;
    static int32_t pair(int32_t a, int32_t b) { return a * a + b * b; }
    static Elem combine(int32_t p, Elem upLeft, Elem upRight, Elem up2) {
        return wrapSub(wrapAdd(wrapAdd(p, upLeft), upRight), up2);
    }
};

// Builds a tilted table with policy P.
template <class P>
void build(Image<const uint8_t> src, Image<typename P::Elem> table, typename P::Elem val) {
    using Elem = typename P::Elem;
    const int w = src.width;
    std::fill_n(table.row(0), w + 2, val);
    std::fill_n(table.row(1), w + 2, val);
    for (int j = 0; j < src.height; ++j) {
        const uint8_t* s = src.row(j);
        const Elem* up = table.row(j + 1);
        const Elem* up2 = table.row(j);
        Elem* cur = table.row(j + 2);
        cur[0] = up[1];
        for (int x = 1; x < w; ++x) cur[x] = P::combine(P::pair(s[x - 1], s[x]), up[x - 1], up[x + 1], up2[x]);
        cur[w] = P::combine(P::pair(s[w - 1], 0), up[w - 1], up[w + 1], up2[w]);
        cur[w + 1] = up[w];
    }
}

}  // namespace zal::objdetect::tilted
#endif  // ZAL_OBJDETECT_TILTED_INTEGRAL_REFERENCE_

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

#if HWY_TARGET != HWY_SCALAR

using D32 = hn::ScalableTag<uint32_t>;

// One table of a tilted builder; entries are formed a vector at a time from
// the pixel terms p of columns x .. x + n - 1 (n may exceed the lanes).
template <class T>
struct TiltedRows {
    TiltedRows(Image<T> t, T v) : table(t), val(v) {}
    const Image<T> table;
    const T val;

    // Rows 0 and 1 hold the start value.
    void start() {
        std::fill_n(table.row(0), table.width, val);
        std::fill_n(table.row(1), table.width, val);
    }
    // The border columns of row t copy the row above.
    void borders(int t) {
        table.row(t)[0] = table.row(t - 1)[1];
        table.row(t)[table.width - 1] = table.row(t - 1)[table.width - 2];
    }
    // ((p + upper left) - two rows up) + upper right, in T (wrapping for 32-bit integers).
    HWY_INLINE void add(int t, std::ptrdiff_t x, hn::Vec<D32> p, std::ptrdiff_t n) {
        const T *up = table.row(t - 1) + x, *up2 = table.row(t - 2) + x;
        T* cur = table.row(t) + x;
        if constexpr (std::is_same_v<T, double>) {
            const hn::Repartition<double, D32> df;
            const std::ptrdiff_t half = static_cast<std::ptrdiff_t>(hn::Lanes(df));
            const AsDoubles<D32> terms(D32(), p);
            storeLanes(combine(df, terms.lo, up, up2, n), df, cur, n);
            storeLanes(combine(df, terms.hi, up + half, up2 + half, n - half), df, cur + half, n - half);
        } else {
            const hn::Rebind<T, D32> dt;
            hn::Vec<decltype(dt)> terms;
            if constexpr (std::is_same_v<T, float>) terms = hn::ConvertTo(dt, hn::BitCast(hn::RebindToSigned<D32>(), p));
            else terms = hn::BitCast(dt, p);
            storeLanes(combine(dt, terms, up, up2, n), dt, cur, n);
        }
    }
    template <class D>
    HWY_INLINE hn::Vec<D> combine(D d, hn::Vec<D> p, const T* up, const T* up2, std::ptrdiff_t n) const {
        const auto upLeft = loadLanes(d, up - 1, n), upRight = loadLanes(d, up + 1, n), twoUp = loadLanes(d, up2, n);
        return hn::Add(hn::Sub(hn::Add(p, upLeft), twoUp), upRight);
    }
};

// Fills the tables of `rows` (sums, or sums and squares) row by row; the
// pixel pair of column x is s(x - 1) + s(x), with s(W) taken as 0.
template <class Rows>
HWY_INLINE void buildTilted(Image<const uint8_t> src, Rows rows) {
    const D32 d;
    const auto w = static_cast<std::ptrdiff_t>(src.width);
    const auto lanes = static_cast<std::ptrdiff_t>(hn::Lanes(d));
    rows.start();
    for (int j = 0; j < src.height; ++j) {
        const uint8_t* s = src.row(j);
        const int t = j + 2;
        rows.borders(t);
        for (std::ptrdiff_t x = 1; x <= w; x += lanes) {
            const std::ptrdiff_t n = w - x + 1;  // entries left in the row; one pixel fewer right of x
            rows.add(t, x, loadPixels(d, s + x - 1, n), loadPixels(d, s + x, n - 1), n);
        }
    }
}

template <class T>
struct SumRows : TiltedRows<T> {
    using TiltedRows<T>::TiltedRows;
    HWY_INLINE void add(int t, std::ptrdiff_t x, hn::Vec<D32> a, hn::Vec<D32> b, std::ptrdiff_t n) {
        TiltedRows<T>::add(t, x, hn::Add(a, b), n);
    }
};

template <class T, class Q>
struct SumAndSquareRows {
    TiltedRows<T> sums;
    TiltedRows<Q> squares;
    void start() { sums.start(), squares.start(); }
    void borders(int t) { sums.borders(t), squares.borders(t); }
    HWY_INLINE void add(int t, std::ptrdiff_t x, hn::Vec<D32> a, hn::Vec<D32> b, std::ptrdiff_t n) {
        sums.add(t, x, hn::Add(a, b), n);
        squares.add(t, x, hn::Add(hn::Mul(a, a), hn::Mul(b, b)), n);
    }
};

void TiltedSums32s(Image<const uint8_t> src, Image<int32_t> t, int32_t val) {
    buildTilted(src, SumRows<int32_t>(t, val));
}
void TiltedSums32f(Image<const uint8_t> src, Image<float> t, float val) { buildTilted(src, SumRows<float>(t, val)); }
void TiltedSquares32s64f(Image<const uint8_t> src, Image<int32_t> t, Image<double> q, int32_t val, double valSqr) {
    buildTilted(src, SumAndSquareRows<int32_t, double>{{t, val}, {q, valSqr}});
}
void TiltedSquares32f64f(Image<const uint8_t> src, Image<float> t, Image<double> q, float val, double valSqr) {
    buildTilted(src, SumAndSquareRows<float, double>{{t, val}, {q, valSqr}});
}
void TiltedSquares32s32s(Image<const uint8_t> src, Image<int32_t> t, Image<int32_t> q, int32_t val, int32_t valSqr) {
    buildTilted(src, SumAndSquareRows<int32_t, int32_t>{{t, val}, {q, valSqr}});
}

#else  // HWY_SCALAR: the definition itself

using namespace objdetect::tilted;
ZAL_TABLE_SCALAR_BUILDERS(Tilted, TiltSum32s, TiltSum32f, TiltSqr64f, TiltSqr32s)

#endif  // HWY_TARGET != HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "objdetect/exports.h"

namespace zal {
ZAL_TABLE_DISPATCH(Tilted)
}  // namespace zal

ZAL_OBJDETECT_TILTED_INTEGRAL(ZAL_INTEGRAL)
ZAL_OBJDETECT_TILTED_SQR_INTEGRAL(ZAL_SQR_INTEGRAL)
#endif  // HWY_ONCE
