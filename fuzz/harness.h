// Shared pieces of the fuzz targets: parameter drawing, exact heap blocks and
// the after-call checks.
//
// Every target draws one export from its table and then every argument from
// the input with FuzzedDataProvider. Images, arrays and buffers live in heap
// blocks whose last byte is the last byte of the allocation, so a read or
// write one byte past the end lands in the sanitizer's redzone. Each block is
// registered with a role; after the call check() verifies that
//   - inputs are byte-for-byte unchanged,
//   - outputs changed only inside their rows on success (status >= 0) and not
//     at all on error (status < 0),
//   - work buffers changed not at all on error.
// Any violation prints the export, the status and the first bad byte, then
// aborts, so the fuzzer (or the replay driver) reports the input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <type_traits>
#include <vector>

#include "zalcore.h"
#include "zalcv.h"

namespace fz {

enum class Role {
    In,      // must be unchanged
    Out,     // rows may change on success, nothing on error
    Buffer,  // anything on success, nothing on error
    Free     // not checked (states and the like)
};

// One tracked heap block and, for outputs, the rows that may change.
struct Region {
    uint8_t* mem = nullptr;
    size_t size = 0;
    Role role = Role::In;
    uint8_t* base = nullptr;  // first row
    ptrdiff_t step = 0;
    int rows = 0;
    size_t rowBytes = 0;
    std::vector<uint8_t> before;
};

// How image contents are generated.
enum class Fill { Any, Mask, SmallInt };

template <class T>
struct Img {
    T* ptr = nullptr;
    int step = 0;
    Region* region = nullptr;
    // First element of row y.
    T* row(int y) const { return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(ptr) + ptrdiff_t(y) * step); }
};

class Fuzz {
public:
    Fuzz(const uint8_t* data, size_t size);
    ~Fuzz();
    Fuzz(const Fuzz&) = delete;
    Fuzz& operator=(const Fuzz&) = delete;

    FuzzedDataProvider& fdp() { return fdp_; }

    // ---- parameter drawing (an exhausted input gives the first choice) ----
    int pick(int n);              // 0 .. n-1
    bool oneIn(int n);            // true with probability about 1/n
    int range(int lo, int hi);    // lo .. hi
    int dim();                    // an image dimension: mostly 1..8, also 0, negative, up to 70
    int len();                    // a vector length: mostly 1..80, also 0, negative, up to 300
    ImageSize roi();              // two dims
    ImageSize querySize();        // as roi(), plus values near INT32_MAX
    int i32();                    // small values, edges and any 32-bit value
    float f32();                  // specials (NaN, infinities, signed zeros, extremes) and any bits
    double f64();
    uint8_t u8() { return fdp_.ConsumeIntegral<uint8_t>(); }
    int16_t i16() { return fdp_.ConsumeIntegral<int16_t>(); }
    // A step in bytes for `rows` rows of rowBytes bytes of elem-byte
    // elements: exact, padded, unaligned, short, zero, negative, or arbitrary
    // (kept to a few MiB of image).
    int step(long long rowBytes, int elem, int rows);
    // 64 pseudo-random bits from a seed drawn once per input.
    uint64_t random();
    // A point mostly inside size, sometimes just outside or extreme.
    ImagePoint point(ImageSize size);
    // A value for an enumeration parameter: mostly one of lo..hi, sometimes
    // any integer a C caller could pass.
    int enumValue(int lo, int hi);
    // Sets the worker count to 1..4 for this input.
    void threads();

    // ---- pointers: at most one argument per call is replaced by null ----
    template <class P>
    P* p(P* ptr) {
        return ++pointerIndex_ == nullSlot_ ? nullptr : ptr;
    }

