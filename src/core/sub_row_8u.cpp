// Vector kernel of the 8-bit subtraction with scale factor. The differences
// are widened to 16 bits, where every rounding step is exact, and narrowed
// back; each lane computes exactly the scalar formula of the tail loop.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/sub_row_8u.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "core/sub_row_8u.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One pixel, the definition the vector lanes follow.
inline uint8_t subPixel(uint8_t a, uint8_t b, int s) {
    const int d = b > a ? b - a : 0;
    if (s == 0) return static_cast<uint8_t>(d);
    if (s > 0) return static_cast<uint8_t>((d + (1 << (s - 1)) - 1 + ((d >> s) & 1)) >> s);
    if (s >= -7) return static_cast<uint8_t>(d << -s > 255 ? 255 : d << -s);
    return d > 0 ? 255 : 0;
}

// Applies `scale` to max(b - a, 0) in 16-bit lanes, then the scalar tail.
template <class Scale>
HWY_INLINE void subRows(const uint8_t* a, const uint8_t* b, uint8_t* d, int n, int s, Scale scale) {
    const hn::ScalableTag<int16_t> d16;  // 0..32640 fits, and int16 narrows to u8
    const hn::Rebind<uint8_t, decltype(d16)> d8;
    const int lanes = static_cast<int>(hn::Lanes(d16));
    const auto zero = hn::Zero(d16);
    int x = 0;
    for (; x + lanes <= n; x += lanes) {
        const auto va = hn::PromoteTo(d16, hn::LoadU(d8, a + x));
        const auto vb = hn::PromoteTo(d16, hn::LoadU(d8, b + x));
        hn::StoreU(hn::DemoteTo(d8, scale(hn::Max(hn::Sub(vb, va), zero))), d8, d + x);
    }
    for (; x < n; ++x) d[x] = subPixel(a[x], b[x], s);
}

void SubRow8u(const uint8_t* a, const uint8_t* b, uint8_t* d, int n, int s) {
    const hn::ScalableTag<int16_t> d16;
    const auto one = hn::Set(d16, 1);
    const auto maxByte = hn::Set(d16, 255);
    const auto zero = hn::Zero(d16);
    if (s == 0) {
        subRows(a, b, d, n, s, [](auto diff) { return diff; });
    } else if (s > 0) {
        const auto bias = hn::Set(d16, static_cast<int16_t>((1 << (s - 1)) - 1));
        subRows(a, b, d, n, s, [&](auto diff) {
            const auto odd = hn::And(hn::ShiftRightSame(diff, s), one);
            return hn::ShiftRightSame(hn::Add(hn::Add(diff, bias), odd), s);
        });
    } else if (s >= -7) {
        subRows(a, b, d, n, s, [&](auto diff) { return hn::Min(hn::ShiftLeftSame(diff, -s), maxByte); });
    } else {
        subRows(a, b, d, n, s, [&](auto diff) { return hn::IfThenElse(hn::Gt(diff, zero), maxByte, zero); });
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal {
HWY_EXPORT(SubRow8u);

void subRow8u(const uint8_t* a, const uint8_t* b, uint8_t* d, int n, int s) {
    HWY_DYNAMIC_DISPATCH(SubRow8u)(a, b, d, n, s);
}
}  // namespace zal
#endif
