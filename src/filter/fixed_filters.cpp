// Sobel, Scharr, Laplacian and lowpass filters with a border rule: the choice
// of built-in row and column routines, the work-area layout, the checks and
// the exported names.
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "core/threads.h"
#include "filter/exports.h"
#include "filter/fixed_driver.h"
#include "filter/fixed_kernels.h"
#include "filter/internal.h"
#include "filter/ops.h"

namespace zal::filter {
namespace {

using Op = Fixed;

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
    const FixedRoutines& routines = fixedRoutines();
    if constexpr (std::is_same_v<PairT, Pair32f>) {
        plan.row[0] = routines.row32f[r.row];
        plan.row[1] = routines.row32f[kRowD2x5];
        plan.column = routines.column32f[r.column];
    } else {
        plan.row[0] = routines.row8u16s[r.row];
        plan.row[1] = routines.row8u16s[kRowD2x5];
        if constexpr (std::is_same_v<PairT, Pair8u16s>) plan.column = routines.column8u16s[r.column];
        if constexpr (std::is_same_v<PairT, Pair8u8s>) plan.column = routines.column8u8s[r.column];
        if constexpr (std::is_same_v<PairT, Pair8u>) plan.column = routines.column8u[five ? 1 : 0];
    }
    return plan;
}

// Per-thread share of the work buffer: lines (P), the row and column
// pipeline areas of the same size (R, C) and 32 bytes. The constants are the
// sizes the query has always reported (kept for compatibility).
// (The 8u8s 5x5 Laplacian keeps a whole 16-bit image: that product of width
// and height is what can leave the 64-bit range.)
template <class PairT>
ByteCount perThreadBytes(Op op, ImageSize roi, int K, int n) {
    const long long w16 = roundUp(roi.width, 16);
    const bool is32f = std::is_same_v<PairT, Pair32f>;
    ByteCount p = 0;
    if (op == Op::Laplacian) {
        const long long L = is32f ? 8 * w16 : 4 * w16;
        p = L * (2 * K + 15) + 24LL * K + 240 + 96;
        if (std::is_same_v<PairT, Pair8u8s> && K == 5) p = p + ByteCount(2 * w16) * roi.height + 32;
    } else {
        const long long L = is32f ? 4 * roundUp(roi.width, 4) : 2 * w16;
        p = L * (2 * K + 15) + 12LL * K + 120 + 64;
    }
    const long long r = pipelineBufferBytes(n, roi.height, K, (is32f ? 16LL : 4LL) * K + 32);
    const long long c = pipelineBufferBytes(n, roi.height, K, is32f ? 0 : 4LL * K + 32);
    return p + r + c + 32;
}

template <class Src, class Dst>
using PairOf = TypePair<Src, FixedLine<Src>, Dst>;

}  // namespace

template <class Src, class Dst>
ByteCount fixedBufferBytes(Fixed op, ImageSize roi, int kernelSize, int workers) {
    return perThreadBytes<PairOf<Src, Dst>>(op, roi, kernelSize, workers) * workers;
}

template <class Src, class Dst>
void fixedFilter(Fixed op, Image<const Src> src, Image<Dst> dst, int kernelSize, int border, Src borderValue,
                 int divisor, uint8_t* buffer, int workers) {
    using PairT = PairOf<Src, Dst>;
    const ImageSize roi{src.width, src.height};
    const FixedFilterRun<Src, typename PairT::Line, Dst> run(planOf<PairT>(op, kernelSize), src, dst, border,
                                                             borderValue, 1.0f / static_cast<float>(divisor));
    run.run(buffer, static_cast<std::size_t>(perThreadBytes<PairT>(op, roi, kernelSize, workers).value()), workers);
}

template <class Src, class Dst>
FixedPlan<Src, FixedLine<Src>, Dst> fixedPlan(Fixed op, int kernelSize) {
    return planOf<PairOf<Src, Dst>>(op, kernelSize);
}

#define ZAL_FIXED_TYPES(Src, Dst)                                                                              \
    template ByteCount fixedBufferBytes<Src, Dst>(Fixed, ImageSize, int, int);                                 \
    template FixedPlan<Src, FixedLine<Src>, Dst> fixedPlan<Src, Dst>(Fixed, int);                              \
    template void fixedFilter<Src, Dst>(Fixed, Image<const Src>, Image<Dst>, int, int, Src, int, uint8_t*, int);
ZAL_FIXED_TYPES(uint8_t, int16_t)
ZAL_FIXED_TYPES(uint8_t, int8_t)
ZAL_FIXED_TYPES(uint8_t, uint8_t)
ZAL_FIXED_TYPES(float, float)
#undef ZAL_FIXED_TYPES

