// Multiplication of a vector by a constant.
#include <cstdint>

#include "core/checks.h"
#include "core/saturate.h"
#include "core/vector_ops.h"

namespace zal {
namespace {

int16_t clamp16(int32_t v) { return saturate<int16_t>(v); }

// One element of zalsMulC_16s_ISfs: p = element * value in 32 bits, scaled
// by 2^-s. The caller has already handled value 0 and s > 30 (cleared).
int16_t scaledProduct(int32_t p, int s) {
    if (s == 0) return clamp16(p);
    if (s > 0) return clamp16(roundShiftEven(p, s));
    if (s >= -15) return clamp16(static_cast<int32_t>(clamp16(p)) << -s);
    return p > 0 ? INT16_MAX : (p < 0 ? INT16_MIN : 0);
}

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zalsMulC_32f_I(float val, float* pSrcDst, int len) {
    ZAL_CHECK(zal::requireNonNull(pSrcDst));
    ZAL_CHECK(zal::requireLength(len));
    // A value that compares neither below nor above 1 (1 itself, or NaN)
    // leaves the vector alone; one that compares neither below nor above 0
    // clears it to +0.0 whatever it held.
    if (!(val < 1.0f) && !(val > 1.0f)) return StatusOk;
    if (!(val < 0.0f) && !(val > 0.0f)) {
        zal::ownsZero_8u(reinterpret_cast<uint8_t*>(pSrcDst), static_cast<std::ptrdiff_t>(len) * 4);
        return StatusOk;
    }
    for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] * val;
    return StatusOk;
}

StatusCode zalsMulC_16s_ISfs(int16_t val, int16_t* pSrcDst, int len, int scaleFactor) {
    ZAL_CHECK(zal::requireNonNull(pSrcDst));
    ZAL_CHECK(zal::requireLength(len));
    if (val == 0 || scaleFactor > 30) {
        zal::ownsZero_8u(reinterpret_cast<uint8_t*>(pSrcDst), static_cast<std::ptrdiff_t>(len) * 2);
        return StatusOk;
    }
    for (int i = 0; i < len; ++i)
        pSrcDst[i] = zal::scaledProduct(static_cast<int32_t>(pSrcDst[i]) * val, scaleFactor);
    return StatusOk;
}

}  // extern "C"
