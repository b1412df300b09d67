// Row and column pipeline passes against per-pixel reference sums: every
// type, one and three channels, kernel sizes around the dedicated 3 and 5,
// every anchor and border rule (also borders wider than the row), the result
// conversions at their limits, the check order and worker-count independence.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <type_traits>
#include <vector>

#include "common/test_image.h"
#include "filter_reference.h"
#include "zalcv.h"

namespace {

using filtertest::kAllBorders;
using filtertest::refBorderIndex;
using filtertest::refClampTrunc;
using zaltest::GuardedImage;
using zaltest::Lcg;

struct Buffer {
    explicit Buffer(int bytes) : p(zalsMalloc_8u(std::max(bytes, 1))) {}
    ~Buffer() { zalsFree(p); }
    uint8_t* p;
};

enum class Kind { F32, S16, U8S16, Low };

// One row variant behind uniform signatures.
template <class S, class D, class T>
struct RowApi {
    Kind kind;
    StatusCode (*c1)(const S*, int, D**, ImageSize, const T*, int, int, BorderKind, S, int, uint8_t*);
    StatusCode (*c3)(const S*, int, D**, ImageSize, const T*, int, int, BorderKind, const S*, int, uint8_t*);
    StatusCode (*q1)(ImageSize, int, int*);
    StatusCode (*q3)(ImageSize, int, int*);
};

#define ROW_API_INT(KIND, NAME, S)                                                                                       \
    RowApi<S, int16_t, int16_t> {                                                                                        \
        KIND, &zaliFilterRowBorderPipeline_##NAME##_C1R, &zaliFilterRowBorderPipeline_##NAME##_C3R,                      \
            &zaliFilterRowBorderPipelineGetBufferSize_##NAME##_C1R, &zaliFilterRowBorderPipelineGetBufferSize_##NAME##_C3R \
    }

const RowApi<float, float, float> kRow32f{
    Kind::F32,
    [](const float* s, int ss, float** d, ImageSize r, const float* k, int ks, int a, BorderKind b, float v, int,
       uint8_t* buf) { return zaliFilterRowBorderPipeline_32f_C1R(s, ss, d, r, k, ks, a, b, v, buf); },
    [](const float* s, int ss, float** d, ImageSize r, const float* k, int ks, int a, BorderKind b, const float* v, int,
       uint8_t* buf) { return zaliFilterRowBorderPipeline_32f_C3R(s, ss, d, r, k, ks, a, b, v, buf); },
    &zaliFilterRowBorderPipelineGetBufferSize_32f_C1R, &zaliFilterRowBorderPipelineGetBufferSize_32f_C3R};

// The documented per-pixel rule of each row variant.
template <class S, class T>
int64_t refRowInt(Kind kind, const S* px, const std::vector<T>& taps, int divisor, bool oneChannel) {
    const float rcp = 1.0f / static_cast<float>(divisor);
    const int K = static_cast<int>(taps.size());
    if (kind == Kind::S16) {
        float s = 0;
        if (oneChannel && K != 3 && K != 5) {
            for (int k = 0; k < K; ++k) s = (k == 0 ? 0.0f : s) + (static_cast<float>(taps[k]) * rcp) * static_cast<float>(px[k]);
            return refClampTrunc(s, -32768.0f, 32767.0f);
        }
        for (int k = 0; k < K; ++k) s = (k == 0 ? 0.0f : s) + static_cast<float>(taps[k]) * static_cast<float>(px[k]);
        return refClampTrunc(s * rcp, -32768.0f, 32767.0f);
    }
    int64_t s = 0;
    for (int k = 0; k < K; ++k) s += static_cast<int64_t>(taps[k]) * px[k];
    const auto s32 = static_cast<int32_t>(static_cast<uint32_t>(s));
    if (kind == Kind::U8S16) return refClampTrunc(static_cast<float>(s32) * rcp, -32768.0f, 32767.0f);
    const auto r = static_cast<int16_t>(static_cast<int>(16384.0f / static_cast<float>(divisor)));
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(s32) * r));
    return static_cast<int16_t>(static_cast<uint16_t>(product >> 14));
}

