// Motion history update: the check order. The ageing rules (bit-pattern order
// of the integer variants, float order of the 32f one) are compared per pixel
// on every target in simd_kernels_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

TEST(MotionHistory, ChecksInOrderAndWritesNothingOnFailure) {
    GuardedImage<uint16_t> s(3, 2);
    GuardedImage<float> h(3, 2), up(3, 2, 1, zaltest::Layout::BottomUp);
    h.fill([](int, int, int) { return 1.0f; });
    const ImageSize roi{3, 2}, empty{3, 0};
    auto run = [&](int ss, float* q, int hs, ImageSize r, float d) { return zaliUpdateMotionHistory_16u32f_C1IR(s.data(), ss, q, hs, r, 5, d); };
    EXPECT_EQ(run(s.step(), nullptr, h.step(), empty, 1), StatusNullPointer);
    EXPECT_EQ(run(0, h.data(), h.step(), empty, 1), StatusSizeError);
    EXPECT_EQ(run(s.step(), up.data(), up.step(), roi, 1), StatusStepError);
    EXPECT_EQ(run(7, h.data(), h.step(), roi, -1), StatusStepAlignmentError);
    EXPECT_EQ(run(s.step(), h.data(), h.step(), roi, -1), StatusOutOfRange);
    EXPECT_EQ(run(s.step(), h.data(), h.step(), roi, std::nanf("")), StatusOutOfRange);
    EXPECT_EQ(h.pixels(), std::vector<float>(6, 1.0f));
    GuardedImage<uint8_t> s8(3, 2);  // 8u silhouettes have no alignment rule
    EXPECT_EQ(zaliUpdateMotionHistory_8u32f_C1IR(s8.data(), 5, h.data(), h.step(), roi, 5, 1), StatusOk);
}
