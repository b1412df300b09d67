// Library frame and pixel-wise operations: version, worker count, absolute
// difference, copies, fills, subtraction, thresholds and the vector helpers.
#include "common.h"

namespace zpy {

std::shared_mutex& threadConfigLock() {
    static std::shared_mutex lock;
    return lock;
}

uint8_t* workBuffer(int size) {
    // The buffer starts on a cache line: the operations lay rows out from its
    // start, and the 64-byte vectors of a row that starts halfway into a line
    // span two lines at every access (corner measures took a fifth longer).
    constexpr std::size_t kLine = 64;
    thread_local std::unique_ptr<uint8_t[]> bytes;
    thread_local std::size_t capacity = 0;
    const std::size_t need = size > 0 ? static_cast<std::size_t>(size) : 1;
    if (need > capacity) {
        bytes.reset();  // the old buffer goes before the larger one is taken
        capacity = 0;
        bytes.reset(new uint8_t[need + kLine - 1]);
        capacity = need;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(bytes.get());
    return bytes.get() + (kLine - at % kLine) % kLine;
}

namespace {

using BinarySig = StatusCode(const void*, int, const void*, int, void*, int, ImageSize);
using UnarySig = StatusCode(const void*, int, void*, int, ImageSize);

const Member<BinarySig> kAbsDiff[] = {
    {Dt::u8, Dt::u8, 1, erase<zaliAbsDiff_8u_C1R, BinarySig>()},
    {Dt::u16, Dt::u16, 1, erase<zaliAbsDiff_16u_C1R, BinarySig>()},
    {Dt::f32, Dt::f32, 1, erase<zaliAbsDiff_32f_C1R, BinarySig>()},
};

using AbsDiffCSig = StatusCode(const void*, int, void*, int, ImageSize, double);
const Member<AbsDiffCSig> kAbsDiffC[] = {
    {Dt::u8, Dt::u8, 1, erase<zaliAbsDiffC_8u_C1R, AbsDiffCSig>()},
    {Dt::u16, Dt::u16, 1, erase<zaliAbsDiffC_16u_C1R, AbsDiffCSig>()},
    {Dt::f32, Dt::f32, 1, erase<zaliAbsDiffC_32f_C1R, AbsDiffCSig>()},
};

const Member<UnarySig> kCopy[] = {
    {Dt::u8, Dt::u8, 1, erase<zaliCopy_8u_C1R, UnarySig>()},
    {Dt::u8, Dt::u8, 3, erase<zaliCopy_8u_C3R, UnarySig>()},
    {Dt::u8, Dt::u8, 4, erase<zaliCopy_8u_C4R, UnarySig>()},
    {Dt::f32, Dt::f32, 1, erase<zaliCopy_32f_C1R, UnarySig>()},
    {Dt::f32, Dt::f32, 3, erase<zaliCopy_32f_C3R, UnarySig>()},
    {Dt::f32, Dt::f32, 4, erase<zaliCopy_32f_C4R, UnarySig>()},
};

using BorderSig = StatusCode(const void*, int, ImageSize, void*, int, ImageSize, int, int);
// float32 pixels are replicated through the 32-bit integer members: the
// pixels are copied as opaque 32-bit units.
const Member<BorderSig> kReplicateBorder[] = {
    {Dt::u8, Dt::u8, 1, erase<zaliCopyReplicateBorder_8u_C1R, BorderSig>()},
    {Dt::u8, Dt::u8, 3, erase<zaliCopyReplicateBorder_8u_C3R, BorderSig>()},
    {Dt::u8, Dt::u8, 4, erase<zaliCopyReplicateBorder_8u_C4R, BorderSig>()},
    {Dt::s32, Dt::s32, 1, erase<zaliCopyReplicateBorder_32s_C1R, BorderSig>()},
    {Dt::s32, Dt::s32, 3, erase<zaliCopyReplicateBorder_32s_C3R, BorderSig>()},
    {Dt::s32, Dt::s32, 4, erase<zaliCopyReplicateBorder_32s_C4R, BorderSig>()},
};

using SubSig = StatusCode(const void*, int, const void*, int, void*, int, ImageSize, int);
using SubISig = StatusCode(const void*, int, void*, int, ImageSize, int);
template <auto F> StatusCode sub32f(const void* a, int as, const void* b, int bs, void* d, int ds, ImageSize r, int) {
    return F(static_cast<const float*>(a), as, static_cast<const float*>(b), bs, static_cast<float*>(d), ds, r);
}
template <auto F> StatusCode sub32fI(const void* a, int as, void* d, int ds, ImageSize r, int) {
    return F(static_cast<const float*>(a), as, static_cast<float*>(d), ds, r);
}
const Member<SubSig> kSub[] = {
    {Dt::u8, Dt::u8, 1, erase<zaliSub_8u_C1RSfs, SubSig>()},
    {Dt::u8, Dt::u8, 3, erase<zaliSub_8u_C3RSfs, SubSig>()},
    {Dt::u8, Dt::u8, 4, erase<zaliSub_8u_C4RSfs, SubSig>()},
    {Dt::f32, Dt::f32, 1, &sub32f<zaliSub_32f_C1R>},
    {Dt::f32, Dt::f32, 3, &sub32f<zaliSub_32f_C3R>},
    {Dt::f32, Dt::f32, 4, &sub32f<zaliSub_32f_C4R>},
};
const Member<SubISig> kSubI[] = {
    {Dt::u8, Dt::u8, 1, erase<zaliSub_8u_C1IRSfs, SubISig>()},
    {Dt::u8, Dt::u8, 3, erase<zaliSub_8u_C3IRSfs, SubISig>()},
    {Dt::u8, Dt::u8, 4, erase<zaliSub_8u_C4IRSfs, SubISig>()},
    {Dt::f32, Dt::f32, 1, &sub32fI<zaliSub_32f_C1IR>},
    {Dt::f32, Dt::f32, 3, &sub32fI<zaliSub_32f_C3IR>},
    {Dt::f32, Dt::f32, 4, &sub32fI<zaliSub_32f_C4IR>},
};

py::dict version() {
    const LibraryVersion* v = zalcvGetLibVersion();
    py::dict d;
    d["major"] = v->majorVersion;
    d["minor"] = v->minorVersion;
    d["build_series"] = v->buildSeries;
    d["build_number"] = v->buildNumber;
    d["cpu_variant"] = std::string(v->cpuVariant, strnlen(v->cpuVariant, sizeof v->cpuVariant));
    d["library"] = v->libraryName ? v->libraryName : "";
    d["version"] = v->versionText ? v->versionText : "";
    d["build_date"] = v->buildDate ? v->buildDate : "";
    return d;
}

void setNumThreads(py::object n) {
    const int count = toInt(n, "n");
    if (count < 1) throw StatusError{StatusBadArgument, "set_num_threads: the worker count must be at least 1 (argument 'n') [status -5]"};
    int st;
    {
        NoGil released;
        std::unique_lock<std::shared_mutex> lock(threadConfigLock());
        st = zalSetNumThreads(count);
    }
    check(static_cast<StatusCode>(st), "set_num_threads", {{-5, "n"}});
}

int getNumThreads() {
    int n = 1;
    check(static_cast<StatusCode>(zalGetNumThreads(&n)), "get_num_threads");
    return n;
}

py::dict cpuInfo() {
    int cache = 0;
    check(static_cast<StatusCode>(zalGetMaxCacheSizeB(&cache)), "cpu_info");
    py::dict d;
    d["cores_per_die"] = zalGetNumCoresOnDie();
    d["max_cache_bytes"] = cache;
    return d;
}

py::array absdiff(py::object a, py::object b, py::object out) {
    const Image A = input(a, "a");
    if (isScalar(b)) {
        auto* fn = pick(kAbsDiffC, A.dt, Dt::none, 1, "absdiff");
        // The integer members clamp the constant into the element range;
        // clamping here first keeps any Python number within an int.
        double value = toF64(b, "b");
        if (A.dt != Dt::f32) value = std::isnan(value) ? 0.0 : std::min(std::max(value, -1.0), 65536.0);
        Output O(out, A.dt, A.height, A.width, 1, "absdiff", {&A});
        const Image& D = O.image();
        check(run([&] { return fn(A.raw(), A.step, D.raw(), D.step, A.size(), value); }), "absdiff");
        return O.finish();
    }
    const Image B = input(b, "b");
    requireSameShape(A, B, "absdiff", "b");
    auto* fn = pick(kAbsDiff, A.dt, Dt::none, A.channels, "absdiff");
    Output O(out, A.dt, A.height, A.width, 1, "absdiff", {&A, &B});
    const Image& D = O.image();
    check(run([&] { return fn(A.raw(), A.step, B.raw(), B.step, D.raw(), D.step, A.size()); }), "absdiff");
    return O.finish();
}

py::array copy(py::object img, py::object out) {
    const Image S = input(img, "img", C134);
    auto* fn = pick(kCopy, S.dt, Dt::none, S.channels, "copy");
    Output O(out, S.dt, S.height, S.width, S.channels, "copy", {&S});
    const Image& D = O.image();
    check(run([&] { return fn(S.raw(), S.step, D.raw(), D.step, S.size()); }), "copy");
    return O.finish();
}

py::array replicateBorder(py::object img, py::object top, py::object bottom, py::object left, py::object right,
                          py::object out) {
    const Image S = input(img, "img", C134);
    const int t = toInt(top, "top"), b = toInt(bottom, "bottom"), l = toInt(left, "left"), r = toInt(right, "right");
    for (auto [v, name] : {std::pair{t, "top"}, {b, "bottom"}, {l, "left"}, {r, "right"}})
        if (v < 0) throwValue(std::string("replicate_border: '") + name + "' must not be negative");
    const long long h = static_cast<long long>(S.height) + t + b, w = static_cast<long long>(S.width) + l + r;
    if (h > INT_MAX || w > INT_MAX) throwValue("replicate_border: the bordered image is too large");
    const Dt as = S.dt == Dt::f32 ? Dt::s32 : S.dt;
    auto* fn = pick(kReplicateBorder, as, Dt::none, S.channels, "replicate_border");
    Output O(out, S.dt, static_cast<int>(h), static_cast<int>(w), S.channels, "replicate_border", {&S});
    const Image& D = O.image();
    check(run([&] { return fn(S.raw(), S.step, S.size(), D.raw(), D.step, D.size(), t, l); }), "replicate_border");
    return O.finish();
}

py::array fill(py::object img, py::object value) {
    const Image D = inplace(img, "img");
    requireDtype(D, {Dt::u8}, "fill");
    const uint8_t v = toU8(value, "value");
    check(run([&] { return zaliSet_8u_C1R(v, D.ptr<uint8_t>(), D.step, D.size()); }), "fill");
    return D.array;
}

py::array subtract(py::object a, py::object b, py::object scaleFactor, py::object out) {
    const Image A = input(a, "a", C134);
    const Image B = input(b, "b", C134);
    requireSameShape(A, B, "subtract", "b");
    const int s = toInt(scaleFactor, "scale_factor");
    if (A.dt == Dt::f32 && s != 0) throwValue("subtract: 'scale_factor' applies to uint8 images only");
    // a - b is the library's src2 - src1; `out=a` uses the in-place member.
    if (Output::sameView(out, A)) {
        auto* fn = pick(kSubI, A.dt, Dt::none, A.channels, "subtract");
        if (B.bytes().first < A.bytes().second && A.bytes().first < B.bytes().second && B.data != A.data)
            throwValue("subtract: 'b' overlaps 'out'");
        check(run([&] { return fn(B.raw(), B.step, A.raw(), A.step, A.size(), s); }), "subtract",
              {{-6, "a"}});
        return A.array;
    }
    auto* fn = pick(kSub, A.dt, Dt::none, A.channels, "subtract");
    Output O(out, A.dt, A.height, A.width, A.channels, "subtract", {&A, &B});
    const Image& D = O.image();
    check(run([&] { return fn(B.raw(), B.step, A.raw(), A.step, D.raw(), D.step, A.size(), s); }), "subtract");
    return O.finish();
}

py::array threshold(py::object img, py::object thresholdObj, py::object value, py::object compare, py::object out) {
    const Image S = input(img, "img");
    requireDtype(S, {Dt::u8, Dt::f32}, "threshold");
    const int cmp = parseChoice(compare, "compare", {{"lt", 0}, {"gt", 4}});
    const bool inPlace = Output::sameView(out, S);
    Output O(inPlace ? py::none() : out, S.dt, S.height, S.width, 1, "threshold", {&S});
    const Image& D = inPlace ? S : O.image();
    StatusCode st;
    if (S.dt == Dt::u8) {
        const uint8_t t = toU8(thresholdObj, "threshold");
        const bool plain = value.is_none();
        const uint8_t v = plain ? t : toU8(value, "value");
        st = run([&] {
            if (plain && cmp == 4) return zaliThreshold_GT_8u_C1R(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size(), t);
            if (plain) return zaliThreshold_8u_C1R(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size(), t, cmp);
            return zaliThreshold_Val_8u_C1R(S.ptr<uint8_t>(), S.step, D.ptr<uint8_t>(), D.step, S.size(), t, v, cmp);
        });
    } else {
        const float t = toF32(thresholdObj, "threshold");
        const bool plain = value.is_none();
        const float v = plain ? t : toF32(value, "value");
        st = run([&] {
            if (plain && cmp == 0 && inPlace) return zaliThreshold_LT_32f_C1IR(D.ptr<float>(), D.step, S.size(), t);
            if (plain && cmp == 0) return zaliThreshold_LT_32f_C1R(S.ptr<float>(), S.step, D.ptr<float>(), D.step, S.size(), t);
            if (plain) return zaliThreshold_32f_C1R(S.ptr<float>(), S.step, D.ptr<float>(), D.step, S.size(), t, cmp);
            return zaliThreshold_Val_32f_C1R(S.ptr<float>(), S.step, D.ptr<float>(), D.step, S.size(), t, v, cmp);
        });
    }
    check(st, "threshold", {{-9999, "compare"}});
    return inPlace ? S.array : O.finish();
}

// ---- One-dimensional vectors -------------------------------------------------

struct Vec {
    py::array array;
    Dt dt;
    int len;
    void* data() const { return const_cast<void*>(array.data()); }
};

Vec vec(py::handle obj, const char* name) {
    py::array a = vectorInput(obj, name);
    return {a, dtOf(a.dtype()), static_cast<int>(a.size())};
}

// A fresh result shaped like `like`, or the caller's contiguous `out`; a
// result that overlaps an input is computed in a copy first.
py::array vecOut(py::object out, const Vec& like, Dt dt, const char* op, bool& staged,
                 std::initializer_list<const Vec*> inputs) {
    staged = false;
    py::object np = py::module_::import("numpy");
    if (out.is_none()) return py::array(dtype(dt), std::vector<py::ssize_t>(like.array.shape(), like.array.shape() + like.array.ndim()));
    if (!py::isinstance<py::array>(out)) throwType(std::string(op) + ": 'out' must be a numpy array");
    py::array o = py::reinterpret_borrow<py::array>(out);
    if (dtOf(o.dtype()) != dt) throwType(std::string(op) + ": 'out' must be " + dtName(dt));
    if (o.size() != like.len) throwValue(std::string(op) + ": 'out' must have " + std::to_string(like.len) + " elements");
    if (!(o.flags() & py::array::c_style) || !o.writeable() || o.dtype().kind() == 'b')
        throwValue(std::string(op) + ": 'out' must be writable and C-contiguous");
    for (const Vec* v : inputs)
        if (np.attr("may_share_memory")(o, v->array).cast<bool>()) staged = true;
    return staged ? py::array(dtype(dt), std::vector<py::ssize_t>{like.len}) : o;
}

py::object vecFinish(py::object out, py::array result, bool staged) {
    if (staged) {
        out.attr("reshape")(-1)[py::ellipsis()] = result;  // C-contiguous: reshape is a view
        return out;
    }
    return result;
}

template <class T>
using VecBinary = StatusCode (*)(const T*, const T*, T*, int);
template <class T>
using VecBinaryI = StatusCode (*)(const T*, T*, int);

py::object everyOp(py::object a, py::object b, py::object out, bool isMax) {
    const char* op = isMax ? "maximum" : "minimum";
    const Vec A = vec(a, "a"), B = vec(b, "b");
    if (A.dt != B.dt) throwType(std::string(op) + ": 'a' and 'b' must have one dtype");
    if (A.len != B.len) throwValue(std::string(op) + ": 'a' and 'b' must have the same number of elements");
    if (A.dt != Dt::u8 && A.dt != Dt::f32) throwType(std::string(op) + ": dtype must be uint8 or float32");
    // out=a: the in-place member, whose first operand is the destination.
    if (!out.is_none() && py::isinstance<py::array>(out) && py::reinterpret_borrow<py::array>(out).data() == A.array.data() &&
        out.ptr() == a.ptr() && A.array.ptr() == a.ptr()) {
        StatusCode st;
        if (A.dt == Dt::u8)
            st = run([&] {
                auto* pa = static_cast<uint8_t*>(A.data());
                auto* pb = static_cast<const uint8_t*>(B.data());
                return isMax ? zalsMaxEvery_8u_I(pb, pa, A.len) : zalsMinEvery_8u_I(pb, pa, A.len);
            });
        else
            st = run([&] {
                auto* pa = static_cast<float*>(A.data());
                auto* pb = static_cast<const float*>(B.data());
                return isMax ? zalsMaxEvery_32f_I(pb, pa, A.len) : zalsMinEvery_32f_I(pb, pa, A.len);
            });
        check(st, op);
        return out;
    }
    bool staged;
    py::array R = vecOut(out, A, A.dt, op, staged, {&A, &B});
    void* r = R.mutable_data();
    StatusCode st;
    if (A.dt == Dt::u8)
        st = run([&] {
            auto* pa = static_cast<const uint8_t*>(A.data());
            auto* pb = static_cast<const uint8_t*>(B.data());
            auto* pr = static_cast<uint8_t*>(r);
            return isMax ? zalsMaxEvery_8u(pa, pb, pr, A.len) : zalsMinEvery_8u(pa, pb, pr, A.len);
        });
    else
        st = run([&] {
            auto* pa = static_cast<const float*>(A.data());
            auto* pb = static_cast<const float*>(B.data());
            auto* pr = static_cast<float*>(r);
            return isMax ? zalsMaxEvery_32f(pa, pb, pr, A.len) : zalsMinEvery_32f(pa, pb, pr, A.len);
        });
    check(st, op);
    return out.is_none() ? py::object(R) : vecFinish(out, R, staged);
}

// The in-place vector members work on a result array that starts as a copy of
// the input (or on the caller's `out`, filled with the input first).
py::array vecWorkCopy(py::object out, const Vec& A, const char* op) {
    bool staged;
    py::array R = vecOut(out, A, A.dt, op, staged, {});
    if (R.data() != A.array.data()) R.attr("reshape")(-1)[py::ellipsis()] = A.array.attr("reshape")(-1);
    return R;
}

py::object multiply(py::object a, py::object value, py::object scaleFactor, py::object out) {
    const Vec A = vec(a, "a");
    const int s = toInt(scaleFactor, "scale_factor");
    if (A.dt == Dt::f32) {
        if (s != 0) throwValue("multiply: 'scale_factor' applies to int16 vectors only");
        const float v = toF32(value, "value");
        py::array R = vecWorkCopy(out, A, "multiply");
        check(run([&] { return zalsMulC_32f_I(v, static_cast<float*>(R.mutable_data()), A.len); }), "multiply");
        return out.is_none() ? py::object(R) : out;
    }
    if (A.dt != Dt::s16) throwType("multiply: dtype must be float32 or int16");
    const int16_t v = toS16(value, "value");
    py::array R = vecWorkCopy(out, A, "multiply");
    check(run([&] { return zalsMulC_16s_ISfs(v, static_cast<int16_t*>(R.mutable_data()), A.len, s); }), "multiply",
          {{-5, "scale_factor"}});
    return out.is_none() ? py::object(R) : out;
}

py::array sortAscending(py::object a) {
    const Vec A = vec(a, "a");
    if (A.dt != Dt::f64) throwType("sort: dtype must be float64");
    py::array R = A.array.attr("reshape")(-1).attr("copy")();
    check(run([&] { return zalsSortAscend_64f_I(static_cast<double*>(R.mutable_data()), A.len); }), "sort");
    return R;
}

py::object sqrtOp(py::object a, py::object scaleFactor, py::object out) {
    const Vec A = vec(a, "a");
    const int s = toInt(scaleFactor, "scale_factor");
    if (A.dt == Dt::f32) {
        if (s != 0) throwValue("sqrt: 'scale_factor' applies to int32 input only");
        py::array R = vecWorkCopy(out, A, "sqrt");
        check(run([&] { return zalsSqrt_32f_I(static_cast<float*>(R.mutable_data()), A.len); }), "sqrt");
        return out.is_none() ? py::object(R) : out;
    }
    if (A.dt != Dt::s32) throwType("sqrt: dtype must be float32 (in place) or int32 (int16 result)");
    bool staged;
    py::array R = vecOut(out, A, Dt::s16, "sqrt", staged, {&A});
    void* r = R.mutable_data();
    check(run([&] { return zalsSqrt_32s16s_Sfs(static_cast<const int32_t*>(A.data()), static_cast<int16_t*>(r), A.len, s); }),
          "sqrt");
    return out.is_none() ? py::object(R) : vecFinish(out, R, staged);
}

}  // namespace

void bindCore(py::module_& m) {
    m.def("version", &version, "The library's identity record as a dict (major, minor, version, library, ...).");
    m.def("set_num_threads", &setNumThreads, py::arg("n"),
          "Sets the worker count of the library's parallel operations (at least 1). Waits for running\n"
          "operations to finish first, so it is safe to call from any thread.");
    m.def("get_num_threads", &getNumThreads, "The worker count of the library's parallel operations.");
    m.def("cpu_info", &cpuInfo, "Processor facts the library uses: cores per die and the largest data cache in bytes.");
    m.def("absdiff", &absdiff, py::arg("a"), py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
          "|a - b| per pixel for one-channel uint8, uint16 or float32 images; `b` may be a number\n"
          "(integer images clamp it into their range first). float32 results have the sign bit cleared.");
    m.def("copy", &copy, py::arg("img"), py::kw_only(), py::arg("out") = py::none(),
          "Copies a uint8 or float32 image of 1, 3 or 4 channels (bit for bit, NaN payloads kept).");
    m.def("replicate_border", &replicateBorder, py::arg("img"), py::arg("top") = 0, py::arg("bottom") = 0,
          py::arg("left") = 0, py::arg("right") = 0, py::kw_only(), py::arg("out") = py::none(),
          "The image with borders of the given widths that repeat the nearest edge pixel (uint8, int32\n"
          "or float32; 1, 3 or 4 channels). The result is (H + top + bottom) x (W + left + right).");
    m.def("fill", &fill, py::arg("img"), py::arg("value"),
          "Sets every pixel of a one-channel uint8 image (or view) to `value`, in place; returns `img`.");
    m.def("subtract", &subtract, py::arg("a"), py::arg("b"), py::kw_only(), py::arg("scale_factor") = 0,
          py::arg("out") = py::none(),
          "a - b per element. uint8: negative differences give 0 and the result is divided by\n"
          "2**scale_factor with rounding to nearest even and saturation (negative factors multiply).\n"
          "float32: plain single-precision difference. 1, 3 or 4 channels. out=a works in place.");
    m.def("threshold", &threshold, py::arg("img"), py::arg("threshold"), py::arg("value") = py::none(),
          py::kw_only(), py::arg("compare") = "lt", py::arg("out") = py::none(),
          "Replaces the pixels that compare true against `threshold` (compare='lt': below it, 'gt':\n"
          "above it) by `value`; without `value` they become the threshold itself (a clamp). One-channel\n"
          "uint8 or float32; float32 compares IEEE bit patterns (so -0.0 < +0.0). out=img works in place.");
    m.def("maximum", [](py::object a, py::object b, py::object out) { return everyOp(a, b, out, true); },
          py::arg("a"), py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
          "Element-wise maximum of two uint8 or float32 arrays of equal size (any shape, result shaped\n"
          "like `a`). float32: `b` wins only when strictly greater, so a NaN comparison keeps `a`.");
    m.def("minimum", [](py::object a, py::object b, py::object out) { return everyOp(a, b, out, false); },
          py::arg("a"), py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
          "Element-wise minimum of two uint8 or float32 arrays; as `maximum`.");
    m.def("multiply", &multiply, py::arg("a"), py::arg("value"), py::kw_only(), py::arg("scale_factor") = 0,
          py::arg("out") = py::none(),
          "a * value element-wise. float32: single precision. int16: the product divided by\n"
          "2**scale_factor, rounded to nearest even and saturated.");
    m.def("sort", &sortAscending, py::arg("a"), "An ascending sorted copy of a float64 array (flattened).");
    m.def("sqrt", &sqrtOp, py::arg("a"), py::kw_only(), py::arg("scale_factor") = 0, py::arg("out") = py::none(),
          "Square root element-wise. float32: negative inputs give NaN. int32: an int16 result\n"
          "sqrt(x) / 2**scale_factor rounded and saturated, negative inputs give 0. Either case with a\n"
          "negative input issues SqrtOfNegativeWarning; the result is complete.");
}

}  // namespace zpy
