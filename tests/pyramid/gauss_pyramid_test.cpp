// Gaussian 5x5 pyramid levels against a direct 2-D reference: the (1 4 6 4 1)
// kernel on the (zero-interleaved, for PyrUp) signal with a bouncing
// reflection at the borders.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/simd_targets.h"
#include "common/size_queries.h"
#include "common/test_image.h"
#include "bounce.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

const int kTaps[5] = {1, 4, 6, 4, 1};

template <class T>
using DownFn = StatusCode (*)(const T*, int, T*, int, ImageSize, uint8_t*);

template <class T>
std::vector<uint8_t> buffer(bool up, int width, int channels) {
    int bytes = 0;
    const int type = sizeof(T) == 4 ? 9 : 1;
    EXPECT_EQ((up ? zaliPyrUpGetBufSize_Gauss5x5 : zaliPyrDownGetBufSize_Gauss5x5)(width, type, channels, &bytes), StatusOk);
    return std::vector<uint8_t>(static_cast<std::size_t>(bytes), 0xCD);
}

// Integer PyrDown reference: sum over the 5x5 neighbourhood, then the low
// byte of (v + 128) >> 8.
template <class T>
T downRef(const GuardedImage<T>& s, int i, int j, int c) {
    long long v = 0;
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b)
            v += kTaps[a] * kTaps[b] *
                 static_cast<long long>(s.at(bounce(2 * i + b - 2, s.width()), bounce(2 * j + a - 2, s.height()), c));
    if constexpr (std::is_same_v<T, float>) return static_cast<float>(v) / 256.0f;
    else return static_cast<T>(static_cast<uint8_t>((v + 128) >> 8));
}

template <class T>
T upRef(const GuardedImage<T>& s, int x, int y, int c) {
    const int W2 = 2 * s.width(), H2 = 2 * s.height();
    long long v = 0;
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b) {
            const int ux = bounce(x + b - 2, W2), uy = bounce(y + a - 2, H2);
            if (ux % 2 || uy % 2) continue;
            v += kTaps[a] * kTaps[b] * static_cast<long long>(s.at(ux / 2, uy / 2, c));
        }
    if constexpr (std::is_same_v<T, float>) return static_cast<float>(v) / 64.0f;
    else return static_cast<T>(static_cast<uint8_t>((v + 32) >> 6));
}

template <class T>
void sweep(bool up, DownFn<T> fn, int channels, int lo, int hi) {
    // Small sizes take the edge paths; the wide ones run full vectors of
    // every target and every tail length's block.
    const int sizes[][2] = {{1, 1}, {1, 6}, {7, 1}, {2, 5}, {5, 2}, {3, 3}, {4, 4}, {9, 7}, {33, 4}, {67, 3}, {70, 5}, {131, 3}, {132, 4}};
    zaltest::Lcg rng(7);
    for (const auto& sz : sizes) {
        for (int pad : {0, 5}) {
            const int W = sz[0], H = sz[1];
            GuardedImage<T> src(W, H, channels, Layout::TopDown, pad);
            // Float data are integers so the reference is exact.
            src.fill([&](int, int, int) { return rng.uniform(lo, hi); });
            const int dw = up ? 2 * W : (W + 1) / 2, dh = up ? 2 * H : (H + 1) / 2;
            GuardedImage<T> dst(dw, dh, channels);
            auto buf = buffer<T>(up, W, channels);
            ASSERT_EQ(fn(src.data(), src.step(), dst.data(), dst.step(), src.roi(), buf.data()), StatusOk);
            ASSERT_TRUE(dst.guardsIntact());
            for (int y = 0; y < dh; ++y)
                for (int x = 0; x < dw; ++x)
                    for (int c = 0; c < channels; ++c) {
                        const T want = up ? upRef(src, x, y, c) : downRef(src, x, y, c);
                        ASSERT_EQ(dst.at(x, y, c), want) << W << "x" << H << " at " << x << "," << y << "," << c;
                    }
        }
    }
}

