#include "hostsim/dynamic_library.h"

#include <utility>

#include "hostsim/host_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#if defined(__SANITIZE_THREAD__)
#define PRISMORA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PRISMORA_THREAD_SANITIZER 1
#endif
#endif

namespace prismora::hostsim {

#ifdef _WIN32

DynamicLibrary::DynamicLibrary(const std::filesystem::path &path)
{
    handle_ = static_cast<void *>(LoadLibraryW(path.c_str()));
    if (!handle_) {
        throw HostError("cannot load " + path.string() + ": error " + std::to_string(GetLastError()));
    }
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

void *DynamicLibrary::Symbol(const char *name) const
{
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

#else

namespace {
// ThreadSanitizer's atexit interceptor does not run a library's exit handlers
// when the library is unloaded, so the one the static CUDA runtime registers
// would be called at process exit with its code gone. Under it the library
// stays mapped after dlclose (its handlers then run at exit, as registered).
#ifdef PRISMORA_THREAD_SANITIZER
constexpr int kKeepMapped = RTLD_NODELETE;
#else
constexpr int kKeepMapped = 0;
#endif
} // namespace

DynamicLibrary::DynamicLibrary(const std::filesystem::path &path)
{
    // RTLD_LOCAL: the plug-in's symbols must not satisfy anyone else's.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
    if (!handle_) {
        const char *why = dlerror();
        throw HostError("cannot load " + path.string() + ": " + (why ? why : "unknown reason"));
    }
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle_) {
        dlclose(handle_);
    }
}

void *DynamicLibrary::Symbol(const char *name) const
{
    return handle_ ? dlsym(handle_, name) : nullptr;
}

#endif

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr))
{
}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept
{
    if (this != &other) {
        DynamicLibrary gone(std::move(*this));
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

} // namespace prismora::hostsim
