// Masked mean, and mean with standard deviation.
#include <cstdlib>

#include "common/simd_targets.h"
#include "stats/exports.h"
#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

enum Member { kMean, kMeanDev, kMaskedMeanDev };

// Every member behind one call, from the export table (coi 0 calls the
// one-channel member).
template <class T>
StatusCode call(Member k, const GuardedImage<T>& img, const Mask& m, int coi, double* mean, double* sd) {
    const T* p = img.data();
    const int ps = img.step(), ms = m.step();
    const ImageSize r = img.roi();
#define MEAN_ROW(name, U, member, threeChannels, ...) \
    if constexpr (std::is_same_v<T, U>)               \
        if (k == member && (coi != 0) == threeChannels) return name(__VA_ARGS__);
#define MEAN_C1M(name, U) MEAN_ROW(name, U, kMean, false, p, ps, m.data(), ms, r, mean)
#define MEAN_C3M(name, U) MEAN_ROW(name, U, kMean, true, p, ps, m.data(), ms, r, coi, mean)
#define DEV_C1(name, U) MEAN_ROW(name, U, kMeanDev, false, p, ps, r, mean, sd)
#define DEV_C3(name, U) MEAN_ROW(name, U, kMeanDev, true, p, ps, r, coi, mean, sd)
#define DEV_C1M(name, U) MEAN_ROW(name, U, kMaskedMeanDev, false, p, ps, m.data(), ms, r, mean, sd)
#define DEV_C3M(name, U) MEAN_ROW(name, U, kMaskedMeanDev, true, p, ps, m.data(), ms, r, coi, mean, sd)
    ZAL_STATS_MEAN_C1M(MEAN_C1M)
    ZAL_STATS_MEAN_C3M(MEAN_C3M)
    ZAL_STATS_MEAN_STDDEV_C1(DEV_C1)
    ZAL_STATS_MEAN_STDDEV_C3(DEV_C3)
    ZAL_STATS_MEAN_STDDEV_C1M(DEV_C1M)
    ZAL_STATS_MEAN_STDDEV_C3M(DEV_C3M)
    std::abort();  // no such member
}

// Reference: a plain raster-order scan with double sums (exact for integer
// data of these sizes); a 32f deviation lost to 0.05 * mean^2 is redone in a
// second pass (bottom-up when asked).
template <class T>
std::pair<double, double> reference(const GuardedImage<T>& img, const Mask* mask, int c, bool bottomUp) {
    const auto selected = [&](int x, int y) { return !mask || mask->at(x, y) != 0; };
    double n = 0, s = 0, q = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (const double v = img.at(x, y, c); selected(x, y)) n += 1, s += v, q += v * v;
    if (n == 0) return {0.0, 0.0};
    const double mean = s / n;
    double dev = std::sqrt(std::fabs(q / n - mean * mean));
    if (std::is_same_v<T, float> && 0.05 * mean * mean > dev * dev) {
        double d = 0.0;
        for (int i = 0; i < img.height(); ++i)
            for (int x = 0, y = bottomUp ? img.height() - 1 - i : i; x < img.width(); ++x)
                if (const double e = img.at(x, y, c) - mean; selected(x, y)) d += e * e;
        dev = std::sqrt(d / n);
    }
    return {mean, dev};
}

STATS_TYPED_SUITE(MeanTyped);

