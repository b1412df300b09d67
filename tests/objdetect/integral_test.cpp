// Integral images against direct sums over the source pixels.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/test_image.h"
#include "objdetect/reference.h"

using zaltest::GuardedImage;
using namespace objdetect_test;

namespace {

int32_t wrap32(long long v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(v))); }

TEST(Integral, UprightTablesEqualDirectSums) {
    for (ImageSize roi : {ImageSize{1, 1}, ImageSize{1, 7}, ImageSize{9, 1}, ImageSize{31, 17}}) {
        SCOPED_TRACE(testing::Message() << roi.width << "x" << roi.height);
        const auto src = randomSource(roi.width, roi.height, roi.width * 31 + roi.height);
        const int tw = roi.width + 1, th = roi.height + 1;
        GuardedImage<int32_t> i32(tw, th), i32b(tw, th), i32c(tw, th), q32(tw, th);
        GuardedImage<float> f32(tw, th), f32b(tw, th);
        GuardedImage<double> q64(tw, th), q64b(tw, th);
        const uint8_t* s = src.data();
        const int ss = src.step();
        ASSERT_EQ(zaliIntegral_8u32s_C1R(s, ss, i32.data(), i32.step(), roi, -7), StatusOk);
        ASSERT_EQ(zaliIntegral_8u32f_C1R(s, ss, f32.data(), f32.step(), roi, 2.5f), StatusOk);
        ASSERT_EQ(zaliSqrIntegral_8u32s_C1R(s, ss, i32b.data(), i32b.step(), q32.data(), q32.step(), roi, 3, 11),
                  StatusOk);
        ASSERT_EQ(zaliSqrIntegral_8u32f64f_C1R(s, ss, f32b.data(), f32b.step(), q64.data(), q64.step(), roi, 0, 0.25),
                  StatusOk);
        ASSERT_EQ(zaliSqrIntegral_8u32s64f_C1R(s, ss, i32c.data(), i32c.step(), q64b.data(), q64b.step(), roi, 1, -1),
                  StatusOk);
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                const long long sum = uprightRectSum(src, 0, 0, x, y, false), sq = uprightRectSum(src, 0, 0, x, y, true);
                ASSERT_EQ(i32.at(x, y), sum - 7) << x << "," << y;
                ASSERT_EQ(f32.at(x, y), static_cast<float>(sum) + 2.5f);
                ASSERT_EQ(i32b.at(x, y), sum + 3);
                ASSERT_EQ(q32.at(x, y), sq + 11);
                ASSERT_EQ(f32b.at(x, y), static_cast<float>(sum));
                ASSERT_EQ(q64.at(x, y), static_cast<double>(sq) + 0.25);
                ASSERT_EQ(i32c.at(x, y), sum + 1);
                ASSERT_EQ(q64b.at(x, y), static_cast<double>(sq) - 1.0);
            }
        EXPECT_TRUE(i32.guardsIntact() && q32.guardsIntact() && i32b.guardsIntact() && i32c.guardsIntact());
        EXPECT_TRUE(f32.guardsIntact() && f32b.guardsIntact() && q64.guardsIntact() && q64b.guardsIntact());
    }
}

TEST(Integral, IntegerTablesWrapAndFloatTablesAddRowSums) {
    const auto src = randomSource(17, 9, 5);
    GuardedImage<int32_t> sum(18, 10), sqr(18, 10);
    ASSERT_EQ(zaliSqrIntegral_8u32s_C1R(src.data(), src.step(), sum.data(), sum.step(), sqr.data(), sqr.step(),
                                        src.roi(), INT32_MAX - 1000, INT32_MAX - 5),
              StatusOk);
    for (int y = 0; y <= 9; ++y)
        for (int x = 0; x <= 17; ++x) {
            ASSERT_EQ(sum.at(x, y), wrap32(INT32_MAX - 1000LL + uprightRectSum(src, 0, 0, x, y, false)));
            ASSERT_EQ(sqr.at(x, y), wrap32(INT32_MAX - 5LL + uprightRectSum(src, 0, 0, x, y, true)));
        }
    // The integer row sum 2 is added to 2^24 at once; a running float sum
    // would have lost the first +1.
    GuardedImage<uint8_t> ones(2, 1);
    ones.fill([](int, int, int) { return 1; });
    GuardedImage<float> t(3, 2);
    ASSERT_EQ(zaliIntegral_8u32f_C1R(ones.data(), ones.step(), t.data(), t.step(), ones.roi(), 16777216.0f), StatusOk);
    EXPECT_EQ(t.at(1, 1), 16777216.0f);  // 1 + 2^24 rounds to even
    EXPECT_EQ(t.at(2, 1), 16777218.0f);
}

