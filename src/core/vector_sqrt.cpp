// Square roots of vectors; a negative input gives the warning
// StatusSqrtOfNegative after the whole vector has been processed.
#include <cmath>
#include <cstdint>

#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"
#include "zalcore.h"

namespace zal {
namespace {

constexpr int32_t kMaxSquare = 1073676289;  // 32767^2

// trunc(sqrt(t) + 0.5) for t up to 32767^2, else 32767.
int16_t roundedRoot(double t) {
    if (t <= static_cast<double>(kMaxSquare)) return static_cast<int16_t>(std::trunc(std::sqrt(t) + 0.5));
    return INT16_MAX;
}

// sqrt(x) * 2^-s for 1 <= s <= 16, rounded half to even.
int16_t scaledRoot(int32_t x, int s) {
    const double r = std::sqrt(static_cast<double>(x)) * std::ldexp(1.0, -s) + 0.5;
    double y = std::trunc(r);
    if (y == r && std::fmod(y, 2.0) != 0.0) y -= 1.0;
    return static_cast<int16_t>(y);
}

int16_t rootOf(int32_t x, int s) {
    if (s == 0) return roundedRoot(static_cast<double>(x));
    if (s > 0) return scaledRoot(x, s);
    if (s >= -14) {
        const double scale = std::ldexp(1.0, -s);
        return roundedRoot(static_cast<double>(x) * (scale * scale));
    }
    return x > 0 ? INT16_MAX : 0;
}

}  // namespace

bool core::sqrt(const int32_t* src, int16_t* dst, int len, int scaleFactor) {
    bool negative = false;
    if (scaleFactor > 16) {
        for (int i = 0; i < len; ++i) negative |= src[i] < 0;
        std::memset(dst, 0, static_cast<std::size_t>(len) * sizeof(int16_t));
        return negative;
    }
    for (int i = 0; i < len; ++i) {
        const int32_t x = src[i];
        if (x < 0) {
            dst[i] = 0;
            negative = true;
        } else {
            dst[i] = rootOf(x, scaleFactor);
        }
    }
    return negative;
}

}  // namespace zal

ZAL_DECLARED(zalsSqrt_32f_I);
extern "C" StatusCode zalsSqrt_32f_I(float* pSrcDst, int len) {
    ZAL_CHECK(zal::requireNonNull(pSrcDst));
    ZAL_CHECK(zal::requireLength(len));
    bool negative = false;
    for (int i = 0; i < len; ++i) {
        const float x = pSrcDst[i];
        if (x > 0.0f) {
            pSrcDst[i] = static_cast<float>(std::sqrt(static_cast<double>(x)));
        } else if (x < 0.0f) {
            pSrcDst[i] = zalConstantOfNAN_32f;
            negative = true;
        }
    }
    return negative ? StatusSqrtOfNegative : StatusOk;
}

ZAL_DECLARED(zalsSqrt_32s16s_Sfs);
extern "C" StatusCode zalsSqrt_32s16s_Sfs(const int32_t* pSrc, int16_t* pDst, int len, int scaleFactor) {
    ZAL_CHECK(zal::requireNonNull(pSrc, pDst));
    ZAL_CHECK(zal::requireLength(len));
    return zal::core::sqrt(pSrc, pDst, len, scaleFactor) ? StatusSqrtOfNegative : StatusOk;
}
