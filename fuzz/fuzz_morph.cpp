// Morph family: flat-mask states with dilation and erosion, advanced
// morphology, grayscale-kernel morphology and reconstruction.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

ImageSize maskSize(Fuzz& f) { return f.pick(8) ? ImageSize{f.range(1, 5), f.range(1, 5)} : f.roi(); }
int borderArg(Fuzz& f) { return f.pick(8) ? BorderReplicate : f.i32(); }
int areaOf(ImageSize s) { return s.width > 0 && s.height > 0 ? s.width * s.height : 1; }

// A state pointer slot: on error it must keep its value or become null.
template <class S>
struct Slot {
    S** p;
    explicit Slot(Fuzz& f) : p(f.array<S*>(1, Role::Free)) {}
    void check(int status) const {
        static const uintptr_t kPattern = 0xA5A5A5A5A5A5A5A5ULL;
        if (status < 0 && *p && reinterpret_cast<uintptr_t>(*p) != kPattern) {
            std::fprintf(stderr, "state pointer written on error %d\n", status);
            __builtin_trap();
        }
        if (status < 0 || reinterpret_cast<uintptr_t>(*p) == kPattern) *p = nullptr;
    }
};

// ---- flat-mask states: the six (type, channels) members ----
using GetSizeFn = StatusCode (*)(int, const u8*, ImageSize, int*);
using InitFn = StatusCode (*)(int, const u8*, ImageSize, ImagePoint, MorphologyState*);
using InitAllocFn = StatusCode (*)(int, const u8*, ImageSize, ImagePoint, MorphologyState**);
struct MorphKind {
    const char* getSizeName;
    GetSizeFn getSize;
    const char* initName;
    InitFn init;
    const char* initAllocName;
    InitAllocFn initAlloc;
};
#define KIND(t, c)                                                                                              \
    MorphKind {                                                                                                 \
        "zaliMorphologyGetSize_" #t "_C" #c "R", zaliMorphologyGetSize_##t##_C##c##R,                          \
            "zaliMorphologyInit_" #t "_C" #c "R", zaliMorphologyInit_##t##_C##c##R,                             \
            "zaliMorphologyInitAlloc_" #t "_C" #c "R", zaliMorphologyInitAlloc_##t##_C##c##R                    \
    }
const MorphKind kKinds[6] = {KIND(8u, 1), KIND(8u, 3), KIND(8u, 4), KIND(32f, 1), KIND(32f, 3), KIND(32f, 4)};

// Builds a flat-mask state of kind k (or, rarely, another kind) for rows up
// to roiWidth: in caller memory or by InitAlloc. Null when building failed.
// *owned receives a state to release with zaliMorphologyFree.
MorphologyState* flatState(Fuzz& f, int k, int roiWidth, MorphologyState** owned) {
    *owned = nullptr;
    if (f.oneIn(16)) k = f.pick(6);
    const MorphKind& kind = kKinds[k];
    const ImageSize ms = maskSize(f);
    const u8* mask = f.array<u8>(areaOf(ms), Role::In, Fill::Mask);
    const ImagePoint anchor = f.point(ms);
    if (f.pick(2)) {
        int* bytes = f.result<int>();
        const int qs = FZ_QUERY(f, kind.getSize, kind.getSizeName, roiWidth, f.p(mask), ms, bytes);
        if (qs != 0) return nullptr;
        auto* state = reinterpret_cast<MorphologyState*>(f.array<u8>(*bytes, Role::Out));
        const int st = FZ_QUERY(f, kind.init, kind.initName, roiWidth, f.p(mask), ms, anchor, f.p(state));
        return st == 0 ? state : nullptr;
    }
    Slot<MorphologyState> slot(f);
    const int st = FZ_QUERY(f, kind.initAlloc, kind.initAllocName, roiWidth, f.p(mask), ms, anchor, f.p(slot.p));
    slot.check(st);
    *owned = *slot.p;
    return st == 0 ? *slot.p : nullptr;
}

