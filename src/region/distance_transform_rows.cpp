// Vector row steps of the chamfer transform for float distances.
//
// Candidates from the other rows: every lane does the sums of its pixel and
// takes their minimum, which is exact in any order (no NaN arises: the
// distances are finite and at least 0, the weights greater than 0). The limit
// to the float maximum commutes with the minimum and is applied once.
//
// Scan along the row, s[x] = min(c[x], s[x - 1] + a) from left to right (the
// right-to-left scan is its mirror). Float sums are not associative, so the
// chain of single additions must be kept: a block of lanes starts from its
// candidates, takes the carry + a into its first lane, and then repeats
//   v[i] = min(v[i], v[i - 1] + a)        (all lanes at once)
// until a step changes none of the lanes that feed another one. Each step
// only lowers values and never below the serial result (rounding is
// monotone); lane i is the serial result after i steps; and a vector that
// the step leaves unchanged satisfies the serial recurrence lane by lane,
// which has one solution. So the loop would end, after at most as many steps
// as lanes, with exactly the serial results. Most blocks of a distance image
// settle in one or two steps; a block still changing after kMaxSteps steps
// (a long chain, from a zero pixel far to the left) has its first
// kMaxSteps + 1 lanes final and finishes pixel by pixel from there, which
// gives the serial results too (the values left in the other lanes lie
// between their candidates and their results). A chain that crosses the
// whole row so costs little more than the serial scan.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "region/distance_transform_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
// Vector steps per block before the rest of the block goes pixel by pixel
// (2 or 3 measure best on this library's benchmark frames).
constexpr ptrdiff_t kMaxSteps = 2;

inline float smaller(float x, float y) { return y < x ? y : x; }
inline float limited(float v) { return v < FLT_MAX ? v : FLT_MAX; }

// Zero test of N source bytes as a float mask.
template <class D>
HWY_INLINE hn::Mask<D> zeroAt(D d, const uint8_t* s) {
    const hn::RebindToUnsigned<D> du;
    const hn::Rebind<uint8_t, D> d8;
    return hn::RebindMask(d, hn::Eq(hn::PromoteTo(du, hn::LoadU(d8, s)), hn::Zero(du)));
}

}  // namespace

void ScanLeft32f(float* HWY_RESTRICT d, int w, float a) {
    const hn::CappedTag<float, 16> df;
    const hn::RebindToSigned<decltype(df)> di;
    const ptrdiff_t n = static_cast<ptrdiff_t>(hn::Lanes(df));
    ptrdiff_t x = 1;
    if (w > n) {
        // step: lane i gets lane i - 1 + a, lane 0 itself + infinity.
        const auto prevIdx = hn::IndicesFromVec(df, hn::Max(hn::Iota(di, -1), hn::Zero(di)));
        const auto lastIdx = hn::IndicesFromVec(df, hn::Set(di, static_cast<int32_t>(n - 1)));
        const auto first = hn::FirstN(df, 1);
        const auto feeding = hn::FirstN(df, static_cast<size_t>(n - 1));
        const auto add = hn::IfThenElse(first, hn::Set(df, kInf), hn::Set(df, a));
        const auto addCarry = hn::IfThenElse(first, hn::Set(df, a), hn::Set(df, kInf));
        auto carry = hn::Set(df, d[0]);
        for (; x + n <= w; x += n) {
            auto v = hn::Min(hn::LoadU(df, d + x), hn::Add(carry, addCarry));
            ptrdiff_t steps = 0;
            for (;;) {
                const auto next = hn::Min(v, hn::Add(hn::TableLookupLanes(v, prevIdx), add));
                const bool done = hn::AllFalse(df, hn::And(feeding, hn::Ne(next, v)));
                v = next;
                if (done || ++steps == kMaxSteps) break;
            }
            hn::StoreU(v, df, d + x);
            if (steps == kMaxSteps) {
                float left = d[x + steps];
                for (ptrdiff_t i = steps + 1; i < n; ++i) {
                    left = smaller(d[x + i], left + a);
                    d[x + i] = left;
                }
                carry = hn::Set(df, left);
            } else {
                carry = hn::TableLookupLanes(v, lastIdx);
            }
        }
    }
    float left = d[x - 1];
    for (; x < w; ++x) {
        left = smaller(d[x], left + a);
        d[x] = left;
    }
}

