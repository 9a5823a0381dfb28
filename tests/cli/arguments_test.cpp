// The command line as parsed: options anywhere, assignments in order. The
// mistakes it refuses are in command_line_test.cpp, run as the program runs them.
#include <gtest/gtest.h>

#include "cli/arguments.h"

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
                "--set=glass_color=#ff0000", "--matte", "m.png", "--tile", "128x64", "--threads=3", "-v"});
    EXPECT_EQ(r.input, "in.png");
    EXPECT_EQ(r.output, "out.exr");
    EXPECT_EQ(r.depth, 16);
    ASSERT_EQ(r.assignments.size(), 3u);
    EXPECT_EQ(r.assignments[0].key + "=" + r.assignments[0].value, "amount=50");
    EXPECT_EQ(r.assignments[1].key + "=" + r.assignments[1].value, "renderer=cpu");
    EXPECT_EQ(r.assignments[2].key + "=" + r.assignments[2].value, "glass_color=#ff0000");
    EXPECT_EQ(r.matte, std::filesystem::path("m.png"));
    EXPECT_FALSE(r.legacy);
    EXPECT_EQ(r.tile_width, 128);
    EXPECT_EQ(r.tile_height, 64);
    EXPECT_EQ(r.threads, 3);
    EXPECT_TRUE(r.verbose);

    const RenderCommand plain = Render({"a.tif", "--legacy", "--", "-b.tif"});
    EXPECT_EQ(plain.depth, 0);
    EXPECT_EQ(plain.output, "-b.tif");
    EXPECT_TRUE(plain.legacy);
    EXPECT_EQ(plain.tile_width, 0);
    EXPECT_EQ(plain.threads, 0);
    EXPECT_EQ(Render({"a", "b", "--set", "center=1,2=3"}).assignments[0].value, "1,2=3");

    EXPECT_EQ(std::get<DemoCommand>(ParseArguments({"demo"})).outdir, "out/demo");
    EXPECT_EQ(std::get<DemoCommand>(ParseArguments({"demo", "x/y"})).outdir, "x/y");
}

} // namespace
} // namespace prismora::cli
