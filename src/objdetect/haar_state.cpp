// Haar classifier states: construction from flat arrays, release, window
// size and the conversion of selected classifiers into tilted features.
#include <algorithm>
#include <cstdint>
#include <new>

#include "core/checks.h"
#include "objdetect/haar_state.h"
#include "objdetect/internal.h"

namespace zal::objdetect {
namespace {

enum class Placement {
    Upright,      // A (x+w, y+h), B (x, y+h), C (x+w, y), D (x, y)
    Tilted,       // A (x+w-h, y+w+h), B (x-h, y+h), C (x+w, y+w), D (x, y)
    TiltedSecond  // A (x, y+h), B (x-h, y), C (x+w, y+h-w), D (x+w-h, y-w)
};

// Corners of rectangle {x, y, w, h}. The coordinates wrap like the 32-bit
// values they are stored in rather than overflowing.
template <class T>
HaarRect<T> placeRect(Placement placement, int32_t x, int32_t y, int32_t w, int32_t h, T weight) {
    auto at = [](int32_t col, int32_t row) { return HaarCorner{col, row}; };
    switch (placement) {
        case Placement::Upright:
            return {at(wrapAdd(x, w), wrapAdd(y, h)), at(x, wrapAdd(y, h)), at(wrapAdd(x, w), y), at(x, y), weight};
        case Placement::Tilted:
            return {at(wrapSub(wrapAdd(x, w), h), wrapAdd(wrapAdd(y, w), h)), at(wrapSub(x, h), wrapAdd(y, h)),
                    at(wrapAdd(x, w), wrapAdd(y, w)), at(x, y), weight};
        case Placement::TiltedSecond:
        default:
            return {at(x, wrapAdd(y, h)), at(wrapSub(x, h), y), at(wrapAdd(x, w), wrapSub(wrapAdd(y, h), w)),
                    at(wrapSub(wrapAdd(x, w), h), wrapSub(y, w)), weight};
    }
}

bool invalidRect(const ImageRect& r, bool tilted) {
    return r.x < 0 || r.y < 0 || r.width < 1 || r.height < 1 ||
           (tilted && static_cast<long long>(r.x) + 1 < r.height);
}

template <class State, bool Tilted>
StatusCode initAlloc(State** ppState, const ImageRect* pFeature, const typename HaarTraits<State>::Value* pWeight,
                     const typename HaarTraits<State>::Value* pThreshold,
                     const typename HaarTraits<State>::Value* pVal1, const typename HaarTraits<State>::Value* pVal2,
                     const int* pNum, int nClassifiers) {
    using V = typename HaarTraits<State>::Value;
    ZAL_CHECK(requireNonNull(ppState, pFeature, pWeight, pThreshold, pVal1, pVal2, pNum));
    ZAL_CHECK(failIf(nClassifiers < 0, StatusSizeError));
    long long totalRects = 0;
    for (int k = 0; k < nClassifiers; ++k) {
        ZAL_CHECK(failIf(pNum[k] < 1, StatusSizeError));
        totalRects += pNum[k];
    }
    const long long bytes = static_cast<long long>(sizeof(State)) +
                            static_cast<long long>(nClassifiers) * sizeof(HaarClassifier<V>) +
                            totalRects * static_cast<long long>(sizeof(HaarRect<V>));
    uint8_t* block = bytes <= INT32_MAX ? zalsMalloc_8u(static_cast<int>(bytes)) : nullptr;
    ZAL_CHECK(failIf(block == nullptr, StatusNoMemory));

    State* state = new (block) State{};
    auto* classifiers = reinterpret_cast<HaarClassifier<V>*>(block + sizeof(State));
    auto* rectOut = reinterpret_cast<HaarRect<V>*>(classifiers + nClassifiers);
    HaarClassifier<V>* out = classifiers;
    bool invalid = false;
    // Appends every classifier that `take` selects, in input order.
    auto pass = [&](auto take) {
        long long firstRect = 0;
        for (int k = 0; k < nClassifiers; firstRect += pNum[k], ++k) {
            if (!take(pNum[k])) continue;
            out->rectCount = pNum[k];
            out->rects = rectOut;
            out->threshold = pThreshold[k];
            out->val1 = pVal1[k];
            out->val2 = pVal2[k];
            out->tag = static_cast<int32_t>(static_cast<uint32_t>(k) << kTagIndexShift) | (Tilted ? kTiltedTag : 0);
            for (int r = 0; r < pNum[k]; ++r) {
                const ImageRect& in = pFeature[firstRect + r];
                invalid = invalid || invalidRect(in, Tilted);
                *rectOut++ = placeRect<V>(Tilted ? Placement::Tilted : Placement::Upright, in.x, in.y, in.width,
                                          in.height, pWeight[firstRect + r]);
            }
            ++out;
        }
    };
    if constexpr (Tilted) {
        pass([](int) { return true; });
    } else {
        pass([](int n) { return n == 2; });
        state->twoRectCount = static_cast<int32_t>(out - classifiers);
        pass([](int n) { return n == 3; });
        state->twoOrThreeCount = static_cast<int32_t>(out - classifiers);
        pass([](int n) { return n != 2 && n != 3; });
    }
    if (invalid) {
        zalsFree(block);
        *ppState = nullptr;
        return StatusBadArgument;
    }
    state->classifierCount = nClassifiers;
    state->rectCount = static_cast<int32_t>(totalRects);
    state->classifiers = classifiers;
    state->tilted = Tilted ? 1 : 0;
    state->offsetCount = static_cast<int32_t>(totalRects);
    *ppState = state;
    return StatusOk;
}

template <class State>
StatusCode freeState(State* pState) {
    ZAL_CHECK(requireNonNull(pState));
    zalsFree(pState);
    return StatusOk;
}

template <class State>
StatusCode windowSize(const State* pState, ImageSize* pSize) {
    ZAL_CHECK(requireNonNull(pState, pSize));
    int32_t width = 0, height = 0;
    for (int k = 0; k < pState->classifierCount; ++k) {
        const auto& c = pState->classifiers[k];
        for (int r = 0; r < c.rectCount; ++r) {
            width = std::max(width, c.rects[r].c.col);
            height = std::max(height, c.rects[r].a.row);
        }
    }
    *pSize = ImageSize{width, height};
    return StatusOk;
}

template <class State>
StatusCode tiltFeatures(const uint8_t* pMask, int mode, State* pState) {
    ZAL_CHECK(requireNonNull(pState, pMask));
    ZAL_CHECK(failIf((pState->tilted & 1) != 0, StatusBadArgument));
    const int n = pState->classifierCount;
    int first = 0;
    while (first < n && pMask[first] == 0) ++first;
    if (first == n) return StatusOk;  // nothing selected: the state stays upright
    const Placement placement = mode != 0 ? Placement::Tilted : Placement::TiltedSecond;
    for (int i = first; i < n; ++i) {
        if (pMask[i] == 0) continue;
        auto* c = pState->classifiers;
        auto* end = c + n;
        while (c != end && (c->tag >> kTagIndexShift) != i) ++c;
        if (c == end) continue;
        c->tag = kTiltedTag;  // the index is not kept
        for (int r = 0; r < c->rectCount; ++r) {
            auto& rect = c->rects[r];
            const int32_t x = rect.d.col, y = rect.d.row;
            rect = placeRect(placement, x, y, wrapSub(rect.a.col, x), wrapSub(rect.a.row, y), rect.weight);
        }
    }
    pState->tilted |= 1;
    return StatusOk;
}

}  // namespace
}  // namespace zal::objdetect

