// Lens undistortion and undistortion maps against a per-pixel reference.
#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>
#include <vector>

#include "common/size_queries.h"
#include "common/test_image.h"

using zaltest::GuardedImage;

namespace {

struct Lens { float fx, fy, cx, cy, k1, k2; };

// Radial source position of (u, v); `perColumn` forms R from column and row
// terms as the buffered path does.
void radialPosition(const Lens& l, int u, int v, bool perColumn, float& xs, float& ys) {
    const float dx = u - l.cx, dy = v - l.cy;
    const float x2 = dx * dx * (1.0f / (l.fx * l.fx)), y2 = dy * dy * (1.0f / (l.fy * l.fy)), r2 = x2 + y2;
    const float r = perColumn ? x2 * (l.k1 + l.k2 * x2) + y2 * (l.k1 + l.k2 * y2) + x2 * (2.0f * l.k2 * y2)
                              : l.k1 * r2 + l.k2 * (r2 * r2);
    xs = u + dx * r;
    ys = v + dy * r;
}

template <class T, int C, class F>
void checkAgainstReference(F undistort, bool buffered) {
    const Lens l{20.0f, 18.0f, 11.3f, 8.1f, 0.25f, 0.1f};
    const int w = 23, h = 17;
    GuardedImage<T> src(w, h, C), dst(w, h, C);
    zaltest::Lcg rng(7);
    src.fill([&](int, int, int) { return std::is_same_v<T, float> ? rng.uniformf(-50, 50) : rng.uniform(0, sizeof(T) == 1 ? 255 : 65535); });
    dst.fill([](int, int, int) { return 3; });
    int size = 0;
    ASSERT_EQ(zaliUndistortGetSize(src.roi(), &size), StatusOk);
    std::vector<uint8_t> buffer(size + 1);  // +1: an unaligned start must work too
    ASSERT_EQ(undistort(src.data(), src.step(), dst.data(), dst.step(), src.roi(), l.fx, l.fy, l.cx, l.cy, l.k1, l.k2,
                        buffered ? buffer.data() + 1 : nullptr), StatusOk);
    int written = 0;
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            float xs, ys;
            radialPosition(l, u, v, buffered, xs, ys);
            const bool inside = xs >= 0 && ys >= 0 && xs < w - 1 && ys < h - 1;
            written += inside;
            const int x0 = static_cast<int>(xs), y0 = static_cast<int>(ys);
            const float a = xs - x0, b = ys - y0;
            for (int c = 0; c < C; ++c) {
                T expected = 3;  // outside: left as it was
                if (inside) {
                    const float value = (1 - a) * (1 - b) * src.at(x0, y0, c) + a * (1 - b) * src.at(x0 + 1, y0, c) +
                                        (1 - a) * b * src.at(x0, y0 + 1, c) + a * b * src.at(x0 + 1, y0 + 1, c);
                    expected = std::is_same_v<T, float> ? value : static_cast<T>(std::floor(value + 0.5f));
                }
                ASSERT_EQ(dst.at(u, v, c), expected) << u << "," << v << "," << c;
            }
        }
    EXPECT_TRUE(written > w * h / 2 && written < w * h);
    EXPECT_TRUE(dst.guardsIntact());
}

}  // namespace

TEST(UndistortRadial, MatchesReferenceForEveryTypeWithAndWithoutBuffer) {
    for (bool buffered : {false, true}) {
        checkAgainstReference<uint8_t, 1>(zaliUndistortRadial_8u_C1R, buffered);
        checkAgainstReference<uint8_t, 3>(zaliUndistortRadial_8u_C3R, buffered);
        checkAgainstReference<uint16_t, 1>(zaliUndistortRadial_16u_C1R, buffered);
        checkAgainstReference<uint16_t, 3>(zaliUndistortRadial_16u_C3R, buffered);
        checkAgainstReference<float, 1>(zaliUndistortRadial_32f_C1R, buffered);
        checkAgainstReference<float, 3>(zaliUndistortRadial_32f_C3R, buffered);
    }
}

TEST(UndistortRadial, WithoutDistortionCopiesAllButLastRowAndColumn) {
    for (ImageSize roi : {ImageSize{5, 4}, ImageSize{1, 6}, ImageSize{6, 1}}) {
        GuardedImage<uint8_t> src(roi.width, roi.height), dst(roi.width, roi.height);
        src.fill([](int x, int y, int) { return 10 * y + x + 1; });
        ASSERT_EQ(zaliUndistortRadial_8u_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 3, 4, 1.5f, 2.5f, 0, 0, nullptr), StatusOk);
        for (int y = 0; y < roi.height; ++y)
            for (int x = 0; x < roi.width; ++x)
                EXPECT_EQ(dst.at(x, y), x < roi.width - 1 && y < roi.height - 1 ? src.at(x, y) : 0);
    }
}