namespace {

constexpr bool isAperture(int mask) { return mask == Aperture3x3 || mask == Aperture5x5; }

// The checked filter with a work area laid out for `workers` workers (the
// exports: the current maximum worker count).
template <class Src, class Dst>
StatusCode checkedFixed(Fixed op, const Src* pSrc, int srcStep, Dst* pDst, int dstStep, ImageSize roi, int mask,
                        int borderType, Src borderValue, int divisor, uint8_t* pBuffer,
                        int workers = owncvGetMaxNumThreads()) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireLength(roi.width));
    ZAL_CHECK(requireLength(roi.height));
    ZAL_CHECK((requireRowSteps<Src, 1>(roi, srcStep)));
    ZAL_CHECK((requireRowSteps<Dst, 1>(roi, dstStep)));
    ZAL_CHECK(requireStepsAligned<Src>(srcStep));
    ZAL_CHECK(requireStepsAligned<Dst>(dstStep));
    ZAL_CHECK(failIf(!isBorderKind(borderType), StatusBadArgument));
    if constexpr (std::is_same_v<Dst, int8_t>) ZAL_CHECK(failIf(divisor == 0, StatusBadArgument));
    ZAL_CHECK(failIf(!isAperture(mask), StatusMaskSizeError));
    fixedFilter<Src, Dst>(op, image(pSrc, srcStep, roi), image(pDst, dstStep, roi), mask == Aperture5x5 ? 5 : 3,
                          borderType, borderValue, divisor, pBuffer, workers);
    return StatusOk;
}

template <class Src, class Dst>
StatusCode fixedBufferSize(Fixed op, ImageSize roi, int mask, int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(!isAperture(mask), StatusMaskSizeError));
    return storeSize(fixedBufferBytes<Src, Dst>(op, roi, mask == Aperture5x5 ? 5 : 3, owncvGetMaxNumThreads()),
                     pBufferSize);
}

}  // namespace

template <class Src>
long long scharrBufferBytes(ImageSize roi, int workers) {
    using Dst = std::conditional_t<std::is_same_v<Src, float>, float, int16_t>;
    return fixedBufferBytes<Src, Dst>(Fixed::ScharrVert, roi, 3, workers).value();
}
template long long scharrBufferBytes<uint8_t>(ImageSize, int);
template long long scharrBufferBytes<float>(ImageSize, int);

StatusCode scharrReplicate(ScharrDirection direction, const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer) {
    const Fixed op = direction == ScharrDirection::Horiz ? Fixed::ScharrHoriz : Fixed::ScharrVert;
    return checkedFixed<uint8_t, int16_t>(op, pSrc, srcStep, pDst, dstStep, roi, Aperture3x3, BorderReplicate, 0, 1,
                                          pBuffer, workers);
}

StatusCode scharrReplicate(ScharrDirection direction, const float* pSrc, int srcStep, float* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer) {
    const Fixed op = direction == ScharrDirection::Horiz ? Fixed::ScharrHoriz : Fixed::ScharrVert;
    return checkedFixed<float, float>(op, pSrc, srcStep, pDst, dstStep, roi, Aperture3x3, BorderReplicate, 0.0f, 1,
                                      pBuffer, workers);
}

}  // namespace zal::filter

#define ZAL_FIXED(name, OP, S, D)                                                                               \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(const S* pSrc, int srcStep, D* pDst, int dstStep, ImageSize roiSize,             \
                               ApertureSize mask, BorderKind borderType, S borderValue, uint8_t* pBuffer) {     \
        return zal::filter::checkedFixed<S, D>(zal::filter::Fixed::OP, pSrc, srcStep, pDst, dstStep, roiSize,  \
                                               mask, borderType, borderValue, 1, pBuffer);                      \
    }
#define ZAL_FIXED_8U8S(name, OP)                                                                                \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize,  \
                               ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor,      \
                               uint8_t* pBuffer) {                                                              \
        return zal::filter::checkedFixed<uint8_t, int8_t>(zal::filter::Fixed::OP, pSrc, srcStep, pDst, dstStep, \
                                                          roiSize, mask, borderType, borderValue, divisor,      \
                                                          pBuffer);                                             \
    }
#define ZAL_SCHARR(name, OP, S, D)                                                                              \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(const S* pSrc, int srcStep, D* pDst, int dstStep, ImageSize roiSize,             \
                               BorderKind borderType, S borderValue, uint8_t* pBuffer) {                        \
        return zal::filter::checkedFixed<S, D>(zal::filter::Fixed::OP, pSrc, srcStep, pDst, dstStep, roiSize,  \
                                               Aperture3x3, borderType, borderValue, 1, pBuffer);               \
    }
#define ZAL_SCHARR_8U8S(name, OP)                                                                               \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize,  \
                               BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer) {     \
        return zal::filter::checkedFixed<uint8_t, int8_t>(zal::filter::Fixed::OP, pSrc, srcStep, pDst, dstStep, \
                                                          roiSize, Aperture3x3, borderType, borderValue,        \
                                                          divisor, pBuffer);                                    \
    }
#define ZAL_FIXED_SIZE(name, OP, S, D)                                                                          \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(ImageSize roiSize, ApertureSize mask, int* pBufferSize) {                        \
        return zal::filter::fixedBufferSize<S, D>(zal::filter::Fixed::OP, roiSize, mask, pBufferSize);          \
    }
#define ZAL_SCHARR_SIZE(name, OP, S, D)                                                                         \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(ImageSize roiSize, int* pBufferSize) {                                           \
        return zal::filter::fixedBufferSize<S, D>(zal::filter::Fixed::OP, roiSize, Aperture3x3, pBufferSize);   \
    }
ZAL_FILTER_FIXED(ZAL_FIXED)
ZAL_FILTER_FIXED_8U8S(ZAL_FIXED_8U8S)
ZAL_FILTER_SCHARR(ZAL_SCHARR)
ZAL_FILTER_SCHARR_8U8S(ZAL_SCHARR_8U8S)
ZAL_FILTER_FIXED_SIZE(ZAL_FIXED_SIZE)
ZAL_FILTER_SCHARR_SIZE(ZAL_SCHARR_SIZE)
