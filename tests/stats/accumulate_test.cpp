// Accumulation into a 32f image: values, squares, products, running average.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Every member behind one signature: op 0 Add, 1 AddSquare, 2 AddProduct,
// 3 AddWeighted; [op][masked].
template <class T>
using AccCall = StatusCode (*)(const T*, int, const T*, int, const uint8_t*, int, float*, int, ImageSize, float);
#define ACC_ONE(fn, T)                                                                                 \
    [](const T* a, int as, const T*, int, const uint8_t*, int, float* d, int ds, ImageSize r, float) { \
        return fn(a, as, d, ds, r);                                                                    \
    }
#define ACC_ONE_M(fn, T)                                                                                    \
    [](const T* a, int as, const T*, int, const uint8_t* m, int ms, float* d, int ds, ImageSize r, float) { \
        return fn(a, as, m, ms, d, ds, r);                                                                  \
    }
#define ACC_TABLE(src, T, unmaskedAdd)                                                                                 \
    template <>                                                                                                        \
    struct Table<T> {                                                                                                  \
        static constexpr AccCall<T> fns[4][2] = {                                                                      \
            {unmaskedAdd, ACC_ONE_M(zaliAdd_##src##_C1IMR, T)},                                                        \
            {ACC_ONE(zaliAddSquare_##src##_C1IR, T), ACC_ONE_M(zaliAddSquare_##src##_C1IMR, T)},                       \
            {[](const T* a, int as, const T* b, int bs, const uint8_t*, int, float* d, int ds, ImageSize r, float) {   \
                 return zaliAddProduct_##src##_C1IR(a, as, b, bs, d, ds, r);                                           \
             },                                                                                                        \
             [](const T* a, int as, const T* b, int bs, const uint8_t* m, int ms, float* d, int ds, ImageSize r,       \
                float) { return zaliAddProduct_##src##_C1IMR(a, as, b, bs, m, ms, d, ds, r); }},                       \
            {[](const T* a, int as, const T*, int, const uint8_t*, int, float* d, int ds, ImageSize r, float w) {      \
                 return zaliAddWeighted_##src##_C1IR(a, as, d, ds, r, w);                                              \
             },                                                                                                        \
             [](const T* a, int as, const T*, int, const uint8_t* m, int ms, float* d, int ds, ImageSize r, float w) { \
                 return zaliAddWeighted_##src##_C1IMR(a, as, m, ms, d, ds, r, w);                                      \
             }}};                                                                                                      \
    };
template <class T>
struct Table;
ACC_TABLE(8u32f, uint8_t, ACC_ONE(zaliAdd_8u32f_C1IR, uint8_t))
ACC_TABLE(8s32f, int8_t, ACC_ONE(zaliAdd_8s32f_C1IR, int8_t))
ACC_TABLE(16u32f, uint16_t, ACC_ONE(zaliAdd_16u32f_C1IR, uint16_t))
ACC_TABLE(32f, float, nullptr)  // no unmasked 32f Add

template <class T>
class AccumulateTyped : public ::testing::Test {};
TYPED_TEST_SUITE(AccumulateTyped, SourceTypes);

// Reference per pixel: the term is the exact product rounded once to float;
// unselected pixels add +0.0 (integer sources) or term * 0.0 (32f), and the
// weighted form uses alpha or 0.0.
template <class T>
float reference(int op, bool masked, T s1, T s2, bool sel, float a, float alpha) {
    const double x = static_cast<double>(s1), y = static_cast<double>(s2);
    sel = sel || !masked;
    if (op == 3) return a + (static_cast<float>(x) - a) * (sel ? alpha : 0.0f);
    const float t = static_cast<float>(op == 0 ? x : op == 1 ? x * x : x * y);
    if (!masked) return a + t;
    return std::is_same_v<T, float> ? a + t * (sel ? 1.0f : 0.0f) : a + (sel ? t : 0.0f);
}

TYPED_TEST(AccumulateTyped, MatchesPerPixelReference) {
    using T = TypeParam;
    const float alpha = 0.375f;
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 5}, std::pair{7, 1}, std::pair{13, 6}}) {
        Lcg rng(static_cast<uint64_t>(w * 31 + h));
        GuardedImage<T> s1(w, h), s2(w, h);
        GuardedImage<uint8_t> mask(w, h);
        randomFill(s1, rng);
        randomFill(s2, rng);
        randomMask(mask, rng);
        for (int op = 0; op < 4; ++op)
            for (const bool masked : {false, true})
                for (const Layout layout : {Layout::TopDown, Layout::BottomUp}) {
                    const AccCall<T> fn = Table<T>::fns[op][masked];
                    if (!fn) continue;
                    GuardedImage<float> acc0(w, h), acc(w, h, 1, layout);
                    acc0.fill([&](int, int, int) { return rng.uniformf(-1000.0f, 1000.0f); });
                    acc.fill([&](int x, int y, int) { return acc0.at(x, y); });
                    const StatusCode st = fn(s1.data(), s1.step(), s2.data(), s2.step(), mask.data(), mask.step(),
                                             acc.data(), acc.step(), acc.roi(), alpha);
                    SCOPED_TRACE(::testing::Message() << "op " << op << " masked " << masked << " " << w << "x" << h);
                    ASSERT_TRUE(acc.guardsIntact());
                    if (layout == Layout::BottomUp) {
                        // A negative step is shorter than a row: rejected, nothing written.
                        EXPECT_EQ(st, StatusStepError);
                        EXPECT_EQ(acc.pixels(), acc0.pixels());
                        continue;
                    }
                    ASSERT_EQ(st, StatusOk);
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            ASSERT_TRUE(sameBits(acc.at(x, y), reference(op, masked, s1.at(x, y), s2.at(x, y),
                                                                         mask.at(x, y) != 0, acc0.at(x, y), alpha)))
                                << x << "," << y;
                }
    }
}

TEST(Accumulate, WeightedHalfwayAndConvergence) {
    GuardedImage<uint8_t> src(3, 2);
    GuardedImage<float> acc(3, 2);
    src.fill([](int, int, int) { return 255; });
    ASSERT_EQ(zaliAddWeighted_8u32f_C1IR(src.data(), src.step(), acc.data(), acc.step(), acc.roi(), 0.5f), StatusOk);
    EXPECT_EQ(acc.at(2, 1), 127.5f);
    for (int i = 0; i < 40; ++i)
        zaliAddWeighted_8u32f_C1IR(src.data(), src.step(), acc.data(), acc.step(), acc.roi(), 0.5f);
    EXPECT_NEAR(acc.at(0, 0), 255.0f, 1e-3f);
    // alpha = 1 copies the source.
    src.at(1, 0) = 7;
    zaliAddWeighted_8u32f_C1IR(src.data(), src.step(), acc.data(), acc.step(), acc.roi(), 1.0f);
    EXPECT_EQ(acc.at(1, 0), 7.0f);
}

TEST(Accumulate, SquareOf65535RoundsOnce) {
    GuardedImage<uint16_t> src(2, 1);
    GuardedImage<float> acc(2, 1);
    src.fill([](int, int, int) { return 65535; });
    ASSERT_EQ(zaliAddSquare_16u32f_C1IR(src.data(), src.step(), acc.data(), acc.step(), acc.roi()), StatusOk);
    EXPECT_EQ(acc.at(0, 0), 4294836224.0f);
    GuardedImage<uint16_t> other(2, 1);
    other.fill([](int, int, int) { return 65535; });
    GuardedImage<float> acc2(2, 1);
    ASSERT_EQ(zaliAddProduct_16u32f_C1IR(src.data(), src.step(), other.data(), other.step(), acc2.data(), acc2.step(),
                                         acc2.roi()),
              StatusOk);
    EXPECT_EQ(acc2.at(1, 0), 4294836224.0f);
}

TEST(Accumulate, ZeroMaskIsArithmeticNotSkip) {
    const float inf = std::numeric_limits<float>::infinity();
    GuardedImage<uint8_t> mask(4, 1);  // all zero
    // Integer source: -0.0 becomes +0.0, other values stay.
    GuardedImage<int8_t> s8(4, 1);  // negative: a term * 0.0 would be -0.0
    s8.fill([](int x, int, int) { return -10 * x - 1; });
    GuardedImage<float> acc(4, 1);
    acc.at(0, 0) = -0.0f;
    acc.at(1, 0) = 2.5f;
    acc.at(2, 0) = -7.0f;
    ASSERT_EQ(zaliAdd_8s32f_C1IMR(s8.data(), s8.step(), mask.data(), mask.step(), acc.data(), acc.step(), acc.roi()),
              StatusOk);
    EXPECT_TRUE(sameBits(acc.at(0, 0), 0.0f));
    EXPECT_EQ(acc.at(1, 0), 2.5f);
    EXPECT_EQ(acc.at(2, 0), -7.0f);

    // 32f source: an infinite or NaN term times 0.0 poisons the accumulator.
    GuardedImage<float> s32(4, 1), acc32(4, 1);
    s32.at(0, 0) = inf;
    s32.at(1, 0) = std::numeric_limits<float>::quiet_NaN();
    s32.at(2, 0) = 3.0f;
    acc32.fill([](int, int, int) { return 1.0f; });
    ASSERT_EQ(
        zaliAdd_32f_C1IMR(s32.data(), s32.step(), mask.data(), mask.step(), acc32.data(), acc32.step(), acc32.roi()),
        StatusOk);
    EXPECT_TRUE(std::isnan(acc32.at(0, 0)));
    EXPECT_TRUE(std::isnan(acc32.at(1, 0)));
    EXPECT_EQ(acc32.at(2, 0), 1.0f);

    // Weighted with a zero mask: finite accumulators unchanged, an infinite
    // accumulator gives (s - inf) * 0 = NaN.
    GuardedImage<float> accW(4, 1);
    accW.fill([inf](int x, int, int) { return x == 3 ? inf : 5.0f * x; });
    ASSERT_EQ(zaliAddWeighted_32f_C1IMR(s32.data(), s32.step(), mask.data(), mask.step(), accW.data(), accW.step(),
                                        accW.roi(), 0.25f),
              StatusOk);
    EXPECT_EQ(accW.at(2, 0), 10.0f);
    EXPECT_TRUE(std::isnan(accW.at(3, 0)));
    EXPECT_TRUE(accW.guardsIntact());
}

TEST(Accumulate, CheckOrder) {
    GuardedImage<uint16_t> src(5, 2);
    GuardedImage<uint8_t> mask(5, 2);
    GuardedImage<float> acc(5, 2);
    const ImageSize roi{5, 2};
    const auto before = acc.pixels();
    // Null beats size; size beats steps.
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), src.step(), nullptr, 5, acc.data(), acc.step(), ImageSize{0, 2}),
              StatusNullPointer);
    EXPECT_EQ(zaliAdd_16u32f_C1IR(src.data(), 1, acc.data(), acc.step(), ImageSize{5, 0}), StatusSizeError);
    // 16u source: length, then oddness, both before the mask and accumulator.
    EXPECT_EQ(zaliAdd_16u32f_C1IR(src.data(), 9, acc.data(), acc.step(), roi), StatusStepError);
    EXPECT_EQ(zaliAdd_16u32f_C1IR(src.data(), 11, acc.data(), acc.step(), roi), StatusStepAlignmentError);
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 11, mask.data(), 4, acc.data(), 8, roi), StatusStepAlignmentError);
    // Mask and accumulator lengths before the accumulator alignment.
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 10, mask.data(), 4, acc.data(), 22, roi), StatusStepError);
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 10, mask.data(), 5, acc.data(), 19, roi), StatusStepError);
    EXPECT_EQ(zaliAdd_16u32f_C1IMR(src.data(), 10, mask.data(), 5, acc.data(), 22, roi), StatusStepAlignmentError);
    // 32f: every length test before any alignment test.
    GuardedImage<float> s32(5, 2);
    EXPECT_EQ(zaliAddProduct_32f_C1IR(s32.data(), 22, s32.data(), 19, acc.data(), acc.step(), roi), StatusStepError);
    EXPECT_EQ(zaliAddProduct_32f_C1IR(s32.data(), 22, s32.data(), 20, acc.data(), acc.step(), roi),
              StatusStepAlignmentError);
    EXPECT_EQ(zaliAddSquare_32f_C1IR(s32.data(), 21, acc.data(), acc.step(), roi), StatusStepAlignmentError);
    EXPECT_EQ(zaliAddWeighted_8s32f_C1IR(nullptr, 5, acc.data(), acc.step(), roi, 0.5f), StatusNullPointer);
    EXPECT_EQ(before, acc.pixels());
    EXPECT_TRUE(acc.guardsIntact());
}

}  // namespace
