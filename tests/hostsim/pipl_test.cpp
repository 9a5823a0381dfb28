// Loading: the PiPL resource, the host's refusals, and the plug-in's own PiPL.
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "hostsim/host.h"
#include "hostsim/host_error.h"
#include "hostsim/pipl_reader.h"
#include "pipl_writer.h"

namespace prismora::hostsim::test {
namespace {

TEST(PiPLReader, ReadsEveryPropertyWithReversedCodesAndPadding)
{
    PiPLFields f;
    f.name = "Odd";                     // 4 bytes with its length: no padding
    f.match_name = "Test_Longer_Match"; // padded to 20
    const PiPL pipl = ParsePiPL(PiPLBytes(f).bytes());
    EXPECT_EQ(pipl.kind, "eFKT");
    EXPECT_EQ(pipl.name, "Odd");
    EXPECT_EQ(pipl.category, "Test");
    EXPECT_EQ(pipl.entry_point, "EffectMain");
    EXPECT_EQ(pipl.pipl_version_major, 2);
    EXPECT_EQ(pipl.pipl_version_minor, 0);
    EXPECT_EQ(pipl.spec_version_major, 13);
    EXPECT_EQ(pipl.spec_version_minor, 29);
    EXPECT_EQ(pipl.effect_version, f.version);
    EXPECT_EQ(pipl.global_flags, f.out_flags);
    EXPECT_EQ(pipl.global_flags2, f.out_flags2);
    EXPECT_EQ(pipl.match_name, "Test_Longer_Match");
    EXPECT_EQ(PiPLPathFor("/a/b/T_Prismora.so"), std::filesystem::path("/a/b/T_Prismora.pipl"));
}

TEST(PiPLReader, RefusesMalformedResources)
{
    const std::vector<uint8_t> good = PiPLBytes(PiPLFields{}).bytes();
    const auto with = [](const std::function<void(PiPLFields &)> &change) {
        PiPLFields f;
        change(f);
        return PiPLBytes(f).bytes();
    };
    std::vector<uint8_t> bad_string = good;
    bad_string[10 + 20 + 16] = 200; // the name's length byte runs past its data
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    const std::pair<const char *, std::vector<uint8_t>> cases[] = {
        {"truncated", {good.begin(), good.end() - 1}},
        {"trailing bytes", longer},
        {"string past its property", bad_string},
        {"resource version", with([](PiPLFields &f) { f.pipl_version = 2; })},
        {"vendor", with([](PiPLFields &f) { f.vendor = "ADBE"; })},
        {"no entry point", with([](PiPLFields &f) { f.with_entry_point = false; })}};
    for (const auto &[what, bytes] : cases) {
        EXPECT_THROW(ParsePiPL(bytes), HostError) << what;
    }
}

// The plug-in's PiPL as the reader sees it, in the writer's terms.
PiPLFields PrismoraFields()
{
    std::ifstream in(PiPLPathFor(HOSTSIM_PRISMORA_EFFECT), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const PiPL p = ParsePiPL(bytes);
    PiPLFields f{.kind = p.kind,
                 .name = p.name,
                 .category = p.category,
                 .entry_point = p.entry_point,
                 .match_name = p.match_name,
                 .version = p.effect_version,
                 .out_flags = p.global_flags,
                 .out_flags2 = p.global_flags2};
    EXPECT_EQ(PiPLBytes(f).bytes(), bytes) << "the writer's layout, property by property";
    return f;
}

// The plug-in's library under another name, with a PiPL written for it.
class HostLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ =
            std::filesystem::temp_directory_path() /
            ("hostsim_pipl_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        library_ = dir_ / "variant.so";
        std::filesystem::copy_file(HOSTSIM_PRISMORA_EFFECT, library_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string LoadError(const std::function<void(PiPLFields &)> &change)
    {
        PiPLFields fields = PrismoraFields();
        change(fields);
        PiPLBytes(fields).WriteTo(dir_ / "variant.pipl");
        try {
            Host host(library_);
            host.Start();
        } catch (const HostError &e) {
            return e.what();
        }
        return "";
    }

    std::filesystem::path dir_, library_;
};

TEST_F(HostLoading, RefusesAWrongKindEntryPointOrFlagsAndMissingFiles)
{
    EXPECT_EQ(LoadError([](PiPLFields &) {}), "");
    struct Case {
        std::function<void(PiPLFields &)> change;
        const char *names;
    };
    const Case cases[] = {
        {[](PiPLFields &f) { f.kind = "eFKS"; }, "kind"},
        {[](PiPLFields &f) { f.entry_point = "PluginMain"; }, "entry point"},
        {[](PiPLFields &f) { f.out_flags2 ^= PF_OutFlag2_SUPPORTS_GPU_RENDER_F32; }, "eGL2"},
        {[](PiPLFields &f) { f.out_flags = 0; }, "eGLO"},
        {[](PiPLFields &f) { f.version = 1; }, "eVER"}};
    for (const Case &c : cases) {
        const std::string error = LoadError(c.change);
        EXPECT_NE(error.find(c.names), std::string::npos) << c.names << " not in \"" << error << "\"";
    }
    std::filesystem::remove(dir_ / "variant.pipl");
    EXPECT_THROW(Host{library_}, HostError);
    EXPECT_THROW(Host{dir_ / "absent.so"}, HostError);
}

// The host starts the plug-in only when its answers agree with its PiPL.
TEST(PrismoraEffect, ItsPiPLNamesItAndTheHostResolvesItsCenterOnTheLayer)
{
    const PiPLFields f = PrismoraFields();
    EXPECT_EQ((std::vector<std::string>{f.kind, f.name, f.category, f.entry_point, f.match_name}),
              (std::vector<std::string>{"eFKT", "T_Prismora", "Tavro", "EffectMain", "Tavro_Prismora"}));
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
