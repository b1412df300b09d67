// Absolute difference of two images, and of an image and a constant.
#include <bit>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "core/saturate.h"
#include "core/simd.h"

namespace zal {
namespace {

// |a - b| exactly for integers (the larger minus the smaller, which always
// fits the type); for floats the sign bit of a - b is cleared (so -0 becomes
// +0 and a NaN keeps its payload).
template <class T>
inline T absDifference(T a, T b) {
    if constexpr (std::is_same_v<T, float>) {
        return std::bit_cast<float>(std::bit_cast<uint32_t>(a - b) & 0x7fffffffu);
    } else {
        return static_cast<T>(a > b ? a - b : b - a);
    }
}

template <class T>
ZAL_TARGET_CLONES void absDiffRow(const T* a, const T* b, T* d, int n) {
    for (int x = 0; x < n; ++x) d[x] = absDifference(a[x], b[x]);
}

template <class T>
ZAL_TARGET_CLONES void absDiffConstRow(const T* a, T c, T* d, int n) {
    for (int x = 0; x < n; ++x) d[x] = absDifference(a[x], c);
}

template <class T>
StatusCode checkImages(ImageSize roi, const void* p1, const void* p2, const void* p3, int s1, int s2, int s3) {
    ZAL_CHECK(requireNonNull(p1, p2, p3));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, 1>(roi, s1, s2, s3)));
    return requireStepsAligned<T>(s1, s2, s3);
}

template <class T>
StatusCode absDiff(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, T* pDst, int dstStep, ImageSize roi) {
    ZAL_CHECK(checkImages<T>(roi, pSrc1, pSrc2, pDst, src1Step, src2Step, dstStep));
    const Image<const T> a(pSrc1, src1Step, roi), b(pSrc2, src2Step, roi);
    const Image<T> dst(pDst, dstStep, roi);
    for (int y = 0; y < roi.height; ++y) absDiffRow(a.row(y), b.row(y), dst.row(y), roi.width);
    return StatusOk;
}

template <class T, class V>
StatusCode absDiffC(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, V value) {
    ZAL_CHECK(checkImages<T>(roi, pSrc, pDst, pDst, srcStep, dstStep, dstStep));
    // Integer constants are clamped into the element range first.
    T c;
    if constexpr (std::is_same_v<T, float>) c = value;
    else c = saturate<T>(value);
    const Image<const T> src(pSrc, srcStep, roi);
    const Image<T> dst(pDst, dstStep, roi);
    for (int y = 0; y < roi.height; ++y) absDiffConstRow(src.row(y), c, dst.row(y), roi.width);
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zaliAbsDiff_8u_C1R(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize) { return zal::absDiff(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize); }
StatusCode zaliAbsDiff_16u_C1R(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, uint16_t* pDst, int dstStep, ImageSize roiSize) { return zal::absDiff(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize); }
StatusCode zaliAbsDiff_32f_C1R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize) { return zal::absDiff(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize); }
StatusCode zaliAbsDiffC_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int value) { return zal::absDiffC(pSrc, srcStep, pDst, dstStep, roiSize, value); }
StatusCode zaliAbsDiffC_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, int value) { return zal::absDiffC(pSrc, srcStep, pDst, dstStep, roiSize, value); }
StatusCode zaliAbsDiffC_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float value) { return zal::absDiffC(pSrc, srcStep, pDst, dstStep, roiSize, value); }

}  // extern "C"
