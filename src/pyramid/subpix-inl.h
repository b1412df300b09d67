// Vector rows of the bilinear sub-pixel copies, compiled once per SIMD
// target (include after <hwy/highway.h> in a file that foreach_target.h
// re-includes). Each lane computes what the scalar kernels of
// subpix_weights.h compute for one pixel: the same exact fixed-point sums in
// 32-bit lanes (pairwise 16-bit multiply-adds for 8-bit sources) with the
// same result conversion, float sums in the same order.
#if defined(ZAL_PYRAMID_SUBPIX_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_PYRAMID_SUBPIX_INL_H_
#undef ZAL_PYRAMID_SUBPIX_INL_H_
#else
#define ZAL_PYRAMID_SUBPIX_INL_H_
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <hwy/highway.h>

#include "core/image.h"
#include "core/rows-inl.h"
#include "pyramid/overlap-inl.h"
#include "pyramid/subpix_weights.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Elements of S at p widened to the lanes of dl.
template <class DL, class S>
HWY_INLINE hn::Vec<DL> loadWidened(DL dl, const S* p) {
    const hn::Rebind<S, DL> ds;
    const auto v = hn::LoadU(ds, p);
    if constexpr (std::is_same_v<S, hn::TFromD<DL>>) {
        return v;
    } else if constexpr (std::is_same_v<hn::TFromD<DL>, float>) {
        return hn::ConvertTo(dl, hn::PromoteTo(hn::Rebind<int32_t, DL>(), v));
    } else {
        return hn::PromoteTo(dl, v);
    }
}

// The result conversions of subpix_weights.h in lanes.
template <class DL, class D, bool Clamp>
HWY_INLINE hn::Vec<DL> convertOut(DL dl, hn::Vec<DL> v, const ShiftOut<D, Clamp>& out) {
    v = hn::ShiftRightSame(hn::Add(v, hn::Set(dl, out.round)), static_cast<int>(out.shift));
    if constexpr (Clamp) v = hn::Min(v, hn::Set(dl, 65535u));
    return v;
}

// 8u sums stay below 2^23, so v + 2^(right - 1) fits 32 bits and 32 right
// shifts leave nothing.
template <class DL>
HWY_INLINE hn::Vec<DL> convertOut(DL dl, hn::Vec<DL> v, const ScaledOut& out) {
    const auto top = hn::Set(dl, 65535u);
    if (out.left > 0) {
        const auto limit = hn::Set(dl, 65535u >> out.left);
        return hn::IfThenElse(hn::Gt(v, limit), top, hn::ShiftLeftSame(v, static_cast<int>(out.left)));
    }
    if (out.right >= 32) return hn::Zero(dl);
    v = hn::ShiftRightSame(hn::Add(v, hn::Set(dl, static_cast<uint32_t>(out.round))), static_cast<int>(out.right));
    return hn::Min(v, top);
}

// Stores the lanes as D (fixed-point results are within D's range).
template <class DL, class D>
HWY_INLINE void storeNarrowed(DL dl, hn::Vec<DL> v, D* p) {
    if constexpr (std::is_same_v<D, float>) {
        hn::StoreU(v, dl, p);
    } else {
        const hn::Rebind<D, DL> dd;
        hn::StoreU(hn::DemoteTo(dd, hn::BitCast(hn::RebindToSigned<DL>(), v)), dd, p);
    }
}

#if HWY_TARGET != HWY_SCALAR
// 8-bit sources in 16-bit lanes, for rows of at least 8 outputs: a vector of
// u16 lanes holds pixels x .. x + 2L - 1, so its 32-bit lanes are the pairs
// (p[x + 2i], p[x + 2i + 1]) of the even outputs, and the same load one pixel
// on the pairs of the odd outputs. A pairwise multiply-add with the weight
// pair (w0, w1) in each 32-bit lane gives p0 w0 + p1 w1 exactly: pixels are
// at most 255 and the Q14 weights at most 16385, so both fit int16 and a
// pair sum, or two, stays below 2^31. The even and odd results, each below
// 2^16 after the conversion, are laid back side by side in 16-bit lanes.
template <class D16>
struct PairWeights {
    hn::Vec<hn::Repartition<int32_t, D16>> top, bottom;  // (w00, w01), (w10, w11); or (a1, a) alone
};

