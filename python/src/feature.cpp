// Edge and feature detection: Canny, corner measures, colour gradient to gray
// and the fast arctangent.
#include "common.h"

#include <memory>

namespace zpy {
namespace {

using CannySig = StatusCode(const void*, int, const void*, int, uint8_t*, int, ImageSize, float, float, uint8_t*);
const Member<CannySig> kCanny[] = {
    {Dt::s16, Dt::u8, 1, erase<zaliCanny_16s8u_C1R, CannySig>()},
    {Dt::f32, Dt::u8, 1, erase<zaliCanny_32f8u_C1R, CannySig>()},
};

py::array canny(py::object dx, py::object dy, py::object low, py::object high, py::object out) {
    const Image X = input(dx, "dx"), Y = input(dy, "dy");
    requireSameShape(X, Y, "canny", "dy");
    auto* fn = pick(kCanny, X.dt, Dt::none, 1, "canny");
    const float lo = toF32(low, "low"), hi = toF32(high, "high");
    Output O(out, Dt::u8, X.height, X.width, 1, "canny", {&X, &Y});
    const Image& D = O.image();
    check(run([&] {
              int size = 0;
              StatusCode st = zaliCannyGetSize(X.size(), &size);
              if (st != StatusOk) return st;
              return fn(X.raw(), X.step, Y.raw(), Y.step, D.ptr<uint8_t>(), D.step, X.size(), lo, hi, workBuffer(size));
          }),
          "canny", {{-5, "low or high"}});
    return O.finish();
}

using CornerSig = StatusCode(const void*, int, float*, int, ImageSize, DerivKernelType, int, int, uint8_t*);
using CornerSizeSig = StatusCode(ImageSize, int, int, int*);
struct CornerMember {
    Dt dt;
    CornerSig* fn[2];  // min eigenvalue, eigenvalues and vectors
    CornerSizeSig* size[2];
};
const CornerMember kCorner[] = {
    {Dt::u8,
     {erase<zaliMinEigenVal_8u32f_C1R, CornerSig>(), erase<zaliEigenValsVecs_8u32f_C1R, CornerSig>()},
     {&zaliMinEigenValGetBufferSize_8u32f_C1R, &zaliEigenValsVecsGetBufferSize_8u32f_C1R}},
    {Dt::f32,
     {erase<zaliMinEigenVal_32f_C1R, CornerSig>(), erase<zaliEigenValsVecs_32f_C1R, CornerSig>()},
     {&zaliMinEigenValGetBufferSize_32f_C1R, &zaliEigenValsVecsGetBufferSize_32f_C1R}},
};

py::array corner(bool vecs, py::object img, py::object kernel, py::object aperture, py::object window, py::object out) {
    const char* op = vecs ? "eigen_vals_vecs" : "min_eigenval";
    const Image S = input(img, "img");
    const CornerMember* m = nullptr;
    for (const auto& c : kCorner)
        if (c.dt == S.dt) m = &c;
    if (!m) throwType(std::string(op) + ": dtype must be uint8 or float32");
    const auto kind = static_cast<DerivKernelType>(parseChoice(kernel, "kernel", {{"sobel", DerivKernelSobel}, {"scharr", DerivKernelScharr}}));
    const int ap = toInt(aperture, "aperture"), win = toInt(window, "window");
    Output O(out, Dt::f32, S.height, S.width, vecs ? 6 : 1, op, {&S});
    const Image& D = O.image();
    check(run([&] {
              int size = 0;
              StatusCode st = m->size[vecs](S.size(), ap, win, &size);
              if (st != StatusOk) return st;
              return m->fn[vecs](S.raw(), S.step, D.ptr<float>(), D.step, S.size(), kind, ap, win, workBuffer(size));
          }),
          op, {{-6, "aperture or window"}, {-5, "kernel"}});
    return O.finish();
}

using GraySig = StatusCode(const void*, int, void*, int, ImageSize, GradientNorm);
const Member<GraySig> kGray[] = {
    {Dt::u8, Dt::u8, 3, erase<zaliGradientColorToGray_8u_C3C1R, GraySig>()},
    {Dt::u16, Dt::u16, 3, erase<zaliGradientColorToGray_16u_C3C1R, GraySig>()},
    {Dt::f32, Dt::f32, 3, erase<zaliGradientColorToGray_32f_C3C1R, GraySig>()},
};

py::array gradientToGray(py::object img, py::object norm, py::object out) {
    const Image S = input(img, "img", C3);
    auto* fn = pick(kGray, S.dt, Dt::none, 3, "gradient_to_gray");
    const auto n = static_cast<GradientNorm>(
        parseChoice(norm, "norm", {{"max", GradientNormMax}, {"sum", GradientNormSum}, {"l2", GradientNormEuclid}}));
    Output O(out, S.dt, S.height, S.width, 1, "gradient_to_gray", {&S});
    const Image& D = O.image();
    check(run([&] { return fn(S.raw(), S.step, D.raw(), D.step, S.size(), n); }), "gradient_to_gray", {{-5, "norm"}});
    return O.finish();
}

py::object fastArctan(py::object y, py::object x, py::object out) {
    py::array Y = vectorInput(y, "y"), X = vectorInput(x, "x");
    if (dtOf(Y.dtype()) != Dt::f32 || dtOf(X.dtype()) != Dt::f32) throwType("fast_arctan: 'y' and 'x' must be float32");
    if (Y.ndim() != X.ndim() || !std::equal(Y.shape(), Y.shape() + Y.ndim(), X.shape()))
        throwValue("fast_arctan: 'y' and 'x' must have the same shape");
    const int len = static_cast<int>(Y.size());
    py::array R;
    bool toOut = false;
    if (out.is_none()) {
        R = py::array(dtype(Dt::f32), std::vector<py::ssize_t>(Y.shape(), Y.shape() + Y.ndim()));
    } else {
        if (!py::isinstance<py::array>(out)) throwType("fast_arctan: 'out' must be a numpy array");
        py::array o = py::reinterpret_borrow<py::array>(out);
        if (dtOf(o.dtype()) != Dt::f32 || o.size() != len || !(o.flags() & py::array::c_style) || !o.writeable())
            throwValue("fast_arctan: 'out' must be a writable C-contiguous float32 array of the inputs' size");
        // The library allows the destination to alias either source exactly.
        R = o;
        toOut = true;
    }
    float* r = static_cast<float*>(R.mutable_data());
    check(run([&] { return zalibFastArctan_32f(static_cast<const float*>(Y.data()), static_cast<const float*>(X.data()), r, len); }),
          "fast_arctan");
    return toOut ? out : py::object(R);
}

}  // namespace

void bindFeature(py::module_& m) {
    m.def("canny", &canny, py::arg("dx"), py::arg("dy"), py::arg("low"), py::arg("high"), py::kw_only(),
          py::arg("out") = py::none(),
          "Canny edge map (uint8, 255 on edges) from the horizontal and vertical derivative images `dx`,\n"
          "`dy` (int16 or float32, e.g. from `sobel`): magnitude |dx| + |dy|, non-maximum suppression,\n"
          "hysteresis between `low` and `high` (0 <= low <= high).");
    m.def("min_eigenval", [](py::object img, py::object k, py::object a, py::object w, py::object out) {
              return corner(false, img, k, a, w, out);
          },
          py::arg("img"), py::kw_only(), py::arg("kernel") = "sobel", py::arg("aperture") = 3, py::arg("window") = 3,
          py::arg("out") = py::none(),
          "Smaller eigenvalue of the structure tensor per pixel (float32) of a uint8 or float32 image:\n"
          "derivatives by kernel='sobel' (aperture 3 or 5) or 'scharr' (3), products averaged over a\n"
          "`window` x `window` box (3 or 5), replicated border.");
    m.def("eigen_vals_vecs", [](py::object img, py::object k, py::object a, py::object w, py::object out) {
              return corner(true, img, k, a, w, out);
          },
          py::arg("img"), py::kw_only(), py::arg("kernel") = "sobel", py::arg("aperture") = 3, py::arg("window") = 3,
          py::arg("out") = py::none(),
          "Eigenvalues and eigenvectors of the structure tensor: an (H, W, 6) float32 array holding\n"
          "l1 >= l2, (x1, y1) of l1 and (x2, y2) of l2; parameters as `min_eigenval`.");
    m.def("gradient_to_gray", &gradientToGray, py::arg("img"), py::arg("norm") = "max", py::kw_only(),
          py::arg("out") = py::none(),
          "One channel from the three of each pixel of a uint8, uint16 or float32 colour gradient:\n"
          "norm='max' (largest channel), 'sum' (mean for integers, |c0|+|c1|+|c2| for float32) or 'l2'.");
    m.def("fast_arctan", &fastArctan, py::arg("y"), py::arg("x"), py::kw_only(), py::arg("out") = py::none(),
          "Direction of the vectors (x, y) in degrees, within about 0.14 degrees, for float32 arrays of\n"
          "one shape. out may be `y` or `x` itself.");
}

}  // namespace zpy
