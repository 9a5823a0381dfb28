// A host-owned image: the pixels and the PF_EffectWorld record that describes
// them to the effect. Worlds are movable, never copied by accident (Clone).
// Coordinates given to Get/Set are the world's own (column, row); rectangles
// are in layer coordinates, that is the world's origin plus column and row.
#pragma once

#include <cstddef>
#include <memory>

#include "AE_Effect.h"
#include "hostsim/pixel_format.h"

namespace prismora::hostsim {

// One pixel as floats in the host's channel order. 8-bit channels read as
// value / 255, 16-bit as value / 32768, float as stored.
struct FloatArgb {
    float alpha = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    bool operator==(const FloatArgb &) const = default;
};

struct WorldLayout {
    A_long row_padding_bytes = 0; // bytes after every row's pixels (filled with 0xCD)
    A_long origin_x = 0;
    A_long origin_y = 0;
    // Rows stored last first, as After Effects may hand them: data points at
    // row 0 (the last in memory) and rowbytes is negative.
    bool bottom_up = false;

    WorldLayout At(A_long x, A_long y) const { return {row_padding_bytes, x, y, bottom_up}; }
};

PF_LRect Intersect(const PF_LRect &a, const PF_LRect &b);
bool IsEmptyRect(const PF_LRect &r);

class World {
public:
    World(); // 0 x 0, 8-bit, no data
    // Transparent black pixels. A width or height of 0 gives a world with no data.
    World(A_long width, A_long height, PixelFormat format, WorldLayout layout = {});
    World(World &&) noexcept = default;
    World &operator=(World &&) noexcept = default;
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    PixelFormat format() const { return format_; }
    A_long width() const { return pf_.width; }
    A_long height() const { return pf_.height; }
    A_long origin_x() const { return pf_.origin_x; }
    A_long origin_y() const { return pf_.origin_y; }
    bool empty() const { return pf_.data == nullptr; }
    PF_LRect LayerRect() const;

    // The record the effect sees; its data points into this world.
    PF_EffectWorld &pf() { return pf_; }
    const PF_EffectWorld &pf() const { return pf_; }

    std::byte *PixelBytes(A_long x, A_long y);
    const std::byte *PixelBytes(A_long x, A_long y) const;
    template <typename Pixel> Pixel &At(A_long x, A_long y)
    {
        return *reinterpret_cast<Pixel *>(PixelBytes(x, y));
    }
    template <typename Pixel> const Pixel &At(A_long x, A_long y) const
    {
        return *reinterpret_cast<const Pixel *>(PixelBytes(x, y));
    }

    FloatArgb Get(A_long x, A_long y) const;
    // 8 and 16 bits: clamped to 0..1 and rounded half up (NaN gives 0); float as given.
    void Set(A_long x, A_long y, const FloatArgb &p);

    World Clone(WorldLayout layout) const; // same pixels and format, new layout
    World Clone() const;
    // A new world holding rect (layer coordinates, inside this world) with its
    // origin at rect's top-left and its rows laid out as rows says.
    World Crop(const PF_LRect &rect, const WorldLayout &rows = {}) const;
    // Copies src's pixels where the two overlap in layer coordinates; same format.
    void Paste(const World &src);

    bool SamePixels(const World &other) const; // same format, size and pixel bytes

private:
    enum class Fill { kClear, kNone };
    // kNone leaves the pixels unwritten for a caller that overwrites them all.
    World(A_long width, A_long height, PixelFormat format, WorldLayout layout, Fill fill);
    const std::byte *Row(A_long y) const; // row y's first byte, whichever way rows run

    PixelFormat format_ = PixelFormat::kArgb32;
    std::unique_ptr<std::byte[]> storage_;
    PF_EffectWorld pf_{};
};

} // namespace prismora::hostsim
