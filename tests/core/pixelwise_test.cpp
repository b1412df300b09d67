// Absolute differences, copies, replicated borders, fill, subtraction and
// thresholds, checked against per-pixel references.
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

template <class T>
void randomFill(GuardedImage<T>& img, uint64_t seed, int lo, int hi) {
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) { return static_cast<T>(rng.uniform(lo, hi)); });
}

// ---- Absolute difference ---------------------------------------------------

TEST(AbsDiff, IntegerTypesAndSizes) {
    for (ImageSize size : {ImageSize{1, 1}, ImageSize{1, 7}, ImageSize{13, 1}, ImageSize{37, 5}}) {
        GuardedImage<uint16_t> a(size.width, size.height, 1), b(size.width, size.height, 1),
            d(size.width, size.height, 1);
        randomFill(a, 1, 0, 65535);
        randomFill(b, 2, 0, 65535);
        ASSERT_EQ(zaliAbsDiff_16u_C1R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), a.roi()), StatusOk);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                ASSERT_EQ(d.at(x, y), std::abs(int(a.at(x, y)) - int(b.at(x, y))));
        EXPECT_TRUE(d.guardsIntact());

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

TEST(AbsDiff, FloatClearsTheSignBit) {
    GuardedImage<float> a(4, 1), b(4, 1), d(4, 1);
    const float nan = std::bit_cast<float>(0xffc00001u);
    const float av[4] = {1.5f, -0.0f, 2.0f, nan}, bv[4] = {1.5f, 0.0f, 5.0f, 1.0f};
    for (int x = 0; x < 4; ++x) {
        a.at(x, 0) = av[x];
        b.at(x, 0) = bv[x];
    }
    ASSERT_EQ(zaliAbsDiff_32f_C1R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), a.roi()), StatusOk);
    EXPECT_EQ(std::bit_cast<uint32_t>(d.at(0, 0)), 0u);  // equal values give +0
    EXPECT_EQ(std::bit_cast<uint32_t>(d.at(1, 0)), 0u);
    EXPECT_EQ(d.at(2, 0), 3.0f);
    EXPECT_EQ(std::bit_cast<uint32_t>(d.at(3, 0)) >> 31, 0u);
    EXPECT_TRUE(std::isnan(d.at(3, 0)));
    ASSERT_EQ(zaliAbsDiffC_32f_C1R(b.data(), b.step(), d.data(), d.step(), b.roi(), 4.0f), StatusOk);
    EXPECT_EQ(d.at(0, 0), 2.5f);
    EXPECT_EQ(d.at(2, 0), 1.0f);
    EXPECT_TRUE(d.guardsIntact());
}

TEST(AbsDiff, ChecksInOrderAndWritesNothing) {
    GuardedImage<uint16_t> a(4, 2), d(4, 2);
    d.fill([](int, int, int) { return 77; });
    const auto before = d.pixels();
    const ImageSize roi = a.roi();
    // A null pointer wins over a zero width.
    EXPECT_EQ(zaliAbsDiff_16u_C1R(nullptr, a.step(), a.data(), a.step(), d.data(), d.step(), ImageSize{0, 2}), StatusNullPointer);
    EXPECT_EQ(zaliAbsDiff_16u_C1R(a.data(), a.step(), a.data(), a.step(), d.data(), d.step(), ImageSize{0, 2}), StatusSizeError);
    // A short step wins over a misaligned one; a large odd step is -108.
    EXPECT_EQ(zaliAbsDiff_16u_C1R(a.data(), 7, a.data(), a.step(), d.data(), d.step(), roi), StatusStepError);
    EXPECT_EQ(zaliAbsDiff_16u_C1R(a.data(), a.step(), a.data(), 9, d.data(), d.step(), roi), StatusStepAlignmentError);
    EXPECT_EQ(zaliAbsDiffC_32f_C1R(reinterpret_cast<float*>(a.data()), 15, reinterpret_cast<float*>(d.data()), 16, ImageSize{4, 1}, 1.0f), StatusStepError);
    // 8u one channel: step 1 with width 1 is valid, step 0 is not.
    uint8_t p = 9, q = 2, r = 0;
    EXPECT_EQ(zaliAbsDiff_8u_C1R(&p, 1, &q, 1, &r, 1, ImageSize{1, 1}), StatusOk);
    EXPECT_EQ(r, 7);
    EXPECT_EQ(zaliAbsDiff_8u_C1R(&p, 0, &q, 1, &r, 1, ImageSize{1, 1}), StatusStepError);
    // A bottom-up (negative) step is shorter than a row: rejected.
    GuardedImage<uint8_t> up(4, 2, 1, Layout::BottomUp);
    EXPECT_EQ(zaliAbsDiffC_8u_C1R(up.data(), up.step(), up.data(), 4, ImageSize{4, 2}, 1), StatusStepError);
    EXPECT_EQ(d.pixels(), before);
    EXPECT_TRUE(d.guardsIntact());
}

