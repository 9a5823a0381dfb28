#include "hostsim/plugin_pipl.h"

#ifdef _WIN32
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <windows.h>

#include "hostsim/host_error.h"
#endif

namespace prismora::hostsim {

#ifdef _WIN32

namespace {

constexpr WORD kPiPLResourceId = 16000;

struct ModuleRelease {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

} // namespace

PiPL ReadPluginPiPL(const std::filesystem::path &library)
{
    // Mapped as data: resources are readable, no code runs.
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleRelease> module(
        LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) {
        throw HostError("cannot read the resources of " + library.string() + ": error " +
                        std::to_string(GetLastError()));
    }
    HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(kPiPLResourceId), L"PIPL");
    HGLOBAL loaded = found ? LoadResource(module.get(), found) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        throw HostError(library.string() + " has no PIPL resource " + std::to_string(kPiPLResourceId));
    }
    const std::span<const uint8_t> bytes(static_cast<const uint8_t *>(data),
                                         SizeofResource(module.get(), found));
    try {
        return ParsePiPL(bytes);
    } catch (const HostError &e) {
        throw HostError(library.string() + " PIPL resource: " + e.what());
    }
}

#else

PiPL ReadPluginPiPL(const std::filesystem::path &library)
{
    return ReadPiPLFile(PiPLPathFor(library));
}

#endif

} // namespace prismora::hostsim
