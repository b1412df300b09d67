// Opening, closing, top-hat, black-hat and gradient: two dilations/erosions
// through the state's temporary image; for the last three a difference that
// cannot go below zero (saturated for 8u, clamped at 0 for 32f) follows each
// row of the second one. When both are plain rectangles the two passes take
// turns strip by strip, so the temporary rows never leave the cache.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"
#include "morph/advanced.h"
#include "morph/exports.h"

namespace zal::morph {
namespace {

enum class Advanced { Open, Close, Tophat, Blackhat, Gradient };

// dst = minuend - sub per element, kept at or above 0; dst may be the minuend
// or sub.
template <class T, int C>
void subtractClamped(Image<const T> sub, Image<const T> minuend, Image<T> dst) {
    if constexpr (sizeof(T) == 1) {
        core::sub(sub.elements(C), minuend.elements(C), dst.elements(C), 0);
    } else {
        core::sub(sub.elements(C), minuend.elements(C), dst.elements(C));
        core::threshold<float>(dst.elements(C), dst.elements(C), 0.0f, 0.0f, core::Comparison::Less);
    }
}

// Forms row y of the difference as soon as the last dilation/erosion has
// finished it, while the row is still in cache. One of minuend and sub is
// dst itself.
template <class T, int C>
struct RowDifference {
    Image<const T> sub, minuend;
    Image<T> dst;
    int subRing = 0;  // above 0: sub holds that many rows, row y in row y % subRing

