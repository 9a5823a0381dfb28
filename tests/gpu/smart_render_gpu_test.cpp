// The GPU smart render against a fake host, with the launchers running on the
// emulated device: declines, clean-up on every failure, the log it leaves and
// the frame it renders.
#include "gpu/smart_render_gpu.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <cuda_runtime_api.h>
#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "gpu/emulation/launch_failure_hook.h"
#include "host/effect_main.h"
#include "shading/glass_shader.h"
#include "support/fake_gpu_host.h"
#include "support/scoped_log_dir.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::FakeGpuHost;
using test::PatternImage;
using test::TestWorld;
using test::WorldLayout;

using Lines = std::vector<std::string>;

constexpr float kUntouched = -777.0f;
const std::string kPrefix = "SmartRenderGPU(CUDA): ";
const std::string kWorldSuite = "PF World Suite 2";
const std::string kGpuSuite = "PF GPU Device Suite 1";

// A host GPU world: the record (no host pixels) and its BGRA128 device memory.
struct GpuLayer {
    GpuLayer(BgraFrame pixels, A_long origin_x, A_long origin_y) : frame(std::move(pixels))
    {
        world.width = frame.width();
        world.height = frame.height();
        world.rowbytes = frame.pitch() * 16;
        world.origin_x = origin_x;
        world.origin_y = origin_y;
        world.pix_aspect_ratio = {1, 1};
    }
    BgraFrame frame;
    PF_EffectWorld world{};
};

// One frame: a 40 x 30 input at (-4, -3) (as an expanded request gives it),
// a 32 x 24 output at (0, 0) and, on request, a matte checked out like the input.
class SmartRenderGpuTest : public ::testing::Test {
protected:
    static constexpr A_long kInX = -4;
    static constexpr A_long kInY = -3;

    SmartRenderGpuTest()
        : image_(PatternImage(40, 30, 7)), input_(BgraFrame::FromImage(image_, 3), kInX, kInY),
          output_(BgraFrame(32, 24, 2, kUntouched), 0, 0)
    {
        NewHost();
        EffectSettings &s = frame_.settings;
        s.center_x = 14.0f;
        s.center_y = 11.0f;
        s.glass_width = 24.0f;
        s.glass_height = 18.0f;
        s.corner_radius = 5.0f;
        s.blur_intensity = 30.0f;
        s.glass_color[1] = 0.8f;
        s.glass_color[2] = 0.4f;
        s.glass_color[3] = 0.2f;
        s.color_amount = 0.3f;
    }
    ~SmartRenderGpuTest() override { emulated::FailNthLaunch(0, cudaSuccess); }

    // A fresh host handing out this fixture's worlds.
    void NewHost()
    {
        host_.reset(new FakeGpuHost());
        host_->layer_worlds[0] = &input_.world;
        host_->output_world = &output_.world;
        host_->device_memory[&input_.world] = input_.frame.data();
        host_->device_memory[&output_.world] = output_.frame.data();
        host_->smart_input.pre_render_data = &frame_;
        if (matte_) {
            host_->layer_worlds[1] = &matte_->world;
            host_->device_memory[&matte_->world] = matte_->frame.data();
        }
    }

    // Full Frame with a matte layer (the image itself) and valid bounds.
    void UseMatte()
    {
        matte_.reset(new GpuLayer(BgraFrame::FromImage(image_, 1), kInX, kInY));
        frame_.settings.glass_mode = 2;
        frame_.alpha_matte_requested = true;
        frame_.matte_bounds = {true, false, 0, 0, 0, 0, 16.0f, 12.0f, 10.0f, 8.0f};
        NewHost();
    }

    PF_Err Render() { return SmartRenderGPU(host_->in_data(), &host_->out_data, host_->extra()); }

    std::string Address(const void *p) const
    {
        return std::to_string(static_cast<int64_t>(reinterpret_cast<intptr_t>(p)));
    }
    // The log lines after enter, the framework line and the renderer line, without the prefix.
    Lines LinesAfterRenderer() const
    {
        const Lines all = log_.Lines();
        Lines rest;
        for (size_t i = 3; i < all.size(); ++i) {
            rest.push_back(all[i].rfind(kPrefix, 0) == 0 ? all[i].substr(kPrefix.size()) : all[i]);
        }
        return rest;
    }
    Lines Suites() const
    {
        Lines s = host_->EventsStartingWith("acquire");
        for (const std::string &e : host_->EventsStartingWith("release")) {
            s.push_back(e);
        }
        return s;
    }

