// What the optical-flow state and the tracker share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "zalcv.h"

// One aligned block for this record plus one scratch block holding the two
// whole-level gradient images, the Scharr filters' work area, (16u) a float
// copy of the level, and one set of window buffers per worker.
struct OpticalFlowState {
    int32_t width, height;  // levels smaller in both dimensions get whole-level gradients
    int32_t threads;        // worker count at creation: one set of window buffers each
    int32_t dataType;       // 1 8u, 3 16u, 9 32f
    int32_t hint;           // stored only
    int32_t windowSize;
    uint8_t* scratch;
    std::size_t gradX, gradY, levelCopy, filterArea, workers;  // byte offsets into scratch
    std::size_t workerBytes;
    int32_t filterBytes;    // size of the Scharr work area
    int32_t filterWorkers;  // worker count the Scharr work area is laid out for
};

namespace zal {

// 8u windows hold 128 x the pixel in 16 bits and 16-bit gradients at the same
// scale; 16u and 32f use floats at scale 1.
template <class T>
using FlowPatch = std::conditional_t<std::is_same_v<T, uint8_t>, uint16_t, float>;
template <class T>
using FlowGrad = std::conditional_t<std::is_same_v<T, uint8_t>, int16_t, float>;
// Source type of the whole-level Scharr filters (16u levels go through a
// float copy).
template <class T>
using FlowFilterSrc = std::conditional_t<std::is_same_v<T, uint8_t>, uint8_t, float>;

constexpr std::size_t flowAlign(std::size_t n) { return (n + 31) & ~static_cast<std::size_t>(31); }

// Bytes after every window buffer that a whole vector of the widest target
// (AVX-512) may read past the buffer's last element; such lanes are masked.
constexpr std::size_t kFlowSlack = 64;

// Window buffers of one worker, each (windowSize + 3)^2 elements and the
// slack: the first patch, the second patch, the first patch's window pixels
// in window order, and the two gradient windows.
constexpr std::size_t flowBufferBytes(int windowSize, std::size_t elementBytes) {
    const std::size_t n = static_cast<std::size_t>(windowSize + 3) * static_cast<std::size_t>(windowSize + 3);
    return flowAlign(n * elementBytes + kFlowSlack);
}
template <class T>
constexpr std::size_t flowWorkerBytes(int windowSize) {
    return 3 * flowBufferBytes(windowSize, sizeof(FlowPatch<T>)) +
           2 * flowBufferBytes(windowSize, sizeof(FlowGrad<T>));
}

template <class T>
struct FlowWorker {
    FlowPatch<T>* p1;      // (W + 2)^2 first patch
    FlowPatch<T>* p2;      // W^2 second patch
    FlowPatch<T>* inner;   // W^2 first-patch pixels under the window
    FlowGrad<T>* ix;       // W^2 window gradients
    FlowGrad<T>* iy;
};

template <class T>
FlowWorker<T> flowWorker(const OpticalFlowState& st, int id) {
    uint8_t* base = st.scratch + st.workers + st.workerBytes * static_cast<std::size_t>(id);
    const std::size_t pBytes = flowBufferBytes(st.windowSize, sizeof(FlowPatch<T>));
    const std::size_t gBytes = flowBufferBytes(st.windowSize, sizeof(FlowGrad<T>));
    return {reinterpret_cast<FlowPatch<T>*>(base), reinterpret_cast<FlowPatch<T>*>(base + pBytes),
            reinterpret_cast<FlowPatch<T>*>(base + 2 * pBytes), reinterpret_cast<FlowGrad<T>*>(base + 3 * pBytes),
            reinterpret_cast<FlowGrad<T>*>(base + 3 * pBytes + gBytes)};
}

// One level of a pyramid as the tracker reads it.
template <class T>
struct FlowLevel {
    const T* base;
    int step;
    ImageSize size;
};

template <class T>
FlowLevel<T> flowLevel(const Pyramid& p, int L) {
    return {static_cast<const T*>(p.levelImages[L]), p.levelSteps[L], p.levelSizes[L]};
}

// Whole-level gradients of the first image (null when the level computes
// its gradients per window).
template <class T>
struct LevelGradients {
    const FlowGrad<T>* gx = nullptr;
    const FlowGrad<T>* gy = nullptr;
    std::ptrdiff_t step = 0;  // bytes
};

// Whole-level Scharr gradients of a first-image level into the state's
// gradient images (row length `rowLength` elements); false when a filter
// refuses the level, which then computes gradients per window.
template <class T>
bool levelGradients(const OpticalFlowState& st, const FlowLevel<T>& lv, int rowLength, LevelGradients<T>* out);

}  // namespace zal
