// Pyramids, sub-pixel copies and optical flow: the fixed 5x5 Gaussian levels,
// general pyramid layers (PyramidLayer), pyramid descriptors that own their
// level images (Pyramid), sub-pixel rectangle copies and pyramidal
// Lucas-Kanade tracking (LucasKanade).
#include "common.h"

#include <cmath>
#include <memory>

namespace zpy {
namespace {

int typeCode(Dt dt) { return dt == Dt::u8 ? DataType8u : dt == Dt::s8 ? DataType8s : dt == Dt::u16 ? DataType16u : DataType32f; }

// ---- Fixed Gaussian levels -----------------------------------------------------------------

using GaussSig = StatusCode(const void*, int, void*, int, ImageSize, uint8_t*);
#define ZPY_GAUSS(DIR, T, DT, CH) {Dt::DT, Dt::DT, CH, erase<zaliPyr##DIR##_Gauss5x5_##T##_C##CH##R, GaussSig>()}
const Member<GaussSig> kPyrDown[] = {ZPY_GAUSS(Down, 8u, u8, 1), ZPY_GAUSS(Down, 8u, u8, 3), ZPY_GAUSS(Down, 8s, s8, 1),
                                     ZPY_GAUSS(Down, 8s, s8, 3), ZPY_GAUSS(Down, 32f, f32, 1), ZPY_GAUSS(Down, 32f, f32, 3)};
const Member<GaussSig> kPyrUp[] = {ZPY_GAUSS(Up, 8u, u8, 1), ZPY_GAUSS(Up, 8u, u8, 3), ZPY_GAUSS(Up, 8s, s8, 1),
                                   ZPY_GAUSS(Up, 8s, s8, 3), ZPY_GAUSS(Up, 32f, f32, 1), ZPY_GAUSS(Up, 32f, f32, 3)};
#undef ZPY_GAUSS

// Writes one Gaussian level of S into D (sizes already consistent).
StatusCode gaussLevel(bool down, const Image& S, const Image& D, GaussSig* fn) {
    int size = 0;
    StatusCode st = (down ? zaliPyrDownGetBufSize_Gauss5x5 : zaliPyrUpGetBufSize_Gauss5x5)(S.width, typeCode(S.dt), S.channels, &size);
    if (st != StatusOk) return st;
    return fn(S.raw(), S.step, D.raw(), D.step, S.size(), workBuffer(size));
}

py::array pyrGauss(bool down, py::object img, py::object out) {
    const char* op = down ? "pyr_down" : "pyr_up";
    const Image S = input(img, "img", C13);
    auto* fn = pick(down ? kPyrDown : kPyrUp, S.dt, Dt::none, S.channels, op);
    const long long h = down ? (S.height + 1LL) / 2 : 2LL * S.height, w = down ? (S.width + 1LL) / 2 : 2LL * S.width;
    if (h > INT_MAX || w > INT_MAX) throwValue(std::string(op) + ": the result is too large");
    Output O(out, S.dt, static_cast<int>(h), static_cast<int>(w), S.channels, op, {&S});
    const Image& D = O.image();
    check(run([&] { return gaussLevel(down, S, D, fn); }), op);
    return O.finish();
}

// ---- Level sizes -----------------------------------------------------------------------------

std::pair<int, int> shapeArg(py::handle shape, const char* name) {
    py::sequence seq = py::reinterpret_borrow<py::sequence>(shape);
    if (!py::isinstance<py::sequence>(shape) || py::len(seq) < 2) throwValue(std::string("'") + name + "' must be (rows, cols, ...)");
    return {toInt(seq[0], name), toInt(seq[1], name)};
}

py::tuple downSize(py::object shape, py::object rate) {
    auto [h, w] = shapeArg(shape, "shape");
    ImageSize d{0, 0};
    const float r = toF32(rate, "rate");
    check(run([&] { return zaliGetPyramidDownROI(ImageSize{w, h}, &d, r); }), "pyramid_down_shape", {{-5, "rate"}, {-6, "shape"}});
    return py::make_tuple(d.height, d.width);
}

py::tuple upRange(py::object shape, py::object rate) {
    auto [h, w] = shapeArg(shape, "shape");
    ImageSize lo{0, 0}, hi{0, 0};
    const float r = toF32(rate, "rate");
    check(run([&] { return zaliGetPyramidUpROI(ImageSize{w, h}, &lo, &hi, r); }), "pyramid_up_range", {{-5, "rate"}, {-6, "shape"}});
    return py::make_tuple(py::make_tuple(lo.height, lo.width), py::make_tuple(hi.height, hi.width));
}

// ---- General pyramid layers ------------------------------------------------------------------

using LayerInitSig = StatusCode(PyramidLayerState**, ImageSize, float, const void*, int, int);
using LayerSig = StatusCode(const void*, int, ImageSize, void*, int, ImageSize, PyramidLayerState*);
struct LayerMember {
    Dt dt;
    int channels;
    LayerInitSig* init[2];  // down, up
    LayerSig* fn[2];
};
#define ZPY_LAYER(T, DT, CH)                                                                                        \
    {Dt::DT, CH,                                                                                                    \
     {erase<zaliPyramidLayerDownInitAlloc_##T##_C##CH##R, LayerInitSig>(), erase<zaliPyramidLayerUpInitAlloc_##T##_C##CH##R, LayerInitSig>()}, \
     {erase<zaliPyramidLayerDown_##T##_C##CH##R, LayerSig>(), erase<zaliPyramidLayerUp_##T##_C##CH##R, LayerSig>()}}
const LayerMember kLayer[] = {ZPY_LAYER(8u, u8, 1), ZPY_LAYER(8u, u8, 3), ZPY_LAYER(16u, u16, 1),
                              ZPY_LAYER(16u, u16, 3), ZPY_LAYER(32f, f32, 1), ZPY_LAYER(32f, f32, 3)};
#undef ZPY_LAYER

class PyramidLayer {
public:
    PyramidLayer(py::object rate, py::object kernel) : rate_(toF32(rate, "rate")) {
        py::object np = py::module_::import("numpy");
        py::array k = np.attr("asarray")(kernel.is_none() ? py::object(py::make_tuple(1, 4, 6, 4, 1)) : kernel).cast<py::array>();
        if (k.ndim() != 1 || k.size() < 3 || k.size() % 2 == 0 || k.size() > 4096)
            throw StatusError{StatusBadArgument, "PyramidLayer: 'kernel' must have an odd length of at least 3 (argument 'kernel') [status -5]"};
        kernel32f_ = np.attr("ascontiguousarray")(k, "float32").cast<py::array>();
        // Integer images take int16 taps: only when the kernel holds such values.
        py::array k16 = np.attr("ascontiguousarray")(np.attr("clip")(k, -32768, 32767), "int16").cast<py::array>();
        hasInt16_ = np.attr("array_equal")(k16, k).cast<bool>();
        if (hasInt16_) kernel16s_ = k16;
        if (!(rate_ > 1.0f && rate_ <= 10.0f))
            throw StatusError{StatusBadArgument, "PyramidLayer: 'rate' must lie in (1, 10] (argument 'rate') [status -5]"};
    }

    // One level down (down=true) or up from S into a destination of size dh x dw.
    py::array apply(bool down, const Image& S, int dh, int dw, py::object out) {
        const char* op = down ? "PyramidLayer.down" : "PyramidLayer.up";
        if (pool_[0].closed()) throwValue("PyramidLayer: the object is closed");
        const LayerMember* m = nullptr;
        for (const auto& c : kLayer)
            if (c.dt == S.dt && c.channels == S.channels) m = &c;
        if (!m) throwType(std::string(op) + ": dtype must be uint8, uint16 or float32 with 1 or 3 channels");
        const py::array& k = S.dt == Dt::f32 ? kernel32f_ : kernel16s_;
        if (S.dt != Dt::f32 && !hasInt16_) throwValue(std::string(op) + ": integer images need an integer kernel (int16 taps)");
        const void* kp = k.data();
        const int ks = static_cast<int>(k.size());
        Output O(out, S.dt, dh, dw, S.channels, op, {&S});
        const Image& D = O.image();
        StatusCode initSt = StatusOk;
        const long long key = static_cast<long long>(S.dt) * 8 + S.channels;
        const StatusCode st = run([&] {
            auto lease = pool_[down ? 0 : 1].acquire(key, S.width, S.height,
                                                     [&](int w, int h, PyramidLayerState** p) {
                                                         return m->init[down ? 0 : 1](p, ImageSize{w, h}, rate_, kp, ks, 2);
                                                     },
                                                     initSt);
            if (initSt < 0) return initSt;
            return m->fn[down ? 0 : 1](S.raw(), S.step, S.size(), D.raw(), D.step, D.size(), lease.get());
        });
        if (initSt > 0) check(initSt, op);
        check(st, op, {{-5, "rate or kernel"}, {-6, "shape"}});
        return O.finish();
    }

    py::array down(py::object img, py::object out) {
        const Image S = input(img, "img", C13);
        py::tuple d = downSize(py::make_tuple(S.height, S.width), py::float_(rate_));
        return apply(true, S, d[0].cast<int>(), d[1].cast<int>(), out);
    }

    py::array up(py::object img, py::object shape, py::object out) {
        const Image S = input(img, "img", C13);
        int h, w;
        if (shape.is_none()) {
            py::tuple range = upRange(py::make_tuple(S.height, S.width), py::float_(rate_));
            h = range[1].cast<py::tuple>()[0].cast<int>();
            w = range[1].cast<py::tuple>()[1].cast<int>();
        } else {
            std::tie(h, w) = shapeArg(shape, "shape");
        }
        if (h < 1 || w < 1) throw StatusError{StatusSizeError, "PyramidLayer.up: 'shape' must be positive [status -6]"};
        return apply(false, S, h, w, out);
    }

    void close() {
        pool_[0].close();
        pool_[1].close();
    }
    bool closed() const { return pool_[0].closed(); }
    float rate() const { return rate_; }
    py::array kernel() const { return kernel32f_.attr("copy")(); }

private:
    float rate_;
    py::array kernel32f_, kernel16s_;
    bool hasInt16_ = false;
    StatePool<PyramidLayerState> pool_[2] = {StatePool<PyramidLayerState>(&zaliPyramidLayerDownFree),
                                             StatePool<PyramidLayerState>(&zaliPyramidLayerUpFree)};
};

// ---- Pyramid descriptors ---------------------------------------------------------------------

class PyramidObj {
public:
    // `borrowed`: level 0 is the caller's array itself, for a pyramid that
    // lives only as long as one call that holds that array.
    PyramidObj(py::object img, py::object levels, py::object rate, py::object kernel, bool borrowed = false) {
        py::object np = py::module_::import("numpy");
        // Level 0 is otherwise a private copy: the pyramid stays consistent
        // whatever the caller does with its array afterwards.
        const Image base = input(borrowed ? img : np.attr("array")(img), "img", C13);
        const int lv = toInt(levels, "levels");
        rate_ = toF32(rate, "rate");
        Pyramid* created = nullptr;
        check(run([&] { return zaliPyramidInitAlloc(&created, lv, base.size(), rate_); }), "Pyramid",
              {{-5, "levels or rate"}});
        desc_ = std::shared_ptr<Pyramid>(created, [](Pyramid* p) { zaliPyramidFree(p); });
        dt_ = base.dt;
        channels_ = base.channels;
        images_.push_back(base);
        const bool gauss = kernel.is_none() && rate_ == 2.0f && (dt_ == Dt::u8 || dt_ == Dt::s8 || dt_ == Dt::f32);
        std::unique_ptr<PyramidLayer> layer;
        if (!gauss) layer = std::make_unique<PyramidLayer>(py::float_(rate_), kernel);
        for (int L = 1; L <= desc_->topLevel; ++L) {
            const ImageSize s = desc_->levelSizes[L];
            py::array level;
            if (gauss) {
                Output O(py::none(), dt_, s.height, s.width, channels_, "Pyramid");
                auto* fn = pick(kPyrDown, dt_, Dt::none, channels_, "Pyramid");
                const Image& prev = images_.back();
                check(run([&] { return gaussLevel(true, prev, O.image(), fn); }), "Pyramid");
                level = O.finish();
            } else {
                level = layer->apply(true, images_.back(), s.height, s.width, py::none());
            }
            images_.push_back(input(level, "level"));
        }
        for (int L = 0; L <= desc_->topLevel; ++L) {
            desc_->levelImages[L] = images_[L].raw();
            desc_->levelSteps[L] = images_[L].step;
        }
    }
    // Callers hold the descriptor for the length of a call, so close() from
    // another thread frees it only when that call is over.
    void close() { desc_.reset(); }
    std::shared_ptr<const Pyramid> get(const char* op) const {
        if (!desc_) throwValue(std::string(op) + ": the pyramid is closed");
        return desc_;
    }
    int topLevel() const { return get("Pyramid")->topLevel; }
    py::list levels() const {
        get("Pyramid");
        py::list l;
        for (const auto& im : images_) l.append(im.array);
        return l;
    }
    py::list scales() const {
        const auto p = get("Pyramid");
        py::list l;
        for (int L = 0; L <= p->topLevel; ++L) l.append(p->levelScales[L]);
        return l;
    }
    py::array level(int i) const {
        const auto p = get("Pyramid");
        if (i < 0) i += p->topLevel + 1;
        if (i < 0 || i > p->topLevel) throw py::index_error("Pyramid level out of range");
        return images_[static_cast<std::size_t>(i)].array;
    }
    Dt dt() const { return dt_; }
    int channels() const { return channels_; }
    float rate() const { return rate_; }
    ImageSize size0() const { return images_[0].size(); }

private:
    std::shared_ptr<Pyramid> desc_;
    std::vector<Image> images_;
    Dt dt_ = Dt::none;
    int channels_ = 1;
    float rate_ = 2.0f;
};

// ---- Sub-pixel copies ------------------------------------------------------------------------

using SubpixSig = StatusCode(const void*, int, void*, int, ImageSize, float, float, int);
using IntersectSig = StatusCode(const void*, int, ImageSize, void*, int, ImageSize, float, float, ImagePoint*, ImagePoint*, int);
template <auto F, class S, class D>
StatusCode subpix(const void* s, int ss, void* d, int ds, ImageSize r, float dx, float dy, int) {
    return F(static_cast<const S*>(s), ss, static_cast<D*>(d), ds, r, dx, dy);
}
template <auto F, class S, class D>
StatusCode intersect(const void* s, int ss, ImageSize sr, void* d, int ds, ImageSize dr, float x, float y, ImagePoint* a,
                     ImagePoint* b, int) {
    return F(static_cast<const S*>(s), ss, sr, static_cast<D*>(d), ds, dr, x, y, a, b);
}
const Member<SubpixSig> kSubpix[] = {
    {Dt::u8, Dt::u8, 1, &subpix<zaliCopySubpix_8u_C1R, uint8_t, uint8_t>},
    {Dt::u8, Dt::u16, 1, erase<zaliCopySubpix_8u16u_C1R_Sfs, SubpixSig>()},
    {Dt::u8, Dt::f32, 1, &subpix<zaliCopySubpix_8u32f_C1R, uint8_t, float>},
    {Dt::u16, Dt::u16, 1, &subpix<zaliCopySubpix_16u_C1R, uint16_t, uint16_t>},
    {Dt::u16, Dt::f32, 1, &subpix<zaliCopySubpix_16u32f_C1R, uint16_t, float>},
    {Dt::f32, Dt::f32, 1, &subpix<zaliCopySubpix_32f_C1R, float, float>},
};
const Member<IntersectSig> kIntersect[] = {
    {Dt::u8, Dt::u8, 1, &intersect<zaliCopySubpixIntersect_8u_C1R, uint8_t, uint8_t>},
    {Dt::u8, Dt::u16, 1, erase<zaliCopySubpixIntersect_8u16u_C1R_Sfs, IntersectSig>()},
    {Dt::u8, Dt::f32, 1, &intersect<zaliCopySubpixIntersect_8u32f_C1R, uint8_t, float>},
    {Dt::u16, Dt::u16, 1, &intersect<zaliCopySubpixIntersect_16u_C1R, uint16_t, uint16_t>},
    {Dt::u16, Dt::f32, 1, &intersect<zaliCopySubpixIntersect_16u32f_C1R, uint16_t, float>},
    {Dt::f32, Dt::f32, 1, &intersect<zaliCopySubpixIntersect_32f_C1R, float, float>},
};

Dt outDtype(py::handle dtypeObj, Dt in) { return dtypeObj.is_none() ? in : parseDtype(dtypeObj, "dtype"); }

py::array copySubpix(py::object img, py::object dx, py::object dy, py::object dtypeObj, py::object scaleFactor, py::object out) {
    const char* op = "copy_subpix";
    const Image S = input(img, "img");
    const Dt od = outDtype(dtypeObj, S.dt);
    auto* fn = pick(kSubpix, S.dt, od, 1, op);
    const int sf = toInt(scaleFactor, "scale_factor");
    if (sf != 0 && !(S.dt == Dt::u8 && od == Dt::u16)) throwValue("copy_subpix: 'scale_factor' applies to uint8 -> uint16 only");
    if (S.width < 2 || S.height < 2)
        throw StatusError{StatusSizeError, "copy_subpix: the image needs at least 2 x 2 pixels (the result is one smaller) [status -6]"};
    const float fx = toF32(dx, "dx"), fy = toF32(dy, "dy");
    Output O(out, od, S.height - 1, S.width - 1, 1, op, {&S});
    const Image& D = O.image();
    check(run([&] { return fn(S.raw(), S.step, D.raw(), D.step, D.size(), fx, fy, sf); }), op);
    return O.finish();
}

py::object rectSubpix(py::object img, py::object center, py::object shape, py::object dtypeObj, py::object scaleFactor,
                      py::object out) {
    const char* op = "rect_subpix";
    const Image S = input(img, "img");
    const Dt od = outDtype(dtypeObj, S.dt);
    auto* fn = pick(kIntersect, S.dt, od, 1, op);
    const int sf = toInt(scaleFactor, "scale_factor");
    if (sf != 0 && !(S.dt == Dt::u8 && od == Dt::u16)) throwValue("rect_subpix: 'scale_factor' applies to uint8 -> uint16 only");
    py::sequence c = center;
    if (py::len(c) != 2) throwValue("rect_subpix: 'center' must be (x, y)");
    const float cx = toF32(c[0], "center"), cy = toF32(c[1], "center");
    if (!std::isfinite(cx) || !std::isfinite(cy) || std::fabs(cx) > 1e8f || std::fabs(cy) > 1e8f)
        throwValue("rect_subpix: 'center' must be finite and within 1e8 of the image");
    auto [h, w] = shapeArg(shape, "shape");
    if (h < 1 || w < 1) throw StatusError{StatusSizeError, "rect_subpix: 'shape' must be positive [status -6]"};
    Output O(out, od, h, w, 1, op, {&S});
    const Image& D = O.image();
    ImagePoint lo{0, 0}, hi{0, 0};
    check(run([&] { return fn(S.raw(), S.step, S.size(), D.raw(), D.step, D.size(), cx, cy, &lo, &hi, sf); }), op);
    py::object type = py::module_::import("zalcv._types").attr("SubpixResult");
    return type(O.finish(), py::make_tuple(lo.x, lo.y), py::make_tuple(hi.x, hi.y));
}

// ---- Lucas-Kanade ------------------------------------------------------------------------------

using FlowInitSig = StatusCode(OpticalFlowState**, ImageSize, int, int);
using FlowSig = StatusCode(const Pyramid*, const Pyramid*, const float*, float*, int8_t*, float*, int, int, int, int, float,
                           OpticalFlowState*);
struct FlowMember {
    Dt dt;
    FlowInitSig* init;
    FlowSig* fn;
};
const FlowMember kFlow[] = {
    {Dt::u8, &zaliOpticalFlowPyrLKInitAlloc_8u_C1R, &zaliOpticalFlowPyrLK_8u_C1R},
    {Dt::u16, &zaliOpticalFlowPyrLKInitAlloc_16u_C1R, &zaliOpticalFlowPyrLK_16u_C1R},
    {Dt::f32, &zaliOpticalFlowPyrLKInitAlloc_32f_C1R, &zaliOpticalFlowPyrLK_32f_C1R},
};

class LucasKanade {
public:
    LucasKanade(py::object window, py::object levels, py::object maxIter, py::object threshold, py::object rate)
        : window_(toInt(window, "window")), levels_(toInt(levels, "levels")), maxIter_(toInt(maxIter, "max_iter")),
          threshold_(toF32(threshold, "threshold")), rate_(rate) {
        if (window_ < 1) throw StatusError{StatusSizeError, "LucasKanade: 'window' must be at least 1 (argument 'window') [status -6]"};
        if (levels_ < 0) throw StatusError{StatusBadArgument, "LucasKanade: 'levels' must not be negative (argument 'levels') [status -5]"};
    }

    py::object track(py::object prev, py::object next, py::object points, py::object guesses) {
        const char* op = "LucasKanade.track";
        if (pools_[0].closed()) throwValue("LucasKanade: the object is closed");
        std::shared_ptr<PyramidObj> P1 = pyramidOf(prev, "prev"), P2 = pyramidOf(next, "next");
        if (P1->dt() != P2->dt() || P1->size0().width != P2->size0().width || P1->size0().height != P2->size0().height)
            throwValue("LucasKanade.track: 'prev' and 'next' must have the same dtype and size");
        if (P1->channels() != 1) throwValue("LucasKanade.track: images must have one channel");
        const FlowMember* m = nullptr;
        std::size_t which = 0;
        for (std::size_t i = 0; i < std::size(kFlow); ++i)
            if (kFlow[i].dt == P1->dt()) m = &kFlow[which = i];
        if (!m) throwType("LucasKanade.track: dtype must be uint8, uint16 or float32");
        py::object np = py::module_::import("numpy");
        py::array pts = np.attr("ascontiguousarray")(points, "float32").cast<py::array>();
        if (pts.ndim() != 2 || pts.shape(1) != 2 || pts.shape(0) < 1 || pts.shape(0) > INT_MAX)
            throwValue("LucasKanade.track: 'points' must be an (N, 2) array of (x, y) with N >= 1");
        const int n = static_cast<int>(pts.shape(0));
        py::array nextPts = np.attr("array")(guesses.is_none() ? py::object(pts) : guesses, "float32").cast<py::array>();
        nextPts = np.attr("ascontiguousarray")(nextPts).cast<py::array>();
        if (nextPts.ndim() != 2 || nextPts.shape(0) != n || nextPts.shape(1) != 2)
            throwValue("LucasKanade.track: 'guesses' must have the shape of 'points'");
        py::array status(py::dtype("int8"), std::vector<py::ssize_t>{n});
        py::array error(py::dtype("float32"), std::vector<py::ssize_t>{n});
        const auto hold1 = P1->get(op), hold2 = P2->get(op);
        const Pyramid* p1 = hold1.get();
        const Pyramid* p2 = hold2.get();
        const int maxLevel = std::min({levels_, p1->topLevel, p2->topLevel});
        const ImageSize s0 = P1->size0();
        const long long key = static_cast<long long>(P1->dt()) << 48 | static_cast<long long>(s0.width) << 24 | s0.height;
        const float* prevData = static_cast<const float*>(pts.data());
        float* nextData = static_cast<float*>(nextPts.mutable_data());
        int8_t* st8 = static_cast<int8_t*>(status.mutable_data());
        float* err = static_cast<float*>(error.mutable_data());
        StatusCode initSt = StatusOk;
        const StatusCode st = run([&] {
            auto lease = pools_[which].acquire(key, s0.width, s0.height,
                                        [&](int w, int h, OpticalFlowState** p) { return m->init(p, ImageSize{w, h}, window_, 0); },
                                        initSt);
            if (initSt < 0) return initSt;
            return m->fn(p1, p2, prevData, nextData, st8, err, n, window_, maxLevel, maxIter_, threshold_, lease.get());
        });
        check(st, op, {{-5, "max_iter or threshold"}, {-6, "window"}});
        py::object type = py::module_::import("zalcv._types").attr("TrackResult");
        return type(nextPts, status, error);
    }

    void close() {
        for (auto& p : pools_) p.close();
    }
    bool closed() const { return pools_[0].closed(); }
    int window() const { return window_; }
    int levels() const { return levels_; }

private:
    std::shared_ptr<PyramidObj> pyramidOf(py::object obj, const char* name) {
        if (py::isinstance<PyramidObj>(obj)) {
            // Borrow the caller's pyramid (kept alive by `obj` for the call).
            PyramidObj& p = obj.cast<PyramidObj&>();
            return std::shared_ptr<PyramidObj>(&p, [](PyramidObj*) {});
        }
        (void)name;
        // Built for this call only, so level 0 need not be copied.
        return std::make_shared<PyramidObj>(obj, py::int_(std::max(levels_, 1)), rate_, py::none(), true);
    }

    int window_, levels_, maxIter_;
    float threshold_;
    py::object rate_;
    // One pool per element type (kFlow order); the key holds the image size.
    StatePool<OpticalFlowState> pools_[3] = {StatePool<OpticalFlowState>(&zaliOpticalFlowPyrLKFree_8u_C1R),
                                             StatePool<OpticalFlowState>(&zaliOpticalFlowPyrLKFree_16u_C1R),
                                             StatePool<OpticalFlowState>(&zaliOpticalFlowPyrLKFree_32f_C1R)};
};

}  // namespace

void bindPyramid(py::module_& m) {
    m.def("pyr_down", [](py::object img, py::object out) { return pyrGauss(true, img, out); }, py::arg("img"), py::kw_only(),
          py::arg("out") = py::none(),
          "One 5x5 Gaussian pyramid level down: a ceil(H/2) x ceil(W/2) image (output (i, j) centred on\n"
          "input (2i, 2j)), kernel 1 4 6 4 1, reflected border. uint8, int8 or float32, 1 or 3 channels.");
    m.def("pyr_up", [](py::object img, py::object out) { return pyrGauss(false, img, out); }, py::arg("img"), py::kw_only(),
          py::arg("out") = py::none(), "One 5x5 Gaussian pyramid level up: a 2H x 2W image; types as `pyr_down`.");
    m.def("pyramid_down_shape", &downSize, py::arg("shape"), py::arg("rate") = 2.0,
          "(rows, cols) of the next coarser level of an image of `shape` for a rate in (1, 10].");
    m.def("pyramid_up_range", &upRange, py::arg("shape"), py::arg("rate") = 2.0,
          "((min rows, min cols), (max rows, max cols)) of the finer levels that reduce to `shape`.");
    py::class_<PyramidLayer>(m, "PyramidLayer",
                             "General pyramid layers for any rate in (1, 10] and an odd, symmetric smoothing kernel.\n\n"
                             "PyramidLayer(rate=2.0, kernel=None): kernel default (1, 4, 6, 4, 1); integer images use it\n"
                             "as int16 taps, float32 images as float taps (normalised by the library). An asymmetric\n"
                             "kernel is mirrored with AsymmetricKernelWarning. States are built per dtype, channel\n"
                             "count and size on first use and reused; close() or `with` frees them.")
        .def(py::init<py::object, py::object>(), py::arg("rate") = 2.0, py::arg("kernel") = py::none())
        .def("down", &PyramidLayer::down, py::arg("img"), py::kw_only(), py::arg("out") = py::none(),
             "The next coarser level (shape pyramid_down_shape(img.shape, rate)) of a uint8, uint16 or float32\n"
             "image with 1 or 3 channels.")
        .def("up", &PyramidLayer::up, py::arg("img"), py::arg("shape") = py::none(), py::kw_only(), py::arg("out") = py::none(),
             "The next finer level of `shape` (default the largest of pyramid_up_range(img.shape, rate)).")
        .def("close", &PyramidLayer::close, "Frees the library states now; later calls raise ValueError.")
        .def_property_readonly("closed", &PyramidLayer::closed, "True after close().")
        .def_property_readonly("rate", &PyramidLayer::rate, "The reduction rate.")
        .def_property_readonly("kernel", &PyramidLayer::kernel, "The kernel as given (float32).")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](PyramidLayer& s, py::args) { s.close(); return false; });
    py::class_<PyramidObj, std::shared_ptr<PyramidObj>>(m, "Pyramid",
                                                        "An image pyramid that owns its level images.\n\n"
                                                        "Pyramid(img, levels=3, rate=2.0, kernel=None): level 0 is a copy of `img`; level L+1 is\n"
                                                        "the down level of L, until `levels` or a 1 x 1 level. With rate 2 and no kernel, uint8,\n"
                                                        "int8 and float32 images use the 5x5 Gaussian levels of pyr_down; otherwise the general\n"
                                                        "layers of PyramidLayer (default kernel 1 4 6 4 1). Indexing gives the level arrays.")
        .def(py::init<py::object, py::object, py::object, py::object>(), py::arg("img"), py::arg("levels") = 3,
             py::arg("rate") = 2.0, py::arg("kernel") = py::none())
        .def_property_readonly("top_level", &PyramidObj::topLevel, "Index of the coarsest level.")
        .def_property_readonly("levels", &PyramidObj::levels, "The level arrays, finest first.")
        .def_property_readonly("scales", &PyramidObj::scales, "(1/rate)**L per level.")
        .def_property_readonly("rate", &PyramidObj::rate, "The reduction rate.")
        .def("__len__", [](const PyramidObj& p) { return p.topLevel() + 1; })
        .def("__getitem__", &PyramidObj::level)
        .def("close", &PyramidObj::close, "Frees the descriptor; later use raises ValueError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](PyramidObj& s, py::args) { s.close(); return false; });
    m.def("copy_subpix", &copySubpix, py::arg("img"), py::arg("dx"), py::arg("dy"), py::kw_only(), py::arg("dtype") = py::none(),
          py::arg("scale_factor") = 0, py::arg("out") = py::none(),
          "The one-channel image resampled at (x + frac(dx), y + frac(dy)) by bilinear interpolation: an\n"
          "(H-1) x (W-1) result. uint8 -> uint8, uint16 (times 2**-scale_factor) or float32; uint16 ->\n"
          "uint16 or float32; float32 -> float32 (`dtype`, default the input's).");
    m.def("rect_subpix", &rectSubpix, py::arg("img"), py::arg("center"), py::arg("shape"), py::kw_only(),
          py::arg("dtype") = py::none(), py::arg("scale_factor") = 0, py::arg("out") = py::none(),
          "A `shape` (rows, cols) patch centred on `center` (x, y floats) by bilinear interpolation, the\n"
          "parts beyond the image replicating its border. Returns SubpixResult(patch, valid_min,\n"
          "valid_max): the (x, y) range of patch pixels interpolated from genuine source pixels. Types as\n"
          "`copy_subpix`.");
    py::class_<LucasKanade>(m, "LucasKanade",
                            "Pyramidal Lucas-Kanade point tracker.\n\n"
                            "LucasKanade(window=21, levels=3, max_iter=30, threshold=0.01, rate=2.0): square window\n"
                            "size, coarsest pyramid level used, iteration limit per level and the convergence step\n"
                            "(level pixels). The tracking states (one per dtype and image size) are reused across\n"
                            "calls; concurrent calls get their own. close() or `with` frees them.")
        .def(py::init<py::object, py::object, py::object, py::object, py::object>(), py::arg("window") = 21,
             py::arg("levels") = 3, py::arg("max_iter") = 30, py::arg("threshold") = 0.01, py::arg("rate") = 2.0)
        .def("track", &LucasKanade::track, py::arg("prev"), py::arg("next"), py::arg("points"), py::arg("guesses") = py::none(),
             "Tracks `points` ((N, 2) x, y) from `prev` to `next` (one-channel uint8, uint16 or float32 images\n"
             "of one size, or Pyramid objects of them). `guesses` are the initial positions in `next`\n"
             "(default `points`). Returns TrackResult(points, status, error): status 0 = tracked, k > 0 =\n"
             "lost at level k - 1.")
        .def("close", &LucasKanade::close, "Frees the tracking states now; later calls raise ValueError.")
        .def_property_readonly("closed", &LucasKanade::closed, "True after close().")
        .def_property_readonly("window", &LucasKanade::window, "The window size.")
        .def_property_readonly("levels", &LucasKanade::levels, "The coarsest level used.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](LucasKanade& s, py::args) { s.close(); return false; });
}

}  // namespace zpy
