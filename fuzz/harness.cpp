#include "harness.h"

#include <dlfcn.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>


// ---- The library's allocator, replaced by exact-size blocks -----------------
// The executable's definitions take precedence over libzalcv's own for every
// call the library makes through its exports, so a state or work area the
// library allocates ends exactly where its requested size ends. Blocks stay
// 32-byte aligned as documented. A budget lets an input make the n-th
// allocation fail, to reach the out-of-memory paths.
namespace {

long g_allocBudget = -1;  // allocations left before one fails; -1: no limit
int g_fillByte = 0xBE;    // contents of a fresh block: uninitialised reads stay reproducible

void* exactAlloc(int len, size_t elementBytes) {
    if (len < 1) return nullptr;
    if ((size_t)len > (size_t(1) << 30) / elementBytes) return nullptr;  // treat as out of memory
    if (g_allocBudget == 0) return nullptr;
    if (g_allocBudget > 0) --g_allocBudget;
    void* p = nullptr;
    if (posix_memalign(&p, 32, (size_t)len * elementBytes) != 0) return nullptr;
    std::memset(p, g_fillByte, (size_t)len * elementBytes);
    return p;
}

std::set<std::string>& reachedNames() {
    static std::set<std::string> names;
    return names;
}

}  // namespace

extern "C" {
#define FZ_EXPORT __attribute__((visibility("default")))
FZ_EXPORT uint8_t* zalsMalloc_8u(int len) { return static_cast<uint8_t*>(exactAlloc(len, 1)); }
FZ_EXPORT int8_t* zalsMalloc_8s(int len) { return static_cast<int8_t*>(exactAlloc(len, 1)); }
FZ_EXPORT uint16_t* zalsMalloc_16u(int len) { return static_cast<uint16_t*>(exactAlloc(len, 2)); }
FZ_EXPORT int32_t* zalsMalloc_32s(int len) { return static_cast<int32_t*>(exactAlloc(len, 4)); }
FZ_EXPORT float* zalsMalloc_32f(int len) { return static_cast<float*>(exactAlloc(len, 4)); }
FZ_EXPORT double* zalsMalloc_64f(int len) { return static_cast<double*>(exactAlloc(len, 8)); }
FZ_EXPORT void zalsFree(void* ptr) { std::free(ptr); }
#undef FZ_EXPORT
}

