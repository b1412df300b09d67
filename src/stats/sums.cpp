// Sums and sums of squares of the selected values of one-channel 8-bit
// images, for the mean and the mean/deviation families: exact integers,
// widened to 16 bits and multiplied pairwise into 32-bit lanes.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "stats/sums.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "stats/lanes-inl.h"
#include "stats/masked_sums.h"

HWY_BEFORE_NAMESPACE();
namespace zal::stats {
namespace HWY_NAMESPACE {

// Pixels summed in 32-bit lanes before they are folded into 64 bits: 16384
// squares of at most 255^2 total below 2^31, whatever the lane count.
constexpr std::size_t kLaneChunk = 16384;

// Per row, in chunks: sum += v, squares += v * v, count += 1 over the
// selected pixels (an unselected pixel adds a zero term).
template <bool Masked, bool Squares, class T>
HWY_INLINE void sumRows8(Image<const T> src, Image<const uint8_t> mask, int begin, int end, Sums<T>& acc) {
    const hn::ScalableTag<int16_t> d16;
    const hn::Rebind<T, decltype(d16)> d8;
    const hn::Rebind<uint8_t, decltype(d16)> dm;
    const hn::Repartition<int32_t, decltype(d16)> d32;
    const auto ones = hn::Set(d16, 1);
    const std::size_t n = static_cast<std::size_t>(src.width), lanes = hn::Lanes(d16);
    for (int y = begin; y < end; ++y) {
        const T* row = src.row(y);
        const uint8_t* m = Masked ? mask.row(y) : nullptr;
        for (std::size_t x0 = 0; x0 < n; x0 += kLaneChunk) {
            const std::size_t x1 = n - x0 > kLaneChunk ? x0 + kLaneChunk : n;
            auto s0 = hn::Zero(d32), s1 = hn::Zero(d32), q0 = hn::Zero(d32), q1 = hn::Zero(d32);
            std::size_t count = 0;
            const auto add = [&](auto v) {
                s0 = hn::ReorderWidenMulAccumulate(d32, v, ones, s0, s1);
                if constexpr (Squares) q0 = hn::ReorderWidenMulAccumulate(d32, v, v, q0, q1);
            };
            std::size_t x = x0;
            for (; x + lanes <= x1; x += lanes) {
                auto v = hn::PromoteTo(d16, hn::LoadU(d8, row + x));
                if constexpr (Masked) {
                    const auto sel = selectedLanes(d16, hn::LoadU(dm, m + x));
                    v = hn::IfThenElseZero(sel, v);
                    count += hn::CountTrue(d16, sel);
                }
                add(v);
            }
            if (x < x1) {
                // Lanes past the end read as zero: they add nothing and are unselected.
                const std::size_t r = x1 - x;
                auto v = hn::PromoteTo(d16, loadPartial(d8, row + x, r));
                if constexpr (Masked) {
                    const auto sel = selectedLanes(d16, loadPartial(dm, m + x, r));
                    v = hn::IfThenElseZero(sel, v);
                    count += hn::CountTrue(d16, sel);
                }
                add(v);
            }
            acc.sum += static_cast<SumOf<T>>(hn::GetLane(hn::SumOfLanes(d32, hn::Add(s0, s1))));
            if constexpr (Squares)
                acc.squares += static_cast<uint32_t>(hn::GetLane(hn::SumOfLanes(d32, hn::Add(q0, q1))));
            acc.count += static_cast<int64_t>(count);
        }
    }
}

template <class T>
HWY_INLINE void sumRows8Either(bool masked, bool squares, Image<const T> src, Image<const uint8_t> mask, int begin,
                               int end, Sums<T>& acc) {
    if (masked) {
        if (squares) sumRows8<true, true>(src, mask, begin, end, acc);
        else sumRows8<true, false>(src, mask, begin, end, acc);
    } else {
        if (squares) sumRows8<false, true>(src, mask, begin, end, acc);
        else sumRows8<false, false>(src, mask, begin, end, acc);
    }
}

void SumRows8u(bool masked, bool squares, Image<const uint8_t> src, Image<const uint8_t> mask, int begin, int end,
               Sums<uint8_t>* acc) {
    sumRows8Either(masked, squares, src, mask, begin, end, *acc);
}
void SumRows8s(bool masked, bool squares, Image<const int8_t> src, Image<const uint8_t> mask, int begin, int end,
               Sums<int8_t>* acc) {
    sumRows8Either(masked, squares, src, mask, begin, end, *acc);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal::stats
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal::stats {
HWY_EXPORT(SumRows8u);
HWY_EXPORT(SumRows8s);

void sumRowsC1(bool masked, bool squares, Image<const uint8_t> src, Image<const uint8_t> mask, int begin, int end,
               Sums<uint8_t>& acc) {
    HWY_DYNAMIC_DISPATCH(SumRows8u)(masked, squares, src, mask, begin, end, &acc);
}
void sumRowsC1(bool masked, bool squares, Image<const int8_t> src, Image<const uint8_t> mask, int begin, int end,
               Sums<int8_t>& acc) {
    HWY_DYNAMIC_DISPATCH(SumRows8s)(masked, squares, src, mask, begin, end, &acc);
}

}  // namespace zal::stats
#endif  // HWY_ONCE
