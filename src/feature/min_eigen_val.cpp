// Minimum-eigenvalue corner measure: per pixel, the smaller eigenvalue of the
// scaled, averaged structure tensor [A B; B C]:
//   dst = ((A + C) - sqrt((A - C)^2 + (4 B) B)) * (s / 2)
// in single precision; the scale is applied once to the difference, not to
// A, B and C.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/min_eigen_val.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstddef>

#include "core/image.h"
#include "core/rows-inl.h"
#include "feature/corner_tensor.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

void MinEigenRows(const feature::CornerTensor& t, Image<float> dst, float halfScale) {
    const hn::ScalableTag<float> d;
    using V = hn::Vec<decltype(d)>;
    const V four = hn::Set(d, 4.0f), half = hn::Set(d, halfScale);
    const auto measure = [&](V a, V b, V c) {
        const V diff = hn::Sub(a, c);
        const V root = hn::Sqrt(hn::Add(hn::Mul(diff, diff), hn::Mul(hn::Mul(four, b), b)));
        return hn::Mul(hn::Sub(hn::Add(a, c), root), half);
    };
    const std::size_t n = static_cast<std::size_t>(dst.width), lanes = hn::Lanes(d);
    for (int y = 0; y < dst.height; ++y) {
        const float *a = t.rowA(y), *b = t.rowB(y), *c = t.rowC(y);
        float* out = dst.row(y);
        std::size_t x = 0;
        for (; x + lanes <= n; x += lanes)
            hn::StoreU(measure(hn::LoadU(d, a + x), hn::LoadU(d, b + x), hn::LoadU(d, c + x)), d, out + x);
        if (x < n) {
            const std::size_t r = n - x;
            storePartial(measure(loadPartial(d, a + x, r), loadPartial(d, b + x, r), loadPartial(d, c + x, r)), d,
                         out + x, r);
        }
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal {
HWY_EXPORT(MinEigenRows);

namespace feature {

void minEigenValRows(const CornerTensor& t, Image<float> dst, float scale) {
    HWY_DYNAMIC_DISPATCH(MinEigenRows)(t, dst, scale * 0.5f);
}

}  // namespace feature
}  // namespace zal
#endif  // HWY_ONCE
