// Object detection: integral images, window standard deviation and Haar
// classifier stages (HaarClassifier).
#include "common.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace zpy {
namespace {

// ---- Integral images ---------------------------------------------------------------------

using IntSig = StatusCode(const uint8_t*, int, void*, int, ImageSize, double);
using SqrSig = StatusCode(const uint8_t*, int, void*, int, void*, int, ImageSize, double, double);
template <auto F, class T> StatusCode integralOne(const uint8_t* s, int ss, void* d, int ds, ImageSize r, double v) {
    return F(s, ss, static_cast<T*>(d), ds, r, static_cast<T>(v));
}
template <auto F, class T, class Q>
StatusCode integralTwo(const uint8_t* s, int ss, void* d, int ds, void* q, int qs, ImageSize r, double v, double vq) {
    return F(s, ss, static_cast<T*>(d), ds, static_cast<Q*>(q), qs, r, static_cast<T>(v), static_cast<Q>(vq));
}
struct IntegralMember {
    Dt sum, sq;  // sq none for the plain tables
    bool tilted;
    IntSig* one;
    SqrSig* two;
};
const IntegralMember kIntegral[] = {
    {Dt::s32, Dt::none, false, &integralOne<zaliIntegral_8u32s_C1R, int32_t>, nullptr},
    {Dt::f32, Dt::none, false, &integralOne<zaliIntegral_8u32f_C1R, float>, nullptr},
    {Dt::s32, Dt::f64, false, nullptr, &integralTwo<zaliSqrIntegral_8u32s64f_C1R, int32_t, double>},
    {Dt::f32, Dt::f64, false, nullptr, &integralTwo<zaliSqrIntegral_8u32f64f_C1R, float, double>},
    {Dt::s32, Dt::s32, false, nullptr, &integralTwo<zaliSqrIntegral_8u32s_C1R, int32_t, int32_t>},
    {Dt::s32, Dt::none, true, &integralOne<zaliTiltedIntegral_8u32s_C1R, int32_t>, nullptr},
    {Dt::f32, Dt::none, true, &integralOne<zaliTiltedIntegral_8u32f_C1R, float>, nullptr},
    {Dt::s32, Dt::f64, true, nullptr, &integralTwo<zaliTiltedSqrIntegral_8u32s64f_C1R, int32_t, double>},
    {Dt::f32, Dt::f64, true, nullptr, &integralTwo<zaliTiltedSqrIntegral_8u32f64f_C1R, float, double>},
    {Dt::s32, Dt::s32, true, nullptr, &integralTwo<zaliTiltedSqrIntegral_8u32s_C1R, int32_t, int32_t>},
};

double initialOf(py::handle v, Dt dt, const char* name) {
    if (dt == Dt::s32) return static_cast<double>(toInt(v, name));
    return toF64(v, name);
}

py::object integral(py::object img, py::object dtypeObj, py::object initial, bool squared, py::object sqDtypeObj,
                    py::object sqInitial, bool tilted) {
    const char* op = "integral";
    const Image S = input(img, "img");
    requireDtype(S, {Dt::u8}, op);
    const Dt dt = parseDtype(dtypeObj, "dtype");
    const Dt sq = !squared ? Dt::none : sqDtypeObj.is_none() ? Dt::f64 : parseDtype(sqDtypeObj, "sq_dtype");
    const IntegralMember* m = nullptr;
    for (const auto& c : kIntegral)
        if (c.sum == dt && c.sq == sq && c.tilted == tilted) m = &c;
    if (!m) {
        if (!squared) throwType("integral: dtype must be int32 or float32");
        throwType("integral: squared tables pair int32 or float32 sums with float64 squares, or int32 with int32");
    }
    const int pad = tilted ? 2 : 1;
    if (S.height > INT_MAX - pad || S.width > INT_MAX - pad) throwValue("integral: the image is too large");
    const double v = initialOf(initial, dt, "initial");
    Output O(py::none(), dt, S.height + pad, S.width + pad, 1, op);
    const Image& D = O.image();
    if (!squared) {
        check(run([&] { return m->one(S.ptr<uint8_t>(), S.step, D.raw(), D.step, S.size(), v); }), op);
        return O.finish();
    }
    const double vq = initialOf(sqInitial, sq, "sq_initial");
    Output Q(py::none(), sq, S.height + pad, S.width + pad, 1, op);
    const Image& E = Q.image();
    check(run([&] { return m->two(S.ptr<uint8_t>(), S.step, D.raw(), D.step, E.raw(), E.step, S.size(), v, vq); }), op);
    return py::make_tuple(O.finish(), Q.finish());
}

// ---- Reads from tables -------------------------------------------------------------------------

// The library reads tables at fixed offsets from a window origin and relies on
// the caller for the bounds. The binding checks that every read lies inside
// the memory of the table's underlying array (a view may read beyond its own
// edges into its base, as a tilted table offset by one entry does).
struct Extent {
    long long rmin = LLONG_MAX, rmax = LLONG_MIN, cmin = LLONG_MAX, cmax = LLONG_MIN;
    bool empty() const { return rmin > rmax; }
    void add(long long col, long long row) {
        rmin = std::min(rmin, row);
        rmax = std::max(rmax, row);
        cmin = std::min(cmin, col);
        cmax = std::max(cmax, col);
    }
};

void requireReads(const Image& t, const Extent& e, long long oy, long long ox, int H, int W, const char* op, const char* name) {
    if (e.empty()) return;
    py::object np = py::module_::import("numpy");
    py::object base = t.array;
    while (py::isinstance<py::array>(base.attr("base"))) base = base.attr("base");
    py::tuple bounds = np.attr("byte_bounds")(base);
    const auto lo = bounds[0].cast<std::uintptr_t>(), hi = bounds[1].cast<std::uintptr_t>();
    const auto origin = reinterpret_cast<std::uintptr_t>(t.data);
    const long long elem = static_cast<long long>(dtSize(t.dt));
    // Lowest and highest byte read, relative to the start of the memory
    // (steps and element sizes are positive; the corner extremes bound every read).
    const long long at = static_cast<long long>(origin - lo);
    const long long first = at + (oy + e.rmin) * t.step + (ox + e.cmin) * elem;
    const long long end = at + (oy + H - 1 + e.rmax) * t.step + (ox + W - 1 + e.cmax) * elem + elem;
    if (origin < lo || first < 0 || end > static_cast<long long>(hi - lo))
        throwValue(std::string(op) + ": '" + name + "' is too small for the windows: reads would leave the table");
}

// ---- Window standard deviation -----------------------------------------------------------------

using StdSig = StatusCode(const void*, int, const void*, int, void*, int, ImageSize, ImageRect, int);
template <auto F, class S, class Q>
StatusCode stdFloat(const void* s, int ss, const void* q, int qs, void* d, int ds, ImageSize r, ImageRect rc, int) {
    return F(static_cast<const S*>(s), ss, static_cast<const Q*>(q), qs, static_cast<float*>(d), ds, r, rc);
}
struct StdMember {
    Dt sum, sq, out;
    StdSig* fn[2];  // upright, tilted
};
const StdMember kStd[] = {
    {Dt::f32, Dt::f64, Dt::f32,
     {&stdFloat<zaliRectStdDev_32f_C1R, float, double>, &stdFloat<zaliTiltedRectStdDev_32f_C1R, float, double>}},
    {Dt::s32, Dt::f64, Dt::f32,
     {&stdFloat<zaliRectStdDev_32s32f_C1R, int32_t, double>, &stdFloat<zaliTiltedRectStdDev_32s32f_C1R, int32_t, double>}},
    {Dt::s32, Dt::s32, Dt::s32, {erase<zaliRectStdDev_32s_C1RSfs, StdSig>(), erase<zaliTiltedRectStdDev_32s_C1RSfs, StdSig>()}},
};

ImageRect rectOf(py::handle obj, const char* name) {
    py::sequence seq = py::reinterpret_borrow<py::sequence>(obj);
    if (!py::isinstance<py::sequence>(obj) || py::len(seq) != 4) throwValue(std::string("'") + name + "' must be (x, y, width, height)");
    return {toInt(seq[0], name), toInt(seq[1], name), toInt(seq[2], name), toInt(seq[3], name)};
}

// Window corners relative to the output position: upright (x, y) .. (x + w,
// y + h); tilted with the top corner at (x - y, x + y) and the sides w, h.
Extent stdExtent(const ImageRect& r, bool tilted) {
    Extent e;
    const long long x = r.x, y = r.y, w = r.width, h = r.height;
    if (!tilted) {
        e.add(x, y);
        e.add(x + w, y + h);
    } else {
        const long long R = x + y, C = x - y;
        e.add(C, R);
        e.add(C + w, R + w);
        e.add(C - h, R + h);
        e.add(C + w - h, R + w + h);
    }
    return e;
}

py::array rectStddev(py::object sums, py::object sqsums, py::object rect, py::object shape, bool tilted, py::object scaleFactor,
                     py::object out) {
    const char* op = "rect_stddev";
    const Image T = input(sums, "sums"), Q = input(sqsums, "sqsums");
    requireSameSize(T, Q, op, "sqsums");
    const StdMember* m = nullptr;
    for (const auto& c : kStd)
        if (c.sum == T.dt && c.sq == Q.dt) m = &c;
    if (!m) throwType("rect_stddev: tables must be (float32, float64), (int32, float64) or (int32, int32)");
    const ImageRect r = rectOf(rect, "rect");
    if (r.x < 0 || r.y < 0 || r.width < 1 || r.height < 1)
        throw StatusError{StatusSizeError, "rect_stddev: 'rect' needs x, y >= 0 and width, height >= 1 (argument 'rect') [status -6]"};
    const int sf = toInt(scaleFactor, "scale_factor");
    if (sf != 0 && m->out != Dt::s32) throwValue("rect_stddev: 'scale_factor' applies to int32 tables only");
    const Extent e = stdExtent(r, tilted);
    // The output origin is shifted right when a tilted window reaches left of
    // its reference column, so every window of the result lies in the tables.
    const long long ox = std::max(0LL, -e.cmin), oy = std::max(0LL, -e.rmin);
    const long long maxH = T.height - oy - e.rmax;
    // The library also bounds each row step from below (tilted: by x + y +
    // width + height + W - 1 elements), which can be stricter than the tables.
    const long long stepElems = std::min<long long>(T.step / 4, Q.step / static_cast<long long>(dtSize(Q.dt)));
    const long long stepW = tilted ? stepElems - (static_cast<long long>(r.x) + r.y + r.width + r.height) + 1
                                   : stepElems - r.x - r.width;
    const long long maxW = std::min(T.width - ox - e.cmax, stepW);
    long long H = maxH, W = maxW;
    if (!shape.is_none()) {
        py::sequence s = shape;
        if (py::len(s) != 2) throwValue("rect_stddev: 'shape' must be (rows, cols)");
        H = toInt(s[0], "shape");
        W = toInt(s[1], "shape");
        if (H > maxH || W > maxW) throwValue("rect_stddev: 'shape' is larger than the windows that fit the tables");
    }
    if (H < 1 || W < 1) throwValue("rect_stddev: the tables are too small for one window");
    Output O(out, m->out, static_cast<int>(H), static_cast<int>(W), 1, op, {&T, &Q});
    const Image& D = O.image();
    const char* tp = T.data + oy * T.step + ox * 4;
    const char* qp = Q.data + oy * Q.step + ox * static_cast<long long>(dtSize(Q.dt));
    check(run([&] { return m->fn[tilted](tp, T.step, qp, Q.step, D.raw(), D.step, D.size(), r, sf); }), op);
    return O.finish();
}

// ---- Haar classifiers --------------------------------------------------------------------------

enum class Form { Upright, Tilted, TiltedMode0 };

// Corner placement of a rectangle in each form (column, row).
void addCorners(Extent& e, const ImageRect& r, Form f) {
    const long long x = r.x, y = r.y, w = r.width, h = r.height;
    switch (f) {
        case Form::Upright:
            e.add(x + w, y + h), e.add(x, y + h), e.add(x + w, y), e.add(x, y);
            break;
        case Form::Tilted:
            e.add(x + w - h, y + w + h), e.add(x - h, y + h), e.add(x + w, y + w), e.add(x, y);
            break;
        case Form::TiltedMode0:
            e.add(x, y + h), e.add(x - h, y), e.add(x + w, y + h - w), e.add(x + w - h, y - w);
            break;
    }
}

class HaarClassifier {
public:
    HaarClassifier(py::object rects, py::object weights, py::object thresholds, py::object val1, py::object val2,
                   py::object counts, py::object dtypeObj, bool tilted) {
        py::object np = py::module_::import("numpy");
        dt_ = parseDtype(dtypeObj, "dtype");
        if (dt_ != Dt::f32 && dt_ != Dt::s32) throwType("HaarClassifier: dtype must be float32 or int32");
        const Dt vt = dt_;
        auto vec = [&](py::object o, Dt t, const char* name) {
            py::array a = np.attr("ascontiguousarray")(o, dtype(t)).cast<py::array>();
            py::array orig = np.attr("asarray")(o).cast<py::array>();
            if (a.ndim() != 1) throwValue(std::string("HaarClassifier: '") + name + "' must be one-dimensional");
            if (t == Dt::s32 && !np.attr("array_equal")(a, orig).cast<bool>())
                throwValue(std::string("HaarClassifier: '") + name + "' must hold 32-bit integers");
            return a;
        };
        counts_ = vec(counts, Dt::s32, "counts");
        const py::ssize_t n = counts_.size();
        if (n > INT_MAX) throwValue("HaarClassifier: too many classifiers");
        rects_ = np.attr("ascontiguousarray")(rects, "int32").cast<py::array>();
        if (rects_.size() == 0) rects_ = np.attr("zeros")(py::make_tuple(0, 4), "int32").cast<py::array>();
        if (rects_.ndim() != 2 || rects_.shape(1) != 4) throwValue("HaarClassifier: 'rects' must be (R, 4) rows of x, y, width, height");
        weights_ = vec(weights, vt, "weights");
        thresholds_ = vec(thresholds, vt, "thresholds");
        val1_ = vec(val1, vt, "val1");
        val2_ = vec(val2, vt, "val2");
        if (thresholds_.size() != n || val1_.size() != n || val2_.size() != n)
            throwValue("HaarClassifier: 'thresholds', 'val1' and 'val2' need one value per classifier (len(counts))");
        const int32_t* c = static_cast<const int32_t*>(counts_.data());
        long long total = 0;
        for (py::ssize_t i = 0; i < n; ++i) {
            if (c[i] < 1) throw StatusError{StatusSizeError, "HaarClassifier: every count must be at least 1 (argument 'counts') [status -6]"};
            total += c[i];
        }
        if (total != rects_.shape(0) || total != weights_.size())
            throwValue("HaarClassifier: 'rects' and 'weights' need sum(counts) entries");
        forms_.assign(static_cast<std::size_t>(n), tilted ? Form::Tilted : Form::Upright);
        const auto* rp = static_cast<const ImageRect*>(rects_.data());
        const int nc = static_cast<int>(n);
        StatusCode st;
        if (dt_ == Dt::f32) {
            auto* f = tilted ? zaliTiltedHaarClassifierInitAlloc_32f : zaliHaarClassifierInitAlloc_32f;
            st = run([&] {
                return f(&s32f_, rp, static_cast<const float*>(weights_.data()), static_cast<const float*>(thresholds_.data()),
                         static_cast<const float*>(val1_.data()), static_cast<const float*>(val2_.data()), c, nc);
            });
        } else {
            auto* f = tilted ? zaliTiltedHaarClassifierInitAlloc_32s : zaliHaarClassifierInitAlloc_32s;
            st = run([&] {
                return f(&s32s_, rp, static_cast<const int32_t*>(weights_.data()), static_cast<const int32_t*>(thresholds_.data()),
                         static_cast<const int32_t*>(val1_.data()), static_cast<const int32_t*>(val2_.data()), c, nc);
            });
        }
        check(st, "HaarClassifier", {{-5, "rects"}, {-6, "counts"}});
        tiltedState_ = tilted;
    }
    ~HaarClassifier() { freeState(); }

