// The two-pass minimum/maximum filter: every source row that enters the
// vertical window is filtered horizontally into a line of the work buffer
// once, and each destination row is the element-wise extremum of the lines of
// rows clamp(y - ay + i), i = 0 .. mh - 1.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/align.h"
#include "filter/ops.h"

namespace zal::filter::minmax {
namespace {

// acc = pick(acc, line) and out = pick(a, b), element-wise over n elements.
template <class T, class Op>
inline void combine(T* acc, const T* line, std::ptrdiff_t n) {
    const T* rows[2] = {acc, line};
    foldRows<T, Op>(rows, 2, FoldFrom::FirstRow, T{}, acc, static_cast<std::size_t>(n));
}

template <class T, class Op>
inline void combine(const T* a, const T* b, T* out, std::ptrdiff_t n) {
    const T* rows[2] = {a, b};
    foldRows<T, Op>(rows, 2, FoldFrom::FirstRow, T{}, out, static_cast<std::size_t>(n));
}

}  // namespace

template <class T, int C, class Op>
BandedFilter<T, C, Op>::BandedFilter(Image<const T> src, Image<T> dst, ImageSize mask, ImagePoint anchor,
                                     uint8_t* buffer, int srcRing, int dstRing)
    : src_(src), dst_(dst), srcRing_(srcRing), dstRing_(dstRing), elems_(static_cast<std::ptrdiff_t>(src.width) * C) {
    const int width = src.width, height = src.height;
    // Window columns (rows) beyond the edge only repeat the edge pixel, so a
    // mask reaching further than the image is cut down without changing the
    // result.
    int mw = mask.width, ax = anchor.x, mh = mask.height, ay = anchor.y;
    if (ax >= width) { mw += width - ax - 1; ax = width - 1; }
    if (mw - ax > width) mw = width + ax;
    if (ay >= height) { mh += height - ay - 1; ay = height - 1; }
    if (mh - ay > height) mh = height + ay;
    filter_ = rowFilterFor<T, C, Op>(mw, width);
    window_ = mw;
    anchorX_ = ax;
    height_ = mh;
    anchorY_ = ay;

    const std::size_t lineBytes = (static_cast<std::size_t>(elems_) * sizeof(T) + 31) & ~std::size_t{31};
    if (height >= 2 * mh && (mh == 1 || mh == 3 || mh == 5)) {
        // mh + 1 of the 2 * mh lines the buffer holds.
        uint8_t* area = alignUp32(buffer);
        for (int i = 0; i <= mh; ++i) ring_[i] = reinterpret_cast<T*>(area + static_cast<std::size_t>(i) * lineBytes);
        // An 8u C3 3x3 window over rows that hold its interior folds each
        // new row straight into the destination (measured: a 1920x1080
        // dilation 1.2x faster than the pairs below). 8u rows of one or four
        // channels keep the pairs, which fold the shared lines once and run
        // near a copy's speed; 32f rows keep two passes, which measured
        // faster than one there.
        fused_ = std::is_same_v<T, uint8_t> && C == 3 && mh == 3 && mw == 3 && width >= 6;
        return;
    }
    // The line pointers of the general routine live at the head of the buffer
    // (2 * mh of them), before the lines.
    constexpr uintptr_t kPtrAlign = alignof(T*);
    T** table = reinterpret_cast<T**>((reinterpret_cast<uintptr_t>(buffer) + kPtrAlign - 1) & ~(kPtrAlign - 1));
    uint8_t* linesStart = alignUp32(reinterpret_cast<uint8_t*>(table + 2 * static_cast<std::size_t>(mh)));
    for (int i = 0; i < 2 * mh; ++i)
        table[i] = reinterpret_cast<T*>(linesStart + static_cast<std::size_t>(i) * lineBytes);
    cur_ = table;
    nextBlock_ = table + mh;
}

// Fetches destination row y + 2 (`bytes` long) for writing while row y is
// computed: the stores would otherwise wait for each line of the row in turn
// (measured: a 3x3 maximum 1.6x faster, 15x15 1.3x).
template <class T, int C, class Op>
void BandedFilter<T, C, Op>::prefetchAhead(std::ptrdiff_t y, std::size_t bytes) const {
    if (y + 2 < dst_.height) prefetchRow(dstRow(y + 2), bytes, true);
}

// Produces the horizontally filtered line of the extended row e (source row
// clamp(e - ay)). A row equal to the one filtered just before is copied.
template <class T, int C, class Op>
void BandedFilter<T, C, Op>::produce(std::ptrdiff_t e, T* line, const void* fetchForWrite) {
    const int row = static_cast<int>(std::clamp<std::ptrdiff_t>(e - anchorY_, 0, src_.height - 1));
    if (row == lastRow_ && lastLine_ != line) {
        std::memcpy(line, lastLine_, static_cast<std::size_t>(elems_) * sizeof(T));
    } else if (row != lastRow_) {
        // The source row after next is fetched while this one is filtered, so
        // that its loads do not wait on memory. The rows of a ring were
        // written just before and are still in cache: fetching them only
        // costs time (measured: an opening 3% slower). 32f rows, four times
        // as long, are left to the processor's own streaming: the burst of
        // fetches stalled the filter instead (measured: a 3x3 minimum of a
        // 1920x1080 32f image 1.15x faster without it).
        if (std::is_same_v<T, uint8_t> && srcRing_ == 0 && row + 2 < src_.height)
            prefetchRow(srcRow(row + 2), elems_ * sizeof(T), false);
        filter_(srcRow(row), line, src_.width, window_, anchorX_, fetchForWrite);
    }
    lastRow_ = row;
    lastLine_ = line;
}

// Destination row y of an 8u 3x3 window: the line of extended row y + 2 is
// filtered and folded below the lines of rows y and y + 1 in one pass. The
// interior columns go to the vector kernel; the few edge columns, whose
// windows are cut by the border, take the same taps clamped. A repeated
// edge row is copied as in produce(). (Called for 8u only; the 32f
// instantiation stays empty.)
template <class T, int C, class Op>
void BandedFilter<T, C, Op>::produceAndFold3(std::ptrdiff_t y) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        const std::ptrdiff_t e = y + 2;
        T* line = ring_[e % 4];
        const T* top = ring_[y % 4];
        const T* mid = ring_[(y + 1) % 4];
        T* out = dstRow(y);
        const int row = static_cast<int>(std::clamp<std::ptrdiff_t>(e - anchorY_, 0, src_.height - 1));
        if (row == lastRow_) {
            produce(e, line);
            const T* window[3] = {top, mid, line};
            foldRows<T, Op>(window, 3, FoldFrom::FirstRow, T{}, out, static_cast<std::size_t>(elems_));
            return;
        }
        const T* s = srcRow(row);
        const int width = src_.width, ax = anchorX_;
        const auto edge = [&](int x) {
            for (int c = 0; c < C; ++c) {
                const auto tap = [&](int j) {
                    return s[static_cast<std::ptrdiff_t>(std::clamp(x - ax + j, 0, width - 1)) * C + c];
                };
                const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(x) * C + c;
                line[i] = Op::pick(Op::pick(tap(0), tap(1)), tap(2));
                out[i] = Op::pick(Op::pick(top[i], mid[i]), line[i]);
            }
        };
        // Pixels x in [ax, width - 3 + ax] see columns x - ax .. x - ax + 2.
        const int lo = ax, hi = width - 2 + ax;
        for (int x = 0; x < lo; ++x) edge(x);
        const std::ptrdiff_t first = static_cast<std::ptrdiff_t>(lo) * C;
        fuse3<Op>(s, C, top + first, mid + first, line + first, out + first, static_cast<std::size_t>(hi - lo) * C);
        for (int x = hi; x < width; ++x) edge(x);
        lastRow_ = row;
        lastLine_ = line;
    } else {
        (void)y;
    }
}

