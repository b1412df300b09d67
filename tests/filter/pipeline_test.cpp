// Row and column pipeline passes against per-pixel reference sums: every
// type, one and three channels, kernel sizes around the dedicated 3 and 5,
// every anchor and border rule (also borders wider than the row), the result
// conversions (saturation, wrapped low bits, truncation toward zero), the
// check order and worker-count independence.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/test_image.h"
#include "filter/exports.h"
#include "filter_reference.h"
#include "zalcv.h"

namespace {

using namespace filtertest;
using zaltest::GuardedImage;
using zaltest::Lcg;

template <class T>
T sample(Lcg& rng) {
    if constexpr (std::is_same_v<T, float>) return rng.uniformf(-4.0f, 4.0f);
    else if constexpr (std::is_same_v<T, uint8_t>) return static_cast<T>(rng.uniform(0, 255));
    else return static_cast<T>(rng.uniform(-32768, 32767));
}

template <class T>
std::vector<T> randomTaps(Lcg& rng, int K, int range) {
    std::vector<T> taps(static_cast<std::size_t>(K));
    for (T& t : taps) t = std::is_same_v<T, float> ? T(rng.uniformf(-2.0f, 2.0f)) : T(rng.uniform(-range, range));
    return taps;
}

// The work-buffer query of a pass: its name with GetBufferSize after the
// pass's name.
using PipelineQuery = StatusCode (*)(ImageSize, int, int*);
PipelineQuery queryOf(std::string pass) {
#define QUERY_ENTRY(name, ...) {#name, name},
    static const std::map<std::string, PipelineQuery> queries = {
        ZAL_FILTER_ROW_PIPELINE_SIZE(QUERY_ENTRY) ZAL_FILTER_COLUMN_PIPELINE_SIZE(QUERY_ENTRY)};
    const std::size_t cut = pass.find("Pipeline_") + 8;
    return queries.at(pass.insert(cut, "GetBufferSize"));
}

enum class Kind { F32, S16, U8S16, Low };

// The documented per-pixel rule of each row variant.
template <class S, class T>
double refRow(Kind kind, const S* px, const std::vector<T>& taps, int divisor, bool oneChannel) {
    const float rcp = 1.0f / static_cast<float>(divisor);
    const int K = static_cast<int>(taps.size());
    if (kind == Kind::F32 || kind == Kind::S16) {
        // One-channel 16s kernels other than 3 and 5 taps scale each tap first.
        const bool prescale = kind == Kind::S16 && oneChannel && K != 3 && K != 5;
        float s = 0;
        for (int k = 0; k < K; ++k)
            s += (prescale ? static_cast<float>(taps[k]) * rcp : static_cast<float>(taps[k])) * static_cast<float>(px[k]);
        if (kind == Kind::F32) return s;
        return refClampTrunc(prescale ? s : s * rcp, -32768.0f, 32767.0f);
    }
    int64_t s = 0;
    for (int k = 0; k < K; ++k) s += static_cast<int64_t>(taps[k]) * px[k];
    const auto s32 = static_cast<int32_t>(static_cast<uint32_t>(s));
    if (kind == Kind::U8S16) return refClampTrunc(static_cast<float>(s32) * rcp, -32768.0f, 32767.0f);
    const auto r = static_cast<int16_t>(static_cast<int>(16384.0f / static_cast<float>(divisor)));
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(s32) * r));
    return static_cast<int16_t>(static_cast<uint16_t>(product >> 14));
}