void ScanRight32f(float* HWY_RESTRICT d, int w, float a) {
    const hn::CappedTag<float, 16> df;
    const hn::RebindToSigned<decltype(df)> di;
    const ptrdiff_t n = static_cast<ptrdiff_t>(hn::Lanes(df));
    ptrdiff_t end = w - 1;  // pixels [0, end) remain
    if (w > n) {
        // step: lane i gets lane i + 1 + a, the last lane itself + infinity.
        const auto nextIdx = hn::IndicesFromVec(df, hn::Min(hn::Iota(di, 1), hn::Set(di, static_cast<int32_t>(n - 1))));
        const auto firstIdx = hn::IndicesFromVec(df, hn::Zero(di));
        const auto notLast = hn::FirstN(df, static_cast<size_t>(n - 1));
        const auto feeding = hn::Not(hn::FirstN(df, 1));
        const auto add = hn::IfThenElse(notLast, hn::Set(df, a), hn::Set(df, kInf));
        const auto addCarry = hn::IfThenElse(notLast, hn::Set(df, kInf), hn::Set(df, a));
        auto carry = hn::Set(df, d[w - 1]);
        for (; end >= n; end -= n) {
            float* p = d + end - n;
            auto v = hn::Min(hn::LoadU(df, p), hn::Add(carry, addCarry));
            ptrdiff_t steps = 0;
            for (;;) {
                const auto next = hn::Min(v, hn::Add(hn::TableLookupLanes(v, nextIdx), add));
                const bool done = hn::AllFalse(df, hn::And(feeding, hn::Ne(next, v)));
                v = next;
                if (done || ++steps == kMaxSteps) break;
            }
            hn::StoreU(v, df, p);
            if (steps == kMaxSteps) {
                float right = p[n - 1 - steps];
                for (ptrdiff_t i = n - 2 - steps; i >= 0; --i) {
                    right = smaller(p[i], right + a);
                    p[i] = right;
                }
                carry = hn::Set(df, right);
            } else {
                carry = hn::TableLookupLanes(v, firstIdx);
            }
        }
    }
    float right = d[end];
    for (ptrdiff_t x = end - 1; x >= 0; --x) {
        right = smaller(d[x], right + a);
        d[x] = right;
    }
}

namespace {

// The candidates of a 3x3 row from row r (up + a, and with Diag the upper
// diagonals + b), limited to the float maximum.
template <bool Diag, class D, class V = hn::Vec<D>>
HWY_INLINE V otherRows3(D df, const float* HWY_RESTRICT r, ptrdiff_t x, V va, V vb) {
    auto v = hn::Add(hn::LoadU(df, r + x), va);
    if constexpr (Diag) v = hn::Min(v, hn::Min(hn::Add(hn::LoadU(df, r + x - 1), vb), hn::Add(hn::LoadU(df, r + x + 1), vb)));
    return hn::Min(v, hn::Set(df, FLT_MAX));
}

inline float otherRows3(const float* r, ptrdiff_t x, float a, float b, bool diag) {
    float v = r[x] + a;
    if (diag) v = smaller(v, smaller(r[x - 1] + b, r[x + 1] + b));
    return limited(v);
}

// put(df, x, candidates) for the vectors of [begin, end), then one(x,
// candidate) for the pixels left.
template <class Put, class One>
HWY_INLINE void rows3(const float* HWY_RESTRICT r, int begin, int end, float a, float b, bool diag, Put put, One one) {
    const hn::ScalableTag<float> df;
    const ptrdiff_t n = static_cast<ptrdiff_t>(hn::Lanes(df));
    const auto va = hn::Set(df, a), vb = hn::Set(df, b);
    ptrdiff_t x = begin;
    auto run = [&](auto withDiag) {
        for (; x + n <= end; x += n) put(df, x, otherRows3<decltype(withDiag)::value>(df, r, x, va, vb));
    };
    if (diag) run(std::true_type());
    else run(std::false_type());
    for (; x < end; ++x) one(x, otherRows3(r, x, a, b, diag));
}

}  // namespace

void FromAbove3_32f(const uint8_t* HWY_RESTRICT s, float* HWY_RESTRICT d, const float* HWY_RESTRICT r, int begin,
                    int end, float a, float b, bool diag) {
    rows3(
        r, begin, end, a, b, diag,
        [&](auto df, ptrdiff_t x, auto v) { hn::StoreU(hn::IfThenZeroElse(zeroAt(df, s + x), v), df, d + x); },
        [&](ptrdiff_t x, float v) { d[x] = s[x] == 0 ? 0.0f : v; });
}

void FromBelow3_32f(float* HWY_RESTRICT d, const float* HWY_RESTRICT r, int begin, int end, float a, float b,
                    bool diag) {
    rows3(
        r, begin, end, a, b, diag,
        [&](auto df, ptrdiff_t x, auto v) { hn::StoreU(hn::Min(hn::LoadU(df, d + x), v), df, d + x); },
        [&](ptrdiff_t x, float v) { d[x] = smaller(d[x], v); });
}

