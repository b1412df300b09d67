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
#include "core/image.h"
#include "zalcv.h"

namespace zal {
namespace {

enum class AccOp { Add, Square, Product, Weighted };

// The term added to the accumulator, in single precision. Integer sources are
// exact in float, and a float product is the exact product rounded once, so
// s1 * s2 here equals the integer product rounded once to float.
template <AccOp Op>
inline float term(float s1, float s2) {
    if constexpr (Op == AccOp::Add) return s1;
    else if constexpr (Op == AccOp::Square) return s1 * s1;
    else return s1 * s2;
}

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

template <AccOp Op, class T, bool Masked>
StatusCode accumulate(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask, int maskStep,
                      float* pSrcDst, int srcDstStep, ImageSize roi, float alpha = 0.0f) {
    ZAL_CHECK((checkAccumulate<Op, T, Masked>(pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, pSrcDst, srcDstStep,
                                              roi)));
    const Image<const T> a(pSrc1, src1Step, roi);
    // Single-source operations read their one source for both operands.
    const Image<const T> b = Op == AccOp::Product ? Image<const T>(pSrc2, src2Step, roi) : a;
    const Image<const uint8_t> mask(pMask, maskStep, roi);
    const Image<float> acc(pSrcDst, srcDstStep, roi);
    for (int y = 0; y < roi.height; ++y) {
        if constexpr (Masked) accumulateRowMasked<Op>(a.row(y), b.row(y), mask.row(y), acc.row(y), roi.width, alpha);
        else accumulateRow<Op>(a.row(y), b.row(y), acc.row(y), roi.width, alpha);
    }
    return StatusOk;
}

constexpr AccOp kAdd = AccOp::Add, kSquare = AccOp::Square, kProduct = AccOp::Product, kWeighted = AccOp::Weighted;

}  // namespace
}  // namespace zal

// One-source members: (pSrc, srcStep[, pMask, maskStep], pSrcDst, srcDstStep, roiSize[, alpha]).
#define ZAL_ACC_C1IR(name, op, T)                                                                                   \
    StatusCode name(const T* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize) {                \
        return zal::accumulate<zal::op, T, false>(pSrc, srcStep, nullptr, 0, nullptr, 0, pSrcDst, srcDstStep, roiSize); \
    }
#define ZAL_ACC_C1IMR(name, op, T)                                                                                   \
    StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep,  \
                    ImageSize roiSize) {                                                                             \
        return zal::accumulate<zal::op, T, true>(pSrc, srcStep, nullptr, 0, pMask, maskStep, pSrcDst, srcDstStep,    \
                                                 roiSize);                                                           \
    }
#define ZAL_ACC_PRODUCT_C1IR(name, T)                                                                               \
    StatusCode name(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, float* pSrcDst, int srcDstStep,     \
                    ImageSize roiSize) {                                                                            \
        return zal::accumulate<zal::kProduct, T, false>(pSrc1, src1Step, pSrc2, src2Step, nullptr, 0, pSrcDst,      \
                                                        srcDstStep, roiSize);                                       \
    }
#define ZAL_ACC_PRODUCT_C1IMR(name, T)                                                                              \
    StatusCode name(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, \
                    float* pSrcDst, int srcDstStep, ImageSize roiSize) {                                            \
        return zal::accumulate<zal::kProduct, T, true>(pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, pSrcDst,  \
                                                       srcDstStep, roiSize);                                        \
    }
#define ZAL_ACC_WEIGHTED_C1IR(name, T)                                                                              \
    StatusCode name(const T* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha) {   \
        return zal::accumulate<zal::kWeighted, T, false>(pSrc, srcStep, nullptr, 0, nullptr, 0, pSrcDst, srcDstStep, \
                                                         roiSize, alpha);                                           \
    }
