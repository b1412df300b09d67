// Minimum and maximum of one channel, optionally under an 8-bit mask, with the
// position of their first occurrence in raster order.
//
// Each row yields its minimum and maximum; a row replaces the running
// extreme only when strictly better, so ties keep the topmost row (and, after
// the band merge, the earliest band). The first row that has any selected
// pixel always sets both extremes: a selection whose values all equal the
// type's extreme, or that starts below row 0's unselected pixels, is still
// located at a selected pixel. The column is then the first selected pixel
// of that row holding the value.
#include <cstdint>
#include <limits>
#include <type_traits>

#include "stats/internal.h"

namespace zal::stats {
namespace {

// Starting values of a row scan: +-infinity for 32f so that infinite data are
// reported as such, the type's range otherwise.
template <class T>
constexpr T highestOf() {
    if constexpr (std::is_same_v<T, float>) return std::numeric_limits<float>::infinity();
    else return std::numeric_limits<T>::max();
}
template <class T>
constexpr T lowestOf() {
    if constexpr (std::is_same_v<T, float>) return -std::numeric_limits<float>::infinity();
    else return std::numeric_limits<T>::min();
}

template <class T>
struct Extremes {
    T min = highestOf<T>();
    T max = lowestOf<T>();
    int minRow = 0;
    int maxRow = 0;
    bool found = false;  // some pixel was selected

    // Takes a later row's (or band's) extremes; strict comparisons keep ties
    // at the earlier one.
    void take(T lo, int loRow, T hi, int hiRow) {
        if (!found || lo < min) {
            min = lo;
            minRow = loRow;
        }
        if (!found || hi > max) {
            max = hi;
            maxRow = hiRow;
        }
        found = true;
    }
};

// Minimum and maximum of the selected values of one row; false when the row
// has no selected pixel.
template <class T, int Channels, bool Masked>
inline bool rowExtremes(const T* __restrict row, const uint8_t* __restrict mask, int width, T& lo, T& hi) {
    T mn = highestOf<T>(), mx = lowestOf<T>();
    unsigned any = Masked ? 0u : 1u;
    for (int x = 0; x < width; ++x) {
        const T v = row[static_cast<std::ptrdiff_t>(x) * Channels];
        const bool selected = !Masked || mask[x] != 0;
        const T forMin = selected ? v : highestOf<T>();
        const T forMax = selected ? v : lowestOf<T>();
        mn = forMin < mn ? forMin : mn;
        mx = forMax > mx ? forMax : mx;
        if constexpr (Masked) any |= mask[x];
    }
    lo = mn;
    hi = mx;
    return any != 0;
}

template <class T, int Channels, bool Masked>
int firstColumn(const Plane<T, Channels>& src, const Image<const uint8_t>& mask, int y, T value) {
    const T* row = src.row(y);
    const uint8_t* m = Masked ? mask.row(y) : nullptr;
    for (int x = 0; x < src.img.width; ++x)
        if ((!Masked || m[x] != 0) && row[static_cast<std::ptrdiff_t>(x) * Channels] == value) return x;
    return 0;
}

template <class T, int Channels, bool Masked>
StatusCode minMaxIndx(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roi, int coi,
                      float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex) {
    // The output pointers are tested too: every one of them is written.
    ZAL_CHECK(requireInputs<Masked>(pMask, pSrc));
    ZAL_CHECK(requireNonNull(pMin, pMax, pMinIndex, pMaxIndex));
    ZAL_CHECK((checkSourceAndMask<T, Channels, Masked>(roi, srcStep, maskStep, coi)));
    const Plane<T, Channels> src(pSrc, srcStep, roi, coi);
    const Image<const uint8_t> mask(pMask, maskStep, roi);

    Extremes<T> total;
    scanRows(
        goesParallel(Gate::Area16384, roi), roi.height, Extremes<T>{},
        [&](int, int begin, int end, Extremes<T>& band) {
            for (int y = begin; y < end; ++y) {
                T lo, hi;
                if (rowExtremes<T, Channels, Masked>(src.row(y), Masked ? mask.row(y) : nullptr, roi.width, lo, hi))
                    band.take(lo, y, hi, y);
            }
        },
        [&](const Extremes<T>& band) {
            if (band.found) total.take(band.min, band.minRow, band.max, band.maxRow);
        });

    if (!total.found) {
        // Empty selection: zeros at the origin, not an error.
        *pMin = 0.0f;
        *pMax = 0.0f;
        *pMinIndex = ImagePoint{0, 0};
        *pMaxIndex = ImagePoint{0, 0};
        return StatusOk;
    }
    *pMin = static_cast<float>(total.min);
    *pMax = static_cast<float>(total.max);
    *pMinIndex = ImagePoint{firstColumn<T, Channels, Masked>(src, mask, total.minRow, total.min), total.minRow};
    *pMaxIndex = ImagePoint{firstColumn<T, Channels, Masked>(src, mask, total.maxRow, total.max), total.maxRow};
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

extern "C" {

#define ZAL_MINMAX_INDX(t, T)                                                                                       \
    StatusCode zaliMinMaxIndx_##t##_C1R(const T* pSrc, int srcStep, ImageSize roiSize, float* pMin, float* pMax,   \
                                        ImagePoint* pMinIndex, ImagePoint* pMaxIndex) {                            \
        return zal::stats::minMaxIndx<T, 1, false>(pSrc, srcStep, nullptr, 0, roiSize, 1, pMin, pMax, pMinIndex,   \
                                                   pMaxIndex);                                                     \
    }                                                                                                              \
    StatusCode zaliMinMaxIndx_##t##_C3CR(const T* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMin,      \
                                         float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex) {              \
        return zal::stats::minMaxIndx<T, 3, false>(pSrc, srcStep, nullptr, 0, roiSize, coi, pMin, pMax, pMinIndex, \
                                                   pMaxIndex);                                                     \
    }                                                                                                              \
    StatusCode zaliMinMaxIndx_##t##_C1MR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,           \
                                         ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex,       \
                                         ImagePoint* pMaxIndex) {                                                  \
        return zal::stats::minMaxIndx<T, 1, true>(pSrc, srcStep, pMask, maskStep, roiSize, 1, pMin, pMax,          \
                                                  pMinIndex, pMaxIndex);                                           \
    }                                                                                                              \
    StatusCode zaliMinMaxIndx_##t##_C3CMR(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,          \
                                          ImageSize roiSize, int coi, float* pMin, float* pMax,                    \
                                          ImagePoint* pMinIndex, ImagePoint* pMaxIndex) {                          \
        return zal::stats::minMaxIndx<T, 3, true>(pSrc, srcStep, pMask, maskStep, roiSize, coi, pMin, pMax,        \
                                                  pMinIndex, pMaxIndex);                                           \
    }

ZAL_MINMAX_INDX(8u, uint8_t)
ZAL_MINMAX_INDX(8s, int8_t)
ZAL_MINMAX_INDX(16u, uint16_t)
ZAL_MINMAX_INDX(32f, float)

}  // extern "C"
