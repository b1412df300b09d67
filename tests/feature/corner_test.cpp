// Corner measures: a direct double-precision reference (explicit 2-D kernels
// with replicated border, box means, closed-form eigenvalues), the
// eigenvector rules, the check order, the buffer query and the worker
// bands.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>

#include "common/size_queries.h"
#include "common/test_image.h"
#include "feature/exports.h"

namespace {

using zaltest::GuardedImage;

struct Tensor { double a, b, c; };  // scaled; b with the true sign of dI/dx * dI/dy

// Tensor of every pixel of `src` (row-major) for (kernType, aperture, window).
template <class T>
std::vector<Tensor> referenceTensor(const GuardedImage<T>& src, int kernType, int aperture, int window) {
    const int w = src.width(), h = src.height();
    // Smoothing and true-derivative taps (derivative taps left to right are
    // -1 ... +1, so gx below is +dI/dx).
    const std::vector<double> smooth = kernType == DerivKernelScharr ? std::vector<double>{3, 10, 3}
                                       : aperture == 3               ? std::vector<double>{1, 2, 1}
                                                                     : std::vector<double>{1, 4, 6, 4, 1};
    const std::vector<double> deriv = aperture == 3 ? std::vector<double>{-1, 0, 1} : std::vector<double>{-1, -2, 0, 2, 1};
    const int r = static_cast<int>(smooth.size()) / 2, q = window / 2;
    std::vector<double> gx(static_cast<std::size_t>(w) * h), gy(gx.size());
    for (int p = 0; p < w * h; ++p)
        for (int i = -r; i <= r; ++i)
            for (int j = -r; j <= r; ++j) {
                const double v = src.at(std::clamp(p % w + j, 0, w - 1), std::clamp(p / w + i, 0, h - 1));
                gx[p] += smooth[i + r] * deriv[j + r] * v, gy[p] += deriv[i + r] * smooth[j + r] * v;
            }
    const double n = (kernType == DerivKernelScharr ? 0.6125 : 1.0) /
                     (255.0 * std::pow(2.0, 2.0 * (aperture - 1)) * window * window);
    std::vector<Tensor> out(gx.size(), Tensor{0, 0, 0});
    for (int p = 0; p < w * h; ++p)
        for (int i = -q; i <= q; ++i)
            for (int j = -q; j <= q; ++j) {
                const std::size_t k = static_cast<std::size_t>(std::clamp(p / w + i, 0, h - 1)) * w + std::clamp(p % w + j, 0, w - 1);
                out[p].a += gx[k] * gx[k] * n, out[p].b += gx[k] * gy[k] * n, out[p].c += gy[k] * gy[k] * n;
            }
    return out;
}

template <class T>
StatusCode corners(bool vecs, const GuardedImage<T>& src, GuardedImage<float>& dst, int kernType, int aperture,
                   int window) {
    constexpr bool u8 = std::is_same_v<T, uint8_t>;
    const auto getSize = u8 ? (vecs ? zaliEigenValsVecsGetBufferSize_8u32f_C1R : zaliMinEigenValGetBufferSize_8u32f_C1R)
                            : (vecs ? zaliEigenValsVecsGetBufferSize_32f_C1R : zaliMinEigenValGetBufferSize_32f_C1R);
    const auto op = [vecs] {
        if constexpr (u8) return vecs ? zaliEigenValsVecs_8u32f_C1R : zaliMinEigenVal_8u32f_C1R;
        else return vecs ? zaliEigenValsVecs_32f_C1R : zaliMinEigenVal_32f_C1R;
    }();
    int size = 0;
    EXPECT_EQ(getSize(src.roi(), aperture, window, &size), StatusOk);
    // Exactly the reported size, so that an overrun is caught under ASan.
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    return op(src.data(), src.step(), dst.data(), dst.step(), src.roi(), DerivKernelType(kernType), aperture, window,
              buffer.data());
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

// The minimum eigenvalue against the closed form; eigenvalues and unit
// eigenvectors with (A - l I) v = 0 (b with its true sign) wherever the
// tensor is clearly inside the general case.
TYPED_TEST(Corners, MatchReferenceTensor) {
    int general = 0;
    // Heights 2 and 4: fewer rows than the kernels, so some rows fill
    // several places of a window.
    for (const ImageSize sz : {ImageSize{1, 1}, ImageSize{1, 7}, ImageSize{7, 1}, ImageSize{9, 2}, ImageSize{8, 4},
                               ImageSize{13, 11}}) {
        const GuardedImage<TypeParam> src = noise<TypeParam>(sz.width, sz.height, 3 + sz.width);
        for (const auto& kern : kKernels)
            for (const int window : {3, 5}) {
                GuardedImage<float> minEig(sz.width, sz.height), vecs(6 * sz.width, sz.height);
                ASSERT_EQ(corners(false, src, minEig, kern[0], kern[1], window), StatusOk);
                ASSERT_EQ(corners(true, src, vecs, kern[0], kern[1], window), StatusOk);
                EXPECT_TRUE(minEig.guardsIntact() && vecs.guardsIntact());
                const std::vector<Tensor> ref = referenceTensor(src, kern[0], kern[1], window);
                for (int p = 0; p < sz.width * sz.height; ++p) {
                    const Tensor& t = ref[p];
                    const double d = std::sqrt((t.a - t.c) * (t.a - t.c) + 4 * t.b * t.b), tol = 1e-3 * (t.a + t.c);
                    ASSERT_NEAR(minEig.at(p % sz.width, p / sz.width), 0.5 * (t.a + t.c - d), tol / 100 + 1e-9)
                        << p << " kernel " << kern[0] << "/" << kern[1] << " window " << window;
                    if (std::min({t.a, t.c, t.a * t.c - t.b * t.b, std::fabs(t.b)}) <= 0.0101 * std::max(t.a, t.c)) continue;
                    ++general;
                    const float* e = &vecs.at(6 * (p % sz.width), p / sz.width);
                    EXPECT_NEAR(e[0], 0.5 * (t.a + t.c + d), tol / 10);
                    EXPECT_NEAR(e[1], 0.5 * (t.a + t.c - d), tol / 10);
                    for (int v = 0; v < 2; ++v) {
                        const double ex = e[2 + 2 * v], ey = e[3 + 2 * v], l = e[v];
                        EXPECT_NEAR(ex * ex + ey * ey, 1.0, 1e-5);
                        EXPECT_NEAR((t.a - l) * ex + t.b * ey, 0.0, tol) << p << " v" << v;
                        EXPECT_NEAR(t.b * ex + (t.c - l) * ey, 0.0, tol) << p << " v" << v;
                    }
                }
            }
    }
    EXPECT_GT(general, 100);
}

// A flat image and a straight edge (b = 0, c = 0) fall outside the general
// case: every output is zero. For f = p(x) + k * y with p's derivative
// summing to zero over every 3-window, b = 0 exactly inside the image and the
// eigenvector of l1 is the axis of the larger diagonal entry.
TYPED_TEST(Corners, DegenerateAndDiagonalTensors) {
    GuardedImage<TypeParam> flat(9, 8), edge(9, 8);
    flat.fill([](int, int, int) { return 77; });
    edge.fill([](int x, int, int) { return x < 4 ? 20 : 200; });
    GuardedImage<float> vecs(6 * 9, 8);
    for (const auto* img : {&flat, &edge}) {
        ASSERT_EQ(corners(true, *img, vecs, DerivKernelSobel, 3, 3), StatusOk);
        EXPECT_EQ(vecs.pixels(), std::vector<float>(6 * 72, 0.0f));
    }
    const int p[6] = {0, 0, 1, -2, 2, -1};
    for (const int k : {3, 10}) {  // c < a, then c > a
        GuardedImage<TypeParam> src(12, 12);
        src.fill([&](int x, int y, int) { return 100 + 10 * p[x % 6] + k * y; });
        GuardedImage<float> dst(6 * 12, 12);
        ASSERT_EQ(corners(true, src, dst, DerivKernelSobel, 3, 3), StatusOk);
        const std::vector<float> axes = k == 3 ? std::vector<float>{1, 0, 0, 1} : std::vector<float>{0, 1, 1, 0};
        for (int y = 3; y < 9; ++y)
            for (int x = 3; x < 9; ++x) {
                const float* e = &dst.at(6 * x, y);
                EXPECT_GT(e[0], e[1]);
                EXPECT_EQ(std::vector<float>(e + 2, e + 6), axes) << x << "," << y;
            }
    }
}

// Runs `body` with n workers; one worker also limits OpenMP to one thread.
template <class Body>
auto withWorkers(int n, Body body) {
    const int savedOmp = omp_get_max_threads();
    omp_set_num_threads(n == 1 ? 1 : savedOmp);
    zaltest::ThreadCount scope(n);
    auto result = body();
    omp_set_num_threads(savedOmp);
    return result;
}

// 256 x 264 is large enough for the rows to split over workers, each band
// starting its rings afresh; 8200 x 5 gives bands of one or two rows, shorter
// than the 5-row kernels, so nearly every row a band needs lies in the next
// band or beyond the image edge. One worker (smaller buffer) must give the
// same bits for both measures as several workers with a bigger buffer.
TYPED_TEST(Corners, SameBitsForOneTwoThreeWorkers) {
    const auto getSize = std::is_same_v<TypeParam, uint8_t> ? zaliMinEigenValGetBufferSize_8u32f_C1R
                                                            : zaliMinEigenValGetBufferSize_32f_C1R;
    struct Case { int width, height, kernType, aperture, window; };
    for (const Case c : {Case{256, 264, DerivKernelSobel, 5, 3}, Case{8200, 5, DerivKernelSobel, 5, 5}}) {
        const GuardedImage<TypeParam> src = noise<TypeParam>(c.width, c.height, 9);
        int sizes[4] = {};
        for (const bool vecs : {false, true}) {
            const int kernType = vecs && c.window == 3 ? DerivKernelScharr : c.kernType;
            const int aperture = kernType == DerivKernelScharr ? 3 : c.aperture;
            std::vector<float> first;
            for (const int n : {1, 2, 3}) {
                const std::vector<float> got = withWorkers(n, [&] {
                    EXPECT_EQ(getSize(src.roi(), aperture, c.window, &sizes[n]), StatusOk);
                    GuardedImage<float> dst((vecs ? 6 : 1) * c.width, c.height);
                    EXPECT_EQ(corners(vecs, src, dst, kernType, aperture, c.window), StatusOk);
                    EXPECT_TRUE(dst.guardsIntact());
                    return dst.pixels();
                });
                if (n == 1) first = got;
                else EXPECT_TRUE(got == first) << c.width << "x" << c.height << ", " << n << " workers, vecs " << vecs;
            }
        }
        EXPECT_LT(sizes[1], sizes[2]);
    }
}

// Forty workers: tall enough (40 * 128 rows) for the filters to band the
// rows over all of them; the single-worker bits every time.
TEST(Corners, FortyWorkersGiveTheSingleWorkerBits) {
    const GuardedImage<uint8_t> src = noise<uint8_t>(256, 5200, 10);
    const auto run = [&] {
        GuardedImage<float> dst(256, 5200);
        EXPECT_EQ(corners(false, src, dst, DerivKernelScharr, 3, 5), StatusOk);
        return dst.pixels();
    };
    EXPECT_TRUE(withWorkers(1, run) == withWorkers(40, run));
}

TEST(Corners, CheckOrder) {
    uint8_t src[64] = {}, buf[4];
    float dst[6 * 16];
    const ImageSize roi{4, 4};
    const auto sobel = DerivKernelSobel, scharr = DerivKernelScharr, bad = DerivKernelType(2);
    // Steps before the kernel type, the kernel and aperture before the window.
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 3, dst, 17, roi, sobel, 3, 3, buf), StatusStepError);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 5, dst, 18, roi, bad, 3, 3, buf), StatusStepAlignmentError);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 5, dst, 16, roi, bad, 4, 4, buf), StatusBadArgument);
    EXPECT_EQ(zaliMinEigenVal_8u32f_C1R(src, 4, dst, 16, roi, scharr, 5, 4, buf), StatusSizeError);
    EXPECT_EQ(zaliEigenValsVecs_8u32f_C1R(src, 4, dst, 96, roi, sobel, 5, 4, buf), StatusSizeError);
    int size = -1;
    EXPECT_EQ(zaliEigenValsVecsGetBufferSize_32f_C1R({4, 4}, 3, 4, &size), StatusSizeError);
}

// Size queries near the int limits (common/size_queries.h says what every
// query must satisfy).
TEST(FeatureSizeQueries, ExactOrRefusedUpToIntLimits) {
    std::vector<zaltest::SizeQuery> table = {
        // The edge map holds a byte per pixel at least.
        {"Canny", [](int w, int h, int* b) { return zaliCannyGetSize(ImageSize{w, h}, b); },
         [](zaltest::Wide w, zaltest::Wide h) { return w * h; }},
    };
    // The structure tensor: three float images of the ROI.
#define CORNER_QUERY(name, Src)                                                                                  \
    for (int aperture : {3, 5})                                                                                  \
        table.push_back({#name " aperture " + std::to_string(aperture),                                          \
                         [aperture](int w, int h, int* b) { return name(ImageSize{w, h}, aperture, 8 - aperture, b); }, \
                         [](zaltest::Wide w, zaltest::Wide h) { return 12 * w * h; }});
    ZAL_FEATURE_CORNER_SIZE(CORNER_QUERY)
    zaltest::checkSizeQueries(table);
}

}  // namespace
