#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "effect/effect_main.h"
#include "support/fake_host.h"

namespace prismora {
namespace {

using test::FakeHost;

PF_OutData PatternedOutData()
{
    PF_OutData out;
    std::memset(&out, 0xAB, sizeof(out));
    return out;
}

// Commands are read as signed numbers by the host: the ones outside the known
// range, negative ones included, must not index anything.
TEST(EffectMain, CommandsWithoutAHandlerSucceedAndWriteNothing)
{
    std::vector<PF_Cmd> commands = {
        PF_Cmd_UNUSED_0, PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_NUM_CMDS, 1000, INT_MAX, -1, INT_MIN};
    for (PF_Cmd cmd = PF_Cmd_SEQUENCE_SETUP; cmd <= PF_Cmd_RESERVED4; ++cmd) {
        if (cmd != PF_Cmd_RENDER && cmd != PF_Cmd_SMART_PRE_RENDER && cmd != PF_Cmd_SMART_RENDER) {
            commands.push_back(cmd);
        }
    }
    for (const PF_Cmd cmd : commands) {
        FakeHost host;
        PF_OutData out = PatternedOutData();
        const PF_OutData before = out;
        EXPECT_EQ(EffectMain(cmd, host.in_data(), &out, nullptr, nullptr, nullptr), PF_Err_NONE) << cmd;
        EXPECT_EQ(std::memcmp(&out, &before, sizeof(out)), 0) << cmd;
        EXPECT_TRUE(host.added.empty()) << cmd;
    }
}

// About writes its whole text and nothing else; global set-up only the version
// and flag words (the words themselves are held against the PiPL by the simulated host).
TEST(EffectMain, AboutAndGlobalSetupWriteOnlyTheirFields)
{
    PF_OutData out = PatternedOutData();
    ASSERT_EQ(EffectMain(PF_Cmd_ABOUT, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
    PF_OutData expected = PatternedOutData();
    const char text[] = "T_Prismora v1.11\rAdjustment-layer GLSL-port Prismora.";
    std::memcpy(expected.return_msg, text, sizeof(text));
    EXPECT_EQ(std::memcmp(&out, &expected, sizeof(out)), 0) << out.return_msg;

    ASSERT_EQ(EffectMain(PF_Cmd_GLOBAL_SETUP, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
    expected.my_version = out.my_version;
    expected.out_flags = out.out_flags;
    expected.out_flags2 = out.out_flags2;
    EXPECT_EQ(std::memcmp(&out, &expected, sizeof(out)), 0);
}

TEST(EffectMain, AnEscapingExceptionBecomesAnInternalErrorAndTheNextCommandWorks)
{
    FakeHost host;
    host.throw_bad_alloc = true;
    host.out_data()->num_params = 5;
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.out_data()->num_params, 5);

    host.throw_bad_alloc = false;
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(host.out_data()->num_params, 30);
    EXPECT_EQ(host.added.size(), 29u);

    // A host suite that cannot be acquired throws the SDK's error number.
    host.in_data()->inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
        throw static_cast<A_long>(13);
    };
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
}

} // namespace
} // namespace prismora