template <class S, class D, class T>
void checkRowVariant(const RowApi<S, D, T>& api, uint64_t seed) {
    Lcg rng(seed);
    for (int C : {1, 3}) {
        for (int K : {1, 2, 3, 5, 7}) {
            for (int anchor : std::set<int>{0, K / 2, K - 1}) {
                for (int kind : kAllBorders) {
                    for (int W : {1, 2, 6, 11}) {
                        const ImageSize roi{W, 2};
                        GuardedImage<S> src(W, roi.height, C);
                        GuardedImage<D> dst(W, roi.height, C);
                        src.fill([&](int, int, int) {
                            if constexpr (std::is_same_v<S, float>) return rng.uniformf(-4.0f, 4.0f);
                            else if constexpr (std::is_same_v<S, uint8_t>) return rng.uniform(0, 255);
                            else return rng.uniform(-32768, 32767);
                        });
                        std::vector<T> taps(static_cast<std::size_t>(K));
                        for (T& t : taps) {
                            if constexpr (std::is_same_v<T, float>) t = rng.uniformf(-2.0f, 2.0f);
                            else t = static_cast<T>(rng.uniform(-300, 300));
                        }
                        const S bv[3] = {S(rng.uniform(0, 100)), S(rng.uniform(0, 100)), S(rng.uniform(0, 100))};
                        const int divisors[] = {1, 3, -7, 1000, 2};
                        const int divisor = divisors[rng.uniform(0, 4)];
                        std::vector<D*> rows;
                        for (int y = 0; y < roi.height; ++y) rows.push_back(dst.row(y));
                        int size = 0;
                        ASSERT_EQ((C == 1 ? api.q1 : api.q3)(roi, K, &size), StatusOk);
                        Buffer buf(size);
                        const StatusCode st =
                            C == 1 ? api.c1(src.data(), src.step(), rows.data(), roi, taps.data(), K, anchor, BorderKind(kind), bv[0], divisor, buf.p)
                                   : api.c3(src.data(), src.step(), rows.data(), roi, taps.data(), K, anchor, BorderKind(kind), bv, divisor, buf.p);
                        ASSERT_EQ(st, StatusOk);
                        ASSERT_TRUE(dst.guardsIntact());
                        for (int y = 0; y < roi.height; ++y)
                            for (int x = 0; x < W; ++x)
                                for (int c = 0; c < C; ++c) {
                                    S px[8];
                                    for (int k = 0; k < K; ++k) {
                                        const int i = refBorderIndex(x + k - anchor, W, kind);
                                        px[k] = i < 0 ? bv[c] : src.at(i, y, c);
                                    }
                                    SCOPED_TRACE(::testing::Message() << "C=" << C << " K=" << K << " anchor=" << anchor
                                                                      << " border=" << kind << " W=" << W << " x=" << x);
                                    if constexpr (std::is_same_v<S, float>) {
                                        float s = taps[0] * px[0];
                                        for (int k = 1; k < K; ++k) s += taps[k] * px[k];
                                        ASSERT_EQ(dst.at(x, y, c), s);
                                    } else {
                                        ASSERT_EQ(dst.at(x, y, c), refRowInt(api.kind, px, taps, divisor, C == 1));
                                    }
                                }
                    }
                }
            }
        }
    }
}

TEST(RowPipeline, EveryVariantMatchesTheReference) {
    checkRowVariant(kRow32f, 1);
    checkRowVariant(ROW_API_INT(Kind::S16, 16s, int16_t), 2);
    checkRowVariant(ROW_API_INT(Kind::U8S16, 8u16s, uint8_t), 3);
    checkRowVariant(ROW_API_INT(Kind::Low, Low_16s, int16_t), 4);
}