template <bool Four, class D16, class S, class D, class Out>
HWY_INLINE PairWeights<D16> pairWeights(D16 /*tag*/, const FixedKernel<S, D, 14, Out>& k) {
    const hn::Repartition<int32_t, D16> d32;
    auto pair = [&](uint16_t w0, uint16_t w1) { return hn::Set(d32, static_cast<int32_t>(w0 | uint32_t{w1} << 16)); };
    if constexpr (Four) return {pair(k.w.w00, k.w.w01), pair(k.w.w10, k.w.w11)};
    else return {pair(k.w.a1, k.w.a), hn::Zero(d32)};
}

// The pixels of one vector of outputs from p in 16-bit lanes: `even` from p
// (the pairs of the even outputs), `odd` from p + 1 (the odd outputs').
template <class D16>
struct PairPixels {
    hn::Vec<D16> even, odd;
};

template <class D16>
HWY_INLINE PairPixels<D16> pairPixels(D16 d16, const uint8_t* p) {
    const hn::Rebind<uint8_t, D16> d8;
    const hn::RebindToUnsigned<D16> du16;
    return {hn::BitCast(d16, hn::PromoteTo(du16, hn::LoadU(d8, p))),
            hn::BitCast(d16, hn::PromoteTo(du16, hn::LoadU(d8, p + 1)))};
}

// The outputs from the top row's pixels (and the bottom row's, Four): the
// even outputs in the low and the odd ones in the high halves of the 32-bit
// lanes.
template <bool Four, class D16, class Out>
HWY_INLINE hn::Vec<hn::Repartition<uint32_t, D16>> pairResults(D16 d16, const PairPixels<D16>& top,
                                                               const PairPixels<D16>& bottom, const PairWeights<D16>& w,
                                                               const Out& out) {
    const hn::Repartition<int32_t, D16> d32;
    const hn::RebindToUnsigned<decltype(d32)> du32;
    auto sums = [&](hn::Vec<D16> a, hn::Vec<D16> b) {
        auto odd = hn::Zero(d32);
        auto sum = hn::ReorderWidenMulAccumulate(d32, a, hn::BitCast(d16, w.top), hn::Zero(d32), odd);
        if constexpr (Four) sum = hn::ReorderWidenMulAccumulate(d32, b, hn::BitCast(d16, w.bottom), sum, odd);
        return convertOut(du32, hn::BitCast(du32, hn::RearrangeToOddPlusEven(sum, odd)), out);
    };
    return hn::Or(sums(top.even, bottom.even), hn::ShiftLeft<16>(sums(top.odd, bottom.odd)));
}

// One vector of outputs at d.
template <bool Four, class D16, class D, class Out>
HWY_INLINE void pairOutputs(D16 d16, const PairPixels<D16>& top, const PairPixels<D16>& bottom, D* d,
                            const PairWeights<D16>& w, const Out& out) {
    const hn::Rebind<uint8_t, D16> d8;
    const hn::RebindToUnsigned<D16> du16;
    const auto both = hn::BitCast(du16, pairResults<Four>(d16, top, bottom, w, out));
    if constexpr (std::is_same_v<D, uint16_t>) {
        hn::StoreU(both, du16, d);
    } else {
        hn::StoreU(hn::DemoteTo(d8, hn::BitCast(d16, both)), d8, d);
    }
}

// d[x] for x in [0, n), n >= Lanes(d16): reads a[0 .. n] (and b[0 .. n]).
template <bool Four, class D16, class D, class Out>
HWY_INLINE void pairRow(D16 d16, const uint8_t* a, const uint8_t* b, D* d, std::size_t n, const PairWeights<D16>& w,
                        const Out& out) {
    forBlocks(hn::Lanes(d16), n, [&](std::size_t x) {
        const PairPixels<D16> top = pairPixels(d16, a + x);
        pairOutputs<Four>(d16, top, Four ? pairPixels(d16, b + x) : top, d + x, w, out);
    });
}

