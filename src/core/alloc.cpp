// 32-byte-aligned blocks. The pointer malloc returned is kept in the
// pointer-sized word just below the aligned block, so zalsFree can hand it
// back to free.
#include <cstdint>
#include <cstdlib>

#include "core/export.h"
#include "core/exports.h"

namespace zal {
namespace {

constexpr std::size_t kAlignment = 32;
// Room for the hidden pointer plus the worst-case alignment shift.
constexpr std::size_t kOverhead = sizeof(void*) + kAlignment - 1;

void* alignedMalloc(int len, std::size_t elementBytes) {
    if (len < 1) return nullptr;
    const std::size_t count = static_cast<std::size_t>(len);
    if (count > (SIZE_MAX - kOverhead) / elementBytes) return nullptr;
    void* raw = std::malloc(count * elementBytes + kOverhead);
    if (!raw) return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    const std::uintptr_t aligned = (start + kAlignment - 1) & ~static_cast<std::uintptr_t>(kAlignment - 1);
    reinterpret_cast<void**>(aligned)[-1] = raw;
    return reinterpret_cast<void*>(aligned);
}

}  // namespace
}  // namespace zal

#define ZAL_MALLOC(name, T)                                                                    \
    ZAL_DECLARED(name);                                                                        \
    extern "C" T* name(int len) { return static_cast<T*>(zal::alignedMalloc(len, sizeof(T))); }
ZAL_CORE_MALLOC(ZAL_MALLOC)

ZAL_DECLARED(zalsFree);
extern "C" void zalsFree(void* ptr) {
    if (!ptr) return;
    std::free(static_cast<void**>(ptr)[-1]);
}
