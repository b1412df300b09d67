// Plain reference computations and set-up shared by the filter tests: border
// indices by walking back and forth across the row, clamp-and-truncate, and a
// work buffer from the library allocator.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "zalcv.h"

namespace filtertest {

// Index in 0..n-1 that index i takes under `kind`, or -1 for a constant
// border: step back and forth across the row until inside it.
inline int refBorderIndex(int i, int n, int kind) {
    if (kind == BorderConstant && (i < 0 || i >= n)) return -1;
    while (i < 0 || i >= n) {
        if (kind == BorderReplicate) i = i < 0 ? 0 : n - 1;
        else if (kind == BorderWrap) i += i < 0 ? n : -n;
        else if (kind == BorderReflect) i = n == 1 ? 0 : i < 0 ? -i : 2 * (n - 1) - i;
        else i = i < 0 ? -i - 1 : 2 * n - 1 - i;  // reflect, repeating the edge pixel
    }
    return i;
}

// Clamp to [lo, hi], then truncate toward zero.
inline int refClampTrunc(float v, float lo, float hi) { return static_cast<int>(std::clamp(v, lo, hi)); }

constexpr int kAllBorders[] = {BorderConstant, BorderReplicate, BorderWrap, BorderReflect, BorderReflectEdge};

struct Buffer {
    explicit Buffer(int bytes) : p(zalsMalloc_8u(std::max(bytes, 1))) {}
    ~Buffer() { zalsFree(p); }
    Buffer(const Buffer&) = delete;
    uint8_t* p;
};

// A work buffer of the size `query(args..., &size)` asks for.
template <class Query, class... Args>
Buffer bufferFor(Query query, Args... args) {
    int size = 0;
    EXPECT_EQ(query(args..., &size), StatusOk);
    return Buffer(size);
}

// The border value argument of a C-channel row pass: the value itself for
// one channel, a pointer to the values for three.
template <int C, class S>
auto borderArgument(const S* values) {
    if constexpr (C == 1) return values[0];
    else return values;
}

// Row pointers of an image, as the pipeline passes take them.
template <class P, class Image>
std::vector<P*> rowsOf(Image& img) {
    std::vector<P*> rows;
    for (int y = 0; y < img.height(); ++y) rows.push_back(img.row(y));
    return rows;
}

}  // namespace filtertest
