// The demo's deterministic default scene.
#include <cmath>
#include <cstdint>

#include "demo.h"

namespace demo {
namespace {

struct Noise {
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    int next(int amplitude) {  // uniform in [-amplitude, amplitude]
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<uint64_t>(2 * amplitude + 1)) - amplitude;
    }
};

uint8_t clampByte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Gray level of the scene at (x, y) with the shapes shifted by (dx, dy).
double sceneValue(int x, int y, int w, int h, double dx, double dy) {
    double v = 40.0 + 120.0 * x / w + 40.0 * y / h;                           // gradients
    v += 12.0 * std::sin(x * 0.35) * std::sin(y * 0.35);                       // texture
    const double cx = 0.3 * w + dx, cy = 0.4 * h + dy, r = 0.15 * h;          // bright disc
    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r) v = 230.0;
    if (x > 0.55 * w + dx && x < 0.85 * w + dx && y > 0.2 * h + dy && y < 0.45 * h + dy) v = 25.0;  // dark box
    const double tx = x - (0.6 * w + dx), ty = y - (0.6 * h + dy);           // mid-gray triangle
    if (ty > 0 && ty < 0.3 * h && std::fabs(tx) < 0.5 * ty) v = 150.0;
    if ((x / 16 + y / 16) % 2 == 0 && x < 0.2 * w && y > 0.75 * h) v = 200.0;  // checkerboard corner
    return v;
}

}  // namespace

Scene makeScene(int width, int height) {
    Scene s;
    s.gray = Picture<uint8_t>(width, height, 1);
    s.color = Picture<uint8_t>(width, height, 3);
    s.grayF = Picture<float>(width, height, 1);
    s.moved = Picture<uint8_t>(width, height, 1);
    s.mask = Picture<uint8_t>(width, height, 1);
    Noise noise;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double v = sceneValue(x, y, width, height, 0, 0);
            const int n = noise.next(3);
            s.gray.at(x, y) = clampByte(v + n);
            s.grayF.at(x, y) = static_cast<float>(s.gray.at(x, y));
            s.moved.at(x, y) = clampByte(sceneValue(x, y, width, height, 8.0, 5.0) + noise.next(3));
            s.color.at(x, y, 0) = clampByte(v + n + 30.0 * std::sin(x * 0.02));
            s.color.at(x, y, 1) = clampByte(0.8 * v + n);
            s.color.at(x, y, 2) = clampByte(255.0 - v + n);
            const double ex = (x - 0.5 * width) / (0.25 * width), ey = (y - 0.5 * height) / (0.25 * height);
            s.mask.at(x, y) = ex * ex + ey * ey < 1.0 ? 255 : 0;
        }
    }
    return s;
}

}  // namespace demo
