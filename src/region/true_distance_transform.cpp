// Exact Euclidean distance transform, separable: a column pass finds the
// vertical distance g to the nearest zero in each column, a row pass takes
// min over q of g(q)^2 + (x - q)^2 through the lower envelope of parabolas,
// and a square root finishes. Both passes are split over the workers (the
// column pass by columns, the row pass by rows), each worker with its own
// slice of the caller's buffer.
//
// A column without any zero is infinitely far from every pixel when the image
// holds a zero elsewhere: the row pass leaves such columns out of the
// envelope, so every distance is exact however far the nearest zero lies. Only
// an image without any zero gets the fixed squared distance 1000000.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/band_runner.h"
#include "core/checks.h"
#include "core/image.h"
#include "core/ops.h"
#include "core/threads.h"
#include "region/exact_rows.h"
#include "region/exports.h"
#include "region/internal.h"
#include "region/ops.h"

namespace zal {
namespace {

// Squared distance of every pixel of an image without any zero.
constexpr int32_t kNoZeroSquared = 1000000;
// Envelope boundaries beyond every intersection of two parabolas.
constexpr float kBound = std::numeric_limits<float>::infinity();

// The sizes round up in 64 bits: a width near INT32_MAX rounded up in int
// would wrap and report a buffer far too small.
ByteCount bufferSize32f(ImageSize roi, int threads) {
    const ByteCount side = larger(roundUp(roi.width, 4), roundUp(roi.height, 4));
    return (side * 24 + 56) * threads;
}

ByteCount bufferSize16u(ImageSize roi, int threads) {
    const ByteCount side = larger(roundUp(roi.width, 8), roundUp(roi.height, 8));
    return (side * 6 + 6) * 4 * threads + ByteCount(roundUp(roi.width, 8)) * roi.height * 4 + 32;
}

// Scratch carved from the caller's buffer (32-byte aligned start): the
// squared-distance image (16u only), the shared tables, the list of columns
// holding a zero and one envelope slice per worker. Every layout fits the
// queried size: tables and list take 2 * side + width + 1 words, a slice
// 3 * width + 2 words, against 6 * side words per worker in the query.
template <class F>
struct Scratch {
    Image<F> squared;          // g^2 after the column pass, then D
    const float* squares;      // q^2, q = 0 .. side
    const float* reciprocals;  // 0.5 / k at index k, k = 1 .. side - 1
    int32_t* zeroColumns;      // ascending indices of the columns holding a zero
    int zeroColumnCount;       // set by the column pass
    unsigned char* slices;
    std::ptrdiff_t sliceBytes;

    // Envelope arrays of worker `id`: vertex columns, boundaries, and the
    // f value of each vertex.
    int32_t* vertices(int id) const { return reinterpret_cast<int32_t*>(slices + id * sliceBytes); }
    float* bounds(int id, int w) const { return reinterpret_cast<float*>(vertices(id) + w + 1); }
    F* values(int id, int w) const { return reinterpret_cast<F*>(bounds(id, w) + w + 1); }
};

template <class F>
Scratch<F> carve(uint8_t* pBuffer, Image<F> squared, ImageSize roi) {
    auto* p = reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(pBuffer) + 31) & ~std::uintptr_t(31));
    if constexpr (std::is_same_v<F, int32_t>) {
        squared = Image<F>(reinterpret_cast<int32_t*>(p), static_cast<std::ptrdiff_t>(roundUp(roi.width, 8)) * 4,
                           roi.width, roi.height);
        p += static_cast<std::ptrdiff_t>(roundUp(roi.width, 8)) * 4 * roi.height;
    }
    const int side = roi.width > roi.height ? roi.width : roi.height;
    auto* squares = reinterpret_cast<float*>(p);
    float* reciprocals = squares + side + 1;
    for (int q = 0; q <= side; ++q) squares[q] = static_cast<float>(q) * static_cast<float>(q);
    reciprocals[0] = 0.0f;  // never used: vertices differ by at least 1
    for (int k = 1; k < side; ++k) reciprocals[k] = 0.5f / static_cast<float>(k);
    auto* zeroColumns = reinterpret_cast<int32_t*>(reciprocals + side);
    auto* slices = reinterpret_cast<unsigned char*>(zeroColumns + roi.width);
    return {squared, squares, reciprocals, zeroColumns, 0, slices, (3 * static_cast<std::ptrdiff_t>(roi.width) + 2) * 4};
}

