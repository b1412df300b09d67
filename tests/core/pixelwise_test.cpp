// Absolute differences, copies, replicated borders, fill, subtraction and
// thresholds, checked against per-pixel references.
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

using zaltest::GuardedImage;
using zaltest::Layout;

template <class T>
void randomFill(GuardedImage<T>& img, uint64_t seed, int lo, int hi) {
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) { return static_cast<T>(rng.uniform(lo, hi)); });
}

// ---- Absolute difference (the vector kernels are swept in simd_kernels_test) -

TEST(AbsDiff, ConstantSaturatesOnEightBits) {
    for (ImageSize size : {ImageSize{1, 1}, ImageSize{1, 7}, ImageSize{37, 5}}) {
        GuardedImage<uint8_t> c(size.width, size.height, 1), e(size.width, size.height, 1);
        randomFill(c, 3, 0, 255);
        ASSERT_EQ(zaliAbsDiffC_8u_C1R(c.data(), c.step(), e.data(), e.step(), c.roi(), 300), StatusOk);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) ASSERT_EQ(e.at(x, y), 255 - c.at(x, y));
        ASSERT_EQ(zaliAbsDiffC_8u_C1R(c.data(), c.step(), e.data(), e.step(), c.roi(), -5), StatusOk);
        EXPECT_EQ(e.pixels(), c.pixels());
        EXPECT_TRUE(e.guardsIntact());
    }
}

// ---- Copy, fill, replicated border ----------------------------------------

TEST(CopyAndSet, AllLayoutsPreserveBitsAndFillTheRoiOnly) {
    GuardedImage<float> s(5, 3, 3, Layout::BottomUp), d(5, 3, 3, Layout::TopDown);
    s.fill([](int x, int y, int c) { return x == 2 && c == 1 ? std::bit_cast<float>(0x7f800123u) : float(x * 10 + y + c); });
    ASSERT_EQ(zaliCopy_32f_C3R(s.data(), s.step(), d.data(), d.step(), s.roi()), StatusOk);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(std::bit_cast<uint32_t>(d.at(x, y, c)), std::bit_cast<uint32_t>(s.at(x, y, c)));
    EXPECT_TRUE(d.guardsIntact());
    GuardedImage<uint8_t> s4(3, 2, 4), d4(3, 2, 4), f(7, 3);
    randomFill(s4, 5, 0, 255);
    ASSERT_EQ(zaliCopy_8u_C4R(s4.data(), s4.step(), d4.data(), d4.step(), s4.roi()), StatusOk);
    EXPECT_EQ(d4.pixels(), s4.pixels());
    ASSERT_EQ(zaliSet_8u_C1R(42, f.data(), f.step(), f.roi()), StatusOk);
    EXPECT_EQ(f.pixels(), std::vector<uint8_t>(21, 42));
    EXPECT_TRUE(d4.guardsIntact() && f.guardsIntact());
}

// Reference: every destination pixel takes the source pixel at the clamped
// position.
template <class T>
void expectReplicated(const GuardedImage<T>& src, const GuardedImage<T>& dst, int top, int left) {
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            const int sx = std::clamp(x - left, 0, src.width() - 1), sy = std::clamp(y - top, 0, src.height() - 1);
            for (int c = 0; c < src.channels(); ++c)
                ASSERT_EQ(dst.at(x, y, c), src.at(sx, sy, c)) << x << "," << y << "," << c;
        }
}

