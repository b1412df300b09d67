// One general pyramid level down: smooth with the state's normalised kernel
// (reflected borders), then sample every rate-th pixel.
//
// 8u keeps the smoothed image at 8 times its value in 16 bits: rows are
// filtered to 32x (>> 8 of the Q13 sum), columns to 8x ((sum + 2^14) >> 15,
// saturated), and the output is (v + 4) >> 3. 16u follows the same scales in
// 32-bit intermediates (nothing saturates before the final clamp); 32f has no
// rounding steps.
//
// Steps need only cover a row, so 16u and 32f rows may start at any byte:
// source and destination elements move with unaligned loads and stores.
//
// 8u and 32f filter, interpolate and resample in vectors (8u in 32-bit
// lanes, exact while the kernel's coefficients are small enough: see
// vectorBounds); 16u sums need 64 bits and small 8u images shift every
// product, so those run the scalar loops. 8u rows at least a vector of
// 16-bit lanes wide whose row-filtered values fit 16 bits (narrowBounds:
// every kernel without large negative taps) keep the row-filtered and the
// smoothed rows in 16 bits and multiply pairs of 16-bit terms into 32-bit
// sums, twice the elements per vector; the integer sums are the same. One
// channel reads the widened row at shifted offsets so that the pairs need
// no interleaving (filteredPairs), and binomial-like kernels, whose
// coefficients share a factor 2^s (s >= 8), sum in unsigned 16 bits without
// widening at all (dyadicShift).
//
// Row filters read the source itself away from the row's ends; only the
// reflected borders and their neighbours go through the bordered row.
//
// 32f rows take as few passes as the ring allows: while smoothed rows come
// in order, each one's newest tap row is filtered in the column pass that
// first reads it (smoothedRow), and the second smoothed row of an output
// row is interpolated with the first as it is summed (interpolated). Column
// blocks that repeat the first one, moved by a fixed step, resample with
// its indices and fractions held in registers.
//
// Rate 1.5 (8u, one channel, 16-bit rows) resamples without floats: its
// fractions are 0 and 0.5, where the interpolation is exact and equals
// integer half sums, and its columns form triples giving two outputs
// (downThreeHalves8u).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pyramid/layer_down.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "core/image.h"
#include "core/unaligned.h"
#include "pyramid/internal.h"
#include "pyramid/overlap-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

template <class T>
using Work = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;

// Whether the 8u sums fit 32-bit lanes: with S the sum of the kernel's
// magnitudes, a row sum is at most 255 S and a column sum at most
// S (255 S / 256 + 1) + 2^14. Floats always run in vectors.
template <class T>
bool vectorBounds(const LayerKernel<T>* q, int kerSize) {
    if constexpr (std::is_same_v<T, float>) {
        return true;
    } else if constexpr (std::is_same_v<T, uint8_t>) {
        long long sum = 0;
        for (int i = 0; i < kerSize; ++i) sum += std::llabs(q[i]);
        const long long row = 255 * sum;
        return row <= INT32_MAX && sum * (row / 256 + 1) + (1 << 14) <= INT32_MAX;
    } else {
        return false;
    }
}

// Whether the 8u row-filtered values, and the column pass's sums of two of
// them, fit 16 bits: a row value is at most 255 S / 256 + 1 in magnitude
// (the shift rounds negative sums down).
template <class T>
bool narrowBounds(const LayerKernel<T>* q, int kerSize) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        long long sum = 0;
        for (int i = 0; i < kerSize; ++i) sum += std::llabs(q[i]);
        return 2 * (255 * sum / 256 + 1) <= INT16_MAX;
    } else {
        return false;
    }
}

// For kernels with non-negative coefficients sharing the factor 2^s, s in
// 8..11, and q / 2^s summing to Q with 255 Q^2 + 2^(22 - 2s) < 2^16: s, else
// 0. Then 8u row sums are 2^(s-8) rho with rho = sum (q / 2^s) p, and the
// column step (sum q r + 2^14) >> 15 equals (sum (q / 2^s) rho +
// 2^(22 - 2s)) >> (23 - 2s), all in unsigned 16 bits (binomial kernels of
// 3 and 5 taps).
template <class K>
int dyadicShift(const K* q, int kerSize) {
    if constexpr (!std::is_same_v<K, int16_t>) {
        return 0;
    } else {
        int s = 15;
        long long sum = 0;
        for (int i = 0; i < kerSize; ++i) {
            if (q[i] < 0) return 0;
            if (q[i] != 0) s = std::min(s, std::countr_zero(static_cast<unsigned>(q[i])));
            sum += q[i];
        }
        if (sum == 0 || s < 8 || s > 11) return 0;
        const long long Q = sum >> s;
        return 255 * Q * Q + (1LL << (22 - 2 * s)) < 65536 ? s : 0;
    }
}

// Runs body(x) over [0, n) in whole vectors of `lanes`, the last one
// overlapping the one before; n is at least one vector.
template <class Body>
HWY_INLINE void wholeVectors(std::size_t n, std::size_t lanes, Body&& body) {
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes) body(x);
    if (x < n) body(n - lanes);
}

// The single-lane target lacks the 16-bit pair operations.
constexpr bool kNarrowLanes = HWY_TARGET != HWY_SCALAR;

template <class T, int C>
class DownSmoother {
public:
    using W = Work<T>;
    using K = LayerKernel<T>;

    DownSmoother(const PyramidLayerState& st, Image<const T> src)
        : q_(static_cast<const K*>(st.kernel)), ker_(st.kerSize), c_(st.kerSize / 2), src_(src),
          rowElems_(static_cast<std::ptrdiff_t>(src.width) * C), ringRows_(std::min(st.kerSize, src.height)),
          large_(src.width > st.kerSize && src.height > st.kerSize),
          vector_((std::is_same_v<T, float> || large_) && st.kerSize <= kMaxTaps && vectorBounds<T>(q_, ker_)),
          narrow_(kNarrowLanes && vector_ && rowElems_ >= static_cast<std::ptrdiff_t>(hn::Lanes(hn::ScalableTag<int16_t>())) &&
                  narrowBounds<T>(q_, ker_)) {
        if constexpr (std::is_same_v<T, uint8_t> && C == 1) dyadic_ = narrow_ ? dyadicShift(q_, ker_) : 0;
        W* w1 = static_cast<W*>(st.work1);
        // The ring was sized for the state's source: its slots keep that stride.
        const auto stateRow = static_cast<std::ptrdiff_t>(workRowStride(static_cast<std::size_t>(st.srcWidth) * C));
        const int stateRing = std::min(st.kerSize, st.srcHeight);
        ring_ = w1;
        ringStride_ = stateRow;
        bordered_ = w1 + stateRing * stateRow;
        ringTag_ = reinterpret_cast<int32_t*>(bordered_ + (static_cast<std::ptrdiff_t>(st.srcWidth) + ker_ - 1) * C);
        for (int k = 0; k < ringRows_; ++k) ringTag_[k] = -1;
        W* w2 = static_cast<W*>(st.work2);
        smooth_[0] = w2;
        smooth_[1] = w2 + stateRow;
        interp_ = w2 + 2 * stateRow;
    }

    W* interpRow() const { return interp_; }
    bool nonNegative() const {
        return std::all_of(q_, q_ + ker_, [](K v) { return v >= 0; });
    }
    bool vector() const { return vector_; }
    // Whether smoothed rows hold 16-bit values (read them as int16_t).
    bool narrow() const { return narrow_; }

