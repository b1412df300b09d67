// Copies that surround the source with a replicated border. C3 and C4 pixels
// are replicated as whole units; 32f images travel through the 32s members.
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/image.h"

namespace zal {
namespace {

struct Borders {
    int top, left, right, bottom;
};

StatusCode checkBorders(ImageSize src, ImageSize dst, int top, int left) {
    const bool bad = src.width < 1 || src.height < 1 || dst.width < 1 || dst.height < 1 || top < 0 || left < 0 ||
                     static_cast<long long>(dst.width) < static_cast<long long>(src.width) + left ||
                     static_cast<long long>(dst.height) < static_cast<long long>(src.height) + top;
    return failIf(bad, StatusSizeError);
}

// Fills `count` pixels starting at dst with copies of the pixel at `pixel`.
// Steps are only required to be positive, so 32s rows may start at any byte:
// pixels move as bytes.
template <class T, int C>
void replicatePixel(T* dst, const T* pixel, int count) {
    constexpr std::size_t kPixelBytes = C * sizeof(T);
    unsigned char unit[kPixelBytes];
    std::memcpy(unit, pixel, kPixelBytes);
    auto* d = reinterpret_cast<unsigned char*>(dst);
    for (int i = 0; i < count; ++i) std::memcpy(d + static_cast<std::ptrdiff_t>(i) * kPixelBytes, unit, kPixelBytes);
}

// Extends a row in place: `left` pixels before `row` take pixel 0, `right`
// pixels after its `width` pixels take pixel width - 1.
template <class T, int C>
void extendRow(T* row, int width, int left, int right) {
    replicatePixel<T, C>(row - static_cast<std::ptrdiff_t>(left) * C, row, left);
    replicatePixel<T, C>(row + static_cast<std::ptrdiff_t>(width) * C, row + static_cast<std::ptrdiff_t>(width - 1) * C, right);
}

template <class T, int C>
StatusCode copyReplicateBorder(const T* pSrc, int srcStep, ImageSize srcRoi, T* pDst, int dstStep, ImageSize dstRoi,
                               int top, int left) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requirePositiveSteps(srcStep, dstStep));
    ZAL_CHECK(checkBorders(srcRoi, dstRoi, top, left));
    const Image<const T> src(pSrc, srcStep, srcRoi);
    const Image<T> dst(pDst, dstStep, dstRoi);
    const int right = dstRoi.width - srcRoi.width - left;
    const int bottom = dstRoi.height - srcRoi.height - top;
    const std::size_t srcBytes = static_cast<std::size_t>(srcRoi.width) * C * sizeof(T);
    const std::size_t dstBytes = static_cast<std::size_t>(dstRoi.width) * C * sizeof(T);
    for (int r = 0; r < srcRoi.height; ++r) {
        T* row = dst.row(top + r) + static_cast<std::ptrdiff_t>(left) * C;
        std::memmove(row, src.row(r), srcBytes);
        extendRow<T, C>(row, srcRoi.width, left, right);
    }
    const T* last = dst.row(top + srcRoi.height - 1);
    for (int r = 0; r < bottom; ++r) std::memmove(dst.row(top + srcRoi.height + r), last, dstBytes);
    const T* first = dst.row(top);
    for (int r = 0; r < top; ++r) std::memmove(dst.row(r), first, dstBytes);
    return StatusOk;
}

template <class T, int C>
StatusCode copyReplicateBorderInPlace(T* pSrc, int step, ImageSize srcRoi, ImageSize dstRoi, int top, int left) {
    ZAL_CHECK(requireNonNull(pSrc));
    ZAL_CHECK(requirePositiveSteps(step));
    ZAL_CHECK(checkBorders(srcRoi, dstRoi, top, left));
    const Image<T> img(pSrc, step, srcRoi);
    const int right = dstRoi.width - srcRoi.width - left;
    const int bottom = dstRoi.height - srcRoi.height - top;
    const std::ptrdiff_t leftElems = static_cast<std::ptrdiff_t>(left) * C;
    const std::size_t dstBytes = static_cast<std::size_t>(dstRoi.width) * C * sizeof(T);
    extendRow<T, C>(img.row(0), srcRoi.width, left, right);
    for (int r = 1; r <= top; ++r) std::memmove(img.row(-r) - leftElems, img.row(0) - leftElems, dstBytes);
    for (int r = 1; r < srcRoi.height; ++r) extendRow<T, C>(img.row(r), srcRoi.width, left, right);
    const T* last = img.row(srcRoi.height - 1) - leftElems;
    for (int r = 0; r < bottom; ++r) std::memmove(img.row(srcRoi.height + r) - leftElems, last, dstBytes);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_COPY_BORDER(type, ctype, C)                                                                          \
    StatusCode zaliCopyReplicateBorder_##type##_C##C##R(const ctype* pSrc, int srcStep, ImageSize srcRoiSize,     \
                                                        ctype* pDst, int dstStep, ImageSize dstRoiSize,          \
                                                        int topBorderHeight, int leftBorderWidth) {              \
        return zal::copyReplicateBorder<ctype, C>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize,          \
                                                  topBorderHeight, leftBorderWidth);                             \
    }                                                                                                            \
    StatusCode zaliCopyReplicateBorder_##type##_C##C##IR(ctype* pSrc, int srcDstStep, ImageSize srcRoiSize,       \
                                                         ImageSize dstRoiSize, int topBorderHeight,              \
                                                         int leftBorderWidth) {                                  \
        return zal::copyReplicateBorderInPlace<ctype, C>(pSrc, srcDstStep, srcRoiSize, dstRoiSize,               \
                                                         topBorderHeight, leftBorderWidth);                      \
    }

extern "C" {
ZAL_COPY_BORDER(8u, uint8_t, 1)
ZAL_COPY_BORDER(8u, uint8_t, 3)
ZAL_COPY_BORDER(8u, uint8_t, 4)
ZAL_COPY_BORDER(32s, int32_t, 1)
ZAL_COPY_BORDER(32s, int32_t, 3)
ZAL_COPY_BORDER(32s, int32_t, 4)
}  // extern "C"
