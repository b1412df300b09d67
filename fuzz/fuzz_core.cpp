// Core family: version record, vector helpers, absolute differences, copies,
// fills, subtraction and thresholds.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;

int scale(Fuzz& f) { return f.pick(4) ? f.range(-20, 20) : f.i32(); }

void version(Fuzz& f) {
    f.call("zalcvGetLibVersion");
    const LibraryVersion* v = zalcvGetLibVersion();
    if (!v || v != zalcvGetLibVersion() || !v->libraryName || !v->versionText || !v->buildDate) __builtin_trap();
}

// ---- the library's own allocator ----
// Reached through the library's symbol table: every block it gives is
// written end to end, 32-byte aligned, and given back.
template <class T>
void allocator(Fuzz& f, const char* name) {
    using AllocFn = T* (*)(int);
    using FreeFn = void (*)(void*);
    const auto alloc = reinterpret_cast<AllocFn>(fz::librarySymbol(name));
    const auto release = reinterpret_cast<FreeFn>(fz::librarySymbol("zalsFree"));
    if (!alloc || !release) __builtin_trap();
    // Lengths up to a few MiB (larger ones would be real allocations of
    // gigabytes), zero and negative ones.
    const int n = f.pick(4) ? f.len() : (f.pick(2) ? f.range(-2, 1 << 20) : INT32_MIN);
    f.call(name);
    T* p = alloc(n);
    if ((n < 1) != (p == nullptr)) __builtin_trap();
    if (p) {
        if (reinterpret_cast<uintptr_t>(p) % 32 != 0) __builtin_trap();
        std::memset(p, 0x5A, (size_t)n * sizeof(T));
    }
    f.call("zalsFree");
    release(p);
}

// ---- one-dimensional vectors ----
template <class T, StatusCode (*Fn)(T, T*, int)>
void vecSet(Fuzz& f, const char* name) {
    const int n = f.len();
    const T v = sizeof(T) == 1 ? T(f.u8()) : T(f.f32());
    T* d = f.array<T>(n, Role::Out);
    f.run(name, [&] { return Fn(v, f.p(d), n); });
}
template <class T, StatusCode (*Fn)(T*, int)>
void vecInPlace(Fuzz& f, const char* name) {
    const int n = f.len();
    T* d = f.array<T>(n, Role::Out);
    f.run(name, [&] { return Fn(f.p(d), n); });
}
template <class S, class D, StatusCode (*Fn)(const S*, D*, int)>
void vecUnary(Fuzz& f, const char* name) {
    const int n = f.len();
    const S* s = f.array<S>(n, Role::In);
    D* d = f.array<D>(n, Role::Out);
    f.run(name, [&] { return Fn(f.p(s), f.p(d), n); });
}
template <class T, StatusCode (*Fn)(const T*, const T*, T*, int)>
void vecBinary(Fuzz& f, const char* name) {
    const int n = f.len();
    const T* a = f.array<T>(n, Role::In);
    const T* b = f.array<T>(n, Role::In);
    T* d = f.array<T>(n, Role::Out);
    // The 8u and out-of-place 32f members check nothing: a null pointer is
    // the caller's fault there.
    f.run(name, [&] { return Fn(a, b, d, n); });
}
template <class T, StatusCode (*Fn)(const T*, T*, int)>
void vecBinaryI(Fuzz& f, const char* name) {
    const int n = f.len();
    const T* a = f.array<T>(n, Role::In);
    T* d = f.array<T>(n, Role::Out);
    f.run(name, [&] { return sizeof(T) != 1 ? Fn(f.p(a), f.p(d), n) : Fn(a, d, n); });
}

void mulC32f(Fuzz& f) {
    const int n = f.len();
    const float v = f.f32();
    float* d = f.array<float>(n, Role::Out);
    FZ(f, zalsMulC_32f_I, v, f.p(d), n);
}
void mulC16s(Fuzz& f) {
    const int n = f.len();
    const int16_t v = f.i16();
    const int sf = scale(f);
    int16_t* d = f.array<int16_t>(n, Role::Out);
    FZ(f, zalsMulC_16s_ISfs, v, f.p(d), n, sf);
}
void sqrt32s16s(Fuzz& f) {
    const int n = f.len();
    const int sf = scale(f);
    const int32_t* s = f.array<int32_t>(n, Role::In);
    int16_t* d = f.array<int16_t>(n, Role::Out);
    FZ(f, zalsSqrt_32s16s_Sfs, f.p(s), f.p(d), n, sf);
}