    // Smoothed row y (cached in two slots), 16-bit when narrow().
    const W* smoothed(int y) {
        W* out = smooth_[y & 1];
        if (smoothTag_[y & 1] == y) return out;
        smoothTag_[y & 1] = y;
        if constexpr (std::is_same_v<T, float>) {
            if (vector_) {
                smoothedRow(y, [out](auto d, std::size_t x, auto v) { hn::StoreU(v, d, out + x); });
                return out;
            }
        }
        const int H = src_.height;
        const W* rows[kMaxTaps];
        const W** taps = ker_ <= kMaxTaps ? rows : nullptr;
#if HWY_TARGET != HWY_SCALAR
        if constexpr (std::is_same_v<T, uint8_t> && C == 1) {
            if (dyadic_) {
                const int16_t* rows16[kMaxTaps];
                for (int i = 0; i < ker_; ++i) rows16[i] = filteredDyadic(reflectBounce(y + i - c_, H));
                smoothColumnDyadic(rows16, reinterpret_cast<int16_t*>(out));
                return out;
            }
        }
#endif
        if (narrow_) {
            const int16_t* rows16[kMaxTaps];
            for (int i = 0; i < ker_; ++i) rows16[i] = filteredNarrow(reflectBounce(y + i - c_, H));
            smoothColumnNarrow(rows16, reinterpret_cast<int16_t*>(out));
            return out;
        }
        for (int i = 0; taps && i < ker_; ++i) taps[i] = filtered(reflectBounce(y + i - c_, H));
        if (vector_) {
            smoothColumnVector(taps, out);
            return out;
        }
        for (std::ptrdiff_t x = 0; x < rowElems_; ++x) {
            auto row = [&](int i) { return taps ? taps[i][x] : filtered(reflectBounce(y + i - c_, H))[x]; };
            if constexpr (std::is_same_v<T, float>) {
                float acc = q_[c_] * row(c_);
                for (int i = 0; i < c_; ++i) acc += q_[i] * (row(i) + row(ker_ - 1 - i));
                out[x] = acc;
            } else {
                int64_t acc = 0;
                for (int i = 0; i < ker_; ++i) acc += static_cast<int64_t>(q_[i]) * row(i);
                const int64_t v = (acc + (1 << 14)) >> 15;
                if constexpr (std::is_same_v<T, uint8_t>) out[x] = static_cast<W>(std::clamp<int64_t>(v, -32768, 32767));
                else out[x] = static_cast<W>(v);
            }
        }
        return out;
    }

    // Float vector rows: out = s(y) (1 - f) + s(y + 1) f, each element as
    // lerpLanes computes it, with the smoothed row y + 1 summed in the same
    // pass: it is stored in its slot only with keepNext (when the next call
    // reads it as its row y).
    void interpolated(int y, float f, bool keepNext, W* out) {
        if constexpr (std::is_same_v<T, float>) {
            const W* s0 = smoothed(y);
            const int slot = (y + 1) & 1;
            W* s1 = smooth_[slot];
            const float g = 1.0f - f;
            auto interpolate = [s0, f, g, out](auto d, std::size_t x, auto p1) {
                hn::StoreU(hn::Add(hn::Mul(hn::LoadU(d, s0 + x), hn::Set(d, g)), hn::Mul(p1, hn::Set(d, f))), d, out + x);
            };
            if (smoothTag_[slot] == y + 1) {
                overlapped<W>(static_cast<std::size_t>(rowElems_), [&](auto d, std::size_t x) { interpolate(d, x, hn::LoadU(d, s1 + x)); });
                return;
            }
            if (keepNext) {
                smoothTag_[slot] = y + 1;
                smoothedRow(y + 1, [s1, interpolate](auto d, std::size_t x, auto p1) {
                    hn::StoreU(p1, d, s1 + x);
                    interpolate(d, x, p1);
                });
            } else {
                smoothedRow(y + 1, interpolate);
            }
        }
    }

private:
    // Pointers to every tap row fit on the stack up to this many taps.
    static constexpr int kMaxTaps = 512;

    // The float row filter's vector at element x of the source row sf,
    // whose ends are in the bordered row. Away from the row's ends the taps
    // are the source's own elements (single-lane vectors read the whole
    // bordered row: one-lane loads would take the any-byte source as
    // aligned).
    template <int Half, class D, class Coef>
    HWY_INLINE hn::Vec<D> rowSum(D d, Coef k, const float* sf, std::size_t x) const {
        const std::ptrdiff_t e = static_cast<std::ptrdiff_t>(x), n = static_cast<std::ptrdiff_t>(hn::Lanes(d));
        const std::ptrdiff_t cc = static_cast<std::ptrdiff_t>(c_) * C;
        const float* b = n > 1 && e >= cc && e + n + cc <= rowElems_ ? sf + (e - cc) : bordered_ + e;  // tap j is b[j * C]
        return symmetricSum<Half>(d, k, [&](int j) { return hn::LoadU(d, b + j * C); });
    }

    // Float source row r's bordered ends, and the next row on its way: its
    // bytes are fetched a line per vector of row r.
    const float* startRow(int r, const uint8_t** next) const {
        const auto* s = src_.rowBytes(r);
        const std::size_t lanes = hn::Lanes(hn::ScalableTag<float>());
        borderedEnds(s, bordered_, lanes > 1 ? static_cast<std::ptrdiff_t>(lanes) : rowElems_);
        *next = r + 1 < src_.height ? src_.rowBytes(r + 1) : s;
        return reinterpret_cast<const float*>(s);
    }

    // Float vector rows: sink(d, x, v) with the vectors v of smoothed row t.
    // While rows come in order, the newest tap row t + c is the one not yet
    // filtered: it is filtered in the same pass, into its ring slot (which
    // held row t - c - 1, no tap of t) and from the register into the sum.
    // Other rows (the first ones, reflected rows, rates skipping rows) are
    // filtered first.
    template <class Sink>
    void smoothedRow(int t, Sink sink) {
        const int H = src_.height, newest = t + c_;
        bool fuse = ringRows_ == ker_ && newest < H && ringTag_[newest % ringRows_] != newest;
        for (int i = 0; fuse && i + 1 < ker_; ++i) fuse = reflectBounce(t + i - c_, H) != newest;
        const W* taps[kMaxTaps];
        const int filteredTaps = fuse ? ker_ - 1 : ker_;
        for (int i = 0; i < filteredTaps; ++i) taps[i] = filtered(reflectBounce(t + i - c_, H));
        if (!fuse) {
            byHalf([&](auto half, auto k) {
                constexpr int kHalf = decltype(half)::value;
                overlapped<W>(static_cast<std::size_t>(rowElems_), [&](auto d, std::size_t x) {
                    sink(d, x, symmetricSum<kHalf>(d, k, [&](int j) { return hn::LoadU(d, taps[j] + x); }));
                });
            });
            return;
        }
        const int slot = newest % ringRows_;
        ringTag_[slot] = newest;
        W* to = ring_ + slot * ringStride_;
        const uint8_t* next = nullptr;
        const float* sf = startRow(newest, &next);
        byHalf([&](auto half, auto k) {
            constexpr int kHalf = decltype(half)::value;
            const int c2 = 2 * (kHalf > 0 ? kHalf : c_);
            const std::size_t n = static_cast<std::size_t>(rowElems_);
            withTag<W>(n, [&](auto d) {
                // Coefficients, rows and the sink in locals: the loop stores
                // floats, which could otherwise alias them in memory.
                W kc[kHalf + 1];
                const W* rows[2 * kHalf + 1];
                for (int i = 0; i <= kHalf; ++i) kc[i] = k(i);
                for (int j = 0; j < 2 * kHalf; ++j) rows[j] = taps[j];
                auto coef = [&](int i) { return kHalf > 0 ? kc[i] : k(i); };
                auto tapRow = [&](int j) { return kHalf > 0 ? rows[j] : taps[j]; };
                auto out = sink;
                W* const ring = to;
                const uint8_t* const ahead = next;
                const float* const source = sf;
                auto body = [&](std::size_t x) __attribute__((always_inline)) {
                    hwy::Prefetch(ahead + static_cast<std::ptrdiff_t>(x * sizeof(float)));
                    const auto row = rowSum<kHalf>(d, coef, source, x);
                    out(d, x, symmetricSum<kHalf>(d, coef, [&](int j) { return j == c2 ? row : hn::LoadU(d, tapRow(j) + x); }));
                    // Stored last: with rows a multiple of 4 KB apart, the
                    // loads above at the same offset would wait for it.
                    hn::StoreU(row, d, ring + x);
                };
                const std::size_t lanes = hn::Lanes(d);
                std::size_t x = 0;
                for (; x + lanes <= n; x += lanes) body(x);
                if (x < n) body(n - lanes);
            });
        });
    }

    // Σ q[c] v(c) + q[i] (v(i) + v(K-1-i)) over i < c ascending, v(j)
    // loaded from tap(j): the float sums in the documented order, the integer
    // ones exact in any order. Kernels of 3, 5 and 7 taps unroll.
    // k(i) is q[i] as a work value.
    template <int Half, class D, class Coef, class Tap>
    HWY_INLINE hn::Vec<D> symmetricSum(D d, Coef k, Tap tap) const {
        const int c = Half > 0 ? Half : c_;
        auto acc = hn::Mul(hn::Set(d, k(c)), tap(c));
        for (int i = 0; i < c; ++i) acc = hn::Add(acc, hn::Mul(hn::Set(d, k(i)), hn::Add(tap(i), tap(2 * c - i))));
        return acc;
    }
    // run(half, k): the unrolled kernels take their coefficients in locals,
    // which the row loops keep in registers (stores to work rows could
    // otherwise alias the state and reload them for every vector).
    template <class Run>
    HWY_INLINE void byHalf(Run run) const {
        byHalfOf<W>([this](int i) { return W(q_[i]); }, run);
    }
    // The same with k(i) = coef(i) held as V.
    template <class V, class Coef, class Run>
    HWY_INLINE void byHalfOf(Coef coef, Run run) const {
        auto fixed = [&](auto half) {
            constexpr int kHalf = decltype(half)::value;
            V k[kHalf + 1];
            for (int i = 0; i <= kHalf; ++i) k[i] = coef(i);
            run(half, [&](int i) { return k[i]; });
        };
        if (c_ == 1) fixed(std::integral_constant<int, 1>());
        else if (c_ == 2) fixed(std::integral_constant<int, 2>());
        else if (c_ == 3) fixed(std::integral_constant<int, 3>());
        else run(std::integral_constant<int, 0>(), [&](int i) { return static_cast<V>(coef(i)); });
    }

