// Opening, closing, top-hat, black-hat and gradient: two dilations/erosions
// through the state's temporary image, then for the last three a difference
// that cannot go below zero (saturated for 8u, clamped at 0 for 32f).
#include <cstdint>

#include "core/checks.h"
#include "morph/advanced.h"

namespace zal::morph {
namespace {

enum class Advanced { Open, Close, Tophat, Blackhat, Gradient };

// dst = minuend - sub, kept at or above 0.
template <class T, int C>
StatusCode subtractClamped(const T* sub, int subStep, const T* minuend, int minuendStep, T* dst, int dstStep,
                           ImageSize roi) {
    if constexpr (sizeof(T) == 1) {
        if constexpr (C == 1) return zaliSub_8u_C1RSfs(sub, subStep, minuend, minuendStep, dst, dstStep, roi, 0);
        if constexpr (C == 3) return zaliSub_8u_C3RSfs(sub, subStep, minuend, minuendStep, dst, dstStep, roi, 0);
        if constexpr (C == 4) return zaliSub_8u_C4RSfs(sub, subStep, minuend, minuendStep, dst, dstStep, roi, 0);
    } else {
        StatusCode status = StatusOk;
        if constexpr (C == 1) status = zaliSub_32f_C1R(sub, subStep, minuend, minuendStep, dst, dstStep, roi);
        if constexpr (C == 3) status = zaliSub_32f_C3R(sub, subStep, minuend, minuendStep, dst, dstStep, roi);
        if constexpr (C == 4) status = zaliSub_32f_C4R(sub, subStep, minuend, minuendStep, dst, dstStep, roi);
        ZAL_CHECK(status);
        return zaliThreshold_LT_32f_C1IR(dst, dstStep, ImageSize{roi.width * C, roi.height}, 0.0f);
    }
}

// srcDst = srcDst - sub, kept at or above 0.
template <class T, int C>
StatusCode subtractClampedInPlace(const T* sub, int subStep, T* srcDst, int srcDstStep, ImageSize roi) {
    if constexpr (sizeof(T) == 1) {
        if constexpr (C == 1) return zaliSub_8u_C1IRSfs(sub, subStep, srcDst, srcDstStep, roi, 0);
        if constexpr (C == 3) return zaliSub_8u_C3IRSfs(sub, subStep, srcDst, srcDstStep, roi, 0);
        if constexpr (C == 4) return zaliSub_8u_C4IRSfs(sub, subStep, srcDst, srcDstStep, roi, 0);
    } else {
        StatusCode status = StatusOk;
        if constexpr (C == 1) status = zaliSub_32f_C1IR(sub, subStep, srcDst, srcDstStep, roi);
        if constexpr (C == 3) status = zaliSub_32f_C3IR(sub, subStep, srcDst, srcDstStep, roi);
        if constexpr (C == 4) status = zaliSub_32f_C4IR(sub, subStep, srcDst, srcDstStep, roi);
        ZAL_CHECK(status);
        return zaliThreshold_LT_32f_C1IR(srcDst, srcDstStep, ImageSize{roi.width * C, roi.height}, 0.0f);
    }
}

template <class T, int C>
StatusCode advanced(Advanced op, const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, int border,
                    const MorphAdvState* pState) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pState));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(failIf(border != BorderReplicate, StatusBadArgument));
    ZAL_CHECK(failIf(roi.width > pState->first->maxRoiWidth, StatusSizeError));
    const PixelFormat format{sizeof(T) == 1 ? DataType8u : DataType32f, C};
    const long long tstep = tempStep(roi.width, format);
    ZAL_CHECK(failIf(tstep * roi.height > pState->tempSize, StatusSizeError));

    T* temp = reinterpret_cast<T*>(pState->temp);
    const int ts = static_cast<int>(tstep);
    const MorphologyState* b = pState->first;
    const MorphologyState* r = pState->second;
    using minmax::Max;
    using minmax::Min;
    switch (op) {
        case Advanced::Open:
            ZAL_CHECK((dilateErode<T, C, Min>(pSrc, srcStep, temp, ts, roi, border, b)));
            return dilateErode<T, C, Max>(temp, ts, pDst, dstStep, roi, border, r);
        case Advanced::Close:
            ZAL_CHECK((dilateErode<T, C, Max>(pSrc, srcStep, temp, ts, roi, border, b)));
            return dilateErode<T, C, Min>(temp, ts, pDst, dstStep, roi, border, r);
        case Advanced::Tophat:
            ZAL_CHECK((dilateErode<T, C, Min>(pSrc, srcStep, pDst, dstStep, roi, border, b)));
            ZAL_CHECK((dilateErode<T, C, Max>(pDst, dstStep, temp, ts, roi, border, r)));
            return subtractClamped<T, C>(temp, ts, pSrc, srcStep, pDst, dstStep, roi);
        case Advanced::Blackhat:
            ZAL_CHECK((dilateErode<T, C, Max>(pSrc, srcStep, temp, ts, roi, border, b)));
            ZAL_CHECK((dilateErode<T, C, Min>(temp, ts, pDst, dstStep, roi, border, r)));
            return subtractClampedInPlace<T, C>(pSrc, srcStep, pDst, dstStep, roi);
        case Advanced::Gradient:
        default:
            ZAL_CHECK((dilateErode<T, C, Max>(pSrc, srcStep, pDst, dstStep, roi, border, b)));
            ZAL_CHECK((dilateErode<T, C, Min>(pSrc, srcStep, temp, ts, roi, border, b)));
            return subtractClampedInPlace<T, C>(temp, ts, pDst, dstStep, roi);
    }
}

}  // namespace
}  // namespace zal::morph

#define ZAL_MORPH_ADV_OP(name, op, type, ctype, C)                                                                \
    StatusCode zaliMorph##name##Border_##type##_C##C##R(const ctype* pSrc, int srcStep, ctype* pDst, int dstStep, \
                                                        ImageSize roiSize, int border, MorphAdvState* pState) {   \
        return zal::morph::advanced<ctype, C>(zal::morph::Advanced::op, pSrc, srcStep, pDst, dstStep, roiSize,    \
                                              border, pState);                                                    \
    }
#define ZAL_MORPH_ADV_OPS(type, ctype, C)              \
    ZAL_MORPH_ADV_OP(Open, Open, type, ctype, C)         \
    ZAL_MORPH_ADV_OP(Close, Close, type, ctype, C)       \
    ZAL_MORPH_ADV_OP(Tophat, Tophat, type, ctype, C)     \
    ZAL_MORPH_ADV_OP(Blackhat, Blackhat, type, ctype, C) \
    ZAL_MORPH_ADV_OP(Gradient, Gradient, type, ctype, C)

extern "C" {
ZAL_MORPH_ADV_OPS(8u, uint8_t, 1)
ZAL_MORPH_ADV_OPS(8u, uint8_t, 3)
ZAL_MORPH_ADV_OPS(8u, uint8_t, 4)
ZAL_MORPH_ADV_OPS(32f, float, 1)
ZAL_MORPH_ADV_OPS(32f, float, 3)
ZAL_MORPH_ADV_OPS(32f, float, 4)
}  // extern "C"
