// Fast-marching arrival times of the pixels of an 8-bit mask, measured from
// the mask boundary, by one downward and one upward raster sweep of the
// two-neighbour upwind update (no heap-ordered front: linear time).
//
// Inside pixels (mask != 0) get positive times. With a radius > 0 the outside
// pixels within that radius get negative times: -1e-10 next to an inside
// pixel, then about -1, -2, ... down to -(radius + 1e-5); 0 beyond. With
// radius 0 every outside pixel is 0.
//
// One flag byte per row: the downward sweep sets it for rows below the first
// that hold inside pixels, the upward sweep for rows that changed. Only
// flagged rows get the right-to-left pass of the downward sweep, and the
// upward sweep visits a row only when it or the row below is flagged; so a
// first row whose neighbour row holds nothing keeps its one-sided values.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/image.h"
#include "region/exports.h"
#include "region/internal.h"
#include "region/ops.h"

namespace zal {
namespace {

constexpr float kUnreached = 999999.0f;   // start value of an inside first pixel
constexpr float kBoundary = -1e-10f;      // outside pixel touching the inside

// Upwind update of an inside pixel from its vertical neighbour a and its
// horizontal neighbour b (both clamped to 0: band values count as the front).
inline float insideFrom(float a, float b) {
    a = std::max(a, 0.0f);
    b = std::max(b, 0.0f);
    const float d = a - b;
    if (std::fabs(d) < 1.0f) return (a + b + std::sqrt(2.0f - d * d)) * 0.5f;
    return std::min(a, b) + 1.0f;
}

inline float insideFrom(float a) { return std::max(a, 0.0f) + 1.0f; }

// Negative band value of an outside pixel from its two neighbours; 0 means
// no value (nothing reached, or beyond the band).
inline float outsideFrom(float a, float b, float limit) {
    if (a > 0.0f || b > 0.0f) return kBoundary;
    float t;
    if (a != 0.0f && b != 0.0f) {
        const float d = a - b;
        t = std::fabs(d) < 1.0f ? (a + b - std::sqrt(2.0f - d * d)) * 0.5f : std::max(a, b) - 1.0f;
    } else if (a != 0.0f || b != 0.0f) {
        t = std::min(a, b) - 1.0f;
    } else {
        return 0.0f;
    }
    return t >= limit ? t : 0.0f;
}

// A band value replaces the current one only when it lies nearer the mask.
inline bool refineOutside(float& current, float candidate) {
    if (candidate == 0.0f || (current != 0.0f && !(candidate > current))) return false;
    current = candidate;
    return true;
}

inline bool refineInside(float& current, float candidate) {
    if (!(candidate < current)) return false;
    current = candidate;
    return true;
}

template <bool Band>
struct Marcher {
    Image<const uint8_t> mask;
    Image<float> dist;
    float limit;
    uint8_t* flags;

    // First pass over row y (left to right) with vertical neighbour row v
    // (null for the first row): assigns every pixel. Returns whether the row
    // holds inside pixels.
    bool assignRow(int y, const float* v) {
        const uint8_t* m = mask.row(y);
        float* t = dist.row(y);
        const int w = mask.width;
        bool inside = false;
        for (int x = 0; x < w; ++x) {
            float value;
            if (m[x] != 0) {
                if (x == 0) value = v ? insideFrom(v[0]) : kUnreached;
                else value = v ? insideFrom(v[x], t[x - 1]) : insideFrom(t[x - 1]);
                inside = true;
            } else if (Band) {
                if (x == 0) value = v ? outsideFrom(v[0], 0.0f, limit) : 0.0f;
                else value = outsideFrom(v ? v[x] : 0.0f, t[x - 1], limit);
            } else {
                value = 0.0f;
            }
            t[x] = value;
        }
        return inside;
    }

    // Refining pass over row y in direction dx with vertical neighbour row v
    // (null for the first row): every pixel keeps the better of its value and
    // the update. Returns whether anything changed.
    bool refineRow(int y, const float* v, int dx) {
        const uint8_t* m = mask.row(y);
        float* t = dist.row(y);
        const int w = mask.width;
        const int first = dx > 0 ? 0 : w - 1;
        const int end = dx > 0 ? w : -1;
        bool changed = false;
        for (int x = first; x != end; x += dx) {
            const bool hasBack = x != first;
            if (!hasBack && !v) continue;
            const float back = hasBack ? t[x - dx] : 0.0f;
            if (m[x] != 0) {
                const float u = !hasBack ? insideFrom(v[x]) : v ? insideFrom(v[x], back) : insideFrom(back);
                changed |= refineInside(t[x], u);
            } else if (Band) {
                changed |= refineOutside(t[x], outsideFrom(v ? v[x] : 0.0f, back, limit));
            }
        }
        return changed;
    }

    void run() {
        const int h = mask.height;
        std::memset(flags, 0, static_cast<std::size_t>(h));
        assignRow(0, nullptr);
        refineRow(0, nullptr, -1);
        for (int y = 1; y < h; ++y) {
            const float* above = dist.row(y - 1);
            if (!assignRow(y, above)) continue;
            flags[y] = 1;
            refineRow(y, above, -1);
        }
        for (int y = h - 2; y >= 0; --y) {
            if (!flags[y] && !flags[y + 1]) continue;
            const float* below = dist.row(y + 1);
            bool changed = refineRow(y, below, 1);
            changed |= refineRow(y, below, -1);
            if (changed) flags[y] = 1;
        }
    }
};

}  // namespace

// One flag byte per row.
ByteCount region::fastMarchingBytes(ImageSize roi) { return roi.height; }

void region::fastMarching(Image<const uint8_t> mask, Image<float> dist, float radius, uint8_t* rowFlags) {
    if (radius > 0.0f) Marcher<true>{mask, dist, -(radius + 1e-5f), rowFlags}.run();
    else Marcher<false>{mask, dist, 0.0f, rowFlags}.run();
}

}  // namespace zal

ZAL_REGION_FAST_MARCHING_SIZE(ZAL_REGION_SIZE_QUERY)

ZAL_DECLARED(zaliFastMarching_8u32f_C1R);
extern "C" StatusCode zaliFastMarching_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep,
                                                 ImageSize roiSize, float radius, uint8_t* pBuffer) {
    ZAL_CHECK(zal::requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(zal::requireSize(roiSize));
    // A float row is 4 * width bytes: a shorter step would overlap the rows.
    ZAL_CHECK((zal::requireRowSteps<uint8_t, 1>(roiSize, srcStep)));
    ZAL_CHECK((zal::requireRowSteps<float, 1>(roiSize, dstStep)));
    ZAL_CHECK(zal::requireStepsAligned<float>(dstStep));
    ZAL_CHECK(zal::failIf(!(radius >= 0.0f), StatusBadArgument));
    zal::region::fastMarching(zal::image(pSrc, srcStep, roiSize), zal::image(pDst, dstStep, roiSize), radius, pBuffer);
    return StatusOk;
}