template <class S, class D, class T, class Run>
void checkRow(Kind kind, int C, uint64_t seed, Run run, PipelineQuery query) {
    Lcg rng(seed);
    for (int K : {1, 2, 3, 5, 7})
        for (int anchor : std::set<int>{0, K / 2, K - 1})
            for (int border : kAllBorders)
                for (int W : {1, 2, 6, 11}) {
                    const ImageSize roi{W, 2};
                    GuardedImage<S> src(W, roi.height, C);
                    GuardedImage<D> dst(W, roi.height, C);
                    src.fill([&](int, int, int) { return sample<S>(rng); });
                    const std::vector<T> taps = randomTaps<T>(rng, K, 300);
                    const S bv[3] = {S(rng.uniform(0, 100)), S(rng.uniform(0, 100)), S(rng.uniform(0, 100))};
                    const int divisor = std::array{1, 3, -7, 1000, 2}[static_cast<std::size_t>(rng.uniform(0, 4))];
                    const Buffer buf = bufferFor(query, roi, K);
                    std::vector<D*> rows = rowsOf<D>(dst);
                    ASSERT_EQ(run(src.data(), src.step(), rows.data(), roi, taps.data(), K, anchor, BorderKind(border), bv, divisor, buf.p), StatusOk);
                    ASSERT_TRUE(dst.guardsIntact());
                    for (int y = 0; y < roi.height; ++y)
                        for (int x = 0; x < W; ++x)
                            for (int c = 0; c < C; ++c) {
                                S px[8];
                                for (int k = 0; k < K; ++k) {
                                    const int i = refBorderIndex(x + k - anchor, W, border);
                                    px[k] = i < 0 ? bv[c] : src.at(i, y, c);
                                }
                                SCOPED_TRACE(::testing::Message() << "C=" << C << " K=" << K << " anchor=" << anchor << " border=" << border << " W=" << W << " x=" << x);
                                ASSERT_EQ(dst.at(x, y, c), refRow(kind, px, taps, divisor, C == 1));
                            }
                }
}

TEST(RowPipeline, EveryVariantMatchesTheReference) {
    uint64_t seed = 0;
#define ROW_32F(name, C, BV)                                                                                           \
    checkRow<float, float, float>(                                                                                     \
        Kind::F32, C, ++seed,                                                                                          \
        [](const float* s, int ss, float** d, ImageSize r, const float* k, int ks, int a, BorderKind b, const float* v, \
           int, uint8_t* buf) { return name(s, ss, d, r, k, ks, a, b, borderArgument<C>(v), buf); },                   \
        queryOf(#name));
#define ROW(name, S, C, LOW, BV)                                                                                       \
    checkRow<S, int16_t, int16_t>(                                                                                     \
        std::is_same_v<S, uint8_t> ? Kind::U8S16 : LOW ? Kind::Low : Kind::S16, C, ++seed,                             \
        [](const S* s, int ss, int16_t** d, ImageSize r, const int16_t* k, int ks, int a, BorderKind b, const S* v,    \
           int dv, uint8_t* buf) { return name(s, ss, d, r, k, ks, a, b, borderArgument<C>(v), dv, buf); },            \
        queryOf(#name));
    ZAL_FILTER_ROW_PIPELINE_32F(ROW_32F)
    ZAL_FILTER_ROW_PIPELINE(ROW)
}

template <class D, class T, class Run>
void checkColumn(bool low, int C, uint64_t seed, Run run, PipelineQuery query) {
    Lcg rng(seed);
    for (int K : {1, 2, 3, 5, 6})
        for (int W : {1, 4, 9}) {
            const ImageSize roi{W, 4};
            GuardedImage<T> in(W, roi.height + K - 1, C);
            in.fill([&](int, int, int) { return sample<T>(rng); });
            std::vector<const T*> rows = rowsOf<const T>(in);
            const std::vector<T> taps = randomTaps<T>(rng, K, 3000);
            const int divisor = std::array{1, -3, 7, 40000}[static_cast<std::size_t>(rng.uniform(0, 3))];
            GuardedImage<D> dst(W, roi.height, C);
            const Buffer buf = bufferFor(query, roi, K);
            ASSERT_EQ(run(rows.data(), dst.data(), dst.step(), roi, taps.data(), K, divisor, buf.p), StatusOk);
            ASSERT_TRUE(dst.guardsIntact());
            const float rcp = 1.0f / static_cast<float>(divisor);
            for (int y = 0; y < roi.height; ++y)
                for (int e = 0; e < W * C; ++e) {
                    SCOPED_TRACE(::testing::Message() << "C=" << C << " K=" << K << " W=" << W << " e=" << e);
                    const D got = dst.row(y)[e];
                    if (low) {
                        int64_t s = 0;
                        for (int k = 0; k < K; ++k) s += static_cast<int64_t>(taps[k]) * rows[y + k][e];
                        const float q = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(s))) * rcp;
                        ASSERT_EQ(got, static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(q))));
                        continue;
                    }
                    float s = static_cast<float>(taps[0]) * static_cast<float>(rows[y][e]);
                    for (int k = 1; k < K; ++k) s += static_cast<float>(taps[k]) * static_cast<float>(rows[y + k][e]);
                    if constexpr (std::is_same_v<D, float>) ASSERT_EQ(got, s);
                    else ASSERT_EQ(got, refClampTrunc(s * rcp, std::numeric_limits<D>::min(), std::numeric_limits<D>::max()));
                }
        }
}

