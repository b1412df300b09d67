// Subtraction dst = src2 - src1 (in place: srcDst = srcDst - src). The 8u
// members saturate negative differences to 0 and scale by 2^-scaleFactor with
// rounding to nearest even. The multi-channel members run the one-channel
// kernel over width * channels elements. Steps are not checked, so rows may
// start at any byte address; the kernels load and store unaligned.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/sub.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "core/image.h"
#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// One 8-bit element, the definition the vector lanes follow:
// d = max(b - a, 0), then d * 2^-s rounded to nearest even and saturated.
inline uint8_t subPixel(uint8_t a, uint8_t b, int s) {
    const int d = b > a ? b - a : 0;
    if (s == 0) return static_cast<uint8_t>(d);
    if (s > 0) return static_cast<uint8_t>((d + (1 << (s - 1)) - 1 + ((d >> s) & 1)) >> s);
    if (s >= -7) return static_cast<uint8_t>(d << -s > 255 ? 255 : d << -s);
    return d > 0 ? 255 : 0;
}

// Applies `scale` to d = max(b - a, 0) in full-width 8-bit lanes.
template <class Scale>
HWY_INLINE void subRows8u(Image<const uint8_t> a, Image<const uint8_t> b, Image<uint8_t> dst, Scale scale) {
    const hn::ScalableTag<uint8_t> d8;
    for (int y = 0; y < dst.height; ++y)
        transformRow2(d8, a.row(y), b.row(y), dst.row(y), static_cast<std::size_t>(dst.width),
                      [&](auto va, auto vb) { return scale(hn::SaturatedSub(vb, va)); });
}

// Scale factors 0..8 and -7..-1 in lanes; larger ones either clear every
// difference (s > 8, handled by the caller) or saturate any positive one.
void Sub8u(Image<const uint8_t> a, Image<const uint8_t> b, Image<uint8_t> dst, int s) {
    const hn::ScalableTag<uint8_t> d8;
    const auto one = hn::Set(d8, 1);
    const auto maxByte = hn::Set(d8, 255);
    const auto zero = hn::Zero(d8);
    if (s == 0) {
        subRows8u(a, b, dst, [](auto diff) { return diff; });
    } else if (s > 0) {
        // q = d >> s goes up by one when the dropped bits exceed one half, or
        // equal it with q odd: up = halfBit & (lowerBits != 0 | q & 1). The
        // same value as (d + 2^(s-1) - 1 + (q & 1)) >> s, without overflow.
        const auto lowerMask = hn::Set(d8, static_cast<uint8_t>((1 << (s - 1)) - 1));
        subRows8u(a, b, dst, [&](auto diff) {
            const auto q = hn::ShiftRightSame(diff, s);
            const auto halfBit = hn::And(hn::ShiftRightSame(diff, s - 1), one);
            const auto sticky = hn::VecFromMask(d8, hn::Ne(hn::And(diff, lowerMask), zero));
            const auto up = hn::And(halfBit, hn::Or(hn::And(sticky, one), hn::And(q, one)));
            return hn::Add(q, up);
        });
    } else if (s >= -7) {
        // d << -s saturates exactly when d exceeds 255 >> -s.
        const auto limit = hn::Set(d8, static_cast<uint8_t>(255 >> -s));
        subRows8u(a, b, dst, [&](auto diff) {
            return hn::IfThenElse(hn::Gt(diff, limit), maxByte, hn::ShiftLeftSame(diff, -s));
        });
    } else {
        subRows8u(a, b, dst, [&](auto diff) { return hn::IfThenElse(hn::Gt(diff, zero), maxByte, zero); });
    }
}

void Sub32f(Image<const float> a, Image<const float> b, Image<float> dst) {
    const hn::ScalableTag<float> d;
    for (int y = 0; y < dst.height; ++y)
        transformRow2(d, a.row(y), b.row(y), dst.row(y), static_cast<std::size_t>(dst.width),
                      [](auto va, auto vb) { return hn::Sub(vb, va); });
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "core/exports.h"
#include "core/ops.h"

namespace zal {
HWY_EXPORT(Sub8u);
HWY_EXPORT(Sub32f);

namespace core {

void sub(Image<const uint8_t> a, Image<const uint8_t> b, Image<uint8_t> dst, int scaleFactor) {
    if (scaleFactor > 8) return set(0, dst);  // every difference rounds to 0
    HWY_DYNAMIC_DISPATCH(Sub8u)(a, b, dst, scaleFactor);
}

void sub(Image<const float> a, Image<const float> b, Image<float> dst) { HWY_DYNAMIC_DISPATCH(Sub32f)(a, b, dst); }

}  // namespace core

namespace {

// Multi-channel members test the width before the pointers (a width whose
// element count overflows is a size error as well), then run over
// width * Channels elements.
template <int Channels, class... Scale>
StatusCode sub(const auto* pSrc1, int src1Step, const auto* pSrc2, int src2Step, auto* pDst, int dstStep,
               ImageSize roi, Scale... scaleFactor) {
    if constexpr (Channels > 1) ZAL_CHECK(failIf(roi.width < 1 || roi.width > INT32_MAX / Channels, StatusSizeError));
    ZAL_CHECK(requireNonNull(pSrc1, pSrc2, pDst));
    const ImageSize elems{roi.width * Channels, roi.height};
    ZAL_CHECK(requireSize(elems));
    // Scale factors above 8 clear the destination, and that fill tests the
    // destination step (kept for compatibility: callers see -14 there).
    if constexpr (sizeof...(Scale) == 1)
        if (((scaleFactor > 8) && ...)) ZAL_CHECK(requirePositiveSteps(dstStep));
    core::sub(image(pSrc1, src1Step, elems), image(pSrc2, src2Step, elems), image(pDst, dstStep, elems),
              scaleFactor...);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_SUB_8U(name, C)                                                                                   \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step,        \
                               uint8_t* pDst, int dstStep, ImageSize roiSize, int scaleFactor) {              \
        return zal::sub<C>(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize, scaleFactor);            \
    }
#define ZAL_SUB_8U_INPLACE(name, C)                                                                           \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep,            \
                               ImageSize roiSize, int scaleFactor) {                                          \
        return zal::sub<C>(pSrc, srcStep, pSrcDst, srcDstStep, pSrcDst, srcDstStep, roiSize, scaleFactor);    \
    }
#define ZAL_SUB_32F(name, C)                                                                                  \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step,            \
                               float* pDst, int dstStep, ImageSize roiSize) {                                 \
        return zal::sub<C>(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize);                        \
    }
#define ZAL_SUB_32F_INPLACE(name, C)                                                                          \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep,                \
                               ImageSize roiSize) {                                                           \
        return zal::sub<C>(pSrc, srcStep, pSrcDst, srcDstStep, pSrcDst, srcDstStep, roiSize);                 \
    }
ZAL_CORE_SUB_8U(ZAL_SUB_8U)
ZAL_CORE_SUB_8U_INPLACE(ZAL_SUB_8U_INPLACE)
ZAL_CORE_SUB_32F(ZAL_SUB_32F)
ZAL_CORE_SUB_32F_INPLACE(ZAL_SUB_32F_INPLACE)
#endif  // HWY_ONCE
