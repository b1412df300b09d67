// Sub-pixel copies against a per-pixel reference: the clipped rectangle is
// mapped pixel by pixel (interpolate where both neighbours exist, otherwise
// take the nearest source column or row).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

float fraction(float d) { return d - std::floor(d); }

struct Fixed {
    uint32_t a, a1, b, b1, w00, w01, w10, w11;
    Fixed(float fx, float fy, int shift) {
        const uint32_t S = 1u << shift;
        a = static_cast<uint32_t>(fx * static_cast<float>(S) + 0.5f);
        b = static_cast<uint32_t>(fy * static_cast<float>(S) + 0.5f);
        a1 = S - a;
        b1 = S - b;
        w00 = (a1 * b1 + 16384) >> shift;
        w01 = (a * b1 + 16384) >> shift;
        w10 = (a1 * b + 16384) >> shift;
        w11 = (a * b + 16384) >> shift;
    }
};

// A Q14 weighted sum of 8-bit pixels times 2^-scaleFactor (2^-(scaleFactor +
// 14) of the sum), rounded half up and saturated to 16 bits, in exact
// integers.
uint16_t scaledSum(uint32_t sum, int scaleFactor) {
    const int shift = scaleFactor + 14;
    using Wide = unsigned __int128;
    const Wide v = shift <= 0 ? Wide{sum} << -shift : (Wide{sum} + (Wide{1} << (shift - 1))) >> shift;
    return static_cast<uint16_t>(v > 65535 ? 65535 : v);
}

// Q14/Q15 weights rounded from the fractions; at a zero fraction w00 rounds
// up to 16385, and negative offsets use the fraction d - floor(d). Every
// target, with rows shorter than a vector, of one or two (masked or
// overlapping) vectors, and longer. 8u to 16u with every scale factor from
// -40 to 40, on constant and random images: the scaled sum never wraps and
// never shifts by a wrapped count.
TEST(CopySubpix, AllIntegerSuffixesMatchTheFourWeightFormula) {
    zaltest::forEachSimdTarget([] {
    zaltest::Lcg rng(5);
    for (int W : {1, 7, 8, 16, 21, 32, 33, 37, 70})
    for (int fill : {-1, 0, 1, 128, 255}) {
    GuardedImage<uint8_t> s8(W + 1, 6);
    GuardedImage<uint16_t> s16(W + 1, 6);
    s8.fill([&](int, int, int) { return fill >= 0 ? fill : rng.uniform(0, 255); });
    s16.fill([&](int, int, int) { return rng.uniform(0, 65535); });
    for (float d : {0.0f, 0.3f, -1.7f, 2.999f, -0.25f}) {
        const float fx = fraction(d), fy = fraction(0.5f * d);
        GuardedImage<uint8_t> d8(W, 5);
        GuardedImage<uint16_t> d816(W, 5), d16(W, 5);
        ASSERT_EQ(zaliCopySubpix_8u_C1R(s8.data(), s8.step(), d8.data(), d8.step(), d8.roi(), d, 0.5f * d), StatusOk);
        ASSERT_EQ(zaliCopySubpix_16u_C1R(s16.data(), s16.step(), d16.data(), d16.step(), d16.roi(), d, 0.5f * d), StatusOk);
        const Fixed q14(fx, fy, 14), q15(fx, fy, 15);
        for (int sf = W == 21 ? -40 : -7; sf <= (W == 21 ? 40 : -7); ++sf) {
            ASSERT_EQ(zaliCopySubpix_8u16u_C1R_Sfs(s8.data(), s8.step(), d816.data(), d816.step(), d816.roi(), d, 0.5f * d, sf), StatusOk);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < W; ++x) {
                    const uint32_t sum8 = s8.at(x, y) * q14.w00 + s8.at(x + 1, y) * q14.w01 + s8.at(x, y + 1) * q14.w10 +
                                          s8.at(x + 1, y + 1) * q14.w11;
                    ASSERT_EQ(d816.at(x, y), scaledSum(sum8, sf)) << "fill " << fill << " d " << d << " sf " << sf << " at " << x << "," << y;
                }
        }
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < W; ++x) {
                const uint32_t sum8 = s8.at(x, y) * q14.w00 + s8.at(x + 1, y) * q14.w01 + s8.at(x, y + 1) * q14.w10 +
                                      s8.at(x + 1, y + 1) * q14.w11;
                const uint32_t sum16 = s16.at(x, y) * q15.w00 + s16.at(x + 1, y) * q15.w01 +
                                       s16.at(x, y + 1) * q15.w10 + s16.at(x + 1, y + 1) * q15.w11;
                ASSERT_EQ(d8.at(x, y), (sum8 + 8192) >> 14);
                ASSERT_EQ(d16.at(x, y), std::min<uint32_t>((sum16 + 16384) >> 15, 65535));
            }
        EXPECT_TRUE(d8.guardsIntact() && d816.guardsIntact() && d16.guardsIntact());
    }
    }
    });
}

