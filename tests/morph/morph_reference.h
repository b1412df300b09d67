// Brute-force references shared by the morphology tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/test_image.h"
#include "morph/exports.h"

namespace morphref {

struct Kernel { ImageSize size; std::vector<uint8_t> bytes; };

// Builds a mask from rows of '.' (zero) and any other character (non-zero).
inline Kernel kernel(std::initializer_list<const char*> rows) {
    Kernel k{{0, static_cast<int>(rows.size())}, {}};
    for (const std::string r : rows)
        for (char ch : r) k.bytes.push_back(ch == '.' ? 0 : static_cast<uint8_t>(ch)), k.size.width = int(r.size());
    return k;
}

// Flat dilation (max) or erosion (min) with replicated border over the
// non-zero elements of `mask`, evaluated pixel by pixel on a row-major image
// of w x h pixels with c interleaved channels. An empty mask copies.
template <class T>
std::vector<T> flat(const std::vector<T>& src, int w, int h, int c, const std::vector<uint8_t>& mask, ImageSize ms,
                    ImagePoint a, bool dilate) {
    std::vector<T> out = src;
    const auto at = [&](int x, int y, int k) { return (static_cast<std::size_t>(y) * w + x) * c + k; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < c; ++k) {
                bool any = false;
                for (int j = 0; j < ms.height; ++j)
                    for (int i = 0; i < ms.width; ++i) {
                        if (!mask[j * ms.width + i]) continue;
                        const T v = src[at(std::clamp(x + i - a.x, 0, w - 1), std::clamp(y + j - a.y, 0, h - 1), k)];
                        T& o = out[at(x, y, k)];
                        o = !any ? v : dilate ? std::max(o, v) : std::min(o, v);
                        any = true;
                    }
            }
    return out;
}

// A state placed in caller memory: the GetSize bytes, 32-byte aligned, in a
// block pre-filled with a pattern the state must not depend on.
template <class S>
S* placeState(std::vector<uint8_t>& block, int size) {
    block.assign(static_cast<std::size_t>(size) + 32, 0xCD);
    return reinterpret_cast<S*>(block.data() + (32 - reinterpret_cast<uintptr_t>(block.data()) % 32) % 32);
}

// The member set of one channel count in `all` (added when missing): tests
// fill their member sets of element type T from the export table with
//     if constexpr (std::is_same_v<T, U>) morphref::slot(all, C).field = name;
template <class M>
M& slot(std::vector<M>& all, int channels) {
    for (M& m : all)
        if (m.channels == channels) return m;
    M& m = all.emplace_back();
    m.channels = channels;
    return m;
}

template <class T>
void fillRandom(zaltest::GuardedImage<T>& img, unsigned seed) {
    zaltest::Lcg rng(seed);
    img.fill([&](int, int, int) {
        return static_cast<T>(std::is_same_v<T, float> ? rng.uniformf(-100.f, 100.f) : rng.uniform(0, 255));
    });
}

// The state and dilation/erosion members of one element type, one set per
// channel count, from the export table.
template <class T>
struct StateMembers {
    int channels = 0;
    StatusCode (*initAlloc)(int, const uint8_t*, ImageSize, ImagePoint, MorphologyState**) = nullptr;
    StatusCode (*init)(int, const uint8_t*, ImageSize, ImagePoint, MorphologyState*) = nullptr;
    StatusCode (*getSize)(int, const uint8_t*, ImageSize, int*) = nullptr;
    StatusCode (*dilate)(const T*, int, T*, int, ImageSize, int, MorphologyState*) = nullptr;
    StatusCode (*erode)(const T*, int, T*, int, ImageSize, int, MorphologyState*) = nullptr;
};

template <class T>
std::vector<StateMembers<T>> stateMembers() {
    std::vector<StateMembers<T>> all;
#define MEMBER(field, name, U, C) \
    if constexpr (std::is_same_v<T, U>) slot(all, C).field = name;
#define SIZE(name, U, C) MEMBER(getSize, name, U, C)
#define INIT(name, U, C) MEMBER(init, name, U, C)
#define INIT_ALLOC(name, U, C) MEMBER(initAlloc, name, U, C)
#define OPERATION(name, U, C, op) MEMBER(op, name, U, C)
    ZAL_MORPH_STATE_SIZE(SIZE)
    ZAL_MORPH_STATE_INIT(INIT)
    ZAL_MORPH_STATE_INIT_ALLOC(INIT_ALLOC)
    ZAL_MORPH_DILATE_ERODE(OPERATION)
#undef MEMBER
#undef SIZE
#undef INIT
#undef INIT_ALLOC
#undef OPERATION
    return all;
}

}  // namespace morphref
