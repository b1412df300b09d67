// Fast arctangent in degrees (0..360) of vectors (x, y) with about 0.14 degree
// accuracy: an octant code selects a base angle and a sign, and a quadratic
// in t = min(|x|, |y|) / max(|x|, |y|) supplies the offset inside the octant.
#include <cmath>
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "feature/internal.h"
#include "feature/ops.h"

// Octant tables, indexed by k = 4 * signbit(y) + 2 * signbit(x) + (|y| > |x|).
extern "C" {
const float _zlcvAtanTab[8] = {-0.14050041139125824f, 90.1405029296875f,  180.1405029296875f, 89.8594970703125f,
                               360.1405029296875f,    269.8594970703125f, 179.8594970703125f, 270.1405029296875f};
const float _zlcvAtanSign[8] = {1.0f, -1.0f, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, -1.0f};
}

namespace zal::feature {
namespace {

constexpr int kGroup = 4;

// One group of four elements. The four ratios share one double-precision
// reciprocal of the product of their denominators: t[i] is the numerator
// times the other three denominators times that reciprocal.
void arctanGroup(const float* y, const float* x, float* dst, int count) {
    double num[kGroup], den[kGroup];
    int octant[kGroup];
    for (int i = 0; i < kGroup; ++i) {
        // Padding elements of the last group are (1, 1): their denominators
        // are 1 and their results are dropped.
        const float yi = i < count ? y[i] : 1.0f;
        const float xi = i < count ? x[i] : 1.0f;
        const float ax = std::fabs(xi), ay = std::fabs(yi);
        int k = (std::signbit(yi) ? 4 : 0) + (std::signbit(xi) ? 2 : 0) + (ay > ax ? 1 : 0);
        if (ax == 0.0f && ay == 0.0f) k = 0;
        const float hi = ax > ay ? ax : ay;
        num[i] = ax < ay ? ax : ay;
        den[i] = hi == 0.0f ? 1.0 : static_cast<double>(hi);
        octant[i] = k;
    }
    const double reciprocal = 1.0 / (den[0] * den[1] * den[2] * den[3]);
    const double others[kGroup] = {den[1] * den[2] * den[3], den[0] * den[2] * den[3], den[0] * den[1] * den[3],
                                   den[0] * den[1] * den[2]};
    for (int i = 0; i < count; ++i) {
        const double t = num[i] * others[i] * reciprocal;
        const double p = t * (61.09419631958008 - 15.813189506530762 * t);
        const int k = octant[i];
        dst[i] = static_cast<float>(static_cast<double>(_zlcvAtanTab[k]) + static_cast<double>(_zlcvAtanSign[k]) * p);
    }
}

}  // namespace

void fastArctan(const float* y, const float* x, float* dst, int len) {
    for (int i = 0; i < len; i += kGroup) {
        const int count = len - i < kGroup ? len - i : kGroup;
        arctanGroup(y + i, x + i, dst + i, count);
    }
}

}  // namespace zal::feature

ZAL_DECLARED(zalibFastArctan_32f);
extern "C" StatusCode zalibFastArctan_32f(const float* pSrcY, const float* pSrcX, float* pDst, int len) {
    ZAL_CHECK(zal::requireNonNull(pSrcY, pSrcX, pDst));
    ZAL_CHECK(zal::requireLength(len));
    zal::feature::fastArctan(pSrcY, pSrcX, pDst, len);
    return StatusOk;
}
