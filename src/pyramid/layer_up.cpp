// One general pyramid level up: every source pixel (and every border pixel
// within reach) is splatted with the state's kernel at its position scaled by
// the rate, first along the rows and then along the columns, and each
// destination position is normalised by the total weight it received.
//
// 8u scales: the row pass keeps 128 x the pixel ((A * 32768 / W + 128) >> 8),
// the column pass returns to pixels ((B * 32768 / W + 2^21) >> 22). 16u uses
// the same scales with 64-bit sums and double products; 32f divides by W.
//
// The splats are gathered rather than scattered: the samples reaching a
// destination column are the same on every row, so each column's list of
// (source column, weight) pairs in ascending sample order is built once, and
// a row sums its list (the float sums keep the scatter's order). 8u rows run
// in vectors when the state's kernel and factors keep every sum within 32
// bits (checked per call, see fitsLanes), 32f rows always; 16u and the rest
// run the same lists in scalar loops.
//
// In vectors the lists are regrouped per block of lanes (RowBlocks): the
// source elements one block reads lie close together, so they are picked
// from two vectors loaded at the block's lowest one rather than gathered.
// Blocks whose regrouped lists repeat an earlier block's (every few blocks at
// rates like 1.5) share that block's lists, which then stay in the nearest
// cache.
//
// 8u kernels and rates whose weights are whole numbers (the binomial kernels
// at rates like 1.5 or 1.25) make every product exact: the row pass then
// multiplies 16-bit pixel pairs by 16-bit weight pairs (AVX-512), and the
// column pass multiplies integers instead of truncating float products
// (wholeRowWeights, wholeColumnWeights).
//
// Steps need only cover a row, so 16u and 32f rows may start at any byte:
// source and destination elements move with unaligned loads and stores.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pyramid/layer_up.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "core/image.h"
#include "core/unaligned.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"
#include "pyramid/overlap-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Where a source sample lands: i = floor(s * rate) (taken as
// trunc(p + 100) - 100 within the usual range), f the fraction. A sample with
// f > 0 reaches i - c + 1 .. i + c with the kernel interpolated at the
// fraction; an integral one reaches i - c' .. i + c' with the kernel itself.
struct Splat {
    int i = 0;
    float f = 0;
    bool frac = false;
};

inline Splat splatAt(int s, float rate) {
    const float p = static_cast<float>(s) * rate;
    Splat sp;
    sp.i = p > -100.0f ? static_cast<int>(p + 100.0f) - 100 : static_cast<int>(std::floor(p));
    sp.f = p - static_cast<float>(sp.i);
    sp.frac = sp.f > kFloatMin;
    return sp;
}

template <class T>
class Splatter {
public:
    using K = LayerKernel<T>;

    Splatter(const K* q, int kerSize) : q_(q), c_(kerSize / 2), cInt_(q[0] == 0 ? kerSize / 2 - 1 : kerSize / 2) {}

    int lo(const Splat& sp) const { return sp.frac ? -c_ + 1 : -cInt_; }
    int hi(const Splat& sp) const { return sp.frac ? c_ : cInt_; }
    // The weight of tap t: interpolated at the fraction, or the kernel itself
    // (a whole number for the integer types).
    float weight(const Splat& sp, int t) const {
        if (!sp.frac) return static_cast<float>(q_[c_ + t]);
        return static_cast<float>(q_[c_ + t - 1]) * sp.f + static_cast<float>(q_[c_ + t]) * (1.0f - sp.f);
    }

private:
    const K* q_;
    int c_, cInt_;
};

template <class T>
using Real = std::conditional_t<std::is_same_v<T, uint16_t>, double, float>;  // products of the integer types
template <class T>
using RowValue = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;  // row-pass values

// One contribution w x v: floats multiply; the integer types truncate the
// product of an interpolated weight (after adding 0.5 in the row pass) and
// multiply whole kernel values exactly.
template <class T, class V>
inline auto contribution(float w, bool frac, V v, bool rounded) {
    if constexpr (std::is_same_v<T, float>) {
        return w * v;
    } else {
        using R = Real<T>;
        if (frac) return static_cast<int64_t>(static_cast<R>(w) * static_cast<R>(v) + (rounded ? R(0.5) : R(0)));
        return static_cast<int64_t>(static_cast<int32_t>(w)) * static_cast<int64_t>(v);
    }
}

// The work rows v that may reach destination row y: vLo .. vHi.
struct RowSpan {
    int lo, hi;
};
inline RowSpan rowSpan(int y, int c, int m, int ny, double inv) {
    return {std::max(0, static_cast<int>(std::floor((y - c - 2) * inv)) + m - 1),
            std::min(ny - 1, static_cast<int>(std::ceil((y + c + 2) * inv)) + m + 1)};
}

// Outputs from this size on are written with streaming stores where the
// vectors allow (float outputs, and 8u lines of 64 bytes): well beyond the
// second-level cache, they reach memory anyway.
constexpr std::size_t kStreamBytes = std::size_t{8} << 20;

// The widest vector's lanes of 32-bit elements (AVX-512).
constexpr std::size_t kMaxLanes = 16;
static_assert(HWY_MAX_BYTES / sizeof(float) <= kMaxLanes, "row blocks hold at most kMaxLanes lanes");
static_assert(2 * HWY_MAX_BYTES <= kLayerSlack, "two vectors may reach past the source row");

// One block of lanes of the row pass: its first element, the lowest source
// element its lists read (or -1 when they spread over more than two vectors
// and are gathered by absolute index), how many list entries its lanes have
// at least and at most, and where its lists start.
struct RowBlock {
    int32_t x, base, full, taps;
    std::size_t list;
};

// The work block: a ring of row-pass rows, the normalisation factors, the row
// pass's gather lists and one source row widened to float.
struct UpPlan {
    int W, H, dW, dH, c, m, nx, ny, len, taps, ring, groupRows;
    std::size_t rowElems, srcElems;
    std::size_t ringStride;  // elements between ring rows
};

// Bytes of a layer's setup areas (UpSetup: the lists, factors and splats
// that depend only on the sizes, the rate and the kernel) and of one call's
// own work areas, with each area's offset: one index space for both.
template <class T>
std::size_t upSetupBytes(const UpPlan& p, std::size_t* off) {
    std::size_t at = 0;
    auto reserve = [&](int k, std::size_t bytes) { off[k] = at; at += alignLine(bytes); };
    const std::size_t list = static_cast<std::size_t>(p.taps) * p.rowElems;
    reserve(1, static_cast<std::size_t>(p.len) * sizeof(float));                    // factors
    reserve(2, list * sizeof(int32_t));                                              // source index
    reserve(3, list * sizeof(float));                                                // weight
    reserve(4, list * sizeof(float));                                                // 0.5 when interpolated
    reserve(5, p.rowElems * sizeof(int32_t));                                        // list length
    reserve(7, static_cast<std::size_t>(p.ny) * sizeof(Splat));                      // height splats
    reserve(9, p.rowElems * sizeof(float));                                          // factor per element
    // Row blocks: lists regrouped per block of lanes (at most rowElems + the
    // widest vector's lanes entries per tap), and each block's header.
    const std::size_t blockList = static_cast<std::size_t>(p.taps) * (p.rowElems + kMaxLanes);
    reserve(11, blockList * sizeof(int32_t));                                        // source index
    reserve(12, blockList * sizeof(float));                                          // weight
    reserve(13, blockList * sizeof(float));                                          // 0.5 when interpolated
    reserve(14, (p.rowElems + kMaxLanes) * sizeof(RowBlock));                        // block headers
    // 8u: the row blocks' lists as pairs of 16-bit entries (rowPassPairs).
    const std::size_t pairList = std::is_same_v<T, uint8_t> ? blockList : 0;
    reserve(16, pairList * sizeof(int32_t));                                         // source index pairs
    reserve(17, pairList * sizeof(int32_t));                                         // weight pairs
    return at;
}

template <class T>
std::size_t upWorkBytes(const UpPlan& p, std::size_t* off) {
    std::size_t at = 0;
    auto reserve = [&](int k, std::size_t bytes) { off[k] = at; at += alignLine(bytes); };
    reserve(0, static_cast<std::size_t>(p.ring) * p.ringStride * sizeof(RowValue<T>));  // ring of row-pass rows
    reserve(6, p.srcElems * sizeof(float) + kLayerSlack);                            // source row as float
    reserve(8, static_cast<std::size_t>(p.ny) * (sizeof(int32_t) + 2 * sizeof(float)));  // one column list
    reserve(10, static_cast<std::size_t>(p.ring) * sizeof(int32_t));                  // ring slot tags
    reserve(15, static_cast<std::size_t>(p.ny) * (sizeof(void*) + 2 * sizeof(float)));  // column taps
    // Float column pass: one group's work rows, and each of its rows' weights
    // and whether a work row reaches it (FloatRowGroup).
    const auto ring = static_cast<std::size_t>(p.ring), group = static_cast<std::size_t>(p.groupRows);
    reserve(18, ring * sizeof(void*) + group * ring * (sizeof(float) + sizeof(uint8_t)));
    return at;
}

