// Thresholds: dst = value where src compares true against the threshold
// (cmpOp 0: less than, 4: greater than), else src. The members form a chain:
// LT_32f_C1IR -> LT_32f_C1R -> Threshold_32f (cmpOp 0), GT_8u -> Threshold_8u
// (cmpOp 4), Threshold_<t> -> Threshold_Val_<t> with value = threshold.
#include <bit>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "core/simd.h"
#include "core/unaligned.h"

namespace zal {
namespace {

constexpr int kLess = 0;
constexpr int kGreater = 4;

// 8u compares the values; 32f compares IEEE bit patterns: as signed integers
// when threshold >= 0.0 (so -0.0 counts as >= 0.0), otherwise as unsigned
// integers with the sense reversed. For finite values other than signed
// zeros this is the ordinary float comparison.
template <bool Less>
struct Compare8u {
    uint8_t threshold;
    bool operator()(uint8_t v) const { return Less ? v < threshold : v > threshold; }
};
template <bool Less>
struct CompareSigned32f {
    int32_t threshold;
    bool operator()(float v) const {
        const int32_t b = std::bit_cast<int32_t>(v);
        return Less ? b < threshold : b > threshold;
    }
};
template <bool Less>
struct CompareUnsigned32f {
    uint32_t threshold;
    bool operator()(float v) const {
        const uint32_t b = std::bit_cast<uint32_t>(v);
        return Less ? b > threshold : b < threshold;
    }
};

// Steps are only required to be positive, so 32f rows may start at any byte:
// elements are moved with unaligned loads and stores.
template <class T, class Cmp>
ZAL_TARGET_CLONES void thresholdRow(const unsigned char* src, unsigned char* dst, int n, Cmp cmp, T value) {
    for (int x = 0; x < n; ++x) {
        const T v = loadUnaligned<T>(src, x);
        storeUnaligned<T>(dst, x, cmp(v) ? value : v);
    }
}

template <class T, class Cmp>
void thresholdRows(Image<const T> src, Image<T> dst, Cmp cmp, T value) {
    for (int y = 0; y < dst.height; ++y) thresholdRow(src.rowBytes(y), dst.rowBytes(y), dst.width, cmp, value);
}

template <class T>
StatusCode thresholdVal(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, T threshold, T value,
                        int cmpOp) {
    ZAL_CHECK(failIf(cmpOp != kLess && cmpOp != kGreater, StatusComparisonNotSupported));
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requirePositiveSteps(srcStep, dstStep));
    const Image<const T> src(pSrc, srcStep, roi);
    const Image<T> dst(pDst, dstStep, roi);
    const bool less = cmpOp == kLess;
    if constexpr (std::is_same_v<T, float>) {
        if (threshold >= 0.0f) {
            const int32_t t = std::bit_cast<int32_t>(threshold);
            less ? thresholdRows(src, dst, CompareSigned32f<true>{t}, value)
                 : thresholdRows(src, dst, CompareSigned32f<false>{t}, value);
        } else {
            const uint32_t t = std::bit_cast<uint32_t>(threshold);
            less ? thresholdRows(src, dst, CompareUnsigned32f<true>{t}, value)
                 : thresholdRows(src, dst, CompareUnsigned32f<false>{t}, value);
        }
    } else {
        less ? thresholdRows(src, dst, Compare8u<true>{threshold}, value)
             : thresholdRows(src, dst, Compare8u<false>{threshold}, value);
    }
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zaliThreshold_Val_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t threshold, uint8_t value, int cmpOp) {
    return zal::thresholdVal(pSrc, srcStep, pDst, dstStep, roiSize, threshold, value, cmpOp);
}
StatusCode zaliThreshold_Val_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float threshold, float value, int cmpOp) {
    return zal::thresholdVal(pSrc, srcStep, pDst, dstStep, roiSize, threshold, value, cmpOp);
}
StatusCode zaliThreshold_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t threshold, int cmpOp) {
    return zaliThreshold_Val_8u_C1R(pSrc, srcStep, pDst, dstStep, roiSize, threshold, threshold, cmpOp);
}
StatusCode zaliThreshold_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float threshold, int cmpOp) {
    return zaliThreshold_Val_32f_C1R(pSrc, srcStep, pDst, dstStep, roiSize, threshold, threshold, cmpOp);
}
StatusCode zaliThreshold_GT_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t threshold) {
    return zaliThreshold_8u_C1R(pSrc, srcStep, pDst, dstStep, roiSize, threshold, zal::kGreater);
}
StatusCode zaliThreshold_LT_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float threshold) {
    return zaliThreshold_32f_C1R(pSrc, srcStep, pDst, dstStep, roiSize, threshold, zal::kLess);
}
StatusCode zaliThreshold_LT_32f_C1IR(float* pSrcDst, int srcDstStep, ImageSize roiSize, float threshold) {
    return zaliThreshold_LT_32f_C1R(pSrcDst, srcDstStep, pSrcDst, srcDstStep, roiSize, threshold);
}

}  // extern "C"
