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

struct UprightTables {
    GuardedImage<int32_t> sum32s, sqr32s;
    GuardedImage<float> sum32f;
    GuardedImage<double> sqr64f;
    explicit UprightTables(const GuardedImage<uint8_t>& src)
        : sum32s(src.width() + 1, src.height() + 1), sqr32s(src.width() + 1, src.height() + 1),
          sum32f(src.width() + 1, src.height() + 1), sqr64f(src.width() + 1, src.height() + 1) {
        EXPECT_EQ(zaliSqrIntegral_8u32s_C1R(src.data(), src.step(), sum32s.data(), sum32s.step(), sqr32s.data(),
                                            sqr32s.step(), src.roi(), 0, 0),
                  StatusOk);
        EXPECT_EQ(zaliSqrIntegral_8u32f64f_C1R(src.data(), src.step(), sum32f.data(), sum32f.step(), sqr64f.data(),
                                               sqr64f.step(), src.roi(), 0.0f, 0.0),
                  StatusOk);
    }
};

TEST(RectStdDev, UprightWindowsMatchDirectDeviation) {
    const auto src = randomSource(23, 19, 4);
    UprightTables t(src);
    const ImageRect rect{2, 3, 5, 4};
    const ImageSize roi{23 - 2 - 5 + 1, 19 - 3 - 4 + 1};
    GuardedImage<float> d32f(roi.width, roi.height), d32s32f(roi.width, roi.height);
    GuardedImage<int32_t> dSfs(roi.width, roi.height), dSfsUp(roi.width, roi.height);
    ASSERT_EQ(zaliRectStdDev_32f_C1R(t.sum32f.data(), t.sum32f.step(), t.sqr64f.data(), t.sqr64f.step(), d32f.data(),
                                     d32f.step(), roi, rect),
              StatusOk);
    ASSERT_EQ(zaliRectStdDev_32s32f_C1R(t.sum32s.data(), t.sum32s.step(), t.sqr64f.data(), t.sqr64f.step(),
                                        d32s32f.data(), d32s32f.step(), roi, rect),
              StatusOk);
    ASSERT_EQ(zaliRectStdDev_32s_C1RSfs(t.sum32s.data(), t.sum32s.step(), t.sqr32s.data(), t.sqr32s.step(),
                                        dSfs.data(), dSfs.step(), roi, rect, 2),
              StatusOk);
    ASSERT_EQ(zaliRectStdDev_32s_C1RSfs(t.sum32s.data(), t.sum32s.step(), t.sqr32s.data(), t.sqr32s.step(),
                                        dSfsUp.data(), dSfsUp.step(), roi, rect, -3),
              StatusOk);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) {
            const double ref = referenceDeviation(uprightRectSum(src, x + 2, y + 3, 5, 4, false),
                                                  uprightRectSum(src, x + 2, y + 3, 5, 4, true), 20);
            ASSERT_NEAR(d32f.at(x, y), ref, 1e-3 * ref + 1e-3) << x << "," << y;
            ASSERT_NEAR(d32s32f.at(x, y), ref, 1e-3 * ref + 1e-3);
            ASSERT_NEAR(dSfs.at(x, y), std::floor(ref / 4 + 0.5), 1.0);
            ASSERT_NEAR(dSfsUp.at(x, y), std::floor(ref * 8 + 0.5), 1.0);
        }
    EXPECT_TRUE(d32f.guardsIntact() && d32s32f.guardsIntact() && dSfs.guardsIntact() && dSfsUp.guardsIntact());
}

