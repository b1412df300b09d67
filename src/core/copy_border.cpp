// Copies that surround the source with a replicated border. C3 and C4 pixels
// are replicated as whole units; 32f images travel through the 32s members.
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/exports.h"
#include "core/ops.h"

namespace zal {
namespace {

StatusCode checkBorders(ImageSize src, ImageSize dst, int top, int left) {
    const bool bad = src.width < 1 || src.height < 1 || dst.width < 1 || dst.height < 1 || top < 0 || left < 0 ||
                     static_cast<long long>(dst.width) < static_cast<long long>(src.width) + left ||
                     static_cast<long long>(dst.height) < static_cast<long long>(src.height) + top;
    return failIf(bad, StatusSizeError);
}

// Fills `count` pixels starting at dst with copies of the pixel at `pixel`.
template <class T, int C>
void replicatePixel(T* dst, const T* pixel, int count) {
    T unit[C];
    for (int c = 0; c < C; ++c) unit[c] = pixel[c];
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < C; ++c) dst[i * C + c] = unit[c];
}

// Extends a row in place: `left` pixels before `row` take pixel 0, `right`
// pixels after its `width` pixels take pixel width - 1.
template <class T, int C>
void extendRow(T* row, int width, int left, int right) {
    replicatePixel<T, C>(row - static_cast<std::ptrdiff_t>(left) * C, row, left);
    replicatePixel<T, C>(row + static_cast<std::ptrdiff_t>(width) * C, row + static_cast<std::ptrdiff_t>(width - 1) * C, right);
}

}  // namespace

namespace core {

template <class T, int C>
void copyReplicateBorder(Image<const T> src, Image<T> dst, int top, int left) {
    const int right = dst.width - src.width - left;
    const int bottom = dst.height - src.height - top;
    const std::size_t srcBytes = static_cast<std::size_t>(src.width) * C * sizeof(T);
    const std::size_t dstBytes = static_cast<std::size_t>(dst.width) * C * sizeof(T);
    for (int r = 0; r < src.height; ++r) {
        T* row = dst.row(top + r) + static_cast<std::ptrdiff_t>(left) * C;
        std::memmove(row, src.row(r), srcBytes);
        extendRow<T, C>(row, src.width, left, right);
    }
    const T* last = dst.row(top + src.height - 1);
    for (int r = 0; r < bottom; ++r) std::memmove(dst.row(top + src.height + r), last, dstBytes);
    const T* first = dst.row(top);
    for (int r = 0; r < top; ++r) std::memmove(dst.row(r), first, dstBytes);
}

template <class T, int C>
void copyReplicateBorderInPlace(Image<T> img, ImageSize dstRoi, int top, int left) {
    const int right = dstRoi.width - img.width - left;
    const int bottom = dstRoi.height - img.height - top;
    const std::ptrdiff_t leftElems = static_cast<std::ptrdiff_t>(left) * C;
    const std::size_t dstBytes = static_cast<std::size_t>(dstRoi.width) * C * sizeof(T);
    extendRow<T, C>(img.row(0), img.width, left, right);
    for (int r = 1; r <= top; ++r) std::memmove(img.row(-r) - leftElems, img.row(0) - leftElems, dstBytes);
    for (int r = 1; r < img.height; ++r) extendRow<T, C>(img.row(r), img.width, left, right);
    const T* last = img.row(img.height - 1) - leftElems;
    for (int r = 0; r < bottom; ++r) std::memmove(img.row(img.height + r) - leftElems, last, dstBytes);
}

}  // namespace core

namespace {

template <class T, int C>
StatusCode copyReplicateBorder(const T* pSrc, int srcStep, ImageSize srcRoi, T* pDst, int dstStep, ImageSize dstRoi,
                               int top, int left) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requirePositiveSteps(srcStep, dstStep));
    ZAL_CHECK(checkBorders(srcRoi, dstRoi, top, left));
    core::copyReplicateBorder<T, C>(image(pSrc, srcStep, srcRoi), image(pDst, dstStep, dstRoi), top, left);
    return StatusOk;
}

template <class T, int C>
StatusCode copyReplicateBorderInPlace(T* pSrc, int step, ImageSize srcRoi, ImageSize dstRoi, int top, int left) {
    ZAL_CHECK(requireNonNull(pSrc));
    ZAL_CHECK(requirePositiveSteps(step));
    ZAL_CHECK(checkBorders(srcRoi, dstRoi, top, left));
    core::copyReplicateBorderInPlace<T, C>(image(pSrc, step, srcRoi), dstRoi, top, left);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_COPY_BORDER(name, T, C)                                                                           \
    ZAL_DECLARED(name);                                                                                       \
    template void zal::core::copyReplicateBorder<T, C>(zal::Image<const T>, zal::Image<T>, int, int);         \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize srcRoiSize, T* pDst, int dstStep,        \
                               ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth) {              \
        return zal::copyReplicateBorder<T, C>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize,           \
                                              topBorderHeight, leftBorderWidth);                              \
    }
#define ZAL_COPY_BORDER_INPLACE(name, T, C)                                                                   \
    ZAL_DECLARED(name);                                                                                       \
    template void zal::core::copyReplicateBorderInPlace<T, C>(zal::Image<T>, ImageSize, int, int);            \
    extern "C" StatusCode name(T* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize,           \
                               int topBorderHeight, int leftBorderWidth) {                                    \
        return zal::copyReplicateBorderInPlace<T, C>(pSrc, srcDstStep, srcRoiSize, dstRoiSize,                \
                                                     topBorderHeight, leftBorderWidth);                       \
    }
ZAL_CORE_COPY_BORDER(ZAL_COPY_BORDER)
ZAL_CORE_COPY_BORDER_INPLACE(ZAL_COPY_BORDER_INPLACE)
