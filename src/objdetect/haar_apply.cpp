// Application of a Haar classifier stage to every window of a region. Every
// window whose mask byte is set sums the votes of the stage's classifiers in
// storage order; a total below the stage threshold clears the mask byte.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "objdetect/haar_apply.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "objdetect/haar_state.h"
#include "objdetect/internal.h"
#include "objdetect/ops.h"

#ifndef ZAL_OBJDETECT_HAAR_APPLY_BAND_
#define ZAL_OBJDETECT_HAAR_APPLY_BAND_
namespace zal::objdetect {

// What the windows of one band need.
template <class Table, class State>
struct HaarBand {
    using V = typename HaarTraits<State>::Value;
    const State* state;
    HaarImages<Table, V> images;    // tilted: origin already at (1, 1)
    const std::ptrdiff_t* offsets;  // four per rectangle, classifiers in storage order
    V threshold;
    int shift;  // IntWide: left shift of the feature
};

}  // namespace zal::objdetect
#endif  // ZAL_OBJDETECT_HAAR_APPLY_BAND_

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using objdetect::HaarArith;
using objdetect::HaarClassifier;
using objdetect::HaarRect;
using objdetect::HaarTraits;
using objdetect::kTiltedTag;

template <class Table, class State, HaarArith A, bool Mixed>
struct HaarStage : objdetect::HaarBand<Table, State> {
    using V = typename HaarTraits<State>::Value;
    using Norm = V;  // float states normalise with a 32f image, integer ones with 32s
    using Stage = V;

    // Feature accumulator: float, wrapping 32-bit, or 64-bit for IntWide.
    using Feature = std::conditional_t<A == HaarArith::Int, int32_t,
                                       std::conditional_t<A == HaarArith::IntWide, int64_t, float>>;

    // ---- One window: the definition ----

    // ((A - B) - C) + D over one rectangle.
    static Table rectSum(const Table* base, const std::ptrdiff_t* off) {
        if constexpr (std::is_same_v<Table, float>) return ((base[off[0]] - base[off[1]]) - base[off[2]]) + base[off[3]];
        else return objdetect::wrapAdd(objdetect::wrapSub(objdetect::wrapSub(base[off[0]], base[off[1]]), base[off[2]]),
                                       base[off[3]]);
    }

    // f + S * weight in the variant's arithmetic.
    static Feature accumulate(Feature f, Table s, V weight) {
        if constexpr (A == HaarArith::Int) return objdetect::wrapAdd(f, objdetect::wrapMul(s, weight));
        else if constexpr (A == HaarArith::IntWide) return f + objdetect::wrapMul(s, weight);
        else return f + static_cast<float>(s) * weight;
    }

    V decide(const HaarClassifier<V>& c, Feature f, Norm n) const {
        if constexpr (A == HaarArith::Int) {
            return f < objdetect::wrapMul(c.threshold, n) ? c.val1 : c.val2;
        } else if constexpr (A == HaarArith::IntWide) {
            // Shifted as a 64-bit pattern; a shift of 64 or more leaves 0.
            f = this->shift < 64 ? static_cast<int64_t>(static_cast<uint64_t>(f) << this->shift) : 0;
            return f < static_cast<int64_t>(n) * c.threshold ? c.val1 : c.val2;
        } else {
            return f >= c.threshold * n ? c.val2 : c.val1;
        }
    }

    static Stage add(Stage s, V v) {
        if constexpr (std::is_same_v<V, float>) return s + v;
        else return objdetect::wrapAdd(s, v);
    }

    // Group of classifier k: only the plain 32f operation gives the 2- and
    // 3-rectangle groups (stored first) their own term order.
    int group(int k) const {
        if constexpr (A != HaarArith::Float) return 0;
        return k < this->state->twoRectCount ? 2 : (k < this->state->twoOrThreeCount ? 3 : 0);
    }

    // Stage total of the window whose origins are up and tl (norm n).
    Stage window(const Table* up, const Table* tl, Norm n) const {
        const HaarClassifier<V>* cls = this->state->classifiers;
        const std::ptrdiff_t* off = this->offsets;
        Stage stage = 0;
        for (int k = 0; k < this->state->classifierCount; off += 4 * cls[k].rectCount, ++k) {
            const Table* base = (Mixed && (cls[k].tag & kTiltedTag)) ? tl : up;
            const HaarRect<V>* r = cls[k].rects;
            Feature f = 0;
            if (group(k) == 2) {
                f = rectSum(base, off + 4) * r[1].weight + rectSum(base, off) * r[0].weight;
            } else if (group(k) == 3) {
                f = (rectSum(base, off + 4) * r[1].weight + rectSum(base, off + 8) * r[2].weight) +
                    rectSum(base, off) * r[0].weight;
            } else {
                for (int i = 0; i < cls[k].rectCount; ++i) f = accumulate(f, rectSum(base, off + 4 * i), r[i].weight);
            }
            stage = add(stage, decide(cls[k], f, n));
        }
        return stage;
    }

#if HWY_TARGET != HWY_SCALAR
    // ---- A vector of side-by-side windows, each lane a window's arithmetic ----

