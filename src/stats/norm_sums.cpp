// L1 and L2 norm sums of one-channel 32f images. The published arithmetic
// adds each term to one running double in raster order, which a vector of
// partial sums cannot reproduce in general. It can when no addition rounds:
// if every term is an integer, the running sum is an integer and the running
// sum plus the row's terms stays below 2^53, every partial sum of the row,
// in any order, is an integer below 2^53 and therefore exact. Each row is
// summed in vectors first; when that proof fails (fractional or huge terms,
// infinities, NaN) the row is summed again term by term in raster order.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "stats/norm_sums.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>

#include "stats/lanes-inl.h"
#include "stats/norm_kernel.h"

HWY_BEFORE_NAMESPACE();
namespace zal::stats {
namespace HWY_NAMESPACE {

// Below 2^53 every integer is a double, and so is the sum of two of them.
constexpr double kExactIntegers = 9007199254740992.0;

// A running sum that is a whole number below 2^53 (false for NaN).
inline bool exactInteger(double v) { return v < kExactIntegers && v == std::floor(v); }

// The row's numerator and denominator sums, formed in vectors, and whether
// every term was an integer (then both sums are exact when below 2^53).
struct RowSums {
    double num = 0.0;
    double den = 0.0;
    bool integers = false;
};

// Per selected pixel (unselected: +0.0), as the scalar definition forms it:
//   L1  |x| or |x1 - x2| in float, widened        denominator |x2|
//   L2  image: x * x in float, widened;  difference: d = x1 - x2 in float,
//       (double)d * (double)d                     denominator (double)x2^2
template <NormKind K, NormOf Op>
HWY_INLINE RowSums rowSums(const float* HWY_RESTRICT a, const float* HWY_RESTRICT b, const uint8_t* HWY_RESTRICT m,
                           std::size_t n) {
    const hn::ScalableTag<double> dd;
    const hn::Rebind<float, decltype(dd)> df;
    const hn::Rebind<uint32_t, decltype(dd)> du;
    const hn::Rebind<uint8_t, decltype(dd)> d8;
    constexpr bool kTwo = Op != NormOf::Image;
    constexpr bool kSquareInDouble = K == NormKind::L2 && kTwo;
    auto num0 = hn::Zero(dd), num1 = hn::Zero(dd), den0 = hn::Zero(dd), den1 = hn::Zero(dd);
    auto fractions = hn::Zero(du);  // OR of the bits of every term minus its rounded value
    // One vector of pixels into the accumulators `num` and `den`.
    const auto add = [&](hn::Vec<decltype(df)> va, hn::Vec<decltype(df)> vb, hn::Vec<decltype(d8)> vm, auto& num,
                         auto& den) {
        const auto sel = selectedLanes(df, vm);
        const auto v = kTwo ? hn::Sub(va, vb) : va;
        auto t = K == NormKind::L1 ? hn::Abs(v) : (kTwo ? v : hn::Mul(v, v));
        t = hn::IfThenElseZero(sel, t);
        fractions = hn::Or(fractions, hn::BitCast(du, hn::Sub(t, hn::Round(t))));
        const auto wide = hn::PromoteTo(dd, t);
        num = hn::Add(num, kSquareInDouble ? hn::Mul(wide, wide) : wide);
        if constexpr (Op == NormOf::Relative) {
            auto u = K == NormKind::L1 ? hn::Abs(vb) : vb;
            u = hn::IfThenElseZero(sel, u);
            fractions = hn::Or(fractions, hn::BitCast(du, hn::Sub(u, hn::Round(u))));
            const auto wideU = hn::PromoteTo(dd, u);
            den = hn::Add(den, K == NormKind::L2 ? hn::Mul(wideU, wideU) : wideU);
        }
    };
    const std::size_t lanes = hn::Lanes(dd);
    std::size_t x = 0;
    for (; x + 2 * lanes <= n; x += 2 * lanes) {
        add(hn::LoadU(df, a + x), kTwo ? hn::LoadU(df, b + x) : hn::Zero(df), hn::LoadU(d8, m + x), num0, den0);
        add(hn::LoadU(df, a + x + lanes), kTwo ? hn::LoadU(df, b + x + lanes) : hn::Zero(df),
            hn::LoadU(d8, m + x + lanes), num1, den1);
    }
    for (; x < n; x += lanes) {
        // Lanes past the end read as zero: they are unselected.
        const std::size_t r = n - x < lanes ? n - x : lanes;
        add(loadPartial(df, a + x, r), kTwo ? loadPartial(df, b + x, r) : hn::Zero(df), loadPartial(d8, m + x, r),
            num0, den0);
    }
    RowSums s;
    s.num = hn::GetLane(hn::SumOfLanes(dd, hn::Add(num0, num1)));
    s.den = hn::GetLane(hn::SumOfLanes(dd, hn::Add(den0, den1)));
    s.integers = hn::AllTrue(du, hn::Eq(fractions, hn::Zero(du)));
    return s;
}

template <NormKind K, NormOf Op>
HWY_INLINE void bandSums(Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                         NormPartial<K, float>& acc) {
    const std::size_t n = static_cast<std::size_t>(a.width);
    for (int y = begin; y < end; ++y) {
        const RowSums s = rowSums<K, Op>(a.row(y), b.row(y), mask.row(y), n);
        const double num = acc.num + s.num, den = acc.den + s.den;
        if (s.integers && exactInteger(acc.num) && exactInteger(acc.den) && num < kExactIntegers && den < kExactIntegers) {
            acc.num = num;
            acc.den = den;
        } else {
            normRow<K, Op, float, 1>(a.row(y), b.row(y), mask.row(y), a.width, acc);
        }
    }
}

template <NormKind K>
HWY_INLINE void bandSumsOf(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask,
                           int begin, int end, NormPartial<K, float>& acc) {
    switch (op) {
        case NormOf::Image: return bandSums<K, NormOf::Image>(a, b, mask, begin, end, acc);
        case NormOf::Difference: return bandSums<K, NormOf::Difference>(a, b, mask, begin, end, acc);
        case NormOf::Relative: return bandSums<K, NormOf::Relative>(a, b, mask, begin, end, acc);
    }
}

void NormSumsL1(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                NormPartial<NormKind::L1, float>* acc) {
    bandSumsOf<NormKind::L1>(op, a, b, mask, begin, end, *acc);
}
void NormSumsL2(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                NormPartial<NormKind::L2, float>* acc) {
    bandSumsOf<NormKind::L2>(op, a, b, mask, begin, end, *acc);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal::stats
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal::stats {
HWY_EXPORT(NormSumsL1);
HWY_EXPORT(NormSumsL2);

void normSums32f(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                 NormPartial<NormKind::L1, float>& acc) {
    HWY_DYNAMIC_DISPATCH(NormSumsL1)(op, a, b, mask, begin, end, &acc);
}
void normSums32f(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                 NormPartial<NormKind::L2, float>& acc) {
    HWY_DYNAMIC_DISPATCH(NormSumsL2)(op, a, b, mask, begin, end, &acc);
}

}  // namespace zal::stats
#endif  // HWY_ONCE
