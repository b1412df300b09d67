// The statistics family's internal interface: unchecked accumulation,
// means, extremes and norms on image views. The exports call them after
// their documented checks; the arguments must already satisfy those checks
// (non-null, sizes of at least 1x1, rows long enough, 16u/32f steps multiples
// of the element size, coi 1..3).
#pragma once

#include <cstdint>

#include "core/image.h"
#include "zalcv.h"

namespace zal::stats {

// One channel of an interleaved image: element x of row y is
// row(y)[x * Channels] once the base points at the channel of interest.
template <class T, int Channels>
struct Plane {
    Image<const T> img;

    Plane(const T* p, int step, ImageSize roi, int coi = 1) : img(p + (coi - 1), step, roi) {}
    const T* row(int y) const { return img.row(y); }
    int width() const { return img.width; }
    int height() const { return img.height; }
};

// When an operation goes parallel. Every rule compares the ROI area with a
// per-thread amount scaled by owncvGetMaxNumThreads(); some also need a
// multi-core die. The amounts differ per member and are kept as published
// for compatibility: they decide the banding, and the banding decides the
// last bits of 32f sums.
enum class Gate {
    Never,          // always sequential
    Area16384,      // area >= 16384, independent of the thread count
    T15,            // area >= maxT * 2^15
    T15Multi,       // area >= maxT * 2^15 on a multi-core die
    T15MultiOrT17,  // (area >= maxT * 2^15 on a multi-core die) or area >= maxT * 2^17
    T16,            // area >= maxT * 2^16
    T17,            // area >= maxT * 2^17
    T17Multi,       // area >= maxT * 2^17 on a multi-core die
    T19,            // area >= maxT * 2^19
};

// ---- Accumulation ---------------------------------------------------------------

// Per pixel, in single precision (s, s1, s2 the sources converted to float,
// A the accumulator):
//   Add A + s, Square A + s * s, Product A + s1 * s2, Weighted A + (s - A) * alpha.
// Masked, an unselected pixel adds +0.0 (integer sources) or term * 0.0 (32f
// sources), and Weighted uses alpha = 0.0 there. `b` is read by Product
// only, `mask` by the masked forms only; the accumulator must not overlap
// the sources.
enum class AccOp { Add, Square, Product, Weighted };
template <AccOp Op, class T, bool Masked>
void accumulate(Image<const T> a, Image<const T> b, Image<const uint8_t> mask, Image<float> acc, float alpha);

// ---- Means and extremes -----------------------------------------------------------

// Mean of the selected pixels (0.0 for an empty selection).
template <class T, int Channels>
double mean(Plane<T, Channels> src, Image<const uint8_t> mask);

// Mean and population deviation; `mask` is read by the masked forms only.
struct MeanDeviation {
    double mean = 0.0;
    double deviation = 0.0;
};
template <class T, int Channels, bool Masked>
MeanDeviation meanStdDev(Plane<T, Channels> src, Image<const uint8_t> mask);

// Minimum and maximum and the position of the first occurrence of each in
// raster order; zeros at (0, 0) when nothing is selected.
struct Extremes {
    float min = 0.0f;
    float max = 0.0f;
    ImagePoint minAt{0, 0};
    ImagePoint maxAt{0, 0};
};
template <class T, int Channels, bool Masked>
Extremes minMaxIndx(Plane<T, Channels> src, Image<const uint8_t> mask);

// ---- Norms ---------------------------------------------------------------------------

// Inf: max |v|; L1: sum |v|; L2: sqrt(sum v^2), over the selected pixels, of
// v = a (Image), a - b (Difference), or Difference relative to the norm of b
// (Relative; `b` is ignored by Image). Returns StatusOk, or
// StatusDivisionByZero when a relative norm's denominator is zero (the value
// is then NaN for 0/0 and +infinity otherwise). `gate` says when to go
// parallel.
enum class NormKind { Inf, L1, L2 };
enum class NormOf { Image, Difference, Relative };
template <NormKind K, NormOf Of, class T, int Channels>
StatusCode norm(Plane<T, Channels> a, Plane<T, Channels> b, Image<const uint8_t> mask, Gate gate, double* value);

}  // namespace zal::stats
