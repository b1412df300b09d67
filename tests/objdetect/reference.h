// Small brute-force references and table set-up shared by the objdetect tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "common/test_image.h"

namespace objdetect_test {

using zaltest::GuardedImage;
using zaltest::Lcg;

inline GuardedImage<uint8_t> randomSource(int w, int h, uint64_t seed, int hi = 255) {
    GuardedImage<uint8_t> src(w, h);
    Lcg rng(seed);
    src.fill([&](int, int, int) { return rng.uniform(0, hi); });
    return src;
}

// Sum (of squares) of the source pixels in columns x0 .. x0 + w - 1 and rows
// y0 .. y0 + h - 1.
inline long long uprightRectSum(const GuardedImage<uint8_t>& src, int x0, int y0, int w, int h, bool squares) {
    long long s = 0;
    for (int j = y0; j < y0 + h; ++j)
        for (int i = x0; i < x0 + w; ++i) s += squares ? src.at(i, j) * src.at(i, j) : src.at(i, j);
    return s;
}

// Pixel (j, i) sits between table columns i and i + 1 of table row j + 2; the
// cone of table entry (t, x) holds the pixels with j <= t - 2 and
// |i + 1/2 - x| <= t - 2 - j + 1/2.
inline bool inCone(int t, int x, int j, int i) {
    const int d = t - 2 - j;
    return d >= 0 && i >= x - 1 - d && i <= x + d;
}

// A rotated rectangle {x, y, w, h} at table row R, column C covers the pixels
// counted once by cone(Pb) - cone(Pl) - cone(Pr) + cone(P).
inline long long rotatedRectSum(const GuardedImage<uint8_t>& src, int r, int c, int w, int h, bool squares,
                                int* count = nullptr) {
    long long s = 0;
    int n = 0;
    for (int j = 0; j < src.height(); ++j)
        for (int i = 0; i < src.width(); ++i) {
            const int m = inCone(r + w + h, c + w - h, j, i) - inCone(r + h, c - h, j, i) -
                          inCone(r + w, c + w, j, i) + inCone(r, c, j, i);
            EXPECT_TRUE(m == 0 || m == 1);
            if (m == 1) s += squares ? src.at(i, j) * src.at(i, j) : src.at(i, j), ++n;
        }
    if (count) *count = n;
    return s;
}

// Every table of every builder of one geometry over `src`, with the start
// values `k` times a fixed, distinct offset per table.
struct AllTables {
    int extra;
    GuardedImage<int32_t> i32, i32b, q32, i32c;
    GuardedImage<float> f32, f32b;
    GuardedImage<double> q64, q64b;
    AllTables(const GuardedImage<uint8_t>& src, bool tilted, int k)
        : extra(tilted ? 2 : 1), i32(w(src), h(src)), i32b(w(src), h(src)), q32(w(src), h(src)),
          i32c(w(src), h(src)), f32(w(src), h(src)), f32b(w(src), h(src)), q64(w(src), h(src)),
          q64b(w(src), h(src)) {
        const uint8_t* s = src.data();
        const int ss = src.step();
        const ImageSize roi = src.roi();
        EXPECT_EQ((tilted ? zaliTiltedIntegral_8u32s_C1R : zaliIntegral_8u32s_C1R)(s, ss, i32.data(), i32.step(), roi,
                                                                                   -7 * k), StatusOk);
        EXPECT_EQ((tilted ? zaliTiltedIntegral_8u32f_C1R : zaliIntegral_8u32f_C1R)(s, ss, f32.data(), f32.step(), roi,
                                                                                   2.5f * k), StatusOk);
        EXPECT_EQ((tilted ? zaliTiltedSqrIntegral_8u32s_C1R : zaliSqrIntegral_8u32s_C1R)(
                      s, ss, i32b.data(), i32b.step(), q32.data(), q32.step(), roi, 3 * k, 11 * k), StatusOk);
        EXPECT_EQ((tilted ? zaliTiltedSqrIntegral_8u32f64f_C1R : zaliSqrIntegral_8u32f64f_C1R)(
                      s, ss, f32b.data(), f32b.step(), q64.data(), q64.step(), roi, 0, 0.25 * k), StatusOk);
        EXPECT_EQ((tilted ? zaliTiltedSqrIntegral_8u32s64f_C1R : zaliSqrIntegral_8u32s64f_C1R)(
                      s, ss, i32c.data(), i32c.step(), q64b.data(), q64b.step(), roi, k, -1.0 * k), StatusOk);
    }
    int w(const GuardedImage<uint8_t>& src) const { return src.width() + extra; }
    int h(const GuardedImage<uint8_t>& src) const { return src.height() + extra; }
    // fn(table, offset, squares) for every table.
    template <class Fn>
    void forEach(Fn fn) const {
        fn(i32, -7.0, false), fn(f32, 2.5, false), fn(i32b, 3.0, false), fn(q32, 11.0, true);
        fn(f32b, 0.0, false), fn(q64, 0.25, true), fn(i32c, 1.0, false), fn(q64b, -1.0, true);
    }
    bool guardsIntact() const {
        bool ok = true;
        forEach([&](const auto& t, double, bool) { ok = ok && t.guardsIntact(); });
        return ok;
    }
};

}  // namespace objdetect_test