// ---- images ----

template <class T, StatusCode (*Fn)(const T*, int, const T*, int, T*, int, ImageSize)>
void binary(Fuzz& f, const char* name, int ch) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi, ch), b = f.in<T>(roi, ch);
    auto d = f.out<T>(roi, ch);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(b.ptr), b.step, f.p(d.ptr), d.step, roi); });
}
template <class T, StatusCode (*Fn)(const T*, int, T*, int, ImageSize)>
void unary(Fuzz& f, const char* name, int ch) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi, ch);
    auto d = f.image<T>(roi, ch, Role::Out);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(d.ptr), d.step, roi); });
}

template <class T, class V, StatusCode (*Fn)(const T*, int, T*, int, ImageSize, V)>
void absDiffC(Fuzz& f, const char* name) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi);
    auto d = f.out<T>(roi);
    V v;
    if constexpr (sizeof(V) == 4 && V(0.5) != V(0)) v = f.f32();
    else v = f.i32();
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(d.ptr), d.step, roi, v); });
}

// Destination: mostly the source plus the border on both sides, sometimes
// a little off; never more than 200 pixels a side.
ImageSize borderedSize(Fuzz& f, ImageSize src, int top, int left) {
    long long w = (long long)src.width + (f.pick(4) ? 2LL * left : f.range(-2, 8));
    long long h = (long long)src.height + (f.pick(4) ? 2LL * top : f.range(-2, 8));
    if (w > 200 || w < -200) w = f.dim();
    if (h > 200 || h < -200) h = f.dim();
    return ImageSize{(int)w, (int)h};
}

template <class T, StatusCode (*Fn)(const T*, int, ImageSize, T*, int, ImageSize, int, int)>
void copyBorder(Fuzz& f, const char* name, int ch) {
    const ImageSize src = f.roi();
    const int top = f.pick(6) ? f.range(0, 4) : f.i32(), left = f.pick(6) ? f.range(0, 4) : f.i32();
    const ImageSize dst = borderedSize(f, src, top, left);
    auto s = f.in<T>(src, ch);
    auto d = f.out<T>(dst, ch);
    f.run(name, [&] { return Fn(f.p(s.ptr), s.step, src, f.p(d.ptr), d.step, dst, top, left); });
}
template <class T, StatusCode (*Fn)(T*, int, ImageSize, ImageSize, int, int)>
void copyBorderI(Fuzz& f, const char* name, int ch) {
    const ImageSize src = f.roi();
    const int top = f.pick(6) ? f.range(0, 4) : f.i32(), left = f.pick(6) ? f.range(0, 4) : f.i32();
    const ImageSize dst = borderedSize(f, src, top, left);
    auto d = f.out<T>(dst, ch);
    // The source ROI sits top rows down and left pixels right inside the
    // destination; a border that does not fit leaves it at the corner (the
    // call must refuse such sizes before touching anything).
    T* s = d.ptr;
    if (top >= 0 && left >= 0 && top < dst.height && left < dst.width)
        s = reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(d.row(top)) + ptrdiff_t(left) * ch * sizeof(T));
    f.run(name, [&] { return Fn(f.p(s), d.step, src, dst, top, left); });
}

void set8u(Fuzz& f) {
    const ImageSize roi = f.roi();
    const uint8_t v = f.u8();
    auto d = f.out<uint8_t>(roi);
    FZ(f, zaliSet_8u_C1R, v, f.p(d.ptr), d.step, roi);
}

template <StatusCode (*Fn)(const uint8_t*, int, const uint8_t*, int, uint8_t*, int, ImageSize, int)>
void sub8u(Fuzz& f, const char* name, int ch) {
    const ImageSize roi = f.roi();
    auto a = f.in<uint8_t>(roi, ch), b = f.in<uint8_t>(roi, ch);
    auto d = f.out<uint8_t>(roi, ch);
    const int sf = scale(f);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(b.ptr), b.step, f.p(d.ptr), d.step, roi, sf); });
}
template <StatusCode (*Fn)(const uint8_t*, int, uint8_t*, int, ImageSize, int)>
void sub8uI(Fuzz& f, const char* name, int ch) {
    const ImageSize roi = f.roi();
    auto a = f.in<uint8_t>(roi, ch);
    auto d = f.out<uint8_t>(roi, ch);
    const int sf = scale(f);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(d.ptr), d.step, roi, sf); });
}

