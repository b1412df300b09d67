// Shared pieces of the Python binding: numpy arrays as image views, dtype and
// channel dispatch tables over the exported C functions, status-to-exception
// mapping, output (`out=`) handling and option parsing.
//
// Ownership: every array handed to the library is kept alive by a py::array
// held for the length of the call; the library never keeps a pointer after a
// call returns, except in the pyramid descriptors, which hold their level
// arrays themselves. Results are fresh numpy arrays owned by Python.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <zalcv.h>
#include <zalcore.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <shared_mutex>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zpy {

namespace py = pybind11;

// ---- Element types -----------------------------------------------------------

enum class Dt { none, u8, s8, u16, s16, s32, f32, f64 };

const char* dtName(Dt dt);
std::size_t dtSize(Dt dt);
Dt dtOf(const py::dtype& dtype);  // Dt::none for anything not listed
py::dtype dtype(Dt dt);
// Parses a dtype-like object (np.uint8, "float32", a dtype) to one of the listed types.
Dt parseDtype(py::handle obj, const char* argument);

template <class T> constexpr Dt dtFor();
template <> constexpr Dt dtFor<uint8_t>() { return Dt::u8; }
template <> constexpr Dt dtFor<int8_t>() { return Dt::s8; }
template <> constexpr Dt dtFor<uint16_t>() { return Dt::u16; }
template <> constexpr Dt dtFor<int16_t>() { return Dt::s16; }
template <> constexpr Dt dtFor<int32_t>() { return Dt::s32; }
template <> constexpr Dt dtFor<float>() { return Dt::f32; }
template <> constexpr Dt dtFor<double>() { return Dt::f64; }

// ---- Errors --------------------------------------------------------------------

// Raised for a negative status; translated to the zalcv.Error subclass of the
// status, carrying the status and the message.
struct StatusError {
    int status;
    std::string message;
};

// Names the argument a status is about in one call, e.g. {{-34, "anchor"}}.
using ArgNames = std::initializer_list<std::pair<int, const char*>>;

// Negative status: throws StatusError with "<op>: <what> (argument '<name>')".
// Positive status: issues the matching ZalcvWarning subclass; the result stands.
void check(StatusCode st, const char* op, ArgNames names = {});

// Registers the exception translator and resolves the Python classes.
void initErrors(py::module_& m);

[[noreturn]] void throwValue(const std::string& message);
[[noreturn]] void throwType(const std::string& message);

// ---- Image views -----------------------------------------------------------------

// A two-dimensional image over a numpy array: (H, W) is one channel, (H, W, C)
// C interleaved channels. Pixels are contiguous within a row; the row step is
// positive, a multiple of the element size and fits an int. Holds the array.
struct Image {
    py::array array;
    char* data = nullptr;
    int step = 0;
    int width = 0, height = 0, channels = 1;
    Dt dt = Dt::none;

    ImageSize size() const { return {width, height}; }
    template <class T> T* ptr() const { return reinterpret_cast<T*>(data); }
    void* raw() const { return data; }
    char* at(int y, int x) const {
        return data + static_cast<std::ptrdiff_t>(y) * step +
               static_cast<std::ptrdiff_t>(x) * channels * static_cast<std::ptrdiff_t>(dtSize(dt));
    }
    // Byte range [lo, hi) the view touches.
    std::pair<const char*, const char*> bytes() const;
};

// Channel counts an operation accepts, as a bit set of 1 << count.
enum Channels : unsigned { C1 = 1u << 1, C3 = 1u << 3, C4 = 1u << 4, C134 = C1 | C3 | C4, C13 = C1 | C3 };

// An input image. Views whose row layout the library takes (any positive row
// stride, contiguous pixels) are used as they are; other layouts (negative or
// zero strides, pixels apart within a row) are copied. Wrong dimensions or
// channel counts raise ValueError, unlisted dtypes TypeError.
Image input(py::handle obj, const char* name, unsigned channels = C1);
// An image the library writes in place (flood fill, accumulators, masks): it
// must be writable and laid out as the library takes it, else ValueError.
Image inplace(py::handle obj, const char* name, unsigned channels = C1);
// A one-dimensional contiguous vector (any shape is flattened when contiguous;
// copied otherwise).
py::array vectorInput(py::handle obj, const char* name);

void requireDtype(const Image& im, std::initializer_list<Dt> allowed, const char* op);
void requireSameShape(const Image& a, const Image& b, const char* op, const char* nameB);
void requireSameSize(const Image& a, const Image& b, const char* op, const char* nameB);

