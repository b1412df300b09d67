// Morphology states: size query, construction in caller memory or in an
// allocated block, and release. One block holds the header, the class
// description, the mask copy and the working buffer.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "morph/exports.h"
#include "morph/internal.h"

namespace zal::morph {
namespace {

constexpr long long alignUp16(long long v) { return (v + 15) & ~15LL; }
constexpr long long kHeaderBytes = alignUp16(sizeof(MorphologyState));
constexpr long long kRectangleInfoBytes = 32;
constexpr long long kEllipseInfoBytes = alignUp16(sizeof(EllipseInfo));
// Slack that lets the General mask copy start on a 16-byte boundary.
constexpr long long kGeneralAlignSlack = 16;

long long maskArea(ImageSize m) { return alignUp16(static_cast<long long>(m.width) * m.height); }

long long generalRowStep(int roiWidth, ImageSize m, PixelFormat f) {
    return alignUp16((static_cast<long long>(roiWidth) + m.width) * f.pixelBytes());
}

// Ellipse working buffer: a ring of h groups of d lines plus one line of
// alignment slack, and the doubled table of line-group pointers.
long long ellipseBufferBytes(int roiWidth, int h, int d, PixelFormat f) {
    return (static_cast<long long>(h) * d + 1) * (static_cast<long long>(roiWidth) * f.pixelBytes() + 32) +
           (5LL * h + 1) * static_cast<long long>(sizeof(void*)) + 32;
}

// A count that cannot leave the 64-bit range only when the ROI and the mask
// are small: the General buffer alone is 2 * mask height * ROI row bytes.
ByteCount sizeOfClass(KernelClass kind, const Classification& c, int roiWidth, ImageSize m, PixelFormat f) {
    const ByteCount a = maskArea(m);
    switch (kind) {
        case KernelEmpty:
            return a + kHeaderBytes;
        case KernelRectangle:
            return a + minmax::bufferSize(roiWidth, c.geometry.height, f.pixelBytes()) + kHeaderBytes +
                   kRectangleInfoBytes;
        case KernelEllipse:
            return ellipseBufferBytes(roiWidth, c.geometry.height, c.distinct, f) + 8LL * (c.rows + c.distinct) + a +
                   kHeaderBytes + kEllipseInfoBytes;
        case KernelGeneral:
        default:
            return a + ByteCount(2) * m.height * generalRowStep(roiWidth, m, f) + kHeaderBytes + kGeneralAlignSlack;
    }
}

long long fitOrFail(ByteCount bytes) { return requireIntBytes(bytes) == StatusOk ? bytes.value() : -1; }

}  // namespace

long long stateSize(const Classification& c, int roiWidth, ImageSize maskSize, PixelFormat format) {
    return fitOrFail(sizeOfClass(c.kind, c, roiWidth, maskSize, format));
}

long long stateSize(const uint8_t* mask, ImageSize maskSize, int roiWidth, PixelFormat format, bool noEllipse) {
    Classification c;
    bool canBeEllipse = false;
    classifyKernel(mask, maskSize, ImagePoint{maskSize.width >> 1, maskSize.height >> 1}, noEllipse, c,
                   &canBeEllipse);
    if (c.kind == KernelEmpty || c.kind == KernelRectangle) return stateSize(c, roiWidth, maskSize, format);
    // Only the anchor decides between Ellipse and General, and Init may be
    // given any anchor: report the larger of the two.
    ByteCount bytes = sizeOfClass(KernelGeneral, c, roiWidth, maskSize, format);
    if (canBeEllipse) bytes = larger(bytes, sizeOfClass(KernelEllipse, c, roiWidth, maskSize, format));
    return fitOrFail(bytes);
}

StatusCode checkConstruction(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor) {
    ZAL_CHECK(requireNonNull(pMask));
    ZAL_CHECK(failIf(roiWidth < 1 || maskSize.width < 1 || maskSize.height < 1, StatusSizeError));
    return failIf(anchor.x < 0 || anchor.x >= maskSize.width || anchor.y < 0 || anchor.y >= maskSize.height,
                  StatusAnchorError);
}

void buildState(MorphologyState* state, const Classification& c, long long size, const uint8_t* pMask,
                ImageSize maskSize, ImagePoint anchor, int roiWidth, PixelFormat format) {
    const std::size_t maskBytes = static_cast<std::size_t>(maskSize.width) * static_cast<std::size_t>(maskSize.height);
    uint8_t* const block = reinterpret_cast<uint8_t*>(state);
    MorphologyState h{};
    h.stateSize = static_cast<int32_t>(size);
    h.dataType = format.dataType;
    h.channels = format.channels;
    h.maxRoiWidth = roiWidth;
    h.reserved = -1;
    h.kernelClass = c.kind;
    h.kernelWidth = maskSize.width;
    h.kernelHeight = maskSize.height;

    switch (c.kind) {
        case KernelEmpty:
            h.mask = block + kHeaderBytes;
            std::memset(h.mask, 0, maskBytes);
            break;
        case KernelRectangle: {
            auto* info = reinterpret_cast<RectangleInfo*>(block + kHeaderBytes);
            *info = c.geometry;
            h.kernelInfo = info;
            h.mask = block + kHeaderBytes + kRectangleInfoBytes;
            h.buffer = h.mask + maskArea(maskSize);
            break;
        }
        case KernelEllipse: {
            auto* info = reinterpret_cast<EllipseInfo*>(block + kHeaderBytes);
            auto* arrays = reinterpret_cast<int32_t*>(block + kHeaderBytes + kEllipseInfoBytes);
            const int n = c.rows, d = c.distinct;
            *info = EllipseInfo{c.geometry.width, c.geometry.height, c.geometry.anchorX, c.geometry.anchorY, n, d,
                                arrays, arrays + n, arrays + 2 * n, arrays + 2 * n + d};
            std::copy_n(c.rowIndex, n, info->rowIndex);
            std::copy_n(c.lengthIndex, n, info->lengthIndex);
            std::copy_n(c.lengths, d, info->lengths);
            std::copy_n(c.offsets, d, info->offsets);
            h.kernelInfo = info;
            h.mask = reinterpret_cast<uint8_t*>(arrays + 2 * (n + d));
            h.buffer = h.mask + maskArea(maskSize);
            break;
        }
        case KernelGeneral:
        default:
            h.mask = alignUp(block + kHeaderBytes, 16);
            h.maskAlias1 = h.mask;
            h.maskAlias2 = h.mask;
            h.buffer = h.mask + maskArea(maskSize);
            h.anchorX = anchor.x;
            h.anchorY = anchor.y;
            h.rightExtent = maskSize.width - anchor.x - 1;
            h.bottomExtent = maskSize.height - anchor.y - 1;
            h.bufferRowStep = static_cast<int32_t>(generalRowStep(roiWidth, maskSize, format));
            break;
    }
    if (c.kind == KernelRectangle || c.kind == KernelEllipse) {
        h.kernelWidth = c.geometry.width;
        h.kernelHeight = c.geometry.height;
        h.anchorX = c.geometry.anchorX;
        h.anchorY = c.geometry.anchorY;
    }
    if (c.kind != KernelEmpty) std::memcpy(h.mask, pMask, maskBytes);
    *state = h;
}

void initState(MorphologyState* block, const uint8_t* mask, ImageSize maskSize, ImagePoint anchor, int roiWidth,
               PixelFormat format, bool noEllipse) {
    Classification c;
    classifyKernel(mask, maskSize, anchor, noEllipse, c);
    buildState(block, c, stateSize(c, roiWidth, maskSize, format), mask, maskSize, anchor, roiWidth, format);
}

namespace {

StatusCode getSize(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize, PixelFormat format) {
    ZAL_CHECK(checkConstruction(roiWidth, pMask, maskSize, ImagePoint{maskSize.width >> 1, maskSize.height >> 1}));
    ZAL_CHECK(requireNonNull(pSize));
    return storeSize(stateSize(pMask, maskSize, roiWidth, format), pSize);
}

// The checks of Init and InitAlloc (`out` is the state or the pointer that
// receives it), then the class for the anchor given, which may need less than
// GetSize reported; a class whose state does not fit an int is refused.
template <class Out>
StatusCode classifyChecked(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, const Out* out,
                           PixelFormat format, Classification& c, long long& size) {
    ZAL_CHECK(checkConstruction(roiWidth, pMask, maskSize, anchor));
    ZAL_CHECK(requireNonNull(out));
    classifyKernel(pMask, maskSize, anchor, false, c);
    size = stateSize(c, roiWidth, maskSize, format);
    return failIf(size < 0, StatusSizeError);
}

StatusCode init(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState,
                PixelFormat format) {
    Classification c;
    long long size = 0;
    ZAL_CHECK(classifyChecked(roiWidth, pMask, maskSize, anchor, pState, format, c, size));
    buildState(pState, c, size, pMask, maskSize, anchor, roiWidth, format);
    return StatusOk;
}

StatusCode initAlloc(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor,
                     MorphologyState** ppState, PixelFormat format) {
    Classification c;
    long long size = 0;
    ZAL_CHECK(classifyChecked(roiWidth, pMask, maskSize, anchor, ppState, format, c, size));
    return allocateState(size, ppState, [&](MorphologyState* s) {
        buildState(s, c, size, pMask, maskSize, anchor, roiWidth, format);
        return StatusOk;
    });
}

}  // namespace
}  // namespace zal::morph

