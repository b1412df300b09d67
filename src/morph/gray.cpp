// Grayscale-kernel morphology: every kernel element adds its value to the
// source pixel it covers (dilation and erosion alike), and the result is the
// maximum (minimum) of those sums, with the border replicated.
//
// 8u sums are exact (64-bit: a pixel plus any int32 kernel value) and the
// result is limited to [0, 255]; since limiting is monotonic it commutes with
// max/min, so each sum is limited as it is folded into the 8-bit destination
// row, which starts at 0 (max) or 255 (min).
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "morph/exports.h"
#include "morph/internal.h"

struct MorphGrayState {
    void* kernel;  // maskWidth * maskHeight values after this header
    int32_t kernelWidth, kernelHeight;
    int32_t anchorX, anchorY;
    int32_t maxRoiWidth, maxRoiHeight;
};

namespace zal::morph {
namespace {

// int32_t kernel values for 8u images, float for 32f.
template <class T>
using KernelValue = std::conditional_t<sizeof(T) == 1, int32_t, float>;

template <class T>
inline T sum(T pixel, KernelValue<T> k) {
    if constexpr (sizeof(T) == 1)
        return static_cast<T>(std::clamp<int64_t>(static_cast<int64_t>(pixel) + k, 0, 255));
    else
        return pixel + k;
}

// d[x] = op(d[x], s[clamp(x + shift)] + k) over the row.
template <class T, class Op>
void foldShiftedSum(const T* __restrict s, T* __restrict d, int width, int shift, KernelValue<T> k) {
    const int left = std::clamp(-shift, 0, width);
    const int right = std::clamp(width - shift, left, width);
    const T first = sum<T>(s[0], k), last = sum<T>(s[width - 1], k);
    for (int x = 0; x < left; ++x) d[x] = Op::pick(d[x], first);
    for (int x = left; x < right; ++x) d[x] = Op::pick(d[x], sum<T>(s[x + shift], k));
    for (int x = right; x < width; ++x) d[x] = Op::pick(d[x], last);
}

ByteCount graySize(ImageSize mask) {
    return ByteCount(mask.width) * mask.height * 4 + static_cast<long long>(sizeof(MorphGrayState));
}

template <class T>
StatusCode grayGetSize(ImageSize roi, const KernelValue<T>* pMask, ImageSize mask, int* pSize) {
    ZAL_CHECK(requireNonNull(pMask, pSize));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireSize(mask));
    return storeSize(graySize(mask), pSize);
}

template <class T>
StatusCode checkGrayInit(ImageSize roi, const KernelValue<T>* pMask, ImageSize mask, ImagePoint anchor, const void* out) {
    ZAL_CHECK(requireNonNull(pMask, out));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireSize(mask));
    ZAL_CHECK(failIf(anchor.x < 0 || anchor.x >= mask.width || anchor.y < 0 || anchor.y >= mask.height,
                     StatusAnchorError));
    return requireIntBytes(graySize(mask));
}

template <class T>
void fillGrayState(MorphGrayState* s, ImageSize roi, const KernelValue<T>* pMask, ImageSize mask, ImagePoint anchor) {
    s->kernel = s + 1;
    s->kernelWidth = mask.width;
    s->kernelHeight = mask.height;
    s->anchorX = anchor.x;
    s->anchorY = anchor.y;
    s->maxRoiWidth = roi.width;
    s->maxRoiHeight = roi.height;
    std::memcpy(s->kernel, pMask, static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height) * 4);
}

template <class T>
StatusCode grayInit(MorphGrayState* pState, ImageSize roi, const KernelValue<T>* pMask, ImageSize mask, ImagePoint anchor) {
    ZAL_CHECK(checkGrayInit<T>(roi, pMask, mask, anchor, pState));
    fillGrayState<T>(pState, roi, pMask, mask, anchor);
    return StatusOk;
}

