// 32-byte-aligned blocks. The pointer malloc returned is kept in the
// pointer-sized word just below the aligned block, so zalsFree can hand it
// back to free.
#include <cstdint>
#include <cstdlib>

#include "zalcv.h"

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

extern "C" {

uint8_t* zalsMalloc_8u(int len) { return static_cast<uint8_t*>(zal::alignedMalloc(len, 1)); }
int8_t* zalsMalloc_8s(int len) { return static_cast<int8_t*>(zal::alignedMalloc(len, 1)); }
uint16_t* zalsMalloc_16u(int len) { return static_cast<uint16_t*>(zal::alignedMalloc(len, 2)); }
int32_t* zalsMalloc_32s(int len) { return static_cast<int32_t*>(zal::alignedMalloc(len, 4)); }
float* zalsMalloc_32f(int len) { return static_cast<float*>(zal::alignedMalloc(len, 4)); }
double* zalsMalloc_64f(int len) { return static_cast<double*>(zal::alignedMalloc(len, 8)); }

void zalsFree(void* ptr) {
    if (!ptr) return;
    std::free(static_cast<void**>(ptr)[-1]);
}

}  // extern "C"