    test::ScopedLogDir log_;
    std::unique_ptr<FakeGpuHost> host_;
    FloatImage image_;
    GpuLayer input_;
    GpuLayer output_;
    std::unique_ptr<GpuLayer> matte_;
    PreRenderData frame_;
};

TEST_F(SmartRenderGpuTest, DeclinesBeforeTouchingTheHost)
{
    struct Case {
        const char *what;
        std::function<void()> setup;
        Lines tail; // after enter and the framework line
    };
    const std::string renderer3 = kPrefix + "renderer=3 glass_mode=1 debug_view=1 alpha_matte_requested=0 "
                                            "GPUPathSupported=0";
    const std::string mode3 = kPrefix + "renderer=2 glass_mode=3 debug_view=4 alpha_matte_requested=1 "
                                        "GPUPathSupported=0";
    const std::vector<Case> cases = {
        {"DirectX", [&] { host_->smart_input.what_gpu = 4; }, {kPrefix + "not CUDA, CPU fallback"}},
        {"no pre-render data",
         [&] { host_->smart_input.pre_render_data = nullptr; },
         {kPrefix + "no pre_render_data, CPU fallback"}},
        {"renderer CPU",
         [&] { frame_.settings.renderer = 3; },
         {renderer3, kPrefix + "unsupported mode, CPU fallback"}},
        {"unknown glass mode",
         [&] {
             frame_.settings.renderer = 2;
             frame_.settings.glass_mode = 3;
             frame_.settings.debug_view = 4;
             frame_.alpha_matte_requested = true;
         },
         {mode3, kPrefix + "unsupported mode, CPU fallback"}},
    };
    for (const Case &c : cases) {
        const PreRenderData saved = frame_;
        std::filesystem::remove(log_.log_file());
        host_->smart_input.what_gpu = PF_GPU_Framework_CUDA;
        host_->smart_input.pre_render_data = &frame_;
        c.setup();
        EXPECT_EQ(Render(), PF_Err_UNRECOGNIZED_PARAM_TYPE) << c.what;
        Lines expected = {kPrefix + "enter", kPrefix +
                                                 "what_gpu=" + std::to_string(host_->smart_input.what_gpu) +
                                                 " PF_GPU_Framework_CUDA=3 PF_GPU_Framework_DIRECTX=4"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(log_.Lines(), expected) << c.what;
        EXPECT_TRUE(host_->events.empty()) << c.what;
        frame_ = saved;
    }
}

TEST_F(SmartRenderGpuTest, MissingArgumentsAreRefused)
{
    PF_SmartRenderExtra no_input{nullptr, host_->extra()->cb};
    PF_SmartRenderExtra no_callbacks{&host_->smart_input, nullptr};
    EXPECT_EQ(SmartRenderGPU(nullptr, &host_->out_data, host_->extra()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderGPU(host_->in_data(), nullptr, host_->extra()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderGPU(host_->in_data(), &host_->out_data, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderGPU(host_->in_data(), &host_->out_data, &no_input), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(SmartRenderGPU(host_->in_data(), &host_->out_data, &no_callbacks), PF_Err_BAD_CALLBACK_PARAM);
    host_->in_data()->pica_basicP = nullptr;
    EXPECT_EQ(Render(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(log_.Lines(), Lines(6, kPrefix + "enter"));
    EXPECT_TRUE(host_->events.empty());
}

TEST_F(SmartRenderGpuTest, BlurredFrameMatchesTheCpuShaderAndCleansUpInOrder)
{
    EffectSettings &s = frame_.settings;
    s.clamp_edges = true;
    input_.world.pix_aspect_ratio = {10, 11};
    ASSERT_EQ(Render(), PF_Err_NONE);

    // The scratch worlds' rows are padded differently from the input's: a pitch mix-up shows here.
    TestWorld<PF_PixelFloat> input(40, 30, WorldLayout{0, kInX, kInY});
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            input.SetFloat(x, y, image_.pixels[static_cast<size_t>(y) * 40 + x]);
        }
    }
    TestWorld<PF_PixelFloat> output(32, 24);
    const float radius = s.blur_intensity * 0.1f;
    const FloatImage half = GaussianBlur(image_, radius * 0.5f, s.quality, true);
    const FloatImage full = GaussianBlur(image_, radius, s.quality, true);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 32; ++x) {
            const FloatPixel c =
                ShadeGlassPixel<PF_PixelFloat>(input.world(), output.world(), s, nullptr, &half, &full,
                                               static_cast<float>(x), static_cast<float>(y));
            const FloatPixel g = output_.frame.Get(x, y);
            ASSERT_NEAR(c.alpha, g.alpha, 5e-5f) << x << "," << y;
            ASSERT_NEAR(c.red, g.red, 5e-5f) << x << "," << y;
            ASSERT_NEAR(c.green, g.green, 5e-5f) << x << "," << y;
            ASSERT_NEAR(c.blue, g.blue, 5e-5f) << x << "," << y;
        }
    }

    ASSERT_EQ(host_->created.size(), 3u);
    EXPECT_EQ(log_.Lines().at(2),
              kPrefix + "renderer=1 glass_mode=1 debug_view=1 alpha_matte_requested=0 GPUPathSupported=1");
    const Lines expected_log = {"pixel_format=1094992704",
                                "expected PF_PixelFormat_GPU_BGRA128=1094992704",
                                "src_mem=" + Address(input_.frame.data()),
                                "matte_mem=0",
                                "dst_mem=" + Address(output_.frame.data()),
                                "half horizontal cuda_err=0",
                                "half vertical cuda_err=0",
                                "full horizontal cuda_err=0",
                                "full vertical cuda_err=0",
                                "composite cuda_err=0",
                                "return err=0"};
    EXPECT_EQ(LinesAfterRenderer(), expected_log);
    const Lines expected_events = {"acquire " + kWorldSuite,
                                   "checkout 0",
                                   "checkout output",
                                   "format",
                                   "acquire " + kGpuSuite,
                                   "data",
                                   "data",
                                   "create",
                                   "create",
                                   "create",
                                   "data",
                                   "data",
                                   "data",
                                   "checkin 0",
                                   "dispose 0",
                                   "dispose 1",
                                   "dispose 2",
                                   "release " + kGpuSuite,
                                   "release " + kWorldSuite};
    EXPECT_EQ(host_->events, expected_events);
    for (const auto &made : host_->created) {
        EXPECT_EQ(made->device_index, 1u);
        EXPECT_EQ(made->world.width, 40);
        EXPECT_EQ(made->world.height, 30);
        EXPECT_EQ(made->pixel_aspect_ratio.num, 10);
        EXPECT_EQ(made->pixel_aspect_ratio.den, 11u);
        EXPECT_EQ(made->field, 2);
        EXPECT_EQ(made->format, PF_PixelFormat_GPU_BGRA128);
        EXPECT_EQ(made->clear, 0);
    }
}

TEST_F(SmartRenderGpuTest, FullFrameWithoutMatteShowsTheSourceWithoutBlurring)
{
    frame_.settings.glass_mode = 2;
    ASSERT_EQ(Render(), PF_Err_NONE);
    EXPECT_TRUE(host_->created.empty());
    EXPECT_EQ(host_->Count("checkout 1"), 0);
    EXPECT_EQ(LinesAfterRenderer().at(5), "composite cuda_err=0");
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 32; ++x) {
            const FloatPixel want = input_.frame.Get(x - kInX, y - kInY);
            const FloatPixel got = output_.frame.Get(x, y);
            ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0) << x << "," << y;
        }
    }
}

