// The morphology family's internal interface: unchecked state construction
// and dilation/erosion on image views. The exports call these after their
// documented checks; other families (inpainting) call them directly with
// arguments they already know to be good.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "zalcv.h"

namespace zal::morph {

// Pixel layout of a state: element type and channel count.
struct PixelFormat {
    int dataType;  // DataType8u or DataType32f
    int channels;  // 1, 3 or 4
    int elementBytes() const { return dataType == DataType32f ? 4 : 1; }
    int pixelBytes() const { return channels * elementBytes(); }
};

template <class T, int C>
constexpr PixelFormat pixelFormatOf() {
    return PixelFormat{sizeof(T) == 1 ? DataType8u : DataType32f, C};
}

// Bytes of a state for `mask` (maskSize.width x maskSize.height bytes,
// non-zero = member) and ROIs up to `roiWidth` pixels, enough for any anchor;
// -1 when that does not fit a signed 32-bit int. Needs mask != null and
// roiWidth and the mask size >= 1. `noEllipse` builds without the Ellipse
// class (advanced morphology does).
long long stateSize(const uint8_t* mask, ImageSize maskSize, int roiWidth, PixelFormat format, bool noEllipse = false);

// Builds a state in `block`, which holds at least stateSize(...) bytes for the
// same mask, roiWidth, format and flag, and that size was not -1. The anchor
// lies inside the mask. The mask is copied; the caller may release it.
void initState(MorphologyState* block, const uint8_t* mask, ImageSize maskSize, ImagePoint anchor, int roiWidth,
               PixelFormat format, bool noEllipse = false);

// dst(x, y) = max (dilate) or min (erode) over the state's non-zero mask
// elements (i, j) of src(clamp(x + i - ax, 0, W - 1), clamp(y + j - ay, 0,
// H - 1)), per channel. `state` was built for T and C pixels and ROIs at least
// src.width wide; src and dst have the same size and do not overlap. Every call
// writes the state's working buffer: one call per state at a time.
template <class T, int C>
void dilate(Image<const T> src, Image<T> dst, const MorphologyState& state);
template <class T, int C>
void erode(Image<const T> src, Image<T> dst, const MorphologyState& state);

}  // namespace zal::morph
