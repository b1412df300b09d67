// Accumulation and masked statistics at 1920x1080, single thread, next to a
// memcpy of the source's bytes (of the accumulator's bytes for accumulation).
#include <type_traits>

#include "../src/stats/exports.h"  // the member lists (bench/ has no include path of its own)
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

// Every 8u accumulation member of the export table, registered under its
// name (BM_zaliAdd_8u32f_C1IR, ...); bytes are the accumulator's.
template <class T, class F>
void registerAccumulation(const char* name, F call) {
    if constexpr (std::is_same_v<T, uint8_t>)
        benchmark::RegisterBenchmark(name, [call](benchmark::State& state) {
            StatsFrames s;
            for (auto _ : state) call(s);
            bench::setFrameBytes(state, 4);
        });
}
#define BENCH_ACC_ROW(name, T, ...) registerAccumulation<T>("BM_" #name, [](auto& s) { name(__VA_ARGS__); });
#define BENCH_ACC(name, op, T) BENCH_ACC_ROW(name, T, s.a.data(), s.step8, s.acc.data(), s.step32, bench::fullHd())
#define BENCH_ACC_M(name, op, T)                                                                             \
    BENCH_ACC_ROW(name, T, s.a.data(), s.step8, s.mask.data(), s.step8, s.acc.data(), s.step32, bench::fullHd())
#define BENCH_PRODUCT(name, T) \
    BENCH_ACC_ROW(name, T, s.a.data(), s.step8, s.b.data(), s.step8, s.acc.data(), s.step32, bench::fullHd())
#define BENCH_PRODUCT_M(name, T)                                                                               \
    BENCH_ACC_ROW(name, T, s.a.data(), s.step8, s.b.data(), s.step8, s.mask.data(), s.step8, s.acc.data(), s.step32, \
                  bench::fullHd())
#define BENCH_WEIGHTED(name, T) \
    BENCH_ACC_ROW(name, T, s.a.data(), s.step8, s.acc.data(), s.step32, bench::fullHd(), 0.0625f)
#define BENCH_WEIGHTED_M(name, T)                                                                             \
    BENCH_ACC_ROW(name, T, s.a.data(), s.step8, s.mask.data(), s.step8, s.acc.data(), s.step32, bench::fullHd(), \
                  0.0625f)
const bool kAccumulationRegistered = [] {
    ZAL_STATS_ACCUMULATE(BENCH_ACC)
    ZAL_STATS_ACCUMULATE_MASKED(BENCH_ACC_M)
    ZAL_STATS_ADD_PRODUCT(BENCH_PRODUCT)
    ZAL_STATS_ADD_PRODUCT_MASKED(BENCH_PRODUCT_M)
    ZAL_STATS_ADD_WEIGHTED(BENCH_WEIGHTED)
    ZAL_STATS_ADD_WEIGHTED_MASKED(BENCH_WEIGHTED_M)
    return true;
}();

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
void BM_MeanStdDev_8u_Masked(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        zaliMean_StdDev_8u_C1MR(s.a.data(), s.step8, s.mask.data(), s.step8, bench::fullHd(), r, r);
    });
}
void BM_MinMaxIndx_8u(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        float lo = 0, hi = 0;
        ImagePoint loAt, hiAt;
        zaliMinMaxIndx_8u_C1R(s.a.data(), s.step8, bench::fullHd(), &lo, &hi, &loAt, &hiAt);
        *r = lo + hi;
    });
}
void BM_MinMaxIndx_8u_Masked(benchmark::State& state) {
    statistic(state, 1, [](StatsFrames& s, double* r) {
        float lo = 0, hi = 0;
        ImagePoint loAt, hiAt;
        zaliMinMaxIndx_8u_C1MR(s.a.data(), s.step8, s.mask.data(), s.step8, bench::fullHd(), &lo, &hi, &loAt, &hiAt);
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
void BM_NormL2_32f_Masked(benchmark::State& state) {
    statistic(state, 4, [](StatsFrames& s, double* r) {
        zaliNorm_L2_32f_C1MR(s.f.data(), s.step32, s.mask.data(), s.step8, bench::fullHd(), r);
    });
}
void BM_NormL1_32f_Masked(benchmark::State& state) {
    statistic(state, 4, [](StatsFrames& s, double* r) {
        zaliNorm_L1_32f_C1MR(s.f.data(), s.step32, s.mask.data(), s.step8, bench::fullHd(), r);
    });
}

BENCHMARK(BM_Stats_Memcpy_8u);
BENCHMARK(BM_Stats_Memcpy_32f);
BENCHMARK(BM_Mean_8u_Masked);
BENCHMARK(BM_MeanStdDev_8u);
BENCHMARK(BM_MeanStdDev_32f);
BENCHMARK(BM_MeanStdDev_8u_Masked);
BENCHMARK(BM_MinMaxIndx_8u);
BENCHMARK(BM_MinMaxIndx_8u_Masked);
BENCHMARK(BM_NormL2_8u_Masked);
BENCHMARK(BM_NormDiffL1_8u_Masked);
BENCHMARK(BM_NormL1_32f_Masked);
BENCHMARK(BM_NormL2_32f_Masked);

}  // namespace
