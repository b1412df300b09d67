// Sobel-type kernel generator: the coefficients of (1 + z)^(N-1-dx) (z - 1)^dx
// computed here by polynomial multiplication.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "zalcv.h"

namespace {

std::vector<long long> polynomialTaps(int n, int dx) {
    std::vector<long long> p{1};
    for (int f = 0; f < n - 1; ++f) {  // p *= (1 + z) first, then (z - 1)
        const long long c0 = f < n - 1 - dx ? 1 : -1;
        std::vector<long long> q(p.size() + 1, 0);
        for (std::size_t i = 0; i < p.size(); ++i) q[i] += c0 * p[i], q[i + 1] += p[i];
        p = q;
    }
    return p;
}

TEST(GenSobelKernel, CoefficientsOfTheBinomialProduct) {
    for (int n = 1; n <= 11; n += 2)
        for (int dx = 0; dx < n; ++dx)
            for (int sign : {1, 0, -1}) {
                std::vector<int16_t> k16(static_cast<std::size_t>(n), 99);
                std::vector<float> k32(static_cast<std::size_t>(n), 99.0f);
                ASSERT_EQ(zaliGenSobelKernel_16s(k16.data(), n, dx, sign), StatusOk);
                ASSERT_EQ(zaliGenSobelKernel_32f(k32.data(), n, dx, sign), StatusOk);
                const std::vector<long long> ref = polynomialTaps(n, dx);
                for (std::size_t i = 0; i < ref.size(); ++i) {
                    const long long want = sign < 0 ? -ref[i] : ref[i];
                    ASSERT_EQ(k16[i], want) << n << " " << dx << " " << sign << " tap " << i;
                    ASSERT_EQ(k32[i], static_cast<float>(want));
                }
            }
}

TEST(GenSobelKernel, RejectsEvenSizesAndOrdersOutOfRange) {
    int16_t k[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(zaliGenSobelKernel_16s(nullptr, 4, 9, 1), StatusNullPointer);
    EXPECT_EQ(zaliGenSobelKernel_16s(k, 4, 1, 1), StatusSizeError);
    EXPECT_EQ(zaliGenSobelKernel_16s(k, 5, 5, 1), StatusSizeError);
    EXPECT_EQ(zaliGenSobelKernel_16s(k, 5, -1, 1), StatusSizeError);
    EXPECT_EQ(std::vector<int16_t>(k, k + 8), std::vector<int16_t>(8, 7));
    // Long 16s kernels wrap like 16-bit integers: C(20, 10) = 184756.
    std::vector<int16_t> wide(21);
    ASSERT_EQ(zaliGenSobelKernel_16s(wide.data(), 21, 0, 1), StatusOk);
    EXPECT_EQ(wide[10], static_cast<int16_t>(184756 - 3 * 65536));
}

}  // namespace
