// Colour gradient to gray and the fast arctangent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/simd_targets.h"
#include "common/test_image.h"

namespace {

using zaltest::GuardedImage;

template <class T>
T referenceNorm(T a, T b, T c, int norm) {
    if constexpr (std::is_same_v<T, float>) {
        const float fa = std::fabs(a), fb = std::fabs(b), fc = std::fabs(c);
        return norm == 0 ? std::max({fa, fb, fc}) : norm == 1 ? fa + fb + fc : std::sqrt(a * a + b * b + c * c);
    } else {
        const bool u8 = sizeof(T) == 1;
        const double sq = double(a) * a + double(b) * b + double(c) * c;
        if (norm == 0) return std::max({a, b, c});
        if (norm == 1) return u8 ? T(((a + b + c) * 1365 + 2048) / 4096) : T((int64_t(a + b + c) * 5461 + 8192) / 16384);
        return T(std::floor(std::sqrt(u8 ? double(float(sq) / 3.0f) : sq / 3.0) + 0.5));
    }
}

StatusCode toGray(const uint8_t* s, int ss, uint8_t* d, int ds, ImageSize r, int n) { return zaliGradientColorToGray_8u_C3C1R(s, ss, d, ds, r, GradientNorm(n)); }
StatusCode toGray(const uint16_t* s, int ss, uint16_t* d, int ds, ImageSize r, int n) { return zaliGradientColorToGray_16u_C3C1R(s, ss, d, ds, r, GradientNorm(n)); }
StatusCode toGray(const float* s, int ss, float* d, int ds, ImageSize r, int n) { return zaliGradientColorToGray_32f_C3C1R(s, ss, d, ds, r, GradientNorm(n)); }

template <class T>
class GradientColorToGray : public ::testing::Test {};
using GradientTypes = ::testing::Types<uint8_t, uint16_t, float>;
TYPED_TEST_SUITE(GradientColorToGray, GradientTypes);

TYPED_TEST(GradientColorToGray, MatchesReferenceForEveryNorm) {
    using T = TypeParam;
    zaltest::forEachSimdTarget([] {
        zaltest::Lcg rng(7);
        const double top = std::is_same_v<T, uint8_t> ? 255 : 65535;
        for (const ImageSize sz : {ImageSize{1, 1}, ImageSize{1, 5}, ImageSize{13, 4}, ImageSize{37, 3}}) {
            GuardedImage<T> src(sz.width, sz.height, 3);
            src.fill([&](int, int, int) { return std::is_same_v<T, float> ? rng.uniformf(-300, 300) : rng.uniformf(0, 1) * top; });
            // Extremes first: white (overflow of the squares), then the rounding
            // edge of the sum norm, (1, 1, 1) and (1, 0, 0).
            const double fixed[3][3] = {{top, top, top}, {1, 1, 1}, {1, 0, 0}};
            for (int i = 0; i < std::min(sz.width, 3); ++i)
                for (int k = 0; k < 3; ++k) src.at(i, 0, k) = T(fixed[i][k]);
            for (int norm = 0; norm < 3; ++norm) {
                GuardedImage<T> dst(sz.width, sz.height);
                ASSERT_EQ(toGray(src.data(), src.step(), dst.data(), dst.step(), sz, norm), StatusOk);
                for (int p = 0; p < sz.width * sz.height; ++p) {
                    const int x = p % sz.width, y = p / sz.width;
                    ASSERT_EQ(dst.at(x, y), referenceNorm<T>(src.at(x, y, 0), src.at(x, y, 1), src.at(x, y, 2), norm)) << norm << " " << p;
                }
                EXPECT_TRUE(dst.guardsIntact());
            }
        }
    });
}

TEST(GradientColorToGray, ChecksInOrder) {
    uint16_t d[4], src[12] = {};
    const ImageSize roi{2, 2};
    EXPECT_EQ(toGray(src, 11, d, 5, roi, 0), StatusStepError);
    EXPECT_EQ(toGray(src, 12, d, -4, roi, 0), StatusStepError);  // bottom-up: shorter than a row
    EXPECT_EQ(toGray(src, 13, d, 4, roi, 3), StatusStepAlignmentError);  // the norm after the steps
}

// Against the true angle (the exact bits, special values included, are
// compared on every target in simd_kernels_test).
TEST(FastArctan, WithinAccuracyInGroupsAndTailsInPlace) {
    for (const int len : {1, 3, 4, 5, 11}) {
        std::vector<float> y(len), x(len), expected(len);
        for (int i = 0; i < len; ++i) {
            expected[i] = float((i * 37 + len * 11) % 360 + 0.25);
            y[i] = float((0.5 + i) * std::sin(expected[i] * M_PI / 180.0));
            x[i] = float((0.5 + i) * std::cos(expected[i] * M_PI / 180.0));
        }
        ASSERT_EQ(zalibFastArctan_32f(y.data(), x.data(), y.data(), len), StatusOk);
        for (int i = 0; i < len; ++i) EXPECT_NEAR(y[i], expected[i], 0.15) << len << " " << i;
    }
}

}  // namespace
