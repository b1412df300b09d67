// Pyramid levels, general layers, sub-pixel copies and tracking at 1920x1080
// sources, single thread, next to a memcpy of the source's bytes.
#include <cmath>

#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

void BM_Pyramid_Memcpy_8u(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight); }

void BM_PyrDown_Gauss5x5_8u_C1R(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size() / 4);
    int size = 0;
    zaliPyrDownGetBufSize_Gauss5x5(bench::kWidth, 1, 1, &size);
    std::vector<uint8_t> buf(size);
    for (auto _ : state)
        zaliPyrDown_Gauss5x5_8u_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth / 2, bench::fullHd(), buf.data());
    bench::setFrameBytes(state, 1);
}

void BM_PyrUp_Gauss5x5_8u_C1R(benchmark::State& state) {
    // Half-size source: the destination is the full frame.
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    const ImageSize half{bench::kWidth / 2, bench::kHeight / 2};
    int size = 0;
    zaliPyrUpGetBufSize_Gauss5x5(half.width, 1, 1, &size);
    std::vector<uint8_t> buf(size);
    for (auto _ : state) zaliPyrUp_Gauss5x5_8u_C1R(src.data(), half.width, dst.data(), bench::kWidth, half, buf.data());
    bench::setFrameBytes(state, 1);
}

void BM_PyrDown_Gauss5x5_32f_C1R(benchmark::State& state) {
    const std::vector<float> src = bench::frame<float>();
    std::vector<float> dst(src.size() / 4);
    int size = 0;
    zaliPyrDownGetBufSize_Gauss5x5(bench::kWidth, 9, 1, &size);
    std::vector<uint8_t> buf(size);
    for (auto _ : state)
        zaliPyrDown_Gauss5x5_32f_C1R(src.data(), bench::kWidth * 4, dst.data(), bench::kWidth * 2, bench::fullHd(), buf.data());
    bench::setFrameBytes(state, 4);
}

void BM_PyramidLayerDown_8u_C1R_Rate2(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    const int16_t kernel[] = {1, 4, 6, 4, 1};
    PyramidLayerState* st = nullptr;
    zaliPyramidLayerDownInitAlloc_8u_C1R(&st, bench::fullHd(), 2.0f, kernel, 5, 2);
    ImageSize d;
    zaliGetPyramidDownROI(bench::fullHd(), &d, 2.0f);
    std::vector<uint8_t> dst(static_cast<std::size_t>(d.width) * d.height);
    for (auto _ : state) zaliPyramidLayerDown_8u_C1R(src.data(), bench::kWidth, bench::fullHd(), dst.data(), d.width, d, st);
    zaliPyramidLayerDownFree(st);
    bench::setFrameBytes(state, 1);
}

void BM_CopySubpix_8u_C1R(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    const ImageSize roi{bench::kWidth - 1, bench::kHeight - 1};
    for (auto _ : state) zaliCopySubpix_8u_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth, roi, 0.3f, 0.7f);
    bench::setFrameBytes(state, 1);
}

void BM_CopySubpixIntersect_8u_C1R(benchmark::State& state) {
    // A full-frame block a sub-pixel step off the centre.
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    const ImageSize roi{bench::kWidth - 1, bench::kHeight - 1};
    ImagePoint lo, hi;
    for (auto _ : state)
        zaliCopySubpixIntersect_8u_C1R(src.data(), bench::kWidth, bench::fullHd(), dst.data(), bench::kWidth, roi,
                                       959.3f, 539.7f, &lo, &hi);
    bench::setFrameBytes(state, 1);
}

// General layers at rate 1.5 with the 5-tap kernel 1 4 6 4 1; up from the
// full frame to the largest size of its up range.
template <class T>
void layerBench(benchmark::State& state, bool up) {
    const std::vector<T> src = bench::frame<T>();
    const int16_t ki[] = {1, 4, 6, 4, 1};
    const float kf[] = {1 / 16.0f, 4 / 16.0f, 6 / 16.0f, 4 / 16.0f, 1 / 16.0f};
    PyramidLayerState* st = nullptr;
    ImageSize d, lo;
    if constexpr (std::is_same_v<T, float>) {
        (up ? zaliPyramidLayerUpInitAlloc_32f_C1R : zaliPyramidLayerDownInitAlloc_32f_C1R)(&st, bench::fullHd(), 1.5f, kf, 5, 2);
    } else {
        (up ? zaliPyramidLayerUpInitAlloc_8u_C1R : zaliPyramidLayerDownInitAlloc_8u_C1R)(&st, bench::fullHd(), 1.5f, ki, 5, 2);
    }
    if (up) zaliGetPyramidUpROI(bench::fullHd(), &lo, &d, 1.5f);
    else zaliGetPyramidDownROI(bench::fullHd(), &d, 1.5f);
    std::vector<T> dst(static_cast<std::size_t>(d.width) * d.height);
    const int srcStep = bench::kWidth * static_cast<int>(sizeof(T)), dstStep = d.width * static_cast<int>(sizeof(T));
    for (auto _ : state) {
        if constexpr (std::is_same_v<T, float>)
            (up ? zaliPyramidLayerUp_32f_C1R : zaliPyramidLayerDown_32f_C1R)(src.data(), srcStep, bench::fullHd(), dst.data(), dstStep, d, st);
        else
            (up ? zaliPyramidLayerUp_8u_C1R : zaliPyramidLayerDown_8u_C1R)(src.data(), srcStep, bench::fullHd(), dst.data(), dstStep, d, st);
    }
    zaliPyramidLayerDownFree(st);
    bench::setFrameBytes(state, sizeof(T));
}
void BM_PyramidLayerDown_8u_C1R_Rate1_5(benchmark::State& state) { layerBench<uint8_t>(state, false); }
void BM_PyramidLayerUp_8u_C1R_Rate1_5(benchmark::State& state) { layerBench<uint8_t>(state, true); }
void BM_PyramidLayerDown_32f_C1R_Rate1_5(benchmark::State& state) { layerBench<float>(state, false); }
void BM_PyramidLayerUp_32f_C1R_Rate1_5(benchmark::State& state) { layerBench<float>(state, true); }

