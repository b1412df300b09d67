// Boundary painting between labelled regions, shared by the watershed (which
// decides by path keys) and the key-free exported operation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image.h"

namespace zal {

// Paints 255 on one pixel of every pair of adjacent pixels with different
// labels, neither already 255, scanning in raster order: the pixel with the
// larger key, the later one on equal keys. Pairs are (left, right) and
// (upper, lower), plus both diagonals when `eightAdjacent` (ignored for a
// one-pixel-wide image). `keys` has row stride `keyStride` elements.
void paintBoundariesByKey(Image<uint8_t> labels, const int32_t* keys, std::ptrdiff_t keyStride, bool eightAdjacent);

}  // namespace zal
