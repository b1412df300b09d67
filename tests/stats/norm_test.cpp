// Masked norms of one image, of a difference and relative.
#include <algorithm>
#include <cstdlib>

#include "common/simd_targets.h"
#include "stats/exports.h"
#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

enum Op { kImage, kDiff, kRel };
enum Kind { kInf, kL1, kL2 };

// Every member behind one call, from the export table: coi 0 calls the C1MR
// member.
template <class T>
StatusCode call(Op op, Kind kind, const GuardedImage<T>& a, const GuardedImage<T>& b, const Mask& m, int coi,
                double* v) {
    const T *pa = a.data(), *pb = b.data();
    const int as = a.step(), bs = b.step(), ms = m.step();
    const ImageSize r = a.roi();
#define NORM_ROW(name, K, U, member, threeChannels, ...) \
    if constexpr (std::is_same_v<T, U>)                  \
        if (op == member && kind == k##K && (coi != 0) == threeChannels) return name(__VA_ARGS__);
#define NORM_C1(name, K, U, gate) NORM_ROW(name, K, U, kImage, false, pa, as, m.data(), ms, r, v)
#define NORM_C3(name, K, U, gate) NORM_ROW(name, K, U, kImage, true, pa, as, m.data(), ms, r, coi, v)
#define DIFF_C1(name, K, U, gate) NORM_ROW(name, K, U, kDiff, false, pa, as, pb, bs, m.data(), ms, r, v)
#define DIFF_C3(name, K, U, gate) NORM_ROW(name, K, U, kDiff, true, pa, as, pb, bs, m.data(), ms, r, coi, v)
#define REL_C1(name, K, U, gate) NORM_ROW(name, K, U, kRel, false, pa, as, pb, bs, m.data(), ms, r, v)
#define REL_C3(name, K, U, gate) NORM_ROW(name, K, U, kRel, true, pa, as, pb, bs, m.data(), ms, r, coi, v)
    ZAL_STATS_NORM_C1(NORM_C1)
    ZAL_STATS_NORM_C3(NORM_C3)
    ZAL_STATS_NORM_DIFF_C1(DIFF_C1)
    ZAL_STATS_NORM_DIFF_C3(DIFF_C3)
    ZAL_STATS_NORM_REL_C1(REL_C1)
    ZAL_STATS_NORM_REL_C3(REL_C3)
    std::abort();  // no such member
}

using Expected = std::pair<double, StatusCode>;

// Reference arithmetic in raster order over the selected
// pixels: integer differences are exact, 32f ones rounded to float, sums in
// double (exact for integer data of these sizes). The one-channel 32f relative
// L2 adds its terms in groups of four per row.
template <class T>
Expected reference(Op op, Kind kind, const GuardedImage<T>& a, const GuardedImage<T>& b, const Mask& mask, int c,
                   bool oneChannel) {
    constexpr bool isFloat = std::is_same_v<T, float>;
    const bool groups = isFloat && op == kRel && kind == kL2 && oneChannel;
    double num = 0, den = 0;
    for (int y = 0; y < a.height(); ++y) {
        double gNum = 0, gDen = 0;
        for (int x = 0; x < a.width(); ++x) {
            const T va = a.at(x, y, c), vb = b.at(x, y, c);
            const double d = std::fabs(static_cast<double>(op == kImage ? va : va - vb));
            const double e = std::fabs(static_cast<double>(vb));
            double tn = 0, td = 0;
            if (mask.at(x, y) != 0) {
                if (kind == kInf) num = std::max(num, d), den = std::max(den, e);
                if (kind == kL1) tn = d, td = e;
                // A 32f square of one image is a float product.
                if (kind == kL2) tn = isFloat && op == kImage ? static_cast<double>(va * va) : d * d, td = e * e;
            }
            if (!groups || x >= a.width() - a.width() % 4)
                num += tn, den += td;
            else if (gNum += tn, gDen += td; x % 4 == 3)
                num += gNum, den += gDen, gNum = 0, gDen = 0;
        }
    }
    if (op != kRel) return {kind == kL2 ? std::sqrt(num) : num, StatusOk};
    if (den == 0) return {num == 0 ? std::numeric_limits<double>::quiet_NaN() : HUGE_VAL, StatusDivisionByZero};
    return {kind == kL2 ? std::sqrt(num / den) : num / den, StatusOk};
}

STATS_TYPED_SUITE(NormTyped);

// Every member and channel on random data, then with nothing selected (0, or
// NaN with the warning when relative), then over a zero second image
// (+infinity with the warning when relative).
TYPED_TEST(NormTyped, EveryMemberMatchesReference) {
    using T = TypeParam;
    for (const auto& [w, h] : kSizes) {
        Lcg rng(static_cast<uint64_t>(w * 13 + h));
        GuardedImage<T> a1(w, h), b1(w, h), a3(w, h, 3), b3(w, h, 3);
        Mask mask(w, h);
        randomFill(rng, a1, b1, a3, b3);
        randomMask(mask, rng);
        for (int variant = 0; variant < 3; ++variant) {
            if (variant == 1) setAll(0, mask);
            if (variant == 2) setAll(1, mask), setAll(0, b1, b3);
            for (const Op op : {kImage, kDiff, kRel})
                for (const Kind kind : {kInf, kL1, kL2})
                    for (int coi = 0; coi <= 3; ++coi) {
                        const GuardedImage<T>& a = coi == 0 ? a1 : a3;
                        const GuardedImage<T>& b = coi == 0 ? b1 : b3;
                        double v = -1;
                        const StatusCode st = call(op, kind, a, b, mask, coi, &v);
                        const Expected e = reference(op, kind, a, b, mask, coi == 0 ? 0 : coi - 1, coi == 0);
                        SCOPED_TRACE(::testing::Message() << "variant " << variant << " op " << op << " kind " << kind
                                                          << " coi " << coi << " " << w << "x" << h);
                        EXPECT_EQ(st, e.second);
                        EXPECT_TRUE(std::isnan(e.first) ? std::isnan(v) : v == e.first) << v << " vs " << e.first;
                    }
        }
    }
}

// 32f L1 and L2 sums on every compiled target, always as if added in raster
// order: integer rows (which the kernels may sum in vectors), fractional
// rows, rows of both kinds, and rows whose sums reach 2^52 after a
// fractional one, where the order of the additions shows in the result.
TEST(Norm, FloatSumsInRasterOrderOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        const int w = 40, h = 6;
        Lcg rng(5);
        GuardedImage<float> a(w, h), b(w, h);
        Mask mask(w, h);
        const auto all = constant<uint8_t>(w, h, 1);
        randomMask(mask, rng);
        for (int variant = 0; variant < 4; ++variant) {
            const auto integer = [&](int, int, int) { return static_cast<float>(rng.uniform(-300, 300)); };
            if (variant == 0) a.fill(integer), b.fill(integer);
            if (variant == 1) randomFill(rng, a, b);
            if (variant == 2) a.fill([&](int x, int y, int) { return y % 2 ? integer(x, y, 0) : rng.uniformf(-9, 9); });
            if (variant == 3) {
                // Raster order: 0.5 + 2^51 + 2^51 rounds to 2^52 before the 1 is added.
                setAll(0.0f, a);
                setAll(1.0f, b);
                a.at(7, 0) = 0.5f;
                a.at(3, 1) = a.at(30, 1) = 2251799813685248.0f;
                a.at(39, 1) = 1.0f;
            }
            for (const Mask* m : std::initializer_list<const Mask*>{&all, &mask})
                for (const Op op : {kImage, kDiff, kRel})
                    for (const Kind kind : {kL1, kL2}) {
                        double v = -1;
                        const StatusCode st = call(op, kind, a, b, *m, 0, &v);
                        const Expected e = reference(op, kind, a, b, *m, 0, true);
                        EXPECT_EQ(st, e.second);
                        EXPECT_EQ(v, e.first) << "variant " << variant << " op " << op << " kind " << kind;
                    }
        }
    });
}

