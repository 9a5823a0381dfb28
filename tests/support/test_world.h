// Host worlds for tests: any depth, size, row padding, origin, and bottom-up
// (negative rowbytes) layout. The world owns its pixels.
#pragma once

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "AE_Effect.h"
#include "model/effect_settings.h"
#include "model/float_image.h"
#include "model/matte_field.h"
#include "model/pixel_traits.h"

namespace prismora::test {

struct WorldLayout {
    A_long padding_bytes = 0; // extra bytes at the end of every row
    A_long origin_x = 0;
    A_long origin_y = 0;
    bool bottom_up = false; // rows stored last-first, rowbytes negative
};

template <typename Pixel> class TestWorld {
public:
    TestWorld(A_long width, A_long height, WorldLayout layout = {})
    {
        const A_long stride = width * static_cast<A_long>(sizeof(Pixel)) + layout.padding_bytes;
        // A guard row before and after catches reads outside the world.
        storage_.assign(static_cast<size_t>(stride) * static_cast<size_t>(height + 2) + 16, 0xCD);
        std::memset(&world_, 0, sizeof(world_));
        char *first_row = storage_.data() + stride;
        if (layout.bottom_up && height > 0) {
            first_row += static_cast<size_t>(stride) * static_cast<size_t>(height - 1);
        }
        world_.data = reinterpret_cast<PF_PixelPtr>(first_row);
        world_.rowbytes = layout.bottom_up ? -stride : stride;
        world_.width = width;
        world_.height = height;
        world_.origin_x = layout.origin_x;
        world_.origin_y = layout.origin_y;
        world_.pix_aspect_ratio = {1, 1};
        world_.world_flags = PF_WorldFlag_WRITEABLE | (sizeof(Pixel) == 8 ? PF_WorldFlag_DEEP : 0);
        Fill(FloatPixel{});
    }

    TestWorld(const TestWorld &) = delete;
    TestWorld &operator=(const TestWorld &) = delete;

    PF_EffectWorld &world() { return world_; }
    const PF_EffectWorld &world() const { return world_; }
    A_long width() const { return world_.width; }
    A_long height() const { return world_.height; }

    Pixel &At(A_long x, A_long y) { return *WorldPixelAt<Pixel>(world_, x, y); }
    const Pixel &At(A_long x, A_long y) const { return *WorldPixelAt<Pixel>(world_, x, y); }

    // Stores a float pixel, rounded half up into 8 and 16 bits (no clamping of floats).
    void SetFloat(A_long x, A_long y, const FloatPixel &p)
    {
        Pixel &dst = At(x, y);
        dst.alpha = FromFloat(p.alpha);
        dst.red = FromFloat(p.red);
        dst.green = FromFloat(p.green);
        dst.blue = FromFloat(p.blue);
    }

    FloatPixel GetFloat(A_long x, A_long y) const
    {
        const Pixel &p = At(x, y);
        return {PixelTraits<Pixel>::ToFloat(p.alpha), PixelTraits<Pixel>::ToFloat(p.red),
                PixelTraits<Pixel>::ToFloat(p.green), PixelTraits<Pixel>::ToFloat(p.blue)};
    }

    void Fill(const FloatPixel &p)
    {
        for (A_long y = 0; y < world_.height; ++y) {
            for (A_long x = 0; x < world_.width; ++x) {
                SetFloat(x, y, p);
            }
        }
    }

private:
    static auto FromFloat(float v)
    {
        if constexpr (sizeof(Pixel) == 16) {
            return v;
        } else {
            const float c = v > 1.0f ? 1.0f : (v < 0.0f ? 0.0f : v);
            return static_cast<decltype(Pixel{}.alpha)>(
                static_cast<int>(c * (sizeof(Pixel) == 4 ? 255.0f : 32768.0f) + 0.5f));
        }
    }

    std::vector<char> storage_;
    PF_EffectWorld world_;
};

using PixelTypes = ::testing::Types<PF_Pixel8, PF_Pixel16, PF_PixelFloat>;

// The default panel, centred on (500, 300) of a 1000 x 600 layer.
inline EffectSettings PanelSettings()
{
    EffectSettings settings;
    settings.center_x = 500.0f;
    settings.center_y = 300.0f;
    return settings;
}

// A float image of the given size with every pixel p.
inline FloatImage UniformImage(A_long width, A_long height, const FloatPixel &p)
{
    FloatImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), p);
    return image;
}

// A valid matte field whose box is its whole grid: every cell at `distance`, alpha 1.
inline MatteField BoxMatte(A_long grid_x, A_long grid_y, A_long width, A_long height, float distance)
{
    MatteField m;
    m.valid = true;
    m.width = static_cast<float>(width);
    m.height = static_cast<float>(height);
    m.center_x = static_cast<float>(grid_x) + m.width * 0.5f;
    m.center_y = static_cast<float>(grid_y) + m.height * 0.5f;
    m.grid_x = grid_x;
    m.grid_y = grid_y;
    m.grid_width = width;
    m.grid_height = height;
    m.distance.assign(static_cast<size_t>(width) * static_cast<size_t>(height), distance);
    m.alpha.assign(m.distance.size(), 1.0f);
    return m;
}

// Every bit of both pixels equal (tells -0 from +0 and compares NaNs).
inline bool SameBits(const FloatPixel &a, const FloatPixel &b)
{
    return std::memcmp(&a, &b, sizeof(FloatPixel)) == 0;
}

} // namespace prismora::test
