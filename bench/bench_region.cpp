// Distance transforms and flood fill at 1920x1080, single thread, next to a
// memcpy of the destination's bytes.
#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThreadRegion;

constexpr int64_t kPixels = int64_t{bench::kWidth} * bench::kHeight;

// About one pixel in 256 is zero: the sources the distances are measured to.
const std::vector<uint8_t>& distanceSource() {
    static const std::vector<uint8_t> src = bench::frame<uint8_t>(1, 5);
    return src;
}

void BM_RegionMemcpy_16u(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t(kPixels) * 2); }
void BM_RegionMemcpy_32f(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t(kPixels) * 4); }

void BM_DistanceTransform_3x3_8u16u(benchmark::State& state) {
    std::vector<uint16_t> dst(kPixels);
    const int32_t weights[2] = {2, 3};
    for (auto _ : state)
        zaliDistanceTransform_3x3_8u16u_C1R(distanceSource().data(), bench::kWidth, dst.data(), bench::kWidth * 2,
                                            bench::fullHd(), weights);
    state.SetBytesProcessed(state.iterations() * kPixels * 2);
}

void BM_DistanceTransform_5x5_8u32f(benchmark::State& state) {
    std::vector<float> dst(kPixels);
    const float weights[3] = {1.0f, 1.4f, 2.1969f};
    for (auto _ : state)
        zaliDistanceTransform_5x5_8u32f_C1R(distanceSource().data(), bench::kWidth, dst.data(), bench::kWidth * 4,
                                            bench::fullHd(), weights);
    state.SetBytesProcessed(state.iterations() * kPixels * 4);
}

void BM_TrueDistanceTransform_8u32f(benchmark::State& state) {
    std::vector<float> dst(kPixels);
    int size = 0;
    zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    for (auto _ : state)
        zaliTrueDistanceTransform_8u32f_C1R(distanceSource().data(), bench::kWidth, dst.data(), bench::kWidth * 4,
                                            bench::fullHd(), buffer.data());
    state.SetBytesProcessed(state.iterations() * kPixels * 4);
}

// Fills the whole frame (one plateau) and restores it between iterations.
void BM_FloodFill_4Con_8u(benchmark::State& state) {
    std::vector<uint8_t> img(kPixels, 7);
    int size = 0;
    zaliFloodFillGetSize(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    ConnectedComponent region{};
    uint8_t value = 1;
    for (auto _ : state) {
        zaliFloodFill_4Con_8u_C1IR(img.data(), bench::kWidth, bench::fullHd(), ImagePoint{960, 540}, value, &region,
                                   buffer.data());
        value = static_cast<uint8_t>(value == 1 ? 2 : 1);
    }
    state.SetBytesProcessed(state.iterations() * kPixels);
}

void BM_FloodFill_Grad8Con_8u(benchmark::State& state) {
    const std::vector<uint8_t> ramp = [] {
        std::vector<uint8_t> v(kPixels);
        for (int64_t i = 0; i < kPixels; ++i) v[i] = static_cast<uint8_t>((i % bench::kWidth) / 8);
        return v;
    }();
    std::vector<uint8_t> img(kPixels);
    int size = 0;
    zaliFloodFillGetSize_Grad(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    ConnectedComponent region{};
    for (auto _ : state) {
        state.PauseTiming();
        img = ramp;
        state.ResumeTiming();
        zaliFloodFill_Grad8Con_8u_C1IR(img.data(), bench::kWidth, bench::fullHd(), ImagePoint{0, 0}, 255, 1, 1, &region,
                                       buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * kPixels);
}

BENCHMARK(BM_RegionMemcpy_16u);
BENCHMARK(BM_DistanceTransform_3x3_8u16u);
BENCHMARK(BM_RegionMemcpy_32f);
BENCHMARK(BM_DistanceTransform_5x5_8u32f);
BENCHMARK(BM_TrueDistanceTransform_8u32f);
BENCHMARK(BM_FloodFill_4Con_8u);
BENCHMARK(BM_FloodFill_Grad8Con_8u);

}  // namespace