#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
// Rows of at most 32 outputs as one 512-bit vector: the masked loads touch
// only the row's pixels (masked-off bytes are neither read nor able to
// fault) and the masked store writes only its n outputs, so short rows need
// no second, overlapping vector. Lanes past the row hold zeros and are not
// stored.
inline __mmask32 firstLanes32(std::size_t k) { return static_cast<__mmask32>(k >= 32 ? ~0u : (1u << k) - 1u); }

// A source row in 16-bit lanes: `even` from p (lanes 0 .. n, the pairs of
// the even outputs), `odd` from p + 1 (lanes 0 .. n - 1, the odd outputs').
using MaskedPixels = PairPixels<hn::Full512<int16_t>>;

HWY_INLINE MaskedPixels maskedPixels(const uint8_t* p, std::size_t n) {
    return {hn::Vec512<int16_t>{_mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(firstLanes32(n + 1), p))},
            hn::Vec512<int16_t>{_mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(firstLanes32(n), p + 1))}};
}

// The n outputs from the top row's pixels (and the bottom row's, Four).
template <bool Four, class D, class Out>
HWY_INLINE void maskedOutputs(const MaskedPixels& top, const MaskedPixels& bottom, D* d, std::size_t n,
                              const PairWeights<hn::Full512<int16_t>>& w, const Out& out) {
    const auto both = pairResults<Four>(hn::Full512<int16_t>(), top, bottom, w, out);
    if constexpr (std::is_same_v<D, uint16_t>) {
        _mm512_mask_storeu_epi16(d, firstLanes32(n), both.raw);
    } else {
        _mm256_mask_storeu_epi8(d, firstLanes32(n), _mm512_cvtepi16_epi8(both.raw));
    }
}

template <bool Four, class D, class Out>
HWY_INLINE void maskedPairRow(const uint8_t* a, const uint8_t* b, D* d, std::size_t n,
                              const PairWeights<hn::Full512<int16_t>>& w, const Out& out) {
    const MaskedPixels top = maskedPixels(a, n);
    maskedOutputs<Four>(top, Four ? maskedPixels(b, n) : top, d, n, w, out);
}
#endif

// The 16-bit-lane tag for interpolated runs of n >= 8 outputs: the widest
// vector the run fills.
template <class Run>
HWY_INLINE void withPairTag(std::size_t n, Run&& run) {
    const hn::ScalableTag<int16_t> d;
    if (n >= hn::Lanes(d)) run(d);
    else if (n >= 16) run(hn::CappedTag<int16_t, 16>());
    else run(hn::CappedTag<int16_t, 8>());
}
#endif

// d[x] = k.four(a[x], a[x + 1], b[x], b[x + 1]) (Four) or k.horiz(a[x],
// a[x + 1]) for x < n; reads a[0 .. n] (and b[0 .. n]).
template <bool Four, class S, class D, int Shift, class Out>
HWY_INLINE void interpolateRow(const S* a, const S* b, D* d, int n, const FixedKernel<S, D, Shift, Out>& k) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
    if constexpr (std::is_same_v<S, uint8_t>) {
        if (n >= 1 && n <= 32) {
            maskedPairRow<Four>(a, b, d, static_cast<std::size_t>(n), pairWeights<Four>(hn::Full512<int16_t>(), k), k.out);
            return;
        }
    }
#endif
#if HWY_TARGET != HWY_SCALAR
    if constexpr (std::is_same_v<S, uint8_t>) {
        if (n >= 8) {
            withPairTag(static_cast<std::size_t>(n), [&](auto d16) {
                pairRow<Four>(d16, a, b, d, static_cast<std::size_t>(n), pairWeights<Four>(d16, k), k.out);
            });
            return;
        }
    }
#endif
    overlapped<uint32_t>(static_cast<std::size_t>(n), [&](auto dl, std::size_t x) {
        auto sum = hn::Add(hn::Mul(loadWidened(dl, a + x), hn::Set(dl, Four ? k.w.w00 : k.w.a1)),
                           hn::Mul(loadWidened(dl, a + x + 1), hn::Set(dl, Four ? k.w.w01 : k.w.a)));
        if constexpr (Four)
            sum = hn::Add(hn::Add(sum, hn::Mul(loadWidened(dl, b + x), hn::Set(dl, k.w.w10))),
                          hn::Mul(loadWidened(dl, b + x + 1), hn::Set(dl, k.w.w11)));
        storeNarrowed(dl, convertOut(dl, sum, k.out), d + x);
    });
}

