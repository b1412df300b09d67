// Sub-pixel rectangle copies by bilinear interpolation: a destination-sized
// block at a fractional offset, and a block centred on a point, clipped to the
// source with the outside filled by replicating the nearest border pixels.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "pyramid/exports.h"
#include "pyramid/ops.h"
#include "pyramid/subpix_weights.h"

namespace zal {
namespace {

// Fixed-point results: (sum + round) >> shift in unsigned 32-bit
// arithmetic. `Clamp` bounds the 16u result: with Q15 weights rounded half up
// the four weights may sum to 32770, and a white 16-bit pixel would otherwise
// wrap to black.
template <class D, bool Clamp>
struct ShiftOut {
    uint32_t round;
    unsigned shift;

    D operator()(uint32_t v) const {
        v = (v + round) >> shift;
        if constexpr (Clamp) v = std::min<uint32_t>(v, 65535u);
        return static_cast<D>(v);
    }
};

// 8u to 16u: the Q14 sum times 2^-(scaleFactor + 14), rounded half up and
// saturated to 0..65535, for every scale factor. Below a total shift of 0
// the sum is shifted left instead; both counts are capped where the result
// stops changing (a sum below 2^23 rounds to 0 after 24 right shifts and,
// when not 0, saturates after 17 left shifts). Within 1..31 this is the
// plain (sum + 2^(shift - 1)) >> shift.
struct ScaledOut {
    uint64_t round = 0;
    unsigned left = 0, right = 0;

    explicit ScaledOut(int scaleFactor) {
        const long long shift = static_cast<long long>(scaleFactor) + 14;
        left = static_cast<unsigned>(std::clamp<long long>(-shift, 0, 17));
        right = static_cast<unsigned>(std::clamp<long long>(shift, 0, 32));
        round = right > 0 ? uint64_t{1} << (right - 1) : 0;
    }
    uint16_t operator()(uint32_t v) const {
        return static_cast<uint16_t>(std::min<uint64_t>(((uint64_t{v} << left) + round) >> right, 65535u));
    }
};

// Integer interpolation: weighted sums in unsigned 32-bit arithmetic (at
// most 65535 x 32770), then the result conversion `Out`.
template <class S, class D, int Shift, class Out>
struct FixedKernel {
    FixedWeights<Shift> w;
    Out out;

