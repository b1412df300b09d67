// The comparison of the min/max kernels in vector lanes, compiled once per
// SIMD target (include after <hwy/highway.h> in a file that foreach_target.h
// re-includes).
#if defined(ZAL_MORPH_PICK_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_MORPH_PICK_INL_H_
#undef ZAL_MORPH_PICK_INL_H_
#else
#define ZAL_MORPH_PICK_INL_H_
#endif

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The running extremum `acc` after value `v`: v replaces it only when it
// compares strictly greater (kMax) or smaller, so for floats a tie between
// +0 and -0 keeps acc, a NaN value is passed over and a NaN acc stays.
template <bool kMax, class V>
HWY_INLINE V pickLanes(V acc, V v) {
    if constexpr (!hwy::IsFloat<hn::TFromV<V>>()) {
        return kMax ? hn::Max(acc, v) : hn::Min(acc, v);
    } else {
#if HWY_ARCH_X86 && HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
        // x86 max/min return their second operand on ties and NaNs.
        return kMax ? hn::Max(v, acc) : hn::Min(v, acc);
#else
        return kMax ? hn::IfThenElse(hn::Gt(v, acc), v, acc) : hn::IfThenElse(hn::Lt(v, acc), v, acc);
#endif
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_MORPH_PICK_INL_H_