TEST(CopySubpix, SixteenBitWhiteDoesNotWrap) {
    // Fractions of one half round all four Q15 weights up (8192.5 -> 8193).
    GuardedImage<uint16_t> src(3, 3), dst(2, 2);
    src.fill([](int, int, int) { return 65535; });
    ASSERT_EQ(zaliCopySubpix_16u_C1R(src.data(), src.step(), dst.data(), dst.step(), dst.roi(), 0.5f, 0.5f), StatusOk);
    for (uint16_t v : dst.pixels()) EXPECT_EQ(v, 65535);
}

// Float destinations: bit for bit the incremental bilinear form (acc carried from pixel to pixel as r t, the
// horizontal fraction at least 1e-6), on every target.
template <class S>
std::vector<float> incremental(const GuardedImage<S>& img, int W, int H, float dx, float dy) {
    const float fx = std::max(fraction(dx), 1e-6f), fy = fraction(dy), r = (1.0f - fx) / fx;
    std::vector<float> out;
    for (int y = 0; y < H; ++y) {
        float acc = float(img.at(0, y)) * ((1.0f - fx) * (1.0f - fy)) + float(img.at(0, y + 1)) * (fy * (1.0f - fx));
        for (int x = 0; x < W; ++x) {
            const float t = float(img.at(x + 1, y)) * ((1.0f - fy) * fx) + float(img.at(x + 1, y + 1)) * (fy * fx);
            acc = acc + t;
            out.push_back(acc);
            acc = r * t;
        }
    }
    return out;
}

TEST(CopySubpix, FloatOutputIsBilinear) {
    zaltest::forEachSimdTarget([] {
        for (int W : {8, 37}) {
            zaltest::Lcg rng(9);
            GuardedImage<float> s(W + 1, 4);
            GuardedImage<uint16_t> s16(W + 1, 4);
            GuardedImage<uint8_t> s8(W + 1, 4);
            s.fill([&](int, int, int) { return rng.uniformf(0.0f, 100.0f); });
            s16.fill([&](int x, int y, int) { return static_cast<int>(s.at(x, y)); });
            s8.fill([&](int x, int y, int) { return static_cast<int>(s.at(x, y)); });
            for (float dx : {0.0f, 0.25f, -0.6f}) {
                GuardedImage<float> d(W, 3), d16(W, 3), d8(W, 3);
                ASSERT_EQ(zaliCopySubpix_32f_C1R(s.data(), s.step(), d.data(), d.step(), d.roi(), dx, 0.375f), StatusOk);
                ASSERT_EQ(zaliCopySubpix_16u32f_C1R(s16.data(), s16.step(), d16.data(), d16.step(), d16.roi(), dx, 0.375f), StatusOk);
                ASSERT_EQ(zaliCopySubpix_8u32f_C1R(s8.data(), s8.step(), d8.data(), d8.step(), d8.roi(), dx, 0.375f), StatusOk);
                EXPECT_EQ(d.pixels(), incremental(s, W, 3, dx, 0.375f));
                EXPECT_EQ(d16.pixels(), incremental(s16, W, 3, dx, 0.375f));
                EXPECT_EQ(d8.pixels(), incremental(s8, W, 3, dx, 0.375f));
                EXPECT_TRUE(d.guardsIntact() && d16.guardsIntact() && d8.guardsIntact());
            }
        }
    });
}

