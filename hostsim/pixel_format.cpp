#include "hostsim/pixel_format.h"

#include <string>

#include "hostsim/host_error.h"

namespace prismora::hostsim {

int BytesPerPixel(PixelFormat format)
{
    switch (format) {
    case PixelFormat::kArgb32:
        return 4;
    case PixelFormat::kArgb64:
        return 8;
    case PixelFormat::kArgb128:
    case PixelFormat::kGpuBgra128:
        return 16;
    }
    return 0;
}

int BitDepth(PixelFormat format)
{
    switch (format) {
    case PixelFormat::kArgb32:
        return 8;
    case PixelFormat::kArgb64:
        return 16;
    default:
        return 32;
    }
}

PixelFormat FormatForDepth(int bit_depth)
{
    switch (bit_depth) {
    case 8:
        return PixelFormat::kArgb32;
    case 16:
        return PixelFormat::kArgb64;
    case 32:
        return PixelFormat::kArgb128;
    default:
        throw HostError("no pixel format has " + std::to_string(bit_depth) + " bits per channel");
    }
}

PF_PixelFormat SdkPixelFormat(PixelFormat format)
{
    switch (format) {
    case PixelFormat::kArgb32:
        return PF_PixelFormat_ARGB32;
    case PixelFormat::kArgb64:
        return PF_PixelFormat_ARGB64;
    case PixelFormat::kArgb128:
        return PF_PixelFormat_ARGB128;
    case PixelFormat::kGpuBgra128:
        return PF_PixelFormat_GPU_BGRA128;
    }
    return PF_PixelFormat_INVALID;
}

const char *FormatName(PixelFormat format)
{
    switch (format) {
    case PixelFormat::kArgb32:
        return "8-bit ARGB";
    case PixelFormat::kArgb64:
        return "16-bit ARGB";
    case PixelFormat::kArgb128:
        return "32-bit float ARGB";
    case PixelFormat::kGpuBgra128:
        return "GPU 128-bit BGRA";
    }
    return "unknown";
}

} // namespace prismora::hostsim