TEST(RectStdDev, TiltedWindowsMatchDirectDeviation) {
    const auto src = randomSource(20, 18, 12);
    const int tw = 22, th = 20;
    GuardedImage<int32_t> sum32s(tw, th), sqr32s(tw, th), unused(tw, th);
    GuardedImage<float> sum32f(tw, th);
    GuardedImage<double> sqr64f(tw, th);
    ASSERT_EQ(zaliTiltedSqrIntegral_8u32s_C1R(src.data(), src.step(), sum32s.data(), sum32s.step(), sqr32s.data(),
                                              sqr32s.step(), src.roi(), 0, 0),
              StatusOk);
    ASSERT_EQ(zaliTiltedSqrIntegral_8u32f64f_C1R(src.data(), src.step(), sum32f.data(), sum32f.step(),
                                                 sqr64f.data(), sqr64f.step(), src.roi(), 0.0f, 0.0),
              StatusOk);
    // Top corner at row py + 6, column px + 3; the diamond stays inside
    // columns 1..W of the tables and rows up to H + 1.
    const ImageRect rect{5, 1, 4, 3};
    const ImageSize roi{10, 6};
    GuardedImage<float> d32f(roi.width, roi.height), d32s32f(roi.width, roi.height);
    GuardedImage<int32_t> dSfs(roi.width, roi.height);
    ASSERT_EQ(zaliTiltedRectStdDev_32f_C1R(sum32f.data(), sum32f.step(), sqr64f.data(), sqr64f.step(), d32f.data(),
                                           d32f.step(), roi, rect),
              StatusOk);
    ASSERT_EQ(zaliTiltedRectStdDev_32s32f_C1R(sum32s.data(), sum32s.step(), sqr64f.data(), sqr64f.step(),
                                              d32s32f.data(), d32s32f.step(), roi, rect),
              StatusOk);
    ASSERT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum32s.data(), sum32s.step(), sqr32s.data(), sqr32s.step(),
                                              dSfs.data(), dSfs.step(), roi, rect, 0),
              StatusOk);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) {
            int n1 = 0, n2 = 0;
            const long long s1 = rotatedRectSum(src, y + 6, x + 4, 4, 3, false, &n1);
            const long long s2 = rotatedRectSum(src, y + 6, x + 4, 4, 3, true, &n2);
            ASSERT_EQ(n1, 24);
            const double ref = referenceDeviation(s1, s2, 24);
            ASSERT_NEAR(d32f.at(x, y), ref, 1e-3 * ref + 1e-3) << x << "," << y;
            ASSERT_NEAR(d32s32f.at(x, y), ref, 1e-3 * ref + 1e-3);
            ASSERT_NEAR(dSfs.at(x, y), std::floor(ref + 0.5), 1.0);
        }
    EXPECT_TRUE(d32f.guardsIntact() && d32s32f.guardsIntact() && dSfs.guardsIntact());
}

TEST(RectStdDev, ConstantAndNegativeVarianceGiveZero) {
    GuardedImage<uint8_t> src(9, 9);
    src.fill([](int, int, int) { return 173; });
    UprightTables t(src);
    GuardedImage<float> out(3, 3);
    ASSERT_EQ(zaliRectStdDev_32f_C1R(t.sum32f.data(), t.sum32f.step(), t.sqr64f.data(), t.sqr64f.step(), out.data(),
                                     out.step(), out.roi(), ImageRect{1, 1, 5, 3}),
              StatusOk);
    for (float v : out.pixels()) EXPECT_EQ(v, 0.0f);
    // Hand-made tables with a mean square below the squared mean: sums 3 and 2
    // over one pixel, variance 2 - 9.
    const int32_t sum[4] = {0, 0, 0, 3}, sqr[4] = {0, 0, 0, 2};
    const double sqr64[4] = {0, 0, 0, 2};
    const float sumF[4] = {0, 0, 0, 3};
    int32_t outS = -1;
    float outF = -1;
    ASSERT_EQ(zaliRectStdDev_32s_C1RSfs(sum, 8, sqr, 8, &outS, 4, ImageSize{1, 1}, ImageRect{0, 0, 1, 1}, 0), StatusOk);
    EXPECT_EQ(outS, 0);
    ASSERT_EQ(zaliRectStdDev_32f_C1R(sumF, 8, sqr64, 16, &outF, 4, ImageSize{1, 1}, ImageRect{0, 0, 1, 1}), StatusOk);
    EXPECT_EQ(outF, 0.0f);
}