// Reference for the intersecting copies of 8u data: 8u, and 8u to 16u with
// each of `scaleFactors`.
void checkIntersect8u(const GuardedImage<uint8_t>& src, int Wd, int Hd, float cx, float cy,
                      std::initializer_list<int> scaleFactors = {-7}) {
    GuardedImage<uint8_t> dst(Wd, Hd);
    ImagePoint lo{-9, -9}, hi{-9, -9};
    ASSERT_EQ(zaliCopySubpixIntersect_8u_C1R(src.data(), src.step(), src.roi(), dst.data(), dst.step(), dst.roi(), cx, cy, &lo, &hi), StatusOk);
    ASSERT_TRUE(dst.guardsIntact());
    std::vector<GuardedImage<uint16_t>> wide;
    for (int sf : scaleFactors) {
        wide.emplace_back(Wd, Hd);
        ImagePoint lo16, hi16;
        GuardedImage<uint16_t>& d = wide.back();
        ASSERT_EQ(zaliCopySubpixIntersect_8u16u_C1R_Sfs(src.data(), src.step(), src.roi(), d.data(), d.step(), d.roi(), cx, cy, &lo16, &hi16, sf), StatusOk);
        ASSERT_TRUE(d.guardsIntact());
        ASSERT_TRUE(lo16.x == lo.x && lo16.y == lo.y && hi16.x == hi.x && hi16.y == hi.y);
    }
    const float x0 = cx - (Wd - 1) * 0.5f, y0 = cy - (Hd - 1) * 0.5f;
    const int ix = static_cast<int>(std::floor(x0)), iy = static_cast<int>(std::floor(y0));
    const Fixed q(x0 - ix, y0 - iy, 14);
    const int Ws = src.width(), Hs = src.height();
    int minX = Wd, maxX = -1, minY = Hd, maxY = -1;
    for (int y = 0; y < Hd; ++y)
        for (int x = 0; x < Wd; ++x) {
            const int sx = ix + x, sy = iy + y;
            const bool hx = sx >= 0 && sx + 1 < Ws, hy = sy >= 0 && sy + 1 < Hs;
            const int cx0 = std::clamp(sx, 0, Ws - 1), cy0 = std::clamp(sy, 0, Hs - 1);
            uint32_t v;
            if (hx && hy) {
                v = src.at(sx, sy) * q.w00 + src.at(sx + 1, sy) * q.w01 + src.at(sx, sy + 1) * q.w10 + src.at(sx + 1, sy + 1) * q.w11;
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
            } else if (hx) {
                v = src.at(sx, cy0) * q.a1 + src.at(sx + 1, cy0) * q.a;
            } else if (hy) {
                v = src.at(cx0, sy) * q.b1 + src.at(cx0, sy + 1) * q.b;
            } else {
                v = src.at(cx0, cy0) * 16384u;
            }
            ASSERT_EQ(dst.at(x, y), (v + 8192) >> 14) << "centre " << cx << "," << cy << " pixel " << x << "," << y;
            int k = 0;
            for (int sf : scaleFactors)
                ASSERT_EQ(wide[k++].at(x, y), scaledSum(v, sf)) << "centre " << cx << "," << cy << " pixel " << x << ","
                                                                 << y << " sf " << sf;
        }
    if (maxX >= 0) {
        EXPECT_EQ(lo.x, minX);
        EXPECT_EQ(hi.x, maxX);
        EXPECT_EQ(lo.y, minY);
        EXPECT_EQ(hi.y, maxY);
    } else {
        EXPECT_TRUE(hi.x < lo.x || hi.y < lo.y);
    }
}

TEST(CopySubpixIntersect, MatchesClippedReferenceEverywhere) {
    zaltest::forEachSimdTarget([] {
    GuardedImage<uint8_t> src(9, 7);
    zaltest::Lcg rng(21);
    src.fill([&](int, int, int) { return rng.uniform(0, 255); });
    for (int i = 0; i < 60; ++i) checkIntersect8u(src, rng.uniform(1, 6), rng.uniform(1, 6), rng.uniformf(-5, 14), rng.uniformf(-5, 12));
    // Interpolated runs of full vectors and tails.
    GuardedImage<uint8_t> wide(45, 6);
    wide.fill([&](int, int, int) { return rng.uniform(0, 255); });
    for (int i = 0; i < 12; ++i) checkIntersect8u(wide, rng.uniform(17, 40), rng.uniform(1, 4), rng.uniformf(-8, 50), rng.uniformf(-2, 7));
    // 8u to 16u over the whole scale-factor range, on constant and random
    // images, with interpolated, one-direction and copied pixels.
    for (int fill : {0, 1, 128, 255, -1}) {
        GuardedImage<uint8_t> img(7, 6);
        img.fill([&](int, int, int) { return fill >= 0 ? fill : rng.uniform(0, 255); });
        for (auto [cx, cy] : {std::pair{3.25f, 2.5f}, {-0.7f, 4.9f}, {6.6f, -1.2f}})
            checkIntersect8u(img, 5, 4, cx, cy, {-40, -31, -19, -15, -14, -13, -8, -1, 0, 1, 5, 9, 17, 18, 19, 31, 32, 40});
    }
    // Blocks wholly inside (rows of one or two vectors, and longer), and
    // blocks whose top or bottom rows lie outside (rows interpolated across
    // only), at several scale factors.
    GuardedImage<uint8_t> big(80, 12);
    big.fill([&](int, int, int) { return rng.uniform(0, 255); });
    for (int Wd : {8, 16, 21, 23, 32, 33, 40, 70})
        for (auto [cx, cy] : {std::pair{39.3f, 5.6f}, {40.0f, 5.0f}, {39.7f, 0.4f}, {40.1f, 10.8f}})
            checkIntersect8u(big, Wd, 5, cx, cy, {-7, -14, 0, 3});
    // Wholly inside, wholly right (every column copies the last source column), left by 2 and far left.
    for (float cx : {4.25f, 30.0f, -0.5f, -40.0f}) checkIntersect8u(src, 4, 3, cx, 3.5f);
    GuardedImage<uint8_t> single(1, 1);
    single.at(0, 0) = 77;
    checkIntersect8u(single, 3, 2, 0.3f, 0.0f);
    });
}

