// Loading: the plug-in's PiPL as the host reads it, the reader's refusals of
// malformed resources and the host's refusals of a PiPL that disagrees with
// the library, made by changing the plug-in's own bytes.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostsim/host.h"
#include "hostsim/host_error.h"
#include "hostsim/pipl_reader.h"

namespace prismora::hostsim::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes PrismoraPiPL()
{
    std::ifstream in(PiPLPathFor(HOSTSIM_PRISMORA_EFFECT), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Where the data of the property stored under `key` (bytes reversed) starts:
// after the key, the property id and the length.
size_t DataOf(const Bytes &b, const char *stored_key)
{
    const auto at = std::search(b.begin(), b.end(), stored_key, stored_key + 4);
    EXPECT_NE(at, b.end()) << stored_key;
    return static_cast<size_t>(at - b.begin()) + 12;
}

uint32_t U32At(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

Bytes Patched(Bytes b, const char *stored_key, int offset, const std::string &with)
{
    std::copy(with.begin(), with.end(),
              b.begin() + static_cast<std::ptrdiff_t>(DataOf(b, stored_key) + offset));
    return b;
}

// The plug-in's own resource: codes reversed, strings length-prefixed or
// zero-terminated and padded, numbers little-endian.
TEST(PiPLReader, ReadsThePlugInsResource)
{
    const Bytes b = PrismoraPiPL();
    const PiPL p = ParsePiPL(b);
    EXPECT_EQ((std::vector<std::string>{p.kind, p.name, p.category, p.entry_point, p.match_name}),
              (std::vector<std::string>{"eFKT", "T_Prismora", "Tavro", "EffectMain", "Tavro_Prismora"}));
    EXPECT_EQ((std::vector<int>{p.pipl_version_major, p.pipl_version_minor, p.spec_version_major,
                                p.spec_version_minor, static_cast<int>(p.info_flags),
                                static_cast<int>(p.reserved_info)}),
              (std::vector<int>{2, 0, 13, 29, 0, 0}));
    EXPECT_EQ(p.effect_version, U32At(b, DataOf(b, "REVe")));
    EXPECT_EQ(p.global_flags, U32At(b, DataOf(b, "OLGe")));
    EXPECT_EQ(p.global_flags2, U32At(b, DataOf(b, "2LGe")));
    // A string that fills its property exactly has no padding after it.
    EXPECT_EQ(ParsePiPL(Patched(b, "gtac", 0, "\x07Tavro12")).category, "Tavro12");
    EXPECT_EQ(PiPLPathFor("/a/b/T_Prismora.so"), std::filesystem::path("/a/b/T_Prismora.pipl"));
}

TEST(PiPLReader, RefusesMalformedResources)
{
    const Bytes good = PrismoraPiPL();
    Bytes longer = good;
    longer.push_back(0);
    Bytes version = good;
    version[0] = 2;
    const std::pair<const char *, Bytes> cases[] = {
        {"truncated", {good.begin(), good.end() - 1}},
        {"trailing bytes", longer},
        {"string past its property", Patched(good, "eman", 0, "\xC8")},
        {"resource version", version},
        {"vendor", Patched(good, "eman", -16, "EBDA")},
        {"no entry point", Patched(good, "4668", -12, "4669")}};
    for (const auto &[what, bytes] : cases) {
        EXPECT_THROW(ParsePiPL(bytes), HostError) << what;
    }
}

TEST(HostLoading, RefusesAWrongKindEntryPointOrFlagsAndMissingFiles)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "hostsim_pipl_loading";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path library = dir / "variant.so";
    std::filesystem::copy_file(HOSTSIM_PRISMORA_EFFECT, library);
    const auto load_error = [&](const Bytes &pipl) -> std::string {
        std::ofstream(dir / "variant.pipl", std::ios::binary)
            .write(reinterpret_cast<const char *>(pipl.data()), static_cast<std::streamsize>(pipl.size()));
        try {
            Host host(library);
            host.Start(); // global set-up's answers must equal the PiPL's words
        } catch (const HostError &e) {
            return e.what();
        }
        return "";
    };
    const Bytes good = PrismoraPiPL();
    EXPECT_EQ(load_error(good), "");
    const std::pair<Bytes, const char *> cases[] = {{Patched(good, "dnik", 0, "SKFe"), "kind"},
                                                    {Patched(good, "4668", 0, "Plugin"), "entry point"},
                                                    {Patched(good, "2LGe", 3, "\x08"), "eGL2"},
                                                    {Patched(good, "OLGe", 0, "\x01"), "eGLO"},
                                                    {Patched(good, "REVe", 0, "\x02"), "eVER"}};
    for (const auto &[pipl, names] : cases) {
        const std::string error = load_error(pipl);
        EXPECT_NE(error.find(names), std::string::npos) << names << " not in \"" << error << "\"";
    }
    std::filesystem::remove(dir / "variant.pipl");
    EXPECT_THROW(Host{library}, HostError);
    EXPECT_THROW(Host{dir / "absent.so"}, HostError);
    std::filesystem::remove_all(dir);
}

TEST(PrismoraEffect, TheHostResolvesItsCenterOnTheLayer)
{
    Host host(HOSTSIM_PRISMORA_EFFECT);
    ASSERT_NO_THROW(host.Start());
    const PF_ParamIndex center = host.params().Find("Center").value();
    EXPECT_EQ(host.params().type(center), PF_Param_POINT);
    const ParamSet hd = host.params().ResolvedFor(1920, 1080);
    EXPECT_EQ(hd.def(center).u.td.x_value, 960 << 16);
    EXPECT_EQ(hd.def(center).u.td.y_value, 540 << 16);
    EXPECT_EQ(host.books().Imbalances(), std::vector<std::string>{});
}

} // namespace
} // namespace prismora::hostsim::test