// Column pass over columns [x0, x1): g counted upwards from the nearest zero
// at or below, then lowered by the nearest zero at or above and stored as g^2
// (1000000 where the column has no zero, a value the row pass reads only when
// no column has one). The downward walk keeps the lowered counts of the row
// above in `above` (x1 - x0 values), so each row is squared as soon as it is
// lowered: two walks over the strip. zeroColumns[x] becomes 1 where column x
// holds a zero (its top pixel has a finite count), else 0.
template <class F>
void columnStrip(Image<const uint8_t> src, const Scratch<F>& s, int x0, int x1, F* above) {
    const int h = src.height, n = x1 - x0;
    const F far = std::is_same_v<F, float> ? F(1e9f) : F(1 << 30);
    auto square = [&](F g) -> F {
        if (g >= far) return F(kNoZeroSquared);
        // g is a whole number: g * g rounds exactly as q * q does for q = g.
        if constexpr (std::is_same_v<F, float>) return g * g;
        const int64_t sq = int64_t(g) * g;
        return sq < INT32_MAX ? int32_t(sq) : INT32_MAX;
    };
    {
        const uint8_t* sr = src.row(h - 1) + x0;
        F* g = s.squared.row(h - 1) + x0;
        for (int x = 0; x < n; ++x) g[x] = sr[x] ? far : F(0);
    }
    for (int y = h - 2; y >= 0; --y) {
        const uint8_t* sr = src.row(y) + x0;
        const F* below = s.squared.row(y + 1) + x0;
        F* g = s.squared.row(y) + x0;
        for (int x = 0; x < n; ++x) g[x] = sr[x] == 0 ? F(0) : below[x] < far ? below[x] + F(1) : far;
    }
    {
        F* g = s.squared.row(0) + x0;
        for (int x = 0; x < n; ++x) {
            above[x] = g[x];
            s.zeroColumns[x0 + x] = g[x] < far ? 1 : 0;
            g[x] = square(g[x]);
        }
    }
    for (int y = 1; y < h; ++y) {
        F* g = s.squared.row(y) + x0;
        for (int x = 0; x < n; ++x) {
            const F fromAbove = above[x] < far ? above[x] + F(1) : far;
            const F lowered = fromAbove < g[x] ? fromAbove : g[x];
            above[x] = lowered;
            g[x] = square(lowered);
        }
    }
}

// Strips of 128 columns: a 1080-row strip of 32-bit counts (about 550 KB)
// stays in the second-level cache between its two walks.
constexpr int kStripColumns = 128;

// The whole column pass, split by columns over the workers when the row pass
// is (each worker's `above` row lives in its envelope slice), then the list
// of the columns holding a zero, in ascending order.
template <class F>
void columnPass(Image<const uint8_t> src, Scratch<F>& s, bool parallel) {
    auto strips = [&](int id, int begin, int end) {
        F* above = reinterpret_cast<F*>(s.vertices(id));
        for (int x = begin; x < end; x += kStripColumns)
            columnStrip(src, s, x, end - x < kStripColumns ? end : x + kStripColumns, above);
    };
    if (parallel) runBands(src.width, strips);
    else strips(0, 0, src.width);
    int n = 0;
    for (int x = 0; x < src.width; ++x)
        if (s.zeroColumns[x]) s.zeroColumns[n++] = x;
    s.zeroColumnCount = n;
}

// Row pass over one row with worker `id`'s slice: on return the row holds the
// squared distances D. Only the columns holding a zero enter the envelope;
// the others are farther than any of them.
template <class F>
void rowPass(F* row, int w, const Scratch<F>& s, int id) {
    const int n = s.zeroColumnCount;
    if (n == 0) {
        for (int x = 0; x < w; ++x) row[x] = F(kNoZeroSquared);
        return;
    }
    const int32_t* columns = s.zeroColumns;
    int32_t* v = s.vertices(id);
    float* z = s.bounds(id, w);
    F* f = s.values(id, w);
    const float* sq = s.squares;
    v[0] = columns[0];
    f[0] = row[columns[0]];
    z[0] = -kBound;
    z[1] = kBound;
    int k = 0;
    for (int i = 1; i < n; ++i) {
        const int q = columns[i];
        const F fRaw = row[q];
        const float fq = static_cast<float>(fRaw) + sq[q];
        // Drop vertices whose parabola lies above the new one from their
        // boundary on; vertex 0 has no finite lower boundary and stays.
        float cut;
        for (;;) {
            const int p = v[k];
            cut = (fq - (static_cast<float>(f[k]) + sq[p])) * s.reciprocals[q - p];
            if (cut > z[k]) break;
            --k;
        }
        ++k;
        v[k] = q;
        f[k] = fRaw;
        z[k] = cut;
        z[k + 1] = kBound;
    }
    k = 0;
    for (int x = 0; x < w; ++x) {
        while (z[k + 1] < static_cast<float>(x)) ++k;
        const int dx = x > v[k] ? x - v[k] : v[k] - x;
        if constexpr (std::is_same_v<F, float>) {
            row[x] = sq[dx] + f[k];
        } else {
            const int64_t d = int64_t(dx) * dx + f[k];
            row[x] = d < INT32_MAX ? int32_t(d) : INT32_MAX;
        }
    }
}

