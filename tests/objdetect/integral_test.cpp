// Integral images against direct sums over the source pixels.
#include <gtest/gtest.h>

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

TEST(IntegralChecks, OrderAndStatuses) {
    GuardedImage<uint8_t> src(4, 3);
    int32_t t[40] = {};
    double q[40] = {};
    float* f = reinterpret_cast<float*>(t);
    const uint8_t* s = src.data();
    const ImageSize roi{4, 3}, empty{0, 3};
    EXPECT_EQ(zaliIntegral_8u32s_C1R(nullptr, 0, t, 20, empty, 0), StatusNullPointer);
    EXPECT_EQ(zaliIntegral_8u32s_C1R(s, 0, t, 0, empty, 0), StatusSizeError);
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
