// Grayscale-kernel dilation and erosion against the definition evaluated
// pixel by pixel.
#include <gtest/gtest.h>

#include "morph_reference.h"

using zaltest::GuardedImage;

namespace {

template <class T, class K>
T brute(const GuardedImage<T>& src, const std::vector<K>& k, ImageSize ms, ImagePoint a, int x, int y, bool dilate) {
    using Acc = std::conditional_t<sizeof(T) == 1, int64_t, float>;  // 8u: exact sums
    Acc best = dilate ? (sizeof(T) == 1 ? Acc(0) : Acc(-3.4028235e38f)) : (sizeof(T) == 1 ? Acc(255) : Acc(3.4028235e38f));
    for (int j = 0; j < ms.height; ++j)
        for (int i = 0; i < ms.width; ++i) {
            const Acc v = static_cast<Acc>(src.at(std::clamp(x + i - a.x, 0, src.width() - 1),
                                                  std::clamp(y + j - a.y, 0, src.height() - 1))) +
                          k[j * ms.width + i];
            best = dilate ? std::max(best, v) : std::min(best, v);
        }
    if constexpr (sizeof(T) == 1) best = std::clamp<Acc>(best, 0, 255);
    return static_cast<T>(best);
}

template <class T, class K, class Init, class Dilate, class Erode, class Free>
void check(Init initAlloc, Dilate dilate, Erode erode, Free release, const std::vector<K>& k, ImageSize ms,
           ImagePoint a, ImageSize roi, unsigned seed) {
    MorphGrayState* state = nullptr;
    ASSERT_EQ(initAlloc(&state, ImageSize{roi.width + 2, roi.height}, k.data(), ms, a), StatusOk);
    GuardedImage<T> src(roi.width, roi.height);
    zaltest::Lcg rng(seed);
    src.fill([&](int, int, int) { return static_cast<T>(rng.uniform(0, 255)); });
    for (bool isDilate : {true, false}) {
        GuardedImage<T> dst(roi.width, roi.height);
        ASSERT_EQ((isDilate ? dilate : erode)(src.data(), src.step(), dst.data(), dst.step(), roi, 1, state), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        for (int p = 0; p < roi.width * roi.height; ++p)
            ASSERT_EQ(dst.at(p % roi.width, p / roi.width), brute(src, k, ms, a, p % roi.width, p / roi.width, isDilate))
                << p << " dilate " << isDilate;
    }
    EXPECT_EQ(release(state), StatusOk);
}

// 8u kernel values beyond +-255 saturate both ways; single-row, single-column
// and corner-anchored cases.
TEST(MorphGray, MatchesDefinition) {
    const std::vector<int32_t> k8 = {-3, 40, 7, -300, 0, 12, 300, -9, 5, 1, 2, 3};
    const std::vector<float> k32 = {-3.5f, 40.25f, 7.0f, -0.125f, 0.0f, 12.0f};
    unsigned seed = 1;
    for (ImageSize roi : {ImageSize{9, 7}, ImageSize{1, 1}, ImageSize{1, 5}, ImageSize{6, 1}, ImageSize{2, 3}})
        for (ImagePoint a : {ImagePoint{0, 0}, ImagePoint{2, 3}, ImagePoint{1, 1}}) {
            check<uint8_t>(zaliMorphGrayInitAlloc_8u_C1R, zaliGrayDilateBorder_8u_C1R, zaliGrayErodeBorder_8u_C1R,
                           zaliMorphGrayFree_8u_C1R, k8, ImageSize{3, 4}, a, roi, seed++);
            check<float>(zaliMorphGrayInitAlloc_32f_C1R, zaliGrayDilateBorder_32f_C1R, zaliGrayErodeBorder_32f_C1R,
                         zaliMorphGrayFree_32f_C1R, k32, ImageSize{3, 2}, ImagePoint{a.x, a.y % 2}, roi, seed++);
        }
}

// Kernel values at the ends of the int32 range: the sums must not wrap, so
// pixel + INT32_MAX saturates to 255 and pixel + INT32_MIN to 0.
TEST(MorphGray, ExtremeKernelValuesSaturate) {
    const std::vector<std::vector<int32_t>> kernels = {
        {INT32_MAX}, {INT32_MIN}, {INT32_MAX - 100, 0, -5}, {INT32_MIN + 1, 3, INT32_MAX},
        {-INT32_MAX, INT32_MIN, 256}, {255, -255, INT32_MAX - 254}};
    unsigned seed = 40;
    for (const auto& k : kernels)
        for (ImageSize roi : {ImageSize{5, 4}, ImageSize{1, 1}})
            check<uint8_t>(zaliMorphGrayInitAlloc_8u_C1R, zaliGrayDilateBorder_8u_C1R, zaliGrayErodeBorder_8u_C1R,
                           zaliMorphGrayFree_8u_C1R, k, ImageSize{static_cast<int>(k.size()), 1},
                           ImagePoint{static_cast<int>(k.size()) / 2, 0}, roi, seed++);
}

TEST(MorphGray, SingleElementKernelInCallerMemory) {
    // {5} adds 5 in both operations, saturating at 255; -1000 dilates to 0.
    GuardedImage<uint8_t> src(4, 2), dst(4, 2);
    src.fill([](int x, int y, int) { return 100 + 50 * x + y; });
    std::vector<uint8_t> block;
    int size = 0;
    const int32_t five = 5, minus = -1000;
    ASSERT_EQ(zaliMorphGrayGetSize_8u_C1R(src.roi(), &five, ImageSize{1, 1}, &size), StatusOk);
    auto* state = morphref::placeState<MorphGrayState>(block, size);
    ASSERT_EQ(zaliMorphGrayInit_8u_C1R(state, src.roi(), &five, ImageSize{1, 1}, ImagePoint{0, 0}), StatusOk);
    ASSERT_EQ(zaliGrayErodeBorder_8u_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), 1, state), StatusOk);
    EXPECT_EQ(dst.pixels(), (std::vector<uint8_t>{105, 155, 205, 255, 106, 156, 206, 255}));
    ASSERT_EQ(zaliMorphGrayInit_8u_C1R(state, src.roi(), &minus, ImageSize{1, 1}, ImagePoint{0, 0}), StatusOk);
    ASSERT_EQ(zaliGrayDilateBorder_8u_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), 1, state), StatusOk);
    EXPECT_EQ(dst.pixels(), std::vector<uint8_t>(8, 0));
}