// Whether the 8u sums and conversions fit 32-bit lanes: every row sum A
// (below Σ (|w| 255 + 1) over its list), A F + 128 and every column sum B
// (below Σ (|w| R + 1)) stay under 2^31 with a margin for the rounding of
// the float products.
inline bool fitsLanes(const float* w, const int32_t* count, std::size_t rowElems, int C, const float* factor,
                      const Splat* sy, int ny, int dH, const Splatter<uint8_t>& splat, int m, float rate, int c,
                      double* rowBound) {
    constexpr double kLimit = 2147483647.0 * 0.999;
    double rowMax = 0;
    for (std::size_t e = 0; e < rowElems; ++e) {
        double a = 0;
        for (int j = 0; j < count[e]; ++j) a += std::fabs(static_cast<double>(w[j * rowElems + e])) * 255.0 + 1.0;
        const double r = a * std::fabs(static_cast<double>(factor[e / C])) + 129.0;
        if (a > kLimit || r > kLimit) return false;
        rowMax = std::max(rowMax, r / 256.0 + 1.0);
    }
    const double inv = 1.0 / static_cast<double>(rate);
    for (int y = 0; y < dH; ++y) {
        double b = 0;
        const RowSpan span = rowSpan(y, c, m, ny, inv);
        for (int v = span.lo; v <= span.hi; ++v) {
            const int t = y - sy[v].i;
            if (t >= splat.lo(sy[v]) && t <= splat.hi(sy[v]))
                b += std::fabs(static_cast<double>(splat.weight(sy[v], t))) * rowMax + 1.0;
        }
        if (b > kLimit) return false;
    }
    *rowBound = rowMax;
    return true;
}

// Whether every 8u row-pass contribution is a whole product: each
// interpolated weight a whole number in 0 .. 32767, so that w p + 0.5 is
// exact below 2^23 and truncates to w p, and each kernel weight a 16-bit
// value. Then the row sums are sums of 16-bit products.
inline bool wholeRowWeights(const float* weight, const float* bias, const int32_t* count, std::size_t rowElems) {
    for (std::size_t e = 0; e < rowElems; ++e)
        for (int j = 0; j < count[e]; ++j) {
            const float w = weight[static_cast<std::size_t>(j) * rowElems + e];
            const float lo = bias[static_cast<std::size_t>(j) * rowElems + e] != 0.0f ? 0.0f : -32768.0f;
            if (!(w == std::trunc(w) && w >= lo && w <= 32767.0f)) return false;
        }
    return true;
}

// Whether every 8u column-pass product w R of an interpolated weight is
// exact in single precision, so that its truncation is the integer product:
// w a whole number whose odd part times the bound of |R| stays below 2^24.
inline bool wholeColumnWeights(const Splat* sy, int ny, const Splatter<uint8_t>& splat, double rowBound) {
    for (int v = 0; v < ny; ++v) {
        if (!sy[v].frac) continue;
        for (int t = splat.lo(sy[v]); t <= splat.hi(sy[v]); ++t) {
            const float w = splat.weight(sy[v], t);
            if (!(w == std::trunc(w) && std::fabs(w) < 2147483648.0f)) return false;
            const auto whole = static_cast<uint64_t>(std::fabs(static_cast<double>(w)));
            const uint64_t odd = whole == 0 ? 0 : whole >> std::countr_zero(whole);
            if (static_cast<double>(odd) * rowBound >= 16777216.0) return false;
        }
    }
    return true;
}

// The source row (bytes) widened to float.
template <class T>
HWY_INLINE void widenRow(const uint8_t* s, float* out, std::size_t n) {
    if constexpr (std::is_same_v<T, uint16_t>) {
        for (std::size_t x = 0; x < n; ++x) out[x] = static_cast<float>(loadUnaligned<uint16_t>(s, static_cast<std::ptrdiff_t>(x)));
        return;
    }
    overlapped<float>(n, [&](auto df, std::size_t x) {
        if constexpr (std::is_same_v<T, float>) {
            // A one-lane load would take the (any-byte) float row as aligned.
            if constexpr (hn::MaxLanes(decltype(df)()) == 1) out[x] = loadUnaligned<float>(s, static_cast<std::ptrdiff_t>(x));
            else hn::StoreU(hn::LoadU(df, reinterpret_cast<const float*>(s) + x), df, out + x);
        } else {
            const hn::Rebind<uint8_t, decltype(df)> d8;
            const hn::RebindToSigned<decltype(df)> di;
            hn::StoreU(hn::ConvertTo(df, hn::PromoteTo(di, hn::LoadU(d8, s + x))), df, out + x);
        }
    });
}

// The row pass's lists regrouped per block of lanes of d: entry j of lane i
// of a block sits at list + j lanes + i. A block whose entries read source
// elements within two vectors keeps them relative to its base element; the
// others keep absolute elements. Entries past a lane's list read element 0
// (relative or absolute) with weight 0 and no 0.5.
// A block whose lists equal those of one of the kListReuse blocks before it
// shares their storage: at rates whose sample positions repeat after a few
// columns (1.5: every 3, so every 3 blocks of 16 lanes, 9 with 3 channels)
// the row pass then reads a few blocks' lists from the nearest cache instead
// of a whole row's worth per row.
// When every block picks, tailFrom is the lowest element that a block whose
// two vectors reach past the source row reads (the row's length if none);
// otherwise -1.
constexpr std::size_t kListReuse = 16;
struct RowBlocks {
    RowBlock* head;
    int32_t* index;
    float* weight;
    float* bias;
    std::size_t count;
    std::ptrdiff_t tailFrom;
    // Blocks runFirst .. runFirst + runPeriod * runGroups - 1 repeat the
    // first runPeriod of them runGroups times, each repetition reading
    // runStep source elements further on (findPeriodicRun).
    std::size_t runFirst = 0, runPeriod = 0, runGroups = 0;
    std::ptrdiff_t runStep = 0;
};

template <class D>
void buildRowBlocks(D d, const int32_t* index, const float* weight, const float* bias, const int32_t* count,
                    std::size_t rowElems, std::size_t srcElems, RowBlocks* rb) {
    const std::size_t lanes = hn::Lanes(d);
    rb->tailFrom = static_cast<std::ptrdiff_t>(srcElems);
    std::size_t b = 0, next = 0;
    forBlocks(lanes, rowElems, [&](std::size_t x) {
        int lo = std::numeric_limits<int>::max(), hi = -1, full = std::numeric_limits<int>::max(), most = 0;
        for (std::size_t i = 0; i < lanes; ++i) {
            const int n = count[x + i];
            full = std::min(full, n);
            most = std::max(most, n);
            for (int j = 0; j < n; ++j) {
                lo = std::min(lo, index[static_cast<std::size_t>(j) * rowElems + x + i]);
                hi = std::max(hi, index[static_cast<std::size_t>(j) * rowElems + x + i]);
            }
        }
        if (most == 0) lo = hi = 0;
        const int base = hi - lo < static_cast<int>(2 * lanes) ? lo : -1;
        rb->head[b] = RowBlock{static_cast<int32_t>(x), base, full, most, next};
        if (base < 0) rb->tailFrom = -1;
        else if (rb->tailFrom >= 0 && static_cast<std::size_t>(base) + 2 * lanes > srcElems)
            rb->tailFrom = std::min<std::ptrdiff_t>(rb->tailFrom, base);
        for (int j = 0; j < most; ++j)
            for (std::size_t i = 0; i < lanes; ++i) {
                const std::size_t at = static_cast<std::size_t>(j) * rowElems + x + i;
                const std::size_t to = next + static_cast<std::size_t>(j) * lanes + i;
                const bool in = j < count[x + i];
                rb->index[to] = in ? index[at] - std::max(base, 0) : 0;
                rb->weight[to] = in ? weight[at] : 0.0f;
                rb->bias[to] = in ? bias[at] : 0.0f;
            }
        // Compared bit for bit: equal lists give equal sums.
        const std::size_t n = static_cast<std::size_t>(most) * lanes;
        auto same = [&](std::size_t from) {
            return std::equal(rb->index + next, rb->index + next + n, rb->index + from) &&
                   std::memcmp(rb->weight + next, rb->weight + from, n * sizeof(float)) == 0 &&
                   std::memcmp(rb->bias + next, rb->bias + from, n * sizeof(float)) == 0;
        };
        for (std::size_t back = 1; back <= std::min<std::size_t>(b, kListReuse); ++back) {
            const RowBlock& e = rb->head[b - back];
            if (e.taps == most && same(e.list)) {
                rb->head[b].list = e.list;
                break;
            }
        }
        if (rb->head[b].list == next) next += n;
        ++b;
    });
    rb->count = b;
}

