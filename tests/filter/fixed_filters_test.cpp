// Fixed derivative and smoothing filters against a direct two-dimensional
// reference: every operation, both apertures, every border rule, odd sizes,
// bottom-up images, guard bytes, the check order and worker-count
// independence. Bottom-up (negative) steps are shorter than a row and rejected.
#include <gtest/gtest.h>

#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "filter_reference.h"
#include "common/test_image.h"
#include "zalcv.h"

namespace {

using filtertest::kAllBorders;
using filtertest::refBorderIndex;
using filtertest::refClampTrunc;
using zaltest::GuardedImage;
using zaltest::Layout;

// Uniform signatures over all members (Scharr ignores the mask).
using Fn16s = StatusCode (*)(const uint8_t*, int, int16_t*, int, ImageSize, int, int, uint8_t, uint8_t*);
using Fn8s = StatusCode (*)(const uint8_t*, int, int8_t*, int, ImageSize, int, int, uint8_t, int, uint8_t*);
using Fn32f = StatusCode (*)(const float*, int, float*, int, ImageSize, int, int, float, uint8_t*);
using Query = StatusCode (*)(ImageSize, int, int*);

#define APERTURE_FNS(NAME)                                                                                        \
    [](const uint8_t* s, int ss, int16_t* d, int ds, ImageSize r, int m, int b, uint8_t v, uint8_t* buf) {         \
        return zaliFilter##NAME##Border_8u16s_C1R(s, ss, d, ds, r, ApertureSize(m), BorderKind(b), v, buf);       \
    },                                                                                                            \
        [](const uint8_t* s, int ss, int8_t* d, int ds, ImageSize r, int m, int b, uint8_t v, int dv, uint8_t* buf) { \
            return zaliFilter##NAME##Border_8u8s_C1R(s, ss, d, ds, r, ApertureSize(m), BorderKind(b), v, dv, buf); \
        },                                                                                                        \
        [](const float* s, int ss, float* d, int ds, ImageSize r, int m, int b, float v, uint8_t* buf) {          \
            return zaliFilter##NAME##Border_32f_C1R(s, ss, d, ds, r, ApertureSize(m), BorderKind(b), v, buf);     \
        },                                                                                                        \
        [](ImageSize r, int m, int* p) { return zaliFilter##NAME##GetBufferSize_8u16s_C1R(r, ApertureSize(m), p); }, \
        [](ImageSize r, int m, int* p) { return zaliFilter##NAME##GetBufferSize_8u8s_C1R(r, ApertureSize(m), p); }, \
        [](ImageSize r, int m, int* p) { return zaliFilter##NAME##GetBufferSize_32f_C1R(r, ApertureSize(m), p); }

#define SCHARR_FNS(NAME)                                                                                          \
    [](const uint8_t* s, int ss, int16_t* d, int ds, ImageSize r, int, int b, uint8_t v, uint8_t* buf) {          \
        return zaliFilter##NAME##Border_8u16s_C1R(s, ss, d, ds, r, BorderKind(b), v, buf);                        \
    },                                                                                                            \
        [](const uint8_t* s, int ss, int8_t* d, int ds, ImageSize r, int, int b, uint8_t v, int dv, uint8_t* buf) { \
            return zaliFilter##NAME##Border_8u8s_C1R(s, ss, d, ds, r, BorderKind(b), v, dv, buf);                 \
        },                                                                                                        \
        [](const float* s, int ss, float* d, int ds, ImageSize r, int, int b, float v, uint8_t* buf) {            \
            return zaliFilter##NAME##Border_32f_C1R(s, ss, d, ds, r, BorderKind(b), v, buf);                      \
        },                                                                                                        \
        [](ImageSize r, int, int* p) { return zaliFilter##NAME##GetBufferSize_8u16s_C1R(r, p); },                 \
        [](ImageSize r, int, int* p) { return zaliFilter##NAME##GetBufferSize_8u8s_C1R(r, p); },                  \
        [](ImageSize r, int, int* p) { return zaliFilter##NAME##GetBufferSize_32f_C1R(r, p); }

struct Derivative {
    const char* name;
    Fn16s f16s;
    Fn8s f8s;
    Fn32f f32f;
    Query q16s, q8s, q32f;
    bool scharr;
    // The 3x3 kernel (row-major, top row first); 5x5 kernels follow from
    // the column and row taps below.
    std::vector<int> col3, row3, col5, row5;
};

std::vector<Derivative> derivatives() {
    const std::vector<int> sobel3{1, 2, 1}, dx3{-1, 0, 1}, neg3{1, 0, -1}, d2x3{1, -2, 1};
    const std::vector<int> sobel5{1, 4, 6, 4, 1}, dx5{-1, -2, 0, 2, 1}, neg5{1, 2, 0, -2, -1}, d2x5{1, 0, -2, 0, 1};
    const std::vector<int> negSobel3{-1, -2, -1}, negSobel5{-1, -4, -6, -4, -1};
    return {
        {"SobelHoriz", APERTURE_FNS(SobelHoriz), false, dx3, sobel3, dx5, sobel5},
        {"SobelVert", APERTURE_FNS(SobelVert), false, sobel3, neg3, sobel5, neg5},
        {"SobelNegVert", APERTURE_FNS(SobelNegVert), false, negSobel3, neg3, negSobel5, neg5},
        {"SobelHorizSecond", APERTURE_FNS(SobelHorizSecond), false, d2x3, sobel3, d2x5, sobel5},
        {"SobelVertSecond", APERTURE_FNS(SobelVertSecond), false, sobel3, d2x3, sobel5, d2x5},
        {"SobelCross", APERTURE_FNS(SobelCross), false, dx3, neg3, dx5, neg5},
        {"ScharrHoriz", SCHARR_FNS(ScharrHoriz), true, dx3, {3, 10, 3}, {}, {}},
        {"ScharrVert", SCHARR_FNS(ScharrVert), true, {3, 10, 3}, dx3, {}, {}},
    };
}

std::vector<int> outer(const std::vector<int>& col, const std::vector<int>& row) {
    std::vector<int> k;
    for (int c : col)
        for (int r : row) k.push_back(c * r);
    return k;
}

const std::vector<int> kLaplacian3{2, 0, 2, 0, -8, 0, 2, 0, 2};
const std::vector<int> kLaplacian5{2, 4, 4,  4, 2, 4, 0, -8, 0, 4, 4, -8, -24, -8, 4,
                                   4, 0, -8, 0, 4, 2, 4, 4,  4, 2};

// Integer sum of the K x K kernel over the bordered source around (x, y).
template <class T>
long long refSum(const GuardedImage<T>& src, const std::vector<int>& kernel, int K, int x, int y, int kind, T value) {
    long long s = 0;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const int yy = refBorderIndex(y + i - K / 2, src.height(), kind);
            const int xx = refBorderIndex(x + j - K / 2, src.width(), kind);
            const long long p = yy < 0 || xx < 0 ? static_cast<long long>(value) : static_cast<long long>(src.at(xx, yy));
            s += kernel[static_cast<std::size_t>(i * K + j)] * p;
        }
    return s;
}

struct Buffer {
    explicit Buffer(int bytes) : p(zalsMalloc_8u(bytes)) {}
    ~Buffer() { zalsFree(p); }
    uint8_t* p;
};

const ImageSize kSizes[] = {{1, 1}, {1, 6}, {7, 1}, {2, 2}, {5, 4}, {13, 9}};

// Random 8u image (and its float copy, integer-valued, so float sums are exact).
void fillRandom(GuardedImage<uint8_t>& u8, GuardedImage<float>& f32, uint64_t seed) {
    zaltest::Lcg rng(seed);
    u8.fill([&](int, int, int) { return rng.uniform(0, 255); });
    f32.fill([&](int x, int y, int) { return u8.at(x, y); });
}

TEST(FixedFilters, DerivativesMatchTheTwoDimensionalKernel) {
    uint64_t seed = 1;
    for (const Derivative& d : derivatives()) {
        for (int K : {3, 5}) {
            if (d.scharr && K == 5) continue;
            const int mask = K == 3 ? Aperture3x3 : Aperture5x5;
            const std::vector<int> kernel = K == 3 ? outer(d.col3, d.row3) : outer(d.col5, d.row5);
            for (ImageSize roi : kSizes) {
                for (int kind : kAllBorders) {
                    const Layout layout = Layout::TopDown;
                    GuardedImage<uint8_t> src(roi.width, roi.height, 1, layout);
                    GuardedImage<float> srcF(roi.width, roi.height, 1, layout);
                    fillRandom(src, srcF, ++seed);
                    GuardedImage<int16_t> d16(roi.width, roi.height, 1, layout);
                    GuardedImage<int8_t> d8(roi.width, roi.height, 1);
                    GuardedImage<float> dF(roi.width, roi.height, 1, layout);
                    const uint8_t v = static_cast<uint8_t>(seed * 37 % 256);
                    const int divisor = static_cast<int>(seed % 7) - 3 == 0 ? 5 : static_cast<int>(seed % 7) - 3;
                    int b16 = 0, b8 = 0, bF = 0;
                    ASSERT_EQ(d.q16s(roi, mask, &b16), StatusOk);
                    ASSERT_EQ(d.q8s(roi, mask, &b8), StatusOk);
                    ASSERT_EQ(d.q32f(roi, mask, &bF), StatusOk);
                    Buffer buf16(b16), buf8(b8), bufF(bF);
                    ASSERT_EQ(d.f16s(src.data(), src.step(), d16.data(), d16.step(), roi, mask, kind, v, buf16.p), StatusOk);
                    ASSERT_EQ(d.f8s(src.data(), src.step(), d8.data(), d8.step(), roi, mask, kind, v, divisor, buf8.p), StatusOk);
                    ASSERT_EQ(d.f32f(srcF.data(), srcF.step(), dF.data(), dF.step(), roi, mask, kind, v, bufF.p), StatusOk);
                    for (int y = 0; y < roi.height; ++y)
                        for (int x = 0; x < roi.width; ++x) {
                            const long long s = refSum(src, kernel, K, x, y, kind, v);
                            SCOPED_TRACE(::testing::Message() << d.name << " K=" << K << " border=" << kind << " "
                                                              << roi.width << "x" << roi.height << " at " << x << "," << y);
                            ASSERT_EQ(d16.at(x, y), s);
                            ASSERT_EQ(dF.at(x, y), static_cast<float>(s));
                            const float scaled = static_cast<float>(static_cast<int16_t>(s)) * (1.0f / static_cast<float>(divisor));
                            ASSERT_EQ(d8.at(x, y), refClampTrunc(scaled, -128.0f, 127.0f));
                        }
                    EXPECT_TRUE(d16.guardsIntact() && d8.guardsIntact() && dF.guardsIntact());
                }
            }
        }
    }
}

TEST(FixedFilters, LaplacianAndLowpassMatchTheirKernels) {
    uint64_t seed = 100;
    for (int K : {3, 5}) {
        const int mask = K == 3 ? Aperture3x3 : Aperture5x5;
        for (ImageSize roi : kSizes) {
            for (int kind : kAllBorders) {
                GuardedImage<uint8_t> src(roi.width, roi.height);
                GuardedImage<float> srcF(roi.width, roi.height);
                fillRandom(src, srcF, ++seed);
                const uint8_t v = static_cast<uint8_t>(seed * 53 % 256);
                GuardedImage<int16_t> lap16(roi.width, roi.height);
                GuardedImage<int8_t> lap8(roi.width, roi.height);
                GuardedImage<float> lapF(roi.width, roi.height);
                GuardedImage<uint8_t> low8(roi.width, roi.height);
                GuardedImage<float> lowF(roi.width, roi.height);
                int size = 0, most = 0;
                for (auto q : {zaliFilterLaplacianGetBufferSize_8u16s_C1R, zaliFilterLaplacianGetBufferSize_8u8s_C1R,
                               zaliFilterLaplacianGetBufferSize_32f_C1R, zaliFilterLowpassGetBufferSize_8u_C1R,
                               zaliFilterLowpassGetBufferSize_32f_C1R}) {
                    ASSERT_EQ(q(roi, ApertureSize(mask), &size), StatusOk);
                    most = std::max(most, size);
                }
                Buffer buf(most);
                const ApertureSize m = ApertureSize(mask);
                const BorderKind b = BorderKind(kind);
                ASSERT_EQ(zaliFilterLaplacianBorder_8u16s_C1R(src.data(), src.step(), lap16.data(), lap16.step(), roi, m, b, v, buf.p), StatusOk);
                ASSERT_EQ(zaliFilterLaplacianBorder_8u8s_C1R(src.data(), src.step(), lap8.data(), lap8.step(), roi, m, b, v, 3, buf.p), StatusOk);
                ASSERT_EQ(zaliFilterLaplacianBorder_32f_C1R(srcF.data(), srcF.step(), lapF.data(), lapF.step(), roi, m, b, v, buf.p), StatusOk);
                ASSERT_EQ(zaliFilterLowpassBorder_8u_C1R(src.data(), src.step(), low8.data(), low8.step(), roi, m, b, v, buf.p), StatusOk);
                ASSERT_EQ(zaliFilterLowpassBorder_32f_C1R(srcF.data(), srcF.step(), lowF.data(), lowF.step(), roi, m, b, v, buf.p), StatusOk);
                const std::vector<int> box(static_cast<std::size_t>(K * K), 1);
                for (int y = 0; y < roi.height; ++y)
                    for (int x = 0; x < roi.width; ++x) {
                        SCOPED_TRACE(::testing::Message() << "K=" << K << " border=" << kind << " " << roi.width << "x"
                                                          << roi.height << " at " << x << "," << y);
                        const long long s = refSum(src, K == 3 ? kLaplacian3 : kLaplacian5, K, x, y, kind, v);
                        ASSERT_EQ(lap16.at(x, y), s);
                        ASSERT_EQ(lapF.at(x, y), static_cast<float>(s));
                        ASSERT_EQ(lap8.at(x, y), refClampTrunc(static_cast<float>(s) * (1.0f / 3.0f), -128.0f, 127.0f));
                        const long long sum = refSum(src, box, K, x, y, kind, v);
                        const long long low = K == 3 ? (sum * 7280 + 36400) >> 16 : (sum * 2621) >> 16;
                        ASSERT_EQ(low8.at(x, y), low);
                        ASSERT_EQ(lowF.at(x, y), static_cast<float>(sum) * (K == 3 ? 0.11111111f : 0.04f));
                    }
                EXPECT_TRUE(lap16.guardsIntact() && lap8.guardsIntact() && lapF.guardsIntact() && low8.guardsIntact() &&
                            lowF.guardsIntact());
            }
        }
    }
}

TEST(FixedFilters, ConstantImagesAndSignConventions) {
    const ImageSize roi{9, 7};
    const int size = 1 << 16;
    Buffer buf(size);
    GuardedImage<uint8_t> src(roi.width, roi.height);
    GuardedImage<uint8_t> low(roi.width, roi.height);
    for (int p = 0; p < 256; p += 17) {
        src.fill([&](int, int, int) { return p; });
        ASSERT_EQ(zaliFilterLowpassBorder_8u_C1R(src.data(), src.step(), low.data(), low.step(), roi, Aperture3x3, BorderReplicate, 0, buf.p), StatusOk);
        EXPECT_EQ(low.at(4, 3), p);
        // 25p * 2621 falls just short of 65536p.
        ASSERT_EQ(zaliFilterLowpassBorder_8u_C1R(src.data(), src.step(), low.data(), low.step(), roi, Aperture5x5, BorderConstant, uint8_t(p), buf.p), StatusOk);
        EXPECT_EQ(low.at(0, 0), p == 0 ? 0 : p - 1);
        // A constant border of the image's own value: no derivative anywhere.
        GuardedImage<int16_t> d(roi.width, roi.height);
        ASSERT_EQ(zaliFilterSobelVertBorder_8u16s_C1R(src.data(), src.step(), d.data(), d.step(), roi, Aperture5x5, BorderConstant, uint8_t(p), buf.p), StatusOk);
        for (int16_t e : d.pixels()) ASSERT_EQ(e, 0);
    }
    // A ramp rising downward: positive horizontal-edge response; the two
    // vertical-edge filters are exact opposites.
    src.fill([](int x, int y, int) { return 10 * y + (x * x) % 7; });
    GuardedImage<int16_t> h(roi.width, roi.height), v(roi.width, roi.height), nv(roi.width, roi.height);
    ASSERT_EQ(zaliFilterSobelHorizBorder_8u16s_C1R(src.data(), src.step(), h.data(), h.step(), roi, Aperture3x3, BorderReplicate, 0, buf.p), StatusOk);
    ASSERT_EQ(zaliFilterSobelVertBorder_8u16s_C1R(src.data(), src.step(), v.data(), v.step(), roi, Aperture3x3, BorderReflect, 0, buf.p), StatusOk);
    ASSERT_EQ(zaliFilterSobelNegVertBorder_8u16s_C1R(src.data(), src.step(), nv.data(), nv.step(), roi, Aperture3x3, BorderReflect, 0, buf.p), StatusOk);
    EXPECT_GT(h.at(4, 3), 0);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) ASSERT_EQ(v.at(x, y), -nv.at(x, y));
    // 8u8s: a strong edge saturates; divisor -1 flips the sign before clamping.
    src.fill([](int, int y, int) { return y < 3 ? 0 : 255; });
    GuardedImage<int8_t> s8(roi.width, roi.height);
    ASSERT_EQ(zaliFilterSobelHorizBorder_8u8s_C1R(src.data(), src.step(), s8.data(), s8.step(), roi, Aperture3x3, BorderReplicate, 0, 1, buf.p), StatusOk);
    EXPECT_EQ(s8.at(4, 3), 127);
    ASSERT_EQ(zaliFilterSobelHorizBorder_8u8s_C1R(src.data(), src.step(), s8.data(), s8.step(), roi, Aperture3x3, BorderReplicate, 0, -1, buf.p), StatusOk);
    EXPECT_EQ(s8.at(4, 3), -128);
}

TEST(FixedFilters, FractionalFloatDataStaysClose) {
    const ImageSize roi{11, 8};
    GuardedImage<float> src(roi.width, roi.height), dst(roi.width, roi.height);
    zaltest::Lcg rng(7);
    src.fill([&](int, int, int) { return rng.uniformf(-3.0f, 3.0f); });
    int size = 0;
    ASSERT_EQ(zaliFilterSobelCrossGetBufferSize_32f_C1R(roi, Aperture5x5, &size), StatusOk);
    Buffer buf(size);
    ASSERT_EQ(zaliFilterSobelCrossBorder_32f_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, Aperture5x5, BorderReflectEdge, 0.0f, buf.p), StatusOk);
    const std::vector<int> dx5{-1, -2, 0, 2, 1}, neg5{1, 2, 0, -2, -1};
    const std::vector<int> k = outer(dx5, neg5);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x) {
            double s = 0;
            for (int i = 0; i < 5; ++i)
                for (int j = 0; j < 5; ++j)
                    s += k[static_cast<std::size_t>(i * 5 + j)] *
                         static_cast<double>(src.at(refBorderIndex(x + j - 2, roi.width, BorderReflectEdge),
                                                    refBorderIndex(y + i - 2, roi.height, BorderReflectEdge)));
            ASSERT_NEAR(dst.at(x, y), s, 1e-4);
        }
}

TEST(FixedFilters, ChecksComeInOrderAndWriteNothing) {
    const ImageSize roi{6, 5};
    GuardedImage<uint8_t> src(6, 5);
    GuardedImage<int16_t> d16(6, 5);
    GuardedImage<int8_t> d8(6, 5);
    Buffer buf(1 << 16);
    const auto before = d16.pixels();
    auto sobel = [&](const uint8_t* s, int16_t* d, int sstep, int dstep, ImageSize r, int mask, int border) {
        return zaliFilterSobelHorizBorder_8u16s_C1R(s, sstep, d, dstep, r, ApertureSize(mask), BorderKind(border), 0, buf.p);
    };
    EXPECT_EQ(sobel(src.data(), nullptr, src.step(), d16.step(), ImageSize{0, 5}, 33, 1), StatusNullPointer);
    EXPECT_EQ(sobel(src.data(), d16.data(), 0, d16.step(), ImageSize{6, 0}, 33, 1), StatusSizeError);
    EXPECT_EQ(sobel(src.data(), d16.data(), 5, d16.step() + 1, roi, 33, 1), StatusStepError);
    EXPECT_EQ(sobel(src.data(), d16.data(), src.step(), d16.step() + 1, roi, 35, 9), StatusStepAlignmentError);
    EXPECT_EQ(sobel(src.data(), d16.data(), src.step(), d16.step(), roi, 35, 7), StatusBadArgument);
    EXPECT_EQ(sobel(src.data(), d16.data(), src.step(), d16.step(), roi, 35, 1), StatusMaskSizeError);
    EXPECT_EQ(zaliFilterSobelHorizBorder_8u8s_C1R(src.data(), src.step(), d8.data(), d8.step(), roi, ApertureSize(35), BorderReplicate, 0, 0, buf.p), StatusBadArgument);
    // An 8s destination has no alignment rule; a 32f source has one.
    EXPECT_EQ(zaliFilterScharrVertBorder_8u8s_C1R(src.data(), src.step(), d8.data(), d8.step() + 1, roi, BorderWrap, 0, 2, buf.p), StatusOk);
    GuardedImage<float> f(6, 5), fd(6, 5);
    EXPECT_EQ(zaliFilterLowpassBorder_32f_C1R(f.data(), f.step() + 2, fd.data(), fd.step(), roi, Aperture3x3, BorderWrap, 0, buf.p), StatusStepAlignmentError);
    EXPECT_EQ(zaliFilterLaplacianBorder_32f_C1R(f.data(), f.step(), fd.data(), fd.step(), roi, Aperture3x3, BorderWrap, 0, nullptr), StatusNullPointer);
    // A bottom-up (negative) step is shorter than a row.
    GuardedImage<int16_t> up(6, 5, 1, Layout::BottomUp);
    EXPECT_EQ(sobel(src.data(), up.data(), src.step(), up.step(), roi, 33, 1), StatusStepError);
    EXPECT_TRUE(up.guardsIntact());
    EXPECT_EQ(d16.pixels(), before);
    EXPECT_TRUE(d16.guardsIntact() && fd.guardsIntact());

    int size = 0;
    EXPECT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(roi, Aperture5x5, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(ImageSize{0, 5}, ApertureSize(35), &size), StatusSizeError);
    EXPECT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(roi, ApertureSize(35), &size), StatusMaskSizeError);
    EXPECT_EQ(zaliFilterLowpassGetBufferSize_8u_C1R(ImageSize{1 << 30, 1 << 12}, Aperture5x5, &size), StatusSizeError);
}

TEST(FixedFilters, BufferSizesGrowWithTheWorkerCount) {
    for (int threads : {1, 3}) {
        zaltest::ThreadCount scope(threads);
        const long long n = std::max(threads, omp_get_max_threads());
        int size = 0;
        // 32f Sobel 3x3, 100x50: lines 400 * 21 + 36 + 184, row and column
        // pipeline areas with 53 pointer slots of 8 bytes each.
        ASSERT_EQ(zaliFilterSobelHorizGetBufferSize_32f_C1R(ImageSize{100, 50}, Aperture3x3, &size), StatusOk);
        const long long slots = 53 * static_cast<long long>(sizeof(void*));
        EXPECT_EQ(size, n * (8620 + n * (32 + slots + 80) + n * (32 + slots) + 32));
        // 8u8s 5x5 Laplacian adds a 16-bit image of the padded width.
        ASSERT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(ImageSize{100, 50}, Aperture5x5, &size), StatusOk);
        const long long slots5 = 55 * static_cast<long long>(sizeof(void*));
        EXPECT_EQ(size, n * (448 * 25 + 120 + 336 + 2 * 112 * 50 + 32 + 2 * n * (32 + slots5 + 52) + 32));
    }
}

// Tall and wide enough for the banded path: the border rows in the calling
// thread, the inner rows split over the workers; the same bits every time.
TEST(FixedFilters, ParallelBandsMatchTheReference) {
    const ImageSize roi{260, 400};  // 400 >= 3 * 128
    GuardedImage<uint8_t> src(roi.width, roi.height);
    GuardedImage<float> srcF(roi.width, roi.height);
    fillRandom(src, srcF, 99);
    const std::vector<int> kernel = outer({-1, -2, 0, 2, 1}, {1, 4, 6, 4, 1});
    std::vector<int16_t> first;
    std::vector<float> firstF;
    for (int threads : {1, 2, 3}) {
        zaltest::ThreadCount scope(threads);
        int size = 0, sizeF = 0;
        ASSERT_EQ(zaliFilterSobelHorizGetBufferSize_8u16s_C1R(roi, Aperture5x5, &size), StatusOk);
        ASSERT_EQ(zaliFilterLaplacianGetBufferSize_32f_C1R(roi, Aperture5x5, &sizeF), StatusOk);
        Buffer buf(size), bufF(sizeF);
        GuardedImage<int16_t> dst(roi.width, roi.height);
        GuardedImage<float> dstF(roi.width, roi.height);
        ASSERT_EQ(zaliFilterSobelHorizBorder_8u16s_C1R(src.data(), src.step(), dst.data(), dst.step(), roi, Aperture5x5, BorderReflect, 0, buf.p), StatusOk);
        ASSERT_EQ(zaliFilterLaplacianBorder_32f_C1R(srcF.data(), srcF.step(), dstF.data(), dstF.step(), roi, Aperture5x5, BorderWrap, 0, bufF.p), StatusOk);
        EXPECT_TRUE(dst.guardsIntact() && dstF.guardsIntact());
        if (threads == 1) {
            first = dst.pixels();
            firstF = dstF.pixels();
            for (int y : {0, 1, 2, 200, 397, 398, 399})
                for (int x : {0, 1, 130, 258, 259}) {
                    ASSERT_EQ(dst.at(x, y), refSum(src, kernel, 5, x, y, BorderReflect, uint8_t(0)));
                    ASSERT_EQ(dstF.at(x, y), static_cast<float>(refSum(src, kLaplacian5, 5, x, y, BorderWrap, uint8_t(0))));
                }
        } else {
            EXPECT_EQ(dst.pixels(), first) << threads << " threads";
            EXPECT_EQ(dstF.pixels(), firstF) << threads << " threads";
        }
    }
}

}  // namespace
