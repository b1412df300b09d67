// Rectangular minimum/maximum filters with replicated border, against a
// brute-force window scan with clamped coordinates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "filter/exports.h"

using zaltest::GuardedImage;

namespace {

template <class T>
using FilterFn = StatusCode (*)(const T*, int, T*, int, ImageSize, ImageSize, ImagePoint, uint8_t*);
using SizeFn = StatusCode (*)(int, ImageSize, int*);

template <class T>
struct Variant {
    int channels;
    FilterFn<T> min, max;
    SizeFn minSize, maxSize;
};

// The members of one element type, a variant per channel count, from the
// export table.
template <class T>
std::vector<Variant<T>> variants() {
    std::vector<Variant<T>> out;
    const auto slot = [&](int channels) -> Variant<T>& {
        for (auto& v : out)
            if (v.channels == channels) return v;
        return out.emplace_back(Variant<T>{channels, nullptr, nullptr, nullptr, nullptr});
    };
    const auto isMax = [](std::string_view name) { return name.find("Max") != std::string_view::npos; };
#define MINMAX_MEMBER(name, E, C, ...)                              \
    if constexpr (std::is_same_v<E, T>) {                           \
        auto& v = slot(C);                                          \
        if constexpr (std::is_same_v<decltype(&name), FilterFn<T>>) \
            (isMax(#name) ? v.max : v.min) = name;                  \
        else                                                        \
            (isMax(#name) ? v.maxSize : v.minSize) = name;          \
    }
    ZAL_FILTER_MINMAX(MINMAX_MEMBER)
    ZAL_FILTER_MINMAX_SIZE(MINMAX_MEMBER)
#undef MINMAX_MEMBER
    return out;
}

const std::vector<Variant<uint8_t>> k8u = variants<uint8_t>();
const std::vector<Variant<float>> k32f = variants<float>();

template <class T>
T reference(const GuardedImage<T>& src, int x, int y, int c, ImageSize mask, ImagePoint anchor, bool isMax) {
    T best = src.at(std::clamp(x - anchor.x, 0, src.width() - 1), std::clamp(y - anchor.y, 0, src.height() - 1), c);
    for (int i = 0; i < mask.height; ++i)
        for (int j = 0; j < mask.width; ++j) {
            const T v = src.at(std::clamp(x - anchor.x + j, 0, src.width() - 1),
                               std::clamp(y - anchor.y + i, 0, src.height() - 1), c);
            best = isMax ? std::max(best, v) : std::min(best, v);
        }
    return best;
}

template <class T>
void fillRandom(GuardedImage<T>& img, unsigned seed) {
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) { return static_cast<T>(std::is_same_v<T, float> ? rng.uniformf(-50.f, 50.f) : rng.uniform(0, 255)); });
}

// Runs both operations for one geometry and compares every pixel.
template <class T>
void checkCase(const Variant<T>& v, ImageSize roi, ImageSize mask, ImagePoint anchor, unsigned seed) {
    GuardedImage<T> src(roi.width, roi.height, v.channels);
    fillRandom(src, seed);
    for (bool isMax : {false, true}) {
        int size = 0;
        ASSERT_EQ((isMax ? v.maxSize : v.minSize)(roi.width, mask, &size), StatusOk);
        std::vector<uint8_t> buffer(static_cast<std::size_t>(size) + 1);
        GuardedImage<T> dst(roi.width, roi.height, v.channels);
        // An odd buffer address: nothing may assume the caller aligned it.
        ASSERT_EQ((isMax ? v.max : v.min)(src.data(), src.step(), dst.data(), dst.step(), roi, mask, anchor,
                                          buffer.data() + 1),
                  StatusOk);
        ASSERT_TRUE(dst.guardsIntact());
        for (int y = 0; y < roi.height; ++y)
            for (int x = 0; x < roi.width; ++x)
                for (int c = 0; c < v.channels; ++c)
                    ASSERT_EQ(dst.at(x, y, c), reference(src, x, y, c, mask, anchor, isMax))
                        << "max " << isMax << " roi " << roi.width << "x" << roi.height << " mask " << mask.width << "x"
                        << mask.height << " anchor " << anchor.x << "," << anchor.y << " at " << x << "," << y;
    }
}

template <class T>
void sweep(const std::vector<Variant<T>>& variants) {
    unsigned seed = 1;
    for (const auto& v : variants) {
        // Every dedicated width and the general ones around them, on rows wide
        // enough for the dedicated routines and too narrow for them.
        for (int mw : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 21})
            for (int width : {2 * mw + 3, mw + 1}) {
                const ImageSize mask{mw, 1 + mw % 3};
                checkCase(v, ImageSize{width, 4}, mask, ImagePoint{mw / 2, mask.height - 1}, seed++);
                checkCase(v, ImageSize{width, 3}, mask, ImagePoint{mw - 1, 0}, seed++);
            }
        // Every vertical routine: heights 1, 3 and 5 with and without room,
        // and general heights of several blocks.
        for (int mh : {1, 2, 3, 4, 5, 6, 9})
            for (int height : {2 * mh + 5, mh, 1}) {
                checkCase(v, ImageSize{7, height}, ImageSize{3, mh}, ImagePoint{1, mh / 2}, seed++);
                checkCase(v, ImageSize{5, height}, ImageSize{2, mh}, ImagePoint{0, mh - 1}, seed++);
            }
    }
}

TEST(FilterMinMax, MatchesBruteForce) {
    sweep(k8u);
    sweep(k32f);
}

// Rows around the vector widths (whole vectors, the two-vector steps and
// every kind of tail) through the unrolled and the general folds, in the
// dedicated and general routines of both passes, on every SIMD target.
TEST(FilterMinMax, EveryTargetMatchesBruteForce) {
    zaltest::forEachSimdTarget([] {
        unsigned seed = 500;
        for (int width : {34, 65, 129})  // 8u rows of C3, C4 and C1 pixels
            for (int k : {3, 5, 8, 15}) {
                const ImageSize roi{width, 2 * k + 1}, mask{k, k};
                checkCase(k8u[width % 3], roi, mask, ImagePoint{k / 2, k / 2}, seed++);
                checkCase(k32f[k % 3], roi, mask, ImagePoint{k - 1, 0}, seed++);
            }
        // 8u C3 3x3 windows take a one-pass routine: every anchor, interiors
        // of whole vectors and of every kind of tail, with and without rows
        // repeated at the bottom edge.
        for (int width : {6, 7, 24, 45})
            for (int ay = 0; ay < 3; ++ay)
                for (int ax = 0; ax < 3; ++ax)
                    checkCase(k8u[1], ImageSize{width, 6 + ax}, ImageSize{3, 3}, ImagePoint{ax, ay}, seed++);
    });
}

TEST(FilterMinMax, EveryRowWindowAnchorAndWidth) {
    // One-row masks exercise the horizontal routines alone: every window up
    // to 24 at every anchor, on rows narrower and wider than the window.
    unsigned seed = 100;
    for (int width : {1, 2, 3, 5, 7, 8, 13, 16, 23, 40})
        for (int mw = 1; mw <= 24; ++mw)
            for (int ax = 0; ax < mw; ++ax) {
                checkCase(k8u[(mw + ax) % 3], ImageSize{width, 1}, ImageSize{mw, 1}, ImagePoint{ax, 0}, seed++);
                if (ax % 5 == 0) checkCase(k32f[mw % 3], ImageSize{width, 2}, ImageSize{mw, 1}, ImagePoint{ax, 0}, seed++);
            }
}

TEST(FilterMinMax, OddSizesAndOversizedMasks) {
    const struct { ImageSize roi, mask; ImagePoint anchor; } cases[] = {
        {{1, 1}, {1, 1}, {0, 0}}, {{1, 9}, {5, 3}, {4, 1}}, {{9, 1}, {3, 5}, {1, 4}}, {{10, 10}, {101, 101}, {50, 50}}, {{6, 5}, {40, 30}, {39, 0}}};
    unsigned seed = 7;
    for (const auto& c : cases) {
        for (const auto& v : k8u) checkCase(v, c.roi, c.mask, c.anchor, seed++);
        const auto& kind = k32f[seed % 3];
        checkCase(kind, c.roi, c.mask, c.anchor, seed++);
    }
}

// The check order of the queries (their counts are walked in
// size_queries_test) and filters.
TEST(FilterMinMax, ChecksInOrder) {
    int size = -1;
    EXPECT_EQ(zaliFilterMaxGetBufferSize_8u_C1R(0, ImageSize{0, 2}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFilterMaxGetBufferSize_8u_C1R(0, ImageSize{0, 2}, &size), StatusSizeError);
    EXPECT_EQ(zaliFilterMaxGetBufferSize_8u_C1R(5, ImageSize{0, 2}, &size), StatusMaskSizeError);

    GuardedImage<float> src(4, 3), dst(4, 3);
    std::vector<uint8_t> buffer(4096);
    const auto run = [&](const float* s, int sStep, int dStep, ImageSize roi, ImageSize mask, ImagePoint anchor,
                         uint8_t* buf) {
        return zaliFilterMinBorderReplicate_32f_C1R(s, sStep, dst.data(), dStep, roi, mask, anchor, buf);
    };
    const ImageSize roi = src.roi(), m3{3, 3};
    EXPECT_EQ(run(src.data(), 1, 1, roi, m3, ImagePoint{1, 1}, nullptr), StatusNullPointer);
    EXPECT_EQ(run(src.data(), 1, 1, ImageSize{4, 0}, ImageSize{0, 3}, ImagePoint{9, 9}, buffer.data()), StatusSizeError);
    EXPECT_EQ(run(src.data(), 1, 1, roi, ImageSize{0, 3}, ImagePoint{9, 9}, buffer.data()), StatusMaskSizeError);
    EXPECT_EQ(run(src.data(), 1, 1, roi, m3, ImagePoint{0, 3}, buffer.data()), StatusAnchorError);
    // Source length, then its alignment, then the destination's.
    EXPECT_EQ(run(src.data(), 15, 18, roi, m3, ImagePoint{1, 1}, buffer.data()), StatusStepError);
    EXPECT_EQ(run(src.data(), 18, 1, roi, m3, ImagePoint{1, 1}, buffer.data()), StatusStepAlignmentError);
    EXPECT_EQ(run(src.data(), 16, 1, roi, m3, ImagePoint{1, 1}, buffer.data()), StatusStepError);
    EXPECT_EQ(run(src.data(), 16, 18, roi, m3, ImagePoint{1, 1}, buffer.data()), StatusStepAlignmentError);
    EXPECT_EQ(run(src.data(), -16, 16, roi, m3, ImagePoint{1, 1}, buffer.data()), StatusStepError);
    // 8u tests both step lengths together and has no alignment test.
    GuardedImage<uint8_t> s8(4, 3), d8(4, 3);
    const auto run8 = [&](int sStep, int dStep) {
        return zaliFilterMaxBorderReplicate_8u_C3R(s8.data(), sStep, d8.data(), dStep, s8.roi(), ImageSize{1, 1}, ImagePoint{0, 0}, buffer.data());
    };
    EXPECT_EQ(run8(12, 11), StatusStepError);
    EXPECT_EQ(run8(13, 13), StatusOk);
}

}  // namespace
