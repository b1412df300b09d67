// Masked norms of one image, of a difference and relative.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "stats/stats_test_util.h"
#include "zalcv.h"

namespace {

using namespace statstest;

// Every member behind one signature: coi 0 calls the C1MR member.
template <class T>
using Call = StatusCode (*)(const T*, int, const T*, int, const uint8_t*, int, ImageSize, int, double*);

#define NORM_ONE(K, t, T)                                                                                    \
    [](const T* a, int as, const T*, int, const uint8_t* m, int ms, ImageSize r, int coi, double* v) {       \
        return coi == 0 ? zaliNorm_##K##_##t##_C1MR(a, as, m, ms, r, v)                                      \
                        : zaliNorm_##K##_##t##_C3CMR(a, as, m, ms, r, coi, v);                               \
    }
#define NORM_TWO(Op, K, t, T)                                                                                \
    [](const T* a, int as, const T* b, int bs, const uint8_t* m, int ms, ImageSize r, int coi, double* v) {  \
        return coi == 0 ? zaliNorm##Op##_##K##_##t##_C1MR(a, as, b, bs, m, ms, r, v)                         \
                        : zaliNorm##Op##_##K##_##t##_C3CMR(a, as, b, bs, m, ms, r, coi, v);                  \
    }
#define NORM_TABLE(t, T)                                                                                     \
    template <>                                                                                              \
    struct Table<T> {                                                                                        \
        static constexpr Call<T> fns[3][3] = {                                                               \
            {NORM_ONE(Inf, t, T), NORM_ONE(L1, t, T), NORM_ONE(L2, t, T)},                                   \
            {NORM_TWO(Diff, Inf, t, T), NORM_TWO(Diff, L1, t, T), NORM_TWO(Diff, L2, t, T)},                 \
            {NORM_TWO(Rel, Inf, t, T), NORM_TWO(Rel, L1, t, T), NORM_TWO(Rel, L2, t, T)}};                   \
    };

template <class T>
struct Table;
NORM_TABLE(8u, uint8_t)
NORM_TABLE(8s, int8_t)
NORM_TABLE(16u, uint16_t)
NORM_TABLE(32f, float)

enum { kImage = 0, kDiff = 1, kRel = 2 };
enum { kInf = 0, kL1 = 1, kL2 = 2 };

struct Expected {
    double value;
    StatusCode status;
};

float magnitude(float v) { return std::bit_cast<float>(std::bit_cast<uint32_t>(v) & 0x7fffffffu); }

// Reference written from the documented arithmetic: exact integers, or the
// float/double steps of 32f, in raster order over the selected pixels. The
// one-channel 32f relative L2 adds its terms in groups of four per row.
template <class T>
Expected reference(int op, int kind, const GuardedImage<T>& a, const GuardedImage<T>& b,
                   const GuardedImage<uint8_t>& mask, int c, bool oneChannel) {
    double num = 0, den = 0;
    if constexpr (std::is_same_v<T, float>) {
        float maxNum = 0, maxDen = 0;
        const bool groups = op == kRel && kind == kL2 && oneChannel;
        for (int y = 0; y < a.height(); ++y) {
            double gNum = 0, gDen = 0;
            for (int x = 0; x < a.width(); ++x) {
                const bool sel = mask.at(x, y) != 0;
                const float va = a.at(x, y, c), vb = b.at(x, y, c);
                const float d = op == kImage ? va : va - vb;
                double tn = 0, td = 0;
                if (sel) {
                    if (kind == kInf) maxNum = std::max(maxNum, magnitude(d)), maxDen = std::max(maxDen, magnitude(vb));
                    if (kind == kL1) tn = magnitude(d), td = magnitude(vb);
                    if (kind == kL2) {
                        tn = op == kImage ? static_cast<double>(va * va) : static_cast<double>(d) * d;
                        td = static_cast<double>(vb) * vb;
                    }
                }
                const bool inGroup = groups && x < a.width() - a.width() % 4;
                if (inGroup) {
                    gNum += tn, gDen += td;
                    if (x % 4 == 3) num += gNum, den += gDen, gNum = 0, gDen = 0;
                } else {
                    num += tn, den += td;
                }
            }
        }
        if (kind == kInf) num = maxNum, den = maxDen;
    } else {
        long long n = 0, d = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                if (mask.at(x, y) == 0) continue;
                const long long va = a.at(x, y, c), vb = b.at(x, y, c);
                const long long tn = std::llabs(op == kImage ? va : va - vb), td = std::llabs(vb);
                if (kind == kInf) n = std::max(n, tn), d = std::max(d, td);
                if (kind == kL1) n += tn, d += td;
                if (kind == kL2) n += tn * tn, d += td * td;
            }
        num = static_cast<double>(n);
        den = static_cast<double>(d);
    }
    if (op != kRel) return {kind == kL2 ? std::sqrt(num) : num, StatusOk};
    if (den == 0) return {num == 0 ? std::numeric_limits<double>::quiet_NaN() : HUGE_VAL, StatusDivisionByZero};
    return {kind == kL2 ? std::sqrt(num / den) : num / den, StatusOk};
}

