// The scalar definitions of the bilinear sub-pixel copies: fractions, corners,
// weights, the per-suffix kernels and the clipping plan of the intersecting
// copy. Shared by the copies, their vector rows (subpix-inl.h) and the
// tracker.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace zal {

// The fraction of an offset in [0, 1): d - trunc(d), or 1 + d - trunc(d)
// when that is negative.
inline float subpixFraction(float d) {
    const float t = std::trunc(d);
    const float f = d - t;
    return f < 0.0f ? 1.0f + d - t : f;
}

// Integer corner and fraction of a block of `len` samples centred on
// `centre`: origin = centre - (len - 1) / 2, corner = trunc(len + origin) -
// len (the floor for origin > -len), frac = origin - corner. A centre so
// far away that the corner would not fit an int is bounded first, beyond any
// int index (2^32), so such a block still lies wholly outside; floats of that
// size are whole numbers, and frac is 0. The exports refuse non-finite
// centres; the tracker's NaN estimates are bounded like far ones (to
// -2^32: NaN fails both comparisons).
struct SubpixCorner {
    long long corner = 0;
    float frac = 0;
};

inline SubpixCorner subpixCorner(float centre, int len) {
    const float origin = centre - static_cast<float>(len - 1) * 0.5f;
    const float shifted = static_cast<float>(len) + origin;
    // Comparisons rather than fmin/fmax, which are library calls here.
    constexpr float kBound = 4294967296.0f;
    const float bounded = shifted > -kBound ? (shifted < kBound ? shifted : kBound) : -kBound;
    SubpixCorner c;
    c.corner = static_cast<long long>(std::trunc(bounded)) - len;
    c.frac = bounded == shifted ? origin - static_cast<float>(c.corner) : 0.0f;
    return c;
}

// Fixed-point weights with `Shift` fraction bits (14 for 8-bit sources, 15
// for 16-bit data). The four products are rounded by adding 16384 before the
// shift for both scales, so the Q14 weights sum to a little more than 16384.
template <int Shift>
struct FixedWeights {
    static constexpr uint32_t kScale = 1u << Shift;
    uint16_t a = 0, a1 = 0, b = 0, b1 = 0;  // a = fx * S, a1 = S - a; b, b1 likewise for y
    uint16_t w00 = 0, w01 = 0, w10 = 0, w11 = 0;

    FixedWeights() = default;
    FixedWeights(float fx, float fy) {
        a = static_cast<uint16_t>(static_cast<int32_t>(fx * static_cast<float>(kScale) + 0.5f));
        b = static_cast<uint16_t>(static_cast<int32_t>(fy * static_cast<float>(kScale) + 0.5f));
        a1 = static_cast<uint16_t>(kScale - a);
        b1 = static_cast<uint16_t>(kScale - b);
        w00 = static_cast<uint16_t>((static_cast<uint32_t>(a1) * b1 + 16384u) >> Shift);
        w01 = static_cast<uint16_t>((static_cast<uint32_t>(a) * b1 + 16384u) >> Shift);
        w10 = static_cast<uint16_t>((static_cast<uint32_t>(a1) * b + 16384u) >> Shift);
        w11 = static_cast<uint16_t>((static_cast<uint32_t>(a) * b + 16384u) >> Shift);
    }
};

// Direct single-precision weights of the intersecting copy.
struct FloatWeights {
    float fx = 0, fy = 0, w00 = 0, w01 = 0, w10 = 0, w11 = 0;
    FloatWeights() = default;
    FloatWeights(float x, float y)
        : fx(x), fy(y), w00((1.0f - x) * (1.0f - y)), w01(x * (1.0f - y)), w10(y * (1.0f - x)), w11(x * y) {}
};

// Fixed-point results: (sum + round) >> shift in unsigned 32-bit
// arithmetic. `Clamp` bounds the 16u result: with Q15 weights rounded half up
// the four weights may sum to 32770, and a white 16-bit pixel would otherwise
// wrap to black.
template <class D, bool Clamp>
struct ShiftOut {
    uint32_t round;
    unsigned shift;

    D operator()(uint32_t v) const {
        v = (v + round) >> shift;
        if constexpr (Clamp) v = std::min<uint32_t>(v, 65535u);
        return static_cast<D>(v);
    }
};

// 8u to 16u: the Q14 sum times 2^-(scaleFactor + 14), rounded half up and
// saturated to 0..65535, for every scale factor. Below a total shift of 0
// the sum is shifted left instead; both counts are capped where the result
// stops changing (a sum below 2^23 rounds to 0 after 24 right shifts and,
// when not 0, saturates after 17 left shifts). Within 1..31 this is the
// plain (sum + 2^(shift - 1)) >> shift.
struct ScaledOut {
    uint64_t round = 0;
    unsigned left = 0, right = 0;

