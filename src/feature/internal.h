// Shared pieces of the edge and feature family.
#pragma once

#include <cstddef>
#include <cstdint>

// Base angles of the fast arctangent, by octant code (library-internal:
// hidden like every non-exported symbol).
extern "C" const float _zlcvAtanTab[8];

namespace zal {

// `p` moved up to the next multiple of 32 bytes.
template <class T = uint8_t>
inline T* alignUp32(void* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<T*>((address + 31u) & ~static_cast<std::uintptr_t>(31u));
}

}  // namespace zal