TEST(CopyReplicateBorder, OutOfPlaceAndInPlaceMatchClampedReference) {
    struct Case { int sw, sh, dw, dh, top, left; };
    const Case cases[] = {{4, 3, 4, 3, 0, 0}, {4, 3, 9, 8, 2, 3}, {1, 1, 5, 4, 1, 2}, {1, 4, 6, 4, 0, 5}, {6, 2, 6, 5, 3, 0}};
    for (const Case& k : cases) {
        GuardedImage<uint8_t> s(k.sw, k.sh, 3), d(k.dw, k.dh, 3);
        randomFill(s, 11, 0, 255);
        ASSERT_EQ(zaliCopyReplicateBorder_8u_C3R(s.data(), s.step(), s.roi(), d.data(), d.step(), d.roi(), k.top, k.left), StatusOk);
        expectReplicated(s, d, k.top, k.left);
        EXPECT_TRUE(d.guardsIntact());
        // In place: the source already sits at (left, top) of the destination.
        GuardedImage<int32_t> s4(k.sw, k.sh, 4), img(k.dw, k.dh, 4);
        randomFill(s4, 12, -100000, 100000);
        for (int y = 0; y < k.sh; ++y)
            for (int x = 0; x < k.sw; ++x)
                for (int c = 0; c < 4; ++c) img.at(x + k.left, y + k.top, c) = s4.at(x, y, c);
        ASSERT_EQ(zaliCopyReplicateBorder_32s_C4IR(&img.at(k.left, k.top), img.step(), s4.roi(), img.roi(), k.top, k.left), StatusOk);
        expectReplicated(s4, img, k.top, k.left);
        EXPECT_TRUE(img.guardsIntact());
    }
}

// ---- Subtraction ---------------------------------------------------------------

// Reference: round-half-even of d / 2^s, or the saturated d * 2^-s.
int referenceSub8u(int a, int b, int s) {
    const int d = std::max(b - a, 0);
    if (s > 8) return 0;
    if (s < -7) return b > a ? 255 : 0;
    if (s <= 0) return std::min(d << -s, 255);
    const double exact = std::ldexp(static_cast<double>(d), -s);
    return static_cast<int>(std::nearbyint(exact));  // ties to even in the default mode
}

TEST(Sub, EightBitEveryScaleFactor) {
    for (int s = -9; s <= 10; ++s) {
        GuardedImage<uint8_t> a(16, 16, 3, Layout::BottomUp), b(16, 16, 3), d(16, 16, 3);
        a.fill([](int x, int, int c) { return (x * 16 + c * 5) % 256; });
        b.fill([](int, int y, int c) { return (y * 16 + c * 7) % 256; });
        ASSERT_EQ(zaliSub_8u_C3RSfs(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), a.roi(), s), StatusOk);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(d.at(x, y, c), referenceSub8u(a.at(x, y, c), b.at(x, y, c), s)) << "s=" << s;
        EXPECT_TRUE(d.guardsIntact());
        // In place: srcDst = srcDst - src.
        ASSERT_EQ(zaliSub_8u_C3IRSfs(a.data(), a.step(), b.data(), b.step(), b.roi(), s), StatusOk);
        EXPECT_EQ(b.pixels(), d.pixels());
        // Every pair of byte values, through the vector lanes and the tail.
        GuardedImage<uint8_t> x(257, 256), y(257, 256), z(257, 256);
        x.fill([](int i, int, int) { return i % 256; });
        y.fill([](int, int j, int) { return j; });
        ASSERT_EQ(zaliSub_8u_C1RSfs(x.data(), x.step(), y.data(), y.step(), z.data(), z.step(), z.roi(), s), StatusOk);
        for (int j = 0; j < 256; ++j)
            for (int i = 0; i < 257; ++i) ASSERT_EQ(z.at(i, j), referenceSub8u(i % 256, j, s)) << "s=" << s;
    }
}

TEST(Sub, FloatFourChannelsOutOfPlaceAndInPlace) {
    GuardedImage<float> a(3, 2, 4), b(3, 2, 4), d(3, 2, 4, Layout::BottomUp);
    a.fill([](int x, int y, int c) { return x + 0.25f * c - y; });
    b.fill([](int x, int y, int c) { return 2.0f * x + y + c; });
    ASSERT_EQ(zaliSub_32f_C4R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), a.roi()), StatusOk);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c) ASSERT_EQ(d.at(x, y, c), b.at(x, y, c) - a.at(x, y, c));
    EXPECT_TRUE(d.guardsIntact());
    ASSERT_EQ(zaliSub_32f_C4IR(a.data(), a.step(), b.data(), b.step(), b.roi()), StatusOk);
    EXPECT_EQ(b.pixels(), d.pixels());
}

