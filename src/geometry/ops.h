// The geometry family's internal interface: unchecked lens undistortion,
// motion history and line sampling on image views. The exports call them
// after their documented checks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image.h"
#include "zalcv.h"

namespace zal::geometry {

// Pinhole camera: focal lengths (non-zero, not NaN), principal point and
// radial coefficients.
struct Camera {
    float fx, fy, cx, cy, k1, k2;
};

// Bytes of the optional per-column buffer of a roi `width` pixels wide.
long long columnBufferBytes(int width);

// Bilinear radial undistortion of src into dst (same size, C channels):
// only pixels whose source position lies inside [0, W - 1) x [0, H - 1) are
// written. `buffer` is null or holds columnBufferBytes(width) bytes.
template <class T, int C>
void undistortRadial(Image<const T> src, Image<T> dst, const Camera& camera, uint8_t* buffer);

// Source positions of every destination pixel: the radial model when
// p1 = p2 = 0, the model with tangential terms otherwise.
void undistortMap(Image<float> xMap, Image<float> yMap, const Camera& camera, float p1, float p2, uint8_t* buffer);

// Moving pixels (S = uint8_t, uint16_t: non-zero; float: < 0 or > 0) take
// `timestamp`; still ones older than timestamp - duration become 0.
template <class S>
void updateMotionHistory(Image<const S> silhouette, Image<float> history, float timestamp, float duration);

// Bresenham set-up from (x1, y1) to (x2, y2) over pixels `pixelSize` bytes
// wide in rows `step` bytes apart. The major axis is the longer one, y on
// ties. The error starts at the major length; each step subtracts twice the
// minor length, and when the result is strictly negative the minor
// coordinate advances and twice the major length is added back, so a point
// exactly halfway keeps the previous minor coordinate.
struct LineSetup {
    std::ptrdiff_t startOffset;  // bytes from the image pointer to (x1, y1)
    std::ptrdiff_t error, errorRefill, errorDecrement, minorStep, majorStep;
    long long count;  // major length + 1
};
LineSetup setUpLine(std::ptrdiff_t step, std::ptrdiff_t pixelSize, int x1, int y1, int x2, int y2);

// Copies the `line.count` pixels of the line, all channels, packed into dst.
template <class T, int C>
void sampleLine(Image<const T> src, const LineSetup& line, T* dst);

}  // namespace zal::geometry
