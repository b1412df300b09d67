// Every BorderKind and ApertureSize parameter of the filter family with the
// raw integers a C caller may pass: values outside the enumeration are
// answered with the documented status (-5 border, -33 mask; the border is
// checked first) and nothing is written; every listed value is accepted.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "common/test_image.h"
#include "filter/exports.h"
#include "filter_reference.h"
#include "zalcv.h"

namespace {

using filtertest::borderArgument;
using zaltest::GuardedImage;

// An out-of-range code is a value of the C++ type only when the enumeration
// has a fixed underlying type; otherwise its first read inside the library
// is undefined (the range is then just the enumerators' bit-field).
static_assert(std::is_same_v<std::underlying_type_t<BorderKind>, int>);
static_assert(std::is_same_v<std::underlying_type_t<ApertureSize>, int>);
static_assert(std::is_same_v<std::underlying_type_t<DerivKernelType>, int>);
static_assert(std::is_same_v<std::underlying_type_t<GradientNorm>, int>);

const int kBadBorders[] = {5, 7, 8, 63, 64, 1000, -1, INT_MIN, INT_MAX};
const int kBadMasks[] = {0, 3, 5, 32, 34, 35, 53, 54, 56, 63, 64, 3355, -1, -33, INT_MIN, INT_MAX};
const int kGoodBorders[] = {BorderConstant, BorderReplicate, BorderWrap, BorderReflect, BorderReflectEdge};
const int kGoodMasks[] = {Aperture3x3, Aperture5x5};

struct Outcome {
    StatusCode status;
    bool untouched;  // the destination still holds what it held before
};

// A filter call on a small image with the raw mask and border codes.
struct Case {
    std::string name;
    bool hasMask;
    std::function<Outcome(int mask, int border)> run;
};

constexpr ImageSize kRoi{8, 6};

// Source, destination (filled with a marker value) and a work buffer far
// larger than any of these filters asks for at this size.
template <class S, class D>
struct Frame {
    GuardedImage<S> src{kRoi.width, kRoi.height};
    GuardedImage<D> dst{kRoi.width, kRoi.height};
    std::vector<uint8_t> buffer = std::vector<uint8_t>(1 << 20);
    std::vector<D> before;
    Frame() {
        zaltest::Lcg rng(3);
        src.fill([&](int, int, int) { return rng.uniform(0, 120); });
        dst.fill([](int, int, int) { return 77; });
        before = dst.pixels();
    }
    Outcome outcome(StatusCode st) const { return {st, dst.pixels() == before && dst.guardsIntact()}; }
};

template <class S, class D, class Call>
Case fixedCase(std::string name, bool hasMask, Call call) {
    return {std::move(name), hasMask, [call](int mask, int border) {
                Frame<S, D> f;
                return f.outcome(call(f.src.data(), f.src.step(), f.dst.data(), f.dst.step(), mask, border, f.buffer.data()));
            }};
}

// The filters with their raw mask and border codes: (mask,) border, border
// value (, divisor 3).
#define FIXED_CASE(name, OP, S, D)                                                                                   \
    fixedCase<S, D>(#name, true, [](const S* s, int ss, D* d, int ds, int m, int b, uint8_t* buf) {                 \
        return name(s, ss, d, ds, kRoi, static_cast<ApertureSize>(m), static_cast<BorderKind>(b), S(9), buf);       \
    }),
#define FIXED_8U8S_CASE(name, OP)                                                                                    \
    fixedCase<uint8_t, int8_t>(#name, true, [](const uint8_t* s, int ss, int8_t* d, int ds, int m, int b, uint8_t* buf) { \
        return name(s, ss, d, ds, kRoi, static_cast<ApertureSize>(m), static_cast<BorderKind>(b), 9, 3, buf);       \
    }),
#define SCHARR_CASE(name, OP, S, D)                                                                                  \
    fixedCase<S, D>(#name, false, [](const S* s, int ss, D* d, int ds, int, int b, uint8_t* buf) {                  \
        return name(s, ss, d, ds, kRoi, static_cast<BorderKind>(b), S(9), buf);                                     \
    }),
#define SCHARR_8U8S_CASE(name, OP)                                                                                   \
    fixedCase<uint8_t, int8_t>(#name, false, [](const uint8_t* s, int ss, int8_t* d, int ds, int, int b, uint8_t* buf) { \
        return name(s, ss, d, ds, kRoi, static_cast<BorderKind>(b), 9, 3, buf);                                     \
    }),

