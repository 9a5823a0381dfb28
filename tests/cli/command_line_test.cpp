// The built program as a user runs it: exit status, one-line errors, and the
// files it leaves. Renders go through the real plug-in in the simulated host.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/image_file.h"
#include "cli/test_card.h"
#include "run_program.h"

namespace prismora::cli {
namespace {

using test::Lines;
using test::Prismora;
using test::RunResult;
using test::ScratchDir;

// A small card with structure where the default panel sits.
void WriteInput(const std::filesystem::path &path, int depth)
{
    WriteImageFile(path, ConvertDepth(MakeTestCard(160, 120), depth));
}

// Bad command lines, run in this process for speed; the program's own main is
// checked on two of them below. Bad values of each kind: param_values_test.
TEST(CommandLine, BadInputExitsTwoWithOneLineAndWritesNothing)
{
    ScratchDir dir;
    setenv("PRISMORA_PLUGIN", PRISMORA_TEST_PLUGIN, 1);
    WriteInput(dir / "in.png", 8);
    std::ofstream(dir / "junk.png") << "not an image";
    // Whole command lines, then options after "render @in.png @out.png"; out.exr: 8-bit samples there.
    std::vector<std::string> cases =
        test::Cases("|paint @in.png @out.png|params extra|info --verbose|demo a b|"
                    "demo --fast|render @in.png|render '' @out.png|"
                    "render @missing.png @out.png|render @junk.png @out.png|"
                    "render @in.png @no/out.png|render @in.png @out.nosuchformat|"
                    "render @in.png @out.exr");
    for (const std::string &options : test::Cases(
             "third.png|--bogus|--depth|--depth 24|--depth=f|--renderer quantum|--tile 0x64|--tile 64|"
             "--tile 64x-1|--tile 64x64x2|--legacy --tile 64x64|--threads 0|--threads=-2|--threads many|"
             "--matte=|--depth 32|--matte @missing.png|--set amount|--set =5|--set amout=50|"
             "--set alpha_matte_layer=1|--set amount=fifty")) {
        cases.push_back("render @in.png @out.png " + options);
    }
    for (const std::string &line : cases) {
        const std::vector<std::string> args = test::Words(dir.path(), line);
        std::ostringstream stdout_text;
        std::ostringstream stderr_text;
        EXPECT_EQ(RunCommandLine(args, stdout_text, stderr_text), 2) << line << "\n" << stderr_text.str();
        EXPECT_EQ(Lines(stderr_text.str()), 1u) << line << "\n" << stderr_text.str();
        EXPECT_EQ(stderr_text.str().rfind("prismora: ", 0), 0u) << line;
        EXPECT_EQ(dir.files(), (std::vector<std::string>{"in.png", "junk.png"})) << line;
    }
    unsetenv("PRISMORA_PLUGIN");
    std::filesystem::remove(dir / "junk.png");

    // The program itself, finding the plug-in on its own.
    for (const char *line : {"render @in.png", "render @in.png @out.png --set amount=-1"}) {
        const RunResult run = Prismora(dir, test::Words(dir.path(), line));
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(Lines(run.err), 1u) << run.err;
        EXPECT_EQ(dir.files(), std::vector<std::string>{"in.png"});
    }
}

TEST(CommandLine, ParamsAndInfoReadTheEffect)
{
    ScratchDir dir;
    const RunResult params = Prismora(dir, {"params"});
    ASSERT_EQ(params.status, 0) << params.err;
    EXPECT_EQ(Lines(params.out), 30u); // a heading and 29 parameters
    // Each line shows the --set name (the names themselves are checked on the catalog).
    EXPECT_NE(params.out.find(" glass_mode "), std::string::npos) << params.out;
    EXPECT_NE(params.out.find("Custom Rounded Rect"), std::string::npos);

    const RunResult info = Prismora(dir, {"info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Tavro_Prismora"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"T_Prismora v1.11\\rAdjustment-layer GLSL-port Prismora.\""), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("PiPL and effect agree"), std::string::npos) << info.out;
}

TEST(CommandLine, RendersEachDepthToItsOwnFileType)
{
    ScratchDir dir;
    for (const auto &[in, out, depth] : std::vector<std::tuple<std::string, std::string, int>>{
             {"in8.png", "out8.png", 8}, {"in16.png", "out16.tif", 16}, {"in32.exr", "out32.exr", 32}}) {
        WriteInput(dir / in, depth);
        const RunResult run = Prismora(dir, {"render", (dir / in).string(), (dir / out).string()});
        ASSERT_EQ(run.status, 0) << in << ": " << run.err;
        const LoadedImage result = ReadImageFile(dir / out);
        EXPECT_EQ(result.file_depth, depth);
        EXPECT_EQ(result.image.width(), 160);
        EXPECT_EQ(result.image.height(), 120);
        // The default panel sits at the centre and changes what is there.
        EXPECT_FALSE(result.image == ReadImageFile(dir / in).image) << in;
    }
    // --depth overrides the file's own depth.
    ASSERT_EQ(Prismora(dir, {"render", (dir / "in8.png").string(), (dir / "d.exr").string(), "--depth", "32"})
                  .status,
              0);
    EXPECT_EQ(ReadImageFile(dir / "d.exr").file_depth, 32);
}

TEST(CommandLine, ParameterValuesReachTheEffect)
{
    ScratchDir dir;
    WriteInput(dir / "in.png", 8);
    const auto render = [&](const std::string &out, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", (dir / "in.png").string(), (dir / out).string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult run = Prismora(dir, args);
        EXPECT_EQ(run.status, 0) << out << ": " << run.err;
        return ReadImageFile(dir / out).image;
    };
    const HostImage input = ReadImageFile(dir / "in.png").image;
    // Amount 0 mixes nothing of the glass in.
    EXPECT_TRUE(render("none.png", {"--set", "amount=0"}) == input);
    const HostImage panel = render("panel.png", {});
    EXPECT_TRUE(render("one_thread.png", {"--threads", "1"}) == panel);
    EXPECT_FALSE(render("mask.png", {"--set", "debug_view=Glass Mask"}) == panel);
    // A panel moved off the layer leaves it untouched.
    EXPECT_TRUE(render("away.png", {"--set", "center=-1000,-1000"}) == input);
    // Tiles and the plain render command produce the whole frame too.
    EXPECT_EQ(render("tiled.png", {"--tile", "64x48"}).width(), 160);
    EXPECT_EQ(render("legacy.png", {"--legacy", "--renderer", "cpu"}).width(), 160);
    // -v names the path that rendered each request (every path: effect_session_test).
    const std::string in = (dir / "in.png").string();
    const RunResult on_cpu =
        Prismora(dir, {"render", in, (dir / "v.png").string(), "--renderer", "cpu", "-v"});
    EXPECT_NE(on_cpu.out.find("request (0,0)-(160,120): cpu, result (0,0)-(160,120)\n"), std::string::npos)
        << on_cpu.out;
    // The Alpha Matte Layer shapes the glass in Full Frame mode; without one that mode changes nothing.
    WriteImageFile(dir / "matte.png", MakeTestMatte(160, 120));
    EXPECT_TRUE(render("no_matte.png", {"--set", "glass_mode=full frame"}) == input);
    EXPECT_FALSE(render("matte_ff.png", {"--set", "glass_mode=2", "--matte", (dir / "matte.png").string()}) ==
                 input);
}

TEST(CommandLine, DemoWritesItsPicturesAndListsThem)
{
    ScratchDir dir;
    const RunResult run = Prismora(dir, {"demo", (dir / "demo").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Lines(run.out), 9u) << run.out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "demo"), {}), 9);
    const HostImage sheet = ReadImageFile(dir / "demo" / "contact_sheet.png").image;
    EXPECT_EQ(sheet.width(), 4 * 480 + 5 * 8);
    EXPECT_EQ(sheet.height(), 2 * 270 + 3 * 8);
}

} // namespace
} // namespace prismora::cli
