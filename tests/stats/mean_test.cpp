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

// Every member and channel on random data, on a constant image (32f takes the
// second deviation pass, which gives an exact zero), and with nothing selected.
TYPED_TEST(MeanTyped, MatchesRawScan) {
    using T = TypeParam;
    for (const auto& [w, h] : kSizes) {
        Lcg rng(static_cast<uint64_t>(100 * w + h));
        GuardedImage<T> c1(w, h), c3(w, h, 3);
        Mask mask(w, h);
        randomFill(rng, c1, c3);
        randomMask(mask, rng);
        for (int variant = 0; variant < 3; ++variant) {
            if (variant == 1) setAll(randomValue<T>(rng), c1, c3);
            if (variant == 2) setAll(0, mask);
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
                    EXPECT_TRUE(variant != 1 || k == kMean || sd == 0.0);
                }
        }
    }
}

// The vector kernels on every compiled target: one-channel rows around each
// vector width, random and extreme values, and a row longer than the chunk
// that 32-bit lanes may sum.
TYPED_TEST(MeanTyped, EveryTargetAndRowTail) {
    using T = TypeParam;
    zaltest::forEachSimdTarget([] {
        for (const auto& [w, h] : {std::pair{1, 2}, std::pair{31, 2}, std::pair{32, 2}, std::pair{33, 2},
                                   std::pair{65, 3}, std::pair{100, 2}, std::pair{16424, 1}}) {
            Lcg rng(static_cast<uint64_t>(w));
            GuardedImage<T> img(w, h);
            Mask mask(w, h);
            randomMask(mask, rng);
            for (int variant = 0; variant < 3; ++variant) {
                if (variant == 0) randomFill(rng, img);
                if (variant == 1) setAll(std::numeric_limits<T>::max(), img);
                if (variant == 2) setAll(std::numeric_limits<T>::lowest(), img);
                if (std::is_same_v<T, float> && variant != 0) continue;  // extreme squares overflow
                for (const Member k : {kMean, kMeanDev, kMaskedMeanDev}) {
                    double m = -1, sd = -1;
                    ASSERT_EQ(call(k, img, mask, 0, &m, &sd), StatusOk);
                    const auto [rm, rd] = reference(img, k == kMeanDev ? nullptr : &mask, 0, false);
                    EXPECT_EQ(m, rm) << w << "x" << h << " variant " << variant << " member " << k;
                    if (k != kMean) {
                        EXPECT_EQ(sd, rd) << w << "x" << h << " variant " << variant << " member " << k;
                    }
                }
            }
        }
    });
}

TEST(Mean, CheckOrder) {
    GuardedImage<uint16_t> s16(5, 3, 3);
    GuardedImage<float> s32(5, 3);
    Mask mask(5, 3);
    const ImageSize roi{5, 3};
    double m = 42.0;
    // Null before size, size before steps.
    EXPECT_EQ(zaliMean_16u_C1MR(s16.data(), 1, mask.data(), 1, roi, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMean_16u_C1MR(s16.data(), 1, mask.data(), 1, ImageSize{5, 0}, &m), StatusSizeError);
    // Masked 16u: alignment directly after the source length, before the mask.
    EXPECT_EQ(zaliMean_StdDev_16u_C1MR(s16.data(), 11, mask.data(), 4, roi, &m, nullptr), StatusStepAlignmentError);
    // 32f: both lengths first.
    EXPECT_EQ(zaliMean_32f_C1MR(s32.data(), 21, mask.data(), 4, roi, &m), StatusStepError);
    EXPECT_EQ(zaliMean_32f_C1MR(s32.data(), 21, mask.data(), 5, roi, &m), StatusStepAlignmentError);
    // coi after every step test.
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), 31, mask.data(), 5, roi, 4, &m), StatusStepAlignmentError);
    EXPECT_EQ(zaliMean_16u_C3CMR(s16.data(), s16.step(), mask.data(), 5, roi, 4, &m), StatusChannelOfInterestError);
    // Bottom-up (negative step) images are shorter than a row.
    GuardedImage<uint8_t> up(5, 3, 1, Layout::BottomUp);
    EXPECT_EQ(zaliMean_8u_C1MR(up.data(), up.step(), mask.data(), mask.step(), roi, &m), StatusStepError);
    EXPECT_EQ(m, 42.0);
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
    const auto base = expectThreadIndependent([&] {
        double m = 0, m16 = 0, sd16 = 0;
        EXPECT_EQ(call(kMean, img, mask, 0, &m, nullptr), StatusOk);
        EXPECT_EQ(call(kMeanDev, img16, mask, 0, &m16, &sd16), StatusOk);
        return std::vector<double>{m, m16, sd16};
    });
    EXPECT_EQ(base[0], reference(img, &mask, 0, false).first);
    EXPECT_EQ(base[2], reference(img16, nullptr, 0, false).second);
}

}  // namespace
