// What every declaration must satisfy for the host to take it; the names and
// choices the user sees are checked through the command's catalog (tests/cli).
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "effect/params_setup.h"
#include "support/fake_host.h"

namespace prismora {
namespace {

using test::FakeHost;

TEST(ParamsSetup, EveryDeclarationIsOneTheHostAccepts)
{
    FakeHost host;
    ASSERT_EQ(ParamsSetup(host.in_data(), host.out_data()), PF_Err_NONE);
    EXPECT_EQ(host.out_data()->num_params, 30);
    ASSERT_EQ(host.added.size(), 29u);
    int open_groups = 0;
    std::set<std::string> names;
    for (size_t i = 0; i < host.added.size(); ++i) {
        const PF_ParamDef &p = host.added[i];
        SCOPED_TRACE(p.PF_DEF_NAME);
        EXPECT_EQ(p.uu.id, static_cast<A_long>(i + 1));
        EXPECT_EQ(p.flags, std::strcmp(p.PF_DEF_NAME, "Advanced") == 0 ? PF_ParamFlag_START_COLLAPSED : 0);
        if (p.param_type == PF_Param_GROUP_START || p.param_type == PF_Param_GROUP_END) {
            open_groups += p.param_type == PF_Param_GROUP_START ? 1 : -1;
            EXPECT_TRUE(open_groups == 0 || open_groups == 1) << "groups are not nested and all close";
            continue;
        }
        EXPECT_TRUE(names.insert(p.PF_DEF_NAME).second) << "names are unique";
        if (p.param_type == PF_Param_FLOAT_SLIDER) {
            const PF_FloatSliderDef &s = p.u.fs_d;
            EXPECT_TRUE(s.valid_min <= s.slider_min && s.slider_min < s.slider_max &&
                        s.slider_max <= s.valid_max);
            EXPECT_TRUE(s.slider_min <= s.dephault && s.dephault <= s.slider_max);
            EXPECT_EQ(s.value, s.dephault);
        } else if (p.param_type == PF_Param_POPUP) {
            const std::string choices = host.texts[i];
            EXPECT_EQ(p.u.pd.num_choices, std::count(choices.begin(), choices.end(), '|') + 1);
            EXPECT_TRUE(p.u.pd.dephault >= 1 && p.u.pd.dephault <= p.u.pd.num_choices);
            EXPECT_EQ(p.u.pd.value, p.u.pd.dephault);
        } else if (p.param_type == PF_Param_POINT) {
            // Percent of the layer: the host resolves it to the layer centre.
            EXPECT_EQ(p.u.td.x_dephault, 50 << 16);
            EXPECT_EQ(p.u.td.y_value, p.u.td.y_dephault);
        }
    }
    EXPECT_EQ(open_groups, 0);
}

TEST(ParamsSetup, HostFailureStopsTheDeclarationAndLeavesTheCount)
{
    FakeHost host;
    host.out_data()->num_params = 1;
    host.fail_at = 9;
    host.fail_err = PF_Err_OUT_OF_MEMORY;
    EXPECT_EQ(ParamsSetup(host.in_data(), host.out_data()), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.added.size(), 8u);
    EXPECT_EQ(host.out_data()->num_params, 1);
}

} // namespace
} // namespace prismora
