// Inpainting: hand-computed fills (constant and linear images, the fill
// order along one row), range and stability properties on random holes, and
// the argument checks of both calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/test_image.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

using InitFn = StatusCode (*)(InpaintState**, const float*, int, const uint8_t*, int, ImageSize, float, int);
using RunFn = StatusCode (*)(const uint8_t*, int, uint8_t*, int, ImageSize, InpaintState*);

struct Member {
    int channels;
    InitFn init;
    RunFn run;
    StatusCode (*release)(InpaintState*);
};
const Member kC1{1, zaliInpaintInitAlloc_8u_C1R, zaliInpaint_8u_C1R, zaliInpaintFree_8u_C1R};
const Member kC3{3, zaliInpaintInitAlloc_8u_C3R, zaliInpaint_8u_C3R, zaliInpaintFree_8u_C3R};

// A damaged image: pixels, mask and distance map, row-major.
struct Scene {
    int w, h, c;
    std::vector<int> pixels;  // w * h * c
    std::vector<int> mask;    // w * h
    std::vector<float> dist;  // w * h
};

// Runs InitAlloc + Inpaint (twice, to check that a state serves repeated
// calls) and returns the destination pixels.
std::vector<int> inpaint(const Member& m, const Scene& s, float radius, int method) {
    GuardedImage<uint8_t> src(s.w, s.h, s.c), dst(s.w, s.h, s.c), mask(s.w, s.h);
    GuardedImage<float> dist(s.w, s.h);
    src.fill([&](int x, int y, int c) { return s.pixels[(y * s.w + x) * s.c + c]; });
    mask.fill([&](int x, int y, int) { return s.mask[y * s.w + x]; });
    dist.fill([&](int x, int y, int) { return s.dist[y * s.w + x]; });
    InpaintState* state = nullptr;
    EXPECT_EQ(m.init(&state, dist.data(), dist.step(), mask.data(), mask.step(), src.roi(), radius, method), StatusOk);
    EXPECT_NE(state, nullptr);
    std::vector<int> out;
    for (int pass = 0; pass < 2; ++pass) {
        dst.fill([](int, int, int) { return 77; });
        EXPECT_EQ(m.run(src.data(), src.step(), dst.data(), dst.step(), src.roi(), state), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        const auto px = dst.pixels();
        const std::vector<int> now(px.begin(), px.end());
        if (pass == 1) {
            EXPECT_EQ(now, out) << "second call differs";
        }
        out = now;
    }
    EXPECT_EQ(m.release(state), StatusOk);
    return out;
}

// Distance map from the library's fast marching (radius 0).
std::vector<float> marchedDistance(const std::vector<int>& mask, int w, int h) {
    std::vector<uint8_t> m(mask.begin(), mask.end());
    std::vector<float> t(static_cast<std::size_t>(w) * h);
    std::vector<uint8_t> flags(static_cast<std::size_t>(h));
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(m.data(), w, t.data(), w * 4, {w, h}, 0.0f, flags.data()), StatusOk);
    return t;
}

TEST(Inpaint, OneRowFillsInDistanceOrderAndReusesFilledPixels) {
    // Damaged pixels 1..3 between 100 and 200, radius 1: each pixel sees only
    // its row neighbours, and a pixel filled earlier is a known neighbour.
    Scene s{5, 1, 1, {100, 0, 0, 0, 200}, {0, 1, 1, 1, 0}, {}};
    struct Order {
        std::vector<float> dist;
        std::vector<int> expected;
    };
    const Order orders[] = {
        {{0, 1, 2, 1, 0}, {100, 100, 150, 200, 200}},  // both ends first, then the middle
        {{0, 3, 2, 1, 0}, {100, 167, 200, 200, 200}},  // right to left; 1 : 2 weights by T gap
        {{0, 1, 1, 1, 0}, {100, 100, 100, 133, 200}},  // equal T: by index, left to right
    };
    for (const auto& o : orders) {
        s.dist = o.dist;
        for (int method : {0, 1}) EXPECT_EQ(inpaint(kC1, s, 1.0f, method), o.expected) << "method " << method;
    }
}

