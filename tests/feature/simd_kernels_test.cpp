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

// The fast arctangent as described: groups of four sharing one reciprocal,
// the last group padded with (1, 1).
std::vector<float> referenceArctan(const std::vector<float>& y, const std::vector<float>& x) {
    static const float tab[8] = {-0.14050041139125824f, 90.1405029296875f,  180.1405029296875f, 89.8594970703125f,
                                 360.1405029296875f,    269.8594970703125f, 179.8594970703125f, 270.1405029296875f};
    static const float sign[8] = {1, -1, -1, 1, -1, 1, 1, -1};
    std::vector<float> out(y.size());
    for (std::size_t g = 0; g < y.size(); g += 4) {
        double num[4], den[4];
        int k[4];
        for (std::size_t i = 0; i < 4; ++i) {
            const float yi = g + i < y.size() ? y[g + i] : 1.0f, xi = g + i < y.size() ? x[g + i] : 1.0f;
            const float ax = std::fabs(xi), ay = std::fabs(yi);
            k[i] = ax == 0 && ay == 0 ? 0 : 4 * std::signbit(yi) + 2 * std::signbit(xi) + (ay > ax);
            const float hi = ax > ay ? ax : ay;
            num[i] = ax < ay ? ax : ay;
            den[i] = hi == 0 ? 1.0 : hi;
        }
        const double r = 1.0 / (den[0] * den[1] * den[2] * den[3]);
        const double others[4] = {den[1] * den[2] * den[3], den[0] * den[2] * den[3], den[0] * den[1] * den[3],
                                  den[0] * den[1] * den[2]};
        for (std::size_t i = 0; i < 4 && g + i < y.size(); ++i) {
            const double t = num[i] * others[i] * r;
            const double p = t * (61.09419631958008 - 15.813189506530762 * t);
            out[g + i] = static_cast<float>(double(tab[k[i]]) + double(sign[k[i]]) * p);
        }
    }
    return out;
}

// Equal bits, or both NaN (the payload a NaN input leaves is not specified).
bool sameFloat(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

float drawComponent(zaltest::Lcg& rng) {
    static const float special[] = {0.0f, -0.0f, 1.0f, -1.0f, std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::denorm_min(), 3e38f, -1e-30f};
    const int pick = rng.uniform(0, 29);
    return pick < 10 ? special[pick] : rng.uniformf(-1000.0f, 1000.0f);
}

TEST(FeatureSimdKernels, FastArctanOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        zaltest::Lcg rng(11);
        // Every tail up to two AVX-512 chunks, then rows long enough for the
        // read-ahead to run past the current chunk.
        std::vector<int> lengths;
        for (int len = 1; len <= 140; len += len < 72 ? 1 : 17) lengths.push_back(len);
        lengths.insert(lengths.end(), {1087, 1088, 1089, 2500});
        for (const int len : lengths) {
            std::vector<float> y(len), x(len);
            for (int i = 0; i < len; ++i) y[i] = drawComponent(rng), x[i] = drawComponent(rng);
            const std::vector<float> want = referenceArctan(y, x);
            // Into a separate row one float past an odd start, and in place.
            std::vector<float> out(len + 1, 7.0f);
            ASSERT_EQ(zalibFastArctan_32f(y.data(), x.data(), out.data() + 1, len), StatusOk);
            std::vector<float> inPlace = x;
            ASSERT_EQ(zalibFastArctan_32f(y.data(), inPlace.data(), inPlace.data(), len), StatusOk);
            EXPECT_EQ(out[0], 7.0f);
            for (int i = 0; i < len; ++i) {
                ASSERT_TRUE(sameFloat(out[i + 1], want[i])) << "len " << len << " i " << i << ": " << out[i + 1] << " " << want[i];
                ASSERT_TRUE(sameFloat(inPlace[i], want[i])) << "len " << len << " i " << i;
            }
        }
    });
}

