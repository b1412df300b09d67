// Sobel, Scharr, Laplacian and lowpass filters with a border rule: the checks,
// the choice of built-in row and column routines, the buffer queries and the
// exported names.
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "core/threads.h"
#include "filter/fixed_driver.h"
#include "filter/fixed_filters.h"
#include "filter/fixed_kernels.h"
#include "filter/internal.h"

namespace zal {
namespace {

enum class Op { SobelHoriz, SobelVert, SobelNegVert, SobelHorizSecond, SobelVertSecond, SobelCross, ScharrHoriz,
                ScharrVert, Laplacian, Lowpass };

// Type pairs: source, line (row-pass result) and destination.
template <class S, class L, class D>
struct TypePair {
    using Src = S;
    using Line = L;
    using Dst = D;
};
using Pair32f = TypePair<float, float, float>;
using Pair8u16s = TypePair<uint8_t, int16_t, int16_t>;
using Pair8u8s = TypePair<uint8_t, int16_t, int8_t>;
using Pair8u = TypePair<uint8_t, int16_t, uint8_t>;

struct RoutinePair {
    int row;
    int column;
};

// Row and column routine of each separable filter, for 3x3 and 5x5.
constexpr RoutinePair routinesOf(Op op, bool five) {
    switch (op) {
        case Op::SobelHoriz: return five ? RoutinePair{kRowSobel5, kColDx5} : RoutinePair{kRowSobel3, kColDx3};
        case Op::SobelVert: return five ? RoutinePair{kRowDxNeg5, kColSobel5} : RoutinePair{kRowDxNeg3, kColSobel3};
        case Op::SobelNegVert:
            return five ? RoutinePair{kRowDxNeg5, kColSobelNeg5} : RoutinePair{kRowDxNeg3, kColSobelNeg3};
        case Op::SobelHorizSecond: return five ? RoutinePair{kRowSobel5, kColD2x5} : RoutinePair{kRowSobel3, kColD2x3};
        case Op::SobelVertSecond: return five ? RoutinePair{kRowD2x5, kColSobel5} : RoutinePair{kRowD2x3, kColSobel3};
        case Op::SobelCross: return five ? RoutinePair{kRowDxNeg5, kColDx5} : RoutinePair{kRowDxNeg3, kColDx3};
        case Op::ScharrHoriz: return RoutinePair{kRowScharr3, kColDx3};
        case Op::ScharrVert: return RoutinePair{kRowDx3, kColScharr3};
        case Op::Laplacian: return five ? RoutinePair{kRowSobel5, kColLaplacian5} : RoutinePair{kRowLaplacian3, kColLaplacian3};
        case Op::Lowpass: return five ? RoutinePair{kRowAvr5, kColAvr5} : RoutinePair{kRowAvr3, kColAvr3};
    }
    return RoutinePair{0, 0};
}

template <class PairT>
FixedPlan<typename PairT::Src, typename PairT::Line, typename PairT::Dst> planOf(Op op, int kernelSize) {
    const bool five = kernelSize == 5;
    const RoutinePair r = routinesOf(op, five);
    FixedPlan<typename PairT::Src, typename PairT::Line, typename PairT::Dst> plan{};
    plan.kernelSize = kernelSize;
    plan.terms = op == Op::Laplacian && five ? 2 : 1;
    plan.lineValues = op == Op::Laplacian && !five ? 2 : 1;
    if constexpr (std::is_same_v<PairT, Pair32f>) {
        plan.row[0] = owntabRow_32f[r.row];
        plan.row[1] = owntabRow_32f[kRowD2x5];
        plan.column = owntabColumn_32f[r.column];
    } else {
        plan.row[0] = owntabRow_8u16s[r.row];
        plan.row[1] = owntabRow_8u16s[kRowD2x5];
        if constexpr (std::is_same_v<PairT, Pair8u16s>) plan.column = owntabColumn_8u16s[r.column];
        if constexpr (std::is_same_v<PairT, Pair8u8s>) plan.column = owntabColumn_8u8s[r.column];
        if constexpr (std::is_same_v<PairT, Pair8u>) plan.column = owntabColumn_8u[five ? 1 : 0];
    }
    return plan;
}

// Per-thread share of the work buffer: lines (P), the row and column
// pipeline areas of the same size (R, C) and 32 bytes.
template <class PairT>
long long perThreadBytes(Op op, ImageSize roi, int K, int n) {
    const long long w16 = roundUp(roi.width, 16);
    const bool is32f = std::is_same_v<PairT, Pair32f>;
    long long p;
    if (op == Op::Laplacian) {
        const long long L = is32f ? 8 * w16 : 4 * w16;
        p = L * (2 * K + 15) + 24LL * K + 240 + 96;
        if (std::is_same_v<PairT, Pair8u8s> && K == 5) p += 2 * w16 * roi.height + 32;
    } else {
        const long long L = is32f ? 4 * roundUp(roi.width, 4) : 2 * w16;
        p = L * (2 * K + 15) + 12LL * K + 120 + 64;
    }
    const long long r = pipelineBufferBytes(n, roi.height, K, (is32f ? 16LL : 4LL) * K + 32);
    const long long c = pipelineBufferBytes(n, roi.height, K, is32f ? 0 : 4LL * K + 32);
    return p + r + c + 32;
}

constexpr bool isAperture(int mask) { return mask == Aperture3x3 || mask == Aperture5x5; }

// The filter with a buffer laid out for `workers` workers (the exported
// names: the current maximum worker count).
template <class PairT>
StatusCode fixedFilter(Op op, const typename PairT::Src* pSrc, int srcStep, typename PairT::Dst* pDst, int dstStep,
                       ImageSize roi, int mask, int borderType, typename PairT::Src borderValue, int divisor,
                       uint8_t* pBuffer, int workers = owncvGetMaxNumThreads()) {
    using Src = typename PairT::Src;
    using Dst = typename PairT::Dst;
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireLength(roi.width));
    ZAL_CHECK(requireLength(roi.height));
    ZAL_CHECK((requireRowSteps<Src, 1>(roi, srcStep)));
    ZAL_CHECK((requireRowSteps<Dst, 1>(roi, dstStep)));
    ZAL_CHECK(requireStepsAligned<Src>(srcStep));
    ZAL_CHECK(requireStepsAligned<Dst>(dstStep));
    ZAL_CHECK(failIf(!isBorderKind(borderType), StatusBadArgument));
    if constexpr (std::is_same_v<PairT, Pair8u8s>) ZAL_CHECK(failIf(divisor == 0, StatusBadArgument));
    ZAL_CHECK(failIf(!isAperture(mask), StatusMaskSizeError));

