// Saturating conversions and rounding shifts shared by the integer families.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

namespace zal {

// Clamps an integer to the range of T.
template <class T, class V>
constexpr T saturate(V v) {
    static_assert(std::is_integral_v<T> && std::is_integral_v<V>);
    using L = std::numeric_limits<T>;
    if constexpr (std::is_signed_v<V>) {
        if (static_cast<long long>(v) < static_cast<long long>(L::min())) return L::min();
    }
    if constexpr (sizeof(V) >= sizeof(T) || std::is_signed_v<T> != std::is_signed_v<V>) {
        if (static_cast<unsigned long long>(v) > static_cast<unsigned long long>(L::max()) && v > 0) return L::max();
    }
    return static_cast<T>(v);
}

// v / 2^s rounded to nearest with ties to even, for s >= 1 (arithmetic shift).
constexpr int32_t roundShiftEven(int32_t v, int s) {
    return (v + (1 << (s - 1)) - 1 + ((v >> s) & 1)) >> s;
}

}  // namespace zal
