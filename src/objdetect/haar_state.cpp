// Haar classifier states: construction from flat arrays, release, window
// size and the conversion of selected classifiers into tilted features.
#include <algorithm>
#include <cstdint>
#include <new>
#include <type_traits>

#include "core/checks.h"
#include "objdetect/haar_state.h"
#include "objdetect/exports.h"
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

}  // namespace

template <class State>
long long haarStateBytes(const HaarInput<typename HaarTraits<State>::Value>& in) {
    using V = typename HaarTraits<State>::Value;
    return static_cast<long long>(sizeof(State)) + static_cast<long long>(in.classifiers) * sizeof(HaarClassifier<V>) +
           in.totalRects * static_cast<long long>(sizeof(HaarRect<V>));
}

template <class State, class G>
bool buildHaarState(void* block, const HaarInput<typename HaarTraits<State>::Value>& in) {
    using V = typename HaarTraits<State>::Value;
    constexpr bool kTilted = std::is_same_v<G, Tilted>;
    auto* bytes = static_cast<uint8_t*>(block);
    State* state = new (block) State{};
    auto* classifiers = reinterpret_cast<HaarClassifier<V>*>(bytes + sizeof(State));
    auto* rectOut = reinterpret_cast<HaarRect<V>*>(classifiers + in.classifiers);
    HaarClassifier<V>* out = classifiers;
    bool invalid = false;
    // Appends every classifier that `take` selects, in input order.
    auto pass = [&](auto take) {
        long long firstRect = 0;
        for (int k = 0; k < in.classifiers; firstRect += in.counts[k], ++k) {
            if (!take(in.counts[k])) continue;
            out->rectCount = in.counts[k];
            out->rects = rectOut;
            out->threshold = in.thresholds[k];
            out->val1 = in.val1[k];
            out->val2 = in.val2[k];
            out->tag = static_cast<int32_t>(static_cast<uint32_t>(k) << kTagIndexShift) | (kTilted ? kTiltedTag : 0);
            for (int r = 0; r < in.counts[k]; ++r) {
                const ImageRect& q = in.rects[firstRect + r];
                invalid = invalid || invalidRect(q, kTilted);
                *rectOut++ = placeRect<V>(kTilted ? Placement::Tilted : Placement::Upright, q.x, q.y, q.width,
                                          q.height, in.weights[firstRect + r]);
            }
            ++out;
        }
    };
    if constexpr (kTilted) {
        pass([](int) { return true; });
    } else {
        pass([](int n) { return n == 2; });
        state->twoRectCount = static_cast<int32_t>(out - classifiers);
        pass([](int n) { return n == 3; });
        state->twoOrThreeCount = static_cast<int32_t>(out - classifiers);
        pass([](int n) { return n != 2 && n != 3; });
    }
    state->classifierCount = in.classifiers;
    state->rectCount = static_cast<int32_t>(in.totalRects);
    state->classifiers = classifiers;
    state->tilted = kTilted ? 1 : 0;
    state->offsetCount = static_cast<int32_t>(in.totalRects);
    return !invalid;
}

template <class State>
ImageSize haarWindowSize(const State& state) {
    int32_t width = 0, height = 0;
    for (int k = 0; k < state.classifierCount; ++k) {
        const auto& c = state.classifiers[k];
        for (int r = 0; r < c.rectCount; ++r) {
            width = std::max(width, c.rects[r].c.col);
            height = std::max(height, c.rects[r].a.row);
        }
    }
    return ImageSize{width, height};
}

