// Haar classifier states: storage order, tags, corner placement, window size
// and tilting. The record layout is part of the contract, so the tests read
// it through the library's own state declarations.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "objdetect/haar_state.h"
#include "zalcv.h"

using zal::objdetect::HaarClassifier;
using zal::objdetect::HaarCorner;
using zal::objdetect::HaarRect;

namespace {

bool operator==(HaarCorner a, HaarCorner b) { return a.col == b.col && a.row == b.row; }

// Five classifiers with 1, 3, 2, 4 and 2 rectangles; rectangle r of
// classifier k is {k + r, 2 k + r, 1 + r, 1 + k}.
struct Input {
    std::vector<int> num{1, 3, 2, 4, 2};
    std::vector<ImageRect> rects;
    std::vector<float> weights, thr{0.5f, 1.5f, 2.5f, 3.5f, 4.5f}, val1{-1, -2, -3, -4, -5}, val2{1, 2, 3, 4, 5};
    Input() {
        for (int k = 0; k < 5; ++k)
            for (int r = 0; r < num[k]; ++r) {
                rects.push_back(ImageRect{k + r + 2, 2 * k + r, 1 + r, 1 + k % 3});
                weights.push_back(static_cast<float>(10 * k + r));
            }
    }
    StatusCode build(HaarClassifierState_32f** st, bool tilted) const {
        auto fn = tilted ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f;
        return fn(st, rects.data(), weights.data(), thr.data(), val1.data(), val2.data(), num.data(), 5);
    }
    int firstRect(int k) const {
        int s = 0;
        for (int i = 0; i < k; ++i) s += num[i];
        return s;
    }
};

TEST(HaarState, UprightStorageOrderTagsAndCorners) {
    const Input in;
    HaarClassifierState_32f* st = nullptr;
    ASSERT_EQ(in.build(&st, false), StatusOk);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(st) % 32, 0u);
    EXPECT_EQ(st->classifierCount, 5);
    EXPECT_EQ(st->rectCount, 12);
    EXPECT_EQ(st->offsetCount, 12);
    EXPECT_EQ(st->tilted, 0);
    EXPECT_EQ(st->twoRectCount, 2);
    EXPECT_EQ(st->twoOrThreeCount, 3);
    const int order[5] = {2, 4, 1, 0, 3};  // two-rectangle, three-rectangle, the rest
    const HaarRect<float>* next = st->classifiers[0].rects;
    for (int s = 0; s < 5; ++s) {
        const int k = order[s];
        const HaarClassifier<float>& c = st->classifiers[s];
        EXPECT_EQ(c.tag, k * 256) << s;
        EXPECT_EQ(c.rectCount, in.num[k]);
        EXPECT_EQ(c.rects, next);  // records contiguous, in storage order
        EXPECT_EQ(c.threshold, in.thr[k]);
        EXPECT_EQ(c.val1, in.val1[k]);
        EXPECT_EQ(c.val2, in.val2[k]);
        for (int r = 0; r < c.rectCount; ++r) {
            const ImageRect q = in.rects[in.firstRect(k) + r];
            const HaarRect<float>& h = c.rects[r];
            EXPECT_TRUE(h.a == (HaarCorner{q.x + q.width, q.y + q.height}));
            EXPECT_TRUE(h.b == (HaarCorner{q.x, q.y + q.height}));
            EXPECT_TRUE(h.c == (HaarCorner{q.x + q.width, q.y}));
            EXPECT_TRUE(h.d == (HaarCorner{q.x, q.y}));
            EXPECT_EQ(h.weight, in.weights[in.firstRect(k) + r]);
        }
        next += c.rectCount;
    }
    ImageSize size{-1, -1};
    ASSERT_EQ(zaliGetHaarClassifierSize_32f(st, &size), StatusOk);
    int maxX = 0, maxY = 0;
    for (const ImageRect& q : in.rects) {
        maxX = std::max(maxX, q.x + q.width);
        maxY = std::max(maxY, q.y + q.height);
    }
    EXPECT_EQ(size.width, maxX);
    EXPECT_EQ(size.height, maxY);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
}

void expectTiltedCorners(const HaarRect<float>& h, const ImageRect& q) {
    const int x = q.x, y = q.y, w = q.width, hh = q.height;
    EXPECT_TRUE(h.a == (HaarCorner{x + w - hh, y + w + hh}));
    EXPECT_TRUE(h.b == (HaarCorner{x - hh, y + hh}));
    EXPECT_TRUE(h.c == (HaarCorner{x + w, y + w}));
    EXPECT_TRUE(h.d == (HaarCorner{x, y}));
}

