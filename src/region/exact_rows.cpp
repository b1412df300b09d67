// The square roots that finish each row of the exact distance transform,
// on Highway with run-time dispatch. The square root is correctly rounded
// in every lane width, so every target gives the bits of std::sqrt.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "region/exact_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>

#include "region/exact_rows.h"

HWY_BEFORE_NAMESPACE();
namespace zal::region::exact {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void SqrtRow(float* row, int n) {
    const hn::ScalableTag<float> d;
    const int lanes = static_cast<int>(hn::Lanes(d));
    int x = 0;
    for (; x + lanes <= n; x += lanes) hn::StoreU(hn::Sqrt(hn::LoadU(d, row + x)), d, row + x);
    for (; x < n; ++x) row[x] = std::sqrt(row[x]);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal::region::exact
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal::region::exact {

HWY_EXPORT(SqrtRow);

void sqrtRow(float* row, int n) { HWY_DYNAMIC_DISPATCH(SqrtRow)(row, n); }

}  // namespace zal::region::exact
#endif  // HWY_ONCE
