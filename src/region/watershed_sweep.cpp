// The watershed sweeps of the norms whose offers come from one neighbour at a
// time (8 neighbours with step 1 or 11/15, 4 neighbours with step 1).
//
// A pixel takes an offer max(level floor, key(q) + step) only when it is
// strictly smaller than its key, so among equal offers the first one offered
// wins, and the labels depend on the order of the visits. The first downward
// and upward sweeps visit every pixel; the check sweeps that follow revisit a
// row when a neighbouring row changed, until nothing changes.
//
// After a row is processed from its neighbour row v, every pixel's key is no
// larger than any offer of its row neighbours and of row v: the main pass
// compared it with the pixel behind and with row v, the reverse pass with the
// pixel ahead, and keys only fall. So when the row is processed from v again,
// a pixel can improve only if a pixel of v next to it fell since, or if the
// pixel it receives from along the row fell in this processing. The first is
// kept per row as a set of 32-pixel chunks (one set for the downward, one for
// the upward direction), the second by following each change along the row.
// Within a chunk, a vector test finds the pixels whose smallest offer beats
// their key; the others are passed over, and a chunk with several of them
// is passed over whole in vectors instead (chunkInVectors, which gives the
// keys and labels of the visits in order). The pixels visited are thus all
// those whose offers could succeed, in the order of a full pass, and every
// key and label comes out as full passes over whole rows would leave them.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "region/watershed_sweep.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstring>

#include "region/watershed_internal.h"

HWY_BEFORE_NAMESPACE();
namespace zal::region::watershed {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

template <Norm norm>
class Sweeper {
public:
    static constexpr int kStraight = norm == Norm::Eight11_15 ? 11 : 1;
    static constexpr int kDiagonal = norm == Norm::Eight11_15 ? 15 : 1;
    static constexpr bool kEight = norm != Norm::Four1;

    explicit Sweeper(const Sweep& s)
        : s_(s), width_(s.src.width), height_(s.src.height), chunks_(chunkCount(width_)), words_(words64(width_)) {}

    void run() {
        std::memset(s_.needDown, 0, static_cast<std::size_t>(height_));
        std::memset(s_.needUp, 0, static_cast<std::size_t>(height_));
        std::fill(s_.dirtyDown, rowSet(s_.dirtyDown, height_), uint64_t{0});
        std::fill(s_.dirtyUp, rowSet(s_.dirtyUp, height_), uint64_t{0});
        processRow<1>(0, -1, nullptr);
        for (int y = 1; y < height_; ++y) {
            s_.needDown[y] = 0;
            clear(s_.dirtyDown, y);
            processRow<1>(y, y - 1, nullptr);
        }
        for (int y = height_ - 2; y >= 0; --y) {
            s_.needUp[y] = 0;
            clear(s_.dirtyUp, y);
            processRow<-1>(y, y + 1, nullptr);
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (int y = 1; y < height_; ++y) {
                if (!s_.needDown[y]) continue;
                s_.needDown[y] = 0;
                changed |= processRow<1>(y, y - 1, rowSet(s_.dirtyDown, y));
                clear(s_.dirtyDown, y);
            }
            for (int y = height_ - 2; y >= 0; --y) {
                if (!s_.needUp[y]) continue;
                s_.needUp[y] = 0;
                changed |= processRow<-1>(y, y + 1, rowSet(s_.dirtyUp, y));
                clear(s_.dirtyUp, y);
            }
        }
    }

private:
    // One row of the pass being made: keys, labels, levels, and the vertical
    // row offering from the side (null in passes within the row).
    struct Row {
        int32_t* k;
        uint8_t* l;
        const uint8_t* s;
        const int32_t* kv;
        const uint8_t* lv;
    };

    uint64_t* rowSet(uint64_t* rows, int y) const { return rows + static_cast<std::ptrdiff_t>(y) * words_; }
    void clear(uint64_t* rows, int y) const { std::fill(rowSet(rows, y), rowSet(rows, y + 1), uint64_t{0}); }
    static bool has(const uint64_t* set, int c) { return (set[c >> 6] >> (c & 63)) & 1; }

    // The first chunk of `set` at or after c in direction Dx, or -1.
    template <int Dx>
    int nextChunk(const uint64_t* set, int c) const {
        if constexpr (Dx > 0) {
            for (int w = c >> 6; c < chunks_; c = ++w << 6) {
                const uint64_t bits = set[w] >> (c & 63);
                if (bits) return c + __builtin_ctzll(bits);
            }
        } else {
            for (int w = c >> 6; c >= 0; c = (--w << 6) + 63) {
                const uint64_t bits = set[w] << (63 - (c & 63));
                if (bits) return c - __builtin_clzll(bits);
            }
        }
        return -1;
    }

