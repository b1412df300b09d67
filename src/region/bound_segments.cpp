// Boundaries between labelled regions: with path keys after a watershed, and
// without keys for any label image.
#include "region/bound_segments.h"

#include <cstdint>

#include "core/checks.h"
#include "core/export.h"
#include "core/unaligned.h"
#include "region/exports.h"
#include "region/ops.h"

namespace zal {

void paintBoundariesByKey(Image<uint8_t> labels, const int32_t* keys, std::ptrdiff_t keyStride, bool eightAdjacent) {
    constexpr uint8_t kBoundary = 255;
    const int w = labels.width;
    if (w == 1) eightAdjacent = false;
    // Pair (p earlier, q later): the larger key is painted, q on a tie.
    auto settle = [&](uint8_t& lp, int32_t kp, uint8_t& lq, int32_t kq) {
        if (lp == lq || lp == kBoundary || lq == kBoundary) return;
        (kp > kq ? lp : lq) = kBoundary;
    };
    for (int y = 0; y < labels.height; ++y) {
        uint8_t* l = labels.row(y);
        uint8_t* lu = y > 0 ? labels.row(y - 1) : nullptr;
        const int32_t* k = keys + y * keyStride;
        const int32_t* ku = k - keyStride;
        for (int x = 0; x < w; ++x) {
            // Eight pixels whose left and upper neighbours carry the pixel's
            // own label settle nothing, and nothing changes among them. Their
            // diagonal neighbours need no look: in the row above, neighbours
            // along the row are already equal or one of them is a boundary,
            // so a diagonal neighbour next to an upper one of the own label
            // has that label too or is a boundary, and settles nothing. A
            // pixel always remains after the run.
            while (x > 0 && x + 8 < w) {
                // Eight labels at a time, as one word.
                const auto own = loadUnaligned<uint64_t>(l + x, 0);
                if (loadUnaligned<uint64_t>(l + x - 1, 0) != own || (lu && loadUnaligned<uint64_t>(lu + x, 0) != own)) break;
                x += 8;
            }
            if (x > 0) settle(l[x - 1], k[x - 1], l[x], k[x]);
            if (!lu) continue;
            settle(lu[x], ku[x], l[x], k[x]);
            if (!eightAdjacent) continue;
            if (x > 0) settle(lu[x - 1], ku[x - 1], l[x], k[x]);
            if (x + 1 < w) settle(lu[x + 1], ku[x + 1], l[x], k[x]);
        }
    }
}

// A pixel becomes val when an earlier neighbour that is not val carries a
// different label; painted pixels count as val for the pixels after them.
void region::boundSegments(Image<uint8_t> labels, uint8_t val, bool diagonals) {
    const int w = labels.width;
    auto differs = [val](uint8_t neighbour, uint8_t own) { return neighbour != val && neighbour != own; };
    for (int y = 0; y < labels.height; ++y) {
        uint8_t* l = labels.row(y);
        const uint8_t* lu = y > 0 ? labels.row(y - 1) : nullptr;
        for (int x = 0; x < w; ++x) {
            const uint8_t own = l[x];
            bool edge = x > 0 && differs(l[x - 1], own);
            if (lu) {
                edge = edge || differs(lu[x], own);
                if (diagonals) {
                    edge = edge || (x > 0 && differs(lu[x - 1], own));
                    edge = edge || (x + 1 < w && differs(lu[x + 1], own));
                }
            }
            if (edge) l[x] = val;
        }
    }
}

}  // namespace zal

ZAL_DECLARED(zaliBoundSegments_8u_C1IR);
extern "C" StatusCode zaliBoundSegments_8u_C1IR(uint8_t* pMarker, int markerStep, ImageSize roiSize, uint8_t val,
                                                int flag) {
    ZAL_CHECK(zal::requireNonNull(pMarker));
    ZAL_CHECK(zal::requireSize(roiSize));
    ZAL_CHECK((zal::requireRowSteps<uint8_t, 1>(roiSize, markerStep)));
    ZAL_CHECK(zal::failIf(flag != 0 && flag != 1, StatusBadArgument));
    zal::region::boundSegments(zal::image(pMarker, markerStep, roiSize), val, flag == 0);
    return StatusOk;
}
