// Forty workers on a small machine, more workers than rows included: the
// banded row and column pipelines and the banded fixed filters give the
// single-worker bits. The sizes reach the banded paths for 40 workers
// (pipelines: area >= 40 * 2^15; fixed filters: height >= 40 * 128).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "filter/filter_reference.h"

namespace {

using zaltest::Lcg;
using filtertest::Buffer;
using filtertest::bufferFor;

// One worker and forty give equal results.
template <class Run>
void expectSameForFortyWorkers(const char* name, ImageSize roi, Run run) {
    zaltest::expectSameForWorkers({1, 40}, run, (::testing::Message() << name << " " << roi.width << "x" << roi.height).GetString());
}

template <class T>
std::vector<T> randomPlane(std::size_t n, int lo, int hi, uint64_t seed) {
    Lcg rng(seed);
    std::vector<T> v(n);
    for (T& x : v) x = static_cast<T>(rng.uniform(lo, hi));
    return v;
}

TEST(ManyWorkers, PipelinesMatchOneWorker) {
    const int16_t taps[5] = {1, -4, 6, -4, 1};
    // 20 rows: fewer rows than workers.
    for (const ImageSize roi : {ImageSize{65600, 20}, ImageSize{1200, 1100}}) {
        const std::size_t n = static_cast<std::size_t>(roi.width) * roi.height;
        const std::vector<uint8_t> src = randomPlane<uint8_t>(3 * n, 0, 255, 7);
        const uint8_t border[3] = {1, 2, 3};
        expectSameForFortyWorkers("row 8u16s C3", roi, [&] {
            std::vector<int16_t> out(3 * n);
            std::vector<int16_t*> rows(static_cast<std::size_t>(roi.height));
            for (int y = 0; y < roi.height; ++y) rows[y] = out.data() + static_cast<std::ptrdiff_t>(y) * 3 * roi.width;
            const Buffer buf = bufferFor(zaliFilterRowBorderPipelineGetBufferSize_8u16s_C3R, roi, 5);
            EXPECT_EQ(zaliFilterRowBorderPipeline_8u16s_C3R(src.data(), 3 * roi.width, rows.data(), roi, taps, 5, 1,
                                                           BorderConstant, border, 3, buf.p), StatusOk);
            return out;
        });
        const ImageSize inner{roi.width, roi.height - 4};
        const std::vector<int16_t> mid = randomPlane<int16_t>(n, -3000, 3000, 9);
        expectSameForFortyWorkers("column 16s8u C1", inner, [&] {
            std::vector<uint8_t> out(static_cast<std::size_t>(inner.width) * inner.height);
            std::vector<const int16_t*> rows(static_cast<std::size_t>(roi.height));
            for (int y = 0; y < roi.height; ++y) rows[y] = mid.data() + static_cast<std::ptrdiff_t>(y) * roi.width;
            const Buffer buf = bufferFor(zaliFilterColumnPipelineGetBufferSize_16s8u_C1R, inner, 5);
            EXPECT_EQ(zaliFilterColumnPipeline_16s8u_C1R(rows.data(), out.data(), inner.width, inner, taps, 5, 3, buf.p), StatusOk);
            return out;
        });
    }
}

TEST(ManyWorkers, FixedFiltersMatchOneWorker) {
    const ImageSize roi{256, 5200};
    const std::size_t n = static_cast<std::size_t>(roi.width) * roi.height;
    const std::vector<uint8_t> src = randomPlane<uint8_t>(n, 0, 255, 11);
    const std::vector<float> srcF = randomPlane<float>(n, -100, 100, 13);
    expectSameForFortyWorkers("SobelHoriz 8u16s", roi, [&] {
        std::vector<int16_t> out(n);
        const Buffer buf = bufferFor(zaliFilterSobelHorizGetBufferSize_8u16s_C1R, roi, Aperture3x3);
        EXPECT_EQ(zaliFilterSobelHorizBorder_8u16s_C1R(src.data(), roi.width, out.data(), 2 * roi.width, roi,
                                                       Aperture3x3, BorderReflect, 0, buf.p), StatusOk);
        return out;
    });
    expectSameForFortyWorkers("Laplacian 8u8s", roi, [&] {
        std::vector<int8_t> out(n);
        const Buffer buf = bufferFor(zaliFilterLaplacianGetBufferSize_8u8s_C1R, roi, Aperture5x5);
        EXPECT_EQ(zaliFilterLaplacianBorder_8u8s_C1R(src.data(), roi.width, out.data(), roi.width, roi, Aperture5x5,
                                                     BorderConstant, 9, 7, buf.p), StatusOk);
        return out;
    });
    expectSameForFortyWorkers("Lowpass 32f", roi, [&] {
        std::vector<float> out(n);
        const Buffer buf = bufferFor(zaliFilterLowpassGetBufferSize_32f_C1R, roi, Aperture5x5);
        EXPECT_EQ(zaliFilterLowpassBorder_32f_C1R(srcF.data(), 4 * roi.width, out.data(), 4 * roi.width, roi,
                                                  Aperture5x5, BorderReplicate, 0.0f, buf.p), StatusOk);
        return out;
    });
}

}  // namespace
