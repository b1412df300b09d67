// The filter family's internal interface: unchecked filters on image views.
// The exports call them after their documented checks; other families
// (corner measures, the tracker, morphology) call them directly with
// arguments they already know to be good.
//
// Work areas: a filter's area is laid out for a worker count fixed when it
// is sized, and the filter never runs on more workers than that, so a caller
// that keeps an area across calls stays safe when the count grows. Rows are
// filtered independently, so no result depends on the count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "zalcv.h"

namespace zal::filter {

// ---- Fixed 3x3 / 5x5 filters with a border rule ------------------------------

// The built-in separable kernels (correlation, column kernel top to bottom,
// row kernel left to right). Scharr has 3x3 only; Lowpass is the box mean.
enum class Fixed {
    SobelHoriz,
    SobelVert,
    SobelNegVert,
    SobelHorizSecond,
    SobelVertSecond,
    SobelCross,
    ScharrHoriz,
    ScharrVert,
    Laplacian,
    Lowpass,
};

// Bytes of the work area of `op` over a roi-sized image with kernelSize 3 or
// 5 and at most `workers` workers. Source and destination types: (uint8_t,
// int16_t), (uint8_t, int8_t) and (float, float) for every filter, (uint8_t,
// uint8_t) for Lowpass.
template <class Src, class Dst>
ByteCount fixedBufferBytes(Fixed op, ImageSize roi, int kernelSize, int workers);

// dst = op over src, whose pixels beyond the edges follow `border` (a valid
// BorderKind; BorderConstant stands for pixels of borderValue). src and dst
// have the same size and do not overlap, except that with one worker dst may
// be src itself (every source row a destination row needs is in the
// filter's ring of lines before that row is written); kernelSize is 3 or 5 (3 for Scharr);
// `divisor` (8s destinations only) is not 0; `buffer` holds
// fixedBufferBytes(op, size, kernelSize, workers) bytes.
template <class Src, class Dst>
void fixedFilter(Fixed op, Image<const Src> src, Image<Dst> dst, int kernelSize, int border, Src borderValue,
                 int divisor, uint8_t* buffer, int workers);

// The tracker's Scharr gradients: checked like the exported Scharr filters
// (and returning their statuses), replicated border, with a work area of
// scharrBufferBytes<Src>(roi, workers) bytes (Src: uint8_t for 8u to 16s,
// float for 32f; the same for both directions).
enum class ScharrDirection { Horiz, Vert };
template <class Src>
long long scharrBufferBytes(ImageSize roi, int workers);
StatusCode scharrReplicate(ScharrDirection direction, const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer);
StatusCode scharrReplicate(ScharrDirection direction, const float* pSrc, int srcStep, float* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer);

// ---- Separable pipeline passes --------------------------------------------------

// Taps of a pass over Src samples: float for float, 16-bit integers otherwise.
template <class Src>
using PipelineTap = std::conditional_t<std::is_same_v<Src, float>, float, int16_t>;

// Row pass: each row of src (C channels per pixel) is extended by `border`
// (borderValue: C values, read for BorderConstant only), correlated with the
// kernel (out[x] = sum_k kernel[k] * src[x + k - anchor]) and written to
// dstRows[y]. Variants (Src, Dst, Low): (float, float), (int16_t, int16_t),
// (uint8_t, int16_t) and the wrapping (int16_t, int16_t, Low). Arguments are
// good (1 <= kernelSize, 0 <= anchor < kernelSize, divisor != 0 for
// integers); `buffer` holds rowPipelineBytes bytes. Returns -8 on reaching a
// null destination row, the rows before it written.
template <class Src, class Dst, int C, bool Low = false>
StatusCode rowPipeline(Image<const Src> src, Dst* const* dstRows, const PipelineTap<Src>* kernel, int kernelSize,
                       int anchor, int border, const Src* borderValue, int divisor, uint8_t* buffer);
// Work bytes of the row pass for the current maximum worker count.
template <class Src, class Dst, int C, bool Low = false>
long long rowPipelineBytes(ImageSize roi, int kernelSize);

// Column pass: dst row y = sum_k kernel[k] * srcRows[y + k] over width * C
// samples (dst.height + kernelSize - 1 non-null source rows). Variants
// (Src, Dst, Low): (float, float), (int16_t, int16_t), (int16_t, uint8_t),
// (int16_t, int8_t) and the wrapping (int16_t, int16_t, Low).
template <class Src, class Dst, int C, bool Low = false>
void columnPipeline(const Src* const* srcRows, Image<Dst> dst, const PipelineTap<Src>* kernel, int kernelSize,
                    int divisor, uint8_t* buffer);
template <class Src, class Dst, int C, bool Low = false>
long long columnPipelineBytes(ImageSize roi, int kernelSize);

// The Sobel-type kernel of odd length n >= 1 and derivative order
// 0 <= dx < n, negated for sign < 0 (16-bit taps wrap).
template <class T>
void sobelKernel(T* dst, int n, int dx, int sign);

// ---- Rectangular minimum/maximum filters with replicated border ------------------
// (the row routines and the two-pass driver; morphology and reconstruction
// reuse both)

namespace minmax {

// The comparison of a filter. For 32f a value replaces the running extremum
// only when it compares strictly greater (smaller).
struct Max {
    template <class T>
    static T pick(T a, T b) { return b > a ? b : a; }
};
struct Min {
    template <class T>
    static T pick(T a, T b) { return b < a ? b : a; }
};

// A horizontal routine: dst[x] = extremum of src over the columns
// clamp(x - anchor + j, 0, width - 1), j = 0 .. window - 1, per channel.
// `src` and `dst` are rows of `width` pixels and must not overlap.
// `fetchForWrite`, when not null, is a row of as many bytes that the caller
// writes next; 32f routines may request its cache lines for writing as they
// go.
template <class T>
using RowFilter = void (*)(const T* src, T* dst, int width, int window, int anchor, const void* fetchForWrite);

// The routine for `window` on rows of `width` pixels: a routine dedicated to
// the window (1-7, 9, 11, 13, 15) when width >= 2 * window, else the general
// block-extremum routine, whose cost per pixel does not depend on the window.
template <class T, int C, class Op>
RowFilter<T> rowFilterFor(int window, int width);

// Bytes of work buffer the driver needs for rows of `roiWidth` pixels of
// `pixelBytes` bytes and a mask of `maskHeight` rows (fits every reduced mask).
inline ByteCount bufferSize(int roiWidth, int maskHeight, int pixelBytes) {
    return ByteCount(16) * maskHeight + ByteCount(2) * maskHeight * (ByteCount(roiWidth) * pixelBytes + 32) + 32;
}

// Told the index of each destination row once that row is final, in
// increasing order, so that a caller can finish the row (a difference, say)
// while it is still in cache.
struct RowSink {
    void (*finish)(void* context, std::ptrdiff_t y) = nullptr;
    void* context = nullptr;
    void operator()(std::ptrdiff_t y) const {
        if (finish != nullptr) finish(context, y);
    }
};

// dst(x, y) = extremum over the mask of src(clamp(x - ax + j), clamp(y - ay + i)).
// No checks: the mask is at least 1x1, the anchor inside it, `buffer` holds at
// least bufferSize(src.width, mask.height, pixel bytes) bytes; src and dst
// have the same size and do not overlap.
template <class T, int C, class Op>
void filterReplicate(Image<const T> src, Image<T> dst, ImageSize mask, ImagePoint anchor, uint8_t* buffer,
                     const RowSink& done = {});

// The same filter produced in consecutive bands of destination rows: each
// run(end) writes the rows from where the previous call stopped up to `end`
// (exclusive), and the filtered lines the next rows share stay in `buffer`
// between calls, so no source row is filtered twice and the result does not
// depend on where the bands end. Until a run(end) returns, the filter has read
// only the first sourceRowsFor(end) source rows, so a caller may produce the
// source just in time (a second filter over the destination of a first one,
// say) while the rows are still in cache. Arguments as for filterReplicate;
// src, dst and buffer must stay untouched by others until the last call.
//
// srcRing (dstRing), when above 0, is the number of rows the source
// (destination) memory holds: row y then lives in row y % srcRing of the
// view, so that a small ring of rows that stays in cache can stand in for an
// intermediate image. The filter reads each source row once, in increasing
// order (a repeated edge row is copied from its filtered line), and writes
// each destination row once, in increasing order; a caller keeps a ring row
// until it has been read.
template <class T, int C, class Op>
class BandedFilter {
  public:
    BandedFilter(Image<const T> src, Image<T> dst, ImageSize mask, ImagePoint anchor, uint8_t* buffer,
                 int srcRing = 0, int dstRing = 0);
    void run(int end, const RowSink& done = {});
    int sourceRowsFor(int end) const;

