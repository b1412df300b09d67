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
#include <type_traits>

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

// Like overlapped(), but body(d, x, vectors) takes `vectors` (an
// integral_constant, 4 or 1) consecutive vectors at x: four at a time while
// they fit, so that sums over many rows keep four independent chains.
// The vectors of d over [x, n), n - x at least one vector.
template <class D, class Body>
HWY_INLINE void by4From(D d, std::size_t x, std::size_t n, Body& body) {
    const std::size_t lanes = hn::Lanes(d);
    for (; x + 4 * lanes <= n; x += 4 * lanes) body(d, x, std::integral_constant<int, 4>());
    for (; x + lanes <= n; x += lanes) body(d, x, std::integral_constant<int, 1>());
    if (x < n) body(d, n - lanes, std::integral_constant<int, 1>());
}

template <class T, class Body>
HWY_INLINE void overlappedBy4(std::size_t n, Body&& body) {
    auto run = [&](auto d) { by4From(d, 0, n, body); };
    const hn::ScalableTag<T> d;
    if (n >= hn::Lanes(d)) run(d);
    else if (n >= 8) run(hn::CappedTag<T, 8>());
    else if (n >= 4) run(hn::CappedTag<T, 4>());
    else run(hn::CappedTag<T, 1>());
}

// overlappedBy4() with the whole vectors of the widest tag starting at
// element `first`, after the vectors covering [0, first) (one at 0 when
// `first` is below a vector): with `first` the elements up to an alignment
// boundary of the output, the stores from there on are aligned. Short runs
// go to overlappedBy4().
template <class T, class Body>
HWY_INLINE void overlappedBy4From(std::size_t n, std::size_t first, Body&& body) {
    const hn::ScalableTag<T> d;
    const std::size_t lanes = hn::Lanes(d);
    if (first == 0 || n < first + lanes) return overlappedBy4<T>(n, body);
    if (first < lanes) body(d, std::size_t{0}, std::integral_constant<int, 1>());
    else by4From(d, 0, first, body);
    by4From(d, first, n, body);
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

// Lane i of the two vectors v0, v1 laid end to end, for every rel[i] in
// [0, 2 lanes) (32-bit lanes).
template <class D, class VI>
HWY_INLINE hn::Vec<D> pickOfTwo(D d, hn::Vec<D> v0, hn::Vec<D> v1, VI rel) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
    if constexpr (hn::MaxLanes(D()) == 16) {
        if constexpr (hwy::IsFloat<hn::TFromD<D>>()) return hn::Vec<D>{_mm512_permutex2var_ps(v0.raw, rel.raw, v1.raw)};
        else return hn::Vec<D>{_mm512_permutex2var_epi32(v0.raw, rel.raw, v1.raw)};
    }
#endif
    const hn::RebindToSigned<D> di;
    const int lanes = static_cast<int>(hn::Lanes(d));
    const auto idx = hn::IndicesFromVec(d, hn::And(rel, hn::Set(di, lanes - 1)));
    const auto low = hn::Lt(rel, hn::Set(di, lanes));
    return hn::IfThenElse(hn::RebindMask(d, low), hn::TableLookupLanes(v0, idx), hn::TableLookupLanes(v1, idx));
}

// Calls body(x) for the first element of each block of `lanes` elements of
// [0, n), the last block overlapping the one before (n >= lanes): the
// blocks overlapped() runs.
template <class Body>
HWY_INLINE void forBlocks(std::size_t lanes, std::size_t n, Body&& body) {
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes) body(x);
    if (x < n) body(n - lanes);
}

// The vector tag that overlapped<T>(n, ...) runs with, passed to run.
template <class T, class Run>
HWY_INLINE void withTag(std::size_t n, Run&& run) {
    const hn::ScalableTag<T> d;
    if (n >= hn::Lanes(d)) run(d);
    else if (n >= 8) run(hn::CappedTag<T, 8>());
    else if (n >= 4) run(hn::CappedTag<T, 4>());
    else run(hn::CappedTag<T, 1>());
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_PYRAMID_OVERLAP_INL_H_
