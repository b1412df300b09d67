// Mean of the selected pixels of one channel under an 8-bit mask.
#include <cstdint>
#include <type_traits>

#include "stats/internal.h"
#include "stats/masked_sums.h"

namespace zal::stats {
namespace {

template <class T, int Channels>
StatusCode maskedMean(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roi, int coi,
                      double* pMean) {
    ZAL_CHECK(requireNonNull(pSrc, pMask, pMean));
    // The 16u members test the source alignment before the mask length.
    ZAL_CHECK((checkSourceAndMask<T, Channels, true>(roi, srcStep, maskStep, coi, std::is_same_v<T, uint16_t>)));
    const Plane<T, Channels> src(pSrc, srcStep, roi, coi);
    const Image<const uint8_t> mask(pMask, maskStep, roi);
    const Sums<T> s = sumPlane<T, Channels, true, false>(src, mask, goesParallel(Gate::T17, roi));
    // An empty selection has mean 0.0 and is not an error.
    *pMean = s.count == 0 ? 0.0 : static_cast<double>(s.sum) / static_cast<double>(s.count);
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

extern "C" {

#define ZAL_MEAN_C1MR(t, T)                                                                                       \
    StatusCode zaliMean_##t##_C1MR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                                   double* pMean) {                                                               \
        return zal::stats::maskedMean<T, 1>(pSrc, srcStep, pMask, maskStep, roiSize, 1, pMean);                   \
    }
#define ZAL_MEAN_C3CMR(t, T)                                                                                       \
    StatusCode zaliMean_##t##_C3CMR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,                \
                                    ImageSize roiSize, int coi, double* pMean) {                                   \
        return zal::stats::maskedMean<T, 3>(pSrc, srcStep, pMask, maskStep, roiSize, coi, pMean);                  \
    }

ZAL_MEAN_C1MR(8u, uint8_t)
ZAL_MEAN_C1MR(8s, int8_t)
ZAL_MEAN_C1MR(16u, uint16_t)
ZAL_MEAN_C1MR(32f, float)
ZAL_MEAN_C3CMR(8u, uint8_t)
ZAL_MEAN_C3CMR(8s, int8_t)
ZAL_MEAN_C3CMR(16u, uint16_t)
ZAL_MEAN_C3CMR(32f, float)

}  // extern "C"
