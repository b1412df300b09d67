// Sobel-type kernel generator: the coefficients of (1 + z)^(N-1-dx) *
// (z - 1)^dx in ascending powers of z, built in place by repeated
// neighbour sums (smoothing) and differences (differencing).
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "filter/exports.h"
#include "filter/ops.h"

namespace zal::filter {
namespace {

// 16-bit taps wrap like two's-complement 16-bit arithmetic for long kernels.
template <class T>
T add(T a, T b) {
    if constexpr (std::is_same_v<T, int16_t>) return static_cast<int16_t>(static_cast<uint16_t>(a + b));
    else return a + b;
}
template <class T>
T sub(T a, T b) {
    if constexpr (std::is_same_v<T, int16_t>) return static_cast<int16_t>(static_cast<uint16_t>(a - b));
    else return a - b;
}
template <class T>
T negate(T a) {
    if constexpr (std::is_same_v<T, int16_t>) return static_cast<int16_t>(static_cast<uint16_t>(-a));
    else return 0.0f - a;
}

template <class T>
StatusCode genSobelKernel(T* pDst, int kernelSize, int dx, int sign) {
    ZAL_CHECK(requireNonNull(pDst));
    ZAL_CHECK(failIf(kernelSize < 1 || kernelSize % 2 == 0 || dx < 0 || dx >= kernelSize, StatusSizeError));
    sobelKernel(pDst, kernelSize, dx, sign);
    return StatusOk;
}

}  // namespace

template <class T>
void sobelKernel(T* dst, int n, int dx, int sign) {
    for (int j = 0; j < n - 1; ++j) dst[j] = T(0);
    dst[n - 1] = T(1);
    for (int i = 1; i <= n - dx - 1; ++i)
        for (int j = n - i - 1; j <= n - 2; ++j) dst[j] = add(dst[j], dst[j + 1]);
    for (int i = n - dx; i <= n - 1; ++i)
        for (int j = n - i - 1; j <= n - 2; ++j) dst[j] = sub(dst[j], dst[j + 1]);
    if (sign < 0)
        for (int j = 0; j < n; ++j) dst[j] = negate(dst[j]);
}

}  // namespace zal::filter

#define ZAL_SOBEL_KERNEL(name, T)                                                   \
    ZAL_DECLARED(name);                                                             \
    template void zal::filter::sobelKernel<T>(T*, int, int, int);                   \
    extern "C" StatusCode name(T* pDst, int kernelSize, int dx, int sign) {         \
        return zal::filter::genSobelKernel<T>(pDst, kernelSize, dx, sign);          \
    }
ZAL_FILTER_SOBEL_KERNEL(ZAL_SOBEL_KERNEL)
