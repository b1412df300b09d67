// Colour gradient to gray and the fast arctangent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

// ---- GradientColorToGray ---------------------------------------------------

template <class T>
T referenceNorm(T a, T b, T c, int norm) {
    if constexpr (std::is_same_v<T, float>) {
        const float fa = std::fabs(a), fb = std::fabs(b), fc = std::fabs(c);
        if (norm == 0) return std::max(fa, std::max(fb, fc));
        if (norm == 1) return fa + fb + fc;
        return std::sqrt(a * a + b * b + c * c);
    } else {
        if (norm == 0) return std::max(a, std::max(b, c));
        const long long sum = static_cast<long long>(a) + b + c;
        const long long sq = static_cast<long long>(a) * a + static_cast<long long>(b) * b + static_cast<long long>(c) * c;
        if constexpr (std::is_same_v<T, uint8_t>) {
            if (norm == 1) return static_cast<T>((sum * 1365 + 2048) / 4096);
            return static_cast<T>(std::floor(std::sqrt(static_cast<double>(static_cast<float>(sq) / 3.0f)) + 0.5));
        } else {
            if (norm == 1) return static_cast<T>((sum * 5461 + 8192) / 16384);
            return static_cast<T>(std::floor(std::sqrt(static_cast<double>(sq) / 3.0) + 0.5));
        }
    }
}

template <class T>
StatusCode gradientToGray(const T* s, int ss, T* d, int ds, ImageSize roi, int norm) {
    if constexpr (std::is_same_v<T, uint8_t>) return zaliGradientColorToGray_8u_C3C1R(s, ss, d, ds, roi, GradientNorm(norm));
    else if constexpr (std::is_same_v<T, uint16_t>) return zaliGradientColorToGray_16u_C3C1R(s, ss, d, ds, roi, GradientNorm(norm));
    else return zaliGradientColorToGray_32f_C3C1R(s, ss, d, ds, roi, GradientNorm(norm));
}

template <class T>
class GradientColorToGray : public ::testing::Test {};
using GradientTypes = ::testing::Types<uint8_t, uint16_t, float>;
TYPED_TEST_SUITE(GradientColorToGray, GradientTypes);

TYPED_TEST(GradientColorToGray, MatchesReferenceForEveryNormAndLayout) {
    using T = TypeParam;
    zaltest::Lcg rng(7);
    const ImageSize sizes[] = {{1, 1}, {1, 5}, {7, 1}, {13, 4}};
    for (const ImageSize sz : sizes) {
        {
            GuardedImage<T> src(sz.width, sz.height, 3);
            src.fill([&](int, int, int) {
                if constexpr (std::is_same_v<T, float>) return rng.uniformf(-300.0f, 300.0f);
                else if constexpr (std::is_same_v<T, uint8_t>) return rng.uniform(0, 255);
                else return rng.uniform(0, 65535);
            });
            for (int norm = 0; norm < 3; ++norm) {
                GuardedImage<T> dst(sz.width, sz.height, 1);
                ASSERT_EQ(gradientToGray(src.data(), src.step(), dst.data(), dst.step(), sz, norm), StatusOk);
                for (int y = 0; y < sz.height; ++y)
                    for (int x = 0; x < sz.width; ++x)
                        ASSERT_EQ(dst.at(x, y), referenceNorm<T>(src.at(x, y, 0), src.at(x, y, 1), src.at(x, y, 2), norm))
                            << "norm " << norm << " at " << x << "," << y;
                EXPECT_TRUE(dst.guardsIntact());
            }
        }
    }
}

TEST(GradientColorToGray, FixedPointExtremes) {
    const auto one8u = [](uint8_t a, uint8_t b, uint8_t c, int norm) {
        const uint8_t src[3] = {a, b, c};
        uint8_t dst = 99;
        EXPECT_EQ(zaliGradientColorToGray_8u_C3C1R(src, 3, &dst, 1, {1, 1}, GradientNorm(norm)), StatusOk);
        return int{dst};
    };
    EXPECT_EQ(one8u(255, 255, 255, GradientNormSum), 255);
    EXPECT_EQ(one8u(1, 1, 1, GradientNormSum), 1);
    EXPECT_EQ(one8u(1, 0, 0, GradientNormSum), 0);
    EXPECT_EQ(one8u(255, 255, 255, GradientNormEuclid), 255);
    const uint16_t white[3] = {65535, 65535, 65535};
    uint16_t d16 = 0;
    ASSERT_EQ(zaliGradientColorToGray_16u_C3C1R(white, 6, &d16, 2, {1, 1}, GradientNormEuclid), StatusOk);
    EXPECT_EQ(d16, 65535);
    // 5461 / 16384 is slightly below 1/3: white sums to 65531.
    ASSERT_EQ(zaliGradientColorToGray_16u_C3C1R(white, 6, &d16, 2, {1, 1}, GradientNormSum), StatusOk);
    EXPECT_EQ(d16, 65531);
    const float f[3] = {-3.0f, 2.0f, 1.0f};
    float df = 0;
    ASSERT_EQ(zaliGradientColorToGray_32f_C3C1R(f, 12, &df, 4, {1, 1}, GradientNormMax), StatusOk);
    EXPECT_EQ(df, 3.0f);
    ASSERT_EQ(zaliGradientColorToGray_32f_C3C1R(f, 12, &df, 4, {1, 1}, GradientNormSum), StatusOk);
    EXPECT_EQ(df, 6.0f);
}

