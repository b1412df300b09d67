// Driver of the fixed filters: a ring of K row-filtered lines per thread,
// the vertical border chosen by re-pointing into that ring, and one column
// routine per destination row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/band_runner.h"
#include "core/image.h"
#include "core/threads.h"
#include "filter/border.h"
#include "filter/fixed_kernels.h"
#include "filter/internal.h"
#include "filter/ops.h"

namespace zal {

// What a filter runs: K, one or two row routines (the 5x5 Laplacian sums two
// separable halves), the values per pixel of a line and the column routine.
template <class Src, class Line, class Dst>
struct FixedPlan {
    int kernelSize;
    int terms;
    int lineValues;
    FixedRowFn<Src, Line> row[2];
    FixedColumnFn<Line, Dst> column;
};

// The line(s) of one source row: the row pass of every term (into lines[t])
// over the row extended left and right by the border rule `kind`; `ext`
// holds 2K - 2 pixels for the border strips.
template <class Src, class Line, class Dst>
void fixedRowPass(const FixedPlan<Src, Line, Dst>& plan, const Src* source, int width, int kind,
                  const Src& borderValue, Src* ext, Line* const* lines) {
    const int K = plan.kernelSize;
    walkRowWithBorder<Src, 1>(source, width, K, K / 2, kind, &borderValue, ext, [&](const Src* p, int x0, int count) {
        for (int t = 0; t < plan.terms; ++t)
            plan.row[t](p, lines[t] + static_cast<std::ptrdiff_t>(x0) * plan.lineValues, count);
    });
}

template <class Src, class Line, class Dst>
class FixedFilterRun {
public:
    static constexpr int kMaxK = 5;

    FixedFilterRun(const FixedPlan<Src, Line, Dst>& plan, Image<const Src> src, Image<Dst> dst, int kind,
                   Src borderValue, float rcp)
        : plan_(plan), src_(src), dst_(dst), kind_(kind), borderValue_(borderValue), rcp_(rcp) {}

    // Destination rows [y0, y1) with a fresh ring in `chunk`.
    void rows(int y0, int y1, void* chunk) const {
        const int K = plan_.kernelSize, half = K / 2, height = src_.height;
        unsigned char* base = alignUp(chunk, 32);
        Line* lines[2][kMaxK + 1];  // K ring slots, then the constant-border line
        for (int t = 0; t < plan_.terms; ++t)
            for (int s = 0; s <= K; ++s)
                lines[t][s] = reinterpret_cast<Line*>(base + (t * (K + 1) + s) * lineBytes());
        Src* ext = reinterpret_cast<Src*>(base + plan_.terms * (K + 1) * lineBytes());
        std::ptrdiff_t tags[kMaxK];  // source row held by each ring slot
        for (int s = 0; s < K; ++s) tags[s] = -2;
        bool constantReady = false;

        for (int y = y0; y < y1; ++y) {
            std::ptrdiff_t need[kMaxK];
            for (int k = 0; k < K; ++k) need[k] = borderIndex(y - half + k, height, kind_);
            const Line* window[2][kMaxK];
            for (int k = 0; k < K; ++k) {
                int slot = K;  // the constant line
                if (need[k] < 0) {
                    if (!constantReady) fillConstant(lines);
                    constantReady = true;
                } else {
                    slot = findOrLoad(need[k], need, tags, lines, ext);
                }
                for (int t = 0; t < plan_.terms; ++t) window[t][k] = lines[t][slot];
            }
            plan_.column(window[0], window[1], dst_.row(y), dst_.width, rcp_);
        }
    }

    // Whole region with a buffer of `workers` chunks; in parallel when the
    // region is tall and wide enough: the rows that touch the top or bottom
    // border in the calling thread, the inner rows in at most `workers`
    // bands, each band with its own ring in its own chunk. Rows are
    // independent, so the result does not depend on the band count.
    void run(unsigned char* buffer, std::size_t chunkBytes, int workers) const {
        const int K = plan_.kernelSize, half = K / 2, H = src_.height;
        const int n = workers;
        // Thresholds kept for compatibility: callers size buffers and expect
        // the parallel split from exactly these (n * 128 rows, 256 columns).
        const bool parallel = H >= n * 128LL && src_.width >= 256 && n >= 2 && runomp() != 0;
        if (!parallel) {
            rows(0, H, buffer);
            return;
        }
        rows(0, half, buffer);
        runBandsUpTo(n, H - 2 * half, [&](int id, int begin, int end) {
            rows(half + begin, half + end, buffer + static_cast<std::ptrdiff_t>(id) * static_cast<std::ptrdiff_t>(chunkBytes));
        });
        rows(H - half, H, buffer);
    }

private:
    std::size_t lineBytes() const {
        return static_cast<std::size_t>(roundUp(static_cast<long long>(src_.width) * plan_.lineValues * sizeof(Line), 32));
    }

    // A line equal to the row pass over a row of borderValue.
    void fillConstant(Line* const (*lines)[kMaxK + 1]) const {
        const int K = plan_.kernelSize;
        Src constantRow[kMaxK];
        for (int k = 0; k < K; ++k) constantRow[k] = borderValue_;
        for (int t = 0; t < plan_.terms; ++t) {
            Line* line = lines[t][K];
            plan_.row[t](constantRow, line, 1);
            for (int x = 1; x < src_.width; ++x)
                for (int v = 0; v < plan_.lineValues; ++v) line[x * plan_.lineValues + v] = line[v];
        }
    }

    // The ring slot holding source row m, filtering it into a slot that the
    // current window does not use when it is not there yet.
    int findOrLoad(std::ptrdiff_t m, const std::ptrdiff_t* need, std::ptrdiff_t* tags,
                   Line* const (*lines)[kMaxK + 1], Src* ext) const {
        const int K = plan_.kernelSize;
        for (int s = 0; s < K; ++s)
            if (tags[s] == m) return s;
        int slot = 0;
        for (; slot < K; ++slot) {
            bool inWindow = false;
            for (int k = 0; k < K; ++k) inWindow = inWindow || need[k] == tags[slot];
            if (!inWindow) break;
        }
        // The window names at most K rows and m is not among the tags, so
        // some slot is always free.
        Line* targets[2] = {lines[0][slot], lines[plan_.terms - 1][slot]};
        fixedRowPass(plan_, src_.row(m), src_.width, kind_, borderValue_, ext, targets);
        tags[slot] = m;
        return slot;
    }

    FixedPlan<Src, Line, Dst> plan_;
    Image<const Src> src_;
    Image<Dst> dst_;
    int kind_;
    Src borderValue_;
    float rcp_;
};

namespace filter {

// The line type of a source: rows of 8u sources are filtered into 16-bit
// lines, rows of 32f sources into float lines.
template <class Src>
using FixedLine = std::conditional_t<std::is_same_v<Src, float>, float, int16_t>;

// The routines fixedFilter runs for `op` with kernelSize 3 or 5 (the same
// source and destination types), for callers that drive them row by row.
template <class Src, class Dst>
FixedPlan<Src, FixedLine<Src>, Dst> fixedPlan(Fixed op, int kernelSize);

}  // namespace filter
}  // namespace zal
