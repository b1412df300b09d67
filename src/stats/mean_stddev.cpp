// Mean and population standard deviation of one channel, optionally under an
// 8-bit mask. Either output pointer may be null; it is then not written.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/export.h"
#include "stats/exports.h"
#include "stats/internal.h"
#include "stats/masked_sums.h"

namespace zal::stats {
namespace {

// Published gates, kept for compatibility (they fix the banding of 32f sums).
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

}  // namespace

template <class T, int Channels, bool Masked>
MeanDeviation meanStdDev(Plane<T, Channels> src, Image<const uint8_t> mask) {
    const ImageSize roi{src.width(), src.height()};
    constexpr Gate gate = meanStdDevGate<T, Channels, Masked>();
    const Sums<T> s = sumPlane<T, Channels, Masked, true>(src, mask, goesParallel(gate, roi));
    const long long count = Masked ? s.count : area(roi);

    MeanDeviation r;
    if (count == 0) return r;
    const double n = static_cast<double>(count);
    r.mean = static_cast<double>(s.sum) / n;
    // |.| absorbs a slightly negative difference left by rounding.
    r.deviation = std::sqrt(std::fabs(static_cast<double>(s.squares) / n - r.mean * r.mean));
    if constexpr (std::is_same_v<T, float>) {
        // The one-pass formula cancels badly when the deviation is small
        // against the mean: recompute from the deviations themselves.
        if (0.05 * r.mean * r.mean > r.deviation * r.deviation) {
            double d = 0.0;
            if (!Masked && Channels == 1) {
                scanRows(
                    goesParallel(Gate::T16, roi), roi.height, 0.0,
                    [&](int, int begin, int end, double& band) {
                        band = squaredDeviations<Channels, false>(src, mask, r.mean, begin, end, false);
                    },
                    [&](double band) { d += band; });
            } else {
                d = squaredDeviations<Channels, Masked>(src, mask, r.mean, 0, roi.height, !Masked);
            }
            r.deviation = std::sqrt(d / n);
        }
    }
    return r;
}

namespace {

template <class T, int Channels, bool Masked>
StatusCode meanStdDevChecked(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roi, int coi,
                             double* pMean, double* pStdDev) {
    ZAL_CHECK(requireInputs<Masked>(pMask, pSrc));
    // The masked 16u members test the source alignment before the mask length.
    ZAL_CHECK((checkSourceAndMask<T, Channels, Masked>(roi, srcStep, maskStep, coi,
                                                       Masked && std::is_same_v<T, uint16_t>)));
    const MeanDeviation r =
        meanStdDev<T, Channels, Masked>(Plane<T, Channels>(pSrc, srcStep, roi, coi), image(pMask, maskStep, roi));
    if (pMean) *pMean = r.mean;
    if (pStdDev) *pStdDev = r.deviation;
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

#define ZAL_MEAN_STDDEV_INSTANCE(T, C, masked)                                                                   \
    template zal::stats::MeanDeviation zal::stats::meanStdDev<T, C, masked>(zal::stats::Plane<T, C>,            \
                                                                          zal::Image<const uint8_t>)
#define ZAL_MEAN_STDDEV_C1(name, T)                                                                              \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MEAN_STDDEV_INSTANCE(T, 1, false);                                                                       \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev) {   \
        return zal::stats::meanStdDevChecked<T, 1, false>(pSrc, srcStep, nullptr, 0, roiSize, 1, pMean, pStdDev); \
    }
#define ZAL_MEAN_STDDEV_C3(name, T)                                                                              \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MEAN_STDDEV_INSTANCE(T, 3, false);                                                                       \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean,            \
                               double* pStdDev) {                                                                \
        return zal::stats::meanStdDevChecked<T, 3, false>(pSrc, srcStep, nullptr, 0, roiSize, coi, pMean, pStdDev); \
    }
#define ZAL_MEAN_STDDEV_C1M(name, T)                                                                             \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MEAN_STDDEV_INSTANCE(T, 1, true);                                                                        \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                               double* pMean, double* pStdDev) {                                                 \
        return zal::stats::meanStdDevChecked<T, 1, true>(pSrc, srcStep, pMask, maskStep, roiSize, 1, pMean, pStdDev); \
    }
#define ZAL_MEAN_STDDEV_C3M(name, T)                                                                             \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MEAN_STDDEV_INSTANCE(T, 3, true);                                                                        \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                               int coi, double* pMean, double* pStdDev) {                                        \
        return zal::stats::meanStdDevChecked<T, 3, true>(pSrc, srcStep, pMask, maskStep, roiSize, coi, pMean,    \
                                                         pStdDev);                                               \
    }
ZAL_STATS_MEAN_STDDEV_C1(ZAL_MEAN_STDDEV_C1)
ZAL_STATS_MEAN_STDDEV_C3(ZAL_MEAN_STDDEV_C3)
ZAL_STATS_MEAN_STDDEV_C1M(ZAL_MEAN_STDDEV_C1M)
ZAL_STATS_MEAN_STDDEV_C3M(ZAL_MEAN_STDDEV_C3M)
