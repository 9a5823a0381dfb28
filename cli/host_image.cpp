#include "cli/host_image.h"

#include <cmath>
#include <stdexcept>

namespace prismora::cli {

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

namespace {

// Half up in double so that exact halves (v / 255 * 255 + 0.5) do not fall short.
template <typename Int> Int RoundHalfUp(float value, double scale)
{
    if (!(value > 0.0f)) {
        return 0;
    }
    const double scaled = std::floor(static_cast<double>(value) * scale + 0.5);
    return scaled >= scale ? static_cast<Int>(scale) : static_cast<Int>(scaled);
}

} // namespace

uint8_t RoundTo8(float value)
{
    return RoundHalfUp<uint8_t>(value, 255.0);
}
uint16_t RoundToHost16(float value)
{
    return RoundHalfUp<uint16_t>(value, kHostWhite16);
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

size_t HostImage::pixel_bytes() const
{
    switch (depth_) {
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
        constexpr float s = 1.0f / kHostWhite16;
        return {p.alpha * s, p.red * s, p.green * s, p.blue * s};
    }
    case 32: {
        const PF_PixelFloat &p = at<PF_PixelFloat>(x, y);
        return {p.alpha, p.red, p.green, p.blue};
    }
    default: {
        const PF_Pixel8 &p = at<PF_Pixel8>(x, y);
        return {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
    }
    }
}

void HostImage::set_normalized(int32_t x, int32_t y, const std::array<float, 4> &argb)
{
    switch (depth_) {
    case 16:
        at<PF_Pixel16>(x, y) = {RoundToHost16(argb[0]), RoundToHost16(argb[1]), RoundToHost16(argb[2]),
                                RoundToHost16(argb[3])};
        break;
    case 32:
        at<PF_PixelFloat>(x, y) = {argb[0], argb[1], argb[2], argb[3]};
        break;
    default:
        at<PF_Pixel8>(x, y) = {RoundTo8(argb[0]), RoundTo8(argb[1]), RoundTo8(argb[2]), RoundTo8(argb[3])};
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
