// What the undistortion operations share: the focal-length check, the layout
// of the optional per-column buffer and the radial source positions.
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

// Source positions of the radial model, xs = u + (u - cx) R and
// ys = v + (v - cy) R with R = k1 r^2 + k2 r^4, in single precision. The
// squares are (u - cx)^2 * (1 / fx^2). With a buffer, the column terms
// x^2, x^2 (k1 + k2 x^2) and u - cx are computed once and each row adds its
// own terms: R = c + y^2 (k1 + k2 y^2) + x^2 (2 k2 y^2), which equals the
// direct form up to rounding.
class RadialPositions {
public:
    RadialPositions(const Camera& camera, int width, uint8_t* pBuffer)
        : cam_(camera), invFx2_(1.0f / (camera.fx * camera.fx)), invFy2_(1.0f / (camera.fy * camera.fy)) {
        if (pBuffer == nullptr) return;
        buffered_ = true;
        columns_ = columnTerms(pBuffer, width);
        float* __restrict x2 = columns_.first;
        float* __restrict c = columns_.second;
        float* __restrict d = columns_.third;
        for (int u = 0; u < width; ++u) {
            const float dx = static_cast<float>(u) - cam_.cx;
            const float xx = dx * dx * invFx2_;
            x2[u] = xx;
            c[u] = xx * (cam_.k1 + cam_.k2 * xx);
            d[u] = dx;
        }
    }

    // Positions of the pixels begin .. begin + count - 1 of row v.
    void row(int v, int begin, int count, float* xs, float* ys) const {
        const float fv = static_cast<float>(v);
        const float dy = fv - cam_.cy;
        const float y2 = dy * dy * invFy2_;
        if (buffered_) {
            const float rowTerm = y2 * (cam_.k1 + cam_.k2 * y2);
            const float cross = 2.0f * cam_.k2 * y2;
            const float* __restrict x2 = columns_.first + begin;
            const float* __restrict c = columns_.second + begin;
            const float* __restrict d = columns_.third + begin;
            for (int i = 0; i < count; ++i) {
                const float r = c[i] + rowTerm + x2[i] * cross;
                xs[i] = static_cast<float>(begin + i) + d[i] * r;
                ys[i] = fv + dy * r;
            }
        } else {
            for (int i = 0; i < count; ++i) {
                const float fu = static_cast<float>(begin + i);
                const float dx = fu - cam_.cx;
                const float r2 = dx * dx * invFx2_ + y2;
                const float r = cam_.k1 * r2 + cam_.k2 * (r2 * r2);
                xs[i] = fu + dx * r;
                ys[i] = fv + dy * r;
            }
        }
    }

private:
    Camera cam_;
    float invFx2_, invFy2_;
    bool buffered_ = false;
    ColumnTerms columns_{};
};

}  // namespace zal::geometry
