// The row fold shared by the General and Ellipse paths: one destination row
// as the running extremum of many rows, kept in vector registers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "morph/fold_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "core/rows-inl.h"
#include "morph/pick-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Per element e < n: acc = start (from = 0), out[e] (1) or rows[0][e] (2),
// then acc = pick(acc, rows[k][e]) for the remaining rows in order.
template <bool kMax, class T>
HWY_INLINE void foldRows(const T* const* rows, int count, int from, T start, T* out, std::size_t n) {
    const hn::ScalableTag<T> d;
    const std::size_t lanes = hn::Lanes(d);
    const int k0 = from == 2 ? 1 : 0;
    const auto initial = [&](std::size_t e, std::size_t m) {
        const T* p = from == 1 ? out : rows[0];
        if (from == 0) return hn::Set(d, start);
        return m == lanes ? hn::LoadU(d, p + e) : loadPartial(d, p + e, m);
    };
    std::size_t e = 0;
    // Two vectors per step keep both load ports busy.
    for (; e + 2 * lanes <= n; e += 2 * lanes) {
        auto a = initial(e, lanes), b = initial(e + lanes, lanes);
        for (int k = k0; k < count; ++k) {
            a = pickLanes<kMax>(a, hn::LoadU(d, rows[k] + e));
            b = pickLanes<kMax>(b, hn::LoadU(d, rows[k] + e + lanes));
        }
        hn::StoreU(a, d, out + e);
        hn::StoreU(b, d, out + e + lanes);
    }
    for (; e < n; e += lanes) {
        const std::size_t m = n - e < lanes ? n - e : lanes;
        auto a = initial(e, m);
        for (int k = k0; k < count; ++k)
            a = pickLanes<kMax>(a, m == lanes ? hn::LoadU(d, rows[k] + e) : loadPartial(d, rows[k] + e, m));
        if (m == lanes) hn::StoreU(a, d, out + e);
        else storePartial(a, d, out + e, m);
    }
}

void FoldRows8u(const uint8_t* const* rows, int count, bool max, int from, uint8_t start, uint8_t* out,
                std::size_t n) {
    if (max) foldRows<true>(rows, count, from, start, out, n);
    else foldRows<false>(rows, count, from, start, out, n);
}
void FoldRows32f(const float* const* rows, int count, bool max, int from, float start, float* out, std::size_t n) {
    if (max) foldRows<true>(rows, count, from, start, out, n);
    else foldRows<false>(rows, count, from, start, out, n);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <type_traits>

#include "morph/internal.h"

namespace zal {
HWY_EXPORT(FoldRows8u);
HWY_EXPORT(FoldRows32f);

namespace morph {

template <class T, class Op>
void foldRows(const T* const* rows, int count, FoldFrom from, T* out, std::size_t n) {
    constexpr bool kMax = std::is_same_v<Op, minmax::Max>;
    const int f = static_cast<int>(from);
    if constexpr (std::is_same_v<T, uint8_t>)
        HWY_DYNAMIC_DISPATCH(FoldRows8u)(rows, count, kMax, f, startValue<T, Op>(), out, n);
    else
        HWY_DYNAMIC_DISPATCH(FoldRows32f)(rows, count, kMax, f, startValue<T, Op>(), out, n);
}

template void foldRows<uint8_t, minmax::Max>(const uint8_t* const*, int, FoldFrom, uint8_t*, std::size_t);
template void foldRows<uint8_t, minmax::Min>(const uint8_t* const*, int, FoldFrom, uint8_t*, std::size_t);
template void foldRows<float, minmax::Max>(const float* const*, int, FoldFrom, float*, std::size_t);
template void foldRows<float, minmax::Min>(const float* const*, int, FoldFrom, float*, std::size_t);

}  // namespace morph
}  // namespace zal
#endif  // HWY_ONCE
