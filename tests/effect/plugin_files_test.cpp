// What the build leaves beside the plug-in library: the PiPL resource as a file
// and as a Windows resource script, and the library's exported symbols.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

Bytes B(const char *text, size_t size)
{
    return Bytes(text, text + size);
}

uint32_t U32(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

void Append32(Bytes &b, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8) {
        b.push_back(static_cast<uint8_t>(v >> shift));
    }
}

// Keys and vendor as stored (byte-reversed); data padded to 4 bytes.
struct Property {
    const char *key;
    uint32_t length;
    Bytes stored;
};
const Property kProperties[] = {
    {"dnik", 4, B("TKFe", 4)},
    {"eman", 12, B("\x0AT_Prismora\0", 12)},
    {"gtac", 8, B("\x05Tavro\0\0", 8)},
    {"4668", 12, B("EffectMain\0\0", 12)},
    {"RVPe", 4, B("\x02\0\0\0", 4)},
    {"RVSe", 4, B("\x0D\0\x1D\0", 4)},
    {"REVe", 4, B("\x01\x80\x0D\0", 4)},
    {"FNIe", 2, B("\0\0\0\0", 4)},
    {"OLGe", 4, B("\0\x04\0\x02", 4)},
    {"2LGe", 4, B("\x08\x14\0\x0A", 4)},
    {"ANMe", 16, B("\x0ETavro_Prismora\0", 16)},
    {"LFea", 4, B("\0\0\0\0", 4)},
};

TEST(PiPL, GeneratedFileHoldsTheTwelvePropertiesAndGlobalSetupAnswersTheSameWords)
{
    Bytes want = {1, 0, 0, 0, 0, 0}; // resource version 1, reserved
    Append32(want, 12);
    for (const Property &p : kProperties) {
        want.insert(want.end(), {'M', 'I', 'B', '8'});
        want.insert(want.end(), p.key, p.key + 4);
        Append32(want, 0);
        Append32(want, p.length);
        want.insert(want.end(), p.stored.begin(), p.stored.end());
    }
    EXPECT_EQ(ReadFile(PluginDir() / "T_Prismora.pipl"), want);

    // Global set-up writes eVER, eGLO and eGL2 and nothing else.
    PF_OutData out;
    std::memset(&out, 0xAB, sizeof(out));
    PF_OutData expected = out;
    expected.my_version = U32(kProperties[6].stored, 0);
    expected.out_flags = U32(kProperties[8].stored, 0);
    expected.out_flags2 = U32(kProperties[9].stored, 0);
    ASSERT_EQ(EffectMain(PF_Cmd_GLOBAL_SETUP, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&out, &expected, sizeof(out)), 0);
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
    EXPECT_EQ(Bytes(header.begin() + 8, header.begin() + 22), B("P\0I\0P\0L\0\0\0\xFF\xFF\x80\x3E", 14));
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
