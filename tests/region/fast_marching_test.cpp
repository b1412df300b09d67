// Fast-marching distance map: hand-computed values, the outside band, and a
// plain two-sweep reference that visits every row (the operation skips rows
// by their flags and must give the same map).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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

// The sweeps as stated, with the row rule written out: downward, a row gets
// its right-to-left pass when it holds inside pixels; upward, a row is
// visited when it (below the first row) holds inside pixels or the row below
// does or changed in this sweep.
Map reference(const Mask& in, float radius) {
    const int h = static_cast<int>(in.size()), w = static_cast<int>(in[0].size());
    const bool band = radius > 0;
    const float limit = -(radius + 1e-5f);
    const float none = std::numeric_limits<float>::quiet_NaN();
    auto inside = [](float a, float b) {
        a = std::max(a, 0.0f);
        if (std::isnan(b)) return a + 1.0f;
        b = std::max(b, 0.0f);
        const float d = a - b;
        return std::fabs(d) < 1.0f ? (a + b + std::sqrt(2.0f - d * d)) * 0.5f : std::min(a, b) + 1.0f;
    };
    auto outside = [&](float a, float b) {
        if (std::isnan(b)) b = 0.0f;
        if (a > 0 || b > 0) return -1e-10f;
        float t = 0.0f;
        if (a != 0 && b != 0) {
            const float d = a - b;
            t = std::fabs(d) < 1.0f ? (a + b - std::sqrt(2.0f - d * d)) * 0.5f : std::max(a, b) - 1.0f;
        } else if (a != 0 || b != 0) {
            t = std::min(a, b) - 1.0f;
        }
        return t >= limit ? t : 0.0f;
    };
    Map t(h, std::vector<float>(w, 0.0f));
    // One pixel from vertical value a and horizontal value b (NaN: absent).
    auto update = [&](int x, int y, float a, float b, bool fresh) {
        float& v = t[y][x];
        if (in[y][x]) {
            const float u = inside(a, b);
            v = fresh ? u : std::min(v, u);
        } else if (band) {
            const float u = outside(a, b);
            if (fresh) v = u;
            else if (u != 0 && (v == 0 || u > v)) v = u;
        }
    };
    for (int x = 0; x < w; ++x) {
        if (x == 0) t[0][0] = in[0][0] ? 999999.0f : 0.0f;
        else update(x, 0, t[0][x - 1], none, true);
    }
    for (int x = w - 2; x >= 0; --x) update(x, 0, t[0][x + 1], none, false);
    std::vector<bool> active(h, false);
    for (int y = 1; y < h; ++y) {
        active[y] = std::any_of(in[y].begin(), in[y].end(), [](int v) { return v != 0; });
        for (int x = 0; x < w; ++x) update(x, y, t[y - 1][x], x > 0 ? t[y][x - 1] : none, true);
        if (!active[y]) continue;
        for (int x = w - 2; x >= 0; --x) update(x, y, t[y - 1][x], t[y][x + 1], false);
    }
    for (int y = h - 2; y >= 0; --y) {
        if (!active[y] && !active[y + 1]) continue;
        const auto before = t[y];
        for (int x = 0; x < w; ++x) update(x, y, t[y + 1][x], x > 0 ? t[y][x - 1] : none, false);
        for (int x = w - 1; x >= 0; --x) update(x, y, t[y + 1][x], x < w - 1 ? t[y][x + 1] : none, false);
        if (t[y] != before) active[y] = true;
    }
    return t;
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

TEST(FastMarching, MatchesPlainSweepsOnRandomMasks) {
    zaltest::Lcg rng(5);
    for (int trial = 0; trial < 40; ++trial) {
        const int w = rng.uniform(1, 17), h = rng.uniform(1, 13);
        const int density = rng.uniform(0, 3);  // from sparse specks to mostly inside
        Mask m(h, std::vector<int>(w));
        for (auto& row : m)
            for (auto& v : row) v = rng.uniform(0, 3) < density ? rng.uniform(1, 255) : 0;
        for (float radius : {0.0f, 0.5f, 2.0f, 3.5f, 100.0f}) {
            const Map got = march(m, radius), want = reference(m, radius);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(got[y][x], want[y][x]) << x << "," << y << " radius " << radius << " trial " << trial;
        }
    }
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
