// Sub-pixel rectangle copies by bilinear interpolation: a destination-sized
// block at a fractional offset, and a block centred on a point, clipped to the
// source with the outside filled by replicating the nearest border pixels.
// The interpolated runs of every row go through the vector rows of
// subpix-inl.h; the replicated parts are one value per run.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pyramid/subpix_copy.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "pyramid/subpix-inl.h"
#include "pyramid/subpix_weights.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// One entry per (source, destination) pair.
#define ZAL_SUBPIX_ENTRIES(S, D, suffix)                                                                   \
    void CopySubpix##suffix(Image<const S> src, Image<D> dst, float dx, float dy, int scaleFactor) {      \
        copyBlock(src, dst, dx, dy, scaleFactor);                                                          \
    }                                                                                                      \
    void CopySubpixIntersect##suffix(Image<const S> src, Image<D> dst, float cx, float cy, ImagePoint* lo, \
                                     ImagePoint* hi, int scaleFactor) {                                    \
        copyClipped(src, dst, cx, cy, lo, hi, scaleFactor);                                                \
    }
ZAL_SUBPIX_ENTRIES(uint8_t, uint8_t, 8u)
ZAL_SUBPIX_ENTRIES(uint8_t, uint16_t, 8u16u)
ZAL_SUBPIX_ENTRIES(uint16_t, uint16_t, 16u)
ZAL_SUBPIX_ENTRIES(uint8_t, float, 8u32f)
ZAL_SUBPIX_ENTRIES(uint16_t, float, 16u32f)
ZAL_SUBPIX_ENTRIES(float, float, 32f)
#undef ZAL_SUBPIX_ENTRIES

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <cmath>

#include "core/checks.h"
#include "core/export.h"
#include "pyramid/exports.h"
#include "pyramid/ops.h"

namespace zal {
HWY_EXPORT(CopySubpix8u);
HWY_EXPORT(CopySubpix8u16u);
HWY_EXPORT(CopySubpix16u);
HWY_EXPORT(CopySubpix8u32f);
HWY_EXPORT(CopySubpix16u32f);
HWY_EXPORT(CopySubpix32f);
HWY_EXPORT(CopySubpixIntersect8u);
HWY_EXPORT(CopySubpixIntersect8u16u);
HWY_EXPORT(CopySubpixIntersect16u);
HWY_EXPORT(CopySubpixIntersect8u32f);
HWY_EXPORT(CopySubpixIntersect16u32f);
HWY_EXPORT(CopySubpixIntersect32f);

namespace pyramid {

template <class S, class D>
void copySubpix(Image<const S> src, Image<D> dst, float dx, float dy, int scaleFactor) {
    if constexpr (std::is_same_v<D, uint8_t>) HWY_DYNAMIC_DISPATCH(CopySubpix8u)(src, dst, dx, dy, scaleFactor);
    else if constexpr (std::is_same_v<S, uint8_t> && std::is_same_v<D, uint16_t>) HWY_DYNAMIC_DISPATCH(CopySubpix8u16u)(src, dst, dx, dy, scaleFactor);
    else if constexpr (std::is_same_v<D, uint16_t>) HWY_DYNAMIC_DISPATCH(CopySubpix16u)(src, dst, dx, dy, scaleFactor);
    else if constexpr (std::is_same_v<S, uint8_t>) HWY_DYNAMIC_DISPATCH(CopySubpix8u32f)(src, dst, dx, dy, scaleFactor);
    else if constexpr (std::is_same_v<S, uint16_t>) HWY_DYNAMIC_DISPATCH(CopySubpix16u32f)(src, dst, dx, dy, scaleFactor);
    else HWY_DYNAMIC_DISPATCH(CopySubpix32f)(src, dst, dx, dy, scaleFactor);
}

template <class S, class D>
void copySubpixIntersect(Image<const S> src, Image<D> dst, float cx, float cy, ImagePoint* pMin, ImagePoint* pMax,
                         int scaleFactor) {
    if constexpr (std::is_same_v<D, uint8_t>) HWY_DYNAMIC_DISPATCH(CopySubpixIntersect8u)(src, dst, cx, cy, pMin, pMax, scaleFactor);
    else if constexpr (std::is_same_v<S, uint8_t> && std::is_same_v<D, uint16_t>) HWY_DYNAMIC_DISPATCH(CopySubpixIntersect8u16u)(src, dst, cx, cy, pMin, pMax, scaleFactor);
    else if constexpr (std::is_same_v<D, uint16_t>) HWY_DYNAMIC_DISPATCH(CopySubpixIntersect16u)(src, dst, cx, cy, pMin, pMax, scaleFactor);
    else if constexpr (std::is_same_v<S, uint8_t>) HWY_DYNAMIC_DISPATCH(CopySubpixIntersect8u32f)(src, dst, cx, cy, pMin, pMax, scaleFactor);
    else if constexpr (std::is_same_v<S, uint16_t>) HWY_DYNAMIC_DISPATCH(CopySubpixIntersect16u32f)(src, dst, cx, cy, pMin, pMax, scaleFactor);
    else HWY_DYNAMIC_DISPATCH(CopySubpixIntersect32f)(src, dst, cx, cy, pMin, pMax, scaleFactor);
}

}  // namespace pyramid

namespace {

template <class S, class D>
StatusCode checkImages(int srcStep, int srcWidth, int dstStep, int dstWidth) {
    ZAL_CHECK((requireRowSteps<S, 1>(ImageSize{srcWidth, 1}, srcStep)));
    ZAL_CHECK((requireRowSteps<D, 1>(ImageSize{dstWidth, 1}, dstStep)));
    return requireStepsAligned<S>(srcStep) != StatusOk ? StatusStepAlignmentError : requireStepsAligned<D>(dstStep);
}

// A NaN or infinite offset or centre has no fraction and no corner: it is
// refused after the documented checks, before anything is written.
inline StatusCode requireFinite(float a, float b) {
    return std::isfinite(a) && std::isfinite(b) ? StatusOk : StatusBadArgument;
}

// The source block is one column and one row larger than roi; its view
// carries roi's size (the kernels address it from the destination's).
template <class S, class D>
StatusCode copySubpix(const S* pSrc, int srcStep, D* pDst, int dstStep, ImageSize roi, float dx, float dy,
                      int scaleFactor) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((checkImages<S, D>(srcStep, roi.width, dstStep, roi.width)));
    ZAL_CHECK(requireFinite(dx, dy));
    pyramid::copySubpix<S, D>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), dx, dy, scaleFactor);
    return StatusOk;
}

