// Layer states of the general pyramid layers (the normalised, symmetric
// kernel and, for down states, the work rows, for up states the setup of
// their calls, in one aligned block) and the checked entries of the layers
// themselves.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "pyramid/exports.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"

namespace zal {
namespace {

// A kernel that cannot be normalised: its coefficients, or those of the
// symmetric kernel made from its first half and centre, sum to zero. Integer
// sums are exact. Float sums count as zero at or below the smallest normal
// magnitude (or when not a number), both as the normalisation forms its
// divisor (single precision) and in double precision, so a divisor left over
// from rounding is caught too.
template <class K>
bool cannotNormalise(const K* k, int kerSize) {
    const int c = kerSize / 2;
    if constexpr (std::is_same_v<K, float>) {
        double all = 0.0, mirrored = k[c];
        float divisor = k[c];
        for (int i = 0; i < kerSize; ++i) all += k[i];
        for (int i = 0; i < c; ++i) {
            mirrored += 2.0 * k[i];
            divisor += 2.0f * k[i];
        }
        auto zero = [](double v) { return !(std::fabs(v) > kFloatMin); };
        return zero(all) || zero(mirrored) || zero(divisor);
    } else {
        int64_t all = 0, mirrored = k[c];
        for (int i = 0; i < kerSize; ++i) all += k[i];
        for (int i = 0; i < c; ++i) mirrored += 2 * int64_t{k[i]};
        return all == 0 || mirrored == 0;
    }
}

// Integer kernels are scaled to Q13: with S4 = 4 k[c] + 8 sum(k[i < c]),
// q = floor(trunc(4k / (S4 / 2) * 8192 + 0.5) / 2), so q sums to about 8192.
// Float kernels are divided by their (mirrored) sum. Only the centre and the
// first half are read; the second half mirrors the first.
template <class K>
bool normaliseKernel(const K* k, int kerSize, K* q) {
    const int c = kerSize / 2;
    bool asymmetric = false;
    for (int i = 1; i <= c; ++i) {
        if constexpr (std::is_same_v<K, float>) asymmetric |= std::fabs(k[c - i] - k[c + i]) > kFloatMin;
        else asymmetric |= k[c - i] != k[c + i];
    }
    if constexpr (std::is_same_v<K, float>) {
        float sum = k[c];
        for (int i = 0; i < c; ++i) sum += 2.0f * k[i];
        // Kernels summing to zero never get here (cannotNormalise).
        q[c] = k[c] / sum;
        for (int i = 0; i < c; ++i) q[i] = q[kerSize - 1 - i] = k[i] / sum;
    } else {
        float s4 = 4.0f * static_cast<float>(k[c]);
        for (int i = 0; i < c; ++i) s4 += 8.0f * static_cast<float>(k[i]);
        auto n = [&](int16_t v) -> int16_t {
            if (!(std::fabs(s4) > kFloatMin)) return v;
            const float t = 4.0f * static_cast<float>(v) / (s4 * 0.5f) * 8192.0f + 0.5f;
            return static_cast<int16_t>(static_cast<int32_t>(t) >> 1);
        };
        q[c] = n(k[c]);
        for (int i = 0; i < c; ++i) q[i] = q[kerSize - 1 - i] = n(k[i]);
    }
    return asymmetric;
}

template <class T, int C, bool Down>
StatusCode layerInitAlloc(PyramidLayerState** ppState, ImageSize roi, float rate, const LayerKernel<T>* pKernel,
                          int kerSize, int mode) {
    ZAL_CHECK(requireNonNull(ppState, pKernel));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(mode != 2 || !rateInRange(rate) || kerSize < 3 || kerSize % 2 == 0, StatusBadArgument));
    ZAL_CHECK(failIf(cannotNormalise(pKernel, kerSize), StatusBadArgument));
    ZAL_CHECK(failIf(C != 1 && C != 3, StatusChannelCountError));

