// Exact Euclidean distance transform against a direct minimum over all zero
// pixels. A column without zeros counts as infinitely far when the image holds
// a zero anywhere, and as 1000 pixels from one when it holds none.
#include <limits>

#include "common/simd_targets.h"
#include "region/region_test.h"

namespace {

using zaltest::GuardedImage;

// Squared distance from every pixel to its nearest zero, by trying them all;
// 1000 pixels everywhere when there is none.
std::vector<double> nearestZeroSquared(const GuardedImage<uint8_t>& src) {
    const int w = src.width(), h = src.height();
    std::vector<std::pair<int, int>> zeros;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (src.at(x, y) == 0) zeros.emplace_back(x, y);
    std::vector<double> d(static_cast<size_t>(w) * h, zeros.empty() ? 1e6 : std::numeric_limits<double>::infinity());
    for (int i = 0; i < w * h; ++i)
        for (auto [zx, zy] : zeros) d[i] = std::min(d[i], double(i % w - zx) * (i % w - zx) + double(i / w - zy) * (i / w - zy));
    return d;
}

// Both outputs against the squared distances `ref`, with misaligned guarded
// buffers: 32f the float root, 16u the root times 2^-s rounded half to even,
// saturated.
void expectMatches(const GuardedImage<uint8_t>& src, const std::vector<double>& ref, int scaleFactor) {
    const ImageSize roi = src.roi();
    GuardedImage<float> d32(roi.width, roi.height);
    GuardedImage<uint16_t> d16(roi.width, roi.height);
    zaltest::GuardedBuffer b32(zaltest::queriedSize(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R, roi), 1);
    zaltest::GuardedBuffer b16(zaltest::queriedSize(zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs, roi), 1);
    ASSERT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), roi, b32.data()), StatusOk);
    ASSERT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), roi, scaleFactor, b16.data()), StatusOk);
    for (int i = 0; i < roi.width * roi.height; ++i) {
        const int x = i % roi.width, y = i / roi.width;
        ASSERT_EQ(d32.at(x, y), std::sqrt(static_cast<float>(ref[i]))) << x << "," << y;
        const double scaled = std::nearbyint(std::sqrt(ref[i]) * std::ldexp(1.0, -scaleFactor));
        ASSERT_EQ(d16.at(x, y), std::min(scaled, 32767.0)) << x << "," << y;
    }
    EXPECT_TRUE(d32.guardsIntact() && d16.guardsIntact() && b32.guardIntact() && b16.guardIntact());
}

TEST(TrueDistanceTransform, MatchesDirectMinimum) {
    {
        zaltest::ThreadCount scope(1);  // many small calls: no team start-up each time
        uint64_t seed = 3;
        for (const ImageSize s : {ImageSize{1, 1}, ImageSize{1, 13}, ImageSize{17, 1}, ImageSize{31, 9}, ImageSize{12, 40}, ImageSize{1200, 2}})
            for (int pct : {0, 1, 10, 60})
                for (int scale : {0, 1, 3, -2, -6}) {
                    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " zeros " << pct << "% sf " << scale);
                    GuardedImage<uint8_t> src(s.width, s.height);
                    zaltest::Lcg rng(seed++);
                    src.fill([&](int, int, int) { return rng.uniform(0, 99) < pct ? 0 : 200; });
                    expectMatches(src, nearestZeroSquared(src), scale);
                }
    }
    GuardedImage<uint8_t> wide(300, 37);  // wide enough for the parallel row pass anywhere
    zaltest::Lcg rng(11);
    wide.fill([&](int, int, int) { return rng.uniform(0, 999) < 3 ? 0 : 1; });
    const auto wideRef = nearestZeroSquared(wide);
    zaltest::forEachSimdTarget([&] {  // the row finish's square roots, odd tail
        for (int threads : {1, 2, 3, 40}) {  // 40: more workers than rows
            zaltest::ThreadCount scope(threads);
            expectMatches(wide, wideRef, 1);
        }
    });
}

// Strips longer than 1000 pixels whose zeros sit near one end: the far
// pixels lie more than 1000 pixels from every zero and off the zeros'
// columns, so zero-free columns must not cap the distance. Tall enough (and
// wide enough) for the row pass to run on several workers.
TEST(TrueDistanceTransform, ExactBeyondAThousandPixels) {
    struct Strip {
        ImageSize size;
        std::vector<std::pair<int, int>> zeros;
    };
    const Strip strips[] = {
        {{1300, 90}, {{2, 40}}},              // along a row
        {{1210, 3}, {{1209, 0}}},             // along a row, zero in the last column
        {{260, 1250}, {{130, 3}}},            // along a column
        {{257, 1100}, {{0, 1099}, {1, 1099}}},  // along a column, zeros in the last row
    };
    for (const Strip& strip : strips) {
        GuardedImage<uint8_t> src(strip.size.width, strip.size.height);
        src.fill([](int, int, int) { return 7; });
        for (auto [x, y] : strip.zeros) src.at(x, y) = 0;
        const auto ref = nearestZeroSquared(src);
        for (int threads : {1, 2, 3}) {
            zaltest::ThreadCount scope(threads);
            for (int scale : {0, -1, -5}) {
                SCOPED_TRACE(testing::Message() << strip.size.width << "x" << strip.size.height << " workers " << threads
                                                << " sf " << scale);
                expectMatches(src, ref, scale);
            }
        }
    }
}

// Query sizes are walked in size_queries_test.
TEST(TrueDistanceTransform, ChecksInOrder) {
    int n = -1;
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize{0, 9}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize{0, 9}, &n), StatusSizeError);
    GuardedImage<uint8_t> src(4, 3);
    GuardedImage<uint16_t> d16(4, 3);
    GuardedImage<float> d32(4, 3);
    uint8_t *s = src.data(), b[256];
    const int ss = src.step();
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(s, ss, d16.data(), d16.step(), ImageSize{0, 0}, 0, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(s, ss, d16.data(), d16.step(), ImageSize{4, 0}, 0, b), StatusSizeError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(s, ss, d16.data(), 9, src.roi(), 0, b), StatusStepAlignmentError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u32f_C1R(s, ss, d32.data(), -d32.step(), src.roi(), b), StatusStepError);
}

}  // namespace
