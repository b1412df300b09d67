// What the undistortion operations share: the focal-length check, the layout
// of the optional per-column buffer and the terms of the radial model.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "geometry/ops.h"
#include "zalcv.h"

namespace zal::geometry {

// -5 for a focal length that is zero or NaN (it divides every coordinate).
inline StatusCode requireFocalLengths(float fx, float fy) {
    return fx == 0.0f || fy == 0.0f || std::isnan(fx) || std::isnan(fy) ? StatusBadArgument : StatusOk;
}

// Columns are padded to a multiple of four in each plane of the buffer.
inline std::ptrdiff_t paddedColumns(int width) { return (static_cast<std::ptrdiff_t>(width) + 3) & ~std::ptrdiff_t{3}; }

// Three planes of one float per column, starting at the first 32-byte
// boundary inside the caller's block.
struct ColumnTerms {
    float* first;
    float* second;
    float* third;
};

inline ColumnTerms columnTerms(uint8_t* pBuffer, int width) {
    const auto address = reinterpret_cast<std::uintptr_t>(pBuffer);
    float* base = reinterpret_cast<float*>(pBuffer + ((32 - address % 32) % 32));
    const std::ptrdiff_t plane = paddedColumns(width);
    return ColumnTerms{base, base + plane, base + 2 * plane};
}

// The per-call terms of the radial model: the source position of pixel
// (u, v) is xs = u + (u - cx) R, ys = v + (v - cy) R with R = k1 r^2 + k2 r^4,
// in single precision, the squares formed as (u - cx)^2 * (1 / fx^2). With
// a buffer, the column terms x^2, x^2 (k1 + k2 x^2) and u - cx are computed
// once and each row adds its own: R = (c + y^2 (k1 + k2 y^2)) + x^2 (2 k2 y^2),
// which equals the direct form up to rounding (geometry/positions-inl.h
// evaluates both).
struct RadialModel {
    RadialModel(const Camera& camera, int width, uint8_t* pBuffer)
        : cam(camera), invFx2(1.0f / (camera.fx * camera.fx)), invFy2(1.0f / (camera.fy * camera.fy)),
          width(width), buffered(pBuffer != nullptr) {
        if (!buffered) return;
        columns = columnTerms(pBuffer, width);
        for (int u = 0; u < width; ++u) {
            const float dx = static_cast<float>(u) - cam.cx;
            const float xx = dx * dx * invFx2;
            columns.first[u] = xx;
            columns.second[u] = xx * (cam.k1 + cam.k2 * xx);
            columns.third[u] = dx;
        }
    }

    Camera cam;
    float invFx2, invFy2;
    int width;
    bool buffered;
    ColumnTerms columns{};
};

}  // namespace zal::geometry
