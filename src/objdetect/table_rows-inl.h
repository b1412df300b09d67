// Lane helpers of the integral builders, compiled once per SIMD target:
// rows read and written in chunks of whole vectors with a shorter last
// chunk, 8-bit pixels widened to 32-bit lanes, 32-bit lanes split into two
// vectors of doubles, and running sums across the lanes of vectors (32-bit
// values, or 8-bit pixels two vectors at a time).
// Include after <hwy/highway.h> and core/rows-inl.h inside a file that
// foreach_target.h re-includes; the guard follows Highway's convention.
#if defined(ZAL_OBJDETECT_TABLE_ROWS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_OBJDETECT_TABLE_ROWS_INL_H_
#undef ZAL_OBJDETECT_TABLE_ROWS_INL_H_
#else
#define ZAL_OBJDETECT_TABLE_ROWS_INL_H_
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <hwy/highway.h>

#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

#if HWY_TARGET != HWY_SCALAR

// Byte dot products (AVX-512 VNNI) sum 8-bit pixels into 32-bit lanes
// directly; a file opts in by defining HWY_WANT_AVX3_DL.
#undef ZAL_PIXEL_SCAN_DOT
#if HWY_TARGET == HWY_AVX3_DL
#define ZAL_PIXEL_SCAN_DOT 1
#else
#define ZAL_PIXEL_SCAN_DOT 0
#endif

// The first n lanes from p (n may exceed the lane count; n <= 0 gives zeros).
template <class D, class T = hn::TFromD<D>>
HWY_INLINE hn::Vec<D> loadLanes(D d, const T* p, std::ptrdiff_t n) {
    const auto lanes = static_cast<std::ptrdiff_t>(hn::Lanes(d));
    if (n >= lanes) return hn::LoadU(d, p);
    if (n <= 0) return hn::Zero(d);
    return loadPartial(d, p, static_cast<std::size_t>(n));
}

// Stores the first n lanes of v at p (all of them when n >= lanes).
template <class D, class T = hn::TFromD<D>>
HWY_INLINE void storeLanes(hn::Vec<D> v, D d, T* p, std::ptrdiff_t n) {
    const auto lanes = static_cast<std::ptrdiff_t>(hn::Lanes(d));
    if (n >= lanes) hn::StoreU(v, d, p);
    else if (n > 0) storePartial(v, d, p, static_cast<std::size_t>(n));
}

// The first n (<= lanes of d32) pixels at p as 32-bit lanes, the others 0.
template <class D32>
HWY_INLINE hn::Vec<D32> loadPixels(D32 d32, const uint8_t* p, std::ptrdiff_t n) {
    return hn::PromoteTo(d32, loadLanes(hn::Rebind<uint8_t, D32>(), p, n));
}

// A vector of 32-bit integers as two vectors of doubles (exact).
template <class D32>
struct AsDoubles {
    using DF = hn::Repartition<double, D32>;
    hn::Vec<DF> lo, hi;
    explicit AsDoubles(D32, hn::Vec<D32> v) {
        const hn::RebindToSigned<D32> di;
        const hn::Half<decltype(di)> dh;
        const auto s = hn::BitCast(di, v);
        lo = hn::PromoteTo(DF(), hn::LowerHalf(dh, s));
        hi = hn::PromoteTo(DF(), hn::UpperHalf(dh, s));
    }
};

// Running sums across the 32-bit lanes of vectors, carried from one vector
// to the next. Each 128-bit block sums its lanes with two shifted adds; the
// blocks then add the totals of the blocks below them; the carry is the
// last lane broadcast. Unsigned lanes wrap modulo 2^32.
template <class D>
class LaneScan {
public:
    using V = hn::Vec<D>;
    static constexpr std::size_t kLanes = hn::MaxLanes(D());
    static constexpr std::size_t kBlockLanes = 16 / sizeof(hn::TFromD<D>);

    LaneScan() {
        const D d;
        const hn::RebindToSigned<D> di;
        using TI = hn::TFromD<decltype(di)>;
        const auto iota = hn::Iota(di, 0);
        const auto wrap = hn::Set(di, static_cast<TI>(kLanes - 1));
        last_ = hn::IndicesFromVec(d, wrap);
        oneBlockDown_ = hn::IndicesFromVec(d, hn::And(hn::Sub(iota, hn::Set(di, TI{kBlockLanes})), wrap));
        twoBlocksDown_ = hn::IndicesFromVec(d, hn::And(hn::Sub(iota, hn::Set(di, TI{2 * kBlockLanes})), wrap));
    }

