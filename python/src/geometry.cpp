// Geometric correction and motion analysis: lens undistortion and its maps,
// motion-history update, line sampling and the digital line's points.
#include "common.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace zpy {
namespace {

struct Camera {
    float fx, fy, cx, cy, k1, k2, p1, p2;
};

Camera cameraOf(py::handle fx, py::handle fy, py::handle cx, py::handle cy, py::handle k1, py::handle k2, py::handle p1,
                py::handle p2) {
    return {toF32(fx, "fx"), toF32(fy, "fy"), toF32(cx, "cx"), toF32(cy, "cy"),
            toF32(k1, "k1"), toF32(k2, "k2"), toF32(p1, "p1"), toF32(p2, "p2")};
}

using UndistortSig = StatusCode(const void*, int, void*, int, ImageSize, float, float, float, float, float, float, uint8_t*);
#define ZPY_UND(T, DT, CH) {Dt::DT, Dt::DT, CH, erase<zaliUndistortRadial_##T##_C##CH##R, UndistortSig>()}
const Member<UndistortSig> kUndistort[] = {ZPY_UND(8u, u8, 1), ZPY_UND(8u, u8, 3), ZPY_UND(16u, u16, 1),
                                           ZPY_UND(16u, u16, 3), ZPY_UND(32f, f32, 1), ZPY_UND(32f, f32, 3)};
#undef ZPY_UND

constexpr ArgNames::value_type kCameraArg{-5, "fx or fy"};

py::array undistort(py::object img, py::object fx, py::object fy, py::object cx, py::object cy, py::object k1, py::object k2,
                    py::object p1, py::object p2, py::object out) {
    const char* op = "undistort";
    const Image S = input(img, "img", C13);
    auto* fn = pick(kUndistort, S.dt, Dt::none, S.channels, op);
    const Camera c = cameraOf(fx, fy, cx, cy, k1, k2, p1, p2);
    if (c.p1 != 0.0f || c.p2 != 0.0f)
        throwValue("undistort: the image undistortion is radial only (p1 = p2 = 0); undistort_map gives the full model");
    // Pixels whose source lies outside the image are not written: a fresh
    // result starts at zero, a given `out` keeps its values there.
    Output O(out, S.dt, S.height, S.width, S.channels, op, {&S}, true);
    const Image& D = O.image();
    check(run([&] {
              int size = 0;
              StatusCode st = zaliUndistortGetSize(S.size(), &size);
              if (st != StatusOk) return st;
              return fn(S.raw(), S.step, D.raw(), D.step, S.size(), c.fx, c.fy, c.cx, c.cy, c.k1, c.k2, workBuffer(size));
          }),
          op, {kCameraArg});
    return O.finish();
}

py::tuple undistortMap(py::object shape, py::object fx, py::object fy, py::object cx, py::object cy, py::object k1, py::object k2,
                       py::object p1, py::object p2) {
    const char* op = "undistort_map";
    py::sequence s = shape;
    if (!py::isinstance<py::sequence>(shape) || py::len(s) < 2) throwValue("undistort_map: 'shape' must be (rows, cols)");
    const int h = toInt(s[0], "shape"), w = toInt(s[1], "shape");
    if (h < 1 || w < 1) throw StatusError{StatusSizeError, "undistort_map: 'shape' must be positive [status -6]"};
    const Camera c = cameraOf(fx, fy, cx, cy, k1, k2, p1, p2);
    Output X(py::none(), Dt::f32, h, w, 1, op), Y(py::none(), Dt::f32, h, w, 1, op);
    const Image &XI = X.image(), &YI = Y.image();
    check(run([&] {
              int size = 0;
              StatusCode st = zaliUndistortGetSize(XI.size(), &size);
              if (st != StatusOk) return st;
              return zaliCreateMapCameraUndistort_32f_C1R(XI.ptr<float>(), XI.step, YI.ptr<float>(), YI.step, XI.size(), c.fx, c.fy,
                                                          c.cx, c.cy, c.k1, c.k2, c.p1, c.p2, workBuffer(size));
          }),
          op, {kCameraArg});
    return py::make_tuple(X.finish(), Y.finish());
}

using MotionSig = StatusCode(const void*, int, float*, int, ImageSize, float, float);
const Member<MotionSig> kMotion[] = {
    {Dt::u8, Dt::f32, 1, erase<zaliUpdateMotionHistory_8u32f_C1IR, MotionSig>()},
    {Dt::u16, Dt::f32, 1, erase<zaliUpdateMotionHistory_16u32f_C1IR, MotionSig>()},
    {Dt::f32, Dt::f32, 1, erase<zaliUpdateMotionHistory_32f_C1IR, MotionSig>()},
};

py::array updateMotionHistory(py::object silhouette, py::object mhi, py::object timestamp, py::object duration) {
    const char* op = "update_motion_history";
    const Image S = input(silhouette, "silhouette");
    const Image H = inplace(mhi, "mhi");
    requireDtype(H, {Dt::f32}, op);
    requireSameSize(H, S, op, "silhouette");
    auto* fn = pick(kMotion, S.dt, Dt::none, 1, op);
    const float t = toF32(timestamp, "timestamp"), d = toF32(duration, "duration");
    check(run([&] { return fn(S.raw(), S.step, H.ptr<float>(), H.step, S.size(), t, d); }), op, {{-11, "duration"}});
    return H.array;
}

using SampleSig = StatusCode(const void*, int, ImageSize, void*, ImagePoint, ImagePoint);
#define ZPY_SAMPLE(T, DT, CH) {Dt::DT, Dt::DT, CH, erase<zaliSampleLine_##T##_C##CH##R, SampleSig>()}
const Member<SampleSig> kSample[] = {ZPY_SAMPLE(8u, u8, 1), ZPY_SAMPLE(8u, u8, 3), ZPY_SAMPLE(16u, u16, 1),
                                     ZPY_SAMPLE(16u, u16, 3), ZPY_SAMPLE(32f, f32, 1), ZPY_SAMPLE(32f, f32, 3)};
#undef ZPY_SAMPLE

py::array sampleLine(py::object img, py::object p1, py::object p2) {
    const char* op = "sample_line";
    const Image S = input(img, "img", C13);
    auto* fn = pick(kSample, S.dt, Dt::none, S.channels, op);
    const ImagePoint a = parsePoint(p1, "p1"), b = parsePoint(p2, "p2");
    // The library checks both points against the image before it writes; the
    // count is only needed to size the result.
    const long long n = std::max(std::llabs(static_cast<long long>(b.x) - a.x), std::llabs(static_cast<long long>(b.y) - a.y)) + 1;
    const bool inside = a.x >= 0 && a.y >= 0 && b.x >= 0 && b.y >= 0 && a.x < S.width && b.x < S.width && a.y < S.height && b.y < S.height;
    std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(inside ? n : 1)};
    if (S.channels > 1) shape.push_back(S.channels);
    py::array R(dtype(S.dt), shape);
    void* r = R.mutable_data();
    check(run([&] { return fn(S.raw(), S.step, S.size(), r, a, b); }), op, {{-11, "p1 or p2"}});
    return R;
}

