// The geometry kernels on every SIMD target: widths around the vector
// lengths and the 256-pixel chunks of the undistortion, rows at odd byte
// addresses (8u), compared bit for bit with per-pixel references; the
// motion history's check order.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "geometry/exports.h"

using zaltest::GuardedImage;
using zaltest::Lcg;

namespace {

struct Lens {
    float fx, fy, cx, cy, k1, k2;
};

// Source position of (u, v): R = k1 r^2 + k2 r^4, or (`perColumn`, as the
// buffered path forms it) from column and row terms:
// (x^2 (k1 + k2 x^2) + y^2 (k1 + k2 y^2)) + x^2 (2 k2 y^2).
void radialPosition(const Lens& l, int u, int v, bool perColumn, float& xs, float& ys) {
    const float dx = u - l.cx, dy = v - l.cy;
    const float x2 = dx * dx * (1.0f / (l.fx * l.fx)), y2 = dy * dy * (1.0f / (l.fy * l.fy)), r2 = x2 + y2;
    const float r = perColumn ? x2 * (l.k1 + l.k2 * x2) + y2 * (l.k1 + l.k2 * y2) + x2 * (2.0f * l.k2 * y2)
                              : l.k1 * r2 + l.k2 * (r2 * r2);
    xs = u + dx * r;
    ys = v + dy * r;
}

template <class T>
uint32_t bits(T v) {
    if constexpr (std::is_same_v<T, float>) return std::bit_cast<uint32_t>(v);
    else return v;
}

template <class T, int C, class Fn>
void checkUndistort(Fn undistort, const char* name, int w, int h, bool buffered, float strength) {
    SCOPED_TRACE(testing::Message() << name << " " << w << "x" << h << (buffered ? " buffered" : "") << " strength " << strength);
    const Lens l{0.45f * w + 3, 0.5f * h + 3, 0.5f * w - 0.3f, 0.5f * h + 0.2f, 0.25f * strength, 0.1f * strength};
    GuardedImage<T> src(w, h, C), dst(w, h, C);
    Lcg rng(w * 131 + h);
    src.fill([&](int, int, int) { return std::is_same_v<T, float> ? rng.uniformf(-50, 50) : rng.uniform(0, sizeof(T) == 1 ? 255 : 65535); });
    dst.fill([](int, int, int) { return 7; });
    int size = 0;
    ASSERT_EQ(zaliUndistortGetSize(src.roi(), &size), StatusOk);
    std::vector<uint8_t> buffer(size + 1);  // +1: an unaligned start must work too
    ASSERT_EQ(undistort(src.data(), src.step(), dst.data(), dst.step(), src.roi(), l.fx, l.fy, l.cx, l.cy, l.k1, l.k2,
                        buffered ? buffer.data() + 1 : nullptr), StatusOk);
    int written = 0;
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            float xs, ys;
            radialPosition(l, u, v, buffered, xs, ys);
            const bool inside = xs >= 0 && ys >= 0 && xs < w - 1 && ys < h - 1;
            written += inside;
            const int x0 = inside ? static_cast<int>(xs) : 0, y0 = inside ? static_cast<int>(ys) : 0;
            const float a = xs - x0, b = ys - y0;
            for (int c = 0; c < C; ++c) {
                T want = 7;
                if (inside) {
                    const float value = (1 - a) * (1 - b) * src.at(x0, y0, c) + a * (1 - b) * src.at(x0 + 1, y0, c) +
                                        (1 - a) * b * src.at(x0, y0 + 1, c) + a * b * src.at(x0 + 1, y0 + 1, c);
                    want = std::is_same_v<T, float> ? value : static_cast<T>(static_cast<int>(value + 0.5f));
                }
                ASSERT_EQ(bits(dst.at(u, v, c)), bits(want)) << u << "," << v << "," << c;
            }
        }
    ASSERT_TRUE(dst.guardsIntact());
    if (w > 2 && h > 2) {  // both kinds of pixel
        EXPECT_TRUE(written > w * h / 3 && written < w * h) << written;
    }
}