namespace {

template <class D, class V = hn::Vec<D>>
HWY_INLINE V otherRows5(D df, const float* HWY_RESTRICT r, const float* HWY_RESTRICT r2, ptrdiff_t x, V va, V vb,
                        V vc) {
    auto v = hn::Add(hn::LoadU(df, r + x), va);
    v = hn::Min(v, hn::Min(hn::Add(hn::LoadU(df, r + x - 1), vb), hn::Add(hn::LoadU(df, r + x + 1), vb)));
    v = hn::Min(v, hn::Min(hn::Add(hn::LoadU(df, r + x - 2), vc), hn::Add(hn::LoadU(df, r + x + 2), vc)));
    v = hn::Min(v, hn::Min(hn::Add(hn::LoadU(df, r2 + x - 1), vc), hn::Add(hn::LoadU(df, r2 + x + 1), vc)));
    return hn::Min(v, hn::Set(df, FLT_MAX));
}

inline float otherRows5(const float* r, const float* r2, ptrdiff_t x, float a, float b, float c) {
    float v = smaller(r[x] + a, smaller(r[x - 1] + b, r[x + 1] + b));
    v = smaller(v, smaller(r[x - 2] + c, r[x + 2] + c));
    return limited(smaller(v, smaller(r2[x - 1] + c, r2[x + 1] + c)));
}

}  // namespace

void FromAbove5_32f(const uint8_t* HWY_RESTRICT s, float* HWY_RESTRICT d, const float* HWY_RESTRICT r,
                    const float* HWY_RESTRICT r2, int begin, int end, float a, float b, float c) {
    const hn::ScalableTag<float> df;
    const ptrdiff_t n = static_cast<ptrdiff_t>(hn::Lanes(df));
    const auto va = hn::Set(df, a), vb = hn::Set(df, b), vc = hn::Set(df, c);
    ptrdiff_t x = begin;
    for (; x + n <= end; x += n)
        hn::StoreU(hn::IfThenZeroElse(zeroAt(df, s + x), otherRows5(df, r, r2, x, va, vb, vc)), df, d + x);
    for (; x < end; ++x) d[x] = s[x] == 0 ? 0.0f : otherRows5(r, r2, x, a, b, c);
}

void FromBelow5_32f(float* HWY_RESTRICT d, const float* HWY_RESTRICT r, const float* HWY_RESTRICT r2, int begin,
                    int end, float a, float b, float c) {
    const hn::ScalableTag<float> df;
    const ptrdiff_t n = static_cast<ptrdiff_t>(hn::Lanes(df));
    const auto va = hn::Set(df, a), vb = hn::Set(df, b), vc = hn::Set(df, c);
    ptrdiff_t x = begin;
    for (; x + n <= end; x += n)
        hn::StoreU(hn::Min(hn::LoadU(df, d + x), otherRows5(df, r, r2, x, va, vb, vc)), df, d + x);
    for (; x < end; ++x) d[x] = smaller(d[x], otherRows5(r, r2, x, a, b, c));
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "region/distance_transform_rows.h"

namespace zal {
HWY_EXPORT(ScanLeft32f);
HWY_EXPORT(ScanRight32f);
HWY_EXPORT(FromAbove3_32f);
HWY_EXPORT(FromBelow3_32f);
HWY_EXPORT(FromAbove5_32f);
HWY_EXPORT(FromBelow5_32f);

namespace chamfer {

void scanLeft32f(float* d, int w, float a) { HWY_DYNAMIC_DISPATCH(ScanLeft32f)(d, w, a); }
void scanRight32f(float* d, int w, float a) { HWY_DYNAMIC_DISPATCH(ScanRight32f)(d, w, a); }
void fromAbove3_32f(const uint8_t* s, float* d, const float* r, int begin, int end, float a, float b, bool diag) {
    HWY_DYNAMIC_DISPATCH(FromAbove3_32f)(s, d, r, begin, end, a, b, diag);
}
void fromBelow3_32f(float* d, const float* r, int begin, int end, float a, float b, bool diag) {
    HWY_DYNAMIC_DISPATCH(FromBelow3_32f)(d, r, begin, end, a, b, diag);
}
void fromAbove5_32f(const uint8_t* s, float* d, const float* r, const float* r2, int begin, int end, float a, float b,
                    float c) {
    HWY_DYNAMIC_DISPATCH(FromAbove5_32f)(s, d, r, r2, begin, end, a, b, c);
}
void fromBelow5_32f(float* d, const float* r, const float* r2, int begin, int end, float a, float b, float c) {
    HWY_DYNAMIC_DISPATCH(FromBelow5_32f)(d, r, r2, begin, end, a, b, c);
}

}  // namespace chamfer
}  // namespace zal
#endif  // HWY_ONCE
