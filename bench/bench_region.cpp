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

// ---- Watershed, fast marching and inpainting ----

namespace {

// Labels 1..9 on a 3x3 grid of a frame.
std::vector<uint8_t> gridSeeds() {
    std::vector<uint8_t> seeds(kPixels, 0);
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i)
            seeds[std::size_t(j * bench::kHeight / 4) * bench::kWidth + i * bench::kWidth / 4] = uint8_t(3 * j + i - 3);
    return seeds;
}

// A smooth frame (no noise): the watershed levels and the inpainted content.
const std::vector<uint8_t>& smoothFrame() {
    static const std::vector<uint8_t> f = [] {
        std::vector<uint8_t> v(kPixels);
        for (int64_t i = 0; i < kPixels; ++i) {
            const int x = int(i % bench::kWidth), y = int(i / bench::kWidth);
            v[i] = uint8_t((x * 7 / 16 + y * 3 / 8 + ((x / 64 + y / 64) % 2) * 60) & 0xff);
        }
        return v;
    }();
    return f;
}

// Thin slanted scratches, about 3% of the frame.
const std::vector<uint8_t>& scratchMask() {
    static const std::vector<uint8_t> m = [] {
        std::vector<uint8_t> v(kPixels);
        for (int64_t i = 0; i < kPixels; ++i) {
            const int x = int(i % bench::kWidth), y = int(i / bench::kWidth);
            v[i] = (x + 2 * y) % 160 < 3 ? 255 : 0;
        }
        return v;
    }();
    return m;
}

void BM_RegionMemcpy_8u(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t(kPixels)); }

void BM_SegmentWatershed_8u(benchmark::State& state) {
    const std::vector<uint8_t> seeds = gridSeeds();
    std::vector<uint8_t> labels(kPixels);
    int size = 0;
    zaliSegmentWatershedGetBufferSize_8u_C1R(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    const int norm = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        labels = seeds;
        state.ResumeTiming();
        zaliSegmentWatershed_8u_C1IR(smoothFrame().data(), bench::kWidth, labels.data(), bench::kWidth,
                                     bench::fullHd(), norm, 0x40, buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * kPixels);
}

void BM_BoundSegments_8u(benchmark::State& state) {
    std::vector<uint8_t> labels(kPixels);
    for (int64_t i = 0; i < kPixels; ++i) labels[i] = uint8_t((i % bench::kWidth) / 200 + (i / bench::kWidth) / 200);
    for (auto _ : state) zaliBoundSegments_8u_C1IR(labels.data(), bench::kWidth, bench::fullHd(), 255, 0);
    state.SetBytesProcessed(state.iterations() * kPixels);
}

void BM_FastMarching_8u32f(benchmark::State& state) {
    std::vector<uint8_t> mask(kPixels);
    for (int64_t i = 0; i < kPixels; ++i) {
        const int x = int(i % bench::kWidth) - bench::kWidth / 2, y = int(i / bench::kWidth) - bench::kHeight / 2;
        mask[i] = x * x / 4 + y * y < 400 * 400 ? 255 : 0;
    }
    std::vector<float> dst(kPixels);
    std::vector<uint8_t> flags(bench::kHeight);
    const float radius = static_cast<float>(state.range(0));
    for (auto _ : state)
        zaliFastMarching_8u32f_C1R(mask.data(), bench::kWidth, dst.data(), bench::kWidth * 4, bench::fullHd(), radius,
                                   flags.data());
    state.SetBytesProcessed(state.iterations() * kPixels * 4);
}

void BM_Inpaint_8u_C1(benchmark::State& state) {
    const std::vector<uint8_t>& mask = scratchMask();
    std::vector<float> times(kPixels);
    std::vector<uint8_t> flags(bench::kHeight), dst(kPixels);
    zaliFastMarching_8u32f_C1R(mask.data(), bench::kWidth, times.data(), bench::kWidth * 4, bench::fullHd(), 0.0f,
                               flags.data());
    InpaintState* inpaint = nullptr;
    zaliInpaintInitAlloc_8u_C1R(&inpaint, times.data(), bench::kWidth * 4, mask.data(), bench::kWidth,
                                bench::fullHd(), 3.0f, static_cast<int>(state.range(0)));
    for (auto _ : state)
        zaliInpaint_8u_C1R(smoothFrame().data(), bench::kWidth, dst.data(), bench::kWidth, bench::fullHd(), inpaint);
    zaliInpaintFree_8u_C1R(inpaint);
    state.SetBytesProcessed(state.iterations() * kPixels);
}

BENCHMARK(BM_RegionMemcpy_8u);
BENCHMARK(BM_SegmentWatershed_8u)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoundSegments_8u);
BENCHMARK(BM_FastMarching_8u32f)->Arg(0)->Arg(20);
BENCHMARK(BM_Inpaint_8u_C1)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