template <class State>
void tiltHaarFeatures(const uint8_t* mask, int mode, State& state) {
    const int n = state.classifierCount;
    int first = 0;
    while (first < n && mask[first] == 0) ++first;
    if (first == n) return;  // nothing selected: the state stays upright
    const Placement placement = mode != 0 ? Placement::Tilted : Placement::TiltedSecond;
    for (int i = first; i < n; ++i) {
        if (mask[i] == 0) continue;
        auto* c = state.classifiers;
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
    state.tilted |= 1;
}

namespace {

// Checks in order: pointers (-8), the classifier count and every rectangle
// count (-6), the block (-9); an invalid rectangle is found while the block
// is filled (-5, the block released and the state pointer cleared).
template <class State, class G, class V>
StatusCode initAlloc(State** ppState, const ImageRect* pFeature, const V* pWeight, const V* pThreshold,
                     const V* pVal1, const V* pVal2, const int* pNum, int nClassifiers) {
    ZAL_CHECK(requireNonNull(ppState, pFeature, pWeight, pThreshold, pVal1, pVal2, pNum));
    ZAL_CHECK(failIf(nClassifiers < 0, StatusSizeError));
    long long totalRects = 0;
    for (int k = 0; k < nClassifiers; ++k) {
        ZAL_CHECK(failIf(pNum[k] < 1, StatusSizeError));
        totalRects += pNum[k];
    }
    const HaarInput<V> in{pFeature, pWeight, pThreshold, pVal1, pVal2, pNum, nClassifiers, totalRects};
    const long long bytes = haarStateBytes<State>(in);
    uint8_t* block = bytes <= INT32_MAX ? zalsMalloc_8u(static_cast<int>(bytes)) : nullptr;
    ZAL_CHECK(failIf(block == nullptr, StatusNoMemory));
    if (!buildHaarState<State, G>(block, in)) {
        zalsFree(block);
        *ppState = nullptr;
        return StatusBadArgument;
    }
    *ppState = reinterpret_cast<State*>(block);
    return StatusOk;
}

}  // namespace
}  // namespace zal::objdetect

#define ZAL_HAAR_INIT(name, State, V, G)                                                                         \
    ZAL_DECLARED(name);                                                                                          \
    template bool zal::objdetect::buildHaarState<State, zal::objdetect::G>(void*, const HaarInput<V>&);           \
    extern "C" StatusCode name(State** ppState, const ImageRect* pFeature, const V* pWeight, const V* pThreshold, \
                               const V* pVal1, const V* pVal2, const int* pNum, int nClassifiers) {              \
        return zal::objdetect::initAlloc<State, zal::objdetect::G>(ppState, pFeature, pWeight, pThreshold, pVal1, \
                                                                   pVal2, pNum, nClassifiers);                   \
    }
#define ZAL_HAAR_FREE(name, State)                                                                               \
    ZAL_DECLARED(name);                                                                                          \
    extern "C" StatusCode name(State* pState) {                                                                  \
        ZAL_CHECK(zal::requireNonNull(pState));                                                                  \
        zalsFree(pState);                                                                                        \
        return StatusOk;                                                                                         \
    }
#define ZAL_HAAR_SIZE(name, State)                                                                               \
    ZAL_DECLARED(name);                                                                                          \
    template ImageSize zal::objdetect::haarWindowSize<State>(const State&);                                      \
    extern "C" StatusCode name(const State* pState, ImageSize* pSize) {                                         \
        ZAL_CHECK(zal::requireNonNull(pState, pSize));                                                           \
        *pSize = zal::objdetect::haarWindowSize(*pState);                                                        \
        return StatusOk;                                                                                         \
    }
#define ZAL_HAAR_TILT(name, State)                                                                               \
    ZAL_DECLARED(name);                                                                                          \
    template void zal::objdetect::tiltHaarFeatures<State>(const uint8_t*, int, State&);                          \
    extern "C" StatusCode name(const uint8_t* pMask, int mode, State* pState) {                                  \
        ZAL_CHECK(zal::requireNonNull(pState, pMask));                                                           \
        ZAL_CHECK(zal::failIf((pState->tilted & 1) != 0, StatusBadArgument));                                    \
        zal::objdetect::tiltHaarFeatures(pMask, mode, *pState);                                                  \
        return StatusOk;                                                                                         \
    }
using zal::objdetect::HaarInput;
ZAL_OBJDETECT_HAAR_INIT(ZAL_HAAR_INIT)
ZAL_OBJDETECT_HAAR_FREE(ZAL_HAAR_FREE)
ZAL_OBJDETECT_HAAR_SIZE(ZAL_HAAR_SIZE)
ZAL_OBJDETECT_HAAR_TILT(ZAL_HAAR_TILT)
