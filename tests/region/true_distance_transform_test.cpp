// Exact Euclidean distance transform against a direct minimum over all zero
// pixels (a column without zeros counts as 1000 pixels from one).
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;

// Squared distances, straight from the definition.
std::vector<double> squaredReference(const GuardedImage<uint8_t>& src) {
    const int w = src.width(), h = src.height();
    std::vector<double> col(static_cast<size_t>(w) * h);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            double best = 1e6;
            for (int yy = 0; yy < h; ++yy)
                if (src.at(x, yy) == 0) best = std::min(best, double(y - yy) * (y - yy));
            col[y * w + x] = best;
        }
    std::vector<double> d(col.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double best = 1e300;
            for (int q = 0; q < w; ++q) best = std::min(best, col[y * w + q] + double(x - q) * (x - q));
            d[y * w + x] = best;
        }
    return d;
}

// sqrt(D) * 2^-s rounded half to even, saturated to 32767.
uint16_t scaledRoot(double d, int s) {
    const double r = std::sqrt(d) * std::ldexp(1.0, -s);
    const double rounded = std::nearbyint(r);  // default mode: ties to even
    return static_cast<uint16_t>(std::min(rounded, 32767.0));
}

// The buffer of the queried size, starting one byte past an aligned block
// and followed by guard bytes.
struct Buffer {
    std::vector<uint8_t> bytes;
    int size = 0;
    explicit Buffer(int n) : bytes(static_cast<size_t>(n) + 64, 0xA5), size(n) {}
    uint8_t* data() { return bytes.data() + 1; }
    bool guardIntact() const {
        for (size_t i = static_cast<size_t>(size) + 1; i < bytes.size(); ++i)
            if (bytes[i] != 0xA5) return false;
        return true;
    }
};

Buffer buffer32f(ImageSize roi) {
    int n = 0;
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(roi, &n), StatusOk);
    return Buffer(n);
}
Buffer buffer16u(ImageSize roi) {
    int n = 0;
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(roi, &n), StatusOk);
    return Buffer(n);
}

void expectMatches(const GuardedImage<uint8_t>& src, int scaleFactor) {
    const ImageSize roi = src.roi();
    const auto ref = squaredReference(src);
    GuardedImage<float> d32(roi.width, roi.height);
    GuardedImage<uint16_t> d16(roi.width, roi.height);
    Buffer b32 = buffer32f(roi), b16 = buffer16u(roi);
    ASSERT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), roi, b32.data()), StatusOk);
    ASSERT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), roi, scaleFactor,
                                                     b16.data()),
              StatusOk);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) {
            const double d = ref[y * roi.width + x];
            ASSERT_EQ(d32.at(x, y), std::sqrt(static_cast<float>(d))) << x << "," << y;
            ASSERT_EQ(d16.at(x, y), scaledRoot(d, scaleFactor)) << x << "," << y;
        }
    EXPECT_TRUE(d32.guardsIntact() && d16.guardsIntact());
    EXPECT_TRUE(b32.guardIntact() && b16.guardIntact());
}

TEST(TrueDistanceTransform, SingleZeroGivesEuclideanDistances) {
    GuardedImage<uint8_t> src(9, 8);
    src.fill([](int x, int y, int) { return x == 2 && y == 1 ? 0 : 1; });
    GuardedImage<float> dst(9, 8);
    Buffer buf = buffer32f(src.roi());
    ASSERT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), buf.data()),
              StatusOk);
    EXPECT_EQ(dst.at(5, 5), 5.0f);
    EXPECT_EQ(dst.at(2, 1), 0.0f);
    EXPECT_FLOAT_EQ(dst.at(8, 7), std::sqrt(72.0f));
    expectMatches(src, 0);
}

TEST(TrueDistanceTransform, RandomImagesAndScaleFactors) {
    uint64_t seed = 3;
    for (const ImageSize s : {ImageSize{1, 1}, ImageSize{1, 13}, ImageSize{17, 1}, ImageSize{2, 2}, ImageSize{31, 9},
                              ImageSize{12, 40}})
        for (int pct : {1, 10, 60})
            for (int scale : {0, 1, 3, -2}) {
                SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " zeros " << pct << "% sf " << scale);
                GuardedImage<uint8_t> src(s.width, s.height);
                zaltest::Lcg rng(seed++);
                src.fill([&](int, int, int) { return rng.uniform(0, 99) < pct ? 0 : 200; });
                expectMatches(src, scale);
            }
}

