// Construction and release of the inpainting state: the work rectangle, the
// binary working mask, the copy of the distance map and its gradient, the
// circular neighbour table, the sorted processing list and the two
// morphology states (square of the radius, 3x3 cross) that find the bands
// around the damaged region. Everything lives in one aligned block.
#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"
#include "morph/ops.h"
#include "region/exports.h"
#include "region/inpaint_internal.h"
#include "region/ops.h"

namespace zal::inpaint {
namespace {

constexpr uint8_t kCross[9] = {0, 1, 0, 1, 1, 1, 0, 1, 0};

// Squares of ones up to 127 x 127 (radius below 64) need no scratch block.
constexpr int kStaticOnesSide = 127;
constexpr auto kOnes = [] {
    std::array<uint8_t, kStaticOnesSide * kStaticOnesSide> ones{};
    for (auto& v : ones) v = 1;
    return ones;
}();

Area clipped(int x0, int y0, int x1, int y1, ImageSize roi) {  // inclusive corners
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, roi.width - 1);
    y1 = std::min(y1, roi.height - 1);
    return Area{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

// Byte offsets of the areas inside the block, each on a 32-byte boundary.
struct Layout {
    std::size_t list, table, initialMask, mask, squareBand, crossBand, dist, distGrad, grad, square, cross, total;
};

Layout layoutFor(std::size_t listLength, std::size_t tableLength, std::size_t area, int channels,
                 std::size_t squareBytes, std::size_t crossBytes) {
    std::size_t at = 0;
    auto take = [&at](std::size_t bytes) {
        const std::size_t start = at;
        at = (at + bytes + 31) & ~std::size_t{31};
        return start;
    };
    Layout l{};
    take(sizeof(InpaintState));
    l.list = take(listLength * sizeof(double));
    l.table = take(tableLength * sizeof(Neighbour));
    l.initialMask = take(area);
    l.mask = take(area);
    l.squareBand = take(area);
    l.crossBand = take(area);
    l.dist = take(area * sizeof(float));
    l.distGrad = take(area * 2 * sizeof(int16_t));
    l.grad = take(area * 2 * static_cast<std::size_t>(channels) * sizeof(int16_t));
    l.square = take(squareBytes);
    l.cross = take(crossBytes);
    l.total = at;
    return l;
}

bool inWindow(int dx, int dy, float radius) {
    return (dx != 0 || dy != 0) &&
           static_cast<double>(dx * dx + dy * dy) <= static_cast<double>(radius) * static_cast<double>(radius);
}

void fillTable(InpaintState& s) {
    int n = 0;
    for (int dy = -s.reach; dy <= s.reach; ++dy)
        for (int dx = -s.reach; dx <= s.reach; ++dx) {
            if (!inWindow(dx, dy, s.radius)) continue;
            const double d2 = dx * dx + dy * dy;
            const double d = std::sqrt(d2);
            const double weight = s.method == kMethodDistance ? 1.0 / (d2 * d) : 1.0 / ((d2 * d2 + 1.0) * d);
            s.table[n++] = Neighbour{dx, dy, static_cast<float>(weight),
                                     static_cast<std::ptrdiff_t>(dy) * s.work.width + dx};
        }
}

bool listed(uint8_t mask, float t) { return mask != 0 && t > 0.0f; }

// Damaged pixels with T > 0 (NaN and T <= 0 are never filled), in ascending
// T, ties by pixel index.
void fillList(InpaintState& s, Image<const float> dist, Image<const uint8_t> mask) {
    int n = 0;
    for (int y = s.rect.y; y < s.rect.y + s.rect.height; ++y) {
        const float* t = dist.row(y);
        const uint8_t* m = mask.row(y);
        for (int x = s.rect.x; x < s.rect.x + s.rect.width; ++x) {
            if (!listed(m[x], t[x])) continue;
            const double key = std::min(t[x], FLT_MAX);  // +inf would not survive the index bits
            const uint64_t index = static_cast<uint64_t>(y) * static_cast<uint64_t>(s.width) + static_cast<uint64_t>(x);
            s.list[n++] = std::bit_cast<double>((std::bit_cast<uint64_t>(key) & ~kIndexMask) | index);
        }
    }
    if (n > 1) core::sortAscend(s.list, n);
}

}  // namespace
}  // namespace zal::inpaint

namespace zal {

template <int Channels>
StatusCode region::inpaintInit(InpaintState** ppState, Image<const float> dist, Image<const uint8_t> mask,
                               float radius, int method) {
    using namespace zal::inpaint;
    const ImageSize roi{mask.width, mask.height};
    int x0 = roi.width, y0 = roi.height, x1 = -1, y1 = -1;
    for (int y = 0; y < roi.height; ++y) {
        const uint8_t* m = mask.row(y);
        for (int x = 0; x < roi.width; ++x) {
            if (m[x] == 0) continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = y;
        }
    }
    if (x1 < 0) {
        // Nothing to fill: a state of this header alone, with an empty work
        // area, that the inpainting call recognises and answers with a copy.
        auto* s = reinterpret_cast<InpaintState*>(zalsMalloc_8u(static_cast<int>(sizeof(InpaintState))));
        if (!s) return StatusNoMemory;
        *s = InpaintState{};
        s->width = roi.width;
        s->height = roi.height;
        s->channels = Channels;
        s->method = method;
        s->radius = radius;
        *ppState = s;
        return StatusOk;
    }
    // Radii beyond the ROI reach nothing more.
    const int reach = static_cast<int>(std::min<double>(std::floor(radius), std::max(roi.width, roi.height)));
    const Area rect = clipped(x0 - reach, y0 - reach, x1 + reach, y1 + reach, roi);
    const Area work = clipped(rect.x - 1, rect.y - 1, rect.x + rect.width, rect.y + rect.height, roi);

    std::size_t tableLength = 0, listLength = 0;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) tableLength += inWindow(dx, dy, radius);
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        for (int x = rect.x; x < rect.x + rect.width; ++x) listLength += listed(mask.row(y)[x], dist.row(y)[x]);

