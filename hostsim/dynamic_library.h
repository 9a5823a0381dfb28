// A loaded shared library (dlopen on POSIX, LoadLibrary on Windows), unloaded
// when the owner goes away.
#pragma once

#include <filesystem>

namespace prismora::hostsim {

class DynamicLibrary {
public:
    // Throws HostError with the loader's message when the file cannot be loaded.
    explicit DynamicLibrary(const std::filesystem::path &path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    // The exported symbol's address, or nullptr when the library has none.
    void *Symbol(const char *name) const;

private:
    void *handle_ = nullptr;
};

} // namespace prismora::hostsim
