// Gradient stencils of the inpainting: intensity gradients around the damaged
// region (plain, or absolute for the isophote method) with their mask-aware
// corrections, and the gradient of the distance map.
//
// Plain stencil: the two-sided difference is doubled, 2 * (I(x+1) - I(x-1));
// a one-sided difference toward the only usable neighbour is not. Absolute
// stencil: |I(x+1) - I(x)| + |I(x) - I(x-1)|, and twice the one usable side.
#include <cmath>
#include <cstdlib>

#include "region/inpaint_internal.h"

namespace zal::inpaint {
namespace {

// One axis through a pixel: the values before, at and after it, and whether
// each neighbour exists (inside the ROI) and is already known (filled).
struct Axis {
    int before = 0, centre = 0, after = 0;
    bool knownBefore = false, knownAfter = false;
};

int16_t component(const Axis& a, Stencil stencil, bool keepIfNone, int16_t old) {
    const bool plain = stencil == Stencil::Plain;
    if (a.knownBefore && a.knownAfter)
        return static_cast<int16_t>(plain ? 2 * (a.after - a.before)
                                          : std::abs(a.after - a.centre) + std::abs(a.centre - a.before));
    if (a.knownAfter) return static_cast<int16_t>(plain ? a.after - a.centre : 2 * std::abs(a.after - a.centre));
    if (a.knownBefore) return static_cast<int16_t>(plain ? a.centre - a.before : 2 * std::abs(a.centre - a.before));
    return keepIfNone ? old : int16_t{0};
}

struct PixelAccess {
    const InpaintState& s;
    Image<const uint8_t> img;

    std::ptrdiff_t offset(int x, int y) const {
        return static_cast<std::ptrdiff_t>(y - s.work.y) * s.work.width + (x - s.work.x);
    }
    bool known(int x, int y) const { return s.mask[offset(x, y)] == 0; }
    int value(int x, int y, int c) const { return img.row(y)[static_cast<std::ptrdiff_t>(x) * s.channels + c]; }

    // Axis 0 runs along x, axis 1 along y.
    Axis axis(int x, int y, int c, int dir) const {
        const int dx = dir == 0 ? 1 : 0, dy = 1 - dx;
        const int pos = dir == 0 ? x : y, size = dir == 0 ? s.width : s.height;
        Axis a;
        a.centre = value(x, y, c);
        if (pos > 0) {
            a.before = value(x - dx, y - dy, c);
            a.knownBefore = known(x - dx, y - dy);
        }
        if (pos + 1 < size) {
            a.after = value(x + dx, y + dy, c);
            a.knownAfter = known(x + dx, y + dy);
        }
        return a;
    }

    int16_t* grad(int x, int y, int c) const { return s.grad + (offset(x, y) * s.channels + c) * 2; }

    void set(int x, int y, int dir, Stencil stencil, bool keepIfNone) const {
        for (int c = 0; c < s.channels; ++c) {
            int16_t& g = grad(x, y, c)[dir];
            g = component(axis(x, y, c, dir), stencil, keepIfNone, g);
        }
    }
};

int16_t saturate16(double v) {
    if (!(v == v)) return 0;
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<int16_t>(v);  // truncates toward zero
}

}  // namespace

void bandGradient(const InpaintState& s, Image<const uint8_t> img, int x, int y, Stencil stencil) {
    const PixelAccess p{s, img};
    p.set(x, y, 0, stencil, false);
    p.set(x, y, 1, stencil, false);
}

void refreshAround(const InpaintState& s, Image<const uint8_t> img, int x, int y, Stencil stencil) {
    const PixelAccess p{s, img};
    p.set(x, y, 0, stencil, true);
    p.set(x, y, 1, stencil, true);
    if (y > 0) p.set(x, y - 1, 1, stencil, true);
    if (y + 1 < s.height) p.set(x, y + 1, 1, stencil, true);
    if (x > 0) p.set(x - 1, y, 0, stencil, true);
    if (x + 1 < s.width) p.set(x + 1, y, 0, stencil, true);
}

// Two-sided differences are halved and scaled in double precision; the
// one-sided differences at the ROI edges are scaled in single precision.
void distanceGradient(InpaintState& s, Image<const float> dist) {
    auto axisGradient = [](float before, float centre, float after, bool hasBefore, bool hasAfter) -> int16_t {
        if (hasBefore && hasAfter)
            return saturate16(0.5 * (static_cast<double>(after) - static_cast<double>(before)) * 4096.0);
        if (hasAfter) return saturate16((after - centre) * 4096.0f);
        if (hasBefore) return saturate16((centre - before) * 4096.0f);
        return 0;
    };
    const Area& w = s.work;
    for (int y = w.y; y < w.y + w.height; ++y) {
        const float* row = dist.row(y);
        const float* up = y > 0 ? dist.row(y - 1) : row;
        const float* down = y + 1 < s.height ? dist.row(y + 1) : row;
        int16_t* g = s.distGrad + static_cast<std::ptrdiff_t>(y - w.y) * w.width * 2;
        for (int x = w.x; x < w.x + w.width; ++x, g += 2) {
            const bool left = x > 0, right = x + 1 < s.width;
            g[0] = axisGradient(left ? row[x - 1] : 0.0f, row[x], right ? row[x + 1] : 0.0f, left, right);
            g[1] = axisGradient(up[x], row[x], down[x], y > 0, y + 1 < s.height);
        }
    }
}

}  // namespace zal::inpaint
