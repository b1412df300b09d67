// Demo stages of the integral images, window deviation and Haar stages.
#include <cmath>
#include <vector>

#include "demo.h"

using demo::Picture;

namespace {

// Integral and square integral of the gray scene (W + 1) x (H + 1).
struct Tables {
    int width, height;
    std::vector<float> sum;
    std::vector<double> sqr;
    explicit Tables(const Picture<uint8_t>& gray)
        : width(gray.width + 1), height(gray.height + 1), sum(std::size_t(width) * height),
          sqr(std::size_t(width) * height) {}
    StatusCode build(const Picture<uint8_t>& gray) {
        return zaliSqrIntegral_8u32f64f_C1R(gray.data(), gray.step(), sum.data(), width * 4, sqr.data(), width * 8,
                                            gray.roi(), 0.0f, 0.0);
    }
};

}  // namespace

ZALCV_DEMO_STAGE(objdetect, stddev, "local standard deviation in 15x15 windows from integral images") {
    Tables t(scene.gray);
    StatusCode st = t.build(scene.gray);
    const int win = 15;
    Picture<float> sd(scene.gray.width - win + 1, scene.gray.height - win + 1, 1);
    if (st == StatusOk)
        st = zaliRectStdDev_32f_C1R(t.sum.data(), t.width * 4, t.sqr.data(), t.width * 8, sd.data(), sd.step(),
                                    sd.roi(), ImageRect{0, 0, win, win});
    out.writeScaled("objdetect_stddev", sd.data(), sd.step(), sd.width, sd.height, 0.0f, 64.0f);
    return st;
}

ZALCV_DEMO_STAGE(objdetect, tilted, "rotated 8x8 window means from the tilted integral image") {
    const Picture<uint8_t>& g = scene.gray;
    const int tw = g.width + 2, th = g.height + 2, side = 8;
    std::vector<int32_t> tilted(std::size_t(tw) * th);
    StatusCode st = zaliTiltedIntegral_8u32s_C1R(g.data(), g.step(), tilted.data(), tw * 4, g.roi(), 0);
    // Output (x, y) is the mean of the rotated square whose top corner is at
    // table row y, column x + side + 1.
    Picture<float> mean(g.width - 2 * side - 2, g.height - 2 * side, 1);
    for (int y = 0; y < mean.height && st == StatusOk; ++y)
        for (int x = 0; x < mean.width; ++x) {
            auto at = [&](int r, int c) { return static_cast<long long>(tilted[std::size_t(r) * tw + c]); };
            const int r = y, c = x + side + 1;
            const long long s = at(r + 2 * side, c) - at(r + side, c - side) - at(r + side, c + side) + at(r, c);
            mean.at(x, y) = static_cast<float>(s) / (2.0f * side * side);
        }
    out.writeScaled("objdetect_tilted_mean", mean.data(), mean.step(), mean.width, mean.height, 0.0f, 255.0f);
    return st;
}

ZALCV_DEMO_STAGE(objdetect, haar, "two-stage Haar cascade (edges, then bars) over 20x20 windows") {
    const Picture<uint8_t>& g = scene.gray;
    Tables t(g);
    StatusCode st = t.build(g);
    const int win = 20;
    const ImageSize windows{g.width - win, g.height - win};
    Picture<float> norm(windows.width, windows.height, 1);
    if (st == StatusOk)
        st = zaliRectStdDev_32f_C1R(t.sum.data(), t.width * 4, t.sqr.data(), t.width * 8, norm.data(), norm.step(),
                                    windows, ImageRect{0, 0, win, win});
    // Every window whose deviation is meaningful starts as a candidate.
    Picture<uint8_t> mask(windows.width, windows.height, 1);
    for (std::size_t i = 0; i < mask.pixels.size(); ++i) mask.pixels[i] = norm.pixels[i] > 8.0f ? 1 : 0;
    for (float& n : norm.pixels) n *= float(win * win);

    // Stage 1: a vertical and a horizontal edge (left minus right, top minus bottom).
    const ImageRect edges[4] = {{0, 0, 10, 20}, {10, 0, 10, 20}, {0, 0, 20, 10}, {0, 10, 20, 10}};
    const float edgeW[4] = {1, -1, 1, -1}, edgeT[2] = {0.15f, 0.15f}, edgeV1[2] = {0, 0}, edgeV2[2] = {1, 1};
    // Stage 2: a dark or bright vertical bar (three rectangles).
    const ImageRect bars[3] = {{0, 0, 20, 20}, {7, 0, 6, 20}, {7, 0, 6, 20}};
    const float barW[3] = {1, -2, -2}, barT[1] = {-0.1f}, barV1[1] = {0}, barV2[1] = {1};
    const int edgeNum[2] = {2, 2}, barNum[1] = {3};
    HaarClassifierState_32f *s1 = nullptr, *s2 = nullptr;
    if (st == StatusOk) st = zaliHaarClassifierInitAlloc_32f(&s1, edges, edgeW, edgeT, edgeV1, edgeV2, edgeNum, 2);
    if (st == StatusOk) st = zaliHaarClassifierInitAlloc_32f(&s2, bars, barW, barT, barV1, barV2, barNum, 1);
    int accepted = 0;
    if (st == StatusOk)
        st = zaliApplyHaarClassifier_32f_C1R(t.sum.data(), t.width * 4, norm.data(), norm.step(), mask.data(),
                                             mask.step(), windows, &accepted, 1.0f, s1);
    if (st == StatusOk)
        st = zaliApplyHaarClassifier_32f_C1R(t.sum.data(), t.width * 4, norm.data(), norm.step(), mask.data(),
                                             mask.step(), windows, &accepted, 1.0f, s2);
    if (s1) zaliHaarClassifierFree_32f(s1);
    if (s2) zaliHaarClassifierFree_32f(s2);
    // The accepted window origins drawn over a dimmed scene.
    Picture<uint8_t> view(g.width, g.height, 1);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) view.at(x, y) = static_cast<uint8_t>(g.at(x, y) / 3);
    for (int y = 0; y < windows.height; ++y)
        for (int x = 0; x < windows.width; ++x)
            if (mask.at(x, y)) view.at(x + win / 2, y + win / 2) = 255;
    out.write("objdetect_haar", view);
    return st;
}
