// Masked norms of one image channel.
// Each line: kind, type, then the thread gates of the C1MR and C3CMR members.
#include "stats/norm_kernel.h"

using zal::stats::Gate;
using zal::stats::NormKind;
using zal::stats::NormOf;

extern "C" {

#define ZAL_NORM(K, t, T, gateC1, gateC3)                                                                            \
    StatusCode zaliNorm_##K##_##t##_C1MR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,             \
                                         ImageSize roiSize, double* pValue) {                                        \
        return zal::stats::norm<NormKind::K, NormOf::Image, T, 1, Gate::gateC1>(pSrc, srcStep, pSrc, srcStep, pMask, \
                                                                                maskStep, roiSize, 1, pValue);       \
    }                                                                                                                \
    StatusCode zaliNorm_##K##_##t##_C3CMR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,            \
                                          ImageSize roiSize, int coi, double* pValue) {                              \
        return zal::stats::norm<NormKind::K, NormOf::Image, T, 3, Gate::gateC3>(pSrc, srcStep, pSrc, srcStep, pMask, \
                                                                                maskStep, roiSize, coi, pValue);     \
    }

ZAL_NORM(Inf, 8u, uint8_t, T19, T17)
ZAL_NORM(Inf, 8s, int8_t, T19, T17)
ZAL_NORM(Inf, 16u, uint16_t, T19, T17)
ZAL_NORM(Inf, 32f, float, T17, T15)
ZAL_NORM(L1, 8u, uint8_t, T17Multi, T17)
ZAL_NORM(L1, 8s, int8_t, T17Multi, T17)
ZAL_NORM(L1, 16u, uint16_t, T17, T17)
ZAL_NORM(L1, 32f, float, T17, T17)
ZAL_NORM(L2, 8u, uint8_t, T17Multi, T15MultiOrT17)
ZAL_NORM(L2, 8s, int8_t, T17Multi, T15MultiOrT17)
ZAL_NORM(L2, 16u, uint16_t, T17, T15MultiOrT17)
ZAL_NORM(L2, 32f, float, T17, T15MultiOrT17)

}  // extern "C"
