// The pixel formats of host worlds. The host knows every world's format and
// answers PF_GetPixelFormat from it.
#pragma once

#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"

namespace prismora::hostsim {

enum class PixelFormat {
    kArgb32,    // 8 bits per channel: alpha, red, green, blue bytes
    kArgb64,    // 16 bits per channel, white at 32768
    kArgb128,   // 32-bit float per channel
    kGpuBgra128 // device frames: blue, green, red, alpha floats, data NULL (GPU frames, not yet hosted)
};

int BytesPerPixel(PixelFormat format);
int BitDepth(PixelFormat format); // 8, 16 or 32
// The CPU format of a frame's bit depth; throws HostError for anything but 8, 16, 32.
PixelFormat FormatForDepth(int bit_depth);
PF_PixelFormat SdkPixelFormat(PixelFormat format);
const char *FormatName(PixelFormat format);

} // namespace prismora::hostsim
