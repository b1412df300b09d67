// Exported rectangular minimum/maximum filters with replicated border and
// their buffer-size queries.
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "filter/exports.h"
#include "filter/ops.h"

namespace zal::filter {
namespace {

// 8u checks both steps against the row length in one test; 32f checks each
// step's length and then its alignment, source first.
template <class T, int C>
StatusCode checkSteps(ImageSize roi, int srcStep, int dstStep) {
    if constexpr (sizeof(T) == 1) {
        return requireRowSteps<T, C>(roi, srcStep, dstStep);
    } else {
        ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep)));
        ZAL_CHECK(requireStepsAligned<T>(srcStep));
        ZAL_CHECK((requireRowSteps<T, C>(roi, dstStep)));
        return requireStepsAligned<T>(dstStep);
    }
}

template <class T, int C, class Op>
StatusCode filterMinMax(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, ImageSize mask,
                        ImagePoint anchor, uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(mask.width < 1 || mask.height < 1, StatusMaskSizeError));
    ZAL_CHECK(failIf(anchor.x < 0 || anchor.x >= mask.width || anchor.y < 0 || anchor.y >= mask.height,
                     StatusAnchorError));
    ZAL_CHECK((checkSteps<T, C>(roi, srcStep, dstStep)));
    minmax::filterReplicate<T, C, Op>(Image<const T>(pSrc, srcStep, roi), Image<T>(pDst, dstStep, roi), mask, anchor,
                                      pBuffer);
    return StatusOk;
}

template <class T, int C>
StatusCode filterBufferSize(int roiWidth, ImageSize mask, int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireLength(roiWidth));
    ZAL_CHECK(failIf(mask.width < 1 || mask.height < 1, StatusMaskSizeError));
    return storeSize(minmax::bufferSize(roiWidth, mask.height, C * static_cast<int>(sizeof(T))), pBufferSize);
}

}  // namespace
}  // namespace zal::filter

#define ZAL_MINMAX(name, T, C, OP)                                                                              \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,             \
                               ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer) {                       \
        return zal::filter::filterMinMax<T, C, zal::filter::minmax::OP>(pSrc, srcStep, pDst, dstStep, roiSize,  \
                                                                        maskSize, anchor, pBuffer);             \
    }
#define ZAL_MINMAX_SIZE(name, T, C)                                                                             \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(int roiWidth, ImageSize maskSize, int* pBufferSize) {                            \
        return zal::filter::filterBufferSize<T, C>(roiWidth, maskSize, pBufferSize);                            \
    }
ZAL_FILTER_MINMAX(ZAL_MINMAX)
ZAL_FILTER_MINMAX_SIZE(ZAL_MINMAX_SIZE)
