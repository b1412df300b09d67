// Optical-flow state: region size, window size and the scratch of every
// worker, in two aligned blocks.
#include <algorithm>
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/threads.h"
#include "filter/ops.h"
#include "pyramid/exports.h"
#include "pyramid/flow_internal.h"
#include "pyramid/internal.h"

namespace zal {
namespace {

template <class T>
StatusCode flowInitAlloc(OpticalFlowState** ppState, ImageSize roi, int windowSize, int hint) {
    ZAL_CHECK(requireNonNull(ppState));
    ZAL_CHECK(failIf(windowSize < 1 || roi.height < 1 || roi.width < 1, StatusSizeError));

    // Windows that large could not be held in 32-bit sizes anyway.
    if (windowSize > 40000) return StatusNoMemory;
    // The Scharr work area is laid out for today's maximum worker count, and
    // the level filters always run with that count (their results do not
    // depend on it), so a state serves any later worker count.
    const int filterWorkers = owncvGetMaxNumThreads();
    const long long filterBytes = scharrBufferBytes<FlowFilterSrc<T>>(roi, filterWorkers);
    if (filterBytes > INT32_MAX) return StatusNoMemory;
    const int threads = owncvGetNumThreads();
    const std::size_t gradElems = static_cast<std::size_t>(roi.width + 5) * static_cast<std::size_t>(roi.height + 5);
    std::size_t off = 0;
    auto reserve = [&](std::size_t bytes) { const std::size_t at = off; off += flowAlign(bytes); return at; };
    const std::size_t gradX = reserve(gradElems * sizeof(FlowGrad<T>));
    const std::size_t gradY = reserve(gradElems * sizeof(FlowGrad<T>));
    const std::size_t levelCopy = reserve(std::is_same_v<T, uint16_t> ? gradElems * sizeof(float) : 0);
    const std::size_t filterArea = reserve(static_cast<std::size_t>(filterBytes));
    const std::size_t workerBytes = flowWorkerBytes<T>(windowSize);
    const std::size_t workers = reserve(workerBytes * static_cast<std::size_t>(threads));
    if (off > INT32_MAX) return StatusNoMemory;

    auto* s = reinterpret_cast<OpticalFlowState*>(zalsMalloc_8u(static_cast<int>(sizeof(OpticalFlowState))));
    if (!s) return StatusNoMemory;
    s->scratch = zalsMalloc_8u(static_cast<int>(off));
    if (!s->scratch) {
        zalsFree(s);
        return StatusNoMemory;
    }
    s->width = roi.width;
    s->height = roi.height;
    s->threads = threads;
    s->dataType = layerDataType<T>();
    s->hint = hint;
    s->windowSize = windowSize;
    s->gradX = gradX;
    s->gradY = gradY;
    s->levelCopy = levelCopy;
    s->filterArea = filterArea;
    s->workers = workers;
    s->workerBytes = workerBytes;
    s->filterBytes = static_cast<int32_t>(filterBytes);
    s->filterWorkers = filterWorkers;
    *ppState = s;
    return StatusOk;
}

StatusCode flowFree(OpticalFlowState* pState) {
    if (!pState) return StatusNullPointer;
    zalsFree(pState->scratch);
    zalsFree(pState);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_FLOW_INIT(name, T)                                                                             \
    ZAL_DECLARED(name);                                                                                    \
    extern "C" StatusCode name(OpticalFlowState** ppState, ImageSize roiSize, int winSize, int hint) {     \
        return zal::flowInitAlloc<T>(ppState, roiSize, winSize, hint);                                     \
    }
#define ZAL_FLOW_FREE(name, T) \
    ZAL_DECLARED(name);        \
    extern "C" StatusCode name(OpticalFlowState* pState) { return zal::flowFree(pState); }
ZAL_PYRAMID_FLOW_INIT(ZAL_FLOW_INIT)
ZAL_PYRAMID_FLOW_FREE(ZAL_FLOW_FREE)
