// Canny edge detector: a plain whole-image reference (all magnitudes first,
// suppression, then hysteresis repeated until nothing changes), the tie
// rules, the thresholds and the buffer query.
#include <gtest/gtest.h>

#include <cmath>

#include "common/simd_targets.h"
#include "common/test_image.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

template <class D>
std::vector<uint8_t> referenceCanny(const GuardedImage<D>& dx, const GuardedImage<D>& dy, float low, float high) {
    const int w = dx.width(), h = dx.height();
    const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
    std::vector<double> mag(static_cast<std::size_t>(w) * h);
    for (int p = 0; p < w * h; ++p) {
        const double m = float(std::fabs(double(dx.at(p % w, p / w))) + std::fabs(double(dy.at(p % w, p / w))));
        mag[p] = m > low ? m : 0.0;
    }
    const auto M = [&](int x, int y) { return inside(x, y) ? mag[static_cast<std::size_t>(y) * w + x] : 0.0; };
    std::vector<uint8_t> cand(mag.size(), 0), out(mag.size(), 0);
    for (int p = 0; p < w * h; ++p) {
        const int x = p % w, y = p / w;
        const float gx = float(dx.at(x, y)), gy = float(dy.at(x, y)), ax = std::fabs(gx), ay = std::fabs(gy);
        const bool vert = ay > float(ax * 2.414213562373095);
        const bool diag = !vert && ay >= float(ax * 0.41421356237309503);
        const int sx = vert ? 0 : !diag ? 1 : std::signbit(gx) == std::signbit(gy) ? 1 : -1, sy = vert || diag ? 1 : 0;
        const double b = M(x - sx, y - sy), f = M(x + sx, y + sy);
        cand[p] = mag[p] > b && (mag[p] > f || (mag[p] == f && !diag));
        if (cand[p] && float(mag[p]) > high) out[p] = 255;
    }
    // Hysteresis: grow from the strong pixels until nothing changes.
    for (bool grew = true; grew;) {
        grew = false;
        for (int p = 0; p < w * h; ++p)
            for (int j = -1; j <= 1 && cand[p] && !out[p]; ++j)
                for (int k = -1; k <= 1; ++k)
                    if (inside(p % w + k, p / w + j) && out[p + j * w + k]) out[p] = 255, grew = true;
    }
    return out;
}

template <class D>
StatusCode runCanny(const GuardedImage<D>& dx, const GuardedImage<D>& dy, GuardedImage<uint8_t>& dst, float low,
                    float high) {
    int size = 0;
    EXPECT_EQ(zaliCannyGetSize(dst.roi(), &size), StatusOk);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size), 0xCD);
    const auto fn = [] { if constexpr (std::is_same_v<D, int16_t>) return zaliCanny_16s8u_C1R; else return zaliCanny_32f8u_C1R; }();
    return fn(dx.data(), dx.step(), dy.data(), dy.step(), dst.data(), dst.step(), dst.roi(), low, high, buffer.data());
}

template <class D>
class CannyTyped : public ::testing::Test {};
using DerivTypes = ::testing::Types<int16_t, float>;
TYPED_TEST_SUITE(CannyTyped, DerivTypes);