TEST(HaarState, TiltedConstructorKeepsInputOrder) {
    const Input in;
    HaarClassifierState_32f* st = nullptr;
    ASSERT_EQ(in.build(&st, true), StatusOk);
    EXPECT_EQ(st->tilted & 1, 1);
    EXPECT_EQ(st->twoRectCount, 0);
    EXPECT_EQ(st->twoOrThreeCount, 0);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(st->classifiers[k].tag, k * 256 + 1);
        for (int r = 0; r < in.num[k]; ++r) expectTiltedCorners(st->classifiers[k].rects[r], in.rects[in.firstRect(k) + r]);
    }
    const uint8_t all[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(zaliTiltHaarFeatures_32f(all, 1, st), StatusBadArgument);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
}

TEST(HaarState, IntegerStateHeaderOrder) {
    const int num[3] = {3, 2, 1};
    const ImageRect rects[6] = {{0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}, {0, 1, 2, 2}, {1, 1, 3, 1}, {4, 4, 2, 3}};
    const int32_t w[6] = {1, 2, 3, 4, 5, 6}, t[3] = {7, 8, 9}, v1[3] = {-1, -2, -3}, v2[3] = {1, 2, 3};
    HaarClassifierState_32s* st = nullptr;
    ASSERT_EQ(zaliHaarClassifierInitAlloc_32s(&st, rects, w, t, v1, v2, num, 3), StatusOk);
    // Rectangle count, two-rectangle count, 2-or-3 count after the flag.
    const int32_t* words = reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(st) + 2 * sizeof(int32_t) +
                                                            sizeof(void*));
    EXPECT_EQ(words[0], 0);  // tilted flag
    EXPECT_EQ(words[1], 6);
    EXPECT_EQ(words[2], 1);
    EXPECT_EQ(words[3], 2);
    EXPECT_EQ(st->classifiers[0].tag, 256);
    EXPECT_EQ(st->classifiers[1].tag, 0);
    EXPECT_EQ(st->classifiers[2].tag, 512);
    EXPECT_EQ(st->classifiers[1].rects[2].weight, 3);
    ImageSize size{};
    ASSERT_EQ(zaliGetHaarClassifierSize_32s(st, &size), StatusOk);
    EXPECT_EQ(size.width, 6);
    EXPECT_EQ(size.height, 7);
    EXPECT_EQ(zaliHaarClassifierFree_32s(st), StatusOk);
}

