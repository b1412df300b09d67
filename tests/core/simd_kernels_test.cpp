// The vector kernels of the pixel-wise operations on every SIMD target: row
// lengths around each vector width (full vectors plus every tail length),
// rows starting at odd byte addresses, compared with per-element references.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "zalcv.h"

namespace {

// A row of n elements of T starting `offset` bytes past an aligned block (1:
// 16- and 32-bit rows are misaligned); the block ends right after the row.
template <class T>
struct OddRow {
    OddRow(int n, int offset) : off(offset), bytes(offset + n * sizeof(T)) {}
    T* data() { return reinterpret_cast<T*>(bytes.data() + off); }
    T get(int i) const { T v; std::memcpy(&v, bytes.data() + off + i * sizeof(T), sizeof(T)); return v; }
    void set(int i, T v) { std::memcpy(bytes.data() + off + i * sizeof(T), &v, sizeof(T)); }
    int step() const { return static_cast<int>(bytes.size()); }
    int off;
    std::vector<uint8_t> bytes;
};

template <class T>
T draw(zaltest::Lcg& rng) {
    if constexpr (std::is_same_v<T, float>) {
        // Mostly ordinary values, some signed zeros, infinities and NaNs.
        static const float special[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(), std::bit_cast<float>(0x7fc01234u),
                                        std::bit_cast<float>(0xffc00001u)};
        const int pick = rng.uniform(0, 15);
        return pick < 6 ? special[pick] : static_cast<float>(rng.uniform(-1000, 1000)) / 8.0f;
    } else {
        return static_cast<T>(rng.uniform(0, std::numeric_limits<T>::max()));
    }
}

template <class T>
uint32_t bitsOf(T v) {
    if constexpr (std::is_same_v<T, float>) return std::bit_cast<uint32_t>(v);
    else return v;
}

// Calls op(a, b, d, n) on rows of every length 1..maxLen and compares with
// ref(a_i, b_i) element by element, bit for bit.
template <class T, class Op, class Ref>
void sweep(Op op, Ref ref, int offset = 1) {
    zaltest::Lcg rng(7);
    for (int n = 1; n <= 140; n += (n < 70 ? 1 : 23)) {
        OddRow<T> a(n, offset), b(n, offset), d(n, offset);
        for (int i = 0; i < n; ++i) a.set(i, draw<T>(rng)), b.set(i, draw<T>(rng)), d.set(i, T{});
        ASSERT_EQ(op(a, b, d, n), StatusOk) << "n=" << n;
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(bitsOf(d.get(i)), bitsOf(ref(a.get(i), b.get(i)))) << "n=" << n << " i=" << i;
    }
}

template <class T>
T absDifference(T a, T b) {
    if constexpr (std::is_same_v<T, float>) return std::bit_cast<float>(std::bit_cast<uint32_t>(a - b) & 0x7fffffffu);
    else return a > b ? a - b : b - a;
}

TEST(SimdKernels, AbsDiffSubAndThresholdOnEveryTarget) {
    zaltest::forEachSimdTarget([] {
        const auto roi = [](int n) { return ImageSize{n, 1}; };
        sweep<uint8_t>([&](auto& a, auto& b, auto& d, int n) { return zaliAbsDiff_8u_C1R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), roi(n)); },
                       absDifference<uint8_t>);
        // 8u constants saturate to the pixel range first.
        for (const int c : {300, -5, 77})
            sweep<uint8_t>([&](auto& a, auto&, auto& d, int n) { return zaliAbsDiffC_8u_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), c); },
                           [&](uint8_t a, uint8_t) { return absDifference<uint8_t>(a, static_cast<uint8_t>(std::clamp(c, 0, 255))); });
        for (int s : {-8, -3, 0, 1, 3, 8}) {
            sweep<uint8_t>([&](auto& a, auto& b, auto& d, int n) { return zaliSub_8u_C1RSfs(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), roi(n), s); },
                           [&](uint8_t a, uint8_t b) {
                               const int diff = std::max(b - a, 0);
                               if (s <= 0) return static_cast<uint8_t>(std::min(s < -7 ? (diff ? 255 : 0) : diff << -s, 255));
                               return static_cast<uint8_t>(std::nearbyint(std::ldexp(double(diff), -s)));  // ties to even
                           });
        }
        sweep<float>([&](auto& a, auto& b, auto& d, int n) { return zaliSub_32f_C1R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), roi(n)); },
                     [](float a, float b) { return b - a; });
        sweep<float>([&](auto& a, auto& b, auto& d, int n) {
            std::memcpy(d.bytes.data(), b.bytes.data(), b.bytes.size());
            return zaliSub_32f_C1IR(a.data(), a.step(), d.data(), d.step(), roi(n));
        }, [](float a, float b) { return b - a; });
        // 16-bit and 32-bit rows must start on their element size here.
        sweep<uint16_t>([&](auto& a, auto& b, auto& d, int n) { return zaliAbsDiff_16u_C1R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), roi(n)); },
                        absDifference<uint16_t>, 2);
        sweep<float>([&](auto& a, auto& b, auto& d, int n) { return zaliAbsDiff_32f_C1R(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), roi(n)); },
                     absDifference<float>, 4);
        sweep<uint16_t>([&](auto& a, auto&, auto& d, int n) { return zaliAbsDiffC_16u_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), 40000); },
                        [](uint16_t a, uint16_t) { return absDifference<uint16_t>(a, 40000); }, 2);
        sweep<float>([&](auto& a, auto&, auto& d, int n) { return zaliAbsDiffC_32f_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), -2.5f); },
                     [](float a, float) { return absDifference(a, -2.5f); }, 4);
        // Thresholds on misaligned 32f rows (steps need only be positive). Floats
        // compare as bit patterns: for t >= 0 (also +0) as signed integers, so -0
        // and negative NaN order below; for t < 0 as unsigned magnitudes. The
        // plain forms replace by t, the _LT one in place.
        for (float t : {1.0f, 0.0f, -0.0f, -2.0f}) {
            const auto above = [t](float a) {
                return t >= 0.0f ? std::bit_cast<int32_t>(a) > std::bit_cast<int32_t>(t) : std::bit_cast<uint32_t>(a) < std::bit_cast<uint32_t>(t);
            };
            const auto below = [t](float a) {
                return t >= 0.0f ? std::bit_cast<int32_t>(a) < std::bit_cast<int32_t>(t) : std::bit_cast<uint32_t>(a) > std::bit_cast<uint32_t>(t);
            };
            sweep<float>([&](auto& a, auto&, auto& d, int n) { return zaliThreshold_Val_32f_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), t, 77.0f, 4); },
                         [&](float a, float) { return above(a) ? 77.0f : a; });
            sweep<float>([&](auto& a, auto&, auto& d, int n) { return zaliThreshold_Val_32f_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), t, 77.0f, 0); },
                         [&](float a, float) { return below(a) ? 77.0f : a; });
            sweep<float>([&](auto& a, auto&, auto& d, int n) { return zaliThreshold_32f_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), t, 4); },
                         [&](float a, float) { return above(a) ? t : a; });
            sweep<float>([&](auto& a, auto&, auto& d, int n) {
                std::memcpy(d.bytes.data(), a.bytes.data(), a.bytes.size());
                return zaliThreshold_LT_32f_C1IR(d.data(), d.step(), roi(n), t);
            }, [&](float a, float) { return below(a) ? t : a; });
        }
        sweep<uint8_t>([&](auto& a, auto&, auto& d, int n) { return zaliThreshold_Val_8u_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), 99, 3, 0); },
                       [](uint8_t a, uint8_t) { return a < 99 ? uint8_t{3} : a; });
        sweep<uint8_t>([&](auto& a, auto&, auto& d, int n) { return zaliThreshold_GT_8u_C1R(a.data(), a.step(), d.data(), d.step(), roi(n), 99); },
                       [](uint8_t a, uint8_t) { return std::min<uint8_t>(a, 99); });
        // Element-wise maximum/minimum: the second operand wins only when strictly
        // greater (smaller), so NaN keeps the first.
        sweep<float>([](auto& a, auto& b, auto& d, int n) { return zalsMaxEvery_32f(a.data(), b.data(), d.data(), n); },
                     [](float a, float b) { return b > a ? b : a; });
        sweep<float>([](auto& a, auto& b, auto& d, int n) { return zalsMinEvery_32f(a.data(), b.data(), d.data(), n); },
                     [](float a, float b) { return b < a ? b : a; });
        sweep<uint8_t>([](auto& a, auto& b, auto& d, int n) { return zalsMaxEvery_8u(a.data(), b.data(), d.data(), n); },
                       [](uint8_t a, uint8_t b) { return std::max(a, b); });
        sweep<uint8_t>([](auto& a, auto& b, auto& d, int n) {
            std::memcpy(d.bytes.data(), b.bytes.data(), b.bytes.size());
            return zalsMinEvery_8u_I(a.data(), d.data(), n);
        }, [](uint8_t a, uint8_t b) { return std::min(a, b); });
    });
}

}  // namespace