// The one-channel integer members on every compiled target: random rows
// with lane tails, and extreme rows longer than one chunk of 32-bit sums.
TYPED_TEST(NormTyped, IntegerRowsOnEveryTarget) {
    using T = TypeParam;
    if constexpr (!std::is_same_v<T, float>) {
        zaltest::forEachSimdTarget([] {
            Lcg rng(3);
            for (const int w : {9, 40, 40000}) {
                const int h = w > 100 ? 1 : 3;
                GuardedImage<T> a(w, h), b(w, h);
                Mask mask(w, h);
                randomFill(rng, a, b);
                randomMask(mask, rng);
                if (w > 100) setAll(std::numeric_limits<T>::max(), a), setAll(std::numeric_limits<T>::min(), b);
                if (w > 100) setAll(1, mask);
                for (const Op op : {kImage, kDiff, kRel})
                    for (const Kind kind : {kInf, kL1, kL2}) {
                        double v = -1;
                        const StatusCode st = call(op, kind, a, b, mask, 0, &v);
                        const Expected e = reference(op, kind, a, b, mask, 0, true);
                        EXPECT_EQ(st, e.second);
                        EXPECT_EQ(v, e.first) << w << " " << op << " " << kind;
                    }
            }
        });
    }
}

// |-128| and 127 - (-128) do not fit the 8s type.
TEST(Norm, SignedExtremes) {
    const auto lo = constant<int8_t>(2, 2, -128), hi = constant<int8_t>(2, 2, 127);
    const auto all = constant<uint8_t>(2, 2, 255);
    double v = 0;
    EXPECT_EQ((call(kDiff, kInf, lo, hi, all, 0, &v), v), 255.0);
    EXPECT_EQ((call(kImage, kL1, lo, lo, all, 0, &v), v), 512.0);
}

