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
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "objdetect/exports.h"
#include "objdetect/internal.h"

namespace zal::objdetect {
namespace {

// Policies: pair() forms the pixel term as a 32-bit integer, combine() adds
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

template <class T>
using SumPolicy = std::conditional_t<std::is_same_v<T, float>, TiltSum32f, TiltSum32s>;
template <class Q>
using SquarePolicy = std::conditional_t<std::is_same_v<Q, double>, TiltSqr64f, TiltSqr32s>;

// Builds a tilted table with policy P.
template <class P>
void build(Image<const uint8_t> src, Image<typename P::Elem> table, typename P::Elem val) {
    using Elem = typename P::Elem;
    const int w = src.width;
    for (int t = 0; t < 2; ++t) {
        Elem* r = table.row(t);
        for (int x = 0; x < w + 2; ++x) r[x] = val;
    }
    for (int j = 0; j < src.height; ++j) {
        const uint8_t* __restrict s = src.row(j);
        const Elem* __restrict up = table.row(j + 1);
        const Elem* __restrict up2 = table.row(j);
        Elem* __restrict cur = table.row(j + 2);
        cur[0] = up[1];
        for (int x = 1; x < w; ++x) cur[x] = P::combine(P::pair(s[x - 1], s[x]), up[x - 1], up[x + 1], up2[x]);
        cur[w] = P::combine(P::pair(s[w - 1], 0), up[w - 1], up[w + 1], up2[w]);
        cur[w + 1] = up[w];
    }
}

}  // namespace

template <>
template <class T>
void Tilted::sums(Image<const uint8_t> src, Image<T> table, T val) {
    build<SumPolicy<T>>(src, table, val);
}

template <>
template <class T, class Q>
void Tilted::sumsAndSquares(Image<const uint8_t> src, Image<T> sum, Image<Q> sqr, T val, Q valSqr) {
    build<SumPolicy<T>>(src, sum, val);
    build<SquarePolicy<Q>>(src, sqr, valSqr);
}

}  // namespace zal::objdetect

ZAL_OBJDETECT_TILTED_INTEGRAL(ZAL_INTEGRAL)
ZAL_OBJDETECT_TILTED_SQR_INTEGRAL(ZAL_SQR_INTEGRAL)
