// Application of a Haar classifier stage to every window of a region. Every
// window whose mask byte is set sums the votes of the stage's classifiers in
// storage order; a total below the stage threshold clears the mask byte.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/band_runner.h"
#include "core/checks.h"
#include "core/image.h"
#include "core/threads.h"
#include "objdetect/haar_state.h"
#include "objdetect/exports.h"
#include "objdetect/internal.h"

namespace zal::objdetect {
namespace {

using Arith = HaarArith;

// Regions of at least this many windows per worker are split into bands: the
// documented threshold, kept for compatibility (results never depend on it).
constexpr long long kParallelWindowsPerThread = 22500;

template <class Table, class State, Arith A, bool Mixed>
struct HaarStage {
    using V = typename HaarTraits<State>::Value;
    using Norm = V;  // float states normalise with a 32f image, integer ones with 32s
    using Stage = V;

    const State* state;
    Image<const Table> upright, tilted;  // tilted: origin already at (1, 1)
    Image<const Norm> norm;
    Image<uint8_t> mask;
    const std::ptrdiff_t* offsets;  // four per rectangle, classifiers in storage order
    Stage threshold;
    int shift;  // IntWide: left shift of the feature

    // Feature accumulator: float, wrapping 32-bit, or 64-bit for IntWide.
    using Feature = std::conditional_t<A == Arith::Int, int32_t, std::conditional_t<A == Arith::IntWide, int64_t, float>>;

    // Windows evaluated side by side: every window keeps its own arithmetic
    // and order, so the lanes only let the compiler vectorise across windows.
    static constexpr int kLanes = 16;
    // A block of kLanes windows is evaluated as a whole when at least this
    // many of its mask bytes are set; sparser blocks go window by window.
    static constexpr int kDenseBlock = 4;

    // ((A - B) - C) + D over one rectangle.
    static Table rectSum(const Table* base, const std::ptrdiff_t* off) {
        if constexpr (std::is_same_v<Table, float>) return ((base[off[0]] - base[off[1]]) - base[off[2]]) + base[off[3]];
        else return wrapAdd(wrapSub(wrapSub(base[off[0]], base[off[1]]), base[off[2]]), base[off[3]]);
    }

    // f + S * weight in the variant's arithmetic.
    static Feature accumulate(Feature f, Table s, V weight) {
        if constexpr (A == Arith::Int) return wrapAdd(f, wrapMul(s, weight));
        else if constexpr (A == Arith::IntWide) return f + wrapMul(s, weight);
        else return f + static_cast<float>(s) * weight;
    }

    V decide(const HaarClassifier<V>& c, Feature f, Norm n) const {
        if constexpr (A == Arith::Int) {
            return f < wrapMul(c.threshold, n) ? c.val1 : c.val2;
        } else if constexpr (A == Arith::IntWide) {
            // Shifted as a 64-bit pattern; a shift of 64 or more leaves 0.
            f = shift < 64 ? static_cast<int64_t>(static_cast<uint64_t>(f) << shift) : 0;
            return f < static_cast<int64_t>(n) * c.threshold ? c.val1 : c.val2;
        } else {
            return f >= c.threshold * n ? c.val2 : c.val1;
        }
    }

    static Stage add(Stage s, V v) {
        if constexpr (std::is_same_v<V, float>) return s + v;
        else return wrapAdd(s, v);
    }