// The passes go to the workers when there is more than one and either the
// die has several cores or the image is large enough. The 256 rows (over all workers)
// and 256 columns are the long-standing threshold, kept for compatibility of
// the worker use; the results never depend on it.
bool rowPassInParallel(ImageSize roi) {
    const int maxThreads = owncvGetMaxNumThreads();
    if (maxThreads <= 1) return false;
    return runomp() != 0 || (static_cast<long long>(maxThreads) * roi.height >= 256 && roi.width >= 256);
}

// finish(y, id) computes row y's D with slice id and writes its output.
template <class Finish>
void forEveryRow(ImageSize roi, bool parallel, Finish&& finish) {
    if (parallel) {
        runBands(roi.height, [&](int id, int begin, int end) {
            for (int y = begin; y < end; ++y) finish(y, id);
        });
    } else {
        for (int y = 0; y < roi.height; ++y) finish(y, 0);
    }
}

}  // namespace

ByteCount region::trueDistanceBytes32f(ImageSize roi) { return bufferSize32f(roi, owncvGetMaxNumThreads()); }
ByteCount region::trueDistanceBytes16u(ImageSize roi) { return bufferSize16u(roi, owncvGetMaxNumThreads()); }

void region::trueDistance(Image<const uint8_t> src, Image<float> dst, uint8_t* buffer) {
    const ImageSize roi{src.width, src.height};
    // D lives in the destination itself and is replaced by its square root.
    Scratch<float> s = carve(buffer, dst, roi);
    const bool parallel = rowPassInParallel(roi);
    columnPass(src, s, parallel);
    forEveryRow(roi, parallel, [&](int y, int id) {
        float* row = s.squared.row(y);
        rowPass(row, roi.width, s, id);
        region::exact::sqrtRow(row, roi.width);
    });
}

void region::trueDistance(Image<const uint8_t> src, Image<uint16_t> dst, int scaleFactor, uint8_t* buffer) {
    const ImageSize roi{src.width, src.height};
    Scratch<int32_t> s = carve(buffer, Image<int32_t>(), roi);
    const bool parallel = rowPassInParallel(roi);
    columnPass(src, s, parallel);
    forEveryRow(roi, parallel, [&](int y, int id) {
        int32_t* row = s.squared.row(y);
        rowPass(row, roi.width, s, id);
        // D >= 0, so the root lies in 0..32767; it fits the unsigned
        // destination unchanged.
        core::sqrt(row, reinterpret_cast<int16_t*>(dst.row(y)), roi.width, scaleFactor);
    });
}

namespace {

template <class D>
StatusCode checkArguments(const uint8_t* pSrc, int srcStep, const D* pDst, int dstStep, ImageSize roi,
                          const uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, srcStep)));
    ZAL_CHECK((requireRowSteps<D, 1>(roi, dstStep)));
    return requireStepsAligned<D>(dstStep);
}

}  // namespace
}  // namespace zal

ZAL_REGION_TRUE_DISTANCE_SIZE(ZAL_REGION_SIZE_QUERY)

ZAL_DECLARED(zaliTrueDistanceTransform_8u32f_C1R);
extern "C" StatusCode zaliTrueDistanceTransform_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep,
                                                          ImageSize roiSize, uint8_t* pBuffer) {
    ZAL_CHECK(zal::checkArguments(pSrc, srcStep, pDst, dstStep, roiSize, pBuffer));
    zal::region::trueDistance(zal::image(pSrc, srcStep, roiSize), zal::image(pDst, dstStep, roiSize), pBuffer);
    return StatusOk;
}

ZAL_DECLARED(zaliTrueDistanceTransform_8u16u_C1RSfs);
extern "C" StatusCode zaliTrueDistanceTransform_8u16u_C1RSfs(const uint8_t* pSrc, int srcStep, uint16_t* pDst,
                                                             int dstStep, ImageSize roiSize, int scaleFactor,
                                                             uint8_t* pBuffer) {
    ZAL_CHECK(zal::checkArguments(pSrc, srcStep, pDst, dstStep, roiSize, pBuffer));
    zal::region::trueDistance(zal::image(pSrc, srcStep, roiSize), zal::image(pDst, dstStep, roiSize), scaleFactor,
                              pBuffer);
    return StatusOk;
}