// Every tilted builder: four corners of a rotated rectangle give the sum
// (of squares) of exactly the 2 w h pixels it covers.
TEST(TiltedIntegral, FourCornersGiveRotatedRectangleSums) {
    const auto src = randomSource(16, 14, 21);
    const ImageSize roi = src.roi();
    GuardedImage<int32_t> i32(18, 16), i32b(18, 16), i32c(18, 16), q32(18, 16);
    GuardedImage<float> f32(18, 16), f32b(18, 16);
    GuardedImage<double> q64(18, 16), q64b(18, 16);
    const uint8_t* s = src.data();
    const int ss = src.step();
    ASSERT_EQ(zaliTiltedIntegral_8u32s_C1R(s, ss, i32.data(), i32.step(), roi, 9), StatusOk);
    ASSERT_EQ(zaliTiltedIntegral_8u32f_C1R(s, ss, f32.data(), f32.step(), roi, -3.0f), StatusOk);
    ASSERT_EQ(zaliTiltedSqrIntegral_8u32s_C1R(s, ss, i32b.data(), i32b.step(), q32.data(), q32.step(), roi, 0, 4),
              StatusOk);
    ASSERT_EQ(zaliTiltedSqrIntegral_8u32f64f_C1R(s, ss, f32b.data(), f32b.step(), q64.data(), q64.step(), roi, 1, 0.5),
              StatusOk);
    ASSERT_EQ(zaliTiltedSqrIntegral_8u32s64f_C1R(s, ss, i32c.data(), i32c.step(), q64b.data(), q64b.step(), roi, 2, 8),
              StatusOk);
    Lcg rng(8);
    for (int k = 0; k < 60; ++k) {
        const int w = rng.uniform(1, 5), h = rng.uniform(1, 5);
        const int r = rng.uniform(0, 15 - w - h), c = rng.uniform(h, 16 - w);
        auto corners = [&](auto& t) {
            return t.at(c + w - h, r + w + h) - t.at(c - h, r + h) - t.at(c + w, r + w) + t.at(c, r);
        };
        int count = 0;
        const long long sum = rotatedRectSum(src, r, c, w, h, false, &count);
        const long long sq = rotatedRectSum(src, r, c, w, h, true, &count);
        SCOPED_TRACE(testing::Message() << r << "," << c << " " << w << "x" << h);
        EXPECT_EQ(count, 2 * w * h);
        EXPECT_EQ(corners(i32), sum);
        EXPECT_EQ(corners(f32), static_cast<float>(sum));
        EXPECT_EQ(corners(i32b), sum);
        EXPECT_EQ(corners(q32), sq);
        EXPECT_EQ(corners(f32b), static_cast<float>(sum));
        EXPECT_EQ(corners(q64), static_cast<double>(sq));
        EXPECT_EQ(corners(i32c), sum);
        EXPECT_EQ(corners(q64b), static_cast<double>(sq));
    }
    EXPECT_TRUE(i32.guardsIntact() && q32.guardsIntact() && i32b.guardsIntact() && i32c.guardsIntact());
    EXPECT_TRUE(f32.guardsIntact() && f32b.guardsIntact() && q64.guardsIntact() && q64b.guardsIntact());
}

// A one-pixel-wide region: 3 columns, rows 0 and 1 hold val, the border
// column copies the row above, and the pixel right of the region counts 0.
TEST(TiltedIntegral, OnePixelWideRegion) {
    const auto src = randomSource(1, 4, 3);
    GuardedImage<int32_t> t(3, 6);
    ASSERT_EQ(zaliTiltedIntegral_8u32s_C1R(src.data(), src.step(), t.data(), t.step(), src.roi(), 6), StatusOk);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(t.at(x, 0), 6);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(t.at(x, 1), 6);
    EXPECT_EQ(t.at(0, 2), 6);
    EXPECT_EQ(t.at(1, 2), 6 + src.at(0, 0));
    EXPECT_EQ(t.at(2, 2), 6);
    EXPECT_TRUE(t.guardsIntact());
}

TEST(IntegralChecks, OrderAndStatuses) {
    GuardedImage<uint8_t> src(4, 3);
    int32_t t[40] = {};
    double q[40] = {};
    float* f = reinterpret_cast<float*>(t);
    const uint8_t* s = src.data();
    const ImageSize roi{4, 3}, empty{0, 3};
    EXPECT_EQ(zaliIntegral_8u32s_C1R(nullptr, 0, t, 20, empty, 0), StatusNullPointer);
    EXPECT_EQ(zaliSqrIntegral_8u32s64f_C1R(s, 4, t, 20, nullptr, 0, empty, 0, 0), StatusNullPointer);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 0, t, 0, empty, 0), StatusSizeError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 3, t, 21, roi, 0), StatusStepError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 4, t, 19, roi, 0), StatusStepError);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 4, t, -20, roi, 0), StatusStepError);  // bottom-up tables fail the length test
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 4, t, 21, roi, 0), StatusStepAlignmentError);
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(s, 4, f, 22, q, 39, roi, 0, 0), StatusStepError);
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(s, 4, f, 20, q, 44, roi, 0, 0), StatusStepAlignmentError);
    // Tilted tables need W + 2 columns.
    EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(s, 4, t, 20, roi, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedSqrIntegral_8u32s64f_C1R(s, 4, t, 24, q, 40, roi, 0, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedSqrIntegral_8u32s_C1R(s, 4, t, 24, t, 26, roi, 0, 0), StatusStepAlignmentError);
    for (int32_t v : t) EXPECT_EQ(v, 0);
    EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(s, 4, t, 24, roi, 0), StatusOk);
}

}  // namespace