TEST(Inpaint, LinearImageWithAnIsolatedHoleIsRestoredExactly) {
    // I = 10x + 3y (per channel offsets for C3); the hole's four neighbours
    // are weighted symmetrically, so the fill is the exact value 36.
    for (const Member* m : {&kC1, &kC3}) {
        Scene s{7, 5, m->channels, {}, std::vector<int>(35, 0), std::vector<float>(35, 0.0f)};
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                for (int c = 0; c < m->channels; ++c) s.pixels.push_back(10 * x + 3 * y + 50 * c);
        s.mask[2 * 7 + 3] = 255;
        s.dist[2 * 7 + 3] = std::sqrt(2.0f) * 0.5f;
        const std::vector<int> before = s.pixels;
        s.pixels[(2 * 7 + 3) * m->channels] = 0;  // damaged content
        for (int method : {0, 1}) EXPECT_EQ(inpaint(*m, s, 1.0f, method), before) << "method " << method;
    }
}

TEST(Inpaint, ConstantImageStaysConstant) {
    const int w = 16, h = 11;
    std::vector<int> mask(w * h, 0);
    for (int y = 3; y < 8; ++y)
        for (int x = 4; x < 12; ++x) mask[y * w + x] = (x + y) % 5 ? 1 : 0;
    const auto dist = marchedDistance(mask, w, h);
    for (const Member* m : {&kC1, &kC3}) {
        std::vector<int> pixels;
        for (int i = 0; i < w * h; ++i)
            for (int c = 0; c < m->channels; ++c) pixels.push_back(mask[i] ? 3 : 90 + 40 * c);
        Scene s{w, h, m->channels, pixels, mask, dist};
        std::vector<int> expected;
        for (int i = 0; i < w * h; ++i)
            for (int c = 0; c < m->channels; ++c) expected.push_back(90 + 40 * c);
        for (int method : {0, 1})
            for (float radius : {1.0f, 2.5f, 5.0f}) EXPECT_EQ(inpaint(*m, s, radius, method), expected);
    }
}

TEST(Inpaint, RandomHolesStayWithinTheKnownRange) {
    zaltest::Lcg rng(3);
    for (int trial = 0; trial < 12; ++trial) {
        const Member& m = trial % 2 ? kC3 : kC1;
        const int w = rng.uniform(2, 19), h = rng.uniform(1, 14);
        std::vector<int> mask(w * h);
        for (auto& v : mask) v = rng.uniform(0, 2) == 0 ? rng.uniform(1, 255) : 0;
        const int known = rng.uniform(0, w * h - 1);
        mask[known] = 0;  // at least one known pixel
        if (w * h > 1) mask[(known + 1) % (w * h)] = 1;  // and one damaged
        Scene s{w, h, m.channels, {}, mask, marchedDistance(mask, w, h)};
        for (int i = 0; i < w * h * m.channels; ++i) s.pixels.push_back(rng.uniform(0, 255));
        for (int method : {0, 1}) {
            const float radius = rng.uniformf(1.0f, 4.0f);
            const auto out = inpaint(m, s, radius, method);
            for (int c = 0; c < m.channels; ++c) {
                int lo = 255, hi = 0;
                for (int i = 0; i < w * h; ++i)
                    if (!mask[i]) lo = std::min(lo, s.pixels[i * m.channels + c]), hi = std::max(hi, s.pixels[i * m.channels + c]);
                const int slack = method == 0 ? 2 : 0;  // method 0 adds a correction below sqrt(2)
                for (int i = 0; i < w * h; ++i) {
                    const int v = out[i * m.channels + c];
                    if (!mask[i]) {
                        ASSERT_EQ(v, s.pixels[i * m.channels + c]);
                    } else if (s.dist[i] > 0.0f) {
                        ASSERT_GE(v, lo - slack) << "trial " << trial;
                        ASSERT_LE(v, hi + slack) << "trial " << trial;
                    }
                }
            }
        }
    }
}

TEST(Inpaint, NothingKnownKeepsTheFirstPixelAndSpreadsIt) {
    // Every pixel damaged: the first one in T order (the corner, 999999) has
    // no known neighbour and keeps its value; as a filled pixel it then
    // serves all the others.
    Scene s{3, 3, 1, {9, 8, 7, 6, 5, 4, 3, 2, 1}, std::vector<int>(9, 1), {}};
    s.dist = marchedDistance(s.mask, 3, 3);
    for (int method : {0, 1}) EXPECT_EQ(inpaint(kC1, s, 2.0f, method), std::vector<int>(9, 9));
}