TEST(ColumnPipeline, EveryVariantMatchesTheReference) {
    uint64_t seed = 10;
#define COLUMN_32F(name, C)                                                                                            \
    checkColumn<float, float>(                                                                                         \
        false, C, ++seed,                                                                                              \
        [](const float** rows, float* d, int ds, ImageSize r, const float* k, int ks, int, uint8_t* buf) {             \
            return name(rows, d, ds, r, k, ks, buf);                                                                   \
        },                                                                                                             \
        queryOf(#name));
#define COLUMN(name, D, C, LOW)                                                                                        \
    checkColumn<D, int16_t>(                                                                                           \
        LOW, C, ++seed,                                                                                                \
        [](const int16_t** rows, D* d, int ds, ImageSize r, const int16_t* k, int ks, int dv, uint8_t* buf) {          \
            return name(rows, d, ds, r, k, ks, dv, buf);                                                               \
        },                                                                                                             \
        queryOf(#name));
    ZAL_FILTER_COLUMN_PIPELINE_32F(COLUMN_32F)
    ZAL_FILTER_COLUMN_PIPELINE(COLUMN)
}

TEST(Pipeline, ChecksComeInOrder) {
    Buffer buf(1 << 16);
    GuardedImage<int16_t> src(4, 2), dst(4, 2);
    int16_t* rows[2] = {dst.row(0), dst.row(1)};
    const int16_t taps[3] = {1, 2, 1};
    const ImageSize roi{4, 2};
    auto call = [&](const int16_t* s, int step, int16_t** r, ImageSize size, int K, int anchor, int border, int divisor) {
        return zaliFilterRowBorderPipeline_16s_C1R(s, step, r, size, taps, K, anchor, BorderKind(border), 0, divisor, buf.p);
    };
    EXPECT_EQ(call(nullptr, src.step(), rows, ImageSize{0, 2}, 3, 1, 1, 1), StatusNullPointer);
    EXPECT_EQ(call(src.data(), src.step(), rows, ImageSize{4, 0}, 3, 5, 1, 1), StatusSizeError);
    EXPECT_EQ(call(src.data(), src.step(), rows, roi, 0, 0, 1, 1), StatusSizeError);
    EXPECT_EQ(call(src.data(), 3, rows, roi, 3, 3, 1, 1), StatusAnchorError);
    EXPECT_EQ(call(src.data(), 7, rows, roi, 3, 1, 5, 0), StatusStepError);
    EXPECT_EQ(call(src.data(), src.step() + 1, rows, roi, 3, 1, 5, 0), StatusStepAlignmentError);
    EXPECT_EQ(call(src.data(), src.step(), rows, roi, 3, 1, 4, 0), StatusBadArgument);
    EXPECT_EQ(zaliFilterRowBorderPipeline_16s_C3R(src.data(), src.step(), rows, ImageSize{1, 2}, taps, 3, 1, BorderConstant, nullptr, 0, buf.p), StatusNullPointer);
    // A null row ends the pass after the rows before it are written.
    src.fill([](int x, int, int) { return x + 1; });
    int16_t* broken[2] = {dst.row(0), nullptr};
    EXPECT_EQ(call(src.data(), src.step(), broken, roi, 3, 1, 1, 1), StatusNullPointer);
    EXPECT_EQ(dst.at(0, 0), 1 + 2 + 2);
    EXPECT_EQ(dst.at(0, 1), 0);
    // 8u sources have no alignment rule; a C3R non-constant border needs no value.
    GuardedImage<uint8_t> s8(3, 2);
    EXPECT_EQ(zaliFilterRowBorderPipeline_8u16s_C1R(s8.data(), s8.step() + 1, rows, ImageSize{3, 2}, taps, 3, 1, BorderWrap, 0, 1, buf.p), StatusOk);
    EXPECT_EQ(zaliFilterRowBorderPipeline_16s_C3R(src.data(), src.step(), rows, ImageSize{1, 2}, taps, 3, 1, BorderReflect, nullptr, 1, buf.p), StatusOk);

    // Column pass: a null source row is found before anything is written.
    GuardedImage<int16_t> in(3, 4), out(3, 2);
    const int16_t* inRows[4] = {in.row(0), in.row(1), in.row(2), in.row(3)};
    const ImageSize small{3, 2};
    auto column = [&](int16_t* d, int step, ImageSize size, int K, uint8_t* b, int divisor) {
        return zaliFilterColumnPipeline_16s_C1R(inRows, d, step, size, taps, K, divisor, b);
    };
    EXPECT_EQ(column(nullptr, 0, ImageSize{0, 0}, 3, buf.p, 1), StatusNullPointer);
    EXPECT_EQ(column(out.data(), 1, small, 0, buf.p, 1), StatusSizeError);
    EXPECT_EQ(column(out.data(), 5, small, 3, nullptr, 1), StatusStepError);
    EXPECT_EQ(column(out.data(), out.step() + 1, small, 3, nullptr, 1), StatusStepAlignmentError);
    EXPECT_EQ(column(out.data(), out.step(), small, 3, nullptr, 0), StatusNullPointer);
    EXPECT_EQ(column(out.data(), out.step(), small, 3, buf.p, 0), StatusBadArgument);
    inRows[3] = nullptr;
    EXPECT_EQ(column(out.data(), out.step(), small, 3, buf.p, 1), StatusNullPointer);
    EXPECT_EQ(out.pixels(), std::vector<int16_t>(6, 0));
    int size = 0;
    EXPECT_EQ(zaliFilterColumnPipelineGetBufferSize_16s8s_C3R(small, 0, &size), StatusSizeError);
    EXPECT_EQ(zaliFilterColumnPipelineGetBufferSize_16s8s_C3R(small, 3, nullptr), StatusNullPointer);
}

// Above w * h >= n << 15 the rows are split over the workers (forty too,
// and more workers than rows); each worker uses its own slice of the buffer.
// Integer results never change.
TEST(Pipeline, ParallelSlicesGiveTheSameRows) {
    const int16_t taps[5] = {1, -4, 6, -4, 1};
    for (const ImageSize roi : {ImageSize{1200, 1100}, ImageSize{65600, 20}}) {
        const ImageSize inner{roi.width, roi.height - 4};
        GuardedImage<int16_t> src(roi.width, roi.height);
        Lcg rng(5);
        src.fill([&](int, int, int) { return rng.uniform(-3000, 3000); });
        zaltest::expectSameForWorkers({1, 2, 3, 40}, [&] {
            const Buffer rowBuf = bufferFor(zaliFilterRowBorderPipelineGetBufferSize_16s_C1R, roi, 5);
            const Buffer columnBuf = bufferFor(zaliFilterColumnPipelineGetBufferSize_16s8u_C1R, inner, 5);
            GuardedImage<int16_t> mid(roi.width, roi.height);
            GuardedImage<uint8_t> out(inner.width, inner.height);
            std::vector<int16_t*> rows = rowsOf<int16_t>(mid);
            std::vector<const int16_t*> in = rowsOf<const int16_t>(mid);
            EXPECT_EQ(zaliFilterRowBorderPipeline_16s_C1R(src.data(), src.step(), rows.data(), roi, taps, 5, 2, BorderReflect, 0, 3, rowBuf.p), StatusOk);
            EXPECT_EQ(zaliFilterColumnPipeline_16s8u_C1R(in.data(), out.data(), out.step(), inner, taps, 5, 2, columnBuf.p), StatusOk);
            EXPECT_TRUE(mid.guardsIntact() && out.guardsIntact());
            return std::pair{mid.pixels(), out.pixels()};
        }, (::testing::Message() << roi.width << "x" << roi.height).GetString());
    }
}

}  // namespace