    // Chunk c holds changed pixels at the bits of `changedBits`: c and, for a
    // change at its first or last pixel, the chunk beside it must be looked
    // at again (pixels x - 1 .. x + 1 of the neighbouring rows, and the pixel
    // receiving from x in the reverse pass).
    void markNear(int c, uint32_t changedBits) const {
        if (!changedBits) return;
        uint64_t* near = s_.near;
        near[c >> 6] |= uint64_t{1} << (c & 63);
        if ((changedBits & 1u) && c > 0) near[(c - 1) >> 6] |= uint64_t{1} << ((c - 1) & 63);
        if ((changedBits >> (kChunk - 1)) && c + 1 < chunks_) near[(c + 1) >> 6] |= uint64_t{1} << ((c + 1) & 63);
    }

    // Visits pixel x of a pass in direction Dx. The offers come in the order
    // behind, and from the vertical row diagonal-behind, vertical,
    // diagonal-ahead; each is max(floor, key + step) and is taken only when
    // strictly smaller than the key so far. So the key becomes the smallest
    // offer when that beats the key (the floor's max commutes with the min),
    // and the label comes from the first offer equal to it. An absent
    // neighbour offers more than any key. Returns whether the pixel changed.
    template <int Dx, bool Vertical>
    HWY_INLINE bool visit(const Row& r, int x) const {
        constexpr int32_t kAbsent = kOpenKey + 1;
        const int back = x - Dx, ahead = x + Dx;
        const bool hasBack = static_cast<unsigned>(back) < static_cast<unsigned>(width_);
        const int32_t floorKey = static_cast<int32_t>(r.s[x]) << kLevelShift;
        const int32_t behind = hasBack ? r.k[back] + kStraight : kAbsent;
        int32_t best = behind;
        int32_t diagBehind = kAbsent, vertical = kAbsent, diagAhead = kAbsent;
        if constexpr (Vertical) {
            vertical = r.kv[x] + kStraight;
            best = std::min(best, vertical);
            if constexpr (kEight) {
                const bool hasAhead = static_cast<unsigned>(ahead) < static_cast<unsigned>(width_);
                diagBehind = hasBack ? r.kv[back] + kDiagonal : kAbsent;
                diagAhead = hasAhead ? r.kv[ahead] + kDiagonal : kAbsent;
                best = std::min(best, std::min(diagBehind, diagAhead));
            }
        }
        const int32_t key = std::max(floorKey, best);
        if (key >= r.k[x]) return false;
        r.k[x] = key;
        if constexpr (Vertical) {
            const uint8_t* from = r.lv;
            int at = ahead;
            if (std::max(floorKey, vertical) == key) at = x;
            if (std::max(floorKey, diagBehind) == key) at = back;
            if (std::max(floorKey, behind) == key) from = r.l, at = back;
            r.l[x] = from[at];
        } else {
            r.l[x] = r.l[back];
        }
        return true;
    }

