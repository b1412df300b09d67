// Linear filters at 1920x1080, single thread, next to a memcpy of the
// destination's bytes.
#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

void BM_Filter_Memcpy_16s(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 2);
}
void BM_Filter_Memcpy_32f(benchmark::State& state) {
    bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 4);
}

// One fixed filter over a full-HD frame with its queried work buffer.
template <class S, class D, class Query, class Filter>
void fixedFilter(benchmark::State& state, Query query, Filter filter, ApertureSize mask, BorderKind border) {
    const std::vector<S> src = bench::frame<S>();
    std::vector<D> dst(src.size());
    int size = 0;
    query(bench::fullHd(), mask, &size);
    bench::WorkBuffer work(size);
    const int srcStep = bench::kWidth * static_cast<int>(sizeof(S)), dstStep = bench::kWidth * static_cast<int>(sizeof(D));
    for (auto _ : state) filter(src.data(), srcStep, dst.data(), dstStep, bench::fullHd(), mask, border, S(0), work.p);
    bench::setFrameBytes(state, static_cast<int>(sizeof(D)));
}

void BM_SobelHoriz3x3_8u16s(benchmark::State& state) {
    fixedFilter<uint8_t, int16_t>(state, zaliFilterSobelHorizGetBufferSize_8u16s_C1R,
                                  zaliFilterSobelHorizBorder_8u16s_C1R, Aperture3x3, BorderReplicate);
}
void BM_SobelVert3x3_32f(benchmark::State& state) {
    fixedFilter<float, float>(state, zaliFilterSobelVertGetBufferSize_32f_C1R, zaliFilterSobelVertBorder_32f_C1R,
                              Aperture3x3, BorderReflect);
}
void BM_SobelNegVert3x3_32f(benchmark::State& state) {
    fixedFilter<float, float>(state, zaliFilterSobelNegVertGetBufferSize_32f_C1R, zaliFilterSobelNegVertBorder_32f_C1R,
                              Aperture3x3, BorderReplicate);
}
void BM_Laplacian3x3_8u16s(benchmark::State& state) {
    fixedFilter<uint8_t, int16_t>(state, zaliFilterLaplacianGetBufferSize_8u16s_C1R,
                                  zaliFilterLaplacianBorder_8u16s_C1R, Aperture3x3, BorderReplicate);
}
void BM_Laplacian5x5_32f(benchmark::State& state) {
    fixedFilter<float, float>(state, zaliFilterLaplacianGetBufferSize_32f_C1R, zaliFilterLaplacianBorder_32f_C1R,
                              Aperture5x5, BorderReflect);
}
void BM_Lowpass3x3_8u(benchmark::State& state) {
    fixedFilter<uint8_t, uint8_t>(state, zaliFilterLowpassGetBufferSize_8u_C1R, zaliFilterLowpassBorder_8u_C1R,
                                  Aperture3x3, BorderReplicate);
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
    bench::WorkBuffer rowWork(rowSize), columnWork(columnSize);
    for (auto _ : state) {
        zaliFilterRowBorderPipeline_32f_C1R(src.data(), roi.width * 4, rowsOut.data(), roi, taps.data(), K, K / 2,
                                            BorderReplicate, 0.0f, rowWork.p);
        zaliFilterColumnPipeline_32f_C1R(rowsIn.data(), dst.data(), roi.width * 4, roi, taps.data(), K, columnWork.p);
    }
    bench::setFrameBytes(state, 4);
}

BENCHMARK(BM_Filter_Memcpy_16s);
BENCHMARK(BM_Filter_Memcpy_32f);
BENCHMARK(BM_SobelHoriz3x3_8u16s);
BENCHMARK(BM_SobelVert3x3_32f);
BENCHMARK(BM_SobelNegVert3x3_32f);
BENCHMARK(BM_Laplacian3x3_8u16s);
BENCHMARK(BM_Laplacian5x5_32f);
BENCHMARK(BM_Lowpass3x3_8u);
BENCHMARK(BM_RowColumnPipeline_32f)->Arg(3)->Arg(5)->Arg(7);

}  // namespace