// Windows of two pixels {0, 2k} have deviation exactly k.
TEST(RectStdDev, ScaledResultsRoundHalfUp) {
    GuardedImage<uint8_t> src(2, 1);
    src.at(1, 0) = 6;  // deviation 3
    UprightTables t(src);
    auto run = [&](int scale) {
        int32_t out = -1;
        EXPECT_EQ(zaliRectStdDev_32s_C1RSfs(t.sum32s.data(), t.sum32s.step(), t.sqr32s.data(), t.sqr32s.step(), &out,
                                            4, ImageSize{1, 1}, ImageRect{0, 0, 2, 1}, scale),
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
    GuardedImage<int32_t> sum(8, 8), sqr(8, 8);
    GuardedImage<double> sqr64(8, 8);
    GuardedImage<float> dst(4, 4);
    const ImageRect rect{1, 1, 3, 3}, flat{1, 1, 3, 0};
    const ImageSize roi{4, 4};
    auto upright = [&](const int32_t* s, int sStep, int qStep, int dStep, ImageSize r, ImageRect w) {
        return zaliRectStdDev_32s32f_C1R(s, sStep, sqr64.data(), qStep, dst.data(), dStep, r, w);
    };
    EXPECT_EQ(upright(nullptr, 32, 64, 16, ImageSize{0, 4}, rect), StatusNullPointer);
    EXPECT_EQ(upright(sum.data(), 0, 64, 16, ImageSize{4, 0}, rect), StatusSizeError);
    EXPECT_EQ(upright(sum.data(), 32, 64, 15, roi, flat), StatusStepError);
    EXPECT_EQ(upright(sum.data(), 28, 64, 16, roi, flat), StatusStepError);   // 4 * (4 + 1 + 3) = 32
    EXPECT_EQ(upright(sum.data(), 32, 56, 16, roi, flat), StatusStepError);   // 8 * 8 = 64
    EXPECT_EQ(upright(sum.data(), 34, 64, 16, roi, flat), StatusStepAlignmentError);
    EXPECT_EQ(upright(sum.data(), 32, 68, 16, roi, flat), StatusStepAlignmentError);
    EXPECT_EQ(upright(sum.data(), 32, 64, 18, roi, flat), StatusStepAlignmentError);
    EXPECT_EQ(upright(sum.data(), 32, 64, 16, roi, flat), StatusSizeError);  // after the step tests
    EXPECT_EQ(upright(sum.data(), 32, 64, 16, roi, ImageRect{-1, 1, 3, 3}), StatusSizeError);
    EXPECT_EQ(upright(sum.data(), 32, 64, -16, roi, rect), StatusStepError);
    // Tilted span: rect.x + rect.y + rect.width + rect.height + W - 1 = 11.
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum.data(), 40, sqr.data(), 44, reinterpret_cast<int32_t*>(dst.data()),
                                              16, roi, rect, 0),
              StatusStepError);
    EXPECT_EQ(zaliTiltedRectStdDev_32s_C1RSfs(sum.data(), 44, sqr.data(), 40, reinterpret_cast<int32_t*>(dst.data()),
                                              16, roi, rect, 0),
              StatusStepError);
    EXPECT_EQ(zaliTiltedRectStdDev_32f_C1R(reinterpret_cast<float*>(sum.data()), 44, sqr64.data(), 92, dst.data(), 16,
                                           roi, rect),
              StatusStepAlignmentError);
    // Extreme rectangles do not overflow the step arithmetic.
    EXPECT_EQ(upright(sum.data(), 32, 64, 16, roi, ImageRect{1, 1, INT32_MAX, 1}), StatusStepError);
    for (float v : dst.pixels()) EXPECT_EQ(v, 0.0f);
    EXPECT_TRUE(dst.guardsIntact());
}

}  // namespace
