// Upright integral images: entry (y, x) of a (W + 1) x (H + 1) table is the
// offset value plus the sum (or sum of squares) of the source pixels above and
// left of it. Each row keeps a running sum of its source row and adds it to
// the entry above.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "objdetect/integral.cpp"
// The running sums of 8-bit rows use AVX-512 byte dot products where present.
#define HWY_WANT_AVX3_DL
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>
#include <hwy/cache_control.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "core/rows-inl.h"
#include "objdetect/table_dispatch.h"
#include "objdetect/table_rows-inl.h"

#ifndef ZAL_OBJDETECT_INTEGRAL_REFERENCE_
#define ZAL_OBJDETECT_INTEGRAL_REFERENCE_
namespace zal::objdetect::upright {

// The definition, one entry at a time. Run is the running value over one
// source row, combine() adds it to the table entry above.
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
struct Sqr64f {  // squares summed in double precision (exact: every partial sum is an integer below 2^53)
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

template <class P>
void build(Image<const uint8_t> src, Image<typename P::Elem> table, typename P::Elem val) {
    using Elem = typename P::Elem;
    const int w = src.width;
    std::fill_n(table.row(0), w + 1, val);
    for (int y = 1; y <= src.height; ++y) {
        const uint8_t* s = src.row(y - 1);
        const Elem* above = table.row(y - 1);
        Elem* cur = table.row(y);
        cur[0] = val;
        typename P::Run r{};
        for (int x = 0; x < w; ++x) {
            r = P::add(r, s[x]);
            cur[x + 1] = P::combine(r, above[x + 1]);
        }
    }
}

}  // namespace zal::objdetect::upright
#endif  // ZAL_OBJDETECT_INTEGRAL_REFERENCE_

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

#if HWY_TARGET != HWY_SCALAR

using D32 = hn::ScalableTag<uint32_t>;

// Entries 1..W of every table row: each row's running sums, a vector of
// pixels at a time, go through `row(y, x, pixels, n)` with n <= lanes valid
// pixels from column x of source row y - 1. Row 0 and column 0 are filled
// with the start values by the caller.
template <class RowFn>
HWY_INLINE void forEachChunk(Image<const uint8_t> src, RowFn&& row) {
    const D32 d;
    const auto w = static_cast<std::ptrdiff_t>(src.width);
    const auto lanes = static_cast<std::ptrdiff_t>(hn::Lanes(d));
    for (int y = 1; y <= src.height; ++y) {
        const uint8_t* s = src.row(y - 1);
        row.begin();
        for (std::ptrdiff_t x = 0; x < w; x += lanes) row(y, x, loadPixels(d, s + x, w - x), w - x);
    }
}

// Sum table of 32-bit integers (T = int32_t, wrapping) or floats (the
// integer running sum converted, then added to the entry above), built
// alongside a square table a vector of pixels at a time.
template <class T>
struct SumRows {
    explicit SumRows(Image<T> t) : table(t) {}
    const LaneScan<D32> scan;
    const Image<T> table;
    hn::Vec<D32> carry;
    void begin() { carry = hn::Zero(D32()); }
    HWY_INLINE void add(int y, std::ptrdiff_t x, hn::Vec<D32> values, std::ptrdiff_t n) {
        const hn::Rebind<T, D32> dt;
        const hn::RebindToSigned<D32> di;
        const auto r = hn::BitCast(di, scan.running(values, carry));
        const T* above = table.row(y - 1) + 1 + x;
        hn::Vec<decltype(dt)> entry;
        if constexpr (std::is_same_v<T, float>) entry = hn::Add(hn::ConvertTo(dt, r), loadLanes(dt, above, n));
        else entry = hn::Add(r, loadLanes(dt, above, n));
        storeLanes(entry, dt, table.row(y) + 1 + x, n);
    }
};

// Square table of doubles: the squares of a vector of pixels are summed in
// 32 bits (at most lanes * 255^2), then widened and added to the running
// double, which stays an exact integer.
struct SquareRows64f {
    using DF = hn::Repartition<double, D32>;
    explicit SquareRows64f(Image<double> t) : table(t) {}
    const LaneScan<D32> scan;
    const LaneScan<DF> scan64;
    const Image<double> table;
    hn::Vec<DF> carry;
    void begin() { carry = hn::Zero(DF()); }
    HWY_INLINE void add(int y, std::ptrdiff_t x, hn::Vec<D32> squares, std::ptrdiff_t n) {
        const DF df;
        const std::ptrdiff_t half = static_cast<std::ptrdiff_t>(hn::Lanes(df));
        const AsDoubles<D32> sums(D32(), scan.local(squares));
        const auto lo = hn::Add(sums.lo, carry), hi = hn::Add(sums.hi, carry);
        carry = scan64.last(hi);
        const double* above = table.row(y - 1) + 1 + x;
        double* cur = table.row(y) + 1 + x;
        storeLanes(hn::Add(loadLanes(df, above, n), lo), df, cur, n);
        storeLanes(hn::Add(loadLanes(df, above + half, n - half), hi), df, cur + half, n - half);
    }
};

// Sum and square tables in one pass over the source.
template <class T, class Q>
struct SumAndSquareRows {
    SumAndSquareRows(Image<T> sum, Image<Q> sqr) : sums(sum), squares(sqr) {}
    SumRows<T> sums;
    std::conditional_t<std::is_same_v<Q, double>, SquareRows64f, SumRows<int32_t>> squares;
    void begin() { sums.begin(), squares.begin(); }
    void operator()(int y, std::ptrdiff_t x, hn::Vec<D32> pixels, std::ptrdiff_t n) {
        sums.add(y, x, pixels, n);
        squares.add(y, x, hn::Mul(pixels, pixels), n);
    }
};

// The sum table alone, 2N entries a step: each entry is the running sum
// (wrapping; converted for floats) plus the entry above, in one pass that
// reads the row above once and writes the row once.
//
// Rows of at least 2N pixels run in whole chunks only. The first chunk
// starts at column 0; the next starts at the first entry whose address is
// vector-aligned, so the stores of the chunks after it do not straddle
// cache lines; the last chunk ends at the last column. A chunk that
// overlaps the previous one restarts from the running sum just before it
// and writes the overlapped entries again with the same values.
template <class T>
HWY_INLINE void uprightSums(Image<const uint8_t> src, Image<T> table, T val) {
    std::fill_n(table.row(0), table.width, val);
    const D32 d;
    const hn::Rebind<T, D32> dt;
    const hn::RebindToSigned<D32> di;
    const auto w = static_cast<std::ptrdiff_t>(src.width);
    const auto lanes = static_cast<std::ptrdiff_t>(hn::Lanes(d));
    const std::ptrdiff_t chunk = 2 * lanes;
    PixelScan<D32> scan;
    hn::Vec<D32> lo, hi;
    for (int y = 1; y <= src.height; ++y) {
        const uint8_t* s = src.row(y - 1);
        const T* above = table.row(y - 1) + 1;
        T* cur = table.row(y) + 1;
        cur[-1] = val;
        auto entries = [&](hn::Vec<D32> run) {
            const auto r = hn::BitCast(di, run);
            if constexpr (std::is_same_v<T, float>) return hn::ConvertTo(dt, r);
            else return r;
        };
        // The entries of columns x..x + 2N - 1; partial() writes the first
        // n < 2N of them (rows narrower than a chunk).
        auto whole = [&](std::ptrdiff_t x) {
            hwy::Prefetch(s + x + 512);
            scan.next(s + x, chunk, lo, hi);
            hn::StoreU(hn::Add(entries(lo), hn::LoadU(dt, above + x)), dt, cur + x);
            hn::StoreU(hn::Add(entries(hi), hn::LoadU(dt, above + x + lanes)), dt, cur + x + lanes);
        };
        auto partial = [&](std::ptrdiff_t x, std::ptrdiff_t n) {
            scan.next(s + x, n, lo, hi);
            storeLanes(hn::Add(entries(lo), loadLanes(dt, above + x, n)), dt, cur + x, n);
            storeLanes(hn::Add(entries(hi), loadLanes(dt, above + x + lanes, n - lanes)), dt, cur + x + lanes, n - lanes);
        };
        // Restarts the scan at column x of the chunk last run, which began at
        // column `from` (from < x < from + 2N).
        auto restartAt = [&](std::ptrdiff_t x, std::ptrdiff_t from) {
            const std::ptrdiff_t j = x - 1 - from;
            scan.restart(j < lanes ? hn::ExtractLane(lo, static_cast<std::size_t>(j))
                                   : hn::ExtractLane(hi, static_cast<std::size_t>(j - lanes)));
        };
        scan.begin();
        if (w < chunk) {
            partial(0, w);
            continue;
        }
        whole(0);
        std::ptrdiff_t from = 0, x = chunk;
        const std::uintptr_t vecBytes = static_cast<std::uintptr_t>(lanes) * sizeof(T);
        const std::uintptr_t misalign = reinterpret_cast<std::uintptr_t>(cur) % vecBytes;
        const auto aligned = static_cast<std::ptrdiff_t>((vecBytes - misalign) % vecBytes / sizeof(T));
        if (aligned > 0 && aligned + chunk <= w) {
            restartAt(aligned, 0);
            x = aligned;
        }
        for (; x + chunk <= w; x += chunk) whole(from = x);
        if (x < w) {
            restartAt(w - chunk, from);
            whole(w - chunk);
        }
    }
}

template <class T, class Q>
HWY_INLINE void uprightSquares(Image<const uint8_t> src, Image<T> sum, Image<Q> sqr, T val, Q valSqr) {
    std::fill_n(sum.row(0), sum.width, val);
    std::fill_n(sqr.row(0), sqr.width, valSqr);
    for (int y = 1; y < sum.height; ++y) sum.row(y)[0] = val, sqr.row(y)[0] = valSqr;
    forEachChunk(src, SumAndSquareRows<T, Q>(sum, sqr));
}

void UprightSums32s(Image<const uint8_t> src, Image<int32_t> t, int32_t val) { uprightSums(src, t, val); }
void UprightSums32f(Image<const uint8_t> src, Image<float> t, float val) { uprightSums(src, t, val); }
void UprightSquares32s64f(Image<const uint8_t> src, Image<int32_t> t, Image<double> q, int32_t val, double valSqr) {
    uprightSquares(src, t, q, val, valSqr);
}
void UprightSquares32f64f(Image<const uint8_t> src, Image<float> t, Image<double> q, float val, double valSqr) {
    uprightSquares(src, t, q, val, valSqr);
}
void UprightSquares32s32s(Image<const uint8_t> src, Image<int32_t> t, Image<int32_t> q, int32_t val, int32_t valSqr) {
    uprightSquares(src, t, q, val, valSqr);
}

#else  // HWY_SCALAR: the definition itself

using namespace objdetect::upright;
ZAL_TABLE_SCALAR_BUILDERS(Upright, Sum32s, Sum32f, Sqr64f, Sqr32s)

#endif  // HWY_TARGET != HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "objdetect/exports.h"
#include "objdetect/internal.h"

namespace zal {
ZAL_TABLE_DISPATCH(Upright)
}  // namespace zal

ZAL_OBJDETECT_INTEGRAL(ZAL_INTEGRAL)
ZAL_OBJDETECT_SQR_INTEGRAL(ZAL_SQR_INTEGRAL)
#endif  // HWY_ONCE
