// Filter family: separable row and column pipelines, fixed Sobel, Scharr,
// Laplacian and lowpass filters, the Sobel kernel generator and the
// rectangular minimum/maximum filters, each with its buffer query.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

int kernelSize(Fuzz& f) { return f.pick(8) ? f.range(1, 9) : (f.pick(2) ? f.range(10, 40) : f.i32()); }
int divisor(Fuzz& f) { return f.pick(4) ? f.range(1, 300) : f.i32(); }
int border(Fuzz& f) { return f.enumValue(0, 4); }
// Enumeration arguments go straight into the call: a named variable of the
// enum type holding an out-of-range value would be undefined in the target.
BorderKind borderOf(int b) { return fz::asEnum<BorderKind>(b); }
ApertureSize apertureOf(int m) { return fz::asEnum<ApertureSize>(m); }
int aperture(Fuzz& f) {
    const int v = f.pick(8) ? (f.pick(2) ? 33 : 55) : f.enumValue(0, 63);
    return v;
}

template <class T>
T scalar(Fuzz& f) {
    if constexpr (std::is_floating_point_v<T>) return f.f32();
    else return static_cast<T>(f.i32());
}

// ---- row pipeline ----
// C1: a scalar border value; C3: a pointer to three.
template <class S, class D, class K, int Ch, bool HasDivisor, class Fn>
void rowPipeline(Fuzz& f, const char* name, Fn fn,
                 StatusCode (*query)(ImageSize, int, int*)) {
    const ImageSize roi = f.roi();
    const int k = kernelSize(f);
    const int anchor = f.pick(8) ? f.range(0, k > 0 ? k - 1 : 0) : f.i32();
    const int b = border(f);
    const int div = divisor(f);
    auto src = f.in<S>(roi, Ch);
    const K* kernel = f.array<K>(k > 64 ? 64 : k, Role::In, Fill::SmallInt);
    if (k > 64) return;  // a kernel array that long is not worth its memory
    auto dst = f.alignedImage<D>(roi, Ch, Role::Out);
    // One row pointer per output row; sometimes one of them null (the rows
    // before it are then written, as documented).
    const int rows = roi.height > 0 ? roi.height : 1;
    D** ptrs = f.array<D*>(rows, Role::In);
    int nullRow = f.pick(16) == 0 ? f.range(0, rows - 1) : -1;
    for (int y = 0; y < rows; ++y) ptrs[y] = y == nullRow ? nullptr : dst.row(y);
    if (roi.height < 1) ptrs[0] = dst.ptr;
    const S* bv = f.array<S>(3, Role::In);
    int* bytes = f.result<int>();
    const int qs = FZ_QUERY(f, query, name, roi, k, bytes);
    uint8_t* buffer = f.buffer(qs == 0 ? *bytes : 0);
    auto call = [&] {
        if constexpr (Ch == 1) {
            if constexpr (HasDivisor) return fn(f.p(src.ptr), src.step, f.p(ptrs), roi, f.p(kernel), k, anchor, borderOf(b), bv[0], div, f.p(buffer));
            else return fn(f.p(src.ptr), src.step, f.p(ptrs), roi, f.p(kernel), k, anchor, borderOf(b), bv[0], f.p(buffer));
        } else {
            if constexpr (HasDivisor) return fn(f.p(src.ptr), src.step, f.p(ptrs), roi, f.p(kernel), k, anchor, borderOf(b), f.p(bv), div, f.p(buffer));
            else return fn(f.p(src.ptr), src.step, f.p(ptrs), roi, f.p(kernel), k, anchor, borderOf(b), f.p(bv), f.p(buffer));
        }
    };
    f.run(name, call, nullRow >= 0);
}

// ---- column pipeline ----
template <class S, class D, class K, int Ch, bool HasDivisor, class Fn>
void columnPipeline(Fuzz& f, const char* name, Fn fn, StatusCode (*query)(ImageSize, int, int*)) {
    const ImageSize roi = f.roi();
    const int k = kernelSize(f);
    const int div = divisor(f);
    if (k > 64) return;
    const K* kernel = f.array<K>(k, Role::In, Fill::SmallInt);
    const int inRows = roi.height > 0 && k > 0 ? roi.height + k - 1 : 1;
    auto src = f.alignedImage<S>(ImageSize{roi.width, inRows}, Ch, Role::In);
    const S** ptrs = f.array<const S*>(inRows, Role::In);
    const int nullRow = f.pick(16) == 0 ? f.range(0, inRows - 1) : -1;
    for (int y = 0; y < inRows; ++y) ptrs[y] = y == nullRow ? nullptr : src.row(y);
    auto dst = f.out<D>(roi, Ch);
    int* bytes = f.result<int>();
    const int qs = FZ_QUERY(f, query, name, roi, k, bytes);
    uint8_t* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] {
        if constexpr (HasDivisor) return fn(f.p(ptrs), f.p(dst.ptr), dst.step, roi, f.p(kernel), k, div, f.p(buffer));
        else return fn(f.p(ptrs), f.p(dst.ptr), dst.step, roi, f.p(kernel), k, f.p(buffer));
    });
}