TEST(GradientColorToGray, CheckOrder) {
    uint16_t src[12] = {}, dst[4] = {7, 7, 7, 7};
    const ImageSize roi{2, 2};
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(nullptr, 12, dst, 4, {0, 2}, GradientNormMax), StatusNullPointer);
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(src, 12, dst, 4, {2, 0}, GradientNormMax), StatusSizeError);
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(src, 11, dst, 5, roi, GradientNormMax), StatusStepError);
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(src, 12, dst, 3, roi, GradientNormMax), StatusStepError);
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(src, 13, dst, 4, roi, GradientNorm(3)), StatusStepAlignmentError);
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(src, 12, dst, 4, roi, GradientNorm(3)), StatusBadArgument);
    EXPECT_EQ(zaliGradientColorToGray_16u_C3C1R(src, 12, dst, 4, roi, GradientNorm(-1)), StatusBadArgument);
    // 8u tests no alignment: odd steps that are long enough are fine.
    uint8_t s8[21] = {}, d8[9] = {};
    EXPECT_EQ(zaliGradientColorToGray_8u_C3C1R(s8, 7, d8, 3, {2, 3}, GradientNormSum), StatusOk);
    for (uint16_t v : dst) EXPECT_EQ(v, 7);
}

TEST(GradientColorToGray, BottomUpStepsAreShorterThanARow) {
    // A negative step fails the row-length test like any short step.
    GuardedImage<float> src(3, 2, 3, Layout::BottomUp), dst(3, 2, 1);
    EXPECT_EQ(zaliGradientColorToGray_32f_C3C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), GradientNormMax),
              StatusStepError);
    EXPECT_TRUE(dst.guardsIntact());
}

// ---- FastArctan ------------------------------------------------------------

float arctan(float y, float x) {
    float d = 0;
    EXPECT_EQ(zalibFastArctan_32f(&y, &x, &d, 1), StatusOk);
    return d;
}

TEST(FastArctan, AxesDiagonalsAndSignedZeros) {
    EXPECT_FLOAT_EQ(arctan(0.0f, 1.0f), -0.1405004f);
    EXPECT_FLOAT_EQ(arctan(1.0f, 0.0f), 90.1405029f);
    EXPECT_FLOAT_EQ(arctan(0.0f, -1.0f), 180.1405029f);
    EXPECT_FLOAT_EQ(arctan(1.0f, 1.0f), 45.1405f);
    EXPECT_FLOAT_EQ(arctan(1.0f, -1.0f), 134.8595f);
    EXPECT_FLOAT_EQ(arctan(-1.0f, -1.0f), 225.1405f);
    EXPECT_FLOAT_EQ(arctan(-1.0f, 1.0f), 314.8595f);
    // -0 counts as negative: y = -0 on the positive x axis selects the
    // fourth quadrant's table entry and gives 360.1405.
    EXPECT_FLOAT_EQ(arctan(-0.0f, 1.0f), 360.1405029f);
    // The zero vector, whatever its signs, gives the octant-0 base.
    EXPECT_FLOAT_EQ(arctan(0.0f, 0.0f), -0.1405004f);
    EXPECT_FLOAT_EQ(arctan(-0.0f, -0.0f), -0.1405004f);
}

TEST(FastArctan, WithinAccuracyAroundTheCircleInGroupsAndTails) {
    // Lengths around the group of four, so that full groups and padded tails
    // are both exercised; the result is written in place over pSrcY.
    for (const int len : {1, 3, 4, 5, 8, 11}) {
        std::vector<float> y(len), x(len), expected(len);
        for (int i = 0; i < len; ++i) {
            const double a = (i * 37 + len * 11) % 360 + 0.25;
            const double r = 0.5 + i;
            y[i] = static_cast<float>(r * std::sin(a * M_PI / 180.0));
            x[i] = static_cast<float>(r * std::cos(a * M_PI / 180.0));
            expected[i] = static_cast<float>(a);
        }
        ASSERT_EQ(zalibFastArctan_32f(y.data(), x.data(), y.data(), len), StatusOk);
        for (int i = 0; i < len; ++i) EXPECT_NEAR(y[i], expected[i], 0.15) << "len " << len << " i " << i;
    }
}

TEST(FastArctan, Checks) {
    float v = 1.0f, d = 5.0f;
    EXPECT_EQ(zalibFastArctan_32f(nullptr, &v, &d, 0), StatusNullPointer);
    EXPECT_EQ(zalibFastArctan_32f(&v, &v, nullptr, 1), StatusNullPointer);
    EXPECT_EQ(zalibFastArctan_32f(&v, &v, &d, 0), StatusSizeError);
    EXPECT_EQ(d, 5.0f);
}

}  // namespace
