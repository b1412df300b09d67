// A minimal view of an image region: base pointer, signed byte step and
// size. Every kernel touches pixels through it, so address arithmetic is done
// in ptrdiff_t in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "zalcv.h"

namespace zal {

template <class T>
struct Image {
    using Byte = std::conditional_t<std::is_const_v<T>, const unsigned char, unsigned char>;

    T* base = nullptr;     // first element of the ROI
    std::ptrdiff_t step = 0;  // bytes between row starts; may be negative
    int width = 0;         // pixels
    int height = 0;

    Image() = default;
    Image(T* p, int stepBytes, ImageSize roi) : base(p), step(stepBytes), width(roi.width), height(roi.height) {}
    Image(T* p, std::ptrdiff_t stepBytes, int w, int h) : base(p), step(stepBytes), width(w), height(h) {}

    T* row(std::ptrdiff_t y) const {
        return reinterpret_cast<T*>(reinterpret_cast<Byte*>(base) + y * step);
    }
    // Element `index` of row y (index counts elements, not pixels).
    T& at(std::ptrdiff_t index, std::ptrdiff_t y) const { return row(y)[index]; }

    // The same memory seen as another element type of equal size (32f pixels
    // copied as 32-bit words, for instance).
    template <class U>
    Image<U> as() const {
        static_assert(sizeof(U) == sizeof(T));
        return Image<U>(reinterpret_cast<U*>(base), step, width, height);
    }
    // The same rows seen as `channels` times as many one-element pixels.
    Image elements(int channels) const { return Image(base, step, width * channels, height); }
    // Sub-region starting at pixel (x, y) with `channels` elements per pixel.
    Image offset(std::ptrdiff_t x, std::ptrdiff_t y, int channels, int w, int h) const {
        return Image(row(y) + x * channels, step, w, h);
    }
    operator Image<const T>() const { return Image<const T>(base, step, width, height); }
};

template <class T>
Image<T> image(T* p, int step, ImageSize roi) { return Image<T>(p, step, roi); }

}  // namespace zal