// ---- Threshold (the _Val forms are swept in simd_kernels_test) -------------------

// Floats compare as bit patterns: for t >= 0 (also +0) as signed integers, so
// -0 and negative NaN order below; for t < 0 as unsigned magnitudes.
TEST(Threshold, FloatFormsCompareBitPatterns) {
    const float values[] = {-3.0f, -0.5f, -0.0f, 0.0f, 0.5f, 2.0f, 7.0f, std::bit_cast<float>(0x7fc00000u),
                            std::bit_cast<float>(0xffc00000u), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()};
    const int n = static_cast<int>(std::size(values));
    const auto above = [](float a, float t) {
        return t >= 0.0f ? std::bit_cast<int32_t>(a) > std::bit_cast<int32_t>(t) : std::bit_cast<uint32_t>(a) < std::bit_cast<uint32_t>(t);
    };
    const auto below = [](float a, float t) {
        return t >= 0.0f ? std::bit_cast<int32_t>(a) < std::bit_cast<int32_t>(t) : std::bit_cast<uint32_t>(a) > std::bit_cast<uint32_t>(t);
    };
    for (float t : {1.0f, 0.0f, -1.0f})
        for (int form = 0; form < 4; ++form) {
            GuardedImage<float> s(n, 1), d(n, 1);
            for (int x = 0; x < n; ++x) s.at(x, 0) = d.at(x, 0) = values[x];
            const StatusCode st = form == 0   ? zaliThreshold_32f_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), t, 4)
                                  : form == 1 ? zaliThreshold_32f_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), t, 0)
                                  : form == 2 ? zaliThreshold_LT_32f_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), t)
                                              : zaliThreshold_LT_32f_C1IR(d.data(), d.step(), d.roi(), t);
            ASSERT_EQ(st, StatusOk);
            for (int x = 0; x < n; ++x) {
                const bool replaced = form == 0 ? above(values[x], t) : below(values[x], t);
                EXPECT_EQ(std::bit_cast<uint32_t>(d.at(x, 0)), std::bit_cast<uint32_t>(replaced ? t : values[x]))
                    << "form " << form << " t " << t << " x " << x;
            }
            EXPECT_TRUE(d.guardsIntact());
        }
}

// ---- Argument checks: their order, and nothing written on failure ---------------

