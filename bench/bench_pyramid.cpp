// Pyramid levels and sub-pixel copies at 1920x1080 sources, single thread,
// next to a memcpy of the source's bytes.
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

}  // namespace

BENCHMARK(BM_Pyramid_Memcpy_8u);
BENCHMARK(BM_PyrDown_Gauss5x5_8u_C1R);
BENCHMARK(BM_PyrUp_Gauss5x5_8u_C1R);
BENCHMARK(BM_PyrDown_Gauss5x5_32f_C1R);
BENCHMARK(BM_PyramidLayerDown_8u_C1R_Rate2);
BENCHMARK(BM_CopySubpix_8u_C1R);
