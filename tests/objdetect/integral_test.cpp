// Integral images against direct sums over the source pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "objdetect/reference.h"

using zaltest::GuardedImage;
using zaltest::Lcg;
using objdetect_test::randomSource;
using objdetect_test::rotatedRectSum;

namespace {

// val + the sum of f(pixel) over rows < y and columns < x, in 64 bits.
template <class F>
long long directSum(const GuardedImage<uint8_t>& src, int x, int y, F f) {
    long long s = 0;
    for (int j = 0; j < y; ++j)
        for (int i = 0; i < x; ++i) s += f(src.at(i, j));
    return s;
}
long long plain(uint8_t p) { return p; }
long long square(uint8_t p) { return static_cast<long long>(p) * p; }

int32_t wrap32(long long v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(v))); }

const ImageSize kSizes[] = {{1, 1}, {1, 7}, {9, 1}, {13, 6}, {31, 17}};

TEST(Integral, UprightTablesEqualDirectSums) {
    for (ImageSize roi : kSizes) {
        SCOPED_TRACE(testing::Message() << roi.width << "x" << roi.height);
        const auto src = randomSource(roi.width, roi.height, roi.width * 31 + roi.height);
        const int tw = roi.width + 1, th = roi.height + 1;
        GuardedImage<int32_t> i32(tw, th), q32(tw, th), i32b(tw, th);
        GuardedImage<float> f32(tw, th), f32b(tw, th);
        GuardedImage<double> q64(tw, th), q64b(tw, th);
        ASSERT_EQ(zaliIntegral_8u32s_C1R(src.data(), src.step(), i32.data(), i32.step(), roi, -7), StatusOk);
        ASSERT_EQ(zaliIntegral_8u32f_C1R(src.data(), src.step(), f32.data(), f32.step(), roi, 2.5f), StatusOk);
        ASSERT_EQ(zaliSqrIntegral_8u32s_C1R(src.data(), src.step(), i32b.data(), i32b.step(), q32.data(), q32.step(),
                                            roi, 3, 11),
                  StatusOk);
        ASSERT_EQ(zaliSqrIntegral_8u32f64f_C1R(src.data(), src.step(), f32b.data(), f32b.step(), q64.data(),
                                               q64.step(), roi, 0.0f, 0.25),
                  StatusOk);
        GuardedImage<int32_t> i32c(tw, th);
        ASSERT_EQ(zaliSqrIntegral_8u32s64f_C1R(src.data(), src.step(), i32c.data(), i32c.step(), q64b.data(),
                                               q64b.step(), roi, 1, -1.0),
                  StatusOk);
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                const long long s = directSum(src, x, y, plain), q = directSum(src, x, y, square);
                ASSERT_EQ(i32.at(x, y), s - 7) << x << "," << y;
                ASSERT_EQ(f32.at(x, y), static_cast<float>(s) + 2.5f) << x << "," << y;
                ASSERT_EQ(i32b.at(x, y), s + 3);
                ASSERT_EQ(q32.at(x, y), q + 11);
                ASSERT_EQ(f32b.at(x, y), static_cast<float>(s));
                ASSERT_EQ(q64.at(x, y), static_cast<double>(q) + 0.25);
                ASSERT_EQ(i32c.at(x, y), s + 1);
                ASSERT_EQ(q64b.at(x, y), static_cast<double>(q) - 1.0);
            }
        EXPECT_TRUE(i32.guardsIntact() && q32.guardsIntact() && i32b.guardsIntact() && i32c.guardsIntact());
        EXPECT_TRUE(f32.guardsIntact() && f32b.guardsIntact() && q64.guardsIntact() && q64b.guardsIntact());
    }
}

TEST(Integral, OnePixelTable) {
    GuardedImage<uint8_t> src(1, 1);
    src.at(0, 0) = 200;
    GuardedImage<int32_t> t(2, 2);
    ASSERT_EQ(zaliIntegral_8u32s_C1R(src.data(), src.step(), t.data(), t.step(), src.roi(), 5), StatusOk);
    EXPECT_EQ(t.pixels(), (std::vector<int32_t>{5, 5, 5, 205}));
}

TEST(Integral, IntegerTablesWrapModulo32Bits) {
    const auto src = randomSource(17, 9, 5);
    GuardedImage<int32_t> sum(18, 10), sqr(18, 10);
    const int32_t val = INT32_MAX - 1000, valSqr = INT32_MAX - 5;
    ASSERT_EQ(zaliSqrIntegral_8u32s_C1R(src.data(), src.step(), sum.data(), sum.step(), sqr.data(), sqr.step(),
                                        src.roi(), val, valSqr),
              StatusOk);
    for (int y = 0; y <= 9; ++y)
        for (int x = 0; x <= 17; ++x) {
            ASSERT_EQ(sum.at(x, y), wrap32(val + directSum(src, x, y, plain)));
            ASSERT_EQ(sqr.at(x, y), wrap32(valSqr + directSum(src, x, y, square)));
        }
}

