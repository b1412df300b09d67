// Row pass of the separable pipeline: each source row is extended left and
// right by the border rule, correlated with a one-dimensional kernel and
// written to the row that ppDst[y] names.
#include <cstdint>
#include <type_traits>

#include "core/band_runner.h"
#include "core/checks.h"
#include "core/image.h"
#include "core/threads.h"
#include "filter/exports.h"
#include "filter/internal.h"
#include "filter/ops.h"
#include "filter/pipeline_taps.h"
#include "core/export.h"

namespace zal::filter {
namespace {

// ---------------------------------------------------------------------------
// Policies: element types, tap precision and result conversion.

// 16s taps times 8u pixels summed as a 32-bit integer, then float(s) times
// the single-precision reciprocal, clamped and truncated.
struct Row8u16s {
    using Src = uint8_t;
    using Dst = int16_t;
    using Tap = int16_t;
    using Acc = uint32_t;
    const int16_t* taps;
    float rcp;
    static uint32_t widen(uint8_t v) { return v; }
    uint32_t tap(int k) const { return wrapTap(taps[k]); }
    int16_t store(uint32_t s) const { return clampTruncate<int16_t>(static_cast<float>(static_cast<int32_t>(s)) * rcp); }
};

// Integer sum times the Q14 reciprocal r, shifted down; the low 16 bits are
// stored, so out-of-range results wrap instead of saturating.
struct RowLow16s {
    using Src = int16_t;
    using Dst = int16_t;
    using Tap = int16_t;
    using Acc = uint32_t;
    const int16_t* taps;
    uint32_t r;
    static uint32_t widen(int16_t v) { return wrapTap(v); }
    uint32_t tap(int k) const { return wrapTap(taps[k]); }
    int16_t store(uint32_t s) const { return static_cast<int16_t>(static_cast<int32_t>(s * r) >> 14); }
};

// ---------------------------------------------------------------------------
// Variants: the per-thread work area, the parallel gate and the set-up of
// the policy inside the work area.

struct Args {
    const void* src;
    std::ptrdiff_t srcStep;
    ImageSize roi;
    const void* kernel;
    int kernelSize;
    int anchor;
    int kind;
    int divisor;
};

template <int C>
struct Var32f {
    using Policy = TapsF32;
    static long long area(int k) { return (C == 1 ? 16LL : 192LL) * k + 32; }
    static bool parallelGate(int k) { return C == 3 || runsepomp(k) != 0; }
    static Policy policy(const Args& a, unsigned char*&) { return Policy{static_cast<const float*>(a.kernel)}; }
};

template <int C>
struct Var16s {
    using Policy = TapsFloatTo<int16_t>;
    static long long area(int k) { return C == 1 ? 32LL * k + 16LL * (k + 1LL) + 64 : 28LL * k + 32; }
    static bool parallelGate(int k) { return C == 3 || k > 3; }
    static Policy policy(const Args& a, unsigned char*& work) {
        // Taps converted once per call; the one-channel general routine
        // folds 1/divisor into them before summing.
        const float rcp = 1.0f / static_cast<float>(a.divisor);
        const bool fold = C == 1 && tapRoutineIndex(a.kernelSize) == 0;
        const float* taps = floatTaps(static_cast<const int16_t*>(a.kernel), a.kernelSize, fold ? rcp : 1.0f, work);
        work += static_cast<std::ptrdiff_t>(a.kernelSize) * sizeof(float);
        return Policy{taps, fold ? 1.0f : rcp};
    }
};

template <int C>
struct Var8u16s {
    using Policy = Row8u16s;
    static long long area(int k) { return (C == 1 ? 4LL : 12LL) * k + 32; }
    static bool parallelGate(int) { return true; }
    static Policy policy(const Args& a, unsigned char*&) {
        return Policy{static_cast<const int16_t*>(a.kernel), 1.0f / static_cast<float>(a.divisor)};
    }
};

template <int C>
struct VarLow16s {
    using Policy = RowLow16s;
    static long long area(int k) { return (C == 1 ? 8LL * k : 192LL * k) + 16LL * (k + 2LL) + 32; }
    static bool parallelGate(int) { return true; }
    static Policy policy(const Args& a, unsigned char*&) {
        // Q14 reciprocal: trunc(16384 / divisor) in single precision, as a
        // signed 16-bit value.
        const auto r = static_cast<int16_t>(static_cast<int32_t>(16384.0f / static_cast<float>(a.divisor)));
        return Policy{static_cast<const int16_t*>(a.kernel), wrapTap(r)};
    }
};

template <class P, int C>
using RowRoutine = void (*)(const typename P::Src*, typename P::Dst*, int, int, const P&);

// Routine tables, indexed by tapRoutineIndex(kernelSize).
template <class P, int C>
constexpr RowRoutine<P, C> rowRoutines[3] = {&rowTaps<P, C, 0>, &rowTaps<P, C, 3>, &rowTaps<P, C, 5>};

// Rows [0, rows) of a slice: source rows from `src`, destination rows from
// `dst` (the caller's array or a thread's private copy of its part).
template <class V, int C>
StatusCode rowSlice(const Args& a, const typename V::Policy::Src* src, void* const* dst, int rows,
                    const typename V::Policy::Src* borderValue, unsigned char* work) {
    using Src = typename V::Policy::Src;
    using Dst = typename V::Policy::Dst;
    const typename V::Policy pol = V::policy(a, work);
    Src* ext = reinterpret_cast<Src*>(work);
    const RowRoutine<typename V::Policy, C> routine = rowRoutines<typename V::Policy, C>[tapRoutineIndex(a.kernelSize)];
    const Image<const Src> source(src, a.srcStep, a.roi.width, rows);
    for (int y = 0; y < rows; ++y) {
        Dst* out = static_cast<Dst*>(dst[y]);
        if (out == nullptr) return StatusNullPointer;
        walkRowWithBorder<Src, C>(source.row(y), a.roi.width, a.kernelSize, a.anchor, a.kind, borderValue, ext,
                                  [&](const Src* p, int x0, int n) {
                                      routine(p, out + static_cast<std::ptrdiff_t>(x0) * C, n * C, a.kernelSize, pol);
                                  });
    }
    return StatusOk;
}

// The variant of a source and destination type.
template <class Src, class Dst, int C, bool Low>
struct RowVariantOf;
template <int C>
struct RowVariantOf<float, float, C, false> { using type = Var32f<C>; };
template <int C>
struct RowVariantOf<int16_t, int16_t, C, false> { using type = Var16s<C>; };
template <int C>
struct RowVariantOf<uint8_t, int16_t, C, false> { using type = Var8u16s<C>; };
template <int C>
struct RowVariantOf<int16_t, int16_t, C, true> { using type = VarLow16s<C>; };
template <class Src, class Dst, int C, bool Low>
using RowVariant = typename RowVariantOf<Src, Dst, C, Low>::type;

}  // namespace

template <class Src, class Dst, int C, bool Low>
StatusCode rowPipeline(Image<const Src> src, Dst* const* dstRows, const PipelineTap<Src>* kernel, int kernelSize,
                       int anchor, int border, const Src* borderValue, int divisor, uint8_t* buffer) {
    using V = RowVariant<Src, Dst, C, Low>;
    const ImageSize roi{src.width, src.height};
    void* const* ppDst = reinterpret_cast<void* const*>(dstRows);
    const Args a{src.base, src.step, roi, kernel, kernelSize, anchor, border, divisor};
    const long long area = V::area(kernelSize);
    if (!pipelineGoesParallel(roi, V::parallelGate(kernelSize)))
        return rowSlice<V, C>(a, src.base, ppDst, roi.height, borderValue,
                              threadArea(buffer, 0, roi.height, kernelSize, area).work);
    StatusCode status = StatusOk;
    runBands(
        roi.height, StatusOk,
        [&](int id, int begin, int end, StatusCode& partial) {
            const ThreadArea ta = threadArea(buffer, id, roi.height, kernelSize, area);
            for (int y = begin; y < end; ++y) ta.slots[y - begin] = ppDst[y];
            partial = rowSlice<V, C>(a, src.row(begin), ta.slots, end - begin, borderValue, ta.work);
        },
        [&](StatusCode partial) {
            if (status == StatusOk) status = partial;
        });
    return status;
}

template <class Src, class Dst, int C, bool Low>
long long rowPipelineBytes(ImageSize roi, int kernelSize) {
    using V = RowVariant<Src, Dst, C, Low>;
    return pipelineBufferBytes(owncvGetMaxNumThreads(), roi.height, kernelSize, V::area(kernelSize));
}

namespace {

// Three-channel members take the border values by pointer, one-channel ones
// by value.
template <class T>
const T* borderValues(const T* values) { return values; }
template <class T>
const T* borderValues(const T& value) { return &value; }

template <class Src, class Dst, int C, bool Low>
StatusCode rowPipelineChecked(const Src* pSrc, int srcStep, Dst** ppDst, ImageSize roi,
                              const PipelineTap<Src>* pKernel, int kernelSize, int xAnchor, int borderType,
                              const Src* borderValue, int divisor, uint8_t* pBuffer) {
    constexpr bool integer = !std::is_same_v<Src, float>;
    ZAL_CHECK(requireNonNull(pSrc, ppDst, pKernel, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireLength(kernelSize));
    ZAL_CHECK(failIf(xAnchor < 0 || xAnchor >= kernelSize, StatusAnchorError));
    ZAL_CHECK((requireRowSteps<Src, C>(roi, srcStep)));
    ZAL_CHECK(requireStepsAligned<Src>(srcStep));
    ZAL_CHECK(failIf(!isBorderKind(borderType), StatusBadArgument));
    if constexpr (C == 3) ZAL_CHECK(failIf(borderType == BorderConstant && borderValue == nullptr, StatusNullPointer));
    if constexpr (integer) ZAL_CHECK(failIf(divisor == 0, StatusBadArgument));
    return rowPipeline<Src, Dst, C, Low>(image(pSrc, srcStep, roi), ppDst, pKernel, kernelSize, xAnchor, borderType,
                                         borderValue, divisor, pBuffer);
}

}  // namespace
}  // namespace zal::filter

#define ZAL_ROW_PIPELINE_32F(name, C, BV)                                                                       \
    ZAL_DECLARED(name);                                                                                         \
    template StatusCode zal::filter::rowPipeline<float, float, C>(zal::Image<const float>, float* const*,      \
                                                                  const float*, int, int, int, const float*,   \
                                                                  int, uint8_t*);                               \
    extern "C" StatusCode name(const float* pSrc, int srcStep, float** ppDst, ImageSize roiSize,               \
                               const float* pKernel, int kernelSize, int xAnchor, BorderKind borderType,       \
                               BV borderValue, uint8_t* pBuffer) {                                              \
        return zal::filter::rowPipelineChecked<float, float, C, false>(                                        \
            pSrc, srcStep, ppDst, roiSize, pKernel, kernelSize, xAnchor, borderType,                            \
            zal::filter::borderValues(borderValue), 1, pBuffer);                                                \
    }
#define ZAL_ROW_PIPELINE(name, S, C, LOW, BV)                                                                   \
    ZAL_DECLARED(name);                                                                                         \
    template StatusCode zal::filter::rowPipeline<S, int16_t, C, LOW>(zal::Image<const S>, int16_t* const*,     \
                                                                     const int16_t*, int, int, int, const S*,  \
                                                                     int, uint8_t*);                            \
    extern "C" StatusCode name(const S* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize,                 \
                               const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType,     \
                               BV borderValue, int divisor, uint8_t* pBuffer) {                                 \
        return zal::filter::rowPipelineChecked<S, int16_t, C, LOW>(pSrc, srcStep, ppDst, roiSize, pKernel,     \
                                                                   kernelSize, xAnchor, borderType,            \
                                                                   zal::filter::borderValues(borderValue),     \
                                                                   divisor, pBuffer);                           \
    }
#define ZAL_ROW_PIPELINE_SIZE(name, S, D, C, LOW)                                                               \
    ZAL_DECLARED(name);                                                                                         \
    template long long zal::filter::rowPipelineBytes<S, D, C, LOW>(ImageSize, int);                             \
    extern "C" StatusCode name(ImageSize roiSize, int kernelSize, int* pBufferSize) {                           \
        return zal::pipelineBufferSize(roiSize, kernelSize, zal::filter::rowPipelineBytes<S, D, C, LOW>,        \
                                       pBufferSize);                                                            \
    }
ZAL_FILTER_ROW_PIPELINE_32F(ZAL_ROW_PIPELINE_32F)
ZAL_FILTER_ROW_PIPELINE(ZAL_ROW_PIPELINE)
ZAL_FILTER_ROW_PIPELINE_SIZE(ZAL_ROW_PIPELINE_SIZE)