    const int side = 2 * reach + 1;
    const ImageSize squareSize{side, side};
    uint8_t* scratchOnes = nullptr;
    const uint8_t* ones = kOnes.data();
    if (side > kStaticOnesSide) {
        if (static_cast<long long>(side) * side > INT32_MAX) return StatusNoMemory;
        scratchOnes = zalsMalloc_8u(side * side);
        if (!scratchOnes) return StatusNoMemory;
        std::memset(scratchOnes, 1, static_cast<std::size_t>(side) * side);
        ones = scratchOnes;
    }
    // The dilation states: a state that does not fit an int is the -6 of the
    // morphology size query (the ROI width, masks and anchors are valid).
    constexpr morph::PixelFormat gray = morph::pixelFormatOf<uint8_t, 1>();
    const long long squareBytes = morph::stateSize(ones, squareSize, rect.width, gray);
    const long long crossBytes = morph::stateSize(kCross, ImageSize{3, 3}, rect.width, gray);
    StatusCode st = requireIntBytes(squareBytes);
    if (st == StatusOk) st = requireIntBytes(crossBytes);

    const std::size_t area = static_cast<std::size_t>(work.width) * static_cast<std::size_t>(work.height);
    const Layout l = layoutFor(listLength, tableLength, area, Channels, static_cast<std::size_t>(squareBytes),
                               static_cast<std::size_t>(crossBytes));
    uint8_t* block = nullptr;
    if (st == StatusOk) {
        block = l.total <= static_cast<std::size_t>(INT32_MAX) ? zalsMalloc_8u(static_cast<int>(l.total)) : nullptr;
        if (!block) st = StatusNoMemory;
    }
    InpaintState* s = reinterpret_cast<InpaintState*>(block);
    if (st == StatusOk) {
        *s = InpaintState{};
        s->square = reinterpret_cast<MorphologyState*>(block + l.square);
        s->cross = reinterpret_cast<MorphologyState*>(block + l.cross);
        const int centre = reach;
        // The centred anchor needs no more than the size reported above.
        morph::initState(s->square, ones, squareSize, ImagePoint{centre, centre}, rect.width, gray);
        morph::initState(s->cross, kCross, ImageSize{3, 3}, ImagePoint{1, 1}, rect.width, gray);
    }
    zalsFree(scratchOnes);
    if (st != StatusOk) {
        zalsFree(block);
        return st;
    }