    // Bit i set when pixel begin + i (i < n) could improve with the keys as
    // they are: its smallest offer, from behind or from the vertical row, is
    // below its key. Vector lanes where every neighbour lies in the row, a
    // scalar test at the row ends.
    template <int Dx, bool Vertical>
    uint32_t improvable(const Row& r, int begin, int n) const {
        uint32_t bits = 0;
        int i = 0;
        if (begin >= 1 && begin + n + 1 <= width_) {
            const hn::ScalableTag<int32_t> d;
            const hn::Rebind<uint8_t, decltype(d)> d8;
            const int lanes = static_cast<int>(hn::Lanes(d));
            for (; i + lanes <= n; i += lanes) {
                const int x = begin + i;
                auto best = hn::Add(hn::LoadU(d, r.k + x - Dx), hn::Set(d, kStraight));
                if constexpr (Vertical) {
                    best = hn::Min(best, hn::Add(hn::LoadU(d, r.kv + x), hn::Set(d, kStraight)));
                    if constexpr (kEight) {
                        const auto sides = hn::Min(hn::LoadU(d, r.kv + x - 1), hn::LoadU(d, r.kv + x + 1));
                        best = hn::Min(best, hn::Add(sides, hn::Set(d, kDiagonal)));
                    }
                }
                const auto floorKey = hn::ShiftLeft<kLevelShift>(hn::PromoteTo(d, hn::LoadU(d8, r.s + x)));
                const auto wins = hn::Lt(hn::Max(floorKey, best), hn::LoadU(d, r.k + x));
                uint64_t laneBits = 0;
                hn::StoreMaskBits(d, wins, reinterpret_cast<uint8_t*>(&laneBits));
                bits |= static_cast<uint32_t>(laneBits) << i;
            }
        }
        for (; i < n; ++i) {
            const int x = begin + i, back = x - Dx;
            int32_t best = static_cast<unsigned>(back) < static_cast<unsigned>(width_) ? r.k[back] + kStraight : kOpenKey;
            if constexpr (Vertical) {
                best = std::min(best, r.kv[x] + kStraight);
                if constexpr (kEight) {
                    if (x > 0) best = std::min(best, r.kv[x - 1] + kDiagonal);
                    if (x + 1 < width_) best = std::min(best, r.kv[x + 1] + kDiagonal);
                }
            }
            if (std::max(static_cast<int32_t>(r.s[x]) << kLevelShift, best) < r.k[x]) bits |= uint32_t{1} << i;
        }
        return bits;
    }

#if HWY_TARGET != HWY_SCALAR
    // A whole chunk of the pass in vectors, every neighbour inside the row
    // (pixels begin - 1 .. begin + kChunk). Lanes run in pass order. Each
    // pixel's visit maps the key k of the pixel behind it to
    //   min(old, max(floor, min(k + straight, vertical offers)))
    //   = min(A, max(floor, k + straight)),  A = min(old, max(floor, V)),
    // V the smallest offer from the vertical row: maps min(A, max(B, k + C))
    // compose into maps of that form, so a prefix scan over the lanes gives
    // every key of the pass from the key behind the chunk, exactly as the
    // visits one after another would. A changed pixel takes its label from
    // the first offer equal to its key in the order behind, diagonal-behind,
    // vertical, diagonal-ahead; those from behind copy the label of the
    // pixel behind, which a prefix maximum of the lanes that do not finds.
    // Returns the changed pixels' bits (bit i: pixel begin + i).
    template <int Dx, bool Vertical>
    uint32_t chunkInVectors(const Row& r, int begin) const {
        const hn::ScalableTag<int32_t> d;
        const hn::Rebind<uint8_t, decltype(d)> d8;
        using V = hn::Vec<decltype(d)>;
        using M = hn::Mask<decltype(d)>;
        // Lanes before the first keep their maps: a map taking any key to
        // something above every key, and a floor below every key.
        constexpr int kAbsent = kOpenKey + 1, kNoFloor = -(1 << 30);
        const int lanes = static_cast<int>(hn::Lanes(d));
        const V iota = hn::Iota(d, 0);
        // Memory position of pass-order lane 0 of vector j is m(j); loads
        // and stores reverse the lanes of a right-to-left pass.
        auto at = [&](int j) { return Dx > 0 ? begin + j * lanes : begin + kChunk - (j + 1) * lanes; };
        auto order = [&](V v) { return Dx > 0 ? v : hn::Reverse(d, v); };
        auto keys = [&](const int32_t* p, int m) { return order(hn::LoadU(d, p + m)); };
        auto bytes = [&](const uint8_t* p, int m) { return order(hn::PromoteTo(d, hn::LoadU(d8, p + m))); };
        auto slide = [&](V v, int by, V fill) {  // lane i takes lane i - by; lanes below `by` take fill
            const auto idx = hn::IndicesFromVec(d, hn::Max(hn::Sub(iota, hn::Set(d, by)), hn::Zero(d)));
            return hn::IfThenElse(hn::Lt(iota, hn::Set(d, by)), fill, hn::TableLookupLanes(v, idx));
        };
        int32_t kin = r.k[Dx > 0 ? begin - 1 : begin + kChunk];
        int32_t lin = r.l[Dx > 0 ? begin - 1 : begin + kChunk];
        uint32_t changedBits = 0;
        for (int j = 0; j < kChunk / lanes; ++j) {
            const int m = at(j);
            const V old = keys(r.k, m);
            const V floorKey = hn::ShiftLeft<kLevelShift>(bytes(r.s, m));
            V offerDB = hn::Set(d, kAbsent), offerV = offerDB, offerDA = offerDB;
            if constexpr (Vertical) {
                offerV = hn::Add(keys(r.kv, m), hn::Set(d, kStraight));
                if constexpr (kEight) {
                    offerDB = hn::Add(keys(r.kv, m - Dx), hn::Set(d, kDiagonal));
                    offerDA = hn::Add(keys(r.kv, m + Dx), hn::Set(d, kDiagonal));
                }
            }
            const V vertical = hn::Min(offerV, hn::Min(offerDB, offerDA));
            V a = hn::Min(old, hn::Max(floorKey, vertical)), b = floorKey;
            for (int by = 1; by < lanes; by *= 2) {
                const V step = hn::Set(d, by * kStraight);
                const V aPrev = slide(a, by, hn::Set(d, kAbsent)), bPrev = slide(b, by, hn::Set(d, kNoFloor));
                a = hn::Min(a, hn::Max(b, hn::Add(aPrev, step)));
                b = hn::Max(b, hn::Add(bPrev, step));
            }
            const V reach = hn::Add(hn::Set(d, kin), hn::Mul(hn::Add(iota, hn::Set(d, 1)), hn::Set(d, kStraight)));
            const V key = hn::Min(a, hn::Max(b, reach));
            const M changed = hn::Lt(key, old);
            // Labels: the first offer equal to the key wins.
            const V behind = hn::Add(slide(key, 1, hn::Set(d, kin)), hn::Set(d, kStraight));
            const M fromBehind = hn::And(changed, hn::Eq(hn::Max(floorKey, behind), key));
            V label = bytes(r.l, m);
            if constexpr (Vertical) {
                V fromRow = bytes(r.lv, m + Dx);
                fromRow = hn::IfThenElse(hn::Eq(hn::Max(floorKey, offerV), key), bytes(r.lv, m), fromRow);
                fromRow = hn::IfThenElse(hn::Eq(hn::Max(floorKey, offerDB), key), bytes(r.lv, m - Dx), fromRow);
                label = hn::IfThenElse(changed, fromRow, label);
            }
            // Lanes taking the label from behind copy the nearest lane before
            // them that does not, or the pixel behind the vector (-1).
            V source = hn::IfThenElse(fromBehind, hn::Set(d, -1), iota);
            for (int by = 1; by < lanes; by *= 2) source = hn::Max(source, slide(source, by, hn::Set(d, -1)));
            const V copied = hn::TableLookupLanes(label, hn::IndicesFromVec(d, hn::Max(source, hn::Zero(d))));
            label = hn::IfThenElse(hn::Lt(source, hn::Zero(d)), hn::Set(d, lin), copied);
            hn::StoreU(order(key), d, r.k + m);
            hn::StoreU(hn::DemoteTo(d8, order(label)), d8, r.l + m);
            uint64_t bits = 0;
            hn::StoreMaskBits(d, hn::Lt(order(key), order(old)), reinterpret_cast<uint8_t*>(&bits));
            changedBits |= static_cast<uint32_t>(bits) << (m - begin);
            kin = hn::ExtractLane(key, static_cast<std::size_t>(lanes - 1));
            lin = hn::ExtractLane(label, static_cast<std::size_t>(lanes - 1));
        }
        return changedBits;
    }
#endif

