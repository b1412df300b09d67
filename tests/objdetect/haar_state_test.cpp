// Haar classifier states: storage order, tags, window size, construction
// checks and tilting. The record layout is part of the contract, so the tests
// read it through the library's own state declarations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "objdetect/haar_state.h"
#include "zalcv.h"

using zal::objdetect::HaarClassifier;
using zal::objdetect::HaarRect;

namespace {

// Five classifiers with 1, 3, 2, 4 and 2 rectangles, stored as inputs
// 2, 4 (two rectangles), 1 (three), 0, 3 (the rest).
struct Input {
    std::vector<int> num{1, 3, 2, 4, 2};
    std::vector<ImageRect> rects;
    std::vector<float> weights, thr{0.5f, 1.5f, 2.5f, 3.5f, 4.5f}, val1{-1, -2, -3, -4, -5}, val2{1, 2, 3, 4, 5};
    static constexpr int kOrder[5] = {2, 4, 1, 0, 3};
    Input() {
        for (int k = 0; k < 5; ++k)
            for (int r = 0; r < num[k]; ++r) {
                rects.push_back(ImageRect{k + r + 2, 2 * k + r, 1 + r, 1 + k % 3});
                weights.push_back(static_cast<float>(10 * k + r));
            }
    }
    StatusCode build(HaarClassifierState_32f** st, bool tilted, const ImageRect* r = nullptr, int n = 5) const {
        auto fn = tilted ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f;
        return fn(st, r ? r : rects.data(), weights.data(), thr.data(), val1.data(), val2.data(), num.data(), n);
    }
};

TEST(HaarState, StorageOrderAndWindowSize) {
    const Input in;
    for (bool tilted : {false, true}) {
        HaarClassifierState_32f* st = nullptr;
        ASSERT_EQ(in.build(&st, tilted), StatusOk);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(st) % 32, 0u);
        for (int s = 0; s < 5; ++s) {
            const int k = tilted ? s : Input::kOrder[s];  // the tilted constructor keeps input order
            const HaarClassifier<float>& c = st->classifiers[s];
            EXPECT_TRUE(c.tag == k * 256 + tilted && c.rectCount == in.num[k] && c.threshold == in.thr[k] &&
                        c.val1 == in.val1[k] && c.val2 == in.val2[k] && c.rects[0].weight == 10.0f * k) << s;
        }
        ImageSize size{-1, -1};
        ASSERT_EQ(zaliGetHaarClassifierSize_32f(st, &size), StatusOk);
        int width = 0, height = 0;  // largest x + w; largest y + h (tilted: y + w + h)
        for (const ImageRect& q : in.rects)
            width = std::max(width, q.x + q.width), height = std::max(height, q.y + q.height + tilted * q.width);
        EXPECT_TRUE(size.width == width && size.height == height);
        EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
    }
}

TEST(HaarState, ConstructionChecks) {
    Input in;
    HaarClassifierState_32f* const sentinel = reinterpret_cast<HaarClassifierState_32f*>(&in);
    HaarClassifierState_32f* st = sentinel;
    EXPECT_EQ(in.build(&st, false, nullptr, -1), StatusSizeError);
    std::vector<ImageRect> bad = in.rects;
    bad[0].width = 0;
    in.num[3] = 0;  // a count below 1 is found before any rectangle is read
    EXPECT_EQ(in.build(&st, false, bad.data()), StatusSizeError);
    EXPECT_EQ(st, sentinel);
    in.num[3] = 4;
    // Bad rectangles clear the state pointer; tilted ones also need x + 1 >= height.
    for (ImageRect r : {ImageRect{-1, 0, 1, 1}, ImageRect{0, -1, 1, 1}, ImageRect{0, 0, 0, 1}, ImageRect{0, 0, 1, 0},
                        ImageRect{1, 0, 1, 3}}) {
        bad = in.rects;
        bad.back() = r;
        st = sentinel;
        EXPECT_EQ(in.build(&st, r.height == 3, bad.data()), StatusBadArgument);
        EXPECT_EQ(st, nullptr);
    }
    EXPECT_EQ(in.build(&st, false, bad.data()), StatusOk);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
    // Zero classifiers: an empty state with an empty window.
    ImageSize size{-1, -1};
    ASSERT_EQ(in.build(&st, false, nullptr, 0), StatusOk);
    EXPECT_TRUE(zaliGetHaarClassifierSize_32f(st, &size) == StatusOk && size.width == 0 && size.height == 0);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
}

// Which classifiers are tilted (by input index) is checked by the mixed
// application tests; here the status paths.
TEST(HaarState, Tilting) {
    const Input in;
    HaarClassifierState_32f* st = nullptr;
    ASSERT_EQ(in.build(&st, false), StatusOk);
    const uint8_t none[5] = {0, 0, 0, 0, 0}, pick[5] = {1, 0, 0, 0, 7};
    EXPECT_EQ(zaliTiltHaarFeatures_32f(nullptr, 1, st), StatusNullPointer);
    EXPECT_EQ(zaliTiltHaarFeatures_32f(none, 1, st), StatusOk);  // nothing selected: still tiltable
    EXPECT_EQ(st->tilted & 1, 0);
    ASSERT_EQ(zaliTiltHaarFeatures_32f(pick, 3, st), StatusOk);
    EXPECT_EQ(st->tilted & 1, 1);
    EXPECT_EQ(zaliTiltHaarFeatures_32f(pick, 3, st), StatusBadArgument);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
}

}  // namespace
