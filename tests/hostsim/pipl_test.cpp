#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "hostsim/host_error.h"
#include "hostsim/pipl_reader.h"
#include "hostsim_fixture.h"
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
    EXPECT_EQ(pipl.info_flags, 0u);
    EXPECT_EQ(pipl.global_flags, f.out_flags);
    EXPECT_EQ(pipl.global_flags2, f.out_flags2);
    EXPECT_EQ(pipl.match_name, "Test_Longer_Match");
}

TEST(PiPLReader, RefusesMalformedResources)
{
    const std::vector<uint8_t> good = PiPLBytes(PiPLFields{}).bytes();
    auto refused = [](std::vector<uint8_t> bytes) {
        try {
            ParsePiPL(bytes);
        } catch (const HostError &) {
            return true;
        }
        return false;
    };
    EXPECT_TRUE(refused({good.begin(), good.end() - 1})) << "truncated";
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer)) << "trailing bytes";
    PiPLFields version;
    version.pipl_version = 2;
    EXPECT_TRUE(refused(PiPLBytes(version).bytes()));
    PiPLFields vendor;
    vendor.vendor = "ADBE";
    EXPECT_TRUE(refused(PiPLBytes(vendor).bytes()));
    PiPLFields no_entry;
    no_entry.with_entry_point = false;
    EXPECT_TRUE(refused(PiPLBytes(no_entry).bytes()));
    std::vector<uint8_t> bad_string = good;
    bad_string[10 + 20 + 16] = 200; // the name's length byte runs past its data
    EXPECT_TRUE(refused(bad_string));
}

TEST(PiPLReader, FileSitsBesideTheLibraryUnderItsStem)
{
    EXPECT_EQ(PiPLPathFor("/a/b/T_Prismora.so"), std::filesystem::path("/a/b/T_Prismora.pipl"));
    EXPECT_EQ(PiPLPathFor("C:/x/T_Prismora.aex"), std::filesystem::path("C:/x/T_Prismora.pipl"));
}

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
        std::filesystem::copy_file(FakeEffectPath(), library_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string LoadError(const PiPLFields &fields)
    {
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

TEST_F(HostLoading, AcceptsTheFakeEffectsOwnPiPL)
{
    EXPECT_EQ(LoadError(PiPLFields{}), "");
}

TEST_F(HostLoading, RefusesAWrongKindOrEntryPointOrMissingFiles)
{
    PiPLFields kind;
    kind.kind = "eFKS";
    EXPECT_NE(LoadError(kind).find("kind"), std::string::npos);
    PiPLFields entry;
    entry.entry_point = "PluginMain";
    EXPECT_NE(LoadError(entry).find("entry point"), std::string::npos);

    std::filesystem::remove(dir_ / "variant.pipl");
    EXPECT_THROW(Host{library_}, HostError);
    EXPECT_THROW(Host{dir_ / "absent.so"}, HostError);
}

TEST_F(HostLoading, GlobalFlagsMustEqualThePiPLs)
{
    PiPLFields flags;
    flags.out_flags2 |= PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    EXPECT_NE(LoadError(flags).find("eGL2"), std::string::npos);
    PiPLFields out_flags;
    out_flags.out_flags = 0;
    EXPECT_NE(LoadError(out_flags).find("eGLO"), std::string::npos);
    PiPLFields version;
    version.version = 1;
    EXPECT_NE(LoadError(version).find("eVER"), std::string::npos);
}

} // namespace
} // namespace prismora::hostsim::test