TEST(TrueDistanceTransform, NoZerosReadsAThousand) {
    GuardedImage<uint8_t> src(5, 4);
    src.fill([](int, int, int) { return 3; });
    GuardedImage<float> d32(5, 4);
    GuardedImage<uint16_t> d16(5, 4);
    Buffer b32 = buffer32f(src.roi()), b16 = buffer16u(src.roi());
    ASSERT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), src.roi(), b32.data()), StatusOk);
    ASSERT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), src.roi(), -2, b16.data()), StatusOk);
    for (float v : d32.pixels()) ASSERT_EQ(v, 1000.0f);
    for (uint16_t v : d16.pixels()) ASSERT_EQ(v, 4000);
    ASSERT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), src.roi(), -6, b16.data()), StatusOk);
    for (uint16_t v : d16.pixels()) ASSERT_EQ(v, 32767) << "saturates";
}

TEST(TrueDistanceTransform, SameResultForOneTwoAndThreeWorkers) {
    // Wide enough for the parallel row pass on any processor.
    const ImageSize roi{300, 37};
    GuardedImage<uint8_t> src(roi.width, roi.height);
    zaltest::Lcg rng(11);
    src.fill([&](int, int, int) { return rng.uniform(0, 999) < 3 ? 0 : 1; });
    std::vector<float> first32;
    std::vector<uint16_t> first16;
    for (int threads : {1, 2, 3}) {
        zaltest::ThreadCount scope(threads);
        GuardedImage<float> d32(roi.width, roi.height);
        GuardedImage<uint16_t> d16(roi.width, roi.height);
        Buffer b32 = buffer32f(roi), b16 = buffer16u(roi);
        ASSERT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), d32.step(), roi, b32.data()), StatusOk);
        ASSERT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), roi, 1, b16.data()), StatusOk);
        EXPECT_TRUE(b32.guardIntact() && b16.guardIntact());
        if (threads == 1) {
            first32 = d32.pixels();
            first16 = d16.pixels();
            expectMatches(src, 1);
        } else {
            EXPECT_EQ(d32.pixels(), first32) << threads;
            EXPECT_EQ(d16.pixels(), first16) << threads;
        }
    }
}

TEST(TrueDistanceTransform, QueriesAndChecks) {
    int n = -1;
    {
        zaltest::ThreadCount scope(1);
        const int maxThreads = std::max(1, omp_get_max_threads());
        ASSERT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize{5, 9}, &n), StatusOk);
        EXPECT_EQ(n, (12 * 24 + 56) * maxThreads);
        ASSERT_EQ(zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(ImageSize{5, 9}, &n), StatusOk);
        EXPECT_EQ(n, (16 * 6 + 6) * 4 * maxThreads + 8 * 9 * 4 + 32);
    }
    n = -1;
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize{0, 9}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize{0, 9}, &n), StatusSizeError);
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(ImageSize{1 << 20, 1 << 12}, &n), StatusSizeError);
    EXPECT_EQ(n, -1);

    GuardedImage<uint8_t> src(4, 3);
    GuardedImage<uint16_t> d16(4, 3);
    GuardedImage<float> d32(4, 3);
    Buffer buf = buffer16u(src.roi());
    const ImageSize roi = src.roi();
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), ImageSize{0, 0}, 0, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), d16.step(), ImageSize{4, 0}, 0, buf.data()), StatusSizeError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), 3, d16.data(), 9, roi, 0, buf.data()), StatusStepError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u16u_C1RSfs(src.data(), src.step(), d16.data(), 9, roi, 0, buf.data()), StatusStepAlignmentError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), 15, roi, buf.data()), StatusStepError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), -d32.step(), roi, buf.data()), StatusStepError);
    EXPECT_EQ(zaliTrueDistanceTransform_8u32f_C1R(src.data(), src.step(), d32.data(), 18, roi, buf.data()), StatusStepAlignmentError);
    for (uint16_t v : d16.pixels()) EXPECT_EQ(v, 0);
    for (float v : d32.pixels()) EXPECT_EQ(v, 0.0f);
    EXPECT_TRUE(d16.guardsIntact() && d32.guardsIntact());
}

}  // namespace
