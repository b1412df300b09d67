// Standard chamfer weights for the C, L1 and L2 metrics with 3x3 and 5x5
// masks: straight step, diagonal step and (5x5) knight step.
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "region/exports.h"
#include "region/ops.h"

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
void copyRow(int kernelSize, int norm, W* weights, const W (&table)[2][3][3]) {
    const int row = kernelSize == 3 ? 0 : 1;
    for (int i = 0; i < kernelSize / 2 + 1; ++i) weights[i] = table[row][norm][i];
}

template <class W>
StatusCode distanceTransformMask(int kernelSize, int norm, W* pMetrics) {
    ZAL_CHECK(requireNonNull(pMetrics));
    ZAL_CHECK(failIf(kernelSize != 3 && kernelSize != 5, StatusSizeError));
    ZAL_CHECK(failIf(norm < 0 || norm > 2, StatusBadArgument));
    region::chamferMask(kernelSize, norm, pMetrics);
    return StatusOk;
}

}  // namespace

void region::chamferMask(int kernelSize, int norm, int32_t* weights) { copyRow(kernelSize, norm, weights, kIntegerWeights); }
void region::chamferMask(int kernelSize, int norm, float* weights) { copyRow(kernelSize, norm, weights, kFloatWeights); }

}  // namespace zal

#define ZAL_CHAMFER_MASK(name, W)                                      \
    ZAL_DECLARED(name);                                                \
    extern "C" StatusCode name(int kernelSize, int norm, W* pMetrics) { \
        return zal::distanceTransformMask(kernelSize, norm, pMetrics); \
    }
ZAL_REGION_CHAMFER_MASK(ZAL_CHAMFER_MASK)

// maskType = kernelSize * 10 + norm; the norm digit is validated first.
ZAL_DECLARED(zaliGetDistanceTransformMask);
extern "C" StatusCode zaliGetDistanceTransformMask(int maskType, float* pMetrics) {
    const int norm = maskType % 10;
    ZAL_CHECK(zal::failIf(norm < 0 || norm > 2, StatusBadArgument));
    return zal::distanceTransformMask(maskType / 10, norm, pMetrics);
}
