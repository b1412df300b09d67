// Unrolled routines for the built-in kernels and the dispatch tables that
// list them. The taps are compile-time constants, so each routine is a
// straight sum of K products per output (summed from the first tap on).
// Outputs are independent, so the routines are compiled once per SIMD
// target (the compiler vectorises each loop across outputs, every lane
// doing the element's own sum in the same order) and the table of the best
// target is picked at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "filter/fixed_tables.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstdint>
#include <utility>

#include "filter/fixed_kernels.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {
namespace {

template <class Acc, const auto* Taps, class Src, std::size_t... I>
inline Acc dotTaps(const Src* p, std::ptrdiff_t stride, std::index_sequence<I...>) {
    return (... + (static_cast<Acc>(Taps[I]) * static_cast<Acc>(p[static_cast<std::ptrdiff_t>(I) * stride])));
}

template <class Acc, const auto* Taps, class Line, std::size_t... I>
inline Acc dotRows(const Line* const* r, std::ptrdiff_t e, std::index_sequence<I...>) {
    return (... + (static_cast<Acc>(Taps[I]) * static_cast<Acc>(r[I][e])));
}

// 32f rows sum in float. Every built-in row kernel keeps 8u sums within
// 16 bits (at most 16 * 255), so 8u rows sum in 16-bit lanes.
template <class Src>
using RowAcc = std::conditional_t<std::is_same_v<Src, float>, float, int16_t>;

template <class Src, class Line, int K, const auto* Taps>
void rowBuiltin(const Src* __restrict p, Line* __restrict out, int n) {
    for (int x = 0; x < n; ++x) out[x] = static_cast<Line>(dotTaps<RowAcc<Src>, Taps>(p + x, 1, std::make_index_sequence<K>{}));
}

// 3x3 Laplacian row: A = left + right neighbour, B = 8 * centre, interleaved.
template <class Src, class Line>
void rowLaplacian3(const Src* __restrict p, Line* __restrict out, int n) {
    using A = RowAcc<Src>;
    for (int x = 0; x < n; ++x) {
        out[2 * x] = static_cast<Line>(static_cast<A>(p[x]) + static_cast<A>(p[x + 2]));
        out[2 * x + 1] = static_cast<Line>(static_cast<A>(8) * static_cast<A>(p[x + 1]));
    }
}

// Result conversions of the column routines.
struct Store32f {
    using Acc = float;
    static float store(float s, float) { return s; }
};
struct Store16s {
    using Acc = int32_t;
    static int16_t store(int32_t s, float) { return static_cast<int16_t>(s); }
};
// 8u8s: the 16-bit sum scaled by 1/divisor in single precision, clamped, truncated.
struct Store8s {
    using Acc = int32_t;
    static int8_t store(int32_t s, float rcp) {
        return clampTruncate<int8_t>(static_cast<float>(static_cast<int16_t>(s)) * rcp);
    }
};
// 8u lowpass: fixed-point division by 9 (3x3) or 25 (5x5), clamped to 0..255.
// The box sums are non-negative and at most 25 * 255, so the products fit
// 32 unsigned bits and (S * 7280 + 36400) >> 16 = ((S + 5) * 7280) >> 16 is
// the high half of a 16 x 16-bit product.
struct StoreAvr3_8u {
    using Acc = int16_t;
    static uint8_t store(int16_t s, float) {
        const uint32_t v = (static_cast<uint32_t>(static_cast<uint16_t>(s + 5)) * 7280u) >> 16;
        return static_cast<uint8_t>(v > 255 ? 255 : v);
    }
};
struct StoreAvr5_8u {
    using Acc = int16_t;
    static uint8_t store(int16_t s, float) {
        const uint32_t v = (static_cast<uint32_t>(static_cast<uint16_t>(s)) * 2621u) >> 16;
        return static_cast<uint8_t>(v > 255 ? 255 : v);
    }
};
struct StoreAvr3_32f {
    using Acc = float;
    static float store(float s, float) { return s * 0.11111111f; }
};
struct StoreAvr5_32f {
    using Acc = float;
    static float store(float s, float) { return s * 0.04f; }
};

template <class Line, class Dst, class St, int K, const auto* Taps>
void columnBuiltin(const Line* const* rows, const Line* const*, Dst* __restrict out, int n, float rcp) {
    const Line* r[K];
    for (int k = 0; k < K; ++k) r[k] = rows[k];
    for (int x = 0; x < n; ++x)
        out[x] = St::store(dotRows<typename St::Acc, Taps>(r, x, std::make_index_sequence<K>{}), rcp);
}

// 3x3 Laplacian column: 2 * (A above + A below) - B of the centre line.
template <class Line, class Dst, class St>
void columnLaplacian3(const Line* const* rows, const Line* const*, Dst* __restrict out, int n, float rcp) {
    using A = typename St::Acc;
    const Line* __restrict r0 = rows[0];
    const Line* __restrict r1 = rows[1];
    const Line* __restrict r2 = rows[2];
    for (int x = 0; x < n; ++x) {
        const A sum = static_cast<A>(r0[2 * x]) + static_cast<A>(r2[2 * x]);
        out[x] = St::store(static_cast<A>(2) * sum - static_cast<A>(r1[2 * x + 1]), rcp);
    }
}

// 5x5 Laplacian column: D2x over the Sobel-filtered lines plus Sobel over the
// D2x-filtered lines (the two separable halves, added in that order).
template <class Line, class Dst, class St, const auto* D2x, const auto* Sobel>
void columnLaplacian5(const Line* const* rows, const Line* const* rows2, Dst* __restrict out, int n, float rcp) {
    using A = typename St::Acc;
    const Line* r[5];
    const Line* q[5];
    for (int k = 0; k < 5; ++k) {
        r[k] = rows[k];
        q[k] = rows2[k];
    }
    for (int x = 0; x < n; ++x) {
        const A first = dotRows<A, D2x>(r, x, std::make_index_sequence<5>{});
        const A second = dotRows<A, Sobel>(q, x, std::make_index_sequence<5>{});
        out[x] = St::store(first + second, rcp);
    }
}

}  // namespace

