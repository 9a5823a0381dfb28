// Loading the real plug-in: its PiPL, global set-up and parameters.
#include <gtest/gtest.h>

#include "hostsim/host.h"

namespace prismora::hostsim {
namespace {

TEST(PrismoraEffect, LoadsWithAMatchingPiPLAndDeclaresItsParameters)
{
    Host host(HOSTSIM_PRISMORA_EFFECT);
    const PiPL &pipl = host.pipl();
    EXPECT_EQ(pipl.name, "T_Prismora");
    EXPECT_EQ(pipl.category, "Tavro");
    EXPECT_EQ(pipl.match_name, "Tavro_Prismora");
    EXPECT_EQ(pipl.effect_version, 884737u);
    EXPECT_EQ(pipl.spec_version_major, 13);
    EXPECT_EQ(pipl.spec_version_minor, 29);

    ASSERT_NO_THROW(host.Start()); // the flag words are checked against the PiPL
    EXPECT_EQ(host.global().out_flags, 0x02000400);
    EXPECT_EQ(host.global().out_flags2, 0x0A001408);
    EXPECT_EQ(host.About().substr(0, 17), "T_Prismora v1.11\r");

    const ParamSet &params = host.params();
    ASSERT_EQ(params.size(), 30);
    EXPECT_EQ(params.Find("Center"), 9);
    EXPECT_EQ(params.type(9), PF_Param_POINT);
    EXPECT_EQ(params.Find("Alpha Matte Layer"), 13);
    EXPECT_EQ(params.type(13), PF_Param_LAYER);
    EXPECT_EQ(params.choices(*params.Find("Renderer")), (std::vector<std::string>{"Auto", "GPU", "CPU"}));

    const ParamSet hd = params.ResolvedFor(1920, 1080);
    EXPECT_EQ(hd.def(9).u.td.x_value, 960 << 16);
    EXPECT_EQ(hd.def(9).u.td.y_value, 540 << 16);
    const ParamSet odd = params.ResolvedFor(101, 51);
    EXPECT_EQ(odd.def(9).u.td.x_value, static_cast<PF_Fixed>(50.5 * 65536));
    EXPECT_EQ(host.books().Imbalances(), std::vector<std::string>{});
}

} // namespace
} // namespace prismora::hostsim
