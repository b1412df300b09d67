// General class: the definition evaluated directly. For each destination row
// the kernel rows read source rows clamp(y + j - ay) through their pointers,
// and each non-zero mask element (i, j) folds the source row shifted by
// i - ax into the destination row. Columns left of the source take pixel 0,
// columns right of it pixel W - 1, so nothing outside the ROI is read and the
// interior loop runs without clamping.
#include <algorithm>
#include <cstdint>

#include "morph/exports.h"
#include "morph/internal.h"

namespace zal::morph {
namespace {

template <class T, int C, class Op>
void foldShifted(const T* __restrict s, T* __restrict d, int width, int shift) {
    const int left = std::clamp(-shift, 0, width);
    const int right = std::clamp(width - shift, left, width);
    for (int x = 0; x < left; ++x)
        for (int c = 0; c < C; ++c) d[x * C + c] = Op::pick(d[x * C + c], s[c]);
    const std::ptrdiff_t shiftElems = static_cast<std::ptrdiff_t>(shift) * C;
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(left) * C; i < static_cast<std::ptrdiff_t>(right) * C; ++i)
        d[i] = Op::pick(d[i], s[i + shiftElems]);
    const T* last = s + static_cast<std::ptrdiff_t>(width - 1) * C;
    for (int x = right; x < width; ++x)
        for (int c = 0; c < C; ++c) d[x * C + c] = Op::pick(d[x * C + c], last[c]);
}

}  // namespace

template <class T, int C, class Op>
void generalPath(Image<const T> src, Image<T> dst, const MorphologyState& state) {
    const int mw = state.kernelWidth, mh = state.kernelHeight;
    const int ax = state.anchorX, ay = state.anchorY;
    const std::ptrdiff_t elems = static_cast<std::ptrdiff_t>(src.width) * C;
    const T start = startValue<T, Op>();
    for (int y = 0; y < dst.height; ++y) {
        T* out = dst.row(y);
        std::fill(out, out + elems, start);
        for (int j = 0; j < mh; ++j) {
            const uint8_t* maskRow = state.mask + static_cast<std::ptrdiff_t>(j) * mw;
            const T* s = src.row(std::clamp(y + j - ay, 0, src.height - 1));
            for (int i = 0; i < mw; ++i)
                if (maskRow[i] != 0) foldShifted<T, C, Op>(s, out, src.width, i - ax);
        }
    }
}

#define ZAL_MORPH_PATH generalPath
ZAL_MORPH_STATE_INIT(ZAL_MORPH_PATH_INSTANCES)
#undef ZAL_MORPH_PATH

}  // namespace zal::morph
