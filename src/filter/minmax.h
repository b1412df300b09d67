// Rectangular minimum/maximum filters with replicated border: the row
// routines, the unchecked two-pass driver and the buffer size. Morphology and
// reconstruction reuse the row routines and the driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "zalcv.h"

namespace zal::minmax {

// The comparison of a filter. For 32f a value replaces the running extremum
// only when it compares strictly greater (smaller).
struct Max {
    template <class T>
    static T pick(T a, T b) { return b > a ? b : a; }
};
struct Min {
    template <class T>
    static T pick(T a, T b) { return b < a ? b : a; }
};

// A horizontal routine: dst[x] = extremum of src over the columns
// clamp(x - anchor + j, 0, width - 1), j = 0 .. window - 1, per channel.
// `src` and `dst` are rows of `width` pixels and must not overlap.
template <class T>
using RowFilter = void (*)(const T* src, T* dst, int width, int window, int anchor);

// The routine for `window` on rows of `width` pixels: a routine dedicated to
// the window (1-7, 9, 11, 13, 15) when width >= 2 * window, else the general
// block-extremum routine, whose cost per pixel does not depend on the window.
template <class T, int C, class Op>
RowFilter<T> rowFilterFor(int window, int width);

// Bytes of work buffer the driver needs for rows of `roiWidth` pixels of
// `pixelBytes` bytes and a mask of `maskHeight` rows (fits every reduced mask).
inline ByteCount bufferSize(int roiWidth, int maskHeight, int pixelBytes) {
    return ByteCount(16) * maskHeight + ByteCount(2) * maskHeight * (ByteCount(roiWidth) * pixelBytes + 32) + 32;
}

// dst(x, y) = extremum over the mask of src(clamp(x - ax + j), clamp(y - ay + i)).
// No checks: the mask is at least 1x1, the anchor inside it, `buffer` holds at
// least bufferSize(src.width, mask.height, pixel bytes) bytes; src and dst
// have the same size and do not overlap.
template <class T, int C, class Op>
void filterReplicate(Image<const T> src, Image<T> dst, ImageSize mask, ImagePoint anchor, uint8_t* buffer);

}  // namespace zal::minmax