template <class T, int Ch>
void dilateErode(Fuzz& f, const char* name, int kind,
                 StatusCode (*fn)(const T*, int, T*, int, ImageSize, int, MorphologyState*)) {
    const ImageSize roi = f.roi();
    MorphologyState* owned;
    MorphologyState* state = flatState(f, kind, f.pick(4) ? roi.width : f.dim(), &owned);
    const int border = borderArg(f);
    auto src = f.in<T>(roi, Ch);
    auto dst = f.out<T>(roi, Ch);
    if (state || f.oneIn(8)) f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, border, state); });
    if (owned) FZ(f, zaliMorphologyFree, owned);
}

// ---- advanced morphology ----
using AdvGetSizeFn = StatusCode (*)(ImageSize, const u8*, ImageSize, int*);
using AdvInitFn = StatusCode (*)(MorphAdvState*, ImageSize, const u8*, ImageSize, ImagePoint);
using AdvInitAllocFn = StatusCode (*)(MorphAdvState**, ImageSize, const u8*, ImageSize, ImagePoint);
struct AdvKind {
    const char* getSizeName;
    AdvGetSizeFn getSize;
    const char* initName;
    AdvInitFn init;
    const char* initAllocName;
    AdvInitAllocFn initAlloc;
};
#define ADVKIND(t, c)                                                                                   \
    AdvKind {                                                                                           \
        "zaliMorphAdvGetSize_" #t "_C" #c "R", zaliMorphAdvGetSize_##t##_C##c##R,                      \
            "zaliMorphAdvInit_" #t "_C" #c "R", zaliMorphAdvInit_##t##_C##c##R,                         \
            "zaliMorphAdvInitAlloc_" #t "_C" #c "R", zaliMorphAdvInitAlloc_##t##_C##c##R                \
    }
const AdvKind kAdvKinds[6] = {ADVKIND(8u, 1), ADVKIND(8u, 3), ADVKIND(8u, 4), ADVKIND(32f, 1), ADVKIND(32f, 3), ADVKIND(32f, 4)};

template <class T, int Ch>
void advanced(Fuzz& f, const char* name, int k, StatusCode (*fn)(const T*, int, T*, int, ImageSize, int, MorphAdvState*)) {
    const ImageSize roi = f.roi();
    const ImageSize stateRoi = f.pick(4) ? roi : f.roi();
    if (f.oneIn(16)) k = f.pick(6);
    const AdvKind& kind = kAdvKinds[k];
    const ImageSize ms = maskSize(f);
    const u8* mask = f.array<u8>(areaOf(ms), Role::In, Fill::Mask);
    const ImagePoint anchor = f.point(ms);
    MorphAdvState* state = nullptr;
    MorphAdvState* owned = nullptr;
    if (f.pick(2)) {
        int* bytes = f.result<int>();
        const int qs = FZ_QUERY(f, kind.getSize, kind.getSizeName, stateRoi, f.p(mask), ms, bytes);
        if (qs == 0 && *bytes < (64 << 20)) {
            auto* mem = reinterpret_cast<MorphAdvState*>(f.array<u8>(*bytes, Role::Out));
            if (FZ_QUERY(f, kind.init, kind.initName, f.p(mem), stateRoi, f.p(mask), ms, anchor) == 0) state = mem;
        }
    } else {
        Slot<MorphAdvState> slot(f);
        const int st = FZ_QUERY(f, kind.initAlloc, kind.initAllocName, f.p(slot.p), stateRoi, f.p(mask), ms, anchor);
        slot.check(st);
        state = owned = *slot.p;
    }
    const int border = borderArg(f);
    auto src = f.in<T>(roi, Ch);
    auto dst = f.out<T>(roi, Ch);
    if (state || f.oneIn(8)) f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, border, state); });
    if (owned) FZ(f, zaliMorphAdvFree, owned);
}

