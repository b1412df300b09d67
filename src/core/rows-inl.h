// Row drivers shared by the vector kernels, compiled once per SIMD target.
// Include after <hwy/highway.h> inside a file that foreach_target.h
// re-includes; the guard below follows Highway's per-target convention.
//
// Every driver walks whole vectors and then runs the last, shorter piece
// through zero-padded stack blocks: no load or store reaches outside the
// row, rows may start at any byte address, and the tail gets the same lane
// arithmetic as the rest of the row.
#if defined(ZAL_CORE_ROWS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_CORE_ROWS_INL_H_
#undef ZAL_CORE_ROWS_INL_H_
#else
#define ZAL_CORE_ROWS_INL_H_
#endif

#include <cstddef>
#include <cstring>

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The first n (< Lanes) elements at p, the other lanes zero.
template <class D, class T = hn::TFromD<D>>
HWY_INLINE hn::Vec<D> loadPartial(D d, const T* p, std::size_t n) {
    HWY_ALIGN T block[HWY_MAX_BYTES / sizeof(T)] = {};
    std::memcpy(block, p, n * sizeof(T));
    return hn::Load(d, block);
}

// Stores the first n (< Lanes) lanes of v at p.
template <class D, class T = hn::TFromD<D>>
HWY_INLINE void storePartial(hn::Vec<D> v, D d, T* p, std::size_t n) {
    HWY_ALIGN T block[HWY_MAX_BYTES / sizeof(T)];
    hn::Store(v, d, block);
    std::memcpy(p, block, n * sizeof(T));
}

// out[i] = op(a[i]) for i < n; `di` and `d` have the same lane count.
template <class DI, class D, class Op>
HWY_INLINE void transformRow(DI di, D d, const hn::TFromD<DI>* a, hn::TFromD<D>* out, std::size_t n, Op op) {
    const std::size_t lanes = hn::Lanes(d);
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes) hn::StoreU(op(hn::LoadU(di, a + x)), d, out + x);
    if (x < n) storePartial(op(loadPartial(di, a + x, n - x)), d, out + x, n - x);
}

// out[i] = op(a[i], b[i]) for i < n.
template <class D, class Op>
HWY_INLINE void transformRow2(D d, const hn::TFromD<D>* a, const hn::TFromD<D>* b, hn::TFromD<D>* out,
                              std::size_t n, Op op) {
    const std::size_t lanes = hn::Lanes(d);
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes) hn::StoreU(op(hn::LoadU(d, a + x), hn::LoadU(d, b + x)), d, out + x);
    if (x < n) {
        const std::size_t r = n - x;
        storePartial(op(loadPartial(d, a + x, r), loadPartial(d, b + x, r)), d, out + x, r);
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_CORE_ROWS_INL_H_
