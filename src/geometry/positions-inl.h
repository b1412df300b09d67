// Source positions of the radial model a vector of pixels at a time,
// compiled once per SIMD target (see RadialModel in geometry/internal.h for
// the arithmetic; every lane evaluates it in the same order). Include after
// <hwy/highway.h> inside a file that foreach_target.h re-includes.
#if defined(ZAL_GEOMETRY_POSITIONS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZAL_GEOMETRY_POSITIONS_INL_H_
#undef ZAL_GEOMETRY_POSITIONS_INL_H_
#else
#define ZAL_GEOMETRY_POSITIONS_INL_H_
#endif

#include <cstddef>

#include <hwy/highway.h>

#include "core/rows-inl.h"
#include "geometry/internal.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

using DF = hn::ScalableTag<float>;

// The first n (> 0) floats at p, the other lanes 0.
HWY_INLINE hn::Vec<DF> loadFloats(const float* p, std::ptrdiff_t n) {
    const DF df;
    return n >= static_cast<std::ptrdiff_t>(hn::Lanes(df)) ? hn::LoadU(df, p)
                                                           : loadPartial(df, p, static_cast<std::size_t>(n));
}

using DI = hn::RebindToSigned<DF>;

// Column numbers u .. u + lanes - 1 as floats (rounded like a conversion of
// each); `lanes` is Iota(DI(), 0), made once rather than per vector.
HWY_INLINE hn::Vec<DF> columnsFrom(hn::Vec<DI> lanes, std::ptrdiff_t u) {
    return hn::ConvertTo(DF(), hn::Add(lanes, hn::Set(DI(), static_cast<int32_t>(u))));
}

// Positions of the pixels of row v.
class RadialRow {
public:
    RadialRow(const geometry::RadialModel& model, int v) : m_(model), lanes_(hn::Iota(DI(), 0)) {
        const float fv = static_cast<float>(v);
        const float dy = fv - m_.cam.cy;
        const float y2 = dy * dy * m_.invFy2;
        fv_ = hn::Set(DF(), fv);
        dy_ = hn::Set(DF(), dy);
        y2_ = hn::Set(DF(), y2);
        rowTerm_ = hn::Set(DF(), y2 * (m_.cam.k1 + m_.cam.k2 * y2));
        cross_ = hn::Set(DF(), 2.0f * m_.cam.k2 * y2);
    }

    // xs and ys of pixels u .. u + lanes - 1, of which the first n (> 0) lie
    // in the row (the others are computed from zero column terms).
    HWY_INLINE void at(std::ptrdiff_t u, std::ptrdiff_t n, hn::Vec<DF>& xs, hn::Vec<DF>& ys) const {
        const DF df;
        const auto fu = columnsFrom(lanes_, u);
        hn::Vec<DF> dx, r;
        if (m_.buffered) {
            const auto x2 = loadFloats(m_.columns.first + u, n), c = loadFloats(m_.columns.second + u, n);
            dx = loadFloats(m_.columns.third + u, n);
            r = hn::Add(hn::Add(c, rowTerm_), hn::Mul(x2, cross_));
        } else {
            dx = hn::Sub(fu, hn::Set(df, m_.cam.cx));
            const auto r2 = hn::Add(hn::Mul(hn::Mul(dx, dx), hn::Set(df, m_.invFx2)), y2_);
            r = hn::Add(hn::Mul(hn::Set(df, m_.cam.k1), r2), hn::Mul(hn::Set(df, m_.cam.k2), hn::Mul(r2, r2)));
        }
        xs = hn::Add(fu, hn::Mul(dx, r));
        ys = hn::Add(fv_, hn::Mul(dy_, r));
    }

private:
    const geometry::RadialModel& m_;
    const hn::Vec<DI> lanes_;
    hn::Vec<DF> fv_, dy_, y2_, rowTerm_, cross_;
};

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#endif  // ZAL_GEOMETRY_POSITIONS_INL_H_