    // Inclusive sums of the lanes of v.
    V local(V v) const {
        const D d;
        static_assert(kBlockLanes == 4, "32-bit lanes");
        v = hn::Add(v, hn::ShiftLeftLanes<1>(d, v));
        v = hn::Add(v, hn::ShiftLeftLanes<2>(d, v));
        if constexpr (kLanes > kBlockLanes) {
            // Totals of the blocks below: [0, b0] for two blocks,
            // [0, b0, b0 + b1, b0 + b1 + b2] for four.
            const V totals = hn::Broadcast<kBlockLanes - 1>(v);
            V below = hn::IfThenZeroElse(hn::FirstN(d, kBlockLanes), hn::TableLookupLanes(totals, oneBlockDown_));
            if constexpr (kLanes > 2 * kBlockLanes) {
                const V pairs = hn::Add(totals, below);
                below = hn::Add(below, hn::IfThenZeroElse(hn::FirstN(d, 2 * kBlockLanes),
                                                         hn::TableLookupLanes(pairs, twoBlocksDown_)));
            }
            v = hn::Add(v, below);
        }
        return v;
    }

    // The last lane of v in every lane.
    V last(V v) const { return hn::TableLookupLanes(v, last_); }

    // carry + local(v); the carry becomes the last sum.
    V running(V v, V& carry) const {
        const V r = hn::Add(local(v), carry);
        carry = last(r);
        return r;
    }

private:
    using Indices = decltype(hn::IndicesFromVec(D(), hn::Zero(hn::RebindToSigned<D>())));
    Indices last_, oneBlockDown_, twoBlocksDown_;
};

// Running sums of 8-bit pixels across a row, two vectors of 32-bit lanes
// (2N pixels) at a time. The pixels are summed in 16-bit lanes within each
// 128-bit block (8 pixels, at most 2040), widened, and the totals of the
// blocks to the left and of the previous chunks are added in 32 bits. The
// shuffle port bounds this loop, and the 16-bit lanes halve the shuffles of
// the first steps. Unsigned lanes wrap modulo 2^32 as the running sum does.
template <class D32>
class PixelScan {
public:
    using V = hn::Vec<D32>;
    using D16 = hn::Repartition<uint16_t, D32>;
    using D8 = hn::Rebind<uint8_t, D16>;
    static constexpr std::size_t kLanes = hn::MaxLanes(D32());
    static constexpr std::size_t kGroup = 8;  // pixels per 16-bit block
    static_assert(kLanes == 4 || kLanes == 8 || kLanes == 16, "8-pixel blocks fill half, one or two vectors");

    PixelScan() {
        const D32 d;
        const hn::RebindToSigned<D32> di;
        using TI = hn::TFromD<decltype(di)>;
        last_ = hn::IndicesFromVec(d, hn::Set(di, static_cast<TI>(kLanes - 1)));
        // The lane of the lower block's total; only 16-lane vectors hold two
        // blocks (indices must stay below the lane count on every target).
        firstTotal_ = hn::IndicesFromVec(d, hn::Set(di, TI{kLanes == 16 ? kGroup - 1 : 0}));
#if ZAL_PIXEL_SCAN_DOT
        // Byte i of lane j of weights q: 1 where pixel 4q + i counts toward
        // the running sum at pixel j, that is 4q + i <= j.
        for (int q = 0; q < 4; ++q) {
            HWY_ALIGN int8_t w[64];
            for (int j = 0; j < 16; ++j)
                for (int i = 0; i < 4; ++i) w[4 * j + i] = 4 * q + i <= j ? 1 : 0;
            quadWeights_[q] = _mm512_load_si512(w);
        }
#endif
    }

    void begin() { carry_ = hn::Zero(D32()); }
    // Continues from a running sum (chunks may restart inside the last one).
    void restart(uint32_t run) { carry_ = hn::Set(D32(), run); }

