// Undistortion maps: for every corrected pixel, its source position in the
// distorted image, for a later remapping step.
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "core/export.h"
#include "geometry/exports.h"
#include "geometry/internal.h"

namespace zal::geometry {
namespace {

// Radial and tangential model. Normalised coordinates are formed as
// (1 / fx) (u - cx); with B = R + 2 p1 y + 2 p2 x,
//     xs = u + fx p2 r^2 + (u - cx) B,   ys = v + fy p1 r^2 + (v - cy) B,
// which is cx + fx x_d (and cy + fy y_d) of the distorted normalised point.
// With a buffer the column terms x, x^2 and u - cx are computed once; they
// are the same values the direct form computes, so both paths agree exactly.
void fullModelMap(const Image<float>& xMap, const Image<float>& yMap, const Camera& cam, float p1, float p2,
                  uint8_t* pBuffer) {
    const int width = xMap.width;
    const float invFx = 1.0f / cam.fx, invFy = 1.0f / cam.fy;
    const float twoP1 = 2.0f * p1, twoP2 = 2.0f * p2;
    const float fxP2 = cam.fx * p2, fyP1 = cam.fy * p1;
    const bool buffered = pBuffer != nullptr;
    geometry::ColumnTerms columns{};
    if (buffered) {
        columns = geometry::columnTerms(pBuffer, width);
        for (int u = 0; u < width; ++u) {
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
        const float y2 = y * y;
        const float yTangential = twoP1 * y;
        float* xs = xMap.row(v);
        float* ys = yMap.row(v);
        auto store = [&](int u, float x, float x2, float dx) {
            const float r2 = x2 + y2;
            const float r = cam.k1 * r2 + cam.k2 * (r2 * r2);
            const float b = r + yTangential + twoP2 * x;
            xs[u] = static_cast<float>(u) + fxP2 * r2 + dx * b;
            ys[u] = fv + fyP1 * r2 + dy * b;
        };
        if (buffered) {
            for (int u = 0; u < width; ++u) store(u, columns.first[u], columns.second[u], columns.third[u]);
        } else {
            for (int u = 0; u < width; ++u) {
                const float dx = static_cast<float>(u) - cam.cx;
                const float x = invFx * dx;
                store(u, x, x * x, dx);
            }
        }
    }
}

}  // namespace

void undistortMap(Image<float> xMap, Image<float> yMap, const Camera& camera, float p1, float p2, uint8_t* buffer) {
    if (p1 == 0.0f && p2 == 0.0f) {
        // Without tangential terms the map is the radial model of the
        // undistortion itself, so both give the same positions.
        const RadialPositions positions(camera, xMap.width, buffer);
        for (int v = 0; v < xMap.height; ++v) positions.row(v, 0, xMap.width, xMap.row(v), yMap.row(v));
    } else {
        fullModelMap(xMap, yMap, camera, p1, p2, buffer);
    }
}

}  // namespace zal::geometry

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
