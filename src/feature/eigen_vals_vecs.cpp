// Eigenvalues and unit eigenvectors of the scaled, averaged structure tensor
// [a b; b c]: six floats per pixel, l1 >= l2, (x1, y1) for l1, (x2, y2) for l2.
//
// Per pixel, in single precision (a = A * s, b = B * s, c = C * s):
//   D  = sqrt((4 b) b + (a - c)(a - c)), l1 = ((a + c) + D) / 2,
//   l2 = ((a + c) - D) / 2, t = 0.01 max(a, c)
//   min(a, c) < t or a c - b b < t: six zeros (flat or one-dimensional
//     neighbourhood: no reliable direction)
//   else |b| < t: l1, l2 and the axes, the one of the larger diagonal entry
//     belonging to l1
//   else (b sigma, l1 - a) and (b sigma, l2 - a), each divided by
//     max(its length, 2^-23); sigma restores the sign of b (the Sobel Gx is
//     the negated x derivative)
// The vector kernel computes every branch in every lane and selects; the
// scalar target runs the branches as written.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/eigen_vals_vecs.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/image.h"
#include "core/rows-inl.h"
#include "feature/corner_tensor.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Smallest length an eigenvector is divided by (single-precision epsilon).
constexpr float kMinLength = 1.1920929e-7f;

#if HWY_TARGET == HWY_SCALAR

// (x, y) divided by max(its length, kMinLength).
inline void normalise(float& x, float& y) {
    float length = std::sqrt(x * x + y * y);
    if (length < kMinLength) length = kMinLength;
    x /= length;
    y /= length;
}

struct Eigen6 {
    float l1, l2, x1, y1, x2, y2;
};

inline Eigen6 eigenOf(float a, float b, float c, float sigma) {
    const float d = std::sqrt(4.0f * b * b + (a - c) * (a - c));
    const float l1 = (a + c + d) * 0.5f;
    const float l2 = (a + c - d) * 0.5f;
    const float t = 0.01f * (a > c ? a : c);
    if ((a < c ? a : c) < t || a * c - b * b < t) return Eigen6{0, 0, 0, 0, 0, 0};
    if (std::fabs(b) < t) return a >= c ? Eigen6{l1, l2, 1, 0, 0, 1} : Eigen6{l1, l2, 0, 1, 1, 0};
    const float bs = b * sigma;
    Eigen6 e{l1, l2, bs, l1 - a, bs, l2 - a};
    normalise(e.x1, e.y1);
    normalise(e.x2, e.y2);
    return e;
}

void EigenRows(const feature::CornerTensor& t, Image<float> dst, float scale, float sigma) {
    for (int y = 0; y < dst.height; ++y) {
        const float *a = t.rowA(y), *b = t.rowB(y), *c = t.rowC(y);
        float* out = dst.row(y);
        for (int x = 0; x < dst.width; ++x) {
            const Eigen6 e = eigenOf(a[x] * scale, b[x] * scale, c[x] * scale, sigma);
            float* o = out + 6 * x;
            o[0] = e.l1, o[1] = e.l2, o[2] = e.x1, o[3] = e.y1, o[4] = e.x2, o[5] = e.y2;
        }
    }
}

#else

// (x, y) divided by max(its length, kMinLength).
template <class D, class V = hn::Vec<D>>
HWY_INLINE void normalise(D d, V& x, V& y) {
    const V length = hn::Sqrt(hn::Add(hn::Mul(x, x), hn::Mul(y, y)));
    const V minLength = hn::Set(d, kMinLength);
    const V divisor = hn::IfThenElse(hn::Lt(length, minLength), minLength, length);
    x = hn::Div(x, divisor);
    y = hn::Div(y, divisor);
}

