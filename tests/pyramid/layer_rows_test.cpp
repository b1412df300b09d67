// General pyramid layers across row widths: the vector row passes meet the
// reflected border at either end of a row and sum several vectors side by
// side in the middle; every target must give the bits of the scalar one.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;

template <class T>
using Kernel = std::conditional_t<std::is_same_v<T, float>, float, int16_t>;

template <class T>
StatusCode runLayer(bool up, int C, const GuardedImage<T>& src, GuardedImage<T>& dst, float rate, const Kernel<T>* k,
                    int n) {
    PyramidLayerState* st = nullptr;
    StatusCode s;
    if constexpr (std::is_same_v<T, float>) {
        auto init = up ? (C == 1 ? zaliPyramidLayerUpInitAlloc_32f_C1R : zaliPyramidLayerUpInitAlloc_32f_C3R)
                       : (C == 1 ? zaliPyramidLayerDownInitAlloc_32f_C1R : zaliPyramidLayerDownInitAlloc_32f_C3R);
        auto run = up ? (C == 1 ? zaliPyramidLayerUp_32f_C1R : zaliPyramidLayerUp_32f_C3R)
                      : (C == 1 ? zaliPyramidLayerDown_32f_C1R : zaliPyramidLayerDown_32f_C3R);
        s = init(&st, src.roi(), rate, k, n, 2);
        if (s >= 0) s = run(src.data(), src.step(), src.roi(), dst.data(), dst.step(), dst.roi(), st);
    } else {
        auto init = up ? (C == 1 ? zaliPyramidLayerUpInitAlloc_8u_C1R : zaliPyramidLayerUpInitAlloc_8u_C3R)
                       : (C == 1 ? zaliPyramidLayerDownInitAlloc_8u_C1R : zaliPyramidLayerDownInitAlloc_8u_C3R);
        auto run = up ? (C == 1 ? zaliPyramidLayerUp_8u_C1R : zaliPyramidLayerUp_8u_C3R)
                      : (C == 1 ? zaliPyramidLayerDown_8u_C1R : zaliPyramidLayerDown_8u_C3R);
        s = init(&st, src.roi(), rate, k, n, 2);
        if (s >= 0) s = run(src.data(), src.step(), src.roi(), dst.data(), dst.step(), dst.roi(), st);
    }
    if (st) zaliPyramidLayerDownFree(st);
    return s;
}

template <class T>
GuardedImage<T> randomImage(int w, int h, int C, uint32_t seed) {
    GuardedImage<T> img(w, h, C);
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) {
        if constexpr (std::is_same_v<T, float>) return rng.uniformf(-20.0f, 300.0f);
        else return static_cast<T>(rng.uniform(0, 255));
    });
    return img;
}

// Widths around the vector lengths of every target, with the border's
// reach of 1, 2 and 4 pixels; one and three channels; down and up.
template <class T>
void sameOnEveryTargetAcrossWidths() {
    const Kernel<T> k3[] = {2, 5, 2}, k5[] = {-1, 3, 10, 3, -1}, k9[] = {1, 2, 3, 4, 6, 4, 3, 2, 1};
    const struct {
        const Kernel<T>* k;
        int n;
    } kernels[] = {{k3, 3}, {k5, 5}, {k9, 9}};
    for (const auto& ker : kernels)
        for (int C : {1, 3})
            for (int w : {ker.n + 1, 17, 31, 33, 47, 64, 65, 97})
                for (float rate : {1.5f, 2.0f})
                    for (bool up : {false, true}) {
                        const GuardedImage<T> src = randomImage<T>(w, 13, C, static_cast<uint32_t>(w * 7 + ker.n));
                        ImageSize d, lo;
                        if (up) zaliGetPyramidUpROI(src.roi(), &lo, &d, rate);
                        else zaliGetPyramidDownROI(src.roi(), &d, rate);
                        std::vector<std::vector<T>> results;
                        zaltest::forEachSimdTarget([&] {
                            GuardedImage<T> dst(d.width, d.height, C);
                            ASSERT_EQ(runLayer<T>(up, C, src, dst, rate, ker.k, ker.n), StatusOk);
                            EXPECT_TRUE(dst.guardsIntact());
                            results.push_back(dst.pixels());
                        });
                        for (const auto& r : results)
                            ASSERT_EQ(r, results.front()) << "taps " << ker.n << " C " << C << " width " << w
                                                          << " rate " << rate << " up " << up;
                    }
}

TEST(PyramidLayerRows, EveryTargetAgreesAcrossWidths) {
    sameOnEveryTargetAcrossWidths<uint8_t>();
    sameOnEveryTargetAcrossWidths<float>();
}

// At rates just below 2 the down size can reach one column (row) past half
// the source: that column samples the smoothed image at 2x = width, which
// takes the reflected column 2x - 2, as the row past the bottom takes the
// reflected row. The result never depends on what the work rows held before.
template <class T>
void lastColumnReflects(int C) {
    const Kernel<T> k[] = {1, 4, 6, 4, 1};
    const GuardedImage<T> src = randomImage<T>(180, 6, C, 11);
    ImageSize d;
    ASSERT_EQ(zaliGetPyramidDownROI(src.roi(), &d, 1.99999f), StatusOk);
    ASSERT_TRUE(d.width == 91 && d.height == 4) << d.width << "x" << d.height;
    zaltest::forEachSimdTarget([&] {
        GuardedImage<T> dst(d.width, d.height, C);
        ASSERT_EQ(runLayer<T>(false, C, src, dst, 1.99999f, k, 5), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        for (int c = 0; c < C; ++c) {
            for (int y = 0; y < d.height; ++y) ASSERT_EQ(dst.at(90, y, c), dst.at(89, y, c)) << y;
            for (int x = 0; x < d.width; ++x) ASSERT_EQ(dst.at(x, 3, c), dst.at(x, 2, c)) << x;
        }
    });
}

TEST(PyramidLayerRows, RateJustBelowTwoReflectsTheLastColumnAndRow) {
    for (int C : {1, 3}) {
        lastColumnReflects<uint8_t>(C);
        lastColumnReflects<float>(C);
    }
}

}  // namespace