    // The column sums of the taps' rows, then for 8u (acc + 2^14) >> 15
    // saturated to 16 bits.
    void smoothColumnVector(const W* const* taps, W* out) const {
        byHalf([&](auto half, auto k) {
            overlapped<W>(static_cast<std::size_t>(rowElems_), [&](auto d, std::size_t x) {
                auto acc = symmetricSum<decltype(half)::value>(d, k, [&](int j) { return hn::LoadU(d, taps[j] + x); });
                if constexpr (!std::is_same_v<T, float>) {
                    acc = hn::ShiftRight<15>(hn::Add(acc, hn::Set(d, 1 << 14)));
                    acc = hn::Min(hn::Max(acc, hn::Set(d, -32768)), hn::Set(d, 32767));
                }
                hn::StoreU(acc, d, out + x);
            });
        });
    }

    // The 16-bit path's coefficients for terms 2m and 2m + 1 (term i has
    // coefficient q[i]; none past the centre c): q[2m] in the low half of
    // the 32-bit value, q[2m + 1] or 0 in the high half.
    int32_t coefPair(int m) const {
        const uint32_t lo = static_cast<uint16_t>(q_[2 * m]);
        const uint32_t hi = 2 * m + 1 <= c_ ? static_cast<uint16_t>(q_[2 * m + 1]) : 0u;
        return static_cast<int32_t>(lo | hi << 16);
    }
    // run(half, k) with k(m) = coefPair(m), unrolled like byHalf.
    template <class Run>
    HWY_INLINE void byHalfPairs(Run run) const {
        auto fixed = [&](auto half) {
            constexpr int kPairs = decltype(half)::value / 2 + 1;
            int32_t k[kPairs];
            for (int m = 0; m < kPairs; ++m) k[m] = coefPair(m);
            run(half, [&](int m) { return k[m]; });
        };
        if (c_ == 1) fixed(std::integral_constant<int, 1>());
        else if (c_ == 2) fixed(std::integral_constant<int, 2>());
        else if (c_ == 3) fixed(std::integral_constant<int, 3>());
        else run(std::integral_constant<int, 0>(), [&](int m) { return coefPair(m); });
    }

#if HWY_TARGET != HWY_SCALAR
    // Σ q[i] term(i) over i <= c (term(i) the 16-bit sum of the symmetric
    // taps i and K-1-i, term(c) the centre) in 32-bit lanes, two terms per
    // pairwise multiply-add: ZipLower and ZipUpper interleave two terms'
    // lanes, so *lo holds the elements of the lower half of every 128-bit
    // block and *hi those of the upper half; ReorderDemote2To(lo, hi) puts
    // them back in order.
    template <int Half, class D16, class Coef, class Term>
    HWY_INLINE void pairedSum(D16 d16, Coef k, Term term, hn::Vec<hn::RepartitionToWide<D16>>* lo,
                              hn::Vec<hn::RepartitionToWide<D16>>* hi) const {
        const hn::RepartitionToWide<D16> d32;
        const int c = Half > 0 ? Half : c_;
        auto lo0 = hn::Zero(d32), lo1 = hn::Zero(d32), hi0 = hn::Zero(d32), hi1 = hn::Zero(d32);
        for (int i = 0; i <= c; i += 2) {
            const auto a = term(i);
            const auto b = i + 1 <= c ? term(i + 1) : hn::Zero(d16);
            const auto kv = hn::BitCast(d16, hn::Set(d32, k(i / 2)));
            lo0 = hn::ReorderWidenMulAccumulate(d32, hn::BitCast(d16, hn::ZipLower(d32, a, b)), kv, lo0, lo1);
            hi0 = hn::ReorderWidenMulAccumulate(d32, hn::BitCast(d16, hn::ZipUpper(d32, a, b)), kv, hi0, hi1);
        }
        *lo = hn::RearrangeToOddPlusEven(lo0, lo1);
        *hi = hn::RearrangeToOddPlusEven(hi0, hi1);
    }

    // smoothColumnVector from and to 16-bit rows: the same sums, rounding
    // and saturation (the demotion saturates).
    void smoothColumnNarrow(const int16_t* const* taps, int16_t* out) const {
        if constexpr (std::is_same_v<T, uint8_t>) {
            const hn::ScalableTag<int16_t> d16;
            const hn::RepartitionToWide<decltype(d16)> d32;
            byHalfPairs([&](auto half, auto k) {
                constexpr int kHalf = decltype(half)::value;
                const int c = kHalf > 0 ? kHalf : c_;
                wholeVectors(static_cast<std::size_t>(rowElems_), hn::Lanes(d16), [&](std::size_t x) {
                    auto tap = [&](int j) { return hn::LoadU(d16, taps[j] + x); };
                    hn::Vec<decltype(d32)> lo, hi;
                    pairedSum<kHalf>(d16, k, [&](int i) { return i < c ? hn::Add(tap(i), tap(2 * c - i)) : tap(c); }, &lo, &hi);
                    const auto round = hn::Set(d32, 1 << 14);
                    const auto v = hn::ReorderDemote2To(d16, hn::ShiftRight<15>(hn::Add(lo, round)),
                                                        hn::ShiftRight<15>(hn::Add(hi, round)));
                    hn::StoreU(v, d16, out + x);
                });
            });
        }
    }
#else
    void smoothColumnNarrow(const int16_t* const*, int16_t*) const {}
#endif

    // The parts of the bordered row (the source row s with c reflected
    // pixels on either side) that vectors of `lanes` elements reaching past
    // either end of the row read: the borders and the source elements within
    // lanes + 2c of them. Vectors away from the ends read the source itself.
    // Bytes move in byte vectors and fixed-size copies (float rows may start
    // at any byte; library calls would cost more than these short copies).
    void borderedEnds(const uint8_t* s, W* bordered, std::ptrdiff_t lanes) const {
        constexpr std::ptrdiff_t kPixel = static_cast<std::ptrdiff_t>(sizeof(T)) * C;
        auto* b = reinterpret_cast<uint8_t*>(bordered);
        auto copy = [&](std::ptrdiff_t to, std::ptrdiff_t from, std::ptrdiff_t n) {
            constexpr std::ptrdiff_t kSize = sizeof(T);
            if (n > 0) {
                overlapped<uint8_t>(static_cast<std::size_t>(n * kSize), [&](auto d, std::size_t i) {
                    hn::StoreU(hn::LoadU(d, s + from * kSize + i), d, b + to * kSize + i);
                });
            }
        };
        const int Wd = src_.width;
        const std::ptrdiff_t cc = static_cast<std::ptrdiff_t>(c_) * C, reach = lanes + 2 * cc;
        const std::ptrdiff_t head = std::min(rowElems_, reach), tail = std::max(head, rowElems_ - reach);
        copy(cc, 0, head);
        copy(cc + tail, tail, rowElems_ - tail);
        auto pixel = [&](int x) { std::memcpy(b + (x + c_) * kPixel, s + reflectBounce(x, Wd) * kPixel, kPixel); };
        for (int x = -c_; x < 0; ++x) pixel(x);
        for (int x = Wd; x < Wd + c_; ++x) pixel(x);
    }

#if HWY_TARGET != HWY_SCALAR
    // filteredNarrow() of one channel without interleaving: the row, widened
    // to 16 bits with its reflected borders, is read at offsets j, so that
    // lanes 2i and 2i + 1 of one vector hold the two terms of a coefficient
    // pair for output x + 2i (even offsets) or x + 2i + 1 (odd offsets); the
    // pairwise multiply-add then gives the even and the odd outputs' sums in
    // 32-bit lanes, whose shifted low halves interleave back in order.
    // The one-channel source row s widened to 16 bits with c reflected
    // pixels on either side (element j is bordered pixel j - c) and one more
    // element, 0.
    // With `endsOnly`, only the elements that rowTaps reads from it are
    // filled: the borders and the source pixels within a vector and 2c + 1
    // of the row's ends.
    const int16_t* widenedRow(const uint8_t* s, bool endsOnly = false) {
        const hn::ScalableTag<int16_t> d16;
        const hn::RebindToUnsigned<decltype(d16)> du16;
        const hn::Rebind<uint8_t, decltype(d16)> d8;
        const int Wd = src_.width;
        // The widened source starts on a vector boundary (the bordered row
        // has room: it holds 32-bit elements).
        const std::size_t vecBytes = hn::Lanes(d16) * sizeof(int16_t);
        const auto start = (reinterpret_cast<std::uintptr_t>(bordered_) + c_ * sizeof(int16_t) + vecBytes - 1) / vecBytes * vecBytes;
        int16_t* b = reinterpret_cast<int16_t*>(start) - c_;
        for (int x = -c_; x < 0; ++x) b[x + c_] = s[reflectBounce(x, Wd)];
        for (int x = Wd; x < Wd + c_; ++x) b[x + c_] = s[reflectBounce(x, Wd)];
        const std::size_t lanes = hn::Lanes(d16);
        auto widen = [&](std::size_t x) { hn::StoreU(hn::BitCast(d16, hn::PromoteTo(du16, hn::LoadU(d8, s + x))), d16, b + c_ + x); };
        const std::size_t reach = lanes + 2 * static_cast<std::size_t>(c_) + 1;  // see rowTaps
        if (endsOnly && 2 * reach < static_cast<std::size_t>(Wd)) {
            wholeVectors(reach, lanes, widen);
            const std::size_t tail = static_cast<std::size_t>(Wd) - reach;
            wholeVectors(reach, lanes, [&](std::size_t x) { widen(tail + x); });
        } else {
            wholeVectors(static_cast<std::size_t>(Wd), lanes, widen);
        }
        b[Wd + 2 * c_] = 0;
        return b;
    }

