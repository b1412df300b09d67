// Chamfer distance transform: mask tables, argument checks and distances
// against a shortest-path reference over the mask's moves inside the ROI.

#include <bit>
#include <cfloat>
#include <limits>

#include "common/simd_targets.h"
#include "region/region_test.h"

namespace {

using zaltest::GuardedImage;

// Minimum over paths of straight (a), diagonal (b) and, when c > 0, knight
// (c) moves from any zero pixel, inside the ROI; relaxed to a fixpoint.
std::vector<double> chamferReference(const GuardedImage<uint8_t>& src, double a, double b, double c) {
    const int w = src.width(), h = src.height();
    std::vector<double> d(static_cast<size_t>(w) * h, std::numeric_limits<double>::infinity());
    for (int i = 0; i < w * h; ++i)
        if (src.at(i % w, i / w) == 0) d[i] = 0;
    for (bool changed = true; changed;) {
        changed = false;
        for (int i = 0; i < w * h; ++i)
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int x = i % w + dx, y = i / w + dy, m = std::abs(dx) + std::abs(dy);
                    const double cost = std::abs(dx) < 2 && std::abs(dy) < 2 ? (m == 1 ? a : b) : m == 3 ? c : 0;
                    if (m == 0 || cost <= 0 || x < 0 || y < 0 || x >= w || y >= h) continue;
                    if (d[y * w + x] + cost < d[i]) d[i] = d[y * w + x] + cost, changed = true;
                }
    }
    return d;
}

template <class T>
void expectDistances(const GuardedImage<T>& dst, const std::vector<double>& ref, double maxValue) {
    for (int i = 0; i < dst.width() * dst.height(); ++i) {
        const double want = std::min(ref[i], maxValue), got = dst.at(i % dst.width(), i / dst.width());
        const double tolerance = std::is_same_v<T, float> ? 1e-5 * std::max(1.0, want) : 0.0;
        ASSERT_NEAR(got, want, tolerance) << "pixel " << i;
    }
    EXPECT_TRUE(dst.guardsIntact());
}

TEST(DistanceTransformMask, StandardTablesAndChecks) {
    int32_t wi[3] = {};
    float wf[3] = {0, 0, -1};
    ASSERT_EQ(zaliGetDistanceTransformMask_32s(5, 2, wi), StatusOk);
    EXPECT_EQ(std::vector<int32_t>(wi, wi + 3), (std::vector<int32_t>{5, 7, 11}));
    ASSERT_EQ(zaliGetDistanceTransformMask(32, wf), StatusOk);
    EXPECT_EQ(std::vector<float>(wf, wf + 3), (std::vector<float>{0.955f, 1.3693f, -1.0f})) << "3x3 writes two";
    EXPECT_EQ(zaliGetDistanceTransformMask(33, nullptr), StatusBadArgument) << "norm digit before the pointer";
    EXPECT_EQ(zaliGetDistanceTransformMask(42, wf), StatusSizeError);
    EXPECT_EQ(zaliGetDistanceTransformMask_32s(4, 7, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliGetDistanceTransformMask_32s(4, 7, wi), StatusSizeError);
    EXPECT_EQ(zaliGetDistanceTransformMask_32f(5, 3, wf), StatusBadArgument);
}

// Weight sets {a, b, c} (integer, float): the standard tables, a 3x3 set
// without useful diagonals (b >= 2a) and one with cheaper diagonals (a > b).
struct Weights { int kernel; int32_t i[3]; float f[3]; };
const Weights kWeightSets[] = {
    {3, {1, 1}, {1, 1}}, {3, {1, 2}, {1, 2}}, {3, {2, 3}, {0.955f, 1.3693f}}, {3, {2, 5}, {1, 3}}, {3, {3, 2}, {3, 2}},
    {5, {1, 1, 2}, {1, 1, 2}}, {5, {1, 2, 3}, {1, 2, 3}}, {5, {5, 7, 11}, {1, 1.4f, 2.1969f}},
};

TEST(DistanceTransform, AllOutputsMatchShortestPaths) {
    uint64_t seed = 1;
    for (const ImageSize s : {ImageSize{1, 1}, ImageSize{1, 9}, ImageSize{11, 1}, ImageSize{3, 7}, ImageSize{23, 17}})
        for (const Weights& wt : kWeightSets)
            for (int pct : {0, 3, 20, 100}) {
                SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " " << wt.i[0] << "," << wt.i[1]
                                                << "," << wt.i[2] << " zeros " << pct << "%");
                GuardedImage<uint8_t> src(s.width, s.height), d8(s.width, s.height);
                zaltest::Lcg rng(seed++);
                src.fill([&](int, int, int) { return rng.uniform(0, 99) < pct ? 0 : rng.uniform(1, 255); });
                GuardedImage<uint16_t> d16(s.width, s.height);
                GuardedImage<float> d32(s.width, s.height);
                const bool k3 = wt.kernel == 3;
                const auto f8 = k3 ? zaliDistanceTransform_3x3_8u_C1R : zaliDistanceTransform_5x5_8u_C1R;
                const auto f16 = k3 ? zaliDistanceTransform_3x3_8u16u_C1R : zaliDistanceTransform_5x5_8u16u_C1R;
                const auto f32 = k3 ? zaliDistanceTransform_3x3_8u32f_C1R : zaliDistanceTransform_5x5_8u32f_C1R;
                ASSERT_EQ(f8(src.data(), src.step(), d8.data(), d8.step(), s, wt.i), StatusOk);
                ASSERT_EQ(f16(src.data(), src.step(), d16.data(), d16.step(), s, wt.i), StatusOk);
                ASSERT_EQ(f32(src.data(), src.step(), d32.data(), d32.step(), s, wt.f), StatusOk);
                const auto ref = chamferReference(src, wt.i[0], wt.i[1], wt.i[2]);
                expectDistances(d8, ref, 255);
                expectDistances(d16, ref, 65535);
                expectDistances(d32, chamferReference(src, wt.f[0], wt.f[1], wt.f[2]), FLT_MAX);
                const auto inPlace = k3 ? zaliDistanceTransform_3x3_8u_C1IR : zaliDistanceTransform_5x5_8u_C1IR;
                ASSERT_EQ(inPlace(src.data(), src.step(), s, wt.i), StatusOk);
                EXPECT_EQ(src.pixels(), d8.pixels());
            }
}

