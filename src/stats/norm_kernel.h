// The masked norms: infinity, L1 and L2 of one image, of the difference of
// two images, and of that difference relative to the second image. One
// template serves all 72 members; the table rows (stats/exports.h) choose
// the kind, the operand, the type, the layout and the thread gate.
//
// Arithmetic, per kind:
//   integer sources  exact: 32-bit |x| or |x1 - x2|, 64-bit sums of |.| and
//                    of squares;
//   32f Inf          float maximum of |x| (sign bit cleared) or |x1 - x2|
//                    (difference in float);
//   32f L1           (double)|.| summed in double;
//   32f L2           image: (double)(x * x), the square in float;
//                    difference: (double)d * (double)d with d = x1 - x2 in
//                    float; relative denominator: (double)x2 * (double)x2.
// Double sums run in raster order, one running sum per band, and the band
// partials are added in band order.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/export.h"
#include "stats/exports.h"
#include "stats/internal.h"
#include "zalcore.h"

namespace zal::stats {

// Accumulator of one norm: the running maximum (Inf) or sum.
template <NormKind K, class T>
using NormAcc = std::conditional_t<std::is_same_v<T, float>, std::conditional_t<K == NormKind::Inf, float, double>,
                                   std::conditional_t<K == NormKind::Inf, int32_t, uint64_t>>;

template <NormKind K, class T>
struct NormPartial {
    NormAcc<K, T> num = 0;  // the norm of the image or of the difference
    NormAcc<K, T> den = 0;  // relative norms: the norm of the second image

