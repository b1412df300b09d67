// Helpers shared by the statistics tests: random content and per-type limits.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <type_traits>

#include "common/test_image.h"

namespace statstest {

using zaltest::GuardedImage;
using zaltest::Layout;
using zaltest::Lcg;

// The source element types every statistics family is built for.
using SourceTypes = ::testing::Types<uint8_t, int8_t, uint16_t, float>;

// Random values over the whole range of T (32f: a moderate signed range).
template <class T>
T randomValue(Lcg& rng) {
    if constexpr (std::is_same_v<T, float>) return rng.uniformf(-500.0f, 500.0f);
    else return static_cast<T>(rng.uniform(std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

template <class T>
void randomFill(GuardedImage<T>& img, Lcg& rng) {
    img.fill([&](int, int, int) { return randomValue<T>(rng); });
}

// About a third of the pixels unselected; selected bytes are arbitrary non-zero.
inline void randomMask(GuardedImage<uint8_t>& m, Lcg& rng) {
    m.fill([&](int, int, int) { return rng.uniform(0, 2) == 0 ? 0 : rng.uniform(1, 255); });
}

}  // namespace statstest