// The float table adds the integer row sum to the entry above in single
// precision: at 2^24 a running float sum would lose the first +1.
TEST(Integral, FloatTableAddsIntegerRowSums) {
    GuardedImage<uint8_t> src(2, 1);
    src.at(0, 0) = 1;
    src.at(1, 0) = 1;
    GuardedImage<float> t(3, 2);
    ASSERT_EQ(zaliIntegral_8u32f_C1R(src.data(), src.step(), t.data(), t.step(), src.roi(), 16777216.0f), StatusOk);
    EXPECT_EQ(t.at(1, 1), 16777216.0f);  // 1 + 2^24 rounds to even
    EXPECT_EQ(t.at(2, 1), 16777218.0f);
}

// Plain recurrence over a 64-bit array: the definition of the tilted table,
// with the pixel right of the region taken as 0.
std::vector<std::vector<long long>> tiltedReference(const GuardedImage<uint8_t>& src, long long val, bool squares) {
    const int w = src.width(), h = src.height();
    std::vector<std::vector<long long>> t(h + 2, std::vector<long long>(w + 2, val));
    auto px = [&](int j, int i) -> long long {
        const long long p = i < w ? src.at(i, j) : 0;
        return squares ? p * p : p;
    };
    for (int j = 0; j < h; ++j) {
        auto &cur = t[j + 2], &up = t[j + 1], &up2 = t[j];
        cur[0] = up[1];
        for (int x = 1; x <= w; ++x) cur[x] = px(j, x - 1) + px(j, x) + up[x - 1] + up[x + 1] - up2[x];
        cur[w + 1] = up[w];
    }
    return t;
}

TEST(TiltedIntegral, TablesFollowTheConeRecurrence) {
    for (ImageSize roi : kSizes) {
        SCOPED_TRACE(testing::Message() << roi.width << "x" << roi.height);
        const auto src = randomSource(roi.width, roi.height, roi.width + 77 * roi.height);
        const int tw = roi.width + 2, th = roi.height + 2;
        GuardedImage<int32_t> i32(tw, th), q32(tw, th), i32b(tw, th);
        GuardedImage<float> f32(tw, th), f32b(tw, th);
        GuardedImage<double> q64(tw, th), q64b(tw, th);
        ASSERT_EQ(zaliTiltedIntegral_8u32s_C1R(src.data(), src.step(), i32.data(), i32.step(), roi, 9), StatusOk);
        ASSERT_EQ(zaliTiltedIntegral_8u32f_C1R(src.data(), src.step(), f32.data(), f32.step(), roi, -3.0f), StatusOk);
        ASSERT_EQ(zaliTiltedSqrIntegral_8u32s_C1R(src.data(), src.step(), i32b.data(), i32b.step(), q32.data(),
                                                  q32.step(), roi, 0, 4),
                  StatusOk);
        ASSERT_EQ(zaliTiltedSqrIntegral_8u32f64f_C1R(src.data(), src.step(), f32b.data(), f32b.step(), q64.data(),
                                                     q64.step(), roi, 1.0f, 0.5),
                  StatusOk);
        GuardedImage<int32_t> i32c(tw, th);
        ASSERT_EQ(zaliTiltedSqrIntegral_8u32s64f_C1R(src.data(), src.step(), i32c.data(), i32c.step(), q64b.data(),
                                                     q64b.step(), roi, 2, 8.0),
                  StatusOk);
        const auto s9 = tiltedReference(src, 9, false), s0 = tiltedReference(src, 0, false);
        const auto q4 = tiltedReference(src, 4, true), q0 = tiltedReference(src, 0, true);
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                ASSERT_EQ(i32.at(x, y), s9[y][x]) << x << "," << y;
                ASSERT_EQ(f32.at(x, y), static_cast<float>(s0[y][x] - 3)) << x << "," << y;
                ASSERT_EQ(i32b.at(x, y), s0[y][x]);
                ASSERT_EQ(q32.at(x, y), q4[y][x]);
                ASSERT_EQ(f32b.at(x, y), static_cast<float>(s0[y][x] + 1));
                ASSERT_EQ(q64.at(x, y), static_cast<double>(q0[y][x]) + 0.5);
                ASSERT_EQ(i32c.at(x, y), s0[y][x] + 2);
                ASSERT_EQ(q64b.at(x, y), static_cast<double>(q0[y][x] + 8));
            }
        EXPECT_TRUE(i32.guardsIntact() && q32.guardsIntact() && i32b.guardsIntact() && i32c.guardsIntact());
        EXPECT_TRUE(f32.guardsIntact() && f32b.guardsIntact() && q64.guardsIntact() && q64b.guardsIntact());
    }
}

