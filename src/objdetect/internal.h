// Pieces shared by the integral-image, window-deviation and Haar families.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "zalcv.h"

namespace zal::objdetect {

// 32-bit integer tables and sums wrap modulo 2^32: the arithmetic is done in
// unsigned and the bit pattern read back as signed.
constexpr int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// -14 when `step` is below `elements` elements of T. The element count is
// formed in 64 bits so that extreme rectangles cannot overflow it.
template <class T>
constexpr StatusCode requireTableStep(int step, long long elements) {
    return static_cast<long long>(step) < elements * static_cast<long long>(sizeof(T)) ? StatusStepError : StatusOk;
}

// A table argument of an integral builder.
template <class T>
struct TableArg {
    T* ptr;
    int step;
};

// Checks of the integral builders, in order: pointers (-8), size (-6), the
// source step and every table step against its row length (-14), table step
// alignment (-108). Upright tables have W + 1 columns, tilted ones W + 2.
template <class... T>
StatusCode checkIntegral(const uint8_t* pSrc, int srcStep, ImageSize roi, int extraColumns, TableArg<T>... tables) {
    ZAL_CHECK(failIf(pSrc == nullptr || ((tables.ptr == nullptr) || ...), StatusNullPointer));
    ZAL_CHECK(requireSize(roi));
    const long long columns = static_cast<long long>(roi.width) + extraColumns;
    ZAL_CHECK(failIf(srcStep < roi.width, StatusStepError));
    ZAL_CHECK(failIf(((requireTableStep<T>(tables.step, columns) != StatusOk) || ...), StatusStepError));
    ZAL_CHECK(failIf(((requireStepsAligned<T>(tables.step) != StatusOk) || ...), StatusStepAlignmentError));
    return StatusOk;
}

// One table of a builder call: `Builder` fills it (Builder::Elem entries,
// Builder::kExtraColumns columns beyond the source width) from the source.
template <class Builder>
struct TableSpec {
    typename Builder::Elem* ptr;
    int step;
    typename Builder::Elem val;
};

// Checks the arguments of a builder call, then fills every table in turn.
template <class... Builders>
StatusCode buildTables(const uint8_t* pSrc, int srcStep, ImageSize roi, TableSpec<Builders>... tables) {
    constexpr int kExtras[] = {Builders::kExtraColumns...};
    constexpr int kExtra = kExtras[0];
    static_assert(((Builders::kExtraColumns == kExtra) && ...), "one geometry per call");
    ZAL_CHECK(checkIntegral(pSrc, srcStep, roi, kExtra, TableArg<typename Builders::Elem>{tables.ptr, tables.step}...));
    const Image<const uint8_t> src(pSrc, srcStep, roi);
    (Builders::build(src, Image<typename Builders::Elem>(tables.ptr, tables.step, roi), tables.val), ...);
    return StatusOk;
}

}  // namespace zal::objdetect
