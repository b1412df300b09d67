// Shared binding helpers: see common.h.
#include "common.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <sstream>

namespace zpy {

// ---- Element types -------------------------------------------------------------

const char* dtName(Dt dt) {
    switch (dt) {
        case Dt::u8: return "uint8";
        case Dt::s8: return "int8";
        case Dt::u16: return "uint16";
        case Dt::s16: return "int16";
        case Dt::s32: return "int32";
        case Dt::f32: return "float32";
        case Dt::f64: return "float64";
        default: return "?";
    }
}

std::size_t dtSize(Dt dt) {
    switch (dt) {
        case Dt::u8: case Dt::s8: return 1;
        case Dt::u16: case Dt::s16: return 2;
        case Dt::s32: case Dt::f32: return 4;
        case Dt::f64: return 8;
        default: return 1;
    }
}

Dt dtOf(const py::dtype& d) {
    // Only native byte order: the library reads machine integers and floats.
    const char order = d.byteorder();
    if (order != '=' && order != '|') {
        const bool little = py::dtype("<u2").byteorder() == '=';
        if ((order == '<') != little) return Dt::none;
    }
    const char kind = d.kind();
    const auto size = d.itemsize();
    // bool arrays (masks, footprints) are read as uint8 0/1.
    if ((kind == 'u' || kind == 'b') && size == 1) return Dt::u8;
    if (kind == 'i' && size == 1) return Dt::s8;
    if (kind == 'u' && size == 2) return Dt::u16;
    if (kind == 'i' && size == 2) return Dt::s16;
    if (kind == 'i' && size == 4) return Dt::s32;
    if (kind == 'f' && size == 4) return Dt::f32;
    if (kind == 'f' && size == 8) return Dt::f64;
    return Dt::none;
}

py::dtype dtype(Dt dt) { return py::dtype(dtName(dt)); }

Dt parseDtype(py::handle obj, const char* argument) {
    py::dtype d;
    try {
        d = py::dtype::from_args(py::reinterpret_borrow<py::object>(obj));
    } catch (py::error_already_set&) {
        throwType(std::string("'") + argument + "' is not a dtype");
    }
    const Dt dt = dtOf(d);
    if (dt == Dt::none) throwType(std::string("'") + argument + "': unsupported dtype " + py::str(d).cast<std::string>());
    return dt;
}

// ---- Errors ----------------------------------------------------------------------

namespace {

py::handle g_errorBase, g_errorMap, g_warningBase, g_warningMap;

const char* statusText(int st) {
    switch (st) {
        case -9999: return "comparison other than less-than or greater-than";
        case -108: return "row step not a multiple of the element size";
        case -56: return "distance weight not positive";
        case -53: return "channel count not accepted";
        case -52: return "channel index outside the image";
        case -34: return "anchor outside the kernel";
        case -33: return "kernel or aperture size not accepted";
        case -14: return "row step too small";
        case -12: return "data type not accepted";
        case -11: return "value out of range";
        case -9: return "out of memory";
        case -8: return "a required input is missing";
        case -6: return "size below its minimum or inconsistent";
        case -5: return "argument outside its allowed set";
        case -2: return "line set-up failed";
        case 3: return "square root of a negative input (NaN or 0 written)";
        case 6: return "division by zero in a relative norm (inf or NaN written)";
        case 38: return "asymmetric kernel made symmetric";
        default: return "unknown status";
    }
}

}  // namespace

void initErrors(py::module_& m) {
    py::module_ errors = py::module_::import("zalcv._errors");
    // Kept for the life of the process: released handles outlive interpreter
    // teardown without running destructors against a finalised interpreter.
    g_errorBase = py::object(errors.attr("Error")).release();
    g_errorMap = py::object(errors.attr("STATUS_ERRORS")).release();
    g_warningBase = py::object(errors.attr("ZalcvWarning")).release();
    g_warningMap = py::object(errors.attr("STATUS_WARNINGS")).release();
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const StatusError& e) {
            py::dict map = py::reinterpret_borrow<py::dict>(g_errorMap);
            py::object cls = py::reinterpret_borrow<py::object>(g_errorBase);
            if (map.contains(py::int_(e.status))) cls = map[py::int_(e.status)];
            py::object inst = cls(e.message, e.status);
            PyErr_SetObject(cls.ptr(), inst.ptr());
        }
    });
    (void)m;
}