    // Chunk c in direction Dx, entered with `carry` (the pixel behind its
    // first one changed in this pass). Visits the pixel after a change and
    // every pixel that could improve; returns whether its last pixel changed.
    template <int Dx, bool Vertical>
    bool chunk(const Row& r, int c, bool carry, bool& changed) const {
        const int begin = c << kChunkShift;
        const int n = std::min(kChunk, width_ - begin);
        uint32_t candidates = improvable<Dx, Vertical>(r, begin, n);
#if HWY_TARGET != HWY_SCALAR
        // A few visits cost less than the vectors: from 3 pixels to visit on
        // in passes from a neighbour row, from 6 in passes along the row
        // (whose changes come in short runs).
        constexpr int kVectorsFrom = Vertical ? 3 : 6;
        if (n == kChunk && begin >= 1 && begin + kChunk < width_ &&
            __builtin_popcount(candidates) + static_cast<int>(carry) >= kVectorsFrom) {
            const uint32_t bits = chunkInVectors<Dx, Vertical>(r, begin);
            markNear(c, bits);
            changed |= bits != 0;
            return (bits >> (Dx > 0 ? kChunk - 1 : 0)) & 1;
        }
#endif
        uint32_t changedBits = 0;
        // i walks the chunk in pass order: 0 .. n - 1 or n - 1 .. 0.
        int i = Dx > 0 ? 0 : n - 1;
        for (;;) {
            if (!carry) {
                // Drop the pixels already passed; jump to the next candidate.
                if constexpr (Dx > 0) {
                    candidates &= ~0u << i;
                    if (!candidates) break;
                    i = __builtin_ctz(candidates);
                } else {
                    candidates &= ~0u >> (31 - i);
                    if (!candidates) break;
                    i = 31 - __builtin_clz(candidates);
                }
            }
            carry = visit<Dx, Vertical>(r, begin + i);
            changedBits |= static_cast<uint32_t>(carry) << i;
            i += Dx;
            if (i < 0 || i >= n) break;
        }
        markNear(c, changedBits);
        changed |= changedBits != 0;
        return carry;
    }

