// Chamfer distance transform with 3x3 and 5x5 masks into 8u, 16u and 32f
// images: the choice between the 3x3 and 5x5 routes, the argument checks and
// the exported members.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "region/distance_transform_passes.h"
#include "region/exports.h"
#include "region/ops.h"

namespace zal {
namespace {

using chamfer::Limits;

// -56 unless every weight is positive: integers at least 1, floats greater
// than 0 (which also rejects NaN).
template <class M>
StatusCode requirePositiveWeights(const M* weights, int count) {
    for (int i = 0; i < count; ++i)
        if (!(weights[i] > M(0))) return StatusMetricError;
    return StatusOk;
}

// Integer weights are clamped to the output maximum: any sum with a larger
// weight is limited to the maximum anyway, and the clamp keeps sums in range.
template <class T, class M>
typename Limits<T>::W usable(M weight) {
    using W = typename Limits<T>::W;
    if constexpr (std::is_integral_v<M>) return weight < Limits<T>::kMax ? W(weight) : Limits<T>::kMax;
    else return weight;
}

template <class T, class M>
void run3x3(Image<const uint8_t> src, Image<T> dst, M a, M b) {
    using Wide = std::conditional_t<std::is_integral_v<M>, int64_t, float>;
    const bool noDiagonal = Wide(b) >= Wide(a) + Wide(a);
    const bool diagonalCheaper = a > b;
    chamfer::Mask3<T> m;
    m.a = usable<T>(a);
    m.b = usable<T>(b);
    m.twoB = m.b + m.b;  // integer: at most twice the maximum, no overflow
    m.t = diagonalCheaper && dst.width > 1 && dst.height > 1 ? m.b : m.a;
    chamfer::transform3x3(src, dst, m, noDiagonal, diagonalCheaper);
}

// 5x5: with b' = min(2a, b), a knight step c >= a + b' is never shorter than
// a straight plus a diagonal step, and the 3x3 transform with {a, b} gives
// the same distances. Float weights allow a relative tolerance of 1e-7 in
// that comparison. Every other weight set, regular or not, and ROIs below
// 4x4 run the two passes of the 5x5 mask with absent candidates left out.
template <class T, class M>
void run5x5(Image<const uint8_t> src, Image<T> dst, M a, M b, M c) {
    if constexpr (std::is_integral_v<M>) {
        const int64_t twoA = int64_t(a) * 2;
        const int64_t bp = twoA < b ? twoA : int64_t(b);
        if (int64_t(c) >= int64_t(a) + bp) return run3x3(src, dst, a, b);
        chamfer::Mask5<T> m;
        m.a = usable<T>(a);
        m.b = usable<T>(bp < INT32_MAX ? int32_t(bp) : INT32_MAX);
        m.c = usable<T>(c);
        chamfer::transform5x5(src, dst, m);
    } else {
        const float bp = a + a < b ? a + a : b;
        if ((c - a) - bp > -1e-7f * std::fabs(a + bp)) return run3x3(src, dst, a, b);
        chamfer::Mask5<T> m{a, bp, c};
        chamfer::transform5x5(src, dst, m);
    }
}

}  // namespace

template <int Kernel, class T, class M>
void region::chamferDistance(Image<const uint8_t> src, Image<T> dst, const M* weights) {
    if constexpr (Kernel == 3) run3x3(src, dst, weights[0], weights[1]);
    else run5x5(src, dst, weights[0], weights[1], weights[2]);
}

namespace {

template <int Kernel, class T, class M>
StatusCode distanceTransform(const uint8_t* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi,
                             const M* pMetrics) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pMetrics));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, srcStep)));
    ZAL_CHECK((requireRowSteps<T, 1>(roi, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(dstStep));
    ZAL_CHECK(requirePositiveWeights(pMetrics, Kernel == 3 ? 2 : 3));
    region::chamferDistance<Kernel, T, M>(Image<const uint8_t>(pSrc, srcStep, roi), Image<T>(pDst, dstStep, roi),
                                          pMetrics);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_CHAMFER(name, K, T, M)                                                                              \
    ZAL_DECLARED(name);                                                                                         \
    template void zal::region::chamferDistance<K, T, M>(zal::Image<const uint8_t>, zal::Image<T>, const M*);    \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,       \
                               const M* pMetrics) {                                                             \
        return zal::distanceTransform<K>(pSrc, srcStep, pDst, dstStep, roiSize, pMetrics);                      \
    }
// The source is the destination: each pixel is read before it is written.
#define ZAL_CHAMFER_INPLACE(name, K)                                                                            \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize, const int32_t* pMetrics) {  \
        return zal::distanceTransform<K>(pSrcDst, srcDstStep, pSrcDst, srcDstStep, roiSize, pMetrics);          \
    }
ZAL_REGION_CHAMFER(ZAL_CHAMFER)
ZAL_REGION_CHAMFER_INPLACE(ZAL_CHAMFER_INPLACE)
