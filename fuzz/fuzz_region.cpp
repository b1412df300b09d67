// Region family: chamfer and exact distance transforms, flood fills,
// watershed and segment boundaries, fast marching and inpainting.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

Fill regionFill(Fuzz& f) { return f.pick(3) ? (f.pick(2) ? Fill::Mask : Fill::SmallInt) : Fill::Any; }

// ---- chamfer distance transform ----
void maskWeights(Fuzz& f) {
    const int k = f.pick(4) ? 3 + 2 * f.pick(2) : f.i32();
    const int norm = f.pick(4) ? f.range(0, 2) : f.i32();
    switch (f.pick(3)) {
        case 0: { int32_t* m = f.array<int32_t>(3, Role::Out); FZ(f, zaliGetDistanceTransformMask_32s, k, norm, f.p(m)); break; }
        case 1: { float* m = f.array<float>(3, Role::Out); FZ(f, zaliGetDistanceTransformMask_32f, k, norm, f.p(m)); break; }
        default: {
            const long long typical = 10LL * k + norm;
            const int type = f.pick(4) && typical == (int)typical ? (int)typical : f.i32();
            float* m = f.array<float>(3, Role::Out);
            FZ(f, zaliGetDistanceTransformMask, type, f.p(m));
        }
    }
}
template <class M>
const M* metrics(Fuzz& f) {
    M* m = f.array<M>(3, Role::In);
    if (f.pick(4)) {  // plausible weights
        m[0] = M(f.range(1, 5));
        m[1] = M(f.range(1, 8));
        m[2] = M(f.range(1, 12));
        if constexpr (sizeof(M) == 4 && M(0.5) != M(0))
            if (f.pick(2)) m[0] = 1.0f, m[1] = 1.4f, m[2] = 2.1969f;
    }
    return m;
}
template <class D, class M>
void chamfer(Fuzz& f, const char* name, StatusCode (*fn)(const u8*, int, D*, int, ImageSize, const M*)) {
    const ImageSize roi = f.roi();
    auto src = f.in<u8>(roi, 1, regionFill(f));
    auto dst = f.out<D>(roi);
    const M* m = metrics<M>(f);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, f.p(m)); });
}
void chamferI(Fuzz& f, const char* name, StatusCode (*fn)(u8*, int, ImageSize, const int32_t*)) {
    const ImageSize roi = f.roi();
    auto img = f.image<u8>(roi, 1, Role::Out, regionFill(f));
    const int32_t* m = metrics<int32_t>(f);
    f.run(name, [&] { return fn(f.p(img.ptr), img.step, roi, f.p(m)); });
}

// ---- exact distance transform ----
void trueDistance(Fuzz& f) {
    const ImageSize roi = f.roi();
    const bool to16 = f.pick(2);
    auto src = f.in<u8>(roi, 1, regionFill(f));
    int* bytes = f.result<int>();
    int qs;
    if (to16) qs = FZ(f, zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs, roi, bytes);
    else qs = FZ(f, zaliTrueDistanceTransformGetBufferSize_8u32f_C1R, roi, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    if (to16) {
        auto dst = f.out<uint16_t>(roi);
        const int sf = f.pick(4) ? f.range(-4, 8) : f.i32();
        FZ(f, zaliTrueDistanceTransform_8u16u_C1RSfs, f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, sf, f.p(buffer));
    } else {
        auto dst = f.out<float>(roi);
        FZ(f, zaliTrueDistanceTransform_8u32f_C1R, f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, f.p(buffer));
    }
}

// ---- flood fill ----
template <class T>
T fillValue(Fuzz& f) {
    if constexpr (sizeof(T) == 1) return f.pick(2) ? T(f.range(0, 4)) : f.u8();
    else return f.pick(2) ? T(f.range(0, 4)) : f.f32();
}
// Kind 0: plain, 1: range, 2: gradient. Ch 1 passes values, Ch 3 pointers.
template <class T, int Ch, int Kind, class Fn>
void flood(Fuzz& f, const char* name, Fn fn) {
    const ImageSize roi = f.roi();
    const ImagePoint seed = f.point(roi);
    auto img = f.image<T>(roi, Ch, Role::Out, f.pick(4) ? Fill::SmallInt : Fill::Any);
    T* vals = f.array<T>(3 * Ch, Role::In);
    for (int i = 0; i < 3 * Ch; ++i) vals[i] = fillValue<T>(f);
    ConnectedComponent* region = f.result<ConnectedComponent>();
    int* bytes = f.result<int>();
    const int qs = Kind == 2 ? FZ(f, zaliFloodFillGetSize_Grad, roi, bytes) : FZ(f, zaliFloodFillGetSize, roi, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] {
        if constexpr (Ch == 1 && Kind == 0) return fn(f.p(img.ptr), img.step, roi, seed, vals[0], f.p(region), f.p(buffer));
        else if constexpr (Ch == 1) return fn(f.p(img.ptr), img.step, roi, seed, vals[0], vals[1], vals[2], f.p(region), f.p(buffer));
        else if constexpr (Kind == 0) return fn(f.p(img.ptr), img.step, roi, seed, f.p(vals), f.p(region), f.p(buffer));
        else return fn(f.p(img.ptr), img.step, roi, seed, f.p(vals), f.p(vals + 3), f.p(vals + 6), f.p(region), f.p(buffer));
    });
}

