// The GPU smart render against a fake host, with the launchers running on the
// emulated device: the log and the host calls of every path. Its frames are
// compared with the CPU's through the simulated host (tests/hostsim).
#include "gpu/smart_render_gpu.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <cuda_runtime_api.h>
#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "effect/effect_main.h"
#include "gpu/emulation/launch_failure_hook.h"
#include "support/fake_gpu_host.h"
#include "support/scoped_log_dir.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::FakeGpuHost;

using Lines = std::vector<std::string>;

const std::string kPrefix = "SmartRenderGPU(CUDA): ";
const std::string kWorldSuite = "PF World Suite 2";
const std::string kGpuSuite = "PF GPU Device Suite 1";

// A host GPU world: the record (no host pixels) and its BGRA128 device memory.
struct GpuLayer {
    GpuLayer(int width, int height, int row_padding, float fill) : frame(width, height, row_padding, fill)
    {
        world.width = width;
        world.height = height;
        world.rowbytes = frame.pitch() * 16;
    }
    BgraFrame frame;
    PF_EffectWorld world{};
};

// One Full Frame frame with a matte: a 40 x 30 input and matte, a 32 x 24 output.
class SmartRenderGpuTest : public ::testing::Test {
protected:
    SmartRenderGpuTest()
    {
        frame_.settings.glass_mode = 2;
        frame_.alpha_matte_requested = true;
        frame_.matte_bounds = {true, false, 0, 0, 0, 0, 16.0f, 12.0f, 10.0f, 8.0f};
        NewHost();
    }
    ~SmartRenderGpuTest() override { emulated::FailNthLaunch(0, cudaSuccess); }

    void NewHost()
    {
        host_ = std::make_unique<FakeGpuHost>();
        host_->layer_worlds[0] = &input_.world;
        host_->layer_worlds[1] = &matte_.world;
        host_->output_world = &output_.world;
        for (GpuLayer *layer : {&input_, &matte_, &output_}) {
            host_->device_memory[&layer->world] = layer->frame.data();
        }
        host_->smart_input.pre_render_data = &frame_;
    }

    PF_Err Render() { return SmartRenderGPU(host_->in_data(), &host_->out_data, host_->extra()); }

    std::string Address(const GpuLayer &layer) const
    {
        return std::to_string(static_cast<int64_t>(reinterpret_cast<intptr_t>(layer.frame.data())));
    }

    test::ScopedLogDir log_;
    std::unique_ptr<FakeGpuHost> host_;
    GpuLayer input_{40, 30, 3, 0.5f};
    GpuLayer matte_{40, 30, 1, 1.0f};
    GpuLayer output_{32, 24, 2, 0.0f};
    PreRenderData frame_;
};

