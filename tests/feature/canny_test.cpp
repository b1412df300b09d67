// Canny edge detector: a plain whole-image reference (all magnitudes first,
// suppression, then hysteresis repeated until nothing changes), the tie
// rules, the thresholds and the buffer query.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

template <class D>
std::vector<uint8_t> referenceCanny(const GuardedImage<D>& dx, const GuardedImage<D>& dy, float low, float high) {
    const int w = dx.width(), h = dx.height();
    const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
    const auto at = [&](int x, int y) { return static_cast<std::size_t>(y) * w + x; };
    std::vector<double> mag(at(0, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double m = float(std::fabs(double(dx.at(x, y))) + std::fabs(double(dy.at(x, y))));
            mag[at(x, y)] = m > low ? m : 0.0;
        }
    const auto M = [&](int x, int y) { return inside(x, y) ? mag[at(x, y)] : 0.0; };
    std::vector<uint8_t> cand(mag.size(), 0), out(mag.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double m = M(x, y);
            const float ax = std::fabs(float(dx.at(x, y))), ay = std::fabs(float(dy.at(x, y)));
            const bool same = std::signbit(float(dx.at(x, y))) == std::signbit(float(dy.at(x, y)));
            const bool vert = ay > float(ax * 2.414213562373095);
            const bool diag = !vert && ay >= float(ax * 0.41421356237309503);
            const int sx = vert ? 0 : !diag ? 1 : same ? 1 : -1, sy = vert || diag ? 1 : 0;
            const double b = M(x - sx, y - sy), f = M(x + sx, y + sy);
            cand[at(x, y)] = m > b && (m > f || (m == f && !diag));
            if (cand[at(x, y)] && float(m) > high) out[at(x, y)] = 255;
        }
    for (bool grew = true; grew;) {
        grew = false;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int j = -1; j <= 1 && cand[at(x, y)] && !out[at(x, y)]; ++j)
                    for (int k = -1; k <= 1; ++k)
                        if (inside(x + k, y + j) && out[at(x + k, y + j)]) out[at(x, y)] = 255, grew = true;
    }
    return out;
}

template <class D>
StatusCode runCanny(const GuardedImage<D>& dx, const GuardedImage<D>& dy, GuardedImage<uint8_t>& dst, float low,
                    float high) {
    int size = 0;
    EXPECT_EQ(zaliCannyGetSize(dst.roi(), &size), StatusOk);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size), 0xCD);
    if constexpr (std::is_same_v<D, int16_t>)
        return zaliCanny_16s8u_C1R(dx.data(), dx.step(), dy.data(), dy.step(), dst.data(), dst.step(), dst.roi(), low,
                                   high, buffer.data());
    else
        return zaliCanny_32f8u_C1R(dx.data(), dx.step(), dy.data(), dy.step(), dst.data(), dst.step(), dst.roi(), low,
                                   high, buffer.data());
}

template <class D>
class CannyTyped : public ::testing::Test {};
using DerivTypes = ::testing::Types<int16_t, float>;
TYPED_TEST_SUITE(CannyTyped, DerivTypes);

TYPED_TEST(CannyTyped, MatchesReferenceOnSmoothedNoise) {
    using D = TypeParam;
    zaltest::Lcg rng(11);
    const ImageSize sizes[] = {{1, 1}, {1, 9}, {9, 1}, {23, 17}, {40, 31}};
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
}

