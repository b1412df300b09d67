// Objdetect family: integral images, window standard deviations, Haar
// classifier states and their application.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

int grow(int v, int by) { return v > 0 ? v + by : v; }

// ---- integral images ----
// Upright tables are (W + 1) x (H + 1), tilted ones (W + 2) x (H + 2).
template <class D, class V>
void integral(Fuzz& f, const char* name, StatusCode (*fn)(const u8*, int, D*, int, ImageSize, V), int extra) {
    const ImageSize roi = f.roi();
    auto src = f.in<u8>(roi);
    auto dst = f.out<D>(ImageSize{grow(roi.width, extra), grow(roi.height, extra)});
    V val;
    if constexpr (sizeof(V) == 4 && V(0.5) != V(0)) val = f.f32();
    else val = f.i32();
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, val); });
}
template <class D, class Q, class V, class VS>
void sqrIntegral(Fuzz& f, const char* name, StatusCode (*fn)(const u8*, int, D*, int, Q*, int, ImageSize, V, VS), int extra) {
    const ImageSize roi = f.roi();
    const ImageSize table{grow(roi.width, extra), grow(roi.height, extra)};
    auto src = f.in<u8>(roi);
    auto dst = f.out<D>(table);
    auto sqr = f.out<Q>(table);
    V val;
    VS valSqr;
    if constexpr (sizeof(V) == 4 && V(0.5) != V(0)) val = f.f32();
    else val = f.i32();
    if constexpr (sizeof(VS) == 8) valSqr = f.f64();
    else valSqr = f.i32();
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, f.p(sqr.ptr), sqr.step, roi, val, valSqr); });
}

// ---- window standard deviation ----
// A window rectangle: mostly small and valid (tilted: x >= y + height, so
// no corner falls left of the table), sometimes anything.
ImageRect windowRect(Fuzz& f, bool tilted) {
    ImageRect r{f.range(0, 3), f.range(0, 3), f.range(1, 4), f.range(1, 4)};
    if (tilted) r.x += r.y + r.height;
    if (f.oneIn(8)) r = ImageRect{f.i32(), f.i32(), f.i32(), f.i32()};
    return r;
}
bool small(const ImageRect& r) {
    return r.x >= 0 && r.y >= 0 && r.width >= 1 && r.height >= 1 && r.x < 64 && r.y < 64 && r.width < 64 && r.height < 64;
}
template <class S, class Q, class D, bool Sfs>
void rectStdDev(Fuzz& f, const char* name, bool tilted, auto fn) {
    const ImageSize roi = f.roi();
    ImageRect r = windowRect(f, tilted);
    // The steps bound the columns a window reaches, but no argument carries
    // the tables' height, and a drawn step may exceed the table's width. A
    // wild rectangle that the rectangle check accepts is therefore kept only
    // where its columns exceed any drawn step (2^21 elements of 4 bytes or
    // more, beyond the harness's 4 MB images); elsewhere it is folded small.
    if (!small(r) && r.x >= 0 && r.y >= 0 && r.width >= 1 && r.height >= 1) {
        const long long columns = tilted ? static_cast<long long>(r.x) + r.y + r.width + r.height
                                         : static_cast<long long>(r.x) + r.width;
        if (columns < (1 << 21)) {
            r = ImageRect{r.x % 64, r.y % 32, 1 + (r.width - 1) % 63, 1 + (r.height - 1) % 31};
            if (tilted && r.x < r.y + r.height) r.x = r.y + r.height;  // still below 64
        }
    }
    // Tables large enough for every corner of a valid rectangle; an
    // unreasonable rectangle gets tables for a 1 x 1 one (and must be
    // refused by the step or rectangle checks).
    const ImageRect t = small(r) ? r : ImageRect{0, 0, 1, 1};
    const int w = roi.width > 0 ? roi.width : 1, h = roi.height > 0 ? roi.height : 1;
    const ImageSize table = tilted ? ImageSize{t.x + t.y + t.width + t.height + w, h + t.x + t.y + t.width + t.height}
                                   : ImageSize{w + t.x + t.width, h + t.y + t.height};
    auto src = f.in<S>(table);
    auto sqr = f.in<Q>(table);
    auto dst = f.out<D>(roi);
    const int sf = f.pick(4) ? f.range(-4, 4) : f.i32();
    f.run(name, [&] {
        if constexpr (Sfs) return fn(f.p(src.ptr), src.step, f.p(sqr.ptr), sqr.step, f.p(dst.ptr), dst.step, roi, r, sf);
        else return fn(f.p(src.ptr), src.step, f.p(sqr.ptr), sqr.step, f.p(dst.ptr), dst.step, roi, r);
    });
}

