// Image files (any format OpenImageIO reads or writes) to and from host-layout
// images. Files hold R, G, B, A; the host holds alpha, red, green, blue.
#pragma once

#include <cstdint>
#include <filesystem>

#include "cli/file_checks.h"
#include "cli/host_image.h"

namespace prismora::cli {

struct LoadedImage {
    HostImage image;
    int file_depth = 8; // 8, 16, or 32 for half and float files
};

// Reads the first image of a file at the given depth (0: the file's own
// depth). A file without alpha is opaque, a one-channel file is grey; alpha is
// never multiplied in or out. Throws UsageError when the file cannot be read,
// is not a regular file, or claims a size whose pixels would take more than
// memory_budget bytes (checked before anything is allocated).
LoadedImage ReadImageFile(const std::filesystem::path &path, int depth = 0,
                          uint64_t memory_budget = kDefaultMemoryBudget);

struct ImageFileInfo {
    int32_t width = 0;
    int32_t height = 0;
    int file_depth = 8;
};

// The size and depth a file declares, without reading its pixels. Throws
// UsageError when the file cannot be read.
ImageFileInfo ReadImageFileInfo(const std::filesystem::path &path);

// Throws UsageError unless an image of that depth could be written under that
// name: the folder exists and the extension names a format that holds RGBA at
// that depth. Leaves no file behind.
void CheckImageOutputPath(const std::filesystem::path &path, int depth);

// Writes 8-bit, 16-bit or 32-bit float RGBA, in the format the extension names,
// whole or not at all. Throws UsageError when the file cannot be written.
void WriteImageFile(const std::filesystem::path &path, const HostImage &image);

} // namespace prismora::cli