    // body(at) for the vector of 16-bit lanes at element x of a one-channel
    // row, at(j) (0 <= j <= maxTap <= 2c + 1) being element x + j of the
    // widened row b of the source row s. Vectors whose taps all lie inside
    // the row widen the source pixels as they load them; the others, near
    // either end, read b, whose ends suffice (widenedRow(s, true)).
    template <class Body>
    HWY_INLINE void rowTaps(const uint8_t* s, const int16_t* b, std::size_t x, int maxTap, Body body) const {
        const hn::ScalableTag<int16_t> d16;
        const hn::RebindToUnsigned<decltype(d16)> du16;
        const hn::Rebind<uint8_t, decltype(d16)> d8;
        const std::size_t c = static_cast<std::size_t>(c_), lanes = hn::Lanes(d16);
        if (x >= c && x + lanes + static_cast<std::size_t>(maxTap) <= static_cast<std::size_t>(src_.width) + c) {
            const uint8_t* from = s + (x - c);
            body([&](int j) { return hn::BitCast(d16, hn::PromoteTo(du16, hn::LoadU(d8, from + j))); });
        } else {
            body([&](int j) { return hn::LoadU(d16, b + x + j); });
        }
    }

    // run(half, k) with k(i) = q[i] / 2^s as 16-bit values, unrolled like byHalf.
    template <class Run>
    HWY_INLINE void byHalfDyadic(Run run) const {
        byHalfOf<uint16_t>([this](int i) { return static_cast<uint16_t>(q_[i] >> dyadic_); }, run);
    }

    // Row r's sums rho (see dyadicShift), in 16 bits.
    const int16_t* filteredDyadic(int r) {
        const int slot = r % ringRows_;
        int16_t* out = reinterpret_cast<int16_t*>(ring_ + slot * ringStride_);
        if (ringTag_[slot] == r) return out;
        ringTag_[slot] = r;
        if constexpr (std::is_same_v<T, uint8_t>) {
            if (r + 1 < src_.height) {
                // The next row is usually next: have its bytes on the way.
                const uint8_t* next = src_.rowBytes(r + 1);
                for (std::ptrdiff_t x = 0; x < rowElems_; x += 64) hwy::Prefetch(next + x);
            }
            const uint8_t* s = src_.rowBytes(r);
            const int16_t* b = widenedRow(s, true);
            const hn::ScalableTag<uint16_t> du;
            byHalfDyadic([&](auto half, auto k) {
                wholeVectors(static_cast<std::size_t>(src_.width), hn::Lanes(du), [&](std::size_t x) {
                    rowTaps(s, b, x, 2 * c_, [&](auto at) {
                        const auto v = symmetricSum<decltype(half)::value>(du, k, [&](int j) { return hn::BitCast(du, at(j)); });
                        hn::StoreU(v, du, reinterpret_cast<uint16_t*>(out) + x);
                    });
                });
            });
        }
        return out;
    }

    // The smoothed row from rows of rho (see dyadicShift).
    void smoothColumnDyadic(const int16_t* const* taps, int16_t* out) const {
        const hn::ScalableTag<uint16_t> du;
        const int shift = 23 - 2 * dyadic_;
        const auto round = hn::Set(du, static_cast<uint16_t>(1 << (22 - 2 * dyadic_)));
        byHalfDyadic([&](auto half, auto k) {
            wholeVectors(static_cast<std::size_t>(rowElems_), hn::Lanes(du), [&](std::size_t x) {
                const auto v = symmetricSum<decltype(half)::value>(du, k, [&](int j) { return hn::LoadU(du, reinterpret_cast<const uint16_t*>(taps[j]) + x); });
                hn::StoreU(hn::ShiftRightSame(hn::Add(v, round), shift), du, reinterpret_cast<uint16_t*>(out) + x);
            });
        });
    }

    void filteredPairs(const uint8_t* s, int16_t* out) {
        const hn::ScalableTag<int16_t> d16;
        const hn::RepartitionToWide<decltype(d16)> d32;
        const int Wd = src_.width;
        const int16_t* b = widenedRow(s, true);  // its last element is read by the last vector's unused odd lane
        byHalfPairs([&](auto half, auto k) {
            constexpr int kHalf = decltype(half)::value;
            const int c = kHalf > 0 ? kHalf : c_;
            wholeVectors(static_cast<std::size_t>(Wd), hn::Lanes(d16), [&](std::size_t x) { rowTaps(s, b, x, 2 * c + 1, [&](auto at) {
                // Pair m at offset o: terms 2m and 2m + 1 (term i < c the sum
                // of taps i and 2c - i, term c the centre), at most 510.
                auto pair = [&](int m, int o) {
                    if (2 * m + 1 < c) return hn::Add(at(2 * m + o), hn::OddEven(at(2 * c - 2 * m - 2 + o), at(2 * c - 2 * m + o)));
                    if (2 * m + 1 == c) return hn::Add(at(c - 1 + o), hn::OddEven(hn::Zero(d16), at(c + 1 + o)));
                    return at(c + o);
                };
                auto sum = [&](int o) {
                    auto acc0 = hn::Zero(d32), acc1 = hn::Zero(d32);
                    for (int m = 0; 2 * m <= c; ++m)
                        acc0 = hn::ReorderWidenMulAccumulate(d32, pair(m, o), hn::BitCast(d16, hn::Set(d32, k(m))), acc0, acc1);
                    return hn::RearrangeToOddPlusEven(acc0, acc1);
                };
                const auto even = hn::ShiftRight<8>(sum(0)), odd = hn::ShiftLeft<8>(sum(1));
                hn::StoreU(hn::OddEven(hn::BitCast(d16, odd), hn::BitCast(d16, even)), d16, out + x);
            }); });
        });
    }
#endif

