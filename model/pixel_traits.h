// What differs between the host's three pixel depths: the channel type and the
// scale to and from float. Everything per-pixel is one template over the host
// pixel type (PF_Pixel8, PF_Pixel16, PF_PixelFloat) using these traits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "AE_Effect.h"
#include "model/float_image.h"

namespace prismora {

template <typename Pixel> struct PixelTraits;

namespace detail {

// v / 255 for every byte, divided once at compile time (the division is
// correctly rounded there as at run time): a division per channel would
// dominate every 8-bit read.
constexpr std::array<float, 256> UnitFrom8Table()
{
    std::array<float, 256> table{};
    for (int v = 0; v < 256; ++v) {
        table[static_cast<std::size_t>(v)] = static_cast<float>(v) / 255.0f;
    }
    return table;
}
inline constexpr std::array<float, 256> kUnitFrom8 = UnitFrom8Table();

} // namespace detail

template <> struct PixelTraits<PF_Pixel8> {
    static float ToFloat(A_u_char v) { return detail::kUnitFrom8[v]; }
};

template <> struct PixelTraits<PF_Pixel16> {
    // White is 32768, so the scale is exactly 2^-15.
    static float ToFloat(A_u_short v) { return static_cast<float>(v) * 0.000030517578125f; }
};

template <> struct PixelTraits<PF_PixelFloat> {
    static float ToFloat(PF_FpShort v) { return v; }
};

// A host pixel as floats, each channel through its depth's scale.
template <typename Pixel> inline FloatPixel ToFloatPixel(const Pixel &p)
{
    using Traits = PixelTraits<Pixel>;
    return {Traits::ToFloat(p.alpha), Traits::ToFloat(p.red), Traits::ToFloat(p.green),
            Traits::ToFloat(p.blue)};
}

// Pixel (x, y) of a world; rowbytes is signed, so padded and bottom-up worlds work.
template <typename Pixel> inline const Pixel *WorldPixelAt(const PF_EffectWorld &world, A_long x, A_long y)
{
    const char *base = reinterpret_cast<const char *>(world.data);
    return reinterpret_cast<const Pixel *>(base + static_cast<std::ptrdiff_t>(y) * world.rowbytes +
                                           static_cast<std::ptrdiff_t>(x) *
                                               static_cast<std::ptrdiff_t>(sizeof(Pixel)));
}

template <typename Pixel> inline Pixel *WorldPixelAt(PF_EffectWorld &world, A_long x, A_long y)
{
    return const_cast<Pixel *>(WorldPixelAt<Pixel>(static_cast<const PF_EffectWorld &>(world), x, y));
}

// Alpha of world pixel (x, y) (world indices, not layer coordinates), 0 to 1;
// 0 outside the world or for a world without data.
template <typename Pixel> inline float WorldAlphaAt(const PF_EffectWorld &world, A_long x, A_long y)
{
    if (world.data == nullptr || x < 0 || y < 0 || x >= world.width || y >= world.height) {
        return 0.0f;
    }
    return ClampUnit(PixelTraits<Pixel>::ToFloat(WorldPixelAt<Pixel>(world, x, y)->alpha));
}

} // namespace prismora
