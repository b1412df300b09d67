// Layout of the Haar classifier states. One aligned block holds the header,
// the classifier records (in storage order) and the rectangle records (the
// rectangles of one classifier contiguous, classifiers in storage order).
#pragma once

#include <cstdint>

#include "zalcv.h"

namespace zal::objdetect {

// Corner of a rectangle record: table column and row relative to the window
// origin.
struct HaarCorner {
    int32_t col;
    int32_t row;
};

// Rectangle sum V(a) - V(b) - V(c) + V(d), scaled by weight.
template <class T>
struct HaarRect {
    HaarCorner a, b, c, d;
    T weight;
};

template <class T>
struct HaarClassifier {
    int32_t rectCount;     // at least 1
    HaarRect<T>* rects;    // first rectangle record of this classifier
    T threshold;
    T val1;                // voted when the feature is below threshold * norm
    T val2;                // voted otherwise
    int32_t tag;           // input index * 256, + 1 when the classifier reads the tilted table
};

constexpr int32_t kTiltedTag = 1;
constexpr int kTagIndexShift = 8;

}  // namespace zal::objdetect

// Header of the floating-point state.
struct HaarClassifierState_32f {
    int32_t classifierCount;
    int32_t rectCount;
    zal::objdetect::HaarClassifier<float>* classifiers;
    int32_t tilted;        // bit 0: the state holds tilted features
    int32_t twoRectCount;  // classifiers with exactly 2 rectangles, stored first
    int32_t twoOrThreeCount;  // classifiers with 2 or 3 rectangles, stored first
    int32_t offsetCount;   // rectangles again: sizes the per-call corner offsets
};

// Header of the integer state: the same fields, the last three in another order.
struct HaarClassifierState_32s {
    int32_t classifierCount;
    int32_t rectCount;
    zal::objdetect::HaarClassifier<int32_t>* classifiers;
    int32_t tilted;
    int32_t offsetCount;
    int32_t twoRectCount;
    int32_t twoOrThreeCount;
};

namespace zal::objdetect {

// Element type of a state's weights, thresholds and votes.
template <class State>
struct HaarTraits;
template <>
struct HaarTraits<HaarClassifierState_32f> {
    using Value = float;
};
template <>
struct HaarTraits<HaarClassifierState_32s> {
    using Value = int32_t;
};

}  // namespace zal::objdetect
