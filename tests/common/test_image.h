// Test images with guard bytes around every row and, optionally, rows laid
// out bottom-up (negative step). A test writes through data()/step() and then
// asserts guardsIntact(): any write outside the ROI shows up there.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "zalcore.h"
#include "zalcv.h"

namespace zaltest {

enum class Layout { TopDown, BottomUp };

template <class T>
class GuardedImage {
public:
    static constexpr uint8_t kGuard = 0xA5;

    // width/height in pixels, `channels` elements per pixel, `padElems`
    // extra elements at the end of every row (part of the step, outside the
    // ROI), `guardRows` whole rows of guard above and below.
    GuardedImage(int width, int height, int channels = 1, Layout layout = Layout::TopDown, int padElems = 3,
                 int guardRows = 2)
        : width_(width), height_(height), channels_(channels), guardRows_(guardRows) {
        if (width < 1 || height < 1 || channels < 1) throw std::invalid_argument("GuardedImage: empty image");
        rowElems_ = static_cast<std::ptrdiff_t>(width) * channels + padElems + kLeadElems;
        const std::size_t rows = static_cast<std::size_t>(height + 2 * guardRows);
        storage_.assign(rows * static_cast<std::size_t>(rowElems_) * sizeof(T), kGuard);
        const std::ptrdiff_t stepBytes = rowElems_ * static_cast<std::ptrdiff_t>(sizeof(T));
        uint8_t* firstRow = storage_.data() + static_cast<std::ptrdiff_t>(guardRows) * stepBytes;
        if (layout == Layout::TopDown) {
            step_ = stepBytes;
            base_ = firstRow;
        } else {
            step_ = -stepBytes;
            base_ = firstRow + static_cast<std::ptrdiff_t>(height - 1) * stepBytes;
        }
        base_ += kLeadElems * sizeof(T);
        // The ROI itself starts out zeroed.
        for (int y = 0; y < height; ++y) std::memset(row(y), 0, static_cast<std::size_t>(width) * channels * sizeof(T));
    }

    T* data() { return reinterpret_cast<T*>(base_); }
    const T* data() const { return reinterpret_cast<const T*>(base_); }
    int step() const { return static_cast<int>(step_); }
    ImageSize roi() const { return ImageSize{width_, height_}; }
    int width() const { return width_; }
    int height() const { return height_; }
    int channels() const { return channels_; }

    T* row(int y) { return reinterpret_cast<T*>(base_ + static_cast<std::ptrdiff_t>(y) * step_); }
    const T* row(int y) const { return reinterpret_cast<const T*>(base_ + static_cast<std::ptrdiff_t>(y) * step_); }
    T& at(int x, int y, int c = 0) { return row(y)[static_cast<std::ptrdiff_t>(x) * channels_ + c]; }
    T at(int x, int y, int c = 0) const { return row(y)[static_cast<std::ptrdiff_t>(x) * channels_ + c]; }

    // Every byte outside the ROI still holds the guard pattern.
    bool guardsIntact() const {
        const std::size_t roiBegin = static_cast<std::size_t>(kLeadElems * sizeof(T));
        const std::size_t roiEnd = roiBegin + static_cast<std::size_t>(width_) * channels_ * sizeof(T);
        const std::size_t stepBytes = static_cast<std::size_t>(rowElems_) * sizeof(T);
        for (std::size_t i = 0; i < storage_.size(); ++i) {
            const std::size_t r = i / stepBytes, col = i % stepBytes;
            const bool inRoiRow = r >= static_cast<std::size_t>(guardRows_) &&
                                  r < static_cast<std::size_t>(guardRows_ + height_);
            if (inRoiRow && col >= roiBegin && col < roiEnd) continue;
            if (storage_[i] != kGuard) return false;
        }
        return true;
    }

    // Fills the ROI from f(x, y, c).
    template <class F>
    void fill(F&& f) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                for (int c = 0; c < channels_; ++c) at(x, y, c) = static_cast<T>(f(x, y, c));
    }

    // A snapshot of the ROI, row-major, for before/after comparisons.
    std::vector<T> pixels() const {
        std::vector<T> out;
        out.reserve(static_cast<std::size_t>(width_) * height_ * channels_);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_ * channels_; ++x) out.push_back(row(y)[x]);
        return out;
    }

private:
    static constexpr std::ptrdiff_t kLeadElems = 2;  // guard elements before each row
    int width_, height_, channels_, guardRows_;
    std::ptrdiff_t rowElems_ = 0;
    std::ptrdiff_t step_ = 0;
    uint8_t* base_ = nullptr;
    std::vector<uint8_t> storage_;
};

// Deterministic pseudo-random numbers for test data (64-bit LCG).
class Lcg {
public:
    explicit Lcg(uint64_t seed = 1) : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
    uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    int uniform(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
    float uniformf(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(next() & 0xffffff) / 16777216.0f; }

private:
    uint64_t state_;
};

// Sets the worker count for the lifetime of the scope.
class ThreadCount {
public:
    explicit ThreadCount(int n) {
        zalGetNumThreads(&saved_);
        zalSetNumThreads(n);
    }
    ~ThreadCount() { zalSetNumThreads(saved_); }
    ThreadCount(const ThreadCount&) = delete;
    ThreadCount& operator=(const ThreadCount&) = delete;

private:
    int saved_ = 1;
};

// Runs `run` once per worker count and expects every result to equal the
// first count's, which is returned (for a reference comparison).
template <class Run>
auto expectSameForWorkers(std::initializer_list<int> counts, Run run, const std::string& what = "") {
    decltype(run()) first{};
    bool have = false;
    for (int n : counts) {
        ThreadCount scope(n);
        auto got = run();
        if (have) EXPECT_TRUE(got == first) << what << " with " << n << " workers";
        else first = std::move(got), have = true;
    }
    return first;
}

}  // namespace zaltest
