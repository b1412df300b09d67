// Advanced-morphology states: size query, construction and release.
#include <algorithm>
#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "morph/advanced.h"
#include "morph/exports.h"

namespace zal::morph {
namespace {

// Header plus one 32-byte alignment allowance for each state after the first.
constexpr long long kAdvOverhead = sizeof(MorphAdvState) + 2 * 32;

ByteCount advSize(ImageSize roi, const uint8_t* pMask, ImageSize maskSize, PixelFormat f) {
    // The reflected mask has the same class and size as the mask itself, and
    // without ellipses the size does not depend on the anchor.
    const long long state = stateSize(pMask, maskSize, roi.width, f, true);
    if (state < 0) return -1;
    return ByteCount(tempStep(roi.width, f)) * roi.height + 2 * state + kAdvOverhead;
}

void reverseBytes(uint8_t* p, std::size_t n) { std::reverse(p, p + n); }

StatusCode advGetSize(ImageSize roi, const uint8_t* pMask, ImageSize maskSize, int* pSize, PixelFormat f) {
    ZAL_CHECK(requireLength(roi.height));
    ZAL_CHECK(requireNonNull(pSize));
    ZAL_CHECK(checkConstruction(roi.width, pMask, maskSize, ImagePoint{maskSize.width >> 1, maskSize.height >> 1}));
    return storeSize(advSize(roi, pMask, maskSize, f), pSize);
}

StatusCode advInit(MorphAdvState* pState, ImageSize roi, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor,
                   PixelFormat f) {
    ZAL_CHECK(requireLength(roi.height));
    ZAL_CHECK(requireNonNull(pState));
    ZAL_CHECK(checkConstruction(roi.width, pMask, maskSize, anchor));
    const ByteCount tempBytes = ByteCount(tempStep(roi.width, f)) * roi.height;
    ZAL_CHECK(requireIntBytes(tempBytes));

    // The first state's own size check, passed on. The reflected mask has
    // the same class and size, so the second state cannot fail.
    Classification c;
    classifyKernel(pMask, maskSize, anchor, true, c);
    const long long firstSize = stateSize(c, roi.width, maskSize, f);
    ZAL_CHECK(failIf(firstSize < 0, StatusSizeError));

    auto* first = reinterpret_cast<MorphologyState*>(pState + 1);
    buildState(first, c, firstSize, pMask, maskSize, anchor, roi.width, f);
    auto* second = reinterpret_cast<MorphologyState*>(alignUp(reinterpret_cast<uint8_t*>(first) + firstSize, 32));
    // The reflected mask is the mask bytes in reverse order; the first
    // state's copy is reversed for the construction and restored after it.
    const std::size_t maskBytes = static_cast<std::size_t>(maskSize.width) * static_cast<std::size_t>(maskSize.height);
    reverseBytes(first->mask, maskBytes);
    initState(second, first->mask, maskSize, ImagePoint{maskSize.width - 1 - anchor.x, maskSize.height - 1 - anchor.y},
              roi.width, f, true);
    reverseBytes(first->mask, maskBytes);

    pState->first = first;
    pState->second = second;
    pState->temp = alignUp(reinterpret_cast<uint8_t*>(second) + second->stateSize, 32);
    pState->tempSize = static_cast<int32_t>(tempBytes.value());
    pState->zero = 0;
    return StatusOk;
}

StatusCode advInitAlloc(MorphAdvState** ppState, ImageSize roi, const uint8_t* pMask, ImageSize maskSize,
                        ImagePoint anchor, PixelFormat f) {
    ZAL_CHECK(requireNonNull(ppState));
    int size = 0;
    ZAL_CHECK(advGetSize(roi, pMask, maskSize, &size, f));
    return allocateState(size, ppState, [&](MorphAdvState* s) { return advInit(s, roi, pMask, maskSize, anchor, f); });
}

}  // namespace
}  // namespace zal::morph

#define ZAL_ADV_SIZE(name, T, C)                                                                          \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize) { \
        return zal::morph::advGetSize(roiSize, pMask, maskSize, pSize, zal::morph::pixelFormatOf<T, C>()); \
    }
#define ZAL_ADV_INIT(name, T, C)                                                                          \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask,            \
                               ImageSize maskSize, ImagePoint anchor) {                                   \
        return zal::morph::advInit(pState, roiSize, pMask, maskSize, anchor,                              \
                                   zal::morph::pixelFormatOf<T, C>());                                    \
    }
#define ZAL_ADV_INIT_ALLOC(name, T, C)                                                                    \
    ZAL_DECLARED(name);                                                                                   \
    extern "C" StatusCode name(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask,          \
                               ImageSize maskSize, ImagePoint anchor) {                                   \
        return zal::morph::advInitAlloc(ppState, roiSize, pMask, maskSize, anchor,                        \
                                        zal::morph::pixelFormatOf<T, C>());                               \
    }
ZAL_MORPH_ADV_SIZE(ZAL_ADV_SIZE)
ZAL_MORPH_ADV_INIT(ZAL_ADV_INIT)
ZAL_MORPH_ADV_INIT_ALLOC(ZAL_ADV_INIT_ALLOC)

ZAL_DECLARED(zaliMorphAdvFree);
extern "C" StatusCode zaliMorphAdvFree(MorphAdvState* pState) {
    ZAL_CHECK(zal::requireNonNull(pState));
    zalsFree(pState);
    return StatusOk;
}
