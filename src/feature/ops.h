// The feature family's internal interface: unchecked edge and corner
// detectors on image views. The exports call them after their documented
// checks.
#pragma once

#include <cstdint>

#include "core/checks.h"
#include "core/image.h"

namespace zal::feature {

// Edge map (255 on edges, 0 elsewhere) from derivative images D = int16_t or
// float: magnitude |dx| + |dy|, non-maximum suppression, hysteresis between
// 0 <= low <= high. `buffer` holds cannyBufferBytes(size) bytes.
template <class D>
void canny(Image<const D> dx, Image<const D> dy, Image<uint8_t> dst, float low, float high, uint8_t* buffer);
ByteCount cannyBufferBytes(ImageSize roi);

// Corner measures over the averaged structure tensor of a uint8_t or float
// source: the smaller eigenvalue per pixel, or six floats per pixel (both
// eigenvalues and their unit eigenvectors). kernType is DerivKernelSobel
// (aperture 3 or 5) or DerivKernelScharr (aperture 3), avgWindow 3 or 5;
// `buffer` holds cornerBufferBytes<Src>(size, aperture, avgWindow) bytes.
enum class CornerMeasure { MinEigenVal, EigenValsVecs };
template <class Src, CornerMeasure M>
void cornerMeasure(Image<const Src> src, Image<float> dst, int kernType, int aperture, int avgWindow, uint8_t* buffer);
template <class Src>
ByteCount cornerBufferBytes(ImageSize roi, int aperture, int avgWindow);

// One channel from the three of each pixel (T = uint8_t, uint16_t, float):
// norm 0 maximum, 1 sum, 2 Euclidean length (integers scaled back to the
// channel range).
template <class T>
void gradientColorToGray(Image<const T> src, Image<T> dst, int norm);

// Directions in degrees of the vectors (x[i], y[i]), len >= 1; dst may be x or y.
void fastArctan(const float* y, const float* x, float* dst, int len);

}  // namespace zal::feature