void check(StatusCode st, const char* op, ArgNames names) {
    if (st == StatusOk) return;
    std::ostringstream msg;
    msg << op << ": " << statusText(st);
    for (const auto& [code, name] : names)
        if (code == st) {
            msg << " (argument '" << name << "')";
            break;
        }
    msg << " [status " << static_cast<int>(st) << "]";
    if (st < 0) throw StatusError{static_cast<int>(st), msg.str()};
    py::dict map = py::reinterpret_borrow<py::dict>(g_warningMap);
    py::object cls = py::reinterpret_borrow<py::object>(g_warningBase);
    if (map.contains(py::int_(static_cast<int>(st)))) cls = map[py::int_(static_cast<int>(st))];
    if (PyErr_WarnEx(cls.ptr(), msg.str().c_str(), 1) != 0) throw py::error_already_set();
}

void throwValue(const std::string& message) { throw py::value_error(message); }
void throwType(const std::string& message) { throw py::type_error(message); }

// ---- Image views -----------------------------------------------------------------

std::pair<const char*, const char*> Image::bytes() const {
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(width) * channels * static_cast<std::ptrdiff_t>(dtSize(dt));
    return {data, data + static_cast<std::ptrdiff_t>(height - 1) * step + row};
}

namespace {

py::array asArray(py::handle obj, const char* name) {
    if (obj.is_none()) throwType(std::string("'") + name + "' must be an array, not None");
    if (py::isinstance<py::array>(obj)) return py::reinterpret_borrow<py::array>(obj);
    py::object np = py::module_::import("numpy");
    return np.attr("asarray")(obj).cast<py::array>();
}

// Shape and layout of a candidate array; `why` tells what is wrong with the
// layout (empty when the library can take it as it is).
struct Probe {
    int height = 0, width = 0, channels = 1;
    Dt dt = Dt::none;
    std::string why;
};

Probe probe(const py::array& a, const char* name, unsigned channels) {
    Probe p;
    p.dt = dtOf(a.dtype());
    if (p.dt == Dt::none)
        throwType(std::string("'") + name + "': unsupported dtype " + py::str(a.dtype()).cast<std::string>() +
                  " (uint8, int8, uint16, int16, int32, float32 or float64 in native byte order)");
    const auto nd = a.ndim();
    if (nd == 2) {
        p.channels = 1;
    } else if (nd == 3 && a.shape(2) >= 2 && a.shape(2) < 32) {
        p.channels = static_cast<int>(a.shape(2));
    } else {
        std::ostringstream s;
        s << "'" << name << "' must be a 2-D array (one channel) or 3-D with the channels in the last axis; got shape (";
        for (py::ssize_t i = 0; i < nd; ++i) s << (i ? ", " : "") << a.shape(i);
        s << ")";
        throwValue(s.str());
    }
    if (!(channels & (1u << p.channels))) {
        std::ostringstream s;
        s << "'" << name << "' has " << p.channels << " channel(s); this operation takes ";
        bool first = true;
        for (int c = 1; c < 32; ++c)
            if (channels & (1u << c)) {
                s << (first ? "" : " or ") << c;
                first = false;
            }
        throwValue(s.str());
    }
    if (a.shape(0) > INT_MAX || a.shape(1) > INT_MAX) throwValue(std::string("'") + name + "' is too large");
    p.height = static_cast<int>(a.shape(0));
    p.width = static_cast<int>(a.shape(1));
    if (p.height == 0 || p.width == 0) throw StatusError{StatusSizeError, std::string("'") + name + "' is empty [status -6]"};
    const auto item = static_cast<py::ssize_t>(dtSize(p.dt));
    const py::ssize_t rowBytes = static_cast<py::ssize_t>(p.width) * p.channels * item;
    if (p.channels > 1 && a.strides(2) != item) p.why = "channels are not adjacent";
    else if (p.width > 1 && a.strides(1) != p.channels * item) p.why = "pixels are not contiguous within a row";
    else if (p.height > 1 && a.strides(0) < rowBytes) p.why = "rows are reversed, repeated or overlapping (row stride below the row length)";
    else if (p.height > 1 && a.strides(0) % item != 0) p.why = "the row stride is not a multiple of the element size";
    else if (p.height > 1 && a.strides(0) > INT_MAX) p.why = "the row stride does not fit 32 bits";
    else if (rowBytes > INT_MAX) p.why = "a row does not fit 32 bits";
    else if (reinterpret_cast<std::uintptr_t>(a.data()) % item != 0) p.why = "the data is not aligned to its element size";
    return p;
}

Image make(const py::array& a, const Probe& p) {
    Image im;
    im.array = a;
    im.data = static_cast<char*>(const_cast<void*>(a.data()));
    im.height = p.height;
    im.width = p.width;
    im.channels = p.channels;
    im.dt = p.dt;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(p.width) * p.channels * static_cast<std::ptrdiff_t>(dtSize(p.dt));
    im.step = static_cast<int>(p.height > 1 ? a.strides(0) : rowBytes);
    return im;
}

}  // namespace

