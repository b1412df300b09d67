// Linear filters: the separable row and column passes, the fixed derivative and
// smoothing filters, the Sobel kernel generator and the min/max filters.
#include "common.h"

#include <cmath>
#include <memory>

namespace zpy {
namespace {

// ---- Fixed filters ---------------------------------------------------------------------

// One erased signature for every fixed filter: aperture, border, border value
// and divisor are passed to the members that take them.
using FixedSig = StatusCode(const void*, int, void*, int, ImageSize, int, int, double, int, uint8_t*);
using FixedSizeSig = StatusCode(ImageSize, int, int*);

template <auto F, class S, class D>
StatusCode fixedPlain(const void* s, int ss, void* d, int ds, ImageSize r, int mask, int border, double bv, int, uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, static_cast<D*>(d), ds, r, static_cast<ApertureSize>(mask),
             static_cast<BorderKind>(border), static_cast<S>(bv), buf);
}
template <auto F, class S, class D>
StatusCode fixedDiv(const void* s, int ss, void* d, int ds, ImageSize r, int mask, int border, double bv, int div, uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, static_cast<D*>(d), ds, r, static_cast<ApertureSize>(mask),
             static_cast<BorderKind>(border), static_cast<S>(bv), div, buf);
}
template <auto F, class S, class D>
StatusCode scharrPlain(const void* s, int ss, void* d, int ds, ImageSize r, int, int border, double bv, int, uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, static_cast<D*>(d), ds, r, static_cast<BorderKind>(border), static_cast<S>(bv), buf);
}
template <auto F, class S, class D>
StatusCode scharrDiv(const void* s, int ss, void* d, int ds, ImageSize r, int, int border, double bv, int div, uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, static_cast<D*>(d), ds, r, static_cast<BorderKind>(border), static_cast<S>(bv), div,
             buf);
}
template <auto F> StatusCode sizeMask(ImageSize r, int mask, int* n) { return F(r, static_cast<ApertureSize>(mask), n); }
template <auto F> StatusCode sizeNoMask(ImageSize r, int, int* n) { return F(r, n); }

struct FixedMember {
    Dt in, out;
    FixedSig* fn;
    FixedSizeSig* size;
};

