// The averaged structure tensor shared by the corner measures: derivatives
// Gx, Gy from the Sobel or Scharr filters, the products Gx^2, Gx*Gy, Gy^2,
// each averaged by the box lowpass, made row by row inside the caller's
// buffer; and the per-row measures over it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "zalcv.h"

namespace zal::feature {

// The three averaged products of every pixel, unscaled: A = box(Gx^2),
// B = box(Gx*Gy), C = box(Gy^2); rows `step` bytes apart.
struct CornerTensor {
    const float* a;
    const float* b;
    const float* c;
    std::ptrdiff_t step;

    const float* rowA(int y) const { return offsetRow(a, y); }
    const float* rowB(int y) const { return offsetRow(b, y); }
    const float* rowC(int y) const { return offsetRow(c, y); }
    // The tensor from row y down (a band of the image).
    CornerTensor from(int y) const { return CornerTensor{rowA(y), rowB(y), rowC(y), step}; }

private:
    const float* offsetRow(const float* p, int y) const {
        return reinterpret_cast<const float*>(reinterpret_cast<const unsigned char*>(p) + y * step);
    }
};

// The scale s of the tensor: 1 / (255 * 2^(2 * (apertureSize - 1))), times
// 0.6125 for the Scharr kernels.
float cornerScale(int kernType, int apertureSize);

// The measures over the tensor, row by row: the smaller eigenvalue times
// `scale`, or the six floats of the eigen decomposition of the scaled tensor
// (`sigma` restores the sign of B: -1 for the Sobel kernels).
void minEigenValRows(const CornerTensor& t, Image<float> dst, float scale);
void eigenValsVecsRows(const CornerTensor& t, Image<float> dst, float scale, float sigma);

}  // namespace zal::feature