// Equal neighbours: the first of a horizontal or vertical pair survives,
// neither of a diagonal pair.
TYPED_TEST(CannyTyped, TieRules) {
    using D = TypeParam;
    const auto edgesOf = [](auto setPair) {
        GuardedImage<D> dx(6, 6), dy(6, 6);
        GuardedImage<uint8_t> dst(6, 6);
        setPair(dx, dy);
        EXPECT_EQ(runCanny(dx, dy, dst, 1, 5), StatusOk);
        return dst;
    };
    const GuardedImage<uint8_t> horiz = edgesOf([](auto& dx, auto&) { dx.at(2, 3) = 10, dx.at(3, 3) = 10; });
    EXPECT_EQ(horiz.at(2, 3), 255);
    EXPECT_EQ(horiz.at(3, 3), 0);
    const GuardedImage<uint8_t> vert = edgesOf([](auto&, auto& dy) { dy.at(2, 1) = -10, dy.at(2, 2) = -10; });
    EXPECT_EQ(vert.at(2, 1), 255);
    EXPECT_EQ(vert.at(2, 2), 0);
    const GuardedImage<uint8_t> diag = edgesOf([](auto& dx, auto& dy) {
        dx.at(2, 2) = dy.at(2, 2) = 10;
        dx.at(3, 3) = dy.at(3, 3) = 10;
    });
    EXPECT_EQ(diag.pixels(), std::vector<uint8_t>(36, 0));
    // Opposite signs: the anti-diagonal pair (3, 2) and (2, 3).
    const GuardedImage<uint8_t> anti = edgesOf([](auto& dx, auto& dy) {
        dx.at(3, 2) = 10, dy.at(3, 2) = -10;
        dx.at(2, 3) = 10, dy.at(2, 3) = -10;
    });
    EXPECT_EQ(anti.pixels(), std::vector<uint8_t>(36, 0));
}

TEST(Canny, SinglePixelAndChecks) {
    GuardedImage<float> dx(1, 1), dy(1, 1);
    dx.at(0, 0) = 7, dy.at(0, 0) = -3;
    GuardedImage<uint8_t> dst(1, 1);
    ASSERT_EQ(runCanny(dx, dy, dst, 2, 9), StatusOk);
    EXPECT_EQ(dst.at(0, 0), 255);

    int16_t d[8] = {5, 5, 5, 5, 5, 5, 5, 5};
    uint8_t e[4] = {9, 9, 9, 9}, buf[512];
    const ImageSize roi{2, 2};
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, {0, 0}, 1, 2, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, {2, 0}, -1, 2, buf), StatusSizeError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 3, d, 4, e, 2, roi, -1, 2, buf), StatusStepError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, -4, e, 2, roi, -1, 2, buf), StatusStepError);  // bottom-up
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 1, roi, -1, 2, buf), StatusStepError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 5, d, 4, e, 2, roi, -1, 2, buf), StatusStepAlignmentError);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, roi, -1, 2, buf), StatusBadArgument);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, roi, 3, 2, buf), StatusBadArgument);
    EXPECT_EQ(zaliCanny_16s8u_C1R(d, 4, d, 4, e, 2, roi, NAN, 2, buf), StatusBadArgument);
    for (uint8_t v : e) EXPECT_EQ(v, 9);
}

TEST(Canny, BufferSizeAndWideCoordinates) {
    int size = 0;
    EXPECT_EQ(zaliCannyGetSize({3, 4}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliCannyGetSize({0, 4}, &size), StatusSizeError);
    ASSERT_EQ(zaliCannyGetSize({3, 4}, &size), StatusOk);
    EXPECT_EQ(size, 5 * 6 * 5 + 16 * 3 + 160);
    ASSERT_EQ(zaliCannyGetSize({65532, 1}, &size), StatusOk);
    EXPECT_EQ(size, 5 * 3 * 65534 + 16 * 65532 + 160);
    ASSERT_EQ(zaliCannyGetSize({65533, 1}, &size), StatusOk);
    EXPECT_EQ(size, 9 * 3 * 65535 + 16 * 65533 + 160);
    ASSERT_EQ(zaliCannyGetSize({2, 65533}, &size), StatusOk);
    EXPECT_EQ(size, 9 * 65535 * 4 + 16 * 2 + 160);
    EXPECT_EQ(zaliCannyGetSize({21000, 21000}, &size), StatusSizeError);

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
