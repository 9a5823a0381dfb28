// PNG files in memory, RGBA at 8 or 16 bits per sample: the image files of
// builds without OpenImageIO (the MinGW Windows build).
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace prismora::cli {

struct PngImage {
    int width = 0;
    int height = 0;
    int depth = 8;                   // the file's bits per sample, 8 or 16
    std::vector<uint8_t> samples8;   // R, G, B, A interleaved, for depth 8
    std::vector<uint16_t> samples16; // for depth 16
};

bool IsPng(std::span<const uint8_t> bytes);

// Grey, grey with alpha and RGB files come back as RGBA (no alpha: opaque).
// Throws std::runtime_error with the decoder's reason.
PngImage DecodePng(std::span<const uint8_t> bytes);

// A colour-type 6 (RGBA) file; 16-bit samples in this machine's byte order.
std::vector<uint8_t> EncodePng(std::span<const uint8_t> rgba, int width, int height, int depth);

} // namespace prismora::cli
