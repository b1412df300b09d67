// Marker-controlled watershed by raster sweeps over a packed key image.
//
// Every pixel carries a 32-bit key = level * 2^23 + distance: the highest
// source level its best path crosses in bits 23..30 and the path length
// within that level in bits 0..22, so one integer comparison orders paths
// first by level, then by length. Seeds (non-zero marker pixels) are fixed;
// the other pixels start at 255 * 2^23 + 2^22 and take a neighbour's offer
// max(level(p) * 2^23, key(q) + step) only when it is strictly smaller, so
// among equal offers the first one offered wins. Downward and upward sweeps
// are repeated over the rows whose neighbourhood changed until nothing
// changes.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/image.h"
#include "region/bound_segments.h"
#include "region/exports.h"
#include "region/internal.h"
#include "region/ops.h"
#include "region/watershed_internal.h"

namespace zal {
namespace {

using region::watershed::kLevelShift;
using region::watershed::kOpenKey;
using region::watershed::Norm;
constexpr uint8_t kFixed = 0;
constexpr uint8_t kOpen = 9;

// Two-neighbour eikonal correction for a step of 64: about
// 64 - (d + sqrt(2 * 64^2 - d^2)) / 2 for a key difference d < 64.
constexpr int32_t kFmmSub[64] = {19, 18, 18, 17, 17, 16, 16, 15, 15, 14, 14, 14, 14, 13, 12, 12,
                                 11, 11, 11, 10, 10, 9,  9,  9,  8,  8,  8,  7,  7,  7,  6,  6,
                                 6,  5,  5,  5,  4,  4,  4,  4,  3,  3,  3,  3,  2,  2,  2,  2,
                                 2,  1,  1,  1,  1,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  0};

std::size_t alignedStride(int width) { return (static_cast<std::size_t>(width) + 31) & ~std::size_t{31}; }

// The sweeps of the fast-marching norm: each pixel takes the two-neighbour
// update from the pixel behind and the vertical pixel on the side the sweep
// comes from (the one-sided offer of step 64 where only one of them exists).
// The update depends on two neighbours at once, so a row that changed is not
// known to be settled with respect to itself, and every pass visits the
// whole row.
struct FastMarchingSweeper {
    int32_t* keys;           // key image, row stride `stride`
    uint8_t* state;          // kFixed or kOpen per pixel
    std::ptrdiff_t stride;
    Image<const uint8_t> src;
    Image<uint8_t> labels;   // the marker image
    int width, height;
    uint8_t* needDown;       // row may improve in a downward sweep
    uint8_t* needUp;         // row may improve in an upward sweep

    int32_t* keyRow(int y) const { return keys + y * stride; }
    uint8_t* stateRow(int y) const { return state + y * stride; }

    // Offer of one neighbour holding key nk and label nl to the pixel at
    // (k, l) with level floor `floorKey`.
    static bool offer(int32_t& k, uint8_t& l, int32_t floorKey, int32_t nk, uint8_t nl) {
        const int32_t candidate = std::max(floorKey, nk + 64);
        if (candidate < k) {
            k = candidate;
            l = nl;
            return true;
        }
        return false;
    }

    // Offer from a horizontal (hk, hl) and a vertical (vk, vl) neighbour: the
    // smaller key a, corrected by the gap to the other one.
    static bool offer(int32_t& k, uint8_t& l, int32_t floorKey, int32_t hk, uint8_t hl, int32_t vk, uint8_t vl) {
        const bool vertical = vk < hk;
        const int32_t a = vertical ? vk : hk;
        const int32_t d = (vertical ? hk : vk) - a;
        const int32_t candidate = std::max(floorKey, a + 64 - (d < 64 ? kFmmSub[d] : 0));
        if (candidate < k) {
            k = candidate;
            l = vertical ? vl : hl;
            return true;
        }
        return false;
    }

    // One pass over row y in direction Dx (+1 left to right, -1 right to
    // left) with the pixel behind and, with `Vertical`, the pixel of row yv.
    // The first pixel of the pass has no pixel behind. Returns whether any
    // pixel changed.
    template <int Dx, bool Vertical>
    bool pass(int y, int yv) {
        int32_t* k = keyRow(y);
        const uint8_t* st = stateRow(y);
        uint8_t* l = labels.row(y);
        const uint8_t* s = src.row(y);
        const int32_t* kv = Vertical ? keyRow(yv) : nullptr;
        const uint8_t* lv = Vertical ? labels.row(yv) : nullptr;
        const int first = Dx > 0 ? 0 : width - 1;
        const int end = Dx > 0 ? width : -1;
        bool changed = false;
        if (Vertical && st[first] != kFixed)
            changed |= offer(k[first], l[first], static_cast<int32_t>(s[first]) << kLevelShift, kv[first], lv[first]);
        for (int x = first + Dx; x != end; x += Dx) {
            if (st[x] == kFixed) continue;
            const int32_t floorKey = static_cast<int32_t>(s[x]) << kLevelShift;
            if constexpr (Vertical) changed |= offer(k[x], l[x], floorKey, k[x - Dx], l[x - Dx], kv[x], lv[x]);
            else changed |= offer(k[x], l[x], floorKey, k[x - Dx], l[x - Dx]);
        }
        return changed;
    }

    bool pass(int y, int dx, int yv) {
        if (yv < 0) return dx > 0 ? pass<1, false>(y, yv) : pass<-1, false>(y, yv);
        return dx > 0 ? pass<1, true>(y, yv) : pass<-1, true>(y, yv);
    }

