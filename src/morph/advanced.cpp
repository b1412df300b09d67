// Opening, closing, top-hat, black-hat and gradient: two dilations/erosions
// through the state's temporary image; for the last three a difference that
// cannot go below zero (saturated for 8u, clamped at 0 for 32f) follows each
// row of the second one.
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

    static void finish(void* self, std::ptrdiff_t y) {
        const auto& d = *static_cast<const RowDifference*>(self);
        const auto row = [&](auto image) { return image.offset(0, y, C, image.width, 1); };
        subtractClamped<T, C>(row(d.sub), row(d.minuend), row(d.dst));
    }
    minmax::RowSink sink() { return minmax::RowSink{&finish, this}; }
};

template <class T, int C>
void advanced(Advanced op, Image<const T> src, Image<T> dst, Image<T> temp, const MorphologyState& first,
              const MorphologyState& second) {
    const Image<const T> result(dst), inner(temp);
    switch (op) {
        case Advanced::Open:
            erode<T, C>(src, temp, first);
            return dilate<T, C>(temp, dst, second);
        case Advanced::Close:
            dilate<T, C>(src, temp, first);
            return erode<T, C>(temp, dst, second);
        case Advanced::Tophat: {  // src - opening
            RowDifference<T, C> diff{result, src, dst};
            erode<T, C>(src, temp, first);
            return dilate<T, C>(temp, dst, second, diff.sink());
        }
        case Advanced::Blackhat: {  // closing - src
            RowDifference<T, C> diff{src, result, dst};
            dilate<T, C>(src, temp, first);
            return erode<T, C>(temp, dst, second, diff.sink());
        }
        case Advanced::Gradient:
        default: {  // dilation - erosion
            RowDifference<T, C> diff{inner, result, dst};
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
