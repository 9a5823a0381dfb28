// What the build leaves beside the plug-in library: the PiPL resource as a
// Windows resource script, and the library's exported symbols. The PiPL file
// is read by the simulated host (tests/hostsim/pipl_test.cpp).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "effect/effect_main.h"

namespace prismora {
namespace {

using Bytes = std::vector<uint8_t>;

std::filesystem::path PluginDir()
{
    const char *build_dir = std::getenv("PRISMORA_BUILD_DIR");
    return std::filesystem::path(build_dir != nullptr ? build_dir : ".") / "plugin";
}

Bytes ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U32(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// The compiled script holds the same bytes as one resource: type "PIPL", id
// 16000, US English, right after its fixed 40-byte header.
TEST(PiPL, ResourceScriptCompilesToTheSameBytes)
{
    if (std::system("command -v llvm-rc >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no resource compiler (llvm-rc) on this machine";
    }
    const std::filesystem::path rc = PluginDir() / "T_Prismora_PiPL.rc";
    const std::filesystem::path res =
        std::filesystem::temp_directory_path() / ("prismora_pipl_" + std::to_string(::getpid()) + ".res");
    // "--" ends the options: llvm-rc takes a path such as /check/... for its
    // /C (code page) option otherwise.
    const std::string command = "llvm-rc /FO '" + res.string() + "' -- '" + rc.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Bytes compiled = ReadFile(res);
    std::filesystem::remove(res);

    const Bytes pipl = ReadFile(PluginDir() / "T_Prismora.pipl");
    const size_t at =
        std::search(compiled.begin(), compiled.end(), pipl.begin(), pipl.end()) - compiled.begin();
    ASSERT_GE(at, 40u);
    ASSERT_LT(at, compiled.size()) << "the PiPL bytes are not in the compiled resource";
    const Bytes header(compiled.begin() + at - 40, compiled.begin() + at);
    EXPECT_EQ(U32(header, 0), pipl.size());
    const char type_and_id[] = "P\0I\0P\0L\0\0\0\xFF\xFF\x80\x3E";
    EXPECT_EQ(Bytes(header.begin() + 8, header.begin() + 22), Bytes(type_and_id, type_and_id + 14));
    EXPECT_EQ(header[30] | header[31] << 8, 1033);
}

TEST(PluginExports, OnlyTheEntryPointAndAWritableOptimusValueOfOne)
{
    const std::filesystem::path library = PluginDir() / "T_Prismora.so";
    std::map<std::string, char> symbols; // name to nm's type letter
    const std::string command = "nm -D --defined-only '" + library.string() + "'";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[1024];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        std::istringstream line(buffer);
        std::string address, name;
        char type = 0;
        if (line >> address >> type >> name) {
            symbols[name] = type;
        }
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    EXPECT_EQ(symbols, (std::map<std::string, char>{{"EffectMain", 'T'}, {"NvOptimusEnablementCuda", 'D'}}));

    void *handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto *optimus = static_cast<volatile A_u_long *>(dlsym(handle, "NvOptimusEnablementCuda"));
    ASSERT_NE(optimus, nullptr);
    EXPECT_EQ(*optimus, 1u);
    *optimus = 1u; // a read-only page would fault here
    dlclose(handle);
}

} // namespace
} // namespace prismora
