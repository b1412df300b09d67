// Thresholds: dst = value where src compares true against the threshold
// (less than or greater than), else src. The plain members use
// value = threshold; the GT/LT members fix the comparison.
//
// 8u compares the values. 32f compares IEEE bit patterns: as signed integers
// when threshold >= 0.0 (so -0.0 counts as >= 0.0), otherwise as unsigned
// integers with the sense reversed. For finite values other than signed
// zeros this is the ordinary float comparison; NaNs order by their bits.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/threshold.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <bit>

#include "core/image.h"
#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Rows of T through `select(v)`, which returns value or v lane by lane.
template <class T, class Select>
HWY_INLINE void thresholdRows(Image<const T> src, Image<T> dst, Select select) {
    const hn::ScalableTag<T> d;
    for (int y = 0; y < dst.height; ++y)
        transformRow(d, d, src.row(y), dst.row(y), static_cast<std::size_t>(dst.width), select);
}

void Threshold8u(Image<const uint8_t> src, Image<uint8_t> dst, uint8_t threshold, uint8_t value, bool less) {
    const hn::ScalableTag<uint8_t> d;
    const auto t = hn::Set(d, threshold), v = hn::Set(d, value);
    if (less) thresholdRows(src, dst, [&](auto x) { return hn::IfThenElse(hn::Lt(x, t), v, x); });
    else thresholdRows(src, dst, [&](auto x) { return hn::IfThenElse(hn::Gt(x, t), v, x); });
}

// The float lanes are compared as integers of type I (int32_t or uint32_t).
template <class I, bool Less>
HWY_INLINE void thresholdBits(Image<const float> src, Image<float> dst, float threshold, float value) {
    const hn::ScalableTag<float> df;
    const hn::RebindToSigned<decltype(df)> ds;
    const hn::Rebind<I, decltype(df)> di;
    const auto t = hn::Set(di, std::bit_cast<I>(threshold));
    const auto v = hn::Set(df, value);
    thresholdRows(src, dst, [&](auto x) {
        const auto bits = hn::BitCast(di, x);
        // Signed bits: x < t as integers. Unsigned bits (negative threshold):
        // the order of negative floats is the reverse of their bit order.
        const auto m = std::is_signed_v<I> == Less ? hn::Lt(bits, t) : hn::Gt(bits, t);
        return hn::IfThenElse(hn::RebindMask(df, hn::RebindMask(ds, m)), v, x);
    });
}

void Threshold32f(Image<const float> src, Image<float> dst, float threshold, float value, bool less) {
    if (threshold >= 0.0f) {
        less ? thresholdBits<int32_t, true>(src, dst, threshold, value)
             : thresholdBits<int32_t, false>(src, dst, threshold, value);
    } else {
        less ? thresholdBits<uint32_t, true>(src, dst, threshold, value)
             : thresholdBits<uint32_t, false>(src, dst, threshold, value);
    }
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
HWY_EXPORT(Threshold8u);
HWY_EXPORT(Threshold32f);

namespace core {

template <class T>
void threshold(Image<const T> src, Image<T> dst, T threshold, T value, Comparison cmp) {
    const bool less = cmp == Comparison::Less;
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(Threshold8u)(src, dst, threshold, value, less);
    else HWY_DYNAMIC_DISPATCH(Threshold32f)(src, dst, threshold, value, less);
}

}  // namespace core

namespace {

// The comparison code is tested before anything else; steps need only be
// positive, so 32f rows may start at any byte address.
template <class T>
StatusCode thresholdVal(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, T threshold, T value,
                        int cmpOp) {
    const auto cmp = static_cast<core::Comparison>(cmpOp);
    ZAL_CHECK(failIf(cmp != core::Comparison::Less && cmp != core::Comparison::Greater,
                     StatusComparisonNotSupported));
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requirePositiveSteps(srcStep, dstStep));
    core::threshold<T>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), threshold, value, cmp);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_THRESHOLD_VAL(name, T)                                                                            \
    ZAL_DECLARED(name);                                                                                       \
    template void zal::core::threshold<T>(zal::Image<const T>, zal::Image<T>, T, T, zal::core::Comparison);   \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,           \
                               T threshold, T value, int cmpOp) {                                             \
        return zal::thresholdVal(pSrc, srcStep, pDst, dstStep, roiSize, threshold, value, cmpOp);             \
    }
#define ZAL_THRESHOLD(name, T)                                                                                \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,           \
                               T threshold, int cmpOp) {                                                      \
        return zal::thresholdVal(pSrc, srcStep, pDst, dstStep, roiSize, threshold, threshold, cmpOp);         \
    }
#define ZAL_THRESHOLD_FIXED(name, T, CMP)                                                                     \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,           \
                               T threshold) {                                                                 \
        return zal::thresholdVal(pSrc, srcStep, pDst, dstStep, roiSize, threshold, threshold,                 \
                                 static_cast<int>(zal::core::Comparison::CMP));                               \
    }
#define ZAL_THRESHOLD_FIXED_INPLACE(name, T, CMP)                                                             \
    ZAL_DECLARED(name);                                                                                       \
    extern "C" StatusCode name(T* pSrcDst, int srcDstStep, ImageSize roiSize, T threshold) {                  \
        return zal::thresholdVal<T>(pSrcDst, srcDstStep, pSrcDst, srcDstStep, roiSize, threshold, threshold,  \
                                    static_cast<int>(zal::core::Comparison::CMP));                            \
    }
ZAL_CORE_THRESHOLD_VAL(ZAL_THRESHOLD_VAL)
ZAL_CORE_THRESHOLD(ZAL_THRESHOLD)
ZAL_CORE_THRESHOLD_FIXED(ZAL_THRESHOLD_FIXED)
ZAL_CORE_THRESHOLD_FIXED_INPLACE(ZAL_THRESHOLD_FIXED_INPLACE)
#endif  // HWY_ONCE
