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
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "stats/minmax_indx.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "stats/internal.h"
#include "stats/lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal::stats {
namespace HWY_NAMESPACE {

// Lane-wise running extremes with the scalar rule m = v < m ? v : m (and
// v > m for the maximum): a float NaN never replaces a value.
template <class V>
HWY_INLINE V lowerOf(V m, V v) {
    if constexpr (hwy::IsFloat<hn::TFromV<V>>()) return hn::IfThenElse(hn::Lt(v, m), v, m);
    else return hn::Min(m, v);
}
template <class V>
HWY_INLINE V higherOf(V m, V v) {
    if constexpr (hwy::IsFloat<hn::TFromV<V>>()) return hn::IfThenElse(hn::Gt(v, m), v, m);
    else return hn::Max(m, v);
}

// The smallest (Lower) or largest lane, by the same rule.
template <bool Lower, class D>
HWY_INLINE hn::TFromD<D> extremeLane(D d, hn::Vec<D> v) {
    using T = hn::TFromD<D>;
    HWY_ALIGN T lanes[HWY_MAX_BYTES / sizeof(T)];
    hn::Store(v, d, lanes);
    T e = lanes[0];
    for (std::size_t i = 1; i < hn::Lanes(d); ++i)
        if (Lower ? lanes[i] < e : lanes[i] > e) e = lanes[i];
    return e;
}

// The extremes of one row's selected pixels, lane by lane.
template <class D>
struct LaneExtremes {
    hn::Vec<D> min, max;
    bool any;  // some pixel selected
};

template <bool Masked, class D, class T = hn::TFromD<D>>
HWY_INLINE LaneExtremes<D> rowExtremes(D d, const T* HWY_RESTRICT row, const uint8_t* HWY_RESTRICT m, std::size_t n) {
    const hn::Rebind<uint8_t, D> d8;
    const auto hi = hn::Set(d, highestOf<T>()), lo = hn::Set(d, lowestOf<T>());
    const std::size_t lanes = hn::Lanes(d);
    auto vMin = hi, vMax = lo;
    auto any = hn::FirstN(d, 0);
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes) {
        const auto v = hn::LoadU(d, row + x);
        if constexpr (Masked) {
            const auto sel = selectedLanes(d, hn::LoadU(d8, m + x));
            vMin = lowerOf(vMin, hn::IfThenElse(sel, v, hi));
            vMax = higherOf(vMax, hn::IfThenElse(sel, v, lo));
            any = hn::Or(any, sel);
        } else {
            vMin = lowerOf(vMin, v);
            vMax = higherOf(vMax, v);
        }
    }
    if (x < n) {
        // Lanes past the row end are unselected (their mask bytes read as zero).
        const std::size_t r = n - x;
        const auto v = loadPartial(d, row + x, r);
        const auto sel = Masked ? selectedLanes(d, loadPartial(d8, m + x, r)) : hn::FirstN(d, r);
        vMin = lowerOf(vMin, hn::IfThenElse(sel, v, hi));
        vMax = higherOf(vMax, hn::IfThenElse(sel, v, lo));
        any = hn::Or(any, sel);
    }
    return {vMin, vMax, !Masked || !hn::AllFalse(d, any)};
}

// Rows [begin, end) of a one-channel image into `band`: each row's extremes
// (over its selected pixels) replace the band's when strictly better. The
// row extremes stay in vectors; they are reduced to one value only when
// some lane beats the band, which the scalar rule then confirms.
template <bool Masked, class T>
HWY_INLINE void bandExtremes(Image<const T> src, Image<const uint8_t> mask, int begin, int end,
                             RunningExtremes<T>& out) {
    const hn::ScalableTag<T> d;
    const std::size_t n = static_cast<std::size_t>(src.width);
    RunningExtremes<T> band = out;  // a local copy: its stores alias nothing
    for (int y = begin; y < end; ++y) {
        const auto row = rowExtremes<Masked>(d, src.row(y), Masked ? mask.row(y) : nullptr, n);
        if (!row.any) continue;
        if (!band.found || !hn::AllFalse(d, hn::Lt(row.min, hn::Set(d, band.min)))) {
            band.min = extremeLane<true>(d, row.min);
            band.minRow = y;
        }
        if (!band.found || !hn::AllFalse(d, hn::Gt(row.max, hn::Set(d, band.max)))) {
            band.max = extremeLane<false>(d, row.max);
            band.maxRow = y;
        }
        band.found = true;
    }
    out = band;
}

