// The pyramid family's internal interface: unchecked operations on image
// views. The exports call them after their documented checks; the tracker
// calls the sub-pixel copies directly with arguments it knows to be good.
// Widths count pixels; `C` is the number of interleaved channels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image.h"
#include "zalcv.h"

namespace zal::pyramid {

// ---- Gaussian 5x5 levels ------------------------------------------------------
// One level down (dst is ceil(W/2) x ceil(H/2)) or up (dst is 2W x 2H) of the
// W x H source (the up destination's rows are addressed from the source
// height; its view's height is not read). `buffer` holds the bytes the
// GetBufSize queries report for W and C; its content is scratch.
template <class T, int C>
void pyrDown(Image<const T> src, Image<T> dst, uint8_t* buffer);
template <class T, int C>
void pyrUp(Image<const T> src, Image<T> dst, uint8_t* buffer);

// ---- Level sizes for a rate in (1, 10] -------------------------------------------
// The down size of `size`, and the inclusive range of finer sizes whose down
// size is `size`.
ImageSize downSize(ImageSize size, float rate);
void upRange(ImageSize size, float rate, ImageSize* min, ImageSize* max);

// ---- General layers ---------------------------------------------------------------
// `state` was made for T, C and the direction, its rate is in (1, 10], and dst
// has the down size of src (down; src no larger than the state's source) or a
// size within its up range (up). The up layer obtains its work block from the
// allocator: false when it cannot.
template <class T, int C>
void layerDown(Image<const T> src, Image<T> dst, const PyramidLayerState& state);
template <class T, int C>
bool layerUp(Image<const T> src, Image<T> dst, const PyramidLayerState& state);
// What an up state made for `src` keeps for its calls of the largest
// destination: the bytes (0 when it keeps nothing), and the setup itself,
// built at the line-aligned `area` once the state's kernel is in place.
template <class T, int C>
std::size_t upStateSetupBytes(ImageSize src, int kerSize, float rate);
template <class T>
void makeUpStateSetup(PyramidLayerState& state, uint8_t* area);

// ---- Sub-pixel copies (one channel) -------------------------------------------------
// dst(x, y) interpolates src(x .. x + 1, y .. y + 1) with the fractions of dx
// and dy: src holds one column and one row more than dst (only dst's size is
// read). `scaleFactor` matters for 8u to 16u only.
template <class S, class D>
void copySubpix(Image<const S> src, Image<D> dst, float dx, float dy, int scaleFactor);
// The dst-sized block centred on (cx, cy), clipped to src, the outside
// replicated from the border; pMin..pMax receive the destination range
// interpolated from four source pixels.
template <class S, class D>
void copySubpixIntersect(Image<const S> src, Image<D> dst, float cx, float cy, ImagePoint* pMin, ImagePoint* pMax,
                         int scaleFactor);

// ---- Pyramidal Lucas-Kanade tracking --------------------------------------------------
// Levels 0..maxLevel of both pyramids hold images and the state was made for
// T with the window size used.
template <class T>
void opticalFlow(const Pyramid& first, const Pyramid& second, const float* prev, float* next, int8_t* status,
                 float* error, int pointCount, int maxLevel, int maxIterations, float threshold,
                 const OpticalFlowState& state);

}  // namespace zal::pyramid
