// Geometry family: lens undistortion and maps, motion history, the line
// iterator and line sampling.
#include "harness.h"

namespace {

using fz::Fill;
using fz::Fuzz;
using fz::Role;
using u8 = uint8_t;

struct Camera {
    float fx, fy, cx, cy, k1, k2, p1, p2;
};
Camera camera(Fuzz& f, ImageSize roi) {
    Camera c;
    c.fx = f.pick(4) ? float(f.range(1, 400)) : f.f32();
    c.fy = f.pick(4) ? float(f.range(1, 400)) : f.f32();
    c.cx = f.pick(4) ? float(f.range(0, 8 * (roi.width > 0 ? roi.width : 1))) / 8.0f : f.f32();
    c.cy = f.pick(4) ? float(f.range(0, 8 * (roi.height > 0 ? roi.height : 1))) / 8.0f : f.f32();
    c.k1 = f.pick(4) ? float(f.range(-100, 100)) / 100.0f : f.f32();
    c.k2 = f.pick(4) ? float(f.range(-100, 100)) / 100.0f : f.f32();
    c.p1 = f.pick(2) ? 0.0f : f.pick(4) ? float(f.range(-100, 100)) / 1000.0f : f.f32();
    c.p2 = f.pick(2) ? 0.0f : f.pick(4) ? float(f.range(-100, 100)) / 1000.0f : f.f32();
    return c;
}
// The optional per-column buffer: null, or exactly the queried size.
u8* undistortBuffer(Fuzz& f, ImageSize roi) {
    if (f.pick(3) == 0) return nullptr;
    int* bytes = f.result<int>();
    const int qs = FZ(f, zaliUndistortGetSize, roi, bytes);
    return f.buffer(qs == 0 ? *bytes : 0);
}

template <class T, int Ch>
void undistort(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, T*, int, ImageSize, float, float, float, float, float, float, u8*)) {
    const ImageSize roi = f.roi();
    const Camera c = camera(f, roi);
    auto src = f.in<T>(roi, Ch);
    auto dst = f.out<T>(roi, Ch);
    u8* buffer = undistortBuffer(f, roi);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, f.p(dst.ptr), dst.step, roi, c.fx, c.fy, c.cx, c.cy, c.k1, c.k2, buffer); });
}
void undistortMap(Fuzz& f) {
    const ImageSize roi = f.roi();
    const Camera c = camera(f, roi);
    auto xmap = f.out<float>(roi);
    auto ymap = f.out<float>(roi);
    u8* buffer = undistortBuffer(f, roi);
    FZ(f, zaliCreateMapCameraUndistort_32f_C1R, f.p(xmap.ptr), xmap.step, f.p(ymap.ptr), ymap.step, roi, c.fx, c.fy, c.cx, c.cy, c.k1, c.k2, c.p1, c.p2, buffer);
}
void undistortQuery(Fuzz& f) {
    const ImageSize s = f.querySize();
    int* bytes = f.result<int>();
    FZ(f, zaliUndistortGetSize, s, f.p(bytes));
}

template <class S>
void motion(Fuzz& f, const char* name, StatusCode (*fn)(const S*, int, float*, int, ImageSize, float, float)) {
    const ImageSize roi = f.roi();
    auto silh = f.in<S>(roi, 1, f.pick(2) ? Fill::Mask : Fill::Any);
    auto mhi = f.out<float>(roi);
    const float ts = f.pick(4) ? float(f.range(0, 100)) : f.f32();
    const float dur = f.pick(4) ? float(f.range(0, 50)) : f.f32();
    f.run(name, [&] { return fn(f.p(silh.ptr), silh.step, f.p(mhi.ptr), mhi.step, roi, ts, dur); });
}

void lineIterator(Fuzz& f) {
    // No bounds are tested: the iterator only computes an address, so the
    // image is a small block and the coordinates stay within a range whose
    // addresses do not wrap.
    u8* image = f.array<u8>(64, Role::In);
    const int step = f.range(-4096, 4096), pixel = f.range(-16, 16);
    const int x1 = f.range(-4096, 4096), y1 = f.range(-4096, 4096);
    const int x2 = f.pick(8) ? f.range(-4096, 4096) : f.i32(), y2 = f.pick(8) ? f.range(-4096, 4096) : f.i32();
    LineIterator* it = f.result<LineIterator>();
    f.call("_zlcvInitLineIterator");
    const int n = _zlcvInitLineIterator(image, step, pixel, x1, y1, x2, y2, f.p(it));
    f.check(n < 0 ? -1 : 0);
}

template <class T, int Ch>
void sampleLine(Fuzz& f, const char* name, StatusCode (*fn)(const T*, int, ImageSize, T*, ImagePoint, ImagePoint)) {
    const ImageSize roi = f.roi();
    const ImagePoint a = f.point(roi), b = f.point(roi);
    auto src = f.in<T>(roi, Ch);
    const long long dx = (long long)b.x - a.x, dy = (long long)b.y - a.y;
    const long long major = (dx < 0 ? -dx : dx) > (dy < 0 ? -dy : dy) ? (dx < 0 ? -dx : dx) : (dy < 0 ? -dy : dy);
    const bool inside = a.x >= 0 && a.y >= 0 && b.x >= 0 && b.y >= 0 && a.x < roi.width && b.x < roi.width &&
                        a.y < roi.height && b.y < roi.height;
    T* dst = f.array<T>(inside ? int(major + 1) * Ch : Ch, Role::Out);
    f.run(name, [&] { return fn(f.p(src.ptr), src.step, roi, f.p(dst), a, b); });
}

#define UND(T, c, fn) fz::Case{#fn, [](Fuzz& f) { undistort<T, c>(f, #fn, fn); }}
#define MOT(S, fn) fz::Case{#fn, [](Fuzz& f) { motion<S>(f, #fn, fn); }}
#define LINE(T, c, fn) fz::Case{#fn, [](Fuzz& f) { sampleLine<T, c>(f, #fn, fn); }}

const fz::Case kCases[] = {
    UND(uint8_t, 1, zaliUndistortRadial_8u_C1R), UND(uint8_t, 3, zaliUndistortRadial_8u_C3R),
    UND(uint16_t, 1, zaliUndistortRadial_16u_C1R), UND(uint16_t, 3, zaliUndistortRadial_16u_C3R),
    UND(float, 1, zaliUndistortRadial_32f_C1R), UND(float, 3, zaliUndistortRadial_32f_C3R),
    fz::Case{"zaliCreateMapCameraUndistort_32f_C1R", undistortMap},
    fz::Case{"zaliUndistortGetSize", undistortQuery},
    MOT(uint8_t, zaliUpdateMotionHistory_8u32f_C1IR), MOT(uint16_t, zaliUpdateMotionHistory_16u32f_C1IR),
    MOT(float, zaliUpdateMotionHistory_32f_C1IR),
    fz::Case{"_zlcvInitLineIterator", lineIterator},
    LINE(uint8_t, 1, zaliSampleLine_8u_C1R), LINE(uint8_t, 3, zaliSampleLine_8u_C3R),
    LINE(uint16_t, 1, zaliSampleLine_16u_C1R), LINE(uint16_t, 3, zaliSampleLine_16u_C3R),
    LINE(float, 1, zaliSampleLine_32f_C1R), LINE(float, 3, zaliSampleLine_32f_C3R),
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fz::runTable(data, size, kCases, sizeof kCases / sizeof kCases[0]);
}