TEST(GeometryKernels, UndistortionOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        // Strength 0: no distortion, a copy of all but the last row and column.
        for (auto [w, h] : {std::pair{1, 4}, {4, 1}, {2, 2}, {19, 9}, {300, 4}})
            for (auto [buffered, strength] : {std::pair{false, 1.0f}, {true, 1.0f}, {false, 0.0f}}) {
#define ZAL_CHECK_UNDISTORT(name, T, C) checkUndistort<T, C>(name, #name, w, h, buffered, strength);
                ZAL_GEOMETRY_UNDISTORT(ZAL_CHECK_UNDISTORT)
#undef ZAL_CHECK_UNDISTORT
                if (HasFatalFailure()) return;
            }
    });
}

TEST(GeometryKernels, UndistortionMapOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        for (int w : {1, 7, 33, 300}) {
            const int h = 3;
            const Lens l{w + 2.0f, 4.0f, 0.4f * w, 1.3f, -0.2f, 0.05f};
            GuardedImage<float> xm(w, h), ym(w, h);
            std::vector<uint8_t> buffer(24 * (w + 3) + 32);
            for (float p1 : {0.0f, 0.03f})
                for (bool buffered : {false, true}) {
                    SCOPED_TRACE(testing::Message() << w << " p1 " << p1 << (buffered ? " buffered" : ""));
                    const float p2 = p1 == 0 ? 0.0f : -0.02f;
                    ASSERT_EQ(zaliCreateMapCameraUndistort_32f_C1R(xm.data(), xm.step(), ym.data(), ym.step(), xm.roi(), l.fx,
                                                                   l.fy, l.cx, l.cy, l.k1, l.k2, p1, p2,
                                                                   buffered ? buffer.data() : nullptr), StatusOk);
                    for (int v = 0; v < h; ++v)
                        for (int u = 0; u < w; ++u) {
                            float xs, ys;
                            if (p1 == 0) {
                                radialPosition(l, u, v, buffered, xs, ys);
                            } else {
                                const float dx = u - l.cx, dy = v - l.cy, x = (1 / l.fx) * dx, y = (1 / l.fy) * dy;
                                const float r2 = x * x + y * y, r = l.k1 * r2 + l.k2 * (r2 * r2);
                                const float b = r + 2 * p1 * y + 2 * p2 * x;
                                xs = u + l.fx * p2 * r2 + dx * b;
                                ys = v + l.fy * p1 * r2 + dy * b;
                                // The textbook form: distort the normalised point, project back.
                                const double tx = x, ty = y, t2 = tx * tx + ty * ty, radial = 1 + l.k1 * t2 + l.k2 * t2 * t2;
                                ASSERT_NEAR(xs, l.cx + l.fx * (tx * radial + 2 * p1 * tx * ty + p2 * (t2 + 2 * tx * tx)), 2e-4 * (w + 2));
                                ASSERT_NEAR(ys, l.cy + l.fy * (ty * radial + p1 * (t2 + 2 * ty * ty) + 2 * p2 * tx * ty), 2e-4);
                            }
                            ASSERT_TRUE(bits(xm.at(u, v)) == bits(xs) && bits(ym.at(u, v)) == bits(ys)) << u << "," << v;
                        }
                    ASSERT_TRUE(xm.guardsIntact() && ym.guardsIntact());
                }
        }
    });
}

