// Masked mean, and mean with standard deviation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

// Every member behind one signature (coi 0 calls the one-channel member):
// [0] masked mean, [1] mean/deviation, [2] masked mean/deviation.
template <class T>
using MeanCall = StatusCode (*)(const T*, int, const uint8_t*, int, ImageSize, int, double*, double*);
#define MEAN_TABLE(t, T)                                                                                       \
    template <>                                                                                                \
    struct Table<T> {                                                                                          \
        static constexpr MeanCall<T> fns[3] = {                                                                \
            [](const T* p, int ps, const uint8_t* m, int ms, ImageSize r, int coi, double* mean, double*) {    \
                return coi ? zaliMean_##t##_C3CMR(p, ps, m, ms, r, coi, mean)                                  \
                           : zaliMean_##t##_C1MR(p, ps, m, ms, r, mean);                                       \
            },                                                                                                 \
            [](const T* p, int ps, const uint8_t*, int, ImageSize r, int coi, double* mean, double* sd) {      \
                return coi ? zaliMean_StdDev_##t##_C3CR(p, ps, r, coi, mean, sd)                               \
                           : zaliMean_StdDev_##t##_C1R(p, ps, r, mean, sd);                                    \
            },                                                                                                 \
            [](const T* p, int ps, const uint8_t* m, int ms, ImageSize r, int coi, double* mean, double* sd) { \
                return coi ? zaliMean_StdDev_##t##_C3CMR(p, ps, m, ms, r, coi, mean, sd)                       \
                           : zaliMean_StdDev_##t##_C1MR(p, ps, m, ms, r, mean, sd);                            \
            }};                                                                                                \
    };
template <class T>
struct Table;
MEAN_TABLE(8u, uint8_t)
MEAN_TABLE(8s, int8_t)
MEAN_TABLE(16u, uint16_t)
MEAN_TABLE(32f, float)

// Reference: a plain raster-order scan. Integer sums in 64-bit integers, 32f
// sums as running doubles, exactly as documented.
template <class T>
struct Reference {
    double mean = 0.0, dev = 0.0;
};

template <class T>
Reference<T> reference(const GuardedImage<T>& img, const GuardedImage<uint8_t>* mask, int c, bool reverseSecondPass) {
    constexpr bool isFloat = std::is_same_v<T, float>;
    long long n = 0, si = 0;
    unsigned long long qi = 0;
    double sf = 0.0, qf = 0.0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (mask && mask->at(x, y) == 0) continue;
            const T v = img.at(x, y, c);
            ++n;
            si += static_cast<long long>(v);
            qi += static_cast<unsigned long long>(static_cast<long long>(v) * static_cast<long long>(v));
            sf += static_cast<double>(v);
            qf += static_cast<double>(v) * static_cast<double>(v);
        }
    Reference<T> r;
    if (n == 0) return r;
    const double s = isFloat ? sf : static_cast<double>(si), q = isFloat ? qf : static_cast<double>(qi);
    r.mean = s / static_cast<double>(n);
    r.dev = std::sqrt(std::fabs(q / static_cast<double>(n) - r.mean * r.mean));
    if (isFloat && 0.05 * r.mean * r.mean > r.dev * r.dev) {
        double d = 0.0;
        for (int i = 0; i < img.height(); ++i) {
            const int y = reverseSecondPass ? img.height() - 1 - i : i;
            for (int x = 0; x < img.width(); ++x) {
                if (mask && mask->at(x, y) == 0) continue;
                const double e = static_cast<double>(img.at(x, y, c)) - r.mean;
                d += e * e;
            }
        }
        r.dev = std::sqrt(d / static_cast<double>(n));
    }
    return r;
}

template <class T>
class MeanTyped : public ::testing::Test {};
TYPED_TEST_SUITE(MeanTyped, SourceTypes);

TYPED_TEST(MeanTyped, MatchesRawScanEveryLayout) {
    using T = TypeParam;
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{9, 1}, std::pair{17, 5}}) {
        Lcg rng(static_cast<uint64_t>(100 * w + h));
        GuardedImage<T> c1(w, h), c3(w, h, 3);
        GuardedImage<uint8_t> mask(w, h);
        randomFill(c1, rng);
        randomFill(c3, rng);
        randomMask(mask, rng);
        for (int member = 0; member < 3; ++member)
            for (int coi = 0; coi <= 3; ++coi) {
                const GuardedImage<T>& img = coi ? c3 : c1;
                const bool masked = member != 1;
                double m = -1, sd = -1;
                ASSERT_EQ(
                    Table<T>::fns[member](img.data(), img.step(), mask.data(), mask.step(), img.roi(), coi, &m, &sd),
                    StatusOk);
                // The unmasked three-channel deviation pass runs bottom-up.
                const Reference<T> r = reference(img, masked ? &mask : nullptr, coi ? coi - 1 : 0, coi && !masked);
                SCOPED_TRACE(::testing::Message() << "member " << member << " coi " << coi << " " << w << "x" << h);
                EXPECT_EQ(m, r.mean);
                if (member != 0) {
                    EXPECT_EQ(sd, r.dev);
                }
            }
    }
}

TYPED_TEST(MeanTyped, EmptySelectionGivesZeros) {
    using T = TypeParam;
    GuardedImage<T> img(6, 3);
    img.fill([](int x, int y, int) { return static_cast<T>(x + y + 1); });
    GuardedImage<uint8_t> mask(6, 3);  // all zero
    for (const int member : {0, 2}) {
        double m = -1, sd = -1;
        ASSERT_EQ(Table<T>::fns[member](img.data(), img.step(), mask.data(), mask.step(), img.roi(), 0, &m, &sd),
                  StatusOk);
        EXPECT_EQ(m, 0.0);
        if (member == 2) {
            EXPECT_EQ(sd, 0.0);
        }
    }
}