// The longest stretch of row blocks that repeats with a period of at most
// kRunPeriod blocks: every block there picks from two vectors within the
// source row and has the lists, list lengths and factors of the block one
// period before it, its first element one period of lanes and its base a
// fixed step further on. The row passes then keep one period's lists and
// factors in registers (rowPassRun, rowPassPairsRun) instead of loading them
// for every block: at rate 1.5 the blocks repeat every 3, and in the middle
// of the row the loads were most of the pass's work.
constexpr std::size_t kRunPeriod = 3;

// The most list entries a block of the periodic stretch has.
inline int runTaps(const RowBlocks& rb) {
    int most = 0;
    for (std::size_t q = 0; q < rb.runPeriod; ++q) most = std::max(most, rb.head[rb.runFirst + q].taps);
    return most;
}

template <class D>
void findPeriodicRun(D d, const int32_t* count, const float* elemFactor, std::size_t srcElems, RowBlocks* rb) {
    const std::size_t lanes = hn::Lanes(d);
    std::size_t bestBlocks = 0;
    for (std::size_t P = 1; P <= kRunPeriod; ++P) {
        // Block b continues the stretch of block b - 1 when it repeats block
        // b - P with the same step, and both pick from two vectors within the
        // row: so does every block of the stretch, the first period's too.
        auto inRow = [&](const RowBlock& k) { return k.base >= 0 && static_cast<std::size_t>(k.base) + 2 * lanes <= srcElems; };
        auto repeats = [&](std::size_t b, std::ptrdiff_t step) {
            const RowBlock &h = rb->head[b], &e = rb->head[b - P];
            return inRow(h) && inRow(e) && h.list == e.list &&
                   h.full == e.full && h.taps == e.taps && static_cast<std::size_t>(h.x - e.x) == P * lanes &&
                   h.base - e.base == step &&
                   std::memcmp(elemFactor + h.x, elemFactor + e.x, lanes * sizeof(float)) == 0 &&
                   std::equal(count + h.x, count + h.x + lanes, count + e.x);
        };
        std::size_t b = P;
        while (b < rb->count) {
            const std::ptrdiff_t step = rb->head[b].base - rb->head[b - P].base;
            if (!repeats(b, step)) {
                ++b;
                continue;
            }
            std::size_t end = b + 1;
            while (end < rb->count && repeats(end, step)) ++end;
            const std::size_t groups = (end - (b - P)) / P;
            if (groups >= 2 && groups * P > bestBlocks) {
                bestBlocks = groups * P;
                rb->runFirst = b - P;
                rb->runPeriod = P;
                rb->runGroups = groups;
                rb->runStep = step;
            }
            b = end;
        }
    }
}

// The float row pass over the periodic stretch, P blocks of at most K list
// entries a period: the same products and sums, in the same order, as
// rowPassBlocks().
template <std::size_t P, int K, class D>
HWY_INLINE void rowPassRun(D d, const float* from, const RowBlocks& rb, const int32_t* count, const float* elemFactor,
                           float* r) {
    const hn::RebindToSigned<D> di;
    const std::size_t lanes = hn::Lanes(d);
    hn::Vec<D> w[P][K], f[P];
    hn::Vec<decltype(di)> ix[P][K];
    hn::Mask<D> in[P][K];
    for (std::size_t q = 0; q < P; ++q) {
        const RowBlock& h = rb.head[rb.runFirst + q];
        f[q] = hn::LoadU(d, elemFactor + h.x);
        const auto n = hn::LoadU(di, count + h.x);
        for (int j = 0; j < K; ++j) {
            const bool listed = j < h.taps;
            const std::size_t at = h.list + static_cast<std::size_t>(j) * lanes;
            ix[q][j] = listed ? hn::LoadU(di, rb.index + at) : hn::Zero(di);
            w[q][j] = listed ? hn::LoadU(d, rb.weight + at) : hn::Zero(d);
            in[q][j] = hn::RebindMask(d, hn::Lt(hn::Set(di, j), n));
        }
    }
    const RowBlock* head = rb.head + rb.runFirst;
    for (std::size_t g = 0; g < rb.runGroups; ++g) {
        const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(g) * rb.runStep;
        for (std::size_t q = 0; q < P; ++q) {
            const float* at = from + head[q].base + shift;
            const auto v0 = hn::LoadU(d, at), v1 = hn::LoadU(d, at + lanes);
            auto acc = hn::Zero(d);
            for (int j = 0; j < K; ++j)
                acc = hn::IfThenElse(in[q][j], hn::Add(acc, hn::Mul(w[q][j], pickOfTwo(d, v0, v1, ix[q][j]))), acc);
            hn::StoreU(hn::Mul(acc, f[q]), d, r + head[q].x + g * P * lanes);
        }
    }
}

// rowPassRun() for the stretch's period and most list entries, where the
// lists fit the registers; false otherwise.
template <class D>
bool rowPassRunFor(D d, const float* from, const RowBlocks& rb, const int32_t* count, const float* elemFactor, float* r) {
    // Longer lists (a source narrower than the kernel's reach) stay with
    // the blocks one by one; the key below holds at most 7.
    const int taps = runTaps(rb);
    if (taps > 4) return false;
    switch (static_cast<int>(rb.runPeriod) * 8 + taps) {
#define ZAL_RUN_CASE(P, K) \
    case P * 8 + K: rowPassRun<P, K>(d, from, rb, count, elemFactor, r); return true;
        ZAL_RUN_CASE(1, 1) ZAL_RUN_CASE(1, 2) ZAL_RUN_CASE(1, 3) ZAL_RUN_CASE(1, 4)
        ZAL_RUN_CASE(2, 1) ZAL_RUN_CASE(2, 2) ZAL_RUN_CASE(2, 3) ZAL_RUN_CASE(2, 4)
        ZAL_RUN_CASE(3, 1) ZAL_RUN_CASE(3, 2) ZAL_RUN_CASE(3, 3)
#undef ZAL_RUN_CASE
        default: return false;
    }
}

// The row pass in vectors of d over the blocks: 32f sums its lists in order
// (lanes past a list keep their sum: a zero weight times an infinite pixel
// would not) and scales by the factor; 8u truncates
// every product plus 0.5 (interpolated weights) or 0 and returns the sum to
// 128 x the pixel.
// `direct`, when not null, is the source row itself (float, aligned), which
// blocks whose two vectors stay within its srcElems elements read instead
// of srcRow; the elements the others read (from rb.tailFrom on) are copied
// to srcRow, next to its slack, when the first of them comes. By then the
// row's end is on its way to the cache: copying it before the row pass
// waited for memory.
template <class T, class D>
HWY_INLINE void rowPassBlocks(D d, float* srcRow, const float* direct, std::size_t srcElems, const RowBlocks& rb,
                              const int32_t* count, const float* elemFactor, RowValue<T>* r) {
    const hn::RebindToSigned<D> di;
    const std::size_t lanes = hn::Lanes(d);
    bool tailCopied = direct == nullptr;
    for (std::size_t b = 0; b < rb.count; ++b) {
        // The periodic stretch in one go, the other blocks one by one.
        if constexpr (std::is_same_v<T, float>) {
            if (b == rb.runFirst && rb.runGroups > 0 &&
                rowPassRunFor(d, direct ? direct : srcRow, rb, count, elemFactor, r)) {
                b += rb.runPeriod * rb.runGroups - 1;
                continue;
            }
        }
        const RowBlock h = rb.head[b];
        const std::size_t t0 = h.list;
        const int32_t* ix = rb.index + t0;
        const float* w = rb.weight + t0;
        const float* bias = rb.bias + t0;
        auto block = [&](auto pick) {
            hn::Vec<D> v0, v1;
            if constexpr (decltype(pick)::value) {
                const float* from = direct && static_cast<std::size_t>(h.base) + 2 * lanes <= srcElems ? direct : srcRow;
                if (from == srcRow && !tailCopied) {
                    std::copy(direct + rb.tailFrom, direct + srcElems, srcRow + rb.tailFrom);
                    tailCopied = true;
                }
                v0 = hn::LoadU(d, from + h.base);
                v1 = hn::LoadU(d, from + h.base + lanes);
            }
            auto tap = [&](int j) {
                const auto i = hn::LoadU(di, ix + static_cast<std::size_t>(j) * lanes);
                if constexpr (decltype(pick)::value) return pickOfTwo(d, v0, v1, i);
                else return hn::GatherIndex(d, srcRow, i);
            };
            auto weighted = [&](int j) { return hn::Mul(hn::LoadU(d, w + static_cast<std::size_t>(j) * lanes), tap(j)); };
            const auto f = hn::LoadU(d, elemFactor + h.x);
            if constexpr (std::is_same_v<T, float>) {
                auto acc = hn::Zero(d);
                int j = 0;
                for (; j < h.full; ++j) acc = hn::Add(acc, weighted(j));
                if (j < h.taps) {
                    const auto n = hn::LoadU(di, count + h.x);
                    for (; j < h.taps; ++j)
                        acc = hn::IfThenElse(hn::RebindMask(d, hn::Lt(hn::Set(di, j), n)), hn::Add(acc, weighted(j)), acc);
                }
                hn::StoreU(hn::Mul(acc, f), d, r + h.x);
            } else {
                auto acc = hn::Zero(di);
                for (int j = 0; j < h.taps; ++j)
                    acc = hn::Add(acc, truncateInRange(di, hn::Add(weighted(j), hn::LoadU(d, bias + static_cast<std::size_t>(j) * lanes))));
                const auto v = hn::Add(hn::Mul(hn::ConvertTo(d, acc), f), hn::Set(d, 128.0f));
                hn::StoreU(hn::ShiftRight<8>(truncateInRange(di, v)), di, r + h.x);
            }
        };
        if (h.base >= 0) block(std::true_type());
        else block(std::false_type());
    }
}