// ---- Haar classifiers ----
template <class V>
struct Stage {
    int n = 0;
    ImageRect* rects = nullptr;
    V *weights = nullptr, *thresholds = nullptr, *val1 = nullptr, *val2 = nullptr;
    int* counts = nullptr;
};
template <class V>
V haarValue(Fuzz& f) {
    if constexpr (sizeof(V) == 4 && V(0.5) != V(0)) return f.pick(4) ? V(f.range(-8, 8)) / 2 : f.f32();
    else return f.pick(4) ? V(f.range(-8, 8)) : V(f.i32());
}
template <class V>
Stage<V> stage(Fuzz& f, bool tilted) {
    Stage<V> s;
    // Arrays hold nClassifiers entries, so only negative counts go wild.
    s.n = f.pick(8) ? f.range(0, 4) : (f.pick(2) ? f.range(-2, 8) : INT32_MIN);
    const int n = s.n > 0 && s.n <= 8 ? s.n : 1;
    s.counts = f.array<int>(n, Role::In);
    int total = 0;
    for (int k = 0; k < n; ++k) total += s.counts[k] = f.pick(8) ? f.range(1, 3) : f.range(-1, 4);
    s.rects = f.array<ImageRect>(total > 0 ? total : 1, Role::In);
    s.weights = f.array<V>(total > 0 ? total : 1, Role::In);
    for (int i = 0; i < (total > 0 ? total : 1); ++i) {
        ImageRect r{f.range(0, 4), f.range(0, 4), f.range(1, 4), f.range(1, 4)};
        if (tilted && r.x + 1 < r.height) r.x = r.height - 1;
        if (f.oneIn(16)) r = ImageRect{f.range(-1, 5), f.range(-1, 5), f.range(-1, 5), f.range(-1, 5)};
        s.rects[i] = r;
        s.weights[i] = haarValue<V>(f);
    }
    s.thresholds = f.array<V>(n, Role::In);
    s.val1 = f.array<V>(n, Role::In);
    s.val2 = f.array<V>(n, Role::In);
    for (int k = 0; k < n; ++k) {
        s.thresholds[k] = haarValue<V>(f);
        s.val1[k] = haarValue<V>(f);
        s.val2[k] = haarValue<V>(f);
    }
    return s;
}