py::array linePoints(py::object p1, py::object p2) {
    const ImagePoint a = parsePoint(p1, "p1"), b = parsePoint(p2, "p2");
    const long long dx = static_cast<long long>(b.x) - a.x, dy = static_cast<long long>(b.y) - a.y;
    if (std::llabs(dx) >= (1LL << 29) || std::llabs(dy) >= (1LL << 29)) throwValue("line_points: the line is too long");
    // The iterator describes the line by byte steps in an image of row step S;
    // with one-byte pixels and S > 2|dx| + 1 an offset decodes uniquely into
    // (x, y). The iterator is only read: no image is touched.
    const int S = static_cast<int>(2 * std::llabs(dx) + 3);
    static uint8_t origin;
    LineIterator it{};
    const int n = _zlcvInitLineIterator(&origin, S, 1, 0, 0, static_cast<int>(dx), static_cast<int>(dy), &it);
    if (n < 0) throw StatusError{StatusLineError, "line_points: the line set-up failed [status -2]"};
    py::array_t<int32_t> R(std::vector<py::ssize_t>{n, 2});
    auto r = R.mutable_unchecked<2>();
    long long offset = 0, error = it.error;
    for (int i = 0; i < n; ++i) {
        long long y = offset >= 0 ? (offset + S / 2) / S : -((-offset + S / 2) / S);
        long long x = offset - y * S;
        r(i, 0) = static_cast<int32_t>(a.x + x);
        r(i, 1) = static_cast<int32_t>(a.y + y);
        // Advance as the iterator prescribes.
        const long long e = error - it.errorDecrement;
        if (e < 0) {
            error = e + it.errorRefill;
            offset += it.majorStep + it.minorStep;
        } else {
            error = e;
            offset += it.majorStep;
        }
    }
    return R;
}

}  // namespace

void bindGeometry(py::module_& m) {
    m.def("undistort", &undistort, py::arg("img"), py::arg("fx"), py::arg("fy"), py::arg("cx"), py::arg("cy"), py::arg("k1"),
          py::arg("k2"), py::arg("p1") = 0.0, py::arg("p2") = 0.0, py::kw_only(), py::arg("out") = py::none(),
          "Removes radial lens distortion (k1, k2) of a pinhole camera with focal lengths (fx, fy) and\n"
          "principal point (cx, cy) by bilinear interpolation; uint8, uint16 or float32 with 1 or 3\n"
          "channels. Pixels whose source falls outside [0, W-1) x [0, H-1) are not written: 0 in a fresh\n"
          "result, unchanged in `out`. Tangential terms (p1, p2) must be 0 here; see undistort_map.");
    m.def("undistort_map", &undistortMap, py::arg("shape"), py::arg("fx"), py::arg("fy"), py::arg("cx"), py::arg("cy"),
          py::arg("k1"), py::arg("k2"), py::arg("p1") = 0.0, py::arg("p2") = 0.0,
          "(xmap, ymap): the float32 source position of every destination pixel of `shape` under the full\n"
          "radial and tangential model, unclipped.");
    m.def("update_motion_history", &updateMotionHistory, py::arg("silhouette"), py::arg("mhi"), py::arg("timestamp"),
          py::arg("duration"),
          "Updates the float32 motion-history image `mhi` in place (and returns it): where the silhouette\n"
          "(uint8, uint16 or float32) shows motion it becomes `timestamp`, elsewhere values older than\n"
          "timestamp - duration become 0.");
    m.def("sample_line", &sampleLine, py::arg("img"), py::arg("p1"), py::arg("p2"),
          "The pixels of the digital line from p1 to p2 ((x, y), both inside the image, both ends included)\n"
          "of a uint8, uint16 or float32 image with 1 or 3 channels: an (N,) or (N, 3) array.");
    m.def("line_points", &linePoints, py::arg("p1"), py::arg("p2"),
          "The (x, y) points of the digital line from p1 to p2 that sample_line visits: an (N, 2) int32\n"
          "array (major axis the longer one, y on ties).");
}

}  // namespace zpy
