// The radial lens model of the undistortion, per pixel, for the tests.
#pragma once

namespace zaltest {

struct Lens {
    float fx, fy, cx, cy, k1, k2;
};

// Source position of (u, v): R = k1 r^2 + k2 r^4, or (`perColumn`, as the
// buffered path forms it) from column and row terms:
// (x^2 (k1 + k2 x^2) + y^2 (k1 + k2 y^2)) + x^2 (2 k2 y^2).
inline void radialPosition(const Lens& l, int u, int v, bool perColumn, float& xs, float& ys) {
    const float dx = u - l.cx, dy = v - l.cy;
    const float x2 = dx * dx * (1.0f / (l.fx * l.fx)), y2 = dy * dy * (1.0f / (l.fy * l.fy)), r2 = x2 + y2;
    const float r = perColumn ? x2 * (l.k1 + l.k2 * x2) + y2 * (l.k1 + l.k2 * y2) + x2 * (2.0f * l.k2 * y2)
                              : l.k1 * r2 + l.k2 * (r2 * r2);
    xs = u + dx * r;
    ys = v + dy * r;
}

}  // namespace zaltest
