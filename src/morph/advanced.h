// The state of the advanced operations: two morphology states (the mask as
// given, and turned by 180 degrees with the anchor reflected) and the
// temporary image, all inside one block.
#pragma once

#include <cstdint>

#include "morph/internal.h"

struct MorphAdvState {
    MorphologyState* first;   // right after this header
    MorphologyState* second;  // next 32-byte boundary after the first
    uint8_t* temp;            // next 32-byte boundary after the second
    int32_t tempSize;         // bytes reserved for the temporary image
    int32_t zero;
};

namespace zal::morph {

// Row step of the temporary image for ROIs of `width` pixels.
inline long long tempStep(int width, PixelFormat f) {
    return (static_cast<long long>(width) * f.pixelBytes() + 31) & ~31LL;
}

}  // namespace zal::morph
