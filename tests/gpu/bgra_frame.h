// Host-side BGRA128 frames (four floats per pixel, blue first, with a pitch in
// pixels) as the GPU kernels see them, and conversions from the CPU's types.
#pragma once

#include <cmath>
#include <vector>

#include "cpu/float_image.h"
#include "gpu/prismora_params.h"
#include "host/effect_settings.h"

namespace prismora::test {

class BgraFrame {
public:
    // Padding pixels at the end of each row make the pitch differ from the width.
    BgraFrame(int width, int height, int row_padding = 0, float fill = 0.0f)
        : width_(width), height_(height), pitch_(width + row_padding),
          data_(static_cast<size_t>(pitch_) * static_cast<size_t>(height) * 4, fill)
    {
    }

    int width() const { return width_; }
    int height() const { return height_; }
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
    int width_;
    int height_;
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

// The block the GPU render fills for a frame, from the same settings the CPU uses.
inline TPCudaPrismoraParams ParamsFor(const EffectSettings &s, int width, int height, bool blur_enabled)
{
    TPCudaPrismoraParams p = DefaultPrismoraParams();
    p.src_pitch = p.dst_pitch = p.half_blur_pitch = p.full_blur_pitch = width;
    p.out_width = p.src_width = width;
    p.out_height = p.src_height = height;
    p.center_x = s.center_x;
    p.center_y = s.center_y;
    p.glass_width = s.glass_width;
    p.glass_height = s.glass_height;
    p.corner_radius = s.corner_radius;
    p.amount = s.amount;
    p.opacity = s.opacity;
    p.distortion_scale = s.distortion_scale;
    p.edge_range = s.edge_range;
    p.edge_visibility = s.edge_visibility;
    p.blur_radius = s.blur_intensity * 0.1f;
    p.chromatic_shift = s.chromatic_shift;
    p.chromatic_range = s.chromatic_range;
    p.tint_multiplier = s.tint_multiplier;
    p.color_amount = s.color_amount;
    p.glass_color_r = s.glass_color[1];
    p.glass_color_g = s.glass_color[2];
    p.glass_color_b = s.glass_color[3];
    p.clamp_edges = s.clamp_edges ? 1 : 0;
    p.blur_enabled = blur_enabled ? 1 : 0;
    p.matte_mode = s.glass_mode == 2 ? 1 : 0;
    p.debug_view = s.debug_view;
    return p;
}

} // namespace prismora::test