TEST(TiltedIntegral, OnePixelWideRegion) {
    const auto src = randomSource(1, 4, 3);
    GuardedImage<int32_t> t(3, 6);
    ASSERT_EQ(zaliTiltedIntegral_8u32s_C1R(src.data(), src.step(), t.data(), t.step(), src.roi(), 6), StatusOk);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(t.at(x, 0), 6) << x;
    for (int x = 0; x < 3; ++x) EXPECT_EQ(t.at(x, 1), 6) << x;
    EXPECT_EQ(t.at(0, 2), 6);
    EXPECT_EQ(t.at(1, 2), 6 + src.at(0, 0));  // the pixel right of the region counts 0
    EXPECT_TRUE(t.guardsIntact());
}

TEST(TiltedIntegral, FourCornersGiveRotatedRectangleSums) {
    const auto src = randomSource(16, 14, 21);
    GuardedImage<int32_t> t(18, 16);
    GuardedImage<double> q(18, 16);
    ASSERT_EQ(zaliTiltedSqrIntegral_8u32s64f_C1R(src.data(), src.step(), t.data(), t.step(), q.data(), q.step(),
                                                 src.roi(), 100, 0.0),
              StatusOk);
    Lcg rng(8);
    for (int k = 0; k < 60; ++k) {
        const int w = rng.uniform(1, 5), h = rng.uniform(1, 5);
        const int r = rng.uniform(0, 15 - w - h), c = rng.uniform(h + 1, 16 - w);
        int count = 0;
        const long long sum = rotatedRectSum(src, r, c, w, h, false, &count);
        EXPECT_EQ(count, 2 * w * h);
        EXPECT_EQ(t.at(c + w - h, r + w + h) - t.at(c - h, r + h) - t.at(c + w, r + w) + t.at(c, r), sum)
            << r << "," << c << " " << w << "x" << h;
        EXPECT_EQ(q.at(c + w - h, r + w + h) - q.at(c - h, r + h) - q.at(c + w, r + w) + q.at(c, r),
                  static_cast<double>(rotatedRectSum(src, r, c, w, h, true, &count)));
    }
}

TEST(IntegralChecks, OrderAndStatuses) {
    GuardedImage<uint8_t> src(4, 3);
    GuardedImage<int32_t> t(6, 5);
    GuardedImage<double> q(6, 5);
    const ImageSize roi{4, 3}, empty{0, 3};
    // Pointers before sizes, sizes before steps, lengths before alignment.
    EXPECT_EQ(zaliIntegral_8u32s_C1R(nullptr, src.step(), t.data(), t.step(), empty, 0), StatusNullPointer);
    EXPECT_EQ(zaliSqrIntegral_8u32s64f_C1R(src.data(), src.step(), t.data(), t.step(), nullptr, q.step(), empty, 0, 0),
              StatusNullPointer);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), 0, t.data(), t.step(), empty, 0), StatusSizeError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), 3, t.data(), 19, roi, 0), StatusStepError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), 4, t.data(), 19, roi, 0), StatusStepError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), 4, t.data(), 21, roi, 0), StatusStepAlignmentError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), 4, t.data(), 20, roi, 0), StatusOk);
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(src.data(), 4, reinterpret_cast<float*>(t.data()), 20, q.data(), 39, roi,
                                           0, 0),
              StatusStepError);
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(src.data(), 4, reinterpret_cast<float*>(t.data()), 22, q.data(), 44, roi,
                                           0, 0),
              StatusStepAlignmentError);
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(src.data(), 4, reinterpret_cast<float*>(t.data()), 20, q.data(), 44, roi,
                                           0, 0),
              StatusStepAlignmentError);
    // Tilted tables need W + 2 columns.
    EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(src.data(), 4, t.data(), 20, roi, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(src.data(), 4, t.data(), 24, roi, 0), StatusOk);
    EXPECT_EQ(zaliTiltedSqrIntegral_8u32s64f_C1R(src.data(), 4, t.data(), 24, q.data(), 40, roi, 0, 0),
              StatusStepError);
    EXPECT_EQ(zaliTiltedSqrIntegral_8u32s_C1R(src.data(), 4, t.data(), 24, t.data(), 26, roi, 0, 0),
              StatusStepAlignmentError);
    // Bottom-up layouts fail the length test.
    GuardedImage<int32_t> down(5, 4, 1, zaltest::Layout::BottomUp);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), src.step(), down.data(), down.step(), roi, 0), StatusStepError);
    EXPECT_TRUE(down.guardsIntact());
    for (int32_t v : down.pixels()) EXPECT_EQ(v, 0);
}

}  // namespace