// ---- grayscale-kernel morphology ----
template <class T, class K>
void gray(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, T*, int, ImageSize, int, MorphGrayState*)) {
    constexpr bool is8u = sizeof(T) == 1;
    const ImageSize roi = f.roi();
    const ImageSize stateRoi = f.pick(4) ? roi : f.roi();
    const ImageSize ms = maskSize(f);
    const K* kernel = f.array<K>(areaOf(ms), Role::In, f.pick(2) ? Fill::SmallInt : Fill::Any);
    const ImagePoint anchor = f.point(ms);
    MorphGrayState* state = nullptr;
    MorphGrayState* owned = nullptr;
    if (f.pick(2)) {
        int* bytes = f.result<int>();
        int qs;
        if constexpr (is8u) qs = FZ(f, zaliMorphGrayGetSize_8u_C1R, stateRoi, f.p(kernel), ms, f.p(bytes));
        else qs = FZ(f, zaliMorphGrayGetSize_32f_C1R, stateRoi, f.p(kernel), ms, f.p(bytes));
        if (qs == 0) {
            auto* mem = reinterpret_cast<MorphGrayState*>(f.array<u8>(*bytes, Role::Out));
            int st;
            if constexpr (is8u) st = FZ(f, zaliMorphGrayInit_8u_C1R, f.p(mem), stateRoi, f.p(kernel), ms, anchor);
            else st = FZ(f, zaliMorphGrayInit_32f_C1R, f.p(mem), stateRoi, f.p(kernel), ms, anchor);
            if (st == 0) state = mem;
        }
    } else {
        Slot<MorphGrayState> slot(f);
        int st;
        if constexpr (is8u) st = FZ(f, zaliMorphGrayInitAlloc_8u_C1R, f.p(slot.p), stateRoi, f.p(kernel), ms, anchor);
        else st = FZ(f, zaliMorphGrayInitAlloc_32f_C1R, f.p(slot.p), stateRoi, f.p(kernel), ms, anchor);
        slot.check(st);
        state = owned = *slot.p;
    }
    const int border = borderArg(f);
    auto src = f.in<T>(roi);
    auto dst = f.out<T>(roi);
    if (state || f.oneIn(8))
        f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, border, state); });
    if (owned) {
        if constexpr (is8u) FZ(f, zaliMorphGrayFree_8u_C1R, owned);
        else FZ(f, zaliMorphGrayFree_32f_C1R, owned);
    }
}

// ---- reconstruction ----
template <class T>
void reconstruct(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, T*, int, ImageSize, u8*, int),
                 StatusCode (*query)(ImageSize, int*), const char* queryName) {
    const ImageSize roi = f.roi();
    const int norm = f.pick(8) ? f.pick(2) : f.i32();
    auto src = f.in<T>(roi);
    auto marker = f.out<T>(roi);
    int* bytes = f.result<int>();
    const int qs = FZ_QUERY(f, query, queryName, roi, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(marker.ptr), marker.step, roi, f.p(buffer), norm); });
}

// ---- queries on their own ----
void flatQuery(Fuzz& f) {
    const MorphKind& kind = kKinds[f.pick(6)];
    const int w = f.pick(4) ? f.dim() : f.querySize().width;
    const ImageSize ms = f.pick(4) ? maskSize(f) : f.querySize();
    const u8* mask = f.array<u8>(ms.width > 0 && ms.height > 0 && ms.width * (long long)ms.height < 4096 ? ms.width * ms.height : 1, Role::In, Fill::Mask);
    int* bytes = f.result<int>();
    if ((long long)ms.width * ms.height >= 4096) return;
    FZ_QUERY(f, kind.getSize, kind.getSizeName, w, f.p(mask), ms, f.p(bytes));
}
void advQuery(Fuzz& f) {
    const AdvKind& kind = kAdvKinds[f.pick(6)];
    const ImageSize roi = f.querySize();
    const ImageSize ms = maskSize(f);
    const u8* mask = f.array<u8>(areaOf(ms), Role::In, Fill::Mask);
    int* bytes = f.result<int>();
    FZ_QUERY(f, kind.getSize, kind.getSizeName, roi, f.p(mask), ms, f.p(bytes));
}
void grayQuery(Fuzz& f) {
    const ImageSize roi = f.querySize();
    const ImageSize ms = maskSize(f);
    const int32_t* k8 = f.array<int32_t>(areaOf(ms), Role::In);
    const float* k32 = f.array<float>(areaOf(ms), Role::In);
    int* bytes = f.result<int>();
    if (f.pick(2)) FZ(f, zaliMorphGrayGetSize_8u_C1R, roi, f.p(k8), ms, f.p(bytes));
    else FZ(f, zaliMorphGrayGetSize_32f_C1R, roi, f.p(k32), ms, f.p(bytes));
}
void reconstructQuery(Fuzz& f) {
    const ImageSize roi = f.querySize();
    int* bytes = f.result<int>();
    if (f.pick(2)) FZ(f, zaliMorphReconstructGetBufferSize_8u_C1, roi, f.p(bytes));
    else FZ(f, zaliMorphReconstructGetBufferSize_32f_C1, roi, f.p(bytes));
}
void freeNull(Fuzz& f) {
    switch (f.pick(4)) {
        case 0: FZ(f, zaliMorphologyFree, nullptr); break;
        case 1: FZ(f, zaliMorphAdvFree, nullptr); break;
        case 2: FZ(f, zaliMorphGrayFree_8u_C1R, nullptr); break;
        default: FZ(f, zaliMorphGrayFree_32f_C1R, nullptr); break;
    }
}