TEST_F(SmartRenderGpuTest, BlurStartsAboveATenthOfAPercent)
{
    frame_.settings.blur_intensity = 0.01f; // radius 0.001: off
    ASSERT_EQ(Render(), PF_Err_NONE);
    EXPECT_TRUE(host_->created.empty());
    EXPECT_EQ(LinesAfterRenderer().at(5), "composite cuda_err=0");

    frame_.settings.blur_intensity = 0.02f; // half radius 0.001: one weight, the source itself
    ASSERT_EQ(Render(), PF_Err_NONE);
    ASSERT_EQ(host_->created.size(), 3u);
    const FakeGpuHost::CreatedWorld &half = *host_->created[1];
    const int half_pitch = half.world.rowbytes / 16;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(std::memcmp(&half.memory[(static_cast<size_t>(y) * half_pitch + x) * 4],
                                  input_.frame.At(x, y), 4 * sizeof(float)),
                      0)
                << x << "," << y;
        }
    }
}

// Every way a checked-out frame can end early, with a matte frame: the log after
// the renderer line, the result, the check-ins and the scratch worlds created
// (all of them disposed); both suites are released, the GPU device suite first.
TEST_F(SmartRenderGpuTest, FailuresAndDeclinesCleanUpAndLogTheirPath)
{
    UseMatte();
    const std::string bgra = "=1094992704";
    const std::string invalid = "=" + std::to_string(PF_PixelFormat_INVALID);
    const Lines formats = {"pixel_format" + bgra, "expected PF_PixelFormat_GPU_BGRA128" + bgra,
                           "matte_pixel_format" + bgra};
    const Lines memory = {"src_mem=" + Address(input_.frame.data()),
                          "matte_mem=" + Address(matte_->frame.data()),
                          "dst_mem=" + Address(output_.frame.data())};
    const Lines blurred = {"half horizontal cuda_err=0", "half vertical cuda_err=0",
                           "full horizontal cuda_err=0", "full vertical cuda_err=0"};
    const auto join = [](std::initializer_list<Lines> parts) {
        Lines all;
        for (const Lines &part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    const auto detail = [](cudaError_t code) {
        return " cuda_err=" + std::to_string(code) + " detail=" + cudaGetErrorString(code);
    };
    const Lines both = {"checkin 0", "checkin 1"};
    struct Case {
        const char *what;
        std::function<void(FakeGpuHost &)> inject;
        PF_Err result;
        Lines log;
        Lines checkins;
        size_t created;
    };
    const std::vector<Case> cases = {
        {"input checkout", [](FakeGpuHost &h) { h.fail_checkout_id = 0; }, 517, {"return err=517"}, {}, 0},
        {"matte checkout",
         [](FakeGpuHost &h) { h.fail_checkout_id = 1; },
         517,
         {"return err=517"},
         {"checkin 0"},
         0},
        {"output checkout",
         [](FakeGpuHost &h) { h.fail_output_checkout = true; },
         517,
         {"return err=517"},
         both,
         0},
        // A failed query leaves the format unknown, so the frame goes to the CPU.
        {"output format query",
         [](FakeGpuHost &h) { h.fail_format_call = 1; },
         PF_Err_UNRECOGNIZED_PARAM_TYPE,
         {"pixel_format" + invalid, formats[1], "pixel format is not GPU_BGRA128, CPU fallback",
          "return err=514"},
         both,
         0},
        {"output not in the GPU format",
         [this](FakeGpuHost &h) { h.formats[&output_.world] = PF_PixelFormat_ARGB128; },
         PF_Err_UNRECOGNIZED_PARAM_TYPE,
         {"pixel_format=" + std::to_string(PF_PixelFormat_ARGB128), formats[1],
          "pixel format is not GPU_BGRA128, CPU fallback", "return err=514"},
         both,
         0},
        {"matte format query",
         [](FakeGpuHost &h) { h.fail_format_call = 2; },
         517,
         {formats[0], formats[1], "matte_pixel_format" + invalid, "return err=517"},
         both,
         0},
        {"matte not in the GPU format",
         [this](FakeGpuHost &h) { h.formats[&matte_->world] = PF_PixelFormat_ARGB32; },
         PF_Err_UNRECOGNIZED_PARAM_TYPE,
         {formats[0], formats[1], "matte_pixel_format=" + std::to_string(PF_PixelFormat_ARGB32),
          "matte pixel format is not GPU_BGRA128, CPU fallback", "return err=514"},
         both,
         0},
        // The pointers obtained before the failure are logged, 0 for the others.
        {"matte memory", [](FakeGpuHost &h) { h.fail_world_data_call = 2; }, 517,
         join({formats, {memory[0], "matte_mem=0", "dst_mem=0", "return err=517"}}), both, 0},
        {"second scratch world", [](FakeGpuHost &h) { h.fail_create_call = 2; }, 517,
         join({formats, memory, {"return err=517"}}), both, 1},
        {"intermediate memory", [](FakeGpuHost &h) { h.fail_world_data_call = 4; }, 517,
         join({formats, memory, {"return err=517"}}), both, 3},
        // Later clean-up errors do not replace the device's.
        {"half horizontal pass on the device",
         [](FakeGpuHost &h) {
             emulated::FailNthLaunch(1, cudaErrorMemoryAllocation);
             h.fail_checkin_id = 0;
             h.fail_dispose_index = 0;
         },
         PF_Err_INTERNAL_STRUCT_DAMAGED,
         join({formats, memory, {"half horizontal" + detail(cudaErrorMemoryAllocation), "return err=512"}}),
         both, 3},
        {"composite on the device", [](FakeGpuHost &) { emulated::FailNthLaunch(5, cudaErrorLaunchFailure); },
         PF_Err_INTERNAL_STRUCT_DAMAGED,
         join({formats, memory, blurred, {"composite" + detail(cudaErrorLaunchFailure), "return err=512"}}),
         both, 3},
        {"half world disposal", [](FakeGpuHost &h) { h.fail_dispose_index = 1; }, 517,
         join({formats, memory, blurred, {"composite cuda_err=0", "return err=517"}}), both, 3},
        {"matte check-in",
         [](FakeGpuHost &h) {
             h.fail_checkin_id = 1;
             h.injected_error = 7;
         },
         7, join({formats, memory, blurred, {"composite cuda_err=0", "return err=7"}}), both, 3},
    };
    for (const Case &c : cases) {
        NewHost();
        std::filesystem::remove(log_.log_file());
        emulated::FailNthLaunch(0, cudaSuccess);
        c.inject(*host_);
        EXPECT_EQ(Render(), c.result) << c.what;
        EXPECT_EQ(LinesAfterRenderer(), c.log) << c.what;
        EXPECT_EQ(host_->EventsStartingWith("checkin"), c.checkins) << c.what;
        EXPECT_EQ(host_->created.size(), c.created) << c.what;
        EXPECT_EQ(host_->DisposedCount(), static_cast<int>(c.created)) << c.what;
        EXPECT_EQ(Suites(), (Lines{"acquire " + kWorldSuite, "acquire " + kGpuSuite, "release " + kGpuSuite,
                                   "release " + kWorldSuite}))
            << c.what;
    }
}

TEST_F(SmartRenderGpuTest, MissingSuiteThrowsAfterTellingTheHost)
{
    for (const std::string &suite : {kWorldSuite, kGpuSuite}) {
        NewHost();
        host_->missing_suites.insert(suite);
        A_long thrown = 0;
        try {
            Render();
        } catch (A_long code) {
            thrown = code;
        }
        EXPECT_EQ(thrown, A_Err_MISSING_SUITE) << suite;
        EXPECT_NE(host_->out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0) << suite;
        EXPECT_STREQ(host_->out_data.return_msg, "Not able to acquire AEFX Suite.") << suite;
        const bool world_acquired = suite == kGpuSuite;
        EXPECT_EQ(host_->Count("release " + kWorldSuite), world_acquired ? 1 : 0) << suite;
        EXPECT_EQ(host_->Count("release " + kGpuSuite), 0) << suite;
        // Layers checked out before the failure are still handed back.
        EXPECT_EQ(host_->EventsStartingWith("checkin"), world_acquired ? Lines{"checkin 0"} : Lines{})
            << suite;
        EXPECT_EQ(host_->EventsStartingWith("checkout").size(), world_acquired ? 2u : 0u) << suite;

        NewHost();
        host_->missing_suites.insert(suite);
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
    frame.settings.glass_color[0] = 0.5f; // the colour's alpha is not passed
    frame.settings.glass_color[1] = 0.1f;
    frame.settings.glass_color[2] = 0.2f;
    frame.settings.glass_color[3] = 0.3f;
    frame.matte_bounds = {true, false, 0, 0, 0, 0, 20.5f, 8.0f, 6.25f, 0.25f};
    const PF_EffectWorld input = GpuWorld(45, 40, 30, -4, -3);
    PF_EffectWorld output = GpuWorld(33, 32, 24, 5, 7);
    output.rowbytes += 8; // a partial pixel of padding is dropped
    const PF_EffectWorld matte = GpuWorld(41, 38, 29, -2, -1);
    const PF_EffectWorld half = GpuWorld(50, 40, 30, 0, 0);
    const PF_EffectWorld full = GpuWorld(51, 40, 30, 0, 0);
    const int memory = 0;
    const GpuFrameWorlds worlds{&input, &output, &matte, &memory, &half, &full};

    TPCudaPrismoraParams p = FillPrismoraParams(frame, worlds, true);
    EXPECT_EQ((std::vector<int32_t>{p.src_pitch, p.dst_pitch, p.half_blur_pitch, p.full_blur_pitch,
                                    p.matte_pitch, p.matte_width, p.matte_height}),
              (std::vector<int32_t>{45, 33, 50, 51, 41, 38, 29}));
    EXPECT_EQ(
        (std::vector<float>{p.out_origin_x, p.out_origin_y, p.src_origin_x, p.src_origin_y, p.matte_origin_x,
                            p.matte_origin_y, p.glass_color_r, p.glass_color_g, p.glass_color_b,
                            p.matte_center_x, p.matte_center_y, p.matte_size_x, p.matte_size_y}),
        (std::vector<float>{5, 7, -4, -3, -2, -1, 0.1f, 0.2f, 0.3f, 20.5f, 8.0f, 12.5f, 1.0f}));
    EXPECT_EQ(p.has_matte, 1);
    const unsigned char zeros[12] = {};
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
