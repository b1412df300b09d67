// Fill of an 8-bit image region with a constant.
#include <cstring>

#include "core/checks.h"
#include "core/image.h"

extern "C" StatusCode zaliSet_8u_C1R(uint8_t value, uint8_t* pDst, int dstStep, ImageSize roiSize) {
    ZAL_CHECK(zal::requireNonNull(pDst));
    ZAL_CHECK(zal::requireSize(roiSize));
    ZAL_CHECK(zal::requirePositiveSteps(dstStep));
    const zal::Image<uint8_t> dst(pDst, dstStep, roiSize);
    for (int y = 0; y < roiSize.height; ++y) std::memset(dst.row(y), value, static_cast<std::size_t>(roiSize.width));
    return StatusOk;
}
