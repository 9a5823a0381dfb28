// The GPU smart render against an in-process fake host, for what the simulated
// host cannot show (tests/e2e/every_failure_test.cpp fails every host call):
// the order of the host calls that end a frame, device failures, worlds not
// in the GPU format and frames the GPU path itself declines.
#include "gpu/smart_render_gpu.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <cuda_runtime_api.h>
#include <gtest/gtest.h>

#include "AE_EffectCB.h"
#include "AE_EffectGPUSuites.h"
#include "AE_EffectSuites.h"
#include "SP/SPBasic.h"
#include "bgra_frame.h"
#include "gpu/emulation/launch_failure_hook.h"
#include "support/scoped_log_dir.h"

namespace prismora {
namespace {

using Lines = std::vector<std::string>;

// Suites, world format query, GPU worlds in host memory and the smart render
// callbacks; every call recorded in order, named calls failing.
class FakeGpuHost {
public:
    static constexpr PF_Err kInjected = 517;
    Lines events; // "acquire/release <suite>", "checkout <id|output>", "checkin <id>", "format", "create",
                  // "data", "dispose <n>"
    std::set<std::string> failing;
    PF_EffectWorld *layer_worlds[2] = {};
    PF_EffectWorld *output_world = nullptr;
    std::map<const PF_EffectWorld *, PF_PixelFormat> formats; // GPU format when not listed
    std::map<const PF_EffectWorld *, void *> memory;
    std::vector<std::unique_ptr<PF_EffectWorld>> created;
    PF_SmartRenderInput smart_input{};
    PF_OutData out_data{};
    PF_InData in_data{};
    PF_SmartRenderExtra extra{&smart_input, &cb_};

    FakeGpuHost()
    {
        current = this;
        basic_.AcquireSuite = [](const char *name, int32 version, const void **suite) -> SPErr {
            const std::string key = std::string(name) + " " + std::to_string(version);
            *suite = key == "PF World Suite 2"        ? static_cast<const void *>(&current->world_suite_)
                     : key == "PF GPU Device Suite 1" ? static_cast<const void *>(&current->gpu_suite_)
                                                      : nullptr;
            return current->Result("acquire " + key);
        };
        basic_.ReleaseSuite = [](const char *name, int32 version) -> SPErr {
            return current->Result("release " + std::string(name) + " " + std::to_string(version));
        };
        world_suite_.PF_GetPixelFormat = [](const PF_EffectWorld *world, PF_PixelFormat *format) -> PF_Err {
            const auto it = current->formats.find(world);
            *format = it != current->formats.end() ? it->second : PF_PixelFormat_GPU_BGRA128;
            return current->Result("format");
        };
        gpu_suite_.CreateGPUWorld = [](PF_ProgPtr, A_u_long, A_long width, A_long height, PF_RationalScale,
                                       PF_Field, PF_PixelFormat, PF_Boolean,
                                       PF_EffectWorld **world) -> PF_Err {
            *world = current->created.emplace_back(std::make_unique<PF_EffectWorld>()).get();
            (*world)->width = width;
            (*world)->height = height;
            (*world)->rowbytes = width * 16;
            current->memory[*world] =
                current->scratch_.emplace_back(static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
                    .data();
            return current->Result("create");
        };
        gpu_suite_.DisposeGPUWorld = [](PF_ProgPtr, PF_EffectWorld *world) -> PF_Err {
            const auto &c = current->created;
            const auto it = std::find_if(c.begin(), c.end(), [&](const auto &w) { return w.get() == world; });
            return current->Result(it == c.end() ? "dispose unknown"
                                                 : "dispose " + std::to_string(it - c.begin()));
        };
        gpu_suite_.GetGPUWorldData = [](PF_ProgPtr, PF_EffectWorld *world, void **pixels) -> PF_Err {
            *pixels = current->memory.at(world);
            return current->Result("data");
        };
        cb_.checkout_layer_pixels = [](PF_ProgPtr, A_long id, PF_EffectWorld **pixels) -> PF_Err {
            *pixels = current->layer_worlds[id];
            return current->Result("checkout " + std::to_string(id));
        };
        cb_.checkin_layer_pixels = [](PF_ProgPtr, A_long id) {
            return current->Result("checkin " + std::to_string(id));
        };
        cb_.checkout_output = [](PF_ProgPtr, PF_EffectWorld **output) -> PF_Err {
            *output = current->output_world;
            return current->Result("checkout output");
        };
        smart_input.what_gpu = PF_GPU_Framework_CUDA;
        in_data.pica_basicP = &basic_;
    }
    FakeGpuHost(const FakeGpuHost &) = delete;
    FakeGpuHost &operator=(const FakeGpuHost &) = delete;

private:
    // Records the call; a failing one answers kInjected.
    PF_Err Result(const std::string &event)
    {
        events.push_back(event);
        return failing.contains(event) ? kInjected : PF_Err_NONE;
    }

    static inline thread_local FakeGpuHost *current = nullptr; // suite functions carry no effect_ref
    std::vector<std::vector<float>> scratch_;
    SPBasicSuite basic_{};
    PF_WorldSuite2 world_suite_{};
    PF_GPUDeviceSuite1 gpu_suite_{};
    PF_SmartRenderCallbacks cb_{};
};

const std::string kWorldSuite = "PF World Suite 2";
const std::string kGpuSuite = "PF GPU Device Suite 1";

// A host GPU world: the record (no host pixels) and its BGRA128 device memory.
struct GpuLayer {
    GpuLayer(int width, int height, int row_padding) : frame(width, height, row_padding, 0.5f)
    {
        world.width = width;
        world.height = height;
        world.rowbytes = frame.pitch() * 16;
    }
    test::BgraFrame frame;
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
            host_->memory[&layer->world] = layer->frame.data();
        }
        host_->smart_input.pre_render_data = &frame_;
    }