    // Adds the vote of classifier c to the stage totals of `Lanes` windows
    // whose origins start at base (norms nv).
    template <int Lanes>
    void vote(const HaarClassifier<V>& c, const Table* base, const std::ptrdiff_t* off, const Norm* nv, int group,
              Stage* stage) const {
        const HaarRect<V>* r = c.rects;
        Feature f[Lanes];
        if (A == Arith::Float && group == 2) {
            for (int j = 0; j < Lanes; ++j)
                f[j] = rectSum(base + j, off + 4) * r[1].weight + rectSum(base + j, off) * r[0].weight;
        } else if (A == Arith::Float && group == 3) {
            for (int j = 0; j < Lanes; ++j)
                f[j] = (rectSum(base + j, off + 4) * r[1].weight + rectSum(base + j, off + 8) * r[2].weight) +
                       rectSum(base + j, off) * r[0].weight;
        } else {
            for (int j = 0; j < Lanes; ++j) f[j] = 0;
            for (int i = 0; i < c.rectCount; ++i, off += 4)
                for (int j = 0; j < Lanes; ++j) f[j] = accumulate(f[j], rectSum(base + j, off), r[i].weight);
        }
        for (int j = 0; j < Lanes; ++j) stage[j] = add(stage[j], decide(c, f[j], nv[j]));
    }

    // Stage totals of `Lanes` windows starting at column px of row py.
    template <int Lanes>
    void evaluate(const Table* up, const Table* tl, const Norm* nv, Stage* stage) const {
        const HaarClassifier<V>* cls = state->classifiers;
        // Only the plain 32f operation gives the 2- and 3-rectangle groups their own term order.
        const int twoEnd = A == Arith::Float ? state->twoRectCount : 0;
        const int threeEnd = A == Arith::Float ? state->twoOrThreeCount : 0;
        for (int j = 0; j < Lanes; ++j) stage[j] = 0;
        const std::ptrdiff_t* off = offsets;
        for (int k = 0; k < state->classifierCount; ++k) {
            const Table* base = (Mixed && (cls[k].tag & kTiltedTag)) ? tl : up;
            const int group = k < twoEnd ? 2 : (k < threeEnd ? 3 : 0);
            vote<Lanes>(cls[k], base, off, nv, group, stage);
            off += 4 * cls[k].rectCount;
        }
    }

