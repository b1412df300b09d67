// Ellipse class: every kernel row is one run containing the anchor column, so
// a kernel row's contribution is a horizontal running extremum of its source
// row with the run's length and anchor offset. Each source row entering the
// window is filtered once per distinct run length into a ring of h line
// groups; a destination row folds the n lines its kernel rows name, in kernel
// row order. 8u derives a line from a shorter one where it can (below).
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "morph/exports.h"
#include "morph/internal.h"

namespace zal::morph {

namespace {

// 8u line k of source row `row` from its line s of length L' >= L / 2
// (see ellipsePath): pixel x takes the short line at x + lead and x + trail;
// the pixels whose window the border cuts take the row's clamped pixels. As
// width >= 2L, the vector part [lo, hi) is not empty. Kept out of line so
// that the per-row code of ellipsePath stays inlined (a 5x5 cross was 5%
// slower otherwise).
template <class T, int C, class Op>
[[gnu::noinline]] void deriveLine(const T* row, const T* shortLine, T* line, int width, const EllipseInfo& e, int k,
                                  int s) {
    const int length = e.lengths[k], offset = e.offsets[k];
    const int lead = e.offsets[s] - offset, trail = length - e.lengths[s] + lead;
    const int lo = std::max(0, -lead), hi = std::min(width, width - trail);
    const T* pair[2] = {shortLine + static_cast<std::ptrdiff_t>(lo + lead) * C,
                        shortLine + static_cast<std::ptrdiff_t>(lo + trail) * C};
    foldRows<T, Op>(pair, 2, FoldFrom::FirstRow, line + static_cast<std::ptrdiff_t>(lo) * C,
                    static_cast<std::size_t>(hi - lo) * C);
    const auto edge = [&](int x) {
        const int first = std::max(0, x - offset), last = std::min(width - 1, x - offset + length - 1);
        for (int c = 0; c < C; ++c) {
            T acc = row[static_cast<std::ptrdiff_t>(first) * C + c];
            for (int u = first + 1; u <= last; ++u) acc = Op::pick(acc, row[static_cast<std::ptrdiff_t>(u) * C + c]);
            line[static_cast<std::ptrdiff_t>(x) * C + c] = acc;
        }
    };
    for (int x = 0; x < lo; ++x) edge(x);
    for (int x = hi; x < width; ++x) edge(x);
}

}  // namespace

template <class T, int C, class Op>
void ellipsePath(Image<const T> src, Image<T> dst, const MorphologyState& state) {
    const auto& e = *static_cast<const EllipseInfo*>(state.kernelInfo);
    const int width = src.width, height = src.height, h = e.height, d = e.distinct;
    const std::ptrdiff_t elems = static_cast<std::ptrdiff_t>(width) * C;
    const std::size_t lineBytes = (static_cast<std::size_t>(elems) * sizeof(T) + 31) & ~std::size_t{31};
    const std::ptrdiff_t lineElems = static_cast<std::ptrdiff_t>(lineBytes / sizeof(T));

    // Buffer: the doubled group table (2h - 1 entries, so kernel row r of
    // destination row y is table[y % h + r] without a wrap test), then the
    // 32-byte aligned ring of h groups of d lines.
    T** table = reinterpret_cast<T**>(alignUp(state.buffer, alignof(T*)));
    T* ring = reinterpret_cast<T*>(alignUp(reinterpret_cast<uint8_t*>(table + 2 * h - 1), 32));
    for (int i = 0; i < 2 * h - 1; ++i) table[i] = ring + static_cast<std::ptrdiff_t>(i % h) * d * lineElems;

    // Lengths are listed longest first; a run of length 1 contains the
    // anchor column, so its line is the source row itself and is not copied.
    const int filtered = e.lengths[d - 1] == 1 ? d - 1 : d;
    minmax::RowFilter<T> filters[kMaxEllipseHeight];
    for (int k = 0; k < filtered; ++k) filters[k] = minmax::rowFilterFor<T, C, Op>(e.lengths[k], width);

    // 8u: an extremum of integers does not depend on the order of its terms,
    // so a line of length L can be derived from the next shorter line when
    // that length L' >= L / 2: the window is the union of the two L' windows
    // at its two ends, two loads per element instead of one per column.
    // Lines are made shortest first; from[k] is the line that line k is
    // derived from, or -1. The pixels whose window the border cuts are done
    // one by one, so the two windows must not lie far apart.
    constexpr int kMaxEdgePixels = 8;
    int from[kMaxEllipseHeight];
    std::fill_n(from, filtered, -1);
    if constexpr (sizeof(T) == 1) {
        for (int k = 0; k + 1 < filtered; ++k) {
            const int lead = e.offsets[k + 1] - e.offsets[k], trail = e.lengths[k] - e.lengths[k + 1] + lead;
            const int edges = std::max(0, -lead) + std::max(0, trail);
            if (2 * e.lengths[k + 1] >= e.lengths[k] && width >= 2 * e.lengths[k] && edges <= kMaxEdgePixels)
                from[k] = k + 1;
        }
    }

    // Whole rows are fetched ahead for 32f only: for 8u the processor's own
    // prefetch keeps up with the rows, and the fetch loops cost more than
    // they save (5x5 cross and disc on 1920x1080 1.06x and 1.15x faster
    // without them).
    constexpr bool kFetchRows = sizeof(T) != 1;

    // Extended row x of the window is source row clamp(x - anchorY); a row
    // equal to the previous one is copied instead of filtered again.
    const T* sourceOf[kMaxEllipseHeight];  // by ring slot x % h
    int lastRow = -1;
    const T* lastGroup = nullptr;
    const auto produce = [&](int x) {
        const int row = std::clamp(x - e.anchorY, 0, height - 1);
        T* group = table[x % h];
        sourceOf[x % h] = src.row(row);
        if (row == lastRow) {
            if (group != lastGroup) std::memcpy(group, lastGroup, static_cast<std::size_t>(filtered) * lineBytes);
        } else {
            if (kFetchRows && row + 2 < height) minmax::prefetchRow(src.row(row + 2), lineBytes, false);
            for (int k = filtered - 1; k >= 0; --k) {
                T* line = group + k * lineElems;
                if (from[k] < 0) filters[k](src.row(row), line, width, e.lengths[k], e.offsets[k], nullptr);
                else deriveLine<T, C, Op>(src.row(row), group + from[k] * lineElems, line, width, e, k, from[k]);
            }
        }
        lastRow = row;
        lastGroup = group;
    };

    const T* lines[kMaxEllipseHeight];
    for (int x = 0; x < h - 1; ++x) produce(x);
    for (int y = 0; y < height; ++y) {
        produce(y + h - 1);
        const int slot = y % h;
        T* const* rows = table + slot;
        for (int k = 0; k < e.rows; ++k) {
            const int r = e.rowIndex[k], l = e.lengthIndex[k];
            // (y + r) % h without a division per kernel row.
            lines[k] = l < filtered ? rows[r] + l * lineElems : sourceOf[slot + r < h ? slot + r : slot + r - h];
        }
        if (kFetchRows && y + 2 < height)
            minmax::prefetchRow(dst.row(y + 2), static_cast<std::size_t>(elems) * sizeof(T), true);
        foldRows<T, Op>(lines, e.rows, FoldFrom::FirstRow, dst.row(y), static_cast<std::size_t>(elems));
    }
}

#define ZAL_MORPH_PATH ellipsePath
ZAL_MORPH_STATE_INIT(ZAL_MORPH_PATH_INSTANCES)
#undef ZAL_MORPH_PATH

}  // namespace zal::morph
