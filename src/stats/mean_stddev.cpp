// Mean and population standard deviation of one channel, optionally under an
// 8-bit mask. Either output pointer may be null; it is then not written.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "stats/internal.h"
#include "stats/masked_sums.h"

namespace zal::stats {
namespace {

template <class T, int Channels, bool Masked>
constexpr Gate meanStdDevGate() {
    if constexpr (std::is_same_v<T, float>) {
        if constexpr (Masked) return Gate::T17;
        else return Channels == 1 ? Gate::T16 : Gate::Never;
    } else {
        return std::is_same_v<T, uint8_t> && Channels == 1 && !Masked ? Gate::T17Multi : Gate::T17;
    }
}

// Sum of ((double)x - mean)^2 over the selected pixels of rows [begin, end),
// visited forwards or from the last row to the first.
template <int Channels, bool Masked>
double squaredDeviations(const Plane<float, Channels>& src, const Image<const uint8_t>& mask, double mean, int begin,
                         int end, bool reverse) {
    double d = 0.0;
    for (int i = begin; i < end; ++i) {
        const int y = reverse ? begin + end - 1 - i : i;
        const float* row = src.row(y);
        const uint8_t* m = Masked ? mask.row(y) : nullptr;
        for (int x = 0; x < src.img.width; ++x) {
            if (Masked && m[x] == 0) continue;
            const double e = static_cast<double>(row[static_cast<std::ptrdiff_t>(x) * Channels]) - mean;
            d += e * e;
        }
    }
    return d;
}

template <class T, int Channels, bool Masked>
StatusCode meanStdDev(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roi, int coi,
                      double* pMean, double* pStdDev) {
    ZAL_CHECK(requireInputs<Masked>(pMask, pSrc));
    ZAL_CHECK((checkSourceAndMask<T, Channels, Masked>(roi, srcStep, maskStep, coi,
                                                       Masked && std::is_same_v<T, uint16_t>)));
    const Plane<T, Channels> src(pSrc, srcStep, roi, coi);
    const Image<const uint8_t> mask(pMask, maskStep, roi);
    constexpr Gate gate = meanStdDevGate<T, Channels, Masked>();
    const Sums<T> s = sumPlane<T, Channels, Masked, true>(src, mask, goesParallel(gate, roi));
    const long long count = Masked ? s.count : area(roi);

    double mean = 0.0, deviation = 0.0;
    if (count > 0) {
        const double n = static_cast<double>(count);
        mean = static_cast<double>(s.sum) / n;
        // |.| absorbs a slightly negative difference left by rounding.
        deviation = std::sqrt(std::fabs(static_cast<double>(s.squares) / n - mean * mean));
        if constexpr (std::is_same_v<T, float>) {
            // The one-pass formula cancels badly when the deviation is small
            // against the mean: recompute from the deviations themselves.
            if (0.05 * mean * mean > deviation * deviation) {
                double d = 0.0;
                if (!Masked && Channels == 1) {
                    scanRows(
                        goesParallel(Gate::T16, roi), roi.height, 0.0,
                        [&](int, int begin, int end, double& band) {
                            band = squaredDeviations<Channels, false>(src, mask, mean, begin, end, false);
                        },
                        [&](double band) { d += band; });
                } else {
                    d = squaredDeviations<Channels, Masked>(src, mask, mean, 0, roi.height, !Masked);
                }
                deviation = std::sqrt(d / n);
            }
        }
    }
    if (pMean) *pMean = mean;
    if (pStdDev) *pStdDev = deviation;
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

extern "C" {

#define ZAL_MEAN_STDDEV(t, T)                                                                                        \
    StatusCode zaliMean_StdDev_##t##_C1R(const T* pSrc, int srcStep, ImageSize roiSize, double* pMean,             \
                                         double* pStdDev) {                                                         \
        return zal::stats::meanStdDev<T, 1, false>(pSrc, srcStep, nullptr, 0, roiSize, 1, pMean, pStdDev);          \
    }                                                                                                               \
    StatusCode zaliMean_StdDev_##t##_C3CR(const T* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean,   \
                                          double* pStdDev) {                                                        \
        return zal::stats::meanStdDev<T, 3, false>(pSrc, srcStep, nullptr, 0, roiSize, coi, pMean, pStdDev);        \
    }                                                                                                               \
    StatusCode zaliMean_StdDev_##t##_C1MR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,          \
                                          ImageSize roiSize, double* pMean, double* pStdDev) {                      \
        return zal::stats::meanStdDev<T, 1, true>(pSrc, srcStep, pMask, maskStep, roiSize, 1, pMean, pStdDev);      \
    }                                                                                                               \
    StatusCode zaliMean_StdDev_##t##_C3CMR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,         \
                                           ImageSize roiSize, int coi, double* pMean, double* pStdDev) {            \
        return zal::stats::meanStdDev<T, 3, true>(pSrc, srcStep, pMask, maskStep, roiSize, coi, pMean, pStdDev);    \
    }

ZAL_MEAN_STDDEV(8u, uint8_t)
ZAL_MEAN_STDDEV(8s, int8_t)
ZAL_MEAN_STDDEV(16u, uint16_t)
ZAL_MEAN_STDDEV(32f, float)

}  // extern "C"