// ---- Copy and fill -----------------------------------------------------------

TEST(Copy, AllLayoutsPreserveBits) {
    GuardedImage<float> s(5, 3, 3, Layout::BottomUp), d(5, 3, 3, Layout::TopDown);
    s.fill([](int x, int y, int c) { return x == 2 && c == 1 ? std::bit_cast<float>(0x7f800123u) : float(x * 10 + y + c); });
    ASSERT_EQ(zaliCopy_32f_C3R(s.data(), s.step(), d.data(), d.step(), s.roi()), StatusOk);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(std::bit_cast<uint32_t>(d.at(x, y, c)), std::bit_cast<uint32_t>(s.at(x, y, c)));
    EXPECT_TRUE(d.guardsIntact());
    GuardedImage<uint8_t> s4(3, 2, 4), d4(3, 2, 4);
    randomFill(s4, 5, 0, 255);
    ASSERT_EQ(zaliCopy_8u_C4R(s4.data(), s4.step(), d4.data(), d4.step(), s4.roi()), StatusOk);
    EXPECT_EQ(d4.pixels(), s4.pixels());
    EXPECT_TRUE(d4.guardsIntact());
    // No step is tested: only pointers, then sizes.
    EXPECT_EQ(zaliCopy_8u_C1R(nullptr, 0, d4.data(), 0, ImageSize{0, 0}), StatusNullPointer);
    EXPECT_EQ(zaliCopy_8u_C1R(s4.data(), 0, d4.data(), 0, ImageSize{0, 1}), StatusSizeError);
}

TEST(Set, FillsTheRoiOnly) {
    GuardedImage<uint8_t> d(7, 3);
    ASSERT_EQ(zaliSet_8u_C1R(42, d.data(), d.step(), d.roi()), StatusOk);
    for (uint8_t v : d.pixels()) EXPECT_EQ(v, 42);
    EXPECT_TRUE(d.guardsIntact());
    EXPECT_EQ(zaliSet_8u_C1R(1, nullptr, 0, ImageSize{0, 0}), StatusNullPointer);
    EXPECT_EQ(zaliSet_8u_C1R(1, d.data(), 0, ImageSize{0, 3}), StatusSizeError);
    EXPECT_EQ(zaliSet_8u_C1R(1, d.data(), 0, d.roi()), StatusStepError);
    EXPECT_EQ(zaliSet_8u_C1R(1, d.data(), -7, d.roi()), StatusStepError);
}

// ---- Copy with replicated border ----------------------------------------------

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

TEST(CopyReplicateBorder, OutOfPlaceMatchesClampedReference) {
    struct Case { int sw, sh, dw, dh, top, left; };
    const Case cases[] = {{4, 3, 4, 3, 0, 0}, {4, 3, 9, 8, 2, 3}, {1, 1, 5, 4, 1, 2}, {1, 4, 6, 4, 0, 5}, {6, 2, 6, 5, 3, 0}};
    for (const Case& k : cases) {
        GuardedImage<uint8_t> s(k.sw, k.sh, 3), d(k.dw, k.dh, 3);
        randomFill(s, 11, 0, 255);
        ASSERT_EQ(zaliCopyReplicateBorder_8u_C3R(s.data(), s.step(), s.roi(), d.data(), d.step(), d.roi(), k.top, k.left), StatusOk);
        expectReplicated(s, d, k.top, k.left);
        EXPECT_TRUE(d.guardsIntact());
        GuardedImage<int32_t> s1(k.sw, k.sh, 1), d1(k.dw, k.dh, 1);
        randomFill(s1, 12, -100000, 100000);
        ASSERT_EQ(zaliCopyReplicateBorder_32s_C1R(s1.data(), s1.step(), s1.roi(), d1.data(), d1.step(), d1.roi(), k.top, k.left), StatusOk);
        expectReplicated(s1, d1, k.top, k.left);
        EXPECT_TRUE(d1.guardsIntact());
    }
}