#define ZPY_SOBEL(NAME)                                                                                    \
    {{Dt::u8, Dt::s16, &fixedPlain<zaliFilter##NAME##Border_8u16s_C1R, uint8_t, int16_t>,                \
      &sizeMask<zaliFilter##NAME##GetBufferSize_8u16s_C1R>},                                              \
     {Dt::u8, Dt::s8, &fixedDiv<zaliFilter##NAME##Border_8u8s_C1R, uint8_t, int8_t>,                     \
      &sizeMask<zaliFilter##NAME##GetBufferSize_8u8s_C1R>},                                               \
     {Dt::f32, Dt::f32, &fixedPlain<zaliFilter##NAME##Border_32f_C1R, float, float>,                     \
      &sizeMask<zaliFilter##NAME##GetBufferSize_32f_C1R>}}
#define ZPY_SCHARR(NAME)                                                                                   \
    {{Dt::u8, Dt::s16, &scharrPlain<zaliFilter##NAME##Border_8u16s_C1R, uint8_t, int16_t>,               \
      &sizeNoMask<zaliFilter##NAME##GetBufferSize_8u16s_C1R>},                                            \
     {Dt::u8, Dt::s8, &scharrDiv<zaliFilter##NAME##Border_8u8s_C1R, uint8_t, int8_t>,                    \
      &sizeNoMask<zaliFilter##NAME##GetBufferSize_8u8s_C1R>},                                             \
     {Dt::f32, Dt::f32, &scharrPlain<zaliFilter##NAME##Border_32f_C1R, float, float>,                    \
      &sizeNoMask<zaliFilter##NAME##GetBufferSize_32f_C1R>}}

// Index by kind; each kind lists its type pairs.
enum Kind { kSobelX, kSobelY, kSobelXX, kSobelYY, kSobelXY, kScharrX, kScharrY, kLaplacian, kBox, kKinds };
const FixedMember kFixed[kKinds][3] = {
    ZPY_SOBEL(SobelNegVert),     // +d/dx
    ZPY_SOBEL(SobelHoriz),       // +d/dy
    ZPY_SOBEL(SobelVertSecond),  // d2/dx2
    ZPY_SOBEL(SobelHorizSecond), // d2/dy2
    ZPY_SOBEL(SobelCross),       // -d2/dxdy
    ZPY_SCHARR(ScharrVert),      // +d/dx
    ZPY_SCHARR(ScharrHoriz),     // +d/dy
    ZPY_SOBEL(Laplacian),
    {{Dt::u8, Dt::u8, &fixedPlain<zaliFilterLowpassBorder_8u_C1R, uint8_t, uint8_t>,
      &sizeMask<zaliFilterLowpassGetBufferSize_8u_C1R>},
     {Dt::f32, Dt::f32, &fixedPlain<zaliFilterLowpassBorder_32f_C1R, float, float>,
      &sizeMask<zaliFilterLowpassGetBufferSize_32f_C1R>},
     {Dt::none, Dt::none, nullptr, nullptr}},
};
#undef ZPY_SOBEL
#undef ZPY_SCHARR

py::array fixedFilter(const char* op, Kind kind, py::object img, py::object ksize, py::object border,
                      py::object borderValue, py::object dtypeObj, py::object divisor, py::object out) {
    const Image S = input(img, "img");
    const Dt want = dtypeObj.is_none() ? Dt::none : parseDtype(dtypeObj, "dtype");
    const FixedMember* member = nullptr;
    for (const auto& m : kFixed[kind])
        if (m.fn && m.in == S.dt && (want == Dt::none || want == m.out)) {
            member = &m;
            break;
        }
    if (!member) {
        std::string have;
        for (const auto& m : kFixed[kind])
            if (m.fn) have += std::string(have.empty() ? "" : ", ") + dtName(m.in) + "->" + dtName(m.out);
        throwType(std::string(op) + ": no variant for " + dtName(S.dt) + (want == Dt::none ? "" : std::string("->") + dtName(want)) +
                  " (available: " + have + ")");
    }
    int k = toInt(ksize, "ksize");
    const int mask = k == 3 ? Aperture3x3 : k == 5 ? Aperture5x5 : k;
    if (kind == kScharrX || kind == kScharrY) {
        if (k != 3) throw StatusError{StatusMaskSizeError, std::string(op) + ": Scharr filters are 3x3 only (argument 'ksize') [status -33]"};
    }
    const BorderKind b = parseBorder(border);
    const double bv = S.dt == Dt::u8 ? toU8(borderValue, "border_value") : toF64(borderValue, "border_value");
    const bool hasDivisor = member->out == Dt::s8;
    const int div = toInt(divisor, "divisor");
    if (!hasDivisor && div != 1) throwValue(std::string(op) + ": 'divisor' applies to int8 results only");
    Output O(out, member->out, S.height, S.width, 1, op, {&S});
    const Image& D = O.image();
    check(run([&] {
              int size = 0;
              StatusCode st = member->size(S.size(), mask, &size);
              if (st != StatusOk) return st;
              return member->fn(S.raw(), S.step, D.raw(), D.step, S.size(), mask, b, bv, div, workBuffer(size));
          }),
          op, {{-33, "ksize"}, {-5, "border or divisor"}});
    return O.finish();
}

py::array sobel(py::object img, py::object dx, py::object dy, py::object ksize, py::object border, py::object borderValue,
                py::object dtypeObj, py::object divisor, py::object out) {
    const auto order = std::pair{toInt(dx, "dx"), toInt(dy, "dy")};
    Kind kind;
    if (order == std::pair{1, 0}) kind = kSobelX;
    else if (order == std::pair{0, 1}) kind = kSobelY;
    else if (order == std::pair{2, 0}) kind = kSobelXX;
    else if (order == std::pair{0, 2}) kind = kSobelYY;
    else if (order == std::pair{1, 1}) kind = kSobelXY;
    else throwValue("sobel: (dx, dy) must be (1, 0), (0, 1), (2, 0), (0, 2) or (1, 1)");
    return fixedFilter("sobel", kind, img, ksize, border, borderValue, dtypeObj, divisor, out);
}

py::array scharr(py::object img, py::object dx, py::object dy, py::object border, py::object borderValue,
                 py::object dtypeObj, py::object divisor, py::object out) {
    const auto order = std::pair{toInt(dx, "dx"), toInt(dy, "dy")};
    Kind kind;
    if (order == std::pair{1, 0}) kind = kScharrX;
    else if (order == std::pair{0, 1}) kind = kScharrY;
    else throwValue("scharr: (dx, dy) must be (1, 0) or (0, 1)");
    return fixedFilter("scharr", kind, img, py::int_(3), border, borderValue, dtypeObj, divisor, out);
}

// ---- Separable passes ---------------------------------------------------------------------

// Row pass: border value by value (C1) or by pointer (C3), divisor for the
// integer members; one erased signature.
using RowSig = StatusCode(const void*, int, void**, ImageSize, const void*, int, int, int, const void*, int, uint8_t*);
using SizeSig = StatusCode(ImageSize, int, int*);

template <auto F, class S, class D, class K>
StatusCode rowC1(const void* s, int ss, void** dst, ImageSize r, const void* k, int ks, int ax, int b, const void* bv, int,
                 uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, reinterpret_cast<D**>(dst), r, static_cast<const K*>(k), ks, ax,
             static_cast<BorderKind>(b), *static_cast<const S*>(bv), buf);
}
template <auto F, class S, class D, class K>
StatusCode rowC3(const void* s, int ss, void** dst, ImageSize r, const void* k, int ks, int ax, int b, const void* bv, int,
                 uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, reinterpret_cast<D**>(dst), r, static_cast<const K*>(k), ks, ax,
             static_cast<BorderKind>(b), static_cast<const S*>(bv), buf);
}
template <auto F, class S, class D, class K>
StatusCode rowC1Div(const void* s, int ss, void** dst, ImageSize r, const void* k, int ks, int ax, int b, const void* bv,
                    int div, uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, reinterpret_cast<D**>(dst), r, static_cast<const K*>(k), ks, ax,
             static_cast<BorderKind>(b), *static_cast<const S*>(bv), div, buf);
}
template <auto F, class S, class D, class K>
StatusCode rowC3Div(const void* s, int ss, void** dst, ImageSize r, const void* k, int ks, int ax, int b, const void* bv,
                    int div, uint8_t* buf) {
    return F(static_cast<const S*>(s), ss, reinterpret_cast<D**>(dst), r, static_cast<const K*>(k), ks, ax,
             static_cast<BorderKind>(b), static_cast<const S*>(bv), div, buf);
}

template <class Sig> struct PassMember {
    Dt in, out;
    int channels;
    bool low;
    Sig* fn;
    SizeSig* size;
};

const PassMember<RowSig> kRow[] = {
    {Dt::f32, Dt::f32, 1, false, &rowC1<zaliFilterRowBorderPipeline_32f_C1R, float, float, float>,
     &zaliFilterRowBorderPipelineGetBufferSize_32f_C1R},
    {Dt::f32, Dt::f32, 3, false, &rowC3<zaliFilterRowBorderPipeline_32f_C3R, float, float, float>,
     &zaliFilterRowBorderPipelineGetBufferSize_32f_C3R},
    {Dt::s16, Dt::s16, 1, false, &rowC1Div<zaliFilterRowBorderPipeline_16s_C1R, int16_t, int16_t, int16_t>,
     &zaliFilterRowBorderPipelineGetBufferSize_16s_C1R},
    {Dt::s16, Dt::s16, 3, false, &rowC3Div<zaliFilterRowBorderPipeline_16s_C3R, int16_t, int16_t, int16_t>,
     &zaliFilterRowBorderPipelineGetBufferSize_16s_C3R},
    {Dt::u8, Dt::s16, 1, false, &rowC1Div<zaliFilterRowBorderPipeline_8u16s_C1R, uint8_t, int16_t, int16_t>,
     &zaliFilterRowBorderPipelineGetBufferSize_8u16s_C1R},
    {Dt::u8, Dt::s16, 3, false, &rowC3Div<zaliFilterRowBorderPipeline_8u16s_C3R, uint8_t, int16_t, int16_t>,
     &zaliFilterRowBorderPipelineGetBufferSize_8u16s_C3R},
    {Dt::s16, Dt::s16, 1, true, &rowC1Div<zaliFilterRowBorderPipeline_Low_16s_C1R, int16_t, int16_t, int16_t>,
     &zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C1R},
    {Dt::s16, Dt::s16, 3, true, &rowC3Div<zaliFilterRowBorderPipeline_Low_16s_C3R, int16_t, int16_t, int16_t>,
     &zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C3R},
};

using ColumnSig = StatusCode(const void**, void*, int, ImageSize, const void*, int, int, uint8_t*);
template <auto F, class S, class D, class K>
StatusCode column(const void** src, void* d, int ds, ImageSize r, const void* k, int ks, int, uint8_t* buf) {
    return F(reinterpret_cast<const S**>(src), static_cast<D*>(d), ds, r, static_cast<const K*>(k), ks, buf);
}
template <auto F, class S, class D, class K>
StatusCode columnDiv(const void** src, void* d, int ds, ImageSize r, const void* k, int ks, int div, uint8_t* buf) {
    return F(reinterpret_cast<const S**>(src), static_cast<D*>(d), ds, r, static_cast<const K*>(k), ks, div, buf);
}
const PassMember<ColumnSig> kColumn[] = {
    {Dt::f32, Dt::f32, 1, false, &column<zaliFilterColumnPipeline_32f_C1R, float, float, float>,
     &zaliFilterColumnPipelineGetBufferSize_32f_C1R},
    {Dt::f32, Dt::f32, 3, false, &column<zaliFilterColumnPipeline_32f_C3R, float, float, float>,
     &zaliFilterColumnPipelineGetBufferSize_32f_C3R},
    {Dt::s16, Dt::s16, 1, false, &columnDiv<zaliFilterColumnPipeline_16s_C1R, int16_t, int16_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_16s_C1R},
    {Dt::s16, Dt::s16, 3, false, &columnDiv<zaliFilterColumnPipeline_16s_C3R, int16_t, int16_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_16s_C3R},
    {Dt::s16, Dt::u8, 1, false, &columnDiv<zaliFilterColumnPipeline_16s8u_C1R, int16_t, uint8_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_16s8u_C1R},
    {Dt::s16, Dt::u8, 3, false, &columnDiv<zaliFilterColumnPipeline_16s8u_C3R, int16_t, uint8_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_16s8u_C3R},
    {Dt::s16, Dt::s8, 1, false, &columnDiv<zaliFilterColumnPipeline_16s8s_C1R, int16_t, int8_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_16s8s_C1R},
    {Dt::s16, Dt::s8, 3, false, &columnDiv<zaliFilterColumnPipeline_16s8s_C3R, int16_t, int8_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_16s8s_C3R},
    {Dt::s16, Dt::s16, 1, true, &columnDiv<zaliFilterColumnPipeline_Low_16s_C1R, int16_t, int16_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_Low_16s_C1R},
    {Dt::s16, Dt::s16, 3, true, &columnDiv<zaliFilterColumnPipeline_Low_16s_C3R, int16_t, int16_t, int16_t>,
     &zaliFilterColumnPipelineGetBufferSize_Low_16s_C3R},
};

template <class Sig, std::size_t N>
const PassMember<Sig>& pickPass(const PassMember<Sig> (&table)[N], Dt in, Dt out, int channels, bool low, const char* op) {
    for (const auto& m : table)
        if (m.in == in && m.channels == channels && m.low == low && (out == Dt::none || m.out == out)) return m;
    std::vector<std::tuple<Dt, Dt, int>> have;
    for (const auto* m = std::begin(table); m != std::end(table); ++m)
        if (m->low == low) have.emplace_back(m->in, m->out, m->channels);
    throwNoMember(op, in, out, channels, have);
}

// A one-dimensional kernel of the pass's tap type (float32 for float data,
// int16 for the integer members).
py::array kernelOf(py::handle kernel, Dt taps, const char* op) {
    py::object np = py::module_::import("numpy");
    py::array k = np.attr("asarray")(kernel).cast<py::array>();
    if (k.ndim() != 1 || k.size() < 1) throwValue(std::string(op) + ": 'kernel' must be a non-empty 1-D sequence");
    if (k.size() > INT_MAX / 4) throwValue(std::string(op) + ": 'kernel' is too long");
    py::array conv = np.attr("ascontiguousarray")(k, dtype(taps)).cast<py::array>();
    if (!np.attr("array_equal")(conv, k).cast<bool>())
        throwValue(std::string(op) + ": 'kernel' values do not fit " + dtName(taps));
    return conv;
}

py::array filterRow(py::object img, py::object kernel, py::object anchor, py::object border, py::object borderValue,
                    py::object divisor, bool low, py::object out) {
    const Image S = input(img, "img", C13);
    const auto& m = pickPass(kRow, S.dt, Dt::none, S.channels, low, "filter_row");
    const py::array k = kernelOf(kernel, S.dt == Dt::f32 ? Dt::f32 : Dt::s16, "filter_row");
    const int ks = static_cast<int>(k.size());
    const int ax = anchor.is_none() ? ks / 2 : toInt(anchor, "anchor");
    const BorderKind b = parseBorder(border);
    const int div = toInt(divisor, "divisor");
    if (S.dt == Dt::f32 && div != 1) throwValue("filter_row: 'divisor' applies to integer images only");
    // Border values in the source type, one per channel.
    std::vector<double> values(3, 0.0);
    if (isScalar(borderValue)) {
        values.assign(3, toF64(borderValue, "border_value"));
    } else {
        py::sequence seq = borderValue;
        if (py::len(seq) != static_cast<std::size_t>(S.channels))
            throwValue("filter_row: 'border_value' needs one value per channel");
        for (int c = 0; c < S.channels; ++c) values[c] = toF64(seq[c], "border_value");
    }
    alignas(8) unsigned char bv[3 * 8];
    for (int c = 0; c < 3; ++c) {
        const double v = values[c];
        if (S.dt == Dt::f32) {
            reinterpret_cast<float*>(bv)[c] = static_cast<float>(v);
            continue;
        }
        if (!(v == std::floor(v)) || std::fabs(v) > 65536.0)
            throwValue("filter_row: 'border_value' must be an integer of the image's type");
        const py::int_ iv(static_cast<long long>(v));
        if (S.dt == Dt::u8) reinterpret_cast<uint8_t*>(bv)[c] = toU8(iv, "border_value");
        else reinterpret_cast<int16_t*>(bv)[c] = toS16(iv, "border_value");
    }
    Output O(out, m.out, S.height, S.width, S.channels, "filter_row", {&S});
    const Image& D = O.image();
    std::vector<void*> rows(static_cast<std::size_t>(S.height));
    for (int y = 0; y < S.height; ++y) rows[y] = D.at(y, 0);
    auto* fn = m.fn;
    check(run([&] {
              int size = 0;
              StatusCode st = m.size(S.size(), ks, &size);
              if (st != StatusOk) return st;
              return fn(S.raw(), S.step, rows.data(), S.size(), k.data(), ks, ax, b, bv, div, workBuffer(size));
          }),
          "filter_row", {{-34, "anchor"}, {-5, "border or divisor"}});
    return O.finish();
}

py::array filterColumn(py::object rowsObj, py::object kernel, py::object divisor, py::object dtypeObj, bool low,
                       py::object out) {
    const Image S = input(rowsObj, "rows", C13);
    const Dt want = dtypeObj.is_none() ? Dt::none : parseDtype(dtypeObj, "dtype");
    const auto& m = pickPass(kColumn, S.dt, want, S.channels, low, "filter_column");
    const py::array k = kernelOf(kernel, S.dt == Dt::f32 ? Dt::f32 : Dt::s16, "filter_column");
    const int ks = static_cast<int>(k.size());
    const int div = toInt(divisor, "divisor");
    if (S.dt == Dt::f32 && div != 1) throwValue("filter_column: 'divisor' applies to integer rows only");
    if (S.height < ks)
        throwValue("filter_column: 'rows' needs at least len(kernel) rows (output height = rows - len(kernel) + 1)");
    const int outHeight = S.height - ks + 1;
    Output O(out, m.out, outHeight, S.width, S.channels, "filter_column", {&S});
    const Image& D = O.image();
    std::vector<const void*> rows(static_cast<std::size_t>(S.height));
    for (int y = 0; y < S.height; ++y) rows[y] = S.at(y, 0);
    auto* fn = m.fn;
    check(run([&] {
              int size = 0;
              StatusCode st = m.size(D.size(), ks, &size);
              if (st != StatusOk) return st;
              return fn(rows.data(), D.raw(), D.step, D.size(), k.data(), ks, div, workBuffer(size));
          }),
          "filter_column", {{-5, "divisor"}});
    return O.finish();
}

py::array sobelKernel(py::object ksize, py::object order, py::object sign, py::object dtypeObj) {
    const int n = toInt(ksize, "ksize"), dx = toInt(order, "order"), s = toInt(sign, "sign");
    const Dt dt = parseDtype(dtypeObj, "dtype");
    if (dt != Dt::f32 && dt != Dt::s16) throwType("sobel_kernel: dtype must be float32 or int16");
    if (n < 1 || n > (1 << 20)) throw StatusError{StatusSizeError, "sobel_kernel: 'ksize' must be odd and positive [status -6]"};
    py::array k(dtype(dt), std::vector<py::ssize_t>{n});
    void* p = k.mutable_data();
    check(run([&] {
              return dt == Dt::f32 ? zaliGenSobelKernel_32f(static_cast<float*>(p), n, dx, s)
                                   : zaliGenSobelKernel_16s(static_cast<int16_t*>(p), n, dx, s);
          }),
          "sobel_kernel", {{-6, "ksize or order"}});
    return k;
}

// ---- Rectangular min/max ---------------------------------------------------------------------

using MinMaxSig = StatusCode(const void*, int, void*, int, ImageSize, ImageSize, ImagePoint, uint8_t*);
using MinMaxSizeSig = StatusCode(int, ImageSize, int*);
struct MinMaxMember {
    Dt dt;
    int channels;
    MinMaxSig* fn[2];  // min, max
    MinMaxSizeSig* size[2];
};
#define ZPY_MM(T, DT, CH)                                                                                   \
    {Dt::DT, CH,                                                                                            \
     {erase<zaliFilterMinBorderReplicate_##T##_C##CH##R, MinMaxSig>(),                                     \
      erase<zaliFilterMaxBorderReplicate_##T##_C##CH##R, MinMaxSig>()},                                    \
     {&zaliFilterMinGetBufferSize_##T##_C##CH##R, &zaliFilterMaxGetBufferSize_##T##_C##CH##R}}
const MinMaxMember kMinMax[] = {ZPY_MM(8u, u8, 1), ZPY_MM(8u, u8, 3), ZPY_MM(8u, u8, 4),
                                ZPY_MM(32f, f32, 1), ZPY_MM(32f, f32, 3), ZPY_MM(32f, f32, 4)};
#undef ZPY_MM

py::array rankFilter(bool isMax, py::object img, py::object size, py::object anchor, py::object border, py::object out) {
    const char* op = isMax ? "max_filter" : "min_filter";
    const Image S = input(img, "img", C134);
    if (parseBorder(border) != BorderReplicate) throwValue(std::string(op) + ": only border='replicate' is available");
    int mh, mw;
    if (isScalar(size)) mh = mw = toInt(size, "size");
    else std::tie(mh, mw) = parsePair(size, "size");
    const ImagePoint a = anchor.is_none() ? ImagePoint{mw / 2, mh / 2} : parsePoint(anchor, "anchor");
    const MinMaxMember* m = nullptr;
    for (const auto& c : kMinMax)
        if (c.dt == S.dt && c.channels == S.channels) m = &c;
    if (!m) throwType(std::string(op) + ": dtype must be uint8 or float32");
    Output O(out, S.dt, S.height, S.width, S.channels, op, {&S});
    const Image& D = O.image();
    check(run([&] {
              int bytes = 0;
              StatusCode st = m->size[isMax](S.width, ImageSize{mw, mh}, &bytes);
              if (st != StatusOk) return st;
              return m->fn[isMax](S.raw(), S.step, D.raw(), D.step, S.size(), ImageSize{mw, mh}, a, workBuffer(bytes));
          }),
          op, {{-33, "size"}, {-34, "anchor"}});
    return O.finish();
}

}  // namespace

void bindFilter(py::module_& m) {
    const char* fixedDoc =
        "\n\nuint8 images give int16 results (exact) by default, or int8 with dtype=np.int8 (the 16-bit\n"
        "result times 1/divisor, clamped and truncated); float32 gives float32. `border` is 'constant'\n"
        "(rows and columns of `border_value`), 'replicate', 'wrap', 'reflect' (edge pixel not repeated)\n"
        "or 'reflect_edge' (edge pixel repeated), applied horizontally and vertically.";
    m.def("sobel", &sobel, py::arg("img"), py::arg("dx") = 1, py::arg("dy") = 0, py::arg("ksize") = 3, py::kw_only(),
          py::arg("border") = "replicate", py::arg("border_value") = 0, py::arg("dtype") = py::none(),
          py::arg("divisor") = 1, py::arg("out") = py::none(),
          (std::string("Sobel derivative of a one-channel image, 3x3 or 5x5 (`ksize`). (dx, dy) = (1, 0) is\n"
                       "positive where the image rises to the right, (0, 1) where it rises downward; (2, 0) and\n"
                       "(0, 2) are second derivatives; (1, 1) is the library's cross filter, which is the\n"
                       "NEGATED mixed derivative (kernel [-1 0 1; 0 0 0; 1 0 -1]).") + fixedDoc).c_str());
    m.def("scharr", &scharr, py::arg("img"), py::arg("dx") = 1, py::arg("dy") = 0, py::kw_only(),
          py::arg("border") = "replicate", py::arg("border_value") = 0, py::arg("dtype") = py::none(),
          py::arg("divisor") = 1, py::arg("out") = py::none(),
          (std::string("3x3 Scharr derivative (taps 3 10 3 across, -1 0 1 along); (1, 0) rises to the right,\n"
                       "(0, 1) downward.") + fixedDoc).c_str());
    m.def("laplacian", [](py::object img, py::object ksize, py::object border, py::object bv, py::object dt, py::object div,
                          py::object out) { return fixedFilter("laplacian", kLaplacian, img, ksize, border, bv, dt, div, out); },
          py::arg("img"), py::arg("ksize") = 3, py::kw_only(), py::arg("border") = "replicate", py::arg("border_value") = 0,
          py::arg("dtype") = py::none(), py::arg("divisor") = 1, py::arg("out") = py::none(),
          (std::string("Laplacian, 3x3 ([2 0 2; 0 -8 0; 2 0 2]) or 5x5.") + fixedDoc).c_str());
    m.def("box_filter", [](py::object img, py::object ksize, py::object border, py::object bv, py::object out) {
              return fixedFilter("box_filter", kBox, img, ksize, border, bv, py::none(), py::int_(1), out);
          },
          py::arg("img"), py::arg("ksize") = 3, py::kw_only(), py::arg("border") = "replicate", py::arg("border_value") = 0,
          py::arg("out") = py::none(),
          "Mean over a 3x3 or 5x5 box of a one-channel uint8 or float32 image (uint8: fixed-point\n"
          "(S*7280+36400)>>16 for 3x3, (S*2621)>>16 for 5x5; float32: sum times 0.11111111 or 0.04).\n"
          "Border as in `sobel`.");
    m.def("filter_row", &filterRow, py::arg("img"), py::arg("kernel"), py::arg("anchor") = py::none(), py::kw_only(),
          py::arg("border") = "replicate", py::arg("border_value") = 0, py::arg("divisor") = 1, py::arg("low") = false,
          py::arg("out") = py::none(),
          "Row pass of a separable filter: out[y, x] = sum_k kernel[k] * img[y, x + k - anchor] with the\n"
          "horizontal `border` rule (anchor defaults to len(kernel) // 2). float32 -> float32 (float taps);\n"
          "int16 -> int16 and uint8 -> int16 (int16 taps, result times 1/divisor, clamped, truncated);\n"
          "low=True: int16 with the wrapping fixed-point reciprocal. 1 or 3 channels.");
    m.def("filter_column", &filterColumn, py::arg("rows"), py::arg("kernel"), py::kw_only(), py::arg("divisor") = 1,
          py::arg("dtype") = py::none(), py::arg("low") = false, py::arg("out") = py::none(),
          "Column pass of a separable filter: out[y] = sum_k kernel[k] * rows[y + k], so the result has\n"
          "len(rows) - len(kernel) + 1 rows (the caller supplies the vertical border rows). float32 ->\n"
          "float32; int16 -> int16 (default), uint8 or int8 (result times 1/divisor, clamped, truncated);\n"
          "low=True: int16, wrapping. 1 or 3 channels.");
    m.def("sobel_kernel", &sobelKernel, py::arg("ksize"), py::arg("order"), py::arg("sign") = 1,
          py::arg("dtype") = "float32",
          "The Sobel-type 1-D kernel of odd length `ksize` and derivative order `order`: coefficients of\n"
          "(1+z)**(ksize-1-order) * (z-1)**order, negated when sign < 0 (float32 or int16).");
    m.def("min_filter", [](py::object img, py::object size, py::object anchor, py::object border, py::object out) {
              return rankFilter(false, img, size, anchor, border, out);
          },
          py::arg("img"), py::arg("size"), py::arg("anchor") = py::none(), py::kw_only(), py::arg("border") = "replicate",
          py::arg("out") = py::none(),
          "Minimum over a rectangle of `size` (rows, cols) or an int, placed with `anchor` (x, y; default\n"
          "the centre) on each pixel; pixels beyond the image repeat the edge. uint8 or float32, 1, 3 or 4\n"
          "channels (each filtered on its own).");
    m.def("max_filter", [](py::object img, py::object size, py::object anchor, py::object border, py::object out) {
              return rankFilter(true, img, size, anchor, border, out);
          },
          py::arg("img"), py::arg("size"), py::arg("anchor") = py::none(), py::kw_only(), py::arg("border") = "replicate",
          py::arg("out") = py::none(), "Maximum over a rectangle; as `min_filter`.");
}

}  // namespace zpy
