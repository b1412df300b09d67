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

// v rounded up to a multiple of `multiple` (> 0), in 64 bits: any int
// rounds up without overflow.
constexpr long long roundUp(long long v, long long multiple) { return (v + multiple - 1) / multiple * multiple; }

// The byte count of a buffer or state. Counts are sums and products of
// widths, heights and kernel sizes of up to INT32_MAX each, which can leave
// even the 64-bit range (4 * w * h at w = h = INT32_MAX is 2^64), so every
// sum and product saturates at kTooLarge instead of wrapping: a count is
// exact or known to be too large, and a size query never under-reports.
// Operands are non-negative.
class ByteCount {
public:
    static constexpr long long kTooLarge = INT64_MAX;

    constexpr ByteCount(long long bytes) : bytes_(bytes) {}  // NOLINT: counts mix freely with integers

    constexpr long long value() const { return bytes_; }

    friend constexpr ByteCount operator+(ByteCount a, ByteCount b) {
        long long r = 0;
        return __builtin_add_overflow(a.bytes_, b.bytes_, &r) ? ByteCount(kTooLarge) : ByteCount(r);
    }
    friend constexpr ByteCount operator*(ByteCount a, ByteCount b) {
        long long r = 0;
        return __builtin_mul_overflow(a.bytes_, b.bytes_, &r) ? ByteCount(kTooLarge) : ByteCount(r);
    }
    friend constexpr bool operator<(ByteCount a, ByteCount b) { return a.bytes_ < b.bytes_; }

private:
    long long bytes_;
};

constexpr ByteCount larger(ByteCount a, ByteCount b) { return a < b ? b : a; }

// -6 when a byte count is negative or beyond a signed 32-bit int (size
// queries report it; operations that size their own blocks refuse it).
constexpr StatusCode requireIntBytes(ByteCount bytes) {
    return bytes.value() < 0 || bytes.value() > INT32_MAX ? StatusSizeError : StatusOk;
}

// Size queries: a byte count that does not fit a signed 32-bit int is -6.
constexpr StatusCode storeSize(ByteCount bytes, int* pSize) {
    ZAL_CHECK(requireIntBytes(bytes));
    *pSize = static_cast<int>(bytes.value());
    return StatusOk;
}

}  // namespace zal