    D four(S p00, S p01, S p10, S p11) const {
        return out(uint32_t(p00) * w.w00 + uint32_t(p01) * w.w01 + uint32_t(p10) * w.w10 + uint32_t(p11) * w.w11);
    }
    D horiz(S p0, S p1) const { return out(uint32_t(p0) * w.a1 + uint32_t(p1) * w.a); }
    D vert(S p0, S p1) const { return out(uint32_t(p0) * w.b1 + uint32_t(p1) * w.b); }
    // a + a1 is the full scale in 16-bit arithmetic, also for the negative
    // fractions of a block lying wholly before the source (its corner is then
    // truncated toward zero rather than floored).
    D one(S p) const { return out(uint32_t(p) * static_cast<uint16_t>(w.a + w.a1)); }
};

template <class S>
struct FloatKernel {
    FloatWeights w;
    float four(S p00, S p01, S p10, S p11) const {
        return float(p00) * w.w00 + float(p01) * w.w01 + float(p10) * w.w10 + float(p11) * w.w11;
    }
    float horiz(S p0, S p1) const { return float(p0) * (1.0f - w.fx) + float(p1) * w.fx; }
    float vert(S p0, S p1) const { return float(p0) * (1.0f - w.fy) + float(p1) * w.fy; }
    float one(S p) const { return float(p) * (w.fx + (1.0f - w.fx)); }
};

// The kernel of each suffix from the two fractions (and the scale factor of
// the 8u16u members).
template <class S, class D>
auto makeKernel(float fx, float fy, int scaleFactor) {
    if constexpr (std::is_same_v<D, float>) {
        return FloatKernel<S>{FloatWeights(fx, fy)};
    } else if constexpr (std::is_same_v<S, uint16_t>) {
        return FixedKernel<S, D, 15, ShiftOut<D, true>>{FixedWeights<15>(fx, fy), {16384u, 15u}};
    } else if constexpr (std::is_same_v<D, uint16_t>) {
        return FixedKernel<S, D, 14, ScaledOut>{FixedWeights<14>(fx, fy), ScaledOut(scaleFactor)};
    } else {
        return FixedKernel<S, D, 14, ShiftOut<D, false>>{FixedWeights<14>(fx, fy), {8192u, 14u}};
    }
}

template <class S, class D>
StatusCode checkImages(const S* src, int srcStep, int srcWidth, const D* dst, int dstStep, int dstWidth) {
    ZAL_CHECK((requireRowSteps<S, 1>(ImageSize{srcWidth, 1}, srcStep)));
    ZAL_CHECK((requireRowSteps<D, 1>(ImageSize{dstWidth, 1}, dstStep)));
    (void)src;
    (void)dst;
    return requireStepsAligned<S>(srcStep) != StatusOk ? StatusStepAlignmentError : requireStepsAligned<D>(dstStep);
}

// ---- Block at a fractional offset ---------------------------------------

// ---- Block centred on a point, clipped to the source ------------------

// One axis of the clipped block: destination indices [lo, hi] interpolate
// between source index start + (i - lo) and the next; indices before lo read
// `start` alone, indices after hi read `last` alone.
struct AxisPlan {
    int start = 0, lo = 0, hi = -1, last = 0;
    float frac = 0;
};

AxisPlan planAxis(float centre, int dstLen, int srcLen) {
    AxisPlan p;
    const SubpixCorner sc = subpixCorner(centre, dstLen);
    const long long corner = sc.corner;
    p.frac = sc.frac;
    p.lo = static_cast<int>(std::min<long long>(std::max<long long>(0, -corner), dstLen));
    const long long start = std::max<long long>(corner, 0);
    p.hi = corner + dstLen - 1 <= srcLen - 2 ? dstLen - 1 : static_cast<int>(std::max<long long>(srcLen - corner - 2, -1));
    if (start >= srcLen) {
        p.lo = 0;
        p.hi = -1;
        p.start = srcLen - 1;
    } else {
        p.start = static_cast<int>(start);
    }
    // The index just past the last interpolated one: the last source index.
    p.last = std::clamp(p.start + p.hi - p.lo + 1, 0, srcLen - 1);
    return p;
}

}  // namespace

namespace pyramid {

template <class S, class D>
void copySubpix(Image<const S> src, Image<D> dst, float dx, float dy, int scaleFactor) {
    const ImageSize roi{dst.width, dst.height};
    const float fx = subpixFraction(dx), fy = subpixFraction(dy);
    if constexpr (std::is_same_v<D, float>) {
        // Incremental form: each pixel's right-hand pair is reused, scaled by
        // (1 - fx) / fx, as the next pixel's left-hand pair. The lower bound
        // keeps that ratio finite.
        const float gx = std::max(fx, 1e-6f);
        const float r = (1.0f - gx) / gx;
        const float w0t = (1.0f - gx) * (1.0f - fy), w0b = fy * (1.0f - gx);
        const float w1t = (1.0f - fy) * gx, w1b = fy * gx;
        for (int y = 0; y < roi.height; ++y) {
            const S* top = src.row(y);
            const S* bot = src.row(y + 1);
            D* d = dst.row(y);
            float acc = float(top[0]) * w0t + float(bot[0]) * w0b;
            for (int x = 0; x < roi.width; ++x) {
                const float t = float(top[x + 1]) * w1t + float(bot[x + 1]) * w1b;
                acc = acc + t;
                d[x] = acc;
                acc = r * t;
            }
        }
    } else {
        const auto k = makeKernel<S, D>(fx, fy, scaleFactor);
        for (int y = 0; y < roi.height; ++y) {
            const S* __restrict top = src.row(y);
            const S* __restrict bot = src.row(y + 1);
            D* __restrict d = dst.row(y);
            for (int x = 0; x < roi.width; ++x) d[x] = k.four(top[x], top[x + 1], bot[x], bot[x + 1]);
        }
    }
}

template <class S, class D>
void copySubpixIntersect(Image<const S> src, Image<D> dst, float cx, float cy, ImagePoint* pMin, ImagePoint* pMax,
                         int scaleFactor) {
    const AxisPlan px = planAxis(cx, dst.width, src.width);
    const AxisPlan py = planAxis(cy, dst.height, src.height);
    *pMin = ImagePoint{px.lo, py.lo};
    *pMax = ImagePoint{px.hi, py.hi};

    const auto k = makeKernel<S, D>(px.frac, py.frac, scaleFactor);
    const int W = dst.width;
    // Column segments: [0, xa) single, [xa, xb) interpolated, [xb, W) single.
    const int xa = std::min(px.lo, W);
    const int xb = std::max(xa, std::min(px.hi + 1, W));
    for (int y = 0; y < dst.height; ++y) {
        D* __restrict d = dst.row(y);
        if (y >= py.lo && y <= py.hi) {
            const S* r0 = src.row(py.start + (y - py.lo));
            const S* r1 = src.row(py.start + (y - py.lo) + 1);
            for (int x = 0; x < xa; ++x) d[x] = k.vert(r0[px.start], r1[px.start]);
            const S* a0 = r0 + px.start - px.lo;
            const S* a1 = r1 + px.start - px.lo;
            for (int x = xa; x < xb; ++x) d[x] = k.four(a0[x], a0[x + 1], a1[x], a1[x + 1]);
            for (int x = xb; x < W; ++x) d[x] = k.vert(r0[px.last], r1[px.last]);
        } else {
            const S* r = src.row(y < py.lo ? py.start : py.last);
            for (int x = 0; x < xa; ++x) d[x] = k.one(r[px.start]);
            const S* a = r + px.start - px.lo;
            for (int x = xa; x < xb; ++x) d[x] = k.horiz(a[x], a[x + 1]);
            for (int x = xb; x < W; ++x) d[x] = k.one(r[px.last]);
        }
    }
}

}  // namespace pyramid

namespace {

template <class S, class D>
StatusCode copySubpix(const S* pSrc, int srcStep, D* pDst, int dstStep, ImageSize roi, float dx, float dy,
                      int scaleFactor) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(checkImages(pSrc, srcStep, roi.width, pDst, dstStep, roi.width));
    pyramid::copySubpix<S, D>(Image<const S>(pSrc, srcStep, roi.width + 1, roi.height + 1), image(pDst, dstStep, roi),
                              dx, dy, scaleFactor);
    return StatusOk;
}

template <class S, class D>
StatusCode copySubpixIntersect(const S* pSrc, int srcStep, ImageSize srcRoi, D* pDst, int dstStep, ImageSize dstRoi,
                               float cx, float cy, ImagePoint* pMin, ImagePoint* pMax, int scaleFactor) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pMin, pMax));
    ZAL_CHECK(requireSize(dstRoi));
    ZAL_CHECK(requireSize(srcRoi));
    ZAL_CHECK(checkImages(pSrc, srcStep, srcRoi.width, pDst, dstStep, dstRoi.width));
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
