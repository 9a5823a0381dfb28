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
    kGpuBgra128 // device frames: blue, green, red, alpha floats, data NULL (GpuWorld, never a World)
};

int BytesPerPixel(PixelFormat format);
int BitDepth(PixelFormat format); // 8, 16 or 32
// The CPU format of a frame's bit depth; throws HostError for anything but 8, 16, 32.
PixelFormat FormatForDepth(int bit_depth);
PF_PixelFormat SdkPixelFormat(PixelFormat format);
const char *FormatName(PixelFormat format);

// One 8- or 16-bit channel as 0..1 (value / 255, value / 32768), and back:
// clamped to 0..1 (NaN to 0), scaled, plus 0.5 and truncated, which rounds
// half up as the effect packs its own pixels.
inline float UnitFrom8(A_u_char v)
{
    return static_cast<float>(v) / 255.0f;
}
inline float UnitFrom16(A_u_short v)
{
    return static_cast<float>(v) / 32768.0f;
}
template <typename Channel> Channel UnitToChannel(float v, float white)
{
    if (!(v > 0.0f)) {
        return 0;
    }
    return static_cast<Channel>(static_cast<int>((v > 1.0f ? 1.0f : v) * white + 0.5f));
}
inline A_u_char UnitTo8(float v)
{
    return UnitToChannel<A_u_char>(v, 255.0f);
}
inline A_u_short UnitTo16(float v)
{
    return UnitToChannel<A_u_short>(v, 32768.0f);
}

} // namespace prismora::hostsim
