// Haar stage application against a reference that sums the rectangles
// directly over the source pixels, for every apply operation.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "core/threads.h"
#include "objdetect/reference.h"

using zaltest::GuardedImage;
using zaltest::Lcg;
using namespace objdetect_test;

namespace {

enum class Shape { Upright, Tilted, TiltedSecond };

// One stage with integer weights, thresholds and quarter-valued votes, so that
// float and integer evaluations are exact and agree with the reference.
struct StageSpec {
    std::vector<int> num;
    std::vector<ImageRect> rects;
    std::vector<int> weights, thr;
    std::vector<int> val1, val2;  // in quarters for the float states
    std::vector<Shape> shape;     // per classifier, as the mixed operations read it
    int rectStart(int k) const {
        int s = 0;
        for (int i = 0; i < k; ++i) s += num[i];
        return s;
    }
};

// Rectangles fit a 10 x 10 window; tilted ones also satisfy x + 1 >= height.
StageSpec randomStage(Lcg& rng, int classifiers, bool tiltable) {
    StageSpec s;
    for (int k = 0; k < classifiers; ++k) {
        const int n = rng.uniform(1, 4);
        s.num.push_back(n);
        for (int r = 0; r < n; ++r) {
            ImageRect q;
            if (tiltable) {
                q.width = rng.uniform(1, 3);
                q.height = rng.uniform(1, 3);
                q.x = rng.uniform(q.height - 1, 4);
                q.y = rng.uniform(q.width, 3);  // mode 0 needs y >= width
            } else {
                q.width = rng.uniform(1, 5);
                q.height = rng.uniform(1, 5);
                q.x = rng.uniform(0, 4);
                q.y = rng.uniform(0, 4);
            }
            s.rects.push_back(q);
            s.weights.push_back(rng.uniform(-3, 3));
        }
        s.thr.push_back(rng.uniform(-40, 40));
        s.val1.push_back(rng.uniform(-8, 8));
        s.val2.push_back(rng.uniform(-8, 8));
        s.shape.push_back(Shape::Upright);
    }
    return s;
}

std::vector<float> quarters(const std::vector<int>& v) {
    std::vector<float> out;
    for (int x : v) out.push_back(x * 0.25f);
    return out;
}
std::vector<float> floats(const std::vector<int>& v) { return std::vector<float>(v.begin(), v.end()); }

// Reference stage total of window (px, py) in input order (the votes are
// exact, so the order of the float sum does not matter here).
long long referenceStage(const GuardedImage<uint8_t>& src, const StageSpec& s, int px, int py, long long norm,
                         int shift = 0) {
    long long stage = 0;
    for (std::size_t k = 0; k < s.num.size(); ++k) {
        long long f = 0;
        for (int r = 0; r < s.num[k]; ++r) {
            const ImageRect q = s.rects[s.rectStart(static_cast<int>(k)) + r];
            long long sum = 0;
            int count = 0;
            switch (s.shape[k]) {
                case Shape::Upright: sum = uprightRectSum(src, px + q.x, py + q.y, q.width, q.height, false); break;
                case Shape::Tilted:
                    sum = rotatedRectSum(src, py + 1 + q.y, px + 1 + q.x, q.width, q.height, false, &count);
                    break;
                case Shape::TiltedSecond:  // top corner (y - w, x + w - h), sides swapped
                    sum = rotatedRectSum(src, py + 1 + q.y - q.width, px + 1 + q.x + q.width - q.height, q.height,
                                         q.width, false, &count);
                    break;
            }
            f += sum * s.weights[s.rectStart(static_cast<int>(k)) + r];
        }
        stage += (f << shift) < static_cast<long long>(s.thr[k]) * norm ? s.val1[k] : s.val2[k];
    }
    return stage;
}

// Tables, norm and mask for a grid of windows over a random source.
struct Scene {
    ImageSize roi;
    GuardedImage<uint8_t> src;
    GuardedImage<int32_t> sum32s, tilt32s, norm32s;
    GuardedImage<float> sum32f, tilt32f, norm32f;
    GuardedImage<uint8_t> mask;
    Scene(ImageSize r, uint64_t seed)
        : roi(r), src(randomSource(r.width + 10, r.height + 10, seed, 15)),
          sum32s(r.width + 11, r.height + 11), tilt32s(r.width + 12, r.height + 12), norm32s(r.width, r.height),
          sum32f(r.width + 11, r.height + 11), tilt32f(r.width + 12, r.height + 12), norm32f(r.width, r.height),
          mask(r.width, r.height) {
        const ImageSize full = src.roi();
        EXPECT_EQ(zaliIntegral_8u32s_C1R(src.data(), src.step(), sum32s.data(), sum32s.step(), full, 0), StatusOk);
        EXPECT_EQ(zaliIntegral_8u32f_C1R(src.data(), src.step(), sum32f.data(), sum32f.step(), full, 0), StatusOk);
        EXPECT_EQ(zaliTiltedIntegral_8u32s_C1R(src.data(), src.step(), tilt32s.data(), tilt32s.step(), full, 0),
                  StatusOk);
        EXPECT_EQ(zaliTiltedIntegral_8u32f_C1R(src.data(), src.step(), tilt32f.data(), tilt32f.step(), full, 0),
                  StatusOk);
        Lcg rng(seed + 1);
        norm32s.fill([&](int, int, int) { return rng.uniform(1, 3); });
        norm32f.fill([&](int x, int y, int) { return static_cast<float>(norm32s.at(x, y)); });
        // Dense rows with a few holes, and sparse rows (every ninth window).
        mask.fill([&](int x, int y, int) {
            const bool set = y % 3 == 1 ? x % 9 == 0 : (x + 2 * y) % 7 != 3;
            return set ? 1 + (x % 200) : 0;
        });
    }
    // Runs apply(mask, maskStep, &count) on a copy of the mask and compares
    // with the windows that `accept` takes by the reference stage totals.
    template <class StageFn, class ApplyFn>
    void expectApplied(StageFn stageOf, bool (*accept)(long long), ApplyFn apply) const {
        std::vector<uint8_t> want = mask.pixels();
        int wantCount = 0;
        for (int y = 0; y < roi.height; ++y)
            for (int x = 0; x < roi.width; ++x) {
                uint8_t& m = want[static_cast<std::size_t>(y) * roi.width + x];
                if (m == 0) continue;
                if (accept(stageOf(x, y))) ++wantCount;
                else m = 0;
            }
        GuardedImage<uint8_t> out = mask;
        int count = -1;
        ASSERT_EQ(apply(out.data(), out.step(), &count), StatusOk);
        EXPECT_EQ(count, wantCount);
        EXPECT_EQ(out.pixels(), want);
        EXPECT_TRUE(out.guardsIntact());
    }
};

// Float stages compare quarter-valued totals with a threshold of 0.5.
bool acceptQuarters(long long stageInQuarters) { return stageInQuarters * 0.25 >= 0.5; }
bool acceptInt(long long stage) { return stage >= 2; }

struct FloatState {
    HaarClassifierState_32f* st = nullptr;
    FloatState(const StageSpec& s, bool tilted) {
        const auto w = floats(s.weights), t = floats(s.thr), v1 = quarters(s.val1), v2 = quarters(s.val2);
        auto init = tilted ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f;
        EXPECT_EQ(init(&st, s.rects.data(), w.data(), t.data(), v1.data(), v2.data(), s.num.data(),
                       static_cast<int>(s.num.size())),
                  StatusOk);
    }
    ~FloatState() { zaliHaarClassifierFree_32f(st); }
};
struct IntState {
    HaarClassifierState_32s* st = nullptr;
    IntState(const StageSpec& s, bool tilted) {
        auto init = tilted ? zaliTiltedHaarClassifierInitAlloc_32s : zaliHaarClassifierInitAlloc_32s;
        EXPECT_EQ(init(&st, s.rects.data(), s.weights.data(), s.thr.data(), s.val1.data(), s.val2.data(),
                       s.num.data(), static_cast<int>(s.num.size())),
                  StatusOk);
    }
    ~IntState() { zaliHaarClassifierFree_32s(st); }
};

TEST(HaarApply, UprightOperationsMatchDirectSums) {
    Lcg rng(3);
    const StageSpec s = randomStage(rng, 9, false);
    const FloatState f(s, false);
    const IntState i(s, false);
    for (ImageSize roi : {ImageSize{1, 1}, ImageSize{1, 6}, ImageSize{7, 1}, ImageSize{23, 17}}) {
        SCOPED_TRACE(testing::Message() << roi.width << "x" << roi.height);
        const Scene sc(roi, roi.width * 5 + roi.height);
        auto stageOf = [&](int x, int y) { return referenceStage(sc.src, s, x, y, sc.norm32s.at(x, y)); };
        sc.expectApplied(stageOf, acceptQuarters, [&](uint8_t* m, int ms, int* count) {
            return zaliApplyHaarClassifier_32f_C1R(sc.sum32f.data(), sc.sum32f.step(), sc.norm32f.data(),
                                                   sc.norm32f.step(), m, ms, roi, count, 0.5f, f.st);
        });
        sc.expectApplied(stageOf, acceptQuarters, [&](uint8_t* m, int ms, int* count) {
            return zaliApplyHaarClassifier_32s32f_C1R(sc.sum32s.data(), sc.sum32s.step(), sc.norm32f.data(),
                                                      sc.norm32f.step(), m, ms, roi, count, 0.5f, f.st);
        });
        // Integer state: votes are whole numbers, threshold 2.
        sc.expectApplied(stageOf, acceptInt, [&](uint8_t* m, int ms, int* count) {
            return zaliApplyHaarClassifier_32s_C1RSfs(sc.sum32s.data(), sc.sum32s.step(), sc.norm32s.data(),
                                                      sc.norm32s.step(), m, ms, roi, count, 2, i.st);
        });
    }
}

TEST(HaarApply, MixedOperationsReadTiltedClassifiersFromTheTiltedTable) {
    Lcg rng(11);
    for (int mode : {1, 0}) {
        SCOPED_TRACE(mode);
        StageSpec s = randomStage(rng, 8, true);
        const uint8_t pick[8] = {1, 0, 0, 1, 1, 0, 1, 0};
        for (int k = 0; k < 8; ++k)
            if (pick[k]) s.shape[k] = mode ? Shape::Tilted : Shape::TiltedSecond;
        const ImageSize roi{19, 13};
        const Scene sc(roi, 40 + mode);
        const FloatState f(s, false);
        const IntState i(s, false);
        ASSERT_EQ(zaliTiltHaarFeatures_32f(pick, mode, f.st), StatusOk);
        ASSERT_EQ(zaliTiltHaarFeatures_32s(pick, mode, i.st), StatusOk);
        auto stageOf = [&](int x, int y) { return referenceStage(sc.src, s, x, y, sc.norm32s.at(x, y)); };
        sc.expectApplied(stageOf, acceptQuarters, [&](uint8_t* m, int ms, int* count) {
            return zaliApplyMixedHaarClassifier_32f_C1R(sc.sum32f.data(), sc.sum32f.step(), sc.tilt32f.data(),
                                                        sc.tilt32f.step(), sc.norm32f.data(), sc.norm32f.step(), m,
                                                        ms, roi, count, 0.5f, f.st);
        });
        sc.expectApplied(stageOf, acceptQuarters, [&](uint8_t* m, int ms, int* count) {
            return zaliApplyMixedHaarClassifier_32s32f_C1R(sc.sum32s.data(), sc.sum32s.step(), sc.tilt32s.data(),
                                                           sc.tilt32s.step(), sc.norm32f.data(), sc.norm32f.step(), m,
                                                           ms, roi, count, 0.5f, f.st);
        });
        // Integer state; features shifted left by 2 (scaleFactor -2).
        sc.expectApplied([&](int x, int y) { return referenceStage(sc.src, s, x, y, sc.norm32s.at(x, y), 2); },
                         acceptInt, [&](uint8_t* m, int ms, int* count) {
                             return zaliApplyMixedHaarClassifier_32s_C1RSfs(
                                 sc.sum32s.data(), sc.sum32s.step(), sc.tilt32s.data(), sc.tilt32s.step(),
                                 sc.norm32s.data(), sc.norm32s.step(), m, ms, roi, count, 2, i.st, -2);
                         });
    }
}

TEST(HaarApply, TiltedConstructorWithMixedIntegerApply) {
    Lcg rng(17);
    StageSpec s = randomStage(rng, 6, true);
    for (auto& shape : s.shape) shape = Shape::Tilted;
    const ImageSize roi{15, 9};
    const Scene sc(roi, 77);
    const IntState i(s, true);
    sc.expectApplied([&](int x, int y) { return referenceStage(sc.src, s, x, y, sc.norm32s.at(x, y)); }, acceptInt,
                     [&](uint8_t* m, int ms, int* count) {
                         return zaliApplyMixedHaarClassifier_32s_C1RSfs(
                             sc.sum32s.data(), sc.sum32s.step(), sc.tilt32s.data(), sc.tilt32s.step(),
                             sc.norm32s.data(), sc.norm32s.step(), m, ms, roi, count, 2, i.st, 0);
                     });
}

// Stages of 1x1 rectangles over the integral table of an all-ones image:
// every rectangle sums to 1 and every norm is 1, so the weights and votes
// alone decide. Thresholds are 1 and val1 is 0 unless set.
struct Ones {
    GuardedImage<float> table{6, 6}, norm{4, 4};
    std::vector<float> val1;
    GuardedImage<uint8_t> mask{4, 4};
    Ones() {
        table.fill([](int x, int y, int) { return static_cast<float>(x * y); });
        norm.fill([](int, int, int) { return 1.0f; });
        mask.fill([](int, int, int) { return 1; });
    }
    // Applies the stage to `mask` in place and returns the accepted count.
    int apply(std::vector<int> num, std::vector<float> weights, std::vector<float> val2, float stageThreshold,
              bool tiltedInit = false, bool mixed = false, int classifiers = -1) {
        const std::vector<ImageRect> r(weights.size(), ImageRect{1, 0, 1, 1});
        const std::vector<float> t(num.size(), 1.0f), v1 = val1.empty() ? std::vector<float>(num.size(), 0.0f) : val1;
        if (classifiers < 0) classifiers = static_cast<int>(num.size());
        auto init = tiltedInit ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f;
        HaarClassifierState_32f* st = nullptr;
        EXPECT_EQ(init(&st, r.data(), weights.data(), t.data(), v1.data(), val2.data(), num.data(), classifiers),
                  StatusOk);
        int count = -1;
        const StatusCode status =
            mixed ? zaliApplyMixedHaarClassifier_32f_C1R(table.data(), table.step(), table.data(), table.step(),
                                                         norm.data(), norm.step(), mask.data(), mask.step(),
                                                         mask.roi(), &count, stageThreshold, st)
                  : zaliApplyHaarClassifier_32f_C1R(table.data(), table.step(), norm.data(), norm.step(), mask.data(),
                                                    mask.step(), mask.roi(), &count, stageThreshold, st);
        EXPECT_EQ(status, StatusOk);
        EXPECT_TRUE(mask.guardsIntact());
        zaliHaarClassifierFree_32f(st);
        return count;
    }
};

constexpr float kBig = 16777216.0f;  // 2^24: adding 1 to it is lost

TEST(HaarApply, FloatFeatureTermOrder) {
    // Three rectangles: (S2 w2 + S3 w3) + S1 w1 = 1 meets t * n = 1 and votes
    // val2; left to right (1 + 2^24) - 2^24 = 0 votes val1.
    EXPECT_EQ(Ones().apply({3}, {1, kBig, -kBig}, {1}, 1.0f), 16);
    EXPECT_EQ(Ones().apply({3}, {1, kBig, -kBig}, {1}, 1.0f, false, true), 0);
    // Four rectangles are summed left to right from 0.
    EXPECT_EQ(Ones().apply({4}, {1, kBig, -kBig, 0}, {1}, 1.0f), 0);
    // A feature equal to t * n votes val2.
    EXPECT_EQ(Ones().apply({1}, {1}, {1}, 1.0f), 16);
    EXPECT_EQ(Ones().apply({1}, {1}, {1}, 1.0f, false, true), 16);
}

// The float stage total adds the votes in storage order: the 2-rectangle
// classifier (2^24) and the 3-rectangle one (-2^24) come before the
// 1-rectangle one (1); the tilted constructor keeps input order,
// (1 + 2^24) - 2^24 = 0. Both votes are equal, so the features do not matter.
TEST(HaarApply, StageTotalFollowsStorageOrder) {
    const std::vector<float> w(6, 1.0f), v{1, kBig, -kBig};
    Ones upright, tilted;
    upright.val1 = tilted.val1 = v;
    EXPECT_EQ(upright.apply({1, 2, 3}, w, v, 1.0f), 16);
    EXPECT_EQ(tilted.apply({1, 2, 3}, w, v, 1.0f, true), 0);
}

TEST(HaarApply, EmptyStageAndEmptyMask) {
    Ones ones;
    EXPECT_EQ(ones.apply({1}, {1}, {1}, 0.0f, false, false, 0), 16);  // stage 0 >= 0
    EXPECT_EQ(ones.apply({1}, {1}, {1}, 0.25f, false, false, 0), 0);
    for (uint8_t m : ones.mask.pixels()) EXPECT_EQ(m, 0);
    EXPECT_EQ(ones.apply({1}, {1}, {1}, -1.0f), 0);  // no window left to evaluate
    for (uint8_t m : ones.mask.pixels()) EXPECT_EQ(m, 0);
}

TEST(HaarApply, ParallelBandsGiveTheSameMaskForAnyThreadCount) {
    Lcg rng(5);
    const StageSpec s = randomStage(rng, 6, false);
    const FloatState f(s, false);
    // Large enough for the banded path with up to three workers.
    int height = 0;
    const int width = 160;
    {
        zaltest::ThreadCount scope(3);
        height = zal::owncvGetMaxNumThreads() * 22500 / width + 7;
    }
    const Scene sc(ImageSize{width, height}, 9);
    std::vector<std::vector<uint8_t>> masks;
    std::vector<int> counts;
    for (int threads : {1, 2, 3}) {
        zaltest::ThreadCount scope(threads);
        GuardedImage<uint8_t> mask = sc.mask;
        int count = -1;
        ASSERT_EQ(zaliApplyHaarClassifier_32f_C1R(sc.sum32f.data(), sc.sum32f.step(), sc.norm32f.data(),
                                                  sc.norm32f.step(), mask.data(), mask.step(), sc.roi, &count, 0.5f,
                                                  f.st),
                  StatusOk);
        EXPECT_TRUE(mask.guardsIntact());
        // Spot-check the first and last rows against the reference.
        for (int y : {0, 1, height - 1}) {
            for (int x = 0; x < width; ++x) {
                if (sc.mask.at(x, y) == 0) continue;
                ASSERT_EQ(mask.at(x, y) != 0, acceptQuarters(referenceStage(sc.src, s, x, y, sc.norm32s.at(x, y))));
            }
        }
        masks.push_back(mask.pixels());
        counts.push_back(count);
    }
    EXPECT_EQ(masks[0], masks[1]);
    EXPECT_EQ(masks[0], masks[2]);
    EXPECT_EQ(counts[0], counts[1]);
    EXPECT_EQ(counts[0], counts[2]);
    EXPECT_GT(counts[0], 0);
}

TEST(HaarApplyChecks, OrderAndStatuses) {
    Ones ones;
    HaarClassifierState_32s* si = nullptr;
    const ImageRect r{0, 0, 1, 1};
    const int32_t v = 0;
    const int n = 1;
    ASSERT_EQ(zaliHaarClassifierInitAlloc_32s(&si, &r, &v, &v, &v, &v, &n, 1), StatusOk);
    const int32_t* table = reinterpret_cast<const int32_t*>(ones.table.data());
    const int32_t* norm = reinterpret_cast<const int32_t*>(ones.norm.data());
    uint8_t* mask = ones.mask.data();
    const int ts = ones.table.step(), ns = ones.norm.step(), ms = ones.mask.step();
    int count = -7;
    auto mixed = [&](const int32_t* tilted, int tStep, int nStep, int mStep, ImageSize roi, int* pCount, int scale) {
        return zaliApplyMixedHaarClassifier_32s_C1RSfs(table, ts, tilted, tStep, norm, nStep, mask, mStep, roi, pCount,
                                                       0, si, scale);
    };
    EXPECT_EQ(mixed(nullptr, ts, ns, ms, ImageSize{0, 4}, &count, 1), StatusNullPointer);
    EXPECT_EQ(mixed(table, ts, ns, ms, ImageSize{4, 4}, nullptr, 1), StatusNullPointer);
    EXPECT_EQ(mixed(table, 0, ns, ms, ImageSize{4, 0}, &count, 1), StatusSizeError);
    EXPECT_EQ(mixed(table, 15, ns, ms, ImageSize{4, 4}, &count, 1), StatusStepError);
    EXPECT_EQ(mixed(table, ts, 15, ms, ImageSize{4, 4}, &count, 1), StatusStepError);
    EXPECT_EQ(mixed(table, ts, ns, 3, ImageSize{4, 4}, &count, 1), StatusStepError);
    EXPECT_EQ(mixed(table, ts, ns, -ms, ImageSize{4, 4}, &count, 1), StatusStepError);
    EXPECT_EQ(mixed(table, 18, ns, ms, ImageSize{4, 4}, &count, 1), StatusStepAlignmentError);
    EXPECT_EQ(mixed(table, ts, ns + 1, ms, ImageSize{4, 4}, &count, 1), StatusStepAlignmentError);
    EXPECT_EQ(mixed(table, ts, ns, ms, ImageSize{4, 4}, &count, 1), StatusBadArgument);
    EXPECT_EQ(count, -7);
    for (uint8_t m : ones.mask.pixels()) EXPECT_EQ(m, 1);
    EXPECT_EQ(zaliApplyHaarClassifier_32s_C1RSfs(table, ts, norm, ns, mask, ms, ImageSize{4, 4}, &count, 0, nullptr),
              StatusNullPointer);
    EXPECT_EQ(zaliApplyHaarClassifier_32s_C1RSfs(table, ts, norm, 2, mask, ms, ImageSize{4, 4}, &count, 0, si),
              StatusStepError);
    EXPECT_EQ(mixed(table, ts, ns, ms, ImageSize{4, 4}, &count, 0), StatusOk);
    EXPECT_EQ(count, 16);
    zaliHaarClassifierFree_32s(si);
}

}  // namespace
