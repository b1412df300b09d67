// Aligned allocation and the one-dimensional vector helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

// Rounded to nearest even (the default mode), then saturated to 16 bits.
int16_t saturate16(double v) { return static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0)); }

TEST(Allocator, AlignedBlocksAndFailures) {
    EXPECT_EQ(zalsMalloc_8u(0), nullptr);
    EXPECT_EQ(zalsMalloc_8u(-1), nullptr);
    zalsFree(nullptr);
    void* blocks[] = {zalsMalloc_8u(1), zalsMalloc_8s(3), zalsMalloc_16u(5),
                      zalsMalloc_32s(7), zalsMalloc_32f(1000), zalsMalloc_64f(33)};
    for (void* b : blocks) {
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 32, 0u);
    }
    // The whole requested range is usable (ASan would flag an overrun).
    std::fill_n(static_cast<double*>(blocks[5]), 33, 1.5);
    for (void* b : blocks) zalsFree(b);
}

TEST(VectorFill, WritesExactlyLenElementsFromAnyAddress) {
    std::vector<uint8_t> buf(80, 0xEE);
    ASSERT_EQ(zalsSet_8u(7, buf.data() + 1, 70), StatusOk);
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(std::count(buf.begin() + 1, buf.begin() + 71, 7), 70);
    EXPECT_EQ(buf[71], 0xEE);

    float f[5];
    const float nan = std::bit_cast<float>(0x7fc01234u);
    ASSERT_EQ(zalsSet_32f(nan, f, 5), StatusOk);
    for (float v : f) EXPECT_EQ(std::bit_cast<uint32_t>(v), 0x7fc01234u);
    ASSERT_EQ(zalsZero_32f(f, 4), StatusOk);
    EXPECT_EQ(std::bit_cast<uint32_t>(f[3]), 0u);
    EXPECT_EQ(std::bit_cast<uint32_t>(f[4]), 0x7fc01234u);

}

TEST(VectorCopy, CopiesAndConverts) {
    std::vector<uint8_t> s = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> d(6, 0);
    ASSERT_EQ(zalsCopy_8u(s.data(), d.data(), 6), StatusOk);
    EXPECT_EQ(d, s);
    // Overlap with the destination before the source behaves as a forward copy.
    ASSERT_EQ(zalsCopy_8u(s.data() + 1, s.data(), 5), StatusOk);
    EXPECT_EQ(s, (std::vector<uint8_t>{2, 3, 4, 5, 6, 6}));

    const uint16_t u[3] = {0, 1, 65535};
    float out[3];
    ASSERT_EQ(zalsConvert_16u32f(u, out, 3), StatusOk);
    EXPECT_EQ(out[2], 65535.0f);
}

// The out-of-place members are swept in simd_kernels_test.
TEST(VectorMinMax, InPlaceNaNKeepsTheFirstOperandAndUncheckedMembersIgnoreBadLength) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float b[3] = {nan, 5.0f, 3.0f};
    float io[3] = {1.0f, nan, 2.0f};
    ASSERT_EQ(zalsMinEvery_32f_I(b, io, 3), StatusOk);  // a = srcDst, b = src
    EXPECT_EQ(io[0], 1.0f);
    EXPECT_TRUE(std::isnan(io[1]));
    EXPECT_EQ(io[2], 2.0f);
    EXPECT_EQ(zalsMaxEvery_32f_I(b, io, 0), StatusSizeError);
    EXPECT_EQ(zalsMaxEvery_8u(nullptr, nullptr, nullptr, 0), StatusOk);
    EXPECT_EQ(zalsMaxEvery_8u_I(nullptr, nullptr, -3), StatusOk);
}