TEST(DistanceTransform, EightBitSaturatesAndHugeWeightsDoNotWrap) {
    GuardedImage<uint8_t> src(300, 2), d8(300, 2);
    GuardedImage<uint16_t> d16(300, 2);
    src.fill([](int x, int, int) { return x == 0 ? 0 : 1; });
    const int32_t l1[2] = {1, 2}, huge[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
    ASSERT_EQ(zaliDistanceTransform_3x3_8u_C1R(src.data(), src.step(), d8.data(), d8.step(), d8.roi(), l1), StatusOk);
    ASSERT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), d16.roi(), l1), StatusOk);
    EXPECT_EQ(d8.at(299, 1), 255);
    EXPECT_EQ(d16.at(299, 1), 299);
    ASSERT_EQ(zaliDistanceTransform_5x5_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), d16.roi(), huge), StatusOk);
    EXPECT_EQ(d16.at(1, 1), 65535);
}

// Float rows run on vectors, the scan along the row included; every target
// must give the bits of the serial chain of additions, which the scalar
// target computes pixel by pixel. Widths around multiples of 4, 8 and 16
// lanes put block boundaries and tails everywhere; a zero pixel only at the
// left or right end makes chains that cross every block of a row.
TEST(DistanceTransform, FloatRowsAgreeOnEveryTarget) {
    // Standard, no useful diagonal (3x3), cheaper diagonal, 5x5 standard,
    // sums beyond the float maximum.
    const float weights[][3] = {
        {0.955f, 1.3693f, 2.1969f}, {0.7f, 3.1f, 2}, {1.1f, 0.9f, 1.5f}, {1, 1.4f, 2.1969f}, {3e38f, 3e38f, 3e38f}};
    for (const int w : {2, 3, 5, 8, 9, 15, 16, 17, 18, 31, 33, 47, 50, 66})
        for (int pattern = 0; pattern < 4; ++pattern) {
            SCOPED_TRACE(testing::Message() << "width " << w << " pattern " << pattern);
            GuardedImage<uint8_t> src(w, 7);
            zaltest::Lcg rng(static_cast<uint64_t>(w * 4 + pattern));
            src.fill([&](int x, int y, int) {
                if (pattern == 0) return x == 0 && y == 3 ? 0 : 1;
                if (pattern == 1) return x == w - 1 && y % 3 == 1 ? 0 : 1;
                return rng.uniform(0, 99) < (pattern == 2 ? 4 : 40) ? 0 : 9;
            });
            for (const auto& wt : weights)
                zaltest::expectSameOnEveryTarget([&] {
                    std::vector<uint32_t> bits;
                    for (const auto fn : {zaliDistanceTransform_3x3_8u32f_C1R, zaliDistanceTransform_5x5_8u32f_C1R}) {
                        GuardedImage<float> dst(w, 7);
                        EXPECT_EQ(fn(src.data(), src.step(), dst.data(), dst.step(), dst.roi(), wt), StatusOk);
                        EXPECT_TRUE(dst.guardsIntact());
                        for (const float v : dst.pixels()) bits.push_back(std::bit_cast<uint32_t>(v));
                    }
                    return bits;
                });
        }
}

TEST(DistanceTransform, ChecksInOrder) {
    GuardedImage<uint8_t> src(6, 4);
    GuardedImage<uint16_t> d16(6, 4);
    GuardedImage<float> d32(6, 4);
    const int32_t good[3] = {1, 1, 2}, zeroA[2] = {0, 1}, zeroC[3] = {1, 1, 0};
    const float nanW[3] = {1, NAN, 2}, negW[2] = {-1, 1};
    const ImageSize roi = src.roi();
    const int ss = src.step(), ds = d16.step(), fs = d32.step();
    uint8_t* s = src.data();
    uint16_t* o16 = d16.data();
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(nullptr, ss, o16, ds, ImageSize{0, 4}, good), StatusNullPointer);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(s, ss, o16, ds, ImageSize{6, 0}, zeroA), StatusSizeError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(s, ss, o16, -ds, roi, zeroA), StatusStepError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(s, ss, o16, 13, roi, zeroA), StatusStepAlignmentError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(s, ss, o16, ds, roi, zeroA), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_5x5_8u16u_C1R(s, ss, o16, ds, roi, zeroC), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u32f_C1R(s, ss, d32.data(), fs, roi, negW), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_5x5_8u32f_C1R(s, ss, d32.data(), fs, roi, nanW), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u_C1IR(s, 0, roi, good), StatusStepError);
}

}  // namespace