    // filtered() in 16 bits (the 16-bit path).
    const int16_t* filteredNarrow(int r) {
        const int slot = r % ringRows_;
        int16_t* out = reinterpret_cast<int16_t*>(ring_ + slot * ringStride_);
        if (ringTag_[slot] == r) return out;
        ringTag_[slot] = r;
#if HWY_TARGET != HWY_SCALAR
        if constexpr (std::is_same_v<T, uint8_t> && C == 1) {
            filteredPairs(src_.rowBytes(r), out);
        } else if constexpr (std::is_same_v<T, uint8_t>) {
            const auto* s = src_.rowBytes(r);
            const hn::ScalableTag<int16_t> d16;
            const hn::RebindToUnsigned<decltype(d16)> du16;
            const hn::Rebind<uint8_t, decltype(d16)> d8;
            const std::ptrdiff_t lanes = static_cast<std::ptrdiff_t>(hn::Lanes(d16));
            borderedEnds(s, bordered_, lanes);
            const uint8_t* b = reinterpret_cast<const uint8_t*>(bordered_);
            byHalfPairs([&](auto half, auto k) {
                constexpr int kHalf = decltype(half)::value;
                const int c = kHalf > 0 ? kHalf : c_;
                const std::ptrdiff_t cc = static_cast<std::ptrdiff_t>(c_) * C;
                wholeVectors(static_cast<std::size_t>(rowElems_), hn::Lanes(d16), [&](std::size_t x) {
                    // Tap j of element e is at[j * C]; pixel pairs sum to at most 510.
                    const std::ptrdiff_t e = static_cast<std::ptrdiff_t>(x);
                    const uint8_t* at = e >= cc && e + lanes + cc <= rowElems_ ? s + (e - cc) : b + e;
                    auto tap = [&](int j) { return hn::BitCast(d16, hn::PromoteTo(du16, hn::LoadU(d8, at + j * C))); };
                    hn::Vec<hn::RepartitionToWide<decltype(d16)>> lo, hi;
                    pairedSum<kHalf>(d16, k, [&](int i) { return i < c ? hn::Add(tap(i), tap(2 * c - i)) : tap(c); }, &lo, &hi);
                    hn::StoreU(hn::ReorderDemote2To(d16, hn::ShiftRight<8>(lo), hn::ShiftRight<8>(hi)), d16, out + x);
                });
            });
        }
#endif
        return out;
    }

    // Row-filtered source row r (32x for the integer types).
    const W* filtered(int r) {
        const int slot = r % ringRows_;
        W* out = ring_ + slot * ringStride_;
        if (ringTag_[slot] == r) return out;
        ringTag_[slot] = r;
        const auto* s = src_.rowBytes(r);
        if constexpr (std::is_same_v<T, float>) {
            if (vector_) {
                const uint8_t* next = nullptr;
                const float* sf = startRow(r, &next);
                byHalf([&](auto half, auto k) {
                    overlapped<W>(static_cast<std::size_t>(rowElems_), [&](auto d, std::size_t x) __attribute__((always_inline)) {
                        hwy::Prefetch(next + static_cast<std::ptrdiff_t>(x * sizeof(float)));
                        hn::StoreU(rowSum<decltype(half)::value>(d, k, sf, x), d, out + x);
                    });
                });
                return out;
            }
        }
        const int Wd = src_.width;
        // The row with c reflected pixels on either side.
        for (int x = -c_; x < Wd + c_; ++x) {
            if (x == 0 && vector_) {
                W* to = bordered_ + static_cast<std::ptrdiff_t>(c_) * C;
                overlapped<W>(static_cast<std::size_t>(rowElems_), [&](auto d, std::size_t e) {
                    const hn::Rebind<T, decltype(d)> dt;
                    const auto v = hn::LoadU(dt, reinterpret_cast<const T*>(s) + e);
                    if constexpr (std::is_same_v<T, float>) hn::StoreU(v, d, to + e);
                    else hn::StoreU(hn::BitCast(d, hn::PromoteTo(hn::Rebind<uint32_t, decltype(d)>(), v)), d, to + e);
                });
                x = Wd - 1;
                continue;
            }
            const std::ptrdiff_t p = static_cast<std::ptrdiff_t>(reflectBounce(x, Wd)) * C;
            for (int ch = 0; ch < C; ++ch) bordered_[(x + c_) * C + ch] = static_cast<W>(loadUnaligned<T>(s, p + ch));
        }
        if (vector_) {
            // Symmetric taps added before multiplying; one shift at the end.
            byHalf([&](auto half, auto k) {
                overlapped<W>(static_cast<std::size_t>(rowElems_), [&](auto d, std::size_t e) {
                    const W* b = bordered_ + e;  // tap j of element e is b[j * C]
                    auto acc = symmetricSum<decltype(half)::value>(d, k, [&](int j) { return hn::LoadU(d, b + j * C); });
                    if constexpr (!std::is_same_v<T, float>) acc = hn::ShiftRight<8>(acc);
                    hn::StoreU(acc, d, out + e);
                });
            });
            return out;
        }
        for (std::ptrdiff_t e = 0; e < rowElems_; ++e) {
            const W* b = bordered_ + e;  // tap j of element e is b[j * C]
            if constexpr (std::is_same_v<T, float>) {
                float acc = q_[c_] * b[c_ * C];
                for (int j = 0; j < c_; ++j) acc += q_[j] * (b[j * C] + b[(ker_ - 1 - j) * C]);
                out[e] = acc;
            } else if (large_) {
                // Symmetric taps are added before multiplying; one shift at the end.
                int64_t acc = static_cast<int64_t>(q_[c_]) * b[c_ * C];
                for (int j = 0; j < c_; ++j) acc += static_cast<int64_t>(q_[j]) * (b[j * C] + b[(ker_ - 1 - j) * C]);
                out[e] = static_cast<W>(acc >> 8);
            } else {
                // Small images: every product is shifted before summing.
                int64_t acc = 0;
                for (int j = 0; j < ker_; ++j) acc += (static_cast<int64_t>(b[j * C]) * q_[j]) >> 8;
                out[e] = static_cast<W>(acc);
            }
        }
        return out;
    }

    const K* q_;
    int ker_, c_;
    Image<const T> src_;
    std::ptrdiff_t rowElems_;
    int ringRows_;
    bool large_;
    bool vector_;
    bool narrow_;
    int dyadic_ = 0;  // dyadicShift() of 16-bit one-channel rows, 0 if none
    W* ring_ = nullptr;
    std::ptrdiff_t ringStride_ = 0;
    W* bordered_ = nullptr;
    int32_t* ringTag_ = nullptr;
    W* smooth_[2] = {nullptr, nullptr};
    int smoothTag_[2] = {-1, -1};
    W* interp_ = nullptr;
};

// p0 (1 - f) + p1 f in single precision; the integer types add 0.5 and
// truncate (8u to 16 bits).
template <class T>
inline Work<T> lerp(Work<T> p0, Work<T> p1, float f) {
    const float v = static_cast<float>(p0) * (1.0f - f) + static_cast<float>(p1) * f;
    if constexpr (std::is_same_v<T, float>) return v;
    else if constexpr (std::is_same_v<T, uint8_t>) return static_cast<int16_t>(static_cast<int32_t>(v + 0.5f));
    else return static_cast<int32_t>(v + 0.5f);
}

template <class T>
inline T output(Work<T> v) {
    if constexpr (std::is_same_v<T, float>) return v;
    else return static_cast<T>(std::clamp<int32_t>((v + 4) >> 3, 0, std::numeric_limits<T>::max()));
}

// The same in lanes (8u and 32f). The 8u interpolation of two 16-bit
// values stays within 16 bits, so truncating to 32 bits is the same.
// g is 1 - f.
template <class T, class D>
HWY_INLINE hn::Vec<D> lerpLanes(D d, hn::Vec<D> p0, hn::Vec<D> p1, hn::Vec<hn::RebindToFloat<D>> f,
                                hn::Vec<hn::RebindToFloat<D>> g) {
    const hn::RebindToFloat<D> df;
    auto asFloat = [&](hn::Vec<D> v) {
        if constexpr (std::is_same_v<T, float>) return v;
        else return hn::ConvertTo(df, v);
    };
    const auto v = hn::Add(hn::Mul(asFloat(p0), g), hn::Mul(asFloat(p1), f));
    if constexpr (std::is_same_v<T, float>) return v;
    else return truncateInRange(d, hn::Add(v, hn::Set(df, 0.5f)));
}

// Stores the outputs: 8u (v + 4) >> 3 saturated to 0..255.
template <class T, class D>
HWY_INLINE void storeOutput(D d, hn::Vec<D> v, uint8_t* row, std::size_t x) {
    if constexpr (std::is_same_v<T, float>) {
        // Float rows may start at any byte; a one-lane store would take the
        // float pointer as aligned.
        if constexpr (hn::MaxLanes(D()) == 1) storeUnaligned<float>(row, static_cast<std::ptrdiff_t>(x), hn::GetLane(v));
        else hn::StoreU(v, d, reinterpret_cast<float*>(row) + x);
    } else {
        const auto out = hn::ShiftRight<3>(hn::Add(v, hn::Set(d, 4)));
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
        if constexpr (hn::MaxLanes(D()) == 16) {
            // Negative lanes to 0, then unsigned saturation to 255.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm512_cvtusepi32_epi8(hn::Max(out, hn::Zero(d)).raw));
            return;
        }
#endif
        const hn::Rebind<uint8_t, D> d8;
        hn::StoreU(hn::DemoteTo(d8, out), d8, row + x);
    }
}