    // Running sums at the 2N pixels at p, the first n of them valid (the
    // others read as 0): lanes of lo for pixels 0..N-1, hi for N..2N-1.
    HWY_INLINE void next(const uint8_t* p, std::ptrdiff_t n, V& lo, V& hi) {
#if ZAL_PIXEL_SCAN_DOT
        if (n < static_cast<std::ptrdiff_t>(2 * kLanes)) {
            HWY_ALIGN uint8_t padded[2 * kLanes] = {};
            if (n > 0) std::memcpy(padded, p, static_cast<std::size_t>(n));
            return dotNext(padded, lo, hi);
        }
        dotNext(p, lo, hi);
#else
        const D32 d;
        const D16 d16;
        const hn::Half<D16> dh;
        auto v = hn::PromoteTo(d16, loadLanes(D8(), p, n));
        v = hn::Add(v, hn::ShiftLeftLanes<1>(d16, v));
        v = hn::Add(v, hn::ShiftLeftLanes<2>(d16, v));
        v = hn::Add(v, hn::ShiftLeftLanes<4>(d16, v));
        lo = hn::PromoteTo(d, hn::LowerHalf(dh, v));
        hi = hn::PromoteTo(d, hn::UpperHalf(dh, v));
        if constexpr (kLanes == 4) {
            // lo and hi are one block: both continue the same carry.
            lo = hn::Add(lo, carry_);
            hi = hn::Add(hi, carry_);
            carry_ = last(hi);
        } else {
            if constexpr (kLanes == 16) {
                // Each vector holds two blocks: the upper adds the lower's total.
                const auto upper = hn::Not(hn::FirstN(d, kGroup));
                lo = hn::Add(lo, hn::IfThenElseZero(upper, hn::TableLookupLanes(lo, firstTotal_)));
                hi = hn::Add(hi, hn::IfThenElseZero(upper, hn::TableLookupLanes(hi, firstTotal_)));
            }
            carryOn(lo, hi);
        }
#endif
    }

private:
    V last(V v) const { return hn::TableLookupLanes(v, last_); }

    // Adds the running sum before lo and hi (each holding local sums)
    // to both. The carry adds each vector's total, not its running sums:
    // the lookups stay off the chain from one chunk to the next.
    HWY_INLINE void carryOn(V& lo, V& hi) {
        const V loTotal = last(lo), hiTotal = last(hi);
        lo = hn::Add(lo, carry_);
        carry_ = hn::Add(carry_, loTotal);
        hi = hn::Add(hi, carry_);
        carry_ = hn::Add(carry_, hiTotal);
    }
    using Indices = decltype(hn::IndicesFromVec(D32(), hn::Zero(hn::RebindToSigned<D32>())));
    Indices last_, firstTotal_;
    V carry_;

#if ZAL_PIXEL_SCAN_DOT
    // next() for 32 pixels at p by byte dot products: lane j of
    // vpdpbusd(acc, quad q in every lane, quadWeights_[q]) adds the pixels
    // of quad q up to pixel j, so four of them give the running sums of 16
    // pixels in 32-bit lanes without a shuffle.
    HWY_INLINE void dotNext(const uint8_t* p, V& lo, V& hi) {
        const D32 d;
        auto sums = [&](const uint8_t* at) {
            auto quad = [&](int q) {
                uint32_t bytes;
                std::memcpy(&bytes, at + 4 * q, sizeof(bytes));
                return hn::Set(d, bytes).raw;
            };
            const __m512i a = dot(dot(_mm512_setzero_si512(), quad(0), quadWeights_[0]), quad(2), quadWeights_[2]);
            const __m512i b = dot(dot(_mm512_setzero_si512(), quad(1), quadWeights_[1]), quad(3), quadWeights_[3]);
            return V{_mm512_add_epi32(a, b)};
        };
        lo = sums(p);
        hi = sums(p + kLanes);
        carryOn(lo, hi);
    }
    // acc + the dot products of the unsigned bytes of a with the signed
    // bytes of b, four per lane. Written out because the compiler would only
    // emit it in functions that carry the instruction set's attribute.
    static HWY_INLINE __m512i dot(__m512i acc, __m512i a, __m512i b) {
        asm("vpdpbusd %[b], %[a], %[acc]" : [acc] "+v"(acc) : [a] "v"(a), [b] "v"(b));
        return acc;
    }
    __m512i quadWeights_[4];
#endif
};

#endif  // HWY_TARGET != HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_OBJDETECT_TABLE_ROWS_INL_H_