Image input(py::handle obj, const char* name, unsigned channels) {
    py::array a = asArray(obj, name);
    Probe p = probe(a, name, channels);
    if (!p.why.empty()) {
        py::object np = py::module_::import("numpy");
        a = np.attr("ascontiguousarray")(a).cast<py::array>();
        p = probe(a, name, channels);
    }
    return make(a, p);
}

Image inplace(py::handle obj, const char* name, unsigned channels) {
    if (!py::isinstance<py::array>(obj)) throwType(std::string("'") + name + "' must be a numpy array (it is written in place)");
    py::array a = py::reinterpret_borrow<py::array>(obj);
    if (a.dtype().kind() == 'b') throwType(std::string("'") + name + "' is written in place and must not be bool (use uint8)");
    Probe p = probe(a, name, channels);
    if (!p.why.empty()) throwValue(std::string("'") + name + "' cannot be written in place: " + p.why);
    if (!a.writeable()) throwValue(std::string("'") + name + "' is read-only");
    return make(a, p);
}

py::array vectorInput(py::handle obj, const char* name) {
    py::array a = asArray(obj, name);
    if (dtOf(a.dtype()) == Dt::none)
        throwType(std::string("'") + name + "': unsupported dtype " + py::str(a.dtype()).cast<std::string>());
    if (a.size() > INT_MAX) throwValue(std::string("'") + name + "' is too long");
    if (a.size() == 0) throw StatusError{StatusSizeError, std::string("'") + name + "' is empty [status -6]"};
    py::object np = py::module_::import("numpy");
    return np.attr("ascontiguousarray")(a).cast<py::array>();
}

void requireDtype(const Image& im, std::initializer_list<Dt> allowed, const char* op) {
    for (Dt d : allowed)
        if (im.dt == d) return;
    std::ostringstream s;
    s << op << ": dtype " << dtName(im.dt) << " not supported (";
    bool first = true;
    for (Dt d : allowed) {
        s << (first ? "" : ", ") << dtName(d);
        first = false;
    }
    s << ")";
    throwType(s.str());
}

void requireSameSize(const Image& a, const Image& b, const char* op, const char* nameB) {
    if (a.width != b.width || a.height != b.height)
        throwValue(std::string(op) + ": '" + nameB + "' is " + std::to_string(b.height) + "x" + std::to_string(b.width) +
                   ", expected " + std::to_string(a.height) + "x" + std::to_string(a.width));
}

void requireSameShape(const Image& a, const Image& b, const char* op, const char* nameB) {
    requireSameSize(a, b, op, nameB);
    if (a.channels != b.channels)
        throwValue(std::string(op) + ": '" + nameB + "' has " + std::to_string(b.channels) + " channel(s), expected " +
                   std::to_string(a.channels));
    if (a.dt != b.dt) throwType(std::string(op) + ": '" + nameB + "' is " + dtName(b.dt) + ", expected " + dtName(a.dt));
}

std::vector<py::ssize_t> shapeOf(int height, int width, int channels) {
    if (channels == 1) return {height, width};
    return {height, width, channels};
}

// ---- Outputs ---------------------------------------------------------------------

namespace {

bool overlaps(const Image& a, const Image& b) {
    auto [alo, ahi] = a.bytes();
    auto [blo, bhi] = b.bytes();
    return alo < bhi && blo < ahi;
}

}  // namespace

