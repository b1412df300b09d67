// Rectangle class: one rectangular minimum/maximum filter over the block. An
// anchor outside the block is handled by shifting the region that the filter
// sees (so its anchor is clamped into the block) and replicating the columns
// and rows the shifted filter does not cover: there every window lies wholly
// beyond the edge and so sees only edge pixels.
#include <algorithm>
#include <cstdint>

#include "morph/internal.h"

namespace zal::morph {
namespace {

// Part of the ROI that the filter computes along one axis.
struct Shift {
    int srcOffset = 0, dstOffset = 0, length, anchor;
};

Shift shiftAxis(int anchor, int block, int extent) {
    Shift s{0, 0, extent, anchor};
    if (anchor < 0) {
        const int k = std::max(1 - extent, anchor);  // k < 0: read |k| further on
        s = Shift{-k, 0, extent + k, 0};
    } else if (anchor >= block) {
        const int k = std::min(anchor - block + 1, extent - 1);  // write k further on
        s = Shift{0, k, extent - k, block - 1};
    }
    return s;
}

// The in-place replicated-border copy of the matching pixel unit (32f pixels
// travel as 32-bit words).
template <int C>
StatusCode replicateInPlace(uint8_t* p, int step, ImageSize from, ImageSize to, int top, int left) {
    if constexpr (C == 1) return zaliCopyReplicateBorder_8u_C1IR(p, step, from, to, top, left);
    if constexpr (C == 3) return zaliCopyReplicateBorder_8u_C3IR(p, step, from, to, top, left);
    if constexpr (C == 4) return zaliCopyReplicateBorder_8u_C4IR(p, step, from, to, top, left);
}
template <int C>
StatusCode replicateInPlace(int32_t* p, int step, ImageSize from, ImageSize to, int top, int left) {
    if constexpr (C == 1) return zaliCopyReplicateBorder_32s_C1IR(p, step, from, to, top, left);
    if constexpr (C == 3) return zaliCopyReplicateBorder_32s_C3IR(p, step, from, to, top, left);
    if constexpr (C == 4) return zaliCopyReplicateBorder_32s_C4IR(p, step, from, to, top, left);
}

template <class T, int C>
StatusCode replicateAround(Image<T> dst, const Shift& sx, const Shift& sy) {
    using Unit = std::conditional_t<sizeof(T) == 1, uint8_t, int32_t>;
    Unit* computed = reinterpret_cast<Unit*>(dst.row(sy.dstOffset) + static_cast<std::ptrdiff_t>(sx.dstOffset) * C);
    return replicateInPlace<C>(computed, static_cast<int>(dst.step), ImageSize{sx.length, sy.length},
                               ImageSize{dst.width, dst.height}, sy.dstOffset, sx.dstOffset);
}

}  // namespace

template <class T, int C, class Op>
StatusCode rectanglePath(Image<const T> src, Image<T> dst, const MorphologyState& state) {
    const auto& g = *static_cast<const RectangleInfo*>(state.kernelInfo);
    const Shift sx = shiftAxis(g.anchorX, g.width, src.width);
    const Shift sy = shiftAxis(g.anchorY, g.height, src.height);
    minmax::filterReplicate<T, C, Op>(src.offset(sx.srcOffset, sy.srcOffset, C, sx.length, sy.length),
                                      dst.offset(sx.dstOffset, sy.dstOffset, C, sx.length, sy.length),
                                      ImageSize{g.width, g.height}, ImagePoint{sx.anchor, sy.anchor}, state.buffer);
    if (sx.length == src.width && sy.length == src.height) return StatusOk;
    return replicateAround<T, C>(dst, sx, sy);
}

#define ZAL_RECTANGLE_PATH(T, C)                                                                       \
    template StatusCode rectanglePath<T, C, minmax::Min>(Image<const T>, Image<T>, const MorphologyState&); \
    template StatusCode rectanglePath<T, C, minmax::Max>(Image<const T>, Image<T>, const MorphologyState&);
ZAL_RECTANGLE_PATH(uint8_t, 1)
ZAL_RECTANGLE_PATH(uint8_t, 3)
ZAL_RECTANGLE_PATH(uint8_t, 4)
ZAL_RECTANGLE_PATH(float, 1)
ZAL_RECTANGLE_PATH(float, 3)
ZAL_RECTANGLE_PATH(float, 4)
#undef ZAL_RECTANGLE_PATH

}  // namespace zal::morph