void expectSame(double got, double want, const char* what) {
    if (std::isnan(want)) EXPECT_TRUE(std::isnan(got)) << what;
    else EXPECT_EQ(got, want) << what;
}

template <class T>
class NormTyped : public ::testing::Test {};
TYPED_TEST_SUITE(NormTyped, SourceTypes);

TYPED_TEST(NormTyped, EveryMemberMatchesReference) {
    using T = TypeParam;
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 5}, std::pair{11, 1}, std::pair{23, 6}}) {
        Lcg rng(static_cast<uint64_t>(w * 13 + h));
        GuardedImage<T> a1(w, h), b1(w, h), a3(w, h, 3), b3(w, h, 3);
        GuardedImage<uint8_t> mask(w, h);
        for (auto* img : {&a1, &b1, &a3, &b3}) randomFill(*img, rng);
        randomMask(mask, rng);
        for (int op = 0; op < 3; ++op)
            for (int kind = 0; kind < 3; ++kind)
                for (int coi = 0; coi <= 3; ++coi) {
                    const GuardedImage<T>& a = coi == 0 ? a1 : a3;
                    const GuardedImage<T>& b = coi == 0 ? b1 : b3;
                    double v = -1;
                    const StatusCode st = Table<T>::fns[op][kind](a.data(), a.step(), b.data(), b.step(), mask.data(),
                                                                  mask.step(), a.roi(), coi, &v);
                    const Expected e = reference(op, kind, a, b, mask, coi == 0 ? 0 : coi - 1, coi == 0);
                    SCOPED_TRACE(::testing::Message() << "op " << op << " kind " << kind << " coi " << coi << " "
                                                      << w << "x" << h);
                    EXPECT_EQ(st, e.status);
                    expectSame(v, e.value, "value");
                }
    }
}

TYPED_TEST(NormTyped, EmptySelectionAndZeroDenominator) {
    using T = TypeParam;
    GuardedImage<T> a(5, 3), b(5, 3);
    GuardedImage<uint8_t> mask(5, 3);  // nothing selected
    a.fill([](int x, int, int) { return static_cast<T>(x + 1); });
    for (int op = 0; op < 3; ++op)
        for (int kind = 0; kind < 3; ++kind) {
            double v = -1;
            const StatusCode st = Table<T>::fns[op][kind](a.data(), a.step(), a.data(), a.step(), mask.data(),
                                                          mask.step(), a.roi(), 0, &v);
            if (op == kRel) {
                // 0 / 0: NaN with the warning.
                EXPECT_EQ(st, StatusDivisionByZero);
                EXPECT_TRUE(std::isnan(v));
            } else {
                EXPECT_EQ(st, StatusOk);
                EXPECT_EQ(v, 0.0);
            }
        }
    // Non-zero numerator over a zero second image: +infinity with the warning.
    mask.fill([](int, int, int) { return 1; });
    for (int kind = 0; kind < 3; ++kind) {
        double v = 0;
        EXPECT_EQ(Table<T>::fns[kRel][kind](a.data(), a.step(), b.data(), b.step(), mask.data(), mask.step(), a.roi(),
                                            0, &v),
                  StatusDivisionByZero);
        EXPECT_EQ(v, std::numeric_limits<double>::infinity());
    }
}

TEST(Norm, DocumentedValues) {
    GuardedImage<int8_t> lo(2, 2), hi(2, 2);
    GuardedImage<uint8_t> all(4, 3);
    all.fill([](int, int, int) { return 255; });
    lo.fill([](int, int, int) { return -128; });
    hi.fill([](int, int, int) { return 127; });
    double v = 0;
    ASSERT_EQ(zaliNormDiff_Inf_8s_C1MR(lo.data(), lo.step(), hi.data(), hi.step(), all.data(), all.step(), lo.roi(),
                                       &v),
              StatusOk);
    EXPECT_EQ(v, 255.0);
    ASSERT_EQ(zaliNorm_Inf_8s_C1MR(lo.data(), lo.step(), all.data(), all.step(), lo.roi(), &v), StatusOk);
    EXPECT_EQ(v, 128.0);

    GuardedImage<uint8_t> twos(3, 4);
    twos.fill([](int, int, int) { return 2; });
    ASSERT_EQ(zaliNorm_L2_8u_C1MR(twos.data(), twos.step(), all.data(), all.step(), twos.roi(), &v), StatusOk);
    EXPECT_EQ(v, std::sqrt(48.0));

    // Relative L2 is the square root of the ratio of the sums.
    GuardedImage<float> x(6, 2), x2(6, 2);
    x.fill([](int i, int j, int) { return 0.5f + i - 3 * j; });
    x2.fill([](int i, int j, int) { return 2 * (0.5f + i - 3 * j); });
    ASSERT_EQ(zaliNormRel_L2_32f_C1MR(x.data(), x.step(), x2.data(), x2.step(), all.data(), all.step(), x.roi(), &v),
              StatusOk);
    EXPECT_EQ(v, 0.5);
}