// Destination row y folds the lines of extended rows y .. y + mh - 1, and
// both routines produce the last of them just before they write the row.
template <class T, int C, class Op>
int BandedFilter<T, C, Op>::sourceRowsFor(int end) const {
    return end <= 0 ? 0 : std::min(src_.height, end + height_ - 1 - anchorY_);
}

template <class T, int C, class Op>
void BandedFilter<T, C, Op>::run(int end, const RowSink& done) {
    end = std::min(end, dst_.height);
    if (next_ >= end) return;
    if (ring_[0] == nullptr) return runGeneral(end, done);
    if (height_ == 1) return runFixed<1>(end, done);
    if (height_ == 3) return runFixed<3>(end, done);
    runFixed<5>(end, done);
}

// Dedicated vertical routine for MH = 1, 3 or 5: a ring of MH + 1 lines, line
// e % (MH + 1) holding extended row e. 8u destination rows go in pairs, which
// share MH - 1 of their lines (an 8-bit extremum does not depend on the
// order, so neither does the result on where a pair starts); 32f rows fold
// their MH lines in window order.
template <class T, int C, class Op>
template <int MH>
void BandedFilter<T, C, Op>::runFixed(int end, const RowSink& done) {
    constexpr int R = MH + 1;
    const std::size_t n = static_cast<std::size_t>(elems_);
    int y = next_;
    if constexpr (MH == 1) {
        for (; y < end; ++y) {
            produce(y, dstRow(y));
            done(y);
        }
        next_ = y;
        return;
    }
    if (y == 0)
        for (int e = 0; e < MH - 1; ++e) produce(e, ring_[e % R]);
    if constexpr (MH == 3 && std::is_same_v<T, uint8_t>) {
        if (fused_) {
            for (; y < end; ++y) {
                produceAndFold3(y);
                done(y);
            }
            next_ = y;
            return;
        }
    }
    const T* window[R];
    if constexpr (std::is_same_v<T, uint8_t>) {
        for (; y + 1 < end; y += 2) {
            produce(y + MH - 1, ring_[(y + MH - 1) % R]);
            produce(y + MH, ring_[(y + MH) % R]);
            for (int i = 0; i < R; ++i) window[i] = ring_[(y + i) % R];
            prefetchAhead(y, n);
            prefetchAhead(y + 1, n);
            foldPair<Op>(window, MH, dstRow(y), dstRow(y + 1), n);
            done(y);
            done(y + 1);
        }
    }
    for (; y < end; ++y) {
        if constexpr (std::is_same_v<T, float>) {
            // The horizontal pass fetches destination row y for writing as
            // it goes, so that the fold below stores into cached lines
            // (measured: a 1920x1080 3x3 minimum 1.1x faster than fetching
            // the row two rows ahead in one burst).
            produce(y + MH - 1, ring_[(y + MH - 1) % R], dstRow(y));
        } else {
            produce(y + MH - 1, ring_[(y + MH - 1) % R]);
            prefetchAhead(y, n * sizeof(T));
        }
        for (int i = 0; i < MH; ++i) window[i] = ring_[(y + i) % R];
        foldRows<T, Op>(window, MH, FoldFrom::FirstRow, T{}, dstRow(y), n);
        done(y);
    }
    next_ = y;
}