TEST(RowPipeline, ConversionLimits) {
    Buffer buf(1 << 16);
    int16_t src[4] = {20000, -17, 5, 9};
    int16_t out[4] = {};
    int16_t* rows[1] = {out};
    const int16_t two = 2, one = 1;
    // 40000 saturates; the Low variant keeps the wrapped low 16 bits.
    ASSERT_EQ(zaliFilterRowBorderPipeline_16s_C1R(src, 8, rows, ImageSize{1, 1}, &two, 1, 0, BorderReplicate, 0, 1, buf.p), StatusOk);
    EXPECT_EQ(out[0], 32767);
    ASSERT_EQ(zaliFilterRowBorderPipeline_Low_16s_C1R(src, 8, rows, ImageSize{1, 1}, &two, 1, 0, BorderReplicate, 0, 1, buf.p), StatusOk);
    EXPECT_EQ(out[0], static_cast<int16_t>(40000 - 65536));
    // -1.7 truncates toward zero.
    ASSERT_EQ(zaliFilterRowBorderPipeline_16s_C1R(src + 1, 8, rows, ImageSize{1, 1}, &one, 1, 0, BorderReplicate, 0, 10, buf.p), StatusOk);
    EXPECT_EQ(out[0], -1);
}

TEST(RowPipeline, ChecksComeInOrder) {
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
    EXPECT_EQ(call(src.data(), src.step(), rows, roi, 3, 1, 5, 0), StatusBadArgument);
    EXPECT_EQ(call(src.data(), src.step(), rows, roi, 3, 1, 4, 0), StatusBadArgument);
    EXPECT_EQ(zaliFilterRowBorderPipeline_16s_C3R(src.data(), src.step(), rows, ImageSize{1, 2}, taps, 3, 1, BorderConstant, nullptr, 0, buf.p), StatusNullPointer);
    EXPECT_EQ(dst.pixels(), std::vector<int16_t>(8, 0));
    // A null row ends the pass after the rows before it are written.
    src.fill([](int x, int, int) { return x + 1; });
    int16_t* broken[2] = {dst.row(0), nullptr};
    EXPECT_EQ(call(src.data(), src.step(), broken, roi, 3, 1, 1, 1), StatusNullPointer);
    EXPECT_EQ(dst.at(0, 0), 1 + 2 + 2);
    EXPECT_EQ(dst.at(0, 1), 0);
    EXPECT_TRUE(dst.guardsIntact());
    // 8u sources have no alignment rule; a C3R non-constant border needs no value.
    GuardedImage<uint8_t> s8(3, 2);
    EXPECT_EQ(zaliFilterRowBorderPipeline_8u16s_C1R(s8.data(), s8.step() + 1, rows, ImageSize{3, 2}, taps, 3, 1, BorderWrap, 0, 1, buf.p), StatusOk);
    EXPECT_EQ(zaliFilterRowBorderPipeline_16s_C3R(src.data(), src.step(), rows, ImageSize{1, 2}, taps, 3, 1, BorderReflect, nullptr, 1, buf.p), StatusOk);
}

// ---------------------------------------------------------------------------

enum class Out { F32, S16, U8, S8, Low };

template <class D, class T>
struct ColumnApi {
    Out out;
    StatusCode (*c1)(const std::remove_const_t<T>**, D*, int, ImageSize, const T*, int, int, uint8_t*);
    StatusCode (*c3)(const std::remove_const_t<T>**, D*, int, ImageSize, const T*, int, int, uint8_t*);
    StatusCode (*q1)(ImageSize, int, int*);
};

template <class D>
ColumnApi<D, int16_t> intColumn(Out out, StatusCode (*c1)(const int16_t**, D*, int, ImageSize, const int16_t*, int, int, uint8_t*),
                                StatusCode (*c3)(const int16_t**, D*, int, ImageSize, const int16_t*, int, int, uint8_t*),
                                StatusCode (*q1)(ImageSize, int, int*)) {
    return {out, c1, c3, q1};
}