TEST(UndistortRadial, ChecksInOrderAndWritesNothingOnFailure) {
    GuardedImage<uint16_t> src(4, 3), dst(4, 3), up(4, 3, 1, zaltest::Layout::BottomUp);
    const ImageSize roi{4, 3}, empty{0, 3};
    auto run = [&](const uint16_t* s, int ss, int ds, ImageSize r, float fx, float fy) {
        return zaliUndistortRadial_16u_C1R(s, ss, dst.data(), ds, r, fx, fy, 1, 1, 0.1f, 0, nullptr);
    };
    EXPECT_EQ(run(nullptr, src.step(), dst.step(), empty, 0, 1), StatusNullPointer);
    EXPECT_EQ(run(src.data(), 0, dst.step(), empty, 1, 1), StatusSizeError);
    EXPECT_EQ(run(up.data(), up.step(), dst.step(), roi, 1, 1), StatusStepError);
    EXPECT_EQ(run(src.data(), src.step(), 9, roi, 0, 1), StatusStepAlignmentError);
    EXPECT_EQ(run(src.data(), src.step(), dst.step(), roi, 0, 1), StatusBadArgument);
    EXPECT_EQ(run(src.data(), src.step(), dst.step(), roi, 1, std::nanf("")), StatusBadArgument);
    EXPECT_EQ(dst.pixels(), std::vector<uint16_t>(12, 0));
    EXPECT_TRUE(dst.guardsIntact());

    int size = -1;
    EXPECT_EQ(zaliUndistortGetSize(empty, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliUndistortGetSize(empty, &size), StatusSizeError);
}

TEST(UndistortMap, RadialWithoutTangentialTermsAndFullModelOtherwise) {
    const Lens l{6.0f, 5.0f, 4.2f, 2.9f, -0.2f, 0.05f};
    const float p1 = 0.03f, p2 = -0.02f;
    GuardedImage<float> xr(9, 7), yr(9, 7), xf(9, 7), yf(9, 7);
    std::vector<uint8_t> buffer(24 * 12 + 32);
    for (uint8_t* buf : {static_cast<uint8_t*>(nullptr), buffer.data()}) {
        ASSERT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xr.data(), xr.step(), yr.data(), yr.step(), xr.roi(), l.fx, l.fy, l.cx, l.cy, l.k1, l.k2, 0, 0, buf), StatusOk);
        ASSERT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xf.data(), xf.step(), yf.data(), yf.step(), xf.roi(), l.fx, l.fy, l.cx, l.cy, l.k1, l.k2, p1, p2, buf), StatusOk);
        for (int v = 0; v < 7; ++v)
            for (int u = 0; u < 9; ++u) {
                float xs, ys;
                radialPosition(l, u, v, buf != nullptr, xs, ys);
                ASSERT_TRUE(xr.at(u, v) == xs && yr.at(u, v) == ys);
                // The textbook form: distort the normalised point, project back.
                const double x = (u - l.cx) / l.fx, y = (v - l.cy) / l.fy, r2 = x * x + y * y;
                const double radial = 1 + l.k1 * r2 + l.k2 * r2 * r2;
                EXPECT_NEAR(xf.at(u, v), l.cx + l.fx * (x * radial + 2 * p1 * x * y + p2 * (r2 + 2 * x * x)), 1e-4);
                EXPECT_NEAR(yf.at(u, v), l.cy + l.fy * (y * radial + p1 * (r2 + 2 * y * y) + 2 * p2 * x * y), 1e-4);
            }
    }
    EXPECT_TRUE(xf.guardsIntact() && yf.guardsIntact());
    EXPECT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xf.data(), xf.step(), yf.data(), 38, xf.roi(), 0, 1, 0, 0, 0, 0, 0, 0, nullptr), StatusStepAlignmentError);
    EXPECT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xf.data(), xf.step(), yf.data(), yf.step(), xf.roi(), 1, 0, 0, 0, 0, 0, 1, 0, nullptr), StatusBadArgument);
}

// The size query near the int limits (see common/size_queries.h): 24 bytes
// per column, columns rounded up to 4, plus 32 for alignment.
TEST(GeometrySizeQueries, ExactOrRefusedUpToIntLimits) {
    zaltest::checkSizeQueries({{"Undistort", [](int w, int h, int* b) { return zaliUndistortGetSize(ImageSize{w, h}, b); },
                                [](zaltest::Wide w, zaltest::Wide) { return 24 * zaltest::roundUpWide(w, 4) + 32; }, true}});
}
