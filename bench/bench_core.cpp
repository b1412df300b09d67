// Pixel-wise operations at 1920x1080, single thread, next to a memcpy of the
// destination's bytes.
#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

template <class T>
struct Frames {
    std::vector<T> a = bench::frame<T>(1, 1), b = bench::frame<T>(1, 2), d = bench::frame<T>(1, 3);
    int step = bench::kWidth * static_cast<int>(sizeof(T));
};

void BM_Memcpy_8u(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight); }
void BM_Memcpy_32f(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 4); }

void BM_AbsDiff_8u(benchmark::State& state) {
    Frames<uint8_t> f;
    for (auto _ : state) zaliAbsDiff_8u_C1R(f.a.data(), f.step, f.b.data(), f.step, f.d.data(), f.step, bench::fullHd());
    bench::setFrameBytes(state, 1);
}
void BM_AbsDiff_32f(benchmark::State& state) {
    Frames<float> f;
    for (auto _ : state) zaliAbsDiff_32f_C1R(f.a.data(), f.step, f.b.data(), f.step, f.d.data(), f.step, bench::fullHd());
    bench::setFrameBytes(state, 4);
}
void BM_AbsDiffC_8u(benchmark::State& state) {
    Frames<uint8_t> f;
    for (auto _ : state) zaliAbsDiffC_8u_C1R(f.a.data(), f.step, f.d.data(), f.step, bench::fullHd(), 77);
    bench::setFrameBytes(state, 1);
}
void BM_AbsDiffC_32f(benchmark::State& state) {
    Frames<float> f;
    for (auto _ : state) zaliAbsDiffC_32f_C1R(f.a.data(), f.step, f.d.data(), f.step, bench::fullHd(), 77.5f);
    bench::setFrameBytes(state, 4);
}
void BM_Copy_8u(benchmark::State& state) {
    Frames<uint8_t> f;
    for (auto _ : state) zaliCopy_8u_C1R(f.a.data(), f.step, f.d.data(), f.step, bench::fullHd());
    bench::setFrameBytes(state, 1);
}
void BM_Copy_32f(benchmark::State& state) {
    Frames<float> f;
    for (auto _ : state) zaliCopy_32f_C1R(f.a.data(), f.step, f.d.data(), f.step, bench::fullHd());
    bench::setFrameBytes(state, 4);
}
void BM_Set_8u(benchmark::State& state) {
    Frames<uint8_t> f;
    for (auto _ : state) zaliSet_8u_C1R(9, f.d.data(), f.step, bench::fullHd());
    bench::setFrameBytes(state, 1);
}
void BM_Threshold_8u(benchmark::State& state) {
    Frames<uint8_t> f;
    for (auto _ : state) zaliThreshold_GT_8u_C1R(f.a.data(), f.step, f.d.data(), f.step, bench::fullHd(), 100);
    bench::setFrameBytes(state, 1);
}
void BM_Threshold_32f(benchmark::State& state) {
    Frames<float> f;
    for (auto _ : state) zaliThreshold_LT_32f_C1R(f.a.data(), f.step, f.d.data(), f.step, bench::fullHd(), 100.0f);
    bench::setFrameBytes(state, 4);
}
void BM_Sub_8u(benchmark::State& state) {
    Frames<uint8_t> f;
    for (auto _ : state) zaliSub_8u_C1RSfs(f.a.data(), f.step, f.b.data(), f.step, f.d.data(), f.step, bench::fullHd(), 1);
    bench::setFrameBytes(state, 1);
}
void BM_Sub_32f(benchmark::State& state) {
    Frames<float> f;
    for (auto _ : state) zaliSub_32f_C1R(f.a.data(), f.step, f.b.data(), f.step, f.d.data(), f.step, bench::fullHd());
    bench::setFrameBytes(state, 4);
}

BENCHMARK(BM_Memcpy_8u);
BENCHMARK(BM_AbsDiff_8u);
BENCHMARK(BM_AbsDiffC_8u);
BENCHMARK(BM_Copy_8u);
BENCHMARK(BM_Set_8u);
BENCHMARK(BM_Threshold_8u);
BENCHMARK(BM_Sub_8u);
BENCHMARK(BM_Memcpy_32f);
BENCHMARK(BM_AbsDiff_32f);
BENCHMARK(BM_AbsDiffC_32f);
BENCHMARK(BM_Copy_32f);
BENCHMARK(BM_Threshold_32f);
BENCHMARK(BM_Sub_32f);

}  // namespace
