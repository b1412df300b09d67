// Inpainting: copies the source to the destination, then fills the damaged
// pixels one at a time in ascending order of the distance map, each as a
// weighted average of the already known pixels within the radius. A filled
// pixel becomes known at once and serves every later pixel.
//
// Method 0 weights a neighbour by the alignment of its offset with the
// distance-map gradient at the pixel and adds a small correction from the
// intensity gradients; method 1 weights by how far the offset runs along the
// isophote at the neighbour. Both scale by the distance weight of the offset
// and by 1 / (|T(q) - T(p)| + 1).
#include <bit>
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

// Dilates the working mask over the rectangle into `band` (same layout). The
// morphology state was built for the rectangle's width and for 8u pixels, so
// the dilation has nothing to refuse.
void dilateRect(const InpaintState& s, uint8_t* band, const MorphologyState* state) {
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(s.rect.y - s.work.y) * s.work.width + (s.rect.x - s.work.x);
    const ImageSize rect{s.rect.width, s.rect.height};
    morph::dilate<uint8_t, 1>(Image<const uint8_t>(s.mask + at, s.work.width, rect),
                              Image<uint8_t>(band + at, s.work.width, rect), *state);
}

// Gradients on the pixels that a band selects and that are known.
void gradientsOnBand(const InpaintState& s, Image<const uint8_t> img, const uint8_t* band, Stencil stencil) {
    for (int y = s.rect.y; y < s.rect.y + s.rect.height; ++y) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y - s.work.y) * s.work.width - s.work.x;
        for (int x = s.rect.x; x < s.rect.x + s.rect.width; ++x)
            if (band[row + x] != 0 && s.mask[row + x] == 0) bandGradient(s, img, x, y, stencil);
    }
}

template <int Channels>
struct Filler {
    const InpaintState& s;
    Image<uint8_t> img;

    const int16_t* grad(std::ptrdiff_t offset) const { return s.grad + offset * Channels * 2; }

    // Fills pixel (x, y); leaves it as it is when no known neighbour gives a
    // usable weight.
    void fill(int x, int y) const {
        const std::ptrdiff_t p = static_cast<std::ptrdiff_t>(y - s.work.y) * s.work.width + (x - s.work.x);
        const double tp = s.dist[p];
        const bool whole = x - s.reach >= s.rect.x && y - s.reach >= s.rect.y &&
                           x + s.reach < s.rect.x + s.rect.width && y + s.reach < s.rect.y + s.rect.height;
        const int tx = s.distGrad[2 * p], ty = s.distGrad[2 * p + 1];
        double weights = 0.0, sums[Channels] = {}, a[Channels] = {}, b[Channels] = {};
        for (int i = 0; i < s.tableLength; ++i) {
            const Neighbour& n = s.table[i];
            if (!whole && !s.rect.contains(x + n.dx, y + n.dy)) continue;
            const std::ptrdiff_t q = p + n.offset;
            if (s.mask[q] != 0) continue;
            const double gap = std::fabs(static_cast<double>(s.dist[q]) - tp) + 1.0;
            const int16_t* g = grad(q);
            double w;
            if (s.method == kMethodDistance) {
                int dot = n.dx * tx + n.dy * ty;
                if (dot == 0) dot = 1;
                w = std::fabs((1.0 / 4096.0) / gap * n.weight * dot);
            } else {
                int gx = 0, gy = 0;  // channel gradients summed into one direction
                for (int c = 0; c < Channels; ++c) gx += g[2 * c], gy += g[2 * c + 1];
                const int along = n.dy * gx - n.dx * gy;
                const double factor = along == 0 ? 1e-6 : std::fabs(static_cast<double>(along)) /
                                                             std::sqrt(static_cast<double>(gx) * gx +
                                                                       static_cast<double>(gy) * gy);
                w = n.weight * 1.0 / gap * factor;
            }
            const uint8_t* iq = img.row(y + n.dy) + static_cast<std::ptrdiff_t>(x + n.dx) * Channels;
            weights += w;
            for (int c = 0; c < Channels; ++c) {
                sums[c] += w * iq[c];
                if (s.method == kMethodDistance) {
                    a[c] += w * g[2 * c] * n.dx;
                    b[c] += w * g[2 * c + 1] * n.dy;
                }
            }
        }
        if (!(weights > 0.0) || !std::isfinite(weights)) return;
        uint8_t* out = img.row(y) + static_cast<std::ptrdiff_t>(x) * Channels;
        for (int c = 0; c < Channels; ++c) {
            double v = sums[c] / weights + 0.5;
            if (s.method == kMethodDistance) {
                // The correction is undefined without any gradient: none then.
                const double norm = std::sqrt(a[c] * a[c] + b[c] * b[c]);
                if (norm > 0.0 && std::isfinite(norm)) v += (a[c] + b[c]) / norm;
            }
            out[c] = !(v >= 1.0) ? 0 : v > 255.0 ? 255 : static_cast<uint8_t>(v);
        }
    }
};

}  // namespace
}  // namespace zal::inpaint

namespace zal {

template <int Channels>
void region::inpaint(Image<const uint8_t> src, Image<uint8_t> img, InpaintState& s) {
    using namespace zal::inpaint;
    if (s.empty()) {
        core::copy<uint8_t>(src, img, Channels);
        return;
    }
    const std::size_t area = static_cast<std::size_t>(s.work.width) * s.work.height;
    std::memcpy(s.mask, s.initialMask, area);
    dilateRect(s, s.squareBand, s.square);
    dilateRect(s, s.crossBand, s.cross);

    core::copy<uint8_t>(src, img, Channels);
    // Components that no stencil reaches start at 0, not at a previous call's value.
    std::memset(s.grad, 0, area * 2 * Channels * sizeof(int16_t));
    gradientsOnBand(s, img, s.squareBand, Stencil::Plain);
    const Stencil stencil = s.method == kMethodIsophote ? Stencil::Absolute : Stencil::Plain;
    if (s.method == kMethodIsophote) gradientsOnBand(s, img, s.crossBand, Stencil::Absolute);

    const Filler<Channels> filler{s, img};
    for (int i = 0; i < s.listLength; ++i) {
        const uint64_t index = std::bit_cast<uint64_t>(s.list[i]) & kIndexMask;
        const int y = static_cast<int>(index / static_cast<uint64_t>(img.width));
        const int x = static_cast<int>(index % static_cast<uint64_t>(img.width));
        filler.fill(x, y);
        s.mask[static_cast<std::ptrdiff_t>(y - s.work.y) * s.work.width + (x - s.work.x)] = 0;
        refreshAround(s, img, x, y, stencil);
    }
}

namespace {

template <int Channels>
StatusCode inpaintChecked(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roi, InpaintState* s) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, s));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(roi.width != s->width || roi.height != s->height, StatusSizeError));
    ZAL_CHECK((requireRowSteps<uint8_t, Channels>(roi, srcStep, dstStep)));
    // The state's gradient images are sized for its own channel count.
    ZAL_CHECK(failIf(s->channels != Channels, StatusBadArgument));
    region::inpaint<Channels>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), *s);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_INPAINT(name, C)                                                                                   \
    ZAL_DECLARED(name);                                                                                        \
    template void zal::region::inpaint<C>(zal::Image<const uint8_t>, zal::Image<uint8_t>, InpaintState&);      \
    extern "C" StatusCode name(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, \
                               InpaintState* pState) {                                                         \
        return zal::inpaintChecked<C>(pSrc, srcStep, pDst, dstStep, roiSize, pState);                        \
    }
ZAL_REGION_INPAINT(ZAL_INPAINT)
