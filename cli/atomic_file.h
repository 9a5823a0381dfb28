// Writes a file whole or not at all: the content goes to a temporary file in
// the target's directory (same file system, so the final rename is atomic).
// A symbolic link is written through (its final target is replaced, the link
// stays), a read-only file is refused, and every message names the path the
// user gave, never the temporary one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace prismora::cli {

class AtomicFile {
public:
    // The temporary name keeps the target's extension, so writers that pick
    // the format by extension see the right one. Throws UsageError when the
    // target cannot be replaced (no folder, a folder, a read-only file).
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    const std::filesystem::path &temp_path() const { return temp_; }
    // As the user named it.
    const std::filesystem::path &target() const { return target_; }
    // Writes bytes as the temporary file's whole content, every call checked
    // and the data flushed to the disk; throws UsageError on any failure (a
    // full disk included).
    void Write(std::span<const uint8_t> bytes);
    // Renames the temporary file over the target; throws UsageError on failure.
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path destination_; // the file the rename replaces: links followed
    std::filesystem::path temp_;
    bool committed_ = false;
};

} // namespace prismora::cli
