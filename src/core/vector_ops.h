// Unchecked byte and word workers behind the exported vector functions; other
// families call them directly where the arguments are already known good.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zal {

inline uint8_t* ownsSet_8u(uint8_t value, uint8_t* dst, std::ptrdiff_t count) {
    std::memset(dst, value, static_cast<std::size_t>(count));
    return dst;
}

inline int32_t* ownsSet_32s(int32_t value, int32_t* dst, std::ptrdiff_t count) {
    for (std::ptrdiff_t i = 0; i < count; ++i) dst[i] = value;
    return dst;
}

inline uint8_t* ownsZero_8u(uint8_t* dst, std::ptrdiff_t count) {
    std::memset(dst, 0, static_cast<std::size_t>(count));
    return dst;
}

// Safe for overlapping ranges where the destination starts before the source
// (the front-to-back order callers rely on); memmove covers that case.
inline uint8_t* ownsCopy_8u(const uint8_t* src, uint8_t* dst, std::ptrdiff_t count) {
    std::memmove(dst, src, static_cast<std::size_t>(count));
    return dst;
}

}  // namespace zal
