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

struct DeviceOffer {
    PF_GPUDeviceSetupInput input{};
    PF_GPUDeviceSetupOutput output{&g_host_data};
    PF_GPUDeviceSetupExtra extra{&input, &output};

    DeviceOffer(PF_GPU_Framework what_gpu, A_u_long device_index) { input = {what_gpu, device_index}; }
};

TEST(GPUDeviceSetup, AcceptsCuda)
{
    ScopedLogDir log;
    FakeHost host;
    host.out_data()->out_flags2 = kHostFlags2;
    DeviceOffer offer(PF_GPU_Framework_CUDA, 0);

    EXPECT_EQ(GPUDeviceSetup(host.in_data(), host.out_data(), &offer.extra), PF_Err_NONE);
    EXPECT_EQ(host.out_data()->out_flags2, kHostFlags2 | 0x02000000);
    EXPECT_EQ(offer.output.gpu_data, nullptr);
    EXPECT_EQ(log.Lines(),
              (Lines{
                  "GPUDeviceSetup(CUDA): enter",
                  "GPUDeviceSetup(CUDA): what_gpu=3 PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4",
                  "GPUDeviceSetup(CUDA): device_index=0",
                  "GPUDeviceSetup(CUDA): CUDA accepted",
              }));
}

TEST(GPUDeviceSetup, DeclinesEveryOtherFrameworkWithSuccess)
{
    for (const PF_GPU_Framework framework : {0, 1, 2, 4, -1}) {
        SCOPED_TRACE(framework);
        ScopedLogDir log;
        FakeHost host;
        host.out_data()->out_flags2 = kHostFlags2;
        DeviceOffer offer(framework, 2);

        EXPECT_EQ(GPUDeviceSetup(host.in_data(), host.out_data(), &offer.extra), PF_Err_NONE);
        EXPECT_EQ(host.out_data()->out_flags2, kHostFlags2);
        EXPECT_EQ(offer.output.gpu_data, &g_host_data);
        EXPECT_EQ(
            log.Lines(),
            (Lines{
                "GPUDeviceSetup(CUDA): enter",
                "GPUDeviceSetup(CUDA): what_gpu=" + std::to_string(framework) +
                    " PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4",
                "GPUDeviceSetup(CUDA): device_index=2",
                "GPUDeviceSetup(CUDA): not CUDA, ignore so AE can try another framework or CPU fallback",
            }));
    }
}

TEST(GPUDeviceSetup, DeviceIndexIsLoggedUnsigned)
{
    ScopedLogDir log;
    FakeHost host;
    DeviceOffer offer(PF_GPU_Framework_CUDA, 0xFFFFFFFFu);
    EXPECT_EQ(GPUDeviceSetup(host.in_data(), host.out_data(), &offer.extra), PF_Err_NONE);
    ASSERT_EQ(log.Lines().size(), 4u);
    EXPECT_EQ(log.Lines()[2], "GPUDeviceSetup(CUDA): device_index=4294967295");
}

TEST(GPUDeviceSetup, MissingArgumentsAreRejectedAfterTheEnterLine)
{
    FakeHost host;
    DeviceOffer offer(PF_GPU_Framework_CUDA, 0);
    PF_GPUDeviceSetupExtra no_input{nullptr, &offer.output};
    PF_GPUDeviceSetupExtra no_output{&offer.input, nullptr};

    struct Case {
        const char *what;
        PF_InData *in_data;
        PF_OutData *out_data;
        PF_GPUDeviceSetupExtra *extra;
    };
    for (const Case &c : {Case{"in_data", nullptr, host.out_data(), &offer.extra},
                          Case{"out_data", host.in_data(), nullptr, &offer.extra},
                          Case{"extra", host.in_data(), host.out_data(), nullptr},
                          Case{"input", host.in_data(), host.out_data(), &no_input},
                          Case{"output", host.in_data(), host.out_data(), &no_output}}) {
        SCOPED_TRACE(c.what);
        ScopedLogDir log;
        EXPECT_EQ(GPUDeviceSetup(c.in_data, c.out_data, c.extra), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(host.out_data()->out_flags2, 0);
        EXPECT_EQ(offer.output.gpu_data, &g_host_data);
        EXPECT_EQ(log.Lines(), Lines{"GPUDeviceSetup(CUDA): enter"});
    }
}

TEST(GPUDeviceSetdown, LogsTheFrameworkOrTheEnterLine)
{
    {
        ScopedLogDir log;
        EXPECT_EQ(GPUDeviceSetdown(nullptr), PF_Err_NONE);
        PF_GPUDeviceSetdownExtra no_input{nullptr};
        EXPECT_EQ(GPUDeviceSetdown(&no_input), PF_Err_NONE);
        EXPECT_EQ(log.Lines(), (Lines{"GPUDeviceSetdown(CUDA): enter", "GPUDeviceSetdown(CUDA): enter"}));
    }
    {
        ScopedLogDir log;
        PF_GPUDeviceSetdownInput input{nullptr, PF_GPU_Framework_CUDA, 0};
        PF_GPUDeviceSetdownExtra extra{&input};
        EXPECT_EQ(GPUDeviceSetdown(&extra), PF_Err_NONE);
        EXPECT_EQ(
            log.Lines(),
            Lines{"GPUDeviceSetdown(CUDA): what_gpu=3 PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4"});
    }
}

} // namespace
} // namespace prismora