    // Windows of rows [begin, end); returns the number accepted.
    int run(int begin, int end) const {
        int accepted = 0;
        Stage stage[kLanes];
        for (int py = begin; py < end; ++py) {
            uint8_t* m = mask.row(py);
            const Norm* nrow = norm.row(py);
            const Table* up = upright.row(py);
            const Table* tl = Mixed ? tilted.row(py) : up;
            auto decideWindow = [&](int px, Stage total) {
                if (total >= threshold) ++accepted;
                else m[px] = 0;
            };
            int px = 0;
            for (; px + kLanes <= mask.width; px += kLanes) {
                int set = 0;
                for (int j = 0; j < kLanes; ++j) set += m[px + j] != 0;
                if (set >= kDenseBlock) {
                    evaluate<kLanes>(up + px, tl + px, nrow + px, stage);
                    for (int j = 0; j < kLanes; ++j)
                        if (m[px + j] != 0) decideWindow(px + j, stage[j]);
                } else if (set > 0) {
                    for (int j = 0; j < kLanes; ++j) {
                        if (m[px + j] == 0) continue;
                        evaluate<1>(up + px + j, tl + px + j, nrow + px + j, stage);
                        decideWindow(px + j, stage[0]);
                    }
                }
            }
            for (; px < mask.width; ++px) {
                if (m[px] == 0) continue;
                evaluate<1>(up + px, tl + px, nrow + px, stage);
                decideWindow(px, stage[0]);
            }
        }
        return accepted;
    }
};

}  // namespace

template <class Table, class State, HaarArith A, bool Mixed, bool Parallel>
StatusCode applyHaarStage(const HaarImages<Table, typename HaarTraits<State>::Value>& images,
                          typename HaarTraits<State>::Value threshold, const State& state, int scaleFactor,
                          int* pAccepted) {
    // Corner offsets (row * element step + column) of every rectangle, in
    // pointer-sized words so that large steps cannot overflow them.
    const int rects = state.offsetCount;
    constexpr long long kWordsPerOffset = sizeof(std::ptrdiff_t) / sizeof(int32_t);
    const long long words = static_cast<long long>(rects) * 4 * kWordsPerOffset;
    std::ptrdiff_t* offsets = nullptr;
    if (rects > 0) {
        offsets = reinterpret_cast<std::ptrdiff_t*>(words <= INT32_MAX ? zalsMalloc_32s(static_cast<int>(words))
                                                                        : nullptr);
        ZAL_CHECK(failIf(offsets == nullptr, StatusNoMemory));
    }
    std::ptrdiff_t* o = offsets;
    const std::ptrdiff_t uprightStep = images.upright.step / static_cast<std::ptrdiff_t>(sizeof(Table));
    const std::ptrdiff_t tiltedStep = images.tilted.step / static_cast<std::ptrdiff_t>(sizeof(Table));
    for (int k = 0; k < state.classifierCount; ++k) {
        const auto& c = state.classifiers[k];
        const std::ptrdiff_t step = (Mixed && (c.tag & kTiltedTag)) ? tiltedStep : uprightStep;
        for (int r = 0; r < c.rectCount; ++r) {
            const auto& rect = c.rects[r];
            for (const HaarCorner& p : {rect.a, rect.b, rect.c, rect.d}) *o++ = p.row * step + p.col;
        }
    }

    HaarStage<Table, State, A, Mixed> stage{};
    stage.state = &state;
    stage.upright = images.upright;
    stage.tilted = images.tilted;
    stage.norm = images.norm;
    stage.mask = images.mask;
    stage.offsets = offsets;
    stage.threshold = threshold;
    stage.shift = scaleFactor < -63 ? 64 : -scaleFactor;

    int accepted = 0;
    const int width = images.mask.width, height = images.mask.height;
    const long long windows = static_cast<long long>(width) * height;
    if (Parallel && windows >= owncvGetMaxNumThreads() * kParallelWindowsPerThread) {
        // Bands own disjoint mask rows; the counts are added in band order.
        runBands(
            height, 0, [&](int, int begin, int end, int& count) { count = stage.run(begin, end); },
            [&](const int& count) { accepted += count; });
    } else {
        accepted = stage.run(0, height);
    }
    zalsFree(offsets);
    *pAccepted = accepted;
    return StatusOk;
}

namespace {

// Checks in order: pointers (-8), size (-6), steps (-14: tables and norm
// against 4 W, the mask against W), step alignment (-108), and for the
// mixed scaled operation the scale factor (-5).
template <class Table, class State, HaarArith A, bool Mixed, bool Parallel>
StatusCode apply(const Table* pSrc, int srcStep, const Table* pTilted, int tiltedStep,
                 const typename HaarTraits<State>::Value* pNorm, int normStep, uint8_t* pMask, int maskStep,
                 ImageSize roi, int* pPositive, typename HaarTraits<State>::Value threshold, const State* pState,
                 int scaleFactor) {
    if constexpr (Mixed) ZAL_CHECK(requireNonNull(pSrc, pTilted, pNorm, pMask, pPositive, pState));
    else ZAL_CHECK(requireNonNull(pSrc, pNorm, pMask, pPositive, pState));
    ZAL_CHECK(requireSize(roi));
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(roi.width) * 4;
    ZAL_CHECK(requireStepsAtLeast(rowBytes, srcStep));
    if constexpr (Mixed) ZAL_CHECK(requireStepsAtLeast(rowBytes, tiltedStep));
    ZAL_CHECK(requireStepsAtLeast(rowBytes, normStep));
    ZAL_CHECK(requireStepsAtLeast(roi.width, maskStep));
    ZAL_CHECK(requireStepsAligned<int32_t>(srcStep));
    if constexpr (Mixed) ZAL_CHECK(requireStepsAligned<int32_t>(tiltedStep));
    ZAL_CHECK(requireStepsAligned<int32_t>(normStep));
    if constexpr (A == Arith::IntWide) ZAL_CHECK(failIf(scaleFactor > 0, StatusBadArgument));

    HaarImages<Table, typename HaarTraits<State>::Value> images;
    images.upright = image(pSrc, srcStep, roi);
    // Tilted classifiers read their table with the window origin at (py + 1, px + 1).
    if constexpr (Mixed) images.tilted = image(pTilted, tiltedStep, roi).offset(1, 1, 1, roi.width, roi.height);
    images.norm = image(pNorm, normStep, roi);
    images.mask = image(pMask, maskStep, roi);
    return applyHaarStage<Table, State, A, Mixed, Parallel>(images, threshold, *pState, scaleFactor, pPositive);
}

}  // namespace
}  // namespace zal::objdetect

