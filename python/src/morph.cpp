// Morphology: flat structuring elements (dilate, erode, open, close, top-hat,
// black-hat, gradient) as a state-owning Morphology object, grayscale-kernel
// morphology as GrayMorphology, and morphological reconstruction.
#include "common.h"

#include <memory>

namespace zpy {
namespace {

int keyOf(Dt dt, int channels) { return static_cast<int>(dt) * 8 + channels; }

using InitSig = StatusCode(int, const uint8_t*, ImageSize, ImagePoint, MorphologyState**);
using BasicSig = StatusCode(const void*, int, void*, int, ImageSize, int, MorphologyState*);
using AdvInitSig = StatusCode(MorphAdvState**, ImageSize, const uint8_t*, ImageSize, ImagePoint);
using AdvSig = StatusCode(const void*, int, void*, int, ImageSize, int, MorphAdvState*);

enum AdvOp { kOpen, kClose, kTophat, kBlackhat, kGradient, kAdvOps };
const char* const kAdvNames[kAdvOps] = {"opening", "closing", "white_tophat", "black_tophat", "gradient"};

struct MorphMember {
    Dt dt;
    int channels;
    InitSig* init;
    BasicSig* dilate;
    BasicSig* erode;
    AdvInitSig* advInit;
    AdvSig* adv[kAdvOps];
};
#define ZPY_MORPH(T, DT, CH)                                                                              \
    {Dt::DT, CH, &zaliMorphologyInitAlloc_##T##_C##CH##R,                                                 \
     erase<zaliDilateBorderReplicate_##T##_C##CH##R, BasicSig>(),                                         \
     erase<zaliErodeBorderReplicate_##T##_C##CH##R, BasicSig>(),                                          \
     &zaliMorphAdvInitAlloc_##T##_C##CH##R,                                                               \
     {erase<zaliMorphOpenBorder_##T##_C##CH##R, AdvSig>(), erase<zaliMorphCloseBorder_##T##_C##CH##R, AdvSig>(), \
      erase<zaliMorphTophatBorder_##T##_C##CH##R, AdvSig>(),                                              \
      erase<zaliMorphBlackhatBorder_##T##_C##CH##R, AdvSig>(),                                            \
      erase<zaliMorphGradientBorder_##T##_C##CH##R, AdvSig>()}}
const MorphMember kMorph[] = {ZPY_MORPH(8u, u8, 1), ZPY_MORPH(8u, u8, 3), ZPY_MORPH(8u, u8, 4),
                              ZPY_MORPH(32f, f32, 1), ZPY_MORPH(32f, f32, 3), ZPY_MORPH(32f, f32, 4)};
#undef ZPY_MORPH

const MorphMember& morphMember(const Image& S, const char* op) {
    for (const auto& m : kMorph)
        if (m.dt == S.dt && m.channels == S.channels) return m;
    throwType(std::string(op) + ": dtype must be uint8 or float32 (got " + dtName(S.dt) + ")");
}

// A two-dimensional kernel (footprint or grayscale kernel) with its anchor.
struct Kernel {
    py::array values;  // C-contiguous, of the element type the library takes
    ImageSize size{0, 0};
    ImagePoint anchor{0, 0};
};

Kernel kernelOf(py::handle kernel, py::handle anchor, Dt dt, const char* op, const char* name) {
    py::object np = py::module_::import("numpy");
    py::array k = np.attr("asarray")(kernel).cast<py::array>();
    if (k.ndim() != 2 || k.shape(0) < 1 || k.shape(1) < 1)
        throw StatusError{StatusSizeError, std::string(op) + ": '" + name + "' must be a non-empty 2-D array [status -6]"};
    if (k.shape(0) > 4096 || k.shape(1) > 4096) throwValue(std::string(op) + ": '" + name + "' is too large");
    Kernel K;
    if (dt == Dt::u8) {
        // Footprints: non-zero (or True) selects.
        K.values = np.attr("ascontiguousarray")(np.attr("not_equal")(k, 0), "uint8").cast<py::array>();
    } else {
        K.values = np.attr("ascontiguousarray")(k, dtype(dt)).cast<py::array>();
        if (!np.attr("array_equal")(K.values, k).cast<bool>())
            throwValue(std::string(op) + ": '" + name + "' values do not fit " + dtName(dt));
    }
    K.size = {static_cast<int>(k.shape(1)), static_cast<int>(k.shape(0))};
    K.anchor = anchor.is_none() ? ImagePoint{K.size.width / 2, K.size.height / 2} : parsePoint(anchor, "anchor");
    if (K.anchor.x < 0 || K.anchor.y < 0 || K.anchor.x >= K.size.width || K.anchor.y >= K.size.height)
        throw StatusError{StatusAnchorError, std::string(op) + ": anchor outside the kernel (argument 'anchor') [status -34]"};
    return K;
}

py::array defaultFootprint() {
    return py::module_::import("numpy").attr("ones")(py::make_tuple(3, 3), "uint8").cast<py::array>();
}

// ---- Flat structuring element ------------------------------------------------------------

class Morphology {
public:
    Morphology(py::object footprint, py::object anchor)
        : k_(kernelOf(footprint.is_none() ? py::object(defaultFootprint()) : footprint, anchor, Dt::u8, "Morphology",
                      "footprint")) {}

    py::array basic(bool dilate, py::object img, py::object border, py::object out) {
        const char* op = dilate ? "dilate" : "erode";
        requireOpen();
        const Image S = input(img, "img", C134);
        const MorphMember& m = morphMember(S, op);
        const int b = parseBorder(border);
        Output O(out, S.dt, S.height, S.width, S.channels, op, {&S});
        const Image& D = O.image();
        const uint8_t* mask = static_cast<const uint8_t*>(k_.values.data());
        check(run([&] {
                  StatusCode st;
                  auto lease = basic_.acquire(keyOf(S.dt, S.channels), S.width, 1,
                                              [&](int w, int, MorphologyState** p) { return m.init(w, mask, k_.size, k_.anchor, p); }, st);
                  if (st < 0) return st;
                  return (dilate ? m.dilate : m.erode)(S.raw(), S.step, D.raw(), D.step, S.size(), b, lease.get());
              }),
              op, {{-5, "border"}});
        return O.finish();
    }

    py::array advanced(AdvOp which, py::object img, py::object border, py::object out) {
        const char* op = kAdvNames[which];
        requireOpen();
        const Image S = input(img, "img", C134);
        const MorphMember& m = morphMember(S, op);
        const int b = parseBorder(border);
        Output O(out, S.dt, S.height, S.width, S.channels, op, {&S});
        const Image& D = O.image();
        const uint8_t* mask = static_cast<const uint8_t*>(k_.values.data());
        check(run([&] {
                  StatusCode st;
                  auto lease = adv_.acquire(keyOf(S.dt, S.channels), S.width, S.height,
                                            [&](int w, int h, MorphAdvState** p) {
                                                return m.advInit(p, ImageSize{w, h}, mask, k_.size, k_.anchor);
                                            },
                                            st);
                  if (st < 0) return st;
                  return m.adv[which](S.raw(), S.step, D.raw(), D.step, S.size(), b, lease.get());
              }),
              op, {{-5, "border"}});
        return O.finish();
    }

    void close() {
        basic_.close();
        adv_.close();
    }
    bool closed() const { return basic_.closed(); }
    py::array footprint() const { return k_.values.attr("copy")(); }
    py::tuple anchor() const { return py::make_tuple(k_.anchor.x, k_.anchor.y); }

private:
    void requireOpen() const {
        if (closed()) throwValue("Morphology: the object is closed");
    }
    Kernel k_;
    StatePool<MorphologyState> basic_{&zaliMorphologyFree};
    StatePool<MorphAdvState> adv_{&zaliMorphAdvFree};
};

// ---- Grayscale kernel --------------------------------------------------------------------

class GrayMorphology {
public:
    GrayMorphology(py::object kernel, py::object anchor) : source_(py::module_::import("numpy").attr("array")(kernel)) {
        // Validates the shape and anchor once; the typed kernels are made on use.
        const Kernel k = kernelOf(source_, anchor, Dt::f32, "GrayMorphology", "kernel");
        anchor_ = k.anchor;
        size_ = k.size;
        anchorObj_ = anchor;
    }

    py::array apply(bool dilate, py::object img, py::object border, py::object out) {
        const char* op = dilate ? "dilate" : "erode";
        if (g8_.closed()) throwValue("GrayMorphology: the object is closed");
        const Image S = input(img, "img");
        requireDtype(S, {Dt::u8, Dt::f32}, op);
        const int b = parseBorder(border);
        // 8-bit images take an int32 kernel, float32 images a float32 one.
        const Kernel k = kernelOf(source_, anchorObj_, S.dt == Dt::u8 ? Dt::s32 : Dt::f32, op, "kernel");
        Output O(out, S.dt, S.height, S.width, 1, op, {&S});
        const Image& D = O.image();
        const void* kv = k.values.data();
        StatusCode st;
        if (S.dt == Dt::u8) {
            st = run([&] {
                StatusCode s;
                auto lease = g8_.acquire(0, S.width, S.height,
                                         [&](int w, int h, MorphGrayState** p) {
                                             return zaliMorphGrayInitAlloc_8u_C1R(p, ImageSize{w, h}, static_cast<const int32_t*>(kv), size_, anchor_);
                                         },
                                         s);
                if (s < 0) return s;
                return (dilate ? zaliGrayDilateBorder_8u_C1R : zaliGrayErodeBorder_8u_C1R)(
                    S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size(), b, lease.get());
            });
        } else {
            st = run([&] {
                StatusCode s;
                auto lease = g32_.acquire(0, S.width, S.height,
                                          [&](int w, int h, MorphGrayState** p) {
                                              return zaliMorphGrayInitAlloc_32f_C1R(p, ImageSize{w, h}, static_cast<const float*>(kv), size_, anchor_);
                                          },
                                          s);
                if (s < 0) return s;
                return (dilate ? zaliGrayDilateBorder_32f_C1R : zaliGrayErodeBorder_32f_C1R)(
                    S.ptr<float>(), S.step, D.ptr<float>(), D.step, S.size(), b, lease.get());
            });
        }
        check(st, op, {{-5, "border"}});
        return O.finish();
    }

    void close() {
        g8_.close();
        g32_.close();
    }
    bool closed() const { return g8_.closed(); }
    py::array kernel() const { return source_.attr("copy")(); }
    py::tuple anchor() const { return py::make_tuple(anchor_.x, anchor_.y); }

private:
    py::array source_;
    py::object anchorObj_;
    ImagePoint anchor_{0, 0};
    ImageSize size_{0, 0};
    StatePool<MorphGrayState> g8_{&zaliMorphGrayFree_8u_C1R};
    StatePool<MorphGrayState> g32_{&zaliMorphGrayFree_32f_C1R};
};

// ---- Reconstruction ----------------------------------------------------------------------

py::array reconstruction(py::object seed, py::object mask, py::object method, py::object connectivity, py::object out) {
    const Image J = input(seed, "seed"), I = input(mask, "mask");
    requireSameShape(J, I, "reconstruction", "mask");
    requireDtype(J, {Dt::u8, Dt::f32}, "reconstruction");
    const bool byDilation = parseChoice(method, "method", {{"dilation", 1}, {"erosion", 0}}) == 1;
    const int norm = parseChoice(connectivity, "connectivity", {{"8", 8}, {"4", 4}}) == 8 ? 0 : 1;
    // The library works in place on the marker: the result array receives the
    // seed first (a scratch copy when `out` is another caller array).
    const bool inPlace = Output::sameView(out, J);
    Output O(inPlace ? py::none() : out, J.dt, J.height, J.width, 1, "reconstruction", {&J, &I}, false, !out.is_none());
    const Image& D = inPlace ? J : O.image();
    if (!inPlace) assign(D, J);
    check(run([&] {
              int size = 0;
              StatusCode st = J.dt == Dt::u8 ? zaliMorphReconstructGetBufferSize_8u_C1(J.size(), &size)
                                             : zaliMorphReconstructGetBufferSize_32f_C1(J.size(), &size);
              if (st != StatusOk) return st;
              if (J.dt == Dt::u8)
                  return (byDilation ? zaliMorphReconstructDilate_8u_C1IR : zaliMorphReconstructErode_8u_C1IR)(
                      I.ptr<uint8_t>(), I.step, D.ptr<uint8_t>(), D.step, J.size(), workBuffer(size), norm);
              return (byDilation ? zaliMorphReconstructDilate_32f_C1IR : zaliMorphReconstructErode_32f_C1IR)(
                  I.ptr<float>(), I.step, D.ptr<float>(), D.step, J.size(), workBuffer(size), norm);
          }),
          "reconstruction");
    return inPlace ? J.array : O.finish();
}

}  // namespace

void bindMorph(py::module_& m) {
    const char* common =
        "\n\nuint8 or float32 images of 1, 3 or 4 channels (each channel on its own). Pixels beyond the\n"
        "image repeat the edge (border='replicate', the only rule available).";
    py::class_<Morphology>(m, "Morphology",
                           "A flat structuring element and the library states that apply it.\n\n"
                           "Morphology(footprint=None, anchor=None): `footprint` is a 2-D array whose non-zero\n"
                           "entries belong to the element (default 3x3 ones); `anchor` (x, y) is the element's\n"
                           "reference pixel (default the centre). States are built on first use for each dtype\n"
                           "and channel count, grown for larger images and reused; concurrent calls get their own\n"
                           "states. close() or a `with` block frees them (the destructor also does).")
        .def(py::init<py::object, py::object>(), py::arg("footprint") = py::none(), py::arg("anchor") = py::none())
        .def("dilate", [](Morphology& s, py::object img, py::object border, py::object out) { return s.basic(true, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("Maximum over the element placed on each pixel (the element is not mirrored).") + common).c_str())
        .def("erode", [](Morphology& s, py::object img, py::object border, py::object out) { return s.basic(false, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("Minimum over the element placed on each pixel.") + common).c_str())
        .def("opening", [](Morphology& s, py::object img, py::object border, py::object out) { return s.advanced(kOpen, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("Opening: erosion, then dilation with the element turned by 180 degrees.") + common).c_str())
        .def("closing", [](Morphology& s, py::object img, py::object border, py::object out) { return s.advanced(kClose, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("Closing: dilation, then erosion with the element turned by 180 degrees.") + common).c_str())
        .def("white_tophat", [](Morphology& s, py::object img, py::object border, py::object out) { return s.advanced(kTophat, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("White top-hat: img - opening(img), never below 0.") + common).c_str())
        .def("black_tophat", [](Morphology& s, py::object img, py::object border, py::object out) { return s.advanced(kBlackhat, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("Black top-hat: closing(img) - img, never below 0.") + common).c_str())
        .def("gradient", [](Morphology& s, py::object img, py::object border, py::object out) { return s.advanced(kGradient, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             (std::string("Morphological gradient: dilate(img) - erode(img).") + common).c_str())
        .def("close", &Morphology::close, "Frees the library states now; later calls raise ValueError.")
        .def_property_readonly("closed", &Morphology::closed, "True after close().")
        .def_property_readonly("footprint", &Morphology::footprint, "The element as a uint8 array (1 = member).")
        .def_property_readonly("anchor", &Morphology::anchor, "The anchor (x, y).")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](Morphology& s, py::args) { s.close(); return false; });

    py::class_<GrayMorphology>(m, "GrayMorphology",
                               "A grayscale (non-flat) kernel. Both operations ADD the kernel value: dilate is the\n"
                               "maximum over the kernel of src + k, erode the minimum of src + k (uint8: 32-bit sums\n"
                               "limited to 0..255; float32: unlimited). The kernel is not mirrored.\n\n"
                               "GrayMorphology(kernel, anchor=None): `kernel` 2-D numbers (integers for uint8 images),\n"
                               "anchor (x, y) default the centre. One-channel uint8 or float32 images. States are built\n"
                               "per dtype and image size and reused; close() or `with` frees them.")
        .def(py::init<py::object, py::object>(), py::arg("kernel"), py::arg("anchor") = py::none())
        .def("dilate", [](GrayMorphology& s, py::object img, py::object border, py::object out) { return s.apply(true, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             "max over the kernel of src + k (replicated border).")
        .def("erode", [](GrayMorphology& s, py::object img, py::object border, py::object out) { return s.apply(false, img, border, out); },
             py::arg("img"), py::kw_only(), py::arg("border") = "replicate", py::arg("out") = py::none(),
             "min over the kernel of src + k (replicated border).")
        .def("close", &GrayMorphology::close, "Frees the library states now; later calls raise ValueError.")
        .def_property_readonly("closed", &GrayMorphology::closed, "True after close().")
        .def_property_readonly("kernel", &GrayMorphology::kernel, "A copy of the kernel.")
        .def_property_readonly("anchor", &GrayMorphology::anchor, "The anchor (x, y).")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](GrayMorphology& s, py::args) { s.close(); return false; });

    // One-shot functions: a temporary element, freed when the call returns.
    struct Flat {
        const char* name;
        const char* doc;
        int op;  // -1 dilate, -2 erode, else an AdvOp
    };
    static const Flat flats[] = {
        {"dilate", "Dilation by a flat footprint (default 3x3 ones); see Morphology.dilate.", -1},
        {"erode", "Erosion by a flat footprint; see Morphology.erode.", -2},
        {"opening", "Opening by a flat footprint; see Morphology.opening.", kOpen},
        {"closing", "Closing by a flat footprint; see Morphology.closing.", kClose},
        {"white_tophat", "White top-hat by a flat footprint; see Morphology.white_tophat.", kTophat},
        {"black_tophat", "Black top-hat by a flat footprint; see Morphology.black_tophat.", kBlackhat},
        {"morphological_gradient", "Morphological gradient; see Morphology.gradient.", kGradient},
    };
    for (const Flat& f : flats) {
        const int op = f.op;
        m.def(f.name,
              [op](py::object img, py::object footprint, py::object anchor, py::object border, py::object out) {
                  Morphology morph(footprint, anchor);
                  if (op == -1 || op == -2) return morph.basic(op == -1, img, border, out);
                  return morph.advanced(static_cast<AdvOp>(op), img, border, out);
              },
              py::arg("img"), py::arg("footprint") = py::none(), py::arg("anchor") = py::none(), py::kw_only(),
              py::arg("border") = "replicate", py::arg("out") = py::none(), f.doc);
    }
    m.def("gray_dilate", [](py::object img, py::object kernel, py::object anchor, py::object border, py::object out) {
              return GrayMorphology(kernel, anchor).apply(true, img, border, out);
          },
          py::arg("img"), py::arg("kernel"), py::arg("anchor") = py::none(), py::kw_only(), py::arg("border") = "replicate",
          py::arg("out") = py::none(), "Grayscale dilation, max of src + kernel; see GrayMorphology.");
    m.def("gray_erode", [](py::object img, py::object kernel, py::object anchor, py::object border, py::object out) {
              return GrayMorphology(kernel, anchor).apply(false, img, border, out);
          },
          py::arg("img"), py::arg("kernel"), py::arg("anchor") = py::none(), py::kw_only(), py::arg("border") = "replicate",
          py::arg("out") = py::none(), "Grayscale erosion, min of src + kernel; see GrayMorphology.");
    m.def("reconstruction", &reconstruction, py::arg("seed"), py::arg("mask"), py::arg("method") = "dilation",
          py::kw_only(), py::arg("connectivity") = 8, py::arg("out") = py::none(),
          "Morphological reconstruction of `seed` under (method='dilation') or over ('erosion') `mask`:\n"
          "the fixpoint of seed = min(dilate(seed), mask) (max(erode(seed), mask)), after limiting the seed\n"
          "by the mask. One-channel uint8 or float32; connectivity 8 or 4. out=seed works in place.");
}

}  // namespace zpy
