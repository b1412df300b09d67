// Moving a pointer into a work area up to an alignment boundary.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zal {

// `p` moved up to the next multiple of `alignment` bytes (a power of two).
template <class T = unsigned char>
inline T* alignUp(void* p, std::size_t alignment) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<T*>((address + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1));
}

// `p` moved up to the next multiple of 32 bytes.
template <class T = unsigned char>
inline T* alignUp32(void* p) {
    return alignUp<T>(p, 32);
}

}  // namespace zal
