#include "model/float_image.h"

#include <cmath>
#include <cstddef>

#include "model/pixel_traits.h"

namespace prismora {

namespace {

// Greater than 1 gives 1, else below 0 gives 0; a NaN passes through unchanged.
float ClampUnit(float v)
{
    if (v > 1.0f) {
        return 1.0f;
    }
    if (v < 0.0f) {
        return 0.0f;
    }
    return v;
}

// Rounds half up into the channel's integer range by truncating value * scale + 0.5.
// The hardware turns a NaN into the integer-indefinite value, whose low bits are 0;
// converting a NaN is undefined in C++, so that 0 is produced explicitly.
template <uint32_t kMask> uint32_t PackChannel(float value, float scale)
{
    const float clamped = ClampUnit(value);
    if (std::isnan(clamped)) {
        return 0u;
    }
    const float scaled = clamped * scale + 0.5f;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & kMask;
}

// The four channels in bit fields of kBits each: alpha lowest, then red, green, blue.
template <typename Word, unsigned kBits> Word PackChannels(const FloatPixel &pixel, float scale)
{
    constexpr uint32_t kMask = (1u << kBits) - 1u;
    const Word alpha = PackChannel<kMask>(pixel.alpha, scale);
    const Word red = PackChannel<kMask>(pixel.red, scale);
    const Word green = PackChannel<kMask>(pixel.green, scale);
    const Word blue = PackChannel<kMask>(pixel.blue, scale);
    return alpha | (red << kBits) | (green << (2 * kBits)) | (blue << (3 * kBits));
}

} // namespace

template <typename Pixel> FloatImage ToFloatImage(const PF_EffectWorld &world)
{
    FloatImage image;
    if (world.data == nullptr || world.width < 1 || world.height < 1) {
        return image;
    }
    const std::size_t width = static_cast<std::size_t>(world.width);
    const std::size_t height = static_cast<std::size_t>(world.height);
    image.pixels.resize(width * height);
    image.width = world.width;
    image.height = world.height;

    for (A_long y = 0; y < world.height; ++y) {
        FloatPixel *row = image.pixels.data() + static_cast<std::size_t>(y) * width;
        for (A_long x = 0; x < world.width; ++x) {
            row[x] = ToFloatPixel(*WorldPixelAt<Pixel>(world, x, y));
        }
    }
    return image;
}

uint32_t PackPixel8(const FloatPixel &pixel)
{
    return PackChannels<uint32_t, 8>(pixel, 255.0f);
}

uint64_t PackPixel16(const FloatPixel &pixel)
{
    return PackChannels<uint64_t, 16>(pixel, 32768.0f);
}

FloatPixel ClampPixelFloat(const FloatPixel &pixel)
{
    // Colour has no upper bound in float output, so highlights above 1 survive;
    // written as a comparison so that a NaN colour becomes 0.
    const auto non_negative = [](float v) { return v > 0.0f ? v : 0.0f; };
    return {ClampUnit(pixel.alpha), non_negative(pixel.red), non_negative(pixel.green),
            non_negative(pixel.blue)};
}

template <typename Pixel> float WorldAlphaAt(const PF_EffectWorld &world, A_long x, A_long y)
{
    if (world.data == nullptr || x < 0 || y < 0 || x >= world.width || y >= world.height) {
        return 0.0f;
    }
    return ClampUnit(PixelTraits<Pixel>::ToFloat(WorldPixelAt<Pixel>(world, x, y)->alpha));
}

template FloatImage ToFloatImage<PF_Pixel8>(const PF_EffectWorld &);
template FloatImage ToFloatImage<PF_Pixel16>(const PF_EffectWorld &);
template FloatImage ToFloatImage<PF_PixelFloat>(const PF_EffectWorld &);

template float WorldAlphaAt<PF_Pixel8>(const PF_EffectWorld &, A_long, A_long);
template float WorldAlphaAt<PF_Pixel16>(const PF_EffectWorld &, A_long, A_long);
template float WorldAlphaAt<PF_PixelFloat>(const PF_EffectWorld &, A_long, A_long);

} // namespace prismora