#define ZAL_HAAR_APPLY_INSTANCE(T, State, A, Mixed, Parallel)                                                      \
    template StatusCode zal::objdetect::applyHaarStage<T, State, zal::objdetect::HaarArith::A, Mixed, Parallel>(   \
        const zal::objdetect::HaarImages<T, zal::objdetect::HaarTraits<State>::Value>&,                           \
        zal::objdetect::HaarTraits<State>::Value, const State&, int, int*)
#define ZAL_HAAR_APPLY(name, T, State, A, Parallel)                                                                \
    ZAL_DECLARED(name);                                                                                            \
    ZAL_HAAR_APPLY_INSTANCE(T, State, A, false, Parallel);                                                         \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const zal::objdetect::HaarTraits<State>::Value* pNorm,  \
                               int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive,      \
                               zal::objdetect::HaarTraits<State>::Value threshold, const State* pState) {          \
        return zal::objdetect::apply<T, State, zal::objdetect::HaarArith::A, false, Parallel>(                     \
            pSrc, srcStep, nullptr, 0, pNorm, normStep, pMask, maskStep, roiSize, pPositive, threshold, pState, 0); \
    }
#define ZAL_HAAR_APPLY_MIXED(name, T, State, A)                                                                    \
    ZAL_DECLARED(name);                                                                                            \
    ZAL_HAAR_APPLY_INSTANCE(T, State, A, true, false);                                                             \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const T* pTilted, int tiltedStep,                       \
                               const zal::objdetect::HaarTraits<State>::Value* pNorm, int normStep, uint8_t* pMask, \
                               int maskStep, ImageSize roiSize, int* pPositive,                                    \
                               zal::objdetect::HaarTraits<State>::Value threshold, const State* pState) {          \
        return zal::objdetect::apply<T, State, zal::objdetect::HaarArith::A, true, false>(                         \
            pSrc, srcStep, pTilted, tiltedStep, pNorm, normStep, pMask, maskStep, roiSize, pPositive, threshold,   \
            pState, 0);                                                                                            \
    }
ZAL_OBJDETECT_HAAR_APPLY(ZAL_HAAR_APPLY)
ZAL_OBJDETECT_HAAR_APPLY_MIXED(ZAL_HAAR_APPLY_MIXED)

ZAL_DECLARED(zaliApplyMixedHaarClassifier_32s_C1RSfs);
ZAL_HAAR_APPLY_INSTANCE(int32_t, HaarClassifierState_32s, IntWide, true, false);
extern "C" StatusCode zaliApplyMixedHaarClassifier_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pTilted,
                                                              int tiltedStep, const int32_t* pNorm, int normStep,
                                                              uint8_t* pMask, int maskStep, ImageSize roiSize,
                                                              int* pPositive, int32_t threshold,
                                                              const HaarClassifierState_32s* pState, int scaleFactor) {
    return zal::objdetect::apply<int32_t, HaarClassifierState_32s, zal::objdetect::HaarArith::IntWide, true, false>(
        pSrc, srcStep, pTilted, tiltedStep, pNorm, normStep, pMask, maskStep, roiSize, pPositive, threshold, pState,
        scaleFactor);
}
