// Advanced-morphology states: size query, construction and release.
#include <algorithm>
#include <cstdint>

#include "core/checks.h"
#include "morph/advanced.h"

namespace zal::morph {
namespace {

// Header plus one 32-byte alignment allowance for each state after the first.
constexpr long long kAdvOverhead = sizeof(MorphAdvState) + 2 * 32;

ByteCount advSize(ImageSize roi, const uint8_t* pMask, ImageSize maskSize, PixelFormat f) {
    // The reflected mask has the same class and size as the mask itself, and
    // without ellipses the size does not depend on the anchor.
    const long long state = stateSizeForAnyAnchor(pMask, roi.width, maskSize, f, true);
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

    auto* first = reinterpret_cast<MorphologyState*>(pState + 1);
    ZAL_CHECK(initState(roi.width, pMask, maskSize, anchor, f, true, first));
    auto* second = reinterpret_cast<MorphologyState*>(alignUp(reinterpret_cast<uint8_t*>(first) + first->stateSize, 32));
    // The reflected mask is the mask bytes in reverse order; the first
    // state's copy is reversed for the construction and restored after it.
    const std::size_t maskBytes = static_cast<std::size_t>(maskSize.width) * static_cast<std::size_t>(maskSize.height);
    reverseBytes(first->mask, maskBytes);
    const StatusCode status = initState(roi.width, first->mask, maskSize,
                                        ImagePoint{maskSize.width - 1 - anchor.x, maskSize.height - 1 - anchor.y}, f,
                                        true, second);
    reverseBytes(first->mask, maskBytes);
    ZAL_CHECK(status);

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

#define ZAL_MORPH_ADV_STATE_EXPORTS(type, typeCode, C)                                                            \
    StatusCode zaliMorphAdvGetSize_##type##_C##C##R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize,  \
                                                    int* pSize) {                                                 \
        return zal::morph::advGetSize(roiSize, pMask, maskSize, pSize, zal::morph::PixelFormat{typeCode, C});     \
    }                                                                                                             \
    StatusCode zaliMorphAdvInit_##type##_C##C##R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask,  \
                                                 ImageSize maskSize, ImagePoint anchor) {                         \
        return zal::morph::advInit(pState, roiSize, pMask, maskSize, anchor, zal::morph::PixelFormat{typeCode, C}); \
    }                                                                                                             \
    StatusCode zaliMorphAdvInitAlloc_##type##_C##C##R(MorphAdvState** ppState, ImageSize roiSize,                 \
                                                      const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor) { \
        return zal::morph::advInitAlloc(ppState, roiSize, pMask, maskSize, anchor,                                \
                                        zal::morph::PixelFormat{typeCode, C});                                    \
    }

extern "C" {
ZAL_MORPH_ADV_STATE_EXPORTS(8u, DataType8u, 1)
ZAL_MORPH_ADV_STATE_EXPORTS(8u, DataType8u, 3)
ZAL_MORPH_ADV_STATE_EXPORTS(8u, DataType8u, 4)
ZAL_MORPH_ADV_STATE_EXPORTS(32f, DataType32f, 1)
ZAL_MORPH_ADV_STATE_EXPORTS(32f, DataType32f, 3)
ZAL_MORPH_ADV_STATE_EXPORTS(32f, DataType32f, 4)

StatusCode zaliMorphAdvFree(MorphAdvState* pState) {
    ZAL_CHECK(zal::requireNonNull(pState));
    zalsFree(pState);
    return StatusOk;
}
}  // extern "C"
