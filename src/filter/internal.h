// What the filter family shares: the work-buffer layout of the pipeline
// passes, the row walker that copies only the border strips, and the integer
// result conversions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/align.h"
#include "core/checks.h"
#include "core/threads.h"
#include "filter/border.h"
#include "zalcv.h"

namespace zal {

// ---------------------------------------------------------------------------
// Pipeline work buffer: for each of n threads a chunk of 32 bytes of
// alignment slack, H + K pointer slots (start aligned to 16) and a work area
// of `area` bytes (start aligned to 32). Every area size includes 32 bytes of
// its own, so both alignments always fit.

constexpr long long pipelineChunkBytes(int height, int kernelSize, long long area) {
    return 32 + (static_cast<long long>(height) + kernelSize) * static_cast<long long>(sizeof(void*)) + area;
}
constexpr long long pipelineBufferBytes(int threads, int height, int kernelSize, long long area) {
    return static_cast<long long>(threads) * pipelineChunkBytes(height, kernelSize, area);
}

// Size query of a pipeline pass: -8 null pBufferSize, -6 size or kernelSize
// below 1 (or a size beyond a signed 32-bit int).
inline StatusCode pipelineBufferSize(ImageSize roi, int kernelSize, long long (*bytes)(ImageSize, int),
                                     int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(requireLength(kernelSize));
    return storeSize(bytes(roi, kernelSize), pBufferSize);
}

// A pass goes parallel from n << 15 pixels on (n the maximum worker count)
// when its variant's own gate allows. The threshold and the gates are kept
// for compatibility: the per-thread areas of the buffer queries follow them.
inline bool pipelineGoesParallel(ImageSize roi, bool variantGate) {
    const long long n = owncvGetMaxNumThreads();
    return static_cast<long long>(roi.width) * roi.height >= (n << 15) && variantGate;
}

struct ThreadArea {
    void** slots;         // the thread's private copy of its row pointers
    unsigned char* work;  // border strips and converted taps
};

inline ThreadArea threadArea(void* buffer, int id, int height, int kernelSize, long long area) {
    auto* chunk = static_cast<unsigned char*>(buffer) + id * pipelineChunkBytes(height, kernelSize, area);
    auto** slots = reinterpret_cast<void**>(alignUp(chunk, 16));
    return ThreadArea{slots, alignUp(slots + static_cast<std::ptrdiff_t>(height) + kernelSize, 32)};
}

// ---------------------------------------------------------------------------
// Row walker. kernel(p, x0, n) computes outputs x0 .. x0+n-1 of a row, p
// pointing at the first element of pixel x0 - anchor of a correctly extended
// row. Outputs whose window lies inside the row read the source directly;
// only the two border strips (with the source pixels that complete their
// sums) are assembled in `ext`, which holds at least 2K - 2 pixels.
template <class Src, int C, class Kernel>
void walkRowWithBorder(const Src* src, int width, int kernelSize, int anchor, int kind, const Src* borderValue,
                       Src* ext, Kernel&& kernel) {
    const int right = kernelSize - 1 - anchor;
    auto extend = [&](std::ptrdiff_t first, int count) {
        for (int j = 0; j < count; ++j) {
            const std::ptrdiff_t s = borderIndex(first + j, width, kind);
            for (int c = 0; c < C; ++c) ext[j * C + c] = s < 0 ? borderValue[c] : src[s * C + c];
        }
    };
    if (width < kernelSize) {
        // No window lies inside: the whole row is border strip.
        extend(-anchor, width + kernelSize - 1);
        kernel(static_cast<const Src*>(ext), 0, width);
        return;
    }
    if (anchor > 0) {
        extend(-anchor, anchor + kernelSize - 1);
        kernel(static_cast<const Src*>(ext), 0, anchor);
    }
    kernel(src, anchor, width - kernelSize + 1);
    if (right > 0) {
        extend(width - right - anchor, right + kernelSize - 1);
        kernel(static_cast<const Src*>(ext), width - right, right);
    }
}

// ---------------------------------------------------------------------------
// Conversions. Integer sums wrap like 32-bit two's complement (they are kept
// in uint32_t so that a wrap is defined behaviour), float results are clamped
// to the destination range and then truncated toward zero.

template <class T>
constexpr uint32_t wrapTap(T tap) { return static_cast<uint32_t>(static_cast<int32_t>(tap)); }

template <class D>
inline D clampTruncate(float v) {
    constexpr float lo = D(-1) < D(0) ? (sizeof(D) == 1 ? -128.0f : -32768.0f) : 0.0f;
    constexpr float hi = sizeof(D) == 1 ? (D(-1) < D(0) ? 127.0f : 255.0f) : 32767.0f;
    v = v < lo ? lo : v;
    v = v > hi ? hi : v;
    return static_cast<D>(static_cast<int32_t>(v));
}

// Low 16 bits of trunc(v), |v| <= 2^31 (no saturation: the result wraps).
inline int16_t wrapTruncate16(float v) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<long long>(v)));
}

}  // namespace zal
