// The PiPL resource generated at build time, read back from the file beside the
// plug-in library and, where a resource compiler is at hand, from the compiled
// Windows resource script.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/effect_main.h"

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
uint16_t U16(const Bytes &b, size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

struct Property {
    std::string vendor; // as stored, byte-reversed
    std::string key;    // as stored, byte-reversed
    uint32_t id = 0;
    uint32_t length = 0;
    Bytes stored; // data including the padding to 4 bytes
};

// Parses the whole resource; fails the test on any malformed or trailing byte.
std::vector<Property> ParsePiPL(const Bytes &pipl)
{
    std::vector<Property> properties;
    EXPECT_GE(pipl.size(), 10u);
    if (pipl.size() < 10) {
        return properties;
    }
    EXPECT_EQ(U16(pipl, 0), 1) << "resource version";
    EXPECT_EQ(U32(pipl, 2), 0u) << "reserved";
    const uint32_t count = U32(pipl, 6);
    size_t at = 10;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 16 > pipl.size()) {
            ADD_FAILURE() << "property " << i << " runs past the end";
            return properties;
        }
        Property p;
        p.vendor.assign(pipl.begin() + at, pipl.begin() + at + 4);
        p.key.assign(pipl.begin() + at + 4, pipl.begin() + at + 8);
        p.id = U32(pipl, at + 8);
        p.length = U32(pipl, at + 12);
        const size_t padded = (p.length + 3u) & ~size_t{3};
        if (at + 16 + padded > pipl.size()) {
            ADD_FAILURE() << "property " << p.key << " data runs past the end";
            return properties;
        }
        p.stored.assign(pipl.begin() + at + 16, pipl.begin() + at + 16 + padded);
        properties.push_back(p);
        at += 16 + padded;
    }
    EXPECT_EQ(at, pipl.size()) << "no bytes after the last property";
    return properties;
}

TEST(PiPL, GeneratedFileHoldsTheTwelvePropertiesByteForByte)
{
    const Bytes pipl = ReadFile(PluginDir() / "T_Prismora.pipl");
    ASSERT_FALSE(pipl.empty()) << "T_Prismora.pipl is built beside the plug-in library";

    struct Want {
        const char *stored_key;
        uint32_t length;
        Bytes stored;
    };
    const Want want[] = {
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
    EXPECT_EQ(U32(pipl, 6), 12u);
    const std::vector<Property> properties = ParsePiPL(pipl);
    ASSERT_EQ(properties.size(), std::size(want));
    for (size_t i = 0; i < properties.size(); ++i) {
        SCOPED_TRACE(want[i].stored_key);
        EXPECT_EQ(properties[i].vendor, "MIB8");
        EXPECT_EQ(properties[i].key, want[i].stored_key);
        EXPECT_EQ(properties[i].id, 0u);
        EXPECT_EQ(properties[i].length, want[i].length);
        EXPECT_EQ(properties[i].stored, want[i].stored);
    }
}

// A compiled .res file: the resources after the empty leading entry.
struct Resource {
    std::u16string type; // empty when given by number
    uint16_t type_id = 0;
    uint16_t name_id = 0;
    uint16_t language = 0;
    Bytes data;
};

// Reads a name-or-ordinal field at `at`; returns the offset after it.
size_t ReadNameOrId(const Bytes &res, size_t at, std::u16string &name, uint16_t &id)
{
    if (U16(res, at) == 0xFFFF) {
        id = U16(res, at + 2);
        return at + 4;
    }
    for (; U16(res, at) != 0; at += 2) {
        name.push_back(static_cast<char16_t>(U16(res, at)));
    }
    return at + 2;
}

std::vector<Resource> ParseRes(const Bytes &res)
{
    std::vector<Resource> resources;
    size_t at = 0;
    while (at + 8 <= res.size()) {
        const uint32_t data_size = U32(res, at);
        const uint32_t header_size = U32(res, at + 4);
        if (at + header_size + data_size > res.size()) {
            ADD_FAILURE() << "truncated resource file";
            break;
        }
        Resource r;
        size_t field = ReadNameOrId(res, at + 8, r.type, r.type_id);
        std::u16string ignored;
        field = ReadNameOrId(res, field, ignored, r.name_id);
        field = (field + 3) & ~size_t{3};
        r.language = U16(res, field + 6); // after DataVersion and MemoryFlags
        r.data.assign(res.begin() + at + header_size, res.begin() + at + header_size + data_size);
        if (data_size > 0) {
            resources.push_back(r);
        }
        at = (at + header_size + data_size + 3) & ~size_t{3};
    }
    return resources;
}

TEST(PiPL, ResourceScriptEmbedsTheSameBytes)
{
    const std::filesystem::path rc = PluginDir() / "T_Prismora_PiPL.rc";
    ASSERT_TRUE(std::filesystem::exists(rc));
    if (std::system("command -v llvm-rc >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no resource compiler (llvm-rc) on this machine";
    }
    const std::filesystem::path res =
        std::filesystem::temp_directory_path() / ("prismora_pipl_" + std::to_string(::getpid()) + ".res");
    const std::string command = "llvm-rc /FO '" + res.string() + "' '" + rc.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Bytes compiled = ReadFile(res);
    std::filesystem::remove(res);

    const std::vector<Resource> resources = ParseRes(compiled);
    ASSERT_EQ(resources.size(), 1u);
    EXPECT_EQ(resources[0].type, u"PIPL");
    EXPECT_EQ(resources[0].name_id, 16000);
    EXPECT_EQ(resources[0].language, 1033);
    EXPECT_EQ(resources[0].data, ReadFile(PluginDir() / "T_Prismora.pipl"));
}

} // namespace
} // namespace prismora