template <class S, class D>
StatusCode copySubpixIntersect(const S* pSrc, int srcStep, ImageSize srcRoi, D* pDst, int dstStep, ImageSize dstRoi,
                               float cx, float cy, ImagePoint* pMin, ImagePoint* pMax, int scaleFactor) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pMin, pMax));
    ZAL_CHECK(requireSize(dstRoi));
    ZAL_CHECK(requireSize(srcRoi));
    ZAL_CHECK((checkImages<S, D>(srcStep, srcRoi.width, dstStep, dstRoi.width)));
    ZAL_CHECK(requireFinite(cx, cy));
    pyramid::copySubpixIntersect<S, D>(image(pSrc, srcStep, srcRoi), image(pDst, dstStep, dstRoi), cx, cy, pMin, pMax,
                                       scaleFactor);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_COPY_SUBPIX_INSTANCES(S, D)                                                                   \
    template void zal::pyramid::copySubpix<S, D>(zal::Image<const S>, zal::Image<D>, float, float, int);  \
    template void zal::pyramid::copySubpixIntersect<S, D>(zal::Image<const S>, zal::Image<D>, float, float, \
                                                          ImagePoint*, ImagePoint*, int);
#define ZAL_COPY_SUBPIX(name, S, D)                                                                       \
    ZAL_DECLARED(name);                                                                                   \
    ZAL_COPY_SUBPIX_INSTANCES(S, D)                                                                       \
    extern "C" StatusCode name(const S* pSrc, int srcStep, D* pDst, int dstStep, ImageSize roiSize, float dx, \
                               float dy) {                                                                \
        return zal::copySubpix(pSrc, srcStep, pDst, dstStep, roiSize, dx, dy, 0);                         \
    }
#define ZAL_COPY_SUBPIX_SFS(name, S, D)                                                                   \
    ZAL_DECLARED(name);                                                                                   \
    ZAL_COPY_SUBPIX_INSTANCES(S, D)                                                                       \
    extern "C" StatusCode name(const S* pSrc, int srcStep, D* pDst, int dstStep, ImageSize roiSize, float dx, \
                               float dy, int scaleFactor) {                                               \
        return zal::copySubpix(pSrc, srcStep, pDst, dstStep, roiSize, dx, dy, scaleFactor);               \
    }
#define ZAL_COPY_SUBPIX_INTERSECT(name, S, D)                                                             \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(const S* pSrc, int srcStep, ImageSize srcRoiSize, D* pDst, int dstStep,    \
                               ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin,        \
                               ImagePoint* pMax) {                                                        \
        return zal::copySubpixIntersect(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize, pointX, pointY, \
                                        pMin, pMax, 0);                                                   \
    }
#define ZAL_COPY_SUBPIX_INTERSECT_SFS(name, S, D)                                                         \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(const S* pSrc, int srcStep, ImageSize srcRoiSize, D* pDst, int dstStep,    \
                               ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin,        \
                               ImagePoint* pMax, int scaleFactor) {                                       \
        return zal::copySubpixIntersect(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize, pointX, pointY, \
                                        pMin, pMax, scaleFactor);                                         \
    }
ZAL_PYRAMID_COPY_SUBPIX(ZAL_COPY_SUBPIX)
ZAL_PYRAMID_COPY_SUBPIX_SFS(ZAL_COPY_SUBPIX_SFS)
ZAL_PYRAMID_COPY_SUBPIX_INTERSECT(ZAL_COPY_SUBPIX_INTERSECT)
ZAL_PYRAMID_COPY_SUBPIX_INTERSECT_SFS(ZAL_COPY_SUBPIX_INTERSECT_SFS)
#endif  // HWY_ONCE