    using K = LayerKernel<T>;
    const std::size_t rowElems = static_cast<std::size_t>(roi.width) * C;
    const std::size_t ringRows = static_cast<std::size_t>(std::min(kerSize, roi.height));
    const std::size_t borderedElems = (static_cast<std::size_t>(roi.width) + kerSize - 1) * C;
    // Offsets from the first cache line after the header's start.
    std::size_t offKernel = alignLine(sizeof(PyramidLayerState));
    std::size_t offWork1 = offKernel + alignLine(static_cast<std::size_t>(kerSize) * sizeof(K));
    // Work elements are 32-bit (int32 or float) for every type.
    // work1 also holds the source row of every ring slot.
    const std::size_t work1 = Down ? alignLine((ringRows * workRowStride(rowElems) + borderedElems + ringRows) * 4) : 0;
    std::size_t offWork2 = offWork1 + work1;
    // work2's rows end with the slack of two vectors that the resampling may
    // read past a row (kLayerSlack); its column table follows. Up states
    // keep there the setup of their calls from the source size to the
    // largest destination, when it can be had.
    std::size_t setup = Down ? 0 : pyramid::upStateSetupBytes<T, C>(roi, kerSize, rate);
    const std::size_t total =
        offWork2 + (Down ? downRowsBytes(rowElems) + downColumnTableBytes(rowElems) : 0) + kLineSlack;
    uint8_t* block = total + setup <= INT32_MAX ? zalsMalloc_8u(static_cast<int>(total + setup)) : nullptr;
    if (!block && setup) {
        setup = 0;
        block = total <= INT32_MAX ? zalsMalloc_8u(static_cast<int>(total)) : nullptr;
    }
    if (!block) return StatusNoMemory;
    const auto shift = static_cast<std::size_t>(alignUp(block, kLine) - block);
    offKernel += shift;
    offWork1 += shift;
    offWork2 += shift;

    auto* s = reinterpret_cast<PyramidLayerState*>(block);
    s->kernel = block + offKernel;
    s->work1 = Down ? block + offWork1 : nullptr;
    s->work2 = Down ? block + offWork2 : nullptr;
    s->kerSize = kerSize;
    s->dataType = layerDataType<T>();
    s->srcWidth = roi.width;
    s->srcHeight = roi.height;
    s->mode = mode;
    s->rate = rate;
    s->channels = C;
    const bool asymmetric = normaliseKernel(pKernel, kerSize, static_cast<K*>(s->kernel));
    if (setup) pyramid::makeUpStateSetup<T>(*s, block + offWork2);
    *ppState = s;
    return asymmetric ? StatusAsymmetricKernel : StatusOk;
}

StatusCode layerFree(PyramidLayerState* pState) {
    if (!pState) return StatusNullPointer;
    zalsFree(pState);
    return StatusOk;
}

// One layer down or up. The up layer's work block comes from the allocator;
// without it the call fails with -9 after its checks.
template <class T, int C, bool Down>
StatusCode layer(const T* pSrc, int srcStep, ImageSize srcRoi, T* pDst, int dstStep, ImageSize dstRoi,
                 PyramidLayerState* pState) {
    ZAL_CHECK((checkLayerCall<T, C>(pSrc, srcStep, srcRoi, pDst, dstStep, dstRoi, pState, Down)));
    const Image<const T> src = image(pSrc, srcStep, srcRoi);
    const Image<T> dst = image(pDst, dstStep, dstRoi);
    if constexpr (Down) pyramid::layerDown<T, C>(src, dst, *pState);
    else if (!pyramid::layerUp<T, C>(src, dst, *pState)) return StatusNoMemory;
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_LAYER_INIT(name, T, C, Down)                                                                  \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(PyramidLayerState** ppState, ImageSize srcRoi, float rate,                 \
                               const zal::LayerKernel<T>* pKernel, int kerSize, int mode) {               \
        return zal::layerInitAlloc<T, C, Down>(ppState, srcRoi, rate, pKernel, kerSize, mode);            \
    }
#define ZAL_LAYER_DOWN_INIT(name, T, C) ZAL_LAYER_INIT(name, T, C, true)
#define ZAL_LAYER_UP_INIT(name, T, C) ZAL_LAYER_INIT(name, T, C, false)
#define ZAL_LAYER_FREE(name) \
    ZAL_DECLARED(name);      \
    extern "C" StatusCode name(PyramidLayerState* pState) { return zal::layerFree(pState); }
ZAL_PYRAMID_LAYER_DOWN_INIT(ZAL_LAYER_DOWN_INIT)
ZAL_PYRAMID_LAYER_UP_INIT(ZAL_LAYER_UP_INIT)
ZAL_PYRAMID_LAYER_FREE(ZAL_LAYER_FREE)
#define ZAL_LAYER(name, T, C, Down)                                                                       \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize srcRoiSize, T* pDst, int dstStep,    \
                               ImageSize dstRoiSize, PyramidLayerState* pState) {                         \
        return zal::layer<T, C, Down>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize, pState);      \
    }
#define ZAL_LAYER_DOWN(name, T, C) ZAL_LAYER(name, T, C, true)
#define ZAL_LAYER_UP(name, T, C) ZAL_LAYER(name, T, C, false)
ZAL_PYRAMID_LAYER_DOWN(ZAL_LAYER_DOWN)
ZAL_PYRAMID_LAYER_UP(ZAL_LAYER_UP)
