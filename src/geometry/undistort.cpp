// Radial lens undistortion with bilinear interpolation, and the size query of
// the optional per-column buffer.
//
// Destination pixel (u, v) reads the source at (xs, ys) of the radial model.
// When 0 <= xs < W - 1 and 0 <= ys < H - 1, with x0 = trunc(xs), a = xs - x0
// (y0, b likewise), every channel becomes
//     ((w00 s(x0, y0) + w10 s(x0 + 1, y0)) + w01 s(x0, y0 + 1)) + w11 s(x0 + 1, y0 + 1)
// with w00 = (1 - a)(1 - b), w10 = a (1 - b), w01 = (1 - a) b, w11 = a b, in
// single precision on the pixel values converted to float; integer results
// are trunc(value + 0.5). Other pixels are not written.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "geometry/undistort.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/image.h"
#include "core/rows-inl.h"
#include "geometry/internal.h"
#include "geometry/positions-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// A row is processed in chunks of kChunk pixels, in three passes: positions,
// corners and fractions (vectors); the four taps of every pixel (a scalar
// gather); the weighted sums and the stores (vectors). A multiple of every
// vector length.
constexpr int kChunk = 256;

// Pixel values as floats, and rounded results back (integers: trunc(v + 0.5),
// which stays in range for a convex combination of in-range values).
template <class DT>
HWY_INLINE hn::Vec<DF> toFloat(hn::Vec<DT> v) {
    if constexpr (std::is_same_v<hn::TFromD<DT>, float>) return v;
    else return hn::ConvertTo(DF(), hn::PromoteTo(DI(), v));
}
template <class DT>
HWY_INLINE hn::Vec<DT> fromFloat(DT dt, hn::Vec<DF> v) {
    if constexpr (std::is_same_v<hn::TFromD<DT>, float>) return v;
    else return hn::DemoteTo(dt, hn::ConvertTo(DI(), hn::Add(v, hn::Set(DF(), 0.5f))));
}

// The four neighbours of every pixel of a chunk, as floats per channel:
// s[0] = (x0, y0), s[1] = (x0 + 1, y0), s[2] = (x0, y0 + 1), s[3] = (x0 + 1, y0 + 1).
template <int C>
struct Neighbours {
    hn::Vec<DF> s[4][C];
};

// Generic taps: the C elements of each neighbour copied as T. `right` and
// `down` are the byte offsets of the right and lower neighbours.
template <class T, int C>
struct Taps {
    HWY_ALIGN T s[4][kChunk * C];
    HWY_INLINE void gather(std::ptrdiff_t i, const unsigned char* top, std::ptrdiff_t right, std::ptrdiff_t down) {
        constexpr std::size_t kBytes = sizeof(T) * C;
        std::memcpy(s[0] + i * C, top, kBytes);
        std::memcpy(s[1] + i * C, top + right, kBytes);
        std::memcpy(s[2] + i * C, top + down, kBytes);
        std::memcpy(s[3] + i * C, top + down + right, kBytes);
    }
    HWY_INLINE void load(std::ptrdiff_t i, Neighbours<C>& n) const {
        const hn::Rebind<T, DF> dt;
        for (int t = 0; t < 4; ++t) {
            if constexpr (C == 1) {
                n.s[t][0] = toFloat<decltype(dt)>(hn::Load(dt, s[t] + i));
            } else {
                hn::Vec<decltype(dt)> c0, c1, c2;
                hn::LoadInterleaved3(dt, s[t] + i * 3, c0, c1, c2);
                n.s[t][0] = toFloat<decltype(dt)>(c0), n.s[t][1] = toFloat<decltype(dt)>(c1);
                n.s[t][2] = toFloat<decltype(dt)>(c2);
            }
        }
    }
};