  private:
    const T* srcRow(std::ptrdiff_t y) const { return src_.row(srcRing_ > 0 ? y % srcRing_ : y); }
    T* dstRow(std::ptrdiff_t y) const { return dst_.row(dstRing_ > 0 ? y % dstRing_ : y); }
    void prefetchAhead(std::ptrdiff_t y, std::size_t bytes) const;
    void produce(std::ptrdiff_t e, T* line, const void* fetchForWrite = nullptr);
    void produceAndFold3(std::ptrdiff_t y);
    template <int MH>
    void runFixed(int end, const RowSink& done);
    void runGeneral(int end, const RowSink& done);

    Image<const T> src_;
    Image<T> dst_;
    int srcRing_, dstRing_;
    RowFilter<T> filter_;
    int window_, anchorX_, height_, anchorY_;  // the mask cut down to the image
    std::ptrdiff_t elems_;                      // elements of a row
    bool fused_ = false;                        // 8u C3 3x3: rows in one pass (produceAndFold3)
    int next_ = 0;                              // the first row not yet written
    int lastRow_ = -1;                          // the source row filtered last
    const T* lastLine_ = nullptr;               // and the line it went to
    T* ring_[6] = {};                           // fixed routines: height_ + 1 lines
    T** cur_ = nullptr;                         // general routine: the current block
    T** nextBlock_ = nullptr;                   // and the following one
};

// out[e] = the rows' elements e folded by Op, in row order, into `start`
// (StartValue), into out[e] itself (Output) or (count >= 1) into rows[0][e]
// (FirstRow), for e < n; vector kernels with run-time dispatch. A row may be
// out itself or begin behind it (out + s, s > 0); no row may begin before it.
enum class FoldFrom { StartValue = 0, Output = 1, FirstRow = 2 };
template <class T, class Op>
void foldRows(const T* const* rows, int count, FoldFrom from, T start, T* out, std::size_t n);

// 8u, the 3x3 step of the vertical routine in one pass, for e < n: line[e] =
// extremum of src[e], src[e + shift], src[e + 2 * shift] and out[e] =
// extremum of top[e], mid[e], line[e]; vector kernels with run-time
// dispatch. line and out overlap no other argument.
template <class Op>
void fuse3(const uint8_t* src, std::ptrdiff_t shift, const uint8_t* top, const uint8_t* mid, uint8_t* line,
           uint8_t* out, std::size_t n);

// 32f, foldRows from the first row that also requests the cache lines of
// fetchForWrite[0 .. n) for writing as it advances: a caller that writes
// that row next (the destination row of a filter) overlaps its fetch with
// this fold's loads instead of waiting for it in its own stores.
template <class Op>
void foldRowsFetching(const float* const* rows, int count, float* out, std::size_t n, const void* fetchForWrite);

// Asks for the cache lines of a row (`bytes` long) ahead of its use, for
// writing when `write`. Image rows lie far apart, so the filters fetch the
// rows they will read and write two rows ahead instead of waiting on memory
// line by line.
inline void prefetchRow(const void* row, std::size_t bytes, bool write) {
    const char* p = static_cast<const char*>(row);
    for (std::size_t b = 0; b < bytes; b += 64) {
        if (write) __builtin_prefetch(p + b, 1);
        else __builtin_prefetch(p + b);
    }
}

// 8u: out0 = extremum of rows[0 .. count - 1] and out1 = extremum of
// rows[1 .. count], element-wise for e < n; the outputs overlap no row.
template <class Op>
void foldPair(const uint8_t* const* rows, int count, uint8_t* out0, uint8_t* out1, std::size_t n);

}  // namespace minmax
}  // namespace zal::filter

namespace zal {
// The names the tracker and morphology use for these.
namespace minmax = filter::minmax;
using filter::ScharrDirection;
using filter::scharrBufferBytes;
using filter::scharrReplicate;
}  // namespace zal
