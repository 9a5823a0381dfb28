#include "cli/png_codec.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// Debian's stb headers: the decoder, and the encoder only for its deflate
// (it writes no 16-bit PNG). Both compiled into this file alone.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace prismora::cli {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct FreeStb {
    void operator()(void *memory) const { std::free(memory); }
};

uint32_t Crc32(const uint8_t *data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<uint8_t> &out, const char (&type)[5], std::span<const uint8_t> data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(out.data() + start, out.size() - start));
}

} // namespace

bool IsPng(std::span<const uint8_t> bytes)
{
    return bytes.size() >= kSignature.size() &&
           std::memcmp(bytes.data(), kSignature.data(), kSignature.size()) == 0;
}

PngImage DecodePng(std::span<const uint8_t> bytes)
{
    const auto *data = bytes.data();
    const int size = static_cast<int>(bytes.size());
    PngImage png;
    int channels = 0;
    png.depth = stbi_is_16_bit_from_memory(data, size) ? 16 : 8;
    if (png.depth == 16) {
        std::unique_ptr<stbi_us, FreeStb> pixels(
            stbi_load_16_from_memory(data, size, &png.width, &png.height, &channels, 4));
        if (pixels) {
            png.samples16.assign(pixels.get(), pixels.get() + size_t(png.width) * size_t(png.height) * 4);
            return png;
        }
    } else {
        std::unique_ptr<stbi_uc, FreeStb> pixels(
            stbi_load_from_memory(data, size, &png.width, &png.height, &channels, 4));
        if (pixels) {
            png.samples8.assign(pixels.get(), pixels.get() + size_t(png.width) * size_t(png.height) * 4);
            return png;
        }
    }
    const char *why = stbi_failure_reason();
    throw std::runtime_error(why != nullptr ? why : "undecodable PNG");
}

std::vector<uint8_t> EncodePng(std::span<const uint8_t> rgba, int width, int height, int depth)
{
    // Each row: filter type 0 (none), then its samples, most significant byte first.
    const size_t sample_bytes = depth == 16 ? 2 : 1;
    const size_t row_bytes = size_t(width) * 4 * sample_bytes;
    std::vector<uint8_t> raw;
    raw.reserve((row_bytes + 1) * size_t(height));
    for (size_t y = 0; y < size_t(height); ++y) {
        raw.push_back(0);
        const uint8_t *row = rgba.data() + y * row_bytes;
        if (depth == 16) {
            for (size_t i = 0; i < row_bytes; i += 2) {
                uint16_t sample;
                std::memcpy(&sample, row + i, 2);
                raw.push_back(static_cast<uint8_t>(sample >> 8));
                raw.push_back(static_cast<uint8_t>(sample & 0xFF));
            }
        } else {
            raw.insert(raw.end(), row, row + row_bytes);
        }
    }
    int zlib_size = 0;
    const std::unique_ptr<unsigned char, FreeStb> zlib(
        stbi_zlib_compress(raw.data(), static_cast<int>(raw.size()), &zlib_size, 8));
    if (!zlib) {
        throw std::runtime_error("out of memory compressing the pixels");
    }

    std::vector<uint8_t> file(kSignature.begin(), kSignature.end());
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {static_cast<uint8_t>(depth), 6, 0, 0, 0}); // RGBA, deflate, no interlace
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", std::span<const uint8_t>(zlib.get(), size_t(zlib_size)));
    PutChunk(file, "IEND", {});
    return file;
}

} // namespace prismora::cli
