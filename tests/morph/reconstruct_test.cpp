// Morphological reconstruction against the fixpoint iterated naively:
// J = min(dilation(J), I) (erosion: max(erosion(J), I)) until nothing changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/test_image.h"

using zaltest::GuardedImage;

namespace {

template <class T>
std::vector<T> fixpoint(const std::vector<T>& mask, std::vector<T> j, int w, int h, bool eight, bool dilate) {
    for (std::size_t i = 0; i < j.size(); ++i) j[i] = dilate ? std::min(j[i], mask[i]) : std::max(j[i], mask[i]);
    for (bool changed = true; changed;) {
        changed = false;
        std::vector<T> next = j;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                T v = j[y * w + x];
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h || (!eight && dx != 0 && dy != 0)) continue;
                        v = dilate ? std::max(v, j[ny * w + nx]) : std::min(v, j[ny * w + nx]);
                    }
                v = dilate ? std::min(v, mask[y * w + x]) : std::max(v, mask[y * w + x]);
                changed |= v != next[y * w + x];
                next[y * w + x] = v;
            }
        j = next;
    }
    return j;
}

template <class T, class Fn, class SizeFn>
void check(Fn fn, SizeFn sizeFn, const std::vector<T>& mask, const std::vector<T>& marker, int w, int h, int norm,
           bool dilate) {
    GuardedImage<T> src(w, h), srcDst(w, h);
    src.fill([&](int x, int y, int) { return mask[y * w + x]; });
    srcDst.fill([&](int x, int y, int) { return marker[y * w + x]; });
    int size = 0;
    ASSERT_EQ(sizeFn(ImageSize{w, h}, &size), StatusOk);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size) + 1);
    ASSERT_EQ(fn(src.data(), src.step(), srcDst.data(), srcDst.step(), ImageSize{w, h}, buffer.data() + 1, norm), StatusOk);
    EXPECT_TRUE(srcDst.guardsIntact());
    EXPECT_EQ(srcDst.pixels(), fixpoint(mask, marker, w, h, norm == 0, dilate)) << w << "x" << h << " norm " << norm;
}

TEST(MorphReconstruct, RandomImagesMatchFixpoint) {
    zaltest::Lcg rng(4);
    const ImageSize sizes[] = {{1, 1}, {1, 9}, {9, 1}, {7, 5}, {16, 11}};
    for (ImageSize s : sizes)
        for (int norm : {0, 1}) {
            const std::size_t n = static_cast<std::size_t>(s.width) * s.height;
            std::vector<uint8_t> mask(n), marker(n, 0), markerHigh(n, 255);
            for (auto& v : mask) v = static_cast<uint8_t>(rng.uniform(0, 3) == 0 ? 0 : rng.uniform(1, 255));
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = rng.next() % n;
                marker[i] = mask[i];
                markerHigh[i] = mask[i];
            }
            check(zaliMorphReconstructDilate_8u_C1IR, zaliMorphReconstructGetBufferSize_8u_C1, mask, marker, s.width, s.height, norm, true);
            check(zaliMorphReconstructErode_8u_C1IR, zaliMorphReconstructGetBufferSize_8u_C1, mask, markerHigh, s.width, s.height, norm, false);
            std::vector<float> maskF(mask.begin(), mask.end()), markerF(marker.begin(), marker.end());
            std::vector<float> markerHighF(markerHigh.begin(), markerHigh.end());
            check(zaliMorphReconstructDilate_32f_C1IR, zaliMorphReconstructGetBufferSize_32f_C1, maskF, markerF, s.width, s.height, norm, true);
            check(zaliMorphReconstructErode_32f_C1IR, zaliMorphReconstructGetBufferSize_32f_C1, maskF, markerHighF, s.width, s.height, norm, false);
        }
}

TEST(MorphReconstruct, SpiralCorridorNeedsManySweeps) {
    // A corridor winding inwards: propagation must turn back against the
    // sweep direction several times.
    const int w = 15, h = 15;
    std::vector<uint8_t> mask(w * h, 0), marker(w * h, 0);
    int x0 = 0, y0 = 0, x1 = w - 1, y1 = h - 1;
    while (x0 <= x1 && y0 <= y1) {
        for (int x = x0; x <= x1; ++x) mask[y0 * w + x] = 200;
        for (int y = y0; y <= y1; ++y) mask[y * w + x1] = 200;
        for (int x = x0; x <= x1; ++x) mask[y1 * w + x] = 200;
        for (int y = y0 + 2; y <= y1; ++y) mask[y * w + x0] = 200;
        if (x0 + 1 < w) mask[(y0 + 2) * w + x0 + 1] = 200;
        x0 += 2, y0 += 2, x1 -= 2, y1 -= 2;
    }
    mask[7 * w + 7] = 200;
    marker[7 * w + 7] = 180;
    ASSERT_EQ(fixpoint(mask, marker, w, h, false, true)[0], 180);  // the corridor connects centre and corner
    check(zaliMorphReconstructDilate_8u_C1IR, zaliMorphReconstructGetBufferSize_8u_C1, mask, marker, w, h, 1, true);
    check(zaliMorphReconstructDilate_8u_C1IR, zaliMorphReconstructGetBufferSize_8u_C1, mask, marker, w, h, 0, true);
}

TEST(MorphReconstruct, DiagonalOnlyConnection) {
    const std::vector<uint8_t> mask = {9, 0, 0, 9};
    const std::vector<uint8_t> marker = {9, 0, 0, 0};
    std::vector<uint8_t> buffer(64);
    for (int norm : {0, 1}) {
        std::vector<uint8_t> j = marker;
        ASSERT_EQ(zaliMorphReconstructDilate_8u_C1IR(mask.data(), 2, j.data(), 2, ImageSize{2, 2}, buffer.data(), norm), StatusOk);
        EXPECT_EQ(j[3], norm == 0 ? 9 : 0);
    }
}

TEST(MorphReconstruct, ChecksInOrder) {
    int size = 0;
    EXPECT_EQ(zaliMorphReconstructGetBufferSize_32f_C1(ImageSize{0, 0}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliMorphReconstructGetBufferSize_32f_C1(ImageSize{3, 0}, &size), StatusSizeError);
    EXPECT_EQ(zaliMorphReconstructGetBufferSize_32f_C1(ImageSize{3, 2}, &size), StatusOk);
    EXPECT_EQ(size, 4 * 3 + 2 + 64);
    GuardedImage<float> src(3, 2), srcDst(3, 2);
    std::vector<uint8_t> buffer(size);
    const ImageSize roi{3, 2};
    EXPECT_EQ(zaliMorphReconstructDilate_32f_C1IR(src.data(), 12, srcDst.data(), 12, ImageSize{0, 0}, nullptr, 7), StatusNullPointer);
    EXPECT_EQ(zaliMorphReconstructDilate_32f_C1IR(src.data(), 12, srcDst.data(), 12, ImageSize{3, 0}, buffer.data(), 7), StatusSizeError);
    EXPECT_EQ(zaliMorphReconstructDilate_32f_C1IR(src.data(), 12, srcDst.data(), 11, roi, buffer.data(), 7), StatusStepError);
    EXPECT_EQ(zaliMorphReconstructErode_32f_C1IR(src.data(), 14, srcDst.data(), 12, roi, buffer.data(), 7), StatusStepAlignmentError);
    EXPECT_EQ(zaliMorphReconstructErode_32f_C1IR(src.data(), src.step(), srcDst.data(), srcDst.step(), roi, buffer.data(), 2), StatusBadArgument);
    EXPECT_TRUE(srcDst.guardsIntact());
}

}  // namespace
