// Column pass of the separable pipeline: output row y combines input rows
// ppSrc[y] .. ppSrc[y + K - 1] with a one-dimensional kernel. Channels never
// mix vertically, so a three-channel row is simply 3 * width samples.
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

// The variant of a source and destination type.
template <class Src, class Dst, bool Low>
struct ColumnVariantOf;
template <>
struct ColumnVariantOf<float, float, false> { using type = Var32f; };
template <class D>
struct ColumnVariantOf<int16_t, D, false> { using type = Var16sTo<D>; };
template <>
struct ColumnVariantOf<int16_t, int16_t, true> { using type = VarLow16s; };
template <class Src, class Dst, bool Low>
using ColumnVariant = typename ColumnVariantOf<Src, Dst, Low>::type;

}  // namespace

template <class Src, class Dst, int C, bool Low>
void columnPipeline(const Src* const* srcRows, Image<Dst> dst, const PipelineTap<Src>* kernel, int kernelSize,
                    int divisor, uint8_t* buffer) {
    using V = ColumnVariant<Src, Dst, Low>;
    const ImageSize roi{dst.width, dst.height};
    // Widths were checked against the step, so width * C fits an int.
    const int elems = roi.width * C;
    const long long area = V::area(kernelSize);
    if (!pipelineGoesParallel(roi, V::parallelGate(kernelSize))) {
        columnSlice<V>(srcRows, dst, elems, kernel, kernelSize, divisor,
                       threadArea(buffer, 0, roi.height, kernelSize, area).work);
        return;
    }
    runBands(roi.height, [&](int id, int begin, int end) {
        const ThreadArea ta = threadArea(buffer, id, roi.height, kernelSize, area);
        const int inputsOfBand = end - begin + kernelSize - 1;
        for (int i = 0; i < inputsOfBand; ++i) ta.slots[i] = const_cast<Src*>(srcRows[begin + i]);
        columnSlice<V>(reinterpret_cast<const Src* const*>(ta.slots), dst.offset(0, begin, C, roi.width, end - begin),
                       elems, kernel, kernelSize, divisor, ta.work);
    });
}

template <class Src, class Dst, int C, bool Low>
long long columnPipelineBytes(ImageSize roi, int kernelSize) {
    return pipelineBufferBytes(owncvGetMaxNumThreads(), roi.height, kernelSize,
                               ColumnVariant<Src, Dst, Low>::area(kernelSize));
}

namespace {

template <class Src, class Dst, int C, bool Low>
StatusCode columnPipelineChecked(const Src** ppSrc, Dst* pDst, int dstStep, ImageSize roi,
                                 const PipelineTap<Src>* pKernel, int kernelSize, int divisor, uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(ppSrc, pDst, pKernel));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireLength(kernelSize));
    ZAL_CHECK((requireRowSteps<Dst, C>(roi, dstStep)));
    ZAL_CHECK(requireStepsAligned<Dst>(dstStep));
    ZAL_CHECK(requireNonNull(pBuffer));
    if constexpr (!std::is_same_v<Src, float>) ZAL_CHECK((failIf(divisor == 0, StatusBadArgument)));
    const long long inputs = static_cast<long long>(roi.height) + kernelSize - 1;
    for (long long i = 0; i < inputs; ++i) ZAL_CHECK(requireNonNull(ppSrc[i]));
    columnPipeline<Src, Dst, C, Low>(ppSrc, image(pDst, dstStep, roi), pKernel, kernelSize, divisor, pBuffer);
    return StatusOk;
}

}  // namespace
}  // namespace zal::filter

#define ZAL_COLUMN_PIPELINE_32F(name, C)                                                                        \
    ZAL_DECLARED(name);                                                                                         \
    template void zal::filter::columnPipeline<float, float, C>(const float* const*, zal::Image<float>,          \
                                                               const float*, int, int, uint8_t*);               \
    extern "C" StatusCode name(const float** ppSrc, float* pDst, int dstStep, ImageSize roiSize,               \
                               const float* pKernel, int kernelSize, uint8_t* pBuffer) {                        \
        return zal::filter::columnPipelineChecked<float, float, C, false>(ppSrc, pDst, dstStep, roiSize,       \
                                                                          pKernel, kernelSize, 1, pBuffer);     \
    }
#define ZAL_COLUMN_PIPELINE(name, D, C, LOW)                                                                    \
    ZAL_DECLARED(name);                                                                                         \
    template void zal::filter::columnPipeline<int16_t, D, C, LOW>(const int16_t* const*, zal::Image<D>,        \
                                                                  const int16_t*, int, int, uint8_t*);          \
    extern "C" StatusCode name(const int16_t** ppSrc, D* pDst, int dstStep, ImageSize roiSize,                 \
                               const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer) {         \
        return zal::filter::columnPipelineChecked<int16_t, D, C, LOW>(ppSrc, pDst, dstStep, roiSize, pKernel,  \
                                                                      kernelSize, divisor, pBuffer);            \
    }
#define ZAL_COLUMN_PIPELINE_SIZE(name, S, D, C, LOW)                                                            \
    ZAL_DECLARED(name);                                                                                         \
    template long long zal::filter::columnPipelineBytes<S, D, C, LOW>(ImageSize, int);                          \
    extern "C" StatusCode name(ImageSize roiSize, int kernelSize, int* pBufferSize) {                           \
        return zal::pipelineBufferSize(roiSize, kernelSize, zal::filter::columnPipelineBytes<S, D, C, LOW>,     \
                                       pBufferSize);                                                            \
    }
ZAL_FILTER_COLUMN_PIPELINE_32F(ZAL_COLUMN_PIPELINE_32F)
ZAL_FILTER_COLUMN_PIPELINE(ZAL_COLUMN_PIPELINE)
ZAL_FILTER_COLUMN_PIPELINE_SIZE(ZAL_COLUMN_PIPELINE_SIZE)