TEST(Norm, CheckOrder) {
    GuardedImage<uint16_t> a(4, 2, 3);
    Mask mask(4, 2);
    const ImageSize roi{4, 2};
    double v = 42;
    // Lengths (sources, mask), then the alignment, then coi.
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 25, a.data(), 23, mask.data(), 4, roi, 9, &v), StatusStepError);
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 24, a.data(), 25, mask.data(), 4, roi, 9, &v), StatusStepAlignmentError);
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 24, a.data(), 24, mask.data(), 4, roi, 0, &v), StatusChannelOfInterestError);
}

// Above each member's gate: 8u Inf at 1576380 >= 3 * 2^19 pixels with the
// maximum in the last band, 16u at 420000 >= 3 * 2^17.
TEST(Norm, ThreadCountIndependent) {
    const int w = 1290, h = 1222;
    GuardedImage<uint8_t> a(w, h, 1, Layout::TopDown, 0, 0);
    Mask mask(w, h, 1, Layout::TopDown, 0, 0);
    Lcg rng(11);
    a.fill([&](int, int, int) { return rng.uniform(0, 250); });
    a.at(w - 3, h - 2) = 251;
    randomMask(mask, rng);
    mask.at(w - 3, h - 2) = 1;
    GuardedImage<uint16_t> p(700, 600), q(700, 600);
    randomFill(rng, p, q);
    const auto base = zaltest::expectSameForWorkers({1, 2, 3}, [&] {
        std::vector<double> v(3);
        EXPECT_EQ(call(kImage, kInf, a, a, mask, 0, &v[0]), StatusOk);
        EXPECT_EQ(call(kDiff, kL1, p, q, mask, 0, &v[1]), StatusOk);
        EXPECT_EQ(call(kRel, kL2, p, q, mask, 0, &v[2]), StatusOk);
        return v;
    });
    EXPECT_EQ(base[0], 251.0);
    EXPECT_EQ(base[1], reference(kDiff, kL1, p, q, mask, 0, true).first);
    EXPECT_EQ(base[2], reference(kRel, kL2, p, q, mask, 0, true).first);
}

}  // namespace
