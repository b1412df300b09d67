// Built-in kernels of the fixed derivative and smoothing filters, the row and
// column routines unrolled for them, and the dispatch tables that reach those
// routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "filter/internal.h"

namespace zal {

// One-dimensional taps, each as a 16s table (for 8u sources) and a 32f
// table (for 32f sources): kerSobel_3_16s, kerSobel_3_32f, ...
#define ZAL_BUILTIN_KERNEL(NAME, K, ...)                       \
    inline constexpr int16_t NAME##_16s[K] = {__VA_ARGS__}; \
    inline constexpr float NAME##_32f[K] = {__VA_ARGS__};
ZAL_BUILTIN_KERNEL(kerSobel_3, 3, 1, 2, 1)
ZAL_BUILTIN_KERNEL(kerSobel_5, 5, 1, 4, 6, 4, 1)
ZAL_BUILTIN_KERNEL(kerSobelNeg_3, 3, -1, -2, -1)
ZAL_BUILTIN_KERNEL(kerSobelNeg_5, 5, -1, -4, -6, -4, -1)
ZAL_BUILTIN_KERNEL(kerDx_3, 3, -1, 0, 1)
ZAL_BUILTIN_KERNEL(kerDx_5, 5, -1, -2, 0, 2, 1)
ZAL_BUILTIN_KERNEL(kerDxNeg_3, 3, 1, 0, -1)
ZAL_BUILTIN_KERNEL(kerDxNeg_5, 5, 1, 2, 0, -2, -1)
ZAL_BUILTIN_KERNEL(kerD2x_3, 3, 1, -2, 1)
ZAL_BUILTIN_KERNEL(kerD2x_5, 5, 1, 0, -2, 0, 1)
ZAL_BUILTIN_KERNEL(kerScharr_3, 3, 3, 10, 3)
ZAL_BUILTIN_KERNEL(kerAvr_3, 3, 1, 1, 1)
ZAL_BUILTIN_KERNEL(kerAvr_5, 5, 1, 1, 1, 1, 1)
ZAL_BUILTIN_KERNEL(kerLap_3, 3, 1, 0, 1)
#undef ZAL_BUILTIN_KERNEL

// Row routine: outputs 0 .. n-1 of a line from p (p at the left end of the
// window of output 0). The 3x3 Laplacian writes two values per pixel.
template <class Src, class Line>
using FixedRowFn = void (*)(const Src* p, Line* out, int n);

// Column routine: destination row from the K lines of a window (a second
// window of lines serves the 5x5 Laplacian); rcp is 1/divisor for 8u8s.
template <class Line, class Dst>
using FixedColumnFn = void (*)(const Line* const* rows, const Line* const* rows2, Dst* out, int n, float rcp);

// Row routine indices: 0 Dx3, 1 Scharr3, 2 DxNeg3, 3 DxNeg5, 4 D2x3, 5 D2x5,
// 6 Sobel3, 7 Sobel5, 8 Avr3, 9 Avr5, 10 Laplacian3.
enum FixedRow { kRowDx3, kRowScharr3, kRowDxNeg3, kRowDxNeg5, kRowD2x3, kRowD2x5, kRowSobel3, kRowSobel5,
                kRowAvr3, kRowAvr5, kRowLaplacian3, kRowCount };
// Column routine indices: 0 Scharr3, 1 Dx3, 2 Sobel3, 3 Sobel5, 4 Dx5, 5 D2x3,
// 6 D2x5, 7 Laplacian3, 8 Laplacian5, 9 SobelNeg3, 10 SobelNeg5, then (32f
// only) 11 Avr3, 12 Avr5. The 8u lowpass table holds 0 Avr3, 1 Avr5.
enum FixedColumn { kColScharr3, kColDx3, kColSobel3, kColSobel5, kColDx5, kColD2x3, kColD2x5, kColLaplacian3,
                   kColLaplacian5, kColSobelNeg3, kColSobelNeg5, kColAvr3, kColAvr5, kColCount };

// The routines of every table, indexed as above (the 8u lowpass column
// table holds 0 Avr3, 1 Avr5).
struct FixedRoutines {
    FixedRowFn<float, float> row32f[kRowCount];
    FixedRowFn<uint8_t, int16_t> row8u16s[kRowCount];
    FixedColumnFn<float, float> column32f[kColCount];
    FixedColumnFn<int16_t, int16_t> column8u16s[kColLaplacian5 + 3];
    FixedColumnFn<int16_t, int8_t> column8u8s[kColLaplacian5 + 3];
    FixedColumnFn<int16_t, uint8_t> column8u[2];
};

// The routines compiled for the best SIMD target of this processor (among
// those Highway may pick).
const FixedRoutines& fixedRoutines();

}  // namespace zal