TEST(HaarState, ConstructionChecks) {
    const Input in;
    HaarClassifierState_32f* st = reinterpret_cast<HaarClassifierState_32f*>(&st);
    HaarClassifierState_32f* const sentinel = st;
    const float* w = in.weights.data();
    EXPECT_EQ(zaliHaarClassifierInitAlloc_32f(&st, in.rects.data(), w, in.thr.data(), nullptr, in.val2.data(),
                                              in.num.data(), -1),
              StatusNullPointer);
    EXPECT_EQ(zaliHaarClassifierInitAlloc_32f(&st, in.rects.data(), w, in.thr.data(), in.val1.data(), in.val2.data(),
                                              in.num.data(), -1),
              StatusSizeError);
    std::vector<int> num = in.num;
    num[3] = 0;
    std::vector<ImageRect> bad = in.rects;
    bad[0].width = 0;
    EXPECT_EQ(zaliHaarClassifierInitAlloc_32f(&st, bad.data(), w, in.thr.data(), in.val1.data(), in.val2.data(),
                                              num.data(), 5),
              StatusSizeError);
    EXPECT_EQ(st, sentinel);
    // An invalid rectangle anywhere: -5 with a null state.
    for (ImageRect r : {ImageRect{-1, 0, 1, 1}, ImageRect{0, -1, 1, 1}, ImageRect{0, 0, 0, 1}, ImageRect{0, 0, 1, 0}}) {
        bad = in.rects;
        bad.back() = r;
        st = sentinel;
        EXPECT_EQ(zaliHaarClassifierInitAlloc_32f(&st, bad.data(), w, in.thr.data(), in.val1.data(), in.val2.data(),
                                                  in.num.data(), 5),
                  StatusBadArgument);
        EXPECT_EQ(st, nullptr);
    }
    // Tilted rectangles also need x + 1 >= height.
    bad = in.rects;
    bad[4] = ImageRect{1, 0, 1, 3};
    EXPECT_EQ(in.build(&st, false), StatusOk);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
    st = sentinel;
    EXPECT_EQ(zaliTiltedHaarClassifierInitAlloc_32f(&st, bad.data(), w, in.thr.data(), in.val1.data(), in.val2.data(),
                                                    in.num.data(), 5),
              StatusBadArgument);
    EXPECT_EQ(st, nullptr);
    bad[4] = ImageRect{2, 0, 1, 3};
    EXPECT_EQ(zaliTiltedHaarClassifierInitAlloc_32f(&st, bad.data(), w, in.thr.data(), in.val1.data(), in.val2.data(),
                                                    in.num.data(), 5),
              StatusOk);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
    // Zero classifiers: an empty state with an empty window.
    ASSERT_EQ(zaliHaarClassifierInitAlloc_32f(&st, in.rects.data(), w, in.thr.data(), in.val1.data(), in.val2.data(),
                                              in.num.data(), 0),
              StatusOk);
    ImageSize size{-1, -1};
    EXPECT_EQ(zaliGetHaarClassifierSize_32f(st, &size), StatusOk);
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
    EXPECT_EQ(zaliGetHaarClassifierSize_32f(st, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliGetHaarClassifierSize_32f(nullptr, &size), StatusNullPointer);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
    EXPECT_EQ(zaliHaarClassifierFree_32f(nullptr), StatusNullPointer);
    EXPECT_EQ(zaliHaarClassifierFree_32s(nullptr), StatusNullPointer);
}

TEST(HaarState, TiltingByInputIndex) {
    const Input in;
    HaarClassifierState_32f* st = nullptr;
    ASSERT_EQ(in.build(&st, false), StatusOk);
    const std::size_t bytes = sizeof(HaarClassifierState_32f) + 5 * sizeof(HaarClassifier<float>) +
                              12 * sizeof(HaarRect<float>);
    const std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(st), reinterpret_cast<uint8_t*>(st) + bytes);
    const uint8_t none[5] = {0, 0, 0, 0, 0};
    EXPECT_EQ(zaliTiltHaarFeatures_32f(none, 1, st), StatusOk);
    EXPECT_EQ(std::memcmp(before.data(), st, bytes), 0);
    EXPECT_EQ(zaliTiltHaarFeatures_32f(nullptr, 1, st), StatusNullPointer);
    EXPECT_EQ(zaliTiltHaarFeatures_32f(none, 1, nullptr), StatusNullPointer);

    // Input 0 (stored fourth) with the first placement, input 4 (stored second).
    const uint8_t pick[5] = {1, 0, 0, 0, 7};
    ASSERT_EQ(zaliTiltHaarFeatures_32f(pick, 3, st), StatusOk);
    EXPECT_EQ(st->tilted & 1, 1);
    const int order[5] = {2, 4, 1, 0, 3};
    for (int s = 0; s < 5; ++s) {
        const int k = order[s];
        const HaarClassifier<float>& c = st->classifiers[s];
        const bool tilted = k == 0 || k == 4;
        EXPECT_EQ(c.tag, tilted ? 1 : k * 256) << s;
        for (int r = 0; r < c.rectCount; ++r) {
            const ImageRect q = in.rects[in.firstRect(k) + r];
            if (tilted) expectTiltedCorners(c.rects[r], q);
            else EXPECT_TRUE(c.rects[r].d == (HaarCorner{q.x, q.y}));
        }
    }
    EXPECT_EQ(zaliTiltHaarFeatures_32f(pick, 3, st), StatusBadArgument);
    EXPECT_EQ(zaliHaarClassifierFree_32f(st), StatusOk);
}

TEST(HaarState, TiltModeZeroPlacement) {
    const int num[1] = {1};
    const ImageRect rect[1] = {{3, 5, 2, 4}};
    const int32_t w[1] = {1}, t[1] = {0}, v1[1] = {0}, v2[1] = {1};
    HaarClassifierState_32s* st = nullptr;
    ASSERT_EQ(zaliHaarClassifierInitAlloc_32s(&st, rect, w, t, v1, v2, num, 1), StatusOk);
    const uint8_t pick[1] = {1};
    ASSERT_EQ(zaliTiltHaarFeatures_32s(pick, 0, st), StatusOk);
    const HaarRect<int32_t>& h = st->classifiers[0].rects[0];
    EXPECT_TRUE(h.a == (HaarCorner{3, 9}));           // (x, y + h)
    EXPECT_TRUE(h.b == (HaarCorner{-1, 5}));          // (x - h, y)
    EXPECT_TRUE(h.c == (HaarCorner{5, 7}));           // (x + w, y + h - w)
    EXPECT_TRUE(h.d == (HaarCorner{1, 3}));           // (x + w - h, y - w)
    EXPECT_EQ(st->classifiers[0].tag, 1);
    EXPECT_EQ(zaliHaarClassifierFree_32s(st), StatusOk);
}

}  // namespace
