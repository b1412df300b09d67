// Norms of one-channel integer images (8u, 8s, 16u) in vectors. Every term is
// an exact integer (|x|, |x1 - x2| or its square), so maxima and sums come
// out the same in any order: each lane keeps its own 32-bit maximum or sum
// over a chunk of a row, and the chunk's lanes are then folded into the
// band's partial. A chunk holds at most kNormChunk pixels, whose terms sum
// below 2^31 (32768 x 65535 for 16-bit magnitudes, 32768 x 255^2 for 8-bit
// squares). 16u squares need 64 bits and stay with the scalar rows.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "stats/norm_integer_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>

#include "stats/lanes-inl.h"
#include "stats/norm_kernel.h"

HWY_BEFORE_NAMESPACE();
namespace zal::stats {
namespace HWY_NAMESPACE {

template <NormKind K, NormOf Op, class T>
HWY_INLINE void integerBand(Image<const T> a, Image<const T> b, Image<const uint8_t> mask, int begin, int end,
                            NormPartial<K, T>& acc) {
    const hn::ScalableTag<int32_t> di;
    const hn::Rebind<T, decltype(di)> dt;
    const hn::Rebind<uint8_t, decltype(di)> d8;
    constexpr bool kTwo = Op != NormOf::Image;
    const std::size_t lanes = hn::Lanes(di);
    const auto term = [&](hn::Vec<decltype(di)> v, auto sel) {
        const auto m = hn::Abs(v);
        return hn::IfThenElseZero(sel, K == NormKind::L2 ? hn::Mul(m, m) : m);
    };
    const auto fold = [](auto& into, auto t) { into = K == NormKind::Inf ? hn::Max(into, t) : hn::Add(into, t); };
    for (int y = begin; y < end; ++y) {
        const T* ra = a.row(y);
        const T* rb = b.row(y);
        const uint8_t* rm = mask.row(y);
        const std::size_t width = static_cast<std::size_t>(a.width);
        for (std::size_t x0 = 0; x0 < width; x0 += kNormChunk) {
            const std::size_t x1 = std::min<std::size_t>(width, x0 + kNormChunk);
            auto num = hn::Zero(di), den = hn::Zero(di);
            // Lanes past the row's end read as zero: they are unselected.
            const auto pixels = [&](std::size_t x, std::size_t n) {
                const auto load = [&](auto d, const auto* p) { return n == lanes ? hn::LoadU(d, p + x) : loadPartial(d, p + x, n); };
                const auto sel = selectedLanes(di, load(d8, rm));
                const auto va = hn::PromoteTo(di, load(dt, ra));
                const auto vb = kTwo ? hn::PromoteTo(di, load(dt, rb)) : hn::Zero(di);
                fold(num, term(kTwo ? hn::Sub(va, vb) : va, sel));
                if constexpr (Op == NormOf::Relative) fold(den, term(vb, sel));
            };
            std::size_t x = x0;
            for (; x + lanes <= x1; x += lanes) pixels(x, lanes);
            if (x < x1) pixels(x, x1 - x);
            if constexpr (K == NormKind::Inf) {
                acc.num = std::max(acc.num, hn::GetLane(hn::MaxOfLanes(di, num)));
                acc.den = std::max(acc.den, hn::GetLane(hn::MaxOfLanes(di, den)));
            } else {
                acc.num += static_cast<uint32_t>(hn::GetLane(hn::SumOfLanes(di, num)));
                acc.den += static_cast<uint32_t>(hn::GetLane(hn::SumOfLanes(di, den)));
            }
        }
    }
}

#define ZAL_NORM_INTEGER_KERNEL(K, T, suffix)                                                                   \
    void NormRows##K##suffix(NormOf op, Image<const T> a, Image<const T> b, Image<const uint8_t> mask, int begin, \
                             int end, NormPartial<NormKind::K, T>* acc) {                                        \
        switch (op) {                                                                                           \
            case NormOf::Image: return integerBand<NormKind::K, NormOf::Image>(a, b, mask, begin, end, *acc);   \
            case NormOf::Difference:                                                                            \
                return integerBand<NormKind::K, NormOf::Difference>(a, b, mask, begin, end, *acc);              \
            case NormOf::Relative: return integerBand<NormKind::K, NormOf::Relative>(a, b, mask, begin, end, *acc); \
        }                                                                                                       \
    }
ZAL_NORM_INTEGER_ROWS(ZAL_NORM_INTEGER_KERNEL)
#undef ZAL_NORM_INTEGER_KERNEL

}  // namespace HWY_NAMESPACE
}  // namespace zal::stats
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal::stats {

#define ZAL_NORM_INTEGER_DISPATCH(K, T, suffix)                                                                     \
    HWY_EXPORT(NormRows##K##suffix);                                                                                \
    void normRowsInteger(NormOf op, Image<const T> a, Image<const T> b, Image<const uint8_t> mask, int begin, int end, \
                         NormPartial<NormKind::K, T>& acc) {                                                        \
        HWY_DYNAMIC_DISPATCH(NormRows##K##suffix)(op, a, b, mask, begin, end, &acc);                               \
    }
ZAL_NORM_INTEGER_ROWS(ZAL_NORM_INTEGER_DISPATCH)
#undef ZAL_NORM_INTEGER_DISPATCH

}  // namespace zal::stats
#endif  // HWY_ONCE