// General vertical routine with 2 * mh lines. The extended rows are cut into
// blocks of mh starting at row 0; `cur_` holds the suffix extrema of the
// current block, `nextBlock_` the filtered rows of the following one. Output
// row k0 + r is cur_[r] combined with the prefix of the next block up to row
// r - 1; that prefix is kept in cur_[r - 1], which is no longer needed once
// row k0 + r - 1 is written.
template <class T, int C, class Op>
void BandedFilter<T, C, Op>::runGeneral(int end, const RowSink& done) {
    const int mh = height_;
    const std::ptrdiff_t n = elems_;
    const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(T);
    const auto toSuffix = [&](T** block) {
        for (int r = mh - 2; r >= 0; --r) combine<T, Op>(block[r], block[r + 1], n);
    };
    for (int y = next_; y < end; ++y) {
        const int r = y % mh;
        if (y == 0) {
            for (int i = 0; i < mh; ++i) produce(i, cur_[i]);
            toSuffix(cur_);
        } else if (r == 0) {  // the next block is complete: it becomes the current one
            produce(y + mh - 1, nextBlock_[mh - 1]);
            toSuffix(nextBlock_);
            std::swap(cur_, nextBlock_);
        }
        if (r == 0) {
            prefetchAhead(y, bytes);
            std::memcpy(dstRow(y), cur_[0], bytes);
            done(y);
            continue;
        }
        produce(y + mh - 1, nextBlock_[r - 1]);
        prefetchAhead(y, bytes);
        T* prefix = cur_[r - 1];
        if (r == 1)
            std::memcpy(prefix, nextBlock_[0], bytes);
        else
            combine<T, Op>(cur_[r - 2], nextBlock_[r - 1], prefix, n);
        combine<T, Op>(cur_[r], prefix, dstRow(y), n);
        done(y);
    }
    next_ = end;
}

template <class T, int C, class Op>
void filterReplicate(Image<const T> src, Image<T> dst, ImageSize mask, ImagePoint anchor, uint8_t* buffer,
                     const RowSink& done) {
    BandedFilter<T, C, Op>(src, dst, mask, anchor, buffer).run(dst.height, done);
}

#define ZAL_MINMAX_DRIVER(T, C)                                                                            \
    template class BandedFilter<T, C, Min>;                                                                \
    template class BandedFilter<T, C, Max>;                                                                \
    template void filterReplicate<T, C, Min>(Image<const T>, Image<T>, ImageSize, ImagePoint, uint8_t*, \
                                             const RowSink&);                                      \
    template void filterReplicate<T, C, Max>(Image<const T>, Image<T>, ImageSize, ImagePoint, uint8_t*, \
                                             const RowSink&);
ZAL_MINMAX_DRIVER(uint8_t, 1)
ZAL_MINMAX_DRIVER(uint8_t, 3)
ZAL_MINMAX_DRIVER(uint8_t, 4)
ZAL_MINMAX_DRIVER(float, 1)
ZAL_MINMAX_DRIVER(float, 3)
ZAL_MINMAX_DRIVER(float, 4)
#undef ZAL_MINMAX_DRIVER

}  // namespace zal::filter::minmax
