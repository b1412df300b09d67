// Corner measures: a direct double-precision reference (explicit 2-D kernels
// with replicated border, box means, closed-form eigenvalues), the
// eigenvector rules, the check order, the buffer query and the single-worker
// in-place averaging.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;

struct Tensor {
    double a, b, c;  // scaled; b with the true sign of dI/dx * dI/dy
};

// Tensor of every pixel of `src` for (kernType, aperture, window).
template <class T>
std::vector<Tensor> referenceTensor(const GuardedImage<T>& src, int kernType, int aperture, int window) {
    const int w = src.width(), h = src.height();
    // Smoothing and true-derivative taps (derivative taps left to right are
    // -1 ... +1, so gx below is +dI/dx).
    std::vector<double> smooth, deriv;
    if (kernType == DerivKernelScharr) smooth = {3, 10, 3}, deriv = {-1, 0, 1};
    else if (aperture == 3) smooth = {1, 2, 1}, deriv = {-1, 0, 1};
    else smooth = {1, 4, 6, 4, 1}, deriv = {-1, -2, 0, 2, 1};
    const int r = static_cast<int>(smooth.size()) / 2;
    auto I = [&](int x, int y) { return double(src.at(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1))); };
    std::vector<double> gx(static_cast<std::size_t>(w) * h), gy(gx.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double sx = 0, sy = 0;
            for (int i = -r; i <= r; ++i)
                for (int j = -r; j <= r; ++j) {
                    sx += smooth[i + r] * deriv[j + r] * I(x + j, y + i);
                    sy += deriv[i + r] * smooth[j + r] * I(x + j, y + i);
                }
            gx[static_cast<std::size_t>(y) * w + x] = sx;
            gy[static_cast<std::size_t>(y) * w + x] = sy;
        }
    double s = 1.0 / (255.0 * std::pow(2.0, 2.0 * (aperture - 1)));
    if (kernType == DerivKernelScharr) s *= 0.6125;
    const int q = window / 2;
    std::vector<Tensor> out(gx.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Tensor t{0, 0, 0};
            for (int i = -q; i <= q; ++i)
                for (int j = -q; j <= q; ++j) {
                    const std::size_t k = static_cast<std::size_t>(std::clamp(y + i, 0, h - 1)) * w + std::clamp(x + j, 0, w - 1);
                    t.a += gx[k] * gx[k], t.b += gx[k] * gy[k], t.c += gy[k] * gy[k];
                }
            const double n = s / (window * window);
            out[static_cast<std::size_t>(y) * w + x] = Tensor{t.a * n, t.b * n, t.c * n};
        }
    return out;
}

template <class T>
StatusCode corners(bool vecs, const GuardedImage<T>& src, GuardedImage<float>& dst, int kernType, int aperture,
                   int window) {
    int size = 0;
    StatusCode st;
    if constexpr (std::is_same_v<T, uint8_t>)
        st = vecs ? zaliEigenValsVecsGetBufferSize_8u32f_C1R(src.roi(), aperture, window, &size)
                  : zaliMinEigenValGetBufferSize_8u32f_C1R(src.roi(), aperture, window, &size);
    else
        st = vecs ? zaliEigenValsVecsGetBufferSize_32f_C1R(src.roi(), aperture, window, &size)
                  : zaliMinEigenValGetBufferSize_32f_C1R(src.roi(), aperture, window, &size);
    EXPECT_EQ(st, StatusOk);
    // Exactly the reported size, so that an overrun is caught under ASan.
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    const auto k = DerivKernelType(kernType);
    if constexpr (std::is_same_v<T, uint8_t>)
        return vecs ? zaliEigenValsVecs_8u32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), k, aperture, window, buffer.data())
                    : zaliMinEigenVal_8u32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), k, aperture, window, buffer.data());
    else
        return vecs ? zaliEigenValsVecs_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), k, aperture, window, buffer.data())
                    : zaliMinEigenVal_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), src.roi(), k, aperture, window, buffer.data());
}

template <class T>
GuardedImage<T> noise(int w, int h, uint64_t seed) {
    GuardedImage<T> img(w, h);
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) { return rng.uniform(0, 255); });
    return img;
}

const int kKernels[][2] = {{DerivKernelSobel, 3}, {DerivKernelSobel, 5}, {DerivKernelScharr, 3}};

template <class T>
class Corners : public ::testing::Test {};
using SourceTypes = ::testing::Types<uint8_t, float>;
TYPED_TEST_SUITE(Corners, SourceTypes);