TEST(PyrGauss, DownAndUpMatchReferenceForEveryTypeSizeAndTarget) {
    zaltest::forEachSimdTarget([] {
    for (bool up : {false, true}) {
        sweep<uint8_t>(up, up ? zaliPyrUp_Gauss5x5_8u_C1R : zaliPyrDown_Gauss5x5_8u_C1R, 1, 0, 255);
        sweep<uint8_t>(up, up ? zaliPyrUp_Gauss5x5_8u_C3R : zaliPyrDown_Gauss5x5_8u_C3R, 3, 0, 255);
        sweep<int8_t>(up, up ? zaliPyrUp_Gauss5x5_8s_C1R : zaliPyrDown_Gauss5x5_8s_C1R, 1, -128, 127);
        sweep<int8_t>(up, up ? zaliPyrUp_Gauss5x5_8s_C3R : zaliPyrDown_Gauss5x5_8s_C3R, 3, -128, 127);
        sweep<float>(up, up ? zaliPyrUp_Gauss5x5_32f_C1R : zaliPyrDown_Gauss5x5_32f_C1R, 1, -300, 300);
        sweep<float>(up, up ? zaliPyrUp_Gauss5x5_32f_C3R : zaliPyrDown_Gauss5x5_32f_C3R, 3, -300, 300);
    }
    });
}

// Fractional floats on every target, wide enough for full vectors: down sums
// 6 s0 + 4 (s-1 + s1) + s-2 + s2 across and then down the same way, times
// 1/256; up sums (s-1 + 6 s0) + s1 and 4 (s0 + s1) in both directions, times
// 1/64. Interior pixels only (the borders reflect).
TEST(PyrGauss, FloatOperationOrderOnFractionalData) {
    zaltest::forEachSimdTarget([] {
        for (int W : {5, 70}) {
            GuardedImage<float> src(W, 5);
            zaltest::Lcg rng(3);
            src.fill([&](int, int, int) { return rng.uniformf(-1.0f, 1.0f); });
            GuardedImage<float> down((W + 1) / 2, 3), up(2 * W, 10);
            auto bufDown = buffer<float>(false, W, 1), bufUp = buffer<float>(true, W, 1);
            ASSERT_EQ(zaliPyrDown_Gauss5x5_32f_C1R(src.data(), src.step(), down.data(), down.step(), src.roi(), bufDown.data()), StatusOk);
            ASSERT_EQ(zaliPyrUp_Gauss5x5_32f_C1R(src.data(), src.step(), up.data(), up.step(), src.roi(), bufUp.data()), StatusOk);
            for (int i = 1; 2 * i + 2 < W; ++i) {
                auto h = [&](int r) { return 6.0f * src.at(2 * i, r) + 4.0f * (src.at(2 * i - 1, r) + src.at(2 * i + 1, r)) + src.at(2 * i - 2, r) + src.at(2 * i + 2, r); };
                ASSERT_EQ(down.at(i, 1), (6.0f * h(2) + 4.0f * (h(1) + h(3)) + h(0) + h(4)) * (1.0f / 256.0f)) << W << " " << i;
            }
            for (int x = 1; x + 1 < W; ++x) {
                auto e = [&](int r) { return src.at(x - 1, r) + 6.0f * src.at(x, r) + src.at(x + 1, r); };
                auto o = [&](int r) { return 4.0f * (src.at(x, r) + src.at(x + 1, r)); };
                ASSERT_EQ(up.at(2 * x, 4), (e(1) + 6.0f * e(2) + e(3)) * (1.0f / 64.0f)) << W << " " << x;
                ASSERT_EQ(up.at(2 * x + 1, 5), 4.0f * (o(2) + o(3)) * (1.0f / 64.0f)) << W << " " << x;
            }
        }
    });
}

