// Motion history update: ageing rules, the bit-pattern order of the integer
// variants, the float order of the 32f variant, and the checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

namespace {

uint32_t bits(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
float fromBits(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }

// History values around T = 10 - 4 = 6 (and a silhouette value per pixel).
const float kHistory[] = {0.0f, -0.0f, 5.9f, 6.0f, 6.5f, 12.0f, -3.0f, fromBits(0x7fc00001), fromBits(0xffc00000)};

template <class S>
std::vector<float> update(const std::vector<S>& silhouette, float timestamp, float duration) {
    const int n = static_cast<int>(silhouette.size());
    GuardedImage<S> s(n, 1);
    GuardedImage<float> h(n, 1);
    for (int x = 0; x < n; ++x) { s.at(x, 0) = silhouette[x]; h.at(x, 0) = kHistory[x]; }
    StatusCode st;
    if constexpr (std::is_same_v<S, uint8_t>) st = zaliUpdateMotionHistory_8u32f_C1IR(s.data(), s.step(), h.data(), h.step(), h.roi(), timestamp, duration);
    else if constexpr (std::is_same_v<S, uint16_t>) st = zaliUpdateMotionHistory_16u32f_C1IR(s.data(), s.step(), h.data(), h.step(), h.roi(), timestamp, duration);
    else st = zaliUpdateMotionHistory_32f_C1IR(s.data(), s.step(), h.data(), h.step(), h.roi(), timestamp, duration);
    EXPECT_EQ(st, StatusOk);
    EXPECT_TRUE(h.guardsIntact());
    return h.pixels();
}

}  // namespace

TEST(MotionHistory, AgesStillPixelsAndStampsMovingOnes) {
    const float nanBitsKept = fromBits(0x7fc00001);
    // Integer variants: -0.0 sorts below T only when T is +0.0; the NaN with a
    // clear sign bit sorts above every number and is kept.
    for (auto h : {update(std::vector<uint8_t>(9, 0), 10, 4), update(std::vector<uint16_t>(9, 0), 10, 4)}) {
        const float expected[] = {0, 0, 0, 6.0f, 6.5f, 12.0f, 0, nanBitsKept, 0};
        for (int i = 0; i < 9; ++i) EXPECT_EQ(bits(h[i]), bits(expected[i])) << i;
    }
    // The float comparison clears both NaNs.
    auto h = update(std::vector<float>(9, 0.0f), 10, 4);
    const float expected[] = {0, 0, 0, 6.0f, 6.5f, 12.0f, 0, 0, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(bits(h[i]), bits(expected[i])) << i;

    // -0.0 against T = +0.0: older in the bit order, equal as floats.
    EXPECT_EQ(bits(update(std::vector<uint8_t>(2, 0), 0, 0)[1]), 0u);
    EXPECT_EQ(bits(update(std::vector<float>(2, 0.0f), 0, 0)[1]), 0x80000000u);

    // Moving pixels take the time stamp; -0.0 and NaN silhouettes are still.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    h = update(std::vector<float>{1, -2, -0.0f, nan, 0, 0, 0, 0, 0}, 10, 4);
    EXPECT_EQ(h[0], 10.0f);
    EXPECT_EQ(h[1], 10.0f);
    EXPECT_EQ(h[2], 0.0f);  // below T = 6
    EXPECT_EQ(h[3], 6.0f);  // exactly T: kept
    EXPECT_EQ(update(std::vector<uint16_t>{0, 0, 0, 0, 0, 0, 1, 0, 256}, 10, 4)[8], 10.0f);
}

TEST(MotionHistory, ChecksInOrderAndWritesNothingOnFailure) {
    GuardedImage<uint16_t> s(3, 2);
    GuardedImage<float> h(3, 2), up(3, 2, 1, zaltest::Layout::BottomUp);
    h.fill([](int, int, int) { return 1.0f; });
    const ImageSize roi{3, 2}, empty{3, 0};
    auto run = [&](const uint16_t* p, int ss, float* q, int hs, ImageSize r, float d) {
        return zaliUpdateMotionHistory_16u32f_C1IR(p, ss, q, hs, r, 5, d);
    };
    EXPECT_EQ(run(s.data(), s.step(), nullptr, h.step(), empty, 1), StatusNullPointer);
    EXPECT_EQ(run(s.data(), 0, h.data(), h.step(), empty, 1), StatusSizeError);
    EXPECT_EQ(run(s.data(), s.step(), h.data(), 10, roi, -1), StatusStepError);
    EXPECT_EQ(run(s.data(), s.step(), up.data(), up.step(), roi, 1), StatusStepError);
    EXPECT_EQ(run(s.data(), 7, h.data(), h.step(), roi, -1), StatusStepAlignmentError);
    EXPECT_EQ(run(s.data(), s.step(), h.data(), 14, roi, -1), StatusStepAlignmentError);
    EXPECT_EQ(run(s.data(), s.step(), h.data(), h.step(), roi, -1), StatusOutOfRange);
    EXPECT_EQ(run(s.data(), s.step(), h.data(), h.step(), roi, std::nanf("")), StatusOutOfRange);
    EXPECT_EQ(h.pixels(), std::vector<float>(6, 1.0f));
    EXPECT_TRUE(h.guardsIntact());
    // 8u silhouettes have no alignment rule.
    GuardedImage<uint8_t> s8(3, 2);
    EXPECT_EQ(zaliUpdateMotionHistory_8u32f_C1IR(s8.data(), 5, h.data(), h.step(), roi, 5, 1), StatusOk);
}