// The 8u row pass of whole weights (wholeRowWeights) in 16-bit lanes, for
// rows whose blocks all pick: each block widens the 32 source pixels its
// lists read to 16-bit words and multiplies pairs of picked pixels by pairs
// of weights into its 32-bit sums, two list entries per instruction. The pairs' lists sit at the
// blocks' list offsets: entry k of lane i holds entries 2k and 2k + 1 of
// the lane's list in its low and high halves (0 past the list). The sums and
// the return to 128 x the pixel equal rowPassBlocks()'s.
#if HWY_TARGET == HWY_AVX3
inline void buildPairLists(const RowBlocks& rb, std::size_t lanes, int32_t* pairIndex, int32_t* pairWeight) {
    for (std::size_t b = 0; b < rb.count; ++b) {
        const RowBlock& h = rb.head[b];
        for (int k = 0; 2 * k < h.taps; ++k)
            for (std::size_t i = 0; i < lanes; ++i) {
                auto entry = [&](int j, const auto* list) {
                    return j < h.taps ? static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(
                                            list[h.list + static_cast<std::size_t>(j) * lanes + i])))
                                      : 0u;
                };
                const std::size_t at = h.list + static_cast<std::size_t>(k) * lanes + i;
                pairIndex[at] = static_cast<int32_t>(entry(2 * k, rb.index) | entry(2 * k + 1, rb.index) << 16);
                pairWeight[at] = static_cast<int32_t>(entry(2 * k, rb.weight) | entry(2 * k + 1, rb.weight) << 16);
            }
    }
}

// The 32 source pixels from `base` on as 16-bit words: every element a
// block's lists read (they lie within 32 of its base), straight from the
// source row. Pixels past the row's srcElems are not read and give 0.
inline __m512i pixelWordsInRow(const uint8_t* row, std::ptrdiff_t base) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base)));
}
inline __m512i pixelWords(const uint8_t* row, std::ptrdiff_t base, std::size_t srcElems) {
    const std::size_t left = srcElems - static_cast<std::size_t>(base);
    if (left >= 32) return pixelWordsInRow(row, base);
    return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(static_cast<__mmask32>((1u << left) - 1u), row + base));
}

// 128 x the pixel from a block's 32-bit sums and factors.
template <class D>
HWY_INLINE void storePairSums(D d, __m512i acc, hn::Vec<D> factor, int32_t* to) {
    const hn::RebindToSigned<D> di;
    const auto v = hn::Add(hn::Mul(hn::ConvertTo(d, hn::Vec<decltype(di)>{acc}), factor), hn::Set(d, 128.0f));
    hn::StoreU(hn::ShiftRight<8>(truncateInRange(di, v)), di, to);
}

// The periodic stretch (findPeriodicRun) of rowPassPairs(), with one
// period's pair lists and factors in registers; K pairs at most a block.
template <std::size_t P, int K, class D>
HWY_INLINE void rowPassPairsRun(D d, const uint8_t* src, const RowBlocks& rb, const int32_t* pairIndex,
                                const int32_t* pairWeight, const float* elemFactor, int32_t* r) {
    __m512i ix[P][K], w[P][K];
    hn::Vec<D> f[P];
    for (std::size_t q = 0; q < P; ++q) {
        const RowBlock& h = rb.head[rb.runFirst + q];
        f[q] = hn::LoadU(d, elemFactor + h.x);
        for (int k = 0; k < K; ++k) {
            // Pairs past the block's list add 0.
            const bool listed = 2 * k < h.taps;
            const std::size_t at = h.list + static_cast<std::size_t>(k) * 16;
            ix[q][k] = listed ? _mm512_loadu_si512(pairIndex + at) : _mm512_setzero_si512();
            w[q][k] = listed ? _mm512_loadu_si512(pairWeight + at) : _mm512_setzero_si512();
        }
    }
    const RowBlock* head = rb.head + rb.runFirst;
    for (std::size_t g = 0; g < rb.runGroups; ++g) {
        const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(g) * rb.runStep;
        for (std::size_t q = 0; q < P; ++q) {
            // Stretch blocks read 32 elements within the row.
            const __m512i v = pixelWordsInRow(src, head[q].base + shift);
            __m512i acc = _mm512_setzero_si512();
            for (int k = 0; k < K; ++k)
                acc = _mm512_add_epi32(acc, _mm512_madd_epi16(_mm512_permutexvar_epi16(ix[q][k], v), w[q][k]));
            storePairSums(d, acc, f[q], r + head[q].x + g * P * 16);
        }
    }
}

// rowPassPairsRun() for the stretch's period and pairs, where they fit the
// registers; false otherwise.
template <class D>
bool rowPassPairsRunFor(D d, const uint8_t* src, const RowBlocks& rb, const int32_t* pairIndex,
                        const int32_t* pairWeight, const float* elemFactor, int32_t* r) {
    const int pairs = (runTaps(rb) + 1) / 2;
    if (pairs > 3) return false;
    switch (static_cast<int>(rb.runPeriod) * 8 + pairs) {
#define ZAL_PAIRS_CASE(P, K) \
    case P * 8 + K: rowPassPairsRun<P, K>(d, src, rb, pairIndex, pairWeight, elemFactor, r); return true;
        ZAL_PAIRS_CASE(1, 1) ZAL_PAIRS_CASE(1, 2) ZAL_PAIRS_CASE(1, 3) ZAL_PAIRS_CASE(2, 1) ZAL_PAIRS_CASE(2, 2)
        ZAL_PAIRS_CASE(2, 3) ZAL_PAIRS_CASE(3, 1) ZAL_PAIRS_CASE(3, 2) ZAL_PAIRS_CASE(3, 3)
#undef ZAL_PAIRS_CASE
        default: return false;
    }
}

template <class D>
HWY_INLINE void rowPassPairs(D d, const uint8_t* src, std::size_t srcElems, const RowBlocks& rb, const int32_t* pairIndex,
                             const int32_t* pairWeight, const float* elemFactor, int32_t* r) {
    for (std::size_t b = 0; b < rb.count; ++b) {
        if (b == rb.runFirst && rb.runGroups > 0 &&
            rowPassPairsRunFor(d, src, rb, pairIndex, pairWeight, elemFactor, r)) {
            b += rb.runPeriod * rb.runGroups - 1;
            continue;
        }
        const RowBlock h = rb.head[b];
        const __m512i v = pixelWords(src, h.base, srcElems);
        __m512i acc = _mm512_setzero_si512();
        for (int k = 0; 2 * k < h.taps; ++k) {
            const std::size_t at = h.list + static_cast<std::size_t>(k) * 16;
            const __m512i pixels = _mm512_permutexvar_epi16(_mm512_loadu_si512(pairIndex + at), v);
            acc = _mm512_add_epi32(acc, _mm512_madd_epi16(pixels, _mm512_loadu_si512(pairWeight + at)));
        }
        storePairSums(d, acc, hn::LoadU(d, elemFactor + h.x), r + h.x);
    }
}
#endif