TEST(PixelwiseChecks, OrderAndNothingWritten) {
    GuardedImage<uint16_t> a(4, 2), d(4, 2);
    GuardedImage<uint8_t> s8(4, 4), d8(6, 6), up(4, 2, 1, Layout::BottomUp);
    d.fill([](int, int, int) { return 77; });
    const auto before = d.pixels();
    const auto before8 = d8.pixels();
    const ImageSize roi = a.roi();
    uint8_t p = 9, q = 2, r = 0;
    float* fa = reinterpret_cast<float*>(a.data());
    float* fd = reinterpret_cast<float*>(d.data());
    const struct { StatusCode got, want; int line; } cases[] = {
        // A null pointer wins over a zero width; a short step over a misaligned one.
        {zaliAbsDiff_16u_C1R(nullptr, a.step(), a.data(), a.step(), d.data(), d.step(), ImageSize{0, 2}), StatusNullPointer, __LINE__},
        {zaliAbsDiff_16u_C1R(a.data(), a.step(), a.data(), a.step(), d.data(), d.step(), ImageSize{0, 2}), StatusSizeError, __LINE__},
        {zaliAbsDiff_16u_C1R(a.data(), 7, a.data(), a.step(), d.data(), d.step(), roi), StatusStepError, __LINE__},
        {zaliAbsDiff_16u_C1R(a.data(), a.step(), a.data(), 9, d.data(), d.step(), roi), StatusStepAlignmentError, __LINE__},
        {zaliAbsDiffC_32f_C1R(fa, 15, fd, 16, ImageSize{4, 1}, 1.0f), StatusStepError, __LINE__},
        {zaliAbsDiff_8u_C1R(&p, 0, &q, 1, &r, 1, ImageSize{1, 1}), StatusStepError, __LINE__},
        // A bottom-up (negative) step is shorter than a row.
        {zaliAbsDiffC_8u_C1R(up.data(), up.step(), up.data(), 4, ImageSize{4, 2}, 1), StatusStepError, __LINE__},
        // Copy tests no step: only pointers, then sizes; Set tests steps too.
        {zaliCopy_8u_C1R(nullptr, 0, d8.data(), 0, ImageSize{0, 0}), StatusNullPointer, __LINE__},
        {zaliCopy_8u_C1R(s8.data(), 0, d8.data(), 0, ImageSize{0, 1}), StatusSizeError, __LINE__},
        {zaliSet_8u_C1R(1, d8.data(), 0, ImageSize{0, 3}), StatusSizeError, __LINE__},
        {zaliSet_8u_C1R(1, d8.data(), -7, d8.roi()), StatusStepError, __LINE__},
        // Replicated border: steps before sizes, then the placement.
        {zaliCopyReplicateBorder_8u_C1R(nullptr, 0, s8.roi(), d8.data(), d8.step(), d8.roi(), 0, 0), StatusNullPointer, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), 0, ImageSize{0, 0}, d8.data(), d8.step(), d8.roi(), 0, 0), StatusStepError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), ImageSize{5, 6}, 0, 2), StatusSizeError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), d8.roi(), -1, 0), StatusSizeError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), d8.roi(), 3, 0), StatusSizeError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1IR(d8.data(), -1, s8.roi(), d8.roi(), 0, 0), StatusStepError, __LINE__},
        // Multi-channel subtractions test the width first, one-channel ones the
        // pointers; s > 8 fills through Set, whose step test then applies.
        {zaliSub_32f_C3R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{0, 1}), StatusSizeError, __LINE__},
        {zaliSub_8u_C4IRSfs(nullptr, 0, nullptr, 0, ImageSize{0, 1}, 0), StatusSizeError, __LINE__},
        {zaliSub_32f_C1R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{0, 1}), StatusNullPointer, __LINE__},
        {zaliSub_32f_C3R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{1, 0}), StatusNullPointer, __LINE__},
        {zaliSub_8u_C1RSfs(&p, 1, &q, 1, &r, 0, ImageSize{1, 1}, 9), StatusStepError, __LINE__},
        // Thresholds test the comparison code first, and only step positivity.
        {zaliThreshold_Val_8u_C1R(nullptr, 0, nullptr, 0, ImageSize{0, 0}, 1, 1, 1), StatusComparisonNotSupported, __LINE__},
        {zaliThreshold_8u_C1R(nullptr, 1, d8.data(), 1, d8.roi(), 1, 4), StatusNullPointer, __LINE__},
        {zaliThreshold_8u_C1R(s8.data(), 1, d8.data(), 1, ImageSize{1, 0}, 1, 4), StatusSizeError, __LINE__},
        {zaliThreshold_8u_C1R(s8.data(), 1, d8.data(), 0, d8.roi(), 1, 4), StatusStepError, __LINE__},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << "line " << c.line;
    EXPECT_TRUE(d.pixels() == before && d8.pixels() == before8 && r == 0);
    EXPECT_TRUE(d.guardsIntact() && d8.guardsIntact());
    // 8u one channel: step 1 with width 1 is valid.
    EXPECT_EQ(zaliAbsDiff_8u_C1R(&p, 1, &q, 1, &r, 1, ImageSize{1, 1}), StatusOk);
    EXPECT_EQ(r, 7);
}

}  // namespace
