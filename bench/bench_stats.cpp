// Accumulation and masked statistics at 1920x1080, single thread, next to a
// memcpy of the source's bytes (of the accumulator's bytes for accumulation).
#include "bench_common.h"

namespace {

const bench::SingleThread kStatsSingleThread;

struct StatsFrames {
    std::vector<uint8_t> a = bench::frame<uint8_t>(1, 4), b = bench::frame<uint8_t>(1, 5);
    std::vector<uint8_t> mask = bench::frame<uint8_t>(1, 6);  // about 1/256 of the bytes are zero
    std::vector<float> f = bench::frame<float>(1, 7);
    std::vector<float> acc = bench::frame<float>(1, 8);
    static constexpr int step8 = bench::kWidth;
    static constexpr int step32 = bench::kWidth * 4;
};

void BM_Stats_Memcpy_8u(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight);
}
void BM_Stats_Memcpy_32f(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 4);
}

void BM_AddWeighted_8u32f(benchmark::State& state) {
    StatsFrames s;
    for (auto _ : state)
        zaliAddWeighted_8u32f_C1IR(s.a.data(), s.step8, s.acc.data(), s.step32, bench::fullHd(), 0.0625f);
    bench::setFrameBytes(state, 4);
}
void BM_AddSquare_8u32f_Masked(benchmark::State& state) {
    StatsFrames s;
    for (auto _ : state)
        zaliAddSquare_8u32f_C1IMR(s.a.data(), s.step8, s.mask.data(), s.step8, s.acc.data(), s.step32, bench::fullHd());
    bench::setFrameBytes(state, 4);
}
// A statistic's result kept alive; `bytesPerPixel` of source per pixel.
template <class F>
void statistic(benchmark::State& state, int bytesPerPixel, F&& call) {
    StatsFrames s;
    for (auto _ : state) {
        double result = 0;
        call(s, &result);
        benchmark::DoNotOptimize(result);
    }
    bench::setFrameBytes(state, bytesPerPixel);
}

void BM_Mean_8u_Masked(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        zaliMean_8u_C1MR(s.a.data(), s.step8, s.mask.data(), s.step8, bench::fullHd(), r);
    });
}
void BM_MeanStdDev_8u(benchmark::State& state) {
    statistic(state, 1,
              [](StatsFrames& s, double* r) { zaliMean_StdDev_8u_C1R(s.a.data(), s.step8, bench::fullHd(), r, r); });
}
void BM_MeanStdDev_32f(benchmark::State& state) {
    statistic(state, 4,
              [](StatsFrames& s, double* r) { zaliMean_StdDev_32f_C1R(s.f.data(), s.step32, bench::fullHd(), r, r); });
}
void BM_MinMaxIndx_8u(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        float lo = 0, hi = 0;
        ImagePoint loAt, hiAt;
        zaliMinMaxIndx_8u_C1R(s.a.data(), s.step8, bench::fullHd(), &lo, &hi, &loAt, &hiAt);
        *r = lo + hi;
    });
}
void BM_NormL2_8u_Masked(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        zaliNorm_L2_8u_C1MR(s.a.data(), s.step8, s.mask.data(), s.step8, bench::fullHd(), r);
    });
}
void BM_NormDiffL1_8u_Masked(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        zaliNormDiff_L1_8u_C1MR(s.a.data(), s.step8, s.b.data(), s.step8, s.mask.data(), s.step8, bench::fullHd(), r);
    });
}
void BM_NormL1_32f_Masked(benchmark::State& state) {
    statistic(state, 4, [](StatsFrames& s, double* r) {
        zaliNorm_L1_32f_C1MR(s.f.data(), s.step32, s.mask.data(), s.step8, bench::fullHd(), r);
    });
}

BENCHMARK(BM_Stats_Memcpy_8u);
BENCHMARK(BM_Stats_Memcpy_32f);
BENCHMARK(BM_AddWeighted_8u32f);
BENCHMARK(BM_AddSquare_8u32f_Masked);
BENCHMARK(BM_Mean_8u_Masked);
BENCHMARK(BM_MeanStdDev_8u);
BENCHMARK(BM_MeanStdDev_32f);
BENCHMARK(BM_MinMaxIndx_8u);
BENCHMARK(BM_NormL2_8u_Masked);
BENCHMARK(BM_NormDiffL1_8u_Masked);
BENCHMARK(BM_NormL1_32f_Masked);

}  // namespace
