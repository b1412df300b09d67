// Canny edge detector over precomputed derivative images: gradient magnitude
// on a ring of three lines, non-maximum suppression along the quantised
// gradient direction into a framed candidate map, then hysteresis from a
// stack of strong pixels.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/canny.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "core/rows-inl.h"
#include "feature/internal.h"

// The pieces every target shares, compiled once.
#ifndef ZAL_FEATURE_CANNY_SHARED
#define ZAL_FEATURE_CANNY_SHARED
namespace zal::feature {
namespace {

// Candidate-map values: 0 not a candidate (and the whole frame), 128 survived
// suppression, 255 already marked as an edge (so it is pushed only once).
constexpr uint8_t kCandidate = 128;
constexpr uint8_t kEdge = 255;

// tan(22.5 deg) and tan(67.5 deg); the products ax * t are formed in double
// precision and rounded to single precision before the compare.
constexpr double kTan22 = 0.41421356237309503;
constexpr double kTan67 = 2.414213562373095;

// The stack holds 16-bit coordinates while both framed dimensions stay below
// 65535, 32-bit ones otherwise.
inline bool smallCoordinates(long long framedWidth, long long framedHeight) {
    return framedWidth < 65535 && framedHeight < 65535;
}

// Magnitude type: exact 32-bit integers for 16s derivatives, single precision
// for 32f ones.
template <class D>
using Magnitude = std::conditional_t<std::is_same_v<D, int16_t>, int32_t, float>;

// Work areas carved from the caller's buffer.
template <class D, class Coord>
struct CannyWork {
    uint8_t* map;                 // (width + 2) x (height + 2), zero frame
    Magnitude<D>* lines[3];       // ring: rows y - 1, y, y + 1
    Coord* stack;                 // (row, column) pairs in map coordinates
    std::ptrdiff_t mapStep;
};

template <class D, class Coord>
CannyWork<D, Coord> carve(uint8_t* pBuffer, ImageSize roi) {
    CannyWork<D, Coord> w;
    w.mapStep = static_cast<std::ptrdiff_t>(roi.width) + 2;
    const std::ptrdiff_t mapBytes = w.mapStep * (static_cast<std::ptrdiff_t>(roi.height) + 2);
    w.map = alignUp32(pBuffer);
    auto* ring = alignUp32<Magnitude<D>>(w.map + mapBytes);
    for (int i = 0; i < 3; ++i) w.lines[i] = ring + i * w.mapStep;
    w.stack = alignUp32<Coord>(ring + 3 * w.mapStep);
    return w;
}

// Grows the edges from the stacked strong pixels through 8-connected
// candidates (last in, first out). Every pixel is pushed at most once: it is
// marked kEdge in the map when pushed, so the stack never holds more than
// width x height pairs. The zero frame keeps the search inside the image.
template <class Coord>
void hysteresis(uint8_t* map, std::ptrdiff_t mapStep, Image<uint8_t> dst, Coord* stack, Coord* top) {
    const std::ptrdiff_t offsets[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
    while (top != stack) {
        top -= 2;
        const std::ptrdiff_t r = top[0], c = top[1];
        for (const auto& o : offsets) {
            const std::ptrdiff_t nr = r + o[0], nc = c + o[1];
            uint8_t& cell = map[nr * mapStep + nc];
            if (cell != kCandidate) continue;
            cell = kEdge;
            dst.row(nr - 1)[nc - 1] = 255;
            *top++ = static_cast<Coord>(nr);
            *top++ = static_cast<Coord>(nc);
        }
    }
}

}  // namespace
}  // namespace zal::feature
#endif  // ZAL_FEATURE_CANNY_SHARED

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

template <class D>
using Magnitude = feature::Magnitude<D>;

// count lanes from p (all of them, or fewer at the end of a row).
template <class DV, class T>
HWY_INLINE hn::Vec<DV> loadSome(DV d, const T* p, std::size_t count) {
    return count == hn::Lanes(d) ? hn::LoadU(d, p) : loadPartial(d, p, count);
}
template <class DV, class T>
HWY_INLINE void storeSome(hn::Vec<DV> v, DV d, T* p, std::size_t count) {
    if (count == hn::Lanes(d)) hn::StoreU(v, d, p);
    else storePartial(v, d, p, count);
}

// Derivative or magnitude lanes as floats (16s converted exactly, 32s
// rounded to nearest like a cast), and derivatives' bits as
// 32-bit integers whose sign is the derivative's sign.
template <class DF, class DG>
HWY_INLINE hn::Vec<DF> asFloat(DF df, DG, hn::Vec<DG> g) {
    if constexpr (hwy::IsFloat<hn::TFromD<DG>>()) return g;
    else if constexpr (sizeof(hn::TFromD<DG>) == 4) return hn::ConvertTo(df, g);
    else return hn::ConvertTo(df, hn::PromoteTo(hn::RebindToSigned<DF>(), g));
}
template <class DF, class DG>
HWY_INLINE hn::Vec<hn::RebindToSigned<DF>> signBits(DF, DG, hn::Vec<DG> g) {
    const hn::RebindToSigned<DF> di;
    if constexpr (hwy::IsFloat<hn::TFromD<DG>>()) return hn::BitCast(di, g);
    else return hn::PromoteTo(di, g);
}

// float(double(v) * k) lane by lane.
template <class DF>
HWY_INLINE hn::Vec<DF> timesDouble(DF df, hn::Vec<DF> v, double k) {
#if HWY_TARGET == HWY_SCALAR
    const hn::Rebind<double, DF> dd;
    return hn::DemoteTo(df, hn::Mul(hn::PromoteTo(dd, v), hn::Set(dd, k)));
#else
    const hn::Half<DF> dh;
    const hn::Repartition<double, DF> dd;
    const auto lo = hn::DemoteTo(dh, hn::Mul(hn::PromoteTo(dd, hn::LowerHalf(dh, v)), hn::Set(dd, k)));
    const auto hi = hn::DemoteTo(dh, hn::Mul(hn::PromoteTo(dd, hn::UpperHalf(dh, v)), hn::Set(dd, k)));
    return hn::Combine(df, hi, lo);
#endif
}

// Magnitudes of one row into line[1..width]: |dx| + |dy|, exact in 32-bit
// integers for 16s derivatives; for 32f ones the sum of the two absolute
// values in double precision rounded to single, which is the single-precision
// sum (double has more than twice float's precision, so the two roundings
// never differ from one). At or below the low threshold a magnitude is 0,
// so such a pixel is never an edge and counts as 0 for its neighbours.
template <class D>
HWY_INLINE void magnitudeRow(const D* dx, const D* dy, Magnitude<D>* line, std::size_t width, Magnitude<D> low) {
    const hn::ScalableTag<Magnitude<D>> dm;
    const hn::Rebind<D, decltype(dm)> dg;
    const auto lowV = hn::Set(dm, low);
    const auto widen = [&](hn::Vec<decltype(dg)> g) {
        if constexpr (std::is_same_v<D, int16_t>) return hn::Abs(hn::PromoteTo(dm, g));
        else return hn::Abs(g);
    };
    const std::size_t lanes = hn::Lanes(dm);
    for (std::size_t x = 0; x < width; x += lanes) {
        const std::size_t count = width - x < lanes ? width - x : lanes;
        const auto m = hn::Add(widen(loadSome(dg, dx + x, count)), widen(loadSome(dg, dy + x, count)));
        storeSome(hn::IfThenElseZero(hn::Gt(m, lowV), m), dm, line + 1 + x, count);
    }
}

// Suppression of row y: `up`, `mid`, `down` hold the magnitudes of rows
// y - 1, y, y + 1 (index x + 1 for pixel x, zeros outside the image). With
// t1 = float(|dx| * tan 22.5), t2 = float(|dx| * tan 67.5) (products in
// double precision), the gradient is vertical when |dy| > t2, diagonal when
// not vertical and |dy| >= t1, else horizontal. The neighbour b lies on the
// upper (for a horizontal gradient: left) side, f on the lower (right) side;
// a diagonal gradient looks up-left/down-right when dx and dy have the same
// sign, up-right/down-left otherwise. A pixel survives when m > b and m > f;
// an equal f is enough along horizontal and vertical gradients, so of two
// equal neighbours the first survives, while a diagonal tie keeps neither.
// A zero magnitude never survives (b >= 0). A survivor whose magnitude, as
// a float, exceeds the high threshold is an edge and a seed: mapRow[x + 1]
// gets kEdge, dstRow[x] 255, and (y + 1, x + 1) goes on the stack, in
// increasing x; another survivor gets kCandidate, the rest 0. Returns the
// new top of the stack.
template <class D, class Coord>
HWY_INLINE Coord* suppressRow(const D* dx, const D* dy, const Magnitude<D>* up, const Magnitude<D>* mid,
                              const Magnitude<D>* down, uint8_t* mapRow, uint8_t* dstRow, std::size_t width, int y,
                              float high, Coord* top) {
    const hn::ScalableTag<float> df;
    const hn::RebindToSigned<decltype(df)> di;
    const hn::Rebind<D, decltype(df)> dg;
    const hn::Rebind<Magnitude<D>, decltype(df)> dm;
    const hn::Rebind<uint8_t, decltype(df)> d8;
    const auto highV = hn::Set(df, high);
    const auto edge = hn::Set(di, int32_t{feature::kEdge}), candidate = hn::Set(di, int32_t{feature::kCandidate});
    const std::size_t lanes = hn::Lanes(df);
    for (std::size_t x = 0; x < width; x += lanes) {
        const std::size_t count = width - x < lanes ? width - x : lanes;
        const auto gx = loadSome(dg, dx + x, count), gy = loadSome(dg, dy + x, count);
        const auto ax = hn::Abs(asFloat(df, dg, gx)), ay = hn::Abs(asFloat(df, dg, gy));
        const auto vertical = hn::Gt(ay, timesDouble(df, ax, feature::kTan67));
        const auto diagonal = hn::AndNot(vertical, hn::Ge(ay, timesDouble(df, ax, feature::kTan22)));
        const auto opposite = hn::RebindMask(dm, hn::Lt(hn::Xor(signBits(df, dg, gx), signBits(df, dg, gy)), hn::Zero(di)));
        const auto diagM = hn::RebindMask(dm, diagonal), vertM = hn::RebindMask(dm, vertical);
        const auto bDiag = hn::IfThenElse(opposite, loadSome(dm, up + x + 2, count), loadSome(dm, up + x, count));
        const auto fDiag = hn::IfThenElse(opposite, loadSome(dm, down + x, count), loadSome(dm, down + x + 2, count));
        auto b = hn::IfThenElse(diagM, bDiag, loadSome(dm, mid + x, count));
        auto f = hn::IfThenElse(diagM, fDiag, loadSome(dm, mid + x + 2, count));
        b = hn::IfThenElse(vertM, loadSome(dm, up + x + 1, count), b);
        f = hn::IfThenElse(vertM, loadSome(dm, down + x + 1, count), f);
        const auto m = loadSome(dm, mid + x + 1, count);
        const auto keep = hn::RebindMask(df, hn::And(hn::Gt(m, b), hn::Or(hn::Gt(m, f), hn::AndNot(diagM, hn::Eq(m, f)))));
        const auto strong = hn::And(keep, hn::Gt(asFloat(df, dm, m), highV));
        const auto marks = hn::IfThenElse(hn::RebindMask(di, strong), edge,
                                          hn::IfThenElseZero(hn::RebindMask(di, keep), candidate));
        storeSome(hn::DemoteTo(d8, marks), d8, mapRow + 1 + x, count);
        if (hn::AllFalse(df, strong)) continue;
        // Padding lanes of the last piece hold zero magnitudes: never strong.
        uint8_t bytes[(HWY_MAX_BYTES / 4 + 7) / 8] = {};
        hn::StoreMaskBits(df, strong, bytes);
        for (std::size_t i = 0; i < count; ++i) {
            if (!((bytes[i / 8] >> (i % 8)) & 1)) continue;
            dstRow[x + i] = 255;
            *top++ = static_cast<Coord>(y + 1);
            *top++ = static_cast<Coord>(x + i + 1);
        }
    }
    return top;
}

// Magnitudes, suppression and seeds row by row over the ring of three lines;
// returns the top of the seed stack.
template <class D, class Coord>
HWY_INLINE Coord* scanRows(Image<const D> dx, Image<const D> dy, Image<uint8_t> dst,
                           const feature::CannyWork<D, Coord>& w, Magnitude<D> low, float high) {
    const int height = dst.height;
    const std::size_t width = static_cast<std::size_t>(dst.width);
    Magnitude<D>* up = w.lines[0];
    Magnitude<D>* mid = w.lines[1];
    Magnitude<D>* down = w.lines[2];
    for (int i = 0; i < 3; ++i) w.lines[i][0] = w.lines[i][width + 1] = 0;
    std::memset(up, 0, sizeof(Magnitude<D>) * (width + 2));
    magnitudeRow<D>(dx.row(0), dy.row(0), mid, width, low);

    Coord* top = w.stack;
    for (int y = 0; y < height; ++y) {
        if (y + 1 < height) magnitudeRow<D>(dx.row(y + 1), dy.row(y + 1), down, width, low);
        else std::memset(down, 0, sizeof(Magnitude<D>) * (width + 2));
        uint8_t* mapRow = w.map + (y + 1) * w.mapStep;
        top = suppressRow<D, Coord>(dx.row(y), dy.row(y), up, mid, down, mapRow, dst.row(y), width, y, high, top);
        Magnitude<D>* spare = up;
        up = mid, mid = down, down = spare;
    }
    return top;
}

#define ZAL_CANNY_SCAN(Name, D, Coord)                                                                           \
    Coord* Name(Image<const D> dx, Image<const D> dy, Image<uint8_t> dst, const feature::CannyWork<D, Coord>& w, \
                Magnitude<D> low, float high) {                                                                  \
        return scanRows<D, Coord>(dx, dy, dst, w, low, high);                                                    \
    }
ZAL_CANNY_SCAN(CannyScan16s16, int16_t, uint16_t)
ZAL_CANNY_SCAN(CannyScan16s32, int16_t, uint32_t)
ZAL_CANNY_SCAN(CannyScan32f16, float, uint16_t)
ZAL_CANNY_SCAN(CannyScan32f32, float, uint32_t)
#undef ZAL_CANNY_SCAN

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/export.h"
#include "feature/exports.h"
#include "feature/ops.h"

namespace zal {
HWY_EXPORT(CannyScan16s16);
HWY_EXPORT(CannyScan16s32);
HWY_EXPORT(CannyScan32f16);
HWY_EXPORT(CannyScan32f32);

namespace feature {
namespace {

template <class D, class Coord>
void detectEdges(Image<const D> dx, Image<const D> dy, Image<uint8_t> dst, float lowThresh, float highThresh,
                 uint8_t* pBuffer) {
    const int width = dst.width, height = dst.height;
    CannyWork<D, Coord> w = carve<D, Coord>(pBuffer, ImageSize{width, height});
    for (int y = 0; y < height; ++y) std::memset(dst.row(y), 0, static_cast<std::size_t>(width));
    std::memset(w.map, 0, static_cast<std::size_t>(w.mapStep) * (static_cast<std::size_t>(height) + 2));

    Magnitude<D> low;
    if constexpr (std::is_same_v<D, int16_t>) {
        // The low threshold truncated toward zero; beyond the int range no
        // magnitude can pass it.
        low = lowThresh >= 2147483648.0f ? INT32_MAX : static_cast<int32_t>(lowThresh);
    } else {
        low = lowThresh;
    }
    Coord* top;
    if constexpr (std::is_same_v<D, int16_t> && std::is_same_v<Coord, uint16_t>)
        top = HWY_DYNAMIC_DISPATCH(CannyScan16s16)(dx, dy, dst, w, low, highThresh);
    else if constexpr (std::is_same_v<D, int16_t>)
        top = HWY_DYNAMIC_DISPATCH(CannyScan16s32)(dx, dy, dst, w, low, highThresh);
    else if constexpr (std::is_same_v<Coord, uint16_t>)
        top = HWY_DYNAMIC_DISPATCH(CannyScan32f16)(dx, dy, dst, w, low, highThresh);
    else
        top = HWY_DYNAMIC_DISPATCH(CannyScan32f32)(dx, dy, dst, w, low, highThresh);
    hysteresis<Coord>(w.map, w.mapStep, dst, w.stack, top);
}

}  // namespace

template <class D>
void canny(Image<const D> dx, Image<const D> dy, Image<uint8_t> dst, float low, float high, uint8_t* buffer) {
    if (smallCoordinates(dst.width + 2LL, dst.height + 2LL))
        detectEdges<D, uint16_t>(dx, dy, dst, low, high, buffer);
    else
        detectEdges<D, uint32_t>(dx, dy, dst, low, high, buffer);
}

// Map, stack and 3 magnitude lines with room for the 32-byte alignments:
// 5 bytes per framed pixel with 16-bit stack pairs, 9 with 32-bit ones (the
// size the query has always reported, kept for compatibility).
ByteCount cannyBufferBytes(ImageSize roi) {
    const long long framedW = roi.width + 2LL, framedH = roi.height + 2LL;
    const long long perPixel = smallCoordinates(framedW, framedH) ? 5 : 9;
    return ByteCount(perPixel) * framedW * framedH + 16LL * roi.width + 160;
}

namespace {

template <class D>
StatusCode checkedCanny(const D* pSrcDx, int srcDxStep, const D* pSrcDy, int srcDyStep, uint8_t* pDstEdges,
                        int dstEdgeStep, ImageSize roi, float lowThresh, float highThresh, uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrcDx, pSrcDy, pDstEdges, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<D, 1>(roi, srcDxStep, srcDyStep)));
    ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, dstEdgeStep)));
    ZAL_CHECK(requireStepsAligned<D>(srcDxStep, srcDyStep));
    ZAL_CHECK(failIf(!(lowThresh >= 0.0f) || highThresh < lowThresh, StatusBadArgument));
    canny<D>(image(pSrcDx, srcDxStep, roi), image(pSrcDy, srcDyStep, roi), image(pDstEdges, dstEdgeStep, roi),
             lowThresh, highThresh, pBuffer);
    return StatusOk;
}

}  // namespace
}  // namespace feature
}  // namespace zal

