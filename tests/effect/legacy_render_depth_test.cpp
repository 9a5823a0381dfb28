#include <climits>

#include <gtest/gtest.h>

#include "effect/legacy_render_depth.h"

namespace prismora {
namespace {

TEST(LegacyRenderDepth, FloatByRowBytesFirstThenTheDeepFlag)
{
    struct Case {
        A_long width;
        A_long rowbytes;
        bool deep;
        int depth;
    };
    for (const Case c : {Case{100, 1600, false, 32}, Case{100, -1600, false, 32}, // bottom-up world
                         Case{100, 1600, true, 32},                               // float test comes first
                         Case{1, INT_MIN, false, 32},                             // most negative row bytes
                         Case{100, 1599, true, 16}, Case{100, -800, true, 16}, Case{100, 1599, false, 8},
                         Case{0, 1600, false, 8}, Case{-100, -1600, true, 16}}) { // no width: no float test
        PF_LayerDef world{};
        world.width = c.width;
        world.height = 10;
        world.rowbytes = c.rowbytes;
        world.world_flags = PF_WorldFlag_WRITEABLE | (c.deep ? PF_WorldFlag_DEEP : 0);
        EXPECT_EQ(LegacyRenderDepth(world), c.depth) << c.width << " " << c.rowbytes << " " << c.deep;
    }
}

} // namespace
} // namespace prismora
