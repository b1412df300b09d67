// Fill, clear, copy and convert of one-dimensional vectors.
#include <bit>
#include <cstdint>

#include "core/checks.h"
#include "core/vector_ops.h"

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

}  // namespace
}  // namespace zal

extern "C" {

StatusCode zalsSet_8u(uint8_t val, uint8_t* pDst, int len) {
    ZAL_CHECK(zal::checkDst(pDst, len));
    zal::ownsSet_8u(val, pDst, len);
    return StatusOk;
}

StatusCode zalsSet_32f(float val, float* pDst, int len) {
    ZAL_CHECK(zal::checkDst(pDst, len));
    zal::ownsSet_32s(std::bit_cast<int32_t>(val), reinterpret_cast<int32_t*>(pDst), len);
    return StatusOk;
}

StatusCode zalsZero_8u(uint8_t* pDst, int len) {
    ZAL_CHECK(zal::checkDst(pDst, len));
    zal::ownsZero_8u(pDst, len);
    return StatusOk;
}

StatusCode zalsZero_16s(int16_t* pDst, int len) {
    ZAL_CHECK(zal::checkDst(pDst, len));
    zal::ownsZero_8u(reinterpret_cast<uint8_t*>(pDst), static_cast<std::ptrdiff_t>(len) * 2);
    return StatusOk;
}

StatusCode zalsZero_32f(float* pDst, int len) {
    ZAL_CHECK(zal::checkDst(pDst, len));
    zal::ownsZero_8u(reinterpret_cast<uint8_t*>(pDst), static_cast<std::ptrdiff_t>(len) * 4);
    return StatusOk;
}

StatusCode zalsCopy_8u(const uint8_t* pSrc, uint8_t* pDst, int len) {
    ZAL_CHECK(zal::checkSrcDst(pSrc, pDst, len));
    zal::ownsCopy_8u(pSrc, pDst, len);
    return StatusOk;
}

StatusCode zalsCopy_32f(const float* pSrc, float* pDst, int len) {
    ZAL_CHECK(zal::checkSrcDst(pSrc, pDst, len));
    zal::ownsCopy_8u(reinterpret_cast<const uint8_t*>(pSrc), reinterpret_cast<uint8_t*>(pDst),
                     static_cast<std::ptrdiff_t>(len) * 4);
    return StatusOk;
}

StatusCode zalsConvert_16u32f(const uint16_t* pSrc, float* pDst, int len) {
    ZAL_CHECK(zal::checkSrcDst(pSrc, pDst, len));
    for (int i = 0; i < len; ++i) pDst[i] = static_cast<float>(pSrc[i]);
    return StatusOk;
}

}  // extern "C"
