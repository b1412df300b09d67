// Fast arctangent in degrees (0..360) of vectors (x, y) with about 0.14 degree
// accuracy: an octant code selects a base angle and a sign, and a quadratic
// in t = min(|x|, |y|) / max(|x|, |y|) supplies the offset inside the octant.
//
// Elements go in groups of four, and the four ratios of a group share one
// double-precision reciprocal. Per element i of a group (y, x):
//   k      = 4 * signbit(y) + 2 * signbit(x) + (|y| > |x|), 0 for (0, 0)
//   num_i  = min(|x|, |y|), den_i = max(|x|, |y|) (1 where that is 0)
//   r      = 1 / (((den_0 * den_1) * den_2) * den_3)
//   t_i    = (num_i * (product of the other three den, in index order)) * r
//   p      = t * (61.09419631958008 - 15.813189506530762 * t)
//   dst    = float(tab[k] + sign[k] * p)
// all in double precision. The last group is padded with (1, 1), whose
// denominator is 1. The vector kernel holds one group per lane, spread over
// four vectors (elements 0..3 of the groups), so every lane computes exactly
// the scalar arithmetic.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/fast_arctan.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "feature/internal.h"

// Base angles by octant k = 4 * signbit(y) + 2 * signbit(x) + (|y| > |x|);
// sign[k] is -1 where an odd number of the three bits is set, else +1.
#if HWY_ONCE
extern "C" {
const float _zlcvAtanTab[8] = {-0.14050041139125824f, 90.1405029296875f,  180.1405029296875f, 89.8594970703125f,
                               360.1405029296875f,    269.8594970703125f, 179.8594970703125f, 270.1405029296875f};
}
#endif

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR
// One group at a time, as written above.
void FastArctan(const float* y, const float* x, float* dst, std::size_t len) {
    for (std::size_t g = 0; g < len; g += 4) {
        double num[4], den[4];
        int k[4];
        for (std::size_t i = 0; i < 4; ++i) {
            const float yi = g + i < len ? y[g + i] : 1.0f, xi = g + i < len ? x[g + i] : 1.0f;
            const float ax = std::fabs(xi), ay = std::fabs(yi);
            k[i] = ax == 0.0f && ay == 0.0f ? 0 : 4 * std::signbit(yi) + 2 * std::signbit(xi) + (ay > ax);
            const float hi = ax > ay ? ax : ay;
            num[i] = ax < ay ? ax : ay;
            den[i] = hi == 0.0f ? 1.0 : static_cast<double>(hi);
        }
        const double r = 1.0 / (den[0] * den[1] * den[2] * den[3]);
        const double others[4] = {den[1] * den[2] * den[3], den[0] * den[2] * den[3], den[0] * den[1] * den[3],
                                  den[0] * den[1] * den[2]};
        for (std::size_t i = 0; i < 4 && g + i < len; ++i) {
            const double t = num[i] * others[i] * r;
            const double p = t * (61.09419631958008 - 15.813189506530762 * t);
            const bool minus = ((k[i] >> 2) ^ (k[i] >> 1) ^ k[i]) & 1;
            dst[g + i] = static_cast<float>(static_cast<double>(_zlcvAtanTab[k[i]]) + (minus ? -p : p));
        }
    }
}
#else

// Each octant's base angle times its sign: dst = sign * (sign * base + p),
// which rounds exactly like base + sign * p (round to nearest is symmetric
// and sign is +1 or -1), lets p be formed from t >= 0 and leaves the sign to
// one flip of the float result. The sum is never 0 where sign is -1 (base
// > 90 > p there), so the flip cannot change the sign of a zero.
HWY_ALIGN static constexpr float kSignedBase[16] = {
    -0.14050041139125824f, -90.1405029296875f, -180.1405029296875f, 89.8594970703125f,
    -360.1405029296875f,   269.8594970703125f, 179.8594970703125f,  -270.1405029296875f,
    -0.14050041139125824f, -90.1405029296875f, -180.1405029296875f, 89.8594970703125f,
    -360.1405029296875f,   269.8594970703125f, 179.8594970703125f,  -270.1405029296875f};

// Sign bits to flip the result with, by octant: set where sign[k] is -1.
HWY_ALIGN static constexpr uint32_t kFlip[16] = {0, 1u << 31, 1u << 31, 0, 1u << 31, 0, 0, 1u << 31,
                                                 0, 1u << 31, 1u << 31, 0, 1u << 31, 0, 0, 1u << 31};

