// Standard chamfer weights for the C, L1 and L2 metrics with 3x3 and 5x5
// masks: straight step, diagonal step and (5x5) knight step.
#include <cstdint>

#include "core/checks.h"

namespace zal {
namespace {

// Rows: kernel 3 then 5; columns: norm C, L1, L2. 3x3 rows use two weights.
constexpr int32_t kIntegerWeights[2][3][3] = {
    {{1, 1, 0}, {1, 2, 0}, {2, 3, 0}},
    {{1, 1, 2}, {1, 2, 3}, {5, 7, 11}},
};
constexpr float kFloatWeights[2][3][3] = {
    {{1.0f, 1.0f, 0.0f}, {1.0f, 2.0f, 0.0f}, {0.955f, 1.3693f, 0.0f}},
    {{1.0f, 1.0f, 2.0f}, {1.0f, 2.0f, 3.0f}, {1.0f, 1.4f, 2.1969f}},
};

template <class W>
StatusCode distanceTransformMask(int kernelSize, int norm, W* pMetrics, const W (&table)[2][3][3]) {
    ZAL_CHECK(requireNonNull(pMetrics));
    ZAL_CHECK(failIf(kernelSize != 3 && kernelSize != 5, StatusSizeError));
    ZAL_CHECK(failIf(norm < 0 || norm > 2, StatusBadArgument));
    const int row = kernelSize == 3 ? 0 : 1;
    for (int i = 0; i < kernelSize / 2 + 1; ++i) pMetrics[i] = table[row][norm][i];
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zaliGetDistanceTransformMask_32s(int kernelSize, int norm, int32_t* pMetrics) {
    return zal::distanceTransformMask(kernelSize, norm, pMetrics, zal::kIntegerWeights);
}

StatusCode zaliGetDistanceTransformMask_32f(int kernelSize, int norm, float* pMetrics) {
    return zal::distanceTransformMask(kernelSize, norm, pMetrics, zal::kFloatWeights);
}

// maskType = kernelSize * 10 + norm; the norm digit is validated first.
StatusCode zaliGetDistanceTransformMask(int maskType, float* pMetrics) {
    const int norm = maskType % 10;
    ZAL_CHECK(zal::failIf(norm < 0 || norm > 2, StatusBadArgument));
    return zaliGetDistanceTransformMask_32f(maskType / 10, norm, pMetrics);
}

}  // extern "C"
