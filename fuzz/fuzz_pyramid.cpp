// Pyramid family: Gaussian 5x5 levels, pyramid descriptors and general
// layers, sub-pixel copies and pyramidal Lucas-Kanade flow.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

float rate(Fuzz& f) {
    switch (f.pick(8)) {
        case 0: return f.f32();
        case 1: return 1.0f + float(f.range(1, 900)) / 100.0f;
        case 2: return f.pick(2) ? 1.0f : 10.0f;
        default: return 2.0f;
    }
}
int half(int v) { return v > 0 ? (v + 1) / 2 : v; }
int twice(int v) { return v > 0 && v < (1 << 20) ? 2 * v : v; }

// ---- Gaussian 5x5 levels ----
template <class T, int Ch, bool Down>
void gauss(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, T*, int, ImageSize, u8*), int type) {
    const ImageSize roi = f.roi();
    const ImageSize dstRoi = Down ? ImageSize{half(roi.width), half(roi.height)} : ImageSize{twice(roi.width), twice(roi.height)};
    auto src = f.in<T>(roi, Ch);
    auto dst = f.out<T>(dstRoi, Ch);
    int* bytes = f.result<int>();
    const int w = roi.width;
    int qs;
    if (Down) qs = FZ(f, zaliPyrDownGetBufSize_Gauss5x5, w, type, Ch, bytes);
    else qs = FZ(f, zaliPyrUpGetBufSize_Gauss5x5, w, type, Ch, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, f.p(buffer)); });
}
void gaussQuery(Fuzz& f) {
    const int w = f.pick(4) ? f.dim() : f.querySize().width;
    static const int kTypes[] = {DataType8u, DataType8s, DataType32f, DataType16u};
    const int type = f.pick(4) ? kTypes[f.pick(4)] : f.i32();
    const int ch = f.pick(4) ? 1 + 2 * f.pick(2) : f.i32();
    int* bytes = f.result<int>();
    if (f.pick(2)) FZ(f, zaliPyrDownGetBufSize_Gauss5x5, w, type, ch, f.p(bytes));
    else FZ(f, zaliPyrUpGetBufSize_Gauss5x5, w, type, ch, f.p(bytes));
}

// ---- descriptors and ROI queries ----
void pyramidStruct(Fuzz& f) {
    const ImageSize roi = f.pick(4) ? f.roi() : f.querySize();
    const int level = f.pick(4) ? f.range(1, 6) : f.i32();
    const float r = rate(f);
    Pyramid** slot = f.array<Pyramid*>(1, Role::Free);
    *slot = nullptr;
    const int st = FZ(f, zaliPyramidInitAlloc, f.p(slot), level, roi, r);
    if (st < 0 && *slot) __builtin_trap();
    if (st == 0) FZ(f, zaliPyramidFree, *slot);
    else if (f.oneIn(4)) FZ(f, zaliPyramidFree, nullptr);
}
void roiQueries(Fuzz& f) {
    const ImageSize roi = f.pick(4) ? f.roi() : f.querySize();
    const float r = rate(f);
    ImageSize* a = f.result<ImageSize>();
    ImageSize* b = f.result<ImageSize>();
    if (f.pick(2)) FZ(f, zaliGetPyramidDownROI, roi, f.p(a), r);
    else FZ(f, zaliGetPyramidUpROI, roi, f.p(a), f.p(b), r);
}

