// Chamfer distance transform: mask tables, argument checks and distances
// against a shortest-path reference over the mask's moves inside the ROI.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

// Minimum over paths of weighted moves (straight a, diagonal b, knight c when
// c > 0) from any zero pixel, staying inside the ROI; relaxed to a fixpoint.
std::vector<double> chamferReference(const GuardedImage<uint8_t>& src, double a, double b, double c) {
    const int w = src.width(), h = src.height();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> d(static_cast<size_t>(w) * h, inf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (src.at(x, y) == 0) d[y * w + x] = 0;
    struct Move { int dx, dy; double cost; };
    std::vector<Move> moves;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int m = std::abs(dx) + std::abs(dy);
            if (std::abs(dx) <= 1 && std::abs(dy) <= 1 && m > 0) moves.push_back({dx, dy, m == 1 ? a : b});
            else if (c > 0 && m == 3) moves.push_back({dx, dy, c});
        }
    for (bool changed = true; changed;) {
        changed = false;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (const Move& mv : moves) {
                    const int nx = x + mv.dx, ny = y + mv.dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const double cand = d[ny * w + nx] + mv.cost;
                    if (cand < d[y * w + x]) d[y * w + x] = cand, changed = true;
                }
    }
    return d;
}

GuardedImage<uint8_t> sparseZeros(int w, int h, int percentZero, uint64_t seed) {
    GuardedImage<uint8_t> src(w, h);
    zaltest::Lcg rng(seed);
    src.fill([&](int, int, int) { return rng.uniform(0, 99) < percentZero ? 0 : rng.uniform(1, 255); });
    return src;
}

// GuardedImage keeps a pointer into its own storage, so copies are made
// pixel by pixel.
GuardedImage<uint8_t> copyOf(const GuardedImage<uint8_t>& src) {
    GuardedImage<uint8_t> out(src.width(), src.height());
    out.fill([&](int x, int y, int) { return src.at(x, y); });
    return out;
}

template <class T>
void expectDistances(const GuardedImage<T>& dst, const std::vector<double>& ref, double maxValue) {
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            const double want = std::min(ref[y * dst.width() + x], maxValue);
            if constexpr (std::is_same_v<T, float>) {
                ASSERT_NEAR(dst.at(x, y), want, 1e-5 * std::max(1.0, want)) << x << "," << y;
            } else {
                ASSERT_EQ(dst.at(x, y), want) << x << "," << y;
            }
        }
    EXPECT_TRUE(dst.guardsIntact());
}

TEST(DistanceTransformMask, StandardTablesAndChecks) {
    int32_t wi[3] = {};
    float wf[3] = {};
    ASSERT_EQ(zaliGetDistanceTransformMask_32s(3, 2, wi), StatusOk);
    EXPECT_EQ(wi[0], 2); EXPECT_EQ(wi[1], 3);
    ASSERT_EQ(zaliGetDistanceTransformMask_32s(5, 2, wi), StatusOk);
    EXPECT_EQ(wi[0], 5); EXPECT_EQ(wi[1], 7); EXPECT_EQ(wi[2], 11);
    ASSERT_EQ(zaliGetDistanceTransformMask_32s(5, 1, wi), StatusOk);
    EXPECT_EQ(wi[2], 3);
    ASSERT_EQ(zaliGetDistanceTransformMask_32f(3, 2, wf), StatusOk);
    EXPECT_EQ(wf[0], 0.955f); EXPECT_EQ(wf[1], 1.3693f);
    ASSERT_EQ(zaliGetDistanceTransformMask(52, wf), StatusOk);
    EXPECT_EQ(wf[0], 1.0f); EXPECT_EQ(wf[1], 1.4f); EXPECT_EQ(wf[2], 2.1969f);
    wf[2] = -1.0f;
    ASSERT_EQ(zaliGetDistanceTransformMask(30, wf), StatusOk);
    EXPECT_EQ(wf[1], 1.0f);
    EXPECT_EQ(wf[2], -1.0f) << "3x3 writes two weights only";

    EXPECT_EQ(zaliGetDistanceTransformMask(33, nullptr), StatusBadArgument) << "norm digit before the pointer";
    EXPECT_EQ(zaliGetDistanceTransformMask(-31, wf), StatusBadArgument);
    EXPECT_EQ(zaliGetDistanceTransformMask(42, wf), StatusSizeError);
    EXPECT_EQ(zaliGetDistanceTransformMask_32s(4, 7, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliGetDistanceTransformMask_32s(4, 7, wi), StatusSizeError);
    EXPECT_EQ(zaliGetDistanceTransformMask_32f(5, 3, wf), StatusBadArgument);
}

TEST(DistanceTransform, WorkedRowAndCentrePixel) {
    GuardedImage<uint8_t> row(5, 1), out(5, 1);
    row.fill([](int x, int, int) { return x == 2 ? 0 : 1; });
    const int32_t l1[2] = {1, 2};
    ASSERT_EQ(zaliDistanceTransform_3x3_8u_C1R(row.data(), row.step(), out.data(), out.step(), out.roi(), l1), StatusOk);
    EXPECT_EQ(out.pixels(), (std::vector<uint8_t>{2, 1, 0, 1, 2}));

    // 3x3 integer L2 {2, 3} from the centre of 7x7: corners read 3 diagonals.
    GuardedImage<uint8_t> src(7, 7);
    src.fill([](int x, int y, int) { return x == 3 && y == 3 ? 0 : 9; });
    GuardedImage<uint16_t> d16(7, 7);
    const int32_t l2[2] = {2, 3};
    ASSERT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), d16.roi(), l2), StatusOk);
    EXPECT_EQ(d16.at(0, 0), 9);
    EXPECT_EQ(d16.at(6, 6), 9);
    EXPECT_EQ(d16.at(6, 3), 6);
}

