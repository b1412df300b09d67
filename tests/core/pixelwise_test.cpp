// Absolute differences, copies, replicated borders, fill and subtraction,
// checked against per-pixel references (absolute differences and thresholds:
// simd_kernels_test).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
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

// ---- Argument checks: their order (the fuzz replay checks that nothing is written)

TEST(PixelwiseChecks, Order) {
    GuardedImage<uint16_t> a(4, 2), d(4, 2);
    GuardedImage<uint8_t> s8(4, 4), d8(6, 6), up(4, 2, 1, Layout::BottomUp);
    const ImageSize roi = a.roi();
    uint8_t p = 9, q = 2, r = 0;
    const struct { StatusCode got, want; int line; } cases[] = {
        // A null pointer wins over a zero width; a short step over a misaligned one.
        {zaliAbsDiff_16u_C1R(nullptr, a.step(), a.data(), a.step(), d.data(), d.step(), ImageSize{0, 2}), StatusNullPointer, __LINE__},
        {zaliAbsDiff_16u_C1R(a.data(), 7, a.data(), a.step(), d.data(), d.step(), roi), StatusStepError, __LINE__},
        {zaliAbsDiff_16u_C1R(a.data(), a.step(), a.data(), 9, d.data(), d.step(), roi), StatusStepAlignmentError, __LINE__},
        // A bottom-up (negative) step is shorter than a row.
        {zaliAbsDiffC_8u_C1R(up.data(), up.step(), up.data(), 4, ImageSize{4, 2}, 1), StatusStepError, __LINE__},
        // Copy tests no step: only pointers, then sizes; Set tests steps too.
        {zaliCopy_8u_C1R(nullptr, 0, d8.data(), 0, ImageSize{0, 0}), StatusNullPointer, __LINE__},
        {zaliCopy_8u_C1R(s8.data(), 0, d8.data(), 0, ImageSize{0, 1}), StatusSizeError, __LINE__},
        {zaliSet_8u_C1R(1, d8.data(), -7, d8.roi()), StatusStepError, __LINE__},
        // Replicated border: steps before sizes, then the placement.
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), 0, ImageSize{0, 0}, d8.data(), d8.step(), d8.roi(), 0, 0), StatusStepError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), ImageSize{5, 6}, 0, 2), StatusSizeError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), d8.roi(), -1, 0), StatusSizeError, __LINE__},
        {zaliCopyReplicateBorder_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), d8.roi(), 3, 0), StatusSizeError, __LINE__},
        // Multi-channel subtractions test the width first, one-channel ones the
        // pointers; s > 8 fills through Set, whose step test then applies.
        {zaliSub_32f_C3R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{0, 1}), StatusSizeError, __LINE__},
        {zaliSub_8u_C4IRSfs(nullptr, 0, nullptr, 0, ImageSize{0, 1}, 0), StatusSizeError, __LINE__},
        {zaliSub_32f_C1R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{0, 1}), StatusNullPointer, __LINE__},
        {zaliSub_32f_C3R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{1, 0}), StatusNullPointer, __LINE__},
        {zaliSub_8u_C1RSfs(&p, 1, &q, 1, &r, 0, ImageSize{1, 1}, 9), StatusStepError, __LINE__},
        // Thresholds test the comparison code first, and only step positivity.
        {zaliThreshold_Val_8u_C1R(nullptr, 0, nullptr, 0, ImageSize{0, 0}, 1, 1, 1), StatusComparisonNotSupported, __LINE__},
        {zaliThreshold_8u_C1R(s8.data(), 1, d8.data(), 0, d8.roi(), 1, 4), StatusStepError, __LINE__},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << "line " << c.line;
    // 8u one channel: step 1 with width 1 is valid.
    EXPECT_EQ(zaliAbsDiff_8u_C1R(&p, 1, &q, 1, &r, 1, ImageSize{1, 1}), StatusOk);
    EXPECT_EQ(r, 7);
}

}  // namespace