// Shape tuple for H x W x C (C = 1 gives a two-dimensional array).
std::vector<py::ssize_t> shapeOf(int height, int width, int channels);

// ---- Outputs ---------------------------------------------------------------------

// The destination of an operation: a fresh array when `out` is None, else the
// caller's array after full validation (dtype, shape, layout, writable). When
// the caller's array overlaps an input, or the operation writes in several
// steps, the library writes a scratch array that is copied into `out` only
// after success, so an error leaves `out` untouched.
class Output {
public:
    Output(py::handle out, Dt dt, int height, int width, int channels, const char* op,
           std::initializer_list<const Image*> inputs = {}, bool zeroFill = false, bool staged = false);
    const Image& image() const { return work_; }
    // Copies a staged result into the caller's array; returns what the Python
    // function returns (the caller's array or the fresh one).
    py::array finish();
    // The caller passed this very input as `out` (same data, same layout).
    static bool sameView(py::handle out, const Image& in);

private:
    py::object target_;  // the caller's array, or None
    Image work_;
    bool staged_ = false;
};

// ---- Dispatch tables ----------------------------------------------------------------

// Calls an exported function through an erased signature: void pointers become
// the function's element pointers, scalars are converted to its parameter types.
template <class P, class A> inline P convertArg(A a) {
    if constexpr (std::is_pointer_v<P> && std::is_pointer_v<A>)
        return static_cast<P>(const_cast<void*>(static_cast<const void*>(a)));
    else
        return static_cast<P>(a);
}
template <auto F> struct Thunk;
template <class R, class... P, R (*F)(P...)> struct Thunk<F> {
    template <class... A> static R call(A... a) { return F(convertArg<P>(a)...); }
};
// Erases an export to the signature Sig = R(A...), e.g.
// erase<zaliAbsDiff_8u_C1R, StatusCode(const void*, int, ...)>().
template <auto F, class Sig> struct Eraser;
template <auto F, class R, class... A> struct Eraser<F, R(A...)> {
    static R call(A... a) { return Thunk<F>::template call<A...>(a...); }
};
template <auto F, class Sig> constexpr auto erase() { return &Eraser<F, Sig>::call; }

// One member of a family: input dtype, output dtype (or none), channel count.
template <class Sig> struct Member {
    Dt in;
    Dt out;
    int channels;
    Sig* fn;
};

[[noreturn]] void throwNoMember(const char* op, Dt in, Dt out, int channels,
                                const std::vector<std::tuple<Dt, Dt, int>>& have);

template <class Sig, std::size_t N>
Sig* pick(const Member<Sig> (&table)[N], Dt in, Dt out, int channels, const char* op) {
    for (const auto& m : table)
        if (m.in == in && (m.out == Dt::none || out == Dt::none || m.out == out) && m.channels == channels)
            return m.fn;
    std::vector<std::tuple<Dt, Dt, int>> have;
    for (const auto& m : table) have.emplace_back(m.in, m.out, m.channels);
    throwNoMember(op, in, out, channels, have);
}
// The output dtype a table pairs with an input (the first listed member).
template <class Sig, std::size_t N>
Dt defaultOut(const Member<Sig> (&table)[N], Dt in, int channels) {
    for (const auto& m : table)
        if (m.in == in && m.channels == channels) return m.out;
    return Dt::none;
}

// ---- Options -------------------------------------------------------------------------

// Maps a string (or an int code) to one of the listed codes, else ValueError.
int parseChoice(py::handle obj, const char* argument, std::initializer_list<std::pair<const char*, int>> choices);
BorderKind parseBorder(py::handle obj);
ImagePoint parsePoint(py::handle obj, const char* argument);
std::pair<int, int> parsePair(py::handle obj, const char* argument);
int toInt(py::handle obj, const char* argument);  // OverflowError-free: ValueError outside int32

// Every library call runs without the GIL: run([&] { return zali...(...); }).
using NoGil = py::gil_scoped_release;
// The worker count must not change while an operation runs (buffers sized by
// a query depend on it): calls hold this lock shared, set_num_threads holds it
// exclusively.
std::shared_mutex& threadConfigLock();
template <class F> inline auto run(F&& f) {
    NoGil released;
    std::shared_lock<std::shared_mutex> lock(threadConfigLock());
    return f();
}