    void merge(const NormPartial& band) {
        if constexpr (K == NormKind::Inf) {
            num = band.num > num ? band.num : num;
            den = band.den > den ? band.den : den;
        } else {
            num += band.num;
            den += band.den;
        }
    }
};

inline float clearSign(float v) { return std::bit_cast<float>(std::bit_cast<uint32_t>(v) & 0x7fffffffu); }

// The contribution of one value (Inf: its magnitude; L1: its magnitude; L2:
// its square) in the accumulator's type. For 32f L2, DoubleSquare squares
// the value in double (differences, and the relative denominator); otherwise
// the square is formed in float and then widened.
template <NormKind K, bool DoubleSquare>
inline NormAcc<K, float> termOf(float v) {
    if constexpr (K == NormKind::Inf) return clearSign(v);
    else if constexpr (K == NormKind::L1) return static_cast<double>(clearSign(v));
    else if constexpr (DoubleSquare) return static_cast<double>(v) * static_cast<double>(v);
    else return static_cast<double>(v * v);
}

template <NormKind K, class A>
inline void fold(A& acc, A term) {
    if constexpr (K == NormKind::Inf) acc = term > acc ? term : acc;
    else acc += term;
}

// 32768 magnitudes of 16 bits, or squares of 8-bit magnitudes, sum within 32
// bits: integer rows are summed in chunks of that many pixels.
constexpr int kNormChunk = 32768;

// One row: numerator (and denominator) terms of the selected pixels.
template <NormKind K, NormOf Op, class T, int Channels>
inline void normRow(const T* __restrict a, const T* __restrict b, const uint8_t* __restrict mask, int width,
                    NormPartial<K, T>& acc) {
    using A = NormAcc<K, T>;
    using V = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;
    constexpr bool kTwo = Op != NormOf::Image;
    const auto operandAt = [&](std::ptrdiff_t i) {
        const V va = static_cast<V>(a[i]);
        return kTwo ? static_cast<V>(va - static_cast<V>(b[i])) : va;
    };

    if constexpr (!std::is_same_v<T, float>) {
        // Exact integers: 32-bit chunk maxima or totals (they vectorise),
        // folded into the band's partial; 16u squares need 64 bits.
        using Chunk = std::conditional_t<sizeof(T) == 1 || K != NormKind::L2, uint32_t, uint64_t>;
        for (int x0 = 0; x0 < width; x0 += kNormChunk) {
            const int x1 = width - x0 > kNormChunk ? x0 + kNormChunk : width;
            Chunk num = 0, den = 0;
            for (int x = x0; x < x1; ++x) {
                const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(x) * Channels;
                // Selection by an all-ones/all-zeros word rather than a
                // branch, so that the loop vectorises.
                const Chunk keep = Chunk(0) - static_cast<Chunk>(mask[x] != 0);
                const int32_t v = operandAt(i);
                const uint32_t m = static_cast<uint32_t>(v < 0 ? -v : v);
                fold<K>(num, static_cast<Chunk>(K == NormKind::L2 ? m * m : m) & keep);
                if constexpr (Op == NormOf::Relative) {
                    const int32_t w = static_cast<int32_t>(b[i]);
                    const uint32_t mb = static_cast<uint32_t>(w < 0 ? -w : w);
                    fold<K>(den, static_cast<Chunk>(K == NormKind::L2 ? mb * mb : mb) & keep);
                }
            }
            fold<K>(acc.num, static_cast<A>(num));
            fold<K>(acc.den, static_cast<A>(den));
        }
    } else {
        // 32f: float maxima, and double sums that must run through the band's running
        // sum in raster order.
        A num = acc.num, den = acc.den;
        int x = 0;
        if constexpr (K == NormKind::L2 && Op == NormOf::Relative && Channels == 1) {
            // Groups of four: each group's total joins the running sum at once.
            for (; x + 4 <= width; x += 4) {
                double gNum = 0.0, gDen = 0.0;
                for (int i = x; i < x + 4; ++i) {
                    if (mask[i] == 0) continue;
                    gNum += termOf<K, true>(a[i] - b[i]);
                    gDen += termOf<K, true>(b[i]);
                }
                num += gNum;
                den += gDen;
            }
        }
        for (; x < width; ++x) {
            const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(x) * Channels;
            const bool selected = mask[x] != 0;
            fold<K>(num, selected ? termOf<K, kTwo>(operandAt(i)) : A(0));
            if constexpr (Op == NormOf::Relative) fold<K>(den, selected ? termOf<K, true>(static_cast<V>(b[i])) : A(0));
        }
        acc.num = num;
        acc.den = den;
    }
}

// L1 and L2 sums of rows [begin, end) of one-channel 32f images on the widest
// SIMD target (stats/norm_sums.cpp); the same results as normRow, row by row.
void normSums32f(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                 NormPartial<NormKind::L1, float>& acc);
void normSums32f(NormOf op, Image<const float> a, Image<const float> b, Image<const uint8_t> mask, int begin, int end,
                 NormPartial<NormKind::L2, float>& acc);

// One-channel integer rows [begin, end) in vectors on the widest SIMD target
// (stats/norm_integer_rows.cpp): every kind and type except the 16u squares.
#define ZAL_NORM_INTEGER_ROWS(X) \
    X(Inf, uint8_t, 8u) X(Inf, int8_t, 8s) X(Inf, uint16_t, 16u) X(L1, uint8_t, 8u) X(L1, int8_t, 8s) \
    X(L1, uint16_t, 16u) X(L2, uint8_t, 8u) X(L2, int8_t, 8s)
#define ZAL_NORM_INTEGER_DECLARATION(K, T, suffix)                                                                   \
    void normRowsInteger(NormOf op, Image<const T> a, Image<const T> b, Image<const uint8_t> mask, int begin, int end, \
                         NormPartial<NormKind::K, T>& acc);
ZAL_NORM_INTEGER_ROWS(ZAL_NORM_INTEGER_DECLARATION)
#undef ZAL_NORM_INTEGER_DECLARATION

template <NormKind K, NormOf Op, class T, int Channels>
StatusCode norm(Plane<T, Channels> a, Plane<T, Channels> b, Image<const uint8_t> mask, Gate gate, double* value) {
    const ImageSize roi{a.width(), a.height()};
    NormPartial<K, T> total;
    scanRows(
        goesParallel(gate, roi), roi.height, NormPartial<K, T>{},
        [&](int, int begin, int end, NormPartial<K, T>& band) {
            if constexpr (std::is_same_v<T, float> && Channels == 1 && K != NormKind::Inf) {
                normSums32f(Op, a.img, b.img, mask, begin, end, band);
            } else if constexpr (!std::is_same_v<T, float> && Channels == 1 &&
                                 !(K == NormKind::L2 && sizeof(T) == 2)) {
                normRowsInteger(Op, a.img, b.img, mask, begin, end, band);
            } else {
                for (int y = begin; y < end; ++y)
                    normRow<K, Op, T, Channels>(a.row(y), b.row(y), mask.row(y), roi.width, band);
            }
        },
        [&](const NormPartial<K, T>& band) { total.merge(band); });

    const double num = static_cast<double>(total.num);
    if constexpr (Op != NormOf::Relative) {
        *value = K == NormKind::L2 ? std::sqrt(num) : num;
        return StatusOk;
    } else {
        const double den = static_cast<double>(total.den);
        if (!(den < 0.0) && !(den > 0.0)) {
            // Zero (or NaN) denominator: 0/0 is NaN, anything else +infinity.
            *value = !(num < 0.0) && !(num > 0.0) ? zalConstantOfNAN_64f : zalConstantOfINF_64f;
            return StatusDivisionByZero;
        }
        *value = K == NormKind::L2 ? std::sqrt(num / den) : num / den;
        return StatusOk;
    }
}

// The checked entry of every member; the one-image norms pass their image as
// both operands.
template <NormKind K, NormOf Op, class T, int Channels>
StatusCode normChecked(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask, int maskStep,
                       ImageSize roi, int coi, Gate gate, double* pValue) {
    ZAL_CHECK(requireNonNull(pSrc1, pSrc2, pMask, pValue));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, Channels>(roi, src1Step, src2Step)));
    ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, maskStep)));
    ZAL_CHECK(requireStepsAligned<T>(src1Step, src2Step));
    if (Channels == 3) ZAL_CHECK(requireChannelOfInterest(coi));
    return norm<K, Op, T, Channels>(Plane<T, Channels>(pSrc1, src1Step, roi, coi),
                                    Plane<T, Channels>(pSrc2, src2Step, roi, coi), image(pMask, maskStep, roi), gate,
                                    pValue);
}

}  // namespace zal::stats