// The bits of every float of `img`.
std::vector<uint32_t> bitsOf(const zaltest::GuardedImage<float>& img) {
    std::vector<uint32_t> bits;
    for (const float v : img.pixels()) bits.push_back(std::bit_cast<uint32_t>(v));
    return bits;
}

// Runs a corner measure (MinEigenVal or EigenValsVecs) of both source types
// with the buffer their queries ask for; the output bits of both.
template <class Op8, class Op32, class Size8, class Size32>
std::vector<std::vector<uint32_t>> cornerBits(Op8 op8, Op32 op32, Size8 size8, Size32 size32, int values,
                                              const zaltest::GuardedImage<uint8_t>& src8,
                                              const zaltest::GuardedImage<float>& src32, DerivKernelType kern,
                                              int aperture, int window) {
    int bytes8 = 0, bytes32 = 0;
    EXPECT_EQ(size8(src8.roi(), aperture, window, &bytes8), StatusOk);
    EXPECT_EQ(size32(src32.roi(), aperture, window, &bytes32), StatusOk);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(std::max(bytes8, bytes32)));
    zaltest::GuardedImage<float> dst8(values * src8.width(), src8.height()), dst32(values * src8.width(), src8.height());
    EXPECT_EQ(op8(src8.data(), src8.step(), dst8.data(), dst8.step(), src8.roi(), kern, aperture, window, buffer.data()), StatusOk);
    EXPECT_EQ(op32(src32.data(), src32.step(), dst32.data(), dst32.step(), src32.roi(), kern, aperture, window, buffer.data()), StatusOk);
    EXPECT_TRUE(dst8.guardsIntact() && dst32.guardsIntact());
    return {bitsOf(dst8), bitsOf(dst32)};
}

// The corner measures (products of the derivatives, the smaller eigenvalue,
// the eigen decomposition with its branches as written) give the same bits
// on every target, the scalar one included, at widths around each vector
// width: flat columns (six zeros), columns whose tensor is diagonal (the
// axes) and noise (normalised eigenvectors) in every row.
TEST(FeatureSimdKernels, CornerMeasuresSameBitsOnEveryTarget) {
    struct Run { DerivKernelType kernType; int aperture, window; };
    const int ramp[6] = {0, 0, 1, -2, 2, -1};
    for (const int width : {1, 3, 4, 7, 8, 15, 16, 17, 31, 33, 50, 67})
        for (const Run& r : {Run{DerivKernelSobel, 3, 3}, Run{DerivKernelScharr, 3, 5}, Run{DerivKernelScharr, 3, 3}}) {
            zaltest::Lcg rng(8 + width);
            const auto pattern = [&](int x, int y) {
                if (x % 10 < 3) return 60;
                if (x % 10 < 7) return 100 + 10 * ramp[x % 6] + 3 * y;
                return rng.uniform(0, 255);
            };
            zaltest::GuardedImage<uint8_t> src8(width, 9);
            zaltest::GuardedImage<float> src32(width, 9);
            src8.fill([&](int x, int y, int) { return pattern(x, y); });
            src32.fill([&](int x, int y, int) { return x % 10 < 7 ? pattern(x, y) * 1.5f - 40.0f : rng.uniformf(-500, 500); });
            zaltest::expectSameOnEveryTarget([&] {
                auto bits = cornerBits(zaliMinEigenVal_8u32f_C1R, zaliMinEigenVal_32f_C1R, zaliMinEigenValGetBufferSize_8u32f_C1R,
                                       zaliMinEigenValGetBufferSize_32f_C1R, 1, src8, src32, r.kernType, r.aperture, r.window);
                for (auto& b : cornerBits(zaliEigenValsVecs_8u32f_C1R, zaliEigenValsVecs_32f_C1R, zaliEigenValsVecsGetBufferSize_8u32f_C1R,
                                          zaliEigenValsVecsGetBufferSize_32f_C1R, 6, src8, src32, r.kernType, r.aperture, r.window))
                    bits.push_back(std::move(b));
                return bits;
            }, (::testing::Message() << "width " << width << " kernel " << r.kernType << " window " << r.window).GetString());
        }
}

}  // namespace
