// An image whose rows start at byte offsets that are not multiples of the
// element size: the first row `offset` bytes into its storage and a step of
// one row plus `extra` bytes. Families that accept any step of at least a
// row must give the same result on it as on aligned rows; under the
// alignment sanitizer an element access through a misaligned T* fails.
// Pixels are read and written with memcpy, and every byte outside the ROI
// keeps a guard pattern.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace zaltest {

template <class T>
class UnalignedImage {
public:
    static constexpr uint8_t kGuard = 0x5A;

    UnalignedImage(int width, int height, int channels, int offset, int extra)
        : width_(width), height_(height), channels_(channels), offset_(offset) {
        rowBytes_ = static_cast<std::ptrdiff_t>(width) * channels * static_cast<std::ptrdiff_t>(sizeof(T));
        step_ = rowBytes_ + extra;
        storage_.assign(static_cast<std::size_t>(offset + step_ * height + 16), kGuard);
    }

    // Copies the row-major pixels (width * channels elements per row).
    void assign(const std::vector<T>& pixels) {
        for (int y = 0; y < height_; ++y) std::memcpy(row(y), pixels.data() + y * elemsPerRow(), static_cast<std::size_t>(rowBytes_));
    }
    std::vector<T> pixels() const {
        std::vector<T> out(static_cast<std::size_t>(elemsPerRow()) * height_);
        for (int y = 0; y < height_; ++y) std::memcpy(out.data() + y * elemsPerRow(), row(y), static_cast<std::size_t>(rowBytes_));
        return out;
    }
    bool guardsIntact() const {
        for (std::size_t i = 0; i < storage_.size(); ++i) {
            const std::ptrdiff_t rel = static_cast<std::ptrdiff_t>(i) - offset_;
            const bool inRoi = rel >= 0 && rel / step_ < height_ && rel % step_ < rowBytes_;
            if (!inRoi && storage_[i] != kGuard) return false;
        }
        return true;
    }

    // The pointer is only handed to the library, never dereferenced as T.
    T* data() { return reinterpret_cast<T*>(storage_.data() + offset_); }
    int step() const { return static_cast<int>(step_); }
    ImageSize roi() const { return ImageSize{width_, height_}; }

private:
    std::ptrdiff_t elemsPerRow() const { return static_cast<std::ptrdiff_t>(width_) * channels_; }
    uint8_t* row(int y) { return storage_.data() + offset_ + y * step_; }
    const uint8_t* row(int y) const { return storage_.data() + offset_ + y * step_; }

    int width_, height_, channels_, offset_;
    std::ptrdiff_t rowBytes_ = 0, step_ = 0;
    std::vector<uint8_t> storage_;
};

// Offsets of the first row and extra step bytes that misalign rows of 2- and
// 4-byte elements (the first keeps the first row aligned, not the others).
struct RowPlacement {
    int offset, extra;
};
inline constexpr RowPlacement kMisalignedRows[] = {{0, 2}, {1, 1}, {2, 3}, {3, 6}};

// Runs `call(pointers, steps)` over N images of the given sizes (`channels`
// elements per pixel, contents from `value(rng)`) once on aligned rows and
// once for every misaligned placement, and expects the same status (success)
// and bit-identical images, with nothing written outside any ROI.
template <class T, std::size_t N, class Value, class Call>
void expectSameOnMisalignedRows(const std::array<ImageSize, N>& sizes, int channels, Value value, Call call,
                                const std::string& what) {
    Lcg rng(N * 7 + channels);
    std::array<std::vector<T>, N> initial;
    for (std::size_t i = 0; i < N; ++i) {
        initial[i].resize(static_cast<std::size_t>(sizes[i].width) * sizes[i].height * channels);
        for (T& v : initial[i]) v = value(rng);
    }
    std::vector<GuardedImage<T>> aligned;
    std::array<T*, N> pointers{};
    std::array<int, N> steps{};
    for (std::size_t i = 0; i < N; ++i) {
        aligned.emplace_back(sizes[i].width, sizes[i].height, channels);
        std::size_t k = 0;
        aligned[i].fill([&](int, int, int) { return initial[i][k++]; });
    }
    for (std::size_t i = 0; i < N; ++i) pointers[i] = aligned[i].data(), steps[i] = aligned[i].step();
    ASSERT_EQ(call(pointers, steps), StatusOk) << what << " aligned";
    for (const RowPlacement p : kMisalignedRows) {
        std::vector<UnalignedImage<T>> odd;
        for (std::size_t i = 0; i < N; ++i) {
            odd.emplace_back(sizes[i].width, sizes[i].height, channels, p.offset, p.extra);
            odd[i].assign(initial[i]);
        }
        for (std::size_t i = 0; i < N; ++i) pointers[i] = odd[i].data(), steps[i] = odd[i].step();
        const std::string where = what + " offset " + std::to_string(p.offset) + " extra " + std::to_string(p.extra);
        ASSERT_EQ(call(pointers, steps), StatusOk) << where;
        for (std::size_t i = 0; i < N; ++i) {
            const std::vector<T> got = odd[i].pixels(), want = aligned[i].pixels();
            EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(T)), 0) << where << " image " << i;
            EXPECT_TRUE(odd[i].guardsIntact()) << where << " image " << i;
        }
    }
}

}  // namespace zaltest
