// Copies of image regions. Elements travel as opaque 8- or 32-bit units, so
// float payloads (NaN included) are preserved bit for bit.
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/copy.h"
#include "core/image.h"

namespace zal {

template <class T, int Channels>
StatusCode copyImage(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    copyRows(Image<const T>(pSrc, srcStep, roi), Image<T>(pDst, dstStep, roi), Channels);
    return StatusOk;
}

}  // namespace zal

extern "C" {

StatusCode zaliCopy_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize) { return zal::copyImage<uint8_t, 1>(pSrc, srcStep, pDst, dstStep, roiSize); }
StatusCode zaliCopy_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize) { return zal::copyImage<uint8_t, 3>(pSrc, srcStep, pDst, dstStep, roiSize); }
StatusCode zaliCopy_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize) { return zal::copyImage<uint8_t, 4>(pSrc, srcStep, pDst, dstStep, roiSize); }
StatusCode zaliCopy_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize) { return zal::copyImage<float, 1>(pSrc, srcStep, pDst, dstStep, roiSize); }
StatusCode zaliCopy_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize) { return zal::copyImage<float, 3>(pSrc, srcStep, pDst, dstStep, roiSize); }
StatusCode zaliCopy_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize) { return zal::copyImage<float, 4>(pSrc, srcStep, pDst, dstStep, roiSize); }

}  // extern "C"
