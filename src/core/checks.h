// Named argument checks. An operation lists them in its documented order:
//
//     ZAL_CHECK(requireNonNull(pSrc, pDst));
//     ZAL_CHECK(requireSize(roiSize));
//     ZAL_CHECK(requireRowSteps<uint16_t, 1>(roiSize, srcStep, dstStep));
//     ZAL_CHECK(requireStepsAligned<uint16_t>(srcStep, dstStep));
//
// and the first failing check returns its status before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zalcv.h"

#define ZAL_CHECK(expr)                                          \
    do {                                                         \
        if (const StatusCode zal_status_ = (expr); zal_status_ != StatusOk) \
            return zal_status_;                                  \
    } while (0)

namespace zal {

// -8 when any of the pointers is null.
template <class... P>
constexpr StatusCode requireNonNull(const P*... pointers) {
    return ((pointers == nullptr) || ...) ? StatusNullPointer : StatusOk;
}

// -6 when the width or the height is below 1.
constexpr StatusCode requireSize(ImageSize size) {
    return size.width < 1 || size.height < 1 ? StatusSizeError : StatusOk;
}

// -6 when a length or count is below `minimum`.
constexpr StatusCode requireLength(int len, int minimum = 1) {
    return len < minimum ? StatusSizeError : StatusOk;
}

// -14 when any step is below `minimum` bytes (tested in argument order).
template <class... S>
constexpr StatusCode requireStepsAtLeast(std::ptrdiff_t minimum, S... steps) {
    return ((static_cast<std::ptrdiff_t>(steps) < minimum) || ...) ? StatusStepError : StatusOk;
}

// -14 when any step is smaller than one ROI row of T with `Channels`
// elements per pixel.
template <class T, int Channels, class... S>
constexpr StatusCode requireRowSteps(ImageSize roi, S... steps) {
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(roi.width) * Channels * static_cast<std::ptrdiff_t>(sizeof(T));
    return requireStepsAtLeast(rowBytes, steps...);
}

// -14 for any step below 1 (families that test only positivity).
template <class... S>
constexpr StatusCode requirePositiveSteps(S... steps) {
    return requireStepsAtLeast(1, steps...);
}

// -108 when a step is not a multiple of sizeof(T) (nothing to test for bytes).
template <class T, class... S>
constexpr StatusCode requireStepsAligned(S... steps) {
    if constexpr (sizeof(T) == 1) {
        return StatusOk;
    } else {
        return ((static_cast<std::ptrdiff_t>(steps) % static_cast<std::ptrdiff_t>(sizeof(T)) != 0) || ...)
                   ? StatusStepAlignmentError
                   : StatusOk;
    }
}

// -52 when the channel of interest is outside 1..3.
constexpr StatusCode requireChannelOfInterest(int coi) {
    return coi < 1 || coi > 3 ? StatusChannelOfInterestError : StatusOk;
}

// `status` when `condition` holds: for family-specific tests that have no
// named check of their own.
constexpr StatusCode failIf(bool condition, StatusCode status) {
    return condition ? status : StatusOk;
}

// Size queries: a byte count that does not fit a signed 32-bit int is -6.
constexpr StatusCode storeSize(long long bytes, int* pSize) {
    if (bytes < 0 || bytes > INT32_MAX) return StatusSizeError;
    *pSize = static_cast<int>(bytes);
    return StatusOk;
}

}  // namespace zal
