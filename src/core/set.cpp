// Fill of an 8-bit image region with a constant.
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"

namespace zal::core {

void set(uint8_t value, Image<uint8_t> dst) {
    for (int y = 0; y < dst.height; ++y) std::memset(dst.row(y), value, static_cast<std::size_t>(dst.width));
}

}  // namespace zal::core

ZAL_DECLARED(zaliSet_8u_C1R);
extern "C" StatusCode zaliSet_8u_C1R(uint8_t value, uint8_t* pDst, int dstStep, ImageSize roiSize) {
    ZAL_CHECK(zal::requireNonNull(pDst));
    ZAL_CHECK(zal::requireSize(roiSize));
    ZAL_CHECK(zal::requirePositiveSteps(dstStep));
    zal::core::set(value, zal::image(pDst, dstStep, roiSize));
    return StatusOk;
}
