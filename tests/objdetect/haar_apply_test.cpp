// Haar stage application against a reference that sums the rectangles
// directly over the source pixels, for every apply operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/simd_targets.h"
#include "core/threads.h"
#include "objdetect/reference.h"

using namespace objdetect_test;

namespace {

enum class Shape { Upright, Tilted, TiltedSecond };

// One stage with integer weights and thresholds and votes counted in quarters
// by the float states, so that every evaluation is exact and agrees with the
// reference. Rectangles fit a 10 x 10 window; tiltable ones also satisfy
// x + 1 >= height and y >= width (tilt mode 0).
struct Stage {
    std::vector<int> num, weights, thr, val1, val2;
    std::vector<ImageRect> rects;
    std::vector<Shape> shape;  // per classifier, as the mixed operations read it
    HaarClassifierState_32f* f = nullptr;
    HaarClassifierState_32s* i = nullptr;
    Stage(Lcg& rng, int classifiers, bool tiltable) {
        for (int k = 0; k < classifiers; ++k) {
            num.push_back(rng.uniform(1, 4));
            for (int r = 0; r < num.back(); ++r) {
                ImageRect q{0, 0, rng.uniform(1, tiltable ? 3 : 5), rng.uniform(1, tiltable ? 3 : 5)};
                q.x = tiltable ? rng.uniform(q.height - 1, 4) : rng.uniform(0, 4);
                q.y = tiltable ? rng.uniform(q.width, 3) : rng.uniform(0, 4);
                rects.push_back(q);
                weights.push_back(rng.uniform(-3, 3));
            }
            thr.push_back(rng.uniform(-40, 40));
            val1.push_back(rng.uniform(-8, 8));
            val2.push_back(rng.uniform(-8, 8));
            shape.push_back(Shape::Upright);
        }
    }
    Stage(const Stage&) = delete;
    ~Stage() { zaliHaarClassifierFree_32f(f), zaliHaarClassifierFree_32s(i); }
    void init(bool tiltedInit) {
        std::vector<float> w(weights.begin(), weights.end()), t(thr.begin(), thr.end()), v1, v2;
        for (std::size_t k = 0; k < val1.size(); ++k) v1.push_back(val1[k] * 0.25f), v2.push_back(val2[k] * 0.25f);
        const int n = static_cast<int>(num.size());
        ASSERT_EQ((tiltedInit ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f)(
                      &f, rects.data(), w.data(), t.data(), v1.data(), v2.data(), num.data(), n), StatusOk);
        ASSERT_EQ((tiltedInit ? zaliTiltedHaarClassifierInitAlloc_32s : zaliHaarClassifierInitAlloc_32s)(
                      &i, rects.data(), weights.data(), thr.data(), val1.data(), val2.data(), num.data(), n), StatusOk);
    }
    // Stage total of window (px, py) in input order, features shifted left.
    long long reference(const GuardedImage<uint8_t>& src, int px, int py, long long norm, int shift) const {
        long long stage = 0;
        for (std::size_t k = 0, r0 = 0; k < num.size(); r0 += num[k++]) {
            long long feature = 0;
            for (std::size_t r = r0; r < r0 + num[k]; ++r) {
                const ImageRect q = rects[r];
                long long sum = 0;
                if (shape[k] == Shape::Upright) sum = uprightRectSum(src, px + q.x, py + q.y, q.width, q.height, false);
                if (shape[k] == Shape::Tilted)
                    sum = rotatedRectSum(src, py + 1 + q.y, px + 1 + q.x, q.width, q.height, false);
                if (shape[k] == Shape::TiltedSecond)  // top corner (y - w, x + w - h), sides swapped
                    sum = rotatedRectSum(src, py + 1 + q.y - q.width, px + 1 + q.x + q.width - q.height, q.height,
                                         q.width, false);
                feature += sum * weights[r];
            }
            stage += (feature << shift) < thr[k] * norm ? val1[k] : val2[k];
        }
        return stage;
    }
};

// Tables, norms and mask for a grid of windows over a random source.
struct Scene {
    ImageSize roi;
    GuardedImage<uint8_t> src;
    AllTables up, tilt;
    GuardedImage<int32_t> norm32s;
    GuardedImage<float> norm32f;
    GuardedImage<uint8_t> mask;
    Scene(ImageSize r, uint64_t seed)
        : roi(r), src(randomSource(r.width + 10, r.height + 10, seed, 15)), up(src, false, 0), tilt(src, true, 0),
          norm32s(r.width, r.height), norm32f(r.width, r.height), mask(r.width, r.height) {
        Lcg rng(seed + 1);
        norm32s.fill([&](int, int, int) { return rng.uniform(1, 3); });
        norm32f.fill([&](int x, int y, int) { return norm32s.at(x, y); });
        // Dense rows with a few holes, and sparse rows (every ninth window).
        mask.fill([](int x, int y, int) { return (y % 3 == 1 ? x % 9 == 0 : (x + 2 * y) % 7 != 3) ? 1 + x % 200 : 0; });
    }
    // Operation op (0: 32f, 1: 32s32f, 2: 32s scaled) of the plain or mixed family.
    StatusCode run(const Stage& s, int op, bool mixed, uint8_t* m, int ms, int* count, int shift) const {
        const float *nf = norm32f.data(), *sf = up.f32.data(), *tf = tilt.f32.data();
        const int32_t *ni = norm32s.data(), *si = up.i32.data(), *ti = tilt.i32.data();
        const int fs = norm32f.step(), is = norm32s.step(), sfs = up.f32.step(), sis = up.i32.step();
        const int tfs = tilt.f32.step(), tis = tilt.i32.step();
        switch (op + 3 * mixed) {
            case 0: return zaliApplyHaarClassifier_32f_C1R(sf, sfs, nf, fs, m, ms, roi, count, 0.5f, s.f);
            case 1: return zaliApplyHaarClassifier_32s32f_C1R(si, sis, nf, fs, m, ms, roi, count, 0.5f, s.f);
            case 2: return zaliApplyHaarClassifier_32s_C1RSfs(si, sis, ni, is, m, ms, roi, count, 2, s.i);
            case 3: return zaliApplyMixedHaarClassifier_32f_C1R(sf, sfs, tf, tfs, nf, fs, m, ms, roi, count, 0.5f, s.f);
            case 4:
                return zaliApplyMixedHaarClassifier_32s32f_C1R(si, sis, ti, tis, nf, fs, m, ms, roi, count, 0.5f, s.f);
            default:
                return zaliApplyMixedHaarClassifier_32s_C1RSfs(si, sis, ti, tis, ni, is, m, ms, roi, count, 2, s.i,
                                                               -shift);
        }
    }
    // Runs the operation on a copy of the mask; a set window stays set when its
    // reference total reaches 2 (0.5 in quarters for the float states).
    // Returns the accepted count (-1 on the first wrong window).
    int expectApplied(const Stage& s, int op, bool mixed, int shift = 0) const {
        SCOPED_TRACE(testing::Message() << "op " << op << (mixed ? " mixed" : ""));
        GuardedImage<uint8_t> out = mask;
        int count = -1, want = 0;
        EXPECT_EQ(run(s, op, mixed, out.data(), out.step(), &count, shift), StatusOk);
        for (int y = 0; y < roi.height; ++y)
            for (int x = 0; x < roi.width; ++x) {
                const bool set = mask.at(x, y) != 0;
                const bool accept = set && s.reference(src, x, y, norm32s.at(x, y), op == 2 ? shift : 0) >= 2;
                want += accept;
                if (out.at(x, y) != (accept ? mask.at(x, y) : 0)) {
                    ADD_FAILURE() << x << "," << y;
                    return -1;
                }
            }
        EXPECT_EQ(count, want);
        EXPECT_TRUE(out.guardsIntact());
        return count;
    }
};

// Upright stages through every operation and size, then tilt modes 1 and 0
// on an upright state and the tilted constructor (-1) through the mixed
// operations; the scaled mixed operation shifts the features left by 2. On
// every target, 40 windows wide: blocks of side-by-side windows, sparse
// blocks and row tails.
TEST(HaarApply, EveryOperationOnEveryTargetMatchesDirectSums) {
    zaltest::forEachSimdTarget([] {
        Lcg rng(3);
        for (int mode : {2, 1, 0, -1}) {
            SCOPED_TRACE(mode);
            Stage s(rng, 8, mode < 2);
            const uint8_t pick[8] = {1, 0, 0, 1, 1, 0, 1, 0};
            for (int k = 0; k < 8 && mode < 2; ++k)
                if (pick[k] || mode < 0) s.shape[k] = mode ? Shape::Tilted : Shape::TiltedSecond;
            s.init(mode < 0);
            if (mode == 0 || mode == 1) {
                ASSERT_EQ(zaliTiltHaarFeatures_32f(pick, mode, s.f), StatusOk);
                ASSERT_EQ(zaliTiltHaarFeatures_32s(pick, mode, s.i), StatusOk);
            }
            for (ImageSize roi : {ImageSize{1, 1}, ImageSize{1, 6}, ImageSize{7, 1}, ImageSize{40, 9}}) {
                if (mode < 2 && roi.width < 40) continue;
                const Scene sc(roi, roi.width * 5 + roi.height + mode);
                for (int op = 0; op < 3; ++op)
                    for (bool mixed : {false, true})
                        if (mixed || mode == 2) sc.expectApplied(s, op, mixed, mode < 2 ? 2 : 0);
            }
        }
    });
}

// 1, 2, 3 and forty workers: a tall region (every band busy) and a wide one
// of fewer rows than workers, both large enough for the banded path.
TEST(HaarApply, AnyWorkerCountGivesTheReferenceMask) {
    Lcg rng(5);
    Stage s(rng, 6, false);
    s.init(false);
    for (int threads : {1, 2, 3, 40}) {
        zaltest::ThreadCount scope(threads);
        const long long windows = std::max(3, zal::owncvGetMaxNumThreads()) * 22500LL;
        for (const ImageSize roi : {ImageSize{160, static_cast<int>(windows / 160) + 7}, ImageSize{static_cast<int>(windows / 30) + 5, 30}}) {
            const Scene sc(roi, 10);
            SCOPED_TRACE(testing::Message() << threads << " workers, " << roi.width << "x" << roi.height);
            EXPECT_GT(sc.expectApplied(s, 0, false), 0);
            if (threads < 40) {
                EXPECT_GT(sc.expectApplied(s, 2, false), 0);
            }
        }
    }
}

// Applies a float stage of 1x1 rectangles over the integral table of an
// all-ones image to a 4x4 (w x 4) mask: every rectangle sums to 1 and every
// norm is 1, so the weights and votes alone decide. Thresholds are 1.
// Returns the count.
struct Ones {
    GuardedImage<float> table, norm;
    GuardedImage<uint8_t> mask;
    explicit Ones(int w = 4) : table(w + 2, 6), norm(w, 4), mask(w, 4) {
        table.fill([](int x, int y, int) { return x * y; });
        norm.fill([](int, int, int) { return 1; });
        mask.fill([](int, int, int) { return 1; });
    }
    int apply(std::vector<int> num, std::vector<float> w, std::vector<float> v1, std::vector<float> v2, float stageThr,
              bool tiltedInit = false, bool mixed = false, int classifiers = -1) {
        const std::vector<ImageRect> r(w.size(), ImageRect{1, 0, 1, 1});
        const std::vector<float> t(num.size(), 1.0f);
        HaarClassifierState_32f* st = nullptr;
        EXPECT_EQ((tiltedInit ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f)(
                      &st, r.data(), w.data(), t.data(), v1.data(), v2.data(), num.data(),
                      classifiers < 0 ? static_cast<int>(num.size()) : classifiers), StatusOk);
        int count = -1;
        const float* tb = table.data();
        EXPECT_EQ(mixed ? zaliApplyMixedHaarClassifier_32f_C1R(tb, table.step(), tb, table.step(), norm.data(),
                                                               norm.step(), mask.data(), mask.step(), mask.roi(),
                                                               &count, stageThr, st)
                        : zaliApplyHaarClassifier_32f_C1R(tb, table.step(), norm.data(), norm.step(), mask.data(),
                                                          mask.step(), mask.roi(), &count, stageThr, st),
                  StatusOk);
        EXPECT_TRUE(mask.guardsIntact());
        zaliHaarClassifierFree_32f(st);
        return count;
    }
};

constexpr float kBig = 16777216.0f;  // 2^24: adding 1 to it is lost

// On every target, a row of four windows (a tail alone) and one of forty.
TEST(HaarApply, FloatSummationOrderAndEmptyStages) {
    zaltest::forEachSimdTarget([] {
        for (const int w : {4, 40}) {
            const int all = 4 * w;
            // Three rectangles: (S2 w2 + S3 w3) + S1 w1 = 1 meets t * n = 1 and votes
            // val2; the mixed operation sums left to right, (1 + 2^24) - 2^24 = 0.
            EXPECT_EQ(Ones(w).apply({3}, {1, kBig, -kBig}, {0}, {1}, 1.0f), all);
            EXPECT_EQ(Ones(w).apply({3}, {1, kBig, -kBig}, {0}, {1}, 1.0f, false, true), 0);
            // Four rectangles are summed left to right from 0.
            EXPECT_EQ(Ones(w).apply({4}, {1, kBig, -kBig, 0}, {0}, {1}, 1.0f), 0);
            // A feature equal to t * n votes val2.
            EXPECT_EQ(Ones(w).apply({1}, {1}, {0}, {1}, 1.0f), all);
            EXPECT_EQ(Ones(w).apply({1}, {1}, {0}, {1}, 1.0f, false, true), all);
            // The stage total adds the votes in storage order: the 2-rectangle
            // classifier (2^24) and the 3-rectangle one (-2^24) come before the
            // 1-rectangle one (1); the tilted constructor keeps input order,
            // (1 + 2^24) - 2^24 = 0. Both votes are equal, so the features do not matter.
            const std::vector<float> wt(6, 1.0f), v{1, kBig, -kBig};
            EXPECT_EQ(Ones(w).apply({1, 2, 3}, wt, v, v, 1.0f), all);
            EXPECT_EQ(Ones(w).apply({1, 2, 3}, wt, v, v, 1.0f, true), 0);
        }
    });
    // No classifiers: the stage total 0 is compared with the threshold; an
    // empty mask has no window left to evaluate.
    Ones ones;
    EXPECT_EQ(ones.apply({1}, {1}, {0}, {1}, 0.0f, false, false, 0), 16);
    EXPECT_EQ(ones.apply({1}, {1}, {0}, {1}, 0.25f, false, false, 0), 0);
    EXPECT_EQ(ones.apply({1}, {1}, {0}, {1}, -1.0f), 0);
    for (uint8_t m : ones.mask.pixels()) EXPECT_EQ(m, 0);
}

TEST(HaarApplyChecks, Order) {
    Ones ones;
    HaarClassifierState_32s* si = nullptr;
    const ImageRect r{0, 0, 1, 1};
    const int32_t v = 0;
    const int n = 1;
    ASSERT_EQ(zaliHaarClassifierInitAlloc_32s(&si, &r, &v, &v, &v, &v, &n, 1), StatusOk);
    const int32_t* t = reinterpret_cast<const int32_t*>(ones.table.data());
    const int32_t* norm = reinterpret_cast<const int32_t*>(ones.norm.data());
    const int ts = ones.table.step(), ns = ones.norm.step(), ms = ones.mask.step();
    const ImageSize roi{4, 4};
    int count = -7;
    auto mixed = [&](int tStep, int mStep, int scale) {
        return zaliApplyMixedHaarClassifier_32s_C1RSfs(t, ts, t, tStep, norm, ns, ones.mask.data(), mStep, roi, &count,
                                                       0, si, scale);
    };
    EXPECT_EQ(mixed(15, ms, 1), StatusStepError);
    EXPECT_EQ(mixed(ts, -ms, 1), StatusStepError);
    EXPECT_EQ(mixed(18, ms, 1), StatusStepAlignmentError);
    EXPECT_EQ(mixed(ts, ms, 1), StatusBadArgument);  // scale factor above 0
    // The state pointer before the steps.
    EXPECT_EQ(zaliApplyHaarClassifier_32s_C1RSfs(t, ts, norm, 2, ones.mask.data(), ms, roi, &count, 0, nullptr),
              StatusNullPointer);
    EXPECT_TRUE(mixed(ts, ms, 0) == StatusOk && count == 16);
    zaliHaarClassifierFree_32s(si);
}

}  // namespace