TYPED_TEST(Corners, MinEigenValMatchesReference) {
    const ImageSize sizes[] = {{1, 1}, {1, 7}, {7, 1}, {13, 11}};
    for (const ImageSize sz : sizes) {
        const GuardedImage<TypeParam> src = noise<TypeParam>(sz.width, sz.height, 3 + sz.width);
        for (const auto& kern : kKernels)
            for (const int window : {3, 5}) {
                GuardedImage<float> dst(sz.width, sz.height);
                ASSERT_EQ(corners(false, src, dst, kern[0], kern[1], window), StatusOk);
                const std::vector<Tensor> ref = referenceTensor(src, kern[0], kern[1], window);
                for (int y = 0; y < sz.height; ++y)
                    for (int x = 0; x < sz.width; ++x) {
                        const Tensor& t = ref[static_cast<std::size_t>(y) * sz.width + x];
                        const double lmin = 0.5 * ((t.a + t.c) - std::sqrt((t.a - t.c) * (t.a - t.c) + 4 * t.b * t.b));
                        ASSERT_NEAR(dst.at(x, y), lmin, 1e-5 * (t.a + t.c) + 1e-9)
                            << x << "," << y << " kernel " << kern[0] << "/" << kern[1] << " window " << window;
                    }
                EXPECT_TRUE(dst.guardsIntact());
            }
    }
}

TYPED_TEST(Corners, EigenValsVecsSolveTheTensor) {
    const GuardedImage<TypeParam> src = noise<TypeParam>(12, 9, 5);
    for (const auto& kern : kKernels) {
        GuardedImage<float> dst(6 * 12, 9);
        ASSERT_EQ(corners(true, src, dst, kern[0], kern[1], 3), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        const std::vector<Tensor> ref = referenceTensor(src, kern[0], kern[1], 3);
        int general = 0;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) {
                const Tensor& t = ref[static_cast<std::size_t>(y) * 12 + x];
                const float* e = &dst.at(6 * x, y);
                const double tol = 1e-4 * (t.a + t.c), bound = 0.01 * std::max(t.a, t.c);
                const double d = std::sqrt((t.a - t.c) * (t.a - t.c) + 4 * t.b * t.b);
                // Only pixels clearly inside the general case.
                if (std::min({t.a, t.c, t.a * t.c - t.b * t.b, std::fabs(t.b)}) < 1.01 * bound) continue;
                ++general;
                EXPECT_NEAR(e[0], 0.5 * (t.a + t.c + d), tol);
                EXPECT_NEAR(e[1], 0.5 * (t.a + t.c - d), tol);
                for (int v = 0; v < 2; ++v) {
                    const double ex = e[2 + 2 * v], ey = e[3 + 2 * v], l = e[v];
                    EXPECT_NEAR(ex * ex + ey * ey, 1.0, 1e-5);
                    // (A - l I) v = 0 with the true sign of b.
                    EXPECT_NEAR((t.a - l) * ex + t.b * ey, 0.0, 1e-3 * (t.a + t.c)) << x << "," << y << " v" << v;
                    EXPECT_NEAR(t.b * ex + (t.c - l) * ey, 0.0, 1e-3 * (t.a + t.c)) << x << "," << y << " v" << v;
                }
            }
        EXPECT_GT(general, 20);
    }
}

TYPED_TEST(Corners, ConstantImageAndStraightEdgeGiveZeros) {
    GuardedImage<TypeParam> flat(9, 8), edge(9, 8);
    flat.fill([](int, int, int) { return 77; });
    edge.fill([](int x, int, int) { return x < 4 ? 20 : 200; });
    GuardedImage<float> minEig(9, 8), vecs(6 * 9, 8);
    ASSERT_EQ(corners(false, flat, minEig, DerivKernelSobel, 5, 5), StatusOk);
    EXPECT_EQ(minEig.pixels(), std::vector<float>(72, 0.0f));
    ASSERT_EQ(corners(true, flat, vecs, DerivKernelScharr, 3, 3), StatusOk);
    EXPECT_EQ(vecs.pixels(), std::vector<float>(6 * 72, 0.0f));
    ASSERT_EQ(corners(true, edge, vecs, DerivKernelSobel, 3, 3), StatusOk);
    EXPECT_EQ(vecs.pixels(), std::vector<float>(6 * 72, 0.0f));
}