    void close() {
        NoGil released;
        std::unique_lock<std::shared_mutex> lock(mutex_);
        freeState();
    }
    bool closed() const { return !s32f_ && !s32s_; }

    py::tuple size() {
        ImageSize s{0, 0};
        check(withState(false, [&] {
                  return dt_ == Dt::f32 ? zaliGetHaarClassifierSize_32f(s32f_, &s) : zaliGetHaarClassifierSize_32s(s32s_, &s);
              }),
              "HaarClassifier.size");
        return py::make_tuple(s.height, s.width);
    }

    void tilt(py::object mask, py::object mode) {
        requireOpen();
        py::object np = py::module_::import("numpy");
        py::array m = np.attr("ascontiguousarray")(np.attr("not_equal")(np.attr("asarray")(mask), 0), "uint8").cast<py::array>();
        if (m.ndim() != 1 || m.size() != static_cast<py::ssize_t>(forms_.size()))
            throwValue("HaarClassifier.tilt: 'mask' needs one entry per classifier");
        const int md = toInt(mode, "mode");
        const uint8_t* mp = static_cast<const uint8_t*>(m.data());
        // Tilting changes the state: exclusive of running applications.
        check(withState(true, [&] { return dt_ == Dt::f32 ? zaliTiltHaarFeatures_32f(mp, md, s32f_) : zaliTiltHaarFeatures_32s(mp, md, s32s_); }),
              "HaarClassifier.tilt", {{-5, "mask (the stage is already tilted)"}});
        bool any = false;
        for (std::size_t i = 0; i < forms_.size(); ++i)
            if (mp[i]) {
                forms_[i] = md == 0 ? Form::TiltedMode0 : Form::Tilted;
                any = true;
            }
        tiltedState_ = tiltedState_ || any;
    }

