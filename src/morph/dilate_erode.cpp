// Dilation and erosion with a morphology state: the checks, the dispatch on
// the kernel class and the exported members. Every class computes
//   dst(x, y) = max (min) over non-zero mask (i, j) of
//               src(clamp(x + i - ax, 0, W - 1), clamp(y + j - ay, 0, H - 1)).
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"
#include "morph/exports.h"
#include "morph/internal.h"

namespace zal::morph {

// The class was fixed when the state was built; each path reads its own
// description from the state.
template <class T, int C, class Op>
void dilateErode(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done) {
    if (state.kernelClass == KernelRectangle) return rectanglePath<T, C, Op>(src, dst, state, done);
    switch (state.kernelClass) {
        case KernelEmpty:
            core::copy<T>(src, dst, C);
            break;
        case KernelEllipse:
            ellipsePath<T, C, Op>(src, dst, state);
            break;
        default:
            generalPath<T, C, Op>(src, dst, state);
    }
    for (int y = 0; y < dst.height; ++y) done(y);
}

template <class T, int C>
void dilate(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done) {
    dilateErode<T, C, minmax::Max>(src, dst, state, done);
}

template <class T, int C>
void erode(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done) {
    dilateErode<T, C, minmax::Min>(src, dst, state, done);
}

template <class T, int C>
void dilate(Image<const T> src, Image<T> dst, const MorphologyState& state) {
    dilateErode<T, C, minmax::Max>(src, dst, state, {});
}

template <class T, int C>
void erode(Image<const T> src, Image<T> dst, const MorphologyState& state) {
    dilateErode<T, C, minmax::Min>(src, dst, state, {});
}

namespace {

template <class T, int C>
using Operation = void (*)(Image<const T>, Image<T>, const MorphologyState&);

template <class T, int C, Operation<T, C> op>
StatusCode checkedDilateErode(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, int border,
                              const MorphologyState* pState) {
    ZAL_CHECK((checkCall<T, C>(pSrc, srcStep, pDst, dstStep, roi, border, pState)));
    ZAL_CHECK(failIf(roi.width > pState->maxRoiWidth, StatusSizeError));
    ZAL_CHECK((requireFormat<T, C>(*pState)));
    op(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), *pState);
    return StatusOk;
}

}  // namespace
}  // namespace zal::morph

#define ZAL_DILATE_ERODE(name, T, C, op)                                                                   \
    ZAL_DECLARED(name);                                                                                    \
    template void zal::morph::op<T, C>(zal::Image<const T>, zal::Image<T>, const MorphologyState&);      \
    template void zal::morph::op<T, C>(zal::Image<const T>, zal::Image<T>, const MorphologyState&,       \
                                       const zal::minmax::RowSink&);                                    \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,        \
                               int border, MorphologyState* pState) {                                     \
        return zal::morph::checkedDilateErode<T, C, zal::morph::op<T, C>>(pSrc, srcStep, pDst, dstStep,   \
                                                                          roiSize, border, pState);       \
    }
ZAL_MORPH_DILATE_ERODE(ZAL_DILATE_ERODE)
