// One pixel as floats, the glass model's colour value on both renderers.
#pragma once

#include "model/host_device.h"

namespace prismora {

// Same layout as the host's PF_PixelFloat: alpha, red, green, blue.
struct FloatPixel {
    float alpha = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

// The colour channels a refracted read takes one at a time.
enum class ColorChannel { kRed, kGreen, kBlue };

// That channel of a FloatPixel or a host pixel of any depth.
template <typename Pixel> PRISMORA_HD inline auto ChannelOf(const Pixel &p, ColorChannel channel)
{
    return channel == ColorChannel::kRed ? p.red : (channel == ColorChannel::kGreen ? p.green : p.blue);
}

} // namespace prismora
