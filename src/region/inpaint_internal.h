// What the inpainting pieces share: the state block and the gradient
// stencils.
//
// All work happens in the work area: the bounding rectangle of the damaged
// pixels enlarged by floor(radius) (the "rectangle"), plus a one-pixel margin
// so that the stencils of rectangle pixels find their neighbours; both are
// clipped to the ROI. Every per-pixel array of the state covers the work area
// with row stride work.width.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image.h"
#include "zalcv.h"

namespace zal::inpaint {

struct Area {
    int x, y, width, height;  // in ROI pixels
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

// One offset of the circular window, with its distance weight and its offset
// in the work-area arrays.
struct Neighbour {
    int dx, dy;
    float weight;
    std::ptrdiff_t offset;
};

// Processing-list entries hold T as a double whose low bits carry the pixel
// index (row * width + column). A double converted from a float has 29 zero
// low mantissa bits, so sorting the entries as doubles orders by T, then by
// index, without disturbing T.
constexpr int kIndexBits = 29;
constexpr uint64_t kIndexMask = (uint64_t{1} << kIndexBits) - 1;

constexpr int kMethodDistance = 0;  // weights from the distance-map gradient
constexpr int kMethodIsophote = 1;  // weights from the isophote direction

}  // namespace zal::inpaint

// The state behind the opaque InpaintState of the public header: one block
// from the aligned allocator, this header first.
struct InpaintState {
    int width, height;  // ROI the state was built for
    int channels;
    int method;
    float radius;
    int reach;  // floor(radius), at most the larger ROI side
    zal::inpaint::Area rect;
    zal::inpaint::Area work;
    int listLength;
    int tableLength;
    double* list;                    // sorted processing list
    zal::inpaint::Neighbour* table;  // window offsets, rows top to bottom
    uint8_t* initialMask;            // 1 = damaged
    uint8_t* mask;                   // working copy: 1 = not yet filled
    uint8_t* squareBand;             // square dilation of the working mask
    uint8_t* crossBand;              // cross dilation of the working mask
    float* dist;                     // copy of T
    int16_t* distGrad;               // (x, y) gradient of T, scale 4096
    int16_t* grad;                   // (x, y) intensity gradient per channel
    MorphologyState* square;
    MorphologyState* cross;

    // The state of a mask without damaged pixels: no work area, nothing
    // beyond this header; inpainting with it copies the source.
    bool empty() const { return rect.width == 0; }
};

namespace zal::inpaint {

enum class Stencil { Plain, Absolute };

// Sets both gradient components of every channel of pixel (x, y) (ROI
// coordinates, inside the rectangle) from image `img`, with the mask-aware
// correction: a component with no unfilled neighbour on its axis keeps the
// full stencil, one with one unfilled side uses the difference toward the
// filled side, one with no filled side is 0.
void bandGradient(const InpaintState& s, Image<const uint8_t> img, int x, int y, Stencil stencil);

// After pixel (x, y) was filled: recomputes both components of (x, y), the y
// component of the pixels above and below it and the x component of the
// pixels left and right of it, from the filled neighbours only (a component
// with no filled neighbour on its axis keeps its value).
void refreshAround(const InpaintState& s, Image<const uint8_t> img, int x, int y, Stencil stencil);

// Fills s.distGrad from the distance map over the work area.
void distanceGradient(InpaintState& s, Image<const float> dist);

}  // namespace zal::inpaint
