// Accumulation into a 32f image: values, squares, products, running average.
#include <bit>
#include <cstdlib>

#include "common/simd_targets.h"
#include "stats/exports.h"
#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;
using Acc = GuardedImage<float>;

enum Op { kAdd, kSquare, kProduct, kWeighted };

bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Every member behind one call, from the export table. There is no unmasked
// 32f Add.
template <class T>
StatusCode call(Op op, bool masked, const GuardedImage<T>& a, const GuardedImage<T>& b, const Mask& m, Acc& d,
                float w) {
    const T *pa = a.data(), *pb = b.data();
    const int as = a.step(), bs = b.step(), ms = m.step(), ds = d.step();
    const ImageSize r = d.roi();
#define ACC_ROW(name, o, U, isMasked, isOp, ...) \
    if constexpr (std::is_same_v<T, U>)          \
        if (masked == isMasked && op == isOp) return name(__VA_ARGS__);
#define ACC(name, o, U) ACC_ROW(name, o, U, false, k##o, pa, as, d.data(), ds, r)
#define ACC_M(name, o, U) ACC_ROW(name, o, U, true, k##o, pa, as, m.data(), ms, d.data(), ds, r)
#define PRODUCT(name, U) ACC_ROW(name, , U, false, kProduct, pa, as, pb, bs, d.data(), ds, r)
#define PRODUCT_M(name, U) ACC_ROW(name, , U, true, kProduct, pa, as, pb, bs, m.data(), ms, d.data(), ds, r)
#define WEIGHTED(name, U) ACC_ROW(name, , U, false, kWeighted, pa, as, d.data(), ds, r, w)
#define WEIGHTED_M(name, U) ACC_ROW(name, , U, true, kWeighted, pa, as, m.data(), ms, d.data(), ds, r, w)
    ZAL_STATS_ACCUMULATE(ACC)
    ZAL_STATS_ACCUMULATE_MASKED(ACC_M)
    ZAL_STATS_ADD_PRODUCT(PRODUCT)
    ZAL_STATS_ADD_PRODUCT_MASKED(PRODUCT_M)
    ZAL_STATS_ADD_WEIGHTED(WEIGHTED)
    ZAL_STATS_ADD_WEIGHTED_MASKED(WEIGHTED_M)
    std::abort();  // no such member
}

// Reference per pixel: the term is the exact product rounded once to float;
// unselected pixels add +0.0 (integer sources) or term * 0.0 (32f), and the
// weighted form uses alpha or 0.0.
template <class T>
float reference(Op op, bool masked, T s1, T s2, bool sel, float a, float alpha) {
    const double x = static_cast<double>(s1), y = static_cast<double>(s2);
    sel = sel || !masked;
    if (op == kWeighted) return a + (static_cast<float>(x) - a) * (sel ? alpha : 0.0f);
    const float t = static_cast<float>(op == kAdd ? x : op == kSquare ? x * x : x * y);
    if (!masked) return a + t;
    return std::is_same_v<T, float> ? a + t * (sel ? 1.0f : 0.0f) : a + (sel ? t : 0.0f);
}

STATS_TYPED_SUITE(AccumulateTyped);

// Every member on a w x h image, bit for bit; nothing outside the ROI written.
template <class T>
void expectEveryMemberMatches(int w, int h) {
    Lcg rng(static_cast<uint64_t>(w * 31 + h));
    GuardedImage<T> s1(w, h), s2(w, h);
    Mask mask(w, h);
    randomFill(rng, s1, s2);
    randomMask(mask, rng);
    mask.at(0, 0) = 0;  // the accumulator holds -0.0 there
    for (const Op op : {kAdd, kSquare, kProduct, kWeighted})
        for (const bool masked : {false, true}) {
            if (!masked && op == kAdd && std::is_same_v<T, float>) continue;
            Acc acc(w, h);
            acc.fill([&](int, int, int) { return rng.uniformf(-1000.0f, 1000.0f); });
            acc.at(0, 0) = -0.0f;  // unselected, an integer source adds +0.0 to it
            const std::vector<float> before = acc.pixels();
            ASSERT_EQ(call(op, masked, s1, s2, mask, acc, 0.375f), StatusOk);
            ASSERT_TRUE(acc.guardsIntact());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_TRUE(sameBits(acc.at(x, y), reference(op, masked, s1.at(x, y), s2.at(x, y),
                                                                 mask.at(x, y) != 0, before[y * w + x], 0.375f)))
                        << "op " << op << " masked " << masked << " at " << x << "," << y << " of " << w << "x" << h;
        }
}