    const int K = mask == Aperture5x5 ? 5 : 3;
    const FixedFilterRun<Src, typename PairT::Line, Dst> run(planOf<PairT>(op, K), Image<const Src>(pSrc, srcStep, roi),
                                                             Image<Dst>(pDst, dstStep, roi), borderType, borderValue,
                                                             1.0f / static_cast<float>(divisor));
    run.run(pBuffer, static_cast<std::size_t>(perThreadBytes<PairT>(op, roi, K, workers)), workers);
    return StatusOk;
}

template <class PairT>
StatusCode fixedBufferSize(Op op, ImageSize roi, int mask, int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(!isAperture(mask), StatusMaskSizeError));
    const int n = owncvGetMaxNumThreads();
    const int K = mask == Aperture5x5 ? 5 : 3;
    const long long each = perThreadBytes<PairT>(op, roi, K, n);
    return storeSize(n * each, pBufferSize);
}

}  // namespace

template <class Src>
long long scharrBufferBytes(ImageSize roi, int workers) {
    using PairT = std::conditional_t<std::is_same_v<Src, float>, Pair32f, Pair8u16s>;
    return workers * perThreadBytes<PairT>(Op::ScharrVert, roi, 3, workers);
}
template long long scharrBufferBytes<uint8_t>(ImageSize, int);
template long long scharrBufferBytes<float>(ImageSize, int);

StatusCode scharrReplicate(ScharrDirection direction, const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer) {
    const Op op = direction == ScharrDirection::Horiz ? Op::ScharrHoriz : Op::ScharrVert;
    return fixedFilter<Pair8u16s>(op, pSrc, srcStep, pDst, dstStep, roi, Aperture3x3, BorderReplicate, 0, 1, pBuffer,
                                  workers);
}

StatusCode scharrReplicate(ScharrDirection direction, const float* pSrc, int srcStep, float* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer) {
    const Op op = direction == ScharrDirection::Horiz ? Op::ScharrHoriz : Op::ScharrVert;
    return fixedFilter<Pair32f>(op, pSrc, srcStep, pDst, dstStep, roi, Aperture3x3, BorderReplicate, 0.0f, 1, pBuffer,
                                workers);
}

}  // namespace zal