TEST(CopyReplicateBorder, InPlaceExtendsAroundTheSource) {
    const int top = 2, left = 3, sw = 4, sh = 3, dw = 10, dh = 7;
    GuardedImage<int32_t> img(dw, dh, 4);
    GuardedImage<int32_t> src(sw, sh, 4);
    randomFill(src, 21, -5000, 5000);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 4; ++c) img.at(x + left, y + top, c) = src.at(x, y, c);
    int32_t* roi = &img.at(left, top);
    ASSERT_EQ(zaliCopyReplicateBorder_32s_C4IR(roi, img.step(), ImageSize{sw, sh}, ImageSize{dw, dh}, top, left), StatusOk);
    expectReplicated(src, img, top, left);
    EXPECT_TRUE(img.guardsIntact());
}

TEST(CopyReplicateBorder, ChecksStepsBeforeSizes) {
    GuardedImage<uint8_t> s(4, 4), d(6, 6);
    const auto before = d.pixels();
    EXPECT_EQ(zaliCopyReplicateBorder_8u_C1R(nullptr, 0, s.roi(), d.data(), d.step(), d.roi(), 0, 0), StatusNullPointer);
    EXPECT_EQ(zaliCopyReplicateBorder_8u_C1R(s.data(), 0, ImageSize{0, 0}, d.data(), d.step(), d.roi(), 0, 0), StatusStepError);
    EXPECT_EQ(zaliCopyReplicateBorder_8u_C1R(s.data(), s.step(), s.roi(), d.data(), d.step(), ImageSize{4 + 2 - 1, 6}, 0, 2), StatusSizeError);
    EXPECT_EQ(zaliCopyReplicateBorder_8u_C1R(s.data(), s.step(), s.roi(), d.data(), d.step(), d.roi(), -1, 0), StatusSizeError);
    EXPECT_EQ(zaliCopyReplicateBorder_8u_C1R(s.data(), s.step(), s.roi(), d.data(), d.step(), d.roi(), 3, 0), StatusSizeError);
    EXPECT_EQ(zaliCopyReplicateBorder_8u_C1IR(d.data(), -1, s.roi(), d.roi(), 0, 0), StatusStepError);
    EXPECT_EQ(d.pixels(), before);
}

// ---- Subtraction ------------------------------------------------------------------

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

TEST(Sub, EightBitListedValues) {
    uint8_t a = 0, b = 3, d = 9;
    const ImageSize one{1, 1};
    zaliSub_8u_C1RSfs(&a, 1, &b, 1, &d, 1, one, 1);
    EXPECT_EQ(d, 2);
    b = 5;
    zaliSub_8u_C1RSfs(&a, 1, &b, 1, &d, 1, one, 1);
    EXPECT_EQ(d, 2);
    b = 255;
    zaliSub_8u_C1RSfs(&a, 1, &b, 1, &d, 1, one, 8);
    EXPECT_EQ(d, 1);
    zaliSub_8u_C1RSfs(&a, 1, &b, 1, &d, 1, one, 9);
    EXPECT_EQ(d, 0);
    zaliSub_8u_C1RSfs(&b, 1, &a, 1, &d, 1, one, -3);  // negative difference
    EXPECT_EQ(d, 0);
    // s > 8 fills through the fill operation, whose step test then applies.
    EXPECT_EQ(zaliSub_8u_C1RSfs(&a, 1, &b, 1, &d, 0, one, 9), StatusStepError);
}

TEST(Sub, FloatAndWrapperCheckOrder) {
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
    // Multi-channel members test the width first; one-channel ones the pointers.
    EXPECT_EQ(zaliSub_32f_C3R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{0, 1}), StatusSizeError);
    EXPECT_EQ(zaliSub_8u_C4IRSfs(nullptr, 0, nullptr, 0, ImageSize{0, 1}, 0), StatusSizeError);
    EXPECT_EQ(zaliSub_32f_C1R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{0, 1}), StatusNullPointer);
    EXPECT_EQ(zaliSub_32f_C3R(nullptr, 0, nullptr, 0, nullptr, 0, ImageSize{1, 0}), StatusNullPointer);
}

// ---- Threshold --------------------------------------------------------------------

