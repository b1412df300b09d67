// Multiplication of a vector by a constant.
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/saturate.h"

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

ZAL_DECLARED(zalsMulC_32f_I);
extern "C" StatusCode zalsMulC_32f_I(float val, float* pSrcDst, int len) {
    ZAL_CHECK(zal::requireNonNull(pSrcDst));
    ZAL_CHECK(zal::requireLength(len));
    // A value that compares neither below nor above 1 (1 itself, or NaN)
    // leaves the vector alone; one that compares neither below nor above 0
    // clears it to +0.0 whatever it held.
    if (!(val < 1.0f) && !(val > 1.0f)) return StatusOk;
    if (!(val < 0.0f) && !(val > 0.0f)) {
        std::memset(pSrcDst, 0, static_cast<std::size_t>(len) * sizeof(float));
        return StatusOk;
    }
    for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] * val;
    return StatusOk;
}

ZAL_DECLARED(zalsMulC_16s_ISfs);
extern "C" StatusCode zalsMulC_16s_ISfs(int16_t val, int16_t* pSrcDst, int len, int scaleFactor) {
    ZAL_CHECK(zal::requireNonNull(pSrcDst));
    ZAL_CHECK(zal::requireLength(len));
    if (val == 0 || scaleFactor > 30) {
        std::memset(pSrcDst, 0, static_cast<std::size_t>(len) * sizeof(int16_t));
        return StatusOk;
    }
    for (int i = 0; i < len; ++i)
        pSrcDst[i] = zal::scaledProduct(static_cast<int32_t>(pSrcDst[i]) * val, scaleFactor);
    return StatusOk;
}

