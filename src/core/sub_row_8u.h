// The row kernel of the 8-bit subtraction, dispatched at run time to the
// widest vector unit of the processor.
#pragma once

#include <cstdint>

namespace zal {

// d[x] = max(b[x] - a[x], 0) scaled by 2^-s (rounding to nearest even for
// s >= 1, saturating for s < 0) for -7 <= s <= 8; any positive difference
// gives 255 for s < -7.
void subRow8u(const uint8_t* a, const uint8_t* b, uint8_t* d, int n, int s);

}  // namespace zal