// The signed base angles by j = 4 * steep + 2 * signbit(y) + signbit(x),
// that is k = 4 * (j >> 1 & 1) + 2 * (j & 1) + (j >> 2). The sign bits need
// no reordering: they mark an odd number of set bits either way.
HWY_ALIGN static constexpr float kSignedBaseBySteep[16] = {
    -0.14050041139125824f, -180.1405029296875f, -360.1405029296875f, 179.8594970703125f,
    -90.1405029296875f,    89.8594970703125f,   269.8594970703125f,  -270.1405029296875f,
    -0.14050041139125824f, -180.1405029296875f, -360.1405029296875f, 179.8594970703125f,
    -90.1405029296875f,    89.8594970703125f,   269.8594970703125f,  -270.1405029296875f};

// The signed base angle of every lane's octant and the sign bit to flip the
// result with.
template <class DF, class V = hn::Vec<DF>>
HWY_INLINE void octants(DF df, V y, V x, hn::Mask<DF> steep, hn::Mask<DF> origin, V& signedBase, V& flip) {
    const hn::RebindToUnsigned<DF> du;
    using VU = hn::Vec<decltype(du)>;
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    if constexpr (hn::MaxLanes(df) == 16) {
        // The code j = 4 * steep + 2 * signbit(y) + signbit(x) in fewer
        // steps: both sign bits by one bit select and a shift, the steep bit
        // by a masked or; the lookups themselves give the origin its entry.
        const __m512i yi = _mm512_castps_si512(y.raw), xi = _mm512_castps_si512(x.raw);
        const __m512i signs = _mm512_srli_epi32(
            _mm512_ternarylogic_epi32(_mm512_set1_epi32(INT32_MIN), yi, _mm512_srli_epi32(xi, 1), 0xCA), 30);
        const __m512i j = _mm512_mask_or_epi32(signs, steep.raw, signs, _mm512_set1_epi32(4));
        const __mmask16 away = _knot_mask16(origin.raw);
        signedBase =
            V{_mm512_mask_permutexvar_ps(_mm512_set1_ps(kSignedBase[0]), away, j, _mm512_load_ps(kSignedBaseBySteep))};
        flip = V{_mm512_castsi512_ps(_mm512_maskz_permutexvar_epi32(away, j, _mm512_load_si512(kFlip)))};
        return;
    }
#endif
    if constexpr (hn::MaxLanes(df) >= 8) {
        // k = 4 * signbit(y) + 2 * signbit(x) + steep, 0 at the origin.
        const VU st = hn::And(hn::BitCast(du, hn::VecFromMask(df, steep)), hn::Set(du, 1u));
        const VU ky = hn::OrAnd(st, hn::ShiftRight<29>(hn::BitCast(du, y)), hn::Set(du, 4u));
        const VU k = hn::IfThenZeroElse(hn::RebindMask(du, origin),
                                        hn::OrAnd(ky, hn::ShiftRight<30>(hn::BitCast(du, x)), hn::Set(du, 2u)));
        const auto idx = hn::IndicesFromVec(df, hn::BitCast(hn::RebindToSigned<DF>(), k));
        signedBase = hn::TableLookupLanes(hn::Load(df, kSignedBase), idx);
        flip = hn::BitCast(df, hn::TableLookupLanes(hn::Load(du, kFlip), hn::IndicesFromVec(du, k)));
    } else {
        const hn::RebindToSigned<DF> di;
        const auto negY = hn::AndNot(origin, hn::RebindMask(df, hn::Lt(hn::BitCast(di, y), hn::Zero(di))));
        const auto negX = hn::AndNot(origin, hn::RebindMask(df, hn::Lt(hn::BitCast(di, x), hn::Zero(di))));
        const auto st = hn::AndNot(origin, steep);
        const auto tab = [&](int k) { return hn::Set(df, kSignedBase[k]); };
        const V b0 = hn::IfThenElse(negX, hn::IfThenElse(st, tab(3), tab(2)), hn::IfThenElse(st, tab(1), tab(0)));
        const V b1 = hn::IfThenElse(negX, hn::IfThenElse(st, tab(7), tab(6)), hn::IfThenElse(st, tab(5), tab(4)));
        signedBase = hn::IfThenElse(negY, b1, b0);
        // An odd number of the three octant bits set.
        const VU odd = hn::BitCast(du, hn::VecFromMask(df, hn::Xor(hn::Xor(negY, negX), st)));
        flip = hn::BitCast(df, hn::And(odd, hn::Set(du, 1u << 31)));
    }
}

