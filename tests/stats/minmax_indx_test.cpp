// Minimum and maximum with the position of their first occurrence.

#include "common/simd_targets.h"
#include "stats/exports.h"
#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

bool operator==(ImagePoint a, ImagePoint b) { return a.x == b.x && a.y == b.y; }

struct Found {
    float min = 0, max = 0;
    ImagePoint minAt{0, 0}, maxAt{0, 0};
    bool operator==(const Found&) const = default;
};

// Every member behind one call, from the export table: coi 0 calls a
// one-channel member, a null mask an unmasked one.
template <class T>
Found call(const GuardedImage<T>& img, const Mask* m, int coi) {
    Found f;
    const T* p = img.data();
    const int ps = img.step();
    StatusCode status = StatusBadArgument;  // no such member
#define MINMAX_OUT &f.min, &f.max, &f.minAt, &f.maxAt
#define MINMAX_ROW(name, U, masked, threeChannels, ...)                                  \
    if constexpr (std::is_same_v<T, U>)                                                  \
        if ((m != nullptr) == masked && (coi != 0) == threeChannels) status = name(__VA_ARGS__);
#define MINMAX_C1(name, U) MINMAX_ROW(name, U, false, false, p, ps, img.roi(), MINMAX_OUT)
#define MINMAX_C3(name, U) MINMAX_ROW(name, U, false, true, p, ps, img.roi(), coi, MINMAX_OUT)
#define MINMAX_C1M(name, U) MINMAX_ROW(name, U, true, false, p, ps, m->data(), m->step(), img.roi(), MINMAX_OUT)
#define MINMAX_C3M(name, U) MINMAX_ROW(name, U, true, true, p, ps, m->data(), m->step(), img.roi(), coi, MINMAX_OUT)
    ZAL_STATS_MINMAX_C1(MINMAX_C1)
    ZAL_STATS_MINMAX_C3(MINMAX_C3)
    ZAL_STATS_MINMAX_C1M(MINMAX_C1M)
    ZAL_STATS_MINMAX_C3M(MINMAX_C3M)
    EXPECT_EQ(status, StatusOk);
    return f;
}

// Reference: first strict improvement in raster order over the selected
// pixels; an empty selection reports zeros at (0, 0).
template <class T>
Found reference(const GuardedImage<T>& img, const Mask* mask, int c) {
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

STATS_TYPED_SUITE(MinMaxTyped);

// Every member and channel with 1, 2 and 3 workers on every target; 130 x 130
// crosses the banding threshold (16384 pixels). One-channel values from a
// narrow range make ties within and across rows and bands common; the rows
// of three around each vector width hold the extremes last of all.
TYPED_TEST(MinMaxTyped, FirstOccurrenceOnEveryTarget) {
    using T = TypeParam;
    std::vector<std::pair<int, int>> sizes = {{1, 1}, {1, 6}, {8, 1}, {19, 7}, {130, 130}};
    for (const int w : {15, 16, 17, 31, 33, 63, 64, 65, 127, 129, 200}) sizes.push_back({w, 3});
    zaltest::forEachSimdTarget([&] {
        for (const auto& [w, h] : sizes) {
            Lcg rng(static_cast<uint64_t>(w * 7 + h));
            GuardedImage<T> c1(w, h), c3(w, h, 3);
            Mask mask(w, h), empty(w, h);
            const bool extremesLast = h == 3;
            c1.fill([&](int, int, int) { return static_cast<T>(extremesLast ? rng.uniform(1, 8) : rng.uniform(0, 9)); });
            randomFill(rng, c3);
            randomMask(mask, rng);
            if (extremesLast) c1.at(w - 1, 2) = 0, c1.at(w - 1, 1) = 9, mask.at(w - 1, 2) = 1;
            for (int threads = 1; threads <= 3; ++threads) {
                zaltest::ThreadCount scope(threads);
                for (const Mask* m : std::initializer_list<const Mask*>{nullptr, &mask, &empty})
                    for (int coi = 0; coi <= 3; ++coi) {
                        const GuardedImage<T>& img = coi ? c3 : c1;
                        EXPECT_TRUE(call(img, m, coi) == reference(img, m, coi ? coi - 1 : 0))
                            << w << "x" << h << " coi " << coi << " threads " << threads;
                    }
            }
        }
    });
}

// +0.0 and -0.0 compare equal: the one met first in raster order is reported,
// on every target.
TEST(MinMaxIndx, FirstSignedZero) {
    zaltest::forEachSimdTarget([] {
        for (const float first : {0.0f, -0.0f}) {
            GuardedImage<float> img = constant(70, 3, 5.0f);
            img.at(37, 1) = first;
            img.at(2, 2) = img.at(69, 1) = -first;
            const Found f = call(img, nullptr, 0);
            EXPECT_TRUE(f.minAt == (ImagePoint{37, 1}));
            EXPECT_EQ(std::signbit(f.min), std::signbit(first));
        }
    });
}

TEST(MinMaxIndx, ExtremeValues) {
    // Every selected value is the type's maximum, none in row 0: both
    // positions are the first selected pixel.
    const auto img = constant<uint8_t>(6, 4, 255);
    Mask mask(6, 4);
    mask.at(4, 2) = mask.at(2, 3) = 1;
    EXPECT_TRUE(call(img, &mask, 0) == (Found{255, 255, {4, 2}, {4, 2}}));
    // Infinite 32f data are reported as such.
    const float inf = std::numeric_limits<float>::infinity();
    GuardedImage<float> f(3, 2);
    f.fill([inf](int x, int, int) { return x == 1 ? -inf : inf; });
    EXPECT_TRUE(call(f, nullptr, 0) == (Found{-inf, inf, {1, 0}, {0, 0}}));
}

TEST(MinMaxIndx, CheckOrder) {
    GuardedImage<float> img(4, 2, 3);
    Mask mask(4, 2);
    const ImageSize roi{4, 2};
    Found f;
    // Every output is required; length tests, then the alignment, then coi.
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CR(img.data(), img.step(), roi, 1, &f.min, &f.max, nullptr, &f.maxAt), StatusNullPointer);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CMR(img.data(), 49, mask.data(), 3, roi, 0, MINMAX_OUT), StatusStepError);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CMR(img.data(), 49, mask.data(), 4, roi, 0, MINMAX_OUT), StatusStepAlignmentError);
    EXPECT_EQ(zaliMinMaxIndx_32f_C3CR(img.data(), img.step(), roi, 4, MINMAX_OUT), StatusChannelOfInterestError);
}

}  // namespace
