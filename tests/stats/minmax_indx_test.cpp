// Minimum and maximum with the position of their first occurrence.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <type_traits>

#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

template <class T>
struct Fns;
#define STATS_MINMAX_FNS(t, T)                                  \
    template <>                                                 \
    struct Fns<T> {                                             \
        static constexpr auto c1 = zaliMinMaxIndx_##t##_C1R;    \
        static constexpr auto c3 = zaliMinMaxIndx_##t##_C3CR;   \
        static constexpr auto c1m = zaliMinMaxIndx_##t##_C1MR;  \
        static constexpr auto c3m = zaliMinMaxIndx_##t##_C3CMR; \
    };
STATS_MINMAX_FNS(8u, uint8_t)
STATS_MINMAX_FNS(8s, int8_t)
STATS_MINMAX_FNS(16u, uint16_t)
STATS_MINMAX_FNS(32f, float)

struct Found {
    float min = 0, max = 0;
    ImagePoint minAt{0, 0}, maxAt{0, 0};
    bool operator==(const Found& o) const {
        return min == o.min && max == o.max && minAt.x == o.minAt.x && minAt.y == o.minAt.y &&
               maxAt.x == o.maxAt.x && maxAt.y == o.maxAt.y;
    }
};

// Reference: first strict improvement in raster order over the selected pixels.
template <class T>
Found reference(const GuardedImage<T>& img, const GuardedImage<uint8_t>* mask, int c) {
    Found f;
    bool any = false;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (mask && mask->at(x, y) == 0) continue;
            const float v = static_cast<float>(img.at(x, y, c));
            if (!any || v < f.min) f.min = v, f.minAt = {x, y};
            if (!any || v > f.max) f.max = v, f.maxAt = {x, y};
            any = true;
        }
    return f;
}

template <class T>
class MinMaxTyped : public ::testing::Test {};
TYPED_TEST_SUITE(MinMaxTyped, SourceTypes);

TYPED_TEST(MinMaxTyped, FirstOccurrenceEveryLayout) {
    using T = TypeParam;
    using F = Fns<T>;
    // 130 x 130 crosses the banding threshold (16384 pixels).
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 6}, std::pair{8, 1}, std::pair{19, 7},
                               std::pair{130, 130}}) {
        Lcg rng(static_cast<uint64_t>(w * 7 + h));
        GuardedImage<T> c1(w, h), c3(w, h, 3);
        GuardedImage<uint8_t> mask(w, h);
        // A narrow value range makes ties across rows and bands common.
        c1.fill([&](int, int, int) { return static_cast<T>(rng.uniform(0, 9)); });
        randomFill(c3, rng);
        randomMask(mask, rng);
        Found got;
        for (int threads = 1; threads <= 3; ++threads) {
            zaltest::ThreadCount scope(threads);
            ASSERT_EQ(F::c1(c1.data(), c1.step(), c1.roi(), &got.min, &got.max, &got.minAt, &got.maxAt), StatusOk);
            EXPECT_TRUE(got == reference(c1, nullptr, 0)) << w << "x" << h;
            ASSERT_EQ(F::c1m(c1.data(), c1.step(), mask.data(), mask.step(), c1.roi(), &got.min, &got.max,
                             &got.minAt, &got.maxAt),
                      StatusOk);
            EXPECT_TRUE(got == reference(c1, &mask, 0)) << w << "x" << h;
            for (int coi = 1; coi <= 3; ++coi) {
                ASSERT_EQ(F::c3(c3.data(), c3.step(), c3.roi(), coi, &got.min, &got.max, &got.minAt, &got.maxAt),
                          StatusOk);
                EXPECT_TRUE(got == reference(c3, nullptr, coi - 1));
                ASSERT_EQ(F::c3m(c3.data(), c3.step(), mask.data(), mask.step(), c3.roi(), coi, &got.min, &got.max,
                                 &got.minAt, &got.maxAt),
                          StatusOk);
                EXPECT_TRUE(got == reference(c3, &mask, coi - 1));
            }
        }
    }
}