int cmpOp(Fuzz& f) {
    const int v[] = {0, 4, 1, 2, 3, 5, -1};
    return f.pick(8) ? (f.pick(2) ? 0 : 4) : (f.pick(2) ? v[f.pick(7)] : f.i32());
}
template <class T>
T thresholdValue(Fuzz& f) {
    if constexpr (sizeof(T) == 1) return f.u8();
    else return f.f32();
}
template <class T, StatusCode (*Fn)(const T*, int, T*, int, ImageSize, T, T, int)>
void thresholdVal(Fuzz& f, const char* name) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi);
    auto d = f.out<T>(roi);
    const T t = thresholdValue<T>(f), v = thresholdValue<T>(f);
    const int op = cmpOp(f);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(d.ptr), d.step, roi, t, v, op); });
}
template <class T, StatusCode (*Fn)(const T*, int, T*, int, ImageSize, T, int)>
void threshold(Fuzz& f, const char* name) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi);
    auto d = f.out<T>(roi);
    const T t = thresholdValue<T>(f);
    const int op = cmpOp(f);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(d.ptr), d.step, roi, t, op); });
}
template <class T, StatusCode (*Fn)(const T*, int, T*, int, ImageSize, T)>
void thresholdFixed(Fuzz& f, const char* name) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi);
    auto d = f.out<T>(roi);
    const T t = thresholdValue<T>(f);
    f.run(name, [&] { return Fn(f.p(a.ptr), a.step, f.p(d.ptr), d.step, roi, t); });
}
void thresholdLtI(Fuzz& f) {
    const ImageSize roi = f.roi();
    auto d = f.out<float>(roi);
    const float t = f.f32();
    FZ(f, zaliThreshold_LT_32f_C1IR, f.p(d.ptr), d.step, roi, t);
}

// Table entries: the export's name, and a lambda running the generic case.
#define C(fn, body) fz::Case{#fn, [](Fuzz& f) { body; }}