// ---- general layers ----
template <class T, class K, int Ch, bool Down>
void layer(Fuzz& f, const char* name,
           StatusCode (*init)(PyramidLayerState**, ImageSize, float, const K*, int, int), const char* initName,
           StatusCode (*op)(const T*, int, ImageSize, T*, int, ImageSize, PyramidLayerState*),
           StatusCode (*freeFn)(PyramidLayerState*), const char* freeName) {
    const ImageSize srcRoi = f.roi();
    const ImageSize stateRoi = f.pick(4) ? srcRoi : f.roi();
    const float r = rate(f);
    const int kerSize = f.pick(8) ? 3 + 2 * f.range(0, 3) : f.i32();
    const int mode = f.pick(8) ? 2 : f.i32();
    K* kernel = f.array<K>(kerSize > 0 && kerSize < 64 ? kerSize : 1, Role::In, Fill::SmallInt);
    if (kerSize >= 64) return;
    if (f.pick(2)) {  // a plausible normalised symmetric kernel
        for (int i = 0; i < kerSize; ++i) {
            const int d = i < kerSize - 1 - i ? i : kerSize - 1 - i;
            kernel[i] = sizeof(K) == 2 ? K(1024 * (d + 1)) : K(float(d + 1) / float(kerSize * kerSize));
        }
    }
    PyramidLayerState** slot = f.array<PyramidLayerState*>(1, Role::Free);
    *slot = nullptr;
    const int st = FZ_QUERY(f, init, initName, f.p(slot), stateRoi, r, f.p(kernel), kerSize, mode);
    if (st < 0 && *slot) __builtin_trap();
    PyramidLayerState* state = st >= 0 ? *slot : nullptr;

    // Destination: the down size, or a size in the up range, of the source.
    ImageSize dstRoi = f.roi();
    if (f.pick(4)) {
        ImageSize* lo = f.result<ImageSize>();
        ImageSize* hi = f.result<ImageSize>();
        if (Down) {
            if (FZ(f, zaliGetPyramidDownROI, srcRoi, lo, r) == 0) dstRoi = *lo;
        } else if (FZ(f, zaliGetPyramidUpROI, srcRoi, lo, hi, r) == 0) {
            dstRoi = ImageSize{f.range(lo->width, hi->width < lo->width ? lo->width : hi->width),
                               f.range(lo->height, hi->height < lo->height ? lo->height : hi->height)};
        }
    }
    if (dstRoi.width > 200 || dstRoi.height > 200) dstRoi = f.roi();
    auto src = f.in<T>(srcRoi, Ch);
    auto dst = f.out<T>(dstRoi, Ch);
    if (state || f.oneIn(8))
        f.run(name, [&] { return op(f.p(src.ptr), src.step, srcRoi, f.p(dst.ptr), dst.step, dstRoi, state); });
    if (state) {
        if (f.pick(2)) FZ_QUERY(f, freeFn, freeName, state);
        else if (Down) FZ(f, zaliPyramidLayerDownFree, state);
        else FZ(f, zaliPyramidLayerUpFree, state);
    }
}
void layerFreeNull(Fuzz& f) {
    StatusCode (*const frees[])(PyramidLayerState*) = {
        zaliPyramidLayerDownFree, zaliPyramidLayerUpFree, zaliPyramidLayerDownFree_8u_C1R, zaliPyramidLayerUpFree_32f_C3R};
    FZ_QUERY(f, frees[f.pick(4)], "zaliPyramidLayerFree", nullptr);
}

// ---- sub-pixel copies ----
float fraction(Fuzz& f) { return f.pick(4) ? float(f.range(0, 255)) / 256.0f : f.f32(); }
template <class S, class D, bool Sfs>
void subpix(Fuzz& f, const char* name, auto fn) {
    const ImageSize roi = f.roi();
    // The block read is one column and one row larger than the ROI.
    const ImageSize srcRoi{roi.width > 0 ? roi.width + 1 : roi.width, roi.height > 0 ? roi.height + 1 : roi.height};
    auto src = f.in<S>(srcRoi);
    auto dst = f.out<D>(roi);
    const float dx = fraction(f), dy = fraction(f);
    const int sf = f.pick(4) ? f.range(0, 8) : f.i32();
    f.run(name, [&] {
        if constexpr (Sfs) return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, dx, dy, sf);
        else return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, dx, dy);
    });
}
template <class S, class D, bool Sfs>
void subpixIntersect(Fuzz& f, const char* name, auto fn) {
    const ImageSize srcRoi = f.roi(), dstRoi = f.roi();
    auto src = f.in<S>(srcRoi);
    auto dst = f.out<D>(dstRoi);
    const float px = f.pick(4) ? float(f.range(-100, 1000)) / 8.0f : f.f32();
    const float py = f.pick(4) ? float(f.range(-100, 1000)) / 8.0f : f.f32();
    ImagePoint* lo = f.result<ImagePoint>();
    ImagePoint* hi = f.result<ImagePoint>();
    const int sf = f.pick(4) ? f.range(0, 8) : f.i32();
    f.run(name, [&] {
        if constexpr (Sfs) return fn(f.p(src.ptr), src.step, srcRoi, f.p(dst.ptr), dst.step, dstRoi, px, py, f.p(lo), f.p(hi), sf);
        else return fn(f.p(src.ptr), src.step, srcRoi, f.p(dst.ptr), dst.step, dstRoi, px, py, f.p(lo), f.p(hi));
    });
}

