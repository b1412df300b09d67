// Morphological reconstruction against the fixpoint iterated naively:
// J = min(dilation(J), I) (erosion: max(erosion(J), I)) until nothing changes.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <limits>
#include <thread>

#include "morph_reference.h"

using zaltest::GuardedImage;

namespace {

// One step is a 3x3 (eight-connected) or cross (four-connected) flat
// dilation or erosion: inside a 3x3 window the replicated border adds no new
// values, so it equals ignoring the pixels outside.
template <class T>
std::vector<T> fixpoint(const std::vector<T>& mask, std::vector<T> j, int w, int h, bool eight, bool dilate) {
    const std::vector<uint8_t> k = eight ? std::vector<uint8_t>(9, 1) : std::vector<uint8_t>{0, 1, 0, 1, 1, 1, 0, 1, 0};
    const auto clip = [&](std::vector<T> v) {
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = dilate ? std::min(v[i], mask[i]) : std::max(v[i], mask[i]);
        return v;
    };
    j = clip(j);
    for (std::vector<T> next; (next = clip(morphref::flat(j, w, h, 1, k, {3, 3}, {1, 1}, dilate))) != j;) j = next;
    return j;
}

// Runs `call` on a worker thread and ends the test program with a failure
// when it has not returned after `seconds`: a hang must fail, not stall the
// suite (the stuck worker cannot be stopped, hence the exit).
template <class Call>
StatusCode returnsWithin(int seconds, Call call, const std::string& what) {
    std::packaged_task<StatusCode()> task(call);
    std::future<StatusCode> result = task.get_future();
    std::thread worker(std::move(task));
    if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not return within %d s\n", what.c_str(), seconds);
        std::fflush(stderr);
        std::_Exit(1);
    }
    worker.join();
    return result.get();
}

// Reconstructs `marker` under `mask` (w x h, row-major) on a worker thread,
// with a work buffer of the queried size at an odd address.
template <class T, class Fn, class SizeFn>
std::vector<T> reconstructed(Fn fn, SizeFn sizeFn, const std::vector<T>& mask, const std::vector<T>& marker, int w,
                             int h, int norm, const std::string& what) {
    GuardedImage<T> src(w, h), srcDst(w, h);
    src.fill([&](int x, int y, int) { return mask[y * w + x]; });
    srcDst.fill([&](int x, int y, int) { return marker[y * w + x]; });
    int size = 0;
    EXPECT_EQ(sizeFn(ImageSize{w, h}, &size), StatusOk);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size) + 1);
    const StatusCode st = returnsWithin(20, [&] {
        return fn(src.data(), src.step(), srcDst.data(), srcDst.step(), ImageSize{w, h}, buffer.data() + 1, norm);
    }, what);
    EXPECT_EQ(st, StatusOk) << what;
    EXPECT_TRUE(srcDst.guardsIntact()) << what;
    return srcDst.pixels();
}

template <class T, class Fn, class SizeFn>
void check(Fn fn, SizeFn sizeFn, const std::vector<uint8_t>& mask8, const std::vector<uint8_t>& marker8, int w, int h,
           bool dilate) {
    const std::vector<T> mask(mask8.begin(), mask8.end()), marker(marker8.begin(), marker8.end());
    for (int norm : {0, 1}) {
        const std::string what = std::to_string(w) + "x" + std::to_string(h) + " norm " + std::to_string(norm);
        EXPECT_EQ(reconstructed(fn, sizeFn, mask, marker, w, h, norm, what), fixpoint(mask, marker, w, h, norm == 0, dilate)) << what;
    }
}

// Reconstruction by dilation from `low` and by erosion from `high`, for both
// pixel types and both connectivities.
void checkAll(const std::vector<uint8_t>& mask, const std::vector<uint8_t>& low, const std::vector<uint8_t>& high, int w,
              int h) {
    check<uint8_t>(zaliMorphReconstructDilate_8u_C1IR, zaliMorphReconstructGetBufferSize_8u_C1, mask, low, w, h, true);
    check<uint8_t>(zaliMorphReconstructErode_8u_C1IR, zaliMorphReconstructGetBufferSize_8u_C1, mask, high, w, h, false);
    check<float>(zaliMorphReconstructDilate_32f_C1IR, zaliMorphReconstructGetBufferSize_32f_C1, mask, low, w, h, true);
    check<float>(zaliMorphReconstructErode_32f_C1IR, zaliMorphReconstructGetBufferSize_32f_C1, mask, high, w, h, false);
}

TEST(MorphReconstruct, RandomImagesMatchFixpoint) {
    zaltest::Lcg rng(4);
    for (ImageSize s : {ImageSize{1, 1}, ImageSize{1, 9}, ImageSize{9, 1}, ImageSize{7, 5}, ImageSize{16, 11}}) {
        const std::size_t n = static_cast<std::size_t>(s.width) * s.height;
        std::vector<uint8_t> mask(n), low(n, 0), high(n, 255);
        for (auto& v : mask) v = static_cast<uint8_t>(rng.uniform(0, 3) == 0 ? 0 : rng.uniform(1, 255));
        for (int k = 0; k < 3; ++k) {
            const std::size_t i = rng.next() % n;
            low[i] = high[i] = mask[i];
        }
        checkAll(mask, low, high, s.width, s.height);
    }
    // Connected only diagonally: reached with 8-connectivity (norm 0) alone.
    checkAll({9, 0, 0, 9}, {9, 0, 0, 0}, {9, 255, 255, 255}, 2, 2);
}

