// Dilation and erosion with replicated border: every kernel class against a
// brute-force evaluation of the definition, plus the state and check rules.
#include <gtest/gtest.h>

#include "common/simd_targets.h"
#include "common/size_queries.h"
#include "morph/internal.h"
#include "morph_reference.h"

using zaltest::GuardedImage;

namespace {

using morphref::Kernel;
using morphref::kernel;
using zaltest::SizeQuery;
using zaltest::Wide;

template <class T>
using Members = morphref::StateMembers<T>;
const std::vector<Members<uint8_t>> k8u = morphref::stateMembers<uint8_t>();
const std::vector<Members<float>> k32f = morphref::stateMembers<float>();

// Builds the state (InitAlloc, or Init in a block of the GetSize bytes) and
// compares both operations with the definition over several ROIs.
const std::vector<ImageSize> kSmallRois = {{13, 9}, {17, 4}, {1, 1}, {1, 7}, {6, 1}, {2, 2}, {17, 23}};

template <class T>
void checkKernel(const Members<T>& m, const Kernel& k, ImagePoint anchor, int expectedClass, bool callerMemory,
                 unsigned seed, const std::vector<ImageSize>& rois = kSmallRois) {
    int maxWidth = 1;
    for (const ImageSize roi : rois) maxWidth = std::max(maxWidth, roi.width);
    MorphologyState* state = nullptr;
    std::vector<uint8_t> block;
    if (callerMemory) {
        int size = 0;
        ASSERT_EQ(m.getSize(maxWidth, k.bytes.data(), k.size, &size), StatusOk);
        state = morphref::placeState<MorphologyState>(block, size);
        ASSERT_EQ(m.init(maxWidth, k.bytes.data(), k.size, anchor, state), StatusOk);
        ASSERT_LE(state->stateSize, size);
    } else {
        ASSERT_EQ(m.initAlloc(maxWidth, k.bytes.data(), k.size, anchor, &state), StatusOk);
    }
    if (expectedClass >= 0) { EXPECT_EQ(state->kernelClass, expectedClass); }
    for (const ImageSize roi : rois) {
        GuardedImage<T> src(roi.width, roi.height, m.channels);
        morphref::fillRandom(src, seed++);
        for (bool dilate : {true, false}) {
            GuardedImage<T> dst(roi.width, roi.height, m.channels);
            ASSERT_EQ((dilate ? m.dilate : m.erode)(src.data(), src.step(), dst.data(), dst.step(), roi, 1, state),
                      StatusOk);
            ASSERT_TRUE(dst.guardsIntact());
            ASSERT_EQ(dst.pixels(), morphref::flat(src.pixels(), roi.width, roi.height, m.channels, k.bytes, k.size, anchor, dilate))
                << (dilate ? "dilate" : "erode") << " roi " << roi.width << "x" << roi.height << " anchor " << anchor.x
                << "," << anchor.y;
        }
    }
    if (!callerMemory) { EXPECT_EQ(zaliMorphologyFree(state), StatusOk); }
}

// Every kernel class, with the anchors that move a mask between classes.
template <class T>
void everyClass(const std::vector<Members<T>>& members, const std::vector<ImageSize>& rois = kSmallRois,
                std::initializer_list<bool> memory = {false, true}) {
    using namespace zal::morph;
    const Kernel square = kernel({"xxx", "xxx", "xxx"}), cross = kernel({".x.", "xxx", ".x."});
    const Kernel disk = kernel({"..xxx..", ".xxxxx.", "xxxxxxx", "xxxxxxx", "xxxxxxx", ".xxxxx.", "..xxx.."});
    const struct { Kernel k; ImagePoint anchor; int cls; } cases[] = {
        {kernel({"...", "...", "..."}), {2, 0}, KernelEmpty},
        {square, {1, 1}, KernelRectangle},
        {square, {0, 2}, KernelRectangle},
        {kernel({".....", ".....", ".....", "...xx", "...xx"}), {0, 0}, KernelRectangle},
        {kernel({"xx...", "xx...", ".....", ".....", "....."}), {4, 4}, KernelRectangle},
        {kernel({"..........", "xxxxxxxxx.", ".........."}), {9, 0}, KernelRectangle},
        {cross, {1, 1}, KernelEllipse},
        {cross, {0, 0}, KernelGeneral},
        {disk, {3, 3}, KernelEllipse},
        {disk, {2, 6}, KernelEllipse},
        {kernel({"..x..", ".....", "xxxxx", ".....", ".xxx."}), {2, 1}, KernelEllipse},
        // Runs not centred on the anchor: 8u derives the length-8 line from
        // the length-5 one and that from the length-3 one, with cut windows
        // on both sides.
        {kernel({"...xxx....", "xxxxx.....", "..xxxxxxxx", "....x....."}), {4, 1}, KernelEllipse},
        {kernel({"x.x", "xxx", ".x."}), {1, 1}, KernelGeneral},
        {kernel({"x..", ".x.", "..x"}), {1, 1}, KernelGeneral},
        // Long runs, two in a row: 8u folds them from block lines.
        {kernel({"xxxxx.xxxx", "..xxxxxxx.", "xxx...xxxx"}), {4, 1}, KernelGeneral},
        {kernel({"x.x..x.", ".x..xx.", "...x..x", "x....x.", ".xx...x"}), {4, 1}, KernelGeneral},
    };
    unsigned seed = 1;
    for (const auto& m : members)
        for (bool callerMemory : memory)
            for (const auto& c : cases) checkKernel(m, c.k, c.anchor, c.cls, callerMemory, seed++, rois);
}

TEST(Morphology, EveryClassMatchesDefinition) {
    everyClass(k8u);
    everyClass(k32f);
}

// On every SIMD target, ROI widths around the vector widths: whole vectors,
// the two-vector steps and every kind of tail.
TEST(Morphology, EveryTargetMatchesDefinitionAtVectorWidths) {
    std::vector<ImageSize> rois;
    for (int w : {1, 2, 15, 16, 17, 31, 33, 63, 64, 65, 127, 128, 129, 131, 200}) rois.push_back({w, 6});
    zaltest::forEachSimdTarget([&] {
        everyClass(k8u, rois, {false});
        everyClass(k32f, rois, {false});
    });
}

TEST(Morphology, RandomMasksMatchDefinition) {
    zaltest::Lcg rng(99);
    for (int t = 0; t < 60; ++t) {
        Kernel k{{rng.uniform(1, 9), rng.uniform(1, 9)}, {}};
        const int density = rng.uniform(0, 3);
        for (int i = 0; i < k.size.width * k.size.height; ++i) k.bytes.push_back(rng.uniform(0, 3) < density ? 1 : 0);
        const ImagePoint anchor{rng.uniform(0, k.size.width - 1), rng.uniform(0, k.size.height - 1)};
        checkKernel(k8u[t % 3], k, anchor, -1, t % 2 == 0, static_cast<unsigned>(t));
    }
}

TEST(Morphology, TallMaskIsGeneral) {
    Kernel k{{1, 256}, std::vector<uint8_t>(256, 1)};
    checkKernel(k8u[0], k, ImagePoint{0, 128}, zal::morph::KernelGeneral, false, 5);
    k.size.height = 255;
    k.bytes.resize(255);
    checkKernel(k8u[0], k, ImagePoint{0, 128}, zal::morph::KernelRectangle, false, 6);
}

TEST(Morphology, SizeQueryCoversEveryAnchor) {
    // The centre anchor makes the cross an Ellipse, a corner anchor makes it
    // General, whose state is larger for wide ROIs: the query covers both.
    const Kernel cross = kernel({"..x..", "..x..", "xxxxx", "..x..", "..x.."});
    for (const auto& m : k32f) {
        int size = 0;
        ASSERT_EQ(m.getSize(500, cross.bytes.data(), cross.size, &size), StatusOk);
        for (int p = 0; p < 25; ++p) {
            MorphologyState* s = nullptr;
            ASSERT_EQ(m.initAlloc(500, cross.bytes.data(), cross.size, ImagePoint{p % 5, p / 5}, &s), StatusOk);
            EXPECT_LE(s->stateSize, size);
            zaliMorphologyFree(s);
        }
    }
}

TEST(Morphology, ChecksInOrder) {
    const Kernel square = kernel({"xxx", "xxx", "xxx"});
    const uint8_t* k = square.bytes.data();
    // The mask pointer, the width, then the output; the mask size before the anchor.
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(0, nullptr, square.size, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(0, k, square.size, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, k, ImageSize{3, 0}, ImagePoint{9, 9}, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, k, square.size, ImagePoint{3, 0}, nullptr), StatusAnchorError);
    MorphologyState *s8 = nullptr, *s32 = nullptr;
    ASSERT_EQ(zaliMorphologyInitAlloc_8u_C1R(8, k, square.size, ImagePoint{1, 1}, &s8), StatusOk);
    ASSERT_EQ(zaliMorphologyInitAlloc_32f_C1R(8, k, square.size, ImagePoint{1, 1}, &s32), StatusOk);
    GuardedImage<float> src(8, 4), dst(8, 4);
    const ImageSize roi = src.roi();
    const int ss = src.step(), ds = dst.step();
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 32, dst.data(), 34, roi, 0, s32), StatusStepAlignmentError);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), -32, dst.data(), 32, roi, 1, s32), StatusStepError);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), ss, dst.data(), ds, roi, 2, s32), StatusBadArgument);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), ss, dst.data(), ds, ImageSize{9, 4}, 1, s32), StatusSizeError);
    // A state built for 8u pixels would be overrun by 32f rows.
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), ss, dst.data(), ds, roi, 1, s8), StatusBadArgument);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), ss, dst.data(), ds, ImageSize{7, 4}, 1, s32), StatusOk);
    zaliMorphologyFree(s8);
    zaliMorphologyFree(s32);
}