// 8-bit pixels: a left and right neighbour travel together, so a pixel
// costs two loads (one byte C1 pair per row) or four (C3: bytes 0..3 and
// 2..5 of the six-byte pair per row). Both stay inside the pair; pixels
// outside read pixels (0, 0) and (1, 0), which exist (width >= 2).
template <>
struct Taps<uint8_t, 1> {
    HWY_ALIGN uint16_t pair[2][kChunk];  // per row: left | right << 8
    HWY_INLINE void gather(std::ptrdiff_t i, const unsigned char* top, std::ptrdiff_t, std::ptrdiff_t down) {
        std::memcpy(&pair[0][i], top, 2);
        std::memcpy(&pair[1][i], top + down, 2);
    }
    HWY_INLINE void load(std::ptrdiff_t i, Neighbours<1>& n) const {
        const hn::Rebind<uint16_t, DF> d16;
        for (int r = 0; r < 2; ++r) {
            const auto v = hn::PromoteTo(DI(), hn::Load(d16, pair[r] + i));
            n.s[2 * r][0] = hn::ConvertTo(DF(), hn::And(v, hn::Set(DI(), 0xff)));
            n.s[2 * r + 1][0] = hn::ConvertTo(DF(), hn::ShiftRight<8>(v));
        }
    }
};
template <>
struct Taps<uint8_t, 3> {
    HWY_ALIGN uint32_t first[2][kChunk];   // per row: bytes 0..3 of the pair (left c0 c1 c2, right c0)
    HWY_ALIGN uint32_t second[2][kChunk];  // per row: bytes 2..5 (left c2, right c0 c1 c2)
    HWY_INLINE void gather(std::ptrdiff_t i, const unsigned char* top, std::ptrdiff_t, std::ptrdiff_t down) {
        std::memcpy(&first[0][i], top, 4);
        std::memcpy(&second[0][i], top + 2, 4);
        std::memcpy(&first[1][i], top + down, 4);
        std::memcpy(&second[1][i], top + down + 2, 4);
    }
    HWY_INLINE void load(std::ptrdiff_t i, Neighbours<3>& n) const {
        const hn::Rebind<uint32_t, DF> du;
        const auto byte = hn::Set(du, 0xffu);
        auto channel = [&](hn::Vec<decltype(du)> v) { return hn::ConvertTo(DF(), hn::BitCast(DI(), hn::And(v, byte))); };
        for (int r = 0; r < 2; ++r) {
            const auto a = hn::Load(du, first[r] + i), b = hn::Load(du, second[r] + i);
            n.s[2 * r][0] = channel(a);
            n.s[2 * r][1] = channel(hn::ShiftRight<8>(a));
            n.s[2 * r][2] = channel(hn::ShiftRight<16>(a));
            n.s[2 * r + 1][0] = channel(hn::ShiftRight<8>(b));
            n.s[2 * r + 1][1] = channel(hn::ShiftRight<16>(b));
            n.s[2 * r + 1][2] = hn::ConvertTo(DF(), hn::BitCast(DI(), hn::ShiftRight<24>(b)));
        }
    }
};

template <class T, int C>
struct Chunk {
    HWY_ALIGN float a[kChunk];
    HWY_ALIGN float b[kChunk];
    HWY_ALIGN int32_t inside[kChunk];               // all ones or 0
    HWY_ALIGN int32_t row[kChunk];                  // y0
    HWY_ALIGN int32_t column[kChunk];               // byte offset of x0 in its row
    HWY_ALIGN int32_t right[kChunk], down[kChunk];  // byte offsets of the right and lower neighbours
    Taps<T, C> taps;
    HWY_ALIGN T result[kChunk * C];
};

template <int C, class DT, class T = hn::TFromD<DT>>
HWY_INLINE void storeChannels(DT dt, const hn::Vec<DF> (&v)[C], T* p) {
    if constexpr (C == 1) hn::StoreU(fromFloat(dt, v[0]), dt, p);
    else hn::StoreInterleaved3(fromFloat(dt, v[0]), fromFloat(dt, v[1]), fromFloat(dt, v[2]), dt, p);
}

