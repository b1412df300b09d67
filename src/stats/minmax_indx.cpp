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

#include "core/export.h"
#include "stats/exports.h"
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
struct RunningExtremes {
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

}  // namespace

template <class T, int Channels, bool Masked>
Extremes minMaxIndx(Plane<T, Channels> src, Image<const uint8_t> mask) {
    const ImageSize roi{src.width(), src.height()};
    RunningExtremes<T> total;
    // Published gate, kept for compatibility; it fixes nothing in the result.
    scanRows(
        goesParallel(Gate::Area16384, roi), roi.height, RunningExtremes<T>{},
        [&](int, int begin, int end, RunningExtremes<T>& band) {
            for (int y = begin; y < end; ++y) {
                T lo, hi;
                if (rowExtremes<T, Channels, Masked>(src.row(y), Masked ? mask.row(y) : nullptr, roi.width, lo, hi))
                    band.take(lo, y, hi, y);
            }
        },
        [&](const RunningExtremes<T>& band) {
            if (band.found) total.take(band.min, band.minRow, band.max, band.maxRow);
        });

    Extremes r;  // empty selection: zeros at the origin, not an error
    if (!total.found) return r;
    r.min = static_cast<float>(total.min);
    r.max = static_cast<float>(total.max);
    r.minAt = ImagePoint{firstColumn<T, Channels, Masked>(src, mask, total.minRow, total.min), total.minRow};
    r.maxAt = ImagePoint{firstColumn<T, Channels, Masked>(src, mask, total.maxRow, total.max), total.maxRow};
    return r;
}

namespace {

template <class T, int Channels, bool Masked>
StatusCode minMaxIndxChecked(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roi, int coi,
                             float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex) {
    // The output pointers are tested too: every one of them is written.
    ZAL_CHECK(requireInputs<Masked>(pMask, pSrc));
    ZAL_CHECK(requireNonNull(pMin, pMax, pMinIndex, pMaxIndex));
    ZAL_CHECK((checkSourceAndMask<T, Channels, Masked>(roi, srcStep, maskStep, coi)));
    const Extremes r =
        minMaxIndx<T, Channels, Masked>(Plane<T, Channels>(pSrc, srcStep, roi, coi), image(pMask, maskStep, roi));
    *pMin = r.min;
    *pMax = r.max;
    *pMinIndex = r.minAt;
    *pMaxIndex = r.maxAt;
    return StatusOk;
}

}  // namespace
}  // namespace zal::stats

#define ZAL_MINMAX_INSTANCE(T, C, masked) \
    template zal::stats::Extremes zal::stats::minMaxIndx<T, C, masked>(zal::stats::Plane<T, C>, zal::Image<const uint8_t>)
#define ZAL_MINMAX_OUT float *pMin, float *pMax, ImagePoint *pMinIndex, ImagePoint *pMaxIndex
#define ZAL_MINMAX_C1(name, T)                                                                                   \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MINMAX_INSTANCE(T, 1, false);                                                                            \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize roiSize, ZAL_MINMAX_OUT) {                 \
        return zal::stats::minMaxIndxChecked<T, 1, false>(pSrc, srcStep, nullptr, 0, roiSize, 1, pMin, pMax,     \
                                                          pMinIndex, pMaxIndex);                                 \
    }
#define ZAL_MINMAX_C3(name, T)                                                                                   \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MINMAX_INSTANCE(T, 3, false);                                                                            \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize roiSize, int coi, ZAL_MINMAX_OUT) {        \
        return zal::stats::minMaxIndxChecked<T, 3, false>(pSrc, srcStep, nullptr, 0, roiSize, coi, pMin, pMax,   \
                                                          pMinIndex, pMaxIndex);                                 \
    }
#define ZAL_MINMAX_C1M(name, T)                                                                                  \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MINMAX_INSTANCE(T, 1, true);                                                                             \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                               ZAL_MINMAX_OUT) {                                                                 \
        return zal::stats::minMaxIndxChecked<T, 1, true>(pSrc, srcStep, pMask, maskStep, roiSize, 1, pMin, pMax,  \
                                                         pMinIndex, pMaxIndex);                                  \
    }
#define ZAL_MINMAX_C3M(name, T)                                                                                  \
    ZAL_DECLARED(name);                                                                                          \
    ZAL_MINMAX_INSTANCE(T, 3, true);                                                                             \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, \
                               int coi, ZAL_MINMAX_OUT) {                                                        \
        return zal::stats::minMaxIndxChecked<T, 3, true>(pSrc, srcStep, pMask, maskStep, roiSize, coi, pMin, pMax, \
                                                         pMinIndex, pMaxIndex);                                  \
    }
ZAL_STATS_MINMAX_C1(ZAL_MINMAX_C1)
ZAL_STATS_MINMAX_C3(ZAL_MINMAX_C3)
ZAL_STATS_MINMAX_C1M(ZAL_MINMAX_C1M)
ZAL_STATS_MINMAX_C3M(ZAL_MINMAX_C3M)