// The float column pass takes its destination rows kGroupRows at a time.
// Neighbouring rows read mostly the same work rows, and reading them from the
// second-level cache, not the arithmetic, bounded the pass: a group loads each
// of its work rows' vectors once and adds them, weighted, into the sums of
// the rows they reach (at rate 1.5 two rows load 4 work rows where one row at
// a time loaded 6). Every sum still runs over its own work rows in ascending
// order, as one row at a time.
constexpr int kGroupRows = 2;
struct FloatRowGroup {
    int rows, taps;
    const float* const* work;  // the work rows reaching any of the rows, ascending
    const float* weight;       // weight[g * stride + u]: row g's weight of work row u
    const uint8_t* reaches;    // reaches[g * stride + u]: whether work row u reaches row g
    std::size_t stride;
    uint8_t* out[kGroupRows];
    float factor[kGroupRows];
};

// Vectors e .. of the group's G rows, passed to store(g, v, x).
template <int G, class D, class Vectors, class Store>
HWY_INLINE void groupVectors(D d, const FloatRowGroup& grp, std::size_t e, Vectors, Store&& store) {
    constexpr int kV = Vectors::value;
    const std::size_t lanes = hn::Lanes(d);
    hn::Vec<D> acc[G][kV];
    for (int g = 0; g < G; ++g)
        for (int i = 0; i < kV; ++i) acc[g][i] = hn::Zero(d);
    for (int u = 0; u < grp.taps; ++u) {
        hn::Vec<D> v[kV];
        for (int i = 0; i < kV; ++i) v[i] = hn::LoadU(d, grp.work[u] + e + i * lanes);
        for (int g = 0; g < G; ++g) {
            const std::size_t at = static_cast<std::size_t>(g) * grp.stride + static_cast<std::size_t>(u);
            if (!grp.reaches[at]) continue;
            const auto w = hn::Set(d, grp.weight[at]);
            for (int i = 0; i < kV; ++i) acc[g][i] = hn::Add(acc[g][i], hn::Mul(w, v[i]));
        }
    }
    for (int g = 0; g < G; ++g)
        for (int i = 0; i < kV; ++i) store(g, hn::Mul(acc[g][i], hn::Set(d, grp.factor[g])), e + i * lanes);
}

// Element e of row g of the group, alone.
inline void groupElement(const FloatRowGroup& grp, int g, std::size_t e) {
    float acc = 0;
    for (int u = 0; u < grp.taps; ++u) {
        const std::size_t at = static_cast<std::size_t>(g) * grp.stride + static_cast<std::size_t>(u);
        if (grp.reaches[at]) acc += grp.weight[at] * grp.work[u][e];
    }
    storeUnaligned<float>(grp.out[g], static_cast<std::ptrdiff_t>(e), acc * grp.factor[g]);
}

// The group's rows of rowElems elements, `first` the elements before the
// first row's first vector boundary. Streamed, every row starts at the same
// offset within a vector: the whole vectors from the boundary on go straight
// to memory, the elements before and after them one by one (a line written
// both ways, or an ordinary store that has to fetch its line first, would
// hold up the streaming stores behind it). Otherwise vectors run from the
// boundary on, after one at the row's start.
template <int G>
HWY_INLINE void groupRows(const FloatRowGroup& grp, std::size_t rowElems, std::size_t first, bool stream) {
    const hn::ScalableTag<float> df;
    const std::size_t vecLanes = hn::Lanes(df);
    if (stream) {
        const std::size_t streamTo = first + (rowElems - first) / vecLanes * vecLanes;
        for (int g = 0; g < G; ++g) {
            for (std::size_t e = 0; e < first; ++e) groupElement(grp, g, e);
            for (std::size_t e = streamTo; e < rowElems; ++e) groupElement(grp, g, e);
        }
        auto streamed = [&](auto d, std::size_t e, auto vectors) {
            groupVectors<G>(d, grp, e, vectors, [&](int g, auto v, std::size_t x) {
                hn::Stream(v, d, reinterpret_cast<float*>(grp.out[g]) + x);
            });
        };
        by4From(df, first, streamTo, streamed);
        return;
    }
    overlappedBy4From<float>(rowElems, first, [&](auto d, std::size_t e, auto vectors) {
        groupVectors<G>(d, grp, e, vectors, [&](int g, auto v, std::size_t x) {
            // One lane goes through the unaligned element store: a one-lane
            // store would take the (any-byte) row as aligned.
            if constexpr (hn::MaxLanes(decltype(d)()) == 1) storeUnaligned<float>(grp.out[g], static_cast<std::ptrdiff_t>(x), hn::GetLane(v));
            else hn::StoreU(v, d, reinterpret_cast<float*>(grp.out[g]) + x);
        });
    });
}

// The sizes of a layer up from W x H to dW x dH: the work rows a row
// reaches (taps), the ring of row-pass rows, the element counts.
template <class T, int C>
UpPlan upPlan(int srcW, int srcH, int dstW, int dstH, int kerSize, float rate) {
    UpPlan p;
    p.W = srcW;
    p.H = srcH;
    p.dW = dstW;
    p.dH = dstH;
    p.c = kerSize / 2;
    p.m = static_cast<int>(static_cast<float>(p.c) / rate + 0.5f);
    p.nx = p.W + 2 * p.m;
    p.ny = p.H + 2 * p.m;
    p.len = std::max(p.dW, p.dH);
    // Samples reaching one position o have their splat positions in
    // o - c .. o + c: at most the largest number of samples whose positions
    // lie within 2c of the first one's (positions never decrease).
    p.taps = 1;
    for (int s = 0, j = 0; s < p.nx; ++s) {
        const int first = splatAt(s - p.m, rate).i;
        j = std::max(j, s);
        while (j + 1 < p.nx && splatAt(j + 1 - p.m, rate).i - first <= 2 * p.c) ++j;
        p.taps = std::max(p.taps, j - s + 1);
    }
    // The row pass runs on demand into a ring holding every span, for float
    // every group's spans together (spans move forward with y).
    const double inv = 1.0 / static_cast<double>(rate);
    p.groupRows = std::is_same_v<T, float> ? kGroupRows : 1;
    p.ring = 1;
    for (int y = 0; y < p.dH; ++y) {
        const RowSpan span = rowSpan(y, p.c, p.m, p.ny, inv);
        const RowSpan last = rowSpan(std::min(y + p.groupRows - 1, p.dH - 1), p.c, p.m, p.ny, inv);
        p.ring = std::max(p.ring, last.hi - span.lo + 1);
    }
    // A power of two: a row's slot is a mask away, not a division.
    p.ring = static_cast<int>(std::bit_ceil(static_cast<unsigned>(p.ring)));
    p.rowElems = static_cast<std::size_t>(p.dW) * C;
    p.srcElems = static_cast<std::size_t>(p.W) * C;
    p.ringStride = workRowStride(p.rowElems);
    return p;
}

// What a layer up computes before its passes from the sizes, the rate and
// the kernel alone: the row pass's lists and blocks, the factors, the height
// splats and which integer kernels fit. An up state holds one made for its
// source size and the largest destination on the target in use (state.work2);
// other calls make their own. Only read while the passes run.
struct UpSetup {
    UpPlan p;
    int64_t target = 0;  // the row blocks hold this target's lanes
    bool lanes = false, wholeRows = false, wholeColumns = false;
    float* factor = nullptr;
    int32_t* index = nullptr;
    float* weight = nullptr;
    float* bias = nullptr;
    int32_t* count = nullptr;
    Splat* sy = nullptr;
    float* elemFactor = nullptr;
    int32_t* pairIndex = nullptr;
    int32_t* pairWeight = nullptr;
    RowBlocks rb{};
};