// The resampling's columns per block of lanes (the blocks overlapped() runs
// over the destination row's elements): a block whose pairs all have their
// second element inside the row and lie within two vectors from the block's
// first element keeps them relative to it, with the fractions f and 1 - f
// as the lanes compute them; the others (simple == 0) compute their lanes
// per row.
struct ColumnBlock {
    int32_t base, simple;
};
static_assert(HWY_MAX_BYTES / sizeof(int32_t) <= 16, "downColumnTableBytes allows 16 lanes");

// Lanes are elements: element e of a row is channel e % C of pixel e / C.
template <int C, class D>
void buildColumnBlocks(D dw, int width, int srcWidth, float rate, uint8_t* table) {
    const std::size_t lanes = hn::Lanes(dw);
    const std::size_t elems = static_cast<std::size_t>(width) * C;
    auto* head = reinterpret_cast<ColumnBlock*>(table);
    const std::size_t blocks = (elems + lanes - 1) / lanes;
    auto* vec = reinterpret_cast<int32_t*>(head + blocks);
    std::size_t b = 0;
    forBlocks(lanes, elems, [&](std::size_t x) {
        int32_t* rel0 = vec + b * 4 * lanes;
        int32_t* rel1 = rel0 + lanes;
        float* f = reinterpret_cast<float*>(rel1 + lanes);
        float* g = f + lanes;
        int base = 0, last = 0;
        bool inside = true;
        for (std::size_t i = 0; i < lanes; ++i) {
            const int ch = static_cast<int>((x + i) % C);
            const float xr = static_cast<float>(static_cast<int32_t>((x + i) / C)) * rate;
            const int ix = std::min(static_cast<int>(xr), srcWidth - 1);
            const int next = std::min(ix + 1, srcWidth - 1);
            if (i == 0) base = ix * C + ch;
            last = std::max(last, next * C + ch);
            inside &= ix + 1 < srcWidth;
            rel0[i] = ix * C + ch - base;
            rel1[i] = next * C + ch - base;
            f[i] = xr - static_cast<float>(ix);
            g[i] = 1.0f - f[i];
        }
        head[b] = ColumnBlock{base, inside && last - base < static_cast<int>(2 * lanes)};
        ++b;
    });
}

// p0 = row[ix], p1 = row[next] lane by lane. When the lanes' elements lie
// within two vectors from the first one (rates below 2 always), they are
// picked from those two by lane permutes, else gathered. The two vectors
// may reach past the row into the work block's slack; no lane takes those.
template <class D, class VI>
HWY_INLINE void pairAt(D d, const hn::TFromD<D>* row, VI ix, VI next, hn::Vec<D>* p0, hn::Vec<D>* p1) {
    static_assert(2 * HWY_MAX_BYTES <= kLayerSlack, "two vectors may reach past a row");
    const hn::RebindToSigned<D> di;
    const int lanes = static_cast<int>(hn::Lanes(d));
    const int base = hn::GetLane(ix);
    const int last = hn::GetLane(hn::MaxOfLanes(di, next));
    if (last - base >= 2 * lanes) {
        *p0 = hn::GatherIndex(d, row, ix);
        *p1 = hn::GatherIndex(d, row, next);
        return;
    }
    const auto v0 = hn::LoadU(d, row + base), v1 = hn::LoadU(d, row + base + lanes);
    auto pick = [&](VI at) {
        const auto rel = hn::Sub(at, hn::Set(di, base));
        const auto idx = hn::IndicesFromVec(d, hn::And(rel, hn::Set(di, lanes - 1)));
        const auto low = hn::Lt(rel, hn::Set(di, lanes));
        return hn::IfThenElse(hn::RebindMask(d, low), hn::TableLookupLanes(v0, idx), hn::TableLookupLanes(v1, idx));
    };
    *p0 = pick(ix);
    *p1 = pick(next);
}

#if HWY_TARGET != HWY_SCALAR
// floor((a + b + 1) / 2) of signed 16-bit lanes: the unsigned rounding
// average of the values offset by 2^15 (the result lies within 16 bits).
template <class D>
HWY_INLINE hn::Vec<D> halfSumFloor(D d, hn::Vec<D> a, hn::Vec<D> b) {
    const hn::RebindToUnsigned<D> du;
    const auto bias = hn::Set(du, uint16_t{0x8000});
    return hn::BitCast(d, hn::Xor(hn::AverageRound(hn::Xor(hn::BitCast(du, a), bias), hn::Xor(hn::BitCast(du, b), bias)), bias));
}
// trunc((a + b + 1) / 2) toward zero: the floor plus one where a + b + 1
// is negative (the floor is) and odd (a + b is even).
template <class D>
HWY_INLINE hn::Vec<D> halfSumTrunc(D d, hn::Vec<D> a, hn::Vec<D> b) {
    const hn::RebindToUnsigned<D> du;
    const auto m = halfSumFloor(d, a, b);
    return hn::Add(m, hn::BitCast(d, hn::AndNot(hn::BitCast(du, hn::Xor(a, b)), hn::ShiftRight<15>(hn::BitCast(du, m)))));
}
// The 8u output (v + 4) >> 3 clamped to 0..255 in 16-bit lanes; v + 4 may
// saturate at 32767, which clamps to 255 all the same.
template <class D>
HWY_INLINE hn::Vec<D> outputLanes16(D d, hn::Vec<D> v) {
    const auto o = hn::ShiftRight<3>(hn::SaturatedAdd(v, hn::Set(d, int16_t{4})));
    return hn::Min(hn::Max(o, hn::Zero(d)), hn::Set(d, int16_t{255}));
}

#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
// Elements 3k + t (k < 32) of the 96 16-bit elements in v[0..2], for t = 0,
// 1, 2: two two-table permutes each (the first from v[0] and v[1], the
// second replacing the lanes that lie in v[2]).
HWY_INLINE void deinterleave3(const __m512i v[3], __m512i out[3]) {
    struct Tables {
        alignas(64) int16_t first[3][32];
        alignas(64) int16_t second[3][32];
    };
    static constexpr Tables kTables = [] {
        Tables tables{};
        for (int t = 0; t < 3; ++t)
            for (int k = 0; k < 32; ++k) {
                const int e = 3 * k + t;
                tables.first[t][k] = static_cast<int16_t>(e < 64 ? e : 0);
                tables.second[t][k] = static_cast<int16_t>(e < 64 ? k : e - 32);
            }
        return tables;
    }();
    for (int t = 0; t < 3; ++t) {
        const __m512i low = _mm512_permutex2var_epi16(v[0], _mm512_load_si512(kTables.first[t]), v[1]);
        out[t] = _mm512_permutex2var_epi16(low, _mm512_load_si512(kTables.second[t]), v[2]);
    }
}
#endif

