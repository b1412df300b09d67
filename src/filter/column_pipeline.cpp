// Column pass of the separable pipeline: output row y combines input rows
// ppSrc[y] .. ppSrc[y + K - 1] with a one-dimensional kernel. Channels never
// mix vertically, so a three-channel row is simply 3 * width samples.
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

// 32-bit integer sum, scaled in single precision, truncated; the low 16 bits
// are stored without saturation.
struct ColLow16s {
    using Src = int16_t;
    using Dst = int16_t;
    using Tap = int16_t;
    using Acc = uint32_t;
    const int16_t* taps;
    float rcp;
    static uint32_t widen(int16_t v) { return wrapTap(v); }
    uint32_t tap(int k) const { return wrapTap(taps[k]); }
    int16_t store(uint32_t s) const { return wrapTruncate16(static_cast<float>(static_cast<int32_t>(s)) * rcp); }
};

struct Var32f {
    using Policy = TapsF32;
    static long long area(int) { return 0; }
    static bool parallelGate(int) { return true; }
    static Policy policy(const void* kernel, int, int, unsigned char*) { return Policy{static_cast<const float*>(kernel)}; }
};

template <class D>
struct Var16sTo {
    using Policy = TapsFloatTo<D>;
    static long long area(int k) { return 4LL * k + 32; }
    static bool parallelGate(int k) { return runsepomp(k) != 0; }
    static Policy policy(const void* kernel, int kernelSize, int divisor, unsigned char* work) {
        return Policy{floatTaps(static_cast<const int16_t*>(kernel), kernelSize, 1.0f, work),
                      1.0f / static_cast<float>(divisor)};
    }
};

struct VarLow16s {
    using Policy = ColLow16s;
    static long long area(int) { return 32; }
    static bool parallelGate(int k) { return runsepomp(k) != 0; }
    static Policy policy(const void* kernel, int, int divisor, unsigned char*) {
        return Policy{static_cast<const int16_t*>(kernel), 1.0f / static_cast<float>(divisor)};
    }
};

template <class P>
using ColumnRoutine = void (*)(const typename P::Src* const*, typename P::Dst*, int, int, const P&);

template <class P>
constexpr ColumnRoutine<P> columnRoutines[3] = {&columnTaps<P, 0>, &columnTaps<P, 3>, &columnTaps<P, 5>};

// Output rows [0, rows) of a slice: input rows from `src` (rows + K - 1 of
// them), output rows from dst.
template <class V>
void columnSlice(const typename V::Policy::Src* const* src, Image<typename V::Policy::Dst> dst, int elems,
                 const void* kernel, int kernelSize, int divisor, unsigned char* work) {
    const typename V::Policy pol = V::policy(kernel, kernelSize, divisor, work);
    const ColumnRoutine<typename V::Policy> routine = columnRoutines<typename V::Policy>[tapRoutineIndex(kernelSize)];
    for (int y = 0; y < dst.height; ++y) routine(src + y, dst.row(y), elems, kernelSize, pol);
}

template <class V, int C>
StatusCode columnPipeline(const typename V::Policy::Src* const* ppSrc, typename V::Policy::Dst* pDst, int dstStep,
                          ImageSize roi, const typename V::Policy::Tap* pKernel, int kernelSize, int divisor,
                          uint8_t* pBuffer) {
    using Src = typename V::Policy::Src;
    using Dst = typename V::Policy::Dst;
    ZAL_CHECK(requireNonNull(ppSrc, pDst, pKernel));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireLength(kernelSize));
    ZAL_CHECK((requireRowSteps<Dst, C>(roi, dstStep)));
    ZAL_CHECK(requireStepsAligned<Dst>(dstStep));
    ZAL_CHECK(requireNonNull(pBuffer));
    if constexpr (!std::is_same_v<Src, float>) ZAL_CHECK((failIf(divisor == 0, StatusBadArgument)));
    const long long inputs = static_cast<long long>(roi.height) + kernelSize - 1;
    for (long long i = 0; i < inputs; ++i) ZAL_CHECK(requireNonNull(ppSrc[i]));

    // Widths were checked against the step, so width * C fits an int.
    const int elems = roi.width * C;
    const Image<Dst> dst(pDst, dstStep, roi);
    const long long area = V::area(kernelSize);
    if (!pipelineGoesParallel(roi, V::parallelGate(kernelSize))) {
        columnSlice<V>(ppSrc, dst, elems, pKernel, kernelSize, divisor,
                       threadArea(pBuffer, 0, roi.height, kernelSize, area).work);
        return StatusOk;
    }
    runBands(roi.height, [&](int id, int begin, int end) {
        const ThreadArea ta = threadArea(pBuffer, id, roi.height, kernelSize, area);
        const int inputsOfBand = end - begin + kernelSize - 1;
        for (int i = 0; i < inputsOfBand; ++i) ta.slots[i] = const_cast<Src*>(ppSrc[begin + i]);
        columnSlice<V>(reinterpret_cast<const Src* const*>(ta.slots), dst.offset(0, begin, C, roi.width, end - begin),
                       elems, pKernel, kernelSize, divisor, ta.work);
    });
    return StatusOk;
}


}  // namespace
}  // namespace zal

#define ZAL_COLUMN_PIPELINE_C(SUFFIX, C, VAR, S, D, T, DIVISOR_PARAM, DIVISOR)                                    \
    StatusCode zaliFilterColumnPipeline_##SUFFIX##_C##C##R(const S** ppSrc, D* pDst, int dstStep, ImageSize roiSize, \
                                                           const T* pKernel, int kernelSize DIVISOR_PARAM,         \
                                                           uint8_t* pBuffer) {                                     \
        return zal::columnPipeline<zal::VAR, C>(ppSrc, pDst, dstStep, roiSize, pKernel, kernelSize, DIVISOR,       \
                                                pBuffer);                                                          \
    }                                                                                                              \
    StatusCode zaliFilterColumnPipelineGetBufferSize_##SUFFIX##_C##C##R(ImageSize roiSize, int kernelSize,         \
                                                                        int* pBufferSize) {                        \
        return zal::pipelineBufferSize(roiSize, kernelSize, zal::VAR::area(kernelSize), pBufferSize);                         \
    }
#define ZAL_COMMA ,

extern "C" {
ZAL_COLUMN_PIPELINE_C(32f, 1, Var32f, float, float, float, , 1)
ZAL_COLUMN_PIPELINE_C(32f, 3, Var32f, float, float, float, , 1)
ZAL_COLUMN_PIPELINE_C(16s, 1, Var16sTo<int16_t>, int16_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(16s, 3, Var16sTo<int16_t>, int16_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(16s8u, 1, Var16sTo<uint8_t>, int16_t, uint8_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(16s8u, 3, Var16sTo<uint8_t>, int16_t, uint8_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(16s8s, 1, Var16sTo<int8_t>, int16_t, int8_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(16s8s, 3, Var16sTo<int8_t>, int16_t, int8_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(Low_16s, 1, VarLow16s, int16_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
ZAL_COLUMN_PIPELINE_C(Low_16s, 3, VarLow16s, int16_t, int16_t, int16_t, ZAL_COMMA int divisor, divisor)
}  // extern "C"
