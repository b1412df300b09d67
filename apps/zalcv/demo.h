// The demo's scene, its PNG output and the stage registry. A subsystem adds
// its stages in its own stages_<folder>.cpp:
//
//     ZALCV_DEMO_STAGE(filter, sobel, "Sobel horizontal 3x3 on the gray scene") {
//         ...call the library on scene.gray...;
//         out.writeGray(...);
//         return status;  // StatusOk or a warning
//     }
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zalcv.h"

namespace demo {

// An interleaved image that owns its pixels; step in bytes.
template <class T>
struct Picture {
    int width = 0, height = 0, channels = 1;
    std::vector<T> pixels;

    Picture() = default;
    Picture(int w, int h, int c) : width(w), height(h), channels(c), pixels(static_cast<std::size_t>(w) * h * c) {}
    int step() const { return width * channels * static_cast<int>(sizeof(T)); }
    ImageSize roi() const { return ImageSize{width, height}; }
    T* data() { return pixels.data(); }
    const T* data() const { return pixels.data(); }
    T& at(int x, int y, int c = 0) { return pixels[(static_cast<std::size_t>(y) * width + x) * channels + c]; }
    T at(int x, int y, int c = 0) const { return pixels[(static_cast<std::size_t>(y) * width + x) * channels + c]; }
};

// The deterministic default scene: shapes, gradients, texture and mild noise.
struct Scene {
    Picture<uint8_t> gray;      // one channel
    Picture<uint8_t> color;     // three channels
    Picture<float> grayF;       // gray as 32f, 0..255
    Picture<uint8_t> moved;     // gray with the shapes shifted by (8, 5): a second frame
    Picture<uint8_t> mask;      // 255 inside a central ellipse, 0 elsewhere
};
Scene makeScene(int width, int height);

// Writes PNG files into the output folder and remembers their names.
class Output {
public:
    explicit Output(std::string folder) : folder_(std::move(folder)) {}
    // 8-bit data with 1 or 3 channels.
    bool write(const std::string& name, const uint8_t* data, int step, int width, int height, int channels);
    bool write(const std::string& name, const Picture<uint8_t>& p) { return write(name, p.data(), p.step(), p.width, p.height, p.channels); }
    // Float data mapped linearly from [lo, hi] to 0..255 (clamped).
    bool writeScaled(const std::string& name, const float* data, int step, int width, int height, float lo, float hi);
    const std::vector<std::string>& written() const { return written_; }

private:
    std::string folder_;
    std::vector<std::string> written_;
};

using StageFn = StatusCode (*)(const Scene&, Output&);

struct StageRegistrar {
    StageRegistrar(const char* folder, const char* name, const char* title, StageFn fn);
};

struct Stage {
    std::string folder, name, title;
    StageFn fn;
    int sequence;
};
std::vector<Stage> registeredStages();  // in subsystem order, then registration order

}  // namespace demo

#define ZALCV_DEMO_STAGE(folder, name, title)                                                     \
    static StatusCode demoStage_##folder##_##name(const demo::Scene& scene, demo::Output& out);    \
    static const demo::StageRegistrar demoRegistrar_##folder##_##name(#folder, #name, title,       \
                                                                      demoStage_##folder##_##name); \
    static StatusCode demoStage_##folder##_##name([[maybe_unused]] const demo::Scene& scene,       \
                                                  [[maybe_unused]] demo::Output& out)
