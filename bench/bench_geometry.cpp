// Lens undistortion and motion history at 1920x1080, single thread, next to a
// memcpy of the destination's bytes.
#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

constexpr int64_t kPixels = int64_t{bench::kWidth} * bench::kHeight;

void BM_Geometry_Memcpy_8u(benchmark::State& state) { bench::memcpyBaseline(state, kPixels); }
void BM_Geometry_Memcpy_32f(benchmark::State& state) { bench::memcpyBaseline(state, kPixels * 4); }

// Barrel correction of a full-HD frame: most positions fall inside.
template <int C, class F>
void undistort8u(benchmark::State& state, F undistort, bool buffered) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>(C);
    std::vector<uint8_t> dst(src.size());
    int size = 0;
    zaliUndistortGetSize(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    for (auto _ : state) {
        undistort(src.data(), bench::kWidth * C, dst.data(), bench::kWidth * C, bench::fullHd(), 1400.0f, 1400.0f,
                  959.5f, 539.5f, -0.12f, 0.03f, buffered ? buffer.data() : nullptr);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(state.iterations() * kPixels * C);
}
void BM_UndistortRadial_8u_C1R(benchmark::State& state) { undistort8u<1>(state, zaliUndistortRadial_8u_C1R, false); }
void BM_UndistortRadial_8u_C1R_Buffer(benchmark::State& state) {
    undistort8u<1>(state, zaliUndistortRadial_8u_C1R, true);
}
void BM_UndistortRadial_8u_C3R_Buffer(benchmark::State& state) {
    undistort8u<3>(state, zaliUndistortRadial_8u_C3R, true);
}

// Both maps of the radial model, with the column buffer.
void BM_CreateMapCameraUndistort_32f(benchmark::State& state) {
    std::vector<float> xMap(static_cast<std::size_t>(kPixels)), yMap(static_cast<std::size_t>(kPixels));
    int size = 0;
    zaliUndistortGetSize(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    for (auto _ : state) {
        zaliCreateMapCameraUndistort_32f_C1R(xMap.data(), bench::kWidth * 4, yMap.data(), bench::kWidth * 4,
                                             bench::fullHd(), 1400.0f, 1400.0f, 959.5f, 539.5f, -0.12f, 0.03f, 0.0f,
                                             0.0f, buffer.data());
        benchmark::DoNotOptimize(yMap.data());
    }
    state.SetBytesProcessed(state.iterations() * kPixels * 8);
}

// Ageing with a sparse silhouette; the history is updated in place.
template <class S, class F>
void motionHistory(benchmark::State& state, F update) {
    std::vector<S> silhouette = bench::frame<S>();
    for (auto& s : silhouette) s = s < 16 ? S(1) : S(0);
    std::vector<float> history = bench::frame<float>();
    float timestamp = 300.0f;
    for (auto _ : state) {
        update(silhouette.data(), bench::kWidth * static_cast<int>(sizeof(S)), history.data(), bench::kWidth * 4,
               bench::fullHd(), timestamp, 100.0f);
        timestamp += 1.0f;
        benchmark::DoNotOptimize(history.data());
    }
    state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
void BM_UpdateMotionHistory_8u32f(benchmark::State& state) { motionHistory<uint8_t>(state, zaliUpdateMotionHistory_8u32f_C1IR); }
void BM_UpdateMotionHistory_32f(benchmark::State& state) { motionHistory<float>(state, zaliUpdateMotionHistory_32f_C1IR); }

}  // namespace

BENCHMARK(BM_Geometry_Memcpy_8u);
BENCHMARK(BM_UndistortRadial_8u_C1R);
BENCHMARK(BM_UndistortRadial_8u_C1R_Buffer);
BENCHMARK(BM_UndistortRadial_8u_C3R_Buffer);
BENCHMARK(BM_CreateMapCameraUndistort_32f);
BENCHMARK(BM_Geometry_Memcpy_32f);
BENCHMARK(BM_UpdateMotionHistory_8u32f);
BENCHMARK(BM_UpdateMotionHistory_32f);
