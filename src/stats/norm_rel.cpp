// Masked norms of the difference of two images relative to the norm of the second:
// a zero denominator gives NaN (0/0) or +infinity and the warning 6.
// Each line: kind, type, then the thread gates of the C1MR and C3CMR members.
#include "stats/norm_kernel.h"

using zal::stats::Gate;
using zal::stats::NormKind;
using zal::stats::NormOf;

extern "C" {

#define ZAL_NORM_REL(K, t, T, gateC1, gateC3)                                                                        \
    StatusCode zaliNormRel_##K##_##t##_C1MR(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step,              \
                                            const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue) { \
        return zal::stats::norm<NormKind::K, NormOf::Relative, T, 1, Gate::gateC1>(                                  \
            pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, 1, pValue);                                  \
    }                                                                                                                \
    StatusCode zaliNormRel_##K##_##t##_C3CMR(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step,             \
                                             const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi,         \
                                             double* pValue) {                                                       \
        return zal::stats::norm<NormKind::K, NormOf::Relative, T, 3, Gate::gateC3>(                                  \
            pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, coi, pValue);                                \
    }

ZAL_NORM_REL(Inf, 8u, uint8_t, T17Multi, T15MultiOrT17)
ZAL_NORM_REL(Inf, 8s, int8_t, T17Multi, T15MultiOrT17)
ZAL_NORM_REL(Inf, 16u, uint16_t, T17Multi, T15)
ZAL_NORM_REL(Inf, 32f, float, T15, T15)
ZAL_NORM_REL(L1, 8u, uint8_t, Never, T15MultiOrT17)
ZAL_NORM_REL(L1, 8s, int8_t, T17Multi, T15MultiOrT17)
ZAL_NORM_REL(L1, 16u, uint16_t, T15MultiOrT17, T15)
ZAL_NORM_REL(L1, 32f, float, Never, Never)
ZAL_NORM_REL(L2, 8u, uint8_t, T17, T15MultiOrT17)
ZAL_NORM_REL(L2, 8s, int8_t, T17, T15MultiOrT17)
ZAL_NORM_REL(L2, 16u, uint16_t, T15MultiOrT17, T15)
ZAL_NORM_REL(L2, 32f, float, Never, Never)

}  // extern "C"
