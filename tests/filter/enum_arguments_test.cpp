// Every BorderKind and ApertureSize parameter of the filter family with the
// raw integers a C caller may pass: values outside the enumeration are
// answered with the documented status (-5 border, -33 mask; the border is
// checked first); every listed value is accepted. (That a refused call
// writes nothing is checked for every export by the fuzz replay.)
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "filter/exports.h"
#include "filter_reference.h"
#include "zalcv.h"

namespace {

using filtertest::borderArgument;

// An out-of-range code is a value of the C++ type only when the enumeration
// has a fixed underlying type; otherwise its first read inside the library
// is undefined (the range is then just the enumerators' bit-field).
static_assert(std::is_same_v<std::underlying_type_t<BorderKind>, int>);
static_assert(std::is_same_v<std::underlying_type_t<ApertureSize>, int>);
static_assert(std::is_same_v<std::underlying_type_t<DerivKernelType>, int>);
static_assert(std::is_same_v<std::underlying_type_t<GradientNorm>, int>);

const int kBadBorders[] = {5, 7, 8, 63, 64, 1000, -1, INT_MIN, INT_MAX};
const int kBadMasks[] = {0, 3, 5, 32, 34, 35, 53, 54, 56, 63, 64, 3355, -1, -33, INT_MIN, INT_MAX};
const int kGoodMasks[] = {Aperture3x3, Aperture5x5};

// One 8 x 6 image of up to three float channels for every source and
// destination, and a work buffer far larger than any of these filters asks
// for at this size.
constexpr ImageSize kRoi{8, 6};
constexpr int kStep = 8 * 3 * 4;
alignas(64) float gSrc[6 * 24], gDst[6 * 24];
alignas(64) uint8_t gBuffer[1 << 20];
template <class P>
P* src() { return reinterpret_cast<P*>(gSrc); }
template <class P>
P* dst() { return reinterpret_cast<P*>(gDst); }
template <class P>
std::vector<P*> dstRows() {
    std::vector<P*> rows;
    for (int y = 0; y < kRoi.height; ++y) rows.push_back(reinterpret_cast<P*>(reinterpret_cast<uint8_t*>(gDst) + y * kStep));
    return rows;
}
template <class T>
constexpr T kTaps[3] = {T(1), T(2), T(1)};
template <class T>
constexpr T kValues[3] = {T(1), T(2), T(3)};

// A filter call with the raw mask and border codes.
struct Case {
    std::string name;
    bool hasMask;
    std::function<StatusCode(int mask, int border)> run;
};

#define FIXED_CASE(name, OP, S, D) {#name, true, [](int m, int b) {                                                  \
    return name(src<S>(), kStep, dst<D>(), kStep, kRoi, ApertureSize(m), BorderKind(b), S(9), gBuffer); }},
#define FIXED_8U8S_CASE(name, OP) {#name, true, [](int m, int b) {                                                   \
    return name(src<uint8_t>(), kStep, dst<int8_t>(), kStep, kRoi, ApertureSize(m), BorderKind(b), 9, 3, gBuffer); }},
#define SCHARR_CASE(name, OP, S, D) {#name, false, [](int, int b) {                                                 \
    return name(src<S>(), kStep, dst<D>(), kStep, kRoi, BorderKind(b), S(9), gBuffer); }},
#define SCHARR_8U8S_CASE(name, OP) {#name, false, [](int, int b) {                                                  \
    return name(src<uint8_t>(), kStep, dst<int8_t>(), kStep, kRoi, BorderKind(b), 9, 3, gBuffer); }},
// Row pipelines: one-channel members take the border value itself, the
// three-channel members a pointer to three values.
#define ROW_32F_CASE(name, C, BV) {#name, false, [](int, int b) {                                                   \
    auto rows = dstRows<float>();                                                                                    \
    return name(src<float>(), kStep, rows.data(), kRoi, kTaps<float>, 3, 1, BorderKind(b),                           \
                borderArgument<C>(kValues<float>), gBuffer); }},
#define ROW_CASE(name, S, C, LOW, BV) {#name, false, [](int, int b) {                                               \
    auto rows = dstRows<int16_t>();                                                                                  \
    return name(src<S>(), kStep, rows.data(), kRoi, kTaps<int16_t>, 3, 1, BorderKind(b),                             \
                borderArgument<C>(kValues<S>), 1, gBuffer); }},

const std::vector<Case> kCases = {ZAL_FILTER_FIXED(FIXED_CASE) ZAL_FILTER_FIXED_8U8S(FIXED_8U8S_CASE)
                                      ZAL_FILTER_SCHARR(SCHARR_CASE) ZAL_FILTER_SCHARR_8U8S(SCHARR_8U8S_CASE)
                                          ZAL_FILTER_ROW_PIPELINE_32F(ROW_32F_CASE) ZAL_FILTER_ROW_PIPELINE(ROW_CASE)};

TEST(FilterEnumArguments, OutOfRangeCodesAreRefusedAndListedOnesAccepted) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        for (int border : kBadBorders) EXPECT_EQ(c.run(Aperture3x3, border), StatusBadArgument) << "border " << border;
        for (int border : filtertest::kAllBorders)
            for (int mask : kGoodMasks) EXPECT_EQ(c.run(mask, border), StatusOk) << mask << " " << border;
        if (!c.hasMask) continue;
        for (int mask : kBadMasks) EXPECT_EQ(c.run(mask, BorderReplicate), StatusMaskSizeError) << "mask " << mask;
        EXPECT_EQ(c.run(INT_MAX, INT_MAX), StatusBadArgument);  // the border decides first
    }
}

// The buffer-size queries that take a mask code.
TEST(FilterEnumArguments, SizeQueriesRefuseUnknownMasks) {
    using Query = StatusCode (*)(ImageSize, ApertureSize, int*);
#define MASK_QUERY(name, ...) {#name, name},
    const std::pair<const char*, Query> queries[] = {ZAL_FILTER_FIXED_SIZE(MASK_QUERY)};
    for (auto [name, query] : queries) {
        int bytes = -7;
        for (int mask : kBadMasks) EXPECT_EQ(query(kRoi, ApertureSize(mask), &bytes), StatusMaskSizeError) << name << " " << mask;
        for (int mask : kGoodMasks) EXPECT_EQ(query(kRoi, ApertureSize(mask), &bytes), StatusOk) << name << " " << mask;
    }
}

}  // namespace