// Builds `out` for plan p in the setup areas at `areas` (offsets `off`).
template <class T, int C>
void buildUpSetup(UpSetup& out, const UpPlan& p, uint8_t* areas, const std::size_t* off, const PyramidLayerState& state) {
    const float rate = state.rate;
    out.p = p;
    out.target = HWY_TARGET;
    float* factor = out.factor = reinterpret_cast<float*>(areas + off[1]);
    int32_t* index = out.index = reinterpret_cast<int32_t*>(areas + off[2]);
    float* weight = out.weight = reinterpret_cast<float*>(areas + off[3]);
    float* bias = out.bias = reinterpret_cast<float*>(areas + off[4]);
    int32_t* count = out.count = reinterpret_cast<int32_t*>(areas + off[5]);
    Splat* sy = out.sy = reinterpret_cast<Splat*>(areas + off[7]);
    float* elemFactor = out.elemFactor = reinterpret_cast<float*>(areas + off[9]);
    RowBlocks& rb = out.rb;
    rb = RowBlocks{reinterpret_cast<RowBlock*>(areas + off[14]), reinterpret_cast<int32_t*>(areas + off[11]),
                   reinterpret_cast<float*>(areas + off[12]), reinterpret_cast<float*>(areas + off[13]), 0, -1};
    [[maybe_unused]] int32_t* pairIndex = out.pairIndex = reinterpret_cast<int32_t*>(areas + off[16]);
    [[maybe_unused]] int32_t* pairWeight = out.pairWeight = reinterpret_cast<int32_t*>(areas + off[17]);
    const Splatter<T> splat(static_cast<const LayerKernel<T>*>(state.kernel), state.kerSize);
    const int W = p.W, dW = p.dW, dH = p.dH, c = p.c, m = p.m, nx = p.nx, ny = p.ny, len = p.len;
    const std::size_t rowElems = p.rowElems;

    // 1. Splat positions of samples -m .. n + m - 1 along each axis; the
    // row pass's lists, samples ascending (sample s reads source column
    // reflect(s - m), the reflected border of c pixels around the source).
    for (int s = 0; s < ny; ++s) sy[s] = splatAt(s - m, rate);
    std::fill(count, count + rowElems, 0);
    std::fill(index, index + static_cast<std::size_t>(p.taps) * rowElems, 0);
    std::fill(weight, weight + static_cast<std::size_t>(p.taps) * rowElems, 0.0f);
    std::fill(bias, bias + static_cast<std::size_t>(p.taps) * rowElems, 0.0f);
    for (int s = 0; s < nx; ++s) {
        const Splat sp = splatAt(s - m, rate);
        const int col = reflectBounce(s - m, W);
        for (int t = splat.lo(sp); t <= splat.hi(sp); ++t) {
            const int o = sp.i + t;
            if (o < 0 || o >= dW) continue;
            for (int ch = 0; ch < C; ++ch) {
                const std::size_t e = static_cast<std::size_t>(o) * C + ch;
                const std::size_t at = static_cast<std::size_t>(count[e]++) * rowElems + e;
                index[at] = col * C + ch;
                weight[at] = splat.weight(sp, t);
                bias[at] = sp.frac ? 0.5f : 0.0f;
            }
        }
    }

    // 2. Weight received by each position, summed along the width. Positions
    // beyond the destination width exist only for the height axis, so they
    // take their sums from the height's own samples.
    std::fill(factor, factor + len, 0.0f);
    auto addWeights = [&](auto splatOf, int n, int oBegin) {
        for (int s = 0; s < n; ++s) {
            const Splat sp = splatOf(s);
            for (int t = splat.lo(sp); t <= splat.hi(sp); ++t) {
                const int o = sp.i + t;
                if (o >= oBegin && o < len) factor[o] += splat.weight(sp, t);
            }
        }
    };
    addWeights([&](int s) { return splatAt(s - m, rate); }, nx, 0);
    if (dH > dW) {
        std::fill(factor + dW, factor + len, 0.0f);
        addWeights([&](int s) { return sy[s]; }, ny, dW);
    }
    const float scale = std::is_same_v<T, float> ? 1.0f : 32768.0f;
    for (int o = 0; o < len; ++o)
        if (std::fabs(factor[o]) > kFloatMin) factor[o] = scale / factor[o];

    for (std::size_t e = 0; e < rowElems; ++e) elemFactor[e] = factor[e / C];
    bool lanes = std::is_same_v<T, float>;
    double rowBound = 0;
    if constexpr (std::is_same_v<T, uint8_t>)
        lanes = fitsLanes(weight, count, rowElems, C, factor, sy, ny, dH, splat, m, rate, c, &rowBound);
    if (lanes)
        withTag<float>(rowElems, [&](auto df) {
            buildRowBlocks(df, index, weight, bias, count, rowElems, p.srcElems, &rb);
            findPeriodicRun(df, count, elemFactor, p.srcElems, &rb);
        });
    // 8u with whole weights: the row pass in 16-bit pairs where every block
    // picks from full vectors, the column pass in integer products.
    [[maybe_unused]] bool wholeRows = false;
    bool wholeColumns = false;
    if constexpr (std::is_same_v<T, uint8_t>) {
        wholeColumns = lanes && wholeColumnWeights(sy, ny, splat, rowBound);
#if HWY_TARGET == HWY_AVX3
        wholeRows = lanes && rowElems >= 16 && rb.tailFrom >= 0 && wholeRowWeights(weight, bias, count, rowElems);
        if (wholeRows) buildPairLists(rb, 16, pairIndex, pairWeight);
#endif
    }

    out.lanes = lanes;
    out.wholeRows = wholeRows;
    out.wholeColumns = wholeColumns;
}