TEST(MeanStdDev, ConstantImagesAndOptionalOutputs) {
    // 32f: the one-pass variance loses to 0.05 * mean^2 and the second pass
    // gives an exact zero, also for values inexact in binary.
    GuardedImage<float> f(13, 5);
    double m = 0, sd = -1;
    for (const float v : {3.0f, 1000.1f}) {
        f.fill([v](int, int, int) { return v; });
        ASSERT_EQ(zaliMean_StdDev_32f_C1R(f.data(), f.step(), f.roi(), &m, &sd), StatusOk);
        EXPECT_EQ(m, static_cast<double>(v));
        EXPECT_EQ(sd, 0.0);
        ASSERT_EQ(zaliMean_StdDev_32f_C3CR(f.data(), f.step(), ImageSize{4, 5}, 2, &m, &sd), StatusOk);
        EXPECT_EQ(sd, 0.0);
    }
    // Either output may be null.
    GuardedImage<int8_t> img(5, 2);
    img.fill([](int x, int, int) { return x * 2 - 4; });  // -4 -2 0 2 4
    EXPECT_EQ(zaliMean_StdDev_8s_C1R(img.data(), img.step(), img.roi(), nullptr, nullptr), StatusOk);
    EXPECT_EQ(zaliMean_StdDev_8s_C1R(img.data(), img.step(), img.roi(), nullptr, &sd), StatusOk);
    EXPECT_EQ(sd, std::sqrt(8.0));
}

TEST(Mean, CheckOrder) {
    GuardedImage<uint16_t> s16(5, 3, 3);
    GuardedImage<float> s32(5, 3);
    GuardedImage<uint8_t> mask(5, 3);
    const ImageSize roi{5, 3};
    double m = 42.0;
    // Null before size, size before steps.
    EXPECT_EQ(zaliMean_16u_C1MR(s16.data(), 1, mask.data(), 1, roi, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMean_16u_C1MR(s16.data(), 1, mask.data(), 1, ImageSize{5, 0}, &m), StatusSizeError);
    // Masked 16u: alignment directly after the source length, before the mask.
    EXPECT_EQ(zaliMean_16u_C1MR(s16.data(), 11, mask.data(), 4, roi, &m), StatusStepAlignmentError);
    EXPECT_EQ(zaliMean_StdDev_16u_C1MR(s16.data(), 11, mask.data(), 4, roi, &m, nullptr), StatusStepAlignmentError);
    // 32f: both lengths first.
    EXPECT_EQ(zaliMean_32f_C1MR(s32.data(), 21, mask.data(), 4, roi, &m), StatusStepError);
    EXPECT_EQ(zaliMean_32f_C1MR(s32.data(), 21, mask.data(), 5, roi, &m), StatusStepAlignmentError);
    // coi after every step test.
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), s16.step(), mask.data(), 4, roi, 0, &m), StatusStepError);
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), 29, mask.data(), 5, roi, 4, &m), StatusStepError);
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), 31, mask.data(), 5, roi, 4, &m), StatusStepAlignmentError);
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), s16.step(), mask.data(), 5, roi, 4, &m), StatusChannelOfInterestError);
    EXPECT_EQ(zaliMean_StdDev_16u_C3CR(s16.data(), s16.step(), roi, 0, &m, &m), StatusChannelOfInterestError);
    // Bottom-up (negative step) images are shorter than a row.
    GuardedImage<uint8_t> up(5, 3, 1, Layout::BottomUp);
    EXPECT_EQ(zaliMean_8u_C1MR(up.data(), up.step(), mask.data(), mask.step(), roi, &m), StatusStepError);
    EXPECT_EQ(zaliMean_StdDev_8u_C1R(nullptr, 5, roi, &m, &m), StatusNullPointer);
    EXPECT_EQ(m, 42.0);
}

// Above the thread threshold: integer results identical with 1, 2 and 3
// workers, including a run with fewer rows than workers.
TEST(Mean, ThreadCountIndependent) {
    const int w = 660, h = 600;  // 396000 >= 3 * 2^17
    GuardedImage<uint8_t> img(w, h), mask(w, h);
    GuardedImage<uint16_t> img16(w, h);
    Lcg rng(7);
    randomFill(img, rng);
    randomFill(img16, rng);
    randomMask(mask, rng);
    double base[3] = {0, 0, 0};
    for (int n = 1; n <= 3; ++n) {
        zaltest::ThreadCount scope(n);
        double m = 0, m16 = 0, sd16 = 0;
        ASSERT_EQ(zaliMean_8u_C1MR(img.data(), img.step(), mask.data(), mask.step(), img.roi(), &m), StatusOk);
        ASSERT_EQ(zaliMean_StdDev_16u_C1R(img16.data(), img16.step(), img16.roi(), &m16, &sd16), StatusOk);
        if (n == 1) {
            base[0] = m;
            base[1] = m16;
            base[2] = sd16;
            EXPECT_EQ(m, reference(img, &mask, 0, false).mean);
            EXPECT_EQ(sd16, reference(img16, nullptr, 0, false).dev);
        }
        EXPECT_EQ(m, base[0]) << n << " threads";
        EXPECT_EQ(m16, base[1]) << n << " threads";
        EXPECT_EQ(sd16, base[2]) << n << " threads";
    }
}

}  // namespace