// Builds a state (upright or tilted, optionally with features tilted
// afterwards) and applies it: plain or mixed, one of the three type
// combinations of the state's kind.
template <bool Is32f>
void haar(Fuzz& f) {
    using V = std::conditional_t<Is32f, float, int32_t>;
    using State = std::conditional_t<Is32f, HaarClassifierState_32f, HaarClassifierState_32s>;
    const bool tiltedInit = f.pick(4) == 0;
    Stage<V> s = stage<V>(f, tiltedInit);
    State** slot = f.array<State*>(1, Role::Free);
    *slot = nullptr;
    auto init = [&] {
        if constexpr (Is32f)
            return tiltedInit ? zaliTiltedHaarClassifierInitAlloc_32f(f.p(slot), f.p(s.rects), f.p(s.weights), f.p(s.thresholds), f.p(s.val1), f.p(s.val2), f.p(s.counts), s.n)
                              : zaliHaarClassifierInitAlloc_32f(f.p(slot), f.p(s.rects), f.p(s.weights), f.p(s.thresholds), f.p(s.val1), f.p(s.val2), f.p(s.counts), s.n);
        else
            return tiltedInit ? zaliTiltedHaarClassifierInitAlloc_32s(f.p(slot), f.p(s.rects), f.p(s.weights), f.p(s.thresholds), f.p(s.val1), f.p(s.val2), f.p(s.counts), s.n)
                              : zaliHaarClassifierInitAlloc_32s(f.p(slot), f.p(s.rects), f.p(s.weights), f.p(s.thresholds), f.p(s.val1), f.p(s.val2), f.p(s.counts), s.n);
    };
    const char* initName = Is32f ? (tiltedInit ? "zaliTiltedHaarClassifierInitAlloc_32f" : "zaliHaarClassifierInitAlloc_32f")
                                 : (tiltedInit ? "zaliTiltedHaarClassifierInitAlloc_32s" : "zaliHaarClassifierInitAlloc_32s");
    const int st = f.run(initName, init);
    if (st < 0 && *slot) __builtin_trap();
    State* state = st == 0 ? *slot : nullptr;
    if (!state) return;

    if (f.pick(3) == 0) {
        const int n = s.n > 0 && s.n <= 8 ? s.n : 1;
        const u8* mask = f.array<u8>(n, Role::In, Fill::Mask);
        const int mode = f.pick(4) ? f.pick(2) : f.i32();
        if constexpr (Is32f) FZ(f, zaliTiltHaarFeatures_32f, f.p(mask), mode, f.p(state));
        else FZ(f, zaliTiltHaarFeatures_32s, f.p(mask), mode, f.p(state));
    }
    ImageSize* window = f.result<ImageSize>();
    int ws;
    if constexpr (Is32f) ws = FZ(f, zaliGetHaarClassifierSize_32f, state, window);
    else ws = FZ(f, zaliGetHaarClassifierSize_32s, state, window);
    const ImageSize win = ws == 0 ? *window : ImageSize{0, 0};
    if (win.width < 0 || win.height < 0 || win.width > 64 || win.height > 64) {
        std::fprintf(stderr, "window %d x %d out of the rectangles' reach\n", win.width, win.height);
        std::abort();
    }

    const ImageSize roi = f.roi();
    // Tilted corners lie left of and above the window origin (column x - h,
    // row y - w), so the tables have a margin of kMargin on every side and
    // the operations get the origin entry. Tilted classifiers of the mixed
    // operations read their table from (py + 1, px + 1).
    constexpr int kMargin = 12;
    const ImageSize table{grow(roi.width, win.width + 2 * kMargin + 1), grow(roi.height, win.height + 2 * kMargin + 1)};
    auto origin = [&](auto img) { return roi.width > 0 && roi.height > 0 ? img.row(kMargin) + kMargin : img.ptr; };
    auto mask = f.image<u8>(roi, 1, Role::Out, Fill::Mask);
    int* positive = f.result<int>();
    const bool mixed = f.pick(2);
    const int sf = f.pick(4) ? -f.range(0, 4) : f.i32();
    if constexpr (Is32f) {
        const float thr = haarValue<float>(f);
        auto norm = f.in<float>(roi);
        if (f.pick(2)) {
            auto src = f.in<float>(table);
            auto tilt = f.in<float>(table);
            const float *s0 = origin(src), *t0 = origin(tilt);
            if (mixed) FZ(f, zaliApplyMixedHaarClassifier_32f_C1R, f.p(s0), src.step, f.p(t0), tilt.step, f.p(norm.ptr), norm.step, f.p(mask.ptr), mask.step, roi, f.p(positive), thr, f.p(state));
            else FZ(f, zaliApplyHaarClassifier_32f_C1R, f.p(s0), src.step, f.p(norm.ptr), norm.step, f.p(mask.ptr), mask.step, roi, f.p(positive), thr, f.p(state));
        } else {
            auto src = f.in<int32_t>(table);
            auto tilt = f.in<int32_t>(table);
            const int32_t *s0 = origin(src), *t0 = origin(tilt);
            if (mixed) FZ(f, zaliApplyMixedHaarClassifier_32s32f_C1R, f.p(s0), src.step, f.p(t0), tilt.step, f.p(norm.ptr), norm.step, f.p(mask.ptr), mask.step, roi, f.p(positive), thr, f.p(state));
            else FZ(f, zaliApplyHaarClassifier_32s32f_C1R, f.p(s0), src.step, f.p(norm.ptr), norm.step, f.p(mask.ptr), mask.step, roi, f.p(positive), thr, f.p(state));
        }
        FZ(f, zaliHaarClassifierFree_32f, state);
    } else {
        const int32_t thr = haarValue<int32_t>(f);
        auto norm = f.in<int32_t>(roi);
        auto src = f.in<int32_t>(table);
        auto tilt = f.in<int32_t>(table);
        const int32_t *s0 = origin(src), *t0 = origin(tilt);
        if (mixed) FZ(f, zaliApplyMixedHaarClassifier_32s_C1RSfs, f.p(s0), src.step, f.p(t0), tilt.step, f.p(norm.ptr), norm.step, f.p(mask.ptr), mask.step, roi, f.p(positive), thr, f.p(state), sf);
        else FZ(f, zaliApplyHaarClassifier_32s_C1RSfs, f.p(s0), src.step, f.p(norm.ptr), norm.step, f.p(mask.ptr), mask.step, roi, f.p(positive), thr, f.p(state));
        FZ(f, zaliHaarClassifierFree_32s, state);
    }
}
void haarNull(Fuzz& f) {
    switch (f.pick(4)) {
        case 0: FZ(f, zaliHaarClassifierFree_32f, nullptr); break;
        case 1: FZ(f, zaliHaarClassifierFree_32s, nullptr); break;
        case 2: { ImageSize* s = f.result<ImageSize>(); FZ(f, zaliGetHaarClassifierSize_32f, nullptr, f.p(s)); break; }
        default: { u8* m = f.array<u8>(1, Role::In); FZ(f, zaliTiltHaarFeatures_32s, f.p(m), 0, nullptr); break; }
    }
}