template <class T, int C>
bool layerUpLevel(Image<const T> src, Image<T> dst, const PyramidLayerState& state) {
    using RowT = RowValue<T>;
    using R = Real<T>;
    const float rate = state.rate;
    // The state's setup serves calls of its sizes on its target; other calls
    // make theirs in the work block.
    const UpSetup* setup = static_cast<const UpSetup*>(state.work2);
    if (setup && !(setup->target == HWY_TARGET && setup->p.W == src.width && setup->p.H == src.height &&
                   setup->p.dW == dst.width && setup->p.dH == dst.height))
        setup = nullptr;
    const UpPlan p = setup ? setup->p : upPlan<T, C>(src.width, src.height, dst.width, dst.height, state.kerSize, rate);
    std::size_t off[19], setupOff[19];
    const std::size_t work = upWorkBytes<T>(p, off);
    const std::size_t total = work + (setup ? 0 : upSetupBytes<T>(p, setupOff)) + kLineSlack;
    uint8_t* const allocated = total <= INT32_MAX ? zalsMalloc_8u(static_cast<int>(total)) : nullptr;
    if (!allocated) return false;
    uint8_t* const block = alignUp(allocated, kLine);
    UpSetup own;
    if (!setup) {
        buildUpSetup<T, C>(own, p, block + work, setupOff, state);
        setup = &own;
    }
    const float* factor = setup->factor;
    [[maybe_unused]] const int32_t* index = setup->index;
    [[maybe_unused]] const float* weight = setup->weight;
    [[maybe_unused]] const float* bias = setup->bias;
    const int32_t* count = setup->count;
    const Splat* sy = setup->sy;
    const float* elemFactor = setup->elemFactor;
    [[maybe_unused]] const int32_t* pairIndex = setup->pairIndex;
    [[maybe_unused]] const int32_t* pairWeight = setup->pairWeight;
    const RowBlocks& rb = setup->rb;
    const bool lanes = setup->lanes, wholeColumns = setup->wholeColumns;
    [[maybe_unused]] const bool wholeRows = setup->wholeRows;
    RowT* rows = reinterpret_cast<RowT*>(block + off[0]);
    float* srcRow = reinterpret_cast<float*>(block + off[6]);
    int32_t* colRow = reinterpret_cast<int32_t*>(block + off[8]);
    float* colWeight = reinterpret_cast<float*>(colRow + p.ny);
    float* colFrac = colWeight + p.ny;
    int32_t* ringTag = reinterpret_cast<int32_t*>(block + off[10]);
    const RowT** colPtr = reinterpret_cast<const RowT**>(block + off[15]);
    float* colTapWeight = reinterpret_cast<float*>(colPtr + p.ny);
    int32_t* colTapInt = reinterpret_cast<int32_t*>(colTapWeight + p.ny);
    const float** groupWork = reinterpret_cast<const float**>(block + off[18]);
    float* groupWeight = reinterpret_cast<float*>(groupWork + p.ring);
    uint8_t* groupReach = reinterpret_cast<uint8_t*>(groupWeight + static_cast<std::ptrdiff_t>(p.groupRows) * p.ring);
    // Blocks may read two vectors from any source element: the slack after
    // the row is zeroed once (no lane takes it).
    std::fill(srcRow + p.srcElems, srcRow + p.srcElems + kLayerSlack / sizeof(float), 0.0f);

    const Splatter<T> splat(static_cast<const LayerKernel<T>*>(state.kernel), state.kerSize);
    const int H = p.H, dW = p.dW, dH = p.dH, c = p.c, m = p.m, ny = p.ny;
    const std::size_t outputBytes = static_cast<std::size_t>(dW) * C * dH * sizeof(T);
    const bool streamOutput = outputBytes >= kStreamBytes;
    const std::size_t rowElems = p.rowElems;
    const double inv = 1.0 / static_cast<double>(rate);

    // 3. Row pass of work row v (source row reflect(v - m)) into its ring
    // slot, unless already there.
    std::fill(ringTag, ringTag + p.ring, -1);
    auto workRow = [&](int v) {
        const int slot = v & (p.ring - 1);
        RowT* r = rows + static_cast<std::ptrdiff_t>(slot) * p.ringStride;
        if (ringTag[slot] == v) return static_cast<const RowT*>(r);
        ringTag[slot] = v;
        const uint8_t* s = src.rowBytes(reflectBounce(v - m, H));
        // Float rows on a float boundary are read in place when every block
        // picks; only the part the last blocks read is copied next to the
        // slack (rowPassBlocks).
        const float* direct = nullptr;
        if constexpr (std::is_same_v<T, float>) {
            if (lanes && rb.tailFrom >= 0 && reinterpret_cast<std::uintptr_t>(s) % alignof(float) == 0)
                direct = reinterpret_cast<const float*>(s);
        }
#if HWY_TARGET == HWY_AVX3
        if (wholeRows) {
            rowPassPairs(hn::ScalableTag<float>(), s, p.srcElems, rb, pairIndex, pairWeight, elemFactor,
                         reinterpret_cast<int32_t*>(r));
            return static_cast<const RowT*>(r);
        }
#endif
        if (!direct) widenRow<T>(s, srcRow, p.srcElems);
        if (lanes) {
            withTag<float>(rowElems, [&](auto df) {
                rowPassBlocks<T>(df, srcRow, direct, p.srcElems, rb, count, elemFactor, r);
            });
            return static_cast<const RowT*>(r);
        }
        for (std::size_t e = 0; e < rowElems; ++e) {
            const int n = count[e];
            if constexpr (std::is_same_v<T, float>) {
                float a = 0;
                for (int j = 0; j < n; ++j)
                    a += contribution<T>(weight[j * rowElems + e], true, srcRow[index[j * rowElems + e]], true);
                r[e] = a * factor[e / C];
            } else {
                int64_t a = 0;
                for (int j = 0; j < n; ++j) {
                    const std::size_t at = j * rowElems + e;
                    a += contribution<T>(weight[at], bias[at] != 0.0f, static_cast<int32_t>(srcRow[index[at]]), true);
                }
                r[e] = static_cast<RowT>(static_cast<int64_t>(static_cast<R>(a) * static_cast<R>(factor[e / C]) + R(128)) >> 8);
            }
        }
        return static_cast<const RowT*>(r);
    };

    // 4. Column pass: destination row y gathers the work rows that reach it,
    // in ascending order.
    // Float rows y .. in one group (FloatRowGroup); returns how many. Streamed
    // groups hold rows that start at the same offset within a vector. (A
    // generic lambda: only float layers instantiate it.)
    auto floatGroup = [&](auto y) {
        const std::size_t vecBytes = hn::Lanes(hn::ScalableTag<float>()) * sizeof(float);
        auto offset = [&](int r) { return reinterpret_cast<std::uintptr_t>(dst.rowBytes(r)) % vecBytes; };
        // Rows off a float boundary take no aligned vectors: first = 0.
        const bool floatAligned = offset(y) % sizeof(float) == 0;
        const std::size_t first = floatAligned ? (vecBytes - offset(y)) % vecBytes / sizeof(float) : 0;
        const bool stream = streamOutput && floatAligned && rowElems >= first + vecBytes / sizeof(float);
        int rowsIn = std::min(p.groupRows, dH - y);
        for (int g = 1; stream && g < rowsIn; ++g)
            if (offset(y + g) != offset(y)) rowsIn = g;
        FloatRowGroup grp{rowsIn, 0, groupWork, groupWeight, groupReach, static_cast<std::size_t>(p.ring), {}, {}};
        const int lo = rowSpan(y, c, m, ny, inv).lo, hi = rowSpan(y + rowsIn - 1, c, m, ny, inv).hi;
        for (int v = lo; v <= hi; ++v) {
            const Splat& sp = sy[v];
            bool any = false;
            for (int g = 0; g < rowsIn; ++g) {
                const int t = y + g - sp.i;
                const bool in = t >= splat.lo(sp) && t <= splat.hi(sp);
                const std::size_t at = static_cast<std::size_t>(g) * grp.stride + static_cast<std::size_t>(grp.taps);
                groupReach[at] = in;
                groupWeight[at] = in ? splat.weight(sp, t) : 0.0f;
                any = any || in;
            }
            // The range fits the ring: its rows have distinct slots.
            if (any) groupWork[grp.taps++] = reinterpret_cast<const float*>(workRow(v));
        }
        for (int g = 0; g < rowsIn; ++g) {
            grp.out[g] = dst.rowBytes(y + g);
            grp.factor[g] = factor[y + g];
        }
        // The next group's end lines, asked for now (see groupRows).
        for (int r = y + rowsIn; stream && r < std::min(y + rowsIn + p.groupRows, dH); ++r) {
            __builtin_prefetch(dst.rowBytes(r), 1);
            __builtin_prefetch(dst.rowBytes(r) + rowElems * sizeof(float) - 1, 1);
        }
        static_assert(kGroupRows == 2, "groups below hold 1 or 2 rows");
        if (rowsIn == 2) groupRows<2>(grp, rowElems, first, stream);
        else groupRows<1>(grp, rowElems, first, stream);
        return rowsIn;
    };
    for (int y = 0; y < dH; ++y) {
        if constexpr (std::is_same_v<T, float>) {
            y += floatGroup(y) - 1;
            continue;
        }
        int n = 0;
        const RowSpan span = rowSpan(y, c, m, ny, inv);
        for (int v = span.lo; v <= span.hi; ++v) {
            const Splat& sp = sy[v];
            const int t = y - sp.i;
            if (t < splat.lo(sp) || t > splat.hi(sp)) continue;
            colRow[n] = v;
            colWeight[n] = splat.weight(sp, t);
            colFrac[n] = sp.frac ? 1.0f : 0.0f;
            ++n;
        }
        auto* d = dst.rowBytes(y);
        const float f = factor[y];
        // The span's rows have distinct ring slots: all stay in place.
        for (int k = 0; k < n; ++k) workRow(colRow[k]);
        auto rowOf = [&](int k) { return rows + static_cast<std::ptrdiff_t>(colRow[k] & (p.ring - 1)) * p.ringStride; };
        if (lanes) {
            // The integer sums are exact in any order: interpolated taps
            // first, then whole ones (all of them with whole column weights).
            int nf = 0;
            for (int k = 0; k < n; ++k)
                if (colFrac[k] != 0.0f && !wholeColumns) {
                    colPtr[nf] = rowOf(k);
                    colTapWeight[nf++] = colWeight[k];
                }
            int ni = nf;
            for (int k = 0; k < n; ++k)
                if (colFrac[k] == 0.0f || wholeColumns) {
                    colPtr[ni] = rowOf(k);
                    colTapInt[ni++] = static_cast<int32_t>(colWeight[k]);
                }
            // (B F + 2^21) >> 22 clamped to 0..255 is floor(B F' + 0.5)
            // clamped, F' = F 2^-22: scaling by a power of two commutes with
            // the float rounding, and results below 0 or from 2^30 on end at
            // 0 or 255 either way.
            const float fs = f * (1.0f / 4194304.0f);
            // From the row's first 64-byte boundary on (after one vector at
            // its start), four vectors fill one aligned line.
            const std::size_t first = (64 - reinterpret_cast<std::uintptr_t>(d) % 64) % 64;
            overlappedBy4From<float>(rowElems, first, [&](auto df, std::size_t e, auto vectors) {
                constexpr int kV = decltype(vectors)::value;
                const hn::RebindToSigned<decltype(df)> di;
                const std::size_t lanes = hn::Lanes(df);
                hn::Vec<decltype(di)> acc[kV];
                for (int i = 0; i < kV; ++i) acc[i] = hn::Zero(di);
                for (int k = 0; k < nf; ++k) {
                    const auto w = hn::Set(df, colTapWeight[k]);
                    const int32_t* row = reinterpret_cast<const int32_t*>(colPtr[k]) + e;
                    for (int i = 0; i < kV; ++i)
                        acc[i] = hn::Add(acc[i], truncateInRange(di, hn::Mul(w, hn::ConvertTo(df, hn::LoadU(di, row + i * lanes)))));
                }
                for (int k = nf; k < n; ++k) {
                    const auto w = hn::Set(di, colTapInt[k]);
                    const int32_t* row = reinterpret_cast<const int32_t*>(colPtr[k]) + e;
                    for (int i = 0; i < kV; ++i) acc[i] = hn::Add(acc[i], hn::Mul(w, hn::LoadU(di, row + i * lanes)));
                }
                auto pixelsOf = [&](int i) {
                    return hn::Max(hn::Add(hn::Mul(hn::ConvertTo(df, acc[i]), hn::Set(df, fs)), hn::Set(df, 0.5f)), hn::Zero(df));
                };
#if HWY_TARGET == HWY_AVX3
                if constexpr (hn::MaxLanes(decltype(df)()) == 16) {
                    uint8_t* out = d + e;
                    if constexpr (kV == 4) {
                        if (reinterpret_cast<std::uintptr_t>(out) % 64 == 0) {
                            // One clamp does: the minimum with 255 first
                            // returns a NaN itself, which converts, like
                            // every lane from 2^31 down, to 0x80000000; the
                            // signed then unsigned saturating packs take
                            // every lane below 0 to 0, as the clamp to 0
                            // above. They leave four 4-byte groups per
                            // 128-bit block, which one permutation orders.
                            auto clamped = [&](int i) {
                                const auto v = hn::Add(hn::Mul(hn::ConvertTo(df, acc[i]), hn::Set(df, fs)), hn::Set(df, 0.5f));
                                return _mm512_cvttps_epi32(_mm512_min_ps(_mm512_set1_ps(255.0f), v.raw));
                            };
                            const __m512i words01 = _mm512_packs_epi32(clamped(0), clamped(1));
                            const __m512i words23 = _mm512_packs_epi32(clamped(2), clamped(3));
                            const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
                            const __m512i line = _mm512_permutexvar_epi32(order, _mm512_packus_epi16(words01, words23));
                            if (streamOutput) _mm512_stream_si512(reinterpret_cast<__m512i*>(out), line);
                            else _mm512_store_si512(out, line);
                            return;
                        }
                    }
                    // Lanes from 2^31 on convert to 0x80000000, which the
                    // unsigned narrowing saturates to 255 like the rest above.
                    for (int i = 0; i < kV; ++i)
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * lanes),
                                         _mm512_cvtusepi32_epi8(_mm512_cvttps_epi32(pixelsOf(i).raw)));
                    return;
                }
#endif
                for (int i = 0; i < kV; ++i) {
                    auto v = pixelsOf(i);
                    uint8_t* out = d + e + i * lanes;
                    v = hn::Min(v, hn::Set(df, 255.0f));
                    const hn::Rebind<uint8_t, decltype(df)> d8;
                    hn::StoreU(hn::DemoteTo(d8, truncateInRange(di, v)), d8, out);
                }
            });
            continue;
        }
        // One element at a time (float rows all go through floatGroup).
        if constexpr (!std::is_same_v<T, float>) {
            for (std::size_t e = 0; e < rowElems; ++e) {
                int64_t acc = 0;
                for (int k = 0; k < n; ++k) acc += contribution<T>(colWeight[k], colFrac[k] != 0.0f, rowOf(k)[e], false);
                const int64_t v = static_cast<int64_t>(static_cast<R>(acc) * static_cast<R>(f) + R(2097152)) >> 22;
                storeUnaligned<T>(d, static_cast<std::ptrdiff_t>(e), static_cast<T>(std::clamp<int64_t>(v, 0, std::numeric_limits<T>::max())));
            }
        }
    }
    if (streamOutput) hwy::FlushStream();
    zalsFree(allocated);
    return true;
}

