// Three-channel image collapsed to one channel by a per-pixel norm of the
// channel values: maximum, sum or Euclidean length. The integer types divide
// the sum by 3 and the length by sqrt(3) in fixed point so that both stay in
// the channel range; 32f returns the plain norms.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "core/simd.h"
#include "feature/exports.h"
#include "feature/ops.h"

namespace zal::feature {
namespace {

template <class T>
inline T maxNorm(T a, T b, T c) {
    if constexpr (std::is_same_v<T, float>) {
        a = std::fabs(a), b = std::fabs(b), c = std::fabs(c);
    }
    const T ab = a > b ? a : b;
    return ab > c ? ab : c;
}

template <class T>
inline T sumNorm(T a, T b, T c) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        // 1365 / 4096 ~ 1/3, rounded by half the divisor.
        return static_cast<T>(((static_cast<int32_t>(a) + b + c) * 1365 + 2048) >> 12);
    } else if constexpr (std::is_same_v<T, uint16_t>) {
        // 5461 / 16384 ~ 1/3; (3 * 65535) * 5461 + 8192 still fits 32 bits.
        return static_cast<T>(((static_cast<int32_t>(a) + b + c) * 5461 + 8192) >> 14);
    } else {
        return std::fabs(a) + std::fabs(b) + std::fabs(c);
    }
}

template <class T>
inline T euclidNorm(T a, T b, T c) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        // Sum of squares exact; the division by 3 in single precision, the
        // root in double precision, rounded half up.
        const int32_t squares = int32_t{a} * a + int32_t{b} * b + int32_t{c} * c;
        const float mean = static_cast<float>(squares) / 3.0f;
        return static_cast<T>(static_cast<int32_t>(std::sqrt(static_cast<double>(mean)) + 0.5));
    } else if constexpr (std::is_same_v<T, uint16_t>) {
        const double da = a, db = b, dc = c;
        const double mean = (da * da + db * db + dc * dc) / 3.0;
        return static_cast<T>(static_cast<int32_t>(std::sqrt(mean) + 0.5));
    } else {
        return std::sqrt(a * a + b * b + c * c);
    }
}

// One row for norm N (0 max, 1 sum, 2 Euclid).
template <class T, int N>
ZAL_TARGET_CLONES void gradientRow(const T* __restrict src, T* __restrict dst, int width) {
    for (int x = 0; x < width; ++x) {
        const T a = src[3 * x], b = src[3 * x + 1], c = src[3 * x + 2];
        if constexpr (N == 0) dst[x] = maxNorm(a, b, c);
        else if constexpr (N == 1) dst[x] = sumNorm(a, b, c);
        else dst[x] = euclidNorm(a, b, c);
    }
}

template <class T, int N>
void gradientRows(Image<const T> src, Image<T> dst) {
    for (int y = 0; y < dst.height; ++y) gradientRow<T, N>(src.row(y), dst.row(y), dst.width);
}

}  // namespace

template <class T>
void gradientColorToGray(Image<const T> src, Image<T> dst, int norm) {
    if (norm == 0) gradientRows<T, 0>(src, dst);
    else if (norm == 1) gradientRows<T, 1>(src, dst);
    else gradientRows<T, 2>(src, dst);
}

namespace {

template <class T>
StatusCode checkedGradientColorToGray(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, int norm) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, 3>(roi, srcStep)));
    ZAL_CHECK((requireRowSteps<T, 1>(roi, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(failIf(norm < 0 || norm > 2, StatusBadArgument));
    gradientColorToGray<T>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), norm);
    return StatusOk;
}

}  // namespace
}  // namespace zal::feature

#define ZAL_GRADIENT_COLOR(name, T)                                                                             \
    ZAL_DECLARED(name);                                                                                         \
    template void zal::feature::gradientColorToGray<T>(zal::Image<const T>, zal::Image<T>, int);                \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,             \
                               GradientNorm norm) {                                                             \
        return zal::feature::checkedGradientColorToGray(pSrc, srcStep, pDst, dstStep, roiSize, norm);           \
    }
ZAL_FEATURE_GRADIENT_COLOR(ZAL_GRADIENT_COLOR)
