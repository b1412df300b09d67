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

// 32768 values of 16 bits (or their 8-bit squares) sum within 32 bits.
constexpr int kSumChunk = 32768;

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
        // Chunks short enough for 32-bit partial sums (which vectorise twice
        // as wide); 16u squares need 64 bits.
        using Sum32 = std::conditional_t<std::is_signed_v<T>, int32_t, uint32_t>;
        using Square32 = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;
        for (int x0 = 0; x0 < width; x0 += kSumChunk) {
            const int x1 = width - x0 > kSumChunk ? x0 + kSumChunk : width;
            Sum32 s = 0;
            Square32 q = 0;
            uint32_t n = 0;
            for (int x = x0; x < x1; ++x) {
                // Selection by an all-ones/all-zeros word rather than a
                // branch, so that the loop vectorises.
                const Sum32 raw = static_cast<Sum32>(row[static_cast<std::ptrdiff_t>(x) * Channels]);
                const uint32_t selected = Masked ? static_cast<uint32_t>(mask[x] != 0) : 1u;
                const Sum32 v = raw & static_cast<Sum32>(0u - selected);
                s += v;
                if constexpr (Squares) q += static_cast<Square32>(static_cast<uint32_t>(v * v));
                if constexpr (Masked) n += selected;
            }
            acc.sum += s;
            acc.squares += q;
            acc.count += n;
        }
    }
}

// Sums of rows [begin, end) of a one-channel 8-bit image on the widest SIMD
// target (stats/sums.cpp); the same results as addRow, row by row.
void sumRowsC1(bool masked, bool squares, Image<const uint8_t> src, Image<const uint8_t> mask, int begin, int end,
               Sums<uint8_t>& acc);
void sumRowsC1(bool masked, bool squares, Image<const int8_t> src, Image<const uint8_t> mask, int begin, int end,
               Sums<int8_t>& acc);

// Sums of the selected values over the whole ROI, banded when `parallel`.
// Band partials are added in band order.
template <class T, int Channels, bool Masked, bool Squares>
Sums<T> sumPlane(const Plane<T, Channels>& src, const Image<const uint8_t>& mask, bool parallel) {
    Sums<T> total;
    const int width = src.img.width;
    scanRows(
        parallel, src.img.height, Sums<T>{},
        [&](int, int begin, int end, Sums<T>& band) {
            if constexpr (Channels == 1 && sizeof(T) == 1) {
                sumRowsC1(Masked, Squares, src.img, mask, begin, end, band);
            } else {
                for (int y = begin; y < end; ++y)
                    addRow<T, Channels, Masked, Squares>(src.row(y), Masked ? mask.row(y) : nullptr, width, band);
            }
        },
        [&](const Sums<T>& band) {
            total.sum += band.sum;
            total.squares += band.squares;
            total.count += band.count;
        });
    return total;
}

}  // namespace zal::stats