#define ZAL_ROW_TABLE(SRC, LINE, T)                                                                         \
    {                                                                                                       \
        &rowBuiltin<SRC, LINE, 3, kerDx_3_##T>, &rowBuiltin<SRC, LINE, 3, kerScharr_3_##T>,                 \
            &rowBuiltin<SRC, LINE, 3, kerDxNeg_3_##T>, &rowBuiltin<SRC, LINE, 5, kerDxNeg_5_##T>,           \
            &rowBuiltin<SRC, LINE, 3, kerD2x_3_##T>, &rowBuiltin<SRC, LINE, 5, kerD2x_5_##T>,               \
            &rowBuiltin<SRC, LINE, 3, kerSobel_3_##T>, &rowBuiltin<SRC, LINE, 5, kerSobel_5_##T>,           \
            &rowBuiltin<SRC, LINE, 3, kerAvr_3_##T>, &rowBuiltin<SRC, LINE, 5, kerAvr_5_##T>,               \
            &rowLaplacian3<SRC, LINE>                                                                       \
    }

#define ZAL_COLUMN_TABLE(LINE, DST, ST, T)                                                                  \
    &columnBuiltin<LINE, DST, ST, 3, kerScharr_3_##T>, &columnBuiltin<LINE, DST, ST, 3, kerDx_3_##T>,       \
        &columnBuiltin<LINE, DST, ST, 3, kerSobel_3_##T>, &columnBuiltin<LINE, DST, ST, 5, kerSobel_5_##T>, \
        &columnBuiltin<LINE, DST, ST, 5, kerDx_5_##T>, &columnBuiltin<LINE, DST, ST, 3, kerD2x_3_##T>,      \
        &columnBuiltin<LINE, DST, ST, 5, kerD2x_5_##T>, &columnLaplacian3<LINE, DST, ST>,                   \
        &columnLaplacian5<LINE, DST, ST, kerD2x_5_##T, kerSobel_5_##T>,                                     \
        &columnBuiltin<LINE, DST, ST, 3, kerSobelNeg_3_##T>, &columnBuiltin<LINE, DST, ST, 5, kerSobelNeg_5_##T>

// The routines of this target. Constant-initialised: no guard, no race.
const FixedRoutines* FixedRoutinesOfTarget() {
    static constexpr FixedRoutines routines = {
        ZAL_ROW_TABLE(float, float, 32f),
        ZAL_ROW_TABLE(uint8_t, int16_t, 16s),
        {ZAL_COLUMN_TABLE(float, float, Store32f, 32f),
         &columnBuiltin<float, float, StoreAvr3_32f, 3, kerAvr_3_32f>,
         &columnBuiltin<float, float, StoreAvr5_32f, 5, kerAvr_5_32f>},
        {ZAL_COLUMN_TABLE(int16_t, int16_t, Store16s, 16s)},
        {ZAL_COLUMN_TABLE(int16_t, int8_t, Store8s, 16s)},
        {&columnBuiltin<int16_t, uint8_t, StoreAvr3_8u, 3, kerAvr_3_16s>,
         &columnBuiltin<int16_t, uint8_t, StoreAvr5_8u, 5, kerAvr_5_16s>},
    };
    return &routines;
}

#undef ZAL_ROW_TABLE
#undef ZAL_COLUMN_TABLE

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zal {
HWY_EXPORT(FixedRoutinesOfTarget);

const FixedRoutines& fixedRoutines() { return *HWY_DYNAMIC_DISPATCH(FixedRoutinesOfTarget)(); }

}  // namespace zal
#endif  // HWY_ONCE
