// What the morphology family shares: the state block, the kernel
// classification and the per-class dilation/erosion paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/align.h"
#include "core/checks.h"
#include "core/image.h"
#include "filter/ops.h"
#include "morph/ops.h"
#include "zalcv.h"

// The structuring-element state: this header, then the class description,
// the mask copy and the working buffer, all inside one block. Pointer fields
// are native pointers; everything else is a 32-bit word.
struct MorphologyState {
    uint8_t* mask;        // mask copy inside the block (Empty: zero-filled)
    uint8_t* maskAlias1;  // General only: equal to mask
    uint8_t* maskAlias2;  // General only: equal to mask
    uint8_t* buffer;      // working area (null for Empty)
    void* kernelInfo;     // RectangleInfo or EllipseInfo; null otherwise
    int32_t kernelWidth, kernelHeight;
    int32_t anchorX, anchorY;
    int32_t rightExtent, bottomExtent;  // General only
    int32_t bufferRowStep;              // General only
    int32_t stateSize;
    int32_t dataType;  // DataType8u or DataType32f
    int32_t channels;
    int32_t maxRoiWidth;
    int32_t reserved;  // -1
    int32_t kernelClass;
};

namespace zal::morph {

enum KernelClass : int32_t { KernelGeneral = 0, KernelRectangle = 1, KernelEllipse = 2, KernelEmpty = 3 };

// Geometry of a solid block; the anchor may lie outside it.
struct RectangleInfo {
    int32_t width, height, anchorX, anchorY;
};

// A mask of single runs that all contain the anchor column: n non-empty rows,
// d distinct run lengths (longest first), each with its anchor offset.
struct EllipseInfo {
    int32_t width, height, anchorX, anchorY;
    int32_t rows, distinct;
    int32_t* rowIndex;     // n: row relative to the first non-empty row
    int32_t* lengthIndex;  // n: index into lengths/offsets
    int32_t* lengths;      // d
    int32_t* offsets;      // d: anchor column minus run start
};

constexpr int kMaxEllipseHeight = 256;

struct Classification {
    KernelClass kind = KernelEmpty;
    RectangleInfo geometry{};
    int rows = 0, distinct = 0;
    int32_t rowIndex[kMaxEllipseHeight];
    int32_t lengthIndex[kMaxEllipseHeight];
    int32_t lengths[kMaxEllipseHeight];
    int32_t offsets[kMaxEllipseHeight];
};

// Classifies the mask for the anchor. With `noEllipse` the result is never
// Ellipse. `structuralEllipse` (optional) tells whether some anchor could
// make the mask an Ellipse; the classification then carries its n and d.
void classifyKernel(const uint8_t* mask, ImageSize maskSize, ImagePoint anchor, bool noEllipse, Classification& out,
                    bool* structuralEllipse = nullptr);

// Bytes a state of class `c` needs; -1 when it does not fit a signed 32-bit int.
long long stateSize(const Classification& c, int roiWidth, ImageSize maskSize, PixelFormat format);

// The construction checks (mask null, sizes, anchor) in their order.
StatusCode checkConstruction(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
// Builds the state of classification `c` (made for `anchor`), whose size
// `size` fits an int, in `block`.
void buildState(MorphologyState* block, const Classification& c, long long size, const uint8_t* mask,
                ImageSize maskSize, ImagePoint anchor, int roiWidth, PixelFormat format);

// The per-class paths of dilation (Op = Max) and erosion (Op = Min). The
// rectangle path tells `done` of each row as it is finished.
template <class T, int C, class Op>
void rectanglePath(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done);
// The block of a Rectangle-class state whose anchor lies inside the block:
// its dilation/erosion is then exactly the min/max filter over the block with
// that anchor (and may run band by band, see minmax::BandedFilter). Null for
// every other state.
inline const RectangleInfo* plainRectangle(const MorphologyState& state) {
    if (state.kernelClass != KernelRectangle) return nullptr;
    const auto* g = static_cast<const RectangleInfo*>(state.kernelInfo);
    const bool inside = g->anchorX >= 0 && g->anchorX < g->width && g->anchorY >= 0 && g->anchorY < g->height;
    return inside ? g : nullptr;
}
template <class T, int C, class Op>
void ellipsePath(Image<const T> src, Image<T> dst, const MorphologyState& state);
template <class T, int C, class Op>
void generalPath(Image<const T> src, Image<T> dst, const MorphologyState& state);


// Explicit instances of the path named ZAL_MORPH_PATH for a table row of
// morph/exports.h (name, element type, channels), both extrema:
//     #define ZAL_MORPH_PATH generalPath
//     ZAL_MORPH_STATE_INIT(ZAL_MORPH_PATH_INSTANCES)
#define ZAL_MORPH_PATH_INSTANCES(name, T, C)                                                          \
    template void ZAL_MORPH_PATH<T, C, minmax::Min>(Image<const T>, Image<T>, const MorphologyState&); \
    template void ZAL_MORPH_PATH<T, C, minmax::Max>(Image<const T>, Image<T>, const MorphologyState&);

// Dilation/erosion that tells `done` of each destination row once it is
// final, in increasing order (see minmax::RowSink).
template <class T, int C>
void dilate(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done);
template <class T, int C>
void erode(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done);

// The checks every dilation/erosion call starts with, in order: null
// pointers, the ROI, the steps and the border.
template <class T, int C>
StatusCode checkCall(const T* pSrc, int srcStep, const T* pDst, int dstStep, ImageSize roi, int border,
                     const void* pState) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pState));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    return failIf(border != BorderReplicate, StatusBadArgument);
}

// -5 when a state built for another element type or channel count is used:
// its working buffer could be overrun.
template <class T, int C>
StatusCode requireFormat(const MorphologyState& state) {
    constexpr PixelFormat f = pixelFormatOf<T, C>();
    return state.dataType != f.dataType || state.channels != f.channels ? StatusBadArgument : StatusOk;
}

// The start value of a maximum (minimum): below (above) every pixel value.
template <class T, class Op>
constexpr T startValue() {
    if constexpr (sizeof(T) == 1)
        return std::is_same_v<Op, minmax::Max> ? T(0) : T(255);
    else
        return std::is_same_v<Op, minmax::Max> ? T(-3.4028235e38f) : T(3.4028235e38f);
}

// The kernel rows folded by Op (see minmax::foldRows), from Op's start value
// when `from` asks for one.
using minmax::FoldFrom;
template <class T, class Op>
void foldRows(const T* const* rows, int count, FoldFrom from, T* out, std::size_t n) {
    minmax::foldRows<T, Op>(rows, count, from, startValue<T, Op>(), out, n);
}

// Allocates `bytes` with the aligned allocator and builds a state in it with
// `init(State*)`; the block is released again when that fails.
template <class State, class Init>
StatusCode allocateState(long long bytes, State** out, Init&& init) {
    auto* state = reinterpret_cast<State*>(zalsMalloc_8u(static_cast<int>(bytes)));
    if (state == nullptr) return StatusNoMemory;
    const StatusCode status = init(state);
    if (status != StatusOk) {
        zalsFree(state);
        return status;
    }
    *out = state;
    return StatusOk;
}

// The Free of every state kind: -8 for null, else the block is released.
inline StatusCode freeState(void* state) {
    ZAL_CHECK(requireNonNull(state));
    zalsFree(state);
    return StatusOk;
}

}  // namespace zal::morph