// Every member and channel on every target: random data, constant images at
// the type's maximum and its lowest value (sums that narrow lanes must not
// overflow; 32f: random constants, which take the second deviation pass and
// give an exact zero), then with nothing selected. Odd sizes, rows around
// each vector width, and a row longer than the chunk 32-bit lanes may sum.
TYPED_TEST(MeanTyped, MatchesRawScanOnEveryTarget) {
    using T = TypeParam;
    constexpr bool isFloat = std::is_same_v<T, float>;
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 6}, {9, 1}, {17, 5}, {31, 2}, {32, 2}, {33, 2}, {65, 3}, {100, 2}, {16424, 1}};
    zaltest::forEachSimdTarget([&] {
        for (const auto& [w, h] : sizes) {
            Lcg rng(static_cast<uint64_t>(100 * w + h));
            GuardedImage<T> c1(w, h), c3(w, h, 3);
            Mask mask(w, h);
            randomFill(rng, c1, c3);
            randomMask(mask, rng);
            for (int variant = 0; variant < 4; ++variant) {
                if (variant == 1) setAll(isFloat ? randomValue<T>(rng) : std::numeric_limits<T>::max(), c1, c3);
                if (variant == 2) setAll(isFloat ? randomValue<T>(rng) : std::numeric_limits<T>::lowest(), c1, c3);
                if (variant == 3) setAll(0, mask);
                for (const Member k : {kMean, kMeanDev, kMaskedMeanDev})
                    for (int coi = 0; coi <= 3; ++coi) {
                        const GuardedImage<T>& img = coi ? c3 : c1;
                        double m = -1, sd = -1;
                        ASSERT_EQ(call(k, img, mask, coi, &m, &sd), StatusOk);
                        // The unmasked three-channel deviation pass runs bottom-up.
                        const auto [rm, rd] =
                            reference(img, k == kMeanDev ? nullptr : &mask, coi ? coi - 1 : 0, coi && k == kMeanDev);
                        SCOPED_TRACE(::testing::Message()
                                     << "variant " << variant << " member " << k << " coi " << coi << " " << w << "x" << h);
                        EXPECT_EQ(m, rm);
                        EXPECT_EQ(k == kMean ? rd : sd, rd);
                        EXPECT_TRUE(variant == 0 || k == kMean || sd == 0.0);
                    }
            }
        }
    });
}

TEST(Mean, CheckOrder) {
    GuardedImage<uint16_t> s16(5, 3, 3);
    GuardedImage<float> s32(5, 3);
    GuardedImage<uint8_t> up(5, 3, 1, Layout::BottomUp);
    Mask mask(5, 3);
    const ImageSize roi{5, 3};
    double m = 42.0;
    // Masked 16u: alignment directly after the source length, before the mask.
    EXPECT_EQ(zaliMean_StdDev_16u_C1MR(s16.data(), 11, mask.data(), 4, roi, &m, nullptr), StatusStepAlignmentError);
    // 32f: both lengths first.
    EXPECT_EQ(zaliMean_32f_C1MR(s32.data(), 21, mask.data(), 4, roi, &m), StatusStepError);
    EXPECT_EQ(zaliMean_32f_C1MR(s32.data(), 21, mask.data(), 5, roi, &m), StatusStepAlignmentError);
    // coi after every step test.
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), 31, mask.data(), 5, roi, 4, &m), StatusStepAlignmentError);
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), s16.step(), mask.data(), 5, roi, 4, &m), StatusChannelOfInterestError);
    // Bottom-up (negative step) images are shorter than a row.
    EXPECT_EQ(zaliMean_8u_C1MR(up.data(), up.step(), mask.data(), mask.step(), roi, &m), StatusStepError);
    // The mean and the deviation outputs are each optional.
    EXPECT_EQ(zaliMean_StdDev_8u_C1R(mask.data(), mask.step(), roi, nullptr, nullptr), StatusOk);
}

// Above the thread threshold (396000 >= 3 * 2^17 pixels).
TEST(Mean, ThreadCountIndependent) {
    GuardedImage<uint8_t> img(660, 600);
    GuardedImage<uint16_t> img16(660, 600);
    Mask mask(660, 600);
    Lcg rng(7);
    randomFill(rng, img, img16);
    randomMask(mask, rng);
    const auto base = zaltest::expectSameForWorkers({1, 2, 3}, [&] {
        double m = 0, m16 = 0, sd16 = 0;
        EXPECT_EQ(call(kMean, img, mask, 0, &m, nullptr), StatusOk);
        EXPECT_EQ(call(kMeanDev, img16, mask, 0, &m16, &sd16), StatusOk);
        return std::vector<double>{m, m16, sd16};
    });
    EXPECT_EQ(base[0], reference(img, &mask, 0, false).first);
    EXPECT_EQ(base[2], reference(img16, nullptr, 0, false).second);
}

}  // namespace
