// The effect in the simulated host, driven the way the commands drive it.
#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/param_values.h"
#include "cli/test_card.h"

namespace prismora::cli {
namespace {

TEST(EffectSession, EffectErrorsCarryTheirCodeAndSdkName)
{
    EffectSession session(PRISMORA_TEST_PLUGIN);
    const HostImage card = MakeTestCard(64, 48);
    const auto values = ResolveParamValues(session.catalog(), {}, 64, 48);
    session.books().FailNthCall("checkout_layer_pixels", 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    try {
        session.Render(card, nullptr, values, {});
        FAIL() << "the injected failure did not surface";
    } catch (const EffectError &e) {
        EXPECT_EQ(e.code(), PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_NE(std::string(e.what()).find("512 (PF_Err_INTERNAL_STRUCT_DAMAGED)"), std::string::npos)
            << e.what();
    }
    // The next frame renders normally.
    EXPECT_EQ(session.Render(card, nullptr, values, {}).width(), 64);
}

TEST(EffectSession, RendersEveryDepthWithAMatteAndReturnsAllItTook)
{
    EffectSession session(PRISMORA_TEST_PLUGIN);
    const auto values = ResolveParamValues(session.catalog(), {{"glass_mode", "full frame"}}, 96, 64);
    for (int depth : {8, 16, 32}) {
        const HostImage card = ConvertDepth(MakeTestCard(96, 64), depth);
        const HostImage matte = ConvertDepth(MakeTestMatte(96, 64), depth);
        for (bool legacy : {false, true}) {
            FrameOptions options;
            options.legacy = legacy;
            const HostImage out = session.Render(card, &matte, values, options);
            EXPECT_EQ(out.depth(), depth);
            EXPECT_EQ(out.width(), 96);
            EXPECT_EQ(out.height(), 64);
            // The plain render command has no matte layer, so Full Frame leaves the image as it was.
            EXPECT_EQ(out == card, legacy) << depth;
        }
    }
    EXPECT_TRUE(session.books().Imbalances().empty());
}

} // namespace
} // namespace prismora::cli
