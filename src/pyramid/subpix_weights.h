// Bilinear weights of the sub-pixel copies, shared by the copy family and the
// optical flow's window gradients.
#pragma once

#include <cmath>
#include <cstdint>

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
// len (the floor for origin > -len), frac = origin - corner. A centre so far
// away that the corner would not fit an int is bounded first; such a block
// lies wholly outside, reads only whole border samples, and gets frac 0.
struct SubpixCorner {
    long long corner = 0;
    float frac = 0;
};

inline SubpixCorner subpixCorner(float centre, int len) {
    const float origin = centre - static_cast<float>(len - 1) * 0.5f;
    const float shifted = static_cast<float>(len) + origin;
    const float bounded = std::fmin(std::fmax(shifted, -1.0e9f), 1.0e9f);
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

}  // namespace zal