TEST(MorphReconstruct, SpiralCorridorNeedsManySweeps) {
    // A corridor winding inwards: propagation must turn back against the
    // sweep direction several times.
    const int w = 15, h = 15;
    std::vector<uint8_t> mask(w * h, 0), low(w * h, 0), high(w * h, 255);
    for (int x0 = 0, y0 = 0, x1 = w - 1, y1 = h - 1; x0 <= x1 && y0 <= y1; x0 += 2, y0 += 2, x1 -= 2, y1 -= 2) {
        for (int x = x0; x <= x1; ++x) mask[y0 * w + x] = mask[y1 * w + x] = 200;
        for (int y = y0; y <= y1; ++y) mask[y * w + x1] = 200;
        for (int y = y0 + 2; y <= y1; ++y) mask[y * w + x0] = 200;
        if (x0 + 1 < w) mask[(y0 + 2) * w + x0 + 1] = 200;
    }
    mask[7 * w + 7] = 200;
    low[7 * w + 7] = 180;
    high[7 * w + 7] = 200;
    ASSERT_EQ(fixpoint(mask, low, w, h, false, true)[0], 180);  // the corridor connects centre and corner
    checkAll(mask, low, high, w, h);
}

// NaN never equals itself, so a change test by value alone never settles on
// a NaN marker. Every call must return; a NaN marker value stays NaN and does
// not spread; without NaN the result is the fixpoint, infinities included.
TEST(MorphReconstruct, NonFiniteValuesEnd) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Op {
        StatusCode (*fn)(const float*, int, float*, int, ImageSize, uint8_t*, int);
        bool dilate;
        const char* name;
    };
    const Op ops[] = {{zaliMorphReconstructDilate_32f_C1IR, true, "dilate"},
                      {zaliMorphReconstructErode_32f_C1IR, false, "erode"}};
    // Two rows (and two columns) whose NaN markers would flag each other.
    for (const Op& op : ops)
        for (ImageSize s : {ImageSize{1, 2}, ImageSize{2, 1}, ImageSize{3, 3}})
            for (int norm : {0, 1}) {
                const std::vector<float> mask(s.width * s.height, 1.0f), marker(mask.size(), nan);
                const std::string what = std::string(op.name) + " all-NaN " + std::to_string(s.width) + "x" +
                                         std::to_string(s.height) + " norm " + std::to_string(norm);
                for (float v : reconstructed(op.fn, zaliMorphReconstructGetBufferSize_32f_C1, mask, marker, s.width, s.height, norm, what)) EXPECT_TRUE(std::isnan(v)) << what;
            }

    const float values[] = {nan, inf, -inf, 0.0f, -0.0f, 1.0f, 5.5f, 200.0f, -7.0f, 3.4028235e38f};
    zaltest::Lcg rng(19);
    for (int trial = 0; trial < 60; ++trial) {
        const int w = rng.uniform(1, 9), h = rng.uniform(1, 9);
        const bool withNaN = trial % 3 != 0;
        const auto draw = [&] {
            for (;;) {
                const float v = values[rng.uniform(0, 9)];
                if (withNaN || !std::isnan(v)) return v;
            }
        };
        std::vector<float> mask(static_cast<std::size_t>(w) * h), marker(mask.size());
        for (auto& v : mask) v = draw();
        for (auto& v : marker) v = draw();
        for (const Op& op : ops)
            for (int norm : {0, 1}) {
                const std::string what = std::string(op.name) + " trial " + std::to_string(trial) + " norm " + std::to_string(norm);
                const std::vector<float> out = reconstructed(op.fn, zaliMorphReconstructGetBufferSize_32f_C1, mask, marker, w, h, norm, what);
                for (std::size_t i = 0; i < out.size(); ++i)
                    ASSERT_EQ(std::isnan(out[i]), std::isnan(marker[i])) << what << " pixel " << i;
                if (!withNaN) {
                    EXPECT_EQ(out, fixpoint(mask, marker, w, h, norm == 0, op.dilate)) << what;
                }
            }
    }
}

TEST(MorphReconstruct, ChecksInOrder) {
    GuardedImage<float> src(3, 2), srcDst(3, 2);
    std::vector<uint8_t> buffer(256);
    const ImageSize roi{3, 2};
    EXPECT_EQ(zaliMorphReconstructDilate_32f_C1IR(src.data(), 12, srcDst.data(), 11, roi, buffer.data(), 7), StatusStepError);
    EXPECT_EQ(zaliMorphReconstructErode_32f_C1IR(src.data(), 14, srcDst.data(), 12, roi, buffer.data(), 7), StatusStepAlignmentError);
    EXPECT_EQ(zaliMorphReconstructErode_32f_C1IR(src.data(), 12, srcDst.data(), 12, roi, buffer.data(), 2), StatusBadArgument);
}

}  // namespace