// Float kernels: ((p00 w00 + p01 w01) + p10 w10) + p11 w11, or
// p0 (1 - fx) + p1 fx.
template <bool Four, class S>
HWY_INLINE void interpolateRow(const S* a, const S* b, float* d, int n, const FloatKernel<S>& k) {
    overlapped<float>(static_cast<std::size_t>(n), [&](auto dl, std::size_t x) {
        auto sum = hn::Add(hn::Mul(loadWidened(dl, a + x), hn::Set(dl, Four ? k.w.w00 : 1.0f - k.w.fx)),
                           hn::Mul(loadWidened(dl, a + x + 1), hn::Set(dl, Four ? k.w.w01 : k.w.fx)));
        if constexpr (Four)
            sum = hn::Add(hn::Add(sum, hn::Mul(loadWidened(dl, b + x), hn::Set(dl, k.w.w10))),
                          hn::Mul(loadWidened(dl, b + x + 1), hn::Set(dl, k.w.w11)));
        hn::StoreU(sum, dl, d + x);
    });
}

// The incremental float form of the plain copy, per row: with t(x) =
// top[x + 1] w1t + bot[x + 1] w1b, d[0] = (top[0] w0t + bot[0] w0b) + t(0)
// and d[x] = r t(x - 1) + t(x), which is what carrying acc = r t from one
// pixel to the next computes.
struct IncrementalWeights {
    float r, w0t, w0b, w1t, w1b;
};

template <class S>
HWY_INLINE void incrementalRow(const S* top, const S* bot, float* d, int n, const IncrementalWeights& w) {
    const float first = float(top[0]) * w.w0t + float(bot[0]) * w.w0b;
    overlapped<float>(static_cast<std::size_t>(n), [&](auto dl, std::size_t x) {
        auto t = [&](std::size_t at) {
            return hn::Add(hn::Mul(loadWidened(dl, top + at), hn::Set(dl, w.w1t)),
                           hn::Mul(loadWidened(dl, bot + at), hn::Set(dl, w.w1b)));
        };
        auto carried = hn::Mul(hn::Set(dl, w.r), t(x));  // r t(x - 1), lane by lane
        if (x == 0) carried = hn::IfThenElse(hn::FirstN(dl, 1), hn::Set(dl, first), carried);
        hn::StoreU(hn::Add(carried, t(x + 1)), dl, d + x);
    });
}

// The plain copy: dst from the block at src, one column and one row larger.
template <class S, class D>
HWY_INLINE void copyBlock(Image<const S> src, Image<D> dst, float dx, float dy, int scaleFactor) {
    const float fx = subpixFraction(dx), fy = subpixFraction(dy);
    if constexpr (std::is_same_v<D, float>) {
        // Incremental form: each pixel's right-hand pair is reused, scaled by
        // (1 - fx) / fx, as the next pixel's left-hand pair. The lower bound
        // keeps that ratio finite.
        const float gx = std::max(fx, 1e-6f);
        const IncrementalWeights w{(1.0f - gx) / gx, (1.0f - gx) * (1.0f - fy), fy * (1.0f - gx), (1.0f - fy) * gx,
                                   fy * gx};
        for (int y = 0; y < dst.height; ++y) incrementalRow(src.row(y), src.row(y + 1), dst.row(y), dst.width, w);
    } else {
        const auto k = makeKernel<S, D>(fx, fy, scaleFactor);
        for (int y = 0; y < dst.height; ++y)
            interpolateRow<true>(src.row(y), src.row(y + 1), dst.row(y), dst.width, k);
    }
}

