// Minimum-eigenvalue corner measure: per pixel, the smaller eigenvalue of the
// scaled, averaged structure tensor [A B; B C].
#include <cmath>
#include <cstdint>

#include "core/simd.h"
#include "feature/corner_tensor.h"

namespace zal::feature {
namespace {

// ((A + C) - sqrt((A - C)^2 + 4 B^2)) * (s / 2), in single precision; the
// scale is applied once to the difference, not to A, B and C.
ZAL_TARGET_CLONES void minEigenRow(const float* __restrict a, const float* __restrict b, const float* __restrict c,
                                   float* __restrict dst, int width, float halfScale) {
    for (int x = 0; x < width; ++x) {
        const float d = a[x] - c[x];
        const float root = std::sqrt(d * d + 4.0f * b[x] * b[x]);
        dst[x] = ((a[x] + c[x]) - root) * halfScale;
    }
}

}  // namespace

void minEigenValRows(const CornerTensor& t, Image<float> dst, float scale) {
    const float halfScale = scale * 0.5f;
    for (int y = 0; y < dst.height; ++y) minEigenRow(t.rowA(y), t.rowB(y), t.rowC(y), dst.row(y), dst.width, halfScale);
}

}  // namespace zal::feature