// ---- optical flow ----
// A pyramid whose level images are input blocks of the level sizes.
template <class T>
Pyramid* flowPyramid(Fuzz& f, ImageSize roi, int levels) {
    Pyramid** slot = f.array<Pyramid*>(1, Role::Free);
    *slot = nullptr;
    if (FZ(f, zaliPyramidInitAlloc, slot, levels, roi, 2.0f) != 0) return nullptr;
    Pyramid* p = *slot;
    for (int l = 0; l <= p->topLevel; ++l) {
        // Level steps are the caller's promise (nothing checks them), so
        // rows stay aligned to the element.
        auto img = f.alignedImage<T>(p->levelSizes[l], 1, Role::In, f.pick(2) ? Fill::Any : Fill::SmallInt);
        p->levelImages[l] = img.ptr;
        p->levelSteps[l] = img.step;
    }
    return p;
}
template <class T>
void flow(Fuzz& f, const char* name, StatusCode (*initAlloc)(OpticalFlowState**, ImageSize, int, int),
          const char* initName, StatusCode (*track)(const Pyramid*, const Pyramid*, const float*, float*, int8_t*, float*, int, int, int, int, float, OpticalFlowState*),
          StatusCode (*freeFn)(OpticalFlowState*), const char* freeName) {
    ImageSize roi = f.roi();
    if (roi.width < 1 || roi.height < 1) roi = ImageSize{f.range(1, 40), f.range(1, 40)};
    const int levels = f.range(1, 4);
    const int win = f.pick(8) ? f.range(1, 9) : f.i32();
    const ImageSize stateRoi = f.pick(4) ? ImageSize{f.range(1, 16), f.range(1, 16)} : f.roi();
    OpticalFlowState** slot = f.array<OpticalFlowState*>(1, Role::Free);
    *slot = nullptr;
    const int st = FZ_QUERY(f, initAlloc, initName, f.p(slot), stateRoi, f.pick(8) ? win : f.i32(), f.i32());
    if (st < 0 && *slot) __builtin_trap();
    OpticalFlowState* state = st == 0 ? *slot : nullptr;
    Pyramid* p1 = flowPyramid<T>(f, roi, levels);
    Pyramid* p2 = flowPyramid<T>(f, roi, levels);
    const int n = f.pick(8) ? f.range(1, 12) : f.i32();
    const int count = n > 0 && n <= 64 ? n : 1;
    float* prev = f.array<float>(2 * count, Role::In);
    float* next = f.array<float>(2 * count, Role::Out);
    for (int i = 0; i < 2 * count; ++i) {
        const float extent = float(i % 2 ? roi.height : roi.width);
        if (f.pick(4)) prev[i] = float(f.range(-8, int(extent) * 8 + 8)) / 8.0f;
        next[i] = f.pick(4) ? prev[i] + float(f.range(-16, 16)) / 8.0f : f.f32();
    }
    int8_t* status = f.array<int8_t>(count, Role::Out);
    float* error = f.array<float>(count, Role::Out);
    const int maxLev = f.pick(8) ? f.range(0, levels) : f.i32();
    // A huge iteration count with a zero threshold is a correct but long run
    // (every point iterates that often on every level): positive counts stay
    // below 64, non-positive ones (refused) keep their whole range.
    int maxIter = f.pick(8) ? f.range(1, 10) : f.i32();
    if (maxIter > 64) maxIter = 1 + maxIter % 64;
    const float thr = f.pick(4) ? float(f.range(0, 100)) / 1000.0f : f.f32();
    if (p1 && p2 && (state || f.oneIn(8)) && n <= 64) {
        f.run(name, [&] {
            return track(f.p(p1), f.p(p2), f.p(prev), f.p(next), f.p(status), f.p(error), n, win, maxLev, maxIter, thr,
                         state);
        });
    }
    if (p1) FZ(f, zaliPyramidFree, p1);
    if (p2) FZ(f, zaliPyramidFree, p2);
    if (state) FZ_QUERY(f, freeFn, freeName, state);
}