// Row pipelines: one-channel members take the border value itself, the
// three-channel members a pointer to three values.
template <class S, class D, class K, class Call>
Case rowCase(std::string name, int channels, Call call) {
    return {std::move(name), false, [call, channels](int, int border) {
                GuardedImage<S> src(kRoi.width, kRoi.height, channels);
                GuardedImage<D> dst(kRoi.width, kRoi.height, channels);
                dst.fill([](int, int, int) { return 77; });
                const auto before = dst.pixels();
                std::vector<D*> rows;
                for (int y = 0; y < kRoi.height; ++y) rows.push_back(dst.row(y));
                const K taps[3] = {1, 2, 1};
                const S values[3] = {S(1), S(2), S(3)};
                std::vector<uint8_t> buffer(1 << 20);
                const StatusCode st = call(src.data(), src.step(), rows.data(), taps, static_cast<BorderKind>(border), values,
                                           buffer.data());
                return Outcome{st, dst.pixels() == before && dst.guardsIntact()};
            }};
}

#define ROW_32F_CASE(name, C, BV)                                                                                    \
    rowCase<float, float, float>(#name, C, [](const float* s, int ss, float** d, const float* k, BorderKind b,      \
                                              const float* v, uint8_t* buf) {                                       \
        return name(s, ss, d, kRoi, k, 3, 1, b, borderArgument<C>(v), buf);                                         \
    }),
#define ROW_CASE(name, S, C, LOW, BV)                                                                                \
    rowCase<S, int16_t, int16_t>(#name, C, [](const S* s, int ss, int16_t** d, const int16_t* k, BorderKind b,     \
                                              const S* v, uint8_t* buf) {                                           \
        return name(s, ss, d, kRoi, k, 3, 1, b, borderArgument<C>(v), 1, buf);                                      \
    }),

std::vector<Case> allCases() {
    return {ZAL_FILTER_FIXED(FIXED_CASE) ZAL_FILTER_FIXED_8U8S(FIXED_8U8S_CASE) ZAL_FILTER_SCHARR(SCHARR_CASE)
                ZAL_FILTER_SCHARR_8U8S(SCHARR_8U8S_CASE) ZAL_FILTER_ROW_PIPELINE_32F(ROW_32F_CASE)
                    ZAL_FILTER_ROW_PIPELINE(ROW_CASE)};
}

TEST(FilterEnumArguments, OutOfRangeCodesAreRefusedBeforeAnyWrite) {
    for (const Case& c : allCases()) {
        SCOPED_TRACE(c.name);
        for (int border : kBadBorders) {
            const Outcome o = c.run(Aperture3x3, border);
            EXPECT_EQ(o.status, StatusBadArgument) << "border " << border;
            EXPECT_TRUE(o.untouched) << "border " << border;
        }
        if (!c.hasMask) continue;
        for (int mask : kBadMasks) {
            const Outcome o = c.run(mask, BorderReplicate);
            EXPECT_EQ(o.status, StatusMaskSizeError) << "mask " << mask;
            EXPECT_TRUE(o.untouched) << "mask " << mask;
        }
        EXPECT_EQ(c.run(INT_MAX, INT_MAX).status, StatusBadArgument);  // the border decides first
    }
}

TEST(FilterEnumArguments, EveryListedCodeIsAccepted) {
    for (const Case& c : allCases()) {
        SCOPED_TRACE(c.name);
        for (int border : kGoodBorders)
            for (int mask : kGoodMasks) EXPECT_EQ(c.run(mask, border).status, StatusOk) << mask << " " << border;
    }
}

// The buffer-size queries that take a mask code.
TEST(FilterEnumArguments, SizeQueriesRefuseUnknownMasks) {
    using Query = StatusCode (*)(ImageSize, ApertureSize, int*);
#define MASK_QUERY(name, ...) name,
    const Query queries[] = {ZAL_FILTER_FIXED_SIZE(MASK_QUERY)};
    for (std::size_t i = 0; i < std::size(queries); ++i) {
        SCOPED_TRACE("query " + std::to_string(i));
        for (int mask : kBadMasks) {
            int bytes = -7;
            EXPECT_EQ(queries[i](kRoi, static_cast<ApertureSize>(mask), &bytes), StatusMaskSizeError) << mask;
            EXPECT_EQ(bytes, -7);
        }
        for (int mask : kGoodMasks) {
            int bytes = -7;
            EXPECT_EQ(queries[i](kRoi, static_cast<ApertureSize>(mask), &bytes), StatusOk) << mask;
            EXPECT_GT(bytes, 0);
        }
    }
}

}  // namespace