TEST(DistanceTransform, NoZerosGivesTheMaximumAndZerosGiveZero) {
    for (int value : {0, 7}) {
        GuardedImage<uint8_t> src(9, 6);
        src.fill([&](int, int, int) { return value; });
        GuardedImage<uint8_t> d8(9, 6);
        GuardedImage<uint16_t> d16(9, 6);
        GuardedImage<float> d32(9, 6);
        const int32_t wi[3] = {5, 7, 11};
        const float wf[3] = {1.0f, 1.4f, 2.1969f};
        ASSERT_EQ(zaliDistanceTransform_5x5_8u_C1R(src.data(), src.step(), d8.data(), d8.step(), d8.roi(), wi), StatusOk);
        ASSERT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), d16.roi(), wi), StatusOk);
        ASSERT_EQ(zaliDistanceTransform_5x5_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), d32.roi(), wf), StatusOk);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x) {
                ASSERT_EQ(d8.at(x, y), value ? 255 : 0);
                ASSERT_EQ(d16.at(x, y), value ? 65535 : 0);
                ASSERT_EQ(d32.at(x, y), value ? FLT_MAX : 0.0f);
            }
    }
}

TEST(DistanceTransform, EightBitSaturatesWhereSixteenBitCounts) {
    GuardedImage<uint8_t> src(300, 2);
    src.fill([](int x, int, int) { return x == 0 ? 0 : 1; });
    GuardedImage<uint8_t> d8(300, 2);
    GuardedImage<uint16_t> d16(300, 2);
    const int32_t l1[2] = {1, 2};
    ASSERT_EQ(zaliDistanceTransform_3x3_8u_C1R(src.data(), src.step(), d8.data(), d8.step(), d8.roi(), l1), StatusOk);
    ASSERT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), d16.roi(), l1), StatusOk);
    EXPECT_EQ(d8.at(299, 1), 255);
    EXPECT_EQ(d8.at(200, 0), 200);
    EXPECT_EQ(d16.at(299, 1), 299);
    // Weights far beyond the output maximum must neither overflow nor wrap.
    const int32_t huge[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
    ASSERT_EQ(zaliDistanceTransform_5x5_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), d16.roi(), huge), StatusOk);
    EXPECT_EQ(d16.at(0, 0), 0);
    EXPECT_EQ(d16.at(1, 0), 65535);
    EXPECT_EQ(d16.at(1, 1), 65535);
}

struct Weights { int32_t i[3]; float f[3]; };

// Regular weight sets: the standard tables plus a 3x3 set without useful
// diagonals (b >= 2a).
const Weights kWeightSets3[] = {
    {{1, 1, 0}, {1, 1, 0}}, {{1, 2, 0}, {1, 2, 0}}, {{2, 3, 0}, {0.955f, 1.3693f, 0}}, {{2, 5, 0}, {1, 3, 0}},
};
const Weights kWeightSets5[] = {
    {{1, 1, 2}, {1, 1, 2}}, {{1, 2, 3}, {1, 2, 3}}, {{5, 7, 11}, {1, 1.4f, 2.1969f}}, {{3, 4, 7}, {3, 4, 7}},
};

const ImageSize kSizes[] = {{1, 1}, {1, 9}, {11, 1}, {2, 2}, {3, 7}, {4, 4}, {7, 5}, {23, 17}};

TEST(DistanceTransform, ThreeByThreeMatchesShortestPaths) {
    uint64_t seed = 1;
    for (const ImageSize s : kSizes)
        for (const Weights& wt : kWeightSets3)
            for (int pct : {3, 20}) {
                SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " a=" << wt.i[0] << " b=" << wt.i[1]);
                const GuardedImage<uint8_t> src = sparseZeros(s.width, s.height, pct, seed++);
                GuardedImage<uint8_t> d8(s.width, s.height);
                GuardedImage<uint16_t> d16(s.width, s.height);
                GuardedImage<float> d32(s.width, s.height);
                ASSERT_EQ(zaliDistanceTransform_3x3_8u_C1R(src.data(), src.step(), d8.data(), d8.step(), s, wt.i), StatusOk);
                ASSERT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), s, wt.i), StatusOk);
                ASSERT_EQ(zaliDistanceTransform_3x3_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), s, wt.f), StatusOk);
                const auto refInt = chamferReference(src, wt.i[0], wt.i[1], 0);
                expectDistances(d8, refInt, 255);
                expectDistances(d16, refInt, 65535);
                expectDistances(d32, chamferReference(src, wt.f[0], wt.f[1], 0), FLT_MAX);
                // In place gives the same as out of place.
                GuardedImage<uint8_t> inPlace = copyOf(src);
                ASSERT_EQ(zaliDistanceTransform_3x3_8u_C1IR(inPlace.data(), inPlace.step(), s, wt.i), StatusOk);
                EXPECT_EQ(inPlace.pixels(), d8.pixels());
            }
}

