// Accumulation into a 32f image: values, squares, products, running average.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;
using zaltest::Lcg;

template <class T>
void randomFill(GuardedImage<T>& img, Lcg& rng) {
    img.fill([&](int, int, int) -> T {
        if constexpr (std::is_same_v<T, float>) return rng.uniformf(-300.0f, 300.0f);
        else return static_cast<T>(rng.uniform(std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    });
}

void randomMask(GuardedImage<uint8_t>& m, Lcg& rng) {
    m.fill([&](int, int, int) { return rng.uniform(0, 2) == 0 ? 0 : rng.uniform(1, 255); });
}

bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Typed sweep: every member against a per-pixel reference written here.
template <class T>
struct Members;
template <>
struct Members<uint8_t> {
    static constexpr auto add = zaliAdd_8u32f_C1IR;
    static constexpr auto addM = zaliAdd_8u32f_C1IMR;
    static constexpr auto sq = zaliAddSquare_8u32f_C1IR;
    static constexpr auto sqM = zaliAddSquare_8u32f_C1IMR;
    static constexpr auto prod = zaliAddProduct_8u32f_C1IR;
    static constexpr auto prodM = zaliAddProduct_8u32f_C1IMR;
    static constexpr auto wt = zaliAddWeighted_8u32f_C1IR;
    static constexpr auto wtM = zaliAddWeighted_8u32f_C1IMR;
};
template <>
struct Members<int8_t> {
    static constexpr auto add = zaliAdd_8s32f_C1IR;
    static constexpr auto addM = zaliAdd_8s32f_C1IMR;
    static constexpr auto sq = zaliAddSquare_8s32f_C1IR;
    static constexpr auto sqM = zaliAddSquare_8s32f_C1IMR;
    static constexpr auto prod = zaliAddProduct_8s32f_C1IR;
    static constexpr auto prodM = zaliAddProduct_8s32f_C1IMR;
    static constexpr auto wt = zaliAddWeighted_8s32f_C1IR;
    static constexpr auto wtM = zaliAddWeighted_8s32f_C1IMR;
};
template <>
struct Members<uint16_t> {
    static constexpr auto add = zaliAdd_16u32f_C1IR;
    static constexpr auto addM = zaliAdd_16u32f_C1IMR;
    static constexpr auto sq = zaliAddSquare_16u32f_C1IR;
    static constexpr auto sqM = zaliAddSquare_16u32f_C1IMR;
    static constexpr auto prod = zaliAddProduct_16u32f_C1IR;
    static constexpr auto prodM = zaliAddProduct_16u32f_C1IMR;
    static constexpr auto wt = zaliAddWeighted_16u32f_C1IR;
    static constexpr auto wtM = zaliAddWeighted_16u32f_C1IMR;
};
template <>
struct Members<float> {
    static constexpr auto add = nullptr;  // no unmasked 32f Add
    static constexpr auto addM = zaliAdd_32f_C1IMR;
    static constexpr auto sq = zaliAddSquare_32f_C1IR;
    static constexpr auto sqM = zaliAddSquare_32f_C1IMR;
    static constexpr auto prod = zaliAddProduct_32f_C1IR;
    static constexpr auto prodM = zaliAddProduct_32f_C1IMR;
    static constexpr auto wt = zaliAddWeighted_32f_C1IR;
    static constexpr auto wtM = zaliAddWeighted_32f_C1IMR;
};

template <class T>
class AccumulateTyped : public ::testing::Test {};
using SourceTypes = ::testing::Types<uint8_t, int8_t, uint16_t, float>;
TYPED_TEST_SUITE(AccumulateTyped, SourceTypes);

// Reference: the exact integer (or double) term rounded once to float, then
// one float addition. Masked integer sources add +0.0 where unselected; masked
// 32f sources add term * 0.0.
template <class T>
float refTerm(int op, T s1, T s2) {
    const double a = static_cast<double>(s1), b = static_cast<double>(s2);
    if (op == 0) return static_cast<float>(a);
    if (op == 1) return static_cast<float>(a * a);
    return static_cast<float>(a * b);
}

TYPED_TEST(AccumulateTyped, MatchesPerPixelReference) {
    using T = TypeParam;
    using M = Members<T>;
    constexpr bool isFloat = std::is_same_v<T, float>;
    const float alpha = 0.375f;
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 5}, std::pair{7, 1}, std::pair{13, 6}}) {
        for (const Layout layout : {Layout::TopDown, Layout::BottomUp}) {
            Lcg rng(static_cast<uint64_t>(w * 31 + h));
            GuardedImage<T> s1(w, h), s2(w, h);
            GuardedImage<uint8_t> mask(w, h);
            GuardedImage<float> acc0(w, h, 1, layout);
            randomFill(s1, rng);
            randomFill(s2, rng);
            randomMask(mask, rng);
            acc0.fill([&](int, int, int) { return rng.uniformf(-1000.0f, 1000.0f); });
            const ImageSize roi{w, h};
            for (int op = 0; op < 4; ++op) {
                for (const bool masked : {false, true}) {
                    if (op == 0 && !masked && isFloat) continue;
                    GuardedImage<float> acc(w, h, 1, layout);
                    acc.fill([&](int x, int y, int) { return acc0.at(x, y); });
                    StatusCode st = StatusOk;
                    float* pa = acc.data();
                    const int as = acc.step();
                    if constexpr (!isFloat) {
                        if (op == 0 && !masked) st = M::add(s1.data(), s1.step(), pa, as, roi);
                    }
                    if (op == 0 && masked) st = M::addM(s1.data(), s1.step(), mask.data(), mask.step(), pa, as, roi);
                    if (op == 1 && !masked) st = M::sq(s1.data(), s1.step(), pa, as, roi);
                    if (op == 1 && masked) st = M::sqM(s1.data(), s1.step(), mask.data(), mask.step(), pa, as, roi);
                    if (op == 2 && !masked) st = M::prod(s1.data(), s1.step(), s2.data(), s2.step(), pa, as, roi);
                    if (op == 2 && masked)
                        st = M::prodM(s1.data(), s1.step(), s2.data(), s2.step(), mask.data(), mask.step(), pa, as, roi);
                    if (op == 3 && !masked) st = M::wt(s1.data(), s1.step(), pa, as, roi, alpha);
                    if (op == 3 && masked)
                        st = M::wtM(s1.data(), s1.step(), mask.data(), mask.step(), pa, as, roi, alpha);
                    if (layout == Layout::BottomUp) {
                        // A negative step is shorter than a row: rejected, nothing written.
                        EXPECT_EQ(st, StatusStepError);
                        EXPECT_EQ(acc.pixels(), acc0.pixels());
                        continue;
                    }
                    ASSERT_EQ(st, StatusOk) << "op " << op << " masked " << masked;
                    ASSERT_TRUE(acc.guardsIntact());
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) {
                            const float a = acc0.at(x, y);
                            const bool sel = !masked || mask.at(x, y) != 0;
                            float expect;
                            if (op == 3) {
                                const float s = static_cast<float>(s1.at(x, y));
                                expect = a + (s - a) * (sel ? alpha : 0.0f);
                            } else {
                                const float t = refTerm(op, s1.at(x, y), s2.at(x, y));
                                if (!masked) expect = a + t;
                                else if (isFloat) expect = a + t * (sel ? 1.0f : 0.0f);
                                else expect = a + (sel ? t : 0.0f);
                            }
                            ASSERT_TRUE(sameBits(acc.at(x, y), expect))
                                << "op " << op << " masked " << masked << " at " << x << "," << y << ": "
                                << acc.at(x, y) << " vs " << expect;
                        }
                }
            }
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
    ASSERT_EQ(zaliAddProduct_16u32f_C1IR(src.data(), src.step(), other.data(), other.step(), acc2.data(),
                                         acc2.step(), acc2.roi()),
              StatusOk);
    EXPECT_EQ(acc2.at(1, 0), 4294836224.0f);
}

TEST(Accumulate, ZeroMaskIsArithmeticNotSkip) {
    const float inf = std::numeric_limits<float>::infinity();
    GuardedImage<uint8_t> mask(4, 1);  // all zero
    // Integer source: -0.0 becomes +0.0, other values stay.
    GuardedImage<uint8_t> s8(4, 1);
    s8.fill([](int x, int, int) { return 10 * x + 1; });
    GuardedImage<float> acc(4, 1);
    acc.at(0, 0) = -0.0f;
    acc.at(1, 0) = 2.5f;
    acc.at(2, 0) = -7.0f;
    ASSERT_EQ(zaliAdd_8u32f_C1IMR(s8.data(), s8.step(), mask.data(), mask.step(), acc.data(), acc.step(), acc.roi()),
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
    ASSERT_EQ(zaliAdd_32f_C1IMR(s32.data(), s32.step(), mask.data(), mask.step(), acc32.data(), acc32.step(),
                                acc32.roi()),
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