// A smooth woven texture, moved by (dx, dy).
std::vector<uint8_t> texture(float dx, float dy) {
    std::vector<uint8_t> v(static_cast<std::size_t>(bench::kWidth) * bench::kHeight);
    for (int y = 0; y < bench::kHeight; ++y)
        for (int x = 0; x < bench::kWidth; ++x) {
            const float u = x - dx, w = y - dy;
            const float p = 128 + 50 * std::sin(u * 0.05f) * std::cos(w * 0.07f) + 40 * std::sin((u + w) * 0.13f);
            v[static_cast<std::size_t>(y) * bench::kWidth + x] = static_cast<uint8_t>(p);
        }
    return v;
}

// Pyramidal Lucas-Kanade: both 3-level Gaussian pyramids built inside the
// timed loop, then 500 points on a grid tracked with a 21 x 21 window, at
// most 30 iterations or a step below 0.01 pixel.
void BM_OpticalFlowPyrLK_8u_C1R(benchmark::State& state) {
    constexpr int kLevels = 3, kWindow = 21;
    const std::vector<uint8_t> a = texture(0, 0), b = texture(1.7f, -0.8f);
    Pyramid *p1 = nullptr, *p2 = nullptr;
    zaliPyramidInitAlloc(&p1, kLevels, bench::fullHd(), 2.0f);
    zaliPyramidInitAlloc(&p2, kLevels, bench::fullHd(), 2.0f);
    std::vector<std::vector<uint8_t>> l1{a}, l2{b};
    for (int L = 0; L <= kLevels; ++L) {
        const ImageSize s = p1->levelSizes[L];
        if (L > 0) {
            l1.emplace_back(static_cast<std::size_t>(s.width) * s.height);
            l2.emplace_back(static_cast<std::size_t>(s.width) * s.height);
        }
        p1->levelImages[L] = l1[L].data();
        p2->levelImages[L] = l2[L].data();
        p1->levelSteps[L] = p2->levelSteps[L] = s.width;
    }
    int bytes = 0;
    zaliPyrDownGetBufSize_Gauss5x5(bench::kWidth, 1, 1, &bytes);
    std::vector<uint8_t> buf(bytes);
    std::vector<float> prev;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 25; ++x) prev.insert(prev.end(), {40.0f + x * 74.3f, 30.0f + y * 51.1f});
    const int n = static_cast<int>(prev.size() / 2);
    std::vector<float> next(prev.size()), err(n);
    std::vector<int8_t> status(n);
    OpticalFlowState* st = nullptr;
    zaliOpticalFlowPyrLKInitAlloc_8u_C1R(&st, bench::fullHd(), kWindow, 0);
    for (auto _ : state) {
        for (int L = 1; L <= kLevels; ++L) {
            zaliPyrDown_Gauss5x5_8u_C1R(l1[L - 1].data(), p1->levelSteps[L - 1], l1[L].data(), p1->levelSteps[L], p1->levelSizes[L - 1], buf.data());
            zaliPyrDown_Gauss5x5_8u_C1R(l2[L - 1].data(), p2->levelSteps[L - 1], l2[L].data(), p2->levelSteps[L], p2->levelSizes[L - 1], buf.data());
        }
        next = prev;
        zaliOpticalFlowPyrLK_8u_C1R(p1, p2, prev.data(), next.data(), status.data(), err.data(), n, kWindow, kLevels, 30, 0.01f, st);
    }
    zaliOpticalFlowPyrLKFree_8u_C1R(st);
    zaliPyramidFree(p1);
    zaliPyramidFree(p2);
}

}  // namespace

BENCHMARK(BM_Pyramid_Memcpy_8u);
BENCHMARK(BM_PyrDown_Gauss5x5_8u_C1R);
BENCHMARK(BM_PyrUp_Gauss5x5_8u_C1R);
BENCHMARK(BM_PyrDown_Gauss5x5_32f_C1R);
BENCHMARK(BM_PyramidLayerDown_8u_C1R_Rate2);
BENCHMARK(BM_CopySubpix_8u_C1R);
BENCHMARK(BM_CopySubpixIntersect_8u_C1R);
BENCHMARK(BM_PyramidLayerDown_8u_C1R_Rate1_5);
BENCHMARK(BM_PyramidLayerUp_8u_C1R_Rate1_5);
BENCHMARK(BM_PyramidLayerDown_32f_C1R_Rate1_5);
BENCHMARK(BM_PyramidLayerUp_32f_C1R_Rate1_5);
BENCHMARK(BM_OpticalFlowPyrLK_8u_C1R);
