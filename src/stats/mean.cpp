// Mean of the selected pixels of one channel under an 8-bit mask.
#include <cstdint>
#include <type_traits>

#include "core/export.h"
#include "stats/exports.h"
#include "stats/internal.h"
#include "stats/masked_sums.h"

namespace zal::stats {

template <class T, int Channels>
double mean(Plane<T, Channels> src, Image<const uint8_t> mask) {
    const ImageSize roi{src.width(), src.height()};
    // Published gate, kept for compatibility (it fixes the banding of 32f sums).
    const Sums<T> s = sumPlane<T, Channels, true, false>(src, mask, goesParallel(Gate::T17, roi));
    // An empty selection has mean 0.0 and is not an error.
    return s.count == 0 ? 0.0 : static_cast<double>(s.sum) / static_cast<double>(s.count);
}

namespace {

template <class T, int Channels>
StatusCode meanChecked(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roi, int coi,
                       double* pMean) {
    ZAL_CHECK(requireNonNull(pSrc, pMask, pMean));
    // The 16u members test the source alignment before the mask length.
    ZAL_CHECK((checkSourceAndMask<T, Channels, true>(roi, srcStep, maskStep, coi, std::is_same_v<T, uint16_t>)));
    *pMean = mean<T, Channels>(Plane<T, Channels>(pSrc, srcStep, roi, coi), image(pMask, maskStep, roi));
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

#define ZAL_MEAN_INSTANCE(T, C) \
    template double zal::stats::mean<T, C>(zal::stats::Plane<T, C>, zal::Image<const uint8_t>)
#define ZAL_MEAN_C1M(name, T)                                                                                  \
    ZAL_DECLARED(name);                                                                                        \
    ZAL_MEAN_INSTANCE(T, 1);                                                                                   \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                               double* pMean) {                                                                \
        return zal::stats::meanChecked<T, 1>(pSrc, srcStep, pMask, maskStep, roiSize, 1, pMean);               \
    }
#define ZAL_MEAN_C3M(name, T)                                                                                  \
    ZAL_DECLARED(name);                                                                                        \
    ZAL_MEAN_INSTANCE(T, 3);                                                                                   \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                               int coi, double* pMean) {                                                       \
        return zal::stats::meanChecked<T, 3>(pSrc, srcStep, pMask, maskStep, roiSize, coi, pMean);             \
    }
ZAL_STATS_MEAN_C1M(ZAL_MEAN_C1M)
ZAL_STATS_MEAN_C3M(ZAL_MEAN_C3M)
