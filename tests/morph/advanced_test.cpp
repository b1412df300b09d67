// Opening, closing, top-hat, black-hat and gradient against compositions of
// a brute-force flat dilation/erosion with replicated border.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

namespace {

// Plain images as row-major vectors of w * h * c values.
template <class T>
struct Plain {
    int w, h, c;
    std::vector<T> v;
    T at(int x, int y, int k) const { return v[(static_cast<std::size_t>(y) * w + x) * c + k]; }
};

template <class T>
Plain<T> flat(const Plain<T>& src, const std::vector<uint8_t>& mask, ImageSize ms, ImagePoint a, bool dilate) {
    Plain<T> out = src;
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x)
            for (int k = 0; k < src.c; ++k) {
                bool any = false;
                T best{};
                for (int j = 0; j < ms.height; ++j)
                    for (int i = 0; i < ms.width; ++i) {
                        if (!mask[j * ms.width + i]) continue;
                        const T v = src.at(std::clamp(x + i - a.x, 0, src.w - 1), std::clamp(y + j - a.y, 0, src.h - 1), k);
                        best = !any ? v : dilate ? std::max(best, v) : std::min(best, v);
                        any = true;
                    }
                out.v[(static_cast<std::size_t>(y) * src.w + x) * src.c + k] = any ? best : src.at(x, y, k);
            }
    return out;
}

template <class T>
Plain<T> minus(const Plain<T>& a, const Plain<T>& b) {
    Plain<T> out = a;
    for (std::size_t i = 0; i < a.v.size(); ++i) out.v[i] = a.v[i] > b.v[i] ? T(a.v[i] - b.v[i]) : T(0);
    return out;
}

template <class T>
using OpFn = StatusCode (*)(const T*, int, T*, int, ImageSize, int, MorphAdvState*);

template <class T>
struct AdvMembers {
    int channels;
    StatusCode (*initAlloc)(MorphAdvState**, ImageSize, const uint8_t*, ImageSize, ImagePoint);
    StatusCode (*init)(MorphAdvState*, ImageSize, const uint8_t*, ImageSize, ImagePoint);
    StatusCode (*getSize)(ImageSize, const uint8_t*, ImageSize, int*);
    OpFn<T> open, close, tophat, blackhat, gradient;
};