// The clipped copy of the dst-sized block centred on (cx, cy), with the
// kernel kernelOf(fx, fy).
template <class S, class D, class KernelOf>
HWY_INLINE void copyClippedWith(Image<const S> src, Image<D> dst, float cx, float cy, ImagePoint* pMin,
                                ImagePoint* pMax, KernelOf&& kernelOf) {
    const AxisPlan px = planAxis(cx, dst.width, src.width);
    const AxisPlan py = planAxis(cy, dst.height, src.height);
    *pMin = ImagePoint{px.lo, py.lo};
    *pMax = ImagePoint{px.hi, py.hi};

    const auto k = kernelOf(px.frac, py.frac);
    const int W = dst.width;
    // Column runs: [0, xa) one source column, [xa, xb) interpolated from
    // column px.start on, [xb, W) the last column.
    const int xa = std::min(px.lo, W);
    const int xb = std::max(xa, std::min(px.hi + 1, W));
#if HWY_TARGET != HWY_SCALAR
    // 8-bit blocks wholly inside the source (the tracker's windows, mostly)
    // interpolate every row in full: one tag and one set of weights for the
    // block, no per-row runs.
    if constexpr (std::is_same_v<S, uint8_t> && !std::is_same_v<D, float>) {
        if (xa == 0 && xb == W && W >= 8 && py.lo == 0 && py.hi == dst.height - 1) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
            if (W <= 32) {
                // Each source row's pixels serve as the bottom row of one
                // output row and the top row of the next.
                const auto w = pairWeights<true>(hn::Full512<int16_t>(), k);
                const std::size_t n = static_cast<std::size_t>(W);
                const S* r = src.row(py.start) + px.start;
                MaskedPixels top = maskedPixels(r, n);
                for (int y = 0; y < dst.height; ++y) {
                    r += src.step;
                    const MaskedPixels bottom = maskedPixels(r, n);
                    maskedOutputs<true>(top, bottom, dst.row(y), n, w, k.out);
                    top = bottom;
                }
                return;
            }
#endif
            withPairTag(static_cast<std::size_t>(W), [&](auto d16) {
                const auto w = pairWeights<true>(d16, k);
                const std::size_t n = static_cast<std::size_t>(W), lanes = hn::Lanes(d16);
                const S* r = src.row(py.start) + px.start;
                if (n <= 2 * lanes) {
                    // Rows of one or two (overlapping) vectors keep both
                    // vectors' pixels for the next row.
                    using Pixels = PairPixels<decltype(d16)>;
                    const std::size_t x1 = n - lanes;
                    Pixels top0 = pairPixels(d16, r), top1 = pairPixels(d16, r + x1);
                    for (int y = 0; y < dst.height; ++y) {
                        r += src.step;
                        const Pixels bottom0 = pairPixels(d16, r), bottom1 = pairPixels(d16, r + x1);
                        pairOutputs<true>(d16, top0, bottom0, dst.row(y), w, k.out);
                        if (x1 != 0) pairOutputs<true>(d16, top1, bottom1, dst.row(y) + x1, w, k.out);
                        top0 = bottom0;
                        top1 = bottom1;
                    }
                } else {
                    for (int y = 0; y < dst.height; ++y, r += src.step)
                        pairRow<true>(d16, r, r + src.step, dst.row(y), n, w, k.out);
                }
            });
            return;
        }
    }
#endif
    for (int y = 0; y < dst.height; ++y) {
        D* d = dst.row(y);
        if (y >= py.lo && y <= py.hi) {
            const S* r0 = src.row(py.start + (y - py.lo));
            const S* r1 = src.row(py.start + (y - py.lo) + 1);
            std::fill(d, d + xa, k.vert(r0[px.start], r1[px.start]));
            interpolateRow<true>(r0 + px.start, r1 + px.start, d + xa, xb - xa, k);
            std::fill(d + xb, d + W, k.vert(r0[px.last], r1[px.last]));
        } else {
            const S* r = src.row(y < py.lo ? py.start : py.last);
            std::fill(d, d + xa, k.one(r[px.start]));
            interpolateRow<false>(r + px.start, r + px.start, d + xa, xb - xa, k);
            std::fill(d + xb, d + W, k.one(r[px.last]));
        }
    }
}

// The clipped copy with the kernel of its suffix.
template <class S, class D>
HWY_INLINE void copyClipped(Image<const S> src, Image<D> dst, float cx, float cy, ImagePoint* pMin, ImagePoint* pMax,
                            int scaleFactor) {
    copyClippedWith(src, dst, cx, cy, pMin, pMax,
                    [scaleFactor](float fx, float fy) { return makeKernel<S, D>(fx, fy, scaleFactor); });
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_PYRAMID_SUBPIX_INL_H_