using namespace zal::objdetect;

// Constructor exports: (name, state, element type, tilted placement).
#define ZAL_HAAR_INIT_ALLOC(NAME, STATE, T, TILTED)                                                                 \
    StatusCode NAME(STATE** ppState, const ImageRect* pFeature, const T* pWeight, const T* pThreshold,             \
                    const T* pVal1, const T* pVal2, const int* pNum, int nClassifiers) {                           \
        return initAlloc<STATE, TILTED>(ppState, pFeature, pWeight, pThreshold, pVal1, pVal2, pNum, nClassifiers); \
    }

extern "C" {

ZAL_HAAR_INIT_ALLOC(zaliHaarClassifierInitAlloc_32f, HaarClassifierState_32f, float, false)
ZAL_HAAR_INIT_ALLOC(zaliHaarClassifierInitAlloc_32s, HaarClassifierState_32s, int32_t, false)
ZAL_HAAR_INIT_ALLOC(zaliTiltedHaarClassifierInitAlloc_32f, HaarClassifierState_32f, float, true)
ZAL_HAAR_INIT_ALLOC(zaliTiltedHaarClassifierInitAlloc_32s, HaarClassifierState_32s, int32_t, true)

StatusCode zaliHaarClassifierFree_32f(HaarClassifierState_32f* pState) { return freeState(pState); }
StatusCode zaliHaarClassifierFree_32s(HaarClassifierState_32s* pState) { return freeState(pState); }
StatusCode zaliGetHaarClassifierSize_32f(const HaarClassifierState_32f* pState, ImageSize* pSize) {
    return windowSize(pState, pSize);
}
StatusCode zaliGetHaarClassifierSize_32s(const HaarClassifierState_32s* pState, ImageSize* pSize) {
    return windowSize(pState, pSize);
}
StatusCode zaliTiltHaarFeatures_32f(const uint8_t* pMask, int mode, HaarClassifierState_32f* pState) {
    return tiltFeatures(pMask, mode, pState);
}
StatusCode zaliTiltHaarFeatures_32s(const uint8_t* pMask, int mode, HaarClassifierState_32s* pState) {
    return tiltFeatures(pMask, mode, pState);
}

}  // extern "C"
