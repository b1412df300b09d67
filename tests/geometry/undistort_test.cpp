// Lens undistortion and undistortion maps: the argument checks and the size
// query. The per-pixel comparisons of every type and of the maps run on
// every target (simd_kernels_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/size_queries.h"
#include "common/test_image.h"

using zaltest::GuardedImage;

TEST(UndistortRadial, ChecksInOrder) {
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
    GuardedImage<float> xm(4, 3), ym(4, 3);
    EXPECT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xm.data(), xm.step(), ym.data(), 18, roi, 0, 1, 0, 0, 0, 0, 0, 0, nullptr), StatusStepAlignmentError);
    EXPECT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xm.data(), xm.step(), ym.data(), ym.step(), roi, 1, 0, 0, 0, 0, 0, 1, 0, nullptr), StatusBadArgument);
    int size = -1;
    EXPECT_EQ(zaliUndistortGetSize(empty, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliUndistortGetSize(empty, &size), StatusSizeError);
}

// The size query near the int limits (see common/size_queries.h): 24 bytes
// per column, columns rounded up to 4, plus 32 for alignment.
TEST(GeometrySizeQueries, ExactOrRefusedUpToIntLimits) {
    zaltest::checkSizeQueries({{"Undistort", [](int w, int h, int* b) { return zaliUndistortGetSize(ImageSize{w, h}, b); },
                                [](zaltest::Wide w, zaltest::Wide) { return 24 * zaltest::roundUpWide(w, 4) + 32; }, true}});
}