    int apply(py::object sums, py::object norm, py::object mask, py::object threshold, py::object tiltedSums,
              py::object scaleFactor) {
        const char* op = "HaarClassifier.apply";
        requireOpen();
        const Image N = input(norm, "norm");
        const Image M = inplace(mask, "mask");
        requireDtype(M, {Dt::u8}, op);
        requireSameSize(M, N, op, "norm");
        const Dt nt = dt_ == Dt::s32 ? Dt::s32 : Dt::f32;
        if (N.dt != nt) throwType(std::string(op) + ": 'norm' must be " + dtName(nt));
        const int sf = toInt(scaleFactor, "scale_factor");
        // Which classifiers read which table.
        Extent up, tl;
        const auto* rp = static_cast<const ImageRect*>(rects_.data());
        const auto* cp = static_cast<const int32_t*>(counts_.data());
        bool anyUp = false, anyTilted = false;
        for (std::size_t i = 0, r = 0; i < forms_.size(); r += static_cast<std::size_t>(cp[i]), ++i) {
            const bool isTilted = forms_[i] != Form::Upright;
            (isTilted ? anyTilted : anyUp) = true;
            for (int k = 0; k < cp[i]; ++k) addCorners(isTilted ? tl : up, rp[r + static_cast<std::size_t>(k)], forms_[i]);
        }
        const bool mixed = anyTilted && anyUp;
        if (sf != 0 && !(mixed && dt_ == Dt::s32)) throwValue(std::string(op) + ": 'scale_factor' applies to mixed int32 stages only");
        std::optional<Image> T, U;
        if (!sums.is_none()) T = input(sums, "sums");
        if (!tiltedSums.is_none()) U = input(tiltedSums, "tilted_sums");
        for (auto* im : {T ? &*T : nullptr, U ? &*U : nullptr})
            if (im && im->dt != (dt_ == Dt::f32 && im->dt == Dt::f32 ? Dt::f32 : Dt::s32))
                throwType(std::string(op) + ": tables must be float32 or int32 (int32 for an int32 stage)");
        if (dt_ == Dt::s32 && ((T && T->dt != Dt::s32) || (U && U->dt != Dt::s32)))
            throwType(std::string(op) + ": an int32 stage reads int32 tables");
        if (T && U && T->dt != U->dt) throwType(std::string(op) + ": 'sums' and 'tilted_sums' must have one dtype");
        const int H = M.height, W = M.width;
        const float thr = toF32(threshold, "threshold");
        const int thri = dt_ == Dt::s32 ? toInt(threshold, "threshold") : 0;
        int positive = 0;
        StatusCode st;
        if (mixed) {
            if (!T || !U) throwValue(std::string(op) + ": a stage with upright and tilted classifiers needs 'sums' and 'tilted_sums'");
            requireReads(*T, up, 0, 0, H, W, op, "sums");
            requireReads(*U, tl, 1, 1, H, W, op, "tilted_sums");
            st = withState(false, [&] {
                if (dt_ == Dt::s32)
                    return zaliApplyMixedHaarClassifier_32s_C1RSfs(T->ptr<int32_t>(), T->step, U->ptr<int32_t>(), U->step, N.ptr<int32_t>(),
                                                                   N.step, M.ptr<uint8_t>(), M.step, M.size(), &positive, thri, s32s_, sf);
                if (T->dt == Dt::f32)
                    return zaliApplyMixedHaarClassifier_32f_C1R(T->ptr<float>(), T->step, U->ptr<float>(), U->step, N.ptr<float>(), N.step,
                                                                M.ptr<uint8_t>(), M.step, M.size(), &positive, thr, s32f_);
                return zaliApplyMixedHaarClassifier_32s32f_C1R(T->ptr<int32_t>(), T->step, U->ptr<int32_t>(), U->step, N.ptr<float>(),
                                                               N.step, M.ptr<uint8_t>(), M.step, M.size(), &positive, thr, s32f_);
            });
        } else {
            // One table: the upright one, or for an all-tilted stage the tilted
            // table with its origin one entry down and right (as the mixed
            // operations place it), or `sums` as given.
            const bool viaTilted = anyTilted && U.has_value();
            const Image* t = viaTilted ? &*U : T ? &*T : nullptr;
            if (!t) throwValue(std::string(op) + (anyTilted ? ": a tilted stage reads 'tilted_sums'" : ": an upright stage reads 'sums'"));
            const long long off = viaTilted ? 1 : 0;
            requireReads(*t, anyTilted ? tl : up, off, off, H, W, op, viaTilted ? "tilted_sums" : "sums");
            const char* base = t->data + off * t->step + off * 4;
            st = withState(false, [&] {
                if (dt_ == Dt::s32)
                    return zaliApplyHaarClassifier_32s_C1RSfs(reinterpret_cast<const int32_t*>(base), t->step, N.ptr<int32_t>(), N.step,
                                                              M.ptr<uint8_t>(), M.step, M.size(), &positive, thri, s32s_);
                if (t->dt == Dt::f32)
                    return zaliApplyHaarClassifier_32f_C1R(reinterpret_cast<const float*>(base), t->step, N.ptr<float>(), N.step,
                                                           M.ptr<uint8_t>(), M.step, M.size(), &positive, thr, s32f_);
                return zaliApplyHaarClassifier_32s32f_C1R(reinterpret_cast<const int32_t*>(base), t->step, N.ptr<float>(), N.step,
                                                          M.ptr<uint8_t>(), M.step, M.size(), &positive, thr, s32f_);
            });
        }
        check(st, op, {{-5, "scale_factor"}});
        return positive;
    }

