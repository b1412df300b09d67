// Stats family: accumulation, masked means, mean and deviation, minimum and
// maximum with location, masked norms of one image, of a difference and
// relative.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

int coi(Fuzz& f) { return f.pick(8) ? f.range(1, 3) : (f.pick(2) ? f.range(-1, 4) : f.i32()); }

// ---- accumulation into a 32f image ----
template <class S>
void acc1(Fuzz& f, const char* name, StatusCode (*fn)(const S*, int, float*, int, ImageSize)) {
    const ImageSize roi = f.roi();
    auto s = f.in<S>(roi);
    auto a = f.out<float>(roi);
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(a.ptr), a.step, roi); });
}
template <class S>
void acc1M(Fuzz& f, const char* name, StatusCode (*fn)(const S*, int, const u8*, int, float*, int, ImageSize)) {
    const ImageSize roi = f.roi();
    auto s = f.in<S>(roi);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    auto a = f.out<float>(roi);
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(m.ptr), m.step, f.p(a.ptr), a.step, roi); });
}
template <class S>
void acc2(Fuzz& f, const char* name, StatusCode (*fn)(const S*, int, const S*, int, float*, int, ImageSize)) {
    const ImageSize roi = f.roi();
    auto s1 = f.in<S>(roi), s2 = f.in<S>(roi);
    auto a = f.out<float>(roi);
    f.run(name, [&] { return fn(f.p(s1.ptr), s1.step, f.p(s2.ptr), s2.step, f.p(a.ptr), a.step, roi); });
}
template <class S>
void acc2M(Fuzz& f, const char* name,
           StatusCode (*fn)(const S*, int, const S*, int, const u8*, int, float*, int, ImageSize)) {
    const ImageSize roi = f.roi();
    auto s1 = f.in<S>(roi), s2 = f.in<S>(roi);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    auto a = f.out<float>(roi);
    f.run(name, [&] {
        return fn(f.p(s1.ptr), s1.step, f.p(s2.ptr), s2.step, f.p(m.ptr), m.step, f.p(a.ptr), a.step, roi);
    });
}
template <class S>
void accW(Fuzz& f, const char* name, StatusCode (*fn)(const S*, int, float*, int, ImageSize, float)) {
    const ImageSize roi = f.roi();
    auto s = f.in<S>(roi);
    auto a = f.out<float>(roi);
    const float alpha = f.f32();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(a.ptr), a.step, roi, alpha); });
}
template <class S>
void accWM(Fuzz& f, const char* name,
           StatusCode (*fn)(const S*, int, const u8*, int, float*, int, ImageSize, float)) {
    const ImageSize roi = f.roi();
    auto s = f.in<S>(roi);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    auto a = f.out<float>(roi);
    const float alpha = f.f32();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(m.ptr), m.step, f.p(a.ptr), a.step, roi, alpha); });
}

// ---- masked mean and norms of one image (one double result) ----
template <class T>
void maskedC1(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, const u8*, int, ImageSize, double*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    double* r = f.result<double>();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(m.ptr), m.step, roi, f.p(r)); });
}
template <class T>
void maskedC3(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, const u8*, int, ImageSize, int, double*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi, 3);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    const int c = coi(f);
    double* r = f.result<double>();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(m.ptr), m.step, roi, c, f.p(r)); });
}
// ---- norms of a difference and relative norms ----
template <class T>
void diffC1(Fuzz& f, const char* name,
            StatusCode (*fn)(const T*, int, const T*, int, const u8*, int, ImageSize, double*)) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi), b = f.in<T>(roi);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    double* r = f.result<double>();
    f.run(name, [&] { return fn(f.p(a.ptr), a.step, f.p(b.ptr), b.step, f.p(m.ptr), m.step, roi, f.p(r)); });
}
template <class T>
void diffC3(Fuzz& f, const char* name,
            StatusCode (*fn)(const T*, int, const T*, int, const u8*, int, ImageSize, int, double*)) {
    const ImageSize roi = f.roi();
    auto a = f.in<T>(roi, 3), b = f.in<T>(roi, 3);
    auto m = f.in<u8>(roi, 1, Fill::Mask);
    const int c = coi(f);
    double* r = f.result<double>();
    f.run(name, [&] { return fn(f.p(a.ptr), a.step, f.p(b.ptr), b.step, f.p(m.ptr), m.step, roi, c, f.p(r)); });
}

// ---- mean and standard deviation (optional outputs) ----
template <class T>
void msC1(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, ImageSize, double*, double*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi);
    double *m = f.result<double>(), *d = f.result<double>();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, roi, f.p(m), f.p(d)); });
}
template <class T>
void msC3(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, ImageSize, int, double*, double*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi, 3);
    const int c = coi(f);
    double *m = f.result<double>(), *d = f.result<double>();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, roi, c, f.p(m), f.p(d)); });
}
template <class T>
void msC1M(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, const u8*, int, ImageSize, double*, double*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi);
    auto k = f.in<u8>(roi, 1, Fill::Mask);
    double *m = f.result<double>(), *d = f.result<double>();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(k.ptr), k.step, roi, f.p(m), f.p(d)); });
}
template <class T>
void msC3M(Fuzz& f, const char* name,
           StatusCode (*fn)(const T*, int, const u8*, int, ImageSize, int, double*, double*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi, 3);
    auto k = f.in<u8>(roi, 1, Fill::Mask);
    const int c = coi(f);
    double *m = f.result<double>(), *d = f.result<double>();
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, f.p(k.ptr), k.step, roi, c, f.p(m), f.p(d)); });
}

