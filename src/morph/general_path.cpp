// General class: the definition evaluated directly. Each source row that
// enters the vertical window is copied once into a ring of mask-height rows
// of the state's buffer, with ax pixels of its first pixel before it and
// mw - ax - 1 of its last after it, so that no column index needs clamping.
// A destination row then folds, for every non-zero mask element (i, j) in
// mask order, the ring row of source row clamp(y + j - ay) shifted by i into
// the running extremum, which starts at the start value of Op. The fold keeps
// that order per element, so ties between +0 and -0 and NaNs resolve as in
// the plain loop over the mask. 8u, whose extremum does not depend on the
// order, folds runs of mask columns from block lines instead (below).
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

// 8u: an extremum of integers does not depend on the order of its terms, so
// a run of mask columns may be folded from overlapping blocks. Each ring slot
// then also holds the block line of its padded row, line[e] = the extremum of
// the `block` pixels from e (in the second half of the buffer), and a run of
// length len >= block is covered by ceil(len / block) block points, the last
// one moved back to end with the run, instead of len pixel points. The block
// length is chosen per mask to minimise the loads per destination row,
// counting those of the new row's block line.
constexpr int kMaxBlock = 16;
// Masks with more rows or points fold every element as the other types do.
constexpr int kMaxPlanRows = 64;

// A point of the fold: mask row, padded row (0) or block line (1), and the
// element offset in it.
struct PlanPoint {
    int32_t row, line;
    std::ptrdiff_t offset;
};

struct BlockPlan {
    int block = 1;  // 1: no block lines (fold every element)
    int count = 0;
    PlanPoint points[kPointsPerPass];
};

inline int pointsFor(int len, int block) { return len >= block ? (len + block - 1) / block : len; }

// Calls visit(row, column, length) for each run of non-zero elements of the
// mask, row by row.
template <class Visit>
void forEachRun(const uint8_t* mask, int mw, int mh, Visit&& visit) {
    for (int j = 0; j < mh; ++j) {
        const uint8_t* row = mask + static_cast<std::ptrdiff_t>(j) * mw;
        for (int i = 0; i < mw;) {
            if (row[i] == 0) {
                ++i;
                continue;
            }
            int e = i + 1;
            while (e < mw && row[e] != 0) ++e;
            visit(j, i, e - i);
            i = e;
        }
    }
}

// Chooses the block length and lists the points; leaves block = 1 when no
// block pays or the plan does not fit.
void planBlocks(const uint8_t* mask, int mw, int mh, int channels, BlockPlan& plan) {
    plan.block = 1;
    if (mh > kMaxPlanRows) return;
    int plain = 0;
    forEachRun(mask, mw, mh, [&](int, int, int len) { plain += len; });
    int block = 1, bestCost = plain;
    for (int b = 2; b <= std::min(mw, kMaxBlock); ++b) {
        int cost = b;  // the block line of the row entering the ring
        forEachRun(mask, mw, mh, [&](int, int, int len) { cost += pointsFor(len, b); });
        if (cost < bestCost) {
            bestCost = cost;
            block = b;
        }
    }
    if (block == 1 || bestCost - block > kPointsPerPass) return;
    plan.block = block;
    plan.count = 0;
    forEachRun(mask, mw, mh, [&](int j, int i, int len) {
        if (len < block) {
            for (int k = 0; k < len; ++k)
                plan.points[plan.count++] = PlanPoint{j, 0, static_cast<std::ptrdiff_t>(i + k) * channels};
            return;
        }
        for (int k = 0; k < len; k += block)
            plan.points[plan.count++] =
                PlanPoint{j, 1, static_cast<std::ptrdiff_t>(i + std::min(k, len - block)) * channels};
    });
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
    BlockPlan plan;
    if constexpr (sizeof(T) == 1) planBlocks(state.mask, mw, mh, C, plan);
    const int block = plan.block;
    const auto blockRow = [&](int sourceRow) {
        return reinterpret_cast<T*>(state.buffer +
                                    static_cast<std::ptrdiff_t>(mh + sourceRow % mh) * state.bufferRowStep);
    };
    const std::size_t blockElems = static_cast<std::size_t>(width + mw - block) * C;

    const T* points[kPointsPerPass];
    int produced = -1;  // the last source row copied into the ring
    for (int y = 0; y < height; ++y) {
        for (const int last = std::min(height - 1, y - ay + mh - 1); produced < last;) {
            ++produced;
            T* padded = ringRow(produced);
            padRow<T, C>(src.row(produced), padded, width, ax, mw - ax - 1);
            if (block > 1) {
                const T* shifts[kMaxBlock];
                for (int k = 0; k < block; ++k) shifts[k] = padded + static_cast<std::ptrdiff_t>(k) * C;
                foldRows<T, Op>(shifts, block, FoldFrom::FirstRow, blockRow(produced), blockElems);
            }
        }
        T* out = dst.row(y);
        if (block > 1) {
            // The ring slot of mask row j, tracked along the clamped rows.
            // (No whole-row prefetch here: as in the Ellipse class, it costs
            // 8u rows more than it saves.)
            const T* lines[2][kMaxPlanRows];
            int slot = std::clamp(y - ay, 0, height - 1) % mh;
            for (int j = 0; j < mh; ++j) {
                if (j > 0 && y + j - ay >= 1 && y + j - ay <= height - 1) slot = slot + 1 == mh ? 0 : slot + 1;
                const uint8_t* base = state.buffer + static_cast<std::ptrdiff_t>(slot) * state.bufferRowStep;
                lines[0][j] = reinterpret_cast<const T*>(base);
                lines[1][j] = reinterpret_cast<const T*>(base + static_cast<std::ptrdiff_t>(mh) * state.bufferRowStep);
            }
            for (int k = 0; k < plan.count; ++k) {
                const PlanPoint& p = plan.points[k];
                points[k] = lines[p.line][p.row] + p.offset;
            }
            foldRows<T, Op>(points, plan.count, FoldFrom::FirstRow, out, elems);
            continue;
        }
        const std::size_t rowBytes = elems * sizeof(T);
        if (produced + 2 < height) minmax::prefetchRow(src.row(produced + 2), rowBytes, false);
        if (y + 2 < height) minmax::prefetchRow(dst.row(y + 2), rowBytes, true);
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