const ColumnApi<float, float> kColumn32f{
    Out::F32,
    [](const float** s, float* d, int ds, ImageSize r, const float* k, int ks, int, uint8_t* b) { return zaliFilterColumnPipeline_32f_C1R(s, d, ds, r, k, ks, b); },
    [](const float** s, float* d, int ds, ImageSize r, const float* k, int ks, int, uint8_t* b) { return zaliFilterColumnPipeline_32f_C3R(s, d, ds, r, k, ks, b); },
    &zaliFilterColumnPipelineGetBufferSize_32f_C1R};

template <class D, class T>
void checkColumnVariant(const ColumnApi<D, T>& api, uint64_t seed) {
    Lcg rng(seed);
    for (int C : {1, 3}) {
        for (int K : {1, 2, 3, 5, 6}) {
            for (int W : {1, 4, 9}) {
                const ImageSize roi{W, 4};
                GuardedImage<T> in(W, roi.height + K - 1, C);
                in.fill([&](int, int, int) {
                    if constexpr (std::is_same_v<T, float>) return rng.uniformf(-4.0f, 4.0f);
                    else return rng.uniform(-32768, 32767);
                });
                std::vector<const T*> rows;
                for (int y = 0; y < roi.height + K - 1; ++y) rows.push_back(in.row(y));
                std::vector<T> taps(static_cast<std::size_t>(K));
                for (T& t : taps) {
                    if constexpr (std::is_same_v<T, float>) t = rng.uniformf(-2.0f, 2.0f);
                    else t = static_cast<T>(rng.uniform(-3000, 3000));
                }
                const int divisor = std::vector<int>{1, -3, 7, 40000}[static_cast<std::size_t>(rng.uniform(0, 3))];
                GuardedImage<D> dst(W, roi.height, C);
                int size = 0;
                ASSERT_EQ(api.q1(roi, K, &size), StatusOk);
                Buffer buf(size);
                ASSERT_EQ((C == 1 ? api.c1 : api.c3)(rows.data(), dst.data(), dst.step(), roi, taps.data(), K, divisor, buf.p), StatusOk);
                ASSERT_TRUE(dst.guardsIntact());
                const float rcp = 1.0f / static_cast<float>(divisor);
                for (int y = 0; y < roi.height; ++y)
                    for (int e = 0; e < W * C; ++e) {
                        SCOPED_TRACE(::testing::Message() << "C=" << C << " K=" << K << " W=" << W << " e=" << e);
                        const D got = dst.row(y)[e];
                        if (api.out == Out::Low) {
                            int64_t s = 0;
                            for (int k = 0; k < K; ++k) s += static_cast<int64_t>(taps[k]) * rows[y + k][e];
                            const float q = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(s))) * rcp;
                            ASSERT_EQ(got, static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(q))));
                            continue;
                        }
                        float s = static_cast<float>(taps[0]) * static_cast<float>(rows[y][e]);
                        for (int k = 1; k < K; ++k) s += static_cast<float>(taps[k]) * static_cast<float>(rows[y + k][e]);
                        if (api.out == Out::F32) {
                            ASSERT_EQ(got, s);
                        } else {
                            const float lo = api.out == Out::S16 ? -32768.0f : api.out == Out::U8 ? 0.0f : -128.0f;
                            const float hi = api.out == Out::S16 ? 32767.0f : api.out == Out::U8 ? 255.0f : 127.0f;
                            ASSERT_EQ(got, refClampTrunc(s * rcp, lo, hi));
                        }
                    }
            }
        }
    }
}

