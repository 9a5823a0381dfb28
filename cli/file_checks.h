// Checks on the files a command names, made before any of them is read or
// written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace prismora::cli {

// Throws UsageError unless path names a regular file (after links): a
// device, a pipe or a folder would be read forever or not at all.
void RequireRegularFile(const std::filesystem::path &path);

// Throws UsageError when output is the same file as other (the same file
// through a link or another name included), which writing would destroy.
void RefuseSameFile(const std::filesystem::path &output, const std::filesystem::path &other,
                    const std::string &role);

// What the command may allocate for one image it reads: --max-memory.
inline constexpr uint64_t kDefaultMemoryBudget = uint64_t{4} << 30;

// "4G", "512M", "64K" or plain bytes (binary units); throws UsageError.
uint64_t ParseMemorySize(const std::string &text);

// Throws UsageError naming the size when holding width x height pixels of
// bytes_per_pixel bytes would exceed budget; called before allocating.
void CheckFitsMemory(const std::filesystem::path &path, int64_t width, int64_t height,
                     uint64_t bytes_per_pixel, uint64_t budget);

} // namespace prismora::cli
