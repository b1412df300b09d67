// Linear filters at 1920x1080, single thread, next to a memcpy of the
// destination's bytes.
#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

struct Work {
    explicit Work(int bytes) : p(zalsMalloc_8u(bytes)) {}
    ~Work() { zalsFree(p); }
    uint8_t* p;
};

void finish(benchmark::State& state, int dstBytesPerPixel) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::kWidth * bench::kHeight * dstBytesPerPixel);
}

void BM_Filter_Memcpy_16s(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 2);
}
void BM_Filter_Memcpy_32f(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 4);
}

void BM_SobelHoriz3x3_8u16s(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<int16_t> dst(src.size());
    int size = 0;
    zaliFilterSobelHorizGetBufferSize_8u16s_C1R(bench::fullHd(), Aperture3x3, &size);
    Work work(size);
    for (auto _ : state)
        zaliFilterSobelHorizBorder_8u16s_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth * 2, bench::fullHd(),
                                             Aperture3x3, BorderReplicate, 0, work.p);
    finish(state, 2);
}

void BM_SobelVert3x3_32f(benchmark::State& state) {
    const std::vector<float> src = bench::frame<float>();
    std::vector<float> dst(src.size());
    int size = 0;
    zaliFilterSobelVertGetBufferSize_32f_C1R(bench::fullHd(), Aperture3x3, &size);
    Work work(size);
    for (auto _ : state)
        zaliFilterSobelVertBorder_32f_C1R(src.data(), bench::kWidth * 4, dst.data(), bench::kWidth * 4, bench::fullHd(),
                                          Aperture3x3, BorderReflect, 0.0f, work.p);
    finish(state, 4);
}

void BM_Laplacian5x5_32f(benchmark::State& state) {
    const std::vector<float> src = bench::frame<float>();
    std::vector<float> dst(src.size());
    int size = 0;
    zaliFilterLaplacianGetBufferSize_32f_C1R(bench::fullHd(), Aperture5x5, &size);
    Work work(size);
    for (auto _ : state)
        zaliFilterLaplacianBorder_32f_C1R(src.data(), bench::kWidth * 4, dst.data(), bench::kWidth * 4, bench::fullHd(),
                                          Aperture5x5, BorderReflect, 0.0f, work.p);
    finish(state, 4);
}

void BM_Lowpass3x3_8u(benchmark::State& state) {
    const std::vector<uint8_t> src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    int size = 0;
    zaliFilterLowpassGetBufferSize_8u_C1R(bench::fullHd(), Aperture3x3, &size);
    Work work(size);
    for (auto _ : state)
        zaliFilterLowpassBorder_8u_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth, bench::fullHd(), Aperture3x3,
                                       BorderReplicate, 0, work.p);
    finish(state, 1);
}

// Row then column pass of a separable 32f filter (kernel size from the
// argument: 3 and 5 take the dedicated routines, 7 the general one), with a
// full intermediate image.
void BM_RowColumnPipeline_32f(benchmark::State& state) {
    const int K = static_cast<int>(state.range(0));
    const ImageSize roi = bench::fullHd();
    const std::vector<float> src = bench::frame<float>();
    std::vector<float> mid(static_cast<std::size_t>(roi.width) * (roi.height + K - 1)), dst(src.size());
    std::vector<float*> rowsOut;
    std::vector<const float*> rowsIn;
    for (int y = 0; y < roi.height + K - 1; ++y) {
        float* r = mid.data() + static_cast<std::size_t>(y) * roi.width;
        if (y >= K / 2 && y < roi.height + K / 2) rowsOut.push_back(r);
        rowsIn.push_back(r);
    }
    std::vector<float> taps(static_cast<std::size_t>(K), 1.0f / static_cast<float>(K));
    int rowSize = 0, columnSize = 0;
    zaliFilterRowBorderPipelineGetBufferSize_32f_C1R(roi, K, &rowSize);
    zaliFilterColumnPipelineGetBufferSize_32f_C1R(roi, K, &columnSize);
    Work rowWork(rowSize), columnWork(columnSize);
    for (auto _ : state) {
        zaliFilterRowBorderPipeline_32f_C1R(src.data(), roi.width * 4, rowsOut.data(), roi, taps.data(), K, K / 2,
                                            BorderReplicate, 0.0f, rowWork.p);
        zaliFilterColumnPipeline_32f_C1R(rowsIn.data(), dst.data(), roi.width * 4, roi, taps.data(), K, columnWork.p);
    }
    finish(state, 4);
}

BENCHMARK(BM_Filter_Memcpy_16s);
BENCHMARK(BM_Filter_Memcpy_32f);
BENCHMARK(BM_SobelHoriz3x3_8u16s);
BENCHMARK(BM_SobelVert3x3_32f);
BENCHMARK(BM_Laplacian5x5_32f);
BENCHMARK(BM_Lowpass3x3_8u);
BENCHMARK(BM_RowColumnPipeline_32f)->Arg(3)->Arg(5)->Arg(7);

}  // namespace
