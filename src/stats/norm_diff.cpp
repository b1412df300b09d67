// Masked norms of the difference of two images.
// Each line: kind, type, then the thread gates of the C1MR and C3CMR members.
#include "stats/norm_kernel.h"

using zal::stats::Gate;
using zal::stats::NormKind;
using zal::stats::NormOf;

extern "C" {

#define ZAL_NORM_DIFF(K, t, T, gateC1, gateC3)                                                                        \
    StatusCode zaliNormDiff_##K##_##t##_C1MR(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step,              \
                                             const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue) { \
        return zal::stats::norm<NormKind::K, NormOf::Difference, T, 1, Gate::gateC1>(                                 \
            pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, 1, pValue);                                   \
    }                                                                                                                 \
    StatusCode zaliNormDiff_##K##_##t##_C3CMR(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step,             \
                                              const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi,         \
                                              double* pValue) {                                                       \
        return zal::stats::norm<NormKind::K, NormOf::Difference, T, 3, Gate::gateC3>(                                 \
            pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, coi, pValue);                                 \
    }

ZAL_NORM_DIFF(Inf, 8u, uint8_t, Never, Never)
ZAL_NORM_DIFF(Inf, 8s, int8_t, Never, Never)
ZAL_NORM_DIFF(Inf, 16u, uint16_t, Never, Never)
ZAL_NORM_DIFF(Inf, 32f, float, Never, Never)
ZAL_NORM_DIFF(L1, 8u, uint8_t, T17Multi, T17)
ZAL_NORM_DIFF(L1, 8s, int8_t, T17Multi, T15Multi)
ZAL_NORM_DIFF(L1, 16u, uint16_t, T17, T15Multi)
ZAL_NORM_DIFF(L1, 32f, float, Never, Never)
ZAL_NORM_DIFF(L2, 8u, uint8_t, T17Multi, T17)
ZAL_NORM_DIFF(L2, 8s, int8_t, T17Multi, T17)
ZAL_NORM_DIFF(L2, 16u, uint16_t, T17, T15MultiOrT17)
ZAL_NORM_DIFF(L2, 32f, float, Never, Never)

}  // extern "C"
