// What the general pyramid layers share: the layer state, the level-size
// rules and the border reflection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/align.h"
#include "core/checks.h"
#include "pyramid/ops.h"
#include "zalcv.h"

// Layer state: one aligned block holding this header, the normalised kernel
// and (down states) two work buffers, each part starting on 32 bytes.
struct PyramidLayerState {
    void* kernel;  // kerSize coefficients: int16 Q13 (8u, 16u) or float (32f)
    void* work1;   // down: ring of row-filtered rows and one bordered source row
    void* work2;   // down: two smoothed rows, one row interpolated between them, a column table;
                   // up: the setup of calls to the largest destination (null when not kept)
    int32_t kerSize;
    int32_t dataType;  // 1 8u, 3 16u, 9 32f
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t mode;  // interpolation mode, always 2
    float rate;
    int32_t channels;
};

namespace zal {

constexpr float kFloatMin = 1.1754944e-38f;  // the smallest normal float

// The kernel element type of a layer state for pixel type T.
template <class T>
using LayerKernel = std::conditional_t<std::is_same_v<T, float>, float, int16_t>;

template <class T>
constexpr int layerDataType() {
    return std::is_same_v<T, uint8_t> ? DataType8u : std::is_same_v<T, uint16_t> ? DataType16u : DataType32f;
}

// Reflection about the edge pixel without repeating it, bouncing back and
// forth for distances beyond the image; a one-pixel extent repeats itself.
inline int reflectBounce(int i, int n) {
    if (n == 1) return 0;
    const int period = 2 * n - 2;
    i %= period;
    if (i < 0) i = -i;
    return i < n ? i : period - i;
}

inline bool rateInRange(float rate) { return rate > 1.0f && rate <= 10.0f; }

// A state made for another element type, channel count or direction would
// be read with the wrong kernel type or without its work rows (-12), and the
// down work rows hold sources no larger than the state's size (-6).
template <class T, int C>
StatusCode checkLayerState(const PyramidLayerState& st, ImageSize src, bool down) {
    if (st.dataType != layerDataType<T>() || st.channels != C || (st.work1 != nullptr) != down)
        return StatusDataTypeError;
    if (down && (src.width > st.srcWidth || src.height > st.srcHeight)) return StatusSizeError;
    return StatusOk;
}

// The checks of a layer call in their documented order. The destination
// must have the down size of the source (down) or lie within its up range.
template <class T, int C>
StatusCode checkLayerCall(const T* pSrc, int srcStep, ImageSize srcRoi, const T* pDst, int dstStep, ImageSize dstRoi,
                          const PyramidLayerState* pState, bool down) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pState));
    ZAL_CHECK(requireSize(srcRoi));
    ZAL_CHECK((requireRowSteps<T, C>(srcRoi, srcStep)));
    ZAL_CHECK((requireRowSteps<T, C>(dstRoi, dstStep)));
    ZAL_CHECK(failIf(!rateInRange(pState->rate), StatusBadArgument));
    ImageSize lo, hi;
    if (down) lo = hi = pyramid::downSize(srcRoi, pState->rate);
    else pyramid::upRange(srcRoi, pState->rate, &lo, &hi);
    ZAL_CHECK(failIf(dstRoi.width < lo.width || dstRoi.width > hi.width || dstRoi.height < lo.height ||
                         dstRoi.height > hi.height,
                     StatusSizeError));
    return checkLayerState<T, C>(*pState, srcRoi, down);
}

// Bytes after a down state's work rows that whole vectors of the widest
// target (two AVX-512 vectors) may read past a row; no lane uses them.
constexpr std::size_t kLayerSlack = 128;

// Bytes from p up to the next multiple of 32.
inline std::size_t align32(std::size_t n) { return (n + 31) & ~static_cast<std::size_t>(31); }

// Work rows start on cache lines: a widest vector (64 bytes) read from a
// row that starts halfway into a line would span two lines at every load.
// The allocator's blocks are 32-byte aligned, so a block reserves
// kLineSlack more bytes and its areas start at alignUp(block, kLine).
constexpr std::size_t kLine = 64;
constexpr std::size_t kLineSlack = kLine - 32;
inline std::size_t alignLine(std::size_t n) { return (n + kLine - 1) & ~(kLine - 1); }
// Elements between the starts of consecutive 32-bit work rows of `elems`
// elements: whole lines, so that every row starts on one.
inline std::size_t workRowStride(std::size_t elems) { return alignLine(elems * 4) / 4; }

// A down state's work2 holds two smoothed rows and one interpolated row of
// the state's width (workRowStride apart), then the slack, then the
// resampling's column table
// (rebuilt by every call): for each block of lanes a header and four
// vectors, at most 24 bytes per destination element (no more than the
// source row's elements) plus one widest vector's worth.
inline std::size_t downRowsBytes(std::size_t rowElems) { return alignLine(3 * workRowStride(rowElems) * 4 + kLayerSlack); }
inline std::size_t downColumnTableBytes(std::size_t rowElems) { return alignLine(24 * (rowElems + 16)); }

}  // namespace zal
