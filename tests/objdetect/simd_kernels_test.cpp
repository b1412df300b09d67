// The integral builders on every SIMD target: widths around each vector
// length (whole vectors plus every tail), source rows at odd byte
// addresses, and start values where 32-bit sums wrap and float sums round,
// compared bit for bit with the recurrences evaluated entry by entry.
// The builders also compile for AVX-512 with byte dot products: list it.
#define HWY_WANT_AVX3_DL
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/unaligned_image.h"
#include "objdetect/exports.h"
#include "objdetect/reference.h"

using namespace objdetect_test;

namespace {

enum class Geometry { Upright, Tilted };
constexpr Geometry Upright = Geometry::Upright, Tilted = Geometry::Tilted;

struct Source {
    zaltest::UnalignedImage<uint8_t> image;
    std::vector<uint8_t> px;
    int w, h;
    Source(int width, int height, uint64_t seed) : image(width, height, 1, 3, 5), w(width), h(height) {
        Lcg rng(seed);
        for (int i = 0; i < w * h; ++i) px.push_back(static_cast<uint8_t>(rng.uniform(0, 255)));
        image.assign(px);
    }
    int at(int x, int y) const { return x < w ? px[y * w + x] : 0; }  // 0 right of the region
};

// table(x, y) of the given geometry, entry by entry: 32-bit integers wrap,
// floats add the integer row sum or pixel pair converted, doubles add exact
// integer squares. Squares: the pixel terms are squared.
template <class T>
std::vector<T> reference(const Source& s, Geometry g, bool squares, T val) {
    const int m = g == Upright ? 1 : 2, cols = s.w + m;
    std::vector<T> t(static_cast<std::size_t>(cols) * (s.h + m), val);
    auto at = [&](int x, int y) -> T& { return t[static_cast<std::size_t>(y) * cols + x]; };
    auto term = [&](int x, int y) { return squares ? s.at(x, y) * s.at(x, y) : s.at(x, y); };
    for (int j = 0; j < s.h; ++j) {
        if (g == Upright) {
            uint32_t run = 0;
            double runD = 0;
            for (int x = 0; x < s.w; ++x) {
                run += static_cast<uint32_t>(term(x, j)), runD += term(x, j);
                const T above = at(x + 1, j);
                if constexpr (std::is_same_v<T, int32_t>) at(x + 1, j + 1) = static_cast<int32_t>(run + static_cast<uint32_t>(above));
                else if constexpr (std::is_same_v<T, float>) at(x + 1, j + 1) = static_cast<float>(static_cast<int32_t>(run)) + above;
                else at(x + 1, j + 1) = above + runD;
            }
        } else {
            const int r = j + 2;
            at(0, r) = at(1, r - 1);
            for (int x = 1; x <= s.w; ++x) {
                const int p = term(x - 1, j) + term(x, j);
                const T ul = at(x - 1, r - 1), ur = at(x + 1, r - 1), u2 = at(x, r - 2);
                if constexpr (std::is_same_v<T, int32_t>)
                    at(x, r) = static_cast<int32_t>(static_cast<uint32_t>(p) + static_cast<uint32_t>(ul) +
                                                    static_cast<uint32_t>(ur) - static_cast<uint32_t>(u2));
                else at(x, r) = ((static_cast<T>(p) + ul) - u2) + ur;
            }
            at(s.w + 1, r) = at(s.w, r - 1);
        }
    }
    return t;
}

// Start values: 32-bit sums wrap within a few rows, float entries round
// (2^24 + odd sums), double entries round (near 2^60).
template <class T>
T startValue() {
    if constexpr (std::is_same_v<T, int32_t>) return INT32_MAX - 3000;
    else if constexpr (std::is_same_v<T, float>) return 16777216.0f;
    else return 1152921504606846977.0;
}

template <class T>
void expectTable(const GuardedImage<T>& got, const std::vector<T>& want, const char* name) {
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) {
            const T w = want[static_cast<std::size_t>(y) * got.width() + x];
            ASSERT_EQ(std::memcmp(&got.row(y)[x], &w, sizeof(T)), 0)
                << name << " entry " << x << "," << y << ": " << got.at(x, y) << " != " << w;
        }
    ASSERT_TRUE(got.guardsIntact()) << name;
}

template <class T, class Fn>
void checkSums(const Source& s, Geometry g, Fn fn, const char* name) {
    const int m = g == Upright ? 1 : 2;
    GuardedImage<T> t(s.w + m, s.h + m);
    auto src = s.image;
    ASSERT_EQ(fn(src.data(), src.step(), t.data(), t.step(), src.roi(), startValue<T>()), StatusOk) << name;
    expectTable(t, reference<T>(s, g, false, startValue<T>()), name);
}

template <class T, class Q, class Fn>
void checkSquares(const Source& s, Geometry g, Fn fn, const char* name) {
    const int m = g == Upright ? 1 : 2;
    GuardedImage<T> t(s.w + m, s.h + m);
    GuardedImage<Q> q(s.w + m, s.h + m);
    auto src = s.image;
    ASSERT_EQ(fn(src.data(), src.step(), t.data(), t.step(), q.data(), q.step(), src.roi(), startValue<T>(),
                 startValue<Q>()), StatusOk) << name;
    expectTable(t, reference<T>(s, g, false, startValue<T>()), name);
    expectTable(q, reference<Q>(s, g, true, startValue<Q>()), name);
}

// Every width up to a few chunks of the widest target (the sum tables restart
// inside a row: at the first vector-aligned entry and for the last chunk),
// one row and 17 rows, whose steps put the rows at every alignment.
TEST(IntegralKernels, EveryBuilderOnEveryTargetAndWidth) {
    zaltest::forEachSimdTarget([] {
        for (int w = 1; w <= 100; ++w) {
            for (int h : {1, 17}) {
                SCOPED_TRACE(testing::Message() << w << "x" << h);
                const Source s(w, h, static_cast<uint64_t>(w * 7 + h));
#define ZAL_CHECK_SUMS(name, T, G) checkSums<T>(s, G, name, #name);
#define ZAL_CHECK_SQUARES(name, T, Q, G) checkSquares<T, Q>(s, G, name, #name);
                ZAL_OBJDETECT_INTEGRAL(ZAL_CHECK_SUMS)
                ZAL_OBJDETECT_TILTED_INTEGRAL(ZAL_CHECK_SUMS)
                ZAL_OBJDETECT_SQR_INTEGRAL(ZAL_CHECK_SQUARES)
                ZAL_OBJDETECT_TILTED_SQR_INTEGRAL(ZAL_CHECK_SQUARES)
#undef ZAL_CHECK_SUMS
#undef ZAL_CHECK_SQUARES
                if (HasFatalFailure()) return;
            }
        }
    });
}

}  // namespace
