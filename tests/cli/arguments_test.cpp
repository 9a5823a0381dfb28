// The command line: what each command accepts and the mistakes it refuses.
#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "cli/cli_error.h"

namespace prismora::cli {
namespace {

RenderCommand Render(std::vector<std::string> args)
{
    args.insert(args.begin(), "render");
    const Command command = ParseArguments(args);
    EXPECT_TRUE(std::holds_alternative<RenderCommand>(command));
    return std::get<RenderCommand>(command);
}

TEST(Arguments, RenderTakesOptionsAnywhereAndKeepsAssignmentsInOrder)
{
    const RenderCommand r =
        Render({"--depth", "16", "in.png", "--set", "amount=50", "--renderer=CPU", "out.exr",
                "--set=glass_color=#ff0000", "--matte", "m.png", "--tile", "128x64", "-v"});
    EXPECT_EQ(r.input, "in.png");
    EXPECT_EQ(r.output, "out.exr");
    EXPECT_EQ(r.depth, 16);
    ASSERT_EQ(r.assignments.size(), 3u);
    EXPECT_EQ(r.assignments[0].key, "amount");
    EXPECT_EQ(r.assignments[0].value, "50");
    EXPECT_EQ(r.assignments[1].key, "renderer");
    EXPECT_EQ(r.assignments[1].value, "cpu");
    EXPECT_EQ(r.assignments[2].value, "#ff0000");
    EXPECT_EQ(r.matte, std::filesystem::path("m.png"));
    EXPECT_FALSE(r.legacy);
    EXPECT_EQ(r.tile_width, 128);
    EXPECT_EQ(r.tile_height, 64);
    EXPECT_TRUE(r.verbose);

    const RenderCommand plain = Render({"a.tif", "--legacy", "--", "-b.tif"});
    EXPECT_EQ(plain.depth, 0);
    EXPECT_EQ(plain.output, "-b.tif");
    EXPECT_TRUE(plain.legacy);
    EXPECT_EQ(plain.tile_width, 0);
    EXPECT_EQ(Render({"a", "b", "--set", "center=1,2=3"}).assignments[0].value, "1,2=3");
}

TEST(Arguments, OtherCommands)
{
    EXPECT_TRUE(std::holds_alternative<ParamsCommand>(ParseArguments({"params"})));
    EXPECT_TRUE(std::holds_alternative<InfoCommand>(ParseArguments({"info"})));
    EXPECT_TRUE(std::holds_alternative<HelpCommand>(ParseArguments({"--help"})));
    EXPECT_EQ(std::get<DemoCommand>(ParseArguments({"demo"})).outdir, "out/demo");
    EXPECT_EQ(std::get<DemoCommand>(ParseArguments({"demo", "x/y"})).outdir, "x/y");
}

TEST(Arguments, MistakesAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"draw"},
        {"params", "extra"},
        {"info", "--verbose"},
        {"demo", "a", "b"},
        {"demo", "--fast"},
        {"render"},
        {"render", "in.png"},
        {"render", "in.png", "out.png", "third.png"},
        {"render", "in.png", "out.png", "--depth"},
        {"render", "in.png", "out.png", "--depth", "12"},
        {"render", "in.png", "out.png", "--depth=f"},
        {"render", "in.png", "out.png", "--set", "amount"},
        {"render", "in.png", "out.png", "--set", "=5"},
        {"render", "in.png", "out.png", "--renderer", "metal"},
        {"render", "in.png", "out.png", "--tile", "0x64"},
        {"render", "in.png", "out.png", "--tile", "64"},
        {"render", "in.png", "out.png", "--tile", "64x-1"},
        {"render", "in.png", "out.png", "--tile", "64x64x2"},
        {"render", "in.png", "out.png", "--matte="},
        {"render", "in.png", "out.png", "--legacy", "--tile", "64x64"},
        {"render", "in.png", "out.png", "--bogus"},
        {"render", "", "out.png"},
    };
    for (const auto &args : bad) {
        std::string line;
        for (const auto &a : args) {
            line += a + " ";
        }
        try {
            ParseArguments(args);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const UsageError &e) {
            const std::string what = e.what();
            EXPECT_FALSE(what.empty()) << line;
            EXPECT_EQ(what.find('\n'), std::string::npos) << line;
        }
    }
}

} // namespace
} // namespace prismora::cli