// Float destinations of the clipped copy use the direct weights, summed
// ((p00 w00 + p01 w01) + p10 w10) + p11 w11, and p0 (1 - fx) + p1 fx where
// only the row interpolates (the block's top rows lie above the source).
TEST(CopySubpixIntersect, FloatMembersUseTheDirectWeights) {
    zaltest::forEachSimdTarget([] {
        zaltest::Lcg rng(33);
        GuardedImage<float> s32(45, 6);
        GuardedImage<uint16_t> s16(45, 6);
        s32.fill([&](int, int, int) { return rng.uniformf(-50.0f, 50.0f); });
        s16.fill([&](int, int, int) { return rng.uniform(0, 65535); });
        for (float cy : {2.6f, -0.4f}) {
            const float cx = 20.3f, x0 = cx - 18.0f, y0 = cy - 1.0f;
            const int ix = static_cast<int>(std::floor(x0)), iy = static_cast<int>(std::floor(y0));
            const float fx = x0 - ix, fy = y0 - iy;
            const float w00 = (1.0f - fx) * (1.0f - fy), w01 = fx * (1.0f - fy), w10 = fy * (1.0f - fx), w11 = fx * fy;
            GuardedImage<float> d32(37, 3), d16(37, 3);
            ImagePoint lo, hi;
            ASSERT_EQ(zaliCopySubpixIntersect_32f_C1R(s32.data(), s32.step(), s32.roi(), d32.data(), d32.step(), d32.roi(), cx, cy, &lo, &hi), StatusOk);
            ASSERT_EQ(zaliCopySubpixIntersect_16u32f_C1R(s16.data(), s16.step(), s16.roi(), d16.data(), d16.step(), d16.roi(), cx, cy, &lo, &hi), StatusOk);
            auto ref = [&](auto& img, int x, int y) {
                const int sx = ix + x, sy = iy + y;
                auto p = [&](int u, int v) { return float(img.at(u, v)); };
                if (sy < 0) return p(sx, 0) * (1.0f - fx) + p(sx + 1, 0) * fx;
                return p(sx, sy) * w00 + p(sx + 1, sy) * w01 + p(sx, sy + 1) * w10 + p(sx + 1, sy + 1) * w11;
            };
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 37; ++x) {
                    ASSERT_EQ(d32.at(x, y), ref(s32, x, y)) << cy << " " << x << "," << y;
                    ASSERT_EQ(d16.at(x, y), ref(s16, x, y)) << cy << " " << x << "," << y;
                }
            EXPECT_TRUE(d32.guardsIntact() && d16.guardsIntact());
        }
    });
}

TEST(CopySubpixIntersect, RangeEdgeCases) {
    GuardedImage<float> src(10, 8);
    src.fill([](int x, int y, int) { return 10.0f * y + x; });
    GuardedImage<float> dst(4, 3);
    ImagePoint lo, hi;
    auto run = [&](float cx, float cy) {
        return zaliCopySubpixIntersect_32f_C1R(src.data(), src.step(), src.roi(), dst.data(), dst.step(), dst.roi(), cx, cy, &lo, &hi);
    };
    // Centre left of the source by k columns: pMin.x = k, capped at Wd; right of it: an empty range.
    for (auto [cx, want] : {std::pair{-0.5f, 2}, {-40.0f, 4}, {30.0f, 0}}) {
        ASSERT_EQ(run(cx, 3.0f), StatusOk);
        EXPECT_EQ(lo.x, want) << cx;
    }
    EXPECT_EQ(hi.x, -1);
    // A far-away centre is clipped safely.
    ASSERT_EQ(run(3e20f, -3e20f), StatusOk);
    EXPECT_EQ(dst.at(3, 2), 9.0f);
    EXPECT_TRUE(dst.guardsIntact());
}

