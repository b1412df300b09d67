// Opening, closing, top-hat, black-hat and gradient: two dilations/erosions
// through the state's temporary image, then for the last three a difference
// that cannot go below zero (saturated for 8u, clamped at 0 for 32f).
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"
#include "morph/advanced.h"
#include "morph/exports.h"

namespace zal::morph {
namespace {

enum class Advanced { Open, Close, Tophat, Blackhat, Gradient };

// dst = minuend - sub per element, kept at or above 0; dst may be the minuend.
template <class T, int C>
void subtractClamped(Image<const T> sub, Image<const T> minuend, Image<T> dst) {
    if constexpr (sizeof(T) == 1) {
        core::sub(sub.elements(C), minuend.elements(C), dst.elements(C), 0);
    } else {
        core::sub(sub.elements(C), minuend.elements(C), dst.elements(C));
        core::threshold<float>(dst.elements(C), dst.elements(C), 0.0f, 0.0f, core::Comparison::Less);
    }
}

template <class T, int C>
void advanced(Advanced op, Image<const T> src, Image<T> dst, Image<T> temp, const MorphAdvState& state) {
    const MorphologyState& b = *state.first;
    const MorphologyState& r = *state.second;
    switch (op) {
        case Advanced::Open:
            erode<T, C>(src, temp, b);
            return dilate<T, C>(temp, dst, r);
        case Advanced::Close:
            dilate<T, C>(src, temp, b);
            return erode<T, C>(temp, dst, r);
        case Advanced::Tophat:
            erode<T, C>(src, dst, b);
            dilate<T, C>(dst, temp, r);
            return subtractClamped<T, C>(temp, src, dst);
        case Advanced::Blackhat:
            dilate<T, C>(src, temp, b);
            erode<T, C>(temp, dst, r);
            return subtractClamped<T, C>(src, dst, dst);
        case Advanced::Gradient:
        default:
            dilate<T, C>(src, dst, b);
            erode<T, C>(src, temp, b);
            return subtractClamped<T, C>(temp, dst, dst);
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
    advanced<T, C>(op, image(pSrc, srcStep, roi), image(pDst, dstStep, roi), temp, *pState);
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
