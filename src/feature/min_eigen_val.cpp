// Minimum-eigenvalue corner measure: per pixel, the smaller eigenvalue of the
// scaled, averaged structure tensor [A B; B C].
#include <cmath>
#include <cstdint>

#include "core/simd.h"
#include "feature/corner_tensor.h"

namespace zal {
namespace {

// ((A + C) - sqrt((A - C)^2 + 4 B^2)) * (s / 2), in single precision; the
// scale is applied once to the difference, not to A, B and C.
ZAL_TARGET_CLONES void minEigenRow(const float* __restrict a, const float* __restrict b, const float* __restrict c,
                                   float* __restrict dst, int width, float halfScale) {
    for (int x = 0; x < width; ++x) {
        const float d = a[x] - c[x];
        const float root = std::sqrt(d * d + 4.0f * b[x] * b[x]);
        dst[x] = ((a[x] + c[x]) - root) * halfScale;
    }
}

template <class Src>
StatusCode minEigenVal(const Src* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roi, int kernType,
                       int apertureSize, int avgWindow, uint8_t* pBuffer) {
    const float halfScale = cornerScale(kernType, apertureSize) * 0.5f;
    return runCornerMeasure(pSrc, srcStep, pDst, dstStep, roi, kernType, apertureSize, avgWindow, pBuffer, 1,
                            [halfScale](const float* a, const float* b, const float* c, float* dst, int width) {
                                minEigenRow(a, b, c, dst, width, halfScale);
                            });
}

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zaliMinEigenVal_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer) { return zal::minEigenVal(pSrc, srcStep, pDst, dstStep, roiSize, kernType, apertureSize, avgWindow, pBuffer); }
StatusCode zaliMinEigenVal_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer) { return zal::minEigenVal(pSrc, srcStep, pDst, dstStep, roiSize, kernType, apertureSize, avgWindow, pBuffer); }

}  // extern "C"
