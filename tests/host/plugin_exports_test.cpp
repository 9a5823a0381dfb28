// The built plug-in library exports exactly the entry point and the value the
// NVIDIA driver reads, the latter writable.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "AE_Effect.h"

namespace prismora {
namespace {

std::filesystem::path PluginLibrary()
{
    const char *build_dir = std::getenv("PRISMORA_BUILD_DIR");
    return std::filesystem::path(build_dir != nullptr ? build_dir : ".") / "plugin" / "T_Prismora.so";
}

// Symbol name to nm's type letter, for the defined dynamic symbols.
std::map<std::string, char> DynamicSymbols(const std::filesystem::path &library)
{
    std::map<std::string, char> symbols;
    const std::string command = "nm -D --defined-only '" + library.string() + "'";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return symbols;
    }
    char buffer[1024];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        std::istringstream line(buffer);
        std::string address;
        char type = 0;
        std::string name;
        if (line >> address >> type >> name) {
            symbols[name] = type;
        }
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return symbols;
}

TEST(PluginExports, OnlyTheEntryPointAndTheOptimusValue)
{
    ASSERT_TRUE(std::filesystem::exists(PluginLibrary())) << PluginLibrary();
    const std::map<std::string, char> expected = {
        {"EffectMain", 'T'},              // code
        {"NvOptimusEnablementCuda", 'D'}, // initialised, writable data
    };
    EXPECT_EQ(DynamicSymbols(PluginLibrary()), expected);
}

TEST(PluginExports, LoadedLibraryCarriesTheValueOneAndAnswersTheHost)
{
    void *library = dlopen(PluginLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();

    auto *optimus = static_cast<volatile A_u_long *>(dlsym(library, "NvOptimusEnablementCuda"));
    ASSERT_NE(optimus, nullptr);
    EXPECT_EQ(*optimus, 1u);
    *optimus = 1u; // writable: a read-only page would fault here

    auto *entry = reinterpret_cast<PF_FilterProc>(dlsym(library, "EffectMain"));
    ASSERT_NE(entry, nullptr);
    PF_OutData out{};
    EXPECT_EQ(entry(PF_Cmd_GLOBAL_SETUP, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
    EXPECT_EQ(out.my_version, 884737u);
    dlclose(library);
}

} // namespace
} // namespace prismora
