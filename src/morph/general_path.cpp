// General class: the definition evaluated directly. Each source row that
// enters the vertical window is copied once into a ring of mask-height rows
// of the state's buffer, with ax pixels of its first pixel before it and
// mw - ax - 1 of its last after it, so that no column index needs clamping.
// A destination row then folds, for every non-zero mask element (i, j) in
// mask order, the ring row of source row clamp(y + j - ay) shifted by i into
// the running extremum, which starts at the start value of Op. The fold keeps
// that order per element, so ties between +0 and -0 and NaNs resolve as in
// the plain loop over the mask.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "morph/exports.h"
#include "morph/internal.h"

namespace zal::morph {
namespace {

// Points folded per pass: a pass reads the destination row written by the
// previous one, so a larger mask only costs one more pass per 512 elements.
constexpr int kPointsPerPass = 512;

// Copies source row `src` (width pixels of C elements) into `ring` with
// `left` copies of its first pixel before it and `right` of its last after.
template <class T, int C>
void padRow(const T* src, T* ring, int width, int left, int right) {
    std::memcpy(ring + static_cast<std::ptrdiff_t>(left) * C, src, static_cast<std::size_t>(width) * C * sizeof(T));
    for (int x = 0; x < left; ++x) std::memcpy(ring + static_cast<std::ptrdiff_t>(x) * C, src, C * sizeof(T));
    const T* last = src + static_cast<std::ptrdiff_t>(width - 1) * C;
    T* after = ring + static_cast<std::ptrdiff_t>(left + width) * C;
    for (int x = 0; x < right; ++x) std::memcpy(after + static_cast<std::ptrdiff_t>(x) * C, last, C * sizeof(T));
}

}  // namespace

template <class T, int C, class Op>
void generalPath(Image<const T> src, Image<T> dst, const MorphologyState& state) {
    const int mw = state.kernelWidth, mh = state.kernelHeight;
    const int ax = state.anchorX, ay = state.anchorY;
    const int width = src.width, height = src.height;
    const std::size_t elems = static_cast<std::size_t>(width) * C;
    const auto ringRow = [&](int sourceRow) {
        return reinterpret_cast<T*>(state.buffer + static_cast<std::ptrdiff_t>(sourceRow % mh) * state.bufferRowStep);
    };

    const T* points[kPointsPerPass];
    int produced = -1;  // the last source row copied into the ring
    for (int y = 0; y < height; ++y) {
        for (const int last = std::min(height - 1, y - ay + mh - 1); produced < last;) {
            ++produced;
            padRow<T, C>(src.row(produced), ringRow(produced), width, ax, mw - ax - 1);
        }
        T* out = dst.row(y);
        int count = 0;
        bool resume = false;
        const auto flush = [&] {
            foldRows<T, Op>(points, count, resume ? FoldFrom::Output : FoldFrom::StartValue, out, elems);
            count = 0;
            resume = true;
        };
        for (int j = 0; j < mh; ++j) {
            const uint8_t* maskRow = state.mask + static_cast<std::ptrdiff_t>(j) * mw;
            const T* row = ringRow(std::clamp(y + j - ay, 0, height - 1));
            for (int i = 0; i < mw; ++i) {
                if (maskRow[i] == 0) continue;
                if (count == kPointsPerPass) flush();
                points[count++] = row + static_cast<std::ptrdiff_t>(i) * C;
            }
        }
        flush();
    }
}

#define ZAL_MORPH_PATH generalPath
ZAL_MORPH_STATE_INIT(ZAL_MORPH_PATH_INSTANCES)
#undef ZAL_MORPH_PATH

}  // namespace zal::morph