ZAL_DECLARED(zaliCannyGetSize);
extern "C" StatusCode zaliCannyGetSize(ImageSize roiSize, int* pBufferSize) {
    ZAL_CHECK(zal::requireNonNull(pBufferSize));
    ZAL_CHECK(zal::requireSize(roiSize));
    return zal::storeSize(zal::feature::cannyBufferBytes(roiSize), pBufferSize);
}

#define ZAL_CANNY(name, D)                                                                                      \
    ZAL_DECLARED(name);                                                                                         \
    template void zal::feature::canny<D>(zal::Image<const D>, zal::Image<const D>, zal::Image<uint8_t>, float,  \
                                         float, uint8_t*);                                                      \
    extern "C" StatusCode name(const D* pSrcDx, int srcDxStep, const D* pSrcDy, int srcDyStep,                  \
                               uint8_t* pDstEdges, int dstEdgeStep, ImageSize roiSize, float lowThresh,         \
                               float highThresh, uint8_t* pBuffer) {                                            \
        return zal::feature::checkedCanny(pSrcDx, srcDxStep, pSrcDy, srcDyStep, pDstEdges, dstEdgeStep,         \
                                          roiSize, lowThresh, highThresh, pBuffer);                             \
    }
ZAL_FEATURE_CANNY(ZAL_CANNY)
#endif  // HWY_ONCE