// 8u at rate 1.5 from 16-bit smoothed rows, without floats. Row y samples
// y * 1.5 and column x samples x * 1.5, exactly (sizes below 2^22): every
// fraction is 0 or 0.5, and with 16-bit values each step's single-precision
// p0 (1 - f) + p1 f + 0.5 is exact, so it truncates to
//   f = 0:   trunc(p0 + 0.5)         = p0, or p0 + 1 when p0 < 0,
//   f = 0.5: trunc((p0 + p1 + 1) / 2) toward zero,
// and p0 unchanged where the next row or column lies outside. Columns come
// in triples (3k, 3k + 1, 3k + 2) giving outputs 2k (f = 0) and 2k + 1
// (f = 0.5). A negative interpolated value outputs 0 whether truncated or
// floored, so the column step floors, and so may the rows' values that only
// output 2k reads (column 3k). The last outputs, whose triple reaches past
// the row, take the float steps.
template <class Smoother>
void downThreeHalves8u(Smoother& smoother, Image<uint8_t> dst, int H, int Wd) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "output pairs are stored as 16-bit lanes");
    // Pairs of outputs whose triple lies inside the row.
    const int pairs = std::min(Wd / 3, dst.width / 2);
    // Kernels without negative coefficients smooth 8u to non-negative values.
    const bool nonNegative = smoother.nonNegative();
    for (int y = 0; y < dst.height; ++y) {
        const float yr = static_cast<float>(y) * 1.5f;
        const int iy = std::min(static_cast<int>(yr), H - 1);
        const float fy = yr - static_cast<float>(iy);
        const int16_t* s0 = reinterpret_cast<const int16_t*>(smoother.smoothed(iy));
        // 0: row iy unchanged (the last row); 1: f = 0; 2: f = 0.5.
        const int kind = iy + 1 >= H ? 0 : fy == 0.0f ? 1 : 2;
        const int16_t* s1 = kind == 2 ? reinterpret_cast<const int16_t*>(smoother.smoothed(iy + 1)) : s0;
        auto rowAt = [&](int e) -> int32_t {
            if (kind == 0) return s0[e];
            if (kind == 1) return s0[e] + (s0[e] < 0);
            return (s0[e] + s1[e] + 1) / 2;
        };
        uint8_t* out = dst.rowBytes(y);
        auto run = [&](auto d, auto rowKind, auto nonNegative) {
            constexpr int kKind = decltype(rowKind)::value;
            constexpr bool kNonNeg = decltype(nonNegative)::value;
            using V = hn::Vec<decltype(d)>;
            const hn::RebindToUnsigned<decltype(d)> du;
            const hn::Repartition<uint8_t, decltype(d)> d8;
            const int lanes = static_cast<int>(hn::Lanes(d));
            // Half sums rounded up; for non-negative values truncation and
            // flooring agree, and the unsigned rounding average is the sum.
            auto average = [&](V v, V w) { return hn::BitCast(d, hn::AverageRound(hn::BitCast(du, v), hn::BitCast(du, w))); };
            // The row's value from rows iy (v) and iy + 1 (w).
            auto rowValue = [&](V v, auto w) {
                if constexpr (kKind == 1 && !kNonNeg) return hn::Sub(v, hn::ShiftRight<15>(v));
                else if constexpr (kKind == 2) return kNonNeg ? average(v, w()) : halfSumTrunc(d, v, w());
                else return v;
            };
            auto store = [&](int k, V a, V b, V c) {
                const auto odd = kNonNeg ? average(b, c) : halfSumFloor(d, b, c);
                // Output 2k in the low byte of lane k, output 2k + 1 in the high one.
                const auto two = hn::Or(outputLanes16(d, a), hn::ShiftLeft<8>(outputLanes16(d, odd)));
                hn::StoreU(hn::BitCast(d8, two), d8, out + 2 * k);
            };
            auto block = [&](int k) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
                if constexpr (hn::MaxLanes(decltype(d)()) == 32) {
                    // The rows' values first (truncating for column 3k is
                    // harmless), then the columns apart.
                    __m512i raw[3], cols[3];
                    for (int t = 0; t < 3; ++t) raw[t] = rowValue(hn::LoadU(d, s0 + 3 * k + 32 * t), [&] { return hn::LoadU(d, s1 + 3 * k + 32 * t); }).raw;
                    deinterleave3(raw, cols);
                    store(k, V{cols[0]}, V{cols[1]}, V{cols[2]});
                    return;
                }
#endif
                V a, b, c, a1, b1, c1;
                hn::LoadInterleaved3(d, s0 + 3 * k, a, b, c);
                if constexpr (kKind == 2) hn::LoadInterleaved3(d, s1 + 3 * k, a1, b1, c1);
                store(k, rowValue(a, [&] { return a1; }), rowValue(b, [&] { return b1; }), rowValue(c, [&] { return c1; }));
            };
            int k = 0;
            for (; k + lanes <= pairs; k += lanes) block(k);
            if (k < pairs) block(pairs - lanes);
        };
        auto byKind = [&](auto d) {
            auto withSign = [&](auto rowKind) {
                if (nonNegative) run(d, rowKind, std::true_type());
                else run(d, rowKind, std::false_type());
            };
            if (kind == 0) withSign(std::integral_constant<int, 0>());
            else if (kind == 1) withSign(std::integral_constant<int, 1>());
            else withSign(std::integral_constant<int, 2>());
        };
        int x = 0;
        if (pairs >= static_cast<int>(hn::Lanes(hn::ScalableTag<int16_t>()))) {
            byKind(hn::ScalableTag<int16_t>());
            x = 2 * pairs;
        } else if (pairs >= 8) {
            byKind(hn::CappedTag<int16_t, 8>());
            x = 2 * pairs;
        }
        for (; x < dst.width; ++x) {
            const float xr = static_cast<float>(x) * 1.5f;
            const int ix = std::min(static_cast<int>(xr), Wd - 1);
            const int32_t p0 = rowAt(ix);
            out[x] = output<uint8_t>(ix + 1 < Wd ? lerp<uint8_t>(p0, rowAt(ix + 1), xr - static_cast<float>(ix)) : p0);
        }
    }
}
#endif