TEST(Threshold, EightBitChainClampsAndSetsValue) {
    GuardedImage<uint8_t> s(256, 1), d(256, 1);
    s.fill([](int x, int, int) { return x; });
    ASSERT_EQ(zaliThreshold_GT_8u_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), 100), StatusOk);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(d.at(x, 0), std::min(x, 100));
    ASSERT_EQ(zaliThreshold_Val_8u_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), 10, 200, 0), StatusOk);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(d.at(x, 0), x < 10 ? 200 : x);
    EXPECT_TRUE(d.guardsIntact());
    // The comparison code is tested before everything else.
    EXPECT_EQ(zaliThreshold_Val_8u_C1R(nullptr, 0, nullptr, 0, ImageSize{0, 0}, 1, 1, 1), StatusComparisonNotSupported);
    EXPECT_EQ(zaliThreshold_8u_C1R(nullptr, 1, d.data(), 1, d.roi(), 1, 4), StatusNullPointer);
    EXPECT_EQ(zaliThreshold_8u_C1R(s.data(), 1, d.data(), 1, ImageSize{1, 0}, 1, 4), StatusSizeError);
    // Only positivity of the steps is tested.
    EXPECT_EQ(zaliThreshold_8u_C1R(s.data(), 1, d.data(), 0, d.roi(), 1, 4), StatusStepError);
}

TEST(Threshold, FloatComparesBitPatterns) {
    const float nanPos = std::bit_cast<float>(0x7fc00000u), nanNeg = std::bit_cast<float>(0xffc00000u);
    const float values[] = {-3.0f, -0.5f, -0.0f, 0.0f, 0.5f, 2.0f, 7.0f, nanPos, nanNeg,
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    const int n = static_cast<int>(std::size(values));
    GuardedImage<float> s(n, 1), d(n, 1);
    for (int x = 0; x < n; ++x) s.at(x, 0) = values[x];
    // Positive threshold: NaN with the sign clear is above, with the sign set below.
    ASSERT_EQ(zaliThreshold_32f_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), 1.0f, 4), StatusOk);
    for (int x = 0; x < n; ++x) {
        const uint32_t bits = std::bit_cast<uint32_t>(values[x]);
        const bool above = static_cast<int32_t>(bits) > static_cast<int32_t>(std::bit_cast<uint32_t>(1.0f));
        EXPECT_EQ(std::bit_cast<uint32_t>(d.at(x, 0)), above ? std::bit_cast<uint32_t>(1.0f) : bits) << x;
    }
    // +0 threshold: -0 orders below it and is raised.
    ASSERT_EQ(zaliThreshold_LT_32f_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), 0.0f), StatusOk);
    EXPECT_EQ(std::bit_cast<uint32_t>(d.at(2, 0)), 0u);
    EXPECT_EQ(d.at(0, 0), 0.0f);
    EXPECT_EQ(d.at(5, 0), 2.0f);
    EXPECT_TRUE(std::isnan(d.at(7, 0)));
    EXPECT_EQ(d.at(8, 0), 0.0f);  // negative NaN orders below every threshold
    // Negative threshold: ordinary ordering for finite values.
    GuardedImage<float> io(n, 1);
    for (int x = 0; x < n; ++x) io.at(x, 0) = values[x];
    ASSERT_EQ(zaliThreshold_LT_32f_C1IR(io.data(), io.step(), io.roi(), -1.0f), StatusOk);
    EXPECT_EQ(io.at(0, 0), -1.0f);
    EXPECT_EQ(io.at(1, 0), -0.5f);
    EXPECT_EQ(io.at(10, 0), -1.0f);
    EXPECT_TRUE(std::isnan(io.at(7, 0)));
    EXPECT_EQ(io.at(8, 0), -1.0f);
    EXPECT_TRUE(io.guardsIntact());
    ASSERT_EQ(zaliThreshold_Val_32f_C1R(s.data(), s.step(), d.data(), d.step(), s.roi(), 0.5f, 9.0f, 0), StatusOk);
    EXPECT_EQ(d.at(4, 0), 0.5f);
    EXPECT_EQ(d.at(1, 0), 9.0f);
}

// ---- Version -------------------------------------------------------------------

TEST(Version, ConstantRecord) {
    const LibraryVersion* v = zalcvGetLibVersion();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v, zalcvGetLibVersion());
    EXPECT_EQ(v->majorVersion, 5);
    EXPECT_EQ(v->minorVersion, 1);
    EXPECT_EQ(v->buildSeries, 133);
    EXPECT_EQ(v->buildNumber, 258);
    EXPECT_EQ(v->cpuVariant[0], 'p');
    EXPECT_EQ(v->cpuVariant[1], 'x');
    EXPECT_EQ(v->cpuVariant[2], 0);
    EXPECT_EQ(v->cpuVariant[3], 0);
    EXPECT_STREQ(v->libraryName, "libzalcvpx-5.1.dylib");
    EXPECT_STREQ(v->versionText, "5.1.1");
    EXPECT_STREQ(v->buildDate, "Jun 21 2006");
}

}  // namespace
