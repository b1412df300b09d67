// Line iterator and line sampling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

namespace {

// Samples a 16u image whose pixels hold 100 * y + x; returns the decoded
// positions as 100 * y + x.
std::vector<int> walk(ImagePoint a, ImagePoint b) {
    GuardedImage<uint16_t> img(12, 9);
    img.fill([](int x, int y, int) { return 100 * y + x; });
    std::vector<uint16_t> out(64, 0xBEEF);
    EXPECT_EQ(zaliSampleLine_16u_C1R(img.data(), img.step(), img.roi(), out.data(), a, b), StatusOk);
    return std::vector<int>(out.begin(), std::find(out.begin(), out.end(), 0xBEEF));
}

}  // namespace

TEST(LineIterator, FieldsFollowTheMajorAxis) {
    uint8_t image[64];
    LineIterator it;
    EXPECT_EQ(_zlcvInitLineIterator(image, 8, 2, 1, 1, 4, 2, &it), 4);  // x-major
    EXPECT_EQ(it.current, image + 8 + 2);
    EXPECT_TRUE(it.error == 3 && it.errorRefill == 6 && it.errorDecrement == 2 && it.majorStep == 2 && it.minorStep == 8);
    EXPECT_EQ(_zlcvInitLineIterator(image, 8, 2, 3, 3, 0, 0, &it), 4);  // a tie is y-major; steps point backwards
    EXPECT_TRUE(it.majorStep == -8 && it.minorStep == -2);
    EXPECT_EQ(_zlcvInitLineIterator(image, 8, 1, 0, 0, 0, 0, nullptr), -1);
}

TEST(SampleLine, VisitsTheDigitalLineFromFirstToLastPoint) {
    EXPECT_EQ(walk({0, 0}, {2, 1}), (std::vector<int>{0, 1, 102}));  // halfway keeps the minor coordinate
    EXPECT_EQ(walk({5, 3}, {0, 3}), (std::vector<int>{305, 304, 303, 302, 301, 300}));
    EXPECT_EQ(walk({4, 4}, {4, 4}), (std::vector<int>{404}));
    EXPECT_EQ(walk({11, 0}, {8, 3}), (std::vector<int>{11, 110, 209, 308}));
    // Every line: max(|dx|, |dy|) + 1 points, 8-connected steps, exact ends.
    zaltest::Lcg rng(3);
    for (int i = 0; i < 200; ++i) {
        const ImagePoint a{rng.uniform(0, 11), rng.uniform(0, 8)}, b{rng.uniform(0, 11), rng.uniform(0, 8)};
        const auto p = walk(a, b);
        ASSERT_EQ(p.size(), static_cast<size_t>(std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) + 1));
        EXPECT_TRUE(p.front() == 100 * a.y + a.x && p.back() == 100 * b.y + b.x);
        for (size_t k = 1; k < p.size(); ++k)
            ASSERT_TRUE(std::abs(p[k] % 100 - p[k - 1] % 100) <= 1 && std::abs(p[k] / 100 - p[k - 1] / 100) <= 1);
    }
}

TEST(SampleLine, CopiesWholePixelsAndChecksInOrder) {
    GuardedImage<float> img(4, 3, 3), up(4, 3, 3, zaltest::Layout::BottomUp), out(3, 1, 3);
    img.fill([](int x, int y, int c) { return 10 * y + x + 0.25f * c; });
    auto run = [&](const float* s, int step, ImageSize roi, ImagePoint a, ImagePoint b) {
        return zaliSampleLine_32f_C3R(s, step, roi, out.data(), a, b);
    };
    const ImageSize roi{4, 3};
    EXPECT_EQ(run(nullptr, 0, {0, 0}, {0, 0}, {0, 0}), StatusNullPointer);
    EXPECT_EQ(run(img.data(), 0, {0, 3}, {9, 0}, {0, 0}), StatusSizeError);
    EXPECT_EQ(run(up.data(), up.step(), roi, {0, 0}, {0, 0}), StatusStepError);
    EXPECT_EQ(run(img.data(), 50, roi, {9, 0}, {0, 0}), StatusStepAlignmentError);
    EXPECT_EQ(run(img.data(), img.step(), roi, {0, 0}, {4, 2}), StatusOutOfRange);
    EXPECT_EQ(run(img.data(), img.step(), roi, {-1, 0}, {0, 0}), StatusOutOfRange);
    EXPECT_EQ(out.pixels(), std::vector<float>(9, 0.0f));
    // End points on the last row and column are inside.
    EXPECT_EQ(run(img.data(), img.step(), roi, {3, 2}, {1, 0}), StatusOk);
    EXPECT_EQ(out.pixels(), (std::vector<float>{23, 23.25f, 23.5f, 12, 12.25f, 12.5f, 1, 1.25f, 1.5f}));
    EXPECT_TRUE(out.guardsIntact());
}
