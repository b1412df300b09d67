// Dilation and erosion with replicated border: every kernel class against a
// brute-force evaluation of the definition, plus the state and check rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "morph/internal.h"

using zaltest::GuardedImage;

namespace {

template <class T>
struct Members {
    int channels;
    StatusCode (*initAlloc)(int, const uint8_t*, ImageSize, ImagePoint, MorphologyState**);
    StatusCode (*init)(int, const uint8_t*, ImageSize, ImagePoint, MorphologyState*);
    StatusCode (*getSize)(int, const uint8_t*, ImageSize, int*);
    StatusCode (*dilate)(const T*, int, T*, int, ImageSize, int, MorphologyState*);
    StatusCode (*erode)(const T*, int, T*, int, ImageSize, int, MorphologyState*);
};

const Members<uint8_t> k8u[] = {
    {1, zaliMorphologyInitAlloc_8u_C1R, zaliMorphologyInit_8u_C1R, zaliMorphologyGetSize_8u_C1R, zaliDilateBorderReplicate_8u_C1R, zaliErodeBorderReplicate_8u_C1R},
    {3, zaliMorphologyInitAlloc_8u_C3R, zaliMorphologyInit_8u_C3R, zaliMorphologyGetSize_8u_C3R, zaliDilateBorderReplicate_8u_C3R, zaliErodeBorderReplicate_8u_C3R},
    {4, zaliMorphologyInitAlloc_8u_C4R, zaliMorphologyInit_8u_C4R, zaliMorphologyGetSize_8u_C4R, zaliDilateBorderReplicate_8u_C4R, zaliErodeBorderReplicate_8u_C4R},
};
const Members<float> k32f[] = {
    {1, zaliMorphologyInitAlloc_32f_C1R, zaliMorphologyInit_32f_C1R, zaliMorphologyGetSize_32f_C1R, zaliDilateBorderReplicate_32f_C1R, zaliErodeBorderReplicate_32f_C1R},
    {3, zaliMorphologyInitAlloc_32f_C3R, zaliMorphologyInit_32f_C3R, zaliMorphologyGetSize_32f_C3R, zaliDilateBorderReplicate_32f_C3R, zaliErodeBorderReplicate_32f_C3R},
    {4, zaliMorphologyInitAlloc_32f_C4R, zaliMorphologyInit_32f_C4R, zaliMorphologyGetSize_32f_C4R, zaliDilateBorderReplicate_32f_C4R, zaliErodeBorderReplicate_32f_C4R},
};

struct Kernel {
    ImageSize size;
    std::vector<uint8_t> bytes;
};

// Builds a mask from rows of '.' (zero) and any other character (non-zero).
Kernel kernel(std::initializer_list<const char*> rows) {
    Kernel k{{0, 0}, {}};
    for (const char* r : rows) {
        const std::string s(r);
        k.size.width = static_cast<int>(s.size());
        for (char ch : s) k.bytes.push_back(ch == '.' ? 0 : static_cast<uint8_t>(ch));
        ++k.size.height;
    }
    return k;
}

template <class T>
T brute(const GuardedImage<T>& src, const Kernel& k, ImagePoint a, int x, int y, int c, bool dilate) {
    T best = dilate ? (sizeof(T) == 1 ? T(0) : T(-3.4028235e38f)) : (sizeof(T) == 1 ? T(255) : T(3.4028235e38f));
    bool any = false;
    for (int j = 0; j < k.size.height; ++j)
        for (int i = 0; i < k.size.width; ++i) {
            if (k.bytes[j * k.size.width + i] == 0) continue;
            any = true;
            const T v = src.at(std::clamp(x + i - a.x, 0, src.width() - 1), std::clamp(y + j - a.y, 0, src.height() - 1), c);
            best = dilate ? std::max(best, v) : std::min(best, v);
        }
    return any ? best : src.at(x, y, c);
}

template <class T>
void fillRandom(GuardedImage<T>& img, unsigned seed) {
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) {
        return static_cast<T>(std::is_same_v<T, float> ? rng.uniformf(-100.f, 100.f) : rng.uniform(0, 255));
    });
}