// The wrappers of the three norm files: the internal instance, then the export.
#define ZAL_NORM_INSTANCE(K, Of, T, C)                                                                          \
    template StatusCode zal::stats::norm<zal::stats::NormKind::K, zal::stats::NormOf::Of, T, C>(                \
        zal::stats::Plane<T, C>, zal::stats::Plane<T, C>, zal::Image<const uint8_t>, zal::stats::Gate, double*)
#define ZAL_NORM_CALL(K, Of, T, C, ...) \
    zal::stats::normChecked<zal::stats::NormKind::K, zal::stats::NormOf::Of, T, C>(__VA_ARGS__)
// One image: (pSrc, srcStep, pMask, maskStep, roiSize[, coi], pValue).
#define ZAL_NORM_ONE(name, K, T, gate, C, coiParam, coi)                                                         \
    ZAL_DECLARED(name);                                                                                         \
    ZAL_NORM_INSTANCE(K, Image, T, C);                                                                          \
    extern "C" StatusCode name(const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize \
                               coiParam, double* pValue) {                                                      \
        return ZAL_NORM_CALL(K, Image, T, C, pSrc, srcStep, pSrc, srcStep, pMask, maskStep, roiSize, coi,        \
                             zal::stats::Gate::gate, pValue);                                                   \
    }
// Two images: (pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize[, coi], pValue).
#define ZAL_NORM_TWO(name, Of, K, T, gate, C, coiParam, coi)                                                     \
    ZAL_DECLARED(name);                                                                                         \
    ZAL_NORM_INSTANCE(K, Of, T, C);                                                                             \
    extern "C" StatusCode name(const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask, \
                               int maskStep, ImageSize roiSize coiParam, double* pValue) {                      \
        return ZAL_NORM_CALL(K, Of, T, C, pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, coi,       \
                             zal::stats::Gate::gate, pValue);                                                   \
    }
#define ZAL_NORM_COI_PARAM , int coi