// A C-contiguous array of `shape` whose data starts on a 64-byte boundary
// (a cache line and the widest vector: row loops then need no aligning
// steps, and large outputs can be streamed to memory). It owns exactly its
// elements, as an array numpy allocates would: the memory is held by a
// capsule, not by a larger array it would be a view of.
py::array alignedArray(Dt dt, const std::vector<py::ssize_t>& shape, bool zeroFill) {
    constexpr std::size_t kAlign = 64;
    const py::dtype type = dtype(dt);
    std::size_t bytes = static_cast<std::size_t>(type.itemsize());
    for (py::ssize_t n : shape) bytes *= static_cast<std::size_t>(n);
    void* data = ::operator new(std::max<std::size_t>(bytes, 1), std::align_val_t{kAlign});
    auto release = [](void* p) { ::operator delete(p, std::align_val_t{kAlign}); };
    py::capsule owner;
    try {
        owner = py::capsule(data, release);
    } catch (...) {
        release(data);
        throw;
    }
    if (zeroFill) std::memset(data, 0, bytes);
    std::vector<py::ssize_t> strides(shape.size());
    py::ssize_t step = type.itemsize();
    for (std::size_t i = shape.size(); i-- > 0;) strides[i] = step, step *= shape[i];
    return py::array(type, shape, strides, data, owner);
}

Output::Output(py::handle out, Dt dt, int height, int width, int channels, const char* op,
               std::initializer_list<const Image*> inputs, bool zeroFill, bool staged)
    : target_(py::reinterpret_borrow<py::object>(out)), staged_(staged) {
    const auto shape = shapeOf(height, width, channels);
    if (out.is_none()) {
        py::array fresh = alignedArray(dt, shape, zeroFill);
        Probe p;
        p.height = height;
        p.width = width;
        p.channels = channels;
        p.dt = dt;
        work_ = make(fresh, p);
        staged_ = false;
        return;
    }
    if (!py::isinstance<py::array>(out)) throwType(std::string(op) + ": 'out' must be a numpy array");
    py::array a = py::reinterpret_borrow<py::array>(out);
    // bool arrays are read as uint8 but never written: other bytes than 0/1 are not bools.
    if (dtOf(a.dtype()) != dt || a.dtype().kind() == 'b')
        throwType(std::string(op) + ": 'out' must be " + dtName(dt) + ", got " + py::str(a.dtype()).cast<std::string>());
    bool shapeOk = a.ndim() == static_cast<py::ssize_t>(shape.size());
    for (std::size_t i = 0; shapeOk && i < shape.size(); ++i) shapeOk = a.shape(i) == shape[i];
    if (!shapeOk) {
        std::ostringstream s;
        s << op << ": 'out' must have shape (";
        for (std::size_t i = 0; i < shape.size(); ++i) s << (i ? ", " : "") << shape[i];
        s << ")";
        throwValue(s.str());
    }
    const Probe p = probe(a, "out", 1u << channels);
    if (!p.why.empty()) throwValue(std::string(op) + ": 'out' cannot be written: " + p.why);
    if (!a.writeable()) throwValue(std::string(op) + ": 'out' is read-only");
    work_ = make(a, p);
    for (const Image* in : inputs)
        if (in && overlaps(work_, *in)) staged_ = true;
    if (staged_) {
        // Scratch starts as the caller's contents: operations that leave some
        // pixels alone keep them.
        py::array scratch = py::module_::import("numpy").attr("array")(a, py::arg("copy") = true).cast<py::array>();
        work_ = make(scratch, probe(scratch, "out", 1u << channels));
    }
}

py::array Output::finish() {
    if (target_.is_none()) return work_.array;
    if (staged_) target_[py::ellipsis()] = work_.array;
    return py::reinterpret_borrow<py::array>(target_);
}

bool Output::sameView(py::handle out, const Image& in) {
    if (out.is_none() || !py::isinstance<py::array>(out)) return false;
    py::array a = py::reinterpret_borrow<py::array>(out);
    if (a.data() != static_cast<const void*>(in.data) || dtOf(a.dtype()) != in.dt) return false;
    if (a.ndim() != in.array.ndim()) return false;
    for (py::ssize_t i = 0; i < a.ndim(); ++i)
        if (a.shape(i) != in.array.shape(i) || (a.shape(i) > 1 && a.strides(i) != in.array.strides(i))) return false;
    return a.writeable();
}

// ---- Dispatch errors ---------------------------------------------------------------