// Every path of a frame: the log after the framework line (the first lines of
// the full frame's log, then its own), the result, and the check-ins, scratch
// world disposals and suite releases in their order.
TEST_F(SmartRenderGpuTest, EveryPathLogsItsStepsAndCleansUpInOrder)
{
    const std::string bgra = "=1094992704";
    const std::string invalid = "=" + std::to_string(PF_PixelFormat_INVALID);
    const Lines full_log = {"renderer=1 glass_mode=2 debug_view=1 alpha_matte_requested=1 GPUPathSupported=1",
                            "pixel_format" + bgra,
                            "expected PF_PixelFormat_GPU_BGRA128" + bgra,
                            "matte_pixel_format" + bgra,
                            "src_mem=" + Address(input_),
                            "matte_mem=" + Address(matte_),
                            "dst_mem=" + Address(output_),
                            "half horizontal cuda_err=0",
                            "half vertical cuda_err=0",
                            "full horizontal cuda_err=0",
                            "full vertical cuda_err=0",
                            "composite cuda_err=0",
                            "return err=0"};
    const std::string unsupported = "unsupported mode, CPU fallback";
    const std::string not_bgra = "pixel format is not GPU_BGRA128, CPU fallback";
    const std::string launch_failure = "composite cuda_err=" + std::to_string(cudaErrorLaunchFailure) +
                                       " detail=" + cudaGetErrorString(cudaErrorLaunchFailure);
    const Lines both = {"checkin 0", "checkin 1"};
    constexpr int kHostUntouched = -1;
    const auto fail = [&](const std::string &event, int nth = 1) {
        return [&, event, nth] { host_->failing[event] = nth; };
    };
    struct Case {
        const char *what;
        std::function<void()> inject;
        PF_Err result;
        size_t shared; // lines of full_log
        Lines tail;
        Lines checkins;
        int disposed;
    };
    const std::string declined_renderer =
        "renderer=3 glass_mode=2 debug_view=1 alpha_matte_requested=1 GPUPathSupported=0";
    const std::string declined_mode =
        "renderer=2 glass_mode=3 debug_view=4 alpha_matte_requested=1 GPUPathSupported=0";
    const std::string no_matte =
        "renderer=1 glass_mode=2 debug_view=1 alpha_matte_requested=0 GPUPathSupported=1";
    const std::string argb128 = "pixel_format=" + std::to_string(PF_PixelFormat_ARGB128);
    const std::string argb32 = "matte_pixel_format=" + std::to_string(PF_PixelFormat_ARGB32);
    const std::string no_memory =
        std::string("half horizontal cuda_err=2 detail=") + cudaGetErrorString(cudaErrorMemoryAllocation);
    // clang-format off
    const std::vector<Case> cases = {
        {"DirectX", [&] { host_->smart_input.what_gpu = 4; }, 514, 0, {"not CUDA, CPU fallback"}, {},
         kHostUntouched},
        {"no pre-render data", [&] { host_->smart_input.pre_render_data = nullptr; }, 514, 0,
         {"no pre_render_data, CPU fallback"}, {}, kHostUntouched},
        {"renderer CPU", [&] { frame_.settings.renderer = 3; }, 514, 0, {declined_renderer, unsupported}, {},
         kHostUntouched},
        {"unknown glass mode", [&] { frame_.settings.renderer = 2; frame_.settings.glass_mode = 3;
                                     frame_.settings.debug_view = 4; },
         514, 0, {declined_mode, unsupported}, {}, kHostUntouched},
        {"blurred frame", [] {}, 0, 13, {}, both, 3},
        // Nothing would read the blurs.
        {"Full Frame without a matte", [&] { frame_.alpha_matte_requested = false; }, 0, 0,
         {no_matte, full_log[1], full_log[2], full_log[4], "matte_mem=0", full_log[6], full_log[11],
          full_log[12]}, {"checkin 0"}, 0},
        {"blur radius 0.001", [&] { frame_.settings.blur_intensity = 0.01f; }, 0, 7,
         {full_log[11], full_log[12]}, both, 0},
        {"input checkout", fail("checkout 0"), 517, 1, {"return err=517"}, {}, 0},
        {"matte checkout", fail("checkout 1"), 517, 1, {"return err=517"}, {"checkin 0"}, 0},
        {"output checkout", fail("checkout output"), 517, 1, {"return err=517"}, both, 0},
        // A failed query leaves the format unknown, so the frame goes to the CPU.
        {"output format query", fail("format"), 514, 1,
         {"pixel_format" + invalid, full_log[2], not_bgra, "return err=514"}, both, 0},
        {"output not in the GPU format", [&] { host_->formats[&output_.world] = PF_PixelFormat_ARGB128; },
         514, 1, {argb128, full_log[2], not_bgra, "return err=514"}, both, 0},
        {"matte format query", fail("format", 2), 517, 3, {"matte_pixel_format" + invalid, "return err=517"}, both, 0},
        {"matte not in the GPU format", [&] { host_->formats[&matte_.world] = PF_PixelFormat_ARGB32; },
         514, 3, {argb32, "matte pixel format is not GPU_BGRA128, CPU fallback", "return err=514"}, both, 0},
        // The pointers obtained before the failure are logged, 0 for the others.
        {"matte memory", fail("data", 2), 517, 5, {"matte_mem=0", "dst_mem=0", "return err=517"}, both, 0},
        {"second scratch world", fail("create", 2), 517, 7, {"return err=517"}, both, 1},
        {"intermediate memory", fail("data", 4), 517, 7, {"return err=517"}, both, 3},
        // Later clean-up errors do not replace the device's.
        {"half horizontal pass", [&] { emulated::FailNthLaunch(1, cudaErrorMemoryAllocation);
                                       host_->failing = {{"checkin 0", 1}, {"dispose 0", 1}}; },
         512, 7, {no_memory, "return err=512"}, both, 3},
        {"composite on the device", [] { emulated::FailNthLaunch(5, cudaErrorLaunchFailure); }, 512, 11,
         {launch_failure, "return err=512"}, both, 3},
        {"half world disposal", fail("dispose 1"), 517, 12, {"return err=517"}, both, 3},
        {"matte check-in", [&] { host_->failing["checkin 1"] = 1; host_->injected_error = 7; }, 7, 12,
         {"return err=7"}, both, 3},
    };
    // clang-format on
    for (const Case &c : cases) {
        const PreRenderData saved = frame_;
        NewHost();
        std::filesystem::remove(log_.log_file());
        emulated::FailNthLaunch(0, cudaSuccess);
        c.inject();
        EXPECT_EQ(Render(), c.result) << c.what;
        frame_ = saved;

        Lines expected = {"enter", "what_gpu=" + std::to_string(host_->smart_input.what_gpu) +
                                       " PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4"};
        expected.insert(expected.end(), full_log.begin(),
                        full_log.begin() + static_cast<std::ptrdiff_t>(c.shared));
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        for (std::string &line : expected) {
            line = kPrefix + line;
        }
        EXPECT_EQ(log_.Lines(), expected) << c.what;

        // Check-ins first, then the scratch worlds, then the GPU device suite before the world suite.
        Lines cleanup = c.checkins;
        for (int i = 0; i < c.disposed; ++i) {
            cleanup.push_back("dispose " + std::to_string(i));
        }
        if (c.disposed != kHostUntouched) {
            cleanup.push_back("release " + kGpuSuite);
            cleanup.push_back("release " + kWorldSuite);
        }
        Lines ends;
        for (const std::string &e : host_->events) {
            if (e.rfind("checkin", 0) == 0 || e.rfind("dispose", 0) == 0 || e.rfind("release", 0) == 0) {
                ends.push_back(e);
            }
        }
        EXPECT_EQ(ends, cleanup) << c.what;
        EXPECT_EQ(static_cast<int>(host_->created.size()), std::max(c.disposed, 0)) << c.what;
        EXPECT_EQ(host_->events.empty(), c.disposed == kHostUntouched) << c.what;
    }
}

