// Host-side BGRA128 frames (four floats per pixel, blue first, with a pitch in
// pixels) as the GPU kernels see them, and conversions from the CPU's types.
#pragma once

#include <cmath>
#include <vector>

#include "gpu/smart_render_gpu.h"
#include "model/float_image.h"

namespace prismora::test {

class BgraFrame {
public:
    // Padding pixels at the end of each row make the pitch differ from the width.
    BgraFrame(int width, int height, int row_padding = 0, float fill = 0.0f)
        : pitch_(width + row_padding),
          data_(static_cast<size_t>(pitch_) * static_cast<size_t>(height) * 4, fill)
    {
    }

    int pitch() const { return pitch_; }
    float *data() { return data_.data(); }
    const float *data() const { return data_.data(); }
    const std::vector<float> &floats() const { return data_; }
    size_t bytes() const { return data_.size() * sizeof(float); }

    float *At(int x, int y) { return &data_[(static_cast<size_t>(y) * pitch_ + x) * 4]; }
    const float *At(int x, int y) const { return &data_[(static_cast<size_t>(y) * pitch_ + x) * 4]; }

    // FloatPixel is alpha, red, green, blue; the frame stores blue, green, red, alpha.
    void Set(int x, int y, const FloatPixel &p)
    {
        float *q = At(x, y);
        q[0] = p.blue;
        q[1] = p.green;
        q[2] = p.red;
        q[3] = p.alpha;
    }
    FloatPixel Get(int x, int y) const
    {
        const float *q = At(x, y);
        return {q[3], q[2], q[1], q[0]};
    }

    static BgraFrame FromImage(const FloatImage &image, int row_padding = 0)
    {
        BgraFrame frame(image.width, image.height, row_padding);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                frame.Set(x, y, image.pixels[static_cast<size_t>(y) * image.width + x]);
            }
        }
        return frame;
    }

private:
    int pitch_;
    std::vector<float> data_;
};

// A deterministic, non-trivial image: smooth gradients plus a hashed texture,
// with colour values a little outside 0..1 as float input may carry.
inline FloatImage PatternImage(int width, int height, unsigned seed = 1)
{
    FloatImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    unsigned state = seed * 2654435761u + 12345u;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            FloatPixel &p = image.pixels[static_cast<size_t>(y) * width + x];
            p.alpha = 0.6f + 0.4f * next();
            p.red = static_cast<float>(x) / static_cast<float>(width) * 1.1f + 0.1f * next();
            p.green = static_cast<float>(y) / static_cast<float>(height) + 0.2f * next() - 0.05f;
            p.blue = 0.5f + 0.5f * std::sin(0.3f * static_cast<float>(x + 2 * y)) * next();
        }
    }
    return image;
}

// The block the GPU render fills for a width x height frame at (0, 0) with
// tightly packed rows, from the same settings the CPU uses; no matte fields.
inline TPCudaPrismoraParams ParamsFor(const EffectSettings &s, int width, int height, bool blur_enabled)
{
    PreRenderData frame;
    frame.settings = s;
    PF_EffectWorld world{};
    world.width = width;
    world.height = height;
    world.rowbytes = width * 16;
    GpuFrameWorlds worlds;
    worlds.input = worlds.output = &world;
    return FillPrismoraParams(frame, worlds, blur_enabled);
}

} // namespace prismora::test