    // ---- memory ----
    // An exact block of `bytes` bytes (at least 1), its start aligned to 32.
    uint8_t* block(size_t bytes, Role role, size_t lead = 0);
    // A one-channel-or-more image of width x height pixels of T; `step` 0
    // draws a step. Non-positive dims get a one-pixel block. Contents come
    // from the input (Fill) for In/Out and from a byte pattern otherwise.
    template <class T>
    Img<T> image(ImageSize size, int channels, Role role, Fill fill = Fill::Any) {
        const long long rowBytes = (long long)size.width * channels * (long long)sizeof(T);
        return imageWithStep<T>(size, channels, role, step(rowBytes, sizeof(T), size.height), fill);
    }
    template <class T>
    Img<T> imageWithStep(ImageSize size, int channels, Role role, int step, Fill fill = Fill::Any) {
        Img<T> img;
        img.region = rawImage(size.width, size.height, channels * (int)sizeof(T), step, role);
        img.ptr = reinterpret_cast<T*>(img.region->base);
        img.step = step;
        fillRegion<T>(*img.region, fill);
        return img;
    }
    // As image(), with a step that is a multiple of the element size: for
    // images whose rows are handed over as T pointers.
    template <class T>
    Img<T> alignedImage(ImageSize size, int channels, Role role, Fill fill = Fill::Any) {
        const long long rowBytes = (long long)size.width * channels * (long long)sizeof(T);
        const int s = step(rowBytes, sizeof(T), size.height);
        return imageWithStep<T>(size, channels, role, s - s % (int)sizeof(T), fill);
    }
    template <class T>
    Img<T> in(ImageSize size, int channels = 1, Fill fill = Fill::Any) {
        return image<T>(size, channels, Role::In, fill);
    }
    template <class T>
    Img<T> out(ImageSize size, int channels = 1) {
        return image<T>(size, channels, Role::Out);
    }
    // An array of n elements (n < 1 gives one element).
    template <class T>
    T* array(int n, Role role, Fill fill = Fill::Any) {
        const size_t count = n < 1 ? 1 : (size_t)n;
        uint8_t* mem = block(count * sizeof(T), role);
        Region& r = regions_.back();  // the block just made
        r.base = mem;
        r.step = 0;
        r.rows = n < 1 ? 0 : 1;
        r.rowBytes = count * sizeof(T);
        fillRegion<T>(r, fill);
        return reinterpret_cast<T*>(mem);
    }
    // A scalar result slot (one element, checked as an output).
    template <class T>
    T* result() {
        return array<T>(1, Role::Out);
    }
    // A work buffer of exactly `bytes` bytes (a query's answer); a failed
    // query (bytes < 1) gives a one-byte buffer.
    uint8_t* buffer(int bytes) { return block(bytes < 1 ? 1 : (size_t)bytes, Role::Buffer); }

    // ---- the call ----
    // Draws the per-input choices: which pointer argument (if any) is null
    // and whether one of the library's allocations fails.
    void beginInput();
    // Names the export about to be called (for messages and the reach
    // count) and snapshots every block.
    void call(const char* name);
    // call(), the export, check(): the usual way to run one export.
    template <class F>
    int run(const char* name, F&& fn, bool partialOnError = false) {
        call(name);
        const int status = static_cast<int>(fn());
        check(status, partialOnError);
        return status;
    }
    // Compares every block with its snapshot, then takes new snapshots, so
    // blocks written by one call are inputs of the next. partialOnError
    // allows an error status after rows were written (documented partial
    // output).
    void check(int status, bool partialOnError = false);

private:
    Region* rawImage(int width, int height, int pixelBytes, int step, Role role);
    // Fills a whole block (rows and gaps) with values of T drawn by mode.
    template <class T>
    void fillRegion(Region& r, Fill fill) {
        if constexpr (!std::is_arithmetic_v<T>) {
            // Records and pointer arrays: a byte pattern; the target sets them.
            std::memset(r.mem, 0xA5, r.size);
            return;
        } else {
            fillValues<T>(r, fill);
        }
    }
    template <class T>
    void fillValues(Region& r, Fill fill) {
        const size_t count = r.size / sizeof(T);
        const int mode = fill == Fill::Mask ? 100 + pick(4) : fill == Fill::SmallInt ? 200 : pick(7);
        const uint64_t salt = random();
        const T constant = element<T>(salt, 0);
        for (size_t i = 0; i < count; ++i) {
            const uint64_t h = mix(salt + i);
            T v;
            switch (mode) {
                case 0: v = element<T>(h, 1); break;          // a small integer
                case 1: v = element<T>(h, 0); break;          // any bit pattern
                case 2: v = constant; break;                  // one value
                case 3: v = element<T>(h, 2); break;          // extremes and specials
                case 4: v = element<T>(i * (salt % 7 + 1), 3); break;  // a ramp
                case 5: v = element<T>(h, (h >> 32) % 4 == 0 ? 2 : 1); break;
                case 100: v = T(0); break;                    // empty mask
                case 101: v = T((h & 1) ? 1 : 0); break;      // sparse/dense mask
                case 102: v = T(((h >> 8) % 8) == 0 ? 0 : 255); break;
                case 103: v = T(((h >> 8) % 8) == 0 ? 255 : 0); break;
                case 200: v = T(h % 4); break;
                default: v = element<T>(h, 6); break;         // uniform -1000..1000 (or range)
            }
            std::memcpy(r.mem + i * sizeof(T), &v, sizeof(T));
        }
    }
    static uint64_t mix(uint64_t x) {
        x += 0x9e3779b97f4a7c15ULL;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }
    // A value of T from hash h in one of the kinds used by fillRegion.
    template <class T>
    static T element(uint64_t h, int kind);
    [[noreturn]] void fail(const Region& r, size_t offset, int status, const char* what);

