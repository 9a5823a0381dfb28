// Pixels between host-layout images and the interleaved R, G, B, A samples of
// image files, shared by every file reader and writer.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "cli/host_image.h"

namespace prismora::cli {

// Where a file's channels go.
struct ChannelMap {
    int red, green, blue;
    int alpha; // -1: none, the image is opaque
};

// Fills the host image from interleaved file samples of type Sample.
template <typename Sample>
void FillImage(const std::vector<Sample> &samples, int nchannels, const ChannelMap &map, int file_depth,
               HostImage &image)
{
    const bool same_depth = file_depth == image.depth();
    const float scale = file_depth == 8 ? 1.0f / 255.0f : (file_depth == 16 ? 1.0f / 65535.0f : 1.0f);
    for (int32_t y = 0; y < image.height(); ++y) {
        for (int32_t x = 0; x < image.width(); ++x) {
            const Sample *s = samples.data() +
                              (static_cast<size_t>(y) * static_cast<size_t>(image.width()) + x) * nchannels;
            const int order[4] = {map.alpha, map.red, map.green, map.blue};
            if (!same_depth) {
                std::array<float, 4> argb{};
                for (int c = 0; c < 4; ++c) {
                    argb[c] = order[c] < 0 ? 1.0f : static_cast<float>(s[order[c]]) * scale;
                }
                image.set_normalized(x, y, argb);
                continue;
            }
            if constexpr (std::is_same_v<Sample, uint8_t>) {
                PF_Pixel8 &p = image.at<PF_Pixel8>(x, y);
                A_u_char *dst[4] = {&p.alpha, &p.red, &p.green, &p.blue};
                for (int c = 0; c < 4; ++c) {
                    *dst[c] = order[c] < 0 ? 255 : s[order[c]];
                }
            } else if constexpr (std::is_same_v<Sample, uint16_t>) {
                PF_Pixel16 &p = image.at<PF_Pixel16>(x, y);
                A_u_short *dst[4] = {&p.alpha, &p.red, &p.green, &p.blue};
                for (int c = 0; c < 4; ++c) {
                    *dst[c] = order[c] < 0 ? kHostWhite16 : FileToHost16(s[order[c]]);
                }
            } else {
                PF_PixelFloat &p = image.at<PF_PixelFloat>(x, y);
                PF_FpShort *dst[4] = {&p.alpha, &p.red, &p.green, &p.blue};
                for (int c = 0; c < 4; ++c) {
                    *dst[c] = order[c] < 0 ? 1.0f : s[order[c]];
                }
            }
        }
    }
}

// The image as interleaved R, G, B, A samples of its depth (8-bit, 16-bit
// in the file's scale, or float), in this machine's byte order.
std::vector<uint8_t> FileSamples(const HostImage &image);

} // namespace prismora::cli