TEST(MorphGray, ChecksInOrder) {
    const std::vector<float> k(6, 0.0f);
    MorphGrayState* state = nullptr;
    EXPECT_EQ(zaliMorphGrayInitAlloc_32f_C1R(&state, ImageSize{0, 4}, k.data(), ImageSize{3, 2}, ImagePoint{5, 0}), StatusSizeError);
    EXPECT_EQ(zaliMorphGrayInitAlloc_32f_C1R(&state, ImageSize{4, 4}, k.data(), ImageSize{3, 2}, ImagePoint{0, 2}), StatusAnchorError);
    ASSERT_EQ(zaliMorphGrayInitAlloc_32f_C1R(&state, ImageSize{4, 3}, k.data(), ImageSize{3, 2}, ImagePoint{0, 0}), StatusOk);
    GuardedImage<float> src(4, 4), dst(4, 4);
    const int ss = src.step(), ds = dst.step();
    EXPECT_EQ(zaliGrayDilateBorder_32f_C1R(src.data(), 18, dst.data(), 16, ImageSize{4, 3}, 0, state), StatusStepAlignmentError);
    EXPECT_EQ(zaliGrayErodeBorder_32f_C1R(src.data(), ss, dst.data(), ds, ImageSize{4, 3}, 3, state), StatusBadArgument);
    // Taller than at construction, though narrower.
    EXPECT_EQ(zaliGrayErodeBorder_32f_C1R(src.data(), ss, dst.data(), ds, ImageSize{2, 4}, 1, state), StatusSizeError);
    zaliMorphGrayFree_32f_C1R(state);
}

}  // namespace
