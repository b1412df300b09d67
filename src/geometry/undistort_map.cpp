// Undistortion maps: for every corrected pixel, its source position in the
// distorted image, for a later remapping step.
//
// Without tangential terms the map is the radial model of the undistortion
// itself (geometry/positions-inl.h), so both give the same positions. With
// them, normalised coordinates are formed as (1 / fx) (u - cx) and, with
// B = (R + 2 p1 y) + 2 p2 x,
//     xs = (u + fx p2 r^2) + (u - cx) B,   ys = (v + fy p1 r^2) + (v - cy) B,
// which is cx + fx x_d (and cy + fy y_d) of the distorted normalised point.
// With a buffer the column terms x, x^2 and u - cx are computed once; they
// are the values the direct form computes, so both paths agree exactly.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "geometry/undistort_map.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstdint>

#include "core/image.h"
#include "core/rows-inl.h"
#include "geometry/internal.h"
#include "geometry/positions-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Stores the first n (> 0) lanes of v at p.
HWY_INLINE void storeFloats(hn::Vec<DF> v, float* p, std::ptrdiff_t n) {
    const DF df;
    if (n >= static_cast<std::ptrdiff_t>(hn::Lanes(df))) hn::StoreU(v, df, p);
    else storePartial(v, df, p, static_cast<std::size_t>(n));
}

HWY_INLINE void radialMap(Image<float> xMap, Image<float> yMap, const geometry::Camera& cam, uint8_t* buffer) {
    const std::ptrdiff_t lanes = static_cast<std::ptrdiff_t>(hn::Lanes(DF()));
    const geometry::RadialModel model(cam, xMap.width, buffer);
    for (int v = 0; v < xMap.height; ++v) {
        const RadialRow positions(model, v);
        float *xs = xMap.row(v), *ys = yMap.row(v);
        for (std::ptrdiff_t u = 0; u < xMap.width; u += lanes) {
            hn::Vec<DF> x, y;
            positions.at(u, xMap.width - u, x, y);
            storeFloats(x, xs + u, xMap.width - u);
            storeFloats(y, ys + u, xMap.width - u);
        }
    }
}

HWY_INLINE void fullModelMap(Image<float> xMap, Image<float> yMap, const geometry::Camera& cam, float p1, float p2,
                             uint8_t* buffer) {
    const DF df;
    const std::ptrdiff_t lanes = static_cast<std::ptrdiff_t>(hn::Lanes(df));
    const std::ptrdiff_t width = xMap.width;
    const float invFx = 1.0f / cam.fx, invFy = 1.0f / cam.fy;
    const auto vInvFx = hn::Set(df, invFx), cx = hn::Set(df, cam.cx), k1 = hn::Set(df, cam.k1),
               k2 = hn::Set(df, cam.k2), twoP2 = hn::Set(df, 2.0f * p2), fxP2 = hn::Set(df, cam.fx * p2),
               fyP1 = hn::Set(df, cam.fy * p1);
    const auto iota = hn::Iota(DI(), 0);
    geometry::ColumnTerms columns{};
    if (buffer != nullptr) {
        columns = geometry::columnTerms(buffer, xMap.width);
        for (std::ptrdiff_t u = 0; u < width; ++u) {
            const float dx = static_cast<float>(u) - cam.cx;
            const float x = invFx * dx;
            columns.first[u] = x;
            columns.second[u] = x * x;
            columns.third[u] = dx;
        }
    }
    for (int v = 0; v < xMap.height; ++v) {
        const float fv = static_cast<float>(v);
        const float dy = fv - cam.cy;
        const float y = invFy * dy;
        const auto vfv = hn::Set(df, fv), vdy = hn::Set(df, dy), y2 = hn::Set(df, y * y),
                   yTangential = hn::Set(df, 2.0f * p1 * y);
        float *xs = xMap.row(v), *ys = yMap.row(v);
        for (std::ptrdiff_t u = 0; u < width; u += lanes) {
            const auto fu = columnsFrom(iota, u);
            hn::Vec<DF> x, x2, dx;
            if (buffer != nullptr) {
                x = loadFloats(columns.first + u, width - u);
                x2 = loadFloats(columns.second + u, width - u);
                dx = loadFloats(columns.third + u, width - u);
            } else {
                dx = hn::Sub(fu, cx);
                x = hn::Mul(vInvFx, dx);
                x2 = hn::Mul(x, x);
            }
            const auto r2 = hn::Add(x2, y2);
            const auto r = hn::Add(hn::Mul(k1, r2), hn::Mul(k2, hn::Mul(r2, r2)));
            const auto b = hn::Add(hn::Add(r, yTangential), hn::Mul(twoP2, x));
            storeFloats(hn::Add(hn::Add(fu, hn::Mul(fxP2, r2)), hn::Mul(dx, b)), xs + u, width - u);
            storeFloats(hn::Add(hn::Add(vfv, hn::Mul(fyP1, r2)), hn::Mul(vdy, b)), ys + u, width - u);
        }
    }
}

void UndistortMap(Image<float> xMap, Image<float> yMap, const geometry::Camera& camera, float p1, float p2,
                  uint8_t* buffer) {
    if (p1 == 0.0f && p2 == 0.0f) radialMap(xMap, yMap, camera, buffer);
    else fullModelMap(xMap, yMap, camera, p1, p2, buffer);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "geometry/exports.h"

namespace zal {
HWY_EXPORT(UndistortMap);

namespace geometry {

void undistortMap(Image<float> xMap, Image<float> yMap, const Camera& camera, float p1, float p2, uint8_t* buffer) {
    HWY_DYNAMIC_DISPATCH(UndistortMap)(xMap, yMap, camera, p1, p2, buffer);
}

}  // namespace geometry
}  // namespace zal

// Checks in order: pointers, size, step lengths, step alignment, then the
// focal lengths (-5).
ZAL_DECLARED(zaliCreateMapCameraUndistort_32f_C1R);
extern "C" StatusCode zaliCreateMapCameraUndistort_32f_C1R(float* pxMap, int xStep, float* pyMap, int yStep,
                                                           ImageSize roiSize, float fx, float fy, float cx, float cy,
                                                           float k1, float k2, float p1, float p2, uint8_t* pBuffer) {
    using namespace zal;
    ZAL_CHECK(requireNonNull(pxMap, pyMap));
    ZAL_CHECK(requireSize(roiSize));
    ZAL_CHECK((requireRowSteps<float, 1>(roiSize, xStep, yStep)));
    ZAL_CHECK(requireStepsAligned<float>(xStep, yStep));
    ZAL_CHECK(geometry::requireFocalLengths(fx, fy));
    geometry::undistortMap(image(pxMap, xStep, roiSize), image(pyMap, yStep, roiSize),
                           geometry::Camera{fx, fy, cx, cy, k1, k2}, p1, p2, pBuffer);
    return StatusOk;
}
#endif  // HWY_ONCE
