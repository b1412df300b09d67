// Accumulation into a 32f image: the pixel values, their squares, the product
// of two images, or a running average A + (s - A) * alpha; with or without an
// 8-bit mask.
//
// Masking is arithmetic, never a skip: an unselected pixel still receives
// "+ 0.0" (integer sources) or "+ term * 0.0" (32f sources, and the weighted
// form for every source). So a -0.0 accumulator may turn into +0.0, and a
// non-finite term makes the accumulator NaN even where the mask is zero.
#include <bit>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "stats/exports.h"
#include "stats/ops.h"

namespace zal::stats {
namespace {

// The term added to the accumulator, in single precision. Integer sources are
// exact in float, and a float product is the exact product rounded once, so
// s1 * s2 here equals the integer product rounded once to float.
template <AccOp Op>
inline float term(float s1, float s2) {
    if constexpr (Op == AccOp::Add) return s1;
    else if constexpr (Op == AccOp::Square) return s1 * s1;
    else return s1 * s2;
}

template <AccOp Op, class T>
void accumulateRow(const T* __restrict s1, const T* __restrict s2, float* __restrict acc, int width, float alpha) {
    for (int x = 0; x < width; ++x) {
        const float s = static_cast<float>(s1[x]);
        if constexpr (Op == AccOp::Weighted) acc[x] = acc[x] + (s - acc[x]) * alpha;
        else acc[x] = acc[x] + term<Op>(s, static_cast<float>(s2[x]));
    }
}

// v where keep is all ones, +0.0 where it is zero: a bitwise select that
// vectorises where a branch would not.
inline float keepOrZero(float v, uint32_t keep) { return std::bit_cast<float>(std::bit_cast<uint32_t>(v) & keep); }

template <AccOp Op, class T>
void accumulateRowMasked(const T* __restrict s1, const T* __restrict s2, const uint8_t* __restrict mask,
                         float* __restrict acc, int width, float alpha) {
    for (int x = 0; x < width; ++x) {
        const uint32_t keep = 0u - static_cast<uint32_t>(mask[x] != 0);
        const float s = static_cast<float>(s1[x]);
        if constexpr (Op == AccOp::Weighted) {
            acc[x] = acc[x] + (s - acc[x]) * keepOrZero(alpha, keep);
        } else if constexpr (std::is_same_v<T, float>) {
            // Coefficient 1.0 or 0.0: an infinite or NaN term gives NaN.
            acc[x] = acc[x] + term<Op>(s, static_cast<float>(s2[x])) * keepOrZero(1.0f, keep);
        } else {
            acc[x] = acc[x] + keepOrZero(term<Op>(s, static_cast<float>(s2[x])), keep);
        }
    }
}

}  // namespace

template <AccOp Op, class T, bool Masked>
void accumulate(Image<const T> a, Image<const T> b, Image<const uint8_t> mask, Image<float> acc, float alpha) {
    for (int y = 0; y < acc.height; ++y) {
        if constexpr (Masked) accumulateRowMasked<Op>(a.row(y), b.row(y), mask.row(y), acc.row(y), acc.width, alpha);
        else accumulateRow<Op>(a.row(y), b.row(y), acc.row(y), acc.width, alpha);
    }
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
