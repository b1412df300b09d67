// Edge and feature detection at 1920x1080, single thread, next to a memcpy
// of the destination's bytes.
#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

void BM_Feature_Memcpy_8u(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight);
}
void BM_Feature_Memcpy_32f(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 4);
}

// Derivatives of a smoothed random frame, so that suppression and hysteresis
// see ridges rather than pure noise.
void BM_Canny_16s8u(benchmark::State& state) {
    const std::vector<uint8_t> raw = bench::frame<uint8_t>();
    std::vector<uint8_t> smooth(raw.size());
    int size = 0;
    zaliFilterLowpassGetBufferSize_8u_C1R(bench::fullHd(), Aperture5x5, &size);
    bench::WorkBuffer low(size);
    zaliFilterLowpassBorder_8u_C1R(raw.data(), bench::kWidth, smooth.data(), bench::kWidth, bench::fullHd(), Aperture5x5,
                                   BorderReplicate, 0, low.p);
    std::vector<int16_t> dx(raw.size()), dy(raw.size());
    zaliFilterSobelHorizGetBufferSize_8u16s_C1R(bench::fullHd(), Aperture3x3, &size);
    bench::WorkBuffer sobel(size);
    zaliFilterSobelNegVertBorder_8u16s_C1R(smooth.data(), bench::kWidth, dx.data(), bench::kWidth * 2, bench::fullHd(),
                                           Aperture3x3, BorderReplicate, 0, sobel.p);
    zaliFilterSobelHorizBorder_8u16s_C1R(smooth.data(), bench::kWidth, dy.data(), bench::kWidth * 2, bench::fullHd(),
                                         Aperture3x3, BorderReplicate, 0, sobel.p);
    std::vector<uint8_t> edges(raw.size());
    zaliCannyGetSize(bench::fullHd(), &size);
    bench::WorkBuffer work(size);
    for (auto _ : state)
        zaliCanny_16s8u_C1R(dx.data(), bench::kWidth * 2, dy.data(), bench::kWidth * 2, edges.data(), bench::kWidth,
                            bench::fullHd(), 40.0f, 120.0f, work.p);
    bench::setFrameBytes(state, 1);
}

void BM_MinEigenVal_8u32f(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<float> dst(src.size());
    int size = 0;
    zaliMinEigenValGetBufferSize_8u32f_C1R(bench::fullHd(), 3, 3, &size);
    bench::WorkBuffer work(size);
    for (auto _ : state)
        zaliMinEigenVal_8u32f_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth * 4, bench::fullHd(),
                                  DerivKernelSobel, 3, 3, work.p);
    bench::setFrameBytes(state, 4);
}

// Directions of random vectors, the destination a third array.
void BM_FastArctan_32f(benchmark::State& state) {
    const int len = bench::kWidth * bench::kHeight;
    const std::vector<float> y = bench::frame<float>();
    std::vector<float> x(y.rbegin(), y.rend()), dst(y.size());
    for (float& v : x) v -= 128.0f;
    for (auto _ : state) zalibFastArctan_32f(y.data(), x.data(), dst.data(), len);
    bench::setFrameBytes(state, 4);
}

}  // namespace

BENCHMARK(BM_Feature_Memcpy_8u);
BENCHMARK(BM_Canny_16s8u);
BENCHMARK(BM_Feature_Memcpy_32f);
BENCHMARK(BM_MinEigenVal_8u32f);
BENCHMARK(BM_FastArctan_32f);
