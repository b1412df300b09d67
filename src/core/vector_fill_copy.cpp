// Fill, clear, copy and convert of one-dimensional vectors. Fills and copies
// move raw bytes, so float bit patterns (NaN payloads included) survive.
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/exports.h"

namespace zal {
namespace {

StatusCode checkDst(const void* dst, int len) {
    ZAL_CHECK(requireNonNull(dst));
    return requireLength(len);
}

StatusCode checkSrcDst(const void* src, const void* dst, int len) {
    ZAL_CHECK(requireNonNull(src, dst));
    return requireLength(len);
}

template <class Unit, class T>
void fill(T value, T* dst, int len) {
    const Unit unit = std::bit_cast<Unit>(value);
    if constexpr (sizeof(Unit) == 1) {
        std::memset(dst, unit, static_cast<std::size_t>(len));
    } else {
        for (int i = 0; i < len; ++i) std::memcpy(dst + i, &unit, sizeof(Unit));
    }
}

std::size_t bytesOf(int len, std::size_t elementBytes) { return static_cast<std::size_t>(len) * elementBytes; }

}  // namespace
}  // namespace zal

#define ZAL_VECTOR_SET(name, T, Unit)                                 \
    ZAL_DECLARED(name);                                               \
    extern "C" StatusCode name(T val, T* pDst, int len) {             \
        ZAL_CHECK(zal::checkDst(pDst, len));                          \
        zal::fill<Unit>(val, pDst, len);                              \
        return StatusOk;                                              \
    }
#define ZAL_VECTOR_ZERO(name, T)                                      \
    ZAL_DECLARED(name);                                               \
    extern "C" StatusCode name(T* pDst, int len) {                    \
        ZAL_CHECK(zal::checkDst(pDst, len));                          \
        std::memset(pDst, 0, zal::bytesOf(len, sizeof(T)));           \
        return StatusOk;                                              \
    }
// Front to back: overlapping ranges with the destination first are safe.
#define ZAL_VECTOR_COPY(name, T)                                      \
    ZAL_DECLARED(name);                                               \
    extern "C" StatusCode name(const T* pSrc, T* pDst, int len) {     \
        ZAL_CHECK(zal::checkSrcDst(pSrc, pDst, len));                 \
        std::memmove(pDst, pSrc, zal::bytesOf(len, sizeof(T)));       \
        return StatusOk;                                              \
    }
ZAL_CORE_VECTOR_SET(ZAL_VECTOR_SET)
ZAL_CORE_VECTOR_ZERO(ZAL_VECTOR_ZERO)
ZAL_CORE_VECTOR_COPY(ZAL_VECTOR_COPY)

ZAL_DECLARED(zalsConvert_16u32f);
extern "C" StatusCode zalsConvert_16u32f(const uint16_t* pSrc, float* pDst, int len) {
    ZAL_CHECK(zal::checkSrcDst(pSrc, pDst, len));
    for (int i = 0; i < len; ++i) pDst[i] = static_cast<float>(pSrc[i]);
    return StatusOk;
}
