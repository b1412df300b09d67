// Runs of elements in whole vectors, the last one overlapping, compiled once
// per SIMD target (include after <hwy/highway.h> in a file that
// foreach_target.h re-includes).
#if defined(ZAL_PYRAMID_OVERLAP_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_PYRAMID_OVERLAP_INL_H_
#undef ZAL_PYRAMID_OVERLAP_INL_H_
#else
#define ZAL_PYRAMID_OVERLAP_INL_H_
#endif

#include <cstddef>

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Runs body(d, x) over the elements [0, n) in whole vectors of d, the last
// one overlapping the one before (so no vector reaches past n). Runs shorter
// than a vector take narrower vectors: 8, 4 lanes, then single lanes. `body`
// must not read what it writes.
template <class T, class Body>
HWY_INLINE void overlapped(std::size_t n, Body&& body) {
    auto run = [&](auto d) {
        const std::size_t lanes = hn::Lanes(d);
        std::size_t x = 0;
        for (; x + lanes <= n; x += lanes) body(d, x);
        if (x < n) body(d, n - lanes);
    };
    const hn::ScalableTag<T> d;
    if (n >= hn::Lanes(d)) run(d);
    else if (n >= 8) run(hn::CappedTag<T, 8>());
    else if (n >= 4) run(hn::CappedTag<T, 4>());
    else run(hn::CappedTag<T, 1>());
}

// Float lanes truncated toward zero to int32, for values known to lie
// within the int32 range: the x86 conversion instruction alone (the general
// conversion also saturates out-of-range lanes, which costs a fix-up here).
template <class DI, class VF>
HWY_INLINE hn::Vec<DI> truncateInRange(DI di, VF v) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_SSE4 || HWY_TARGET == HWY_SSSE3
    constexpr std::size_t kBytes = hn::MaxLanes(DI()) * sizeof(int32_t);
#if HWY_TARGET == HWY_AVX3
    if constexpr (kBytes == 64) return hn::Vec<DI>{_mm512_cvttps_epi32(v.raw)};
#endif
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX2
    if constexpr (kBytes == 32) return hn::Vec<DI>{_mm256_cvttps_epi32(v.raw)};
#endif
    if constexpr (kBytes <= 16) return hn::Vec<DI>{_mm_cvttps_epi32(v.raw)};
#endif
    return hn::ConvertTo(di, v);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_PYRAMID_OVERLAP_INL_H_
