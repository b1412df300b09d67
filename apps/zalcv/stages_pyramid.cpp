// Demo stages of the pyramids, the sub-pixel copy and the optical flow.
#include <algorithm>
#include <cmath>
#include <vector>

#include "cli.h"
#include "demo.h"

using demo::Picture;

namespace {

// Buffer for a Gaussian level of the given source width.
std::vector<uint8_t> gaussBuffer(bool up, int width, int type, int channels) {
    int bytes = 0;
    (up ? zaliPyrUpGetBufSize_Gauss5x5 : zaliPyrDownGetBufSize_Gauss5x5)(width, type, channels, &bytes);
    return std::vector<uint8_t>(static_cast<std::size_t>(std::max(bytes, 0)));
}

}  // namespace

ZALCV_DEMO_STAGE(pyramid, gauss, "Gaussian 5x5 level down and back up (colour)") {
    const Picture<uint8_t>& src = scene.color;
    Picture<uint8_t> down((src.width + 1) / 2, (src.height + 1) / 2, 3);
    auto buf = gaussBuffer(false, src.width, 1, 3);
    StatusCode st = zaliPyrDown_Gauss5x5_8u_C3R(src.data(), src.step(), down.data(), down.step(), src.roi(), buf.data());
    if (st != StatusOk) return st;
    Picture<uint8_t> up(2 * down.width, 2 * down.height, 3);
    auto buf2 = gaussBuffer(true, down.width, 1, 3);
    st = zaliPyrUp_Gauss5x5_8u_C3R(down.data(), down.step(), up.data(), up.step(), down.roi(), buf2.data());
    out.write("pyramid_gauss_down", down);
    out.write("pyramid_gauss_up", up);
    return st;
}

ZALCV_DEMO_STAGE(pyramid, layer, "general layer down at rate 1.5 and back up (gray)") {
    const Picture<uint8_t>& src = scene.gray;
    const int16_t kernel[] = {1, 4, 6, 4, 1};
    const float rate = 1.5f;
    ImageSize d, lo, hi;
    zaliGetPyramidDownROI(src.roi(), &d, rate);
    zaliGetPyramidUpROI(d, &lo, &hi, rate);
    PyramidLayerState *down = nullptr, *up = nullptr;
    StatusCode st = zaliPyramidLayerDownInitAlloc_8u_C1R(&down, src.roi(), rate, kernel, 5, 2);
    if (st != StatusOk) return st;
    st = zaliPyramidLayerUpInitAlloc_8u_C1R(&up, d, rate, kernel, 5, 2);
    Picture<uint8_t> small(d.width, d.height, 1), back(src.width, src.height, 1);
    if (st == StatusOk)
        st = zaliPyramidLayerDown_8u_C1R(src.data(), src.step(), src.roi(), small.data(), small.step(), d, down);
    // The source size lies in the up range of its down size.
    if (st == StatusOk)
        st = zaliPyramidLayerUp_8u_C1R(small.data(), small.step(), d, back.data(), back.step(), back.roi(), up);
    zaliPyramidLayerDownFree(down);
    if (up) zaliPyramidLayerUpFree(up);
    out.write("pyramid_layer_down", small);
    out.write("pyramid_layer_up", back);
    return st;
}

ZALCV_DEMO_STAGE(pyramid, subpix, "sub-pixel zoom: a 64x64 block centred a quarter pixel off") {
    const Picture<uint8_t>& src = scene.gray;
    Picture<uint8_t> block(64, 64, 1);
    ImagePoint mn, mx;
    const StatusCode st = zaliCopySubpixIntersect_8u_C1R(src.data(), src.step(), src.roi(), block.data(), block.step(),
                                                         block.roi(), src.width * 0.25f + 0.25f, src.height * 0.5f - 0.25f,
                                                         &mn, &mx);
    out.write("pyramid_subpix", block);
    return st;
}