// ---- watershed and boundaries ----
void watershed(Fuzz& f) {
    const ImageSize roi = f.roi();
    auto src = f.in<u8>(roi, 1, f.pick(2) ? Fill::SmallInt : Fill::Any);
    auto marker = f.image<u8>(roi, 1, Role::Out, f.pick(2) ? Fill::Mask : Fill::SmallInt);
    const int norm = f.pick(8) ? f.range(0, 4) : f.i32();
    const int flag = f.pick(4) ? 0x40 * f.range(0, 3) : f.i32();
    int* bytes = f.result<int>();
    const int qs = FZ(f, zaliSegmentWatershedGetBufferSize_8u_C1R, roi, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    FZ(f, zaliSegmentWatershed_8u_C1IR, f.p(src.ptr), src.step, f.p(marker.ptr), marker.step, roi, norm, flag, f.p(buffer));
}
void boundSegments(Fuzz& f) {
    const ImageSize roi = f.roi();
    auto marker = f.image<u8>(roi, 1, Role::Out, f.pick(2) ? Fill::SmallInt : Fill::Any);
    const u8 val = f.u8();
    const int flag = f.pick(4) ? f.pick(2) : f.i32();
    FZ(f, zaliBoundSegments_8u_C1IR, f.p(marker.ptr), marker.step, roi, val, flag);
}

// ---- fast marching and inpainting ----
void fastMarching(Fuzz& f) {
    const ImageSize roi = f.roi();
    auto src = f.in<u8>(roi, 1, Fill::Mask);
    auto dst = f.out<float>(roi);
    const float radius = f.pick(2) ? float(f.range(0, 6)) : f.f32();
    int* bytes = f.result<int>();
    const int qs = FZ(f, zaliFastMarchingGetBufferSize_8u32f_C1R, roi, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    FZ(f, zaliFastMarching_8u32f_C1R, f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, radius, f.p(buffer));
}
template <int Ch>
void inpaint(Fuzz& f) {
    const ImageSize roi = f.roi();
    const ImageSize imgRoi = f.pick(8) ? roi : f.roi();
    auto mask = f.in<u8>(roi, 1, Fill::Mask);
    // The distance map: from fast marching on the mask, or arbitrary.
    auto dist = f.image<float>(roi, 1, Role::Out);
    if (f.pick(2)) {
        int* bytes = f.result<int>();
        const int qs = FZ(f, zaliFastMarchingGetBufferSize_8u32f_C1R, roi, bytes);
        u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
        FZ(f, zaliFastMarching_8u32f_C1R, f.p(mask.ptr), mask.step, f.p(dist.ptr), dist.step, roi, float(f.range(0, 5)), f.p(buffer));
    }
    dist.region->role = Role::In;
    const float radius = f.pick(4) ? float(f.range(1, 6)) : f.f32();
    const int method = f.pick(8) ? f.pick(2) : f.i32();
    InpaintState** slot = f.array<InpaintState*>(1, Role::Free);
    *slot = nullptr;
    int st;
    if constexpr (Ch == 1)
        st = FZ(f, zaliInpaintInitAlloc_8u_C1R, f.p(slot), dist.ptr, dist.step, f.p(mask.ptr), mask.step, roi, radius, method);
    else
        st = FZ(f, zaliInpaintInitAlloc_8u_C3R, f.p(slot), dist.ptr, dist.step, f.p(mask.ptr), mask.step, roi, radius, method);
    if (st < 0 && *slot) __builtin_trap();
    InpaintState* state = st == 0 ? *slot : nullptr;
    auto src = f.in<u8>(imgRoi, Ch);
    auto dst = f.out<u8>(imgRoi, Ch);
    if (state || f.oneIn(8)) {
        if constexpr (Ch == 1) FZ(f, zaliInpaint_8u_C1R, f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, imgRoi, state);
        else FZ(f, zaliInpaint_8u_C3R, f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, imgRoi, state);
    }
    if (state) {
        if constexpr (Ch == 1) FZ(f, zaliInpaintFree_8u_C1R, state);
        else FZ(f, zaliInpaintFree_8u_C3R, state);
    }
}

// ---- queries on their own ----
void queries(Fuzz& f) {
    const ImageSize s = f.querySize();
    int* bytes = f.result<int>();
    switch (f.pick(6)) {
        case 0: FZ(f, zaliTrueDistanceTransformGetBufferSize_8u32f_C1R, s, f.p(bytes)); break;
        case 1: FZ(f, zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs, s, f.p(bytes)); break;
        case 2: FZ(f, zaliFloodFillGetSize, s, f.p(bytes)); break;
        case 3: FZ(f, zaliFloodFillGetSize_Grad, s, f.p(bytes)); break;
        case 4: FZ(f, zaliSegmentWatershedGetBufferSize_8u_C1R, s, f.p(bytes)); break;
        default: FZ(f, zaliFastMarchingGetBufferSize_8u32f_C1R, s, f.p(bytes)); break;
    }
}
void freeNull(Fuzz& f) {
    if (f.pick(2)) FZ(f, zaliInpaintFree_8u_C1R, nullptr);
    else FZ(f, zaliInpaintFree_8u_C3R, nullptr);
}

#define CH(fn, D, M) fz::Case{#fn, [](Fuzz& f) { chamfer<D, M>(f, #fn, fn); }}
#define CHI(fn) fz::Case{#fn, [](Fuzz& f) { chamferI(f, #fn, fn); }}
#define FL(kind, k, con, T, t, c) \
    fz::Case{"zaliFloodFill_" #kind #con "Con_" #t "_C" #c "IR", [](Fuzz& f) { flood<T, c, k>(f, "zaliFloodFill_" #kind #con "Con_" #t "_C" #c "IR", zaliFloodFill_##kind##con##Con_##t##_C##c##IR); }}
#define FL4(kind, k, con) FL(kind, k, con, uint8_t, 8u, 1), FL(kind, k, con, float, 32f, 1), FL(kind, k, con, uint8_t, 8u, 3), FL(kind, k, con, float, 32f, 3)

const fz::Case kCases[] = {
    fz::Case{"zaliGetDistanceTransformMask", maskWeights},
    CH(zaliDistanceTransform_3x3_8u_C1R, uint8_t, int32_t), CH(zaliDistanceTransform_5x5_8u_C1R, uint8_t, int32_t),
    CHI(zaliDistanceTransform_3x3_8u_C1IR), CHI(zaliDistanceTransform_5x5_8u_C1IR),
    CH(zaliDistanceTransform_3x3_8u16u_C1R, uint16_t, int32_t), CH(zaliDistanceTransform_5x5_8u16u_C1R, uint16_t, int32_t),
    CH(zaliDistanceTransform_3x3_8u32f_C1R, float, float), CH(zaliDistanceTransform_5x5_8u32f_C1R, float, float),
    fz::Case{"zaliTrueDistanceTransform", trueDistance},
    FL4(, 0, 4), FL4(, 0, 8), FL4(Range, 1, 4), FL4(Range, 1, 8), FL4(Grad, 2, 4), FL4(Grad, 2, 8),
    fz::Case{"zaliSegmentWatershed_8u_C1IR", watershed},
    fz::Case{"zaliBoundSegments_8u_C1IR", boundSegments},
    fz::Case{"zaliFastMarching_8u32f_C1R", fastMarching},
    fz::Case{"zaliInpaint_8u_C1R", inpaint<1>},
    fz::Case{"zaliInpaint_8u_C3R", inpaint<3>},
    fz::Case{"region queries", queries},
    fz::Case{"zaliInpaintFree", freeNull},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
