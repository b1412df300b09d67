// The averaged structure tensor shared by the corner measures: derivatives
// Gx, Gy from the Sobel or Scharr filters, the products Gx^2, Gx*Gy, Gy^2,
// each averaged by the box lowpass, all inside the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "zalcv.h"

namespace zal {

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

private:
    const float* offsetRow(const float* p, int y) const {
        return reinterpret_cast<const float*>(reinterpret_cast<const unsigned char*>(p) + y * step);
    }
};

// The argument checks of a corner measure whose destination holds
// `dstValues` floats per pixel, in their documented order.
template <class Src>
StatusCode checkCornerArguments(const Src* pSrc, int srcStep, const float* pDst, int dstStep, ImageSize roi,
                                int kernType, int apertureSize, int avgWindow, const uint8_t* pBuffer, int dstValues) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<Src, 1>(roi, srcStep)));
    ZAL_CHECK(requireStepsAtLeast(static_cast<std::ptrdiff_t>(roi.width) * dstValues * 4, dstStep));
    ZAL_CHECK(requireStepsAligned<Src>(srcStep));
    ZAL_CHECK(requireStepsAligned<float>(dstStep));
    ZAL_CHECK(failIf(kernType != DerivKernelSobel && kernType != DerivKernelScharr, StatusBadArgument));
    ZAL_CHECK(failIf(kernType == DerivKernelScharr ? apertureSize != 3 : apertureSize != 3 && apertureSize != 5,
                     StatusSizeError));
    return failIf(avgWindow != 3 && avgWindow != 5, StatusSizeError);
}

// Fills the tensor images in pBuffer (arguments already checked); returns the
// status of a failing inner filter as is.
template <class Src>
StatusCode structureTensor(const Src* pSrc, int srcStep, ImageSize roi, int kernType, int apertureSize, int avgWindow,
                           uint8_t* pBuffer, CornerTensor* tensor);

// A corner measure over the tensor: the checks for `dstValues` floats per
// pixel, the tensor, then row(a, b, c, dstRow, width) for every row.
template <class Src, class RowFn>
StatusCode runCornerMeasure(const Src* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roi, int kernType,
                            int apertureSize, int avgWindow, uint8_t* pBuffer, int dstValues, RowFn row) {
    ZAL_CHECK(checkCornerArguments(pSrc, srcStep, pDst, dstStep, roi, kernType, apertureSize, avgWindow, pBuffer,
                                   dstValues));
    CornerTensor t;
    ZAL_CHECK(structureTensor(pSrc, srcStep, roi, kernType, apertureSize, avgWindow, pBuffer, &t));
    const Image<float> dst(pDst, dstStep, roi);
    for (int y = 0; y < roi.height; ++y) row(t.rowA(y), t.rowB(y), t.rowC(y), dst.row(y), roi.width);
    return StatusOk;
}

// Buffer size of the corner measures over Src input.
template <class Src>
StatusCode cornerBufferSize(ImageSize roi, int apertureSize, int avgWindow, int* pBufferSize);

// The scale s of the tensor: 1 / (255 * 2^(2 * (apertureSize - 1))), times
// 0.6125 for the Scharr kernels.
float cornerScale(int kernType, int apertureSize);

}  // namespace zal