TEST(Inpaint, InitAllocChecksInOrder) {
    GuardedImage<uint8_t> mask(4, 3);
    GuardedImage<float> dist(4, 3);
    mask.at(1, 1) = 1;
    dist.at(1, 1) = 1.0f;
    InpaintState* state = reinterpret_cast<InpaintState*>(&mask);  // sentinel: must stay untouched on errors
    InpaintState* const sentinel = state;
    const ImageSize roi = mask.roi();
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), 0, nullptr, 0, {0, 0}, 0.0f, 9), StatusNullPointer);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C3R(nullptr, dist.data(), 16, mask.data(), 4, roi, 1.0f, 0), StatusNullPointer);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), 0, mask.data(), 0, {4, 0}, 0.0f, 9), StatusSizeError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), 16, mask.data(), 3, roi, 0.0f, 9), StatusStepError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), 12, mask.data(), 4, roi, 0.0f, 9), StatusStepError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), 18, mask.data(), 4, roi, 0.0f, 9),
              StatusStepAlignmentError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), dist.step(), mask.data(), mask.step(), roi, 2.0f, 2),
              StatusBadArgument);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), dist.step(), mask.data(), mask.step(), roi, 0.5f, 0),
              StatusBadArgument);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C3R(&state, dist.data(), dist.step(), mask.data(), mask.step(), roi,
                                          std::nanf(""), 1),
              StatusBadArgument);
    EXPECT_EQ(state, sentinel);
    // No damaged pixel: success without a state.
    mask.at(1, 1) = 0;
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, dist.data(), dist.step(), mask.data(), mask.step(), roi, 2.0f, 0),
              StatusOk);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(zaliInpaintFree_8u_C1R(nullptr), StatusNullPointer);
    EXPECT_EQ(zaliInpaintFree_8u_C3R(nullptr), StatusNullPointer);
}

TEST(Inpaint, InpaintChecksInOrderWriteNothing) {
    GuardedImage<uint8_t> mask(4, 3), src(4, 3, 3), dst(4, 3, 3);
    GuardedImage<float> dist(4, 3);
    mask.at(2, 1) = 1;
    dist.at(2, 1) = 0.7f;
    InpaintState* state = nullptr;
    ASSERT_EQ(zaliInpaintInitAlloc_8u_C3R(&state, dist.data(), dist.step(), mask.data(), mask.step(), mask.roi(), 1.5f,
                                          1),
              StatusOk);
    dst.fill([](int, int, int) { return 5; });
    const auto before = dst.pixels();
    EXPECT_EQ(zaliInpaint_8u_C3R(nullptr, 0, dst.data(), 0, {0, 0}, state), StatusNullPointer);
    EXPECT_EQ(zaliInpaint_8u_C3R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), nullptr), StatusNullPointer);
    EXPECT_EQ(zaliInpaint_8u_C3R(src.data(), 0, dst.data(), 0, {0, 3}, state), StatusSizeError);
    EXPECT_EQ(zaliInpaint_8u_C3R(src.data(), src.step(), dst.data(), dst.step(), {4, 2}, state), StatusSizeError);
    EXPECT_EQ(zaliInpaint_8u_C3R(src.data(), src.step(), dst.data(), dst.step(), {3, 3}, state), StatusSizeError);
    EXPECT_EQ(zaliInpaint_8u_C3R(src.data(), 11, dst.data(), dst.step(), src.roi(), state), StatusStepError);
    GuardedImage<uint8_t> up(4, 3, 3, Layout::BottomUp);
    EXPECT_EQ(zaliInpaint_8u_C3R(src.data(), src.step(), up.data(), up.step(), src.roi(), state), StatusStepError);
    // A three-channel state does not serve the one-channel call.
    EXPECT_EQ(zaliInpaint_8u_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), state), StatusBadArgument);
    EXPECT_EQ(dst.pixels(), before);
    EXPECT_TRUE(dst.guardsIntact() && up.guardsIntact());
    EXPECT_EQ(zaliInpaintFree_8u_C3R(state), StatusOk);
}

}  // namespace
