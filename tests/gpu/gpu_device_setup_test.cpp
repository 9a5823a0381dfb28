#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gpu/gpu_device_setup.h"
#include "support/fake_host.h"
#include "support/scoped_log_dir.h"

namespace prismora {
namespace {

using test::FakeHost;
using test::ScopedLogDir;
using Lines = std::vector<std::string>;

constexpr PF_OutFlags2 kHostFlags2 = 0x00000410; // whatever the host had before
int g_host_data = 0;                             // a device datum the host already holds

// CUDA is taken (the GPU render flag added to the host's); every other
// framework is declined with success, leaving the host's flags and data.
TEST(GPUDeviceSetup, TakesCudaAndDeclinesEveryOtherFrameworkWithSuccess)
{
    for (const PF_GPU_Framework framework : {3, 0, 1, 2, 4, -1}) {
        SCOPED_TRACE(framework);
        ScopedLogDir log;
        FakeHost host;
        host.out_data()->out_flags2 = kHostFlags2;
        PF_GPUDeviceSetupInput input{framework, 0xFFFFFFFFu};
        PF_GPUDeviceSetupOutput output{&g_host_data};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        const bool cuda = framework == PF_GPU_Framework_CUDA;

        EXPECT_EQ(GPUDeviceSetup(host.in_data(), host.out_data(), &extra), PF_Err_NONE);
        EXPECT_EQ(host.out_data()->out_flags2, kHostFlags2 | (cuda ? 0x02000000 : 0));
        EXPECT_EQ(output.gpu_data, cuda ? nullptr : &g_host_data);
        const std::string p = "GPUDeviceSetup(CUDA): ";
        EXPECT_EQ(log.Lines(),
                  (Lines{p + "enter",
                         p + "what_gpu=" + std::to_string(framework) +
                             " PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4",
                         p + "device_index=4294967295",
                         p + (cuda ? "CUDA accepted"
                                   : "not CUDA, ignore so AE can try another framework or CPU fallback")}));

        // Any missing record is refused after the enter line, changing nothing.
        PF_GPUDeviceSetupExtra no_input{nullptr, &output}, no_output{&input, nullptr};
        for (PF_GPUDeviceSetupExtra *bad :
             {&no_input, &no_output, static_cast<PF_GPUDeviceSetupExtra *>(nullptr)}) {
            std::filesystem::remove(log.log_file());
            EXPECT_EQ(GPUDeviceSetup(host.in_data(), host.out_data(), bad), PF_Err_BAD_CALLBACK_PARAM);
            EXPECT_EQ(log.Lines(), Lines{p + "enter"});
        }
        EXPECT_EQ(GPUDeviceSetup(nullptr, host.out_data(), &extra), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(GPUDeviceSetup(host.in_data(), nullptr, &extra), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(host.out_data()->out_flags2, kHostFlags2 | (cuda ? 0x02000000 : 0));
        EXPECT_EQ(output.gpu_data, cuda ? nullptr : &g_host_data);
    }
}

TEST(GPUDeviceSetdown, LogsTheFrameworkOrTheEnterLine)
{
    ScopedLogDir log;
    PF_GPUDeviceSetdownExtra no_input{nullptr};
    EXPECT_EQ(GPUDeviceSetdown(nullptr), PF_Err_NONE);
    EXPECT_EQ(GPUDeviceSetdown(&no_input), PF_Err_NONE);
    PF_GPUDeviceSetdownInput input{nullptr, PF_GPU_Framework_CUDA, 0};
    PF_GPUDeviceSetdownExtra extra{&input};
    EXPECT_EQ(GPUDeviceSetdown(&extra), PF_Err_NONE);
    EXPECT_EQ(
        log.Lines(),
        (Lines{"GPUDeviceSetdown(CUDA): enter", "GPUDeviceSetdown(CUDA): enter",
               "GPUDeviceSetdown(CUDA): what_gpu=3 PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4"}));
}

} // namespace
} // namespace prismora