    Dt dt() const { return dt_; }
    bool tiltedState() const { return tiltedState_; }
    int count() const { return static_cast<int>(forms_.size()); }

private:
    // Runs f on the state without the GIL, under the object's lock (shared
    // for applications, which only read the state; exclusive for tilting).
    static constexpr StatusCode kClosed = static_cast<StatusCode>(-100000);
    template <class F> StatusCode withState(bool exclusive, F&& f) {
        StatusCode st;
        {
            NoGil released;
            std::shared_lock<std::shared_mutex> threads(threadConfigLock());
            if (exclusive) {
                std::unique_lock<std::shared_mutex> lock(mutex_);
                st = closed() ? kClosed : f();
            } else {
                std::shared_lock<std::shared_mutex> lock(mutex_);
                st = closed() ? kClosed : f();
            }
        }
        if (st == kClosed) throwValue("HaarClassifier: the object is closed");
        return st;
    }
    void requireOpen() const {
        if (closed()) throwValue("HaarClassifier: the object is closed");
    }
    void freeState() {
        if (s32f_) zaliHaarClassifierFree_32f(s32f_);
        if (s32s_) zaliHaarClassifierFree_32s(s32s_);
        s32f_ = nullptr;
        s32s_ = nullptr;
    }
    Dt dt_ = Dt::f32;
    HaarClassifierState_32f* s32f_ = nullptr;
    HaarClassifierState_32s* s32s_ = nullptr;
    py::array rects_, weights_, thresholds_, val1_, val2_, counts_;
    std::vector<Form> forms_;
    bool tiltedState_ = false;
    // Applications only read the state; tilting and freeing change it.
    std::shared_mutex mutex_;
};

}  // namespace