    // One pass over row r in direction Dx. With `dirty` null every chunk is
    // looked at; otherwise the chunks of `dirty`, and beyond them the pixels
    // behind which one changed.
    template <int Dx, bool Vertical>
    bool pass(const Row& r, const uint64_t* dirty) const {
        bool changed = false, carry = false;
        int c = Dx > 0 ? 0 : chunks_ - 1;
        if (dirty) c = nextChunk<Dx>(dirty, c);
        while (c >= 0 && c < chunks_) {
            if (!dirty || has(dirty, c)) {
                carry = chunk<Dx, Vertical>(r, c, carry, changed);
                c += Dx;
                continue;
            }
            // A clean chunk: only the run of changes coming in from behind.
            const int begin = c << kChunkShift;
            const int n = std::min(kChunk, width_ - begin);
            uint32_t changedBits = 0;
            for (int i = Dx > 0 ? 0 : n - 1; carry && i >= 0 && i < n; i += Dx) {
                carry = visit<Dx, Vertical>(r, begin + i);
                changedBits |= static_cast<uint32_t>(carry) << i;
            }
            markNear(c, changedBits);
            if (carry) {
                c += Dx;
            } else {
                c = nextChunk<Dx>(dirty, c + Dx);
            }
        }
        return changed;
    }

    // Row y from row yv (-1: none) in sweep direction Dx: the main pass, then
    // the reverse pass within the row. With `dirty` null both passes look at
    // the whole row (the first sweeps, before rows are settled along
    // themselves); otherwise the reverse pass starts next to the changes.
    template <int Dx>
    bool processRow(int y, int yv, const uint64_t* dirty) const {
        std::fill(s_.near, s_.near + words_, uint64_t{0});
        const Row r{s_.keys + y * s_.stride, s_.labels.row(y), s_.src.row(y),
                    yv >= 0 ? s_.keys + yv * s_.stride : nullptr, yv >= 0 ? s_.labels.row(yv) : nullptr};
        bool changed = yv >= 0 ? pass<Dx, true>(r, dirty) : pass<Dx, false>(r, dirty);
        if (!dirty) {
            changed |= pass<-Dx, false>(r, nullptr);
        } else if (changed) {
            std::copy(s_.near, s_.near + words_, s_.reverse);
            pass<-Dx, false>(r, s_.reverse);
        }
        if (!changed) return false;
        if (y + 1 < height_) {
            s_.needDown[y + 1] = 1;
            orNear(rowSet(s_.dirtyDown, y + 1));
        }
        if (y > 0) {
            s_.needUp[y - 1] = 1;
            orNear(rowSet(s_.dirtyUp, y - 1));
        }
        return true;
    }

    void orNear(uint64_t* set) const {
        for (int w = 0; w < words_; ++w) set[w] |= s_.near[w];
    }

    const Sweep& s_;
    const int width_, height_, chunks_, words_;
};

void SweepEight1(const Sweep& s) { Sweeper<Norm::Eight1>(s).run(); }
void SweepFour1(const Sweep& s) { Sweeper<Norm::Four1>(s).run(); }
void SweepEight11_15(const Sweep& s) { Sweeper<Norm::Eight11_15>(s).run(); }

}  // namespace HWY_NAMESPACE
}  // namespace zal::region::watershed
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal::region::watershed {

HWY_EXPORT(SweepEight1);
HWY_EXPORT(SweepFour1);
HWY_EXPORT(SweepEight11_15);

void sweepOffers(Norm norm, const Sweep& sweep) {
    switch (norm) {
        case Norm::Eight1: return HWY_DYNAMIC_DISPATCH(SweepEight1)(sweep);
        case Norm::Four1: return HWY_DYNAMIC_DISPATCH(SweepFour1)(sweep);
        default: return HWY_DYNAMIC_DISPATCH(SweepEight11_15)(sweep);
    }
}

}  // namespace zal::region::watershed
#endif  // HWY_ONCE
