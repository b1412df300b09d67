// Window standard deviation against deviations of directly summed windows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "common/test_image.h"
#include "objdetect/reference.h"

using zaltest::GuardedImage;
using namespace objdetect_test;

namespace {

double referenceDeviation(long long s1, long long s2, long long n) {
    const double mean = static_cast<double>(s1) / n, var = static_cast<double>(s2) / n - mean * mean;
    return var > 0 ? std::sqrt(var) : 0.0;
}

// All three variants of one geometry over tables of a random source, against
// window sums `sums(x, y, squares)` taken directly from the source.
template <class Fn>
void expectDeviations(bool tilted, const GuardedImage<uint8_t>& src, ImageSize roi, ImageRect rect, long long n,
                      Fn sums) {
    const int extra = tilted ? 2 : 1, tw = src.width() + extra, th = src.height() + extra;
    GuardedImage<int32_t> sum32s(tw, th), sqr32s(tw, th);
    GuardedImage<float> sum32f(tw, th);
    GuardedImage<double> sqr64f(tw, th);
    auto build32s = tilted ? zaliTiltedSqrIntegral_8u32s_C1R : zaliSqrIntegral_8u32s_C1R;
    auto build32f = tilted ? zaliTiltedSqrIntegral_8u32f64f_C1R : zaliSqrIntegral_8u32f64f_C1R;
    ASSERT_EQ(build32s(src.data(), src.step(), sum32s.data(), sum32s.step(), sqr32s.data(), sqr32s.step(), src.roi(),
                       0, 0),
              StatusOk);
    ASSERT_EQ(build32f(src.data(), src.step(), sum32f.data(), sum32f.step(), sqr64f.data(), sqr64f.step(), src.roi(),
                       0, 0),
              StatusOk);
    GuardedImage<float> d32f(roi.width, roi.height), d32s32f(roi.width, roi.height);
    GuardedImage<int32_t> dDown(roi.width, roi.height), dUp(roi.width, roi.height);
    auto dev32f = tilted ? zaliTiltedRectStdDev_32f_C1R : zaliRectStdDev_32f_C1R;
    auto dev32s32f = tilted ? zaliTiltedRectStdDev_32s32f_C1R : zaliRectStdDev_32s32f_C1R;
    auto devSfs = tilted ? zaliTiltedRectStdDev_32s_C1RSfs : zaliRectStdDev_32s_C1RSfs;
    ASSERT_EQ(dev32f(sum32f.data(), sum32f.step(), sqr64f.data(), sqr64f.step(), d32f.data(), d32f.step(), roi, rect),
              StatusOk);
    ASSERT_EQ(dev32s32f(sum32s.data(), sum32s.step(), sqr64f.data(), sqr64f.step(), d32s32f.data(), d32s32f.step(),
                        roi, rect),
              StatusOk);
    ASSERT_EQ(devSfs(sum32s.data(), sum32s.step(), sqr32s.data(), sqr32s.step(), dDown.data(), dDown.step(), roi,
                     rect, 2),
              StatusOk);
    ASSERT_EQ(devSfs(sum32s.data(), sum32s.step(), sqr32s.data(), sqr32s.step(), dUp.data(), dUp.step(), roi, rect,
                     -3),
              StatusOk);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) {
            const double ref = referenceDeviation(sums(x, y, false), sums(x, y, true), n);
            ASSERT_NEAR(d32f.at(x, y), ref, 1e-3 * ref + 1e-3) << x << "," << y;
            ASSERT_NEAR(d32s32f.at(x, y), ref, 1e-3 * ref + 1e-3);
            ASSERT_NEAR(dDown.at(x, y), std::floor(ref / 4 + 0.5), 1.0);
            ASSERT_NEAR(dUp.at(x, y), std::floor(ref * 8 + 0.5), 1.0);
        }
    EXPECT_TRUE(d32f.guardsIntact() && d32s32f.guardsIntact() && dDown.guardsIntact() && dUp.guardsIntact());
}

TEST(RectStdDev, UprightWindowsMatchDirectDeviation) {
    const auto src = randomSource(23, 19, 4);
    expectDeviations(false, src, ImageSize{17, 13}, ImageRect{2, 3, 5, 4}, 20, [&](int x, int y, bool squares) {
        return uprightRectSum(src, x + 2, y + 3, 5, 4, squares);
    });
}

// Top corner at table row py + 6, column px + 4: the diamonds stay inside
// the tables' interior columns.
TEST(RectStdDev, TiltedWindowsMatchDirectDeviation) {
    const auto src = randomSource(20, 18, 12);
    int count = 0;
    expectDeviations(true, src, ImageSize{10, 6}, ImageRect{5, 1, 4, 3}, 24, [&](int x, int y, bool squares) {
        return rotatedRectSum(src, y + 6, x + 4, 4, 3, squares, &count);
    });
}

