// Element-wise maximum and minimum of two vectors. The second operand
// replaces the first only when it compares strictly greater (smaller), so for
// 32f a comparison with NaN keeps the first operand.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/vector_minmax.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// dst[i] = b[i] where b[i] > a[i] (Max) or b[i] < a[i] (Min), else a[i].
template <bool Max, class T>
HWY_INLINE void every(const T* a, const T* b, T* dst, int len) {
    if (len <= 0) return;
    const hn::ScalableTag<T> d;
    transformRow2(d, a, b, dst, static_cast<std::size_t>(len), [](auto va, auto vb) {
        return hn::IfThenElse(Max ? hn::Gt(vb, va) : hn::Lt(vb, va), vb, va);
    });
}

void MaxEvery8u(const uint8_t* a, const uint8_t* b, uint8_t* d, int n) { every<true>(a, b, d, n); }
void MinEvery8u(const uint8_t* a, const uint8_t* b, uint8_t* d, int n) { every<false>(a, b, d, n); }
void MaxEvery32f(const float* a, const float* b, float* d, int n) { every<true>(a, b, d, n); }
void MinEvery32f(const float* a, const float* b, float* d, int n) { every<false>(a, b, d, n); }

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "core/exports.h"
#include "core/ops.h"

namespace zal {
HWY_EXPORT(MaxEvery8u);
HWY_EXPORT(MinEvery8u);
HWY_EXPORT(MaxEvery32f);
HWY_EXPORT(MinEvery32f);

namespace core {

template <bool Max, class T>
void every(const T* a, const T* b, T* dst, int len) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        Max ? HWY_DYNAMIC_DISPATCH(MaxEvery8u)(a, b, dst, len) : HWY_DYNAMIC_DISPATCH(MinEvery8u)(a, b, dst, len);
    } else {
        Max ? HWY_DYNAMIC_DISPATCH(MaxEvery32f)(a, b, dst, len) : HWY_DYNAMIC_DISPATCH(MinEvery32f)(a, b, dst, len);
    }
}

}  // namespace core
}  // namespace zal

#define ZAL_PICK_Max true
#define ZAL_PICK_Min false
// Unchecked: len <= 0 does nothing.
#define ZAL_EVERY(name, T, PICK)                                                   \
    ZAL_DECLARED(name);                                                            \
    extern "C" StatusCode name(const T* pSrc1, const T* pSrc2, T* pDst, int len) { \
        zal::core::every<ZAL_PICK_##PICK>(pSrc1, pSrc2, pDst, len);                \
        return StatusOk;                                                           \
    }
// In place, the first operand is srcDst.
#define ZAL_EVERY_INPLACE(name, T, PICK, CHECKED)                                  \
    ZAL_DECLARED(name);                                                            \
    extern "C" StatusCode name(const T* pSrc, T* pSrcDst, int len) {               \
        if (CHECKED) {                                                             \
            ZAL_CHECK(zal::requireNonNull(pSrc, pSrcDst));                         \
            ZAL_CHECK(zal::requireLength(len));                                    \
        }                                                                          \
        zal::core::every<ZAL_PICK_##PICK>(pSrcDst, pSrc, pSrcDst, len);            \
        return StatusOk;                                                           \
    }
ZAL_CORE_EVERY(ZAL_EVERY)
ZAL_CORE_EVERY_INPLACE(ZAL_EVERY_INPLACE)
template void zal::core::every<true, uint8_t>(const uint8_t*, const uint8_t*, uint8_t*, int);
template void zal::core::every<false, uint8_t>(const uint8_t*, const uint8_t*, uint8_t*, int);
template void zal::core::every<true, float>(const float*, const float*, float*, int);
template void zal::core::every<false, float>(const float*, const float*, float*, int);
#endif  // HWY_ONCE
