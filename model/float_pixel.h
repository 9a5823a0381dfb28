// One pixel as floats, the glass model's colour value on both renderers.
#pragma once

namespace prismora {

// Same layout as the host's PF_PixelFloat: alpha, red, green, blue.
struct FloatPixel {
    float alpha = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

} // namespace prismora