// The setup an up state keeps: made for its source size and the largest
// destination. UpStateSetupBytes returns the bytes it takes (0: too large to
// keep), MakeUpStateSetup builds it at `area` (line-aligned) for a state
// whose kernel is in place and points work2 at it.
constexpr std::size_t kStateSetupLimit = std::size_t{16} << 20;

inline ImageSize largestUp(ImageSize src, float rate) {
    ImageSize lo, hi;
    pyramid::upRange(src, rate, &lo, &hi);
    return hi;
}

template <class T, int C>
std::size_t upStateSetupBytes(ImageSize src, int kerSize, float rate) {
    // Destinations whose lists alone (at least 56 bytes a row element) or
    // factors and splats (4 bytes a position, 12 a source row) pass the
    // limit are not planned: planning walks every destination row.
    const ImageSize hi = largestUp(src, rate);
    const double limit = static_cast<double>(kStateSetupLimit);
    if (56.0 * hi.width * C > limit || 4.0 * std::max(hi.width, hi.height) + 12.0 * src.height > limit) return 0;
    std::size_t off[19];
    const UpPlan p = upPlan<T, C>(src.width, src.height, hi.width, hi.height, kerSize, rate);
    const std::size_t bytes = alignLine(sizeof(UpSetup)) + upSetupBytes<T>(p, off);
    return bytes <= kStateSetupLimit ? bytes : 0;
}

template <class T, int C>
void makeUpStateSetup(PyramidLayerState& state, uint8_t* area) {
    const ImageSize src{state.srcWidth, state.srcHeight}, hi = largestUp(src, state.rate);
    const UpPlan p = upPlan<T, C>(src.width, src.height, hi.width, hi.height, state.kerSize, state.rate);
    std::size_t off[19];
    upSetupBytes<T>(p, off);
    auto* setup = new (area) UpSetup;
    buildUpSetup<T, C>(*setup, p, area + alignLine(sizeof(UpSetup)), off, state);
    state.work2 = setup;
}

// One entry per element type, the channel count (1 or 3) given.
#define ZAL_LAYER_UP_ENTRY(T, suffix)                                                                         \
    bool LayerUp##suffix(Image<const T> src, Image<T> dst, const PyramidLayerState& state, int channels) {      \
        return channels == 1 ? layerUpLevel<T, 1>(src, dst, state) : layerUpLevel<T, 3>(src, dst, state);      \
    }                                                                                                         \
    std::size_t UpStateSetupBytes##suffix(ImageSize src, int kerSize, float rate, int channels) {             \
        return channels == 1 ? upStateSetupBytes<T, 1>(src, kerSize, rate) : upStateSetupBytes<T, 3>(src, kerSize, rate); \
    }                                                                                                         \
    void MakeUpStateSetup##suffix(PyramidLayerState& state, uint8_t* area) {                                  \
        if (state.channels == 1) makeUpStateSetup<T, 1>(state, area);                                        \
        else makeUpStateSetup<T, 3>(state, area);                                                             \
    }
ZAL_LAYER_UP_ENTRY(uint8_t, 8u)
ZAL_LAYER_UP_ENTRY(uint16_t, 16u)
ZAL_LAYER_UP_ENTRY(float, 32f)
#undef ZAL_LAYER_UP_ENTRY

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "pyramid/exports.h"
#include "pyramid/ops.h"

namespace zal {
HWY_EXPORT(LayerUp8u);
HWY_EXPORT(LayerUp16u);
HWY_EXPORT(LayerUp32f);
HWY_EXPORT(UpStateSetupBytes8u);
HWY_EXPORT(UpStateSetupBytes16u);
HWY_EXPORT(UpStateSetupBytes32f);
HWY_EXPORT(MakeUpStateSetup8u);
HWY_EXPORT(MakeUpStateSetup16u);
HWY_EXPORT(MakeUpStateSetup32f);

namespace pyramid {

template <class T, int C>
bool layerUp(Image<const T> src, Image<T> dst, const PyramidLayerState& state) {
    if constexpr (std::is_same_v<T, uint8_t>) return HWY_DYNAMIC_DISPATCH(LayerUp8u)(src, dst, state, C);
    else if constexpr (std::is_same_v<T, uint16_t>) return HWY_DYNAMIC_DISPATCH(LayerUp16u)(src, dst, state, C);
    else return HWY_DYNAMIC_DISPATCH(LayerUp32f)(src, dst, state, C);
}

template <class T, int C>
std::size_t upStateSetupBytes(ImageSize src, int kerSize, float rate) {
    if constexpr (std::is_same_v<T, uint8_t>) return HWY_DYNAMIC_DISPATCH(UpStateSetupBytes8u)(src, kerSize, rate, C);
    else if constexpr (std::is_same_v<T, uint16_t>) return HWY_DYNAMIC_DISPATCH(UpStateSetupBytes16u)(src, kerSize, rate, C);
    else return HWY_DYNAMIC_DISPATCH(UpStateSetupBytes32f)(src, kerSize, rate, C);
}

template <class T>
void makeUpStateSetup(PyramidLayerState& state, uint8_t* area) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(MakeUpStateSetup8u)(state, area);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(MakeUpStateSetup16u)(state, area);
    else HWY_DYNAMIC_DISPATCH(MakeUpStateSetup32f)(state, area);
}

}  // namespace pyramid
}  // namespace zal

#define ZAL_LAYER_UP_INSTANCE(name, T, C)                                                                  \
    template bool zal::pyramid::layerUp<T, C>(zal::Image<const T>, zal::Image<T>, const PyramidLayerState&); \
    template std::size_t zal::pyramid::upStateSetupBytes<T, C>(ImageSize, int, float);
ZAL_PYRAMID_LAYER_UP(ZAL_LAYER_UP_INSTANCE)
template void zal::pyramid::makeUpStateSetup<uint8_t>(PyramidLayerState&, uint8_t*);
template void zal::pyramid::makeUpStateSetup<uint16_t>(PyramidLayerState&, uint8_t*);
template void zal::pyramid::makeUpStateSetup<float>(PyramidLayerState&, uint8_t*);
#endif  // HWY_ONCE
