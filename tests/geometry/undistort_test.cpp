// Lens undistortion and undistortion maps: the distortion-free copy, the
// argument checks, the tangential model and the size query. The per-pixel
// comparisons of every type run on every target (simd_kernels_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>
#include <vector>

#include "common/size_queries.h"
#include "common/test_image.h"
#include "geometry/lens_reference.h"

using zaltest::GuardedImage;

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
    const zaltest::Lens l{6.0f, 5.0f, 4.2f, 2.9f, -0.2f, 0.05f};
    const float p1 = 0.03f, p2 = -0.02f;
    GuardedImage<float> xr(9, 7), yr(9, 7), xf(9, 7), yf(9, 7);
    std::vector<uint8_t> buffer(24 * 12 + 32);
    for (uint8_t* buf : {static_cast<uint8_t*>(nullptr), buffer.data()}) {
        ASSERT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xr.data(), xr.step(), yr.data(), yr.step(), xr.roi(), l.fx, l.fy, l.cx, l.cy, l.k1, l.k2, 0, 0, buf), StatusOk);
        ASSERT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xf.data(), xf.step(), yf.data(), yf.step(), xf.roi(), l.fx, l.fy, l.cx, l.cy, l.k1, l.k2, p1, p2, buf), StatusOk);
        for (int v = 0; v < 7; ++v)
            for (int u = 0; u < 9; ++u) {
                float xs, ys;
                zaltest::radialPosition(l, u, v, buf != nullptr, xs, ys);
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