#define ZAL_MINMAX_BAND(Name, T)                                                                         \
    void Name(bool masked, Image<const T> src, Image<const uint8_t> mask, int begin, int end,            \
              RunningExtremes<T>* band) {                                                                \
        if (masked) bandExtremes<true>(src, mask, begin, end, *band);                                    \
        else bandExtremes<false>(src, mask, begin, end, *band);                                          \
    }
ZAL_MINMAX_BAND(MinMaxBand8u, uint8_t)
ZAL_MINMAX_BAND(MinMaxBand8s, int8_t)
ZAL_MINMAX_BAND(MinMaxBand16u, uint16_t)
ZAL_MINMAX_BAND(MinMaxBand32f, float)
#undef ZAL_MINMAX_BAND

}  // namespace HWY_NAMESPACE
}  // namespace zal::stats
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/export.h"
#include "stats/exports.h"

namespace zal::stats {
HWY_EXPORT(MinMaxBand8u);
HWY_EXPORT(MinMaxBand8s);
HWY_EXPORT(MinMaxBand16u);
HWY_EXPORT(MinMaxBand32f);

namespace {

template <class T>
void bandExtremesC1(bool masked, Image<const T> src, Image<const uint8_t> mask, int begin, int end,
                    RunningExtremes<T>& band) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(MinMaxBand8u)(masked, src, mask, begin, end, &band);
    else if constexpr (std::is_same_v<T, int8_t>) HWY_DYNAMIC_DISPATCH(MinMaxBand8s)(masked, src, mask, begin, end, &band);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(MinMaxBand16u)(masked, src, mask, begin, end, &band);
    else HWY_DYNAMIC_DISPATCH(MinMaxBand32f)(masked, src, mask, begin, end, &band);
}

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
    return -1;  // only for values no pixel holds (NaN data)
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
            if constexpr (Channels == 1) {
                bandExtremesC1(Masked, src.img, mask, begin, end, band);
            } else {
                for (int y = begin; y < end; ++y) {
                    T lo, hi;
                    if (rowExtremes<T, Channels, Masked>(src.row(y), Masked ? mask.row(y) : nullptr, roi.width, lo, hi))
                        band.take(lo, y, hi, y);
                }
            }
        },
        [&](const RunningExtremes<T>& band) {
            if (band.found) total.take(band.min, band.minRow, band.max, band.maxRow);
        });

    Extremes r;  // empty selection: zeros at the origin, not an error
    if (!total.found) return r;
    // The values are read back at their first occurrence, so that of +0.0
    // and -0.0 (which compare equal) the one met first is reported.
    const int minColumn = firstColumn<T, Channels, Masked>(src, mask, total.minRow, total.min);
    const int maxColumn = firstColumn<T, Channels, Masked>(src, mask, total.maxRow, total.max);
    r.min = static_cast<float>(minColumn < 0 ? total.min : src.row(total.minRow)[static_cast<std::ptrdiff_t>(minColumn) * Channels]);
    r.max = static_cast<float>(maxColumn < 0 ? total.max : src.row(total.maxRow)[static_cast<std::ptrdiff_t>(maxColumn) * Channels]);
    r.minAt = ImagePoint{minColumn < 0 ? 0 : minColumn, total.minRow};
    r.maxAt = ImagePoint{maxColumn < 0 ? 0 : maxColumn, total.maxRow};
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
#endif  // HWY_ONCE
