#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "host/effect_main.h"
#include "support/fake_host.h"
#include "support/scoped_log_dir.h"

namespace prismora {
namespace {

using test::FakeHost;
using test::ScopedLogDir;

PF_OutData PatternedOutData()
{
    PF_OutData out;
    std::memset(&out, 0xAB, sizeof(out));
    return out;
}

bool SameBytes(const PF_OutData &a, const PF_OutData &b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

TEST(EffectMain, CommandsWithoutAHandlerSucceedAndWriteNothing)
{
    std::vector<PF_Cmd> commands = {
        PF_Cmd_UNUSED_0, PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_NUM_CMDS, PF_Cmd_NUM_CMDS + 1, 1000, INT_MAX, -1, -2,
        INT_MIN};
    for (PF_Cmd cmd = PF_Cmd_SEQUENCE_SETUP; cmd <= PF_Cmd_RESERVED4; ++cmd) {
        if (cmd != PF_Cmd_RENDER && cmd != PF_Cmd_SMART_PRE_RENDER && cmd != PF_Cmd_SMART_RENDER) {
            commands.push_back(cmd);
        }
    }
    for (const PF_Cmd cmd : commands) {
        SCOPED_TRACE(cmd);
        FakeHost host;
        PF_OutData out = PatternedOutData();
        const PF_OutData before = out;
        EXPECT_EQ(EffectMain(cmd, host.in_data(), &out, nullptr, nullptr, nullptr), PF_Err_NONE);
        EXPECT_TRUE(SameBytes(out, before));
        EXPECT_TRUE(host.added().empty());
    }
}

TEST(EffectMain, AboutWritesTheAboutTextWhole)
{
    PF_OutData out = PatternedOutData();
    ASSERT_EQ(EffectMain(PF_Cmd_ABOUT, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
    const char expected[] = "T_Prismora v1.11\rAdjustment-layer GLSL-port Prismora.";
    EXPECT_EQ(std::memcmp(out.return_msg, expected, sizeof(expected)), 0) << out.return_msg;
    EXPECT_EQ(out.my_version, 0xABABABABu) << "nothing but the message is written";

    EXPECT_EQ(EffectMain(PF_Cmd_ABOUT, nullptr, nullptr, nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
}

TEST(EffectMain, GlobalSetupReportsVersionAndFlagWords)
{
    PF_OutData out = PatternedOutData();
    PF_OutData expected = out;
    expected.my_version = 884737;
    expected.out_flags = 0x02000400;
    expected.out_flags2 = 0x0A001408;
    ASSERT_EQ(EffectMain(PF_Cmd_GLOBAL_SETUP, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
    EXPECT_TRUE(SameBytes(out, expected));

    EXPECT_EQ(PF_Version_VERS(out.my_version), 1u);
    EXPECT_EQ(PF_Version_SUBVERS(out.my_version), 11u);
    EXPECT_EQ(PF_Version_BUGFIX(out.my_version), 0u);
    EXPECT_EQ(PF_Version_STAGE(out.my_version), static_cast<A_u_long>(PF_Stage_DEVELOP));
    EXPECT_EQ(PF_Version_BUILD(out.my_version), 1u);

    EXPECT_EQ(EffectMain(PF_Cmd_GLOBAL_SETUP, nullptr, nullptr, nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
}

TEST(EffectMain, ParamsSetupDeclaresThroughTheHost)
{
    FakeHost host;
    ASSERT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(host.out_data()->num_params, 30);
    EXPECT_EQ(host.added().size(), 29u);
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, nullptr, host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
}

TEST(EffectMain, AnEscapingExceptionBecomesAnInternalErrorAndTheNextCommandWorks)
{
    FakeHost host;
    host.ThrowOnAddParam(true);
    host.out_data()->num_params = 5;
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.out_data()->num_params, 5);

    host.Reset();
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(host.out_data()->num_params, 30);

    // A host suite that cannot be acquired throws the SDK's error number.
    host.in_data()->inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
        throw static_cast<A_long>(13);
    };
    EXPECT_EQ(EffectMain(PF_Cmd_PARAMS_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST(EffectMain, RenderCommandsCheckTheirArguments)
{
    PF_InData in_data{};
    PF_LayerDef output{};
    for (const PF_Cmd cmd : {PF_Cmd_RENDER, PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER}) {
        EXPECT_EQ(EffectMain(cmd, &in_data, nullptr, nullptr, &output, nullptr), PF_Err_BAD_CALLBACK_PARAM)
            << cmd;
    }
}

TEST(EffectMain, GpuDeviceCommandsReachTheirHandlers)
{
    ScopedLogDir log;
    FakeHost host;
    PF_GPUDeviceSetupInput input{PF_GPU_Framework_CUDA, 0};
    PF_GPUDeviceSetupOutput output{&input};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    EXPECT_EQ(EffectMain(PF_Cmd_GPU_DEVICE_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, &extra),
              PF_Err_NONE);
    EXPECT_EQ(host.out_data()->out_flags2, PF_OutFlag2_SUPPORTS_GPU_RENDER_F32);
    EXPECT_EQ(output.gpu_data, nullptr);
    EXPECT_EQ(EffectMain(PF_Cmd_GPU_DEVICE_SETUP, host.in_data(), host.out_data(), nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);

    EXPECT_EQ(EffectMain(PF_Cmd_GPU_DEVICE_SETDOWN, nullptr, nullptr, nullptr, nullptr, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(log.Lines().back(), "GPUDeviceSetdown(CUDA): enter");
}

} // namespace
} // namespace prismora
