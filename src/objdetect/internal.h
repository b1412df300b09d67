// Pieces shared by the integral-image, window-deviation and Haar files: the
// wrapping arithmetic, the checks of the integral builders and their
// wrappers, which integral.cpp and tilted_integral.cpp expand over their
// lists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "objdetect/ops.h"
#include "zalcv.h"

namespace zal::objdetect {

// 32-bit integer tables and sums wrap modulo 2^32: the arithmetic is done in
// unsigned and the bit pattern read back as signed.
constexpr int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// -14 when `step` is below `elements` elements of T. The element count is
// formed in 64 bits so that extreme rectangles cannot overflow it.
template <class T>
constexpr StatusCode requireTableStep(int step, long long elements) {
    return static_cast<long long>(step) < elements * static_cast<long long>(sizeof(T)) ? StatusStepError : StatusOk;
}

// A table argument of an integral builder.
template <class T>
struct TableArg {
    T* ptr;
    int step;
};

// Checks of the integral builders, in order: pointers (-8), size (-6), the
// source step and every table step against its row length (-14), table step
// alignment (-108). Tables have `margin` columns more than the source.
template <class... T>
StatusCode checkIntegral(const uint8_t* pSrc, int srcStep, ImageSize roi, int margin, TableArg<T>... tables) {
    ZAL_CHECK(failIf(pSrc == nullptr || ((tables.ptr == nullptr) || ...), StatusNullPointer));
    ZAL_CHECK(requireSize(roi));
    const long long columns = static_cast<long long>(roi.width) + margin;
    ZAL_CHECK(failIf(srcStep < roi.width, StatusStepError));
    ZAL_CHECK(failIf(((requireTableStep<T>(tables.step, columns) != StatusOk) || ...), StatusStepError));
    ZAL_CHECK(failIf(((requireStepsAligned<T>(tables.step) != StatusOk) || ...), StatusStepAlignmentError));
    return StatusOk;
}

// The view of a table of geometry G over a source of size roi.
template <class G, class T>
Image<T> tableImage(TableArg<T> t, ImageSize roi) {
    return Image<T>(t.ptr, t.step, roi.width + G::kMargin, roi.height + G::kMargin);
}

template <class G, class T>
StatusCode integral(const uint8_t* pSrc, int srcStep, ImageSize roi, TableArg<T> sum, T val) {
    ZAL_CHECK(checkIntegral(pSrc, srcStep, roi, G::kMargin, sum));
    G::template sums<T>(image(pSrc, srcStep, roi), tableImage<G>(sum, roi), val);
    return StatusOk;
}

template <class G, class T, class Q>
StatusCode sqrIntegral(const uint8_t* pSrc, int srcStep, ImageSize roi, TableArg<T> sum, TableArg<Q> sqr, T val,
                       Q valSqr) {
    ZAL_CHECK(checkIntegral(pSrc, srcStep, roi, G::kMargin, sum, sqr));
    G::template sumsAndSquares<T, Q>(image(pSrc, srcStep, roi), tableImage<G>(sum, roi), tableImage<G>(sqr, roi),
                                     val, valSqr);
    return StatusOk;
}

}  // namespace zal::objdetect

// Wrappers of the integral builders, expanded by the file of each geometry.
#define ZAL_INTEGRAL(name, T, G)                                                                              \
    ZAL_DECLARED(name);                                                                                       \
    template void zal::objdetect::G::sums<T>(zal::Image<const uint8_t>, zal::Image<T>, T);                   \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,     \
                               T val) {                                                                       \
        return zal::objdetect::integral<zal::objdetect::G, T>(pSrc, srcStep, roiSize, {pDst, dstStep}, val);  \
    }
#define ZAL_SQR_INTEGRAL(name, T, Q, G)                                                                       \
    ZAL_DECLARED(name);                                                                                       \
    template void zal::objdetect::G::sumsAndSquares<T, Q>(zal::Image<const uint8_t>, zal::Image<T>,          \
                                                          zal::Image<Q>, T, Q);                               \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, T* pDst, int dstStep, Q* pSqr, int sqrStep,  \
                               ImageSize roiSize, T val, Q valSqr) {                                          \
        return zal::objdetect::sqrIntegral<zal::objdetect::G, T, Q>(pSrc, srcStep, roiSize, {pDst, dstStep},  \
                                                                    {pSqr, sqrStep}, val, valSqr);            \
    }
