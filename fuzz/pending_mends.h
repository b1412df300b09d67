// Temporary guards: inputs that reach defects whose mends are under way.
// Each guard avoids exactly the inputs of one defect; when the mend lands,
// set its switch to 0 (or delete the guard) and the targets reach those
// inputs again. Nothing else in fuzz/ avoids inputs on purpose.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zalcv.h"

// -DFZ_PENDING_DEFAULT=0 turns every guard off (to reproduce the defects).
#ifndef FZ_PENDING_DEFAULT
#define FZ_PENDING_DEFAULT 1
#endif

// 1. Reconstruction by dilation/erosion (32f) never returns when the marker
//    holds NaN.
#define FZ_PENDING_RECONSTRUCT_NAN FZ_PENDING_DEFAULT
// 2. 8u grayscale-kernel morphology adds int32 kernel values in 32 bits and
//    overflows for values near the int32 limits.
#define FZ_PENDING_GRAY_KERNEL_OVERFLOW FZ_PENDING_DEFAULT
// 3. Buffer and size queries that overflow int for sizes (or kernel
//    lengths) near INT32_MAX.
#define FZ_PENDING_QUERY_OVERFLOW FZ_PENDING_DEFAULT
// 4. 32f/16u/32s rows loaded through misaligned pointers when a step is not
//    a multiple of the element size (32f thresholds, 32f subtraction, 32f and
//    16u general pyramid layers; also the 32s copies with replicated border).
#define FZ_PENDING_MISALIGNED_STEP FZ_PENDING_DEFAULT
// 5. Enumeration arguments converted or switched on before validation
//    (GradientNorm, DerivKernelType, BorderKind in the row pipeline).
#define FZ_PENDING_ENUM_RANGE FZ_PENDING_DEFAULT

// Found by these targets, reported, mend not yet under way:
// 6. Sub-pixel copies convert the scaled fraction (or position) to int
//    without a range check: a NaN, infinite or huge dx/dy (CopySubpix) or
//    point (CopySubpixIntersect) is undefined behaviour.
#define FZ_PENDING_SUBPIX_FRACTION FZ_PENDING_DEFAULT

namespace fz::pending {

// 1: a 32f marker image with a NaN in its rows.
inline bool reconstructNan(const float* marker, int step, ImageSize roi) {
    if (!FZ_PENDING_RECONSTRUCT_NAN || !marker || roi.width < 1 || roi.height < 1) return false;
    for (int y = 0; y < roi.height; ++y) {
        const uint8_t* row = reinterpret_cast<const uint8_t*>(marker) + std::ptrdiff_t(y) * step;
        for (int x = 0; x < roi.width; ++x) {
            float v;
            std::memcpy(&v, row + std::ptrdiff_t(x) * 4, 4);
            if (std::isnan(v)) return true;
        }
    }
    return false;
}

// 2: an 8u gray kernel with an element whose sum with a pixel leaves int32.
inline bool grayKernelOverflow(const int32_t* kernel, int count) {
    if (!FZ_PENDING_GRAY_KERNEL_OVERFLOW || !kernel) return false;
    for (int i = 0; i < count; ++i)
        if (kernel[i] > INT32_MAX - 255 || kernel[i] < INT32_MIN + 255) return true;
    return false;
}

// 3: a query size whose byte count may leave int (either dimension above 2^20).
inline bool querySize(ImageSize s) {
    return FZ_PENDING_QUERY_OVERFLOW && (s.width > (1 << 20) || s.height > (1 << 20));
}
inline bool queryWidth(int w) { return FZ_PENDING_QUERY_OVERFLOW && w > (1 << 20); }
// 3: a kernel length near INT32_MAX in a pipeline buffer query.
inline bool queryCount(int n) { return FZ_PENDING_QUERY_OVERFLOW && n > (1 << 20); }

// 4: a step that is not a multiple of the element size.
inline bool misalignedStep(int step, int elem) { return FZ_PENDING_MISALIGNED_STEP && step % elem != 0; }

// 5: an enumeration value outside [lo, hi].
inline bool enumRange(int value, int lo, int hi) { return FZ_PENDING_ENUM_RANGE && (value < lo || value > hi); }

// 6: a fraction or position that is NaN, infinite or beyond 2^16.
inline bool subpixValue(float v) { return FZ_PENDING_SUBPIX_FRACTION && !(std::fabs(v) < 65536.0f); }

}  // namespace fz::pending