TEST(MinMaxIndx, TiesReportRasterFirst) {
    GuardedImage<uint8_t> img(8, 5);
    img.fill([](int, int, int) { return 100; });
    img.at(5, 2) = 3;
    img.at(1, 3) = 3;
    Found f;
    ASSERT_EQ(zaliMinMaxIndx_8u_C1R(img.data(), img.step(), img.roi(), &f.min, &f.max, &f.minAt, &f.maxAt), StatusOk);
    EXPECT_EQ(f.minAt.x, 5);
    EXPECT_EQ(f.minAt.y, 2);
    EXPECT_EQ(f.maxAt.x, 0);
    EXPECT_EQ(f.maxAt.y, 0);
    img.at(0, 2) = 3;
    ASSERT_EQ(zaliMinMaxIndx_8u_C1R(img.data(), img.step(), img.roi(), &f.min, &f.max, &f.minAt, &f.maxAt), StatusOk);
    EXPECT_EQ(f.minAt.x, 0);
    EXPECT_EQ(f.minAt.y, 2);
    EXPECT_EQ(f.min, 3.0f);
    EXPECT_EQ(f.max, 100.0f);
}

TEST(MinMaxIndx, EmptySelectionAndExtremeOnlySelections) {
    GuardedImage<uint8_t> img(6, 4), mask(6, 4);
    img.fill([](int x, int y, int) { return 10 * y + x; });
    Found f{1, 1, {3, 3}, {3, 3}};
    ASSERT_EQ(zaliMinMaxIndx_8u_C1MR(img.data(), img.step(), mask.data(), mask.step(), img.roi(), &f.min, &f.max,
                                     &f.minAt, &f.maxAt),
              StatusOk);
    EXPECT_TRUE(f == Found{});
    // Every selected value equals the type's maximum, none in row 0: the
    // position is still the first selected pixel.
    img.fill([](int, int, int) { return 255; });
    mask.at(4, 2) = 1;
    mask.at(2, 3) = 1;
    ASSERT_EQ(zaliMinMaxIndx_8u_C1MR(img.data(), img.step(), mask.data(), mask.step(), img.roi(), &f.min, &f.max,
                                     &f.minAt, &f.maxAt),
              StatusOk);
    EXPECT_EQ(f.min, 255.0f);
    EXPECT_EQ(f.minAt.x, 4);
    EXPECT_EQ(f.minAt.y, 2);
    EXPECT_EQ(f.maxAt.x, 4);
    EXPECT_EQ(f.maxAt.y, 2);
    // Infinite 32f data are reported as such.
    GuardedImage<float> inf(3, 2);
    inf.fill([](int x, int, int) { return x == 1 ? -std::numeric_limits<float>::infinity()
                                                 : std::numeric_limits<float>::infinity(); });
    ASSERT_EQ(zaliMinMaxIndx_32f_C1R(inf.data(), inf.step(), inf.roi(), &f.min, &f.max, &f.minAt, &f.maxAt), StatusOk);
    EXPECT_EQ(f.min, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(f.max, std::numeric_limits<float>::infinity());
    EXPECT_EQ(f.minAt.x, 1);
    EXPECT_EQ(f.maxAt.x, 0);
}

TEST(MinMaxIndx, CheckOrder) {
    GuardedImage<float> img(4, 2, 3);
    GuardedImage<uint8_t> mask(4, 2);
    const ImageSize roi{4, 2};
    Found f{9, 9, {9, 9}, {9, 9}};
    const Found untouched = f;
    // Every output is required.
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CR(img.data(), img.step(), roi, 1, &f.min, &f.max, nullptr, &f.maxAt),
              StatusNullPointer);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CMR(img.data(), img.step(), nullptr, 4, ImageSize{0, 0}, 9, &f.min, &f.max,
                                       &f.minAt, &f.maxAt),
              StatusNullPointer);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CR(img.data(), img.step(), ImageSize{4, 0}, 9, &f.min, &f.max, &f.minAt, &f.maxAt),
              StatusSizeError);
    // Length tests, then the alignment, then coi.
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CMR(img.data(), 49, mask.data(), 3, roi, 0, &f.min, &f.max, &f.minAt, &f.maxAt),
              StatusStepError);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CMR(img.data(), 49, mask.data(), 4, roi, 0, &f.min, &f.max, &f.minAt, &f.maxAt),
              StatusStepAlignmentError);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CR(img.data(), img.step(), roi, 0, &f.min, &f.max, &f.minAt, &f.maxAt),
              StatusChannelOfInterestError);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CR(img.data(), img.step(), roi, 4, &f.min, &f.max, &f.minAt, &f.maxAt),
              StatusChannelOfInterestError);
    EXPECT_TRUE(f == untouched);
}

}  // namespace