TEST(CopySubpixIntersect, ChecksInOrder) {
    GuardedImage<uint16_t> src(6, 6), dst(3, 3);
    ImagePoint lo, hi;
    EXPECT_EQ(zaliCopySubpixIntersect_16u_C1R(src.data(), src.step(), ImageSize{0, 6}, dst.data(), dst.step(), dst.roi(), 1, 1, &lo, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliCopySubpixIntersect_16u_C1R(src.data(), 3, ImageSize{0, 6}, dst.data(), dst.step(), dst.roi(), 1, 1, &lo, &hi), StatusSizeError);
    EXPECT_EQ(zaliCopySubpixIntersect_16u_C1R(src.data(), 11, src.roi(), dst.data(), 7, dst.roi(), 1, 1, &lo, &hi), StatusStepError);
    EXPECT_EQ(zaliCopySubpixIntersect_16u_C1R(src.data(), 13, src.roi(), dst.data(), dst.step(), dst.roi(), 1, 1, &lo, &hi), StatusStepAlignmentError);
    EXPECT_EQ(zaliCopySubpix_16u32f_C1R(src.data(), src.step(), reinterpret_cast<float*>(dst.data()), 14, ImageSize{3, 3}, 0, 0), StatusStepAlignmentError);
    // Bottom-up (negative) steps are below the row length.
    GuardedImage<uint16_t> flipped(6, 6, 1, Layout::BottomUp);
    EXPECT_EQ(zaliCopySubpix_16u_C1R(flipped.data(), flipped.step(), dst.data(), dst.step(), dst.roi(), 0, 0), StatusStepError);
}


// A NaN or infinite offset or centre in either coordinate is refused with
// StatusBadArgument after the other checks; pMin and pMax keep their
// contents. Integer (Q14, Q15, scaled) and float members alike.
TEST(CopySubpix, NonFiniteOffsetsAndCentresAreRefused) {
    GuardedImage<uint8_t> s8(9, 7);
    GuardedImage<uint16_t> s16(9, 7);
    GuardedImage<float> s32(9, 7);
    GuardedImage<uint8_t> d8(4, 3);
    GuardedImage<uint16_t> d16(4, 3);
    GuardedImage<float> d32(4, 3);
    const float inf = INFINITY;
    for (float bad : {NAN, inf, -inf})
        for (auto [x, y] : {std::pair{bad, 0.5f}, {0.5f, bad}}) {
            ImagePoint lo{-7, -7}, hi{-7, -7};
            const StatusCode got[] = {
                zaliCopySubpix_8u_C1R(s8.data(), s8.step(), d8.data(), d8.step(), d8.roi(), x, y),
                zaliCopySubpix_8u16u_C1R_Sfs(s8.data(), s8.step(), d16.data(), d16.step(), d16.roi(), x, y, 0),
                zaliCopySubpix_16u_C1R(s16.data(), s16.step(), d16.data(), d16.step(), d16.roi(), x, y),
                zaliCopySubpix_8u32f_C1R(s8.data(), s8.step(), d32.data(), d32.step(), d32.roi(), x, y),
                zaliCopySubpix_32f_C1R(s32.data(), s32.step(), d32.data(), d32.step(), d32.roi(), x, y),
                zaliCopySubpixIntersect_8u_C1R(s8.data(), s8.step(), s8.roi(), d8.data(), d8.step(), d8.roi(), x, y, &lo, &hi),
                zaliCopySubpixIntersect_8u16u_C1R_Sfs(s8.data(), s8.step(), s8.roi(), d16.data(), d16.step(), d16.roi(), x, y, &lo, &hi, 0),
                zaliCopySubpixIntersect_16u_C1R(s16.data(), s16.step(), s16.roi(), d16.data(), d16.step(), d16.roi(), x, y, &lo, &hi),
                zaliCopySubpixIntersect_16u32f_C1R(s16.data(), s16.step(), s16.roi(), d32.data(), d32.step(), d32.roi(), x, y, &lo, &hi),
                zaliCopySubpixIntersect_32f_C1R(s32.data(), s32.step(), s32.roi(), d32.data(), d32.step(), d32.roi(), x, y, &lo, &hi),
            };
            for (StatusCode s : got) EXPECT_EQ(s, StatusBadArgument) << x << "," << y;
            EXPECT_TRUE(lo.x == -7 && lo.y == -7 && hi.x == -7 && hi.y == -7);
        }
    EXPECT_TRUE(d8.pixels() == std::vector<uint8_t>(12, 0) && d32.pixels() == std::vector<float>(12, 0.0f));
    // The earlier checks still come first.
    EXPECT_EQ(zaliCopySubpix_16u_C1R(s16.data(), 19, d16.data(), d16.step(), d16.roi(), NAN, 0), StatusStepAlignmentError);
}

}  // namespace