// Filters with an aperture: (operation, type suffix, type pair, source, destination).
#define ZAL_FIXED_APERTURE(NAME, OP, SUFFIX, PAIR, S, D)                                                          \
    StatusCode zaliFilter##NAME##Border_##SUFFIX##_C1R(const S* pSrc, int srcStep, D* pDst, int dstStep,          \
                                                       ImageSize roiSize, ApertureSize mask, BorderKind borderType, \
                                                       S borderValue, uint8_t* pBuffer) {                         \
        return zal::fixedFilter<zal::PAIR>(zal::Op::OP, pSrc, srcStep, pDst, dstStep, roiSize, mask, borderType,  \
                                           borderValue, 1, pBuffer);                                              \
    }                                                                                                             \
    StatusCode zaliFilter##NAME##GetBufferSize_##SUFFIX##_C1R(ImageSize roiSize, ApertureSize mask,               \
                                                              int* pBufferSize) {                                 \
        return zal::fixedBufferSize<zal::PAIR>(zal::Op::OP, roiSize, mask, pBufferSize);                          \
    }
#define ZAL_FIXED_APERTURE_8U8S(NAME, OP)                                                                         \
    StatusCode zaliFilter##NAME##Border_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep,     \
                                                 ImageSize roiSize, ApertureSize mask, BorderKind borderType,     \
                                                 uint8_t borderValue, int divisor, uint8_t* pBuffer) {            \
        return zal::fixedFilter<zal::Pair8u8s>(zal::Op::OP, pSrc, srcStep, pDst, dstStep, roiSize, mask,          \
                                               borderType, borderValue, divisor, pBuffer);                        \
    }                                                                                                             \
    StatusCode zaliFilter##NAME##GetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize) { \
        return zal::fixedBufferSize<zal::Pair8u8s>(zal::Op::OP, roiSize, mask, pBufferSize);                      \
    }
#define ZAL_FIXED_DERIVATIVE(NAME, OP)                                 \
    ZAL_FIXED_APERTURE(NAME, OP, 8u16s, Pair8u16s, uint8_t, int16_t)  \
    ZAL_FIXED_APERTURE(NAME, OP, 32f, Pair32f, float, float)          \
    ZAL_FIXED_APERTURE_8U8S(NAME, OP)

// Scharr filters are 3x3 only and take no aperture.
#define ZAL_FIXED_SCHARR_T(NAME, OP, SUFFIX, PAIR, S, D, DIVISOR_PARAM, DIVISOR)                                  \
    StatusCode zaliFilter##NAME##Border_##SUFFIX##_C1R(const S* pSrc, int srcStep, D* pDst, int dstStep,          \
                                                       ImageSize roiSize, BorderKind borderType,                  \
                                                       S borderValue DIVISOR_PARAM, uint8_t* pBuffer) {           \
        return zal::fixedFilter<zal::PAIR>(zal::Op::OP, pSrc, srcStep, pDst, dstStep, roiSize, Aperture3x3,       \
                                           borderType, borderValue, DIVISOR, pBuffer);                            \
    }                                                                                                             \
    StatusCode zaliFilter##NAME##GetBufferSize_##SUFFIX##_C1R(ImageSize roiSize, int* pBufferSize) {              \
        return zal::fixedBufferSize<zal::PAIR>(zal::Op::OP, roiSize, Aperture3x3, pBufferSize);                   \
    }
#define ZAL_COMMA ,
#define ZAL_FIXED_SCHARR(NAME, OP)                                                                  \
    ZAL_FIXED_SCHARR_T(NAME, OP, 8u16s, Pair8u16s, uint8_t, int16_t, , 1)                           \
    ZAL_FIXED_SCHARR_T(NAME, OP, 32f, Pair32f, float, float, , 1)                                   \
    ZAL_FIXED_SCHARR_T(NAME, OP, 8u8s, Pair8u8s, uint8_t, int8_t, ZAL_COMMA int divisor, divisor)

extern "C" {
ZAL_FIXED_DERIVATIVE(SobelHoriz, SobelHoriz)
ZAL_FIXED_DERIVATIVE(SobelVert, SobelVert)
ZAL_FIXED_DERIVATIVE(SobelNegVert, SobelNegVert)
ZAL_FIXED_DERIVATIVE(SobelHorizSecond, SobelHorizSecond)
ZAL_FIXED_DERIVATIVE(SobelVertSecond, SobelVertSecond)
ZAL_FIXED_DERIVATIVE(SobelCross, SobelCross)
ZAL_FIXED_DERIVATIVE(Laplacian, Laplacian)
ZAL_FIXED_SCHARR(ScharrHoriz, ScharrHoriz)
ZAL_FIXED_SCHARR(ScharrVert, ScharrVert)
ZAL_FIXED_APERTURE(Lowpass, Lowpass, 8u, Pair8u, uint8_t, uint8_t)
ZAL_FIXED_APERTURE(Lowpass, Lowpass, 32f, Pair32f, float, float)
}  // extern "C"
