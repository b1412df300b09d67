// Small brute-force references shared by the objdetect tests.
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
        for (int i = x0; i < x0 + w; ++i) {
            const long long p = src.at(i, j);
            s += squares ? p * p : p;
        }
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
inline long long rotatedRectSum(const GuardedImage<uint8_t>& src, int r, int c, int w, int h, bool squares, int* count) {
    long long s = 0;
    *count = 0;
    for (int j = 0; j < src.height(); ++j)
        for (int i = 0; i < src.width(); ++i) {
            const int m = inCone(r + w + h, c + w - h, j, i) - inCone(r + h, c - h, j, i) -
                          inCone(r + w, c + w, j, i) + inCone(r, c, j, i);
            EXPECT_TRUE(m == 0 || m == 1);
            if (m == 1) {
                const long long p = src.at(i, j);
                s += squares ? p * p : p;
                ++*count;
            }
        }
    return s;
}

}  // namespace objdetect_test
