// Motion history update: moving pixels take the time stamp, pixels whose last
// motion is older than the duration are cleared. Per pixel, with
// oldest = timestamp - duration in single precision:
//
//   8u/16u: h = s != 0 ? timestamp : (key(h) < key(oldest) ? 0 : h)
//   32f:    h = (s < 0 || s > 0) ? timestamp : (h >= oldest ? h : 0)
//
// where key(f) = (bits & 0x7fffffff) ^ (bits >> 31) orders float bit
// patterns: finite values as floats compare, -0.0 just below +0.0, NaNs by
// their bits (so a NaN history with a clear sign bit stays in the integer
// variants; the float comparison clears every NaN history, and a NaN
// silhouette is no motion).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "geometry/motion_history.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;

// key() of the float lanes of v.
HWY_INLINE hn::Vec<DI> orderKeys(hn::Vec<DF> v) {
    const auto bits = hn::BitCast(DI(), v);
    return hn::Xor(hn::And(bits, hn::Set(DI(), 0x7fffffff)), hn::ShiftRight<31>(bits));
}

template <class S>
HWY_INLINE void updateRows(Image<const S> silhouette, Image<float> history, float timestamp, float duration) {
    const DF df;
    const hn::Rebind<S, DF> ds;
    const std::size_t lanes = hn::Lanes(df);
    const float oldest = timestamp - duration;
    const auto stamp = hn::Set(df, timestamp);
    const auto oldestValue = hn::Set(df, oldest);
    const auto oldestKey = orderKeys(oldestValue);
    auto update = [&](hn::Vec<decltype(ds)> s, hn::Vec<DF> h) {
        if constexpr (std::is_same_v<S, float>) {
            const auto kept = hn::IfThenElseZero(hn::Ge(h, oldestValue), h);
            return hn::IfThenElse(hn::Or(hn::Lt(s, hn::Zero(df)), hn::Gt(s, hn::Zero(df))), stamp, kept);
        } else {
            const auto kept = hn::IfThenZeroElse(hn::RebindMask(df, hn::Lt(orderKeys(h), oldestKey)), h);
            const auto moving = hn::Ne(hn::PromoteTo(DI(), s), hn::Zero(DI()));
            return hn::IfThenElse(hn::RebindMask(df, moving), stamp, kept);
        }
    };
    const auto width = static_cast<std::size_t>(history.width);
    for (int y = 0; y < history.height; ++y) {
        const S* s = silhouette.row(y);
        float* h = history.row(y);
        std::size_t x = 0;
        for (; x + lanes <= width; x += lanes) hn::StoreU(update(hn::LoadU(ds, s + x), hn::LoadU(df, h + x)), df, h + x);
        if (x < width) {
            const std::size_t n = width - x;
            storePartial(update(loadPartial(ds, s + x, n), loadPartial(df, h + x, n)), df, h + x, n);
        }
    }
}

void MotionHistory8u(Image<const uint8_t> s, Image<float> h, float t, float d) { updateRows(s, h, t, d); }
void MotionHistory16u(Image<const uint16_t> s, Image<float> h, float t, float d) { updateRows(s, h, t, d); }
void MotionHistory32f(Image<const float> s, Image<float> h, float t, float d) { updateRows(s, h, t, d); }

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "geometry/exports.h"
#include "geometry/ops.h"

namespace zal {
HWY_EXPORT(MotionHistory8u);
HWY_EXPORT(MotionHistory16u);
HWY_EXPORT(MotionHistory32f);

namespace geometry {

template <class S>
void updateMotionHistory(Image<const S> silhouette, Image<float> history, float timestamp, float duration) {
    if constexpr (std::is_same_v<S, uint8_t>) HWY_DYNAMIC_DISPATCH(MotionHistory8u)(silhouette, history, timestamp, duration);
    else if constexpr (std::is_same_v<S, uint16_t>)
        HWY_DYNAMIC_DISPATCH(MotionHistory16u)(silhouette, history, timestamp, duration);
    else HWY_DYNAMIC_DISPATCH(MotionHistory32f)(silhouette, history, timestamp, duration);
}

namespace {

// Checks in order: pointers, size, step lengths, step alignment, then the
// duration (-11 when negative or NaN).
template <class S>
StatusCode checkedUpdate(const S* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roi, float timestamp,
                         float duration) {
    ZAL_CHECK(requireNonNull(pSilhouette, pMHI));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<S, 1>(roi, silhStep)));
    ZAL_CHECK((requireRowSteps<float, 1>(roi, mhiStep)));
    ZAL_CHECK(requireStepsAligned<S>(silhStep));
    ZAL_CHECK(requireStepsAligned<float>(mhiStep));
    ZAL_CHECK(failIf(!(duration >= 0.0f), StatusOutOfRange));
    updateMotionHistory<S>(image(pSilhouette, silhStep, roi), image(pMHI, mhiStep, roi), timestamp, duration);
    return StatusOk;
}

}  // namespace
}  // namespace geometry
}  // namespace zal

#define ZAL_MOTION_HISTORY(name, S)                                                                              \
    ZAL_DECLARED(name);                                                                                          \
    template void zal::geometry::updateMotionHistory<S>(zal::Image<const S>, zal::Image<float>, float, float);  \
    extern "C" StatusCode name(const S* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roiSize,  \
                               float timestamp, float duration) {                                                \
        return zal::geometry::checkedUpdate(pSilhouette, silhStep, pMHI, mhiStep, roiSize, timestamp, duration); \
    }
ZAL_GEOMETRY_MOTION_HISTORY(ZAL_MOTION_HISTORY)
#endif  // HWY_ONCE
