// Upright integral images: entry (y, x) of a (W + 1) x (H + 1) table is the
// offset value plus the sum (or sum of squares) of the source pixels above and
// left of it. Each row keeps a running sum of its source row and adds it to
// the entry above.
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "objdetect/exports.h"
#include "objdetect/internal.h"

namespace zal::objdetect {
namespace {

// Accumulation policies: Run is the running value over one source row,
// combine() adds it to the table entry above.
struct Sum32s {  // wrapping 32-bit sums
    using Elem = int32_t;
    using Run = uint32_t;
    static Run add(Run r, uint8_t p) { return r + p; }
    static Elem combine(Run r, Elem above) { return static_cast<Elem>(r + static_cast<uint32_t>(above)); }
};
struct Sum32f {  // integer running sum, converted and added in single precision
    using Elem = float;
    using Run = uint32_t;
    static Run add(Run r, uint8_t p) { return r + p; }
    static Elem combine(Run r, Elem above) { return static_cast<float>(static_cast<int32_t>(r)) + above; }
};
struct Sqr64f {  // squares summed in double precision
    using Elem = double;
    using Run = double;
    static Run add(Run r, uint8_t p) { return r + static_cast<double>(static_cast<int32_t>(p) * p); }
    static Elem combine(Run r, Elem above) { return above + r; }
};
struct Sqr32s {  // wrapping 32-bit sums of squares
    using Elem = int32_t;
    using Run = uint32_t;
    static Run add(Run r, uint8_t p) { return r + static_cast<uint32_t>(p) * p; }
    static Elem combine(Run r, Elem above) { return static_cast<Elem>(r + static_cast<uint32_t>(above)); }
};

template <class T>
using SumPolicy = std::conditional_t<std::is_same_v<T, float>, Sum32f, Sum32s>;
template <class Q>
using SquarePolicy = std::conditional_t<std::is_same_v<Q, double>, Sqr64f, Sqr32s>;

// Builds an upright table with policy P.
template <class P>
void build(Image<const uint8_t> src, Image<typename P::Elem> table, typename P::Elem val) {
    using Elem = typename P::Elem;
    const int w = src.width;
    Elem* top = table.row(0);
    for (int x = 0; x <= w; ++x) top[x] = val;
    for (int y = 1; y <= src.height; ++y) {
        const uint8_t* __restrict s = src.row(y - 1);
        const Elem* __restrict above = table.row(y - 1);
        Elem* __restrict cur = table.row(y);
        cur[0] = val;
        typename P::Run r{};
        for (int x = 0; x < w; ++x) {
            r = P::add(r, s[x]);
            cur[x + 1] = P::combine(r, above[x + 1]);
        }
    }
}

}  // namespace

template <>
template <class T>
void Upright::sums(Image<const uint8_t> src, Image<T> table, T val) {
    build<SumPolicy<T>>(src, table, val);
}

template <>
template <class T, class Q>
void Upright::sumsAndSquares(Image<const uint8_t> src, Image<T> sum, Image<Q> sqr, T val, Q valSqr) {
    build<SumPolicy<T>>(src, sum, val);
    build<SquarePolicy<Q>>(src, sqr, valSqr);
}

}  // namespace zal::objdetect

ZAL_OBJDETECT_INTEGRAL(ZAL_INTEGRAL)
ZAL_OBJDETECT_SQR_INTEGRAL(ZAL_SQR_INTEGRAL)