template <class T, int C>
HWY_INLINE void undistortRows(Image<const T> src, Image<T> dst, const geometry::Camera& camera, uint8_t* buffer) {
    // No position lies inside [0, W - 1) x [0, H - 1) of a 1-pixel-wide or
    // -high image: nothing is written.
    if (dst.width < 2 || dst.height < 2) return;
    const DF df;
    const DI di;
    const hn::Rebind<T, DF> dt;
    const std::ptrdiff_t lanes = static_cast<std::ptrdiff_t>(hn::Lanes(df));
    constexpr std::ptrdiff_t kPixelBytes = static_cast<std::ptrdiff_t>(sizeof(T)) * C;
    const geometry::RadialModel model(camera, dst.width, buffer);
    // Non-negative floats order like their bit patterns, so the range test
    // runs on integers; adding +0 first turns -0 into +0, and NaNs and
    // negative values fail.
    const auto xMax = hn::Set(di, std::bit_cast<int32_t>(static_cast<float>(dst.width - 1)));
    const auto yMax = hn::Set(di, std::bit_cast<int32_t>(static_cast<float>(dst.height - 1)));
    const auto pixelBytes = hn::Set(di, static_cast<int32_t>(kPixelBytes));
    const auto step = hn::Set(di, static_cast<int32_t>(src.step));
    const auto one = hn::Set(df, 1.0f);
    const auto minusOne = hn::Set(di, -1);
    const unsigned char* base = src.rowBytes(0);
    Chunk<T, C> k;

    for (int v = 0; v < dst.height; ++v) {
        const RadialRow positions(model, v);
        T* out = dst.row(v);
        for (std::ptrdiff_t begin = 0; begin < dst.width; begin += kChunk) {
            const std::ptrdiff_t count = dst.width - begin < kChunk ? dst.width - begin : kChunk;
            const std::ptrdiff_t padded = (count + lanes - 1) / lanes * lanes;
            // Corners and fractions. Pixels outside (and the padding) keep
            // a = b = 0 and read pixel (0, 0) four times, so the gather
            // needs no branch.
            for (std::ptrdiff_t i = 0; i < padded; i += lanes) {
                hn::Vec<DF> xs, ys;
                positions.at(begin + i, count - i, xs, ys);
                const auto x = hn::Add(xs, hn::Zero(df)), y = hn::Add(ys, hn::Zero(df));
                const auto xb = hn::BitCast(di, x), yb = hn::BitCast(di, y);
                const auto inside = hn::And(hn::And(hn::Gt(xb, minusOne), hn::Gt(yb, minusOne)),
                                            hn::And(hn::Lt(xb, xMax), hn::Lt(yb, yMax)));
                const auto in = hn::And(inside, hn::FirstN(di, static_cast<std::size_t>(count - i)));
                const auto xc = hn::IfThenElseZero(hn::RebindMask(df, in), x);
                const auto yc = hn::IfThenElseZero(hn::RebindMask(df, in), y);
                const auto x0 = hn::ConvertTo(di, xc), y0 = hn::ConvertTo(di, yc);
                hn::Store(hn::Sub(xc, hn::ConvertTo(df, x0)), df, k.a + i);
                hn::Store(hn::Sub(yc, hn::ConvertTo(df, y0)), df, k.b + i);
                hn::Store(hn::VecFromMask(di, in), di, k.inside + i);
                hn::Store(y0, di, k.row + i);
                // A column is less than a row step from its row start, so
                // the offsets fit 32 bits.
                hn::Store(hn::Mul(x0, pixelBytes), di, k.column + i);
                hn::Store(hn::IfThenElseZero(in, pixelBytes), di, k.right + i);
                hn::Store(hn::IfThenElseZero(in, step), di, k.down + i);
            }
            for (std::ptrdiff_t i = 0; i < padded; ++i)
                k.taps.gather(i, base + static_cast<std::ptrdiff_t>(k.row[i]) * src.step + k.column[i], k.right[i],
                              k.down[i]);
            T* chunkOut = out + begin * C;
            for (std::ptrdiff_t i = 0; i < padded; i += lanes) {
                const auto a = hn::Load(df, k.a + i), b = hn::Load(df, k.b + i);
                const auto na = hn::Sub(one, a), nb = hn::Sub(one, b);
                const auto w00 = hn::Mul(na, nb), w10 = hn::Mul(a, nb), w01 = hn::Mul(na, b), w11 = hn::Mul(a, b);
                Neighbours<C> n;
                k.taps.load(i, n);
                hn::Vec<DF> value[C];
                for (int c = 0; c < C; ++c)
                    value[c] = hn::Add(hn::Add(hn::Add(hn::Mul(w00, n.s[0][c]), hn::Mul(w10, n.s[1][c])),
                                               hn::Mul(w01, n.s[2][c])),
                                       hn::Mul(w11, n.s[3][c]));
                const auto in = hn::Ne(hn::Load(di, k.inside + i), hn::Zero(di));
                if (i + lanes <= count && hn::AllTrue(di, in)) {
                    storeChannels<C>(dt, value, chunkOut + i * C);
                } else {
                    storeChannels<C>(dt, value, k.result + i * C);
                    for (std::ptrdiff_t j = i; j < i + lanes && j < count; ++j)
                        if (k.inside[j]) std::memcpy(chunkOut + j * C, k.result + j * C, kPixelBytes);
                }
            }
        }
    }
}

