// Fixed derivative, Laplacian and smoothing filters against a direct
// two-dimensional reference: every member, both apertures, every border rule,
// odd sizes, guard bytes, the check order and worker-count independence.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "filter/exports.h"
#include "filter_reference.h"
#include "zalcv.h"

namespace {

using namespace filtertest;
using zaltest::GuardedImage;

// One source (8u, and a float copy offset by 0.5 so the float sums stay
// exact yet a truncating float path shows) with a destination of every type.
struct Case {
    Case(ImageSize r, int K, int kind, uint64_t seed)
        : roi(r), mask(K == 3 ? Aperture3x3 : Aperture5x5), border(BorderKind(kind)), v(uint8_t(seed * 37 % 256)),
          divisor(seed % 7 == 3 ? 5 : int(seed % 7) - 3), src(r.width, r.height), d8u(r.width, r.height), srcF(r.width, r.height),
          dF(r.width, r.height), d16(r.width, r.height), d8(r.width, r.height) {
        zaltest::Lcg rng(seed);
        src.fill([&](int, int, int) { return rng.uniform(0, 255); });
        srcF.fill([&](int x, int y, int) { return src.at(x, y) + 0.5f; });
    }
    bool guardsIntact() const { return d16.guardsIntact() && d8.guardsIntact() && dF.guardsIntact() && d8u.guardsIntact(); }
    ImageSize roi;
    ApertureSize mask;
    BorderKind border;
    uint8_t v;    // constant border value
    int divisor;  // of the 8u8s forms
    GuardedImage<uint8_t> src, d8u;
    GuardedImage<float> srcF, dF;
    GuardedImage<int16_t> d16;
    GuardedImage<int8_t> d8;
};

// The source and the destination of a form's element types.
template <class S>
const GuardedImage<S>& source(const Case& c) {
    if constexpr (std::is_same_v<S, float>) return c.srcF;
    else return c.src;
}
template <class D>
GuardedImage<D>& target(Case& c) {
    if constexpr (std::is_same_v<D, float>) return c.dF;
    else if constexpr (std::is_same_v<D, int16_t>) return c.d16;
    else if constexpr (std::is_same_v<D, int8_t>) return c.d8;
    else return c.d8u;
}

// Work-buffer queries by name; a filter's query is its name with
// GetBufferSize in place of Border.
using MaskQuery = StatusCode (*)(ImageSize, ApertureSize, int*);
using PlainQuery = StatusCode (*)(ImageSize, int*);
#define QUERY_ENTRY(name, ...) {#name, name},
const std::map<std::string, MaskQuery> kMaskQueries = {ZAL_FILTER_FIXED_SIZE(QUERY_ENTRY)};
const std::map<std::string, PlainQuery> kPlainQueries = {ZAL_FILTER_SCHARR_SIZE(QUERY_ENTRY)};
std::string queryOf(std::string filter) { return filter.replace(filter.find("Border_"), 7, "GetBufferSize_"); }

// One export: its operation, its destination type and a run on the case's
// images of its types with the buffer its own query asks for.
enum class Out { S16, S8, F32, U8 };
struct Form {
    std::string name, op;
    Out out;
    bool (*run)(Case&);
    std::vector<double> (*result)(Case&);
};
template <class D>
constexpr Out outOf() {
    return std::is_same_v<D, int16_t> ? Out::S16 : std::is_same_v<D, int8_t> ? Out::S8 : std::is_same_v<D, float> ? Out::F32 : Out::U8;
}
template <class D>
std::vector<double> resultOf(Case& c) {
    const std::vector<D> p = target<D>(c).pixels();
    return std::vector<double>(p.begin(), p.end());
}

#define FORM(name, OP, S, D, QUERIES, ...)                                                                                 \
    Form{#name, #OP, outOf<D>(),                                                                                           \
         [](Case& c) {                                                                                                     \
             const Buffer b = bufferFor(QUERIES.at(queryOf(#name)), c.roi __VA_OPT__(, __VA_ARGS__));                      \
             const GuardedImage<S>& s = source<S>(c);                                                                      \
             GuardedImage<D>& d = target<D>(c);                                                                            \
             return name(s.data(), s.step(), d.data(), d.step(), c.roi __VA_OPT__(, __VA_ARGS__), c.border, S(c.v),        \
                         DIVISOR_##D b.p) == StatusOk;                                                                     \
         },                                                                                                                \
         resultOf<D>},
#define DIVISOR_int16_t
#define DIVISOR_float
#define DIVISOR_uint8_t
#define DIVISOR_int8_t c.divisor,
#define FIXED_FORM(name, OP, S, D) FORM(name, OP, S, D, kMaskQueries, c.mask)
#define FIXED_8U8S_FORM(name, OP) FORM(name, OP, uint8_t, int8_t, kMaskQueries, c.mask)
#define SCHARR_FORM(name, OP, S, D) FORM(name, OP, S, D, kPlainQueries)
#define SCHARR_8U8S_FORM(name, OP) FORM(name, OP, uint8_t, int8_t, kPlainQueries)

std::vector<Form> allForms() {
    return {ZAL_FILTER_FIXED(FIXED_FORM) ZAL_FILTER_FIXED_8U8S(FIXED_8U8S_FORM) ZAL_FILTER_SCHARR(SCHARR_FORM)
                ZAL_FILTER_SCHARR_8U8S(SCHARR_8U8S_FORM)};
}

// Every fixed filter but the lowpass ones.
std::vector<Form> derivativeForms() {
    std::vector<Form> all = allForms();
    std::erase_if(all, [](const Form& f) { return f.op == "Lowpass"; });
    return all;
}

std::vector<int> outer(const std::vector<int>& col, const std::vector<int>& row) {
    std::vector<int> k;
    for (int c : col) for (int r : row) k.push_back(c * r);
    return k;
}

const std::vector<int> kLaplacian3{2, 0, 2, 0, -8, 0, 2, 0, 2};
const std::vector<int> kLaplacian5{2, 4, 4, 4, 2, 4, 0, -8, 0, 4, 4, -8, -24, -8, 4, 4, 0, -8, 0, 4, 2, 4, 4, 4, 2};

// The 3x3 and 5x5 kernels of each operation, row-major, top row first;
// empty: no such aperture.
struct Kernels {
    std::vector<int> k3, k5;
};
const Kernels& kernelsOf(const std::string& op) {
    const std::vector<int> s3{1, 2, 1}, d3{-1, 0, 1}, n3{1, 0, -1}, dd3{1, -2, 1};
    const std::vector<int> s5{1, 4, 6, 4, 1}, d5{-1, -2, 0, 2, 1}, n5{1, 2, 0, -2, -1}, dd5{1, 0, -2, 0, 1};
    static const std::map<std::string, Kernels> table = {
        {"SobelHoriz", {outer(d3, s3), outer(d5, s5)}},
        {"SobelVert", {outer(s3, n3), outer(s5, n5)}},
        {"SobelNegVert", {outer({-1, -2, -1}, n3), outer({-1, -4, -6, -4, -1}, n5)}},
        {"SobelHorizSecond", {outer(dd3, s3), outer(dd5, s5)}},
        {"SobelVertSecond", {outer(s3, dd3), outer(s5, dd5)}},
        {"SobelCross", {outer(d3, n3), outer(d5, n5)}},
        {"ScharrHoriz", {outer(d3, {3, 10, 3}), {}}},
        {"ScharrVert", {outer({3, 10, 3}, d3), {}}},
        {"Laplacian", {kLaplacian3, kLaplacian5}},
    };
    return table.at(op);
}

// Sum of the K x K kernel over the bordered source around (x, y), in double
// (exact for these data).
template <class T>
double refSum(const GuardedImage<T>& src, const std::vector<int>& kernel, int K, int x, int y, int kind, double value) {
    double s = 0;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const int yy = refBorderIndex(y + i - K / 2, src.height(), kind);
            const int xx = refBorderIndex(x + j - K / 2, src.width(), kind);
            s += kernel[static_cast<std::size_t>(i * K + j)] * (yy < 0 || xx < 0 ? value : static_cast<double>(src.at(xx, yy)));
        }
    return s;
}

// Odd sizes, and sizes whose rows hold whole vectors of every target and a
// tail (up to 32 lanes of 16 bits).
const std::vector<ImageSize> kOddSizes = {{1, 1}, {1, 6}, {7, 1}, {2, 2}, {5, 4}, {13, 9}};
const std::vector<ImageSize> kWideSizes = {{77, 3}};

// Every aperture, size and border rule, each with fresh data.
template <class F>
void sweep(uint64_t seed, F&& check, const std::vector<ImageSize>& sizes = kOddSizes) {
    for (int K : {3, 5})
        for (ImageSize roi : sizes)
            for (int kind : kAllBorders) {
                Case c(roi, K, kind, ++seed);
                SCOPED_TRACE(::testing::Message() << "K=" << K << " border=" << kind << " " << roi.width << "x" << roi.height);
                check(c, K);
                EXPECT_TRUE(c.guardsIntact());
            }
}

// A form's result at (x, y) against the reference sum.
void checkPixel(const Case& c, const Form& f, const std::vector<double>& got, const std::vector<int>& kernel, int K, int x,
                int y) {
    SCOPED_TRACE(::testing::Message() << f.name << " at " << x << "," << y);
    const double result = got[static_cast<std::size_t>(y) * c.roi.width + x];
    const double s = refSum(c.src, kernel, K, x, y, c.border, c.v);
    double want = s;
    if (f.out == Out::F32) want = static_cast<float>(refSum(c.srcF, kernel, K, x, y, c.border, c.v));
    if (f.out == Out::S8)
        want = refClampTrunc(static_cast<float>(static_cast<int16_t>(s)) * (1.0f / static_cast<float>(c.divisor)), -128.0f, 127.0f);
    ASSERT_EQ(result, want);
}

void derivativesMatchTheirKernels(const std::vector<ImageSize>& sizes) {
    uint64_t seed = 0;
    for (const Form& f : derivativeForms())
        sweep(seed += 1000, [&](Case& c, int K) {
            const std::vector<int>& kernel = K == 3 ? kernelsOf(f.op).k3 : kernelsOf(f.op).k5;
            if (kernel.empty()) return;
            ASSERT_TRUE(f.run(c)) << f.name;
            const std::vector<double> got = f.result(c);
            for (int y = 0; y < c.roi.height; ++y)
                for (int x = 0; x < c.roi.width; ++x) ASSERT_NO_FATAL_FAILURE(checkPixel(c, f, got, kernel, K, x, y));
        }, sizes);
}

void lowpassAveragesTheAperture(const std::vector<ImageSize>& sizes) {
    sweep(100, [](Case& c, int K) {
        const Buffer b8 = bufferFor(zaliFilterLowpassGetBufferSize_8u_C1R, c.roi, c.mask);
        const Buffer bF = bufferFor(zaliFilterLowpassGetBufferSize_32f_C1R, c.roi, c.mask);
        ASSERT_EQ(zaliFilterLowpassBorder_8u_C1R(c.src.data(), c.src.step(), c.d8u.data(), c.d8u.step(), c.roi, c.mask, c.border, c.v, b8.p), StatusOk);
        ASSERT_EQ(zaliFilterLowpassBorder_32f_C1R(c.srcF.data(), c.srcF.step(), c.dF.data(), c.dF.step(), c.roi, c.mask, c.border, c.v, bF.p), StatusOk);
        const std::vector<int> box(static_cast<std::size_t>(K * K), 1);
        for (int y = 0; y < c.roi.height; ++y)
            for (int x = 0; x < c.roi.width; ++x) {
                // Fixed-point 1/9 rounds, 1/25 truncates (a constant p gives p - 1).
                const auto sum = static_cast<long long>(refSum(c.src, box, K, x, y, c.border, c.v));
                ASSERT_EQ(c.d8u.at(x, y), K == 3 ? (sum * 7280 + 36400) >> 16 : (sum * 2621) >> 16) << x << "," << y;
                const auto sumF = static_cast<float>(refSum(c.srcF, box, K, x, y, c.border, c.v));
                ASSERT_EQ(c.dF.at(x, y), sumF * (K == 3 ? 0.11111111f : 0.04f)) << x << "," << y;
            }
    }, sizes);
}

TEST(FixedFilters, DerivativesAndLaplacianMatchTheirKernels) { derivativesMatchTheirKernels(kOddSizes); }
TEST(FixedFilters, LowpassAveragesTheAperture) { lowpassAveragesTheAperture(kOddSizes); }

// The row and column routines are compiled per SIMD target: whole vectors and
// tails on every one.
TEST(FixedFilters, EveryTargetMatchesTheKernels) {
    zaltest::forEachSimdTarget([] {
        derivativesMatchTheirKernels(kWideSizes);
        lowpassAveragesTheAperture(kWideSizes);
    });
}

TEST(FixedFilters, ChecksComeInOrder) {
    const ImageSize roi{6, 5};
    GuardedImage<uint8_t> src(6, 5);
    GuardedImage<int16_t> d16(6, 5);
    GuardedImage<int8_t> d8(6, 5);
    Buffer buf(1 << 16);
    auto sobel = [&](int16_t* d, int sstep, int dstep, ImageSize r, int mask, int border) {
        return zaliFilterSobelHorizBorder_8u16s_C1R(src.data(), sstep, d, dstep, r, ApertureSize(mask), BorderKind(border), 0, buf.p);
    };
    EXPECT_EQ(sobel(nullptr, src.step(), d16.step(), ImageSize{0, 5}, 33, 1), StatusNullPointer);
    EXPECT_EQ(sobel(d16.data(), 0, d16.step(), ImageSize{6, 0}, 33, 1), StatusSizeError);
    EXPECT_EQ(sobel(d16.data(), 5, d16.step() + 1, roi, 33, 1), StatusStepError);
    EXPECT_EQ(sobel(d16.data(), src.step(), d16.step() + 1, roi, 35, 9), StatusStepAlignmentError);
    EXPECT_EQ(sobel(d16.data(), src.step(), d16.step(), roi, 35, 7), StatusBadArgument);
    EXPECT_EQ(sobel(d16.data(), src.step(), d16.step(), roi, 35, 1), StatusMaskSizeError);
    // An 8s destination has no alignment rule; a 32f source has one.
    EXPECT_EQ(zaliFilterScharrVertBorder_8u8s_C1R(src.data(), src.step(), d8.data(), d8.step() + 1, roi, BorderWrap, 0, 2, buf.p), StatusOk);
    GuardedImage<float> f(6, 5), fd(6, 5);
    EXPECT_EQ(zaliFilterLowpassBorder_32f_C1R(f.data(), f.step() + 2, fd.data(), fd.step(), roi, Aperture3x3, BorderWrap, 0, buf.p), StatusStepAlignmentError);
    EXPECT_EQ(zaliFilterLaplacianBorder_32f_C1R(f.data(), f.step(), fd.data(), fd.step(), roi, Aperture3x3, BorderWrap, 0, nullptr), StatusNullPointer);
    // A bottom-up (negative) step is shorter than a row.
    EXPECT_EQ(sobel(d16.data(), src.step(), -d16.step(), roi, 33, 1), StatusStepError);
    int size = 0;
    EXPECT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(roi, Aperture5x5, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(ImageSize{0, 5}, ApertureSize(35), &size), StatusSizeError);
    EXPECT_EQ(zaliFilterLaplacianGetBufferSize_8u8s_C1R(roi, ApertureSize(35), &size), StatusMaskSizeError);
}

// Tall and wide enough for the banded path: the border rows in the calling
// thread, the inner rows split over the workers; the same bits every time.
TEST(FixedFilters, ParallelBandsMatchTheReference) {
    const ImageSize roi{260, 400};  // 400 >= 3 * 128
    const std::vector<Form> all = derivativeForms();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Form& f = all[i];
        const Kernels& k = kernelsOf(f.op);
        const int K = k.k5.empty() ? 3 : 5;
        std::vector<double> first;
        for (int threads : {1, 2, 3}) {
            zaltest::ThreadCount scope(threads);
            Case c(roi, K, kAllBorders[i % 5], 99);
            ASSERT_TRUE(f.run(c)) << f.name;
            EXPECT_TRUE(c.guardsIntact());
            const std::vector<double> got = f.result(c);
            if (threads == 1) first = got;
            EXPECT_TRUE(got == first) << f.name << ", " << threads << " threads";
            for (int y : {0, 1, 2, 200, 397, 398, 399})
                for (int x : {0, 1, 130, 258, 259}) ASSERT_NO_FATAL_FAILURE(checkPixel(c, f, got, K == 3 ? k.k3 : k.k5, K, x, y));
        }
    }
}

// Forty workers on a small machine: tall enough (height >= 40 * 128) for the
// banded path with every worker; the single-worker bits.
TEST(FixedFilters, FortyWorkersMatchOneWorker) {
    int kind = 0;
    for (const Form& f : allForms())
        if (f.name == "zaliFilterSobelHorizBorder_8u16s_C1R" || f.name == "zaliFilterLaplacianBorder_8u8s_C1R" ||
            f.name == "zaliFilterLowpassBorder_32f_C1R")
            zaltest::expectSameForWorkers({1, 40}, [&, border = kAllBorders[kind++ % 5]] {
                Case c(ImageSize{256, 5200}, 5, border, 11);
                EXPECT_TRUE(f.run(c) && c.guardsIntact()) << f.name;
                return f.result(c);
            }, f.name);
}

}  // namespace
