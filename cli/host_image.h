// An image in the host's own layout: rows of PF_Pixel8, PF_Pixel16 or
// PF_PixelFloat (alpha, red, green, blue), tightly packed, origin (0, 0).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "AE_Effect.h"

namespace prismora::cli {

// The host's 16-bit white: 16-bit worlds run from 0 to 32768.
inline constexpr uint16_t kHostWhite16 = 32768;

// A 16-bit file value (0..65535) as the host's 16-bit value, and back.
uint16_t FileToHost16(uint16_t v);
uint16_t HostToFile16(uint16_t a);

class HostImage {
public:
    HostImage() = default;
    // A zero-filled (transparent black) image; depth is 8, 16 or 32.
    HostImage(int32_t width, int32_t height, int depth);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int depth() const { return depth_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    size_t pixel_bytes() const { return PixelBytes(depth_); }
    static size_t PixelBytes(int depth); // 4, 8 or 16
    size_t row_bytes() const { return pixel_bytes() * static_cast<size_t>(width_); }
    uint8_t *data() { return bytes_.data(); }
    const uint8_t *data() const { return bytes_.data(); }

    template <typename Pixel> Pixel &at(int32_t x, int32_t y)
    {
        return reinterpret_cast<Pixel *>(bytes_.data() + row_bytes() * static_cast<size_t>(y))[x];
    }
    template <typename Pixel> const Pixel &at(int32_t x, int32_t y) const
    {
        return reinterpret_cast<const Pixel *>(bytes_.data() + row_bytes() * static_cast<size_t>(y))[x];
    }

    // Alpha, red, green, blue scaled to 0..1 (float pixels as they are).
    std::array<float, 4> normalized(int32_t x, int32_t y) const;
    // Stores 0..1 values at the image's depth, rounded half up as the host's
    // worlds store them (hostsim/pixel_format.h).
    void set_normalized(int32_t x, int32_t y, const std::array<float, 4> &argb);

    bool operator==(const HostImage &other) const = default;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    int depth_ = 8;
    std::vector<uint8_t> bytes_;
};

// The same picture at another depth, through 0..1 floats (a copy when the
// depth is already right).
HostImage ConvertDepth(const HostImage &image, int depth);

} // namespace prismora::cli
