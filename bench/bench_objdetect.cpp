// Integral images and Haar stage application at 1920x1080, single thread,
// next to a memcpy of the integral table's bytes.
#include <vector>

#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

constexpr int kTableWidth = bench::kWidth + 1, kTableHeight = bench::kHeight + 1;
constexpr int kWindow = 24;

void tableBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTableWidth * kTableHeight * 4);
}

void BM_Memcpy_IntegralTable(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{kTableWidth} * kTableHeight * 4);
}

void BM_Integral_8u32s(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<int32_t> table(std::size_t{kTableWidth} * kTableHeight);
    for (auto _ : state) {
        zaliIntegral_8u32s_C1R(src.data(), bench::kWidth, table.data(), kTableWidth * 4, bench::fullHd(), 0);
        benchmark::DoNotOptimize(table.data());
    }
    tableBytes(state);
}

void BM_Integral_8u32f(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<float> table(std::size_t{kTableWidth} * kTableHeight);
    for (auto _ : state) {
        zaliIntegral_8u32f_C1R(src.data(), bench::kWidth, table.data(), kTableWidth * 4, bench::fullHd(), 0.0f);
        benchmark::DoNotOptimize(table.data());
    }
    tableBytes(state);
}

void BM_SqrIntegral_8u32s64f(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<int32_t> table(std::size_t{kTableWidth} * kTableHeight);
    std::vector<double> sqr(std::size_t{kTableWidth} * kTableHeight);
    for (auto _ : state) {
        zaliSqrIntegral_8u32s64f_C1R(src.data(), bench::kWidth, table.data(), kTableWidth * 4, sqr.data(),
                                     kTableWidth * 8, bench::fullHd(), 0, 0.0);
        benchmark::DoNotOptimize(sqr.data());
    }
    tableBytes(state);
}

void BM_TiltedIntegral_8u32s(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<int32_t> table(std::size_t{kTableWidth + 1} * (kTableHeight + 1));
    for (auto _ : state) {
        zaliTiltedIntegral_8u32s_C1R(src.data(), bench::kWidth, table.data(), (kTableWidth + 1) * 4, bench::fullHd(),
                                     0);
        benchmark::DoNotOptimize(table.data());
    }
    tableBytes(state);
}

void BM_SqrIntegral_8u32f64f(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<float> table(std::size_t{kTableWidth} * kTableHeight);
    std::vector<double> sqr(std::size_t{kTableWidth} * kTableHeight);
    for (auto _ : state) {
        zaliSqrIntegral_8u32f64f_C1R(src.data(), bench::kWidth, table.data(), kTableWidth * 4, sqr.data(),
                                     kTableWidth * 8, bench::fullHd(), 0.0f, 0.0);
        benchmark::DoNotOptimize(sqr.data());
    }
    tableBytes(state);
}

// A 24x24 stage of 12 classifiers (six 2-rectangle, four 3-rectangle, two
// 4-rectangle) evaluated on every window position of the frame; the stage
// threshold accepts every window so each iteration does the same work. The
// argument is the worker count (elapsed time; the operation splits the rows
// into bands).
void BM_ApplyHaarClassifier_32f(benchmark::State& state) {
    zalSetNumThreads(static_cast<int>(state.range(0)));
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<float> table(std::size_t{kTableWidth} * kTableHeight);
    std::vector<double> sqr(std::size_t{kTableWidth} * kTableHeight);
    zaliSqrIntegral_8u32f64f_C1R(src.data(), bench::kWidth, table.data(), kTableWidth * 4, sqr.data(), kTableWidth * 8,
                                 bench::fullHd(), 0.0f, 0.0);
    const ImageSize windows{bench::kWidth - kWindow, bench::kHeight - kWindow};
    std::vector<float> norm(std::size_t{bench::kWidth} * bench::kHeight);
    zaliRectStdDev_32f_C1R(table.data(), kTableWidth * 4, sqr.data(), kTableWidth * 8, norm.data(), bench::kWidth * 4,
                           windows, ImageRect{1, 1, kWindow - 2, kWindow - 2});

    std::vector<int> num;
    std::vector<ImageRect> rects;
    std::vector<float> weights, thr, val1, val2;
    for (int k = 0; k < 12; ++k) {
        const int n = k < 6 ? 2 : (k < 10 ? 3 : 4);
        num.push_back(n);
        for (int r = 0; r < n; ++r) {
            rects.push_back(ImageRect{(k + 3 * r) % 12, (2 * k + r) % 12, 4 + r, 6 + (k % 5)});
            weights.push_back(r == 0 ? -1.0f : 2.0f);
        }
        thr.push_back(0.01f * static_cast<float>(k - 6));
        val1.push_back(-0.5f);
        val2.push_back(0.75f);
    }
    HaarClassifierState_32f* stage = nullptr;
    zaliHaarClassifierInitAlloc_32f(&stage, rects.data(), weights.data(), thr.data(), val1.data(), val2.data(),
                                    num.data(), 12);
    std::vector<uint8_t> mask(std::size_t{bench::kWidth} * bench::kHeight, 1);
    int accepted = 0;
    for (auto _ : state) {
        zaliApplyHaarClassifier_32f_C1R(table.data(), kTableWidth * 4, norm.data(), bench::kWidth * 4, mask.data(),
                                        bench::kWidth, windows, &accepted, -1e30f, stage);
        benchmark::DoNotOptimize(accepted);
    }
    zaliHaarClassifierFree_32f(stage);
    zalSetNumThreads(1);
    tableBytes(state);
}

}  // namespace

BENCHMARK(BM_Memcpy_IntegralTable);
BENCHMARK(BM_Integral_8u32s);
BENCHMARK(BM_Integral_8u32f);
BENCHMARK(BM_SqrIntegral_8u32s64f);
BENCHMARK(BM_SqrIntegral_8u32f64f);
BENCHMARK(BM_TiltedIntegral_8u32s);
BENCHMARK(BM_ApplyHaarClassifier_32f)->Arg(1)->Arg(2)->UseRealTime();
