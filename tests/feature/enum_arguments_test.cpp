// Every GradientNorm and DerivKernelType parameter with the raw integers a C
// caller may pass: values outside the enumeration are answered with -5 and
// nothing is written; every listed value is accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include "common/test_image.h"
#include "feature/exports.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;

constexpr ImageSize kRoi{7, 5};

// Runs `call(src, dst)` on a random source; its status, and whether the
// destination is as it was.
template <class T, class D, class Call>
std::pair<StatusCode, bool> run(int srcChannels, int dstChannels, Call call) {
    GuardedImage<T> src(kRoi.width, kRoi.height, srcChannels);
    GuardedImage<D> dst(kRoi.width, kRoi.height, dstChannels);
    zaltest::Lcg rng(5);
    src.fill([&](int, int, int) { return rng.uniform(0, 200); });
    dst.fill([](int, int, int) { return 77; });
    const auto before = dst.pixels();
    const StatusCode st = call(src, dst);
    return {st, dst.pixels() == before && dst.guardsIntact()};
}

struct Case {
    const char* name;
    std::vector<int> listed;
    std::function<std::pair<StatusCode, bool>(int code)> run;
};

TEST(FeatureEnumArguments, OutOfRangeCodesAreRefusedBeforeAnyWrite) {
    std::vector<Case> cases;
#define GRADIENT(name, T)                                                                                     \
    cases.push_back({#name, {GradientNormMax, GradientNormSum, GradientNormEuclid}, [](int code) {            \
                         return run<T, T>(3, 1, [&](auto& s, auto& d) {                                       \
                             return name(s.data(), s.step(), d.data(), d.step(), kRoi, GradientNorm(code));   \
                         });                                                                                  \
                     }});
#define CORNER(name, T, measure, values)                                                                      \
    cases.push_back({#name, {DerivKernelSobel, DerivKernelScharr}, [](int code) {                             \
                         std::vector<uint8_t> buffer(1 << 16);                                                \
                         return run<T, float>(1, values, [&](auto& s, auto& d) {                              \
                             return name(s.data(), s.step(), d.data(), d.step(), kRoi, DerivKernelType(code), \
                                         3, 3, buffer.data());                                                \
                         });                                                                                  \
                     }});
    ZAL_FEATURE_GRADIENT_COLOR(GRADIENT)
    ZAL_FEATURE_CORNER(CORNER)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int code : {2, 3, 7, 64, -1, INT_MIN, INT_MAX}) {
            const bool listed = std::find(c.listed.begin(), c.listed.end(), code) != c.listed.end();
            const auto [status, untouched] = c.run(code);
            EXPECT_EQ(status, listed ? StatusOk : StatusBadArgument) << code;
            EXPECT_TRUE(listed || untouched) << code;
        }
        for (int code : c.listed) EXPECT_EQ(c.run(code).first, StatusOk) << code;
    }
}

}  // namespace