// ---- minimum and maximum with location ----
struct MinMaxOut {
    float *mn, *mx;
    ImagePoint *imn, *imx;
    explicit MinMaxOut(Fuzz& f)
        : mn(f.result<float>()), mx(f.result<float>()), imn(f.result<ImagePoint>()), imx(f.result<ImagePoint>()) {}
};
template <class T>
void mmC1(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, ImageSize, float*, float*, ImagePoint*, ImagePoint*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi);
    MinMaxOut o(f);
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, roi, f.p(o.mn), f.p(o.mx), f.p(o.imn), f.p(o.imx)); });
}
template <class T>
void mmC3(Fuzz& f, const char* name,
          StatusCode (*fn)(const T*, int, ImageSize, int, float*, float*, ImagePoint*, ImagePoint*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi, 3);
    const int c = coi(f);
    MinMaxOut o(f);
    f.run(name, [&] { return fn(f.p(s.ptr), s.step, roi, c, f.p(o.mn), f.p(o.mx), f.p(o.imn), f.p(o.imx)); });
}
template <class T>
void mmC1M(Fuzz& f, const char* name,
           StatusCode (*fn)(const T*, int, const u8*, int, ImageSize, float*, float*, ImagePoint*, ImagePoint*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi);
    auto k = f.in<u8>(roi, 1, Fill::Mask);
    MinMaxOut o(f);
    f.run(name, [&] {
        return fn(f.p(s.ptr), s.step, f.p(k.ptr), k.step, roi, f.p(o.mn), f.p(o.mx), f.p(o.imn), f.p(o.imx));
    });
}
template <class T>
void mmC3M(Fuzz& f, const char* name,
           StatusCode (*fn)(const T*, int, const u8*, int, ImageSize, int, float*, float*, ImagePoint*, ImagePoint*)) {
    const ImageSize roi = f.roi();
    auto s = f.in<T>(roi, 3);
    auto k = f.in<u8>(roi, 1, Fill::Mask);
    const int c = coi(f);
    MinMaxOut o(f);
    f.run(name, [&] {
        return fn(f.p(s.ptr), s.step, f.p(k.ptr), k.step, roi, c, f.p(o.mn), f.p(o.mx), f.p(o.imn), f.p(o.imx));
    });
}

#define E(helper, T, fn) \
    fz::Case { #fn, [](Fuzz& f) { helper<T>(f, #fn, fn); } }

// Every export of one source type t (C type T).
#define ACC(T, t)                                                                           \
    E(acc1M, T, zaliAdd_##t##32f_C1IMR), E(acc1, T, zaliAddSquare_##t##32f_C1IR),           \
        E(acc1M, T, zaliAddSquare_##t##32f_C1IMR), E(acc2, T, zaliAddProduct_##t##32f_C1IR), \
        E(acc2M, T, zaliAddProduct_##t##32f_C1IMR), E(accW, T, zaliAddWeighted_##t##32f_C1IR), \
        E(accWM, T, zaliAddWeighted_##t##32f_C1IMR)
#define STATS(T, t)                                                                                   \
    E(maskedC1, T, zaliMean_##t##_C1MR), E(maskedC3, T, zaliMean_##t##_C3CMR),                        \
        E(msC1, T, zaliMean_StdDev_##t##_C1R), E(msC3, T, zaliMean_StdDev_##t##_C3CR),                \
        E(msC1M, T, zaliMean_StdDev_##t##_C1MR), E(msC3M, T, zaliMean_StdDev_##t##_C3CMR),            \
        E(mmC1, T, zaliMinMaxIndx_##t##_C1R), E(mmC3, T, zaliMinMaxIndx_##t##_C3CR),                  \
        E(mmC1M, T, zaliMinMaxIndx_##t##_C1MR), E(mmC3M, T, zaliMinMaxIndx_##t##_C3CMR)
#define NORMS(T, t, n)                                                                                  \
    E(maskedC1, T, zaliNorm_##n##_##t##_C1MR), E(maskedC3, T, zaliNorm_##n##_##t##_C3CMR),              \
        E(diffC1, T, zaliNormDiff_##n##_##t##_C1MR), E(diffC3, T, zaliNormDiff_##n##_##t##_C3CMR),      \
        E(diffC1, T, zaliNormRel_##n##_##t##_C1MR), E(diffC3, T, zaliNormRel_##n##_##t##_C3CMR)
#define ALL(T, t) STATS(T, t), NORMS(T, t, Inf), NORMS(T, t, L1), NORMS(T, t, L2)

const fz::Case kCases[] = {
    E(acc1, uint8_t, zaliAdd_8u32f_C1IR),
    E(acc1, int8_t, zaliAdd_8s32f_C1IR),
    E(acc1, uint16_t, zaliAdd_16u32f_C1IR),
    ACC(uint8_t, 8u), ACC(int8_t, 8s), ACC(uint16_t, 16u),
    E(acc1M, float, zaliAdd_32f_C1IMR),
    E(acc1, float, zaliAddSquare_32f_C1IR),
    E(acc1M, float, zaliAddSquare_32f_C1IMR),
    E(acc2, float, zaliAddProduct_32f_C1IR),
    E(acc2M, float, zaliAddProduct_32f_C1IMR),
    E(accW, float, zaliAddWeighted_32f_C1IR),
    E(accWM, float, zaliAddWeighted_32f_C1IMR),
    ALL(uint8_t, 8u), ALL(int8_t, 8s), ALL(uint16_t, 16u), ALL(float, 32f),
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