// Every member on every compiled target: the odd sizes, then rows of whole
// vectors, of two vectors per step, and every kind of tail up to 16 lanes.
TYPED_TEST(AccumulateTyped, MatchesPerPixelReferenceOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        for (const auto& [w, h] : kSizes) expectEveryMemberMatches<TypeParam>(w, h);
        for (const int w : {15, 16, 17, 31, 32, 33, 47, 48, 63, 70}) expectEveryMemberMatches<TypeParam>(w, 2);
    });
}

// An all-zero mask is arithmetic, not a skip: with a 32f source an infinite or
// NaN term times 0.0 poisons the accumulator; weighted, an infinite
// accumulator gives (s - inf) * 0 = NaN.
TEST(Accumulate, ZeroMaskStillPropagatesNaN) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    GuardedImage<float> s32(4, 1);
    s32.fill([&](int x, int, int) { return x == 0 ? inf : x == 1 ? nan : 3.0f; });
    const Mask zero(4, 1);
    Acc a32 = constant(4, 1, 1.0f), aw(4, 1);
    aw.fill([inf](int x, int, int) { return x == 3 ? inf : 5.0f * x; });
    ASSERT_EQ(call(kAdd, true, s32, s32, zero, a32, 0), StatusOk);
    ASSERT_EQ(call(kWeighted, true, s32, s32, zero, aw, 0.25f), StatusOk);
    EXPECT_TRUE(std::isnan(a32.at(0, 0)) && std::isnan(a32.at(1, 0)) && std::isnan(aw.at(3, 0)));
    EXPECT_EQ(a32.at(2, 0), 1.0f);
    EXPECT_EQ(aw.at(2, 0), 10.0f);
    EXPECT_TRUE(a32.guardsIntact() && aw.guardsIntact());
}

TEST(Accumulate, CheckOrder) {
    const auto src = constant<uint16_t>(5, 2, 1);
    GuardedImage<float> s32(5, 2);
    Mask mask(5, 2);
    Acc acc(5, 2), up(5, 2, 1, Layout::BottomUp);
    const ImageSize roi{5, 2};
    // 16u source: length, then oddness, both before the mask and accumulator.
    EXPECT_EQ(zaliAdd_16u32f_C1IR(src.data(), 9, acc.data(), 8, roi), StatusStepError);
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 11, mask.data(), 4, acc.data(), 8, roi), StatusStepAlignmentError);
    // Mask and accumulator lengths before the accumulator alignment.
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 10, mask.data(), 4, acc.data(), 22, roi), StatusStepError);
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 10, mask.data(), 5, acc.data(), 19, roi), StatusStepError);
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 10, mask.data(), 5, acc.data(), 22, roi), StatusStepAlignmentError);
    // 32f: every length test before any alignment test.
    EXPECT_EQ(zaliAddProduct_32f_C1IR(s32.data(), 22, s32.data(), 19, acc.data(), acc.step(), roi), StatusStepError);
    // A bottom-up accumulator (negative step) is shorter than a row.
    EXPECT_EQ(zaliAdd_16u32f_C1IR(src.data(), src.step(), up.data(), up.step(), roi), StatusStepError);
}

}  // namespace