TEST(ColumnPipeline, EveryVariantMatchesTheReference) {
    checkColumnVariant(kColumn32f, 11);
    checkColumnVariant(intColumn<int16_t>(Out::S16, &zaliFilterColumnPipeline_16s_C1R, &zaliFilterColumnPipeline_16s_C3R,
                                          &zaliFilterColumnPipelineGetBufferSize_16s_C1R), 12);
    checkColumnVariant(intColumn<uint8_t>(Out::U8, &zaliFilterColumnPipeline_16s8u_C1R, &zaliFilterColumnPipeline_16s8u_C3R,
                                          &zaliFilterColumnPipelineGetBufferSize_16s8u_C1R), 13);
    checkColumnVariant(intColumn<int8_t>(Out::S8, &zaliFilterColumnPipeline_16s8s_C1R, &zaliFilterColumnPipeline_16s8s_C3R,
                                         &zaliFilterColumnPipelineGetBufferSize_16s8s_C1R), 14);
    checkColumnVariant(intColumn<int16_t>(Out::Low, &zaliFilterColumnPipeline_Low_16s_C1R, &zaliFilterColumnPipeline_Low_16s_C3R,
                                          &zaliFilterColumnPipelineGetBufferSize_Low_16s_C1R), 15);
}

TEST(ColumnPipeline, ChecksComeInOrderAndANullRowWritesNothing) {
    Buffer buf(1 << 16);
    GuardedImage<int16_t> in(3, 4), dst(3, 2);
    const int16_t* rows[4] = {in.row(0), in.row(1), in.row(2), in.row(3)};
    const int16_t taps[3] = {1, 1, 1};
    const ImageSize roi{3, 2};
    auto call = [&](const int16_t** r, int16_t* d, int step, ImageSize size, int K, uint8_t* b, int divisor) {
        return zaliFilterColumnPipeline_16s_C1R(r, d, step, size, taps, K, divisor, b);
    };
    EXPECT_EQ(call(rows, nullptr, 0, ImageSize{0, 0}, 3, buf.p, 1), StatusNullPointer);
    EXPECT_EQ(call(rows, dst.data(), 1, roi, 0, buf.p, 1), StatusSizeError);
    EXPECT_EQ(call(rows, dst.data(), 5, roi, 3, nullptr, 1), StatusStepError);
    EXPECT_EQ(call(rows, dst.data(), dst.step() + 1, roi, 3, nullptr, 1), StatusStepAlignmentError);
    EXPECT_EQ(call(rows, dst.data(), dst.step(), roi, 3, nullptr, 0), StatusNullPointer);
    EXPECT_EQ(call(rows, dst.data(), dst.step(), roi, 3, buf.p, 0), StatusBadArgument);
    rows[3] = nullptr;
    EXPECT_EQ(call(rows, dst.data(), dst.step(), roi, 3, buf.p, 1), StatusNullPointer);
    EXPECT_EQ(dst.pixels(), std::vector<int16_t>(6, 0));
    EXPECT_TRUE(dst.guardsIntact());
    int size = 0;
    EXPECT_EQ(zaliFilterColumnPipelineGetBufferSize_16s8s_C3R(roi, 0, &size), StatusSizeError);
    EXPECT_EQ(zaliFilterColumnPipelineGetBufferSize_16s8s_C3R(roi, 3, nullptr), StatusNullPointer);
}

