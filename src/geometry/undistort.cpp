// Radial lens undistortion with bilinear interpolation, and the size query of
// the optional per-column buffer.
#include <bit>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "core/export.h"
#include "geometry/exports.h"
#include "geometry/internal.h"

namespace zal::geometry {
namespace {

// A row is processed in chunks, in passes the compiler can vectorise except
// for the gather: positions, then integer corners and fractions, then the
// four neighbours of every pixel, then the weighted sum and the store.
constexpr int kChunk = 256;

template <class T, int C>
struct ChunkScratch {
    float xs[kChunk], ys[kChunk];
    float a[kChunk], b[kChunk];
    int32_t inside[kChunk];
    int32_t row[kChunk], topLeft[kChunk], right[kChunk], down[kChunk];  // row index, byte offsets
    float s00[kChunk * C], s10[kChunk * C], s01[kChunk * C], s11[kChunk * C];
    T result[kChunk * C];
};

template <class T, int C>
void sampleChunk(const Image<const T>& src, T* dst, ChunkScratch<T, C>& k, int count, float xLimit, float yLimit) {
    // The 2x2 neighbourhood must lie inside: 0 <= x < W - 1 and
    // 0 <= y < H - 1. Non-negative floats order like their bit patterns, so
    // the test runs on integers (adding +0 first turns -0 into +0; NaNs and
    // negative values fail), which keeps the loop free of branches. Pixels
    // that fail are not written; all four of their taps read pixel (0, 0),
    // which always exists, so the gather below needs no branch either.
    const int32_t xMax = std::bit_cast<int32_t>(xLimit), yMax = std::bit_cast<int32_t>(yLimit);
    const int32_t pixelBytes = static_cast<int32_t>(sizeof(T) * C), step = static_cast<int32_t>(src.step);
    for (int i = 0; i < count; ++i) {
        const float x = k.xs[i] + 0.0f, y = k.ys[i] + 0.0f;
        const int32_t xb = std::bit_cast<int32_t>(x), yb = std::bit_cast<int32_t>(y);
        const bool inside = (xb >= 0) & (yb >= 0) & (xb < xMax) & (yb < yMax);
        const int32_t keep = -static_cast<int32_t>(inside);  // all ones or zero
        const float xc = std::bit_cast<float>(xb & keep), yc = std::bit_cast<float>(yb & keep);
        const int32_t x0 = static_cast<int32_t>(xc), y0 = static_cast<int32_t>(yc);
        k.a[i] = xc - static_cast<float>(x0);
        k.b[i] = yc - static_cast<float>(y0);
        k.inside[i] = inside;
        k.row[i] = y0;
        // Offsets fit 32 bits: a column is less than a row step from the
        // start of its row.
        k.topLeft[i] = x0 * pixelBytes;
        k.right[i] = pixelBytes & keep;
        k.down[i] = step & keep;
    }
    const auto* base = reinterpret_cast<const unsigned char*>(src.base);
    for (int i = 0; i < count; ++i) {
        const unsigned char* top = base + static_cast<std::ptrdiff_t>(k.row[i]) * src.step + k.topLeft[i];
        const T* p00 = reinterpret_cast<const T*>(top);
        const T* p10 = reinterpret_cast<const T*>(top + k.right[i]);
        const T* p01 = reinterpret_cast<const T*>(top + k.down[i]);
        const T* p11 = reinterpret_cast<const T*>(top + k.down[i] + k.right[i]);
        for (int c = 0; c < C; ++c) {
            k.s00[i * C + c] = static_cast<float>(p00[c]);
            k.s10[i * C + c] = static_cast<float>(p10[c]);
            k.s01[i * C + c] = static_cast<float>(p01[c]);
            k.s11[i * C + c] = static_cast<float>(p11[c]);
        }
    }
    for (int i = 0; i < count; ++i) {
        const float a = k.a[i], b = k.b[i];
        const float w00 = (1.0f - a) * (1.0f - b), w10 = a * (1.0f - b);
        const float w01 = (1.0f - a) * b, w11 = a * b;
        for (int c = 0; c < C; ++c) {
            const int e = i * C + c;
            const float value = w00 * k.s00[e] + w10 * k.s10[e] + w01 * k.s01[e] + w11 * k.s11[e];
            if constexpr (std::is_same_v<T, float>) {
                k.result[e] = value;
            } else {
                // A convex combination of in-range values: rounding half up
                // cannot leave the element range.
                k.result[e] = static_cast<T>(static_cast<int32_t>(value + 0.5f));
            }
        }
    }
    for (int i = 0; i < count; ++i)
        if (k.inside[i])
            for (int c = 0; c < C; ++c) dst[i * C + c] = k.result[i * C + c];
}

}  // namespace

long long columnBufferBytes(int width) {
    // 24 bytes per padded column (the three planes use half of it) plus 32 so
    // that the start can be moved to a 32-byte boundary.
    return 24LL * paddedColumns(width) + 32;
}

template <class T, int C>
void undistortRadial(Image<const T> src, Image<T> dst, const Camera& camera, uint8_t* buffer) {
    const RadialPositions positions(camera, dst.width, buffer);
    const float xLimit = static_cast<float>(dst.width - 1), yLimit = static_cast<float>(dst.height - 1);
    ChunkScratch<T, C> scratch;
    for (int v = 0; v < dst.height; ++v) {
        T* out = dst.row(v);
        for (int begin = 0; begin < dst.width; begin += kChunk) {
            const int count = dst.width - begin < kChunk ? dst.width - begin : kChunk;
            positions.row(v, begin, count, scratch.xs, scratch.ys);
            sampleChunk<T, C>(src, out + static_cast<std::ptrdiff_t>(begin) * C, scratch, count, xLimit, yLimit);
        }
    }
}

namespace {

// Checks in order: pointers, size, step lengths, step alignment, then the
// focal lengths (-5).
template <class T, int C>
StatusCode checkedUndistort(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, const Camera& camera,
                            uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(requireFocalLengths(camera.fx, camera.fy));
    undistortRadial<T, C>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), camera, pBuffer);
    return StatusOk;
}

}  // namespace
}  // namespace zal::geometry

ZAL_DECLARED(zaliUndistortGetSize);
extern "C" StatusCode zaliUndistortGetSize(ImageSize roiSize, int* pSize) {
    ZAL_CHECK(zal::requireNonNull(pSize));
    ZAL_CHECK(zal::requireSize(roiSize));
    return zal::storeSize(zal::geometry::columnBufferBytes(roiSize.width), pSize);
}

#define ZAL_UNDISTORT(name, T, C)                                                                                  \
    ZAL_DECLARED(name);                                                                                            \
    template void zal::geometry::undistortRadial<T, C>(zal::Image<const T>, zal::Image<T>,                        \
                                                       const zal::geometry::Camera&, uint8_t*);                   \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize, float fx,     \
                               float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer) {              \
        return zal::geometry::checkedUndistort<T, C>(pSrc, srcStep, pDst, dstStep, roiSize,                        \
                                                     zal::geometry::Camera{fx, fy, cx, cy, k1, k2}, pBuffer);     \
    }
ZAL_GEOMETRY_UNDISTORT(ZAL_UNDISTORT)
