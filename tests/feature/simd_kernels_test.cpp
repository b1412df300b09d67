// The feature family's vector kernels on every SIMD target, bit for bit
// against per-element references or against each other: lengths and widths
// around each vector width (every tail), special values, rows at odd
// addresses.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "zalcv.h"

namespace {

// The corner measures (products of the derivatives, the smaller eigenvalue)
// give the same bits on every target, at widths around each vector width.
TEST(FeatureSimdKernels, CornerMeasuresSameBitsOnEveryTarget) {
    using zaltest::GuardedImage;
    struct Run { int kernType, aperture, window; };
    const Run runs[] = {{DerivKernelSobel, 3, 3}, {DerivKernelScharr, 3, 5}};
    std::vector<std::vector<float>> first;
    bool firstTarget = true;
    zaltest::forEachSimdTarget([&] {
        std::size_t next = 0;
        zaltest::Lcg rng(5);
        for (const int width : {1, 7, 16, 33, 67})
            for (const Run& r : runs) {
                GuardedImage<uint8_t> src8(width, 5);
                GuardedImage<float> src32(width, 5);
                src8.fill([&](int, int, int) { return rng.uniform(0, 255); });
                src32.fill([&](int, int, int) { return rng.uniformf(-500, 500); });
                GuardedImage<float> dst8(width, 5), dst32(width, 5);
                int size8 = 0, size32 = 0;
                ASSERT_EQ(zaliMinEigenValGetBufferSize_8u32f_C1R(src8.roi(), r.aperture, r.window, &size8), StatusOk);
                ASSERT_EQ(zaliMinEigenValGetBufferSize_32f_C1R(src32.roi(), r.aperture, r.window, &size32), StatusOk);
                std::vector<uint8_t> buffer(static_cast<std::size_t>(std::max(size8, size32)));
                ASSERT_EQ(zaliMinEigenVal_8u32f_C1R(src8.data(), src8.step(), dst8.data(), dst8.step(), src8.roi(),
                                                    static_cast<DerivKernelType>(r.kernType), r.aperture, r.window,
                                                    buffer.data()),
                          StatusOk);
                ASSERT_EQ(zaliMinEigenVal_32f_C1R(src32.data(), src32.step(), dst32.data(), dst32.step(), src32.roi(),
                                                  static_cast<DerivKernelType>(r.kernType), r.aperture, r.window,
                                                  buffer.data()),
                          StatusOk);
                for (const auto* dst : {&dst8, &dst32}) {
                    if (firstTarget) first.push_back(dst->pixels());
                    else ASSERT_EQ(dst->pixels(), first[next]) << "width " << width << " kernel " << r.kernType;
                    ++next;
                }
            }
        firstTarget = false;
    });
}

}  // namespace