#define DE(op, T, t, c, k) \
    fz::Case{"zali" #op "BorderReplicate_" #t "_C" #c "R", [](Fuzz& f) { dilateErode<T, c>(f, "zali" #op "BorderReplicate_" #t "_C" #c "R", k, zali##op##BorderReplicate_##t##_C##c##R); }}
#define DE6(op) DE(op, uint8_t, 8u, 1, 0), DE(op, uint8_t, 8u, 3, 1), DE(op, uint8_t, 8u, 4, 2), DE(op, float, 32f, 1, 3), DE(op, float, 32f, 3, 4), DE(op, float, 32f, 4, 5)
#define ADV(op, T, t, c, k) \
    fz::Case{"zaliMorph" #op "Border_" #t "_C" #c "R", [](Fuzz& f) { advanced<T, c>(f, "zaliMorph" #op "Border_" #t "_C" #c "R", k, zaliMorph##op##Border_##t##_C##c##R); }}
#define ADV6(op) ADV(op, uint8_t, 8u, 1, 0), ADV(op, uint8_t, 8u, 3, 1), ADV(op, uint8_t, 8u, 4, 2), ADV(op, float, 32f, 1, 3), ADV(op, float, 32f, 3, 4), ADV(op, float, 32f, 4, 5)
#define GRAY(op, T, K, t) \
    fz::Case{"zaliGray" #op "Border_" #t "_C1R", [](Fuzz& f) { gray<T, K>(f, "zaliGray" #op "Border_" #t "_C1R", zaliGray##op##Border_##t##_C1R); }}
#define REC(op, T, t) \
    fz::Case{"zaliMorphReconstruct" #op "_" #t "_C1IR", [](Fuzz& f) { reconstruct<T>(f, "zaliMorphReconstruct" #op "_" #t "_C1IR", zaliMorphReconstruct##op##_##t##_C1IR, zaliMorphReconstructGetBufferSize_##t##_C1, "zaliMorphReconstructGetBufferSize_" #t "_C1"); }}

const fz::Case kCases[] = {
    DE6(Dilate), DE6(Erode),
    ADV6(Open), ADV6(Close), ADV6(Tophat), ADV6(Blackhat), ADV6(Gradient),
    GRAY(Dilate, uint8_t, int32_t, 8u), GRAY(Erode, uint8_t, int32_t, 8u),
    GRAY(Dilate, float, float, 32f), GRAY(Erode, float, float, 32f),
    REC(Dilate, uint8_t, 8u), REC(Erode, uint8_t, 8u), REC(Dilate, float, 32f), REC(Erode, float, 32f),
    fz::Case{"zaliMorphologyGetSize", flatQuery},
    fz::Case{"zaliMorphAdvGetSize", advQuery},
    fz::Case{"zaliMorphGrayGetSize", grayQuery},
    fz::Case{"zaliMorphReconstructGetBufferSize", reconstructQuery},
    fz::Case{"zaliMorphologyFree", freeNull},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
