// Fast-marching distance map: hand-computed values, the outside band, the
// rows the upward sweep skips, and the argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/test_image.h"

namespace {

using zaltest::GuardedImage;
using Map = std::vector<std::vector<float>>;
using Mask = std::vector<std::vector<int>>;

Map march(const Mask& mask, float radius, StatusCode* status = nullptr) {
    const int h = static_cast<int>(mask.size()), w = static_cast<int>(mask[0].size());
    GuardedImage<uint8_t> src(w, h);
    src.fill([&](int x, int y, int) { return mask[y][x]; });
    GuardedImage<float> dst(w, h);
    dst.fill([](int, int, int) { return 12345.0f; });
    int size = 0;
    EXPECT_EQ(zaliFastMarchingGetBufferSize_8u32f_C1R(src.roi(), &size), StatusOk);
    EXPECT_EQ(size, h);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size) + 8, 0xEE);
    const StatusCode st =
        zaliFastMarching_8u32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), radius, buffer.data());
    if (status) *status = st;
    else EXPECT_EQ(st, StatusOk);
    EXPECT_TRUE(dst.guardsIntact());
    for (std::size_t i = static_cast<std::size_t>(size); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE);
    Map out(h, std::vector<float>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out[y][x] = dst.at(x, y);
    return out;
}

TEST(FastMarching, EmptyMaskIsZeroEverywhere) {
    const Mask zeros(4, std::vector<int>(6, 0));
    EXPECT_EQ(march(zeros, 0.0f), Map(4, std::vector<float>(6, 0.0f)));
    EXPECT_EQ(march(zeros, 3.0f), Map(4, std::vector<float>(6, 0.0f)));
}

TEST(FastMarching, IsolatedPixels) {
    const float halfRoot2 = (0.0f + 0.0f + std::sqrt(2.0f)) * 0.5f;
    Mask m(5, std::vector<int>(5, 0));
    m[2][2] = 1;
    EXPECT_EQ(march(m, 0.0f)[2][2], halfRoot2);
    m[2][2] = 0;
    m[0][3] = 1;
    EXPECT_EQ(march(m, 0.0f)[0][3], 1.0f);  // first row: one neighbour + 1
    m[0][3] = 0;
    m[0][0] = 1;
    EXPECT_EQ(march(m, 0.0f)[0][0], 1.0f);  // the 999999 start is lowered
    // With an inside pixel in the second row the first row is swept upward too.
    m[1][4] = 1;
    EXPECT_EQ(march(m, 0.0f)[0][0], halfRoot2);
}

TEST(FastMarching, OutsideBandAroundAnIsolatedPixel) {
    Mask m(7, std::vector<int>(7, 0));
    m[3][3] = 255;
    const Map t = march(m, 2.0f);
    EXPECT_EQ(t[3][3], (std::sqrt(2.0f)) * 0.5f);
    for (auto [x, y] : {std::pair{2, 3}, {4, 3}, {3, 2}, {3, 4}}) EXPECT_EQ(t[y][x], -1e-10f) << x << "," << y;
    EXPECT_EQ(t[3][5], -1e-10f - 1.0f);
    EXPECT_EQ(t[3][1], -1e-10f - 1.0f);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            if (x == 3 && y == 3) continue;
            EXPECT_LE(t[y][x], 0.0f);
            EXPECT_GE(t[y][x], -2.00001f);
        }
    // Three columns away is beyond a radius of 1.
    const Map narrow = march(m, 1.0f);
    EXPECT_EQ(narrow[3][5], -1e-10f - 1.0f);
    EXPECT_EQ(narrow[3][6], 0.0f);
    EXPECT_EQ(narrow[3][0], 0.0f);
}

TEST(FastMarching, SquareGrowsTowardsItsCentre) {
    Mask m(9, std::vector<int>(9, 0));
    for (int y = 1; y < 8; ++y)
        for (int x = 1; x < 8; ++x) m[y][x] = 1;
    const Map t = march(m, 0.0f);
    for (int x = 1; x < 4; ++x) {
        EXPECT_GT(t[4][x + 1], t[4][x] + 0.5f);
        EXPECT_LT(t[4][x + 1], t[4][x] + 1.01f);
        EXPECT_GT(t[x + 1][4], t[x][4] + 0.5f);
    }
    EXPECT_GT(t[4][4], 3.0f);
    EXPECT_LT(t[4][4], 4.01f);
    EXPECT_EQ(t[0][4], 0.0f);
}

TEST(FastMarching, ChecksInOrderWriteNothing) {
    GuardedImage<uint8_t> src(3, 2);
    GuardedImage<float> dst(3, 2);
    const auto before = dst.pixels();
    uint8_t flags[4];
    int size = 0;
    EXPECT_EQ(zaliFastMarchingGetBufferSize_8u32f_C1R({0, 0}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFastMarchingGetBufferSize_8u32f_C1R({3, 0}, &size), StatusSizeError);
    const ImageSize roi = src.roi();
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 0, dst.data(), 0, {0, 2}, -1.0f, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 0, dst.data(), 0, {3, 0}, -1.0f, flags), StatusSizeError);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 2, dst.data(), 14, roi, -1.0f, flags), StatusStepError);
    // A float row is 12 bytes here: 6 (twice the width) would overlap rows.
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 3, dst.data(), 6, roi, 1.0f, flags), StatusStepError);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 3, dst.data(), 14, roi, -1.0f, flags),
              StatusStepAlignmentError);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 3, dst.data(), dst.step(), roi, -1.0f, flags),
              StatusBadArgument);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 3, dst.data(), dst.step(), roi, std::nanf(""), flags),
              StatusBadArgument);
    GuardedImage<float> up(3, 2, 1, zaltest::Layout::BottomUp);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), 3, up.data(), up.step(), roi, 1.0f, flags), StatusStepError);
    EXPECT_EQ(dst.pixels(), before);
    EXPECT_TRUE(dst.guardsIntact() && up.guardsIntact());
}

}  // namespace
