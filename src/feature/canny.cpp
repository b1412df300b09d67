// Canny edge detector over precomputed derivative images: gradient magnitude
// on a ring of three lines, non-maximum suppression along the quantised
// gradient direction into a framed candidate map, then hysteresis from a
// stack of strong pixels.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "core/simd.h"
#include "feature/exports.h"
#include "feature/internal.h"
#include "feature/ops.h"

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
// (summed in double) for 32f ones.
template <class D>
using Magnitude = std::conditional_t<std::is_same_v<D, int16_t>, int32_t, float>;

// Magnitudes of one row into line[1..width]; below or at the low threshold a
// magnitude is 0, so such a pixel is never an edge and counts as 0 for its
// neighbours.
template <class D>
ZAL_TARGET_CLONES void magnitudeRow(const D* __restrict dx, const D* __restrict dy, Magnitude<D>* __restrict line,
                                    int width, Magnitude<D> low) {
    for (int x = 0; x < width; ++x) {
        Magnitude<D> m;
        if constexpr (std::is_same_v<D, int16_t>) {
            const int32_t a = dx[x], b = dy[x];
            m = (a < 0 ? -a : a) + (b < 0 ? -b : b);
        } else {
            m = static_cast<float>(static_cast<double>(std::fabs(dx[x])) + static_cast<double>(std::fabs(dy[x])));
        }
        line[x + 1] = m > low ? m : Magnitude<D>(0);
    }
}

inline bool sameSign(int16_t a, int16_t b) { return (a ^ b) >= 0; }
inline bool sameSign(float a, float b) { return std::signbit(a) == std::signbit(b); }

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

// Suppression of row y: `up`, `mid`, `down` hold the magnitudes of rows
// y - 1, y, y + 1 (index x + 1 for pixel x, zeros outside the image). The
// neighbour b lies on the upper (for a horizontal gradient: left) side, f on
// the lower (right) side. A pixel survives when m > b and m > f; an equal f
// is enough along horizontal and vertical gradients, so of two equal
// neighbours the first survives, while a diagonal tie keeps neither. A zero
// magnitude never survives (b >= 0). Written without branches so that the
// loop vectorises; mapRow[x + 1] gets kCandidate or 0.
template <class D>
ZAL_TARGET_CLONES void suppressRow(const D* __restrict dx, const D* __restrict dy, const Magnitude<D>* __restrict up,
                                   const Magnitude<D>* __restrict mid, const Magnitude<D>* __restrict down,
                                   uint8_t* __restrict mapRow, int width) {
    for (int x = 0; x < width; ++x) {
        const Magnitude<D> m = mid[x + 1];
        const float ax = std::fabs(static_cast<float>(dx[x]));
        const float ay = std::fabs(static_cast<float>(dy[x]));
        const float t1 = static_cast<float>(static_cast<double>(ax) * kTan22);
        const float t2 = static_cast<float>(static_cast<double>(ax) * kTan67);
        const bool vertical = ay > t2;
        const bool diagonal = !vertical & (ay >= t1);
        const bool same = sameSign(dx[x], dy[x]);
        const Magnitude<D> upLeft = up[x], upMid = up[x + 1], upRight = up[x + 2];
        const Magnitude<D> downLeft = down[x], downMid = down[x + 1], downRight = down[x + 2];
        const Magnitude<D> left = mid[x], right = mid[x + 2];
        const Magnitude<D> bDiag = same ? upLeft : upRight;
        const Magnitude<D> fDiag = same ? downRight : downLeft;
        Magnitude<D> b = diagonal ? bDiag : left;
        Magnitude<D> f = diagonal ? fDiag : right;
        b = vertical ? upMid : b;
        f = vertical ? downMid : f;
        const bool keep = (m > b) & ((m > f) | ((m == f) & !diagonal));
        mapRow[x + 1] = static_cast<uint8_t>(keep * kCandidate);
    }
}

// Candidates of row y above the high threshold become edges and seeds.
template <class D, class Coord>
Coord* seedRow(const Magnitude<D>* mid, uint8_t* mapRow, uint8_t* dstRow, int width, int y, float high, Coord* top) {
    for (int x = 0; x < width; ++x) {
        if (mapRow[x + 1] == 0 || !(static_cast<float>(mid[x + 1]) > high)) continue;
        mapRow[x + 1] = kEdge;
        dstRow[x] = 255;
        *top++ = static_cast<Coord>(y + 1);
        *top++ = static_cast<Coord>(x + 1);
    }
    return top;
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

    Magnitude<D>* up = w.lines[0];
    Magnitude<D>* mid = w.lines[1];
    Magnitude<D>* down = w.lines[2];
    for (int i = 0; i < 3; ++i) w.lines[i][0] = w.lines[i][width + 1] = 0;
    std::memset(up, 0, sizeof(Magnitude<D>) * (static_cast<std::size_t>(width) + 2));
    magnitudeRow<D>(dx.row(0), dy.row(0), mid, width, low);

    Coord* top = w.stack;
    for (int y = 0; y < height; ++y) {
        if (y + 1 < height) magnitudeRow<D>(dx.row(y + 1), dy.row(y + 1), down, width, low);
        else std::memset(down, 0, sizeof(Magnitude<D>) * (static_cast<std::size_t>(width) + 2));
        uint8_t* mapRow = w.map + (y + 1) * w.mapStep;
        suppressRow<D>(dx.row(y), dy.row(y), up, mid, down, mapRow, width);
        top = seedRow<D, Coord>(mid, mapRow, dst.row(y), width, y, highThresh, top);
        Magnitude<D>* spare = up;
        up = mid, mid = down, down = spare;
    }
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
// 5 bytes per framed pixel with 16-bit stack pairs, 9 with 32-bit ones.
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
}  // namespace zal::feature

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