    // Row y seen from row yv (y - 1 downward, y + 1 upward): the main pass in
    // the sweep's direction, then the reverse pass, both with row yv.
    bool processRow(int y, int yv, int dx) {
        bool changed = pass(y, dx, yv);
        changed |= pass(y, -dx, yv);
        if (changed) {
            if (y + 1 < height) needDown[y + 1] = 1;
            if (y > 0) needUp[y - 1] = 1;
            needDown[y] = needUp[y] = 1;
        }
        return changed;
    }

    void run() {
        std::memset(needDown, 0, static_cast<std::size_t>(height));
        std::memset(needUp, 0, static_cast<std::size_t>(height));
        processRow(0, -1, 1);
        for (int y = 1; y < height; ++y) {
            needDown[y] = 0;
            processRow(y, y - 1, 1);
        }
        for (int y = height - 2; y >= 0; --y) {
            needUp[y] = 0;
            processRow(y, y + 1, -1);
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (int y = 1; y < height; ++y) {
                if (!needDown[y]) continue;
                needDown[y] = 0;
                changed |= processRow(y, y - 1, 1);
            }
            for (int y = height - 2; y >= 0; --y) {
                if (!needUp[y]) continue;
                needUp[y] = 0;
                changed |= processRow(y, y + 1, -1);
            }
            // Flags raised for row 0 downward or the last row upward name
            // no work: those rows have no neighbour on that side.
        }
    }
};

Norm normFor(int norm, int width) {
    if (width == 1) return Norm::Four1;
    switch (norm) {
        case 0: return Norm::Eight1;
        case 1: return Norm::Four1;
        case 3: return Norm::FastMarching;
        default: return Norm::Eight11_15;
    }
}

}  // namespace

// Keys (4 s h), states (s h), the scratch rows ((h + 2) s), the downward
// flags (h) and 66 bytes of alignment slack: the count the size query has
// always reported, kept for compatibility.
ByteCount region::watershedBytes(ImageSize roi) {
    const ByteCount s = static_cast<long long>(alignedStride(roi.width));
    const ByteCount h = roi.height;
    return (2 * h + 2) * s + 4 * s * h + h + 66;
}

void region::segmentWatershed(Image<const uint8_t> src, Image<uint8_t> labels, int norm, int flag, uint8_t* pBuffer) {
    const ImageSize roi{src.width, src.height};
    const std::size_t stride = alignedStride(roi.width);
    const std::size_t plane = stride * static_cast<std::size_t>(roi.height);
    uint8_t* base = pBuffer + ((32 - reinterpret_cast<std::uintptr_t>(pBuffer) % 32) % 32);
    int32_t* keys = reinterpret_cast<int32_t*>(base);
    uint8_t* state = base + 4 * plane;
    uint8_t* scratch = state + plane;  // (height + 2) rows: holds the upward flags
    uint8_t* rowFlags = scratch + (static_cast<std::size_t>(roi.height) + 2) * stride;

    for (int y = 0; y < roi.height; ++y) {
        const uint8_t* s = src.row(y);
        const uint8_t* m = labels.row(y);
        int32_t* k = keys + y * static_cast<std::ptrdiff_t>(stride);
        uint8_t* st = state + y * static_cast<std::ptrdiff_t>(stride);
        for (int x = 0; x < roi.width; ++x) {
            const bool seed = m[x] != 0;
            k[x] = seed ? static_cast<int32_t>(s[x]) << kLevelShift : kOpenKey;
            st[x] = seed ? kFixed : kOpen;
        }
    }

    const Norm n = normFor(norm, roi.width);
    if (n == Norm::FastMarching) {
        FastMarchingSweeper{keys, state, static_cast<std::ptrdiff_t>(stride), src, labels, roi.width, roi.height,
                            rowFlags, scratch}
            .run();
    } else {
        // The scratch rows hold the upward flags, then the chunk sets: two
        // per row, two for the row being processed (far less than the
        // (height + 2) * stride bytes of the scratch).
        namespace ws = region::watershed;
        const int words = ws::words64(roi.width);
        const std::size_t flagBytes = (static_cast<std::size_t>(roi.height) + 31) & ~std::size_t{31};
        auto* sets = reinterpret_cast<uint64_t*>(scratch + flagBytes);
        const std::ptrdiff_t perRow = static_cast<std::ptrdiff_t>(roi.height) * words;
        ws::sweepOffers(n, ws::Sweep{keys, static_cast<std::ptrdiff_t>(stride), src, labels, rowFlags, scratch, sets,
                                     sets + perRow, sets + 2 * perRow, sets + 2 * perRow + words});
    }

    if (flag & 0x40) paintBoundariesByKey(labels, keys, static_cast<std::ptrdiff_t>(stride), false);
    else if (flag & 0x80) paintBoundariesByKey(labels, keys, static_cast<std::ptrdiff_t>(stride), true);
}

}  // namespace zal

ZAL_REGION_WATERSHED_SIZE(ZAL_REGION_SIZE_QUERY)

ZAL_DECLARED(zaliSegmentWatershed_8u_C1IR);
extern "C" StatusCode zaliSegmentWatershed_8u_C1IR(const uint8_t* pSrc, int srcStep, uint8_t* pMarker, int markerStep,
                                                   ImageSize roiSize, int norm, int flag, uint8_t* pBuffer) {
    ZAL_CHECK(zal::requireNonNull(pSrc, pMarker, pBuffer));
    ZAL_CHECK(zal::requireSize(roiSize));
    ZAL_CHECK((zal::requireRowSteps<uint8_t, 1>(roiSize, srcStep, markerStep)));
    // A ROI whose buffer size the query refuses has no valid buffer either.
    ZAL_CHECK(zal::requireIntBytes(zal::region::watershedBytes(roiSize)));
    zal::region::segmentWatershed(zal::image(pSrc, srcStep, roiSize), zal::image(pMarker, markerStep, roiSize), norm,
                                  flag, pBuffer);
    return StatusOk;
}