// ---- fixed filters ----
// Sobel-type members take a mask; Scharr members do not. 8u8s members take
// a divisor.
template <class S, class D, bool HasMask, bool HasDivisor, class Fn, class Query>
void fixed(Fuzz& f, const char* name, Fn fn, Query query) {
    const ImageSize roi = f.roi();
    const int mask = aperture(f);
    const int b = border(f);
    const int div = divisor(f);
    auto src = f.in<S>(roi);
    auto dst = f.out<D>(roi);
    const S bv = scalar<S>(f);
    int* bytes = f.result<int>();
    int qs;
    if constexpr (HasMask) qs = FZ_QUERY(f, query, name, roi, fz::asEnum<ApertureSize>(mask), bytes);
    else qs = FZ_QUERY(f, query, name, roi, bytes);
    uint8_t* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] {
        if constexpr (HasMask && HasDivisor) return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, apertureOf(mask), borderOf(b), bv, div, f.p(buffer));
        else if constexpr (HasMask) return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, apertureOf(mask), borderOf(b), bv, f.p(buffer));
        else if constexpr (HasDivisor) return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, borderOf(b), bv, div, f.p(buffer));
        else return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, borderOf(b), bv, f.p(buffer));
    });
}

template <class T>
void genSobel(Fuzz& f, const char* name, StatusCode (*fn)(T*, int, int, int)) {
    const int size = f.pick(8) ? 2 * f.range(0, 15) + 1 : f.i32();
    const int dx = f.pick(8) ? f.range(0, 6) : f.i32();
    const int sign = f.i32();
    T* dst = f.array<T>(size > 0 && size < 4096 ? size : 1, Role::Out);
    if (size >= 4096) return;
    f.run(name, [&] { return fn(f.p(dst), size, dx, sign); });
}

// ---- minimum / maximum filters ----
template <class T, int Ch>
void minMax(Fuzz& f, const char* name,
            StatusCode (*fn)(const T*, int, T*, int, ImageSize, ImageSize, ImagePoint, u8*),
            StatusCode (*query)(int, ImageSize, int*)) {
    const ImageSize roi = f.roi();
    const ImageSize mask = f.pick(8) ? ImageSize{f.range(1, 7), f.range(1, 7)} : f.roi();
    const ImagePoint anchor = f.point(mask);
    auto src = f.in<T>(roi, Ch);
    auto dst = f.out<T>(roi, Ch);
    int* bytes = f.result<int>();
    const int qs = FZ_QUERY(f, query, name, roi.width, mask, bytes);
    uint8_t* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, mask, anchor, f.p(buffer)); });
}

// Buffer queries on their own, with sizes up to INT32_MAX.
template <class Q>
void queryOnly(Fuzz& f, const char* name, Q query) {
    const ImageSize s = f.querySize();
    const int k = kernelSize(f);
    int* bytes = f.result<int>();
    f.run(name, [&] {
        if constexpr (std::is_invocable_v<Q, ImageSize, int, int*>) return query(s, k, f.p(bytes));
        else if constexpr (std::is_invocable_v<Q, ImageSize, ApertureSize, int*>) {
            const int m = aperture(f);
            return query(s, fz::asEnum<ApertureSize>(m), f.p(bytes));
        } else if constexpr (std::is_invocable_v<Q, ImageSize, int*>) return query(s, f.p(bytes));
        else return query(s.width, ImageSize{k, f.dim()}, f.p(bytes));
    });
}

