// Feature family: Canny edges, corner measures, colour gradient to gray and
// the fast arctangent.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

float threshold(Fuzz& f) { return f.pick(4) ? float(f.range(0, 2000)) / 4.0f : f.f32(); }

template <class T>
void canny(Fuzz& f, const char* name,
           StatusCode (*fn)(const T*, int, const T*, int, u8*, int, ImageSize, float, float, u8*)) {
    const ImageSize roi = f.roi();
    auto dx = f.in<T>(roi), dy = f.in<T>(roi);
    auto dst = f.out<u8>(roi);
    float lo = threshold(f), hi = threshold(f);
    if (f.pick(4) && lo > hi) std::swap(lo, hi);
    int* bytes = f.result<int>();
    const int qs = FZ(f, zaliCannyGetSize, roi, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] { return fn(f.p(dx.ptr), dx.step, f.p(dy.ptr), dy.step, f.p(dst.ptr), dst.step, roi, lo, hi, f.p(buffer)); });
}

// MinEigenVal writes one float per pixel, EigenValsVecs six.
template <class T, int Out>
void corner(Fuzz& f, const char* name,
            StatusCode (*fn)(const T*, int, float*, int, ImageSize, DerivKernelType, int, int, u8*),
            StatusCode (*query)(ImageSize, int, int, int*)) {
    const ImageSize roi = f.roi();
    const int kern = f.enumValue(0, 1);
    const int aperture = f.pick(8) ? (f.pick(2) ? 3 : 5) : f.i32();
    const int window = f.pick(8) ? (f.pick(2) ? 3 : 5) : f.i32();
    auto src = f.in<T>(roi);
    auto dst = f.out<float>(roi, Out);
    int* bytes = f.result<int>();
    const int qs = FZ_QUERY(f, query, name, roi, aperture, window, bytes);
    u8* buffer = f.buffer(qs == 0 ? *bytes : 0);
    f.run(name, [&] {
        return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, fz::asEnum<DerivKernelType>(kern), aperture,
                  window, f.p(buffer));
    });
}

template <class T>
void gradient(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, T*, int, ImageSize, GradientNorm)) {
    const ImageSize roi = f.roi();
    const int norm = f.enumValue(0, 2);
    auto src = f.in<T>(roi, 3);
    auto dst = f.out<T>(roi);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, fz::asEnum<GradientNorm>(norm)); });
}

void arctan(Fuzz& f) {
    const int n = f.len();
    const float* y = f.array<float>(n, Role::In);
    const float* x = f.array<float>(n, Role::In);
    float* d = f.array<float>(n, Role::Out);
    FZ(f, zalibFastArctan_32f, f.p(y), f.p(x), f.p(d), n);
}

// Queries on their own, with sizes up to INT32_MAX.
void cannyQuery(Fuzz& f) {
    const ImageSize s = f.querySize();
    int* bytes = f.result<int>();
    FZ(f, zaliCannyGetSize, s, f.p(bytes));
}
template <StatusCode (*Q)(ImageSize, int, int, int*)>
void cornerQuery(Fuzz& f, const char* name) {
    const ImageSize s = f.querySize();
    const int a = f.pick(4) ? 3 + 2 * f.pick(2) : f.i32(), w = f.pick(4) ? 3 + 2 * f.pick(2) : f.i32();
    int* bytes = f.result<int>();
    f.run(name, [&] { return Q(s, a, w, f.p(bytes)); });
}

#define E(helper, T, fn) \
    fz::Case { #fn, [](Fuzz& f) { helper<T>(f, #fn, fn); } }
#define CORNER(T, t, op, out) \
    fz::Case{"zali" #op "_" #t "_C1R", [](Fuzz& f) { corner<T, out>(f, "zali" #op "_" #t "_C1R", zali##op##_##t##_C1R, zali##op##GetBufferSize_##t##_C1R); }}
#define CQ(op, t) \
    fz::Case{"zali" #op "GetBufferSize_" #t "_C1R", [](Fuzz& f) { cornerQuery<zali##op##GetBufferSize_##t##_C1R>(f, "zali" #op "GetBufferSize_" #t "_C1R"); }}

const fz::Case kCases[] = {
    E(canny, int16_t, zaliCanny_16s8u_C1R),
    E(canny, float, zaliCanny_32f8u_C1R),
    fz::Case{"zaliCannyGetSize", cannyQuery},
    CORNER(uint8_t, 8u32f, MinEigenVal, 1), CORNER(float, 32f, MinEigenVal, 1),
    CORNER(uint8_t, 8u32f, EigenValsVecs, 6), CORNER(float, 32f, EigenValsVecs, 6),
    CQ(MinEigenVal, 8u32f), CQ(MinEigenVal, 32f), CQ(EigenValsVecs, 8u32f), CQ(EigenValsVecs, 32f),
    E(gradient, uint8_t, zaliGradientColorToGray_8u_C3C1R),
    E(gradient, uint16_t, zaliGradientColorToGray_16u_C3C1R),
    E(gradient, float, zaliGradientColorToGray_32f_C3C1R),
    fz::Case{"zalibFastArctan_32f", arctan},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
