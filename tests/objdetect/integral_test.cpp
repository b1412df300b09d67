// Integral images against direct sums over the source pixels, and window
// standard deviations against deviations of directly summed windows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "objdetect/reference.h"

using namespace objdetect_test;

namespace {

// Sums stay far below 2^24, so every float and double entry is exact.
template <class T>
T expected(long long ref, double offset) { return static_cast<T>(static_cast<double>(ref) + offset); }

TEST(Integral, UprightTablesEqualDirectSums) {
    for (ImageSize roi : {ImageSize{1, 1}, ImageSize{1, 7}, ImageSize{9, 1}, ImageSize{31, 17}}) {
        SCOPED_TRACE(testing::Message() << roi.width << "x" << roi.height);
        const auto src = randomSource(roi.width, roi.height, roi.width * 31 + roi.height);
        const AllTables t(src, false, 1);
        t.forEach([&](const auto& table, double offset, bool squares) {
            using T = std::decay_t<decltype(table.at(0, 0))>;
            for (int y = 0; y <= roi.height; ++y)
                for (int x = 0; x <= roi.width; ++x)
                    ASSERT_EQ(table.at(x, y), expected<T>(uprightRectSum(src, 0, 0, x, y, squares), offset))
                        << x << "," << y << (squares ? " squares" : "");
        });
        EXPECT_TRUE(t.guardsIntact());
    }
}

// Every tilted builder: four corners of a rotated rectangle give the sum
// (of squares) of exactly the 2 w h pixels it covers; the offsets cancel.
TEST(TiltedIntegral, FourCornersGiveRotatedRectangleSums) {
    const auto src = randomSource(16, 14, 21);
    const AllTables t(src, true, 1);
    Lcg rng(8);
    for (int k = 0; k < 60; ++k) {
        const int w = rng.uniform(1, 5), h = rng.uniform(1, 5);
        const int r = rng.uniform(0, 15 - w - h), c = rng.uniform(h, 16 - w);
        SCOPED_TRACE(testing::Message() << r << "," << c << " " << w << "x" << h);
        int count = 0;
        const long long sums[2] = {rotatedRectSum(src, r, c, w, h, false, &count),
                                   rotatedRectSum(src, r, c, w, h, true)};
        EXPECT_EQ(count, 2 * w * h);
        t.forEach([&](const auto& q, double, bool squares) {
            using T = std::decay_t<decltype(q.at(0, 0))>;
            EXPECT_EQ(q.at(c + w - h, r + w + h) - q.at(c - h, r + h) - q.at(c + w, r + w) + q.at(c, r),
                      static_cast<T>(sums[squares]));
        });
    }
    EXPECT_TRUE(t.guardsIntact());
}

TEST(IntegralChecks, Order) {
    GuardedImage<uint8_t> src(4, 3);
    int32_t t[40] = {};
    double q[40] = {};
    float* f = reinterpret_cast<float*>(t);
    const uint8_t* s = src.data();
    const ImageSize roi{4, 3};
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 4, t, -20, roi, 0), StatusStepError);  // bottom-up tables fail the length test
    // Both table lengths before either alignment.
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(s, 4, f, 22, q, 39, roi, 0, 0), StatusStepError);
    EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(s, 4, f, 20, q, 44, roi, 0, 0), StatusStepAlignmentError);
    // Tilted tables need W + 2 columns.
    EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(s, 4, t, 20, roi, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedSqrIntegral_8u32s64f_C1R(s, 4, t, 24, q, 40, roi, 0, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedSqrIntegral_8u32s_C1R(s, 4, t, 24, t, 26, roi, 0, 0), StatusStepAlignmentError);
    EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(s, 4, t, 24, roi, 0), StatusOk);
}

// All four variants of one geometry over zero-based tables of `src`, against
// window sums `sums(x, y, squares)` taken directly from the source.
template <class Fn>
void expectDeviations(bool tilted, const GuardedImage<uint8_t>& src, ImageSize roi, ImageRect rect, long long n,
                      Fn sums) {
    const AllTables t(src, tilted, 0);
    GuardedImage<float> d32f(roi.width, roi.height), d32s32f(roi.width, roi.height);
    GuardedImage<int32_t> dDown(roi.width, roi.height), dUp(roi.width, roi.height);
    auto devSfs = tilted ? zaliTiltedRectStdDev_32s_C1RSfs : zaliRectStdDev_32s_C1RSfs;
    ASSERT_EQ((tilted ? zaliTiltedRectStdDev_32f_C1R : zaliRectStdDev_32f_C1R)(
                  t.f32b.data(), t.f32b.step(), t.q64.data(), t.q64.step(), d32f.data(), d32f.step(), roi, rect),
              StatusOk);
    ASSERT_EQ((tilted ? zaliTiltedRectStdDev_32s32f_C1R : zaliRectStdDev_32s32f_C1R)(
                  t.i32b.data(), t.i32b.step(), t.q64.data(), t.q64.step(), d32s32f.data(), d32s32f.step(), roi, rect),
              StatusOk);
    for (auto [d, scale] : {std::pair{&dDown, 2}, std::pair{&dUp, -3}})
        ASSERT_EQ(devSfs(t.i32b.data(), t.i32b.step(), t.q32.data(), t.q32.step(), d->data(), d->step(), roi, rect,
                         scale), StatusOk);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) {
            const double mean = static_cast<double>(sums(x, y, false)) / n;
            const double var = static_cast<double>(sums(x, y, true)) / n - mean * mean;
            const double ref = var > 0 ? std::sqrt(var) : 0.0;
            ASSERT_NEAR(d32f.at(x, y), ref, 1e-3 * ref + 1e-3) << x << "," << y;
            ASSERT_NEAR(d32s32f.at(x, y), ref, 1e-3 * ref + 1e-3);
            ASSERT_NEAR(dDown.at(x, y), std::floor(ref / 4 + 0.5), 1.0);
            ASSERT_NEAR(dUp.at(x, y), std::floor(ref * 8 + 0.5), 1.0);
        }
    EXPECT_TRUE(d32f.guardsIntact() && d32s32f.guardsIntact() && dDown.guardsIntact() && dUp.guardsIntact());
}

