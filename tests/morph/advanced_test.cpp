// Opening, closing, top-hat, black-hat and gradient against compositions of
// a brute-force flat dilation/erosion with replicated border.
#include <gtest/gtest.h>

#include "morph_reference.h"

using zaltest::GuardedImage;

namespace {

template <class T>
std::vector<T> minus(std::vector<T> a, const std::vector<T>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = a[i] > b[i] ? T(a[i] - b[i]) : T(0);
    return a;
}

template <class T>
using OpFn = StatusCode (*)(const T*, int, T*, int, ImageSize, int, MorphAdvState*);

template <class T>
struct AdvMembers {
    int channels = 0;
    StatusCode (*initAlloc)(MorphAdvState**, ImageSize, const uint8_t*, ImageSize, ImagePoint) = nullptr;
    StatusCode (*init)(MorphAdvState*, ImageSize, const uint8_t*, ImageSize, ImagePoint) = nullptr;
    StatusCode (*getSize)(ImageSize, const uint8_t*, ImageSize, int*) = nullptr;
    OpFn<T> Open = nullptr, Close = nullptr, Tophat = nullptr, Blackhat = nullptr, Gradient = nullptr;
};

// One member set per channel count, from the export table.
template <class T>
std::vector<AdvMembers<T>> membersOf() {
    std::vector<AdvMembers<T>> all;
#define MEMBER(field, name, U, C) \
    if constexpr (std::is_same_v<T, U>) morphref::slot(all, C).field = name;
#define SIZE(name, U, C) MEMBER(getSize, name, U, C)
#define INIT(name, U, C) MEMBER(init, name, U, C)
#define INIT_ALLOC(name, U, C) MEMBER(initAlloc, name, U, C)
#define OPERATION(name, U, C, op) MEMBER(op, name, U, C)
    ZAL_MORPH_ADV_SIZE(SIZE)
    ZAL_MORPH_ADV_INIT(INIT)
    ZAL_MORPH_ADV_INIT_ALLOC(INIT_ALLOC)
    ZAL_MORPH_ADVANCED(OPERATION)
#undef MEMBER
#undef SIZE
#undef INIT
#undef INIT_ALLOC
#undef OPERATION
    return all;
}
const std::vector<AdvMembers<uint8_t>> k8u = membersOf<uint8_t>();
const std::vector<AdvMembers<float>> k32f = membersOf<float>();

template <class T>
void checkAll(const AdvMembers<T>& m, const std::vector<uint8_t>& mask, ImageSize ms, ImagePoint a, ImageSize stateRoi,
              ImageSize roi, bool callerMemory, unsigned seed) {
    MorphAdvState* state = nullptr;
    std::vector<uint8_t> block;
    if (callerMemory) {
        int size = 0;
        ASSERT_EQ(m.getSize(stateRoi, mask.data(), ms, &size), StatusOk);
        state = morphref::placeState<MorphAdvState>(block, size);
        ASSERT_EQ(m.init(state, stateRoi, mask.data(), ms, a), StatusOk);
    } else {
        ASSERT_EQ(m.initAlloc(&state, stateRoi, mask.data(), ms, a), StatusOk);
    }
    GuardedImage<T> src(roi.width, roi.height, m.channels);
    morphref::fillRandom(src, seed);
    // Opening erodes with the mask, then dilates with the mask reflected about
    // its anchor; closing the other way round.
    const auto flat = [&](const std::vector<T>& img, const std::vector<uint8_t>& k, ImagePoint at, bool dilate) {
        return morphref::flat(img, roi.width, roi.height, m.channels, k, ms, at, dilate);
    };
    const ImagePoint ra{ms.width - 1 - a.x, ms.height - 1 - a.y};
    const std::vector<uint8_t> reflected(mask.rbegin(), mask.rend());
    const std::vector<T> p = src.pixels(), eroded = flat(p, mask, a, false), dilated = flat(p, mask, a, true);
    const std::vector<T> opened = flat(eroded, reflected, ra, true), closed = flat(dilated, reflected, ra, false);
    const std::pair<OpFn<T>, std::vector<T>> cases[] = {
        {m.Open, opened}, {m.Close, closed}, {m.Tophat, minus(p, opened)},
        {m.Blackhat, minus(closed, p)}, {m.Gradient, minus(dilated, eroded)},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        GuardedImage<T> dst(roi.width, roi.height, m.channels);
        ASSERT_EQ(cases[k].first(src.data(), src.step(), dst.data(), dst.step(), roi, 1, state), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        EXPECT_EQ(dst.pixels(), cases[k].second) << "operation " << k;
    }
    if (!callerMemory) { EXPECT_EQ(zaliMorphAdvFree(state), StatusOk); }
}

std::vector<uint8_t> ones(int n) { return std::vector<uint8_t>(static_cast<std::size_t>(n), 1); }

// Square, cross and L masks, corner anchors, a 1-pixel-wide ROI, ROIs smaller
// than the state's, and an empty mask (opening and closing copy, the
// differences are zero).
TEST(MorphAdvanced, MatchesCompositions) {
    const std::vector<uint8_t> cross = {0, 1, 0, 1, 1, 1, 0, 1, 0}, zeros(6, 0);
    const std::vector<uint8_t> lShape = {1, 0, 0, 1, 0, 0, 1, 1, 1, 0, 0, 0};
    unsigned seed = 1;
    for (bool callerMemory : {false, true}) {
        for (const auto& m : k8u) {
            checkAll(m, ones(9), {3, 3}, {0, 0}, {12, 9}, {12, 9}, callerMemory, seed++);
            checkAll(m, cross, {3, 3}, {1, 1}, {12, 9}, {7, 5}, callerMemory, seed++);
            checkAll(m, lShape, {3, 4}, {2, 3}, {12, 9}, {11, 9}, callerMemory, seed++);
            checkAll(m, ones(5), {5, 1}, {4, 0}, {6, 6}, {1, 6}, callerMemory, seed++);
        }
        for (const auto& m : k32f) {
            checkAll(m, cross, {3, 3}, {0, 2}, {10, 8}, {10, 8}, callerMemory, seed++);
            checkAll(m, lShape, {3, 4}, {1, 0}, {10, 8}, {3, 2}, callerMemory, seed++);
        }
        checkAll(k8u[0], zeros, {3, 2}, {2, 1}, {5, 4}, {5, 4}, callerMemory, seed++);
        checkAll(k32f[2], zeros, {3, 2}, {0, 0}, {5, 4}, {5, 4}, callerMemory, seed++);
    }
}

// Rectangles run both passes strip by strip through a ring of temporary rows
// (strips of 128 KB of rows, at least 8 rows): heights around one and a few
// strips and around the ring's length, masks for the fixed vertical routines
// (heights 1, 3, 5) and the general one (4), anchors in the corners.
TEST(MorphAdvanced, StripsMatchCompositions) {
    struct Case {
        int width, strip;  // strip rows at this row length
    };
    const std::vector<std::pair<ImageSize, ImagePoint>> masks = {
        {{3, 3}, {0, 0}}, {{3, 3}, {2, 2}}, {{1, 5}, {0, 4}}, {{2, 4}, {1, 0}}, {{4, 1}, {3, 0}}};
    unsigned seed = 100;
    const auto heights = [](int strip, int mh) {
        return std::vector<int>{strip - 1, strip, strip + 1, strip + mh - 1, strip + mh, 2 * strip + 1, 3 * strip};
    };
    const Case c8u{2100, 131072 / (2100 * 4)}, c32f{1100, 8};
    ASSERT_EQ(k8u[2].channels, 4);
    ASSERT_EQ(k32f[2].channels, 4);
    for (const auto& [ms, a] : masks) {
        const std::vector<uint8_t> mask = ones(ms.width * ms.height);
        for (int h : heights(c8u.strip, ms.height))
            checkAll(k8u[2], mask, ms, a, {c8u.width, h}, {c8u.width, h}, false, seed++);
        for (int h : heights(c32f.strip, ms.height))
            checkAll(k32f[2], mask, ms, a, {c32f.width, h}, {c32f.width, h}, false, seed++);
    }
}

TEST(MorphAdvanced, ChecksInOrder) {
    const std::vector<uint8_t> mask = ones(9);
    MorphAdvState* state = nullptr;
    // The query tests the ROI before the mask pointer; construction the state
    // pointer before the ROI.
    EXPECT_EQ(zaliMorphAdvGetSize_8u_C1R({4, 0}, nullptr, {3, 3}, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphAdvInitAlloc_8u_C1R(nullptr, {4, 0}, mask.data(), {3, 3}, {1, 1}), StatusNullPointer);
    EXPECT_EQ(zaliMorphAdvInitAlloc_8u_C1R(&state, {4, 3}, mask.data(), {3, 3}, {3, 1}), StatusAnchorError);
    ASSERT_EQ(zaliMorphAdvInitAlloc_32f_C1R(&state, {4, 3}, mask.data(), {3, 3}, {1, 1}), StatusOk);
    GuardedImage<float> src(4, 4), dst(4, 4);
    const ImageSize roi{4, 3};
    const int ss = src.step(), ds = dst.step();
    EXPECT_EQ(zaliMorphOpenBorder_32f_C1R(src.data(), 12, dst.data(), 18, roi, 0, state), StatusStepError);
    EXPECT_EQ(zaliMorphCloseBorder_32f_C1R(src.data(), ss, dst.data(), ds, roi, 2, state), StatusBadArgument);
    EXPECT_EQ(zaliMorphGradientBorder_32f_C1R(src.data(), ss, dst.data(), ds, {4, 4}, 1, state), StatusSizeError);
    EXPECT_EQ(zaliMorphBlackhatBorder_32f_C1R(src.data(), ss, dst.data(), ds, {1, 3}, 1, state), StatusOk);
    zaliMorphAdvFree(state);
}

}  // namespace