// The six outputs of every lane. max(a, c) and min(a, c) are the x86
// instructions' own, which return c unless a compares above (below) it,
// like the ternaries of the definition.
template <class D, class V = hn::Vec<D>>
HWY_INLINE void eigenLanes(D d, V a, V b, V c, V sigma, V* out) {
    const V sum = hn::Add(a, c), diff = hn::Sub(a, c);
    const V root = hn::Sqrt(hn::Add(hn::Mul(hn::Mul(hn::Set(d, 4.0f), b), b), hn::Mul(diff, diff)));
    const V half = hn::Set(d, 0.5f);
    const V l1 = hn::Mul(hn::Add(sum, root), half), l2 = hn::Mul(hn::Sub(sum, root), half);
    const V t = hn::Mul(hn::Set(d, 0.01f), hn::Max(a, c));
    const auto flat = hn::Or(hn::Lt(hn::Min(a, c), t), hn::Lt(hn::Sub(hn::Mul(a, c), hn::Mul(b, b)), t));
    const auto diagonal = hn::Lt(hn::Abs(b), t);
    const auto aFirst = hn::Ge(a, c);
    const V bs = hn::Mul(b, sigma);
    V x1 = bs, y1 = hn::Sub(l1, a), x2 = bs, y2 = hn::Sub(l2, a);
    normalise(d, x1, y1);
    normalise(d, x2, y2);
    const V one = hn::Set(d, 1.0f);
    const V first = hn::IfThenElseZero(aFirst, one), second = hn::IfThenZeroElse(aFirst, one);
    out[0] = l1, out[1] = l2;
    out[2] = hn::IfThenElse(diagonal, first, x1), out[3] = hn::IfThenElse(diagonal, second, y1);
    out[4] = hn::IfThenElse(diagonal, second, x2), out[5] = hn::IfThenElse(diagonal, first, y2);
    for (int i = 0; i < 6; ++i) out[i] = hn::IfThenZeroElse(flat, out[i]);
}

// Six vectors of N lanes to 6 * N floats, pixel by pixel: the pairs (l1, l2),
// (x1, y1), (x2, y2) interleaved in a stack block, then the three pair
// streams interleaved as 64-bit lanes.
template <class D, class V = hn::Vec<D>>
HWY_INLINE void storeSix(D d, const V* v, float* out) {
    HWY_ALIGN float pairs[3][2 * HWY_MAX_BYTES / sizeof(float)];
    for (int p = 0; p < 3; ++p) hn::StoreInterleaved2(v[2 * p], v[2 * p + 1], d, pairs[p]);
    const hn::Repartition<uint64_t, D> d64;
    const std::size_t half = hn::Lanes(d64);
    for (std::size_t h = 0; h < 2; ++h) {
        const auto pair = [&](int p) { return hn::Load(d64, reinterpret_cast<const uint64_t*>(pairs[p]) + h * half); };
        hn::StoreInterleaved3(pair(0), pair(1), pair(2), d64, reinterpret_cast<uint64_t*>(out + 6 * h * half));
    }
}

void EigenRows(const feature::CornerTensor& t, Image<float> dst, float scale, float sigma) {
    const hn::ScalableTag<float> d;
    using V = hn::Vec<decltype(d)>;
    const V s = hn::Set(d, scale), sg = hn::Set(d, sigma);
    const std::size_t n = static_cast<std::size_t>(dst.width), lanes = hn::Lanes(d);
    for (int y = 0; y < dst.height; ++y) {
        const float *a = t.rowA(y), *b = t.rowB(y), *c = t.rowC(y);
        float* out = dst.row(y);
        std::size_t x = 0;
        V six[6];
        for (; x + lanes <= n; x += lanes) {
            eigenLanes(d, hn::Mul(hn::LoadU(d, a + x), s), hn::Mul(hn::LoadU(d, b + x), s),
                       hn::Mul(hn::LoadU(d, c + x), s), sg, six);
            storeSix(d, six, out + 6 * x);
        }
        if (x < n) {
            // The tail: zero lanes beyond it are flat (six zeros) and not kept.
            const std::size_t r = n - x;
            eigenLanes(d, hn::Mul(loadPartial(d, a + x, r), s), hn::Mul(loadPartial(d, b + x, r), s),
                       hn::Mul(loadPartial(d, c + x, r), s), sg, six);
            HWY_ALIGN float block[6 * HWY_MAX_BYTES / sizeof(float)];
            storeSix(d, six, block);
            std::memcpy(out + 6 * x, block, 6 * r * sizeof(float));
        }
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal {
HWY_EXPORT(EigenRows);

namespace feature {

void eigenValsVecsRows(const CornerTensor& t, Image<float> dst, float scale, float sigma) {
    HWY_DYNAMIC_DISPATCH(EigenRows)(t, dst, scale, sigma);
}

}  // namespace feature
}  // namespace zal
#endif  // HWY_ONCE