void bindObjdetect(py::module_& m) {
    m.def("integral", &integral, py::arg("img"), py::arg("dtype") = "int32", py::arg("initial") = 0, py::kw_only(),
          py::arg("squared") = false, py::arg("sq_dtype") = py::none(), py::arg("sq_initial") = 0, py::arg("tilted") = false,
          "Summed-area table of a one-channel uint8 image: (H+1) x (W+1) entries, entry (y, x) = initial +\n"
          "the sum of img[:y, :x] (int32 wraps; float32 adds integer row sums). squared=True also returns the\n"
          "table of squares (sq_dtype float64, or int32 with int32 sums) as a tuple. tilted=True builds the\n"
          "45-degree tables instead: (H+2) x (W+2), rows 0 and 1 = initial.");
    m.def("rect_stddev", &rectStddev, py::arg("sums"), py::arg("sqsums"), py::arg("rect"), py::arg("shape") = py::none(),
          py::kw_only(), py::arg("tilted") = false, py::arg("scale_factor") = 0, py::arg("out") = py::none(),
          "Standard deviation of the pixels of a window at every position, from a sum table and a table of\n"
          "squares (from `integral`). `rect` (x, y, width, height) is the window relative to the position;\n"
          "tilted=True reads 45-degree tables. The result covers every position whose window lies inside\n"
          "the tables (or `shape`, no larger); a tilted window reaching left of its position shifts the\n"
          "result's origin right by that many columns. Tables (float32, float64) or (int32, float64) give\n"
          "float32; (int32, int32) gives int32 = round(sd / 2**scale_factor).");
    py::class_<HaarClassifier>(m, "HaarClassifier",
                               "One stage of a Haar cascade: weak classifiers voting on rectangle sums.\n\n"
                               "HaarClassifier(rects, weights, thresholds, val1, val2, counts, *, dtype='float32',\n"
                               "tilted=False): classifier k has counts[k] rectangles (consecutive rows (x, y, width,\n"
                               "height) of `rects`, one weight each) and votes val1[k] when its weighted sum is below\n"
                               "thresholds[k] * norm, else val2[k]. dtype int32 makes an integer stage (int32 tables and\n"
                               "norm). tilted=True places every rectangle at 45 degrees. close() or `with` frees it.")
        .def(py::init<py::object, py::object, py::object, py::object, py::object, py::object, py::object, bool>(), py::arg("rects"),
             py::arg("weights"), py::arg("thresholds"), py::arg("val1"), py::arg("val2"), py::arg("counts"), py::kw_only(),
             py::arg("dtype") = "float32", py::arg("tilted") = false)
        .def_property_readonly("size", &HaarClassifier::size, "(rows, cols) of the window the stage reads.")
        .def("tilt", &HaarClassifier::tilt, py::arg("mask"), py::arg("mode") = 1,
             "Turns the classifiers whose `mask` entry is non-zero into 45-degree ones (mode 0 picks the second\n"
             "corner placement). Allowed once; an all-zero mask changes nothing.")
        .def("apply", &HaarClassifier::apply, py::arg("sums"), py::arg("norm"), py::arg("mask"), py::arg("threshold"),
             py::kw_only(), py::arg("tilted_sums") = py::none(), py::arg("scale_factor") = 0,
             "Evaluates the stage at every window position (y, x) of `mask` (uint8, updated in place) whose entry\n"
             "is non-zero, with the sum table entry (y, x) as window origin and norm[y, x] scaling the thresholds;\n"
             "a window whose vote total is below `threshold` gets mask 0. Returns the number of windows accepted.\n"
             "Stages with tilted classifiers read `tilted_sums` with the origin at (y + 1, x + 1); a stage with\n"
             "upright and tilted classifiers needs both tables. Reads outside the tables raise ValueError.")
        .def("close", &HaarClassifier::close, "Frees the state now; later calls raise ValueError.")
        .def_property_readonly("closed", &HaarClassifier::closed, "True after close().")
        .def_property_readonly("tilted", &HaarClassifier::tiltedState, "True when the stage holds tilted classifiers.")
        .def_property_readonly("dtype", [](const HaarClassifier& h) { return dtype(h.dt()); }, "float32 or int32.")
        .def("__len__", &HaarClassifier::count)
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](HaarClassifier& s, py::args) { s.close(); return false; });
}

}  // namespace zpy
