// Vector row steps of the chamfer transform for float distances (see
// distance_transform_passes.h for the passes they serve). Each gives the same
// bits as the pixel-by-pixel loop it replaces.
#pragma once

#include <cstdint>

namespace zal::chamfer {

// d[x] = min(d[x], d[x - 1] + a) for x = 1 .. w - 1, left to right.
void scanLeft32f(float* d, int w, float a);
// d[x] = min(d[x], d[x + 1] + a) for x = w - 2 .. 0, right to left.
void scanRight32f(float* d, int w, float a);

// Candidates of x in [begin, end) from the neighbouring rows, every sum
// limited to the float maximum. 3x3: r[x] + a and, with diag, r[x -+ 1] + b.
// 5x5: r[x] + a, r[x -+ 1] + b, r[x -+ 2] + c, r2[x -+ 1] + c. "Above": 0
// where s[x] is 0, else the candidates; "Below": min(d[x], candidates).
void fromAbove3_32f(const uint8_t* s, float* d, const float* r, int begin, int end, float a, float b, bool diag);
void fromBelow3_32f(float* d, const float* r, int begin, int end, float a, float b, bool diag);
void fromAbove5_32f(const uint8_t* s, float* d, const float* r, const float* r2, int begin, int end, float a, float b,
                    float c);
void fromBelow5_32f(float* d, const float* r, const float* r2, int begin, int end, float a, float b, float c);

}  // namespace zal::chamfer