template <class T>
StatusCode grayInitAlloc(MorphGrayState** ppState, ImageSize roi, const KernelValue<T>* pMask, ImageSize mask,
                         ImagePoint anchor) {
    ZAL_CHECK(checkGrayInit<T>(roi, pMask, mask, anchor, ppState));
    return allocateState(graySize(mask).value(), ppState, [&](MorphGrayState* s) {
        fillGrayState<T>(s, roi, pMask, mask, anchor);
        return StatusOk;
    });
}

StatusCode grayFree(MorphGrayState* pState) {
    ZAL_CHECK(requireNonNull(pState));
    zalsFree(pState);
    return StatusOk;
}

template <class T, class Op>
StatusCode grayMorph(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, int border,
                     const MorphGrayState* pState) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pState));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, 1>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(failIf(border != BorderReplicate, StatusBadArgument));
    ZAL_CHECK(failIf(roi.width > pState->maxRoiWidth || roi.height > pState->maxRoiHeight, StatusSizeError));

    const Image<const T> src(pSrc, srcStep, roi);
    const Image<T> dst(pDst, dstStep, roi);
    const auto* kernel = static_cast<const KernelValue<T>*>(pState->kernel);
    const int mw = pState->kernelWidth, mh = pState->kernelHeight;
    const T start = startValue<T, Op>();
    for (int y = 0; y < roi.height; ++y) {
        T* out = dst.row(y);
        std::fill(out, out + roi.width, start);
        for (int j = 0; j < mh; ++j) {
            const T* s = src.row(std::clamp(y + j - pState->anchorY, 0, roi.height - 1));
            for (int i = 0; i < mw; ++i)
                foldShiftedSum<T, Op>(s, out, roi.width, i - pState->anchorX, kernel[static_cast<std::ptrdiff_t>(j) * mw + i]);
        }
    }
    return StatusOk;
}

}  // namespace
}  // namespace zal::morph

#define ZAL_GRAY_SIZE(name, T)                                                                        \
    ZAL_DECLARED(name);                                                                               \
    extern "C" StatusCode name(ImageSize roiSize, const zal::morph::KernelValue<T>* pMask,           \
                               ImageSize maskSize, int* pSize) {                                      \
        return zal::morph::grayGetSize<T>(roiSize, pMask, maskSize, pSize);                           \
    }
#define ZAL_GRAY_INIT(name, T)                                                                        \
    ZAL_DECLARED(name);                                                                               \
    extern "C" StatusCode name(MorphGrayState* pState, ImageSize roiSize,                             \
                               const zal::morph::KernelValue<T>* pMask, ImageSize maskSize,           \
                               ImagePoint anchor) {                                                   \
        return zal::morph::grayInit<T>(pState, roiSize, pMask, maskSize, anchor);                     \
    }
#define ZAL_GRAY_INIT_ALLOC(name, T)                                                                  \
    ZAL_DECLARED(name);                                                                               \
    extern "C" StatusCode name(MorphGrayState** ppState, ImageSize roiSize,                           \
                               const zal::morph::KernelValue<T>* pMask, ImageSize maskSize,           \
                               ImagePoint anchor) {                                                   \
        return zal::morph::grayInitAlloc<T>(ppState, roiSize, pMask, maskSize, anchor);               \
    }
#define ZAL_GRAY_FREE(name, T) \
    ZAL_DECLARED(name);        \
    extern "C" StatusCode name(MorphGrayState* pState) { return zal::morph::grayFree(pState); }
#define ZAL_GRAY(name, T, Op)                                                                         \
    ZAL_DECLARED(name);                                                                               \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,   \
                               int border, MorphGrayState* pState) {                                  \
        return zal::morph::grayMorph<T, zal::minmax::Op>(pSrc, srcStep, pDst, dstStep, roiSize,       \
                                                         border, pState);                             \
    }
ZAL_MORPH_GRAY_SIZE(ZAL_GRAY_SIZE)
ZAL_MORPH_GRAY_INIT(ZAL_GRAY_INIT)
ZAL_MORPH_GRAY_INIT_ALLOC(ZAL_GRAY_INIT_ALLOC)
ZAL_MORPH_GRAY_FREE(ZAL_GRAY_FREE)
ZAL_MORPH_GRAY(ZAL_GRAY)
