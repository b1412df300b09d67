// Lane helpers of the statistics kernels, compiled once per SIMD target.
// Include after <hwy/highway.h> inside a file that foreach_target.h
// re-includes; the guard follows Highway's per-target convention.
#if defined(ZAL_STATS_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_STATS_LANES_INL_H_
#undef ZAL_STATS_LANES_INL_H_
#else
#define ZAL_STATS_LANES_INL_H_
#endif

#include <cstdint>
#include <type_traits>

#include <hwy/highway.h>

#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal::stats {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using zal::HWY_NAMESPACE::loadPartial;
using zal::HWY_NAMESPACE::storePartial;

// The lanes of d whose mask byte is non-zero; `bytes` holds one mask byte
// per lane of d.
template <class D>
HWY_INLINE auto selectedLanes(D d, hn::Vec<hn::Rebind<uint8_t, D>> bytes) {
    const hn::Rebind<uint8_t, D> d8;
    if constexpr (sizeof(hn::TFromD<D>) == 1) {
        return hn::RebindMask(d, hn::Ne(bytes, hn::Zero(d8)));
    } else {
        const hn::RebindToUnsigned<D> du;
        return hn::RebindMask(d, hn::Ne(hn::PromoteTo(du, bytes), hn::Zero(du)));
    }
}

// Integer lanes converted exactly to float (every 8- and 16-bit value is
// exact in single precision); float lanes as they are.
template <class DF, class V>
HWY_INLINE hn::Vec<DF> toFloat(DF df, V v) {
    if constexpr (std::is_same_v<hn::TFromV<V>, float>) {
        return v;
    } else {
        const hn::Rebind<int32_t, DF> di;
        return hn::ConvertTo(df, hn::PromoteTo(di, v));
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace zal::stats
HWY_AFTER_NAMESPACE();

#endif  // ZAL_STATS_LANES_INL_H_
