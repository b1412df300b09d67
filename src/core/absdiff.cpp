// Absolute difference of two images, and of an image and a constant.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/absdiff.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "core/image.h"
#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// |a - b| lane by lane: for integers the larger minus the smaller, which
// always fits the type; for floats a - b with the sign bit cleared (so -0
// becomes +0 and a NaN keeps its payload).
template <class V>
HWY_INLINE V absDifference(V a, V b) {
    if constexpr (hwy::IsFloat<hn::TFromV<V>>()) {
        return hn::Abs(hn::Sub(a, b));
    } else {
        return hn::Or(hn::SaturatedSub(a, b), hn::SaturatedSub(b, a));
    }
}

template <class T>
HWY_INLINE void absDiffImage(Image<const T> a, Image<const T> b, Image<T> dst) {
    const hn::ScalableTag<T> d;
    for (int y = 0; y < dst.height; ++y)
        transformRow2(d, a.row(y), b.row(y), dst.row(y), static_cast<std::size_t>(dst.width),
                      [](auto va, auto vb) { return absDifference(va, vb); });
}

template <class T>
HWY_INLINE void absDiffConstImage(Image<const T> src, T value, Image<T> dst) {
    const hn::ScalableTag<T> d;
    const auto c = hn::Set(d, value);
    for (int y = 0; y < dst.height; ++y)
        transformRow(d, d, src.row(y), dst.row(y), static_cast<std::size_t>(dst.width),
                     [c](auto v) { return absDifference(v, c); });
}

void AbsDiff8u(Image<const uint8_t> a, Image<const uint8_t> b, Image<uint8_t> d) { absDiffImage(a, b, d); }
void AbsDiff16u(Image<const uint16_t> a, Image<const uint16_t> b, Image<uint16_t> d) { absDiffImage(a, b, d); }
void AbsDiff32f(Image<const float> a, Image<const float> b, Image<float> d) { absDiffImage(a, b, d); }
void AbsDiffC8u(Image<const uint8_t> s, uint8_t v, Image<uint8_t> d) { absDiffConstImage(s, v, d); }
void AbsDiffC16u(Image<const uint16_t> s, uint16_t v, Image<uint16_t> d) { absDiffConstImage(s, v, d); }
void AbsDiffC32f(Image<const float> s, float v, Image<float> d) { absDiffConstImage(s, v, d); }

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "core/exports.h"
#include "core/ops.h"
#include "core/saturate.h"

namespace zal {
HWY_EXPORT(AbsDiff8u);
HWY_EXPORT(AbsDiff16u);
HWY_EXPORT(AbsDiff32f);
HWY_EXPORT(AbsDiffC8u);
HWY_EXPORT(AbsDiffC16u);
HWY_EXPORT(AbsDiffC32f);

namespace core {

template <class T>
void absDiff(Image<const T> a, Image<const T> b, Image<T> dst) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(AbsDiff8u)(a, b, dst);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(AbsDiff16u)(a, b, dst);
    else HWY_DYNAMIC_DISPATCH(AbsDiff32f)(a, b, dst);
}

template <class T>
void absDiffC(Image<const T> src, T value, Image<T> dst) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(AbsDiffC8u)(src, value, dst);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(AbsDiffC16u)(src, value, dst);
    else HWY_DYNAMIC_DISPATCH(AbsDiffC32f)(src, value, dst);
}

}  // namespace core

namespace {

template <class T>
StatusCode checkImages(ImageSize roi, const void* p1, const void* p2, const void* p3, int s1, int s2, int s3) {
    ZAL_CHECK(requireNonNull(p1, p2, p3));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, 1>(roi, s1, s2, s3)));
    return requireStepsAligned<T>(s1, s2, s3);
}

template <class T>
StatusCode absDiff(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, T* pDst, int dstStep, ImageSize roi) {
    ZAL_CHECK(checkImages<T>(roi, pSrc1, pSrc2, pDst, src1Step, src2Step, dstStep));
    core::absDiff<T>(image(pSrc1, src1Step, roi), image(pSrc2, src2Step, roi), image(pDst, dstStep, roi));
    return StatusOk;
}

// Integer constants are clamped into the element range first.
template <class T, class V>
StatusCode absDiffC(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, V value) {
    ZAL_CHECK(checkImages<T>(roi, pSrc, pDst, pDst, srcStep, dstStep, dstStep));
    T c;
    if constexpr (std::is_same_v<T, float>) c = value;
    else c = saturate<T>(value);
    core::absDiffC<T>(image(pSrc, srcStep, roi), c, image(pDst, dstStep, roi));
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_ABS_DIFF(name, T)                                                                              \
    ZAL_DECLARED(name);                                                                                    \
    template void zal::core::absDiff<T>(zal::Image<const T>, zal::Image<const T>, zal::Image<T>);         \
    extern "C" StatusCode name(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, T* pDst, int dstStep, \
                               ImageSize roiSize) {                                                        \
        return zal::absDiff(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize);                     \
    }
#define ZAL_ABS_DIFF_C(name, T, V)                                                                           \
    ZAL_DECLARED(name);                                                                                      \
    template void zal::core::absDiffC<T>(zal::Image<const T>, T, zal::Image<T>);                            \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize, V value) { \
        return zal::absDiffC(pSrc, srcStep, pDst, dstStep, roiSize, value);                                  \
    }
ZAL_CORE_ABS_DIFF(ZAL_ABS_DIFF)
ZAL_CORE_ABS_DIFF_C(ZAL_ABS_DIFF_C)
#endif  // HWY_ONCE
