// Helpers shared by the statistics tests: random content, sizes, a thread sweep.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/test_image.h"

namespace statstest {

using zaltest::GuardedImage;
using zaltest::Layout;
using zaltest::Lcg;
using Mask = GuardedImage<uint8_t>;

// The source element types every statistics family is built for, and a typed
// suite over them.
using SourceTypes = ::testing::Types<uint8_t, int8_t, uint16_t, float>;
#define STATS_TYPED_SUITE(Name)             \
    template <class T>                      \
    class Name : public ::testing::Test {}; \
    TYPED_TEST_SUITE(Name, statstest::SourceTypes)

// One pixel, a column, a row, and a block with an odd width.
inline constexpr std::pair<int, int> kSizes[] = {{1, 1}, {1, 6}, {9, 1}, {17, 5}};

// Random values over the whole range of T (32f: a moderate signed range).
template <class T>
T randomValue(Lcg& rng) {
    if constexpr (std::is_same_v<T, float>)
        return rng.uniformf(-500.0f, 500.0f);
    else
        return static_cast<T>(rng.uniform(std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

template <class... T>
void randomFill(Lcg& rng, GuardedImage<T>&... imgs) {
    (imgs.fill([&](int, int, int) { return randomValue<T>(rng); }), ...);
}

// About a third of the pixels unselected; selected bytes are arbitrary non-zero.
inline void randomMask(Mask& m, Lcg& rng) {
    m.fill([&](int, int, int) { return rng.uniform(0, 2) == 0 ? 0 : rng.uniform(1, 255); });
}

// Sets every element of every image to v.
template <class V, class... I>
void setAll(V v, I&... imgs) {
    (imgs.fill([v](int, int, int) { return v; }), ...);
}

template <class T>
GuardedImage<T> constant(int w, int h, T v) {
    GuardedImage<T> img(w, h);
    setAll(v, img);
    return img;
}

}  // namespace statstest