#define MEMBERS(t, c)                                                                                        \
    {c, zaliMorphAdvInitAlloc_##t##_C##c##R, zaliMorphAdvInit_##t##_C##c##R, zaliMorphAdvGetSize_##t##_C##c##R, \
     zaliMorphOpenBorder_##t##_C##c##R, zaliMorphCloseBorder_##t##_C##c##R, zaliMorphTophatBorder_##t##_C##c##R, \
     zaliMorphBlackhatBorder_##t##_C##c##R, zaliMorphGradientBorder_##t##_C##c##R}
const AdvMembers<uint8_t> k8u[] = {MEMBERS(8u, 1), MEMBERS(8u, 3), MEMBERS(8u, 4)};
const AdvMembers<float> k32f[] = {MEMBERS(32f, 1), MEMBERS(32f, 3), MEMBERS(32f, 4)};
#undef MEMBERS

template <class T>
void checkAll(const AdvMembers<T>& m, const std::vector<uint8_t>& mask, ImageSize ms, ImagePoint a, ImageSize stateRoi,
              ImageSize roi, bool callerMemory, unsigned seed) {
    MorphAdvState* state = nullptr;
    std::vector<uint8_t> block;
    if (callerMemory) {
        int size = 0;
        ASSERT_EQ(m.getSize(stateRoi, mask.data(), ms, &size), StatusOk);
        block.assign(static_cast<std::size_t>(size) + 32, 0xEE);
        state = reinterpret_cast<MorphAdvState*>(block.data() + (32 - reinterpret_cast<uintptr_t>(block.data()) % 32) % 32);
        ASSERT_EQ(m.init(state, stateRoi, mask.data(), ms, a), StatusOk);
    } else {
        ASSERT_EQ(m.initAlloc(&state, stateRoi, mask.data(), ms, a), StatusOk);
    }
    GuardedImage<T> src(roi.width, roi.height, m.channels);
    zaltest::Lcg rng(seed);
    src.fill([&](int, int, int) { return static_cast<T>(rng.uniform(0, 255)); });
    const Plain<T> p{roi.width, roi.height, m.channels, src.pixels()};
    const ImagePoint ra{ms.width - 1 - a.x, ms.height - 1 - a.y};
    std::vector<uint8_t> reflected(mask.rbegin(), mask.rend());
    const Plain<T> eroded = flat(p, mask, ms, a, false), dilated = flat(p, mask, ms, a, true);
    const Plain<T> opened = flat(eroded, reflected, ms, ra, true), closed = flat(dilated, reflected, ms, ra, false);
    const std::pair<OpFn<T>, Plain<T>> cases[] = {
        {m.open, opened}, {m.close, closed}, {m.tophat, minus(p, opened)},
        {m.blackhat, minus(closed, p)}, {m.gradient, minus(dilated, eroded)},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        GuardedImage<T> dst(roi.width, roi.height, m.channels);
        ASSERT_EQ(cases[k].first(src.data(), src.step(), dst.data(), dst.step(), roi, 1, state), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        EXPECT_EQ(dst.pixels(), cases[k].second.v) << "operation " << k;
    }
    if (!callerMemory) {
        EXPECT_EQ(zaliMorphAdvFree(state), StatusOk);
    }
}

std::vector<uint8_t> ones(int n) { return std::vector<uint8_t>(static_cast<std::size_t>(n), 1); }

TEST(MorphAdvanced, MatchesCompositions) {
    const std::vector<uint8_t> cross = {0, 1, 0, 1, 1, 1, 0, 1, 0};
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
    }
}

TEST(MorphAdvanced, EmptyMaskCopiesAndZeroes) {
    const std::vector<uint8_t> zeros(6, 0);
    for (bool callerMemory : {false, true}) {
        checkAll(k8u[0], zeros, {3, 2}, {2, 1}, {5, 4}, {5, 4}, callerMemory, 3);
        checkAll(k32f[2], zeros, {3, 2}, {0, 0}, {5, 4}, {5, 4}, callerMemory, 4);
    }
}

TEST(MorphAdvanced, ChecksInOrder) {
    const std::vector<uint8_t> mask = ones(9);
    MorphAdvState* state = nullptr;
    int size = 0;
    EXPECT_EQ(zaliMorphAdvGetSize_8u_C1R({4, 0}, nullptr, {3, 3}, nullptr), StatusSizeError);
    EXPECT_EQ(zaliMorphAdvGetSize_8u_C1R({4, 3}, nullptr, {3, 3}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphAdvGetSize_8u_C1R({4, 3}, nullptr, {3, 3}, &size), StatusNullPointer);
    EXPECT_EQ(zaliMorphAdvGetSize_8u_C1R({0, 3}, mask.data(), {3, 3}, &size), StatusSizeError);
    EXPECT_EQ(zaliMorphAdvInit_8u_C1R(nullptr, {4, 0}, mask.data(), {3, 3}, {1, 1}), StatusSizeError);
    EXPECT_EQ(zaliMorphAdvInit_8u_C1R(nullptr, {4, 3}, mask.data(), {3, 3}, {1, 1}), StatusNullPointer);
    EXPECT_EQ(zaliMorphAdvInitAlloc_8u_C1R(nullptr, {4, 0}, mask.data(), {3, 3}, {1, 1}), StatusNullPointer);
    EXPECT_EQ(zaliMorphAdvInitAlloc_8u_C1R(&state, {4, 3}, mask.data(), {3, 3}, {3, 1}), StatusAnchorError);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(zaliMorphAdvFree(nullptr), StatusNullPointer);

    ASSERT_EQ(zaliMorphAdvInitAlloc_32f_C1R(&state, {4, 3}, mask.data(), {3, 3}, {1, 1}), StatusOk);
    GuardedImage<float> src(4, 4), dst(4, 4);
    const ImageSize roi{4, 3};
    EXPECT_EQ(zaliMorphOpenBorder_32f_C1R(nullptr, 16, dst.data(), 16, {0, 0}, 0, state), StatusNullPointer);
    EXPECT_EQ(zaliMorphOpenBorder_32f_C1R(src.data(), 16, dst.data(), 16, {0, 3}, 0, state), StatusSizeError);
    EXPECT_EQ(zaliMorphOpenBorder_32f_C1R(src.data(), 12, dst.data(), 18, roi, 0, state), StatusStepError);
    EXPECT_EQ(zaliMorphOpenBorder_32f_C1R(src.data(), 16, dst.data(), 18, roi, 0, state), StatusStepAlignmentError);
    EXPECT_EQ(zaliMorphCloseBorder_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 2, state), StatusBadArgument);
    EXPECT_EQ(zaliMorphTophatBorder_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), {5, 3}, 1, state), StatusSizeError);
    EXPECT_EQ(zaliMorphGradientBorder_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), {4, 4}, 1, state), StatusSizeError);
    EXPECT_TRUE(dst.guardsIntact());
    for (float p : dst.pixels()) EXPECT_EQ(p, 0.0f);
    EXPECT_EQ(zaliMorphBlackhatBorder_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, 1, state), StatusOk);
    EXPECT_EQ(zaliMorphBlackhatBorder_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), {1, 3}, 1, state), StatusOk);
    zaliMorphAdvFree(state);
}

}  // namespace
