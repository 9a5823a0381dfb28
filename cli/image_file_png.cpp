// Image files for builds without OpenImageIO: PNG only, 8 and 16 bits per
// sample. Any other format is refused by name rather than guessed at.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/atomic_file.h"
#include "cli/cli_error.h"
#include "cli/file_samples.h"
#include "cli/image_file.h"
#include "cli/png_codec.h"

namespace prismora::cli {
namespace {

bool HasPngExtension(const std::filesystem::path &path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png";
}

void CheckPngTarget(const std::filesystem::path &path, int depth)
{
    if (!HasPngExtension(path)) {
        throw UsageError("cannot write " + path.string() + ": this build writes PNG files only");
    }
    if (depth != 8 && depth != 16) {
        throw UsageError("cannot write " + path.string() +
                         ": PNG files cannot hold 32-bit float RGBA (choose another --depth or format)");
    }
}

// The size a PNG file claims in its header (IHDR), read before decoding.
void CheckClaimedSize(const std::filesystem::path &path, const std::vector<uint8_t> &bytes, int depth,
                      uint64_t memory_budget)
{
    if (bytes.size() < 24) {
        return; // the decoder reports the broken file
    }
    const auto be32 = [&bytes](size_t at) {
        return (int64_t{bytes[at]} << 24) | (int64_t{bytes[at + 1]} << 16) | (int64_t{bytes[at + 2]} << 8) |
               int64_t{bytes[at + 3]};
    };
    // The decoder's RGBA samples (up to 16 bits) and the host image.
    CheckFitsMemory(path, be32(16), be32(20), 8 + HostImage::PixelBytes(depth == 0 ? 16 : depth),
                    memory_budget);
}

// Big-endian 32-bit value at p.
uint32_t ReadBigEndian32(const unsigned char *p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

} // namespace

ImageFileInfo ReadImageFileInfo(const std::filesystem::path &path)
{
    // The signature and the IHDR chunk that every PNG starts with: 8 + 8 + 13 bytes.
    RequireRegularFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw UsageError("cannot read " + path.string() + ": cannot open the file");
    }
    std::vector<uint8_t> head(8);
    unsigned char ihdr[21] = {};
    in.read(reinterpret_cast<char *>(head.data()), 8);
    in.read(reinterpret_cast<char *>(ihdr), sizeof ihdr);
    if (!in || !IsPng(head) || std::string(reinterpret_cast<const char *>(ihdr + 4), 4) != "IHDR") {
        throw UsageError("cannot read " + path.string() + ": not a PNG file (this build reads PNG only)");
    }
    const uint32_t width = ReadBigEndian32(ihdr + 8);
    const uint32_t height = ReadBigEndian32(ihdr + 12);
    if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu) {
        throw UsageError("cannot read " + path.string() + ": not a two-dimensional image with channels");
    }
    return {static_cast<int32_t>(width), static_cast<int32_t>(height), ihdr[16] == 16 ? 16 : 8};
}

LoadedImage ReadImageFile(const std::filesystem::path &path, int depth, uint64_t memory_budget)
{
    RequireRegularFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw UsageError("cannot read " + path.string() + ": cannot open the file");
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!IsPng(bytes)) {
        throw UsageError("cannot read " + path.string() + ": not a PNG file (this build reads PNG only)");
    }
    CheckClaimedSize(path, bytes, depth, memory_budget);
    PngImage png;
    try {
        png = DecodePng(bytes);
    } catch (const std::runtime_error &e) {
        throw UsageError("cannot read " + path.string() + ": " + e.what());
    }
    LoadedImage loaded;
    loaded.file_depth = png.depth;
    loaded.image = HostImage(png.width, png.height, depth == 0 ? png.depth : depth);
    const ChannelMap rgba{0, 1, 2, 3};
    if (png.depth == 16) {
        FillImage(png.samples16, 4, rgba, 16, loaded.image);
    } else {
        FillImage(png.samples8, 4, rgba, 8, loaded.image);
    }
    return loaded;
}

void CheckImageOutputPath(const std::filesystem::path &path, int depth)
{
    CheckPngTarget(path, depth);
    // A one-pixel file written beside the target and removed again.
    AtomicFile probe(path);
    probe.Write(EncodePng(std::vector<uint8_t>(8, 0), 1, 1, depth));
}

void WriteImageFile(const std::filesystem::path &path, const HostImage &image)
{
    CheckPngTarget(path, image.depth());
    AtomicFile file(path);
    file.Write(EncodePng(FileSamples(image), image.width(), image.height(), image.depth()));
    file.Commit();
}

} // namespace prismora::cli
