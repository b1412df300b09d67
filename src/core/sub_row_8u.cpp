// Vector kernel of the 8-bit subtraction with scale factor, in full-width
// 8-bit lanes; each lane computes exactly the scalar formula of the tail loop.
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

// Applies `scale` to d = max(b - a, 0) in full-width 8-bit lanes, then the
// scalar tail.
template <class Scale>
HWY_INLINE void subRows(const uint8_t* a, const uint8_t* b, uint8_t* d, int n, int s, Scale scale) {
    const hn::ScalableTag<uint8_t> d8;
    const int lanes = static_cast<int>(hn::Lanes(d8));
    int x = 0;
    for (; x + lanes <= n; x += lanes)
        hn::StoreU(scale(hn::SaturatedSub(hn::LoadU(d8, b + x), hn::LoadU(d8, a + x))), d8, d + x);
    for (; x < n; ++x) d[x] = subPixel(a[x], b[x], s);
}

void SubRow8u(const uint8_t* a, const uint8_t* b, uint8_t* d, int n, int s) {
    const hn::ScalableTag<uint8_t> d8;
    const auto one = hn::Set(d8, 1);
    const auto maxByte = hn::Set(d8, 255);
    const auto zero = hn::Zero(d8);
    if (s == 0) {
        subRows(a, b, d, n, s, [](auto diff) { return diff; });
    } else if (s > 0) {
        // q = d >> s goes up by one when the dropped bits exceed one half, or
        // equal it with q odd: up = halfBit & (lowerBits != 0 | q & 1). The
        // same value as (d + 2^(s-1) - 1 + (q & 1)) >> s, without overflow.
        const auto lowerMask = hn::Set(d8, static_cast<uint8_t>((1 << (s - 1)) - 1));
        subRows(a, b, d, n, s, [&](auto diff) {
            const auto q = hn::ShiftRightSame(diff, s);
            const auto halfBit = hn::And(hn::ShiftRightSame(diff, s - 1), one);
            const auto sticky = hn::VecFromMask(d8, hn::Ne(hn::And(diff, lowerMask), zero));
            const auto up = hn::And(halfBit, hn::Or(hn::And(sticky, one), hn::And(q, one)));
            return hn::Add(q, up);
        });
    } else if (s >= -7) {
        // d << -s saturates exactly when d exceeds 255 >> -s.
        const auto limit = hn::Set(d8, static_cast<uint8_t>(255 >> -s));
        subRows(a, b, d, n, s, [&](auto diff) {
            return hn::IfThenElse(hn::Gt(diff, limit), maxByte, hn::ShiftLeftSame(diff, -s));
        });
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