template <class T, int C>
void layerDownLevel(Image<const T> src, Image<T> dst, const PyramidLayerState& state) {
    using W = Work<T>;
    const float rate = state.rate;
    DownSmoother<T, C> smoother(state, src);
    const bool vector = smoother.vector() && C == 1;
    const bool narrow = smoother.narrow();
    // Smoothed elements e .. e + lanes in 32-bit lanes (16-bit rows widened).
    auto loadSmoothed = [&](auto dw, const W* row, std::size_t e) {
        if constexpr (std::is_same_v<T, uint8_t>) {
            if (narrow) return hn::PromoteTo(dw, hn::LoadU(hn::Rebind<int16_t, decltype(dw)>(), reinterpret_cast<const int16_t*>(row) + e));
        }
        return hn::LoadU(dw, row + e);
    };
    auto smoothedAt = [&](const W* row, std::ptrdiff_t e) -> W {
        return narrow ? reinterpret_cast<const int16_t*>(row)[e] : row[e];
    };
    const double r = static_cast<double>(rate);
    const int H = src.height, Wd = src.width;
    if (r >= 1.99998 && r <= 2.00002) {
        // Rates just below 2 can give a last column at 2x = width, past the
        // smoothed row: it takes the reflected column, as rows past the
        // bottom take the reflected rows.
        const int inside = std::min(dst.width, (Wd + 1) / 2);
        for (int y = 0; y < dst.height; ++y) {
            const W* s = smoother.smoothed(2 * y);
            auto* d = dst.rowBytes(y);
            int x = 0;
            if (vector) {
                // Every second smoothed value; the last pair's odd element
                // may lie one past the row, in the work block's slack.
                overlapped<W>(static_cast<std::size_t>(inside), [&](auto dw, std::size_t at) {
                    hn::Vec<decltype(dw)> even, odd;
                    if constexpr (std::is_same_v<T, uint8_t> && kNarrowLanes) {
                        if (narrow) {
                            // The low (even) halves of 32-bit lanes, sign-extended.
                            const hn::Repartition<int16_t, decltype(dw)> d16;
                            const auto pairs = hn::BitCast(dw, hn::LoadU(d16, reinterpret_cast<const int16_t*>(s) + 2 * at));
                            storeOutput<T>(dw, hn::ShiftRight<16>(hn::ShiftLeft<16>(pairs)), d, at);
                            return;
                        }
                    }
                    hn::LoadInterleaved2(dw, s + 2 * at, even, odd);
                    storeOutput<T>(dw, even, d, at);
                });
                x = inside;
            }
            for (; x < dst.width; ++x) {
                const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(reflectBounce(2 * x, Wd)) * C;
                for (int ch = 0; ch < C; ++ch) storeUnaligned<T>(d, x * C + ch, output<T>(smoothedAt(s, from + ch)));
            }
        }
        return;
    }
#if HWY_TARGET != HWY_SCALAR
    if constexpr (std::is_same_v<T, uint8_t> && C == 1) {
        // Below 2^22 every x * 1.5 is exact in single precision.
        if (narrow && rate == 1.5f && dst.width < (1 << 22) && dst.height < (1 << 22)) {
            downThreeHalves8u(smoother, dst, H, Wd);
            return;
        }
    }
#endif
    W* rowI = smoother.interpRow();
    const std::size_t rowElems = static_cast<std::size_t>(Wd) * C;
    // Positions x * rate in single precision, the pair at trunc(x * rate)
    // (the last column alone at the end), for the lanes of block x.
    auto resampleLanes = [&](auto dw, std::size_t x, uint8_t* d) {
        const hn::RebindToSigned<decltype(dw)> di;
        const hn::RebindToFloat<decltype(dw)> df;
        const auto xi = hn::Add(hn::Iota(di, 0), hn::Set(di, static_cast<int32_t>(x)));
        const auto xr = hn::Mul(hn::ConvertTo(df, xi), hn::Set(df, rate));
        const auto ix = hn::Min(truncateInRange(di, xr), hn::Set(di, Wd - 1));
        const auto fx = hn::Sub(xr, hn::ConvertTo(df, ix));
        const auto next = hn::Add(ix, hn::Set(di, 1));
        const auto inside = hn::Lt(next, hn::Set(di, Wd));
        hn::Vec<decltype(dw)> p0, p1;
        pairAt(dw, rowI, ix, hn::Min(next, hn::Set(di, Wd - 1)), &p0, &p1);
        const auto v = hn::IfThenElse(hn::RebindMask(dw, inside), lerpLanes<T>(dw, p0, p1, fx, hn::Sub(hn::Set(df, 1.0f), fx)), p0);
        storeOutput<T>(dw, v, d, x);
    };
    // The column table is the same for every row.
    uint8_t* table = static_cast<uint8_t*>(state.work2) + downRowsBytes(static_cast<std::size_t>(state.srcWidth) * C);
    // Every channel count picks its pairs from two vectors; lanes past them
    // (C > 1) take the scalar steps.
    const bool vectorColumns = smoother.vector();
    const std::size_t dstElems = static_cast<std::size_t>(dst.width) * C;
    // The leading blocks whose columns are the first block's moved by a
    // fixed step (rates at which a block spans whole elements, as 1.5 does):
    // their indices and fractions stay in registers.
    std::size_t repeated = 0;
    std::ptrdiff_t step = 0;
    if (vectorColumns) {
        withTag<W>(dstElems, [&](auto dw) {
            buildColumnBlocks<C>(dw, dst.width, Wd, rate, table);
            const std::size_t lanes = hn::Lanes(dw);
            const auto* head = reinterpret_cast<const ColumnBlock*>(table);
            const std::size_t blocks = (dstElems + lanes - 1) / lanes;
            const auto* vec = reinterpret_cast<const int32_t*>(head + blocks);
            if (blocks < 2 || !head[0].simple) return;
            step = head[1].base - head[0].base;
            repeated = 1;
            while (repeated < blocks && head[repeated].simple && head[repeated].base == head[0].base + static_cast<std::ptrdiff_t>(repeated) * step &&
                   std::memcmp(vec + repeated * 4 * lanes, vec, 4 * lanes * sizeof(int32_t)) == 0)
                ++repeated;
        });
    }
    for (int y = 0; y < dst.height; ++y) {
        const float yr = static_cast<float>(y) * rate;
        const int iy = std::min(static_cast<int>(yr), H - 1);
        const float fy = yr - static_cast<float>(iy);
        const W* s0 = smoother.smoothed(iy);
        if (std::is_same_v<T, uint8_t> && smoother.vector() && iy + 1 < H && fy == 0.0f) {
            // p0 * 1 + p1 * 0 + 0.5 is exact for 16-bit values (p1 * 0 is
            // a zero), so the truncation gives p0, or p0 + 1 when p0 is
            // negative; row iy + 1 is not needed.
            if constexpr (std::is_same_v<T, uint8_t>) {
                overlapped<W>(rowElems, [&](auto dw, std::size_t e) {
                    const auto p0 = loadSmoothed(dw, s0, e);
                    hn::StoreU(hn::Sub(p0, hn::ShiftRight<31>(p0)), dw, rowI + e);
                });
            }
        } else if (iy + 1 < H) {
            if (std::is_same_v<T, float> && smoother.vector()) {
                // Row iy + 1 is kept when the next output row starts there.
                const int nextY = std::min(static_cast<int>(static_cast<float>(y + 1) * rate), H - 1);
                smoother.interpolated(iy, fy, y + 1 < dst.height && nextY == iy + 1, rowI);
            } else if (smoother.vector()) {
                const W* s1 = smoother.smoothed(iy + 1);
                overlapped<W>(rowElems, [&](auto dw, std::size_t e) {
                    const hn::RebindToFloat<decltype(dw)> df;
                    hn::StoreU(lerpLanes<T>(dw, loadSmoothed(dw, s0, e), loadSmoothed(dw, s1, e), hn::Set(df, fy), hn::Set(df, 1.0f - fy)), dw, rowI + e);
                });
            } else {
                const W* s1 = smoother.smoothed(iy + 1);
                for (std::size_t e = 0; e < rowElems; ++e) rowI[e] = lerp<T>(s0[e], s1[e], fy);
            }
        } else {
            for (std::size_t e = 0; e < rowElems; ++e) rowI[e] = smoothedAt(s0, static_cast<std::ptrdiff_t>(e));
        }
        auto* d = dst.rowBytes(y);
        // Element e of the output row.
        auto outputAt = [&](std::size_t e) {
            const int x = static_cast<int>(e / C), ch = static_cast<int>(e % C);
            const float xr = static_cast<float>(x) * rate;
            const int ix = std::min(static_cast<int>(xr), Wd - 1);
            const W p0 = rowI[ix * C + ch];
            storeUnaligned<T>(d, static_cast<std::ptrdiff_t>(e), output<T>(ix + 1 < Wd ? lerp<T>(p0, rowI[(ix + 1) * C + ch], xr - static_cast<float>(ix)) : p0));
        };
        if (vectorColumns) {
            withTag<W>(dstElems, [&](auto dw) {
                const hn::RebindToSigned<decltype(dw)> di;
                const hn::RebindToFloat<decltype(dw)> df;
                const std::size_t lanes = hn::Lanes(dw);
                const auto* head = reinterpret_cast<const ColumnBlock*>(table);
                const std::size_t blocks = (dstElems + lanes - 1) / lanes;
                const auto* vec = reinterpret_cast<const int32_t*>(head + blocks);
                const auto rel0 = hn::LoadU(di, vec), rel1 = hn::LoadU(di, vec + lanes);
                const auto f0 = hn::LoadU(df, reinterpret_cast<const float*>(vec + 2 * lanes));
                const auto g0 = hn::LoadU(df, reinterpret_cast<const float*>(vec + 3 * lanes));
                const std::ptrdiff_t base0 = head[0].base;
                std::size_t b = 0;
                forBlocks(lanes, dstElems, [&](std::size_t x) {
                    if (b < repeated) {
                        const W* at = rowI + base0 + static_cast<std::ptrdiff_t>(b++) * step;
                        const auto v0 = hn::LoadU(dw, at), v1 = hn::LoadU(dw, at + lanes);
                        storeOutput<T>(dw, lerpLanes<T>(dw, pickOfTwo(dw, v0, v1, rel0), pickOfTwo(dw, v0, v1, rel1), f0, g0), d, x);
                        return;
                    }
                    const ColumnBlock h = head[b];
                    const int32_t* rel = vec + b++ * 4 * lanes;
                    if (!h.simple) {
                        if constexpr (C == 1) resampleLanes(dw, x, d);
                        else for (std::size_t e = x; e < x + lanes; ++e) outputAt(e);
                        return;
                    }
                    const auto v0 = hn::LoadU(dw, rowI + h.base), v1 = hn::LoadU(dw, rowI + h.base + lanes);
                    const auto p0 = pickOfTwo(dw, v0, v1, hn::LoadU(di, rel));
                    const auto p1 = pickOfTwo(dw, v0, v1, hn::LoadU(di, rel + lanes));
                    const float* f = reinterpret_cast<const float*>(rel + 2 * lanes);
                    storeOutput<T>(dw, lerpLanes<T>(dw, p0, p1, hn::LoadU(df, f), hn::LoadU(df, f + lanes)), d, x);
                });
            });
            continue;
        }
        for (std::size_t e = 0; e < dstElems; ++e) outputAt(e);
    }
}

// One entry per element type, the channel count (1 or 3) given.
#define ZAL_LAYER_DOWN_ENTRY(T, suffix)                                                                   \
    void LayerDown##suffix(Image<const T> src, Image<T> dst, const PyramidLayerState& state, int channels) { \
        if (channels == 1) layerDownLevel<T, 1>(src, dst, state);                                          \
        else layerDownLevel<T, 3>(src, dst, state);                                                        \
    }
ZAL_LAYER_DOWN_ENTRY(uint8_t, 8u)
ZAL_LAYER_DOWN_ENTRY(uint16_t, 16u)
ZAL_LAYER_DOWN_ENTRY(float, 32f)
#undef ZAL_LAYER_DOWN_ENTRY

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "pyramid/exports.h"
#include "pyramid/ops.h"

namespace zal {
HWY_EXPORT(LayerDown8u);
HWY_EXPORT(LayerDown16u);
HWY_EXPORT(LayerDown32f);

namespace pyramid {

template <class T, int C>
void layerDown(Image<const T> src, Image<T> dst, const PyramidLayerState& state) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(LayerDown8u)(src, dst, state, C);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(LayerDown16u)(src, dst, state, C);
    else HWY_DYNAMIC_DISPATCH(LayerDown32f)(src, dst, state, C);
}

}  // namespace pyramid
}  // namespace zal

#define ZAL_LAYER_DOWN_INSTANCE(name, T, C) \
    template void zal::pyramid::layerDown<T, C>(zal::Image<const T>, zal::Image<T>, const PyramidLayerState&);
ZAL_PYRAMID_LAYER_DOWN(ZAL_LAYER_DOWN_INSTANCE)
#endif  // HWY_ONCE
