// Unchecked row copies shared by the copy family and by other families that
// move whole regions (morphology, inpainting, pyramids).
#pragma once

#include <cstring>

#include "core/image.h"

namespace zal {

// Copies width * channels elements of every row. The regions may coincide (a copy onto itself is harmless).
template <class T>
void copyRows(Image<const T> src, Image<T> dst, int channels) {
    const std::size_t rowBytes = static_cast<std::size_t>(src.width) * channels * sizeof(T);
    if (src.step == dst.step && src.step == static_cast<std::ptrdiff_t>(rowBytes)) {
        std::memmove(dst.base, src.base, rowBytes * static_cast<std::size_t>(src.height));
        return;
    }
    for (int y = 0; y < src.height; ++y) std::memmove(dst.row(y), src.row(y), rowBytes);
}

}  // namespace zal