#define ROW(S, D, K, ch, div, t) \
    fz::Case{"zaliFilterRowBorderPipeline_" #t "_C" #ch "R", [](Fuzz& f) { rowPipeline<S, D, K, ch, div>(f, "zaliFilterRowBorderPipeline_" #t "_C" #ch "R", zaliFilterRowBorderPipeline_##t##_C##ch##R, zaliFilterRowBorderPipelineGetBufferSize_##t##_C##ch##R); }}
#define COL(S, D, K, ch, div, t) \
    fz::Case{"zaliFilterColumnPipeline_" #t "_C" #ch "R", [](Fuzz& f) { columnPipeline<S, D, K, ch, div>(f, "zaliFilterColumnPipeline_" #t "_C" #ch "R", zaliFilterColumnPipeline_##t##_C##ch##R, zaliFilterColumnPipelineGetBufferSize_##t##_C##ch##R); }}
#define FIX(op, S, D, mask, div, t) \
    fz::Case{"zaliFilter" #op "Border_" #t "_C1R", [](Fuzz& f) { fixed<S, D, mask, div>(f, "zaliFilter" #op "Border_" #t "_C1R", zaliFilter##op##Border_##t##_C1R, zaliFilter##op##GetBufferSize_##t##_C1R); }}
#define FIX3(op, mask)                                                          \
    FIX(op, uint8_t, int16_t, mask, false, 8u16s), FIX(op, uint8_t, int8_t, mask, true, 8u8s), \
        FIX(op, float, float, mask, false, 32f)
#define MM(op, T, ch, t) \
    fz::Case{"zaliFilter" #op "BorderReplicate_" #t "_C" #ch "R", [](Fuzz& f) { minMax<T, ch>(f, "zaliFilter" #op "BorderReplicate_" #t "_C" #ch "R", zaliFilter##op##BorderReplicate_##t##_C##ch##R, zaliFilter##op##GetBufferSize_##t##_C##ch##R); }}
#define MM6(op) MM(op, uint8_t, 1, 8u), MM(op, uint8_t, 3, 8u), MM(op, uint8_t, 4, 8u), MM(op, float, 1, 32f), MM(op, float, 3, 32f), MM(op, float, 4, 32f)
#define Q(fn) \
    fz::Case { #fn, [](Fuzz& f) { queryOnly(f, #fn, fn); } }
#define Q3(op) Q(zaliFilter##op##GetBufferSize_8u16s_C1R), Q(zaliFilter##op##GetBufferSize_8u8s_C1R), Q(zaliFilter##op##GetBufferSize_32f_C1R)
#define QROW(t) Q(zaliFilterRowBorderPipelineGetBufferSize_##t##_C1R), Q(zaliFilterRowBorderPipelineGetBufferSize_##t##_C3R)
#define QCOL(t) Q(zaliFilterColumnPipelineGetBufferSize_##t##_C1R), Q(zaliFilterColumnPipelineGetBufferSize_##t##_C3R)
#define QMM(op) Q(zaliFilter##op##GetBufferSize_8u_C1R), Q(zaliFilter##op##GetBufferSize_8u_C3R), Q(zaliFilter##op##GetBufferSize_8u_C4R), Q(zaliFilter##op##GetBufferSize_32f_C1R), Q(zaliFilter##op##GetBufferSize_32f_C3R), Q(zaliFilter##op##GetBufferSize_32f_C4R)

const fz::Case kCases[] = {
    ROW(float, float, float, 1, false, 32f), ROW(float, float, float, 3, false, 32f),
    ROW(int16_t, int16_t, int16_t, 1, true, 16s), ROW(int16_t, int16_t, int16_t, 3, true, 16s),
    ROW(uint8_t, int16_t, int16_t, 1, true, 8u16s), ROW(uint8_t, int16_t, int16_t, 3, true, 8u16s),
    ROW(int16_t, int16_t, int16_t, 1, true, Low_16s), ROW(int16_t, int16_t, int16_t, 3, true, Low_16s),
    COL(float, float, float, 1, false, 32f), COL(float, float, float, 3, false, 32f),
    COL(int16_t, int16_t, int16_t, 1, true, 16s), COL(int16_t, int16_t, int16_t, 3, true, 16s),
    COL(int16_t, uint8_t, int16_t, 1, true, 16s8u), COL(int16_t, uint8_t, int16_t, 3, true, 16s8u),
    COL(int16_t, int8_t, int16_t, 1, true, 16s8s), COL(int16_t, int8_t, int16_t, 3, true, 16s8s),
    COL(int16_t, int16_t, int16_t, 1, true, Low_16s), COL(int16_t, int16_t, int16_t, 3, true, Low_16s),
    FIX3(SobelHoriz, true), FIX3(SobelVert, true), FIX3(SobelNegVert, true), FIX3(SobelHorizSecond, true),
    FIX3(SobelVertSecond, true), FIX3(SobelCross, true), FIX3(ScharrHoriz, false), FIX3(ScharrVert, false),
    FIX3(Laplacian, true),
    FIX(Lowpass, uint8_t, uint8_t, true, false, 8u), FIX(Lowpass, float, float, true, false, 32f),
    fz::Case{"zaliGenSobelKernel_16s", [](Fuzz& f) { genSobel<int16_t>(f, "zaliGenSobelKernel_16s", zaliGenSobelKernel_16s); }},
    fz::Case{"zaliGenSobelKernel_32f", [](Fuzz& f) { genSobel<float>(f, "zaliGenSobelKernel_32f", zaliGenSobelKernel_32f); }},
    MM6(Min), MM6(Max),
    QROW(32f), QROW(16s), QROW(8u16s), QROW(Low_16s),
    QCOL(32f), QCOL(16s), QCOL(16s8u), QCOL(16s8s), QCOL(Low_16s),
    Q3(SobelHoriz), Q3(SobelVert), Q3(SobelNegVert), Q3(SobelHorizSecond), Q3(SobelVertSecond), Q3(SobelCross),
    Q3(ScharrHoriz), Q3(ScharrVert), Q3(Laplacian),
    Q(zaliFilterLowpassGetBufferSize_8u_C1R), Q(zaliFilterLowpassGetBufferSize_32f_C1R),
    QMM(Min), QMM(Max),
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
