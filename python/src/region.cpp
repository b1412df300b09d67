// Distance transforms and region operations: chamfer and exact distance
// transforms, flood fill, watershed, segment boundaries, fast marching and
// inpainting (an Inpainter object owns the states of one mask).
#include "common.h"

#include <memory>

namespace zpy {
namespace {

int parseMetric(py::handle metric) {
    return parseChoice(metric, "metric",
                       {{"c", 0}, {"chessboard", 0}, {"l1", 1}, {"cityblock", 1}, {"l2", 2}, {"euclidean", 2}});
}

// ---- Distance transforms -------------------------------------------------------------------

py::array distanceWeights(py::object ksize, py::object metric, py::object dtypeObj) {
    const int k = toInt(ksize, "ksize");
    const int norm = parseMetric(metric);
    const Dt dt = parseDtype(dtypeObj, "dtype");
    if (dt != Dt::s32 && dt != Dt::f32) throwType("distance_transform_weights: dtype must be int32 or float32");
    py::array w(dtype(dt), std::vector<py::ssize_t>{k == 5 ? 3 : 2});
    void* p = w.mutable_data();
    check(run([&] {
              return dt == Dt::s32 ? zaliGetDistanceTransformMask_32s(k, norm, static_cast<int32_t*>(p))
                                   : zaliGetDistanceTransformMask_32f(k, norm, static_cast<float*>(p));
          }),
          "distance_transform_weights", {{-6, "ksize"}, {-5, "metric"}});
    return w;
}

using ChamferSig = StatusCode(const uint8_t*, int, void*, int, ImageSize, const void*);
struct ChamferMember {
    Dt out;
    ChamferSig* fn[2];  // 3x3, 5x5
};
const ChamferMember kChamfer[] = {
    {Dt::u8, {erase<zaliDistanceTransform_3x3_8u_C1R, ChamferSig>(), erase<zaliDistanceTransform_5x5_8u_C1R, ChamferSig>()}},
    {Dt::u16, {erase<zaliDistanceTransform_3x3_8u16u_C1R, ChamferSig>(), erase<zaliDistanceTransform_5x5_8u16u_C1R, ChamferSig>()}},
    {Dt::f32, {erase<zaliDistanceTransform_3x3_8u32f_C1R, ChamferSig>(), erase<zaliDistanceTransform_5x5_8u32f_C1R, ChamferSig>()}},
};

py::array distanceTransform(py::object mask, py::object metric, bool exact, py::object ksize, py::object weights,
                            py::object dtypeObj, py::object scaleFactor, py::object out) {
    const char* op = "distance_transform";
    const Image S = input(mask, "mask");
    requireDtype(S, {Dt::u8}, op);
    const Dt dt = parseDtype(dtypeObj, "dtype");
    const int sf = toInt(scaleFactor, "scale_factor");
    if (exact) {
        if (parseMetric(metric) != 2 || !weights.is_none())
            throwValue("distance_transform: exact=True computes the Euclidean (l2) distance only; use exact=False for chamfer metrics");
        if (dt != Dt::f32 && dt != Dt::u16) throwType("distance_transform: exact results are float32 or uint16");
        if (dt == Dt::f32 && sf != 0) throwValue("distance_transform: 'scale_factor' applies to uint16 results");
        Output O(out, dt, S.height, S.width, 1, op, {&S});
        const Image& D = O.image();
            check(run([&] {
                  int size = 0;
                  if (dt == Dt::f32) {
                      StatusCode st = zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(S.size(), &size);
                      if (st != StatusOk) return st;
                      return zaliTrueDistanceTransform_8u32f_C1R(S.ptr<uint8_t>(), S.step, D.ptr<float>(), D.step, S.size(),
                                                                 workBuffer(size));
                  }
                  StatusCode st = zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(S.size(), &size);
                  if (st != StatusOk) return st;
                  return zaliTrueDistanceTransform_8u16u_C1RSfs(S.ptr<uint8_t>(), S.step, D.ptr<uint16_t>(), D.step, S.size(), sf,
                                                               workBuffer(size));
              }),
              op);
        return O.finish();
    }
    if (sf != 0) throwValue("distance_transform: 'scale_factor' applies to exact uint16 results");
    const int k = toInt(ksize, "ksize");
    if (k != 3 && k != 5) throw StatusError{StatusSizeError, "distance_transform: 'ksize' must be 3 or 5 [status -6]"};
    const ChamferMember* m = nullptr;
    for (const auto& c : kChamfer)
        if (c.out == dt) m = &c;
    if (!m) throwType("distance_transform: chamfer results are uint8, uint16 or float32");
    // Weights of the output's kind: integers for integer results.
    const Dt wt = dt == Dt::f32 ? Dt::f32 : Dt::s32;
    py::object np = py::module_::import("numpy");
    py::array w = weights.is_none() ? distanceWeights(py::int_(k), metric, dtype(wt))
                                    : np.attr("ascontiguousarray")(weights, dtype(wt)).cast<py::array>();
    if (w.ndim() != 1 || w.size() != (k == 5 ? 3 : 2))
        throwValue(std::string("distance_transform: 'weights' needs ") + (k == 5 ? "3" : "2") + " values for ksize " + std::to_string(k));
    if (!weights.is_none() && !np.attr("array_equal")(w, np.attr("asarray")(weights)).cast<bool>())
        throwValue("distance_transform: 'weights' must be integers for integer results");
    // out=mask with uint8 results: the in-place members read each pixel first.
    if (dt == Dt::u8 && Output::sameView(out, S)) {
        check(run([&] {
                  auto* f = k == 3 ? zaliDistanceTransform_3x3_8u_C1IR : zaliDistanceTransform_5x5_8u_C1IR;
                  return f(S.ptr<uint8_t>(), S.step, S.size(), static_cast<const int32_t*>(w.data()));
              }),
              op, {{-56, "weights"}});
        return S.array;
    }
    Output O(out, dt, S.height, S.width, 1, op, {&S});
    const Image& D = O.image();
    check(run([&] { return m->fn[k == 5](S.ptr<uint8_t>(), S.step, D.raw(), D.step, S.size(), w.data()); }), op,
          {{-56, "weights"}});
    return O.finish();
}

// ---- Flood fill ----------------------------------------------------------------------------

// One erased signature over the 24 fill members: values by pointer.
using FillSig = StatusCode(void*, int, ImageSize, ImagePoint, const void*, const void*, const void*, ConnectedComponent*, uint8_t*);
template <auto F, class T> StatusCode plainC1(void* im, int st, ImageSize r, ImagePoint s, const void* v, const void*, const void*,
                                              ConnectedComponent* c, uint8_t* b) {
    return F(static_cast<T*>(im), st, r, s, *static_cast<const T*>(v), c, b);
}
template <auto F, class T> StatusCode plainC3(void* im, int st, ImageSize r, ImagePoint s, const void* v, const void*, const void*,
                                              ConnectedComponent* c, uint8_t* b) {
    return F(static_cast<T*>(im), st, r, s, static_cast<const T*>(v), c, b);
}
template <auto F, class T> StatusCode deltaC1(void* im, int st, ImageSize r, ImagePoint s, const void* v, const void* lo,
                                              const void* hi, ConnectedComponent* c, uint8_t* b) {
    return F(static_cast<T*>(im), st, r, s, *static_cast<const T*>(v), *static_cast<const T*>(lo), *static_cast<const T*>(hi), c, b);
}
template <auto F, class T> StatusCode deltaC3(void* im, int st, ImageSize r, ImagePoint s, const void* v, const void* lo,
                                              const void* hi, ConnectedComponent* c, uint8_t* b) {
    return F(static_cast<T*>(im), st, r, s, static_cast<const T*>(v), static_cast<const T*>(lo), static_cast<const T*>(hi), c, b);
}

struct FillMember {
    Dt dt;
    int channels;
    FillSig* fn[3][2];  // rule (plain, range, gradient) x connectivity (4, 8)
};
#define ZPY_FILL(T, CT, DT, CH)                                                                           \
    {Dt::DT, CH,                                                                                          \
     {{&plainC##CH<zaliFloodFill_4Con_##T##_C##CH##IR, CT>, &plainC##CH<zaliFloodFill_8Con_##T##_C##CH##IR, CT>},        \
      {&deltaC##CH<zaliFloodFill_Range4Con_##T##_C##CH##IR, CT>, &deltaC##CH<zaliFloodFill_Range8Con_##T##_C##CH##IR, CT>}, \
      {&deltaC##CH<zaliFloodFill_Grad4Con_##T##_C##CH##IR, CT>, &deltaC##CH<zaliFloodFill_Grad8Con_##T##_C##CH##IR, CT>}}}
const FillMember kFill[] = {ZPY_FILL(8u, uint8_t, u8, 1), ZPY_FILL(8u, uint8_t, u8, 3), ZPY_FILL(32f, float, f32, 1),
                            ZPY_FILL(32f, float, f32, 3)};
#undef ZPY_FILL

// Per-channel values of the image's type (a number applies to every channel).
void channelValues(py::handle obj, const Image& im, const char* name, unsigned char* dst) {
    std::vector<py::object> items;
    if (isScalar(obj)) {
        items.assign(static_cast<std::size_t>(im.channels), py::reinterpret_borrow<py::object>(obj));
    } else {
        py::sequence seq = py::reinterpret_borrow<py::sequence>(obj);
        if (py::len(seq) != static_cast<std::size_t>(im.channels))
            throwValue(std::string("flood_fill: '") + name + "' needs one value per channel");
        for (auto item : seq) items.push_back(py::reinterpret_borrow<py::object>(item));
    }
    for (int c = 0; c < im.channels; ++c) {
        if (im.dt == Dt::u8) dst[c] = toU8(items[c], name);
        else reinterpret_cast<float*>(dst)[c] = toF32(items[c], name);
    }
}

py::object floodFill(py::object img, py::object seed, py::object newValue, py::object lo, py::object hi,
                     py::object connectivity, bool gradient, py::object out) {
    const char* op = "flood_fill";
    const Image S = input(img, "img", C13);
    const FillMember* m = nullptr;
    for (const auto& c : kFill)
        if (c.dt == S.dt && c.channels == S.channels) m = &c;
    if (!m) throwType("flood_fill: dtype must be uint8 or float32");
    const ImagePoint p = parsePoint(seed, "seed");
    const int conn = parseChoice(connectivity, "connectivity", {{"4", 4}, {"8", 8}});
    const int rule = gradient ? 2 : (lo.is_none() && hi.is_none()) ? 0 : 1;
    alignas(8) unsigned char nv[16] = {}, dlo[16] = {}, dhi[16] = {};
    channelValues(newValue, S, "new_value", nv);
    if (rule != 0) {
        channelValues(lo.is_none() ? py::int_(0) : lo, S, "lo", dlo);
        channelValues(hi.is_none() ? py::int_(0) : hi, S, "hi", dhi);
    }
    // The fill works in place: on `out` itself when out=img, otherwise on a
    // copy of img (staged when `out` is given, so a failed fill leaves it alone).
    const bool inPlace = Output::sameView(out, S);
    Output O(inPlace ? py::none() : out, S.dt, S.height, S.width, S.channels, op, {&S}, false, !out.is_none());
    const Image& D = inPlace ? S : O.image();
    if (!inPlace) assign(D, S);
    ConnectedComponent region{};
    check(run([&] {
              int size = 0;
              StatusCode st = rule == 2 ? zaliFloodFillGetSize_Grad(D.size(), &size) : zaliFloodFillGetSize(D.size(), &size);
              if (st != StatusOk) return st;
              return m->fn[rule][conn == 8](D.raw(), D.step, D.size(), p, nv, dlo, dhi, &region, workBuffer(size));
          }),
          op, {{-11, "seed, lo or hi"}});
    py::array result = inPlace ? S.array : O.finish();
    py::object type = py::module_::import("zalcv._types").attr("FloodFillResult");
    py::tuple value = S.channels == 1 ? py::make_tuple(region.value[0])
                                      : py::make_tuple(region.value[0], region.value[1], region.value[2]);
    return type(result, static_cast<long long>(region.area), value,
                py::make_tuple(region.rect.x, region.rect.y, region.rect.width, region.rect.height));
}

// ---- Watershed and boundaries ----------------------------------------------------------------

py::array watershed(py::object img, py::object markers, py::object metric, py::object boundaries, py::object out) {
    const char* op = "watershed";
    const Image S = input(img, "img"), M = input(markers, "markers");
    requireDtype(S, {Dt::u8}, op);
    requireDtype(M, {Dt::u8}, op);
    requireSameSize(S, M, op, "markers");
    const int norm = parseChoice(metric, "metric", {{"c", 0}, {"l1", 1}, {"l2", 2}, {"fast_marching", 3}});
    const int flag = boundaries.is_none() ? 0 : parseChoice(boundaries, "boundaries", {{"4", 4}, {"8", 8}}) == 4 ? 0x40 : 0x80;
    const bool inPlace = Output::sameView(out, M);
    Output O(inPlace ? py::none() : out, Dt::u8, M.height, M.width, 1, op, {&S, &M}, false, !out.is_none());
    const Image& D = inPlace ? M : O.image();
    if (!inPlace) assign(D, M);
    check(run([&] {
              int size = 0;
              StatusCode st = zaliSegmentWatershedGetBufferSize_8u_C1R(S.size(), &size);
              if (st != StatusOk) return st;
              return zaliSegmentWatershed_8u_C1IR(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size(), norm, flag,
                                                  workBuffer(size));
          }),
          op);
    return inPlace ? M.array : O.finish();
}

py::array boundSegments(py::object markers, py::object value, py::object connectivity, py::object out) {
    const char* op = "bound_segments";
    const Image M = input(markers, "markers");
    requireDtype(M, {Dt::u8}, op);
    const uint8_t v = toU8(value, "value");
    const int flag = parseChoice(connectivity, "connectivity", {{"8", 8}, {"4", 4}}) == 8 ? 0 : 1;
    const bool inPlace = Output::sameView(out, M);
    Output O(inPlace ? py::none() : out, Dt::u8, M.height, M.width, 1, op, {&M}, false, !out.is_none());
    const Image& D = inPlace ? M : O.image();
    if (!inPlace) assign(D, M);
    check(run([&] { return zaliBoundSegments_8u_C1IR(D.ptr<uint8_t>(), D.step, D.size(), v, flag); }), op);
    return inPlace ? M.array : O.finish();
}

// ---- Fast marching and inpainting -------------------------------------------------------------

py::array fastMarching(py::object mask, py::object radius, py::object out) {
    const char* op = "fast_marching";
    const Image S = input(mask, "mask");
    requireDtype(S, {Dt::u8}, op);
    const float r = toF32(radius, "radius");
    Output O(out, Dt::f32, S.height, S.width, 1, op, {&S});
    const Image& D = O.image();
    check(run([&] {
              int size = 0;
              StatusCode st = zaliFastMarchingGetBufferSize_8u32f_C1R(S.size(), &size);
              if (st != StatusOk) return st;
              return zaliFastMarching_8u32f_C1R(S.ptr<uint8_t>(), S.step, D.ptr<float>(), D.step, S.size(), r, workBuffer(size));
          }),
          op, {{-5, "radius"}});
    return O.finish();
}

class Inpainter {
public:
    Inpainter(py::object mask, py::object radius, py::object method, py::object dist)
        // Private copies: the states are built later from these.
        : mask_(input(py::module_::import("numpy").attr("array")(mask), "mask")), radius_(toF32(radius, "radius")),
          method_(parseChoice(method, "method", {{"distance", 0}, {"isophote", 1}})) {
        requireDtype(mask_, {Dt::u8}, "Inpainter");
        if (!(radius_ >= 1.0f)) throw StatusError{StatusBadArgument, "Inpainter: 'radius' must be at least 1 (argument 'radius') [status -5]"};
        if (dist.is_none()) {
            dist_ = input(fastMarching(mask_.array, py::float_(0.0), py::none()), "dist");
        } else {
            dist_ = input(py::module_::import("numpy").attr("array")(dist), "dist");
            requireDtype(dist_, {Dt::f32}, "Inpainter");
            requireSameSize(mask_, dist_, "Inpainter", "dist");
        }
    }

    py::array inpaint(py::object img, py::object out) {
        const char* op = "inpaint";
        if (c1_.closed()) throwValue("Inpainter: the object is closed");
        const Image S = input(img, "img", C13);
        requireDtype(S, {Dt::u8}, op);
        requireSameSize(mask_, S, op, "img");
        Output O(out, Dt::u8, S.height, S.width, S.channels, op, {&S});
        const Image& D = O.image();
        const bool three = S.channels == 3;
        check(run([&] {
                  StatusCode st;
                  auto build = [&](int, int, InpaintState** p) {
                      return (three ? zaliInpaintInitAlloc_8u_C3R : zaliInpaintInitAlloc_8u_C1R)(
                          p, dist_.ptr<float>(), dist_.step, mask_.ptr<uint8_t>(), mask_.step, mask_.size(), radius_, method_);
                  };
                  auto lease = (three ? c3_ : c1_).acquire(0, 0, 0, build, st);
                  if (st < 0) return st;
                  // A mask without damaged pixels gives no state: the image is copied.
                  if (!lease.get())
                      return three ? zaliCopy_8u_C3R(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size())
                                   : zaliCopy_8u_C1R(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size());
                  return (three ? zaliInpaint_8u_C3R : zaliInpaint_8u_C1R)(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step,
                                                                         S.size(), lease.get());
              }),
              op);
        return O.finish();
    }

    void close() {
        c1_.close();
        c3_.close();
    }
    bool closed() const { return c1_.closed(); }
    float radius() const { return radius_; }
    const char* method() const { return method_ == 0 ? "distance" : "isophote"; }

private:
    Image mask_, dist_;
    float radius_;
    int method_;
    StatePool<InpaintState> c1_{&zaliInpaintFree_8u_C1R, 2};
    StatePool<InpaintState> c3_{&zaliInpaintFree_8u_C3R, 2};
};

}  // namespace

void bindRegion(py::module_& m) {
    m.def("distance_transform_weights", &distanceWeights, py::arg("ksize") = 3, py::arg("metric") = "l2",
          py::arg("dtype") = "int32",
          "The library's standard chamfer weights for a 3x3 (straight, diagonal) or 5x5 (straight,\n"
          "diagonal, knight step) mask and metric 'c' (chessboard), 'l1' (city block) or 'l2'.");
    m.def("distance_transform", &distanceTransform, py::arg("mask"), py::arg("metric") = "l2", py::arg("exact") = true,
          py::kw_only(), py::arg("ksize") = 3, py::arg("weights") = py::none(), py::arg("dtype") = "float32",
          py::arg("scale_factor") = 0, py::arg("out") = py::none(),
          "Distance of every pixel of a uint8 mask to the nearest zero pixel.\n\n"
          "exact=True: the Euclidean distance (float32, or uint16 divided by 2**scale_factor, rounded half\n"
          "to even and saturated to 32767); a column without zeros counts as 1000 pixels from one.\n"
          "exact=False: a chamfer distance with a 3x3 or 5x5 (`ksize`) mask of `weights` (default: the\n"
          "standard weights of `metric`), as uint8, uint16 or float32 (`dtype`); unreachable pixels keep the\n"
          "type's maximum. uint8 results may be written in place (out=mask).");
    m.def("flood_fill", &floodFill, py::arg("img"), py::arg("seed"), py::arg("new_value"), py::kw_only(),
          py::arg("lo") = py::none(), py::arg("hi") = py::none(), py::arg("connectivity") = 4, py::arg("gradient") = false,
          py::arg("out") = py::none(),
          "Fills the 4- or 8-connected region around `seed` (x, y) of a uint8 or float32 image (1 or 3\n"
          "channels) with `new_value`. Without `lo`/`hi` the region holds the pixels equal to the seed;\n"
          "with them the pixels within [seed - lo, seed + hi]; with gradient=True each new pixel must lie\n"
          "within [q - lo, q + hi] of an adjacent region pixel q. Values are numbers or per-channel\n"
          "tuples. The image is copied first (out=img fills in place). Returns\n"
          "FloodFillResult(image, area, value, rect) with rect = (x, y, width, height); a seed already\n"
          "holding new_value (plain and range fills) changes nothing and gives area 0.");
    m.def("watershed", &watershed, py::arg("img"), py::arg("markers"), py::kw_only(), py::arg("metric") = "l2",
          py::arg("boundaries") = py::none(), py::arg("out") = py::none(),
          "Marker-controlled watershed of a uint8 image. `markers` (uint8, same size) holds seed labels\n"
          "(non-zero); the result labels every pixel with the seed reaching it along the path of lowest\n"
          "cost. metric: 'c' (8 neighbours, step 1), 'l1' (4 neighbours), 'l2' (8 neighbours, steps\n"
          "11/15) or 'fast_marching'. boundaries=4 or 8 paints the region boundaries with 255.\n"
          "out=markers labels in place.");
    m.def("bound_segments", &boundSegments, py::arg("markers"), py::arg("value") = 255, py::kw_only(),
          py::arg("connectivity") = 8, py::arg("out") = py::none(),
          "Paints with `value` every pixel of a uint8 label image that has an earlier (raster order)\n"
          "neighbour of another label (connectivity 8: left, upper-left, upper, upper-right; 4: left,\n"
          "upper).");
    m.def("fast_marching", &fastMarching, py::arg("mask"), py::arg("radius") = 0.0, py::kw_only(),
          py::arg("out") = py::none(),
          "Arrival times (float32) of the non-zero pixels of a uint8 mask from its boundary; with radius > 0\n"
          "the outside pixels within `radius` get negative times, the rest 0.");
    py::class_<Inpainter>(m, "Inpainter",
                          "Inpainting state for one damage mask.\n\n"
                          "Inpainter(mask, radius=3.0, method='distance', dist=None): `mask` (uint8, non-zero =\n"
                          "damaged), `radius` >= 1 bounds the neighbourhood, method 'distance' weights neighbours by\n"
                          "the distance map's gradient, 'isophote' by the isophote direction; `dist` overrides the\n"
                          "fast-marching map (default fast_marching(mask)). States (one per channel count) are built\n"
                          "on first use and reused; close() or `with` frees them.")
        .def(py::init<py::object, py::object, py::object, py::object>(), py::arg("mask"), py::arg("radius") = 3.0,
             py::arg("method") = "distance", py::arg("dist") = py::none())
        .def("inpaint", &Inpainter::inpaint, py::arg("img"), py::kw_only(), py::arg("out") = py::none(),
             "The uint8 image (1 or 3 channels, the mask's size) with its damaged pixels filled.")
        .def("close", &Inpainter::close, "Frees the library states now; later calls raise ValueError.")
        .def_property_readonly("closed", &Inpainter::closed, "True after close().")
        .def_property_readonly("radius", &Inpainter::radius, "The neighbourhood radius.")
        .def_property_readonly("method", &Inpainter::method, "'distance' or 'isophote'.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](Inpainter& s, py::args) { s.close(); return false; });
    m.def("inpaint", [](py::object img, py::object mask, py::object radius, py::object method, py::object out) {
              Inpainter in(mask, radius, method, py::none());
              return in.inpaint(img, out);
          },
          py::arg("img"), py::arg("mask"), py::arg("radius") = 3.0, py::kw_only(), py::arg("method") = "distance",
          py::arg("out") = py::none(), "One-shot inpainting; see Inpainter.");
}

}  // namespace zpy