void throwNoMember(const char* op, Dt in, Dt out, int channels, const std::vector<std::tuple<Dt, Dt, int>>& have) {
    std::ostringstream s;
    s << op << ": no variant for " << dtName(in);
    if (out != Dt::none) s << " -> " << dtName(out);
    s << " with " << channels << " channel(s); available:";
    for (const auto& [a, b, c] : have) {
        s << " " << dtName(a);
        if (b != Dt::none && b != a) s << "->" << dtName(b);
        s << "/" << c << "ch";
    }
    throwType(s.str());
}

// ---- Options ---------------------------------------------------------------------

int parseChoice(py::handle obj, const char* argument, std::initializer_list<std::pair<const char*, int>> choices) {
    std::string names;
    if (py::isinstance<py::str>(obj)) {
        std::string v = obj.cast<std::string>();
        for (auto& ch : v) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        for (const auto& [name, code] : choices)
            if (v == name) return code;
    } else if (py::isinstance<py::int_>(obj) && !py::isinstance<py::bool_>(obj)) {
        const long long v = obj.cast<long long>();
        for (const auto& [name, code] : choices)
            if (v == code) return code;
    }
    for (const auto& [name, code] : choices) names += (names.empty() ? "'" : ", '") + std::string(name) + "'";
    throwValue(std::string("'") + argument + "' must be one of " + names + "; got " + py::repr(obj).cast<std::string>());
}

BorderKind parseBorder(py::handle obj) {
    return static_cast<BorderKind>(parseChoice(obj, "border",
        {{"constant", BorderConstant}, {"replicate", BorderReplicate}, {"wrap", BorderWrap},
         {"reflect", BorderReflect}, {"reflect_edge", BorderReflectEdge}}));
}

int toInt(py::handle obj, const char* argument) {
    if (!py::isinstance<py::int_>(obj)) {
        py::object index;
        try {
            index = py::module_::import("operator").attr("index")(obj);
        } catch (py::error_already_set&) {
            throwType(std::string("'") + argument + "' must be an integer, got " + py::repr(obj).cast<std::string>());
        }
        return toInt(index, argument);
    }
    const long long v = obj.cast<long long>();
    if (v < INT_MIN || v > INT_MAX) throwValue(std::string("'") + argument + "' is outside the 32-bit range");
    return static_cast<int>(v);
}

std::pair<int, int> parsePair(py::handle obj, const char* argument) {
    py::sequence seq;
    try {
        seq = py::reinterpret_borrow<py::sequence>(obj);
        if (!py::isinstance<py::sequence>(obj) || py::len(seq) != 2) throw py::value_error();
    } catch (std::exception&) {
        throwValue(std::string("'") + argument + "' must be a pair of integers");
    }
    return {toInt(seq[0], argument), toInt(seq[1], argument)};
}

ImagePoint parsePoint(py::handle obj, const char* argument) {
    auto [x, y] = parsePair(obj, argument);
    return {x, y};
}

}  // namespace zpy

namespace zpy {

uint8_t toU8(py::handle obj, const char* argument) {
    const int v = toInt(obj, argument);
    if (v < 0 || v > 255) throwValue(std::string("'") + argument + "' must lie in 0..255, got " + std::to_string(v));
    return static_cast<uint8_t>(v);
}

int16_t toS16(py::handle obj, const char* argument) {
    const int v = toInt(obj, argument);
    if (v < INT16_MIN || v > INT16_MAX)
        throwValue(std::string("'") + argument + "' must lie in -32768..32767, got " + std::to_string(v));
    return static_cast<int16_t>(v);
}

double toF64(py::handle obj, const char* argument) {
    try {
        return py::float_(py::reinterpret_borrow<py::object>(obj)).cast<double>();
    } catch (py::error_already_set&) {
        throwType(std::string("'") + argument + "' must be a number, got " + py::repr(obj).cast<std::string>());
    }
}

float toF32(py::handle obj, const char* argument) { return static_cast<float>(toF64(obj, argument)); }

bool isScalar(py::handle obj) {
    if (py::isinstance<py::float_>(obj) || py::isinstance<py::int_>(obj)) return true;
    if (py::isinstance<py::array>(obj)) return py::reinterpret_borrow<py::array>(obj).ndim() == 0;
    return py::module_::import("numpy").attr("ndim")(obj).cast<int>() == 0;
}

}  // namespace zpy

namespace zpy {

void assign(const Image& dst, const Image& src) { dst.array[py::ellipsis()] = src.array; }

}  // namespace zpy
