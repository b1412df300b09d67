// Sobel-type kernel generator: the coefficients of (1 + z)^(N-1-dx) *
// (z - 1)^dx in ascending powers of z, built in place by repeated
// neighbour sums (smoothing) and differences (differencing).
#include <cstdint>

#include "core/checks.h"

namespace zal {
namespace {

// 16-bit taps wrap like two's-complement 16-bit arithmetic for long kernels.
struct Taps16s {
    static int16_t add(int16_t a, int16_t b) { return static_cast<int16_t>(static_cast<uint16_t>(a + b)); }
    static int16_t sub(int16_t a, int16_t b) { return static_cast<int16_t>(static_cast<uint16_t>(a - b)); }
    static int16_t neg(int16_t a) { return static_cast<int16_t>(static_cast<uint16_t>(-a)); }
};
struct Taps32f {
    static float add(float a, float b) { return a + b; }
    static float sub(float a, float b) { return a - b; }
    static float neg(float a) { return 0.0f - a; }
};

template <class T, class Ops>
StatusCode genSobelKernel(T* pDst, int kernelSize, int dx, int sign) {
    ZAL_CHECK(requireNonNull(pDst));
    ZAL_CHECK(failIf(kernelSize < 1 || kernelSize % 2 == 0 || dx < 0 || dx >= kernelSize, StatusSizeError));
    const int n = kernelSize;
    for (int j = 0; j < n - 1; ++j) pDst[j] = T(0);
    pDst[n - 1] = T(1);
    for (int i = 1; i <= n - dx - 1; ++i)
        for (int j = n - i - 1; j <= n - 2; ++j) pDst[j] = Ops::add(pDst[j], pDst[j + 1]);
    for (int i = n - dx; i <= n - 1; ++i)
        for (int j = n - i - 1; j <= n - 2; ++j) pDst[j] = Ops::sub(pDst[j], pDst[j + 1]);
    if (sign < 0)
        for (int j = 0; j < n; ++j) pDst[j] = Ops::neg(pDst[j]);
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {
StatusCode zaliGenSobelKernel_16s(int16_t* pDst, int kernelSize, int dx, int sign) {
    return zal::genSobelKernel<int16_t, zal::Taps16s>(pDst, kernelSize, dx, sign);
}
StatusCode zaliGenSobelKernel_32f(float* pDst, int kernelSize, int dx, int sign) {
    return zal::genSobelKernel<float, zal::Taps32f>(pDst, kernelSize, dx, sign);
}
}  // extern "C"
