// Radial lens undistortion with bilinear interpolation, and the size query of
// the optional per-column buffer.
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "geometry/internal.h"

namespace zal {
namespace {

using geometry::Camera;
using geometry::RadialPositions;

// Positions are computed for a chunk of a row first (a loop the compiler
// vectorises) and then sampled pixel by pixel.
constexpr int kChunk = 256;

template <class T, int C>
void sampleChunk(const Image<const T>& src, T* dst, const float* xs, const float* ys, int count,
                 float xLimit, float yLimit) {
    for (int i = 0; i < count; ++i) {
        const float x = xs[i], y = ys[i];
        // The 2x2 neighbourhood must lie inside the image; NaN positions fail
        // too. Pixels that fail keep their previous value.
        if (!(x >= 0.0f && y >= 0.0f && x < xLimit && y < yLimit)) continue;
        const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
        const float a = x - static_cast<float>(x0), b = y - static_cast<float>(y0);
        const float w00 = (1.0f - a) * (1.0f - b), w10 = a * (1.0f - b);
        const float w01 = (1.0f - a) * b, w11 = a * b;
        const T* top = src.row(y0) + static_cast<std::ptrdiff_t>(x0) * C;
        const T* bottom = src.row(y0 + 1) + static_cast<std::ptrdiff_t>(x0) * C;
        T* out = dst + static_cast<std::ptrdiff_t>(i) * C;
        for (int c = 0; c < C; ++c) {
            const float value = w00 * static_cast<float>(top[c]) + w10 * static_cast<float>(top[C + c]) +
                                w01 * static_cast<float>(bottom[c]) + w11 * static_cast<float>(bottom[C + c]);
            if constexpr (std::is_same_v<T, float>) {
                out[c] = value;
            } else {
                // A convex combination of in-range values: rounding half up
                // cannot leave the element range.
                out[c] = static_cast<T>(static_cast<int>(value + 0.5f));
            }
        }
    }
}

template <class T, int C>
StatusCode undistortRadial(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, float fx, float fy, float cx,
                           float cy, float k1, float k2, uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(geometry::requireFocalLengths(fx, fy));

    const Image<const T> src(pSrc, srcStep, roi);
    const Image<T> dst(pDst, dstStep, roi);
    const RadialPositions positions(Camera{fx, fy, cx, cy, k1, k2}, roi.width, pBuffer);
    const float xLimit = static_cast<float>(roi.width - 1), yLimit = static_cast<float>(roi.height - 1);
    float xs[kChunk], ys[kChunk];
    for (int v = 0; v < roi.height; ++v) {
        T* out = dst.row(v);
        for (int begin = 0; begin < roi.width; begin += kChunk) {
            const int count = roi.width - begin < kChunk ? roi.width - begin : kChunk;
            positions.row(v, begin, count, xs, ys);
            sampleChunk<T, C>(src, out + static_cast<std::ptrdiff_t>(begin) * C, xs, ys, count, xLimit, yLimit);
        }
    }
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zaliUndistortGetSize(ImageSize roiSize, int* pSize) {
    ZAL_CHECK(zal::requireNonNull(pSize));
    ZAL_CHECK(zal::requireSize(roiSize));
    return zal::storeSize(zal::geometry::columnBufferBytes(roiSize.width), pSize);
}

#define ZAL_UNDISTORT_RADIAL(name, T, C)                                                                            \
    StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, \
                    float cy, float k1, float k2, uint8_t* pBuffer) {                                              \
        return zal::undistortRadial<T, C>(pSrc, srcStep, pDst, dstStep, roiSize, fx, fy, cx, cy, k1, k2, pBuffer);  \
    }
ZAL_UNDISTORT_RADIAL(zaliUndistortRadial_8u_C1R, uint8_t, 1)
ZAL_UNDISTORT_RADIAL(zaliUndistortRadial_8u_C3R, uint8_t, 3)
ZAL_UNDISTORT_RADIAL(zaliUndistortRadial_16u_C1R, uint16_t, 1)
ZAL_UNDISTORT_RADIAL(zaliUndistortRadial_16u_C3R, uint16_t, 3)
ZAL_UNDISTORT_RADIAL(zaliUndistortRadial_32f_C1R, float, 1)
ZAL_UNDISTORT_RADIAL(zaliUndistortRadial_32f_C3R, float, 3)
#undef ZAL_UNDISTORT_RADIAL

}  // extern "C"
