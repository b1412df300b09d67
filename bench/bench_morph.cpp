// Rectangular min/max filters and morphology at 1920x1080, single thread,
// next to a memcpy of the destination's bytes.
#include <algorithm>

#include "bench_common.h"

namespace {

const bench::SingleThread kSingleThread;

template <class T>
void finish(benchmark::State& state, int channels = 1) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::kWidth * bench::kHeight * channels *
                            static_cast<int64_t>(sizeof(T)));
}

void BM_MorphMemcpy_8u(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight); }
void BM_MorphMemcpy_32f(benchmark::State& state) { bench::memcpyBaseline(state, std::size_t{bench::kWidth} * bench::kHeight * 4); }

// Square mask of side state.range(0).
void BM_FilterMax_8u(benchmark::State& state) {
    const int k = static_cast<int>(state.range(0));
    const auto src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    int size = 0;
    zaliFilterMaxGetBufferSize_8u_C1R(bench::kWidth, ImageSize{k, k}, &size);
    std::vector<uint8_t> buffer(size);
    for (auto _ : state)
        zaliFilterMaxBorderReplicate_8u_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth, bench::fullHd(),
                                            ImageSize{k, k}, ImagePoint{k / 2, k / 2}, buffer.data());
    finish<uint8_t>(state);
}

void BM_FilterMin_32f(benchmark::State& state) {
    const int k = static_cast<int>(state.range(0));
    const auto src = bench::frame<float>();
    std::vector<float> dst(src.size());
    int size = 0;
    zaliFilterMinGetBufferSize_32f_C1R(bench::kWidth, ImageSize{k, k}, &size);
    std::vector<uint8_t> buffer(size);
    for (auto _ : state)
        zaliFilterMinBorderReplicate_32f_C1R(src.data(), bench::kWidth * 4, dst.data(), bench::kWidth * 4,
                                             bench::fullHd(), ImageSize{k, k}, ImagePoint{k / 2, k / 2}, buffer.data());
    finish<float>(state);
}

// Dilation by a k x k mask (k = range(1)) of kind range(0): 0 a square (the
// Rectangle path), 1 a cross (Ellipse), 2 about half the elements set at
// random with the centre kept (General), 3 a disk (Ellipse), 4 the disk
// without its centre (General).
void BM_DilateMask_8u(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0)), k = static_cast<int>(state.range(1)), r = k / 2;
    std::vector<uint8_t> mask(static_cast<std::size_t>(k) * k, kind == 0 ? 1 : 0);
    unsigned lcg = 7;
    for (int y = 0; y < k; ++y)
        for (int x = 0; x < k; ++x) {
            lcg = lcg * 1664525u + 1013904223u;
            if (kind == 1) mask[y * k + x] = x == r || y == r;
            if (kind == 2) mask[y * k + x] = (lcg >> 31) != 0 || (x == r && y == r);
            if (kind >= 3) mask[y * k + x] = (x - r) * (x - r) + (y - r) * (y - r) <= r * r;
        }
    if (kind == 4) mask[r * k + r] = 0;
    MorphologyState* morph = nullptr;
    zaliMorphologyInitAlloc_8u_C1R(bench::kWidth, mask.data(), ImageSize{k, k}, ImagePoint{r, r}, &morph);
    const auto src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    for (auto _ : state)
        zaliDilateBorderReplicate_8u_C1R(src.data(), bench::kWidth, dst.data(), bench::kWidth, bench::fullHd(),
                                         BorderReplicate, morph);
    zaliMorphologyFree(morph);
    finish<uint8_t>(state);
}

// Advanced morphology with a k x k square (k = range(1)): range(0) picks
// open, close, top-hat or gradient.
void BM_MorphAdvanced_8u(benchmark::State& state) {
    using Op = StatusCode (*)(const uint8_t*, int, uint8_t*, int, ImageSize, int, MorphAdvState*);
    const Op ops[] = {zaliMorphOpenBorder_8u_C1R, zaliMorphCloseBorder_8u_C1R, zaliMorphTophatBorder_8u_C1R,
                      zaliMorphGradientBorder_8u_C1R};
    const int k = static_cast<int>(state.range(1));
    const std::vector<uint8_t> square(static_cast<std::size_t>(k) * k, 1);
    MorphAdvState* adv = nullptr;
    zaliMorphAdvInitAlloc_8u_C1R(&adv, bench::fullHd(), square.data(), ImageSize{k, k}, ImagePoint{k / 2, k / 2});
    const auto src = bench::frame<uint8_t>();
    std::vector<uint8_t> dst(src.size());
    for (auto _ : state)
        ops[state.range(0)](src.data(), bench::kWidth, dst.data(), bench::kWidth, bench::fullHd(), BorderReplicate,
                            adv);
    zaliMorphAdvFree(adv);
    finish<uint8_t>(state);
}

void BM_Reconstruct_8u(benchmark::State& state) {
    const auto mask = bench::frame<uint8_t>();
    std::vector<uint8_t> marker(mask.size());
    int size = 0;
    zaliMorphReconstructGetBufferSize_8u_C1(bench::fullHd(), &size);
    std::vector<uint8_t> buffer(size);
    for (auto _ : state) {
        std::fill(marker.begin(), marker.end(), 0);
        marker[marker.size() / 2] = 255;
        zaliMorphReconstructDilate_8u_C1IR(mask.data(), bench::kWidth, marker.data(), bench::kWidth, bench::fullHd(),
                                           buffer.data(), 0);
    }
    finish<uint8_t>(state);
}

}  // namespace

BENCHMARK(BM_MorphMemcpy_8u);
BENCHMARK(BM_MorphMemcpy_32f);
BENCHMARK(BM_FilterMax_8u)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(8)->Arg(15)->Arg(31);
BENCHMARK(BM_FilterMin_32f)->Arg(3)->Arg(15);
BENCHMARK(BM_DilateMask_8u)
    ->Args({0, 3})
    ->Args({0, 15})
    ->Args({1, 5})
    ->Args({2, 7})
    ->Args({3, 5})
    ->Args({3, 11})
    ->Args({4, 5});
BENCHMARK(BM_MorphAdvanced_8u)->Args({0, 3})->Args({0, 5})->Args({1, 5})->Args({2, 5})->Args({3, 3});
BENCHMARK(BM_Reconstruct_8u);
