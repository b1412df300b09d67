// Rectangle class: one rectangular minimum/maximum filter over the block. An
// anchor outside the block is handled by shifting the region that the filter
// sees (so its anchor is clamped into the block) and replicating the columns
// and rows the shifted filter does not cover: there every window lies wholly
// beyond the edge and so sees only edge pixels.
#include <algorithm>
#include <cstdint>

#include "core/ops.h"
#include "morph/exports.h"
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

// Repeats the computed part of dst over the columns and rows the shifted
// filter did not write (32f pixels travel as 32-bit words).
template <class T, int C>
void replicateAround(Image<T> dst, const Shift& sx, const Shift& sy) {
    using Unit = std::conditional_t<sizeof(T) == 1, uint8_t, int32_t>;
    const Image<Unit> computed = dst.template as<Unit>().offset(sx.dstOffset, sy.dstOffset, C, sx.length, sy.length);
    core::copyReplicateBorderInPlace<Unit, C>(computed, ImageSize{dst.width, dst.height}, sy.dstOffset, sx.dstOffset);
}

}  // namespace

template <class T, int C, class Op>
void rectanglePath(Image<const T> src, Image<T> dst, const MorphologyState& state, const minmax::RowSink& done) {
    const auto& g = *static_cast<const RectangleInfo*>(state.kernelInfo);
    const Shift sx = shiftAxis(g.anchorX, g.width, src.width);
    const Shift sy = shiftAxis(g.anchorY, g.height, src.height);
    const bool shifted = sx.length < src.width || sy.length < src.height;
    minmax::filterReplicate<T, C, Op>(src.offset(sx.srcOffset, sy.srcOffset, C, sx.length, sy.length),
                                      dst.offset(sx.dstOffset, sy.dstOffset, C, sx.length, sy.length),
                                      ImageSize{g.width, g.height}, ImagePoint{sx.anchor, sy.anchor}, state.buffer,
                                      shifted ? minmax::RowSink{} : done);
    if (!shifted) return;
    // The replicated rows and columns complete the rows only now.
    replicateAround<T, C>(dst, sx, sy);
    for (int y = 0; y < dst.height; ++y) done(y);
}

#define ZAL_RECTANGLE_PATH(name, T, C)                                                           \
    template void rectanglePath<T, C, minmax::Min>(Image<const T>, Image<T>, const MorphologyState&, \
                                                   const minmax::RowSink&);                         \
    template void rectanglePath<T, C, minmax::Max>(Image<const T>, Image<T>, const MorphologyState&, \
                                                   const minmax::RowSink&);
ZAL_MORPH_STATE_INIT(ZAL_RECTANGLE_PATH)
#undef ZAL_RECTANGLE_PATH

}  // namespace zal::morph