TEST(VectorMulC, FloatSpecialValuesAndShortScaleFactorBranches) {
    const float inf = std::numeric_limits<float>::infinity();
    float v[3] = {std::numeric_limits<float>::quiet_NaN(), inf, -2.0f};
    ASSERT_EQ(zalsMulC_32f_I(0.0f, v, 3), StatusOk);
    for (float e : v) EXPECT_EQ(std::bit_cast<uint32_t>(e), 0u);
    float w[2] = {-0.0f, 3.0f};
    ASSERT_EQ(zalsMulC_32f_I(1.0f, w, 2), StatusOk);
    EXPECT_EQ(std::bit_cast<uint32_t>(w[0]), 0x80000000u);
    ASSERT_EQ(zalsMulC_32f_I(-0.5f, w, 2), StatusOk);
    EXPECT_EQ(w[1], -1.5f);

    // 16s: the exact product times 2^-scale, rounded to nearest even and
    // saturated, for every scale-factor branch.
    zaltest::Lcg rng(5);
    for (int scale = -20; scale <= 32; ++scale) {
        std::vector<int16_t> v = {32767, -32768, 1, -1, 0, 3, 5, 7, 6, 10, 14, -6};
        while (v.size() < 40) v.push_back(static_cast<int16_t>(rng.uniform(-32768, 32767)));
        for (const int value : {1, -1, 0, 100, 1000, 32767, -32768, rng.uniform(-300, 300)}) {
            std::vector<int16_t> out = v;
            ASSERT_EQ(zalsMulC_16s_ISfs(static_cast<int16_t>(value), out.data(), 40, scale), StatusOk);
            for (std::size_t i = 0; i < v.size(); ++i)
                EXPECT_EQ(out[i], saturate16(std::ldexp(double(v[i]) * value, -scale))) << v[i] << " * " << value << " >> " << scale;
        }
    }
}

// A plain reference order for the sort: ascending by value.
void expectSortedCopy(std::vector<double> v) {
    std::vector<double> expected = v;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(zalsSortAscend_64f_I(v.data(), static_cast<int>(v.size())), StatusOk);
    EXPECT_EQ(v, expected);
}

TEST(VectorSort, OrdersEveryShape) {
    expectSortedCopy({4.0});
    expectSortedCopy(std::vector<double>(10, 2.5));
    // Ascending, descending, random and few distinct values.
    std::vector<double> shapes[4] = {std::vector<double>(3000), std::vector<double>(3000), std::vector<double>(3000), std::vector<double>(2000)};
    zaltest::Lcg rng(7);
    for (int i = 0; i < 3000; ++i) shapes[0][i] = i, shapes[1][i] = 3000 - i, shapes[2][i] = rng.uniform(-100000, 100000) / 7.0;
    for (double& e : shapes[3]) e = rng.uniform(0, 3);
    for (const auto& v : shapes) expectSortedCopy(v);
    for (int n = 2; n <= 40; ++n) {
        std::vector<double> v(n);
        for (double& e : v) e = rng.uniform(0, 9);
        expectSortedCopy(v);
    }
}

TEST(VectorSqrt, FloatAndIntegerRootsEveryScaleBranchAndNegativeWarning) {
    float v[4] = {4.0f, -1.0f, 0.0f, 2.0f};
    ASSERT_EQ(zalsSqrt_32f_I(v, 4), StatusSqrtOfNegative);
    EXPECT_EQ(v[0], 2.0f);
    EXPECT_TRUE(std::isnan(v[1]));
    EXPECT_EQ(v[2], 0.0f);
    EXPECT_EQ(v[3], static_cast<float>(std::sqrt(2.0)));

    // 32s: the root times 2^-scale, rounded to nearest even and saturated.
    zaltest::Lcg rng(9);
    for (int scale = -16; scale <= 18; ++scale) {
        std::vector<int32_t> x = {0, 1, 2, 3, 9, 25, 49, 100, 2147483647, 1073676289, 1 << 30};
        while (x.size() < 40) x.push_back(static_cast<int32_t>(rng.next() >> rng.uniform(0, 30)));
        std::vector<int16_t> out(x.size(), -1);
        ASSERT_EQ(zalsSqrt_32s16s_Sfs(x.data(), out.data(), 40, scale), StatusOk);
        for (std::size_t i = 0; i < x.size(); ++i)
            EXPECT_EQ(out[i], saturate16(std::ldexp(std::sqrt(double(x[i])), -scale))) << "sqrt(" << x[i] << ") scale " << scale;
    }
    const int32_t mixed[3] = {16, -4, 9};
    int16_t out[3];
    EXPECT_EQ(zalsSqrt_32s16s_Sfs(mixed, out, 3, 0), StatusSqrtOfNegative);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(zalsSqrt_32s16s_Sfs(mixed, out, 3, 20), StatusSqrtOfNegative);
    EXPECT_EQ(out[2], 0);
}

}  // namespace