TEST(RectStdDev, NonPositiveVarianceGivesZero) {
    GuardedImage<uint8_t> src(9, 9);
    src.fill([](int, int, int) { return 173; });
    GuardedImage<float> sum(10, 10), out(3, 3);
    GuardedImage<double> sqr(10, 10);
    ASSERT_EQ(zaliSqrIntegral_8u32f64f_C1R(src.data(), src.step(), sum.data(), sum.step(), sqr.data(), sqr.step(),
                                           src.roi(), 0, 0),
              StatusOk);
    ASSERT_EQ(zaliRectStdDev_32f_C1R(sum.data(), sum.step(), sqr.data(), sqr.step(), out.data(), out.step(), out.roi(),
                                     ImageRect{1, 1, 5, 3}),
              StatusOk);
    for (float v : out.pixels()) EXPECT_EQ(v, 0.0f);
    // Hand-made 2x2 tables: one pixel with sum 3 and square sum 2.
    const int32_t sumI[4] = {0, 0, 0, 3}, sqrI[4] = {0, 0, 0, 2};
    int32_t outI = -1;
    ASSERT_EQ(zaliRectStdDev_32s_C1RSfs(sumI, 8, sqrI, 8, &outI, 4, ImageSize{1, 1}, ImageRect{0, 0, 1, 1}, 0),
              StatusOk);
    EXPECT_EQ(outI, 0);
}

// A window of two pixels {0, 6} has deviation exactly 3.
TEST(RectStdDev, ScaledResultsRoundHalfUp) {
    const int32_t sum[6] = {0, 0, 0, 0, 0, 6}, sqr[6] = {0, 0, 0, 0, 0, 36};
    auto run = [&](int scale) {
        int32_t out = -1;
        EXPECT_EQ(zaliRectStdDev_32s_C1RSfs(sum, 12, sqr, 12, &out, 4, ImageSize{1, 1}, ImageRect{0, 0, 2, 1}, scale),
                  StatusOk);
        return out;
    };
    EXPECT_EQ(run(0), 3);
    EXPECT_EQ(run(1), 2);   // floor(1.5 + 0.5)
    EXPECT_EQ(run(2), 1);   // floor(0.75 + 0.5)
    EXPECT_EQ(run(-1), 6);
    EXPECT_EQ(run(32), 3);  // the shift count is taken modulo 32
    EXPECT_EQ(run(-31), INT32_MAX);  // 3 * 2^31 saturates
}

TEST(RectStdDevChecks, OrderAndStatuses) {
    int32_t sum[64] = {}, sqr[64] = {};
    double sqr64[64] = {};
    float dst[16] = {};
    const ImageRect rect{1, 1, 3, 3}, flat{1, 1, 3, 0};
    const ImageSize roi{4, 4};
    auto upright = [&](const int32_t* s, int sStep, int qStep, int dStep, ImageSize r, ImageRect w) {
        return zaliRectStdDev_32s32f_C1R(s, sStep, sqr64, qStep, dst, dStep, r, w);
    };
    EXPECT_EQ(upright(nullptr, 32, 64, 16, ImageSize{0, 4}, rect), StatusNullPointer);
    EXPECT_EQ(upright(sum, 0, 64, 16, ImageSize{4, 0}, rect), StatusSizeError);
    EXPECT_EQ(upright(sum, 32, 64, 15, roi, flat), StatusStepError);
    EXPECT_EQ(upright(sum, 28, 64, 16, roi, flat), StatusStepError);  // 4 * (4 + 1 + 3)
    EXPECT_EQ(upright(sum, 32, 56, 16, roi, flat), StatusStepError);
    EXPECT_EQ(upright(sum, 32, 64, -16, roi, rect), StatusStepError);
    EXPECT_EQ(upright(sum, 32, 68, 16, roi, flat), StatusStepAlignmentError);
    EXPECT_EQ(upright(sum, 32, 64, 16, roi, flat), StatusSizeError);  // the window after the steps
    EXPECT_EQ(upright(sum, 32, 64, 16, roi, ImageRect{-1, 1, 3, 3}), StatusSizeError);
    EXPECT_EQ(upright(sum, 32, 64, 16, roi, ImageRect{1, 1, INT32_MAX, 1}), StatusStepError);  // no overflow
    // Tilted span: rect.x + rect.y + rect.width + rect.height + W - 1 = 11 elements.
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum, 40, sqr, 44, sqr, 16, roi, rect, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum, 44, sqr, 40, sqr, 16, roi, rect, 0), StatusStepError);
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum, 44, sqr, 46, sqr, 16, roi, rect, 0), StatusStepAlignmentError);
    for (float v : dst) EXPECT_EQ(v, 0.0f);
    for (int32_t v : sqr) EXPECT_EQ(v, 0);
}

}  // namespace
