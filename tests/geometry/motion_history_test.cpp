// Motion history update: ageing rules, the bit-pattern order of the integer
// variants, the float order of the 32f variant, and the checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

namespace {

uint32_t bits(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
float fromBits(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }

// Updates one row whose history is `history` and returns the bit patterns.
template <class S, class F>
std::vector<uint32_t> update(F fn, std::vector<S> silhouette, std::vector<float> history, float timestamp, float duration) {
    const int n = static_cast<int>(history.size());
    GuardedImage<S> s(n, 1);
    GuardedImage<float> h(n, 1);
    for (int x = 0; x < n; ++x) { s.at(x, 0) = silhouette[x]; h.at(x, 0) = history[x]; }
    EXPECT_EQ(fn(s.data(), s.step(), h.data(), h.step(), h.roi(), timestamp, duration), StatusOk);
    EXPECT_TRUE(h.guardsIntact());
    std::vector<uint32_t> out;
    for (float v : h.pixels()) out.push_back(bits(v));
    return out;
}

}  // namespace

TEST(MotionHistory, AgesStillPixelsAndStampsMovingOnes) {
    // T = 10 - 4 = 6: below is cleared, T itself and newer values are kept.
    const std::vector<float> history{-0.0f, 5.9f, 6.0f, 12.0f, fromBits(0x7fc00001), fromBits(0xffc00000), 1.0f};
    // Integer variants order by bit pattern: the NaN with a clear sign bit is kept.
    const std::vector<uint32_t> integerOrder{0, 0, bits(6.0f), bits(12.0f), 0x7fc00001, 0, bits(10.0f)};
    EXPECT_EQ(update<uint8_t>(zaliUpdateMotionHistory_8u32f_C1IR, {0, 0, 0, 0, 0, 0, 1}, history, 10, 4), integerOrder);
    EXPECT_EQ(update<uint16_t>(zaliUpdateMotionHistory_16u32f_C1IR, {0, 0, 0, 0, 0, 0, 256}, history, 10, 4), integerOrder);
    // The float comparison clears both NaNs; -0.0 and NaN silhouettes are still.
    const float nan = std::nanf("");
    EXPECT_EQ(update<float>(zaliUpdateMotionHistory_32f_C1IR, {-0.0f, nan, 0, 0, 0, 0, -2}, history, 10, 4),
              (std::vector<uint32_t>{0, 0, bits(6.0f), bits(12.0f), 0, 0, bits(10.0f)}));
    // Duration 0 with T = +0.0: -0.0 is older in the bit order, equal as a float.
    EXPECT_EQ(update<uint8_t>(zaliUpdateMotionHistory_8u32f_C1IR, {0}, {-0.0f}, 0, 0)[0], 0u);
    EXPECT_EQ(update<float>(zaliUpdateMotionHistory_32f_C1IR, {0}, {-0.0f}, 0, 0)[0], 0x80000000u);
}

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
    EXPECT_TRUE(h.guardsIntact());
    GuardedImage<uint8_t> s8(3, 2);  // 8u silhouettes have no alignment rule
    EXPECT_EQ(zaliUpdateMotionHistory_8u32f_C1IR(s8.data(), 5, h.data(), h.step(), roi, 5, 1), StatusOk);
}