TEST(RectStdDev, WindowsMatchDirectDeviation) {
    auto src = randomSource(23, 19, 4);
    // A constant block, where rounding may leave a variance just below 0.
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) src.at(x, y) = 173;
    expectDeviations(false, src, ImageSize{17, 13}, ImageRect{2, 3, 5, 4}, 20, [&](int x, int y, bool squares) {
        return uprightRectSum(src, x + 2, y + 3, 5, 4, squares);
    });
    // Top corner at table row y + 6, column x + 4: the diamonds stay inside
    // the tables' interior columns.
    const auto tsrc = randomSource(20, 18, 12);
    expectDeviations(true, tsrc, ImageSize{10, 6}, ImageRect{5, 1, 4, 3}, 24, [&](int x, int y, bool squares) {
        return rotatedRectSum(tsrc, y + 6, x + 4, 4, 3, squares);
    });
}

// Hand-made 2x3 tables: a window of two pixels {0, 6} has deviation exactly 3,
// a window of one pixel with sum 3 and square sum 2 has negative variance.
TEST(RectStdDev, ScaledResultsRoundHalfUpAndNegativeVarianceGivesZero) {
    const int32_t sum[6] = {0, 0, 0, 0, 0, 6}, sqr[6] = {0, 0, 0, 0, 0, 36};
    const int32_t sumN[6] = {0, 0, 0, 0, 3, 0}, sqrN[6] = {0, 0, 0, 0, 2, 0};
    auto run = [&](const int32_t* s, const int32_t* q, int w, int scale) {
        int32_t out = -1;
        EXPECT_EQ(zaliRectStdDev_32s_C1RSfs(s, 12, q, 12, &out, 4, ImageSize{1, 1}, ImageRect{0, 0, w, 1}, scale),
                  StatusOk);
        return out;
    };
    EXPECT_EQ(run(sum, sqr, 2, 0), 3);
    EXPECT_EQ(run(sum, sqr, 2, 1), 2);   // floor(1.5 + 0.5)
    EXPECT_EQ(run(sum, sqr, 2, 2), 1);   // floor(0.75 + 0.5)
    EXPECT_EQ(run(sum, sqr, 2, -1), 6);
    EXPECT_EQ(run(sum, sqr, 2, 32), 3);  // the shift count is taken modulo 32
    EXPECT_EQ(run(sum, sqr, 2, -31), INT32_MAX);  // 3 * 2^31 saturates
    EXPECT_EQ(run(sumN, sqrN, 1, 0), 0);
}

TEST(RectStdDevChecks, Order) {
    int32_t sum[64] = {}, sqr[64] = {};
    double sqr64[64] = {};
    float dst[16] = {};
    const ImageRect rect{1, 1, 3, 3}, flat{1, 1, 3, 0};
    const ImageSize roi{4, 4};
    auto upright = [&](int sStep, int qStep, int dStep, ImageRect w) {
        return zaliRectStdDev_32s32f_C1R(sum, sStep, sqr64, qStep, dst, dStep, roi, w);
    };
    EXPECT_EQ(upright(28, 64, 16, flat), StatusStepError);  // 4 * (4 + 1 + 3)
    EXPECT_EQ(upright(32, 64, -16, rect), StatusStepError);
    EXPECT_EQ(upright(32, 68, 16, flat), StatusStepAlignmentError);
    EXPECT_EQ(upright(32, 64, 16, flat), StatusSizeError);  // the window after the steps
    EXPECT_EQ(upright(32, 64, 16, ImageRect{1, 1, INT32_MAX, 1}), StatusStepError);  // no overflow
    // Tilted span: rect.x + rect.y + rect.width + rect.height + W - 1 = 11 elements.
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum, 40, sqr, 44, sqr, 16, roi, rect, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum, 44, sqr, 46, sqr, 16, roi, rect, 0), StatusStepAlignmentError);
}

}  // namespace