// Elements 0..3 of the groups in the lanes of y[i], x[i] (lane j: one
// group); float-lane work first, then the double arithmetic on each half.
// On x86, num and den come from the minimum and maximum instructions, which
// return the second operand unless the first compares below (above) it: ay
// whenever a NaN is involved, exactly as the selects of other targets do.
template <class DF, class V = hn::Vec<DF>>
HWY_INLINE void arctanGroups(DF df, const V* y, const V* x, V* out) {
    const hn::RebindToUnsigned<DF> du;
    const V zero = hn::Zero(df), one = hn::Set(df, 1.0f);
    V num[4], den[4], base[4], flip[4];
    for (int i = 0; i < 4; ++i) {
        const V ax = hn::Abs(x[i]), ay = hn::Abs(y[i]);
#if HWY_ARCH_X86 && HWY_TARGET != HWY_EMU128
        const V hi = hn::Max(ax, ay);
        num[i] = hn::Min(ax, ay);
#else  // elsewhere Min and Max may prefer the number to the NaN
        const V hi = hn::IfThenElse(hn::Gt(ax, ay), ax, ay);
        num[i] = hn::IfThenElse(hn::Lt(ax, ay), ax, ay);
#endif
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
        if constexpr (hn::MaxLanes(df) == 16) {
            // One fix-up: +1 for a zero, every other class (NaN too) as it is.
            den[i] = V{_mm512_fixupimm_ps(hi.raw, hi.raw, _mm512_set1_epi32(0x11111A11), 0)};
        } else
#endif
        den[i] = hn::IfThenElse(hn::Eq(hi, zero), one, hi);
        const auto origin = hn::RebindMask(df, hn::Eq(hn::Or(hn::BitCast(du, ax), hn::BitCast(du, ay)), hn::Zero(du)));
        octants(df, y[i], x[i], hn::Lt(ax, ay), origin, base[i], flip[i]);
    }
    const hn::Half<DF> dh;
    const hn::Repartition<double, DF> dd;
    using VD = hn::Vec<decltype(dd)>;
    const VD c1 = hn::Set(dd, 61.09419631958008), c2 = hn::Set(dd, 15.813189506530762);
    hn::Vec<decltype(dh)> halves[2][4];
    for (int h = 0; h < 2; ++h) {
        const auto wide = [&](V v) { return hn::PromoteTo(dd, h == 0 ? hn::LowerHalf(dh, v) : hn::UpperHalf(dh, v)); };
        VD d[4];
        for (int i = 0; i < 4; ++i) d[i] = wide(den[i]);
        const VD d01 = hn::Mul(d[0], d[1]);
        const VD d012 = hn::Mul(d01, d[2]);
        const VD r = hn::Div(hn::Set(dd, 1.0), hn::Mul(d012, d[3]));
        const VD others[4] = {hn::Mul(hn::Mul(d[1], d[2]), d[3]), hn::Mul(hn::Mul(d[0], d[2]), d[3]),
                              hn::Mul(d01, d[3]), d012};
        for (int i = 0; i < 4; ++i) {
            const VD t = hn::Mul(hn::Mul(wide(num[i]), others[i]), r);
            const VD p = hn::Mul(t, hn::Sub(c1, hn::Mul(c2, t)));
            halves[h][i] = hn::DemoteTo(dh, hn::Add(wide(base[i]), p));
        }
    }
    for (int i = 0; i < 4; ++i) out[i] = hn::Xor(hn::Combine(df, halves[1][i], halves[0][i]), flip[i]);
}

// 4 x 4 transposes inside every 128-bit block: element e of the group in
// block b of v[j] goes to lane j of block b of v[e]. Its own inverse; the
// lane of a group does not matter, as long as the results go back the same way.
template <class DF, class V = hn::Vec<DF>>
HWY_INLINE void transposeBlocks(DF df, V* v) {
    const hn::Repartition<double, DF> dd;
    const V t0 = hn::InterleaveLower(df, v[0], v[1]), t1 = hn::InterleaveLower(df, v[2], v[3]);
    const V t2 = hn::InterleaveUpper(df, v[0], v[1]), t3 = hn::InterleaveUpper(df, v[2], v[3]);
    v[0] = hn::BitCast(df, hn::InterleaveLower(dd, hn::BitCast(dd, t0), hn::BitCast(dd, t1)));
    v[1] = hn::BitCast(df, hn::InterleaveUpper(dd, hn::BitCast(dd, t0), hn::BitCast(dd, t1)));
    v[2] = hn::BitCast(df, hn::InterleaveLower(dd, hn::BitCast(dd, t2), hn::BitCast(dd, t3)));
    v[3] = hn::BitCast(df, hn::InterleaveUpper(dd, hn::BitCast(dd, t2), hn::BitCast(dd, t3)));
}

