// Row kernels of the mean and mean/deviation families: the sum, the sum of
// squares and the count of the selected values of one row.
//
// Integer sources sum exactly (64-bit per row and per band, so results never
// depend on the banding). 32f sources keep one running double per band: each
// value is converted to double and added in raster order, exactly as a plain
// left-to-right loop would, so a row adds into the band's running sum rather
// than forming a row subtotal first.
#pragma once

#include <cstdint>
#include <type_traits>

#include "stats/internal.h"

namespace zal::stats {

template <class T>
using SquareSumOf = std::conditional_t<std::is_same_v<T, float>, double, uint64_t>;

template <class T>
struct Sums {
    SumOf<T> sum = 0;
    SquareSumOf<T> squares = 0;
    int64_t count = 0;  // selected pixels (masked members only)
};

// Adds the selected values of one row (element stride Channels) to `acc`.
// An unselected pixel contributes a zero term.
template <class T, int Channels, bool Masked, bool Squares>
inline void addRow(const T* __restrict row, const uint8_t* __restrict mask, int width, Sums<T>& acc) {
    if constexpr (std::is_same_v<T, float>) {
        double s = acc.sum, q = acc.squares;
        int64_t n = 0;
        for (int x = 0; x < width; ++x) {
            const bool selected = !Masked || mask[x] != 0;
            const double v = selected ? static_cast<double>(row[static_cast<std::ptrdiff_t>(x) * Channels]) : 0.0;
            s += v;
            if constexpr (Squares) q += v * v;
            if constexpr (Masked) n += selected;
        }
        acc.sum = s;
        acc.squares = q;
        acc.count += n;
    } else {
        SumOf<T> s = 0;
        uint64_t q = 0;
        int64_t n = 0;
        for (int x = 0; x < width; ++x) {
            const bool selected = !Masked || mask[x] != 0;
            const int64_t v = selected ? static_cast<int64_t>(row[static_cast<std::ptrdiff_t>(x) * Channels]) : 0;
            s += static_cast<SumOf<T>>(v);
            if constexpr (Squares) q += static_cast<uint64_t>(v * v);
            if constexpr (Masked) n += selected;
        }
        acc.sum += s;
        acc.squares += q;
        acc.count += n;
    }
}

// Sums of the selected values over the whole ROI, banded when `parallel`.
// Band partials are added in band order.
template <class T, int Channels, bool Masked, bool Squares>
Sums<T> sumPlane(const Plane<T, Channels>& src, const Image<const uint8_t>& mask, bool parallel) {
    Sums<T> total;
    const int width = src.img.width;
    scanRows(
        parallel, src.img.height, Sums<T>{},
        [&](int, int begin, int end, Sums<T>& band) {
            for (int y = begin; y < end; ++y)
                addRow<T, Channels, Masked, Squares>(src.row(y), Masked ? mask.row(y) : nullptr, width, band);
        },
        [&](const Sums<T>& band) {
            total.sum += band.sum;
            total.squares += band.squares;
            total.count += band.count;
        });
    return total;
}

}  // namespace zal::stats
