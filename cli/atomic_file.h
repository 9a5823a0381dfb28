// Writes a file whole or not at all: the content goes to a temporary file in
// the target's directory (same file system, so the final rename is atomic).
#pragma once

#include <filesystem>

namespace prismora::cli {

class AtomicFile {
public:
    // The temporary name keeps the target's extension, so writers that pick
    // the format by extension see the right one.
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    const std::filesystem::path &temp_path() const { return temp_; }
    const std::filesystem::path &target() const { return target_; }
    // Renames the temporary file over the target; throws UsageError on failure.
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    bool committed_ = false;
};

} // namespace prismora::cli
