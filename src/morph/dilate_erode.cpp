// Dilation and erosion with a morphology state: the checks, the dispatch on
// the kernel class and the exported members. Every class computes
//   dst(x, y) = max (min) over non-zero mask (i, j) of
//               src(clamp(x + i - ax, 0, W - 1), clamp(y + j - ay, 0, H - 1)).
#include <cstdint>

#include "core/checks.h"
#include "core/ops.h"
#include "morph/internal.h"

namespace zal::morph {

template <class T, int C, class Op>
StatusCode dilateErode(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, int border,
                       const MorphologyState* pState) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pState));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(failIf(border != BorderReplicate, StatusBadArgument));
    ZAL_CHECK(failIf(roi.width > pState->maxRoiWidth, StatusSizeError));
    // The working buffer was sized for the state's own pixel format; another
    // format could overrun it.
    constexpr int kType = sizeof(T) == 1 ? DataType8u : DataType32f;
    ZAL_CHECK(failIf(pState->dataType != kType || pState->channels != C, StatusBadArgument));

    const Image<const T> src(pSrc, srcStep, roi);
    const Image<T> dst(pDst, dstStep, roi);
    switch (pState->kernelClass) {
        case KernelEmpty:
            core::copy<T>(src, dst, C);
            return StatusOk;
        case KernelRectangle:
            return rectanglePath<T, C, Op>(src, dst, *pState);
        case KernelEllipse:
            ellipsePath<T, C, Op>(src, dst, *pState);
            return StatusOk;
        default:
            generalPath<T, C, Op>(src, dst, *pState);
            return StatusOk;
    }
}

}  // namespace zal::morph

#define ZAL_DILATE_ERODE(type, ctype, C)                                                                          \
    StatusCode zaliDilateBorderReplicate_##type##_C##C##R(const ctype* pSrc, int srcStep, ctype* pDst,           \
                                                          int dstStep, ImageSize roiSize, int border,            \
                                                          MorphologyState* pState) {                             \
        return zal::morph::dilateErode<ctype, C, zal::minmax::Max>(pSrc, srcStep, pDst, dstStep, roiSize,        \
                                                                   border, pState);                              \
    }                                                                                                             \
    StatusCode zaliErodeBorderReplicate_##type##_C##C##R(const ctype* pSrc, int srcStep, ctype* pDst,            \
                                                         int dstStep, ImageSize roiSize, int border,             \
                                                         MorphologyState* pState) {                              \
        return zal::morph::dilateErode<ctype, C, zal::minmax::Min>(pSrc, srcStep, pDst, dstStep, roiSize,        \
                                                                   border, pState);                              \
    }

extern "C" {
ZAL_DILATE_ERODE(8u, uint8_t, 1)
ZAL_DILATE_ERODE(8u, uint8_t, 3)
ZAL_DILATE_ERODE(8u, uint8_t, 4)
ZAL_DILATE_ERODE(32f, float, 1)
ZAL_DILATE_ERODE(32f, float, 3)
ZAL_DILATE_ERODE(32f, float, 4)
}  // extern "C"

namespace zal::morph {
#define ZAL_DILATE_ERODE_INSTANCE(T, C)                                                                           \
    template StatusCode dilateErode<T, C, minmax::Min>(const T*, int, T*, int, ImageSize, int, const MorphologyState*); \
    template StatusCode dilateErode<T, C, minmax::Max>(const T*, int, T*, int, ImageSize, int, const MorphologyState*);
ZAL_DILATE_ERODE_INSTANCE(uint8_t, 1)
ZAL_DILATE_ERODE_INSTANCE(uint8_t, 3)
ZAL_DILATE_ERODE_INSTANCE(uint8_t, 4)
ZAL_DILATE_ERODE_INSTANCE(float, 1)
ZAL_DILATE_ERODE_INSTANCE(float, 3)
ZAL_DILATE_ERODE_INSTANCE(float, 4)
#undef ZAL_DILATE_ERODE_INSTANCE
}  // namespace zal::morph