// The work buffer of a size-queried operation, queried and taken inside the
// same run() section as the call (the worker count it is sized for cannot
// change in between). Each calling thread keeps one buffer, grown to the
// largest size asked so far and reused: a buffer of tens of megabytes would
// otherwise be mapped afresh on every call, and touching its new pages costs
// as much as some operations. Valid until the thread's next workBuffer().
uint8_t* workBuffer(int size);

// Scalars of the element types, range-checked (ValueError outside the type).
uint8_t toU8(py::handle obj, const char* argument);
int16_t toS16(py::handle obj, const char* argument);
float toF32(py::handle obj, const char* argument);
double toF64(py::handle obj, const char* argument);
bool isScalar(py::handle obj);

// Family registration (one translation unit each).
void bindCore(py::module_& m);
void bindStats(py::module_& m);
void bindFilter(py::module_& m);
void bindFeature(py::module_& m);
void bindMorph(py::module_& m);
void bindRegion(py::module_& m);
void bindPyramid(py::module_& m);
void bindObjdetect(py::module_& m);
void bindGeometry(py::module_& m);
void bindImageFiles(py::module_& m);  // only with the image libraries

}  // namespace zpy

namespace zpy {

// ---- State pools ----------------------------------------------------------------------
//
// Library states that serve one call at a time (morphology work buffers, the
// optical-flow scratch) are leased from a pool owned by the Python object: a
// call takes an idle state large enough for its image (or builds one), uses it
// without the GIL and returns it. Concurrent calls on one object thus get
// distinct states; close() frees the idle ones at once and the leased ones
// when their calls return.
template <class State> class StatePool {
public:
    using Free = StatusCode (*)(State*);
    struct Entry {
        State* state = nullptr;
        long long key = 0;      // e.g. dtype and channel count (and a size)
        int width = 0, height = 0;  // capacity the state was built for
        int workers = 1;            // and the worker count it was built under
    };
    class Lease {
    public:
        Lease(StatePool* pool, Entry e) : pool_(pool), e_(e) {}
        Lease(Lease&& o) noexcept : pool_(o.pool_), e_(o.e_) { o.pool_ = nullptr; }
        Lease(const Lease&) = delete;
        ~Lease() {
            if (pool_) pool_->giveBack(e_);
        }
        State* get() const { return e_.state; }
        const Entry& entry() const { return e_; }

    private:
        StatePool* pool_;
        Entry e_;
    };

    explicit StatePool(Free free, std::size_t keep = 4) : free_(free), keep_(keep) {}
    ~StatePool() { close(); }
    StatePool(const StatePool&) = delete;

    // An idle state of `key` with capacity at least width x height, built
    // under at least today's worker count (a state's work area serves no
    // more workers than it was built for), or the result of build(width,
    // height, &state) (a status; the state may stay null when the library
    // has nothing to hold).
    template <class Build> Lease acquire(long long key, int width, int height, Build&& build, StatusCode& st) {
        int workers = 1;
        zalGetNumThreads(&workers);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (std::size_t i = 0; i < idle_.size(); ++i)
                if (idle_[i].key == key && idle_[i].width >= width && idle_[i].height >= height &&
                    idle_[i].workers >= workers) {
                    Entry e = idle_[i];
                    idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
                    st = StatusOk;
                    return Lease(this, e);
                }
        }
        Entry e{nullptr, key, width, height, workers};
        st = build(width, height, &e.state);
        if (st < 0) {
            e.state = nullptr;
            return Lease(nullptr, e);
        }
        return Lease(this, e);
    }

    void close() {
        std::vector<Entry> drop;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
            drop.swap(idle_);
        }
        for (auto& e : drop)
            if (e.state) free_(e.state);
    }
    bool closed() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return closed_;
    }

private:
    // Keeps the most recently used states: when the pool is full, the one
    // idle the longest (built for an older size or worker count, perhaps)
    // makes room.
    void giveBack(Entry e) {
        if (!e.state) return;
        Entry drop = e;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!closed_) {
                drop.state = nullptr;
                if (idle_.size() >= keep_) {
                    drop = idle_.front();
                    idle_.erase(idle_.begin());
                }
                idle_.push_back(e);
            }
        }
        if (drop.state) free_(drop.state);
    }

    Free free_;
    std::size_t keep_;
    mutable std::mutex mutex_;
    std::vector<Entry> idle_;
    bool closed_ = false;
};

// Copies `src` into the array of `dst` (numpy assignment; needs the GIL).
void assign(const Image& dst, const Image& src);

}  // namespace zpy
