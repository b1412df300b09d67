// Every GradientNorm and DerivKernelType parameter with the raw integers a C
// caller may pass: values outside the enumeration are answered with -5 and
// nothing is written; every listed value is accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;

constexpr ImageSize kRoi{7, 5};

struct Case {
    std::string name;
    std::vector<int> listed;
    // Runs with the raw code; returns the status and whether the destination
    // is as it was.
    std::function<std::pair<StatusCode, bool>(int code)> run;
};

template <class T, StatusCode (*Fn)(const T*, int, T*, int, ImageSize, GradientNorm)>
Case gradientCase(std::string name) {
    return {std::move(name), {GradientNormMax, GradientNormSum, GradientNormEuclid}, [](int code) {
                GuardedImage<T> src(kRoi.width, kRoi.height, 3), dst(kRoi.width, kRoi.height);
                zaltest::Lcg rng(5);
                src.fill([&](int, int, int) { return rng.uniform(0, 200); });
                dst.fill([](int, int, int) { return 77; });
                const auto before = dst.pixels();
                const StatusCode st = Fn(src.data(), src.step(), dst.data(), dst.step(), kRoi, static_cast<GradientNorm>(code));
                return std::pair{st, dst.pixels() == before && dst.guardsIntact()};
            }};
}

template <class T, int Values, StatusCode (*Fn)(const T*, int, float*, int, ImageSize, DerivKernelType, int, int, uint8_t*),
          StatusCode (*Size)(ImageSize, int, int, int*)>
Case cornerCase(std::string name) {
    return {std::move(name), {DerivKernelSobel, DerivKernelScharr}, [](int code) {
                GuardedImage<T> src(kRoi.width, kRoi.height);
                GuardedImage<float> dst(kRoi.width, kRoi.height, Values);
                zaltest::Lcg rng(6);
                src.fill([&](int, int, int) { return rng.uniform(0, 200); });
                dst.fill([](int, int, int) { return 77; });
                const auto before = dst.pixels();
                int bytes = 0;
                EXPECT_EQ(Size(kRoi, 3, 3, &bytes), StatusOk);
                std::vector<uint8_t> buffer(static_cast<std::size_t>(bytes));
                const StatusCode st = Fn(src.data(), src.step(), dst.data(), dst.step(), kRoi,
                                         static_cast<DerivKernelType>(code), 3, 3, buffer.data());
                return std::pair{st, dst.pixels() == before && dst.guardsIntact()};
            }};
}

TEST(FeatureEnumArguments, OutOfRangeCodesAreRefusedBeforeAnyWrite) {
    const Case cases[] = {
        gradientCase<uint8_t, zaliGradientColorToGray_8u_C3C1R>("GradientColorToGray 8u"),
        gradientCase<uint16_t, zaliGradientColorToGray_16u_C3C1R>("GradientColorToGray 16u"),
        gradientCase<float, zaliGradientColorToGray_32f_C3C1R>("GradientColorToGray 32f"),
        cornerCase<uint8_t, 1, zaliMinEigenVal_8u32f_C1R, zaliMinEigenValGetBufferSize_8u32f_C1R>("MinEigenVal 8u32f"),
        cornerCase<float, 1, zaliMinEigenVal_32f_C1R, zaliMinEigenValGetBufferSize_32f_C1R>("MinEigenVal 32f"),
        cornerCase<uint8_t, 6, zaliEigenValsVecs_8u32f_C1R, zaliEigenValsVecsGetBufferSize_8u32f_C1R>("EigenValsVecs 8u32f"),
        cornerCase<float, 6, zaliEigenValsVecs_32f_C1R, zaliEigenValsVecsGetBufferSize_32f_C1R>("EigenValsVecs 32f"),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int code : {2, 3, 4, 7, 8, 63, 64, -1, -2, INT_MIN, INT_MAX}) {
            const bool listed = std::find(c.listed.begin(), c.listed.end(), code) != c.listed.end();
            const auto [status, untouched] = c.run(code);
            EXPECT_EQ(status, listed ? StatusOk : StatusBadArgument) << code;
            if (!listed) {
                EXPECT_TRUE(untouched) << code;
            }
        }
        for (int code : c.listed) EXPECT_EQ(c.run(code).first, StatusOk) << code;
    }
}

}  // namespace