    // The wide variant keeps the definition, window by window.
    static constexpr bool kVectors = A != HaarArith::IntWide;
    using DV = std::conditional_t<std::is_same_v<V, float>, hn::ScalableTag<float>, hn::ScalableTag<int32_t>>;
    using DT = hn::Rebind<Table, DV>;
    using Vec = hn::Vec<DV>;

    static hn::Vec<DT> rectSums(const Table* base, const std::ptrdiff_t* off) {
        const DT dt;
        const auto a = hn::LoadU(dt, base + off[0]), b = hn::LoadU(dt, base + off[1]);
        const auto c = hn::LoadU(dt, base + off[2]), d = hn::LoadU(dt, base + off[3]);
        return hn::Add(hn::Sub(hn::Sub(a, b), c), d);
    }
    // S * weight: float products for the float states, wrapping 32-bit ones otherwise.
    static Vec product(const Table* base, const std::ptrdiff_t* off, V weight) {
        const DV dv;
        const auto s = rectSums(base, off);
        if constexpr (std::is_same_v<Table, V>) return hn::Mul(s, hn::Set(dv, weight));
        else return hn::Mul(hn::ConvertTo(dv, s), hn::Set(dv, weight));
    }

    // Stage totals of the lanes windows starting at up and tl (norms nv).
    Vec windows(const Table* up, const Table* tl, const Norm* nv) const {
        const DV dv;
        const auto norm = hn::LoadU(dv, nv);
        const HaarClassifier<V>* cls = this->state->classifiers;
        const std::ptrdiff_t* off = this->offsets;
        Vec stage = hn::Zero(dv);
        for (int k = 0; k < this->state->classifierCount; off += 4 * cls[k].rectCount, ++k) {
            const Table* base = (Mixed && (cls[k].tag & kTiltedTag)) ? tl : up;
            const HaarRect<V>* r = cls[k].rects;
            Vec f;
            if (group(k) == 2) {
                f = hn::Add(product(base, off + 4, r[1].weight), product(base, off, r[0].weight));
            } else if (group(k) == 3) {
                f = hn::Add(hn::Add(product(base, off + 4, r[1].weight), product(base, off + 8, r[2].weight)),
                            product(base, off, r[0].weight));
            } else {
                f = hn::Zero(dv);
                for (int i = 0; i < cls[k].rectCount; ++i) f = hn::Add(f, product(base, off + 4 * i, r[i].weight));
            }
            // Int: f < t * n (wrapping) votes val1; floats: f >= t * n votes val2.
            const auto limit = hn::Mul(hn::Set(dv, cls[k].threshold), norm);
            const auto val1 = hn::Set(dv, cls[k].val1), val2 = hn::Set(dv, cls[k].val2);
            if constexpr (A == HaarArith::Int) stage = hn::Add(stage, hn::IfThenElse(hn::Lt(f, limit), val1, val2));
            else stage = hn::Add(stage, hn::IfThenElse(hn::Ge(f, limit), val2, val1));
        }
        return stage;
    }
#else
    static constexpr bool kVectors = false;
#endif

    // Windows of rows [begin, end); returns the number accepted. A block of
    // side-by-side windows goes through the vectors when more than an eighth
    // of its mask bytes are set, otherwise its set windows go one by one: a
    // vector costs about two windows evaluated alone (measured: 2.3 for 16
    // lanes, 2.1 for 8). The rest of a row goes window by window.
    int run(int begin, int end) const {
        const auto& img = this->images;
        const int width = img.mask.width;
#if HWY_TARGET != HWY_SCALAR
        const int lanes = kVectors ? static_cast<int>(hn::Lanes(DV())) : width + 1;
        HWY_ALIGN Stage block[HWY_MAX_BYTES / sizeof(Stage)];
#else
        const int lanes = width + 1;
#endif
        int accepted = 0;
        for (int py = begin; py < end; ++py) {
            uint8_t* m = img.mask.row(py);
            const Norm* nrow = img.norm.row(py);
            const Table* up = img.upright.row(py);
            const Table* tl = Mixed ? img.tilted.row(py) : up;
            auto settle = [&](int px, Stage total) {
                if (total >= this->threshold) ++accepted;
                else m[px] = 0;
            };
            int px = 0;
            for (; px + lanes <= width; px += lanes) {
                int set = 0;
                for (int j = 0; j < lanes; ++j) set += m[px + j] != 0;
#if HWY_TARGET != HWY_SCALAR
                if constexpr (kVectors) {
                    if (8 * set > lanes) {
                        hn::Store(windows(up + px, tl + px, nrow + px), DV(), block);
                        for (int j = 0; j < lanes; ++j)
                            if (m[px + j] != 0) settle(px + j, block[j]);
                        continue;
                    }
                }
#endif
                for (int j = px; j < px + lanes; ++j)
                    if (m[j] != 0) settle(j, window(up + j, tl + j, nrow[j]));
            }
            for (; px < width; ++px)
                if (m[px] != 0) settle(px, window(up + px, tl + px, nrow[px]));
        }
        return accepted;
    }

