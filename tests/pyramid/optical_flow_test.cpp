// Pyramidal Lucas-Kanade tracking on smooth synthetic frames with a known
// sub-pixel motion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "zalcv.h"

namespace {

constexpr int kW = 64, kH = 48, kLevels = 3;

float scene(float x, float y) {
    return 128.0f + 60.0f * std::sin(x * 0.3f) * std::cos(y * 0.25f) + 40.0f * std::sin((x + y) * 0.15f);
}

// A rate-2 pyramid over `levels` images of T, each level the 2 x 2 mean of
// the one above (the last row or column repeated past an odd size). Owns its
// images.
template <class T>
struct Frames {
    Pyramid* pyr = nullptr;
    std::vector<std::vector<T>> images{kLevels + 1};

    Frames(float dx, float dy, ImageSize size = ImageSize{kW, kH}) {
        EXPECT_EQ(zaliPyramidInitAlloc(&pyr, kLevels, size, 2.0f), StatusOk);
        for (int L = 0; L <= kLevels; ++L) {
            const ImageSize s = pyr->levelSizes[L];
            const int pw = L > 0 ? pyr->levelSizes[L - 1].width : 0;
            const int ph = L > 0 ? pyr->levelSizes[L - 1].height : 0;
            images[L].resize(s.width * s.height);
            for (int y = 0; y < s.height; ++y)
                for (int x = 0; x < s.width; ++x) {
                    auto a = [&](int i, int j) {
                        return float(images[L - 1][std::min(2 * y + j, ph - 1) * pw + std::min(2 * x + i, pw - 1)]);
                    };
                    images[L][y * s.width + x] = static_cast<T>(L == 0 ? scene(x - dx, y - dy) * (sizeof(T) == 2 ? 200 : 1)
                                                                       : (a(0, 0) + a(1, 0) + a(0, 1) + a(1, 1)) / 4);
                }
            pyr->levelImages[L] = images[L].data();
            pyr->levelSteps[L] = s.width * static_cast<int>(sizeof(T));
        }
    }
    ~Frames() { zaliPyramidFree(pyr); }
};

// The init, track and free entry points for element type T.
template <class T>
auto api() {
    if constexpr (std::is_same_v<T, uint8_t>)
        return std::tuple{&zaliOpticalFlowPyrLKInitAlloc_8u_C1R, &zaliOpticalFlowPyrLK_8u_C1R, &zaliOpticalFlowPyrLKFree_8u_C1R};
    else if constexpr (std::is_same_v<T, uint16_t>)
        return std::tuple{&zaliOpticalFlowPyrLKInitAlloc_16u_C1R, &zaliOpticalFlowPyrLK_16u_C1R, &zaliOpticalFlowPyrLKFree_16u_C1R};
    else
        return std::tuple{&zaliOpticalFlowPyrLKInitAlloc_32f_C1R, &zaliOpticalFlowPyrLK_32f_C1R, &zaliOpticalFlowPyrLKFree_32f_C1R};
}

struct Result {
    std::vector<float> next, error;
    std::vector<int8_t> status;
    bool operator==(const Result&) const = default;
};

template <class T>
Result track(const Frames<T>& a, const Frames<T>& b, const std::vector<float>& prev, ImageSize region, int maxLevel,
             int maxIter = 20, float threshold = 0.01f, int window = 7) {
    const auto [init, run, release] = api<T>();
    OpticalFlowState* st = nullptr;
    EXPECT_EQ(init(&st, region, window, 0), StatusOk);
    const int n = static_cast<int>(prev.size() / 2);
    Result r{prev, std::vector<float>(n, -1.0f), std::vector<int8_t>(n, 99)};
    EXPECT_EQ(run(a.pyr, b.pyr, prev.data(), r.next.data(), r.status.data(), r.error.data(), n, window, maxLevel, maxIter, threshold, st), StatusOk);
    release(st);
    return r;
}

std::vector<float> gridPoints() {
    std::vector<float> p;
    for (float y = 14.0f; y <= 34.0f; y += 5.0f)
        for (float x = 14.0f; x <= 50.0f; x += 6.5f) p.insert(p.end(), {x, y});
    return p;
}

// Whole-level and per-window gradients (large and small regions) track the
// known motion and agree closely; identical frames leave points in place.
template <class T>
void tracksKnownMotion() {
    const Frames<T> a(0.0f, 0.0f), b(1.5f, -0.75f);
    const auto prev = gridPoints();
    const Result whole = track(a, b, prev, ImageSize{1000, 1000}, 2);
    for (ImageSize region : {ImageSize{1000, 1000}, ImageSize{1, 1}, ImageSize{20, 20}}) {
        const Result r = track(a, b, prev, region, 2);
        ASSERT_EQ(r.status, std::vector<int8_t>(r.status.size(), 0));
        for (std::size_t i = 0; i < r.status.size(); ++i) {
            EXPECT_NEAR(r.next[2 * i], prev[2 * i] + 1.5f, 0.15f) << i;
            EXPECT_NEAR(r.next[2 * i + 1], prev[2 * i + 1] - 0.75f, 0.15f) << i;
            EXPECT_TRUE(std::fabs(r.next[2 * i] - whole.next[2 * i]) <= 0.01f && r.error[i] >= 0.0f) << i;
        }
    }
    const Result same = track(a, a, prev, ImageSize{1000, 1000}, 2);
    EXPECT_EQ(same.status, std::vector<int8_t>(same.status.size(), 0));
    EXPECT_EQ(same.next, prev);
    EXPECT_EQ(same.error, std::vector<float>(same.error.size(), 0.0f));
}

TEST(OpticalFlow, TracksKnownMotionForEveryType) {
    tracksKnownMotion<uint8_t>();
    tracksKnownMotion<uint16_t>();
    tracksKnownMotion<float>();
}

// Every target gives the same bits: windows of 7, 21 and 33 (vector runs
// with tails; patch rows of one, two and more vectors), points near and past
// the borders (clipped windows), both gradient paths.
template <class T>
void sameOnEveryTarget() {
    const Frames<T> a(0.0f, 0.0f), b(1.25f, 0.5f);
    std::vector<float> prev = gridPoints();
    prev.insert(prev.end(), {1.5f, 2.0f, 62.5f, 46.0f, -2.0f, 20.0f});
    for (int window : {7, 21, 33})
        for (ImageSize region : {ImageSize{1000, 1000}, ImageSize{1, 1}})
            zaltest::expectSameOnEveryTarget([&] { return track(a, b, prev, region, 2, 20, 0.01f, window); },
                                             (::testing::Message() << window << " " << region.width).GetString());
}

TEST(OpticalFlow, SameResultsOnEverySimdTarget) {
    sameOnEveryTarget<uint8_t>();
    sameOnEveryTarget<uint16_t>();
    sameOnEveryTarget<float>();
}

TEST(OpticalFlow, UniformWindowFailsAtTheCoarsestLevel) {
    Frames<uint8_t> a(0.0f, 0.0f);
    for (auto& img : a.images) std::fill(img.begin(), img.end(), 90);
    const std::vector<float> prev = {20.0f, 20.0f, 40.0f, 10.0f};
    for (ImageSize region : {ImageSize{1000, 1000}, ImageSize{1, 1}}) {
        const Result r = track(a, a, prev, region, 2);
        EXPECT_EQ(r.status, (std::vector<int8_t>{3, 3}));
        EXPECT_EQ(r.error[0], 0.0f);
    }
}

TEST(OpticalFlow, OneIterationAndZeroThreshold) {
    const Frames<uint8_t> a(0.0f, 0.0f), b(0.5f, 0.5f);
    const auto prev = gridPoints();
    const std::vector<int8_t> ok(prev.size() / 2, 0);
    EXPECT_EQ(track(a, b, prev, ImageSize{30, 30}, 1, 1, 0.0f).status, ok);
    const Result many = track(a, b, prev, ImageSize{30, 30}, 1, 40, 0.0f);
    EXPECT_EQ(many.status, ok);
    for (std::size_t i = 0; i < ok.size(); ++i) EXPECT_NEAR(many.next[2 * i], prev[2 * i] + 0.5f, 0.15f);
}

// A state may be used with any worker count: states made with 1, 2 and 3
// workers, each used with 1, 2, 3 and 8 (and 40, more workers than points),
// give bit-identical results. The small frames track through per-window
// gradients; the larger ones use whole-level gradients (the regions are just
// larger) and their finest level lies just under or over the height from
// which the level filters split their rows over two or three workers.
template <class T>
void sameResultsForEveryWorkerCount() {
    const auto [init, run, release] = api<T>();
    for (ImageSize size : {ImageSize{kW, kH}, ImageSize{300, 254}, ImageSize{300, 258}, ImageSize{260, 382}, ImageSize{260, 386}}) {
        const bool small = size.width == kW;
        const Frames<T> a(0.0f, 0.0f, size), b(2.25f, 1.0f, size);
        std::vector<float> prev;
        zaltest::Lcg rng(size.height);
        for (int i = 0; i < (small ? 37 : 23); ++i)
            prev.insert(prev.end(), {rng.uniformf(-3, size.width + 3.0f), rng.uniformf(-3, size.height + 3.0f)});
        const int n = static_cast<int>(prev.size() / 2);
        const ImageSize region = small ? ImageSize{20, 20} : ImageSize{size.width + 1, size.height + 1};
        std::vector<Result> runs;
        for (int made : {1, 2, 3}) {
            OpticalFlowState* st = nullptr;
            {
                zaltest::ThreadCount scope(made);
                ASSERT_EQ(init(&st, region, 7, 0), StatusOk);
            }
            for (int used : small ? std::vector<int>{1, 2, 3, 8, 40} : std::vector<int>{1, 2, 3, 8}) {
                zaltest::ThreadCount scope(used);
                Result r{prev, std::vector<float>(n, -1.0f), std::vector<int8_t>(n, 99)};
                ASSERT_EQ(run(a.pyr, b.pyr, prev.data(), r.next.data(), r.status.data(), r.error.data(), n, 7, 2, 20,
                              0.01f, st), StatusOk);
                runs.push_back(std::move(r));
                EXPECT_TRUE(runs.back() == runs.front())
                    << size.width << "x" << size.height << " made with " << made << " used with " << used;
            }
            release(st);
        }
    }
}

TEST(OpticalFlow, StatesServeEveryWorkerCount) {
    sameResultsForEveryWorkerCount<uint8_t>();
    sameResultsForEveryWorkerCount<uint16_t>();
    sameResultsForEveryWorkerCount<float>();
}

TEST(OpticalFlow, ChecksInOrder) {
    const Frames<float> a(0.0f, 0.0f);
    OpticalFlowState* st = nullptr;
    ASSERT_EQ(zaliOpticalFlowPyrLKInitAlloc_32f_C1R(&st, ImageSize{10, 10}, 5, 0), StatusOk);
    std::vector<float> prev = {10, 10}, next = prev, err = {7.0f};
    std::vector<int8_t> status = {9};
    EXPECT_EQ(zaliOpticalFlowPyrLK_32f_C1R(a.pyr, a.pyr, prev.data(), next.data(), nullptr, err.data(), 0, 5, 1, 1, 0, st), StatusNullPointer);
    EXPECT_EQ(zaliOpticalFlowPyrLK_32f_C1R(a.pyr, a.pyr, prev.data(), next.data(), status.data(), err.data(), 1, 7, -1, 1, 0, st), StatusSizeError);
    EXPECT_EQ(zaliOpticalFlowPyrLK_32f_C1R(a.pyr, a.pyr, prev.data(), next.data(), status.data(), err.data(), 1, 5, 1, 1, -1.0f, st), StatusBadArgument);
    // More levels than the pyramids hold, or a state of another type.
    EXPECT_EQ(zaliOpticalFlowPyrLK_32f_C1R(a.pyr, a.pyr, prev.data(), next.data(), status.data(), err.data(), 1, 5, kLevels + 1, 1, 0, st), StatusBadArgument);
    EXPECT_EQ(zaliOpticalFlowPyrLK_8u_C1R(a.pyr, a.pyr, prev.data(), next.data(), status.data(), err.data(), 1, 5, 1, 1, 0, st), StatusDataTypeError);
    EXPECT_EQ(zaliOpticalFlowPyrLKFree_32f_C1R(st), StatusOk);

    st = nullptr;
    EXPECT_EQ(zaliOpticalFlowPyrLKInitAlloc_8u_C1R(nullptr, ImageSize{0, 0}, 0, 0), StatusNullPointer);
    EXPECT_EQ(zaliOpticalFlowPyrLKInitAlloc_8u_C1R(&st, ImageSize{4, 4}, 0, 0), StatusSizeError);
    EXPECT_EQ(st, nullptr);
    EXPECT_EQ(zaliOpticalFlowPyrLKFree_16u_C1R(nullptr), StatusNullPointer);
}

}  // namespace
