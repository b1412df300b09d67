// The core family's internal interface: unchecked operations on image views.
// The exports call them after their documented checks; other families call
// them directly with arguments they already know to be good. Views whose
// width counts elements (not pixels) say so; make one with
// Image::elements(channels).
#pragma once

#include <cstdint>

#include "core/image.h"

namespace zal::core {

// dst = |a - b| per element (32f: the sign bit of a - b cleared, so NaN
// payloads survive and -0 becomes +0).
template <class T>
void absDiff(Image<const T> a, Image<const T> b, Image<T> dst);
template <class T>
void absDiffC(Image<const T> src, T value, Image<T> dst);

// Copies the rows, `channels` elements per pixel; the regions may coincide.
template <class T>
void copy(Image<const T> src, Image<T> dst, int channels);

// Writes src into dst at (left, top) and repeats the nearest edge pixel over
// the rest of dst. In place: `img` is the source inside a larger image and the
// destination of size `dst` starts `top` rows above and `left` pixels left of
// it.
template <class T, int Channels>
void copyReplicateBorder(Image<const T> src, Image<T> dst, int top, int left);
template <class T, int Channels>
void copyReplicateBorderInPlace(Image<T> img, ImageSize dst, int top, int left);

void set(uint8_t value, Image<uint8_t> dst);

// dst = max(b - a, 0) scaled by 2^-scaleFactor, rounded to nearest even and
// saturated (any scale factor); widths count elements.
void sub(Image<const uint8_t> a, Image<const uint8_t> b, Image<uint8_t> dst, int scaleFactor);
// dst = b - a; widths count elements.
void sub(Image<const float> a, Image<const float> b, Image<float> dst);

// dst = value where src compares true against the threshold, else src. 32f
// compares IEEE bit patterns (see threshold.cpp).
enum class Comparison { Less = 0, Greater = 4 };
template <class T>
void threshold(Image<const T> src, Image<T> dst, T threshold, T value, Comparison cmp);

// dst[i] = b[i] where b[i] compares strictly greater (Max) or smaller than
// a[i], else a[i]; dst may be a or b. Nothing happens for len <= 0.
template <bool Max, class T>
void every(const T* a, const T* b, T* dst, int len);

// Vectors of len >= 1 elements.
void sortAscend(double* v, int len);
// Square roots rounded to 16 bits; true when an input was negative.
bool sqrt(const int32_t* src, int16_t* dst, int len, int scaleFactor);

}  // namespace zal::core
