// Scharr derivatives for other families that keep a work area across calls:
// the area is sized for, and the filter run by at most, a worker count the
// caller fixes, whatever the current count. Rows are filtered independently,
// so the result does not depend on that count. The exported Scharr filters
// are these with the current maximum worker count.
#pragma once

#include <cstdint>

#include "zalcv.h"

namespace zal {

enum class ScharrDirection { Horiz, Vert };

// Bytes of the work area for a roi-sized image and `workers` workers (Src:
// uint8_t for 8u to 16s, float for 32f); the same for both directions.
template <class Src>
long long scharrBufferBytes(ImageSize roi, int workers);

// The Scharr filter of `direction` with replicated borders, run with the
// work area pBuffer of scharrBufferBytes<Src>(roi, workers) bytes; the
// statuses of the exported filters.
StatusCode scharrReplicate(ScharrDirection direction, const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer);
StatusCode scharrReplicate(ScharrDirection direction, const float* pSrc, int srcStep, float* pDst, int dstStep,
                           ImageSize roi, int workers, uint8_t* pBuffer);

}  // namespace zal