namespace fz {

namespace {
constexpr size_t kAlign = 32;
constexpr long long kMaxImageBytes = 4 << 20;

void checkAllocatorReplaced() {
    static const bool ok = [] {
        void* global = dlsym(RTLD_DEFAULT, "zalsMalloc_8u");
        if (global != reinterpret_cast<void*>(&zalsMalloc_8u)) {
            std::fprintf(stderr, "fuzz harness: the exact-size allocator does not replace the library's\n");
            std::abort();
        }
        return true;
    }();
    (void)ok;
}
}  // namespace

Fuzz::Fuzz(const uint8_t* data, size_t size) : fdp_(data, size) { checkAllocatorReplaced(); }

Fuzz::~Fuzz() {
    g_allocBudget = -1;
    for (Region& r : regions_) std::free(r.mem);
}

int Fuzz::pick(int n) { return n <= 1 ? 0 : fdp_.ConsumeIntegralInRange<int>(0, n - 1); }
bool Fuzz::oneIn(int n) { return pick(n) == n - 1; }
int Fuzz::range(int lo, int hi) { return fdp_.ConsumeIntegralInRange<int>(lo, hi); }

int Fuzz::dim() {
    switch (pick(16)) {
        case 9: case 10: return range(9, 70);
        case 11: return 0;
        case 12: { const int v[] = {-1, -2, -70, INT_MIN}; return v[pick(4)]; }
        case 13: return 1;
        case 14: return range(1, 3);
        default: return range(1, 8);
    }
}

int Fuzz::len() {
    switch (pick(16)) {
        case 11: return 0;
        case 12: return pick(2) ? -1 : INT_MIN;
        case 13: return range(81, 300);
        case 14: return range(1, 4);
        default: return range(1, 80);
    }
}

ImageSize Fuzz::roi() {
    const int w = dim();
    return ImageSize{w, dim()};
}

ImageSize Fuzz::querySize() {
    ImageSize s = roi();
    if (oneIn(4)) {
        const int big[] = {INT_MAX, INT_MAX - 1, INT_MAX / 2, INT_MAX / 3, 1 << 24, 46341, 65536, 1 << 20};
        int& which = pick(2) ? s.width : s.height;
        which = big[pick(8)];
        if (oneIn(3)) s.width = s.height = big[pick(8)];
    }
    return s;
}

int Fuzz::i32() {
    switch (pick(16)) {
        case 8: return 0;
        case 9: return INT_MAX;
        case 10: return INT_MIN;
        case 11: return INT_MAX - 1;
        case 12: return fdp_.ConsumeIntegral<int>();
        case 13: return range(-300, 300);
        case 14: return 65536;
        case 15: return -1;
        default: return range(-4, 16);
    }
}

float Fuzz::f32() {
    const int kind = pick(8);
    if (kind < 4) return element<float>(uint64_t(range(0, 1 << 20)), kind == 0 ? 4 : kind == 1 ? 2 : kind == 2 ? 1 : 3);
    if (kind == 4) {
        const uint32_t bits = fdp_.ConsumeIntegral<uint32_t>();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    return element<float>(fdp_.ConsumeIntegral<uint32_t>(), 2);
}

double Fuzz::f64() {
    if (pick(4) == 3) return fdp_.ConsumeFloatingPoint<double>();
    return f32();
}

int Fuzz::step(long long rowBytes, int elem, int rows) {
    if (rowBytes < 0) rowBytes = 0;
    long long s;
    switch (pick(16)) {
        case 8: s = rowBytes + range(1, 3) * elem + (elem > 1 ? range(1, elem - 1) : 1); break;  // unaligned
        case 9: s = rowBytes - range(1, 2 * elem); break;                                         // short
        case 10: s = 0; break;
        case 11: s = -(rowBytes + range(0, 3) * elem); break;                                      // bottom-up
        case 12: s = -(rowBytes + (elem > 1 ? range(1, elem - 1) : 0)); break;
        case 13: s = range(-4 * (int)rowBytes - 64, 4 * (int)rowBytes + 64); break;
        case 14: s = pick(2) ? INT_MAX : INT_MIN; break;
        case 15: s = rowBytes + 64 * elem; break;
        default: s = rowBytes + range(0, 3) * elem; break;
    }
    const long long span = (rows > 1 ? (long long)(rows - 1) : 0) * (s < 0 ? -s : s);
    if (s > INT_MAX || s < INT_MIN || span > kMaxImageBytes) s = rowBytes;
    return (int)s;
}

ImagePoint Fuzz::point(ImageSize size) {
    const int w = size.width > 0 ? size.width : 1, h = size.height > 0 ? size.height : 1;
    switch (pick(8)) {
        case 5: return ImagePoint{range(-2, w + 1), range(-2, h + 1)};
        case 6: return ImagePoint{i32(), i32()};
        case 7: return ImagePoint{pick(2) ? 0 : w - 1, pick(2) ? 0 : h - 1};
        default: return ImagePoint{range(0, w - 1), range(0, h - 1)};
    }
}

int Fuzz::enumValue(int lo, int hi) {
    if (pick(6)) return range(lo, hi);
    const int odd[] = {-1, hi + 1, 4, 5, 63, 64, 100, INT_MAX, INT_MIN};
    return pick(4) ? odd[pick(9)] : fdp_.ConsumeIntegral<int>();
}

void Fuzz::threads() { zalSetNumThreads(range(1, 4)); }

uint64_t Fuzz::random() {
    return mix(fdp_.ConsumeIntegral<uint32_t>() ^ (++counter_ << 32));
}

uint8_t* Fuzz::block(size_t bytes, Role role, size_t lead) {
    if (bytes < 1) bytes = 1;
    void* p = nullptr;
    if (posix_memalign(&p, kAlign, lead + bytes) != 0) std::abort();
    Region r;
    r.mem = static_cast<uint8_t*>(p);
    r.base = r.mem + lead;
    r.size = lead + bytes;
    r.role = role;
    std::memset(r.mem, 0xBE, r.size);
    regions_.push_back(std::move(r));
    return static_cast<uint8_t*>(p) + lead;
}

Region* Fuzz::rawImage(int width, int height, int pixelBytes, int step, Role role) {
    const int rows = height > 0 ? height : 1;
    const long long rowBytes = width > 0 ? (long long)width * pixelBytes : pixelBytes;
    const long long stride = step < 0 ? -(long long)step : step;
    const long long extent = (long long)(rows - 1) * stride + rowBytes;
    if (extent > kMaxImageBytes * 2) std::abort();  // a target asked for more than it should
    // The first row sits at the aligned address; for bottom-up images the
    // lowest row is (rows - 1) * stride below it, and the lead bytes in
    // front keep the first row aligned while the block still ends exactly
    // at the end of the last byte of the image.
    const long long below = step < 0 ? (long long)(rows - 1) * stride : 0;
    const size_t lead = (size_t)((kAlign - (size_t)(below % (long long)kAlign)) % kAlign);
    uint8_t* lowest = block((size_t)extent, role, lead);
    Region& r = regions_.back();
    r.base = lowest + below;
    r.step = step;
    r.rows = height > 0 ? height : 0;
    r.rowBytes = width > 0 ? (size_t)rowBytes : 0;
    return &r;
}

void Fuzz::beginInput() {
    nullSlot_ = pick(48);  // 1..8 name a pointer argument; anything else none
    if (nullSlot_ > 8) nullSlot_ = 0;
    pointerIndex_ = 0;
    g_allocBudget = oneIn(24) ? range(0, 3) : -1;
    g_fillByte = oneIn(4) ? u8() : 0xBE;
}

void Fuzz::call(const char* name) {
    name_ = name;
    reachedNames().insert(name);
    for (Region& r : regions_) r.before.assign(r.mem, r.mem + r.size);
}

void Fuzz::fail(const Region& r, size_t offset, int status, const char* what) {
    long long rel = (long long)(r.mem + offset - r.base);
    std::fprintf(stderr, "\n==== fuzz check failed: %s (status %d): %s, block of %zu bytes, byte %zu (%lld from the first row)\n",
                 name_, status, what, r.size, offset, rel);
    std::abort();
}

void Fuzz::check(int status, bool partialOnError) {
    for (Region& r : regions_) {
        if (r.role == Role::Free) continue;
        if (r.before.size() == r.size) {
            const bool error = status < 0;
            if (r.role == Role::In) {
                for (size_t i = 0; i < r.size; ++i)
                    if (r.mem[i] != r.before[i]) fail(r, i, status, "an input changed");
            } else if (r.role == Role::Buffer) {
                if (error && !partialOnError)
                    for (size_t i = 0; i < r.size; ++i)
                        if (r.mem[i] != r.before[i]) fail(r, i, status, "a work buffer changed on error");
            } else if (!error || !partialOnError) {
                // Bytes inside the union of the rows may change on success.
                std::vector<uint8_t> inRows(r.size, 0);
                if (!error)
                    for (int y = 0; y < r.rows; ++y) {
                        const ptrdiff_t off = (r.base - r.mem) + (ptrdiff_t)y * r.step;
                        std::memset(inRows.data() + off, 1, r.rowBytes);
                    }
                for (size_t i = 0; i < r.size; ++i)
                    if (!inRows[i] && r.mem[i] != r.before[i])
                        fail(r, i, status, error ? "an output changed on error" : "an output changed outside its rows");
            }
        }
    }
}

int runTable(const uint8_t* data, size_t size, const Case* cases, size_t count) {
    Fuzz f(data, size);
    const Case& c = cases[f.pick((int)count)];
    f.threads();
    f.beginInput();
    c.run(f);
    return 0;
}

void* librarySymbol(const char* name) {
    static void* const library = [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&zaliSet_8u_C1R), &info) || !info.dli_fname) return (void*)nullptr;
        return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    }();
    return library ? dlsym(library, name) : nullptr;
}

void printReached(std::FILE* out) {
    for (const std::string& n : reachedNames()) std::fprintf(out, "%s\n", n.c_str());
}

}  // namespace fz