    s->width = roi.width;
    s->height = roi.height;
    s->channels = Channels;
    s->method = method;
    s->radius = radius;
    s->reach = reach;
    s->rect = rect;
    s->work = work;
    s->listLength = static_cast<int>(listLength);
    s->tableLength = static_cast<int>(tableLength);
    s->list = reinterpret_cast<double*>(block + l.list);
    s->table = reinterpret_cast<Neighbour*>(block + l.table);
    s->initialMask = block + l.initialMask;
    s->mask = block + l.mask;
    s->squareBand = block + l.squareBand;
    s->crossBand = block + l.crossBand;
    s->dist = reinterpret_cast<float*>(block + l.dist);
    s->distGrad = reinterpret_cast<int16_t*>(block + l.distGrad);
    s->grad = reinterpret_cast<int16_t*>(block + l.grad);

    for (int y = 0; y < work.height; ++y) {
        const uint8_t* m = mask.row(work.y + y) + work.x;
        const float* t = dist.row(work.y + y) + work.x;
        uint8_t* wm = s->initialMask + static_cast<std::ptrdiff_t>(y) * work.width;
        std::memcpy(s->dist + static_cast<std::ptrdiff_t>(y) * work.width, t, static_cast<std::size_t>(work.width) * 4);
        for (int x = 0; x < work.width; ++x) wm[x] = m[x] != 0 ? 1 : 0;
    }
    distanceGradient(*s, dist);
    fillTable(*s);
    fillList(*s, dist, mask);
    *ppState = s;
    return StatusOk;
}

void region::inpaintFree(InpaintState* state) { zalsFree(state); }

namespace {

template <int Channels>
StatusCode initAlloc(InpaintState** ppState, const float* pDist, int distStep, const uint8_t* pMask, int maskStep,
                     ImageSize roi, float radius, int method) {
    ZAL_CHECK(requireNonNull(pMask, pDist, ppState));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, maskStep)));
    ZAL_CHECK((requireRowSteps<float, 1>(roi, distStep)));
    ZAL_CHECK(requireStepsAligned<float>(distStep));
    ZAL_CHECK(failIf((method != inpaint::kMethodDistance && method != inpaint::kMethodIsophote) || !(radius >= 1.0f),
                     StatusBadArgument));
    // Pixel indices travel in the low bits of the list entries.
    ZAL_CHECK(failIf(static_cast<long long>(roi.width) * roi.height > static_cast<long long>(inpaint::kIndexMask) + 1,
                     StatusSizeError));
    return region::inpaintInit<Channels>(ppState, image(pDist, distStep, roi), image(pMask, maskStep, roi), radius,
                                         method);
}

}  // namespace
}  // namespace zal

#define ZAL_INPAINT_INIT(name, C)                                                                                 \
    ZAL_DECLARED(name);                                                                                           \
    template StatusCode zal::region::inpaintInit<C>(InpaintState**, zal::Image<const float>,                      \
                                                    zal::Image<const uint8_t>, float, int);                       \
    extern "C" StatusCode name(InpaintState** ppState, const float* pDist, int distStep, const uint8_t* pMask,    \
                               int maskStep, ImageSize roiSize, float radius, int method) {                      \
        return zal::initAlloc<C>(ppState, pDist, distStep, pMask, maskStep, roiSize, radius, method);             \
    }
// Either member releases a state of either channel count.
#define ZAL_INPAINT_FREE(name, C)                               \
    ZAL_DECLARED(name);                                         \
    extern "C" StatusCode name(InpaintState* pState) {          \
        ZAL_CHECK(zal::requireNonNull(pState));                 \
        zal::region::inpaintFree(pState);                       \
        return StatusOk;                                        \
    }
ZAL_REGION_INPAINT_INIT(ZAL_INPAINT_INIT)
ZAL_REGION_INPAINT_FREE(ZAL_INPAINT_FREE)
