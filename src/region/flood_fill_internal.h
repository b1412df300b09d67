// What the flood-fill rules share: the segment stack kept in the caller's
// buffer, the bounding box, the result record, the argument checks and the
// parameter types of the exports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"

namespace zal::flood {

// Run [xl, xr] of row y is filled; its parent run lies in row y + dir and
// covered [pl, pr].
struct Segment {
    int32_t y, xl, xr, pl, pr, dir;
};
static_assert(sizeof(Segment) == 24);

// One-channel members take the new value and the deltas by value,
// three-channel members by pointer; the fills see pointers either way.
template <class T, int C>
using FillArg = std::conditional_t<C == 1, T, const T*>;
template <class T>
const T* values(const T& v) { return &v; }
template <class T>
const T* values(const T* p) { return p; }

// Buffer bytes: 6 * w * h + 32 for the segment stack, plus the bordered mask
// for the gradient rule.
inline ByteCount fillBufferSize(ImageSize roi) { return ByteCount(6) * roi.width * roi.height + 32; }
inline ByteCount maskBytes(ImageSize roi) { return ByteCount(roi.width + 2LL) * (roi.height + 2LL); }

// A stack of segments between the first 8-byte boundary at or after `begin`
// and `end`. A push beyond the capacity is refused rather than written past
// the buffer; the caller then handles that run without a record.
class SegmentStack {
public:
    SegmentStack(unsigned char* begin, unsigned char* end) {
        const auto first = (reinterpret_cast<std::uintptr_t>(begin) + 7) & ~std::uintptr_t(7);
        base_ = reinterpret_cast<Segment*>(first);
        const auto last = reinterpret_cast<std::uintptr_t>(end);
        capacity_ = last > first ? static_cast<std::size_t>((last - first) / sizeof(Segment)) : 0;
    }
    bool push(const Segment& s) {
        if (size_ == capacity_) return false;
        base_[size_++] = s;
        return true;
    }
    bool pop(Segment& s) {
        if (size_ == 0) return false;
        s = base_[--size_];
        return true;
    }

private:
    Segment* base_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Bounding box of the filled pixels, grown run by run.
struct Box {
    int x0, y0, x1, y1;
    Box(int y, int xl, int xr) : x0(xl), y0(y), x1(xr), y1(y) {}
    void add(int y, int xl, int xr) {
        if (xl < x0) x0 = xl;
        if (xr > x1) x1 = xr;
        if (y < y0) y0 = y;
        if (y > y1) y1 = y;
    }
};

template <class T, int C>
void writeRecord(ConnectedComponent* pRegion, long long area, const T* newVal, const Box& box) {
    pRegion->area = static_cast<double>(area);
    for (int c = 0; c < 3; ++c) pRegion->value[c] = c < C ? static_cast<double>(newVal[c]) : 0.0;
    pRegion->rect = ImageRect{box.x0, box.y0, box.x1 - box.x0 + 1, box.y1 - box.y0 + 1};
}

// Checks shared by every fill, in their order. The step must hold a whole row
// of C-channel pixels, and a 32f step must be a multiple of 4 so that every
// row starts on a float.
template <class T, int C>
StatusCode checkFill(const T* pImage, int imageStep, ImageSize roi, ImagePoint seed, const void* pRegion,
                     const uint8_t* pBuffer, const T* newVal, const T* minDelta, const T* maxDelta) {
    ZAL_CHECK(requireNonNull(pImage, pRegion, pBuffer, newVal, minDelta, maxDelta));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, imageStep)));
    ZAL_CHECK(requireStepsAligned<T>(imageStep));
    return failIf(seed.x < 0 || seed.x >= roi.width || seed.y < 0 || seed.y >= roi.height, StatusOutOfRange);
}

}  // namespace zal::flood

// The export of a fill with deltas (range and gradient rules): `op` is the
// fill in zal::region, `checked` the including file's checks-then-op.
#define ZAL_FLOOD_FILL_WITH_DELTAS(name, T, C, conn, op, checked)                                                 \
    ZAL_DECLARED(name);                                                                                           \
    template void zal::region::op<T, C, conn>(zal::Image<T>, ImagePoint, const T*, const T*, const T*,            \
                                              ConnectedComponent*, uint8_t*);                                     \
    extern "C" StatusCode name(T* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,                      \
                               zal::flood::FillArg<T, C> newVal, zal::flood::FillArg<T, C> minDelta,              \
                               zal::flood::FillArg<T, C> maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer) { \
        return zal::checked<T, C, conn>(pImage, imageStep, roiSize, seed, zal::flood::values(newVal),             \
                                        zal::flood::values(minDelta), zal::flood::values(maxDelta), pRegion,      \
                                        pBuffer);                                                                 \
    }