const fz::Case kCases[] = {
    fz::Case{"zalcvGetLibVersion", version},
    C(zalsMalloc_8u, (allocator<uint8_t>(f, "zalsMalloc_8u"))),
    C(zalsMalloc_8s, (allocator<int8_t>(f, "zalsMalloc_8s"))),
    C(zalsMalloc_16u, (allocator<uint16_t>(f, "zalsMalloc_16u"))),
    C(zalsMalloc_32s, (allocator<int32_t>(f, "zalsMalloc_32s"))),
    C(zalsMalloc_32f, (allocator<float>(f, "zalsMalloc_32f"))),
    C(zalsMalloc_64f, (allocator<double>(f, "zalsMalloc_64f"))),
    C(zalsSet_8u, (vecSet<uint8_t, zalsSet_8u>(f, "zalsSet_8u"))),
    C(zalsSet_32f, (vecSet<float, zalsSet_32f>(f, "zalsSet_32f"))),
    C(zalsZero_8u, (vecInPlace<uint8_t, zalsZero_8u>(f, "zalsZero_8u"))),
    C(zalsZero_16s, (vecInPlace<int16_t, zalsZero_16s>(f, "zalsZero_16s"))),
    C(zalsZero_32f, (vecInPlace<float, zalsZero_32f>(f, "zalsZero_32f"))),
    C(zalsSortAscend_64f_I, (vecInPlace<double, zalsSortAscend_64f_I>(f, "zalsSortAscend_64f_I"))),
    C(zalsSqrt_32f_I, (vecInPlace<float, zalsSqrt_32f_I>(f, "zalsSqrt_32f_I"))),
    C(zalsCopy_8u, (vecUnary<uint8_t, uint8_t, zalsCopy_8u>(f, "zalsCopy_8u"))),
    C(zalsCopy_32f, (vecUnary<float, float, zalsCopy_32f>(f, "zalsCopy_32f"))),
    C(zalsConvert_16u32f, (vecUnary<uint16_t, float, zalsConvert_16u32f>(f, "zalsConvert_16u32f"))),
    C(zalsMaxEvery_8u, (vecBinary<uint8_t, zalsMaxEvery_8u>(f, "zalsMaxEvery_8u"))),
    C(zalsMinEvery_8u, (vecBinary<uint8_t, zalsMinEvery_8u>(f, "zalsMinEvery_8u"))),
    C(zalsMaxEvery_32f, (vecBinary<float, zalsMaxEvery_32f>(f, "zalsMaxEvery_32f"))),
    C(zalsMinEvery_32f, (vecBinary<float, zalsMinEvery_32f>(f, "zalsMinEvery_32f"))),
    C(zalsMaxEvery_8u_I, (vecBinaryI<uint8_t, zalsMaxEvery_8u_I>(f, "zalsMaxEvery_8u_I"))),
    C(zalsMinEvery_8u_I, (vecBinaryI<uint8_t, zalsMinEvery_8u_I>(f, "zalsMinEvery_8u_I"))),
    C(zalsMaxEvery_32f_I, (vecBinaryI<float, zalsMaxEvery_32f_I>(f, "zalsMaxEvery_32f_I"))),
    C(zalsMinEvery_32f_I, (vecBinaryI<float, zalsMinEvery_32f_I>(f, "zalsMinEvery_32f_I"))),
    fz::Case{"zalsMulC_32f_I", mulC32f},
    fz::Case{"zalsMulC_16s_ISfs", mulC16s},
    fz::Case{"zalsSqrt_32s16s_Sfs", sqrt32s16s},

    C(zaliAbsDiff_8u_C1R, (binary<uint8_t, zaliAbsDiff_8u_C1R>(f, "zaliAbsDiff_8u_C1R", 1))),
    C(zaliAbsDiff_16u_C1R, (binary<uint16_t, zaliAbsDiff_16u_C1R>(f, "zaliAbsDiff_16u_C1R", 1))),
    C(zaliAbsDiff_32f_C1R, (binary<float, zaliAbsDiff_32f_C1R>(f, "zaliAbsDiff_32f_C1R", 1))),
    C(zaliAbsDiffC_8u_C1R, (absDiffC<uint8_t, int, zaliAbsDiffC_8u_C1R>(f, "zaliAbsDiffC_8u_C1R"))),
    C(zaliAbsDiffC_16u_C1R, (absDiffC<uint16_t, int, zaliAbsDiffC_16u_C1R>(f, "zaliAbsDiffC_16u_C1R"))),
    C(zaliAbsDiffC_32f_C1R, (absDiffC<float, float, zaliAbsDiffC_32f_C1R>(f, "zaliAbsDiffC_32f_C1R"))),

    C(zaliCopy_8u_C1R, (unary<uint8_t, zaliCopy_8u_C1R>(f, "zaliCopy_8u_C1R", 1))),
    C(zaliCopy_8u_C3R, (unary<uint8_t, zaliCopy_8u_C3R>(f, "zaliCopy_8u_C3R", 3))),
    C(zaliCopy_8u_C4R, (unary<uint8_t, zaliCopy_8u_C4R>(f, "zaliCopy_8u_C4R", 4))),
    C(zaliCopy_32f_C1R, (unary<float, zaliCopy_32f_C1R>(f, "zaliCopy_32f_C1R", 1))),
    C(zaliCopy_32f_C3R, (unary<float, zaliCopy_32f_C3R>(f, "zaliCopy_32f_C3R", 3))),
    C(zaliCopy_32f_C4R, (unary<float, zaliCopy_32f_C4R>(f, "zaliCopy_32f_C4R", 4))),

    C(zaliCopyReplicateBorder_8u_C1R, (copyBorder<uint8_t, zaliCopyReplicateBorder_8u_C1R>(f, "zaliCopyReplicateBorder_8u_C1R", 1))),
    C(zaliCopyReplicateBorder_8u_C3R, (copyBorder<uint8_t, zaliCopyReplicateBorder_8u_C3R>(f, "zaliCopyReplicateBorder_8u_C3R", 3))),
    C(zaliCopyReplicateBorder_8u_C4R, (copyBorder<uint8_t, zaliCopyReplicateBorder_8u_C4R>(f, "zaliCopyReplicateBorder_8u_C4R", 4))),
    C(zaliCopyReplicateBorder_32s_C1R, (copyBorder<int32_t, zaliCopyReplicateBorder_32s_C1R>(f, "zaliCopyReplicateBorder_32s_C1R", 1))),
    C(zaliCopyReplicateBorder_32s_C3R, (copyBorder<int32_t, zaliCopyReplicateBorder_32s_C3R>(f, "zaliCopyReplicateBorder_32s_C3R", 3))),
    C(zaliCopyReplicateBorder_32s_C4R, (copyBorder<int32_t, zaliCopyReplicateBorder_32s_C4R>(f, "zaliCopyReplicateBorder_32s_C4R", 4))),
    C(zaliCopyReplicateBorder_8u_C1IR, (copyBorderI<uint8_t, zaliCopyReplicateBorder_8u_C1IR>(f, "zaliCopyReplicateBorder_8u_C1IR", 1))),
    C(zaliCopyReplicateBorder_8u_C3IR, (copyBorderI<uint8_t, zaliCopyReplicateBorder_8u_C3IR>(f, "zaliCopyReplicateBorder_8u_C3IR", 3))),
    C(zaliCopyReplicateBorder_8u_C4IR, (copyBorderI<uint8_t, zaliCopyReplicateBorder_8u_C4IR>(f, "zaliCopyReplicateBorder_8u_C4IR", 4))),
    C(zaliCopyReplicateBorder_32s_C1IR, (copyBorderI<int32_t, zaliCopyReplicateBorder_32s_C1IR>(f, "zaliCopyReplicateBorder_32s_C1IR", 1))),
    C(zaliCopyReplicateBorder_32s_C3IR, (copyBorderI<int32_t, zaliCopyReplicateBorder_32s_C3IR>(f, "zaliCopyReplicateBorder_32s_C3IR", 3))),
    C(zaliCopyReplicateBorder_32s_C4IR, (copyBorderI<int32_t, zaliCopyReplicateBorder_32s_C4IR>(f, "zaliCopyReplicateBorder_32s_C4IR", 4))),

    fz::Case{"zaliSet_8u_C1R", set8u},

    C(zaliSub_8u_C1RSfs, (sub8u<zaliSub_8u_C1RSfs>(f, "zaliSub_8u_C1RSfs", 1))),
    C(zaliSub_8u_C3RSfs, (sub8u<zaliSub_8u_C3RSfs>(f, "zaliSub_8u_C3RSfs", 3))),
    C(zaliSub_8u_C4RSfs, (sub8u<zaliSub_8u_C4RSfs>(f, "zaliSub_8u_C4RSfs", 4))),
    C(zaliSub_8u_C1IRSfs, (sub8uI<zaliSub_8u_C1IRSfs>(f, "zaliSub_8u_C1IRSfs", 1))),
    C(zaliSub_8u_C3IRSfs, (sub8uI<zaliSub_8u_C3IRSfs>(f, "zaliSub_8u_C3IRSfs", 3))),
    C(zaliSub_8u_C4IRSfs, (sub8uI<zaliSub_8u_C4IRSfs>(f, "zaliSub_8u_C4IRSfs", 4))),
    C(zaliSub_32f_C1R, (binary<float, zaliSub_32f_C1R>(f, "zaliSub_32f_C1R", 1))),
    C(zaliSub_32f_C3R, (binary<float, zaliSub_32f_C3R>(f, "zaliSub_32f_C3R", 3))),
    C(zaliSub_32f_C4R, (binary<float, zaliSub_32f_C4R>(f, "zaliSub_32f_C4R", 4))),
    C(zaliSub_32f_C1IR, (unary<float, zaliSub_32f_C1IR>(f, "zaliSub_32f_C1IR", 1))),
    C(zaliSub_32f_C3IR, (unary<float, zaliSub_32f_C3IR>(f, "zaliSub_32f_C3IR", 3))),
    C(zaliSub_32f_C4IR, (unary<float, zaliSub_32f_C4IR>(f, "zaliSub_32f_C4IR", 4))),

    C(zaliThreshold_Val_8u_C1R, (thresholdVal<uint8_t, zaliThreshold_Val_8u_C1R>(f, "zaliThreshold_Val_8u_C1R"))),
    C(zaliThreshold_Val_32f_C1R, (thresholdVal<float, zaliThreshold_Val_32f_C1R>(f, "zaliThreshold_Val_32f_C1R"))),
    C(zaliThreshold_8u_C1R, (threshold<uint8_t, zaliThreshold_8u_C1R>(f, "zaliThreshold_8u_C1R"))),
    C(zaliThreshold_32f_C1R, (threshold<float, zaliThreshold_32f_C1R>(f, "zaliThreshold_32f_C1R"))),
    C(zaliThreshold_GT_8u_C1R, (thresholdFixed<uint8_t, zaliThreshold_GT_8u_C1R>(f, "zaliThreshold_GT_8u_C1R"))),
    C(zaliThreshold_LT_32f_C1R, (thresholdFixed<float, zaliThreshold_LT_32f_C1R>(f, "zaliThreshold_LT_32f_C1R"))),
    fz::Case{"zaliThreshold_LT_32f_C1IR", thresholdLtI},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
