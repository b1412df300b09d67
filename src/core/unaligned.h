// Element access for rows that need not be aligned to their element type.
// Some families accept any row step of at least one row's bytes, so a 16- or
// 32-bit row can start at any byte; reading or writing it through a T* would
// be undefined (and traps on processors that require alignment). A one-element
// memcpy compiles to a plain unaligned load or store and vectorises like an
// ordinary array access.
#pragma once

#include <cstddef>
#include <cstring>

namespace zal {

// Element i of the row starting at `row` (i counts elements, not bytes).
template <class T>
inline T loadUnaligned(const void* row, std::ptrdiff_t i) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(row) + i * static_cast<std::ptrdiff_t>(sizeof(T)), sizeof(T));
    return v;
}

template <class T>
inline void storeUnaligned(void* row, std::ptrdiff_t i, T v) {
    std::memcpy(static_cast<unsigned char*>(row) + i * static_cast<std::ptrdiff_t>(sizeof(T)), &v, sizeof(T));
}

}  // namespace zal
