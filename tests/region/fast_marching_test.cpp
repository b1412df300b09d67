// Fast-marching distance map: hand-computed values, the outside band, the
// rows the upward sweep skips, and the argument checks.

#include "region/region_test.h"

namespace {

using zaltest::GuardedImage;
using Map = std::vector<std::vector<float>>;

// Marches over a w x h zero mask with the listed pixels set to `value`.
Map march(int w, int h, std::vector<ImagePoint> inside, float radius, int value = 1) {
    GuardedImage<uint8_t> src(w, h);
    for (const ImagePoint p : inside) src.at(p.x, p.y) = static_cast<uint8_t>(value);
    GuardedImage<float> dst(w, h);
    dst.fill([](int, int, int) { return 12345.0f; });
    const int size = zaltest::queriedSize(zaliFastMarchingGetBufferSize_8u32f_C1R, src.roi());
    EXPECT_EQ(size, h);
    zaltest::GuardedBuffer buffer(size);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), radius, buffer.data()),
              StatusOk);
    EXPECT_TRUE(dst.guardsIntact() && buffer.guardIntact());
    Map out(h, std::vector<float>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out[y][x] = dst.at(x, y);
    return out;
}

TEST(FastMarching, HandComputedPixels) {
    const float halfRoot2 = std::sqrt(2.0f) * 0.5f;
    EXPECT_EQ(march(6, 4, {}, 0.0f), Map(4, std::vector<float>(6, 0.0f)));
    EXPECT_EQ(march(6, 4, {}, 3.0f), Map(4, std::vector<float>(6, 0.0f)));
    EXPECT_EQ(march(5, 5, {{2, 2}}, 0.0f)[2][2], halfRoot2);
    EXPECT_EQ(march(5, 5, {{3, 0}}, 0.0f)[0][3], 1.0f);  // first row: one neighbour + 1
    EXPECT_EQ(march(5, 5, {{0, 0}}, 0.0f)[0][0], 1.0f);  // the 999999 start is lowered
    // With an inside pixel in the second row the first row is swept upward too.
    EXPECT_EQ(march(5, 5, {{0, 0}, {4, 1}}, 0.0f)[0][0], halfRoot2);
}

TEST(FastMarching, OutsideBandAroundAnIsolatedPixel) {
    const Map t = march(7, 7, {{3, 3}}, 2.0f, 255);
    EXPECT_EQ(t[3][3], std::sqrt(2.0f) * 0.5f);
    for (auto [x, y] : {std::pair{2, 3}, {4, 3}, {3, 2}, {3, 4}}) EXPECT_EQ(t[y][x], -1e-10f) << x << "," << y;
    EXPECT_EQ(t[3][5], -1e-10f - 1.0f);
    EXPECT_EQ(t[3][1], -1e-10f - 1.0f);
    for (int i = 0; i < 49; ++i) EXPECT_TRUE(i == 24 || (t[i / 7][i % 7] <= 0.0f && t[i / 7][i % 7] >= -2.00001f)) << i;
    // Three columns away is beyond a radius of 1.
    const Map narrow = march(7, 7, {{3, 3}}, 1.0f, 255);
    EXPECT_EQ(narrow[3][5], -1e-10f - 1.0f);
    EXPECT_EQ(narrow[3][6], 0.0f);
    EXPECT_EQ(narrow[3][0], 0.0f);
}

TEST(FastMarching, SquareGrowsTowardsItsCentre) {
    std::vector<ImagePoint> square;
    for (int i = 0; i < 49; ++i) square.push_back({1 + i % 7, 1 + i / 7});
    const Map t = march(9, 9, square, 0.0f);
    for (int x = 1; x < 4; ++x) {
        EXPECT_TRUE(t[4][x + 1] > t[4][x] + 0.5f && t[4][x + 1] < t[4][x] + 1.01f) << x;
        EXPECT_GT(t[x + 1][4], t[x][4] + 0.5f);
    }
    EXPECT_TRUE(t[4][4] > 3.0f && t[4][4] < 4.01f);
    EXPECT_EQ(t[0][4], 0.0f);
}

TEST(FastMarching, ChecksInOrder) {
    GuardedImage<uint8_t> src(3, 2);
    GuardedImage<float> dst(3, 2), up(3, 2, 1, zaltest::Layout::BottomUp);
    uint8_t flags[4];
    uint8_t* s = src.data();
    float* d = dst.data();
    const int ds = dst.step();
    int size = 0;
    EXPECT_EQ(zaliFastMarchingGetBufferSize_8u32f_C1R({0, 0}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFastMarchingGetBufferSize_8u32f_C1R({3, 0}, &size), StatusSizeError);
    const ImageSize roi = src.roi();
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 0, d, 0, {0, 2}, -1.0f, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 0, d, 0, {3, 0}, -1.0f, flags), StatusSizeError);
    // A float row is 12 bytes here: 6 (twice the width) would overlap rows.
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 3, d, 6, roi, 1.0f, flags), StatusStepError);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 3, d, 14, roi, -1.0f, flags), StatusStepAlignmentError);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 3, d, ds, roi, -1.0f, flags), StatusBadArgument);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 3, d, ds, roi, std::nanf(""), flags), StatusBadArgument);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(s, 3, up.data(), up.step(), roi, 1.0f, flags), StatusStepError);
}

}  // namespace