// Size queries near the int limits (common/size_queries.h says what every
// query must satisfy).
TEST(MorphSizeQueries, ExactOrRefusedUpToIntLimits) {
    // A rectangle, an ellipse and a General (scattered) 3x3 mask, in turn.
    static const uint8_t kMasks[3][9] = {{1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 1, 0, 1, 1, 1, 0, 1, 0}, {1, 0, 0, 0, 0, 1, 0, 1, 0}};
    std::vector<SizeQuery> table;
    int k = 0;
    // Morphology states for ROI rows of w pixels (h is not a parameter): a work
    // row of the ROI's pixels at least. Advanced states hold an intermediate
    // image of the ROI.
#define STATE_QUERY(name, T, C)                                                                        \
    table.push_back({#name, [mask = kMasks[k++ % 3]](int w, int, int* b) { return name(w, mask, ImageSize{3, 3}, b); }, \
                     [](Wide w, Wide) { return w * Wide(sizeof(T) * C); }});
#define ADV_QUERY(name, T, C)                                                                                      \
    table.push_back({#name, [mask = kMasks[k++ % 3]](int w, int h, int* b) { return name(ImageSize{w, h}, mask, ImageSize{3, 3}, b); }, \
                     [](Wide w, Wide h) { return w * h * Wide(sizeof(T) * C); }});
    // Grayscale kernels: the state copies the w x h kernel (int32 or float).
    // The query reads only the kernel size, so one value stands in for kernels
    // far larger than memory.
#define GRAY_QUERY(name, T)                                                                            \
    table.push_back({#name, [](int w, int h, int* b) {                                                 \
                         static const std::conditional_t<sizeof(T) == 1, int32_t, float> kernel[1] = {}; \
                         return name(ImageSize{4, 4}, kernel, ImageSize{w, h}, b); },                  \
                     [](Wide w, Wide h) { return 4 * w * h; }});
#define RECONSTRUCT_QUERY(name, T)                                                                     \
    table.push_back({#name, [](int w, int h, int* b) { return name(ImageSize{w, h}, b); },            \
                     [](Wide w, Wide h) { return Wide(sizeof(T)) * w + h + 64; }, true});
    ZAL_MORPH_STATE_SIZE(STATE_QUERY)
    ZAL_MORPH_ADV_SIZE(ADV_QUERY)
    ZAL_MORPH_GRAY_SIZE(GRAY_QUERY)
    ZAL_MORPH_RECONSTRUCT_SIZE(RECONSTRUCT_QUERY)
    zaltest::checkSizeQueries(table);
}

}  // namespace