TEST(Pipeline, BufferSizesCountPointerSlotsPerWorker) {
    for (int threads : {1, 3}) {
        zaltest::ThreadCount scope(threads);
        const long long n = std::max(threads, omp_get_max_threads());
        const long long slots = (40 + 7) * static_cast<long long>(sizeof(void*));
        int size = 0;
        ASSERT_EQ(zaliFilterRowBorderPipelineGetBufferSize_32f_C1R(ImageSize{10, 40}, 7, &size), StatusOk);
        EXPECT_EQ(size, n * (32 + slots + 16 * 7 + 32));
        ASSERT_EQ(zaliFilterRowBorderPipelineGetBufferSize_16s_C1R(ImageSize{10, 40}, 7, &size), StatusOk);
        EXPECT_EQ(size, n * (32 + slots + 32 * 7 + 16 * 8 + 64));
        ASSERT_EQ(zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C3R(ImageSize{10, 40}, 7, &size), StatusOk);
        EXPECT_EQ(size, n * (32 + slots + 192 * 7 + 16 * 9 + 32));
        ASSERT_EQ(zaliFilterColumnPipelineGetBufferSize_32f_C3R(ImageSize{10, 40}, 7, &size), StatusOk);
        EXPECT_EQ(size, n * (32 + slots));
        ASSERT_EQ(zaliFilterColumnPipelineGetBufferSize_16s8u_C1R(ImageSize{10, 40}, 7, &size), StatusOk);
        EXPECT_EQ(size, n * (32 + slots + 4 * 7 + 32));
    }
    int size = 0;
    EXPECT_EQ(zaliFilterRowBorderPipelineGetBufferSize_32f_C3R(ImageSize{4, 1 << 28}, 3, &size), StatusSizeError);
}

// Above w * h >= n << 15 the rows are split over the workers; each worker
// uses its own slice of the buffer. Integer results never change.
TEST(Pipeline, ParallelSlicesGiveTheSameRows) {
    const ImageSize roi{400, 250};  // 100000 >= 3 << 15
    GuardedImage<int16_t> src(roi.width, roi.height);
    Lcg rng(5);
    src.fill([&](int, int, int) { return rng.uniform(-3000, 3000); });
    const int16_t taps[5] = {1, -4, 6, -4, 1};
    std::vector<int16_t> firstRow;
    std::vector<uint8_t> firstColumn;
    for (int threads : {1, 2, 3}) {
        zaltest::ThreadCount scope(threads);
        int rowSize = 0, columnSize = 0;
        ASSERT_EQ(zaliFilterRowBorderPipelineGetBufferSize_16s_C1R(roi, 5, &rowSize), StatusOk);
        ASSERT_EQ(zaliFilterColumnPipelineGetBufferSize_16s8u_C1R(ImageSize{roi.width, roi.height - 4}, 5, &columnSize), StatusOk);
        Buffer rowBuf(rowSize), columnBuf(columnSize);
        GuardedImage<int16_t> mid(roi.width, roi.height);
        std::vector<int16_t*> rows;
        for (int y = 0; y < roi.height; ++y) rows.push_back(mid.row(y));
        ASSERT_EQ(zaliFilterRowBorderPipeline_16s_C1R(src.data(), src.step(), rows.data(), roi, taps, 5, 2, BorderReflect, 0, 3, rowBuf.p), StatusOk);
        GuardedImage<uint8_t> out(roi.width, roi.height - 4);
        std::vector<const int16_t*> in(rows.begin(), rows.end());
        ASSERT_EQ(zaliFilterColumnPipeline_16s8u_C1R(in.data(), out.data(), out.step(), ImageSize{roi.width, roi.height - 4}, taps, 5, 2, columnBuf.p), StatusOk);
        EXPECT_TRUE(mid.guardsIntact() && out.guardsIntact());
        const std::vector<uint8_t> outWide = out.pixels();
        if (threads == 1) {
            firstRow = mid.pixels();
            firstColumn = outWide;
            for (int y : {0, 124, 249}) {
                const int x = 399;  // right border: 397, 398, 399, 398, 397
                const float s = float(src.at(397, y)) - 4.0f * src.at(398, y) + 6.0f * src.at(399, y) - 4.0f * src.at(398, y) + src.at(397, y);
                EXPECT_EQ(mid.at(x, y), refClampTrunc(s * (1.0f / 3.0f), -32768.0f, 32767.0f));
            }
        } else {
            EXPECT_EQ(mid.pixels(), firstRow) << threads << " threads";
            EXPECT_EQ(outWide, firstColumn) << threads << " threads";
        }
    }
}

}  // namespace