TEST(DistanceTransform, FiveByFiveMatchesShortestPathsWithKnightSteps) {
    uint64_t seed = 100;
    for (const ImageSize s : kSizes)
        for (const Weights& wt : kWeightSets5)
            for (int pct : {2, 15}) {
                SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " c=" << wt.i[2]);
                const GuardedImage<uint8_t> src = sparseZeros(s.width, s.height, pct, seed++);
                GuardedImage<uint8_t> d8(s.width, s.height);
                GuardedImage<uint16_t> d16(s.width, s.height);
                GuardedImage<float> d32(s.width, s.height);
                ASSERT_EQ(zaliDistanceTransform_5x5_8u_C1R(src.data(), src.step(), d8.data(), d8.step(), s, wt.i), StatusOk);
                ASSERT_EQ(zaliDistanceTransform_5x5_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), s, wt.i), StatusOk);
                ASSERT_EQ(zaliDistanceTransform_5x5_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), s, wt.f), StatusOk);
                const auto refInt = chamferReference(src, wt.i[0], wt.i[1], wt.i[2]);
                expectDistances(d8, refInt, 255);
                expectDistances(d16, refInt, 65535);
                expectDistances(d32, chamferReference(src, wt.f[0], wt.f[1], wt.f[2]), FLT_MAX);
                GuardedImage<uint8_t> inPlace = copyOf(src);
                ASSERT_EQ(zaliDistanceTransform_5x5_8u_C1IR(inPlace.data(), inPlace.step(), s, wt.i), StatusOk);
                EXPECT_EQ(inPlace.pixels(), d8.pixels());
            }
}

TEST(DistanceTransform, DiagonalCheaperThanStraight) {
    // a > b: horizontal moves zig-zag over diagonals; the last row needs the
    // two-pixel candidates to see them.
    const int32_t wt[2] = {3, 2};
    uint64_t seed = 7;
    for (const ImageSize s : {ImageSize{9, 2}, ImageSize{12, 3}, ImageSize{1, 6}, ImageSize{6, 1}, ImageSize{15, 11}}) {
        const GuardedImage<uint8_t> src = sparseZeros(s.width, s.height, 6, seed++);
        GuardedImage<uint16_t> d16(s.width, s.height);
        ASSERT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), d16.step(), s, wt), StatusOk);
        expectDistances(d16, chamferReference(src, 3, 2, 0), 65535);
    }
}

TEST(DistanceTransform, ChecksInOrderAndWriteNothing) {
    GuardedImage<uint8_t> src(6, 4);
    GuardedImage<uint16_t> d16(6, 4);
    GuardedImage<float> d32(6, 4);
    src.fill([](int x, int, int) { return x; });
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) d16.at(x, y) = 77, d32.at(x, y) = 77;
    const auto before16 = d16.pixels();
    const auto before32 = d32.pixels();
    const int32_t good[3] = {1, 1, 2}, zeroA[2] = {0, 1}, zeroC[3] = {1, 1, 0};
    const float nanW[3] = {1, NAN, 2}, negW[2] = {-1, 1};
    const ImageSize roi = src.roi();
    const int ds = d16.step();
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(nullptr, src.step(), d16.data(), ds, ImageSize{0, 4}, good), StatusNullPointer);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), ds, roi, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), ds, ImageSize{6, 0}, zeroA), StatusSizeError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), 5, d16.data(), ds, roi, zeroA), StatusStepError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), 11, roi, zeroA), StatusStepError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), 13, roi, zeroA), StatusStepAlignmentError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), d16.data(), ds, roi, zeroA), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_5x5_8u16u_C1R(src.data(), src.step(), d16.data(), ds, roi, zeroC), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u32f_C1R(src.data(), src.step(), d32.data(), 26, roi, negW), StatusStepAlignmentError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), roi, negW), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_5x5_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), roi, nanW), StatusMetricError);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u_C1IR(src.data(), 0, roi, good), StatusStepError);
    // A bottom-up image has a negative step, which is below the row length.
    GuardedImage<uint16_t> flipped(6, 4, 1, Layout::BottomUp);
    EXPECT_EQ(zaliDistanceTransform_3x3_8u16u_C1R(src.data(), src.step(), flipped.data(), flipped.step(), roi, good),
              StatusStepError);
    EXPECT_EQ(d16.pixels(), before16);
    EXPECT_EQ(d32.pixels(), before32);
    EXPECT_TRUE(d16.guardsIntact() && d32.guardsIntact() && flipped.guardsIntact());
}

}  // namespace