#define ZAL_STATE_SIZE(name, T, C)                                                                       \
    ZAL_DECLARED(name);                                                                                  \
    extern "C" StatusCode name(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize) {     \
        return zal::morph::getSize(roiWidth, pMask, maskSize, pSize, zal::morph::pixelFormatOf<T, C>()); \
    }
#define ZAL_STATE_INIT(name, T, C)                                                                       \
    ZAL_DECLARED(name);                                                                                  \
    extern "C" StatusCode name(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, \
                               MorphologyState* pState) {                                                \
        return zal::morph::init(roiWidth, pMask, maskSize, anchor, pState,                               \
                                zal::morph::pixelFormatOf<T, C>());                                      \
    }
#define ZAL_STATE_INIT_ALLOC(name, T, C)                                                                 \
    ZAL_DECLARED(name);                                                                                  \
    extern "C" StatusCode name(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, \
                               MorphologyState** ppState) {                                              \
        return zal::morph::initAlloc(roiWidth, pMask, maskSize, anchor, ppState,                         \
                                     zal::morph::pixelFormatOf<T, C>());                                 \
    }
ZAL_MORPH_STATE_SIZE(ZAL_STATE_SIZE)
ZAL_MORPH_STATE_INIT(ZAL_STATE_INIT)
ZAL_MORPH_STATE_INIT_ALLOC(ZAL_STATE_INIT_ALLOC)

ZAL_DECLARED(zaliMorphologyFree);
extern "C" StatusCode zaliMorphologyFree(MorphologyState* pState) {
    ZAL_CHECK(zal::requireNonNull(pState));
    zalsFree(pState);
    return StatusOk;
}