TEST_F(SmartRenderGpuTest, MissingArgumentsAreRefused)
{
    PF_SmartRenderExtra no_input{nullptr, host_->extra()->cb};
    EXPECT_EQ(SmartRenderGPU(nullptr, &host_->out_data, host_->extra()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderGPU(host_->in_data(), &host_->out_data, &no_input), PF_Err_BAD_CALLBACK_PARAM);
    host_->in_data()->pica_basicP = nullptr;
    EXPECT_EQ(Render(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(host_->events.empty());
}

// The scoper throws after telling the host; layers already out are still checked in.
TEST_F(SmartRenderGpuTest, MissingSuiteThrowsAfterTellingTheHost)
{
    for (const std::string &suite : {kWorldSuite, kGpuSuite}) {
        NewHost();
        host_->failing["acquire " + suite] = 1;
        A_long thrown = 0;
        try {
            Render();
        } catch (A_long code) {
            thrown = code;
        }
        EXPECT_EQ(thrown, A_Err_MISSING_SUITE) << suite;
        EXPECT_NE(host_->out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0) << suite;
        EXPECT_STREQ(host_->out_data.return_msg, "Not able to acquire AEFX Suite.") << suite;
        const Lines after_world = {
            "acquire " + kWorldSuite, "checkout 0", "checkout 1", "checkout output",       "format", "format",
            "acquire " + kGpuSuite,   "checkin 0",  "checkin 1",  "release " + kWorldSuite};
        EXPECT_EQ(host_->events, suite == kGpuSuite ? after_world : Lines{"acquire " + kWorldSuite}) << suite;

        NewHost();
        host_->failing["acquire " + suite] = 1;
        EXPECT_EQ(EffectMain(PF_Cmd_SMART_RENDER_GPU, host_->in_data(), &host_->out_data, nullptr, nullptr,
                             host_->extra()),
                  PF_Err_INTERNAL_STRUCT_DAMAGED)
            << suite;
    }
}

PF_EffectWorld GpuWorld(A_long pitch, A_long width, A_long height, A_long origin_x, A_long origin_y)
{
    PF_EffectWorld world{};
    world.rowbytes = pitch * 16;
    world.width = width;
    world.height = height;
    world.origin_x = origin_x;
    world.origin_y = origin_y;
    return world;
}

TEST(FillPrismoraParams, CopiesTheFrameIntoTheBlock)
{
    PreRenderData frame;
    frame.settings.glass_mode = 2;
    frame.matte_bounds = {true, false, 0, 0, 0, 0, 20.5f, 8.0f, 6.25f, 0.25f};
    const PF_EffectWorld input = GpuWorld(45, 40, 30, -4, -3);
    PF_EffectWorld output = GpuWorld(33, 32, 24, 5, 7);
    output.rowbytes += 8; // a partial pixel of padding is dropped
    const PF_EffectWorld matte = GpuWorld(41, 38, 29, -2, -1);
    const PF_EffectWorld half = GpuWorld(50, 40, 30, 0, 0);
    const PF_EffectWorld full = GpuWorld(51, 40, 30, 0, 0);
    const int memory = 0;
    const GpuFrameWorlds worlds{&input, &output, &matte, &memory, &half, &full};

    const TPCudaPrismoraParams p = FillPrismoraParams(frame, worlds, true);
    EXPECT_EQ((std::vector<int32_t>{p.src_pitch, p.dst_pitch, p.half_blur_pitch, p.full_blur_pitch,
                                    p.matte_pitch, p.matte_width, p.matte_height, p.has_matte}),
              (std::vector<int32_t>{45, 33, 50, 51, 41, 38, 29, 1}));
    EXPECT_EQ((std::vector<float>{p.matte_origin_x, p.matte_origin_y, p.matte_center_x, p.matte_center_y,
                                  p.matte_size_x, p.matte_size_y}),
              (std::vector<float>{-2, -1, 20.5f, 8.0f, 12.5f, 1.0f}));
    const unsigned char zeros[sizeof p.reserved] = {};
    EXPECT_EQ(std::memcmp(p.reserved, zeros, sizeof zeros), 0);

    frame.matte_bounds.half_width = std::nanf("");
    EXPECT_EQ(FillPrismoraParams(frame, worlds, true).matte_size_x, 1.0f);

    // No blur: every image is the source. No matte memory or no valid bounds: no matte fields.
    GpuFrameWorlds no_memory = worlds;
    no_memory.matte_mem = nullptr;
    PreRenderData no_bounds = frame;
    no_bounds.matte_bounds.valid = false;
    const TPCudaPrismoraParams defaults = DefaultPrismoraParams();
    const size_t matte_bytes =
        offsetof(TPCudaPrismoraParams, reserved) - offsetof(TPCudaPrismoraParams, matte_pitch);
    for (const TPCudaPrismoraParams &q :
         {FillPrismoraParams(frame, no_memory, false), FillPrismoraParams(no_bounds, worlds, false)}) {
        EXPECT_EQ(q.half_blur_pitch, 45);
        EXPECT_EQ(q.full_blur_pitch, 45);
        EXPECT_EQ(q.matte_mode, 1);
        EXPECT_EQ(std::memcmp(&q.matte_pitch, &defaults.matte_pitch, matte_bytes), 0);
    }
}

} // namespace
} // namespace prismora
