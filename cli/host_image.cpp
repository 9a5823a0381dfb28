#include "cli/host_image.h"

#include <stdexcept>

#include "hostsim/pixel_format.h"

namespace prismora::cli {

using hostsim::UnitFrom16;
using hostsim::UnitFrom8;
using hostsim::UnitTo16;
using hostsim::UnitTo8;

uint16_t FileToHost16(uint16_t v)
{
    return static_cast<uint16_t>((uint32_t{v} * 32768u + 32767u) / 65535u);
}

uint16_t HostToFile16(uint16_t a)
{
    // Values above white cannot come from the effect; saturate rather than wrap.
    if (a >= kHostWhite16) {
        return 65535;
    }
    return static_cast<uint16_t>((uint32_t{a} * 65535u + 16384u) / 32768u);
}

HostImage::HostImage(int32_t width, int32_t height, int depth) : width_(width), height_(height), depth_(depth)
{
    if (depth != 8 && depth != 16 && depth != 32) {
        throw std::invalid_argument("depth must be 8, 16 or 32");
    }
    if (width < 0 || height < 0) {
        throw std::invalid_argument("negative image size");
    }
    bytes_.assign(row_bytes() * static_cast<size_t>(height), 0);
}

size_t HostImage::PixelBytes(int depth)
{
    switch (depth) {
    case 16:
        return sizeof(PF_Pixel16);
    case 32:
        return sizeof(PF_PixelFloat);
    default:
        return sizeof(PF_Pixel8);
    }
}

std::array<float, 4> HostImage::normalized(int32_t x, int32_t y) const
{
    switch (depth_) {
    case 16: {
        const PF_Pixel16 &p = at<PF_Pixel16>(x, y);
        return {UnitFrom16(p.alpha), UnitFrom16(p.red), UnitFrom16(p.green), UnitFrom16(p.blue)};
    }
    case 32: {
        const PF_PixelFloat &p = at<PF_PixelFloat>(x, y);
        return {p.alpha, p.red, p.green, p.blue};
    }
    default: {
        const PF_Pixel8 &p = at<PF_Pixel8>(x, y);
        return {UnitFrom8(p.alpha), UnitFrom8(p.red), UnitFrom8(p.green), UnitFrom8(p.blue)};
    }
    }
}

void HostImage::set_normalized(int32_t x, int32_t y, const std::array<float, 4> &argb)
{
    switch (depth_) {
    case 16:
        at<PF_Pixel16>(x, y) = {UnitTo16(argb[0]), UnitTo16(argb[1]), UnitTo16(argb[2]), UnitTo16(argb[3])};
        break;
    case 32:
        at<PF_PixelFloat>(x, y) = {argb[0], argb[1], argb[2], argb[3]};
        break;
    default:
        at<PF_Pixel8>(x, y) = {UnitTo8(argb[0]), UnitTo8(argb[1]), UnitTo8(argb[2]), UnitTo8(argb[3])};
        break;
    }
}

HostImage ConvertDepth(const HostImage &image, int depth)
{
    if (image.depth() == depth) {
        return image;
    }
    HostImage out(image.width(), image.height(), depth);
    for (int32_t y = 0; y < image.height(); ++y) {
        for (int32_t x = 0; x < image.width(); ++x) {
            out.set_normalized(x, y, image.normalized(x, y));
        }
    }
    return out;
}

} // namespace prismora::cli