    PF_Err Render() { return SmartRenderGPU(&host_->in_data, &host_->out_data, &host_->extra); }

    test::ScopedLogDir log_;
    std::unique_ptr<FakeGpuHost> host_;
    GpuLayer input_{40, 30, 3};
    GpuLayer matte_{40, 30, 1};
    GpuLayer output_{32, 24, 2};
    PreRenderData frame_;
};

// The log after the framework line, the result, and the check-ins, scratch
// world disposals and suite releases in their order (check-ins first, then
// the scratch worlds, then the GPU device suite before the world suite).
TEST_F(SmartRenderGpuTest, EveryPathLogsItsStepsAndCleansUpInOrder)
{
    const auto line = [](const std::string &label, int value) { return label + "=" + std::to_string(value); };
    const auto device_error = [](const std::string &what, cudaError_t e) {
        return what + " cuda_err=" + std::to_string(e) + " detail=" + cudaGetErrorString(e);
    };
    const auto address = [](const GpuLayer &layer) {
        return std::to_string(static_cast<int64_t>(reinterpret_cast<intptr_t>(layer.frame.data())));
    };
    const std::string settings =
        "renderer=1 glass_mode=2 debug_view=1 alpha_matte_requested=1 GPUPathSupported=1";
    const std::string gpu_format = line("pixel_format", PF_PixelFormat_GPU_BGRA128);
    const std::string expected_format =
        line("expected PF_PixelFormat_GPU_BGRA128", PF_PixelFormat_GPU_BGRA128);
    // Names in a row's log that stand for several lines.
    const std::map<std::string, Lines> groups = {
        {"head",
         {settings, gpu_format, expected_format, line("matte_pixel_format", PF_PixelFormat_GPU_BGRA128)}},
        {"memory",
         {"src_mem=" + address(input_), "matte_mem=" + address(matte_), "dst_mem=" + address(output_)}},
        {"blurs",
         {"half horizontal cuda_err=0", "half vertical cuda_err=0", "full horizontal cuda_err=0",
          "full vertical cuda_err=0"}}};
    constexpr int kHostUntouched = -1;
    struct Case {
        const char *what;
        std::function<void()> inject;
        PF_Err result;
        Lines log;    // after the framework line
        int disposed; // scratch worlds, after both check-ins; kHostUntouched: no host call at all
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"DirectX", [&] { host_->smart_input.what_gpu = 4; }, 514, {"not CUDA, CPU fallback"}, kHostUntouched},
        // Which frames the GPU takes is held by the pre-render test; here that the GPU path asks again.
        {"unknown glass mode", [&] { frame_.settings.glass_mode = 3; frame_.settings.debug_view = 4; }, 514,
         {"renderer=1 glass_mode=3 debug_view=4 alpha_matte_requested=1 GPUPathSupported=0",
          "unsupported mode, CPU fallback"}, kHostUntouched},
        {"blurred frame", [] {}, 0, {"head", "memory", "blurs", "composite cuda_err=0", "return err=0"}, 3},
        {"output not in the GPU format", [&] { host_->formats[&output_.world] = PF_PixelFormat_ARGB128; }, 514,
         {settings, line("pixel_format", PF_PixelFormat_ARGB128), expected_format,
          "pixel format is not GPU_BGRA128, CPU fallback", "return err=514"}, 0},
        {"matte not in the GPU format", [&] { host_->formats[&matte_.world] = PF_PixelFormat_ARGB32; }, 514,
         {settings, gpu_format, expected_format, line("matte_pixel_format", PF_PixelFormat_ARGB32),
          "matte pixel format is not GPU_BGRA128, CPU fallback", "return err=514"}, 0},
        // Later clean-up errors do not replace the device's.
        {"half horizontal pass", [&] { emulated::FailNthLaunch(1, cudaErrorMemoryAllocation);
                                       host_->failing = {"checkin 0", "dispose 0"}; }, 512,
         {"head", "memory", device_error("half horizontal", cudaErrorMemoryAllocation), "return err=512"}, 3},
        {"composite on the device", [] { emulated::FailNthLaunch(5, cudaErrorLaunchFailure); }, 512,
         {"head", "memory", "blurs", device_error("composite", cudaErrorLaunchFailure), "return err=512"}, 3},
    };
    // clang-format on
    const std::string kPrefix = "SmartRenderGPU(CUDA): ";
    for (const Case &c : cases) {
        const PreRenderData saved = frame_;
        NewHost();
        std::filesystem::remove(log_.log_file());
        c.inject();
        EXPECT_EQ(Render(), c.result) << c.what;
        frame_ = saved;

        Lines expected = {"enter", "what_gpu=" + std::to_string(host_->smart_input.what_gpu) +
                                       " PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4"};
        for (const std::string &l : c.log) {
            const auto group = groups.find(l);
            const Lines lines = group != groups.end() ? group->second : Lines{l};
            expected.insert(expected.end(), lines.begin(), lines.end());
        }
        for (std::string &l : expected) {
            l = kPrefix + l;
        }
        EXPECT_EQ(log_.Lines(), expected) << c.what;

        Lines cleanup;
        if (c.disposed != kHostUntouched) {
            cleanup = {"checkin 0", "checkin 1"};
            for (int i = 0; i < c.disposed; ++i) {
                cleanup.push_back("dispose " + std::to_string(i));
            }
            cleanup.insert(cleanup.end(), {"release " + kGpuSuite, "release " + kWorldSuite});
        }
        Lines ends;
        std::copy_if(host_->events.begin(), host_->events.end(), std::back_inserter(ends), [](const auto &e) {
            return e.starts_with("checkin") || e.starts_with("dispose") || e.starts_with("release");
        });
        EXPECT_EQ(ends, cleanup) << c.what;
        EXPECT_EQ(host_->events.empty(), c.disposed == kHostUntouched) << c.what;
    }
}

TEST_F(SmartRenderGpuTest, MissingArgumentsAreRefused)
{
    PF_SmartRenderExtra no_input{nullptr, host_->extra.cb};
    EXPECT_EQ(SmartRenderGPU(nullptr, &host_->out_data, &host_->extra), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderGPU(&host_->in_data, &host_->out_data, &no_input), PF_Err_BAD_CALLBACK_PARAM);
    host_->in_data.pica_basicP = nullptr;
    EXPECT_EQ(Render(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(host_->events.empty());
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
