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

// Window buffers of one worker: the first patch, the second patch and the two
// gradient windows, each (windowSize + 3)^2 elements.
template <class T>
constexpr std::size_t flowWorkerBytes(int windowSize) {
    const std::size_t n = static_cast<std::size_t>(windowSize + 3) * static_cast<std::size_t>(windowSize + 3);
    return 2 * flowAlign(n * sizeof(FlowPatch<T>)) + 2 * flowAlign(n * sizeof(FlowGrad<T>));
}

}  // namespace zal
