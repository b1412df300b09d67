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
#include "zalcv.h"

namespace {

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

// The four argument shapes: (mask,) border, border value (, divisor).
#define MASKED(FN, S, D)                                                                                             \
    fixedCase<S, D>(#FN, true, [](const S* s, int ss, D* d, int ds, int m, int b, uint8_t* buf) {                   \
        return FN(s, ss, d, ds, kRoi, static_cast<ApertureSize>(m), static_cast<BorderKind>(b), S(9), buf);         \
    })
#define MASKED_DIV(FN, S, D)                                                                                         \
    fixedCase<S, D>(#FN, true, [](const S* s, int ss, D* d, int ds, int m, int b, uint8_t* buf) {                   \
        return FN(s, ss, d, ds, kRoi, static_cast<ApertureSize>(m), static_cast<BorderKind>(b), S(9), 3, buf);      \
    })
#define PLAIN(FN, S, D)                                                                                              \
    fixedCase<S, D>(#FN, false, [](const S* s, int ss, D* d, int ds, int, int b, uint8_t* buf) {                    \
        return FN(s, ss, d, ds, kRoi, static_cast<BorderKind>(b), S(9), buf);                                       \
    })
#define PLAIN_DIV(FN, S, D)                                                                                          \
    fixedCase<S, D>(#FN, false, [](const S* s, int ss, D* d, int ds, int, int b, uint8_t* buf) {                    \
        return FN(s, ss, d, ds, kRoi, static_cast<BorderKind>(b), S(9), 3, buf);                                    \
    })
#define SOBEL_FAMILY(NAME)                                              \
    MASKED(zaliFilter##NAME##Border_8u16s_C1R, uint8_t, int16_t),       \
        MASKED_DIV(zaliFilter##NAME##Border_8u8s_C1R, uint8_t, int8_t), \
        MASKED(zaliFilter##NAME##Border_32f_C1R, float, float)

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

#define ROW_C1(NAME, S, D, K, ...)                                                                                     \
    rowCase<S, D, K>("RowBorderPipeline_" #NAME "_C1R", 1,                                                             \
                     [](const S* s, int ss, D** d, const K* k, BorderKind b, const S* v, uint8_t* buf) {               \
                         return zaliFilterRowBorderPipeline_##NAME##_C1R(s, ss, d, kRoi, k, 3, 1, b, v[0], __VA_ARGS__ buf); \
                     })
#define ROW_C3(NAME, S, D, K, ...)                                                                                     \
    rowCase<S, D, K>("RowBorderPipeline_" #NAME "_C3R", 3,                                                             \
                     [](const S* s, int ss, D** d, const K* k, BorderKind b, const S* v, uint8_t* buf) {               \
                         return zaliFilterRowBorderPipeline_##NAME##_C3R(s, ss, d, kRoi, k, 3, 1, b, v, __VA_ARGS__ buf); \
                     })

std::vector<Case> allCases() {
    return {SOBEL_FAMILY(SobelHoriz),
            SOBEL_FAMILY(SobelVert),
            SOBEL_FAMILY(SobelNegVert),
            SOBEL_FAMILY(SobelHorizSecond),
            SOBEL_FAMILY(SobelVertSecond),
            SOBEL_FAMILY(SobelCross),
            SOBEL_FAMILY(Laplacian),
            MASKED(zaliFilterLowpassBorder_8u_C1R, uint8_t, uint8_t),
            MASKED(zaliFilterLowpassBorder_32f_C1R, float, float),
            PLAIN(zaliFilterScharrHorizBorder_8u16s_C1R, uint8_t, int16_t),
            PLAIN_DIV(zaliFilterScharrHorizBorder_8u8s_C1R, uint8_t, int8_t),
            PLAIN(zaliFilterScharrHorizBorder_32f_C1R, float, float),
            PLAIN(zaliFilterScharrVertBorder_8u16s_C1R, uint8_t, int16_t),
            PLAIN_DIV(zaliFilterScharrVertBorder_8u8s_C1R, uint8_t, int8_t),
            PLAIN(zaliFilterScharrVertBorder_32f_C1R, float, float),
            ROW_C1(32f, float, float, float, ),
            ROW_C3(32f, float, float, float, ),
            ROW_C1(16s, int16_t, int16_t, int16_t, 1, ),
            ROW_C3(16s, int16_t, int16_t, int16_t, 1, ),
            ROW_C1(8u16s, uint8_t, int16_t, int16_t, 1, ),
            ROW_C3(8u16s, uint8_t, int16_t, int16_t, 1, ),
            ROW_C1(Low_16s, int16_t, int16_t, int16_t, 1, ),
            ROW_C3(Low_16s, int16_t, int16_t, int16_t, 1, )};
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
    const Query queries[] = {
        zaliFilterSobelHorizGetBufferSize_8u16s_C1R,      zaliFilterSobelHorizGetBufferSize_8u8s_C1R,
        zaliFilterSobelHorizGetBufferSize_32f_C1R,        zaliFilterSobelVertGetBufferSize_8u16s_C1R,
        zaliFilterSobelVertGetBufferSize_8u8s_C1R,        zaliFilterSobelVertGetBufferSize_32f_C1R,
        zaliFilterSobelNegVertGetBufferSize_8u16s_C1R,    zaliFilterSobelNegVertGetBufferSize_8u8s_C1R,
        zaliFilterSobelNegVertGetBufferSize_32f_C1R,      zaliFilterSobelHorizSecondGetBufferSize_8u16s_C1R,
        zaliFilterSobelHorizSecondGetBufferSize_8u8s_C1R, zaliFilterSobelHorizSecondGetBufferSize_32f_C1R,
        zaliFilterSobelVertSecondGetBufferSize_8u16s_C1R, zaliFilterSobelVertSecondGetBufferSize_8u8s_C1R,
        zaliFilterSobelVertSecondGetBufferSize_32f_C1R,   zaliFilterSobelCrossGetBufferSize_8u16s_C1R,
        zaliFilterSobelCrossGetBufferSize_8u8s_C1R,       zaliFilterSobelCrossGetBufferSize_32f_C1R,
        zaliFilterLaplacianGetBufferSize_8u16s_C1R,       zaliFilterLaplacianGetBufferSize_8u8s_C1R,
        zaliFilterLaplacianGetBufferSize_32f_C1R,         zaliFilterLowpassGetBufferSize_8u_C1R,
        zaliFilterLowpassGetBufferSize_32f_C1R,
    };
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
