// Families whose steps need only be positive (thresholds, copy with border)
// or are not checked (32f subtraction) accept rows that start at any byte.
// Their results there must equal those on aligned rows, and no element may
// be touched through a misaligned pointer (the alignment sanitizer checks).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/unaligned_image.h"

namespace {

using zaltest::expectSameOnMisalignedRows;
using Ptrs1 = std::array<float*, 1>;
using Ptrs2 = std::array<float*, 2>;
using Ptrs3 = std::array<float*, 3>;
using Steps1 = std::array<int, 1>;
using Steps2 = std::array<int, 2>;
using Steps3 = std::array<int, 3>;

// Ordinary values, both zeros, infinities and NaN.
float anyFloat(zaltest::Lcg& rng) {
    static const float special[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    return rng.uniform(0, 7) == 0 ? special[rng.uniform(0, 4)] : rng.uniformf(-100.0f, 100.0f);
}

TEST(MisalignedRows, FloatThresholds) {
    // Every form runs one kernel; the in-place one reads and writes one row.
    const ImageSize roi{9, 4};
    for (int cmpOp : {0, 4}) {
        expectSameOnMisalignedRows<float, 2>({roi, roi}, 1, anyFloat, [&](const Ptrs2& p, const Steps2& s) {
            return zaliThreshold_Val_32f_C1R(p[0], s[0], p[1], s[1], roi, 1.5f, -9.0f, cmpOp);
        }, "Threshold_Val cmpOp " + std::to_string(cmpOp));
    }
    expectSameOnMisalignedRows<float, 1>({roi}, 1, anyFloat, [&](const Ptrs1& p, const Steps1& s) {
        return zaliThreshold_LT_32f_C1IR(p[0], s[0], roi, 3.0f);
    }, "Threshold_LT in place");
}

TEST(MisalignedRows, FloatSubtraction) {
    using Sub = StatusCode (*)(const float*, int, const float*, int, float*, int, ImageSize);
    using SubInPlace = StatusCode (*)(const float*, int, float*, int, ImageSize);
    const struct {
        int channels;
        Sub sub;
        SubInPlace inPlace;
    } members[] = {{1, zaliSub_32f_C1R, zaliSub_32f_C1IR}, {3, zaliSub_32f_C3R, zaliSub_32f_C3IR}, {4, zaliSub_32f_C4R, zaliSub_32f_C4IR}};
    const ImageSize roi{5, 3};
    for (const auto& m : members) {
        const std::string c = " C" + std::to_string(m.channels);
        expectSameOnMisalignedRows<float, 3>({roi, roi, roi}, m.channels, anyFloat, [&](const Ptrs3& p, const Steps3& s) {
            return m.sub(p[0], s[0], p[1], s[1], p[2], s[2], roi);
        }, "Sub" + c);
        expectSameOnMisalignedRows<float, 2>({roi, roi}, m.channels, anyFloat, [&](const Ptrs2& p, const Steps2& s) {
            return m.inPlace(p[0], s[0], p[1], s[1], roi);
        }, "Sub in place" + c);
    }
}

TEST(MisalignedRows, CopyWithReplicatedBorder32s) {
    using Copy = StatusCode (*)(const int32_t*, int, ImageSize, int32_t*, int, ImageSize, int, int);
    using CopyInPlace = StatusCode (*)(int32_t*, int, ImageSize, ImageSize, int, int);
    const struct {
        int channels;
        Copy copy;
        CopyInPlace inPlace;
    } members[] = {{1, zaliCopyReplicateBorder_32s_C1R, zaliCopyReplicateBorder_32s_C1IR},
                   {3, zaliCopyReplicateBorder_32s_C3R, zaliCopyReplicateBorder_32s_C3IR},
                   {4, zaliCopyReplicateBorder_32s_C4R, zaliCopyReplicateBorder_32s_C4IR}};
    const ImageSize src{4, 3}, dst{9, 7};
    const int top = 2, left = 3;
    const auto anyInt = [](zaltest::Lcg& rng) { return static_cast<int32_t>(rng.next()); };
    for (const auto& m : members) {
        const std::string c = " C" + std::to_string(m.channels);
        expectSameOnMisalignedRows<int32_t, 2>({src, dst}, m.channels, anyInt,
                                               [&](const std::array<int32_t*, 2>& p, const Steps2& s) {
                                                   return m.copy(p[0], s[0], src, p[1], s[1], dst, top, left);
                                               }, "CopyReplicateBorder" + c);
        // In place: the source sits at (left, top) of the destination ROI.
        expectSameOnMisalignedRows<int32_t, 1>({dst}, m.channels, anyInt,
                                               [&](const std::array<int32_t*, 1>& p, const Steps1& s) {
                                                   auto* inner = reinterpret_cast<uint8_t*>(p[0]) + top * s[0] +
                                                                 left * m.channels * 4;
                                                   return m.inPlace(reinterpret_cast<int32_t*>(inner), s[0], src, dst, top, left);
                                               }, "CopyReplicateBorder in place" + c);
    }
}

}  // namespace