    explicit HaarStage(const objdetect::HaarBand<Table, State>& band) : objdetect::HaarBand<Table, State>(band) {}
};

using State32f = HaarClassifierState_32f;
using State32s = HaarClassifierState_32s;
template <class Table, class State>
using Band = objdetect::HaarBand<Table, State>;

int ApplyFloat(const Band<float, State32f>& b, int begin, int end) {
    return HaarStage<float, State32f, HaarArith::Float, false>(b).run(begin, end);
}
int ApplyIntToFloat(const Band<int32_t, State32f>& b, int begin, int end) {
    return HaarStage<int32_t, State32f, HaarArith::IntToFloat, false>(b).run(begin, end);
}
int ApplyInt(const Band<int32_t, State32s>& b, int begin, int end) {
    return HaarStage<int32_t, State32s, HaarArith::Int, false>(b).run(begin, end);
}
int ApplyMixedFloat(const Band<float, State32f>& b, int begin, int end) {
    return HaarStage<float, State32f, HaarArith::FloatInOrder, true>(b).run(begin, end);
}
int ApplyMixedIntToFloat(const Band<int32_t, State32f>& b, int begin, int end) {
    return HaarStage<int32_t, State32f, HaarArith::IntToFloat, true>(b).run(begin, end);
}
int ApplyMixedWide(const Band<int32_t, State32s>& b, int begin, int end) {
    return HaarStage<int32_t, State32s, HaarArith::IntWide, true>(b).run(begin, end);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/band_runner.h"
#include "core/checks.h"
#include "core/export.h"
#include "core/threads.h"
#include "objdetect/exports.h"

namespace zal {
HWY_EXPORT(ApplyFloat);
HWY_EXPORT(ApplyIntToFloat);
HWY_EXPORT(ApplyInt);
HWY_EXPORT(ApplyMixedFloat);
HWY_EXPORT(ApplyMixedIntToFloat);
HWY_EXPORT(ApplyMixedWide);

namespace objdetect {
namespace {

// Regions of at least this many windows per worker are split into bands: the
// documented threshold, kept for compatibility (results never depend on it).
constexpr long long kParallelWindowsPerThread = 22500;

// The windows of rows [begin, end) on the best target; returns the number accepted.
template <class Table, class State, HaarArith A, bool Mixed>
int runBand(const HaarBand<Table, State>& band, int begin, int end) {
    if constexpr (A == HaarArith::Float) return HWY_DYNAMIC_DISPATCH(ApplyFloat)(band, begin, end);
    else if constexpr (A == HaarArith::Int) return HWY_DYNAMIC_DISPATCH(ApplyInt)(band, begin, end);
    else if constexpr (A == HaarArith::FloatInOrder) return HWY_DYNAMIC_DISPATCH(ApplyMixedFloat)(band, begin, end);
    else if constexpr (A == HaarArith::IntWide) return HWY_DYNAMIC_DISPATCH(ApplyMixedWide)(band, begin, end);
    else if constexpr (Mixed) return HWY_DYNAMIC_DISPATCH(ApplyMixedIntToFloat)(band, begin, end);
    else return HWY_DYNAMIC_DISPATCH(ApplyIntToFloat)(band, begin, end);
}

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

    const HaarBand<Table, State> band{&state, images, offsets, threshold, scaleFactor < -63 ? 64 : -scaleFactor};
    int accepted = 0;
    const int width = images.mask.width, height = images.mask.height;
    const long long windows = static_cast<long long>(width) * height;
    if (Parallel && windows >= owncvGetMaxNumThreads() * kParallelWindowsPerThread) {
        // Bands own disjoint mask rows; the counts are added in band order.
        runBands(
            height, 0, [&](int, int begin, int end, int& count) { count = runBand<Table, State, A, Mixed>(band, begin, end); },
            [&](const int& count) { accepted += count; });
    } else {
        accepted = runBand<Table, State, A, Mixed>(band, 0, height);
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
    if constexpr (A == HaarArith::IntWide) ZAL_CHECK(failIf(scaleFactor > 0, StatusBadArgument));

    HaarImages<Table, typename HaarTraits<State>::Value> images;
    images.upright = image(pSrc, srcStep, roi);
    // Tilted classifiers read their table with the window origin at (py + 1, px + 1).
    if constexpr (Mixed) images.tilted = image(pTilted, tiltedStep, roi).offset(1, 1, 1, roi.width, roi.height);
    images.norm = image(pNorm, normStep, roi);
    images.mask = image(pMask, maskStep, roi);
    return applyHaarStage<Table, State, A, Mixed, Parallel>(images, threshold, *pState, scaleFactor, pPositive);
}

}  // namespace
}  // namespace objdetect
}  // namespace zal

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
#endif  // HWY_ONCE