// Where the time goes on Zen 4 (AVX-512, about 260 instructions per 64
// elements, 0.7 ns per element in cache or not): no single port group bounds
// it. Taking out the three transposes saves about 10%, the octant lookups
// 11%, the promotion of the base angles 7%, the division 5% (one 512-bit
// division issues every 9 cycles; 512-bit conversions every 1.3 to 1.5, and
// they share ports with the additions and shuffles). Slower or no better:
// float work on 256-bit vectors with whole 512-bit doubles (no halves to
// extract), a two-chunk unrolled loop, finishing each chunk while the next
// one's ratios form, converting the halves from memory, the flip by logic
// steps instead of a lookup. The NaN a group with several NaN denominators
// returns follows the operand order the compiler gives each product, so
// restructuring the arithmetic can change that payload: check it.
void FastArctan(const float* y, const float* x, float* dst, std::size_t len) {
    const hn::ScalableTag<float> df;
    using V = hn::Vec<decltype(df)>;
    const std::size_t lanes = hn::Lanes(df), chunk = 4 * lanes;
    const auto run = [&](const float* py, const float* px, float* pd) {
        V vy[4], vx[4], out[4];
        for (std::size_t j = 0; j < 4; ++j) vy[j] = hn::LoadU(df, py + j * lanes), vx[j] = hn::LoadU(df, px + j * lanes);
        transposeBlocks(df, vy);
        transposeBlocks(df, vx);
        arctanGroups(df, vy, vx, out);
        transposeBlocks(df, out);
        for (std::size_t j = 0; j < 4; ++j) hn::StoreU(out[j], df, pd + j * lanes);
    };
    std::size_t i = 0;
    // The kernel is short of arithmetic ports, not of memory bandwidth, but
    // it waits on memory without asking for the lines 4 KiB ahead (every
    // line of a chunk: the hardware prefetcher alone falls behind).
    constexpr std::size_t kAhead = 1024;
    for (; i + chunk <= len; i += chunk) {
        const std::size_t next = i + kAhead + chunk <= len ? i + kAhead : i;
        for (std::size_t line = 0; line < chunk; line += 64 / sizeof(float)) {
            hwy::Prefetch(y + next + line);
            hwy::Prefetch(x + next + line);
            __builtin_prefetch(dst + next + line, 1);
        }
        run(y + i, x + i, dst + i);
    }
    if (i < len) {
        // The tail, padded with (1, 1), through stack blocks.
        HWY_ALIGN float by[4 * HWY_MAX_BYTES / sizeof(float)], bx[4 * HWY_MAX_BYTES / sizeof(float)];
        HWY_ALIGN float bd[4 * HWY_MAX_BYTES / sizeof(float)];
        for (std::size_t j = 0; j < chunk; ++j) by[j] = bx[j] = 1.0f;
        std::memcpy(by, y + i, (len - i) * sizeof(float));
        std::memcpy(bx, x + i, (len - i) * sizeof(float));
        run(by, bx, bd);
        std::memcpy(dst + i, bd, (len - i) * sizeof(float));
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "feature/exports.h"
#include "feature/ops.h"

namespace zal {
HWY_EXPORT(FastArctan);

namespace feature {

void fastArctan(const float* y, const float* x, float* dst, int len) {
    HWY_DYNAMIC_DISPATCH(FastArctan)(y, x, dst, static_cast<std::size_t>(len));
}

}  // namespace feature
}  // namespace zal

ZAL_DECLARED(zalibFastArctan_32f);
extern "C" StatusCode zalibFastArctan_32f(const float* pSrcY, const float* pSrcX, float* pDst, int len) {
    ZAL_CHECK(zal::requireNonNull(pSrcY, pSrcX, pDst));
    ZAL_CHECK(zal::requireLength(len));
    zal::feature::fastArctan(pSrcY, pSrcX, pDst, len);
    return StatusOk;
}
#endif  // HWY_ONCE
