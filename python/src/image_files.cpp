// zalcv.io: image files read and written by the command-line program's own
// codecs (PNG 8/16-bit, JPEG, PGM/PPM, TIFF, .npy), so that a Python pipeline
// and the program read and write the same files the same way. Writes go
// through a temporary file in the output's folder that is renamed over the
// output only when complete. File and format problems raise
// zalcv.ImageFileError (an OSError) with the program's message.
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli.h"
#include "common.h"

namespace zpy {
namespace {

PyObject* g_fileError = nullptr;

py::dtype dtypeOfDepth(cli::Depth d) {
    switch (d) {
        case cli::Depth::U8: return dtype(Dt::u8);
        case cli::Depth::S8: return dtype(Dt::s8);
        case cli::Depth::U16: return dtype(Dt::u16);
        case cli::Depth::S16: return dtype(Dt::s16);
        case cli::Depth::S32: return dtype(Dt::s32);
        case cli::Depth::F32: return dtype(Dt::f32);
        case cli::Depth::F64: return dtype(Dt::f64);
    }
    return dtype(Dt::u8);
}

cli::Depth depthOfDt(Dt dt) {
    switch (dt) {
        case Dt::u8: return cli::Depth::U8;
        case Dt::s8: return cli::Depth::S8;
        case Dt::u16: return cli::Depth::U16;
        case Dt::s16: return cli::Depth::S16;
        case Dt::s32: return cli::Depth::S32;
        case Dt::f32: return cli::Depth::F32;
        case Dt::f64: return cli::Depth::F64;
        case Dt::none: break;
    }
    throwType("zalcv.io.write: dtype must be uint8, int8, uint16, int16, int32, float32 or float64 (or bool)");
}

std::string pathText(py::handle path) { return py::str(py::module_::import("os").attr("fspath")(path)); }

// The decoded pixels become the array's buffer without a copy: the vector
// moves into a heap object that a capsule frees with the array.
py::array read(py::handle pathObj) {
    const std::string path = pathText(pathObj);
    auto image = std::make_unique<cli::Image>();
    {
        NoGil released;
        *image = cli::readImage(path);
    }
    std::vector<py::ssize_t> shape = {image->height, image->width};
    if (image->channels > 1) shape.push_back(image->channels);
    const py::dtype dt = dtypeOfDepth(image->depth);
    const py::ssize_t item = static_cast<py::ssize_t>(cli::depthBytes(image->depth));
    std::vector<py::ssize_t> strides = {static_cast<py::ssize_t>(image->step()), image->channels * item};
    if (image->channels > 1) strides.push_back(item);
    void* data = image->bytes.data();
    py::capsule owner(image.get(), [](void* p) { delete static_cast<cli::Image*>(p); });
    image.release();
    return py::array(dt, shape, strides, data, owner);
}

void write(py::handle pathObj, py::handle arrayObj, bool normalize, int jpegQuality) {
    const std::string path = pathText(pathObj);
    py::array a = py::array::ensure(arrayObj);
    if (!a) throwType("zalcv.io.write: 'image' must be an array");
    if (a.dtype().kind() == 'b') a = py::array(a.attr("astype")("uint8"));
    const Dt dt = dtOf(a.dtype());
    const cli::Depth depth = depthOfDt(dt);
    if (a.ndim() != 2 && a.ndim() != 3) throwValue("zalcv.io.write: 'image' must be (H, W) or (H, W, C)");
    const py::ssize_t h = a.shape(0), w = a.shape(1), c = a.ndim() == 3 ? a.shape(2) : 1;
    if (c < 1 || c > 4) throwValue("zalcv.io.write: an image has 1 to 4 channels, not " + std::to_string(c));
    if (h < 1 || w < 1 || h > cli::kMaxSide || w > cli::kMaxSide)
        throwValue("zalcv.io.write: image size " + std::to_string(w) + "x" + std::to_string(h) +
                   " is outside 1.." + std::to_string(cli::kMaxSide) + " per side");
    if (jpegQuality < 1 || jpegQuality > 100) throwValue("zalcv.io.write: 'jpeg_quality' must be 1..100");
    // The codecs take tightly packed rows.
    a = py::array::ensure(a, py::array::c_style | py::array::forcecast);
    cli::WriteOptions options;
    options.normalize = normalize;
    options.jpegQuality = jpegQuality;
    NoGil released;
    cli::Image image(static_cast<int>(w), static_cast<int>(h), static_cast<int>(c), depth);
    std::memcpy(image.bytes.data(), a.data(), image.bytes.size());
    cli::writeImage(image, path, options);
}

}  // namespace

void bindImageFiles(py::module_& m) {
    // Private: zalcv.io (python/zalcv/io.py) is the documented face of these functions.
    py::module_ io = m.def_submodule("_io", "Image files read and written by the zalcv program's codecs.");
    g_fileError = py::object(py::module_::import("zalcv._errors").attr("ImageFileError")).release().ptr();
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const cli::Error& e) {
            PyErr_SetString(g_fileError, e.what());
        }
    });
    io.def("read", &read, py::arg("path"),
           "The image in a PNG (8/16-bit), JPEG, PGM/PPM, TIFF or .npy file, recognised by its first bytes:\n"
           "an (H, W) array for one channel, (H, W, C) for more (gray+alpha, RGB, RGBA).");
    io.def("write", &write, py::arg("path"), py::arg("image"), py::kw_only(), py::arg("normalize") = false,
           py::arg("jpeg_quality") = 95,
           "Writes an (H, W) or (H, W, C) array in the format the extension names (.png .jpg .jpeg .pgm .ppm\n"
           ".pnm .tif .tiff .npy), through a temporary file renamed over `path` when complete. A format that\n"
           "cannot hold the array raises ImageFileError naming the way out; normalize=True stretches the\n"
           "values to 0..255 and writes 8 bits.");
}

}  // namespace zpy
