// Copies of image regions. Elements travel as opaque bytes, so float payloads
// (NaN included) are preserved bit for bit.
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/exports.h"
#include "core/ops.h"

namespace zal {
namespace core {

template <class T>
void copy(Image<const T> src, Image<T> dst, int channels) {
    const std::size_t rowBytes = static_cast<std::size_t>(src.width) * channels * sizeof(T);
    if (src.step == dst.step && src.step == static_cast<std::ptrdiff_t>(rowBytes)) {
        std::memmove(dst.base, src.base, rowBytes * static_cast<std::size_t>(src.height));
        return;
    }
    for (int y = 0; y < src.height; ++y) std::memmove(dst.row(y), src.row(y), rowBytes);
}

}  // namespace core

namespace {

// Steps are not checked: any step, bottom-up images included, is copied.
template <class T, int Channels>
StatusCode copyImage(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    core::copy<T>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), Channels);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_COPY(name, T, C)                                                                                   \
    ZAL_DECLARED(name);                                                                                        \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize) {          \
        return zal::copyImage<T, C>(pSrc, srcStep, pDst, dstStep, roiSize);                                    \
    }
ZAL_CORE_COPY(ZAL_COPY)
template void zal::core::copy<uint8_t>(zal::Image<const uint8_t>, zal::Image<uint8_t>, int);
template void zal::core::copy<float>(zal::Image<const float>, zal::Image<float>, int);