#define ZAL_ACC_WEIGHTED_C1IMR(name, T)                                                                             \
    StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, \
                    ImageSize roiSize, float alpha) {                                                               \
        return zal::accumulate<zal::kWeighted, T, true>(pSrc, srcStep, nullptr, 0, pMask, maskStep, pSrcDst,        \
                                                        srcDstStep, roiSize, alpha);                                \
    }

extern "C" {

ZAL_ACC_C1IR(zaliAdd_8u32f_C1IR, kAdd, uint8_t)
ZAL_ACC_C1IR(zaliAdd_8s32f_C1IR, kAdd, int8_t)
ZAL_ACC_C1IR(zaliAdd_16u32f_C1IR, kAdd, uint16_t)
ZAL_ACC_C1IMR(zaliAdd_8u32f_C1IMR, kAdd, uint8_t)
ZAL_ACC_C1IMR(zaliAdd_8s32f_C1IMR, kAdd, int8_t)
ZAL_ACC_C1IMR(zaliAdd_16u32f_C1IMR, kAdd, uint16_t)
ZAL_ACC_C1IMR(zaliAdd_32f_C1IMR, kAdd, float)

ZAL_ACC_C1IR(zaliAddSquare_8u32f_C1IR, kSquare, uint8_t)
ZAL_ACC_C1IR(zaliAddSquare_8s32f_C1IR, kSquare, int8_t)
ZAL_ACC_C1IR(zaliAddSquare_16u32f_C1IR, kSquare, uint16_t)
ZAL_ACC_C1IR(zaliAddSquare_32f_C1IR, kSquare, float)
ZAL_ACC_C1IMR(zaliAddSquare_8u32f_C1IMR, kSquare, uint8_t)
ZAL_ACC_C1IMR(zaliAddSquare_8s32f_C1IMR, kSquare, int8_t)
ZAL_ACC_C1IMR(zaliAddSquare_16u32f_C1IMR, kSquare, uint16_t)
ZAL_ACC_C1IMR(zaliAddSquare_32f_C1IMR, kSquare, float)

ZAL_ACC_PRODUCT_C1IR(zaliAddProduct_8u32f_C1IR, uint8_t)
ZAL_ACC_PRODUCT_C1IR(zaliAddProduct_8s32f_C1IR, int8_t)
ZAL_ACC_PRODUCT_C1IR(zaliAddProduct_16u32f_C1IR, uint16_t)
ZAL_ACC_PRODUCT_C1IR(zaliAddProduct_32f_C1IR, float)
ZAL_ACC_PRODUCT_C1IMR(zaliAddProduct_8u32f_C1IMR, uint8_t)
ZAL_ACC_PRODUCT_C1IMR(zaliAddProduct_8s32f_C1IMR, int8_t)
ZAL_ACC_PRODUCT_C1IMR(zaliAddProduct_16u32f_C1IMR, uint16_t)
ZAL_ACC_PRODUCT_C1IMR(zaliAddProduct_32f_C1IMR, float)

ZAL_ACC_WEIGHTED_C1IR(zaliAddWeighted_8u32f_C1IR, uint8_t)
ZAL_ACC_WEIGHTED_C1IR(zaliAddWeighted_8s32f_C1IR, int8_t)
ZAL_ACC_WEIGHTED_C1IR(zaliAddWeighted_16u32f_C1IR, uint16_t)
ZAL_ACC_WEIGHTED_C1IR(zaliAddWeighted_32f_C1IR, float)
ZAL_ACC_WEIGHTED_C1IMR(zaliAddWeighted_8u32f_C1IMR, uint8_t)
ZAL_ACC_WEIGHTED_C1IMR(zaliAddWeighted_8s32f_C1IMR, int8_t)
ZAL_ACC_WEIGHTED_C1IMR(zaliAddWeighted_16u32f_C1IMR, uint16_t)
ZAL_ACC_WEIGHTED_C1IMR(zaliAddWeighted_32f_C1IMR, float)

}  // extern "C"
