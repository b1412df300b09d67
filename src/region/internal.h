// What the region family's files share: the size-query shape.
#pragma once

#include "core/checks.h"
#include "core/export.h"
#include "zalcv.h"

namespace zal::region {

// -8 null pBufferSize, -6 size below 1 or a byte count beyond INT32_MAX.
inline StatusCode querySize(ImageSize roi, int* pBufferSize, ByteCount (*bytes)(ImageSize)) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    return storeSize(bytes(roi), pBufferSize);
}

}  // namespace zal::region

// A size query whose count comes from zal::region::bytes(roi).
#define ZAL_REGION_SIZE_QUERY(name, bytes)                                                     \
    ZAL_DECLARED(name);                                                                        \
    extern "C" StatusCode name(ImageSize roiSize, int* pBufferSize) {                          \
        return zal::region::querySize(roiSize, pBufferSize, zal::region::bytes);               \
    }
