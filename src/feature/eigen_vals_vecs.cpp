// Eigenvalues and unit eigenvectors of the scaled, averaged structure tensor
// [a b; b c]: six floats per pixel, l1 >= l2, (x1, y1) for l1, (x2, y2) for l2.
#include <cmath>
#include <cstdint>

#include "feature/corner_tensor.h"

namespace zal::feature {
namespace {

// Smallest length an eigenvector is divided by (single-precision epsilon).
constexpr float kMinLength = 1.1920929e-7f;

struct Eigen6 {
    float l1, l2, x1, y1, x2, y2;
};

// (x, y) divided by max(its length, kMinLength).
inline void normalise(float& x, float& y) {
    float length = std::sqrt(x * x + y * y);
    if (length < kMinLength) length = kMinLength;
    x /= length;
    y /= length;
}

// `sigma` restores the sign of b: the Sobel Gx is the negated x derivative.
inline Eigen6 eigenOf(float a, float b, float c, float sigma) {
    const float d = std::sqrt(4.0f * b * b + (a - c) * (a - c));
    const float l1 = (a + c + d) * 0.5f;
    const float l2 = (a + c - d) * 0.5f;
    const float t = 0.01f * (a > c ? a : c);
    // Flat or one-dimensional neighbourhoods: no reliable direction.
    if ((a < c ? a : c) < t || a * c - b * b < t) return Eigen6{0, 0, 0, 0, 0, 0};
    // Nearly diagonal tensor: the axes themselves, the one of the larger
    // diagonal entry belonging to l1.
    if (std::fabs(b) < t) return a >= c ? Eigen6{l1, l2, 1, 0, 0, 1} : Eigen6{l1, l2, 0, 1, 1, 0};
    const float bs = b * sigma;
    Eigen6 e{l1, l2, bs, l1 - a, bs, l2 - a};
    normalise(e.x1, e.y1);
    normalise(e.x2, e.y2);
    return e;
}

void eigenRow(const float* a, const float* b, const float* c, float* dst, int width, float scale, float sigma) {
    for (int x = 0; x < width; ++x) {
        const Eigen6 e = eigenOf(a[x] * scale, b[x] * scale, c[x] * scale, sigma);
        float* out = dst + 6 * x;
        out[0] = e.l1, out[1] = e.l2, out[2] = e.x1, out[3] = e.y1, out[4] = e.x2, out[5] = e.y2;
    }
}

}  // namespace

void eigenValsVecsRows(const CornerTensor& t, Image<float> dst, float scale, float sigma) {
    for (int y = 0; y < dst.height; ++y) eigenRow(t.rowA(y), t.rowB(y), t.rowC(y), dst.row(y), dst.width, scale, sigma);
}

}  // namespace zal::feature