    FuzzedDataProvider fdp_;
    std::deque<Region> regions_;  // stable addresses: images keep Region*
    const char* name_ = "";
    uint64_t counter_ = 0;
    int nullSlot_ = 0;
    int pointerIndex_ = 0;
};

// An integer as a C caller may pass it where the header has an enum type.
template <class E>
__attribute__((no_sanitize("enum"))) E asEnum(int v) {
    static_assert(sizeof(E) == sizeof(int));
    E e;
    std::memcpy(&e, &v, sizeof e);
    return e;
}

// A case of a target: the export's name and a function running it once.
struct Case {
    const char* name;
    void (*run)(Fuzz&);
};

// Runs one drawn case of the table.
int runTable(const uint8_t* data, size_t size, const Case* cases, size_t count);

// The library's own definition of an exported symbol (the executable's
// replacements of the allocator shadow it for ordinary calls).
void* librarySymbol(const char* name);

// Writes the names of the exports called so far, one per line.
void printReached(std::FILE* out);

}  // namespace fz

// Runs export fn with the given arguments under the checks; gives its status.
// Allocate every block before this line: the snapshot is taken first.
#define FZ(f, fn, ...) (f).run(#fn, [&] { return fn(__VA_ARGS__); })
// The same for a documented partial output on error.
#define FZ_PARTIAL(f, fn, ...) (f).run(#fn, [&] { return fn(__VA_ARGS__); }, true)

// Runs the buffer or size query q of export `name` under the checks.
#define FZ_QUERY(f, q, name, ...) (f).run(name, [&] { return q(__VA_ARGS__); })

namespace fz {

template <class T>
T Fuzz::element(uint64_t h, int kind) {
    using L = std::numeric_limits<T>;
    if constexpr (std::is_floating_point_v<T>) {
        const T special[] = {L::quiet_NaN(), -L::quiet_NaN(), L::infinity(), -L::infinity(), T(0), -T(0),
                             L::max(), L::lowest(), L::min(), L::denorm_min(), T(1), T(-1), T(0.5), T(255),
                             T(65535), T(1e-3), T(1e20), T(-1e20)};
        switch (kind) {
            case 0: { T v; std::memcpy(&v, &h, sizeof v); return v; }
            case 1: return T(h % 5);
            case 2: return special[h % (sizeof special / sizeof special[0])];
            case 3: return T(h % 1024);
            default: return T(int64_t(h % 2001) - 1000) / T(8);
        }
    } else {
        const T special[] = {T(0), T(1), L::min(), L::max(), T(L::max() - 1), T(L::min() + 1)};
        switch (kind) {
            case 0: { T v; std::memcpy(&v, &h, sizeof v); return v; }
            case 1: return T(h % 5);
            case 2: return special[h % 6];
            case 3: return T(h);
            default: return T(h % 64);
        }
    }
}

}  // namespace fz
