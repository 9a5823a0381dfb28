#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "host/legacy_render_depth.h"

namespace prismora {
namespace {

PF_LayerDef World(A_long width, A_long rowbytes, bool deep)
{
    PF_LayerDef world;
    std::memset(&world, 0, sizeof(world));
    world.width = width;
    world.height = 10;
    world.rowbytes = rowbytes;
    world.world_flags = PF_WorldFlag_WRITEABLE | (deep ? PF_WorldFlag_DEEP : 0);
    return world;
}

TEST(LegacyRenderDepth, FloatWorldsAreRecognisedByTheirRowBytes)
{
    EXPECT_EQ(LegacyRenderDepth(World(100, 1600, false)), 32);
    EXPECT_EQ(LegacyRenderDepth(World(100, -1600, false)), 32) << "bottom-up world";
    EXPECT_EQ(LegacyRenderDepth(World(100, 1600, true)), 32) << "the float test comes before the deep flag";
    EXPECT_EQ(LegacyRenderDepth(World(100, 1700, false)), 32) << "padded rows";
    EXPECT_EQ(LegacyRenderDepth(World(1, INT_MIN, false)), 32) << "most negative row bytes";
}

TEST(LegacyRenderDepth, OtherwiseTheDeepFlagDecides)
{
    EXPECT_EQ(LegacyRenderDepth(World(100, 800, true)), 16);
    EXPECT_EQ(LegacyRenderDepth(World(100, -800, true)), 16);
    EXPECT_EQ(LegacyRenderDepth(World(100, 1599, true)), 16) << "just under 16 bytes per pixel";
    EXPECT_EQ(LegacyRenderDepth(World(100, 400, false)), 8);
    EXPECT_EQ(LegacyRenderDepth(World(100, 1599, false)), 8);
}

TEST(LegacyRenderDepth, EmptyOrNegativeWidthSkipsTheFloatTest)
{
    EXPECT_EQ(LegacyRenderDepth(World(0, 1600, false)), 8);
    EXPECT_EQ(LegacyRenderDepth(World(0, 1600, true)), 16);
    EXPECT_EQ(LegacyRenderDepth(World(-100, -1600, false)), 8);
}

} // namespace
} // namespace prismora
