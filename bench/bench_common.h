// Shared pieces of the benchmarks: full-HD frames and the memcpy baseline.
// Run single-threaded: zalcv_bench sets one worker before the first case.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "zalcore.h"
#include "zalcv.h"

namespace bench {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

inline ImageSize fullHd() { return ImageSize{kWidth, kHeight}; }

// A frame of T with deterministic content.
template <class T>
std::vector<T> frame(int channels = 1, unsigned seed = 1) {
    std::vector<T> v(static_cast<std::size_t>(kWidth) * kHeight * channels);
    uint32_t s = seed * 2654435761u;
    for (auto& e : v) {
        s = s * 1664525u + 1013904223u;
        e = static_cast<T>((s >> 24) & 0xff);
    }
    return v;
}

// memcpy of `bytes` bytes: the yardstick every operation is compared with.
inline void memcpyBaseline(benchmark::State& state, std::size_t bytes) {
    std::vector<uint8_t> src(bytes, 1), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// Reports one full-HD frame of `bytesPerPixel` destination bytes per iteration.
inline void setFrameBytes(benchmark::State& state, int bytesPerPixel) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * bytesPerPixel);
}

// A work buffer from the library's aligned allocator.
struct WorkBuffer {
    explicit WorkBuffer(int bytes) : p(zalsMalloc_8u(bytes)) {}
    ~WorkBuffer() { zalsFree(p); }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    uint8_t* p;
};

// One worker for every benchmark, so figures compare single-thread speed.
struct SingleThread {
    SingleThread() { zalSetNumThreads(1); }
};

}  // namespace bench