int kernelClassOf(const MorphologyState* s) { return s->kernelClass; }

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
        // The block is filled with a pattern: the state must not depend on it.
        block.assign(static_cast<std::size_t>(size) + 32, 0xCD);
        state = reinterpret_cast<MorphologyState*>(block.data() + (32 - reinterpret_cast<uintptr_t>(block.data()) % 32) % 32);
        ASSERT_EQ(m.init(maxWidth, k.bytes.data(), k.size, anchor, state), StatusOk);
        ASSERT_LE(state->stateSize, size);
    } else {
        ASSERT_EQ(m.initAlloc(maxWidth, k.bytes.data(), k.size, anchor, &state), StatusOk);
    }
    if (expectedClass >= 0) {
        EXPECT_EQ(kernelClassOf(state), expectedClass);
    }
    const ImageSize rois[] = {{13, 9}, {17, 4}, {1, 1}, {1, 7}, {6, 1}, {2, 2}, {maxWidth, 23}};
    for (const ImageSize roi : rois) {
        GuardedImage<T> src(roi.width, roi.height, m.channels);
        fillRandom(src, seed++);
        for (bool dilate : {true, false}) {
            GuardedImage<T> dst(roi.width, roi.height, m.channels);
            ASSERT_EQ((dilate ? m.dilate : m.erode)(src.data(), src.step(), dst.data(), dst.step(), roi, 1, state),
                      StatusOk);
            ASSERT_TRUE(dst.guardsIntact());
            for (int y = 0; y < roi.height; ++y)
                for (int x = 0; x < roi.width; ++x)
                    for (int c = 0; c < m.channels; ++c)
                        ASSERT_EQ(dst.at(x, y, c), brute(src, k, anchor, x, y, c, dilate))
                            << (dilate ? "dilate" : "erode") << " roi " << roi.width << "x" << roi.height << " at "
                            << x << "," << y << "," << c << " anchor " << anchor.x << "," << anchor.y;
        }
    }
    if (!callerMemory) {
        EXPECT_EQ(zaliMorphologyFree(state), StatusOk);
    }
}

template <class T, std::size_t N>
void everyClass(const Members<T> (&members)[N]) {
    using namespace zal::morph;
    const Kernel zeros = kernel({"...", "...", "..."});
    const Kernel square = kernel({"xxx", "xxx", "xxx"});
    const Kernel corner = kernel({".....", ".....", ".....", "...xx", "...xx"});
    const Kernel wideBar = kernel({"..........", "xxxxxxxxx.", ".........."});
    const Kernel cross = kernel({".x.", "xxx", ".x."});
    const Kernel disk = kernel({"..xxx..", ".xxxxx.", "xxxxxxx", "xxxxxxx", "xxxxxxx", ".xxxxx.", "..xxx.."});
    const Kernel gappy = kernel({"..x..", ".....", "xxxxx", ".....", ".xxx."});
    const Kernel twoRuns = kernel({"x.x", "xxx", ".x."});
    const Kernel diagonal = kernel({"x..", ".x.", "..x"});
    unsigned seed = 1;
    for (const auto& m : members)
        for (bool callerMemory : {false, true}) {
            checkKernel(m, zeros, ImagePoint{2, 0}, KernelEmpty, callerMemory, seed++);
            checkKernel(m, square, ImagePoint{1, 1}, KernelRectangle, callerMemory, seed++);
            checkKernel(m, square, ImagePoint{0, 2}, KernelRectangle, callerMemory, seed++);
            checkKernel(m, corner, ImagePoint{0, 0}, KernelRectangle, callerMemory, seed++);
            checkKernel(m, kernel({"xx...", "xx...", ".....", ".....", "....."}), ImagePoint{4, 4}, KernelRectangle,
                        callerMemory, seed++);
            checkKernel(m, wideBar, ImagePoint{9, 0}, KernelRectangle, callerMemory, seed++);
            checkKernel(m, cross, ImagePoint{1, 1}, KernelEllipse, callerMemory, seed++);
            checkKernel(m, cross, ImagePoint{0, 0}, KernelGeneral, callerMemory, seed++);
            checkKernel(m, disk, ImagePoint{3, 3}, KernelEllipse, callerMemory, seed++);
            checkKernel(m, disk, ImagePoint{2, 6}, KernelEllipse, callerMemory, seed++);
            checkKernel(m, gappy, ImagePoint{2, 1}, KernelEllipse, callerMemory, seed++);
            checkKernel(m, twoRuns, ImagePoint{1, 1}, KernelGeneral, callerMemory, seed++);
            checkKernel(m, diagonal, ImagePoint{1, 1}, KernelGeneral, callerMemory, seed++);
        }
}

