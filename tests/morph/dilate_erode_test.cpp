// Dilation and erosion with replicated border: every kernel class against a
// brute-force evaluation of the definition, plus the state and check rules.
#include <gtest/gtest.h>

#include "morph/internal.h"
#include "morph_reference.h"

using zaltest::GuardedImage;

namespace {

template <class T>
using Members = morphref::StateMembers<T>;
const std::vector<Members<uint8_t>> k8u = morphref::stateMembers<uint8_t>();
const std::vector<Members<float>> k32f = morphref::stateMembers<float>();

struct Kernel { ImageSize size; std::vector<uint8_t> bytes; };

// Builds a mask from rows of '.' (zero) and any other character (non-zero).
Kernel kernel(std::initializer_list<const char*> rows) {
    Kernel k{{0, static_cast<int>(rows.size())}, {}};
    for (const std::string r : rows)
        for (char ch : r) k.bytes.push_back(ch == '.' ? 0 : static_cast<uint8_t>(ch)), k.size.width = int(r.size());
    return k;
}

// Builds the state (InitAlloc, or Init in a block of the GetSize bytes) and
// compares both operations with the definition over several ROIs.
template <class T>
void checkKernel(const Members<T>& m, const Kernel& k, ImagePoint anchor, int expectedClass, bool callerMemory,
                 unsigned seed) {
    const int maxWidth = 17;
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
    const ImageSize rois[] = {{13, 9}, {17, 4}, {1, 1}, {1, 7}, {6, 1}, {2, 2}, {maxWidth, 23}};
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
void everyClass(const std::vector<Members<T>>& members) {
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
        {kernel({"x.x", "xxx", ".x."}), {1, 1}, KernelGeneral},
        {kernel({"x..", ".x.", "..x"}), {1, 1}, KernelGeneral},
    };
    unsigned seed = 1;
    for (const auto& m : members)
        for (bool callerMemory : {false, true})
            for (const auto& c : cases) checkKernel(m, c.k, c.anchor, c.cls, callerMemory, seed++);
}

TEST(Morphology, EveryClassMatchesDefinition) {
    everyClass(k8u);
    everyClass(k32f);
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

TEST(Morphology, ConstructionChecks) {
    const Kernel square = kernel({"xxx", "xxx"});
    MorphologyState* s = nullptr;
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(0, nullptr, square.size, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(0, square.bytes.data(), square.size, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(4, square.bytes.data(), square.size, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), ImageSize{3, 0}, ImagePoint{9, 9}, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{3, 0}, nullptr), StatusAnchorError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{2, 1}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyInit_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{2, 1}, nullptr), StatusNullPointer);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(zaliMorphologyFree(nullptr), StatusNullPointer);
}

TEST(Morphology, CallChecksInOrder) {
    const Kernel square = kernel({"xxx", "xxx", "xxx"});
    MorphologyState *s8 = nullptr, *s32 = nullptr;
    ASSERT_EQ(zaliMorphologyInitAlloc_8u_C1R(8, square.bytes.data(), square.size, ImagePoint{1, 1}, &s8), StatusOk);
    ASSERT_EQ(zaliMorphologyInitAlloc_32f_C1R(8, square.bytes.data(), square.size, ImagePoint{1, 1}, &s32), StatusOk);
    GuardedImage<float> src(8, 4), dst(8, 4);
    const ImageSize roi = src.roi();
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 32, dst.data(), 32, ImageSize{0, 0}, 0, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 1, dst.data(), 32, ImageSize{8, 0}, 0, s32), StatusSizeError);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 32, dst.data(), 34, roi, 0, s32), StatusStepAlignmentError);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), -32, dst.data(), 32, roi, 1, s32), StatusStepError);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 2, s32), StatusBadArgument);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), ImageSize{9, 4}, 1, s32), StatusSizeError);
    // A state built for 8u pixels would be overrun by 32f rows.
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 1, s8), StatusBadArgument);
    EXPECT_TRUE(dst.guardsIntact());
    EXPECT_EQ(dst.pixels(), std::vector<float>(32, 0.0f));
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), ImageSize{7, 4}, 1, s32), StatusOk);
    zaliMorphologyFree(s8);
    zaliMorphologyFree(s32);
}

}  // namespace