#define GAUSS(dir, T, t, c, type, down) \
    fz::Case{"zaliPyr" #dir "_Gauss5x5_" #t "_C" #c "R", [](Fuzz& f) { gauss<T, c, down>(f, "zaliPyr" #dir "_Gauss5x5_" #t "_C" #c "R", zaliPyr##dir##_Gauss5x5_##t##_C##c##R, type); }}
#define GAUSS6(dir, down) GAUSS(dir, uint8_t, 8u, 1, 1, down), GAUSS(dir, uint8_t, 8u, 3, 1, down), GAUSS(dir, int8_t, 8s, 1, 2, down), GAUSS(dir, int8_t, 8s, 3, 2, down), GAUSS(dir, float, 32f, 1, 9, down), GAUSS(dir, float, 32f, 3, 9, down)
#define LAYER(dir, T, K, t, c, down)                                                                          \
    fz::Case{"zaliPyramidLayer" #dir "_" #t "_C" #c "R", [](Fuzz& f) {                                       \
        layer<T, K, c, down>(f, "zaliPyramidLayer" #dir "_" #t "_C" #c "R", zaliPyramidLayer##dir##InitAlloc_##t##_C##c##R, \
                             "zaliPyramidLayer" #dir "InitAlloc_" #t "_C" #c "R", zaliPyramidLayer##dir##_##t##_C##c##R, \
                             zaliPyramidLayer##dir##Free_##t##_C##c##R, "zaliPyramidLayer" #dir "Free_" #t "_C" #c "R"); }}
#define LAYER6(dir, down) LAYER(dir, uint8_t, int16_t, 8u, 1, down), LAYER(dir, uint8_t, int16_t, 8u, 3, down), LAYER(dir, uint16_t, int16_t, 16u, 1, down), LAYER(dir, uint16_t, int16_t, 16u, 3, down), LAYER(dir, float, float, 32f, 1, down), LAYER(dir, float, float, 32f, 3, down)
#define SUB(S, D, sfs, fn) fz::Case{#fn, [](Fuzz& f) { subpix<S, D, sfs>(f, #fn, fn); }}
#define SUBI(S, D, sfs, fn) fz::Case{#fn, [](Fuzz& f) { subpixIntersect<S, D, sfs>(f, #fn, fn); }}
#define FLOW(T, t) \
    fz::Case{"zaliOpticalFlowPyrLK_" #t "_C1R", [](Fuzz& f) { flow<T>(f, "zaliOpticalFlowPyrLK_" #t "_C1R", zaliOpticalFlowPyrLKInitAlloc_##t##_C1R, "zaliOpticalFlowPyrLKInitAlloc_" #t "_C1R", zaliOpticalFlowPyrLK_##t##_C1R, zaliOpticalFlowPyrLKFree_##t##_C1R, "zaliOpticalFlowPyrLKFree_" #t "_C1R"); }}

const fz::Case kCases[] = {
    GAUSS6(Down, true), GAUSS6(Up, false),
    fz::Case{"zaliPyrGetBufSize_Gauss5x5", gaussQuery},
    fz::Case{"zaliPyramidInitAlloc", pyramidStruct},
    fz::Case{"zaliGetPyramidROI", roiQueries},
    LAYER6(Down, true), LAYER6(Up, false),
    fz::Case{"zaliPyramidLayerFree", layerFreeNull},
    SUB(uint8_t, uint8_t, false, zaliCopySubpix_8u_C1R), SUB(uint8_t, uint16_t, true, zaliCopySubpix_8u16u_C1R_Sfs),
    SUB(uint16_t, uint16_t, false, zaliCopySubpix_16u_C1R), SUB(uint8_t, float, false, zaliCopySubpix_8u32f_C1R),
    SUB(uint16_t, float, false, zaliCopySubpix_16u32f_C1R), SUB(float, float, false, zaliCopySubpix_32f_C1R),
    SUBI(uint8_t, uint8_t, false, zaliCopySubpixIntersect_8u_C1R), SUBI(uint8_t, uint16_t, true, zaliCopySubpixIntersect_8u16u_C1R_Sfs),
    SUBI(uint16_t, uint16_t, false, zaliCopySubpixIntersect_16u_C1R), SUBI(uint8_t, float, false, zaliCopySubpixIntersect_8u32f_C1R),
    SUBI(uint16_t, float, false, zaliCopySubpixIntersect_16u32f_C1R), SUBI(float, float, false, zaliCopySubpixIntersect_32f_C1R),
    FLOW(uint8_t, 8u), FLOW(uint16_t, 16u), FLOW(float, 32f),
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