void Undistort8uC1(Image<const uint8_t> s, Image<uint8_t> d, const geometry::Camera& c, uint8_t* b) {
    undistortRows<uint8_t, 1>(s, d, c, b);
}
void Undistort8uC3(Image<const uint8_t> s, Image<uint8_t> d, const geometry::Camera& c, uint8_t* b) {
    undistortRows<uint8_t, 3>(s, d, c, b);
}
void Undistort16uC1(Image<const uint16_t> s, Image<uint16_t> d, const geometry::Camera& c, uint8_t* b) {
    undistortRows<uint16_t, 1>(s, d, c, b);
}
void Undistort16uC3(Image<const uint16_t> s, Image<uint16_t> d, const geometry::Camera& c, uint8_t* b) {
    undistortRows<uint16_t, 3>(s, d, c, b);
}
void Undistort32fC1(Image<const float> s, Image<float> d, const geometry::Camera& c, uint8_t* b) {
    undistortRows<float, 1>(s, d, c, b);
}
void Undistort32fC3(Image<const float> s, Image<float> d, const geometry::Camera& c, uint8_t* b) {
    undistortRows<float, 3>(s, d, c, b);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "geometry/exports.h"

namespace zal {
HWY_EXPORT(Undistort8uC1);
HWY_EXPORT(Undistort8uC3);
HWY_EXPORT(Undistort16uC1);
HWY_EXPORT(Undistort16uC3);
HWY_EXPORT(Undistort32fC1);
HWY_EXPORT(Undistort32fC3);

namespace geometry {

long long columnBufferBytes(int width) {
    // 24 bytes per padded column (the three planes use half of it) plus 32 so
    // that the start can be moved to a 32-byte boundary.
    return 24LL * paddedColumns(width) + 32;
}

template <class T, int C>
void undistortRadial(Image<const T> src, Image<T> dst, const Camera& camera, uint8_t* buffer) {
    if constexpr (std::is_same_v<T, uint8_t> && C == 1) HWY_DYNAMIC_DISPATCH(Undistort8uC1)(src, dst, camera, buffer);
    else if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(Undistort8uC3)(src, dst, camera, buffer);
    else if constexpr (std::is_same_v<T, uint16_t> && C == 1) HWY_DYNAMIC_DISPATCH(Undistort16uC1)(src, dst, camera, buffer);
    else if constexpr (std::is_same_v<T, uint16_t>) HWY_DYNAMIC_DISPATCH(Undistort16uC3)(src, dst, camera, buffer);
    else if constexpr (C == 1) HWY_DYNAMIC_DISPATCH(Undistort32fC1)(src, dst, camera, buffer);
    else HWY_DYNAMIC_DISPATCH(Undistort32fC3)(src, dst, camera, buffer);
}

namespace {

// Checks in order: pointers, size, step lengths, step alignment, then the
// focal lengths (-5).
template <class T, int C>
StatusCode checkedUndistort(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, const Camera& camera,
                            uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep, dstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    ZAL_CHECK(requireFocalLengths(camera.fx, camera.fy));
    undistortRadial<T, C>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), camera, pBuffer);
    return StatusOk;
}

}  // namespace
}  // namespace geometry
}  // namespace zal

ZAL_DECLARED(zaliUndistortGetSize);
extern "C" StatusCode zaliUndistortGetSize(ImageSize roiSize, int* pSize) {
    ZAL_CHECK(zal::requireNonNull(pSize));
    ZAL_CHECK(zal::requireSize(roiSize));
    return zal::storeSize(zal::geometry::columnBufferBytes(roiSize.width), pSize);
}

#define ZAL_UNDISTORT(name, T, C)                                                                                  \
    ZAL_DECLARED(name);                                                                                            \
    template void zal::geometry::undistortRadial<T, C>(zal::Image<const T>, zal::Image<T>,                        \
                                                       const zal::geometry::Camera&, uint8_t*);                   \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize, float fx,     \
                               float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer) {              \
        return zal::geometry::checkedUndistort<T, C>(pSrc, srcStep, pDst, dstStep, roiSize,                        \
                                                     zal::geometry::Camera{fx, fy, cx, cy, k1, k2}, pBuffer);     \
    }
ZAL_GEOMETRY_UNDISTORT(ZAL_UNDISTORT)
#endif  // HWY_ONCE