TEST(Norm, CheckOrder) {
    GuardedImage<uint16_t> a(4, 2, 3);
    GuardedImage<uint8_t> mask(4, 2);
    const ImageSize roi{4, 2};
    double v = 42;
    EXPECT_EQ(zaliNormRel_L1_16u_C3CMR(a.data(), a.step(), a.data(), a.step(), mask.data(), 4, roi, 1, nullptr),
              StatusNullPointer);
    EXPECT_EQ(zaliNormDiff_L1_16u_C3CMR(a.data(), a.step(), nullptr, a.step(), mask.data(), 4, ImageSize{0, 1}, 1, &v),
              StatusNullPointer);
    EXPECT_EQ(zaliNorm_L1_16u_C3CMR(a.data(), 1, mask.data(), 1, ImageSize{4, 0}, 9, &v), StatusSizeError);
    // Lengths (sources, mask), then the alignment, then coi.
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 25, a.data(), 23, mask.data(), 4, roi, 9, &v), StatusStepError);
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 25, a.data(), 24, mask.data(), 3, roi, 9, &v), StatusStepError);
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 24, a.data(), 25, mask.data(), 4, roi, 9, &v),
              StatusStepAlignmentError);
    EXPECT_EQ(zaliNormDiff_L2_16u_C3CMR(a.data(), 24, a.data(), 24, mask.data(), 4, roi, 0, &v),
              StatusChannelOfInterestError);
    GuardedImage<uint8_t> up(4, 2, 1, Layout::BottomUp);
    EXPECT_EQ(zaliNorm_Inf_8u_C1MR(up.data(), up.step(), mask.data(), mask.step(), roi, &v), StatusStepError);
    EXPECT_EQ(v, 42.0);
}

// Above each member's gate: integer results identical with 1, 2 and 3 workers.
TEST(Norm, ThreadCountIndependent) {
    const int w = 1290, h = 1222;  // 1576380 >= 3 * 2^19
    GuardedImage<uint8_t> a(w, h, 1, Layout::TopDown, 0, 0), mask(w, h, 1, Layout::TopDown, 0, 0);
    Lcg rng(11);
    a.fill([&](int, int, int) { return rng.uniform(0, 250); });
    a.at(w - 3, h - 2) = 251;  // the maximum sits in the last band
    randomMask(mask, rng);
    mask.at(w - 3, h - 2) = 1;
    GuardedImage<uint16_t> p(700, 600), q(700, 600);  // 420000 >= 3 * 2^17
    randomFill(p, rng);
    randomFill(q, rng);
    double base[3] = {0, 0, 0};
    for (int n = 1; n <= 3; ++n) {
        zaltest::ThreadCount scope(n);
        double v[3];
        ASSERT_EQ(zaliNorm_Inf_8u_C1MR(a.data(), a.step(), mask.data(), mask.step(), a.roi(), &v[0]), StatusOk);
        ASSERT_EQ(zaliNormDiff_L1_16u_C1MR(p.data(), p.step(), q.data(), q.step(), mask.data(), mask.step(), p.roi(),
                                           &v[1]),
                  StatusOk);
        ASSERT_EQ(zaliNormRel_L2_16u_C1MR(p.data(), p.step(), q.data(), q.step(), mask.data(), mask.step(), p.roi(),
                                          &v[2]),
                  StatusOk);
        if (n == 1) {
            EXPECT_EQ(v[0], 251.0);
            for (int k = 0; k < 3; ++k) base[k] = v[k];
            // The mask image is wider than p: the reference reads the same bytes.
            GuardedImage<uint8_t> m(700, 600);
            m.fill([&](int x, int y, int) { return mask.at(x, y); });
            EXPECT_EQ(v[1], reference(kDiff, kL1, p, q, m, 0, true).value);
            EXPECT_EQ(v[2], reference(kRel, kL2, p, q, m, 0, true).value);
        }
        for (int k = 0; k < 3; ++k) EXPECT_EQ(v[k], base[k]) << n << " threads, member " << k;
    }
}

}  // namespace
