// Accumulation into a 32f image: the pixel values, their squares, the product
// of two images, or a running average A + (s - A) * alpha; with or without an
// 8-bit mask.
//
// Masking is arithmetic, never a skip: an unselected pixel still receives
// "+ 0.0" (integer sources) or "+ term * 0.0" (32f sources, and the weighted
// form for every source). So a -0.0 accumulator may turn into +0.0, and a
// non-finite term makes the accumulator NaN even where the mask is zero.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "stats/accumulate.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "core/image.h"
#include "stats/lanes-inl.h"
#include "stats/ops.h"

HWY_BEFORE_NAMESPACE();
namespace zal::stats {
namespace HWY_NAMESPACE {

// One row, lane by lane; per pixel (s, s1, s2 the sources as float, A the
// accumulator, c = 1 where selected and 0 elsewhere):
//   unmasked            A + term                 term = s, s * s or s1 * s2
//   masked, integers    A + (c ? term : +0.0)
//   masked, 32f         A + term * c             (an infinite or NaN term gives NaN)
//   weighted            A + (s - A) * (alpha * c), c = 1 when unmasked
template <AccOp Op, bool Masked, class T>
HWY_INLINE void accumulateRow(const T* HWY_RESTRICT a, const T* HWY_RESTRICT b, const uint8_t* HWY_RESTRICT m,
                              float* HWY_RESTRICT acc, std::size_t n, float alpha) {
    const hn::ScalableTag<float> df;
    const hn::Rebind<T, decltype(df)> dt;
    const hn::Rebind<uint8_t, decltype(df)> d8;
    const auto vAlpha = hn::Set(df, alpha);
    const auto one = hn::Set(df, 1.0f);
    const auto pixel = [&](auto va, auto vb, auto vm, auto vAcc) {
        const auto s = toFloat(df, va);
        if constexpr (Op == AccOp::Weighted) {
            const auto w = Masked ? hn::IfThenElseZero(selectedLanes(df, vm), vAlpha) : vAlpha;
            return hn::Add(vAcc, hn::Mul(hn::Sub(s, vAcc), w));
        } else {
            auto t = s;
            if constexpr (Op == AccOp::Square) t = hn::Mul(s, s);
            if constexpr (Op == AccOp::Product) t = hn::Mul(s, toFloat(df, vb));
            if constexpr (!Masked) return hn::Add(vAcc, t);
            else if constexpr (std::is_same_v<T, float>) return hn::Add(vAcc, hn::Mul(t, hn::IfThenElseZero(selectedLanes(df, vm), one)));
            else return hn::Add(vAcc, hn::IfThenElseZero(selectedLanes(df, vm), t));
        }
    };
    const std::size_t lanes = hn::Lanes(df);
    std::size_t x = 0;
    const auto full = [&](std::size_t i) {
        const auto va = hn::LoadU(dt, a + i);
        const auto vb = Op == AccOp::Product ? hn::LoadU(dt, b + i) : va;
        const auto vm = Masked ? hn::LoadU(d8, m + i) : hn::Zero(d8);
        hn::StoreU(pixel(va, vb, vm, hn::LoadU(df, acc + i)), df, acc + i);
    };
    // Two vectors per step keep more loads in flight.
    for (; x + 2 * lanes <= n; x += 2 * lanes) {
        full(x);
        full(x + lanes);
    }
    for (; x + lanes <= n; x += lanes) full(x);
    if (x < n) {
        const std::size_t r = n - x;
        const auto va = loadPartial(dt, a + x, r);
        const auto vb = Op == AccOp::Product ? loadPartial(dt, b + x, r) : va;
        const auto vm = Masked ? loadPartial(d8, m + x, r) : hn::Zero(d8);
        storePartial(pixel(va, vb, vm, loadPartial(df, acc + x, r)), df, acc + x, r);
    }
}

template <AccOp Op, bool Masked, class T>
HWY_INLINE void accumulateRows(Image<const T> a, Image<const T> b, Image<const uint8_t> mask, Image<float> acc,
                               float alpha) {
    for (int y = 0; y < acc.height; ++y)
        accumulateRow<Op, Masked>(a.row(y), b.row(y), Masked ? mask.row(y) : nullptr, acc.row(y),
                                  static_cast<std::size_t>(acc.width), alpha);
}

template <AccOp Op, class T>
HWY_INLINE void accumulateEither(bool masked, Image<const T> a, Image<const T> b, Image<const uint8_t> mask,
                                 Image<float> acc, float alpha) {
    if (masked) accumulateRows<Op, true>(a, b, mask, acc, alpha);
    else accumulateRows<Op, false>(a, b, mask, acc, alpha);
}

template <class T>
HWY_INLINE void accumulateImage(AccOp op, bool masked, Image<const T> a, Image<const T> b, Image<const uint8_t> mask,
                                Image<float> acc, float alpha) {
    switch (op) {
        case AccOp::Add: return accumulateEither<AccOp::Add>(masked, a, b, mask, acc, alpha);
        case AccOp::Square: return accumulateEither<AccOp::Square>(masked, a, b, mask, acc, alpha);
        case AccOp::Product: return accumulateEither<AccOp::Product>(masked, a, b, mask, acc, alpha);
        case AccOp::Weighted: return accumulateEither<AccOp::Weighted>(masked, a, b, mask, acc, alpha);
    }
}

void Accumulate8u(AccOp op, bool masked, Image<const uint8_t> a, Image<const uint8_t> b, Image<const uint8_t> mask,
                  Image<float> acc, float alpha) {
    accumulateImage(op, masked, a, b, mask, acc, alpha);
}
void Accumulate8s(AccOp op, bool masked, Image<const int8_t> a, Image<const int8_t> b, Image<const uint8_t> mask,
                  Image<float> acc, float alpha) {
    accumulateImage(op, masked, a, b, mask, acc, alpha);
}
void Accumulate16u(AccOp op, bool masked, Image<const uint16_t> a, Image<const uint16_t> b,
                   Image<const uint8_t> mask, Image<float> acc, float alpha) {
    accumulateImage(op, masked, a, b, mask, acc, alpha);
}
void Accumulate32f(AccOp op, bool masked, Image<const float> a, Image<const float> b, Image<const uint8_t> mask,
                   Image<float> acc, float alpha) {
    accumulateImage(op, masked, a, b, mask, acc, alpha);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal::stats
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "stats/exports.h"

namespace zal::stats {
HWY_EXPORT(Accumulate8u);
HWY_EXPORT(Accumulate8s);
HWY_EXPORT(Accumulate16u);
HWY_EXPORT(Accumulate32f);

template <AccOp Op, class T, bool Masked>
void accumulate(Image<const T> a, Image<const T> b, Image<const uint8_t> mask, Image<float> acc, float alpha) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(Accumulate8u)(Op, Masked, a, b, mask, acc, alpha);
    else if constexpr (std::is_same_v<T, int8_t>) HWY_DYNAMIC_DISPATCH(Accumulate8s)(Op, Masked, a, b, mask, acc, alpha);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(Accumulate16u)(Op, Masked, a, b, mask, acc, alpha);
    else HWY_DYNAMIC_DISPATCH(Accumulate32f)(Op, Masked, a, b, mask, acc, alpha);
}

namespace {

template <AccOp Op, class T, bool Masked>
StatusCode checkAccumulate(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask,
                           int maskStep, const float* pSrcDst, int srcDstStep, ImageSize roi) {
    constexpr bool kTwo = Op == AccOp::Product;
    ZAL_CHECK(requireNonNull(pSrc1, kTwo ? pSrc2 : pSrc1));
    if constexpr (Masked) ZAL_CHECK(requireNonNull(pMask));
    ZAL_CHECK(requireNonNull(pSrcDst));
    ZAL_CHECK(requireSize(roi));
    // Sources first (length, then the 16u oddness), then mask and accumulator.
    ZAL_CHECK((requireRowSteps<T, 1>(roi, src1Step, kTwo ? src2Step : src1Step)));
    if constexpr (std::is_same_v<T, uint16_t>) ZAL_CHECK(requireStepsAligned<T>(src1Step, kTwo ? src2Step : src1Step));
    if constexpr (Masked) ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, maskStep)));
    ZAL_CHECK((requireRowSteps<float, 1>(roi, srcDstStep)));
    if constexpr (std::is_same_v<T, float>) ZAL_CHECK(requireStepsAligned<float>(srcDstStep, src1Step, src2Step));
    else ZAL_CHECK(requireStepsAligned<float>(srcDstStep));
    return StatusOk;
}

// The checked entry of every member; single-source operations pass their one
// source as both operands.
template <AccOp Op, class T, bool Masked>
StatusCode accumulateChecked(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask,
                             int maskStep, float* pSrcDst, int srcDstStep, ImageSize roi, float alpha) {
    ZAL_CHECK((checkAccumulate<Op, T, Masked>(pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, pSrcDst,
                                              srcDstStep, roi)));
    accumulate<Op, T, Masked>(image(pSrc1, src1Step, roi), image(pSrc2, src2Step, roi), image(pMask, maskStep, roi),
                              image(pSrcDst, srcDstStep, roi), alpha);
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

// The wrappers: the internal instance, then the export. `masked` is true or
// false; `maskArgs` are the mask parameters of the prototype, if any.
#define ZAL_ACC_INSTANCE(op, T, masked)                                                                      \
    template void zal::stats::accumulate<zal::stats::AccOp::op, T, masked>(                                  \
        zal::Image<const T>, zal::Image<const T>, zal::Image<const uint8_t>, zal::Image<float>, float)
#define ZAL_ACC(name, op, T)                                                                                 \
    ZAL_DECLARED(name);                                                                                      \
    ZAL_ACC_INSTANCE(op, T, false);                                                                          \
    extern "C" StatusCode name(const T* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize) { \
        return zal::stats::accumulateChecked<zal::stats::AccOp::op, T, false>(pSrc, srcStep, pSrc, srcStep,   \
                                                                              nullptr, 0, pSrcDst, srcDstStep, \
                                                                              roiSize, 0.0f);                \
    }
#define ZAL_ACC_MASKED(name, op, T)                                                                          \
    ZAL_DECLARED(name);                                                                                      \
    ZAL_ACC_INSTANCE(op, T, true);                                                                           \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, \
                               int srcDstStep, ImageSize roiSize) {                                          \
        return zal::stats::accumulateChecked<zal::stats::AccOp::op, T, true>(pSrc, srcStep, pSrc, srcStep, pMask, \
                                                                             maskStep, pSrcDst, srcDstStep,  \
                                                                             roiSize, 0.0f);                 \
    }
#define ZAL_ADD_PRODUCT(name, T)                                                                             \
    ZAL_DECLARED(name);                                                                                      \
    ZAL_ACC_INSTANCE(Product, T, false);                                                                     \
    extern "C" StatusCode name(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, float* pSrcDst,   \
                               int srcDstStep, ImageSize roiSize) {                                          \
        return zal::stats::accumulateChecked<zal::stats::AccOp::Product, T, false>(                          \
            pSrc1, src1Step, pSrc2, src2Step, nullptr, 0, pSrcDst, srcDstStep, roiSize, 0.0f);               \
    }
#define ZAL_ADD_PRODUCT_MASKED(name, T)                                                                      \
    ZAL_DECLARED(name);                                                                                      \
    ZAL_ACC_INSTANCE(Product, T, true);                                                                      \
    extern "C" StatusCode name(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask, \
                               int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize) {            \
        return zal::stats::accumulateChecked<zal::stats::AccOp::Product, T, true>(                           \
            pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, pSrcDst, srcDstStep, roiSize, 0.0f);          \
    }
#define ZAL_ADD_WEIGHTED(name, T)                                                                            \
    ZAL_DECLARED(name);                                                                                      \
    ZAL_ACC_INSTANCE(Weighted, T, false);                                                                    \
    extern "C" StatusCode name(const T* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, \
                               float alpha) {                                                                \
        return zal::stats::accumulateChecked<zal::stats::AccOp::Weighted, T, false>(                         \
            pSrc, srcStep, pSrc, srcStep, nullptr, 0, pSrcDst, srcDstStep, roiSize, alpha);                  \
    }
#define ZAL_ADD_WEIGHTED_MASKED(name, T)                                                                     \
    ZAL_DECLARED(name);                                                                                      \
    ZAL_ACC_INSTANCE(Weighted, T, true);                                                                     \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, \
                               int srcDstStep, ImageSize roiSize, float alpha) {                             \
        return zal::stats::accumulateChecked<zal::stats::AccOp::Weighted, T, true>(                          \
            pSrc, srcStep, pSrc, srcStep, pMask, maskStep, pSrcDst, srcDstStep, roiSize, alpha);             \
    }
ZAL_STATS_ACCUMULATE(ZAL_ACC)
ZAL_STATS_ACCUMULATE_MASKED(ZAL_ACC_MASKED)
ZAL_STATS_ADD_PRODUCT(ZAL_ADD_PRODUCT)
ZAL_STATS_ADD_PRODUCT_MASKED(ZAL_ADD_PRODUCT_MASKED)
ZAL_STATS_ADD_WEIGHTED(ZAL_ADD_WEIGHTED)
ZAL_STATS_ADD_WEIGHTED_MASKED(ZAL_ADD_WEIGHTED_MASKED)
#endif  // HWY_ONCE
