// Tap routines of the pipeline passes: a three-tap and a five-tap routine
// with the taps held in locals, and a general routine that accumulates a
// block of outputs tap by tap. All three sum the products from the first tap
// to the last, so they agree bit for bit.
//
// A policy P names the element types (Src, Dst), the accumulator (Acc: float,
// or uint32_t for wrapping 32-bit integer sums), and supplies tap(k),
// widen(sample) and store(sum).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "filter/internal.h"

namespace zal {

// 32f: taps and samples multiplied and summed in single precision.
struct TapsF32 {
    using Src = float;
    using Dst = float;
    using Tap = float;
    using Acc = float;
    const float* taps;
    static float widen(float v) { return v; }
    float tap(int k) const { return taps[k]; }
    float store(float s) const { return s; }
};

// 16s samples with single-precision taps: the quotient s * (1/divisor) is
// clamped to the range of D and truncated toward zero. Where the reciprocal
// is folded into the taps, rcp is 1 (an exact multiplication).
template <class D>
struct TapsFloatTo {
    using Src = int16_t;
    using Dst = D;
    using Tap = int16_t;
    using Acc = float;
    const float* taps;
    float rcp;
    static float widen(int16_t v) { return static_cast<float>(v); }
    float tap(int k) const { return taps[k]; }
    D store(float s) const { return clampTruncate<D>(s * rcp); }
};

// Integer taps converted once per call to single precision into `work`.
inline const float* floatTaps(const int16_t* kernel, int kernelSize, float scale, unsigned char* work) {
    auto* taps = reinterpret_cast<float*>(work);
    for (int k = 0; k < kernelSize; ++k) taps[k] = static_cast<float>(kernel[k]) * scale;
    return taps;
}

// acc[e] = sum_k tap(k) * source(k)[e] for e < m, summed from the first tap
// on; four taps per sweep over acc keep the partial sums in registers.
template <class P, class SourceOf>
void accumulateTaps(typename P::Acc* __restrict acc, int m, int kernelSize, const P& pol, SourceOf sourceOf) {
    using A = typename P::Acc;
    using S = typename P::Src;
    const S* __restrict q0 = sourceOf(0);
    const A t0 = pol.tap(0);
    for (int e = 0; e < m; ++e) acc[e] = t0 * P::widen(q0[e]);
    int k = 1;
    for (; k + 4 <= kernelSize; k += 4) {
        const S* __restrict qa = sourceOf(k);
        const S* __restrict qb = sourceOf(k + 1);
        const S* __restrict qc = sourceOf(k + 2);
        const S* __restrict qd = sourceOf(k + 3);
        const A ta = pol.tap(k), tb = pol.tap(k + 1), tc = pol.tap(k + 2), td = pol.tap(k + 3);
        for (int e = 0; e < m; ++e) {
            A a = acc[e];
            a += ta * P::widen(qa[e]);
            a += tb * P::widen(qb[e]);
            a += tc * P::widen(qc[e]);
            a += td * P::widen(qd[e]);
            acc[e] = a;
        }
    }
    for (; k < kernelSize; ++k) {
        const S* __restrict qk = sourceOf(k);
        const A t = pol.tap(k);
        for (int e = 0; e < m; ++e) acc[e] += t * P::widen(qk[e]);
    }
}

// Row pass: out[e] = store(sum_k tap(k) * p[e + k * C]) for e = 0 .. n-1
// (n counts elements; C is the channel count, so taps meet whole pixels).
template <class P, int C, int K>
void rowTaps(const typename P::Src* __restrict p, typename P::Dst* __restrict out, int n, int kernelSize,
             const P& pol) {
    using A = typename P::Acc;
    if constexpr (K == 3) {
        const A t0 = pol.tap(0), t1 = pol.tap(1), t2 = pol.tap(2);
        for (int e = 0; e < n; ++e)
            out[e] = pol.store(t0 * P::widen(p[e]) + t1 * P::widen(p[e + C]) + t2 * P::widen(p[e + 2 * C]));
    } else if constexpr (K == 5) {
        const A t0 = pol.tap(0), t1 = pol.tap(1), t2 = pol.tap(2), t3 = pol.tap(3), t4 = pol.tap(4);
        for (int e = 0; e < n; ++e)
            out[e] = pol.store(t0 * P::widen(p[e]) + t1 * P::widen(p[e + C]) + t2 * P::widen(p[e + 2 * C]) +
                               t3 * P::widen(p[e + 3 * C]) + t4 * P::widen(p[e + 4 * C]));
    } else {
        // 256 accumulators (1 KiB of floats) stay in L1 beside the rows.
        constexpr int kBlock = 256;
        A acc[kBlock];
        for (int e0 = 0; e0 < n; e0 += kBlock) {
            const int m = std::min(kBlock, n - e0);
            const typename P::Src* q = p + e0;
            accumulateTaps(acc, m, kernelSize, pol, [&](int k) { return q + static_cast<std::ptrdiff_t>(k) * C; });
            for (int e = 0; e < m; ++e) out[e0 + e] = pol.store(acc[e]);
        }
    }
}

// Column pass: out[e] = store(sum_k tap(k) * rows[k][e]).
template <class P, int K>
void columnTaps(const typename P::Src* const* rows, typename P::Dst* __restrict out, int n, int kernelSize,
                const P& pol) {
    using A = typename P::Acc;
    using S = typename P::Src;
    if constexpr (K == 3) {
        const S* __restrict r0 = rows[0];
        const S* __restrict r1 = rows[1];
        const S* __restrict r2 = rows[2];
        const A t0 = pol.tap(0), t1 = pol.tap(1), t2 = pol.tap(2);
        for (int e = 0; e < n; ++e)
            out[e] = pol.store(t0 * P::widen(r0[e]) + t1 * P::widen(r1[e]) + t2 * P::widen(r2[e]));
    } else if constexpr (K == 5) {
        const S* __restrict r0 = rows[0];
        const S* __restrict r1 = rows[1];
        const S* __restrict r2 = rows[2];
        const S* __restrict r3 = rows[3];
        const S* __restrict r4 = rows[4];
        const A t0 = pol.tap(0), t1 = pol.tap(1), t2 = pol.tap(2), t3 = pol.tap(3), t4 = pol.tap(4);
        for (int e = 0; e < n; ++e)
            out[e] = pol.store(t0 * P::widen(r0[e]) + t1 * P::widen(r1[e]) + t2 * P::widen(r2[e]) +
                               t3 * P::widen(r3[e]) + t4 * P::widen(r4[e]));
    } else {
        // 256 accumulators (1 KiB of floats) stay in L1 beside the rows.
        constexpr int kBlock = 256;
        A acc[kBlock];
        for (int e0 = 0; e0 < n; e0 += kBlock) {
            const int m = std::min(kBlock, n - e0);
            accumulateTaps(acc, m, kernelSize, pol, [&](int k) { return rows[k] + e0; });
            for (int e = 0; e < m; ++e) out[e0 + e] = pol.store(acc[e]);
        }
    }
}

// Dispatch slot of a kernel size: 0 general, 1 three taps, 2 five taps.
constexpr int tapRoutineIndex(int kernelSize) { return kernelSize == 3 ? 1 : kernelSize == 5 ? 2 : 0; }

}  // namespace zal
