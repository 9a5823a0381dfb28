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

// The Renderer popup picks the host's path (GPU first unless it says CPU) and
// the report names the path that rendered each request, with or without a device.
TEST(EffectSession, TheRendererPicksTheHostsPathAndTheReportNamesIt)
{
    struct Case {
        hostsim::GpuDeviceChoice device;
        const char *renderer;
        bool legacy;
        const char *line;
    };
    const Case cases[] = {
        {hostsim::GpuDeviceChoice::kEmulated, "gpu", false,
         "request (0,0)-(64,48): gpu, result (0,0)-(64,48)"},
        {hostsim::GpuDeviceChoice::kEmulated, "auto", false,
         "request (0,0)-(64,48): gpu, result (0,0)-(64,48)"},
        {hostsim::GpuDeviceChoice::kEmulated, "cpu", false,
         "request (0,0)-(64,48): cpu, result (0,0)-(64,48)"},
        {hostsim::GpuDeviceChoice::kEmulated, "gpu", true, "frame: PF_Cmd_RENDER, cpu: plain render"},
        {hostsim::GpuDeviceChoice::kNone, "gpu", false,
         "request (0,0)-(64,48): cpu: no device, result (0,0)-(64,48)"},
    };
    const HostImage card = MakeTestCard(64, 48);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.renderer) + (c.legacy ? " legacy" : ""));
        EffectSession session(PRISMORA_TEST_EMULATED_PLUGIN, c.device);
        const auto values = ResolveParamValues(session.catalog(), {{"renderer", c.renderer}}, 64, 48);
        std::vector<std::string> lines;
        FrameOptions options;
        options.legacy = c.legacy;
        options.report = [&lines](const std::string &line) { lines.push_back(line); };
        EXPECT_EQ(session.Render(card, nullptr, values, options).width(), 64);
        EXPECT_EQ(lines, std::vector<std::string>{c.line});
    }
}

} // namespace
} // namespace prismora::cli