TYPED_TEST(CannyTyped, MatchesReferenceOnSmoothedNoise) {
    using D = TypeParam;
    zaltest::forEachSimdTarget([] {
        zaltest::Lcg rng(11);
        const ImageSize sizes[] = {{1, 1}, {1, 9}, {9, 1}, {23, 17}, {40, 31}, {37, 6}};
        const float thresholds[][2] = {{0, 0}, {20, 60}, {35, 35}, {10.5f, 90}, {200, 400}};
        for (const ImageSize sz : sizes) {
            // A smooth random surface: its derivatives give long ridges, so both
            // suppression and hysteresis have real work.
            std::vector<int> surface(static_cast<std::size_t>(sz.width + 1) * (sz.height + 1));
            for (int& v : surface) v = rng.uniform(0, 60);
            GuardedImage<D> dx(sz.width, sz.height), dy(sz.width, sz.height);
            auto S = [&](int x, int y) { return surface[static_cast<std::size_t>(y) * (sz.width + 1) + x]; };
            dx.fill([&](int x, int y, int) { return S(x + 1, y) - S(x, y) + S(x + 1, y + 1) - S(x, y + 1) + (std::is_same_v<D, float> ? 0.25 : 0); });
            dy.fill([&](int x, int y, int) { return S(x, y + 1) - S(x, y) + S(x + 1, y + 1) - S(x + 1, y); });
            for (const auto& t : thresholds) {
                GuardedImage<uint8_t> dst(sz.width, sz.height);
                ASSERT_EQ(runCanny(dx, dy, dst, t[0], t[1]), StatusOk);
                EXPECT_EQ(dst.pixels(), referenceCanny(dx, dy, t[0], t[1]))
                    << sz.width << "x" << sz.height << " thresholds " << t[0] << "," << t[1];
                EXPECT_TRUE(dst.guardsIntact());
            }
        }
    });
}

// Equal neighbours: the first of a horizontal or vertical pair survives,
// neither of a diagonal or anti-diagonal pair. Each case sets two pixels
// {x, y, dx, dy}; `keep` is the one expected edge (-1: none).
TYPED_TEST(CannyTyped, TieRules) {
    struct Case { int px[2][4]; int keep; };
    const Case cases[] = {{{{2, 3, 10, 0}, {3, 3, 10, 0}}, 0},
                          {{{2, 1, 0, -10}, {2, 2, 0, -10}}, 0},
                          {{{2, 2, 10, 10}, {3, 3, 10, 10}}, -1},
                          {{{3, 2, 10, -10}, {2, 3, 10, -10}}, -1}};
    for (const Case& c : cases) {
        GuardedImage<TypeParam> dx(6, 6), dy(6, 6);
        GuardedImage<uint8_t> dst(6, 6);
        std::vector<uint8_t> expected(36, 0);
        for (const auto& q : c.px) dx.at(q[0], q[1]) = q[2], dy.at(q[0], q[1]) = q[3];
        if (c.keep >= 0) expected[c.px[c.keep][1] * 6 + c.px[c.keep][0]] = 255;
        ASSERT_EQ(runCanny(dx, dy, dst, 1, 5), StatusOk);
        EXPECT_EQ(dst.pixels(), expected) << c.px[0][0] << "," << c.px[0][1];
    }
}

TEST(Canny, ChecksInOrder) {
    int16_t d[8] = {5, 5, 5, 5, 5, 5, 5, 5};
    uint8_t e[4], buf[512];
    const ImageSize roi{2, 2};
    // The size before the thresholds; the thresholds after every step test.
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, {2, 0}, -1, 2, buf), StatusSizeError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 3, d, 4, e, 2, roi, -1, 2, buf), StatusStepError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, -4, e, 2, roi, -1, 2, buf), StatusStepError);  // bottom-up
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 5, d, 4, e, 2, roi, -1, 2, buf), StatusStepAlignmentError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, roi, 3, 2, buf), StatusBadArgument);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, roi, NAN, 2, buf), StatusBadArgument);
}

TEST(Canny, WideCoordinates) {
    // A row 65533 wide stacks 32-bit coordinates. Vertical gradients along
    // the row have no neighbours above or below, so the whole run survives
    // and is reached from its one strong pixel.
    const int w = 65533;
    GuardedImage<int16_t> dx(w, 1, 1, Layout::TopDown, 3, 0), dy(w, 1, 1, Layout::TopDown, 3, 0);
    for (int x = 65500; x < w; ++x) dy.at(x, 0) = static_cast<int16_t>(x % 2 ? 200 : 150);
    dy.at(65530, 0) = 400;
    GuardedImage<uint8_t> dst(w, 1, 1, Layout::TopDown, 3, 0);
    ASSERT_EQ(runCanny(dx, dy, dst, 100, 300), StatusOk);
    for (int x = 65490; x < w; ++x) EXPECT_EQ(dst.at(x, 0), x >= 65500 ? 255 : 0) << x;
    EXPECT_TRUE(dst.guardsIntact());
}

}  // namespace