TEST(Morphology, EveryClassMatchesDefinition8u) { everyClass(k8u); }
TEST(Morphology, EveryClassMatchesDefinition32f) { everyClass(k32f); }

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
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                MorphologyState* s = nullptr;
                ASSERT_EQ(m.initAlloc(500, cross.bytes.data(), cross.size, ImagePoint{x, y}, &s), StatusOk);
                EXPECT_LE(s->stateSize, size);
                zaliMorphologyFree(s);
            }
    }
    int size = 0;
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(1 << 30, cross.bytes.data(), cross.size, &size), StatusSizeError);
}

TEST(Morphology, ConstructionChecks) {
    const Kernel square = kernel({"xxx", "xxx"});
    MorphologyState* s = nullptr;
    int size = 0;
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(0, nullptr, square.size, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(0, square.bytes.data(), square.size, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(4, square.bytes.data(), square.size, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), ImageSize{3, 0}, ImagePoint{9, 9}, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{3, 0}, nullptr), StatusAnchorError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{2, -1}, &s), StatusAnchorError);
    EXPECT_EQ(zaliMorphologyInitAlloc_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{2, 1}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphologyInit_8u_C1R(4, square.bytes.data(), square.size, ImagePoint{2, 1}, nullptr), StatusNullPointer);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(zaliMorphologyGetSize_8u_C1R(4, square.bytes.data(), square.size, &size), StatusOk);
    EXPECT_EQ(zaliMorphologyFree(nullptr), StatusNullPointer);
}

TEST(Morphology, CallChecksInOrder) {
    const Kernel square = kernel({"xxx", "xxx", "xxx"});
    MorphologyState* s8 = nullptr;
    MorphologyState* s32 = nullptr;
    ASSERT_EQ(zaliMorphologyInitAlloc_8u_C1R(8, square.bytes.data(), square.size, ImagePoint{1, 1}, &s8), StatusOk);
    ASSERT_EQ(zaliMorphologyInitAlloc_32f_C1R(8, square.bytes.data(), square.size, ImagePoint{1, 1}, &s32), StatusOk);
    GuardedImage<float> src(8, 4), dst(8, 4);
    const ImageSize roi = src.roi();
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 32, dst.data(), 32, ImageSize{0, 0}, 0, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 1, dst.data(), 32, ImageSize{8, 0}, 0, s32), StatusSizeError);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 30, dst.data(), 34, roi, 0, s32), StatusStepError);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), 32, dst.data(), 34, roi, 0, s32), StatusStepAlignmentError);
    EXPECT_EQ(zaliDilateBorderReplicate_32f_C1R(src.data(), -32, dst.data(), 32, roi, 1, s32), StatusStepError);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 0, s32), StatusBadArgument);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 2, s32), StatusBadArgument);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), ImageSize{9, 4}, 1, s32), StatusSizeError);
    // A state built for 8u pixels would be overrun by 32f rows.
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 1, s8), StatusBadArgument);
    EXPECT_TRUE(dst.guardsIntact());
    for (float p : dst.pixels()) EXPECT_EQ(p, 0.0f);
    EXPECT_EQ(zaliErodeBorderReplicate_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), ImageSize{7, 4}, 1, s32), StatusOk);
    zaliMorphologyFree(s8);
    zaliMorphologyFree(s32);
}

}  // namespace