// A tensor with b = 0 exactly: f = p(x) + k * y where the x derivative has
// zero sums over every 3-window, so box(Gx * Gy) vanishes inside the image.
// The eigenvector of l1 is the axis of the larger diagonal entry.
TYPED_TEST(Corners, DiagonalTensorGivesTheAxes) {
    const int p[6] = {0, 0, 1, -2, 2, -1};
    for (const int k : {3, 10}) {  // c < a, then c > a
        GuardedImage<TypeParam> src(12, 12);
        src.fill([&](int x, int y, int) { return 100 + 10 * p[x % 6] + k * y; });
        GuardedImage<float> dst(6 * 12, 12);
        ASSERT_EQ(corners(true, src, dst, DerivKernelSobel, 3, 3), StatusOk);
        for (int y = 3; y < 9; ++y)
            for (int x = 3; x < 9; ++x) {
                const float* e = &dst.at(6 * x, y);
                const std::vector<float> axes(e + 2, e + 6);
                EXPECT_GT(e[0], e[1]);
                if (k == 3) EXPECT_EQ(axes, (std::vector<float>{1, 0, 0, 1})) << x << "," << y;
                else EXPECT_EQ(axes, (std::vector<float>{0, 1, 1, 0})) << x << "," << y;
            }
    }
}

TEST(Corners, SingleWorkerAveragesInPlaceWithTheSameResult) {
    // 256 x 264 is wide and tall enough for the filters to split rows over
    // two workers; one worker (in-place averaging, smaller buffer) must give
    // the same bits.
    const GuardedImage<uint8_t> src = noise<uint8_t>(256, 264, 9);
    std::vector<float> first;
    int sizeOne = 0, sizeTwo = 0;
    for (const int n : {1, 2, 3}) {
        const int savedOmp = omp_get_max_threads();
        if (n == 1) omp_set_num_threads(1);
        zaltest::ThreadCount scope(n);
        ASSERT_EQ(zaliMinEigenValGetBufferSize_8u32f_C1R(src.roi(), 5, 3, n == 1 ? &sizeOne : &sizeTwo), StatusOk);
        GuardedImage<float> dst(256, 264);
        ASSERT_EQ(corners(false, src, dst, DerivKernelSobel, 5, 3), StatusOk);
        omp_set_num_threads(savedOmp);
        if (n == 1) first = dst.pixels();
        else EXPECT_TRUE(dst.pixels() == first) << n << " workers";
    }
    EXPECT_LT(sizeOne, sizeTwo);
}

TEST(Corners, CheckOrder) {
    uint8_t src[64] = {}, buf[4];
    float fsrc[64] = {}, dst[6 * 16];
    std::fill(dst, dst + 6 * 16, 5.0f);
    const ImageSize roi{4, 4};
    const auto sobel = DerivKernelSobel, scharr = DerivKernelScharr, bad = DerivKernelType(2);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 4, dst, 16, {0, 0}, sobel, 3, 3, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 3, dst, 16, {4, 0}, sobel, 3, 3, buf), StatusSizeError);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 3, dst, 17, roi, sobel, 3, 3, buf), StatusStepError);
    EXPECT_EQ(zaliMinEigenVal_32f_C1R(fsrc + 12, -16, dst, 16, roi, sobel, 3, 3, buf), StatusStepError);  // bottom-up
    EXPECT_EQ(zaliEigenValsVecs_8u32f_C1R(src, 4, dst, 20 * 4, roi, sobel, 3, 3, buf), StatusStepError);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 5, dst, 18, roi, bad, 3, 3, buf), StatusStepAlignmentError);
    EXPECT_EQ(zaliMinEigenVal_32f_C1R(fsrc, 17, dst, 16, roi, bad, 3, 3, buf), StatusStepAlignmentError);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 5, dst, 16, roi, bad, 4, 4, buf), StatusBadArgument);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 4, dst, 16, roi, scharr, 5, 4, buf), StatusSizeError);
    EXPECT_EQ(zaliEigenValsVecs_32f_C1R(fsrc, 16, dst, 96, roi, sobel, 5, 4, buf), StatusSizeError);
    for (float v : dst) EXPECT_EQ(v, 5.0f);
    int size = -1;
    EXPECT_EQ(zaliMinEigenValGetBufferSize_8u32f_C1R({4, 4}, 3, 3, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMinEigenValGetBufferSize_8u32f_C1R({0, 4}, 3, 3, &size), StatusSizeError);
    EXPECT_EQ(zaliEigenValsVecsGetBufferSize_32f_C1R({4, 4}, 4, 3, &size), StatusSizeError);
    EXPECT_EQ(zaliEigenValsVecsGetBufferSize_32f_C1R({4, 4}, 3, 4, &size), StatusSizeError);
    EXPECT_EQ(zaliEigenValsVecsGetBufferSize_8u32f_C1R({20000, 20000}, 3, 3, &size), StatusSizeError);
    EXPECT_EQ(size, -1);
}

}  // namespace