// Silhouettes and histories drawn from values at the edges of the rules:
// equal to timestamp - duration, signed zeros, NaNs of both signs, newer
// than the time stamp. The integer variants order by bit pattern (a NaN
// with a clear sign bit is kept, -0.0 is older than +0.0), the float one by
// value (NaNs are cleared, -0.0 equals +0.0; -0.0 and NaN silhouettes are
// still); duration 0 makes the time stamp itself the limit.
template <class S, class Fn>
void checkMotionHistory(Fn update, const char* name, int w, float t, float d) {
    SCOPED_TRACE(testing::Message() << name << " width " << w << " limit " << t - d);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float histories[] = {6.0f, 5.9f, -0.0f, 0.0f, 12.0f, nan, -nan, 1.0f, 6.0000005f};
    const S moves[] = {S(0), S(1), S(0), S(0), S(200)};
    Lcg rng(w);
    GuardedImage<S> silhouette(w, 2);
    GuardedImage<float> history(w, 2), before(w, 2);
    silhouette.fill([&](int, int, int) {
        if constexpr (std::is_same_v<S, float>) {
            const float f[] = {0.0f, -0.0f, nan, -2.0f, 0.5f, 0.0f};
            return f[rng.uniform(0, 5)];
        } else {
            return moves[rng.uniform(0, 4)];
        }
    });
    history.fill([&](int, int, int) { return histories[rng.uniform(0, 8)]; });
    before.fill([&](int x, int y, int) { return history.at(x, y); });
    ASSERT_EQ(update(silhouette.data(), silhouette.step(), history.data(), history.step(), history.roi(), t, d), StatusOk);
    auto key = [](float f) {
        const int32_t b = std::bit_cast<int32_t>(f);
        return (b & 0x7fffffff) ^ (b >> 31);
    };
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < w; ++x) {
            const S s = silhouette.at(x, y);
            const float h = before.at(x, y);
            float want;
            if constexpr (std::is_same_v<S, float>) want = (s < 0 || s > 0) ? t : (h >= t - d ? h : 0.0f);
            else want = s != 0 ? t : (key(h) < key(t - d) ? 0.0f : h);
            ASSERT_EQ(bits(history.at(x, y)), bits(want)) << x << "," << y;
        }
    ASSERT_TRUE(history.guardsIntact());
}

TEST(GeometryKernels, MotionHistoryOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        for (int w = 1; w <= 40; w += (w < 20 ? 1 : 19)) {
#define ZAL_CHECK_MOTION(name, S) checkMotionHistory<S>(name, #name, w, 10.0f, 4.0f), checkMotionHistory<S>(name, #name, w, 0.0f, 0.0f);
            ZAL_GEOMETRY_MOTION_HISTORY(ZAL_CHECK_MOTION)
#undef ZAL_CHECK_MOTION
            if (HasFatalFailure()) return;
        }
    });
}

TEST(MotionHistory, ChecksInOrder) {
    GuardedImage<uint16_t> s(3, 2);
    GuardedImage<float> h(3, 2), up(3, 2, 1, zaltest::Layout::BottomUp);
    const ImageSize roi{3, 2}, empty{3, 0};
    auto run = [&](int ss, float* q, int hs, ImageSize r, float d) { return zaliUpdateMotionHistory_16u32f_C1IR(s.data(), ss, q, hs, r, 5, d); };
    EXPECT_EQ(run(s.step(), nullptr, h.step(), empty, 1), StatusNullPointer);
    EXPECT_EQ(run(0, h.data(), h.step(), empty, 1), StatusSizeError);
    EXPECT_EQ(run(s.step(), up.data(), up.step(), roi, 1), StatusStepError);
    EXPECT_EQ(run(7, h.data(), h.step(), roi, -1), StatusStepAlignmentError);
    EXPECT_EQ(run(s.step(), h.data(), h.step(), roi, -1), StatusOutOfRange);
    EXPECT_EQ(run(s.step(), h.data(), h.step(), roi, std::nanf("")), StatusOutOfRange);
    GuardedImage<uint8_t> s8(3, 2);  // 8u silhouettes have no alignment rule
    EXPECT_EQ(zaliUpdateMotionHistory_8u32f_C1IR(s8.data(), 5, h.data(), h.step(), roi, 5, 1), StatusOk);
}

}  // namespace