TEST(PyrGauss, ChecksInOrder) {
    GuardedImage<float> src(4, 4), dst(8, 8);
    auto buf = buffer<float>(true, 4, 1);
    // Null before size, size before step, step before alignment.
    EXPECT_EQ(zaliPyrUp_Gauss5x5_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), ImageSize{0, 4}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliPyrUp_Gauss5x5_32f_C1R(src.data(), 3, dst.data(), dst.step(), ImageSize{0, 4}, buf.data()), StatusSizeError);
    EXPECT_EQ(zaliPyrUp_Gauss5x5_32f_C1R(src.data(), 18, dst.data(), 31, src.roi(), buf.data()), StatusStepError);
    EXPECT_EQ(zaliPyrUp_Gauss5x5_32f_C1R(src.data(), 18, dst.data(), dst.step(), src.roi(), buf.data()), StatusStepAlignmentError);
    // PyrDown: the destination needs only ceil(W/2) pixels per row.
    EXPECT_EQ(zaliPyrDown_Gauss5x5_8u_C3R(reinterpret_cast<const uint8_t*>(src.data()), 15, reinterpret_cast<uint8_t*>(dst.data()), 8, ImageSize{5, 2}, buf.data()), StatusStepError);
    // An up destination row of 2W pixels beyond any int step (2W does not
    // fit an int either).
    const ImageSize wide{(1 << 30) + 1, 1};
    EXPECT_EQ(zaliPyrUp_Gauss5x5_8u_C1R(reinterpret_cast<const uint8_t*>(src.data()), wide.width, reinterpret_cast<uint8_t*>(dst.data()), INT32_MAX, wide, buf.data()), StatusStepError);
    // A bottom-up (negative) step is below the row length.
    GuardedImage<float> flipped(4, 4, 1, Layout::BottomUp);
    EXPECT_EQ(zaliPyrUp_Gauss5x5_32f_C1R(flipped.data(), flipped.step(), dst.data(), dst.step(), src.roi(), buf.data()), StatusStepError);
    // The size queries (their counts are walked below).
    int size = 77;
    EXPECT_EQ(zaliPyrDownGetBufSize_Gauss5x5(5, 1, 1, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliPyrDownGetBufSize_Gauss5x5(0, 7, 2, &size), StatusSizeError);
    EXPECT_EQ(zaliPyrDownGetBufSize_Gauss5x5(4, 7, 2, &size), StatusChannelCountError);
    EXPECT_EQ(zaliPyrUpGetBufSize_Gauss5x5(4, 3, 1, &size), StatusDataTypeError);
}

// The scratch-size queries near the int limits (see common/size_queries.h
// for what every query must satisfy).
TEST(PyramidSizeQueries, ExactOrRefusedUpToIntLimits) {
    // The documented counts for a source of w pixels (h is not a parameter):
    // pad16(4 w c) * 6 + 32 down, pad16(8 w c) * 3 + 32 up.
    std::vector<zaltest::SizeQuery> table;
    for (int type : {DataType8u, DataType8s, DataType32f})
        for (int c : {1, 3}) {
            const std::string suffix = " type " + std::to_string(type) + " C" + std::to_string(c);
            table.push_back({"PyrDown" + suffix,
                             [type, c](int w, int, int* b) { return zaliPyrDownGetBufSize_Gauss5x5(w, type, c, b); },
                             [c](zaltest::Wide w, zaltest::Wide) { return zaltest::roundUpWide(4 * w * c, 16) * 6 + 32; }, true});
            table.push_back({"PyrUp" + suffix,
                             [type, c](int w, int, int* b) { return zaliPyrUpGetBufSize_Gauss5x5(w, type, c, b); },
                             [c](zaltest::Wide w, zaltest::Wide) { return zaltest::roundUpWide(8 * w * c, 16) * 3 + 32; }, true});
        }
    zaltest::checkSizeQueries(table);
}

}  // namespace
