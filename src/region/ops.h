// The region family's internal interface: unchecked operations on image
// views. The exports call them after their documented checks. Buffers are the
// caller's work buffers of at least the size the matching byte count gives.
#pragma once

#include <cstdint>

#include "core/checks.h"
#include "core/image.h"

namespace zal::region {

// ---- Chamfer distance transform ------------------------------------------------

// The standard weights of kernelSize (3 or 5) and norm (0 C, 1 L1, 2 L2):
// kernelSize / 2 + 1 values.
void chamferMask(int kernelSize, int norm, int32_t* weights);
void chamferMask(int kernelSize, int norm, float* weights);

// Distance of every pixel of dst to the nearest zero pixel of src by the two
// raster passes of the Kernel x Kernel mask with weights {a, b} or {a, b, c}
// (positive). src may be dst itself (8u): each pixel is read before it is
// written.
template <int Kernel, class T, class M>
void chamferDistance(Image<const uint8_t> src, Image<T> dst, const M* weights);

// ---- Exact Euclidean distance transform ------------------------------------------

// Buffer bytes for the current maximum worker count.
ByteCount trueDistanceBytes32f(ImageSize roi);
ByteCount trueDistanceBytes16u(ImageSize roi);
// Euclidean distance of every pixel to the nearest zero pixel; 16u: times
// 2^-scaleFactor, rounded to nearest even and saturated. The rows are split
// over the workers.
void trueDistance(Image<const uint8_t> src, Image<float> dst, uint8_t* buffer);
void trueDistance(Image<const uint8_t> src, Image<uint16_t> dst, int scaleFactor, uint8_t* buffer);

// ---- Flood fill --------------------------------------------------------------------

ByteCount floodFillBytes(ImageSize roi);
ByteCount gradientFillBytes(ImageSize roi);

// Fills the region of `seed` (inside img) with newVal and describes it in
// *region. Plain: the pixels equal to the seed pixel; range: within [seed -
// minDelta, seed + maxDelta]. Both return at once, *region untouched, when
// the seed pixel already equals newVal.
template <class T, int Channels, int Connectivity>
void floodFill(Image<T> img, ImagePoint seed, const T* newVal, ConnectedComponent* region, uint8_t* buffer);
template <class T, int Channels, int Connectivity>
void floodFillRange(Image<T> img, ImagePoint seed, const T* newVal, const T* minDelta, const T* maxDelta,
                    ConnectedComponent* region, uint8_t* buffer);
// Gradient rule: the region grows into the pixels within [q - minDelta, q +
// maxDelta] of an adjacent region pixel q (32f deltas >= 0).
template <class T, int Channels, int Connectivity>
void floodFillGradient(Image<T> img, ImagePoint seed, const T* newVal, const T* minDelta, const T* maxDelta,
                       ConnectedComponent* region, uint8_t* buffer);

// ---- Watershed and segment boundaries ----------------------------------------------

ByteCount watershedBytes(ImageSize roi);
// Labels every unlabelled pixel of `markers` from the seeds (non-zero
// markers) along the paths of lowest cost over the levels of src; flag bits
// 0x40 / 0x80 paint boundaries between 4- / 8-adjacent regions with 255.
void segmentWatershed(Image<const uint8_t> src, Image<uint8_t> markers, int norm, int flag, uint8_t* buffer);
// Paints with val every pixel with an earlier neighbour (left and upper, and
// with `diagonals` also upper-left and upper-right) of a different label that
// is not val.
void boundSegments(Image<uint8_t> labels, uint8_t val, bool diagonals);

// ---- Fast marching distance map --------------------------------------------------------

ByteCount fastMarchingBytes(ImageSize roi);
// Arrival times of the non-zero mask pixels (radius >= 0); rowFlags holds one
// byte per row.
void fastMarching(Image<const uint8_t> mask, Image<float> dist, float radius, uint8_t* rowFlags);

// ---- Inpainting ----------------------------------------------------------------------------

// Builds the state for a mask and its distance map (method 0 or 1, radius >=
// 1, fewer than 2^29 pixels); -9 when the allocation fails.
template <int Channels>
StatusCode inpaintInit(InpaintState** state, Image<const float> dist, Image<const uint8_t> mask, float radius,
                       int method);
// Copies src to dst and fills the damaged pixels there; the state was built
// for the ROI and channel count of the images.
template <int Channels>
void inpaint(Image<const uint8_t> src, Image<uint8_t> dst, InpaintState& state);
void inpaintFree(InpaintState* state);

}  // namespace zal::region