ZALCV_DEMO_STAGE(pyramid, flow, "Lucas-Kanade tracks of strong corners from the scene to the moved frame") {
    const Picture<uint8_t>& a = scene.gray;
    const Picture<uint8_t>& b = scene.moved;
    const int levels = 3;
    // Gaussian pyramids of both frames.
    Pyramid *p1 = nullptr, *p2 = nullptr;
    StatusCode st = zaliPyramidInitAlloc(&p1, levels, a.roi(), 2.0f);
    if (st != StatusOk) return st;
    st = zaliPyramidInitAlloc(&p2, levels, a.roi(), 2.0f);
    if (st != StatusOk) {
        zaliPyramidFree(p1);
        return st;
    }
    std::vector<Picture<uint8_t>> l1{a}, l2{b};
    for (int L = 1; L <= p1->topLevel && st == StatusOk; ++L) {
        const ImageSize s = p1->levelSizes[L];
        l1.emplace_back(s.width, s.height, 1);
        l2.emplace_back(s.width, s.height, 1);
        auto buf = gaussBuffer(false, l1[L - 1].width, 1, 1);
        st = zaliPyrDown_Gauss5x5_8u_C1R(l1[L - 1].data(), l1[L - 1].step(), l1[L].data(), l1[L].step(), l1[L - 1].roi(), buf.data());
        if (st == StatusOk)
            st = zaliPyrDown_Gauss5x5_8u_C1R(l2[L - 1].data(), l2[L - 1].step(), l2[L].data(), l2[L].step(), l2[L - 1].roi(), buf.data());
    }
    for (int L = 0; L <= p1->topLevel; ++L) {
        p1->levelImages[L] = l1[L].data();
        p1->levelSteps[L] = l1[L].step();
        p2->levelImages[L] = l2[L].data();
        p2->levelSteps[L] = l2[L].step();
    }
    // Track strong corners only: in flat or edge-only areas the window has
    // nothing to lock on to.
    cli::Image first(a.width, a.height, 1, cli::Depth::U8);
    std::copy(a.pixels.begin(), a.pixels.end(), first.bytes.begin());
    std::vector<float> prev = cli::strongCorners(first, 150, 12, 0.01f);
    const int n = static_cast<int>(prev.size() / 2);
    std::vector<float> next = prev, err(n);
    std::vector<int8_t> status(n);
    OpticalFlowState* state = nullptr;
    if (st == StatusOk) st = zaliOpticalFlowPyrLKInitAlloc_8u_C1R(&state, ImageSize{a.width / 2, a.height / 2}, 9, 0);
    if (st == StatusOk)
        st = zaliOpticalFlowPyrLK_8u_C1R(p1, p2, prev.data(), next.data(), status.data(), err.data(), n, 9, levels, 20, 0.01f, state);
    if (state) zaliOpticalFlowPyrLKFree_8u_C1R(state);
    zaliPyramidFree(p1);
    zaliPyramidFree(p2);
    // Tracks drawn over the dimmed first frame: a black mark at each start,
    // a white line to where the tracker found it. Points the tracker lost are
    // not drawn.
    Picture<uint8_t> view = a;
    for (uint8_t& v : view.pixels) v = static_cast<uint8_t>(64 + v / 2);
    for (int i = 0; i < n && st == StatusOk; ++i) {
        const float x0 = prev[2 * i], y0 = prev[2 * i + 1];
        if (status[i] != 0) continue;
        for (int j = -1; j <= 1; ++j)
            for (int k = -1; k <= 1; ++k) view.at(int(x0) + k, int(y0) + j) = 0;
        const float dx = next[2 * i] - x0, dy = next[2 * i + 1] - y0;
        const int steps = std::max(1, int(std::ceil(std::max(std::fabs(dx), std::fabs(dy)) * 2)));
        for (int k = 0; k <= steps; ++k) {
            const int x = int(std::lround(x0 + dx * k / steps)), y = int(std::lround(y0 + dy * k / steps));
            if (x >= 0 && y >= 0 && x < view.width && y < view.height) view.at(x, y) = 255;
        }
    }
    out.write("pyramid_flow", view);
    return st;
}
