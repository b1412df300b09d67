// Row pass of the separable pipeline: each source row is extended left and
// right by the border rule, correlated with a one-dimensional kernel and
// written to the row that ppDst[y] names.
#include <cstdint>
#include <type_traits>

#include "core/band_runner.h"
#include "core/checks.h"
#include "core/image.h"
#include "core/threads.h"
#include "filter/internal.h"
#include "filter/pipeline_taps.h"

namespace zal {
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

template <class V, int C>
StatusCode rowPipeline(const typename V::Policy::Src* pSrc, int srcStep, void* const* ppDst, ImageSize roi,
                       const typename V::Policy::Tap* pKernel, int kernelSize, int xAnchor, int borderType,
                       const typename V::Policy::Src* borderValue, bool borderByPointer, int divisor,
                       uint8_t* pBuffer) {
    using Src = typename V::Policy::Src;
    constexpr bool integer = !std::is_same_v<Src, float>;
    ZAL_CHECK(requireNonNull(pSrc, ppDst, pKernel, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireLength(kernelSize));
    ZAL_CHECK(failIf(xAnchor < 0 || xAnchor >= kernelSize, StatusAnchorError));
    ZAL_CHECK((requireRowSteps<Src, C>(roi, srcStep)));
    ZAL_CHECK(requireStepsAligned<Src>(srcStep));
    ZAL_CHECK(failIf(!isBorderKind(borderType), StatusBadArgument));
    if (borderByPointer) ZAL_CHECK(failIf(borderType == BorderConstant && borderValue == nullptr, StatusNullPointer));
    if constexpr (integer) ZAL_CHECK(failIf(divisor == 0, StatusBadArgument));

    const Args a{pSrc, srcStep, roi, pKernel, kernelSize, xAnchor, borderType, divisor};
    const long long area = V::area(kernelSize);
    if (!pipelineGoesParallel(roi, V::parallelGate(kernelSize))) {
        return rowSlice<V, C>(a, pSrc, ppDst, roi.height, borderValue, threadArea(pBuffer, 0, roi.height, kernelSize, area).work);
    }
    const Image<const Src> source(pSrc, srcStep, roi);
    StatusCode status = StatusOk;
    runBands(
        roi.height, StatusOk,
        [&](int id, int begin, int end, StatusCode& partial) {
            const ThreadArea ta = threadArea(pBuffer, id, roi.height, kernelSize, area);
            for (int y = begin; y < end; ++y) ta.slots[y - begin] = ppDst[y];
            partial = rowSlice<V, C>(a, source.row(begin), ta.slots, end - begin, borderValue, ta.work);
        },
        [&](StatusCode partial) {
            if (status == StatusOk) status = partial;
        });
    return status;
}


}  // namespace
}  // namespace zal

// (name suffix, variant, source type, destination type, tap type)
#define ZAL_ROW_PIPELINE(SUFFIX, VAR, S, D, T, DIVISOR_PARAM, DIVISOR)                                            \
    StatusCode zaliFilterRowBorderPipeline_##SUFFIX##_C1R(const S* pSrc, int srcStep, D** ppDst, ImageSize roiSize, \
                                                          const T* pKernel, int kernelSize, int xAnchor,           \
                                                          BorderKind borderType, S borderValue DIVISOR_PARAM,      \
                                                          uint8_t* pBuffer) {                                      \
        return zal::rowPipeline<zal::VAR<1>, 1>(pSrc, srcStep, reinterpret_cast<void* const*>(ppDst), roiSize,     \
                                                pKernel, kernelSize, xAnchor, borderType, &borderValue, false,     \
                                                DIVISOR, pBuffer);                                                 \
    }                                                                                                              \
    StatusCode zaliFilterRowBorderPipeline_##SUFFIX##_C3R(const S* pSrc, int srcStep, D** ppDst, ImageSize roiSize, \
                                                          const T* pKernel, int kernelSize, int xAnchor,           \
                                                          BorderKind borderType, const S* borderValue DIVISOR_PARAM, \
                                                          uint8_t* pBuffer) {                                      \
        return zal::rowPipeline<zal::VAR<3>, 3>(pSrc, srcStep, reinterpret_cast<void* const*>(ppDst), roiSize,     \
                                                pKernel, kernelSize, xAnchor, borderType, borderValue, true,       \
                                                DIVISOR, pBuffer);                                                 \
    }                                                                                                              \
    StatusCode zaliFilterRowBorderPipelineGetBufferSize_##SUFFIX##_C1R(ImageSize roiSize, int kernelSize,          \
                                                                       int* pBufferSize) {                         \
        return zal::pipelineBufferSize(roiSize, kernelSize, zal::VAR<1>::area(kernelSize), pBufferSize);                     \
    }                                                                                                              \
    StatusCode zaliFilterRowBorderPipelineGetBufferSize_##SUFFIX##_C3R(ImageSize roiSize, int kernelSize,          \
                                                                       int* pBufferSize) {                         \
        return zal::pipelineBufferSize(roiSize, kernelSize, zal::VAR<3>::area(kernelSize), pBufferSize);                     \
    }

#define ZAL_COMMA ,
extern "C" {
ZAL_ROW_PIPELINE(32f, Var32f, float, float, float, , 1)
ZAL_ROW_PIPELINE(16s, Var16s, int16_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_ROW_PIPELINE(8u16s, Var8u16s, uint8_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_ROW_PIPELINE(Low_16s, VarLow16s, int16_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
}  // extern "C"