    explicit ScaledOut(int scaleFactor) {
        const long long shift = static_cast<long long>(scaleFactor) + 14;
        left = static_cast<unsigned>(std::clamp<long long>(-shift, 0, 17));
        right = static_cast<unsigned>(std::clamp<long long>(shift, 0, 32));
        round = right > 0 ? uint64_t{1} << (right - 1) : 0;
    }
    uint16_t operator()(uint32_t v) const {
        return static_cast<uint16_t>(std::min<uint64_t>(((uint64_t{v} << left) + round) >> right, 65535u));
    }
};

// Integer interpolation: weighted sums in unsigned 32-bit arithmetic (at
// most 65535 x 32770), then the result conversion `Out`.
template <class S, class D, int Shift, class Out>
struct FixedKernel {
    FixedWeights<Shift> w;
    Out out;

    D four(S p00, S p01, S p10, S p11) const {
        return out(uint32_t(p00) * w.w00 + uint32_t(p01) * w.w01 + uint32_t(p10) * w.w10 + uint32_t(p11) * w.w11);
    }
    D horiz(S p0, S p1) const { return out(uint32_t(p0) * w.a1 + uint32_t(p1) * w.a); }
    D vert(S p0, S p1) const { return out(uint32_t(p0) * w.b1 + uint32_t(p1) * w.b); }
    // a + a1 is the full scale in 16-bit arithmetic, also for the negative
    // fractions of a block lying wholly before the source (its corner is then
    // truncated toward zero rather than floored).
    D one(S p) const { return out(uint32_t(p) * static_cast<uint16_t>(w.a + w.a1)); }
};

template <class S>
struct FloatKernel {
    FloatWeights w;
    float four(S p00, S p01, S p10, S p11) const {
        return float(p00) * w.w00 + float(p01) * w.w01 + float(p10) * w.w10 + float(p11) * w.w11;
    }
    float horiz(S p0, S p1) const { return float(p0) * (1.0f - w.fx) + float(p1) * w.fx; }
    float vert(S p0, S p1) const { return float(p0) * (1.0f - w.fy) + float(p1) * w.fy; }
    float one(S p) const { return float(p) * (w.fx + (1.0f - w.fx)); }
};

// The kernel of each suffix from the two fractions (and the scale factor of
// the 8u16u members).
template <class S, class D>
auto makeKernel(float fx, float fy, int scaleFactor) {
    if constexpr (std::is_same_v<D, float>) {
        return FloatKernel<S>{FloatWeights(fx, fy)};
    } else if constexpr (std::is_same_v<S, uint16_t>) {
        return FixedKernel<S, D, 15, ShiftOut<D, true>>{FixedWeights<15>(fx, fy), {16384u, 15u}};
    } else if constexpr (std::is_same_v<D, uint16_t>) {
        return FixedKernel<S, D, 14, ScaledOut>{FixedWeights<14>(fx, fy), ScaledOut(scaleFactor)};
    } else {
        return FixedKernel<S, D, 14, ShiftOut<D, false>>{FixedWeights<14>(fx, fy), {8192u, 14u}};
    }
}

// One axis of the clipped block: destination indices [lo, hi] interpolate
// between source index start + (i - lo) and the next; indices before lo read
// `start` alone, indices after hi read `last` alone.
struct AxisPlan {
    int start = 0, lo = 0, hi = -1, last = 0;
    float frac = 0;
};

inline AxisPlan planAxis(float centre, int dstLen, int srcLen) {
    AxisPlan p;
    const SubpixCorner sc = subpixCorner(centre, dstLen);
    const long long corner = sc.corner;
    p.frac = sc.frac;
    p.lo = static_cast<int>(std::min<long long>(std::max<long long>(0, -corner), dstLen));
    const long long start = std::max<long long>(corner, 0);
    p.hi = corner + dstLen - 1 <= srcLen - 2 ? dstLen - 1 : static_cast<int>(std::max<long long>(srcLen - corner - 2, -1));
    if (start >= srcLen) {
        p.lo = 0;
        p.hi = -1;
        p.start = srcLen - 1;
    } else {
        p.start = static_cast<int>(start);
    }
    // The index just past the last interpolated one: the last source index.
    p.last = std::clamp(p.start + p.hi - p.lo + 1, 0, srcLen - 1);
    return p;
}

}  // namespace zal