    static void finish(void* self, std::ptrdiff_t y) {
        const auto& d = *static_cast<const RowDifference*>(self);
        const auto row = [&](auto image, std::ptrdiff_t r) { return image.offset(0, r, C, image.width, 1); };
        subtractClamped<T, C>(row(d.sub, d.subRing > 0 ? y % d.subRing : y), row(d.minuend, y), row(d.dst, y));
    }
    minmax::RowSink sink() { return minmax::RowSink{&finish, this}; }
};

// Bytes of destination rows per strip: the strip's rows of the source, of
// the ring of temporary rows and of the destination stay in cache between the
// two passes, and the passes take turns seldom enough that each finds its
// filtered lines still in the first-level cache most of the time.
constexpr std::ptrdiff_t kStripBytes = 128 * 1024;

// Both passes strip by strip when both are plain rectangles: the first pass
// writes the temporary rows the second needs for the strip's destination
// rows (`chained`: the second filters the temporary image; otherwise only the
// row sink reads it, row by row), and the second then writes them. Each pass
// keeps its filtered lines across strips, so no row is computed twice and
// the result equals that of whole passes. A temporary row is read only
// during the strip that writes it, so the temporary image is a ring of a
// strip's rows (plus the second mask's reach below a row) that never leaves
// the cache. False (nothing written) when a state is of another kind;
// `sharedFirst`: the second pass uses the first state's mask (with the second
// state's buffer, which then must be as large). `diff` (optional) finishes
// each destination row.
template <class T, int C, class FirstOp, class SecondOp>
bool throughStrips(Image<const T> src, Image<T> temp, Image<const T> secondSrc, Image<T> dst, bool chained,
                   const MorphologyState& first, const MorphologyState& second, bool sharedFirst,
                   RowDifference<T, C>* diff) {
    const RectangleInfo* a = plainRectangle(first);
    const RectangleInfo* b = plainRectangle(sharedFirst ? first : second);
    if (a == nullptr || b == nullptr) return false;
    if (sharedFirst) {
        const RectangleInfo* own = plainRectangle(second);
        if (own == nullptr || own->height != b->height || second.maxRoiWidth != first.maxRoiWidth) return false;
    }
    const int height = dst.height;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(src.width) * C * sizeof(T);
    const std::ptrdiff_t fit = std::max<std::ptrdiff_t>(kStripBytes / rowBytes, 8);
    const int strip = static_cast<int>(std::min<std::ptrdiff_t>(fit, height));
    // Temporary rows written and not yet read: at most a strip's rows, the
    // first strip's also the second mask's reach below them.
    const long long ringRows = chained ? static_cast<long long>(strip) + b->height - 1 : strip;
    const int ring = ringRows < height ? static_cast<int>(ringRows) : 0;
    minmax::BandedFilter<T, C, FirstOp> one(src, temp, ImageSize{a->width, a->height},
                                            ImagePoint{a->anchorX, a->anchorY}, first.buffer, 0, ring);
    minmax::BandedFilter<T, C, SecondOp> two(secondSrc, dst, ImageSize{b->width, b->height},
                                             ImagePoint{b->anchorX, b->anchorY}, second.buffer, chained ? ring : 0);
    if (diff != nullptr && !chained) diff->subRing = ring;  // the sink reads the temporary rows
    const minmax::RowSink done = diff != nullptr ? diff->sink() : minmax::RowSink{};
    for (int end = 0; end < height;) {
        end = std::min(height, end + strip);
        one.run(chained ? two.sourceRowsFor(end) : end);
        two.run(end, done);
    }
    return true;
}

template <class T, int C>
void advanced(Advanced op, Image<const T> src, Image<T> dst, Image<T> temp, const MorphologyState& first,
              const MorphologyState& second) {
    const Image<const T> result(dst), inner(temp);
    using minmax::Max;
    using minmax::Min;
    switch (op) {
        case Advanced::Open:
            if (throughStrips<T, C, Min, Max>(src, temp, inner, dst, true, first, second, false, nullptr)) return;
            erode<T, C>(src, temp, first);
            return dilate<T, C>(temp, dst, second);
        case Advanced::Close:
            if (throughStrips<T, C, Max, Min>(src, temp, inner, dst, true, first, second, false, nullptr)) return;
            dilate<T, C>(src, temp, first);
            return erode<T, C>(temp, dst, second);
        case Advanced::Tophat: {  // src - opening
            RowDifference<T, C> diff{result, src, dst};
            if (throughStrips<T, C, Min, Max>(src, temp, inner, dst, true, first, second, false, &diff)) return;
            erode<T, C>(src, temp, first);
            return dilate<T, C>(temp, dst, second, diff.sink());
        }
        case Advanced::Blackhat: {  // closing - src
            RowDifference<T, C> diff{src, result, dst};
            if (throughStrips<T, C, Max, Min>(src, temp, inner, dst, true, first, second, false, &diff)) return;
            dilate<T, C>(src, temp, first);
            return erode<T, C>(temp, dst, second, diff.sink());
        }
        case Advanced::Gradient:
        default: {  // dilation - erosion
            RowDifference<T, C> diff{inner, result, dst};
            if (throughStrips<T, C, Min, Max>(src, temp, src, dst, false, first, second, true, &diff)) return;
            erode<T, C>(src, temp, first);
            return dilate<T, C>(src, dst, first, diff.sink());
        }
    }
}

template <class T, int C>
StatusCode checkedAdvanced(Advanced op, const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, int border,
                           const MorphAdvState* pState) {
    ZAL_CHECK((checkCall<T, C>(pSrc, srcStep, pDst, dstStep, roi, border, pState)));
    ZAL_CHECK(failIf(roi.width > pState->first->maxRoiWidth, StatusSizeError));
    const long long tstep = tempStep(roi.width, pixelFormatOf<T, C>());
    ZAL_CHECK(failIf(tstep * roi.height > pState->tempSize, StatusSizeError));
    // The one check of the inner dilations/erosions that the ones above do
    // not cover (both states share the pixel format), passed on as -5.
    ZAL_CHECK((requireFormat<T, C>(*pState->first)));
    const Image<T> temp(reinterpret_cast<T*>(pState->temp), static_cast<std::ptrdiff_t>(tstep), roi.width, roi.height);
    advanced<T, C>(op, image(pSrc, srcStep, roi), image(pDst, dstStep, roi), temp, *pState->first,
                   *pState->second);
    return StatusOk;
}

}  // namespace
}  // namespace zal::morph

#define ZAL_ADVANCED(name, T, C, op)                                                                       \
    ZAL_DECLARED(name);                                                                                    \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,        \
                               int border, MorphAdvState* pState) {                                       \
        return zal::morph::checkedAdvanced<T, C>(zal::morph::Advanced::op, pSrc, srcStep, pDst, dstStep,   \
                                                 roiSize, border, pState);                                \
    }
ZAL_MORPH_ADVANCED(ZAL_ADVANCED)