#define INT(D, V, fn, extra) fz::Case{#fn, [](Fuzz& f) { integral<D, V>(f, #fn, fn, extra); }}
#define SQR(D, Q, V, VS, fn, extra) fz::Case{#fn, [](Fuzz& f) { sqrIntegral<D, Q, V, VS>(f, #fn, fn, extra); }}
#define RSD(S, Q, D, sfs, tilted, fn) fz::Case{#fn, [](Fuzz& f) { rectStdDev<S, Q, D, sfs>(f, #fn, tilted, fn); }}

const fz::Case kCases[] = {
    INT(int32_t, int32_t, zaliIntegral_8u32s_C1R, 1), INT(float, float, zaliIntegral_8u32f_C1R, 1),
    SQR(int32_t, double, int32_t, double, zaliSqrIntegral_8u32s64f_C1R, 1),
    SQR(float, double, float, double, zaliSqrIntegral_8u32f64f_C1R, 1),
    SQR(int32_t, int32_t, int32_t, int32_t, zaliSqrIntegral_8u32s_C1R, 1),
    INT(int32_t, int32_t, zaliTiltedIntegral_8u32s_C1R, 2), INT(float, float, zaliTiltedIntegral_8u32f_C1R, 2),
    SQR(int32_t, double, int32_t, double, zaliTiltedSqrIntegral_8u32s64f_C1R, 2),
    SQR(float, double, float, double, zaliTiltedSqrIntegral_8u32f64f_C1R, 2),
    SQR(int32_t, int32_t, int32_t, int32_t, zaliTiltedSqrIntegral_8u32s_C1R, 2),
    RSD(float, double, float, false, false, zaliRectStdDev_32f_C1R),
    RSD(int32_t, double, float, false, false, zaliRectStdDev_32s32f_C1R),
    RSD(int32_t, int32_t, int32_t, true, false, zaliRectStdDev_32s_C1RSfs),
    RSD(float, double, float, false, true, zaliTiltedRectStdDev_32f_C1R),
    RSD(int32_t, double, float, false, true, zaliTiltedRectStdDev_32s32f_C1R),
    RSD(int32_t, int32_t, int32_t, true, true, zaliTiltedRectStdDev_32s_C1RSfs),
    fz::Case{"zaliApplyHaarClassifier_32f", haar<true>},
    fz::Case{"zaliApplyHaarClassifier_32s", haar<false>},
    fz::Case{"zaliHaarClassifierFree", haarNull},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
