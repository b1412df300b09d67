// What the watershed's files share: the key encoding and the sweep of the
// norms whose offers come from one neighbour at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image.h"

namespace zal::region::watershed {

// key = level * 2^23 + distance; open pixels start above every path that
// runs fewer than 2^22 steps at level 255.
constexpr int32_t kLevelShift = 23;
constexpr int32_t kOpenKey = (255 << kLevelShift) + (1 << 22);

enum class Norm { Eight1, Four1, Eight11_15, FastMarching };

// Rows are split into chunks of 32 pixels; a set of chunks is a bitmap of
// words64(width) words.
constexpr int kChunkShift = 5;
constexpr int kChunk = 1 << kChunkShift;
inline int chunkCount(int width) { return (width + kChunk - 1) >> kChunkShift; }
inline int words64(int width) { return chunkCount(width) / 64 + 1; }

// The images and the scratch of one sweep. Keys have row stride `stride`
// elements; labels live in the marker image.
struct Sweep {
    int32_t* keys;
    std::ptrdiff_t stride;
    Image<const uint8_t> src;
    Image<uint8_t> labels;
    uint8_t* needDown;    // per row: may improve in a downward sweep
    uint8_t* needUp;      // per row: may improve in an upward sweep
    uint64_t* dirtyDown;  // per row: chunks next to changes of the row above
    uint64_t* dirtyUp;    // per row: chunks next to changes of the row below
    uint64_t* near;       // chunks next to changes of the row being processed
    uint64_t* reverse;    // chunks the reverse pass of that row starts from
};

// Runs the sweeps until nothing changes, for every norm but FastMarching.
void sweepOffers(Norm norm, const Sweep& sweep);

}  // namespace zal::region::watershed
