// Line iterator and line sampling.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

static bool operator==(const ImagePoint& p, const ImagePoint& q) { return p.x == q.x && p.y == q.y; }

namespace {

// Samples a 16u image whose pixels hold 100 * y + x and decodes the positions.
std::vector<ImagePoint> walk(ImagePoint a, ImagePoint b, ImageSize roi = {12, 9}) {
    GuardedImage<uint16_t> img(roi.width, roi.height);
    img.fill([](int x, int y, int) { return 100 * y + x; });
    std::vector<uint16_t> out(64, 0xBEEF);
    EXPECT_EQ(zaliSampleLine_16u_C1R(img.data(), img.step(), roi, out.data(), a, b), StatusOk);
    std::vector<ImagePoint> points;
    for (uint16_t v : out)
        if (v != 0xBEEF) points.push_back(ImagePoint{v % 100, v / 100});
    return points;
}

std::vector<ImagePoint> pts(std::initializer_list<std::pair<int, int>> list) {
    std::vector<ImagePoint> v;
    for (auto [x, y] : list) v.push_back(ImagePoint{x, y});
    return v;
}

}  // namespace

TEST(LineIterator, FieldsFollowTheMajorAxis) {
    uint8_t image[64];
    LineIterator it;
    // x-major: minor step is one row, the error starts at the major length.
    EXPECT_EQ(_zlcvInitLineIterator(image, 8, 2, 1, 1, 4, 2, &it), 4);
    EXPECT_EQ(it.current, image + 8 + 2);
    EXPECT_EQ(it.error, 3);
    EXPECT_EQ(it.errorRefill, 6);
    EXPECT_EQ(it.errorDecrement, 2);
    EXPECT_EQ(it.majorStep, 2);
    EXPECT_EQ(it.minorStep, 8);
    // Ties take y as the major axis; negative directions give negative steps.
    EXPECT_EQ(_zlcvInitLineIterator(image, 8, 2, 3, 3, 0, 0, &it), 4);
    EXPECT_EQ(it.majorStep, -8);
    EXPECT_EQ(it.minorStep, -2);
    EXPECT_EQ(_zlcvInitLineIterator(image, 8, 1, 0, 0, 0, 0, nullptr), -1);
}

TEST(SampleLine, VisitsTheDigitalLineFromFirstToLastPoint) {
    EXPECT_EQ(walk({0, 0}, {2, 1}), pts({{0, 0}, {1, 0}, {2, 1}}));  // halfway keeps the minor coordinate
    EXPECT_EQ(walk({5, 3}, {0, 3}), pts({{5, 3}, {4, 3}, {3, 3}, {2, 3}, {1, 3}, {0, 3}}));
    EXPECT_EQ(walk({4, 4}, {4, 4}), pts({{4, 4}}));
    EXPECT_EQ(walk({11, 0}, {8, 3}), pts({{11, 0}, {10, 1}, {9, 2}, {8, 3}}));
    EXPECT_EQ(walk({0, 8}, {11, 0}).back(), (ImagePoint{11, 0}));
    // Every line: max(|dx|, |dy|) + 1 points, 8-connected steps, exact ends.
    zaltest::Lcg rng(3);
    for (int i = 0; i < 200; ++i) {
        const ImagePoint a{rng.uniform(0, 11), rng.uniform(0, 8)}, b{rng.uniform(0, 11), rng.uniform(0, 8)};
        const auto p = walk(a, b);
        ASSERT_EQ(p.size(), static_cast<size_t>(std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) + 1));
        EXPECT_TRUE(p.front() == a && p.back() == b);
        for (size_t k = 1; k < p.size(); ++k)
            ASSERT_TRUE(std::abs(p[k].x - p[k - 1].x) <= 1 && std::abs(p[k].y - p[k - 1].y) <= 1);
    }
}

TEST(SampleLine, CopiesWholePixelsAndChecksInOrder) {
    GuardedImage<float> img(4, 3, 3);
    img.fill([](int x, int y, int c) { return 10 * y + x + 0.25f * c; });
    GuardedImage<float> out(3, 1, 3);
    EXPECT_EQ(zaliSampleLine_32f_C3R(img.data(), img.step(), img.roi(), out.data(), {3, 2}, {1, 0}), StatusOk);
    EXPECT_EQ(out.pixels(), (std::vector<float>{23, 23.25f, 23.5f, 12, 12.25f, 12.5f, 1, 1.25f, 1.5f}));
    EXPECT_TRUE(out.guardsIntact());

    GuardedImage<float> up(4, 3, 3, zaltest::Layout::BottomUp), none(1, 1, 3);
    auto run = [&](const float* s, int step, ImageSize roi, ImagePoint a, ImagePoint b) {
        return zaliSampleLine_32f_C3R(s, step, roi, none.data(), a, b);
    };
    const ImageSize roi{4, 3};
    EXPECT_EQ(run(nullptr, 0, {0, 0}, {0, 0}, {0, 0}), StatusNullPointer);
    EXPECT_EQ(run(img.data(), 0, {0, 3}, {9, 0}, {0, 0}), StatusSizeError);
    EXPECT_EQ(run(img.data(), 44, roi, {9, 0}, {0, 0}), StatusStepError);
    EXPECT_EQ(run(up.data(), up.step(), roi, {0, 0}, {0, 0}), StatusStepError);
    EXPECT_EQ(run(img.data(), 50, roi, {9, 0}, {0, 0}), StatusStepAlignmentError);
    EXPECT_EQ(run(img.data(), img.step(), roi, {0, 0}, {4, 2}), StatusOutOfRange);
    EXPECT_EQ(run(img.data(), img.step(), roi, {0, 3}, {0, 0}), StatusOutOfRange);
    EXPECT_EQ(run(img.data(), img.step(), roi, {-1, 0}, {0, 0}), StatusOutOfRange);
    EXPECT_EQ(none.pixels(), std::vector<float>(3, 0.0f));
    EXPECT_TRUE(none.guardsIntact());
    EXPECT_EQ(run(img.data(), img.step(), roi, {3, 2}, {3, 2}), StatusOk);
    EXPECT_EQ(none.pixels(), (std::vector<float>{23, 23.25f, 23.5f}));

    uint8_t gray[] = {1, 2, 3, 4, 5, 6}, got[2];
    EXPECT_EQ(zaliSampleLine_8u_C1R(gray, 3, {3, 2}, got, {2, 1}, {1, 0}), StatusOk);
    EXPECT_EQ(got[0], 6);
    EXPECT_EQ(got[1], 2);
}
